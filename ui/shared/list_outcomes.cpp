#include "ui/shared/list_outcomes.h"

#include <algorithm>

#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/path_parts.h"

namespace velkrane {

std::optional<RowOutcome> OutcomeOf(const FileReport& report) {
  // The status panel named the file by its entry, which is the source.
  std::string tip = FileDoneText(FileNamePart(report.source), report.message);
  switch (report.result) {
    case FileResult::kRepaired:
      return RowOutcome{OutcomeMark::kWritten,
                        tip + "\n" + VerdictText(report.outcome.verdict)};
    case FileResult::kNoTailFound:
      return RowOutcome{OutcomeMark::kNoTailFound, tip};
    case FileResult::kFailed:
      return RowOutcome{OutcomeMark::kFailed, tip};
    case FileResult::kWouldRepair:
      break;
  }
  return std::nullopt;
}

void ListOutcomes::ListChanged() {
  ++generation_;
  rows_.clear();
}

void ListOutcomes::Record(int row, unsigned generation,
                          const FileReport& report) {
  if (row < 0 || generation != generation_) return;
  const auto index = static_cast<std::size_t>(row);
  if (index >= rows_.size()) rows_.resize(index + 1);
  rows_[index] = OutcomeOf(report);
}

const RowOutcome* ListOutcomes::At(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
  const auto& outcome = rows_[static_cast<std::size_t>(row)];
  return outcome ? &*outcome : nullptr;
}

void RunRows::Done(int row, const FileReport& report) {
  const auto read = read_in_.find(row);
  if (read != read_in_.end()) outcomes_.Record(row, read->second, report);
}

MarkColour ColourOf(OutcomeMark mark) {
  switch (mark) {
    case OutcomeMark::kWritten:
      return {0, 140, 0};
    case OutcomeMark::kNoTailFound:
      return {128, 128, 128};
    case OutcomeMark::kFailed:
      break;
  }
  return {210, 0, 0};
}

std::vector<MarkStroke> MarkStrokes(OutcomeMark mark, int size) {
  // A square inset by a quarter of the cell, so that thick lines stay inside.
  const int low = size / 4;
  const int high = size - 1 - low;
  const int middle = size / 2;
  switch (mark) {
    case OutcomeMark::kWritten: {
      const int knee = low + (high - low) / 3;
      return {{low, middle, knee, high}, {knee, high, high, low}};
    }
    case OutcomeMark::kNoTailFound:
      return {{low, middle, high, middle}};
    case OutcomeMark::kFailed:
      break;
  }
  return {{low, low, high, high}, {low, high, high, low}};
}

int MarkLineWidth(int size) { return std::max(1, (size + 4) / 8); }

}  // namespace velkrane
