#pragma once

// The cases both windows must pass, written once: presses and a close
// during a run, a window that answers while a file is copied, and the rows'
// outcome marks and tooltips. Each window's test drives its own TMainForm
// through a MainFormDriver; what only one toolkit has stays in its test.

#include <string>
#include <vector>

#include "batch/run_texts.h"
#include "fileio/path_parts.h"
#include "tests/held_copy.h"
#include "tests/mark_pixels.h"
#include "tests/test_util.h"

namespace velkrane::testing {

/// Two sources in one folder: a.X3F with its tail at 60 and junk behind it,
/// b.X3F with no tail at all.
struct Sources {
  ScopedTempDir dir;
  std::string a = dir.File("a.X3F");
  std::string b = dir.File("b.X3F");
  std::string out = WithTrailingSeparator(dir.File("PostProcessed"));
  Sources() {
    WriteSource(a, 60, 100);
    WriteFile(b, Filler(50, 2));
  }
};

/// The status texts of a file named `name`.
inline std::string Processing(const std::string& name) {
  return ProcessingText(name);
}
inline std::string Saved(const std::string& name) {
  return name + ":" + kTailFoundPrefix + name;
}
inline std::string NoTail(const std::string& name) {
  return name + ":" + kNoTailMessage;
}

/// What the window's own thread is asked, from the copying thread, while a
/// copy is held: to note the status panel's text and repaint the panel. The
/// repaint releases the copy.
struct StatusProbe {
  HeldCopy* held = nullptr;
  std::string status;  // the panel's text when the posted call came
};

class MainFormDriver {
 public:
  using Paths = std::vector<std::string>;
  /// What one press of Decode showed.
  struct Shown {
    Paths statuses;  // the status panel's texts, in order
    Paths messages;  // the boxes without an icon
    Paths errors;    // the error boxes
  };
  /// Made while the run works on its first file.
  enum class Press { kNone, kClear, kSelect, kDrop, kDecode, kClose };

  virtual ~MainFormDriver() = default;
  /// Select, with the dialog answering `paths`.
  virtual void Select(const Paths& paths) = 0;
  /// Presses Clear.
  virtual void Clear() = 0;
  virtual Paths Entries() const = 0;
  /// Presses Decode and answers the boxes; `press` comes while the first
  /// file is worked on, a Select's dialog or a drop giving `paths`.
  virtual Shown PressDecode(Press press = Press::kNone,
                            const Paths& paths = {}) = 0;
  /// After a run during which the window was closed: it goes now.
  virtual void ExpectClosedAfterTheRun() = 0;
  /// The list's client area, and the mark cell of `row`, as the screen
  /// shows them.
  virtual Pixels ListPixels() = 0;
  virtual Pixels MarkCell(int row) = 0;
  /// The pointer moved over list row `row`: the tooltip's text, or "".
  virtual std::string TooltipAt(int row) = 0;
  virtual int Dpi() const = 0;
  /// Called on the copying thread: posts `probe`'s call to the window.
  virtual void PostStatusProbe(StatusProbe& probe) = 0;
  /// From now, until called with null, a repaint of the status panel
  /// releases `probe->held` once `probe->status` is set.
  virtual void WatchStatusRepaints(StatusProbe* probe) = 0;
};

/// Clear, Select and a drop with a shorter list or one as long, and Decode,
/// each pressed during the first file; then the window still answers.
void ExpectPressesDuringARun(MainFormDriver& window);
/// A close during the run: the run goes on to its end, without the summary,
/// and then the window goes.
void ExpectCloseDuringARunFinishesSilently(MainFormDriver& window);
/// While a copy is held on its thread, a call posted to the window is
/// handled and the status panel repaints.
void ExpectAwakeWhileAFileIsCopied(MainFormDriver& window);
/// A repaired file, one without a tail and a missing one: each row shows its
/// mark, at the window's DPI, and under the pointer the status text its file
/// got (and a written copy's verdict). A list cleared and selected again
/// shows none of it.
void ExpectRowsShowWhatBecameOfTheirFiles(MainFormDriver& window);

}  // namespace velkrane::testing

/// The cases above as tests of `Fixture`, a ::testing::Test that is a
/// MainFormDriver.
#define VELKRANE_MAIN_FORM_CASES(Fixture)                              \
  TEST_F(Fixture, PressesDuringARun) {                                 \
    ::velkrane::testing::ExpectPressesDuringARun(*this);               \
  }                                                                    \
  TEST_F(Fixture, CloseDuringARunFinishesSilently) {                   \
    ::velkrane::testing::ExpectCloseDuringARunFinishesSilently(*this); \
  }                                                                    \
  TEST_F(Fixture, AwakeWhileAFileIsCopied) {                           \
    ::velkrane::testing::ExpectAwakeWhileAFileIsCopied(*this);         \
  }                                                                    \
  TEST_F(Fixture, RowsShowWhatBecameOfTheirFiles) {                    \
    ::velkrane::testing::ExpectRowsShowWhatBecameOfTheirFiles(*this);  \
  }
