#include "ui/win32/MainUnit.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <iterator>
#include <utility>

#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/win32_text.h"
#include "ui/shared/list_outcomes.h"
#include "ui/shared/main_form_texts.h"
#include "ui/shared/opened_paths.h"
#include "ui/shared/ui_font.h"
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

constexpr DWORD kFormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// Sent before WM_DPICHANGED by Windows 10 1703 and later, which our
// Windows 7 headers do not name.
constexpr UINT kWmGetDpiScaledSize = 0x02E4;
// Wide enough for any path: the tooltip breaks its lines only at '\n'.
constexpr int kTooltipMaxWidth = 0x7FFF;
// The window's own pictures at 96 dpi: title bar and taskbar.
constexpr int kSmallIconSize = 16;
constexpr int kBigIconSize = 32;

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

// The icon resource `id` drawn at `size` pixels: the icon files carry the
// larger sizes, so a higher DPI gets a sharper picture, not a stretched one.
IconHandle LoadIconSized(HINSTANCE instance, int id, int size) {
  return IconHandle(static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
}

// Tahoma 8 point at `dpi`; negative, so the height is the characters' and not
// the cell's.
FontHandle CreateUiFont(int dpi) {
  return FontHandle(::CreateFontW(
      -ScaleForDpi(kUiFontPixels, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
      DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
}

// How wide `text` is in `font` on `hwnd`'s screen; 0 when it cannot be told.
int TextWidth(HWND hwnd, HFONT font, const std::string& text) {
  const std::wstring wide = Widen(text);
  SIZE extent = {0, 0};
  FontDC dc(hwnd, font);
  if (dc.get()) {
    ::GetTextExtentPoint32W(dc.get(), wide.c_str(),
                            static_cast<int>(wide.size()), &extent);
  }
  return static_cast<int>(extent.cx);
}

// Where each control goes, from the shared geometry table; the picture sits
// in Panel1, the rest in the window.
struct ControlPlace {
  bool in_panel;
  int id;
  Rect place;
};
constexpr ControlPlace kControlPlaces[] = {
    {false, kButton1Id, kButton1}, {false, kLBMainId, kLBMain},
    {false, kButton2Id, kButton2}, {false, kButton3Id, kButton3},
    {false, kPanel1Id, kPanel1},   {false, kSBarId, kSBar},
    {true, kImage1Id, kImage1},
};

void Place(HWND control, const Rect& r) {
  ::SetWindowPos(control, nullptr, r.left, r.top, r.width, r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

struct PenDeleter {
  void operator()(HPEN pen) const noexcept { ::DeleteObject(pen); }
};
using PenHandle = std::unique_ptr<std::remove_pointer_t<HPEN>, PenDeleter>;

// `object` selected into `dc` until scope exit.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~Selected() { ::SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// `mark` in the square cell of `size` pixels at `left`, `top`.
void DrawMark(HDC dc, OutcomeMark mark, int left, int top, int size) {
  const MarkColour colour = ColourOf(mark);
  LOGBRUSH brush = {BS_SOLID, RGB(colour.red, colour.green, colour.blue), 0};
  const PenHandle pen(::ExtCreatePen(
      PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER,
      static_cast<DWORD>(MarkLineWidth(size)), &brush, 0, nullptr));
  if (!pen) return;
  const Selected selected(dc, pen.get());
  for (const MarkStroke& s : MarkStrokes(mark, size)) {
    ::MoveToEx(dc, left + s.x0, top + s.y0, nullptr);
    ::LineTo(dc, left + s.x1, top + s.y1);
  }
}

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
  const SIZE frame = FrameSize(kDesignDpi);
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
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
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
  const SIZE frame = FrameSize(dpi_);
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
  size = FrameSize(dpi);
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

void TMainForm::OnDrawItem(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  const bool focus_shown = (item.itemState & ODS_NOFOCUSRECT) == 0;
  // An empty list with the focus, or only the focus moving: the focus
  // rectangle is drawn over what is there, which takes it away again.
  if (item.itemID == static_cast<UINT>(-1) || item.itemAction == ODA_FOCUS) {
    if (focus_shown) ::DrawFocusRect(dc, &item.rcItem);
    return;
  }
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const COLORREF old_back = ::SetBkColor(
      dc, ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const COLORREF old_text = ::SetTextColor(
      dc, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const Selected font(dc, font_.get());

  const int row = static_cast<int>(item.itemID);
  const LRESULT length =
      ::SendMessageW(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0);
  std::wstring text(length == LB_ERR ? 0 : static_cast<std::size_t>(length) + 1,
                    L'\0');
  if (!text.empty()) {
    const LRESULT copied =
        ::SendMessageW(item.hwndItem, LB_GETTEXT, item.itemID,
                       reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
  }
  const RowOutcome* outcome = runs_.Outcome(row);
  const int cell = ScaleForDpi(kMarkColumnWidth, dpi_);
  // Where the system's list box puts a row's text: one pixel in.
  const int text_left = item.rcItem.left + (outcome ? cell : 0) + 1;
  ::ExtTextOutW(dc, text_left, item.rcItem.top, ETO_OPAQUE | ETO_CLIPPED,
                &item.rcItem, text.c_str(), static_cast<UINT>(text.size()),
                nullptr);
  if (outcome) {
    DrawMark(dc, outcome->mark, item.rcItem.left, item.rcItem.top, cell);
  }
  if ((item.itemState & ODS_FOCUS) && focus_shown) {
    ::DrawFocusRect(dc, &item.rcItem);
  }
  ::SetTextColor(dc, old_text);
  ::SetBkColor(dc, old_back);
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
  CreateListTooltip();
  LayOut();
}

void TMainForm::CreateListTooltip() {
  list_tip_ = ::CreateWindowExW(
      WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
      WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
      CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
  if (!list_tip_) throw Error(kCreateControlFailed + LastErrorText());
  // One tool for the whole list; its text follows the row under the pointer.
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(lb_main_);
  tool.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(list_tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(list_tip_, TTM_SETMAXTIPWIDTH, 0, kTooltipMaxWidth);
  ::SetWindowSubclass(lb_main_, &TMainForm::ListProc, 0,
                      reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK TMainForm::ListProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam, UINT_PTR, DWORD_PTR form) {
  auto* self = reinterpret_cast<TMainForm*>(form);
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && self->list_tip_) {
    // Nothing may leave a window procedure; a tooltip that cannot be had is
    // no reason to stop.
    try {
      if (message == WM_MOUSEMOVE) {
        self->PointAtRow(static_cast<short>(HIWORD(lparam)));
      }
    } catch (...) {
    }
    MSG relayed = {hwnd, message, wparam, lparam, 0, {}};
    ::SendMessageW(self->list_tip_, TTM_RELAYEVENT, 0,
                   reinterpret_cast<LPARAM>(&relayed));
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &TMainForm::ListProc, 0);
  }
  return ::DefSubclassProc(hwnd, message, wparam, lparam);
}

void TMainForm::PointAtRow(int y) {
  const auto height =
      static_cast<int>(::SendMessageW(lb_main_, LB_GETITEMHEIGHT, 0, 0));
  const auto top =
      static_cast<int>(::SendMessageW(lb_main_, LB_GETTOPINDEX, 0, 0));
  int row = height > 0 && y >= 0 ? top + y / height : -1;
  if (row >= EntryCount()) row = -1;
  if (row == tip_row_) return;
  HideListTooltip();
  const RowOutcome* outcome = row < 0 ? nullptr : runs_.Outcome(row);
  if (!outcome) return;
  tip_row_ = row;
  std::wstring text = Widen(outcome->tip);
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(lb_main_);
  tool.lpszText = &text[0];
  ::SendMessageW(list_tip_, TTM_UPDATETIPTEXTW, 0,
                 reinterpret_cast<LPARAM>(&tool));
}

void TMainForm::HideListTooltip() {
  tip_row_ = -1;
  if (!list_tip_) return;
  ::SendMessageW(list_tip_, TTM_POP, 0, 0);
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(lb_main_);
  tool.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(list_tip_, TTM_UPDATETIPTEXTW, 0,
                 reinterpret_cast<LPARAM>(&tool));
}

void TMainForm::LayOut() {
  FontHandle font = CreateUiFont(dpi_);
  IconHandle header_icon =
      LoadIconSized(instance_, IDI_HEADER, ScaleForDpi(kImage1.width, dpi_));
  IconHandle small_icon =
      LoadIconSized(instance_, IDI_VELKRANE, ScaleForDpi(kSmallIconSize, dpi_));
  IconHandle big_icon =
      LoadIconSized(instance_, IDI_VELKRANE, ScaleForDpi(kBigIconSize, dpi_));
  PlaceControls(font.get(), header_icon.get());
  PlaceHeaderLabels(font.get());
  SetListAndStatusBarMetrics();
  ::SendMessageW(hwnd_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(small_icon.get()));
  ::SendMessageW(hwnd_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(big_icon.get()));

  // The controls hold the new ones now; the old ones can go.
  font_ = std::move(font);
  header_icon_ = std::move(header_icon);
  small_icon_ = std::move(small_icon);
  big_icon_ = std::move(big_icon);
}

void TMainForm::PlaceControls(HFONT font, HICON header_icon) {
  for (const ControlPlace& p : kControlPlaces) {
    const HWND control = ::GetDlgItem(p.in_panel ? panel1_ : hwnd_, p.id);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The picture first: setting it sizes the control to the icon.
    if (p.id == kImage1Id) {
      ::SendMessageW(control, STM_SETICON,
                     reinterpret_cast<WPARAM>(header_icon), 0);
    }
    Place(control, ScaleForDpi(p.place, dpi_));
  }
}

void TMainForm::PlaceHeaderLabels(HFONT font) {
  // The header's labels are as wide as their text in the font.
  const struct {
    int id;
    std::string text;
    int left, top;
  } labels[] = {{kL1Id, HeaderText(), kL1Left, kL1Top},
                {kLabel2Id, kNoticeText, kLabel2Left, kLabel2Top}};
  for (const auto& l : labels) {
    const HWND label = ::GetDlgItem(panel1_, l.id);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Rect place = ScaleForDpi({l.left, l.top, 0, kLabelHeight}, dpi_);
    place.width = TextWidth(panel1_, font, l.text);
    Place(label, place);
  }
}

void TMainForm::SetListAndStatusBarMetrics() {
  // WM_SETFONT set the item height from the font; the layout wants 13.
  ::SendMessageW(lb_main_, LB_SETITEMHEIGHT, 0,
                 ScaleForDpi(kListItemHeight, dpi_));
  int edges[std::size(kStatusPanelEdges)];
  for (std::size_t i = 0; i < std::size(edges); ++i) {
    edges[i] = ScaleStatusEdgeForDpi(kStatusPanelEdges[i], dpi_);
  }
  ::SendMessageW(sbar_, SB_SETPARTS, std::size(edges),
                 reinterpret_cast<LPARAM>(edges));
}

SIZE TMainForm::FrameSize(int dpi) const {
  return FrameSizeFor(ScaleForDpi(kClientWidth, dpi),
                      ScaleForDpi(kClientHeight, dpi), kFormStyle, dpi);
}

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
  HideListTooltip();
  ::InvalidateRect(lb_main_, nullptr, TRUE);
}

void TMainForm::OpenPaths(const std::vector<std::string>& paths) {
  ReplaceList(ListEntriesFor(paths));
}

void TMainForm::Button3Click() {
  ::SendMessageW(lb_main_, LB_RESETCONTENT, 0, 0);
  ListChanged();
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

void TMainForm::WaitFor(const WaitForWork& wait) {
  // The work is looked at every slice, so its end is seen at once, and the
  // messages are pumped between slices: the window repaints and answers,
  // and Windows never finds it hung.
  while (!wait(kWaitSliceMs)) ProcessMessages();
}

void TMainForm::RunStarting(int count) {
  HideListTooltip();
  ::InvalidateRect(lb_main_, nullptr, TRUE);
  taskbar_.RunStarting(count);
}

void TMainForm::FileDone(int index, const FileReport& report) {
  RECT row;
  if (::SendMessageW(lb_main_, LB_GETITEMRECT, index,
                     reinterpret_cast<LPARAM>(&row)) != LB_ERR) {
    ::InvalidateRect(lb_main_, &row, TRUE);
  }
  // A nested run did this row again: its tooltip may say something else.
  if (index == tip_row_) HideListTooltip();
  taskbar_.FileDone(report.result == FileResult::kFailed);
}

void TMainForm::AllFilesDone() { taskbar_.AllFilesDone(); }

void TMainForm::RunEnded() { taskbar_.RunEnded(); }

int TMainForm::Run(int show_command) {
  ::ShowWindow(hwnd_, show_command);
  ::UpdateWindow(hwnd_);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) Dispatch(message);
  return static_cast<int>(message.wParam);
}

}  // namespace velkrane
