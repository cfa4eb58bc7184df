// The real main window under Wine, driven by window messages. The open-file
// dialog sits behind the seam here; win32_open_dialog_test.cpp drives the
// real one. The layout is checked at the DPI the Wine prefix is set to
// (VELKRANE_TEST_DPI, 96 when unset): `make test` runs this suite at 96 and
// at 144.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "tests/main_form_cases.h"
#include "tests/test_util.h"
#include "tests/win32_test_util.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/main_form_texts.h"
#include "ui/win32/MainUnit.h"

namespace velkrane {
namespace {

using testing::BoxWatcher;
using testing::DrainQueue;
using testing::ListEntries;
using testing::NoTail;
using testing::Processing;
using testing::Saved;
using testing::ScopedTempDir;
using testing::Sources;
using testing::StatusRecorder;
using testing::StatusText;
using testing::WindowText;
using Paths = std::vector<std::string>;

/// The DPI this run's Wine prefix is set to.
int ExpectedDpi() {
  const char* dpi = std::getenv("VELKRANE_TEST_DPI");
  return dpi ? std::atoi(dpi) : kDesignDpi;
}

/// Asks the window for its size at another DPI, as Windows does first.
constexpr UINT kWmGetDpiScaledSize = 0x02E4;

/// Files dropped from Explorer as the shell hands them over: a DROPFILES
/// block with the wide names after it, in movable global memory that the
/// window must free.
HDROP MakeDrop(const Paths& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += Widen(path) + L'\0';
  names += L'\0';
  const HGLOBAL memory =
      ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

/// A taskbar button that records what it is asked, in order.
class RecordingTaskbar : public TaskbarButton {
 public:
  explicit RecordingTaskbar(std::vector<std::string>& calls) : calls_(calls) {}
  void SetState(State state) override {
    const char* const names[] = {"none", "normal", "error"};
    calls_.push_back(std::string("state ") + names[static_cast<int>(state)]);
  }
  void SetProgress(int done, int total) override {
    calls_.push_back("progress " + std::to_string(done) + "/" +
                     std::to_string(total));
  }

 private:
  std::vector<std::string>& calls_;
};

/// The width of an icon's picture.
int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap,
               &bitmap);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return bitmap.bmWidth;
}

/// A message the awake case posts to the window, and what watches for it
/// and for the status bar's repaint: one procedure on both windows.
constexpr UINT kProbeMessage = WM_APP + 7;

struct ProbeWatch {
  HWND bar;
  testing::StatusProbe* probe;
};

LRESULT CALLBACK ProbeWindows(HWND hwnd, UINT message, WPARAM wparam,
                              LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  auto& watch = *reinterpret_cast<ProbeWatch*>(data);
  if (message == kProbeMessage) {
    watch.probe->status = StatusText(watch.bar, kStatusPanel);
    ::InvalidateRect(watch.bar, nullptr, TRUE);
    return 0;
  }
  const LRESULT result = ::DefSubclassProc(hwnd, message, wparam, lparam);
  if (message == WM_PAINT && hwnd == watch.bar &&
      !watch.probe->status.empty()) {
    watch.probe->held->Release();
  }
  return result;
}

class MainFormTest : public ::testing::Test, public testing::MainFormDriver {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TMainForm>(
        ::GetModuleHandleW(nullptr),
        [this](HWND) -> std::optional<Paths> { return selection_; },
        [this](HWND) -> std::unique_ptr<TaskbarButton> {
          return std::make_unique<RecordingTaskbar>(taskbar_calls_);
        });
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

  // MainFormDriver.
  void Select(const Paths& paths) override {
    Select(std::optional<Paths>(paths));
  }
  void Clear() override { Click(kButton3Id); }
  Paths Entries() const override { return List(); }
  Shown PressDecode(Press press, const Paths& paths) override {
    // Posted before Decode: it lands in the run's first pump, after a.X3F
    // was read from the list.
    switch (press) {
      case Press::kNone:
        break;
      case Press::kClear:
        PostClick(kButton3Id);
        break;
      case Press::kSelect:
        selection_ = paths;
        PostClick(kButton2Id);
        break;
      case Press::kDrop:
        ::PostMessageW(hwnd_, WM_DROPFILES,
                       reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
        break;
      case Press::kDecode:
        PostClick(kButton1Id);
        break;
      case Press::kClose:
        ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        break;
    }
    BoxWatcher watcher;
    StatusRecorder status(Control(kSBarId), kStatusPanel);
    Click(kButton1Id);
    Shown shown;
    shown.statuses = status.texts;
    for (const auto& box : watcher.boxes) {
      EXPECT_EQ(kAppTitle, box.caption);
      if (box.stop_icon) {
        shown.errors.push_back(box.text);
      } else {
        EXPECT_FALSE(box.any_icon) << box.text;
        shown.messages.push_back(box.text);
      }
    }
    return shown;
  }
  void ExpectClosedAfterTheRun() override {
    EXPECT_TRUE(::IsWindow(hwnd_)) << "the window stays until the run ends";
    int exit_code = -1;
    EXPECT_TRUE(DrainQueue(&exit_code)) << "the program ends";
    EXPECT_EQ(0, exit_code);
    EXPECT_FALSE(::IsWindow(hwnd_));
    EXPECT_EQ(nullptr, form_->Handle());
  }
  int Dpi() const override { return form_->Dpi(); }
  void PostStatusProbe(testing::StatusProbe&) override {
    ::PostMessageW(hwnd_, kProbeMessage, 0, 0);
  }
  void WatchStatusRepaints(testing::StatusProbe* probe) override {
    const HWND watched[] = {hwnd_, Control(kSBarId)};
    for (const HWND window : watched) {
      if (probe) {
        probe_watch_ = {Control(kSBarId), probe};
        ::SetWindowSubclass(window, ProbeWindows, 1,
                            reinterpret_cast<DWORD_PTR>(&probe_watch_));
      } else {
        ::RemoveWindowSubclass(window, ProbeWindows, 1);
      }
    }
  }
  Paths List() const { return ListEntries(Control(kLBMainId)); }
  std::string Status(int panel) const {
    return StatusText(Control(kSBarId), panel);
  }
  void ExpectLayoutAt(int dpi) const;
  /// What Windows sends when the window moves to a screen of another scale.
  /// Wine keeps drawing the frame at the prefix's DPI, so the suggested
  /// rectangle is the new client area inside the frame the window has.
  void ChangeDpi(int dpi) {
    RECT window, client;
    ::GetWindowRect(hwnd_, &window);
    ::GetClientRect(hwnd_, &client);
    RECT suggested = window;
    suggested.right = window.left +
                      (window.right - window.left - client.right) +
                      ScaleForDpi(kClientWidth, dpi);
    suggested.bottom = window.top +
                       (window.bottom - window.top - client.bottom) +
                       ScaleForDpi(kClientHeight, dpi);
    ::SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
  }

  /// Repaints `control` now, as it shows on the screen.
  static void Paint(HWND control) {
    ::RedrawWindow(control, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  /// The list's client area as the screen shows it.
  testing::Pixels ListPixels() override {
    const HWND list = Control(kLBMainId);
    Paint(list);
    RECT client;
    ::GetClientRect(list, &client);
    return testing::ReadPixels(list, client);
  }
  /// The square cell at the left edge of list row `row`.
  testing::Pixels MarkCell(int row) override {
    const HWND list = Control(kLBMainId);
    Paint(list);
    RECT cell;
    ::SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    cell.right = cell.left + ScaleForDpi(kMarkColumnWidth, form_->Dpi());
    return testing::ReadPixels(list, cell);
  }
  /// The pointer moved over list row `row`: the text its tooltip then has.
  std::string TooltipAt(int row) override {
    const HWND list = Control(kLBMainId);
    const auto height =
        static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    ::SendMessageW(list, WM_MOUSEMOVE, 0,
                   MAKELPARAM(100, row * height + height / 2));
    HWND tip = nullptr;
    while ((tip = ::FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) &&
           ::GetWindow(tip, GW_OWNER) != hwnd_) {
    }
    if (!tip) return "no tooltip window";
    // Wine's and comctl32's limit for a tooltip's text.
    std::wstring text(1024, L'\0');
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = &text[0];
    ::SendMessageW(tip, TTM_GETTEXTW, text.size(),
                   reinterpret_cast<LPARAM>(&tool));
    return Narrow(text.c_str());
  }

  std::unique_ptr<TMainForm> form_;
  HWND hwnd_ = nullptr;
  std::optional<Paths> selection_;
  std::vector<std::string> taskbar_calls_;
  ProbeWatch probe_watch_ = {};
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
  const int dpi = ExpectedDpi();
  ASSERT_EQ(dpi, form_->Dpi()) << "the window's DPI, from the system";
  RECT client;
  ::GetClientRect(hwnd_, &client);
  EXPECT_EQ(ScaleForDpi(kClientWidth, dpi), client.right - client.left);
  EXPECT_EQ(ScaleForDpi(kClientHeight, dpi), client.bottom - client.top);
  RECT frame;
  ::GetWindowRect(hwnd_, &frame);
  EXPECT_EQ(kWindowLeft, frame.left);
  EXPECT_EQ(kWindowTop, frame.top);
  EXPECT_EQ(kAppTitle, WindowText(hwnd_));
  // Asked for its size at its own DPI, the window names the size it has.
  SIZE scaled = {};
  EXPECT_TRUE(::SendMessageW(hwnd_, kWmGetDpiScaledSize, dpi,
                             reinterpret_cast<LPARAM>(&scaled)));
  EXPECT_EQ(frame.right - frame.left, scaled.cx);
  EXPECT_EQ(frame.bottom - frame.top, scaled.cy);

  const LONG style = ::GetWindowLongW(hwnd_, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border must not resize";
  EXPECT_EQ(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1),
            ::GetClassLongPtrW(hwnd_, GCLP_HBRBACKGROUND));
  EXPECT_NE(0u, ::GetClassLongPtrW(hwnd_, GCLP_HICON));
}

// Every control, its font and its pictures where `dpi` puts them.
void MainFormTest::ExpectLayoutAt(int dpi) const {
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
    const Rect want = ScaleForDpi(c.want, dpi);
    const RECT r = RectInParent(c.control);
    EXPECT_EQ(want.left, r.left) << c.name << " at " << dpi;
    EXPECT_EQ(want.top, r.top) << c.name << " at " << dpi;
    EXPECT_EQ(want.width, r.right - r.left) << c.name << " at " << dpi;
    EXPECT_EQ(want.height, r.bottom - r.top) << c.name << " at " << dpi;
  }

  // Labels are as wide as their text and no wider than the text needs.
  const struct {
    HWND label;
    int left, top;
  } labels[] = {{InPanel(kL1Id), kL1Left, kL1Top},
                {InPanel(kLabel2Id), kLabel2Left, kLabel2Top}};
  for (const auto& l : labels) {
    const Rect want = ScaleForDpi({l.left, l.top, 0, kLabelHeight}, dpi);
    const RECT r = RectInParent(l.label);
    EXPECT_EQ(want.left, r.left);
    EXPECT_EQ(want.top, r.top);
    EXPECT_EQ(want.height, r.bottom - r.top);
    EXPECT_GT(r.right - r.left, ScaleForDpi(20, dpi));
    EXPECT_LE(r.right, ScaleForDpi(kPanel1.width, dpi) - 1)
        << "cut off by the panel's bevel";
  }

  // Tahoma 8 point at this DPI in every control.
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
    EXPECT_EQ(-ScaleForDpi(11, dpi), log.lfHeight) << "at " << dpi;
    EXPECT_EQ(ANSI_CHARSET, log.lfCharSet);
  }

  EXPECT_EQ(ScaleForDpi(kListItemHeight, dpi),
            ::SendMessageW(Control(kLBMainId), LB_GETITEMHEIGHT, 0, 0));
  int edges[4] = {};
  ASSERT_EQ(3, ::SendMessageW(Control(kSBarId), SB_GETPARTS, 4,
                              reinterpret_cast<LPARAM>(edges)));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ScaleStatusEdgeForDpi(kStatusPanelEdges[i], dpi), edges[i]);
  }

  // The pictures are drawn at the size they are shown, from the icon files'
  // larger sizes.
  const auto header = reinterpret_cast<HICON>(
      ::SendMessageW(InPanel(kImage1Id), STM_GETICON, 0, 0));
  EXPECT_EQ(ScaleForDpi(32, dpi), IconWidth(header)) << "the header picture";
  EXPECT_EQ(ScaleForDpi(16, dpi),
            IconWidth(reinterpret_cast<HICON>(
                ::SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0))));
  EXPECT_EQ(ScaleForDpi(32, dpi),
            IconWidth(reinterpret_cast<HICON>(
                ::SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0))));
}

TEST_F(MainFormTest, ControlGeometry) { ExpectLayoutAt(ExpectedDpi()); }

// A move to a screen of another scale re-lays the window there, and back.
TEST_F(MainFormTest, DpiChangeRelaysTheWindow) {
  const int start = ExpectedDpi();
  for (const int dpi : {start == 144 ? 96 : 144, 120, start}) {
    ChangeDpi(dpi);
    EXPECT_EQ(dpi, form_->Dpi());
    RECT client;
    ::GetClientRect(hwnd_, &client);
    EXPECT_EQ(ScaleForDpi(kClientWidth, dpi), client.right);
    EXPECT_EQ(ScaleForDpi(kClientHeight, dpi), client.bottom);
    ExpectLayoutAt(dpi);
  }
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

  const HWND list = Control(kLBMainId);
  EXPECT_EQ(0, ::GetWindowLongW(list, GWL_STYLE) &
                   (LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_SORT));
  EXPECT_TRUE(List().empty());
}

TEST_F(MainFormTest, PanelIsWhiteOnButtonFace) {
  ::RedrawWindow(hwnd_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  const HDC dc = ::GetDC(hwnd_);
  const int dpi = ExpectedDpi();
  const COLORREF panel = ::GetPixel(dc, 100, 20);
  const COLORREF bevel = ::GetPixel(dc, 100, 0);
  const COLORREF face =
      ::GetPixel(dc, ScaleForDpi(420, dpi), ScaleForDpi(250, dpi));
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

// Files for the drop and start tests: two files, and a folder with two
// .x3f files, something else, and copies of an earlier run.
struct DropSources {
  ScopedTempDir dir;
  std::string a = dir.File("a.X3F");
  std::string photo = dir.File("\xe5\x86\x99\xe7\x9c\x9f 0003.X3F");
  std::string card = dir.File("card");
  Paths card_files = {dir.File("card\\1.x3f"), dir.File("card\\DCIM\\2.X3F")};
  DropSources() {
    for (const std::string& name :
         {a, photo, card_files[0], card_files[1], dir.File("card\\notes.txt"),
          dir.File("card\\PostProcessed\\1.x3f")}) {
      testing::fs::create_directories(testing::PathOf(name).parent_path());
      testing::WriteFile(name, {1});
    }
  }
};

TEST_F(MainFormTest, DropReplacesTheList) {
  EXPECT_TRUE(::GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  DropSources src;
  Select(Paths{"C:\\old\\x.X3F"});
  const HDROP drop = MakeDrop({src.photo, src.card, src.a});
  ::SendMessageW(hwnd_, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  EXPECT_EQ((Paths{src.photo, src.card_files[0], src.card_files[1], src.a}),
            List());
  EXPECT_EQ(0u, ::GlobalSize(drop)) << "the drop's memory was not freed";
  EXPECT_EQ(ContactText(), Status(1)) << "nothing runs by itself";
}

// Velkrane.exe started with files and a folder, as Explorer starts it for
// files dropped on its icon: the list shows them in order, folders
// expanded, and waits for Decode.
TEST(ProgramStart, ArgumentsFillTheList) {
  DropSources src;
  std::wstring command = testing::QuotedArgument(testing::ProgramPath());
  for (const std::string& path : {src.photo, src.card, src.a}) {
    command += L" " + testing::QuotedArgument(Widen(path));
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  ASSERT_TRUE(::CreateProcessW(testing::ProgramPath().c_str(), &command[0],
                               nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
  const testing::OwnedHandle process(started.hProcess), thread(started.hThread);

  HWND window = nullptr;
  for (int i = 0; i < 300 && !window; ++i) {
    ::Sleep(100);
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"TMainForm", nullptr); w;
         w = ::FindWindowExW(nullptr, w, L"TMainForm", nullptr)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(w, &owner);
      if (owner == started.dwProcessId && ::IsWindowVisible(w)) window = w;
    }
  }
  ASSERT_NE(nullptr, window) << "the window did not appear";
  EXPECT_EQ((Paths{src.photo, src.card_files[0], src.card_files[1], src.a}),
            ListEntries(::GetDlgItem(window, kLBMainId)));
  EXPECT_FALSE(testing::Exists(src.dir.File("PostProcessed")));

  ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    ADD_FAILURE() << "the program did not end on WM_CLOSE";
  }
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

  EXPECT_EQ(testing::Head(testing::ReadFile(src.a), 68),
            testing::ReadFile(src.out + "a.X3F"));
  EXPECT_FALSE(testing::Exists(src.out + "b.X3F"));
}

// Rows without an outcome, one of them selected, look as the system's own
// list box draws them.
TEST_F(MainFormTest, UnmarkedRowsLookAsThePlainListBox) {
  const HWND list = Control(kLBMainId);
  const Paths files = {"C:\\photos\\a.X3F", "C:\\photos\\b.X3F",
                       "C:\\photos\\\xe5\x86\x99\xe7\x9c\x9f.X3F"};
  Select(files);
  RECT frame;
  ::GetWindowRect(list, &frame);
  const int row_height =
      static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
  // Above the window, so that neither covers the other.
  const HWND plain = ::CreateWindowExW(
      WS_EX_CLIENTEDGE | WS_EX_TOOLWINDOW, L"LISTBOX", L"",
      WS_POPUP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
      frame.right - frame.left, 5 * row_height + 8, hwnd_, nullptr,
      ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(nullptr, plain);
  ::SendMessageW(plain, WM_SETFONT, ::SendMessageW(list, WM_GETFONT, 0, 0), 0);
  ::SendMessageW(plain, LB_SETITEMHEIGHT, 0, row_height);
  for (const std::string& file : files) {
    ::SendMessageW(plain, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Widen(file).c_str()));
  }
  for (const HWND box : {list, plain}) ::SendMessageW(box, LB_SETCURSEL, 1, 0);
  // Not activated: a list with the focus draws a focus rectangle.
  ::ShowWindow(plain, SW_SHOWNOACTIVATE);
  DrainQueue();
  const RECT rows = {0, 0, frame.right - frame.left - 4, 3 * row_height};
  Paint(list);
  Paint(plain);
  const testing::Pixels ours = testing::ReadPixels(list, rows);
  const testing::Pixels system = testing::ReadPixels(plain, rows);
  ::DestroyWindow(plain);
  EXPECT_TRUE(ours.rgb == system.rgb);
}

// The taskbar button through the recording seam: files done of the list's
// count, red from the first failure, cleared at "Ready." or by the error
// that ends a run.
TEST_F(MainFormTest, TaskbarShowsTheRunsProgress) {
  const struct {
    int press;  // a button pressed in the run's first pump, or 0
    std::vector<std::string> want;
  } cases[] = {
      {0,
       {"state normal", "progress 0/3", "progress 1/3", "progress 2/3",
        "state error", "progress 3/3", "state none"}},
      {kButton3Id,
       {"state normal", "progress 0/3", "progress 1/3", "state none"}},
  };
  for (const auto& c : cases) {
    Sources src;
    Select(Paths{src.a, src.b, src.dir.File("missing.X3F")});
    BoxWatcher watcher;
    taskbar_calls_.clear();
    if (c.press) PostClick(c.press);
    Click(kButton1Id);
    EXPECT_EQ(c.want, taskbar_calls_) << c.press;
  }
}

// Without the taskbar's interface, as under a Wine that lacks it, and with
// whatever this system has, a run goes on as ever.
TEST(Taskbar, ARunNeedsNoButton) {
  const TaskbarFunction taskbars[] = {
      [](HWND) -> std::unique_ptr<TaskbarButton> { return nullptr; },
      SystemTaskbarButton};
  for (const TaskbarFunction& taskbar : taskbars) {
    ScopedTempDir dir;
    testing::WriteSource(dir.File("a.X3F"), 20, 40);
    {
      TMainForm form(::GetModuleHandleW(nullptr), RunOpenDialog, taskbar);
      form.OpenPaths({dir.File("a.X3F")});
      BoxWatcher watcher;
      StatusRecorder status(::GetDlgItem(form.Handle(), kSBarId), kStatusPanel);
      ::SendMessageW(::GetDlgItem(form.Handle(), kButton1Id), BM_CLICK, 0, 0);
      EXPECT_EQ((Paths{Processing("a.X3F"), Saved("a.X3F"), "Ready."}),
                status.texts);
      EXPECT_EQ(1u, watcher.boxes.size());
    }
    // The window's end posted WM_QUIT, which would end the next box at once.
    DrainQueue();
  }
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

VELKRANE_MAIN_FORM_CASES(MainFormTest)

}  // namespace
}  // namespace velkrane
