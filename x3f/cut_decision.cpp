#include "x3f/cut_decision.h"

#include <algorithm>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "x3f/end_search.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

Cut DecideCut(const InputFile& source, bool rule_only, bool whole_file) {
  const std::int64_t window =
      whole_file ? source.Size() : std::min(source.Size(), kLoadLimit);
  X3fEnds ends;
  if (!rule_only && StartOf(source) == FileStart::kX3f) {
    ends = FindX3fEndsInFile(source, window);
  } else {
    ends.rule_tail = FindTailInFile(source, window);
  }
  Cut cut;
  if (ends.end != kNoTail) {
    cut.length = ends.end;
    cut.from = TailSource::kStructure;
  } else if (ends.rule_tail != kNoTail) {
    cut.length = ends.rule_tail + kTailLength;
    if (cut.length > window) throw Error(kStreamReadError);
  }
  return cut;
}

}  // namespace velkrane
