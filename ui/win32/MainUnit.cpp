#include "ui/win32/MainUnit.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <iterator>

#include "fileio/error.h"
#include "fileio/win32_text.h"
#include "ui/shared/main_form_texts.h"
#include "ui/shared/ui_font.h"
#include "ui/win32/resource.h"

namespace velkrane {

namespace {

const wchar_t kFormClass[] = L"TMainForm";
const wchar_t kPanelClass[] = L"VelkranePanel";
const char kCreateWindowFailed[] = "Cannot create the main window: ";
const char kCreateControlFailed[] =
    "Cannot create a control of the main window: ";
const char kListFailed[] = "Cannot add a file to the list.";
const char kUnknownError[] = "Unknown error";

// Tahoma 8 point at the 96 dots per inch the layout is drawn for; negative,
// so the height is the characters' and not the cell's.
constexpr int kFontHeight = -kUiFontPixels;

std::string LastErrorText() { return SystemMessage(::GetLastError()); }

// A window's device context with our font selected, both restored at scope
// exit.
class FontDC {
 public:
  FontDC(HWND hwnd, HFONT font)
      : hwnd_(hwnd),
        dc_(::GetDC(hwnd)),
        old_(dc_ ? ::SelectObject(dc_, font) : nullptr) {}
  ~FontDC() {
    if (!dc_) return;
    ::SelectObject(dc_, old_);
    ::ReleaseDC(hwnd_, dc_);
  }
  FontDC(const FontDC&) = delete;
  FontDC& operator=(const FontDC&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

void ShowBox(HWND owner, const std::string& text, UINT icon) {
  ::MessageBoxW(owner, Widen(text).c_str(), Widen(kAppTitle).c_str(),
                MB_OK | icon);
}

TMainForm::TMainForm(HINSTANCE instance, OpenDialogFunction open_dialog)
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
          }) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  RegisterClasses(instance_);

  font_.reset(::CreateFontW(kFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                            FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
  header_icon_.reset(static_cast<HICON>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_HEADER), IMAGE_ICON,
                   kImage1.width, kImage1.height, 0)));

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                      WS_CLIPCHILDREN;
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  const HWND hwnd = ::CreateWindowExW(
      0, kFormClass, Widen(kAppTitle).c_str(), style, kWindowLeft, kWindowTop,
      frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
      instance_, this);
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
      CreateControls();
      FormCreate();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED) {
        switch (LOWORD(wparam)) {
          case kButton1Id:
            Button1Click();
            return 0;
          case kButton2Id:
            Button2Click();
            return 0;
          case kButton3Id:
            Button3Click();
            return 0;
        }
      }
      break;
    case WM_CLOSE:
      // During a run the close waits for its end.
      if (runs_.AskToClose()) ::DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      const HWND hwnd = hwnd_;
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
    }
  }
  return ::DefWindowProcW(hwnd_, message, wparam, lparam);
}

HWND TMainForm::CreateControl(HWND parent, const wchar_t* window_class,
                              const std::string& text, DWORD style,
                              DWORD ex_style, const Rect& place, int id) {
  const HWND control = ::CreateWindowExW(
      ex_style, window_class, Widen(text).c_str(),
      WS_CHILD | WS_VISIBLE | style, place.left, place.top, place.width,
      place.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      instance_, nullptr);
  if (!control) throw Error(kCreateControlFailed + LastErrorText());
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()),
                 FALSE);
  return control;
}

HWND TMainForm::CreateLabel(const std::string& text, int left, int top,
                            int id) {
  const std::wstring wide = Widen(text);
  SIZE extent = {0, 0};
  {
    FontDC dc(panel1_, font_.get());
    if (dc.get()) {
      ::GetTextExtentPoint32W(dc.get(), wide.c_str(),
                              static_cast<int>(wide.size()), &extent);
    }
  }
  return CreateControl(panel1_, L"STATIC", text, SS_LEFT | SS_NOPREFIX, 0,
                       {left, top, static_cast<int>(extent.cx), kLabelHeight},
                       id);
}

void TMainForm::CreateControls() {
  // Creation order is the tab order: Decode, the list, Select, Clear, panel.
  CreateControl(hwnd_, L"BUTTON", kDecodeText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                kButton1, kButton1Id);
  lb_main_ =
      CreateControl(hwnd_, L"LISTBOX", "",
                    WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                    WS_EX_CLIENTEDGE, kLBMain, kLBMainId);
  // WM_SETFONT set the item height from the font; the layout wants 13.
  ::SendMessageW(lb_main_, LB_SETITEMHEIGHT, 0, kListItemHeight);
  CreateControl(hwnd_, L"BUTTON", kSelectText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                kButton2, kButton2Id);
  CreateControl(hwnd_, L"BUTTON", kClearText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                kButton3, kButton3Id);

  panel1_ = CreateControl(hwnd_, kPanelClass, "", WS_CLIPSIBLINGS, 0, kPanel1,
                          kPanel1Id);
  const HWND image =
      CreateControl(panel1_, L"STATIC", "", SS_ICON, 0, kImage1, kImage1Id);
  ::SendMessageW(image, STM_SETICON,
                 reinterpret_cast<WPARAM>(header_icon_.get()), 0);
  ::SetWindowPos(image, nullptr, kImage1.left, kImage1.top, kImage1.width,
                 kImage1.height, SWP_NOZORDER | SWP_NOACTIVATE);
  CreateLabel(HeaderText(), kL1Left, kL1Top, kL1Id);
  CreateLabel(kNoticeText, kLabel2Left, kLabel2Top, kLabel2Id);

  // Placed by us, not docked by the control, so it keeps the table's size.
  sbar_ = CreateControl(hwnd_, STATUSCLASSNAMEW, "",
                        CCS_NOPARENTALIGN | CCS_NORESIZE, 0, kSBar, kSBarId);
  int edges[std::size(kStatusPanelEdges)];
  std::copy(std::begin(kStatusPanelEdges), std::end(kStatusPanelEdges), edges);
  ::SendMessageW(sbar_, SB_SETPARTS, std::size(edges),
                 reinterpret_cast<LPARAM>(edges));
}

void TMainForm::FormCreate() {
  SetStatusText(ContactText());
  ::SendMessageW(sbar_, SB_SETTEXTW, kWebPanel,
                 reinterpret_cast<LPARAM>(Widen(WebText()).c_str()));
}

void TMainForm::Button1Click() { runs_.Decode(*this); }

void TMainForm::Button2Click() {
  const auto paths = open_dialog_(hwnd_);
  if (!paths) return;
  ::SendMessageW(lb_main_, LB_RESETCONTENT, 0, 0);
  for (const std::string& path : *paths) {
    const LRESULT at =
        ::SendMessageW(lb_main_, LB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Widen(path).c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE) throw Error(kListFailed);
  }
}

void TMainForm::Button3Click() {
  ::SendMessageW(lb_main_, LB_RESETCONTENT, 0, 0);
}

int TMainForm::EntryCount() const {
  const LRESULT count = ::SendMessageW(lb_main_, LB_GETCOUNT, 0, 0);
  return count == LB_ERR ? 0 : static_cast<int>(count);
}

std::string TMainForm::Entry(int index) const {
  const LRESULT length = ::SendMessageW(lb_main_, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) throw Error(ListIndexOutOfBounds(index));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = ::SendMessageW(lb_main_, LB_GETTEXT, index,
                                        reinterpret_cast<LPARAM>(&text[0]));
  if (copied == LB_ERR) throw Error(ListIndexOutOfBounds(index));
  text.resize(static_cast<std::size_t>(copied));
  return Narrow(text);
}

void TMainForm::SetStatusText(const std::string& text) {
  ::SendMessageW(sbar_, SB_SETTEXTW, kStatusPanel,
                 reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void TMainForm::Dispatch(MSG& message) {
  if (hwnd_ && ::IsDialogMessageW(hwnd_, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void TMainForm::ProcessMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The outer loop must still see it, or the program would not end.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

void TMainForm::ShowMessage(const std::string& text) {
  ShowBox(hwnd_, text, 0);
}

int TMainForm::Run(int show_command) {
  ::ShowWindow(hwnd_, show_command);
  ::UpdateWindow(hwnd_);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
  return static_cast<int>(message.wParam);
}

}  // namespace velkrane
