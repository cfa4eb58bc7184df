// "Select" through the real common dialog: a timer types into it the way a
// user would and confirms or cancels.

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
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

// Goes to `folder` first, since no initial folder is set, as a user would;
// once the dialog shows it, types `names` and presses Open.
std::function<bool(HWND)> OpenIn(const std::string& folder,
                                 const std::string& names) {
  auto moved = std::make_shared<bool>(false);
  return [=](HWND dialog) {
    if (!*moved) {
      TypeAndOpen(dialog, folder);
      *moved = true;
      return false;
    }
    const std::string shown = FolderOf(dialog);
    std::error_code ignored;
    if (shown.empty() ||
        !std::filesystem::equivalent(PathOf(shown), PathOf(folder), ignored)) {
      return false;
    }
    TypeAndOpen(dialog, names);
    return true;
  };
}

TEST_F(OpenDialogTest, TwoQuotedNamesBecomeFullPathsInOrder) {
  BoxWatcher watcher;
  watcher.on_dialog = OpenIn(dir_.Path(), "\"two.X3F\" \"one.X3F\"");
  ::SendMessageW(Control(kButton2Id), BM_CLICK, 0, 0);

  const auto entries = ListEntries(Control(kLBMainId));
  ASSERT_EQ(2u, entries.size());
  const char* want[] = {"two.X3F", "one.X3F"};
  for (std::size_t i = 0; i < std::size(want); ++i) {
    EXPECT_TRUE(std::filesystem::equivalent(PathOf(entries[i]),
                                            PathOf(dir_.File(want[i]))))
        << entries[i];
    EXPECT_EQ(PathOf(entries[i]).filename(), PathOf(want[i]))
        << "full path, dialog order";
  }
  EXPECT_TRUE(watcher.boxes.empty());
}

TEST_F(OpenDialogTest, CancelOrOversizedSelectionKeepsTheList) {
  // 360 names of 190 characters: about 69,000 characters of result, more
  // than the 65,519 the buffer holds, while each path stays under MAX_PATH.
  ScopedTempDir many;
  std::string names;
  for (int i = 0; i < 360; ++i) {
    std::string name =
        std::to_string(1000 + i) + std::string(182, 'n') + ".X3F";
    testing::WriteFile(many.File(name), testing::BytesOf("x"));
    names += "\"" + name + "\" ";
  }
  const struct {
    std::function<bool(HWND)> action;
    const char* what;
  } cases[] = {
      {[](HWND dialog) {
         ::PostMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
         return true;
       },
       "cancel"},
      {OpenIn(many.Path(), names), "selection larger than the buffer"},
  };

  BoxWatcher watcher;
  watcher.on_dialog = OpenIn(dir_.Path(), "three.X3F");
  ::SendMessageW(Control(kButton2Id), BM_CLICK, 0, 0);
  const auto before = ListEntries(Control(kLBMainId));
  ASSERT_EQ(1u, before.size());
  EXPECT_TRUE(std::filesystem::equivalent(PathOf(before[0]),
                                          PathOf(dir_.File("three.X3F"))));

  for (const auto& c : cases) {
    watcher.on_dialog = c.action;
    ::SendMessageW(Control(kButton2Id), BM_CLICK, 0, 0);
    EXPECT_EQ(before, ListEntries(Control(kLBMainId))) << c.what;
    EXPECT_TRUE(watcher.boxes.empty()) << c.what << ": no error box";
  }
}

}  // namespace
}  // namespace velkrane
