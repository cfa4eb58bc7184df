#pragma once

// What became of each listed file in the latest Decode: the mark at the left
// edge of its row and the text its tooltip shows. Both windows draw from
// this; the shapes are drawn from the same strokes on both.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkrane {

struct FileReport;

enum class OutcomeMark {
  kWritten,      // green tick: the copy is saved
  kNoTailFound,  // grey dash: no file tail found
  kFailed,       // red cross: the file could not be repaired
};

struct RowOutcome {
  OutcomeMark mark;
  /// The status panel's text for the file and, for a written copy, its
  /// structure verdict on a line of its own.
  std::string tip;
};

/// The outcome a file's report shows; none for a dry run's, which writes
/// nothing and is never a Decode's.
std::optional<RowOutcome> OutcomeOf(const FileReport& report);

/// The outcomes by list row. The list's contents count up in generations: a
/// report lands only on a list of the generation its entry was read from, so
/// a list replaced or emptied meanwhile shows no stale mark.
class ListOutcomes {
 public:
  unsigned Generation() const { return generation_; }
  /// The list was replaced or emptied: no row has an outcome, and a report
  /// on an entry read before is dropped.
  void ListChanged();
  /// A new run: no row has an outcome.
  void Clear() { rows_.clear(); }
  /// The entry read from `row` in `generation` is done as `report` says.
  void Record(int row, unsigned generation, const FileReport& report);
  /// Null while `row` has no outcome.
  const RowOutcome* At(int row) const;

 private:
  unsigned generation_ = 0;
  std::vector<std::optional<RowOutcome>> rows_;
};

/// One run's side of the outcomes: the generation each entry was read in,
/// so that its report lands only on that list.
class RunRows {
 public:
  explicit RunRows(ListOutcomes& outcomes) : outcomes_(outcomes) {}
  /// The run begins: no row has an outcome.
  void Starting() { outcomes_.Clear(); }
  /// The run read the entry in `row`.
  void Read(int row) { read_in_[row] = outcomes_.Generation(); }
  /// The entry in `row` is done as `report` says.
  void Done(int row, const FileReport& report);

 private:
  ListOutcomes& outcomes_;
  std::map<int, unsigned> read_in_;
};

/// A mark's colour, the same in both windows.
struct MarkColour {
  unsigned char red, green, blue;
};
MarkColour ColourOf(OutcomeMark mark);

/// One line of a mark, in the pixels of its square cell.
struct MarkStroke {
  int x0, y0, x1, y1;
};
/// The lines that draw `mark` in a square cell `size` pixels wide.
std::vector<MarkStroke> MarkStrokes(OutcomeMark mark, int size);
/// How thick those lines are in a cell `size` pixels wide.
int MarkLineWidth(int size);

}  // namespace velkrane
