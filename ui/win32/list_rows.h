#pragma once

// The list's rows, drawn by us to put a file's outcome mark in front of its
// text, and the tooltip that shows the outcome of the row under the pointer.

#include <windows.h>

#include <functional>

#include "ui/shared/list_outcomes.h"

namespace velkrane {

/// The outcome of the file in a row (from 0); null for none.
using OutcomeLookup = std::function<const RowOutcome*(int row)>;

/// Draws a list row as the system's list box does, in `font`, with its
/// outcome's mark, a cell as wide as the layout says at `dpi`, in front of
/// the text when it has one.
void DrawListRow(const DRAWITEMSTRUCT& item, HFONT font, int dpi,
                 const OutcomeLookup& outcome_of);

/// One tooltip over the whole list; its text follows the row under the
/// pointer.
class ListTooltip {
 public:
  ListTooltip() = default;
  ListTooltip(const ListTooltip&) = delete;
  ListTooltip& operator=(const ListTooltip&) = delete;

  /// Makes the tooltip, owned by `owner` and destroyed with it, and watches
  /// `list`'s pointer. False when the tooltip cannot be made (GetLastError
  /// says why). This object must outlive `list`.
  bool Create(HWND owner, HWND list, HINSTANCE instance,
              OutcomeLookup outcome_of);
  /// The tooltip shows the outcome of the row at `y` in the list (the
  /// list's client pixels), or nothing.
  void PointAtRow(int y);
  /// No tooltip until the pointer moves again.
  void Hide();
  /// The row whose outcome the tooltip has; -1 for none.
  int Row() const noexcept { return row_; }

 private:
  /// The list's own messages, seen first: the pointer's moves pick the
  /// tooltip's row and go on to the tooltip.
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wparam,
                                   LPARAM lparam, UINT_PTR, DWORD_PTR self);
  /// The tool's text is `text`.
  void SetText(wchar_t* text);

  HWND owner_ = nullptr;
  HWND list_ = nullptr;
  HWND tip_ = nullptr;
  int row_ = -1;
  OutcomeLookup outcome_of_;
};

}  // namespace velkrane
