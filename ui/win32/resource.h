#pragma once

// Resource numbers shared by velkrane.rc and the code that loads them.

#define IDI_VELKRANE 1  // program icon: window, taskbar, executable
#define IDI_HEADER 2    // the picture in the header panel
