#include "ui/win32/MainUnit.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <type_traits>
#include <utility>

#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/win32_text.h"
#include "ui/shared/main_form_texts.h"
#include "ui/shared/opened_paths.h"
#include "ui/win32/message_pump.h"
#include "ui/win32/resource.h"
#include "ui/win32/window_dpi.h"

namespace velkrane {

namespace {

const wchar_t kFormClass[] = L"TMainForm";
const wchar_t kPanelClass[] = L"VelkranePanel";
const char kCreateWindowFailed[] = "Cannot create the main window: ";
const char kCreateControlFailed[] =
    "Cannot create a control of the main window: ";
const char kListFailed[] = "Cannot add a file to the list.";
const char kUnknownError[] = "Unknown error";

// Sent before WM_DPICHANGED by Windows 10 1703 and later, which our
// Windows 7 headers do not name.
constexpr UINT kWmGetDpiScaledSize = 0x02E4;

std::string LastErrorText() { return SystemMessage(::GetLastError()); }

// A dropped file list: DragFinish frees it.
struct DropDeleter {
  void operator()(HDROP drop) const noexcept { ::DragFinish(drop); }
};
using DropHandle = std::unique_ptr<std::remove_pointer_t<HDROP>, DropDeleter>;

// The files and folders of a drop, as UTF-8 paths in the drop's order.
std::vector<std::string> DroppedPaths(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    name.resize(::DragQueryFileW(drop, i, &name[0], length + 1));
    if (!name.empty()) paths.push_back(Narrow(name));
  }
  return paths;
}

}  // namespace

void ShowBox(HWND owner, const std::string& text, UINT icon) {
  ::MessageBoxW(owner, Widen(text).c_str(), Widen(kAppTitle).c_str(),
                MB_OK | icon);
}

TMainForm::TMainForm(HINSTANCE instance, OpenDialogFunction open_dialog,
                     TaskbarFunction taskbar)
    : instance_(instance),
      open_dialog_(std::move(open_dialog)),
      // Posted, not destroyed at once: the run ends inside this window's own
      // WM_COMMAND.
      runs_(
          [this] {
            if (hwnd_) ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
          },
          [this](const std::string& text) {
            ShowBox(hwnd_, text, MB_ICONSTOP);
          }),
      taskbar_function_(std::move(taskbar)) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  RegisterClasses(instance_);

  // Sized for 96 dpi here; WM_CREATE resizes it once the window's own DPI
  // is known.
  const SIZE frame = FormFrameSize(kDesignDpi);
  const HWND hwnd = ::CreateWindowExW(
      0, kFormClass, Widen(kAppTitle).c_str(), kFormStyle, kWindowLeft,
      kWindowTop, frame.cx, frame.cy, nullptr, nullptr, instance_, this);
  if (!hwnd) {
    throw Error(create_error_.empty() ? kCreateWindowFailed + LastErrorText()
                                      : create_error_);
  }
}

TMainForm::~TMainForm() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

void TMainForm::RegisterClasses(HINSTANCE instance) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof existing;
  if (::GetClassInfoExW(instance, kFormClass, &existing)) return;

  WNDCLASSEXW form = {};
  form.cbSize = sizeof form;
  form.lpfnWndProc = WindowProc;
  form.hInstance = instance;
  form.hIcon = static_cast<HICON>(::LoadImageW(
      instance, MAKEINTRESOURCEW(IDI_VELKRANE), IMAGE_ICON,
      ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  form.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELKRANE), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  form.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = kFormClass;
  if (!::RegisterClassExW(&form)) {
    throw Error(kCreateWindowFailed + LastErrorText());
  }

  WNDCLASSEXW panel = {};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = instance;
  panel.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  panel.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  panel.lpszClassName = kPanelClass;
  if (!::RegisterClassExW(&panel)) {
    throw Error(kCreateWindowFailed + LastErrorText());
  }
}

LRESULT CALLBACK TMainForm::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                       LPARAM lparam) {
  TMainForm* form = nullptr;
  if (message == WM_NCCREATE) {
    form = static_cast<TMainForm*>(
        reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  } else {
    form =
        reinterpret_cast<TMainForm*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!form) return ::DefWindowProcW(hwnd, message, wparam, lparam);

  // Nothing may leave a window procedure: Windows would swallow it or end
  // the program.
  try {
    return form->HandleMessage(message, wparam, lparam);
  } catch (const std::exception& e) {
    if (message == WM_CREATE) {
      form->create_error_ = e.what();
      return -1;
    }
    form->runs_.ShowError(e.what());
  } catch (...) {
    if (message == WM_CREATE) {
      form->create_error_ = kUnknownError;
      return -1;
    }
    form->runs_.ShowError(kUnknownError);
  }
  return 0;
}

LRESULT CALLBACK TMainForm::PanelProc(HWND hwnd, UINT message, WPARAM wparam,
                                      LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(hwnd, &paint);
      RECT bounds;
      ::GetClientRect(hwnd, &bounds);
      ::DrawEdge(dc, &bounds, BDR_SUNKENOUTER, BF_RECT);
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // The header's labels and picture sit on the panel's white.
      const HDC dc = reinterpret_cast<HDC>(wparam);
      ::SetBkColor(dc, RGB(255, 255, 255));
      ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    default:
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate();
    case WM_DROPFILES:
      return OnDropFiles(reinterpret_cast<HDROP>(wparam));
    case WM_DRAWITEM:
      if (wparam != kLBMainId) break;
      DrawListRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam),
                  layout_.Font(), dpi_,
                  [this](int row) { return runs_.Outcome(row); });
      return TRUE;
    case kWmGetDpiScaledSize:
      return OnGetDpiScaledSize(static_cast<int>(wparam),
                                *reinterpret_cast<SIZE*>(lparam));
    case WM_DPICHANGED:
      return OnDpiChanged(LOWORD(wparam),
                          *reinterpret_cast<const RECT*>(lparam));
    case WM_COMMAND:
      if (OnCommand(wparam)) return 0;
      break;
    case WM_CLOSE:
      return OnClose();
    case WM_DESTROY:
      return OnDestroy();
    case WM_NCDESTROY:
      return OnNcDestroy(wparam, lparam);
  }
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT TMainForm::OnCreate() {
  dpi_ = WindowDpi(hwnd_);
  CreateControls();
  const SIZE frame = FormFrameSize(dpi_);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.cx, frame.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  FormCreate();
  ::DragAcceptFiles(hwnd_, TRUE);
  taskbar_ = TaskbarProgress(taskbar_function_(hwnd_));
  return 0;
}

LRESULT TMainForm::OnDropFiles(HDROP dropped) {
  // Read now and given back: a drop held until the file's end runs later.
  std::vector<std::string> paths;
  {
    const DropHandle drop(dropped);
    paths = DroppedPaths(drop.get());
  }
  runs_.Input([this, paths] { OpenPaths(paths); });
  return 0;
}

LRESULT TMainForm::OnGetDpiScaledSize(int dpi, SIZE& size) const {
  // The size WM_DPICHANGED then suggests: exactly our scaled layout, not the
  // old size scaled with its frame.
  size = FormFrameSize(dpi);
  return TRUE;
}

LRESULT TMainForm::OnDpiChanged(int dpi, const RECT& suggested) {
  // Moved to a screen of another DPI, or the user changed the scale.
  dpi_ = dpi;
  LayOut();
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top,
                 suggested.right - suggested.left,
                 suggested.bottom - suggested.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::RedrawWindow(hwnd_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return 0;
}

bool TMainForm::OnCommand(WPARAM wparam) {
  if (HIWORD(wparam) != BN_CLICKED) return false;
  void (TMainForm::*handler)() = nullptr;
  switch (LOWORD(wparam)) {
    case kButton1Id:
      handler = &TMainForm::Button1Click;
      break;
    case kButton2Id:
      handler = &TMainForm::Button2Click;
      break;
    case kButton3Id:
      handler = &TMainForm::Button3Click;
      break;
    default:
      return false;
  }
  runs_.Input([this, handler] { (this->*handler)(); });
  return true;
}

LRESULT TMainForm::OnClose() {
  // During a run the close waits for its end.
  if (runs_.AskToClose()) ::DestroyWindow(hwnd_);
  return 0;
}

LRESULT TMainForm::OnDestroy() {
  ::PostQuitMessage(0);
  return 0;
}

LRESULT TMainForm::OnNcDestroy(WPARAM wparam, LPARAM lparam) {
  const HWND hwnd = std::exchange(hwnd_, nullptr);
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  return ::DefWindowProcW(hwnd, WM_NCDESTROY, wparam, lparam);
}

HWND TMainForm::CreateControl(HWND parent, const wchar_t* window_class,
                              const std::string& text, DWORD style,
                              DWORD ex_style, int id) {
  const HWND control = ::CreateWindowExW(
      ex_style, window_class, Widen(text).c_str(),
      WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (!control) throw Error(kCreateControlFailed + LastErrorText());
  return control;
}

void TMainForm::CreateControls() {
  // Creation order is the tab order: Decode, the list, Select, Clear, panel.
  CreateControl(hwnd_, L"BUTTON", kDecodeText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                kButton1Id);
  // Drawn by us, to put a mark in front of a row's text; it keeps its
  // strings, so it reads and behaves as a plain list box.
  lb_main_ = CreateControl(hwnd_, L"LISTBOX", "",
                           WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY |
                               LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED |
                               LBS_HASSTRINGS,
                           WS_EX_CLIENTEDGE, kLBMainId);
  CreateControl(hwnd_, L"BUTTON", kSelectText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                kButton2Id);
  CreateControl(hwnd_, L"BUTTON", kClearText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                kButton3Id);

  panel1_ =
      CreateControl(hwnd_, kPanelClass, "", WS_CLIPSIBLINGS, 0, kPanel1Id);
  CreateControl(panel1_, L"STATIC", "", SS_ICON, 0, kImage1Id);
  CreateControl(panel1_, L"STATIC", HeaderText(), SS_LEFT | SS_NOPREFIX, 0,
                kL1Id);
  CreateControl(panel1_, L"STATIC", kNoticeText, SS_LEFT | SS_NOPREFIX, 0,
                kLabel2Id);

  // Placed by us, not docked by the control, so it keeps the table's size.
  sbar_ = CreateControl(hwnd_, STATUSCLASSNAMEW, "",
                        CCS_NOPARENTALIGN | CCS_NORESIZE, 0, kSBarId);
  if (!list_tip_.Create(hwnd_, lb_main_, instance_,
                        [this](int row) { return runs_.Outcome(row); })) {
    throw Error(kCreateControlFailed + LastErrorText());
  }
  LayOut();
}

void TMainForm::LayOut() { layout_.Apply(instance_, hwnd_, dpi_); }

void TMainForm::FormCreate() {
  SetStatusText(ContactText());
  ::SendMessageW(sbar_, SB_SETTEXTW, kWebPanel,
                 reinterpret_cast<LPARAM>(Widen(WebText()).c_str()));
}

void TMainForm::Button1Click() { runs_.Decode(*this); }

void TMainForm::Button2Click() {
  const auto paths = open_dialog_(hwnd_);
  if (paths) ReplaceList(*paths);
}

void TMainForm::ReplaceList(const std::vector<std::string>& entries) {
  ::SendMessageW(lb_main_, LB_RESETCONTENT, 0, 0);
  ListChanged();
  for (const std::string& entry : entries) {
    const LRESULT at =
        ::SendMessageW(lb_main_, LB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE) throw Error(kListFailed);
  }
}

void TMainForm::ListChanged() {
  runs_.ListChanged();
  list_tip_.Hide();
  ::InvalidateRect(lb_main_, nullptr, TRUE);
}

void TMainForm::OpenPaths(const std::vector<std::string>& paths) {
  ReplaceList(ListEntriesFor(paths));
}

void TMainForm::Button3Click() {
  ::SendMessageW(lb_main_, LB_RESETCONTENT, 0, 0);
  ListChanged();
}

int TMainForm::Run(int show_command) {
  ::ShowWindow(hwnd_, show_command);
  ::UpdateWindow(hwnd_);
  return RunMessageLoop(hwnd_);
}

}  // namespace velkrane
