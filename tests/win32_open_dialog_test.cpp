// "Select" through the real common dialog: a timer types into it the way a
// user would and confirms or cancels.

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "tests/win32_test_util.h"
#include "ui/win32/MainUnit.h"

namespace velkrane {
namespace {

using testing::BoxWatcher;
using testing::DrainQueue;
using testing::ListEntries;
using testing::PathOf;
using testing::ScopedTempDir;

// The file-name box: a combo box in newer templates, an edit in older ones.
HWND FileNameBox(HWND dialog) {
  const HWND combo = ::GetDlgItem(dialog, cmb13);
  return combo ? combo : ::GetDlgItem(dialog, edt1);
}

std::string FolderOf(HWND dialog) {
  wchar_t folder[MAX_PATH] = {};
  ::SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH,
                 reinterpret_cast<LPARAM>(folder));
  return Narrow(folder);
}

// Types `text` into the file-name box and presses Open.
void TypeAndOpen(HWND dialog, const std::string& text) {
  ::SetWindowTextW(FileNameBox(dialog), Widen(text).c_str());
  ::PostMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

class OpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"one.X3F", "two.X3F", "three.X3F"}) {
      testing::WriteFile(dir_.File(name), testing::BytesOf("x"));
    }
    form_ = std::make_unique<TMainForm>(::GetModuleHandleW(nullptr));
    ::ShowWindow(form_->Handle(), SW_SHOW);
    DrainQueue();
  }
  void TearDown() override {
    form_.reset();
    DrainQueue();
  }
  HWND Control(int id) const { return ::GetDlgItem(form_->Handle(), id); }

  ScopedTempDir dir_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(OpenDialogTest, TwoQuotedNamesBecomeFullPathsInOrder) {
  BoxWatcher watcher;
  int step = 0;
  watcher.on_dialog = [&](HWND dialog) {
    if (step == 0) {
      // No initial folder is set, so go to ours first, as a user would.
      TypeAndOpen(dialog, dir_.Path());
      step = 1;
      return false;
    }
    if (FolderOf(dialog).empty() ||
        !std::filesystem::equivalent(PathOf(FolderOf(dialog)),
                                     PathOf(dir_.Path()))) {
      return false;
    }
    TypeAndOpen(dialog, "\"two.X3F\" \"one.X3F\"");
    return true;
  };
  ::SendMessageW(Control(kButton2Id), BM_CLICK, 0, 0);

  const auto entries = ListEntries(Control(kLBMainId));
  ASSERT_EQ(2u, entries.size());
  const char* want[] = {"two.X3F", "one.X3F"};
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_TRUE(std::filesystem::equivalent(PathOf(entries[i]),
                                            PathOf(dir_.File(want[i]))))
        << entries[i];
    EXPECT_EQ(PathOf(entries[i]).filename(), PathOf(want[i]))
        << "full path, dialog order";
  }
  EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(OpenDialogTest, CancelKeepsTheList) {
  // One file picked by its full path first, then the dialog is cancelled.
  BoxWatcher watcher;
  watcher.on_dialog = [&](HWND dialog) {
    TypeAndOpen(dialog, dir_.File("three.X3F"));
    return true;
  };
  ::SendMessageW(Control(kButton2Id), BM_CLICK, 0, 0);
  const auto before = ListEntries(Control(kLBMainId));
  ASSERT_EQ(1u, before.size());
  EXPECT_TRUE(std::filesystem::equivalent(PathOf(before[0]),
                                          PathOf(dir_.File("three.X3F"))));

  watcher.on_dialog = [](HWND dialog) {
    ::PostMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    return true;
  };
  ::SendMessageW(Control(kButton2Id), BM_CLICK, 0, 0);
  EXPECT_EQ(before, ListEntries(Control(kLBMainId)));
}

}  // namespace
}  // namespace velkrane
