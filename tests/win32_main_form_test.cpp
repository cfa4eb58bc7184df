// The real main window under Wine, driven by window messages. The open-file
// dialog sits behind the seam here; win32_open_dialog_test.cpp drives the
// real one.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "fileio/error.h"
#include "x3f/tail_repair.h"
#include "tests/test_util.h"
#include "tests/win32_test_util.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/main_form_texts.h"
#include "ui/win32/MainUnit.h"

namespace velkrane {
namespace {

using testing::BoxWatcher;
using testing::Bytes;
using testing::DrainQueue;
using testing::ListEntries;
using testing::ScopedTempDir;
using testing::StatusRecorder;
using testing::StatusText;
using testing::WindowText;
using Paths = std::vector<std::string>;

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TMainForm>(
        ::GetModuleHandleW(nullptr),
        [this](HWND) -> std::optional<Paths> { return selection_; });
    hwnd_ = form_->Handle();
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
    DrainQueue();
  }
  void TearDown() override {
    form_.reset();
    // Destroying the window posts WM_QUIT; the next test must not get it.
    DrainQueue();
  }

  HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
  HWND InPanel(int id) const { return ::GetDlgItem(Control(kPanel1Id), id); }
  void Click(int id) { ::SendMessageW(Control(id), BM_CLICK, 0, 0); }
  void PostClick(int id) { ::PostMessageW(Control(id), BM_CLICK, 0, 0); }
  void Select(const std::optional<Paths>& selection) {
    selection_ = selection;
    Click(kButton2Id);
  }
  Paths List() const { return ListEntries(Control(kLBMainId)); }
  std::string Status(int panel) const {
    return StatusText(Control(kSBarId), panel);
  }

  std::unique_ptr<TMainForm> form_;
  HWND hwnd_ = nullptr;
  std::optional<Paths> selection_;
};

// A control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control) {
  RECT rect;
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control),
                    reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(MainFormTest, WindowFrame) {
  RECT client;
  ::GetClientRect(hwnd_, &client);
  EXPECT_EQ(kClientWidth, client.right - client.left);
  EXPECT_EQ(kClientHeight, client.bottom - client.top);
  RECT frame;
  ::GetWindowRect(hwnd_, &frame);
  EXPECT_EQ(kWindowLeft, frame.left);
  EXPECT_EQ(kWindowTop, frame.top);
  EXPECT_EQ(kAppTitle, WindowText(hwnd_));

  const LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border must not resize";
  EXPECT_EQ(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1),
            ::GetClassLongPtrW(hwnd_, GCLP_HBRBACKGROUND));
  EXPECT_NE(0u, ::GetClassLongPtrW(hwnd_, GCLP_HICON));
}

TEST_F(MainFormTest, ControlGeometry) {
  const struct {
    HWND control;
    Rect want;
    const char* name;
  } cases[] = {
      {Control(kPanel1Id), kPanel1, "Panel1"},
      {InPanel(kImage1Id), kImage1, "Image1"},
      {Control(kLBMainId), kLBMain, "LBMain"},
      {Control(kButton2Id), kButton2, "Button2"},
      {Control(kButton3Id), kButton3, "Button3"},
      {Control(kButton1Id), kButton1, "Button1"},
      {Control(kSBarId), kSBar, "SBar"},
  };
  for (const auto& c : cases) {
    ASSERT_NE(nullptr, c.control) << c.name;
    const RECT r = RectInParent(c.control);
    EXPECT_EQ(c.want.left, r.left) << c.name;
    EXPECT_EQ(c.want.top, r.top) << c.name;
    EXPECT_EQ(c.want.width, r.right - r.left) << c.name;
    EXPECT_EQ(c.want.height, r.bottom - r.top) << c.name;
  }

  // Labels are as wide as their text and no wider than the text needs.
  const struct {
    HWND label;
    int left, top;
  } labels[] = {{InPanel(kL1Id), kL1Left, kL1Top},
                {InPanel(kLabel2Id), kLabel2Left, kLabel2Top}};
  for (const auto& l : labels) {
    const RECT r = RectInParent(l.label);
    EXPECT_EQ(l.left, r.left);
    EXPECT_EQ(l.top, r.top);
    EXPECT_EQ(kLabelHeight, r.bottom - r.top);
    EXPECT_GT(r.right - r.left, 20);
    EXPECT_LE(r.right, kPanel1.width - 1) << "cut off by the panel's bevel";
  }
  EXPECT_NE(0, ::SendMessageW(InPanel(kImage1Id), STM_GETICON, 0, 0))
      << "the header picture is missing";
}

TEST_F(MainFormTest, TextsAndStatusPanels) {
  const struct {
    HWND control;
    std::string want;
  } texts[] = {
      {Control(kButton1Id), "Decode"},
      {Control(kButton2Id), "Select"},
      {Control(kButton3Id), "Clear"},
      {InPanel(kL1Id), "Morlisk - Velkrane - Quendar"},
      {InPanel(kLabel2Id), kNoticeText},
  };
  for (const auto& t : texts) EXPECT_EQ(t.want, WindowText(t.control));

  EXPECT_EQ("", Status(0));
  EXPECT_EQ("Contact " + std::string(kSupportAddress), Status(1));
  EXPECT_EQ("Web " + std::string(kWebAddress), Status(2));
  int edges[4] = {};
  ASSERT_EQ(3, ::SendMessageW(Control(kSBarId), SB_GETPARTS, 4,
                              reinterpret_cast<LPARAM>(edges)));
  EXPECT_EQ(50, edges[0]);
  EXPECT_EQ(250, edges[1]);
  EXPECT_EQ(-1, edges[2]);

  const HWND list = Control(kLBMainId);
  EXPECT_EQ(kListItemHeight, ::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  EXPECT_EQ(0, ::GetWindowLongW(list, GWL_STYLE) &
                   (LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_SORT));
  EXPECT_TRUE(List().empty());
}

TEST_F(MainFormTest, EveryControlUsesTahoma8) {
  const HWND controls[] = {Control(kButton1Id), Control(kButton2Id),
                           Control(kButton3Id), Control(kLBMainId),
                           Control(kSBarId),    InPanel(kL1Id),
                           InPanel(kLabel2Id)};
  for (const HWND control : controls) {
    const auto font =
        reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    ASSERT_NE(nullptr, font) << testing::ClassOf(control);
    LOGFONTW log = {};
    ASSERT_NE(0, ::GetObjectW(font, sizeof log, &log));
    EXPECT_EQ(std::wstring(L"Tahoma"), log.lfFaceName);
    EXPECT_EQ(-11, log.lfHeight);
    EXPECT_EQ(ANSI_CHARSET, log.lfCharSet);
  }
}

TEST_F(MainFormTest, PanelIsWhiteOnButtonFace) {
  ::RedrawWindow(hwnd_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const HDC dc = ::GetDC(hwnd_);
  const COLORREF panel = ::GetPixel(dc, 100, 20);
  const COLORREF bevel = ::GetPixel(dc, 100, 0);
  const COLORREF face = ::GetPixel(dc, 420, 250);
  ::ReleaseDC(hwnd_, dc);
  EXPECT_EQ(RGB(255, 255, 255), panel);
  EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), bevel) << "lowered bevel";
  EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), face);
}

TEST_F(MainFormTest, TabOrderAndKeyboard) {
  const HWND order[] = {Control(kButton1Id), Control(kLBMainId),
                        Control(kButton2Id), Control(kButton3Id)};
  for (std::size_t i = 0; i < std::size(order); ++i) {
    EXPECT_EQ(order[(i + 1) % std::size(order)],
              ::GetNextDlgTabItem(hwnd_, order[i], FALSE))
        << "after tab stop " << i;
  }
  // Tab goes through the pump's IsDialogMessageW, as in the program's loop.
  ::SetFocus(order[0]);
  ASSERT_EQ(order[0], ::GetFocus());
  ::PostMessageW(order[0], WM_KEYDOWN, VK_TAB, 0);
  form_->ProcessMessages();
  EXPECT_EQ(order[1], ::GetFocus());
}

enum class Action { kSelect, kClear };

TEST_F(MainFormTest, SelectReplacesAndClearEmpties) {
  const struct {
    Action action;
    std::optional<Paths> selection;
    Paths want;
    const char* what;
  } steps[] = {
      {Action::kSelect,
       Paths{"C:\\a\\1.X3F", "C:\\a\\0.X3F"},
       {"C:\\a\\1.X3F", "C:\\a\\0.X3F"},
       "dialog order, not sorted"},
      {Action::kSelect,
       Paths{"D:\\b\\2.X3F"},
       {"D:\\b\\2.X3F"},
       "a second selection replaces the first"},
      {Action::kSelect,
       std::nullopt,
       {"D:\\b\\2.X3F"},
       "cancel keeps the list"},
      {Action::kClear, std::nullopt, {}, "clear"},
      {Action::kClear, std::nullopt, {}, "clear on an empty list"},
  };
  for (const auto& s : steps) {
    if (s.action == Action::kSelect) {
      Select(s.selection);
    } else {
      Click(kButton3Id);
    }
    EXPECT_EQ(s.want, List()) << s.what;
  }
  EXPECT_EQ(ContactText(), Status(1))
      << "the list buttons leave the status bar";
}

TEST_F(MainFormTest, DecodeEmptyListShowsOnlyTheBox) {
  BoxWatcher watcher;
  StatusRecorder status(Control(kSBarId), kStatusPanel);
  Click(kButton1Id);
  ASSERT_EQ(1u, watcher.boxes.size());
  EXPECT_EQ("Velkrane", watcher.boxes[0].caption);
  EXPECT_EQ("Sorry, no files selected.", watcher.boxes[0].text);
  EXPECT_FALSE(watcher.boxes[0].any_icon);
  EXPECT_TRUE(status.texts.empty());
  EXPECT_EQ(ContactText(), Status(1));

  // Centred on the screen, not on the window at 210, 179.
  const RECT box = watcher.boxes[0].rect;
  MONITORINFO screen = {sizeof screen, {}, {}, 0};
  ::GetMonitorInfoW(::MonitorFromRect(&box, MONITOR_DEFAULTTOPRIMARY), &screen);
  EXPECT_NEAR((screen.rcWork.left + screen.rcWork.right) / 2,
              (box.left + box.right) / 2, 1);
  EXPECT_NEAR((screen.rcWork.top + screen.rcWork.bottom) / 2,
              (box.top + box.bottom) / 2, 1);
}

// Two sources in one folder: a.X3F with its tail at 60 and junk behind it,
// b.X3F with no tail at all.
struct Sources {
  ScopedTempDir dir;
  std::string a = dir.File("a.X3F");
  std::string b = dir.File("b.X3F");
  std::string out = dir.File("PostProcessed") + "\\";
  Sources() {
    Bytes with_tail = testing::Filler(100);
    testing::Plant(with_tail, 60);
    testing::WriteFile(a, with_tail);
    testing::WriteFile(b, testing::Filler(50, 2));
  }
};

std::string Processing(const std::string& name) {
  return kProcessingPrefix + name + kProcessingSuffix;
}
std::string Saved(const std::string& name) {
  return name + ":" + kTailFoundPrefix + name;
}
std::string NoTail(const std::string& name) {
  return name + ":" + kNoTailMessage;
}

TEST_F(MainFormTest, DecodeRealFiles) {
  Sources src;
  Select(Paths{src.a, "   ", src.b});
  BoxWatcher watcher;
  StatusRecorder status(Control(kSBarId), kStatusPanel);
  Click(kButton1Id);

  const Paths want = {Processing("a.X3F"), Saved("a.X3F"), Processing("b.X3F"),
                      NoTail("b.X3F"), "Ready."};
  EXPECT_EQ(want, status.texts);
  EXPECT_EQ("Ready.", Status(1));
  EXPECT_EQ("", Status(0));
  EXPECT_EQ(WebText(), Status(2));
  ASSERT_EQ(1u, watcher.boxes.size());
  EXPECT_EQ("Velkrane", watcher.boxes[0].caption);
  EXPECT_EQ("Post-Process Completed. - New X3F Files were Saved at" + src.out,
            watcher.boxes[0].text);
  EXPECT_FALSE(watcher.boxes[0].any_icon);

  const Bytes source = testing::ReadFile(src.a);
  EXPECT_EQ(Bytes(source.begin(), source.begin() + 68),
            testing::ReadFile(src.out + "a.X3F"));
  EXPECT_FALSE(testing::Exists(src.out + "b.X3F"));
}

// A button pressed while the run pumps messages: the press is posted before
// Decode, so it lands in the first pump, after a.X3F was read from the list.
// In `new_selection` (what Select then picks) "b" stands for b.X3F.
TEST_F(MainFormTest, PressesDuringARun) {
  const struct {
    int button;
    Paths new_selection;
    Paths want_status;
    std::vector<std::string> want_boxes;
    bool want_stop_icon;
    const char* what;
  } cases[] = {
      {kButton3Id,
       {},
       {Processing("a.X3F"), Saved("a.X3F")},
       {"List index out of bounds (1)"},
       true,
       "Clear ends the run"},
      {kButton2Id,
       {"Z:\\none\\x.X3F"},
       {Processing("a.X3F"), Saved("a.X3F")},
       {"List index out of bounds (1)"},
       true,
       "Select with a shorter list ends the run"},
      {kButton2Id,
       {"x", "b"},
       {Processing("a.X3F"), Saved("a.X3F"), Processing("b.X3F"),
        NoTail("b.X3F"), "Ready."},
       {"summary"},
       false,
       "Select with a list as long goes on by index"},
      {kButton1Id,
       {},
       {Processing("a.X3F"), Processing("a.X3F"), Saved("a.X3F"),
        Processing("b.X3F"), NoTail("b.X3F"), "Ready.", Saved("a.X3F"),
        Processing("b.X3F"), NoTail("b.X3F"), "Ready."},
       {"summary", "summary"},
       false,
       "Decode runs a nested run first"},
  };
  for (const auto& c : cases) {
    Sources src;
    Select(Paths{src.a, src.b});
    selection_ = c.new_selection;
    for (auto& path : *selection_) {
      if (path == "b") path = src.b;
    }
    BoxWatcher watcher;
    StatusRecorder status(Control(kSBarId), kStatusPanel);
    PostClick(c.button);
    Click(kButton1Id);

    EXPECT_EQ(c.want_status, status.texts) << c.what;
    ASSERT_EQ(c.want_boxes.size(), watcher.boxes.size()) << c.what;
    for (std::size_t i = 0; i < c.want_boxes.size(); ++i) {
      const std::string want = c.want_boxes[i] == "summary"
                                   ? kSummaryPrefix + src.out
                                   : c.want_boxes[i];
      EXPECT_EQ(want, watcher.boxes[i].text) << c.what;
      EXPECT_EQ(c.want_stop_icon, watcher.boxes[i].stop_icon) << c.what;
      EXPECT_EQ("Velkrane", watcher.boxes[i].caption) << c.what;
    }
    EXPECT_TRUE(testing::Exists(src.out + "a.X3F"))
        << "copies already written stay";
  }
  // The error did not end the program: the window still answers.
  BoxWatcher watcher;
  Click(kButton3Id);
  Click(kButton1Id);
  ASSERT_EQ(1u, watcher.boxes.size());
  EXPECT_EQ(kNoFilesSelected, watcher.boxes[0].text);
}

TEST_F(MainFormTest, CloseDuringARunFinishesSilentlyThenQuits) {
  Sources src;
  const std::string c = src.dir.File("c.X3F");
  Bytes with_tail = testing::Filler(40, 3);
  testing::Plant(with_tail, 20);
  testing::WriteFile(c, with_tail);
  Select(Paths{src.a, src.b, c});

  BoxWatcher watcher;
  StatusRecorder status(Control(kSBarId), kStatusPanel);
  ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
  Click(kButton1Id);

  EXPECT_TRUE(::IsWindow(hwnd_)) << "the window stays until the run ends";
  EXPECT_EQ("Ready.", status.texts.back());
  EXPECT_TRUE(testing::Exists(src.out + "a.X3F"));
  EXPECT_TRUE(testing::Exists(src.out + "c.X3F"))
      << "the run went on to the end";
  EXPECT_TRUE(watcher.boxes.empty()) << "no summary after a close";

  int exit_code = -1;
  EXPECT_TRUE(DrainQueue(&exit_code)) << "the program ends";
  EXPECT_EQ(0, exit_code);
  EXPECT_FALSE(::IsWindow(hwnd_));
  EXPECT_EQ(nullptr, form_->Handle());
}

TEST_F(MainFormTest, QuitPulledByThePumpIsPostedAgain) {
  Sources src;
  Select(Paths{src.a});
  // The summary box would end at once on the pending quit; keep watching
  // anyway so a box that stays cannot hang the test.
  BoxWatcher watcher;
  ::PostQuitMessage(7);
  Click(kButton1Id);
  EXPECT_TRUE(testing::Exists(src.out + "a.X3F")) << "the run went on";
  EXPECT_EQ("Ready.", Status(1));
  int exit_code = -1;
  EXPECT_TRUE(DrainQueue(&exit_code));
  EXPECT_EQ(7, exit_code);
}

}  // namespace
}  // namespace velkrane
