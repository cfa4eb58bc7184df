#include "ui/win32/list_rows.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "fileio/win32_text.h"
#include "ui/shared/main_form_layout.h"
#include "ui/win32/gdi_handles.h"

namespace velkrane {

namespace {

// Wide enough for any path: the tooltip breaks its lines only at '\n'.
constexpr int kTooltipMaxWidth = 0x7FFF;

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

}  // namespace

void DrawListRow(const DRAWITEMSTRUCT& item, HFONT font, int dpi,
                 const OutcomeLookup& outcome_of) {
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
  const Selected selected_font(dc, font);

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
  const RowOutcome* outcome = outcome_of(row);
  const int cell = ScaleForDpi(kMarkColumnWidth, dpi);
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

bool ListTooltip::Create(HWND owner, HWND list, HINSTANCE instance,
                         OutcomeLookup outcome_of) {
  owner_ = owner;
  list_ = list;
  outcome_of_ = std::move(outcome_of);
  tip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, owner_, nullptr, instance, nullptr);
  if (!tip_) return false;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND;
  tool.hwnd = owner_;
  tool.uId = reinterpret_cast<UINT_PTR>(list_);
  tool.lpszText = const_cast<wchar_t*>(L"");
  ::SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, kTooltipMaxWidth);
  ::SetWindowSubclass(list_, &ListTooltip::ListProc, 0,
                      reinterpret_cast<DWORD_PTR>(this));
  return true;
}

LRESULT CALLBACK ListTooltip::ListProc(HWND hwnd, UINT message, WPARAM wparam,
                                       LPARAM lparam, UINT_PTR,
                                       DWORD_PTR tooltip) {
  auto* self = reinterpret_cast<ListTooltip*>(tooltip);
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && self->tip_) {
    // Nothing may leave a window procedure; a tooltip that cannot be had is
    // no reason to stop.
    try {
      if (message == WM_MOUSEMOVE) {
        self->PointAtRow(static_cast<short>(HIWORD(lparam)));
      }
    } catch (...) {
    }
    MSG relayed = {hwnd, message, wparam, lparam, 0, {}};
    ::SendMessageW(self->tip_, TTM_RELAYEVENT, 0,
                   reinterpret_cast<LPARAM>(&relayed));
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &ListTooltip::ListProc, 0);
  }
  return ::DefSubclassProc(hwnd, message, wparam, lparam);
}

void ListTooltip::PointAtRow(int y) {
  const auto height =
      static_cast<int>(::SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0));
  const auto top =
      static_cast<int>(::SendMessageW(list_, LB_GETTOPINDEX, 0, 0));
  const LRESULT count = ::SendMessageW(list_, LB_GETCOUNT, 0, 0);
  int row = height > 0 && y >= 0 ? top + y / height : -1;
  if (row >= (count == LB_ERR ? 0 : static_cast<int>(count))) row = -1;
  if (row == row_) return;
  Hide();
  const RowOutcome* outcome = row < 0 ? nullptr : outcome_of_(row);
  if (!outcome) return;
  row_ = row;
  std::wstring text = Widen(outcome->tip);
  SetText(&text[0]);
}

void ListTooltip::Hide() {
  row_ = -1;
  if (!tip_) return;
  ::SendMessageW(tip_, TTM_POP, 0, 0);
  SetText(const_cast<wchar_t*>(L""));
}

void ListTooltip::SetText(wchar_t* text) {
  TOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = owner_;
  tool.uId = reinterpret_cast<UINT_PTR>(list_);
  tool.lpszText = text;
  ::SendMessageW(tip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace velkrane
