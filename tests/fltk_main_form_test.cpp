// The Linux main window, built for real and driven through its widgets under
// Xvfb. The dialogs answer from a script; fltk_message_box_test.cpp covers
// the real boxes.

#include <cctype>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Tooltip.H>
#include <gtest/gtest.h>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/path_parts.h"
#include "tests/fltk_window_test_util.h"
#include "tests/main_form_cases.h"
#include "tests/test_util.h"
#include "ui/fltk/MainUnit.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/main_form_texts.h"

namespace velkrane {
namespace {

using testing::Bytes;
using testing::Filler;
using testing::Head;
using testing::Processing;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;
using testing::WriteSource;

using Choice = std::optional<std::vector<std::string>>;

/// `path` as a file manager puts it in a text/uri-list line.
std::string FileUri(const std::string& path) {
  std::string uri = "file://";
  for (const unsigned char c : path) {
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", c);
    uri += std::isalnum(c) || c == '/' || c == '.' ? std::string(1, c) : escape;
  }
  return uri + "\r\n";
}

class ScriptedDialogs : public MainFormDialogs {
 public:
  Choice ChooseFiles(const std::string& folder) override {
    folders.push_back(folder);
    if (choices.empty()) {
      ADD_FAILURE() << "the file dialog opened unexpectedly";
      return std::nullopt;
    }
    Choice next = choices.front();
    choices.pop_front();
    return next;
  }
  void ShowMessage(const std::string& text) override {
    messages.push_back(text);
    status_at_message.push_back(form->SBar->Panel(kStatusPanel)->Text());
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }

  std::deque<Choice> choices;
  /// Where each dialog was to open.
  std::vector<std::string> folders;
  std::vector<std::string> messages;
  std::vector<std::string> status_at_message;
  std::vector<std::string> errors;
  /// The window whose status a message box is shown over.
  const TMainForm* form = nullptr;
};

/// The window, with each status text it is given recorded, also those
/// replaced before the next repaint.
class RecordingForm : public TMainForm {
 public:
  using TMainForm::TMainForm;
  void SetStatusText(const std::string& text) override {
    TMainForm::SetStatusText(text);
    if (statuses) statuses->push_back(text);
  }
  std::vector<std::string>* statuses = nullptr;
};

class MainFormTest : public ::testing::Test, public testing::MainFormDriver {
 protected:
  MainFormTest() : form_(dialogs_) { dialogs_.form = &form_; }

  void SetUp() override {
    form_.show();
    testing::WaitUntilMapped(&form_);
    Fl::add_check(WatchStatus, this);
  }
  void TearDown() override {
    Fl::remove_check(WatchStatus, this);
    form_.hide();
    Fl::check();
  }

  /// Called on every pass of the event loop, also inside a run's pumps:
  /// on_status_ sees the status as the window shows it.
  static void WatchStatus(void* data) {
    auto* self = static_cast<MainFormTest*>(data);
    const std::string& now = self->Status();
    if (self->shown_status_ != now) {
      self->shown_status_ = now;
      if (self->on_status_) self->on_status_(now);
    }
  }

  const std::string& Status() const {
    return form_.SBar->Panel(kStatusPanel)->Text();
  }

  void Select(const Choice& choice) {
    dialogs_.choices.push_back(choice);
    form_.Button2->do_callback();
  }

  // MainFormDriver.
  void Select(const Paths& paths) override { Select(Choice(paths)); }
  void Clear() override { form_.Button3->do_callback(); }
  Shown PressDecode(Press press, const Paths& paths) override {
    dialogs_.messages.clear();
    dialogs_.errors.clear();
    bool pressed = press == Press::kNone;
    on_status_ = [&](const std::string&) {
      if (pressed) return;
      pressed = true;
      Make(press, paths);
    };
    Shown run;
    run.statuses = Decode();
    on_status_ = nullptr;
    run.messages = dialogs_.messages;
    run.errors = dialogs_.errors;
    return run;
  }
  void ExpectClosedAfterTheRun() override {
    EXPECT_FALSE(form_.shown()) << "the window goes once the run is over";
  }
  int Dpi() const override { return kDesignDpi; }
  void PostStatusProbe(testing::StatusProbe&) override {
    Fl::awake(
        [](void* data) {
          auto* self = static_cast<MainFormTest*>(data);
          self->probe_->status = self->Status();
          self->form_.SBar->Panel(kStatusPanel)->redraw();
        },
        this);
  }
  void WatchStatusRepaints(testing::StatusProbe* probe) override {
    if (probe) {
      // Fl::awake posts to the event loop only once FLTK's lock exists.
      Fl::lock();
      probe_ = probe;
      Fl::add_check(ReleaseOnRepaint, this);
    } else {
      Fl::remove_check(ReleaseOnRepaint, this);
      probe_ = nullptr;
    }
  }
  static void ReleaseOnRepaint(void* data) {
    auto* self = static_cast<MainFormTest*>(data);
    const testing::StatusProbe* probe = self->probe_;
    if (probe && !probe->status.empty() &&
        !self->form_.SBar->Panel(kStatusPanel)->damage()) {
      probe->held->Release();
    }
  }

  /// `press`, made while a run works on its first file.
  void Make(Press press, const Paths& paths) {
    switch (press) {
      case Press::kNone:
        break;
      case Press::kClear:
        Clear();
        break;
      case Press::kSelect:
        Select(paths);
        break;
      case Press::kDrop: {
        std::string uris;
        for (const std::string& path : paths) uris += FileUri(path);
        EXPECT_TRUE(Drop(uris));
        break;
      }
      case Press::kDecode:
        form_.Button1->do_callback();
        break;
      case Press::kClose:
        Fl::handle(FL_CLOSE, &form_);
        break;
    }
  }

  /// Presses Decode; returns the status texts the run showed, in order.
  std::vector<std::string> Decode() {
    std::vector<std::string> statuses;
    form_.statuses = &statuses;
    form_.Button1->do_callback();
    form_.statuses = nullptr;
    return statuses;
  }

  /// A drop on the list as the X11 layer delivers it: the DND events to
  /// the window, with the FL_ENTER of the pointer the file manager lets go
  /// of before the release, then the FL_PASTE of the dropped text/uri-list
  /// to the widget below the mouse. False when the window refused it.
  bool Drop(const std::string& uri_list) {
    Fl::e_x = kLBMain.left + 20;
    Fl::e_y = kLBMain.top + 20;
    Fl::e_x_root = form_.x() + Fl::e_x;
    Fl::e_y_root = form_.y() + Fl::e_y;
    for (int event : {FL_DND_ENTER, FL_DND_DRAG, FL_ENTER, FL_DND_RELEASE}) {
      if (!Fl::handle(event, &form_) && event != FL_ENTER) return false;
    }
    Fl_Widget* target = Fl::belowmouse();
    if (!target) return false;
    Fl::e_text = const_cast<char*>(uri_list.c_str());
    Fl::e_length = static_cast<int>(uri_list.size());
    target->handle(FL_PASTE);
    return true;
  }

  /// The square cell at the left edge of list row `row`, where its mark
  /// goes.
  testing::Pixels MarkCell(int row) override {
    Fl::check();
    return testing::ReadPixels(&form_, RowsLeft(), RowTop(row),
                               kMarkColumnWidth, kListItemHeight);
  }
  // Where the rows start: inside the list's frame, which is a down box
  // when it has none of its own.
  Fl_Boxtype ListFrame() const {
    return form_.LBMain->box() ? form_.LBMain->box() : FL_DOWN_BOX;
  }
  int RowsLeft() const { return kLBMain.left + Fl::box_dx(ListFrame()); }
  int RowTop(int row) const {
    return kLBMain.top + Fl::box_dy(ListFrame()) + row * kListItemHeight;
  }
  testing::Pixels ListPixels() override {
    Fl::check();
    return testing::ReadPixels(&form_, kLBMain.left, kLBMain.top, kLBMain.width,
                               kLBMain.height);
  }

  /// The pointer moved over list row `row`: the tooltip then shown, or ""
  /// for none.
  std::string TooltipAt(int row) override {
    Fl::e_x = RowsLeft() + 120;
    Fl::e_y = RowTop(row) + kListItemHeight / 2;
    Fl::e_x_root = form_.x() + Fl::e_x;
    Fl::e_y_root = form_.y() + Fl::e_y;
    Fl::e_state = 0;
    const float delay = Fl_Tooltip::delay(), hover = Fl_Tooltip::hoverdelay();
    Fl_Tooltip::delay(0);
    Fl_Tooltip::hoverdelay(0);
    Fl::handle(FL_MOVE, &form_);
    std::string tip;
    // A loaded machine may take a moment to show it.
    for (int i = 0; i < 30 && tip.empty(); ++i) {
      Fl::check();
      for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
        if (w->tooltip_window() && w->label()) tip = w->label();
      }
      if (tip.empty()) Fl::wait(0.01);
    }
    Fl_Tooltip::delay(delay);
    Fl_Tooltip::hoverdelay(hover);
    return tip;
  }

  std::vector<std::string> Entries() const override {
    std::vector<std::string> entries;
    for (int i = 1; i <= form_.LBMain->size(); ++i) {
      entries.emplace_back(form_.LBMain->text(i));
    }
    return entries;
  }

  ScriptedDialogs dialogs_;
  RecordingForm form_;
  std::string shown_status_;
  std::function<void(const std::string&)> on_status_;
  testing::StatusProbe* probe_ = nullptr;
};

TEST_F(MainFormTest, WindowAndControlsSitWhereTheDesignPutsThem) {
  EXPECT_EQ(506, form_.w());
  EXPECT_EQ(407, form_.h());
  EXPECT_EQ(210, form_.x());
  EXPECT_EQ(179, form_.y());

  const struct {
    const char* name;
    const Fl_Widget* widget;
    Rect want;
  } controls[] = {
      {"Panel1", form_.Panel1, {0, 0, 506, 49}},
      {"Image1", form_.Image1, {8, 8, 32, 32}},
      {"LBMain", form_.LBMain, {8, 56, 409, 321}},
      {"Button2", form_.Button2, {424, 56, 75, 25}},
      {"Button3", form_.Button3, {424, 85, 75, 25}},
      {"Button1", form_.Button1, {424, 112, 75, 25}},
      {"SBar", form_.SBar, {0, 388, 506, 19}},
      {"SBar panel 0", form_.SBar->Panel(0), {0, 388, 50, 19}},
      {"SBar panel 1", form_.SBar->Panel(1), {50, 388, 200, 19}},
      {"SBar panel 2", form_.SBar->Panel(2), {250, 388, 256, 19}},
  };
  for (const auto& c : controls) {
    EXPECT_EQ(c.want.left, c.widget->x()) << c.name;
    EXPECT_EQ(c.want.top, c.widget->y()) << c.name;
    EXPECT_EQ(c.want.width, c.widget->w()) << c.name;
    EXPECT_EQ(c.want.height, c.widget->h()) << c.name;
  }

  // The labels are as wide as their text and must stay inside the header's
  // bevel, or the notice is cut off.
  const struct {
    const char* name;
    const TextBox* label;
    int left, top;
  } labels[] = {{"L1", form_.L1, 264, 8}, {"Label2", form_.Label2, 168, 32}};
  for (const auto& c : labels) {
    EXPECT_EQ(c.left, c.label->x()) << c.name;
    EXPECT_EQ(c.top, c.label->y()) << c.name;
    EXPECT_EQ(13, c.label->h()) << c.name;
    int width = 0, height = 0;
    c.label->Measure(c.label->Text(), 0, width, height);
    EXPECT_EQ(width, c.label->w()) << c.name;
    EXPECT_LE(c.label->x() + c.label->w(), 506 - 1) << c.name;
  }
}

TEST_F(MainFormTest, WindowManagerGetsAFixedSize) {
  const auto hints = testing::ReadWmSizeHints(&form_);
  ASSERT_TRUE(hints.has_min);
  ASSERT_TRUE(hints.has_max);
  EXPECT_EQ(506, hints.min_width);
  EXPECT_EQ(407, hints.min_height);
  EXPECT_EQ(506, hints.max_width);
  EXPECT_EQ(407, hints.max_height);
  EXPECT_EQ(nullptr, form_.resizable());
}

TEST_F(MainFormTest, StartTexts) {
  EXPECT_STREQ("Velkrane", form_.label());
  EXPECT_EQ("Morlisk - Velkrane - Quendar", form_.L1->Text());
  EXPECT_EQ(kNoticeText, form_.Label2->Text());
  EXPECT_EQ("", form_.SBar->Panel(0)->Text());
  EXPECT_EQ(std::string("Contact ") + kSupportAddress,
            form_.SBar->Panel(1)->Text());
  EXPECT_EQ(std::string("Web ") + kWebAddress, form_.SBar->Panel(2)->Text());
  EXPECT_STREQ("Decode", form_.Button1->label());
  EXPECT_STREQ("Select", form_.Button2->label());
  EXPECT_STREQ("Clear", form_.Button3->label());
  EXPECT_EQ(0, form_.LBMain->size());
  EXPECT_NE(nullptr, form_.Image1->image());
}

TEST_F(MainFormTest, TabOrderStartsAtDecode) {
  form_.Button1->take_focus();
  const Fl_Widget* const order[] = {form_.LBMain, form_.Button2, form_.Button3,
                                    form_.Button1};
  for (const Fl_Widget* next : order) {
    testing::PressKey(&form_, FL_Tab);
    EXPECT_EQ(next, Fl::focus());
  }
}

TEST_F(MainFormTest, EscapeLeavesTheWindowOpen) {
  testing::PressKey(&form_, FL_Escape);
  EXPECT_TRUE(form_.shown());
}

TEST_F(MainFormTest, ListRowsAreThirteenPixelsHigh) {
  std::vector<std::string> many;
  for (int i = 0; i < 60; ++i)
    many.push_back("/photos/" + std::to_string(i) + ".X3F");
  Select(many);
  form_.LBMain->topline(11);
  EXPECT_EQ(10 * 13, form_.LBMain->position());
}

TEST_F(MainFormTest, SelectReplacesCancelKeepsClearEmpties) {
  const std::vector<std::string> first = {"/a/one.X3F", "/a/two.X3F",
                                          "/a/three.x3f"};
  const std::vector<std::string> second = {"/b/z.X3F", "/b/y.X3F"};
  Select(first);
  EXPECT_EQ(first, Entries());
  Select(second);
  EXPECT_EQ(second, Entries()) << "a second selection replaces the first";
  Select(std::nullopt);
  EXPECT_EQ(second, Entries()) << "a cancel keeps the list";

  const std::string status_before = Status();
  form_.Button3->do_callback();
  EXPECT_TRUE(Entries().empty());
  form_.Button3->do_callback();
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(status_before, Status()) << "Clear leaves the status bar alone";
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(dialogs_.errors.empty());

  // The dialog opens in the current folder, then where the last files
  // picked are; a cancel or Clear leaves it there.
  Select(std::nullopt);
  EXPECT_EQ((std::vector<std::string>{"", "/a/", "/b/", "/b/"}),
            dialogs_.folders);
}

// The paths given at start, and later a drop from the file manager: files
// as they are, folders as the .x3f files inside, in the order given.
TEST_F(MainFormTest, StartPathsFillTheListAndADropReplacesIt) {
  ScopedTempDir dir;
  const std::string photo =
      "\xe5\x86\x99\xe7\x9c\x9f/\xf0\x9f\x8c\x85 0004.X3F";
  for (const char* name :
       {"b.X3F", "a.X3F", "card/DCIM/2.X3F", "card/1.x3f", "card/notes.txt",
        "card/PostProcessed/1.x3f", photo.c_str()}) {
    testing::fs::create_directories(
        testing::PathOf(dir.File(name)).parent_path());
    WriteFile(dir.File(name), {1});
  }
  const std::string a = dir.File("a.X3F"), b = dir.File("b.X3F"),
                    card = dir.File("card");
  const std::string one = dir.File("card/1.x3f"),
                    two = dir.File("card/DCIM/2.X3F");

  form_.OpenPaths({"", card, b, a});
  EXPECT_EQ((std::vector<std::string>{one, two, b, a}), Entries());
  EXPECT_TRUE(dialogs_.messages.empty()) << "nothing runs by itself";
  EXPECT_EQ(ContactText(), Status());
  Select(std::nullopt);

  ASSERT_TRUE(Drop(FileUri(dir.File(photo)) + FileUri(a) + FileUri(card)));
  EXPECT_EQ((std::vector<std::string>{dir.File(photo), a, one, two}),
            Entries());
  ASSERT_TRUE(Drop("https://example.org/a.X3F\r\n"));
  EXPECT_EQ((std::vector<std::string>{dir.File(photo), a, one, two}), Entries())
      << "a drop without local files leaves the list";
  EXPECT_TRUE(dialogs_.errors.empty());

  // Select opens where the first path given or dropped is.
  Select(std::nullopt);
  EXPECT_EQ((std::vector<std::string>{DirectoryPart(card),
                                      DirectoryPart(dir.File(photo))}),
            dialogs_.folders);
}

TEST_F(MainFormTest, DecodeWithEmptyListSaysSoAndLeavesTheStatus) {
  const std::string status_before = Status();
  EXPECT_TRUE(Decode().empty());
  EXPECT_EQ(std::vector<std::string>{"Sorry, no files selected."},
            dialogs_.messages);
  EXPECT_EQ(status_before, Status());
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(MainFormTest, DecodeRunsOverRealFiles) {
  ScopedTempDir dir;
  const Bytes a = WriteSource(dir.File("a.X3F"), 40, 100, 1);
  WriteFile(dir.File("b.x3f"), Filler(30, 2));
  WriteFile(dir.File("c.X3F"), {});
  Select(std::vector<std::string>{dir.File("a.X3F"), dir.File("b.x3f"),
                                  dir.File("c.X3F")});

  const std::vector<std::string> want = {
      Processing("a.X3F"),
      "a.X3F:Post-processed successfully! - saved as a.X3F",
      Processing("b.x3f"),
      "b.x3f:Failed to post-process - no file tail found.",
      Processing("c.X3F"),
      "c.X3F:" + std::string(kFailedPrefix) + kStreamReadError,
      "Ready.",
  };
  EXPECT_EQ(want, Decode());

  const std::string folder = dir.Path() + "/PostProcessed/";
  EXPECT_EQ(
      std::vector<std::string>{
          "Post-Process Completed. - New X3F Files were Saved at" + folder},
      dialogs_.messages);
  EXPECT_EQ(std::vector<std::string>{"Ready."}, dialogs_.status_at_message)
      << "the summary comes after Ready.";
  EXPECT_EQ(Head(a, 48), ReadFile(folder + "a.X3F"));
  EXPECT_EQ(a, ReadFile(dir.File("a.X3F"))) << "the source stays as it was";
  EXPECT_FALSE(testing::Exists(folder + "b.x3f"));
  EXPECT_TRUE(dialogs_.errors.empty());
}

VELKRANE_MAIN_FORM_CASES(MainFormTest)

}  // namespace
}  // namespace velkrane
