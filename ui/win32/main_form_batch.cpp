// TMainForm as the Decode run's BatchWindow: the list read, texts shown,
// messages pumped while a file's work goes on, and the rows and the taskbar
// button told of each file.

#include <windows.h>

#include <commctrl.h>

#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/win32_text.h"
#include "ui/shared/main_form_layout.h"
#include "ui/win32/MainUnit.h"
#include "ui/win32/message_pump.h"

namespace velkrane {

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

void TMainForm::ProcessMessages() { PumpWaitingMessages(hwnd_); }

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
  list_tip_.Hide();
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
  if (index == list_tip_.Row()) list_tip_.Hide();
  taskbar_.FileDone(report.result == FileResult::kFailed);
}

void TMainForm::AllFilesDone() { taskbar_.AllFilesDone(); }

void TMainForm::RunEnded() { taskbar_.RunEnded(); }

}  // namespace velkrane
