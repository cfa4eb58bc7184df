#pragma once

// The main window on Windows: controls built from the shared geometry table,
// button presses turned into handler calls, and the BatchWindow the Decode
// run talks to (main_form_batch.cpp). The rows and their tooltip, the layout
// for a DPI and the message loops have files of their own: list_rows.h,
// form_layout.h and message_pump.h.

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "ui/shared/decode_runs.h"
#include "ui/shared/main_form_layout.h"
#include "ui/win32/form_layout.h"
#include "ui/win32/list_rows.h"
#include "ui/win32/open_dialog.h"
#include "ui/win32/taskbar.h"

namespace velkrane {

/// Our message box over `owner`: the program's title above `text`, with
/// `icon` (0 or one of the MB_ICON flags) and an OK button.
void ShowBox(HWND owner, const std::string& text, UINT icon);

class TMainForm : public BatchWindow {
 public:
  /// Creates the window, still hidden, and runs FormCreate. Resources come
  /// from `instance`. Throws velkrane::Error when the window cannot be made.
  explicit TMainForm(HINSTANCE instance,
                     OpenDialogFunction open_dialog = RunOpenDialog,
                     TaskbarFunction taskbar = SystemTaskbarButton);
  ~TMainForm() override;
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  /// Null once the window is destroyed.
  HWND Handle() const noexcept { return hwnd_; }
  /// The DPI the window is laid out for.
  int Dpi() const noexcept { return dpi_; }

  /// Files and folders named at start or dropped on the window: they
  /// replace the list, folders as the .x3f files below them.
  void OpenPaths(const std::vector<std::string>& paths);

  /// Shows the window and runs the message loop until WM_QUIT; returns its
  /// exit code.
  int Run(int show_command);

  // BatchWindow.
  int EntryCount() const override;
  std::string Entry(int index) const override;
  void SetStatusText(const std::string& text) override;
  void ProcessMessages() override;
  void ShowMessage(const std::string& text) override;
  /// Pumps the window's messages until `wait` says the file's work is done;
  /// input that would run a handler waits for the next ProcessMessages
  /// (DecodeRuns::Input).
  void WaitFor(const WaitForWork& wait) override;
  void RunStarting(int count) override;
  void FileDone(int index, const FileReport& report) override;
  void AllFilesDone() override;
  void RunEnded() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  static LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wparam,
                                    LPARAM lparam);
  static void RegisterClasses(HINSTANCE instance);

  /// Sends each message the window handles to its handler below.
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnCreate();
  LRESULT OnDropFiles(HDROP drop);
  LRESULT OnGetDpiScaledSize(int dpi, SIZE& size) const;
  LRESULT OnDpiChanged(int dpi, const RECT& suggested);
  /// False for a command that is not a button press of ours.
  bool OnCommand(WPARAM wparam);
  LRESULT OnClose();
  LRESULT OnDestroy();
  LRESULT OnNcDestroy(WPARAM wparam, LPARAM lparam);
  /// A control without a place yet: LayOut puts it where it belongs.
  HWND CreateControl(HWND parent, const wchar_t* window_class,
                     const std::string& text, DWORD style, DWORD ex_style,
                     int id);
  void CreateControls();
  /// Places every control, and sets the font and pictures, for dpi_.
  void LayOut();
  /// The list holds `entries` and nothing else.
  void ReplaceList(const std::vector<std::string>& entries);
  /// The list was replaced or emptied: no row keeps an outcome.
  void ListChanged();

  void FormCreate();
  void Button1Click();
  void Button2Click();
  void Button3Click();

  HINSTANCE instance_;
  OpenDialogFunction open_dialog_;
  HWND hwnd_ = nullptr;
  HWND panel1_ = nullptr;
  HWND lb_main_ = nullptr;
  HWND sbar_ = nullptr;
  /// It watches the list, and layout_ holds what the controls draw with: the
  /// destructor destroys the window before either goes.
  ListTooltip list_tip_;
  int dpi_ = kDesignDpi;
  FormLayout layout_;
  DecodeRuns runs_;
  TaskbarFunction taskbar_function_;
  TaskbarProgress taskbar_;
  /// Why WM_CREATE failed, for the constructor to throw.
  std::string create_error_;
};

}  // namespace velkrane
