#pragma once

// The main window on Windows: controls built from the shared geometry table,
// button presses turned into handler calls, and the BatchWindow the Decode
// run talks to.

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "batch/batch_run.h"
#include "ui/shared/decode_runs.h"
#include "ui/shared/main_form_layout.h"
#include "ui/win32/open_dialog.h"
#include "ui/win32/taskbar.h"

namespace velkrane {

/// Child-window identifiers; the header's three sit inside Panel1.
enum ControlId : int {
  kButton1Id = 101,  // Decode
  kButton2Id,        // Select
  kButton3Id,        // Clear
  kLBMainId,
  kPanel1Id,
  kImage1Id,
  kL1Id,
  kLabel2Id,
  kSBarId,
};

/// Our message box over `owner`: the program's title above `text`, with
/// `icon` (0 or one of the MB_ICON flags) and an OK button.
void ShowBox(HWND owner, const std::string& text, UINT icon);

struct IconDeleter {
  void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct FontDeleter {
  void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

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
  /// The list's own messages, seen first: the pointer's moves pick the
  /// tooltip's row and go on to the tooltip.
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wparam,
                                   LPARAM lparam, UINT_PTR, DWORD_PTR form);
  static void RegisterClasses(HINSTANCE instance);

  /// Sends each message the window handles to its handler below.
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnCreate();
  LRESULT OnDropFiles(HDROP drop);
  LRESULT OnGetDpiScaledSize(int dpi, SIZE& size) const;
  LRESULT OnDpiChanged(int dpi, const RECT& suggested);
  /// Draws a list row as the system's list box does, with its outcome's
  /// mark in front of the text when it has one.
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  /// False for a command that is not a button press of ours.
  bool OnCommand(WPARAM wparam);
  LRESULT OnClose();
  LRESULT OnDestroy();
  LRESULT OnNcDestroy(WPARAM wparam, LPARAM lparam);
  /// One message of either loop: dialog keys (Tab) first, else the usual
  /// translate and dispatch.
  void Dispatch(MSG& message);
  /// A control without a place yet: LayOut puts it where it belongs.
  HWND CreateControl(HWND parent, const wchar_t* window_class,
                     const std::string& text, DWORD style, DWORD ex_style,
                     int id);
  void CreateControls();
  void CreateListTooltip();
  /// The tooltip shows the outcome of the row at `y` in the list (the
  /// list's client pixels), or nothing.
  void PointAtRow(int y);
  /// No tooltip until the pointer moves again.
  void HideListTooltip();
  /// Places every control, and sets the font and pictures, for dpi_.
  void LayOut();
  void PlaceControls(HFONT font, HICON header_icon);
  void PlaceHeaderLabels(HFONT font);
  void SetListAndStatusBarMetrics();
  /// The window's outer size for its client area at `dpi`.
  SIZE FrameSize(int dpi) const;
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
  /// Owned by the window, destroyed with it.
  HWND list_tip_ = nullptr;
  /// The row whose outcome the tooltip has; -1 for none.
  int tip_row_ = -1;
  int dpi_ = kDesignDpi;
  FontHandle font_;
  IconHandle header_icon_;
  /// The title bar's and the taskbar's pictures, sized for dpi_.
  IconHandle small_icon_;
  IconHandle big_icon_;
  DecodeRuns runs_;
  TaskbarFunction taskbar_function_;
  TaskbarProgress taskbar_;
  /// Why WM_CREATE failed, for the constructor to throw.
  std::string create_error_;
};

}  // namespace velkrane
