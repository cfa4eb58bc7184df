#include "ui/fltk/MainUnit.h"

#include <exception>
#include <utility>

#include <FL/Fl.H>
#include <FL/Fl_Tooltip.H>

#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "ui/fltk/font_fallback.h"
#include "ui/fltk/icons.h"
#include "ui/fltk/outcome_mark.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/main_form_texts.h"
#include "ui/shared/opened_paths.h"

namespace velkrane {

namespace {

template <typename Widget>
Widget* Place(const Rect& r) {
  return new Widget(r.left, r.top, r.width, r.height);
}

/// A label in the header: as wide as its text and kLabelHeight high.
TextBox* HeaderLabel(int left, int top, const std::string& text) {
  auto* label = new TextBox(left, top, 1, kLabelHeight);
  int width = 0, height = 0;
  label->Measure(text, 0, width, height);
  label->size(width, kLabelHeight);
  label->SetText(text);
  return label;
}

}  // namespace

FileListBox::FileListBox(int x, int y, int w, int h)
    : Fl_Hold_Browser(x, y, w, h) {}

FileListBox::~FileListBox() {
  // The tooltip must not outlive the text it points at.
  HideTip();
}

void FileListBox::OutcomesChanged() {
  HideTip();
  redraw();
}

int FileListBox::handle(int event) {
  switch (event) {
    case FL_ENTER:
    case FL_MOVE:
      ShowTip();
      break;
    case FL_LEAVE:
    case FL_PUSH:
    case FL_MOUSEWHEEL:
    case FL_KEYBOARD:
      HideTip();
      break;
  }
  return Fl_Hold_Browser::handle(event);
}

int FileListBox::item_height(void*) const { return kListItemHeight; }

int FileListBox::incr_height() const { return kListItemHeight; }

int FileListBox::item_width(void* item) const {
  const int width = BrowserRowWidth(*this, item_text(item));
  return OutcomeOf(item) ? width + kMarkColumnWidth : width;
}

void FileListBox::item_draw(void* item, int x, int y, int w, int h) const {
  if (const RowOutcome* outcome = OutcomeOf(item)) {
    DrawOutcomeMark(outcome->mark, x, y, kMarkColumnWidth);
    x += kMarkColumnWidth;
    w -= kMarkColumnWidth;
  }
  const bool selected = item_selected(item) != 0;
  if (!DrawBrowserRow(*this, item_text(item), selected, x, y, w, h)) {
    Fl_Hold_Browser::item_draw(item, x, y, w, h);
  }
}

const RowOutcome* FileListBox::OutcomeOf(void* item) const {
  if (!outcome_of_ || !item) return nullptr;
  return outcome_of_(lineno(item) - 1);
}

void FileListBox::ShowTip() {
  void* item = find_item(Fl::event_y());
  const RowOutcome* outcome = OutcomeOf(item);
  if (!outcome) {
    HideTip();
    return;
  }
  const int row = lineno(item) - 1;
  if (row == tip_row_ && Fl_Tooltip::current() == this) return;
  // Hidden before its text changes: the shown tooltip points at it.
  HideTip();
  tip_ = outcome->tip;
  tip_row_ = row;
  int left = 0, top = 0, width = 0, height = 0;
  bbox(left, top, width, height);
  const int row_top = top + row * kListItemHeight - position();
  Fl_Tooltip::enter_area(this, left - x(), row_top - y(), width,
                         kListItemHeight, tip_.c_str());
}

void FileListBox::HideTip() {
  tip_row_ = -1;
  if (Fl_Tooltip::current() == this) {
    Fl_Tooltip::enter_area(this, 0, 0, 0, 0, nullptr);
  }
}

StatusBar::StatusBar(int x, int y, int w, int h) : Fl_Group(x, y, w, h) {
  int left = 0;
  for (int i = 0; i < kPanelCount; ++i) {
    // The last edge is -1: that panel runs to the end of the bar.
    const int right = kStatusPanelEdges[i] < 0 ? w : kStatusPanelEdges[i];
    panels_[i] = new TextBox(x + left, y, right - left, h, FL_THIN_DOWN_BOX);
    panels_[i]->padding(3);
    left = right;
  }
  end();
}

TMainForm::TMainForm(MainFormDialogs& dialogs)
    : Fl_Double_Window(kClientWidth, kClientHeight, kAppTitle),
      dialogs_(dialogs),
      runs_([this] { hide(); },
            [this](const std::string& text) { dialogs_.ShowError(text); }) {
  // Children join the window in tab order: Decode first, then the list,
  // Select, Clear and the header.
  Button1 = Place<Fl_Button>(kButton1);
  Button1->label(kDecodeText);
  LBMain = Place<FileListBox>(kLBMain);
  Button2 = Place<Fl_Button>(kButton2);
  Button2->label(kSelectText);
  Button3 = Place<Fl_Button>(kButton3);
  Button3->label(kClearText);

  Panel1 = Place<Fl_Group>(kPanel1);
  Panel1->box(FL_THIN_DOWN_BOX);
  Panel1->color(FL_WHITE);
  header_image_ = HeaderIconImage();
  Image1 = new Fl_Box(kPanel1.left + kImage1.left, kPanel1.top + kImage1.top,
                      header_image_->w(), header_image_->h());
  Image1->image(header_image_.get());
  L1 = HeaderLabel(kPanel1.left + kL1Left, kPanel1.top + kL1Top, HeaderText());
  Label2 = HeaderLabel(kPanel1.left + kLabel2Left, kPanel1.top + kLabel2Top,
                       kNoticeText);
  Panel1->end();

  SBar = Place<StatusBar>(kSBar);
  end();

  for (Fl_Button* button : {Button1, Button2, Button3}) {
    button->callback(OnButton, this);
  }
  LBMain->ShowOutcomes([this](int row) { return runs_.Outcome(row); });
  callback(OnClose);

  // A fixed size: no resizable child, and minimum equal to maximum, which
  // also takes the maximise button away.
  resizable(nullptr);
  size_range(kClientWidth, kClientHeight, kClientWidth, kClientHeight);
  position(kWindowLeft, kWindowTop);

  program_icons_ = ProgramIconImages();
  std::vector<const Fl_RGB_Image*> icons;
  for (const auto& image : program_icons_) icons.push_back(image.get());
  this->icons(icons.data(), static_cast<int>(icons.size()));

  FormCreate();
}

TMainForm::~TMainForm() {
  // The boxes point at images this window owns; drop them first.
  Image1->image(nullptr);
}

void TMainForm::FormCreate() {
  SBar->SetText(kStatusPanel, ContactText());
  SBar->SetText(kWebPanel, WebText());
}

int TMainForm::EntryCount() const { return LBMain->size(); }

std::string TMainForm::Entry(int index) const {
  const char* text = index >= 0 ? LBMain->text(index + 1) : nullptr;
  if (!text) throw Error(ListIndexOutOfBounds(index));
  return text;
}

void TMainForm::SetStatusText(const std::string& text) {
  SBar->SetText(kStatusPanel, text);
}

void TMainForm::ProcessMessages() { Fl::check(); }

void TMainForm::WaitFor(const WaitForWork& wait) {
  // The work is looked at every slice, so its end is seen at once, and the
  // window repaints and answers between slices.
  while (!wait(kWaitSliceMs)) Fl::check();
}

void TMainForm::RunStarting(int) { LBMain->OutcomesChanged(); }

void TMainForm::FileDone(int, const FileReport&) { LBMain->redraw(); }

void TMainForm::ShowMessage(const std::string& text) {
  dialogs_.ShowMessage(text);
}

void TMainForm::Button1Click() { runs_.Decode(*this); }

void TMainForm::Button2Click() {
  const auto chosen = dialogs_.ChooseFiles(chooser_folder_);
  if (!chosen) return;
  ReplaceList(*chosen);
  RememberFolderOf(*chosen);
}

void TMainForm::Button3Click() {
  LBMain->clear();
  ListChanged();
}

void TMainForm::ReplaceList(const std::vector<std::string>& entries) {
  LBMain->clear();
  for (const auto& entry : entries) LBMain->add(entry.c_str());
  ListChanged();
}

void TMainForm::ListChanged() {
  runs_.ListChanged();
  LBMain->OutcomesChanged();
}

void TMainForm::OpenPaths(const std::vector<std::string>& paths) {
  ReplaceList(ListEntriesFor(paths));
  RememberFolderOf(paths);
}

void TMainForm::RememberFolderOf(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    chooser_folder_ = DirectoryPart(path);
    return;
  }
}

void TMainForm::FilesDropped() {
  const char* text = Fl::event_text();
  if (!text) return;
  // Read now: the event's text is gone by the time a held drop runs. A drop
  // of links or other things that are not local files leaves the list as it
  // is, as a cancelled Select does.
  const auto paths = PathsFromUriList(std::string(text, Fl::event_length()));
  if (paths) runs_.Input([this, paths] { OpenPaths(*paths); });
}

int TMainForm::handle(int event) {
  switch (event) {
    case FL_DND_ENTER:
    case FL_DND_DRAG:
      // The whole window takes the drop, whichever control is under the
      // pointer: the release and then the data go to the widget below the
      // mouse, so that must be the window.
      dragging_over_ = true;
      Fl::belowmouse(this);
      return 1;
    case FL_ENTER:
    case FL_MOVE:
    case FL_LEAVE:
      // When the file manager lets go of the pointer, the pointer "enters"
      // this window before the drop arrives, which would make the control
      // under it the widget below the mouse, and it refuses drops.
      if (!dragging_over_) break;
      Fl::belowmouse(this);
      return 1;
    case FL_DND_LEAVE:
    case FL_DND_RELEASE:
    case FL_PUSH:
      dragging_over_ = false;
      if (event == FL_PUSH) break;
      return 1;
    case FL_PASTE:
      try {
        FilesDropped();
      } catch (const std::exception& e) {
        runs_.ShowError(e.what());
      }
      return 1;
  }
  return Fl_Double_Window::handle(event);
}

void TMainForm::Guarded(Handler handler) noexcept {
  try {
    runs_.Input([this, handler] { (this->*handler)(); });
  } catch (const std::exception& e) {
    runs_.ShowError(e.what());
  }
}

void TMainForm::OnButton(Fl_Widget* button, void* form) {
  auto* self = static_cast<TMainForm*>(form);
  if (button == self->Button1) self->Guarded(&TMainForm::Button1Click);
  if (button == self->Button2) self->Guarded(&TMainForm::Button2Click);
  if (button == self->Button3) self->Guarded(&TMainForm::Button3Click);
}

void TMainForm::OnClose(Fl_Widget* window, void*) {
  auto* self = static_cast<TMainForm*>(window);
  // Esc would close the window; only the title bar's close button does.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  if (self->runs_.AskToClose()) self->hide();
}

}  // namespace velkrane
