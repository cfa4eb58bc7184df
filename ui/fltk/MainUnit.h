#pragma once

// The main window: builds its controls from the shared layout table, turns
// button presses into the handlers and serves the batch run.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Image.H>

#include "batch/batch_run.h"
#include "ui/fltk/main_form_dialogs.h"
#include "ui/fltk/text_box.h"
#include "ui/shared/decode_runs.h"

namespace velkrane {

/// A single-selection list whose rows are kListItemHeight high whatever the
/// font says, and show names in any script exactly as written. A row whose
/// file has an outcome shows its mark at the left edge, its text after it,
/// and the outcome's text as the row's tooltip.
class FileListBox : public Fl_Hold_Browser {
 public:
  /// The outcome of the file in a row (from 0); null for none.
  using OutcomeLookup = std::function<const RowOutcome*(int row)>;

  FileListBox(int x, int y, int w, int h);
  ~FileListBox() override;

  void ShowOutcomes(OutcomeLookup lookup) { outcome_of_ = std::move(lookup); }
  /// Rows may have other outcomes now: redrawn, and a tooltip shown for
  /// one is taken away.
  void OutcomesChanged();

  int handle(int event) override;

 protected:
  int item_height(void* item) const override;
  int incr_height() const override;
  int item_width(void* item) const override;
  void item_draw(void* item, int x, int y, int w, int h) const override;

 private:
  const RowOutcome* OutcomeOf(void* item) const;
  /// The tooltip of the row under the pointer, if it has an outcome.
  void ShowTip();
  void HideTip();

  OutcomeLookup outcome_of_;
  /// What the tooltip shows: FLTK keeps only a pointer to it.
  std::string tip_;
  int tip_row_ = -1;
};

/// Three sunken panels along the bottom edge, split at kStatusPanelEdges.
class StatusBar : public Fl_Group {
 public:
  StatusBar(int x, int y, int w, int h);
  static constexpr int kPanelCount = 3;
  TextBox* Panel(int index) const { return panels_[index]; }
  void SetText(int index, const std::string& text) {
    panels_[index]->SetText(text);
  }

 private:
  TextBox* panels_[kPanelCount];
};

class TMainForm : public Fl_Double_Window, public BatchWindow {
 public:
  /// Builds the window and runs FormCreate; `dialogs` must outlive it.
  explicit TMainForm(MainFormDialogs& dialogs);
  ~TMainForm() override;

  /// Files and folders named at start or dropped on the window: they
  /// replace the list, folders as the .x3f files below them.
  void OpenPaths(const std::vector<std::string>& paths);

  /// Accepts files dragged from the file manager: the drop arrives as an
  /// FL_PASTE of its text/uri-list.
  int handle(int event) override;

  // BatchWindow.
  int EntryCount() const override;
  std::string Entry(int index) const override;
  void SetStatusText(const std::string& text) override;
  void ProcessMessages() override;
  void ShowMessage(const std::string& text) override;
  /// Handles the window's events until `wait` says the file's work is
  /// done; input that would run a handler waits for the next
  /// ProcessMessages (DecodeRuns::Input).
  void WaitFor(const WaitForWork& wait) override;
  void RunStarting(int count) override;
  void FileDone(int index, const FileReport& report) override;

  // The controls, owned by the window. X11's headers (FL/x.H, and
  // FL/fl_draw.H through it) define Button1..Button5 as macros: a file that
  // uses these names must not include them.
  Fl_Group* Panel1;
  Fl_Box* Image1;
  TextBox* L1;
  TextBox* Label2;
  FileListBox* LBMain;
  Fl_Button* Button1;
  Fl_Button* Button2;
  Fl_Button* Button3;
  StatusBar* SBar;

 private:
  using Handler = void (TMainForm::*)();

  void FormCreate();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  /// The list holds `entries` and nothing else.
  void ReplaceList(const std::vector<std::string>& entries);
  /// The list was replaced or emptied: no row keeps an outcome.
  void ListChanged();
  /// The FL_PASTE that ends a drop: its files replace the list.
  void FilesDropped();
  /// The next Select opens where the first of `paths` is.
  void RememberFolderOf(const std::vector<std::string>& paths);

  /// Runs a handler, or during a file holds it for the next
  /// ProcessMessages; whatever it throws ends here in the error box, since
  /// no exception may pass back into the toolkit.
  void Guarded(Handler handler) noexcept;
  static void OnButton(Fl_Widget* button, void* form);
  static void OnClose(Fl_Widget* window, void*);

  MainFormDialogs& dialogs_;
  std::unique_ptr<Fl_Image> header_image_;
  std::vector<std::unique_ptr<Fl_RGB_Image>> program_icons_;
  DecodeRuns runs_;
  /// Where Select opens: the folder of the last files picked, dropped or
  /// given at start; empty, the current folder, before any.
  std::string chooser_folder_;
  /// Between a drag's entering the window and its drop or leaving.
  bool dragging_over_ = false;
};

}  // namespace velkrane
