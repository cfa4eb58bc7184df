#include "x3f/cut_decision.h"

#include <algorithm>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "x3f/end_search.h"
#include "x3f/x3f_structure.h"

namespace velkrane {

Cut DecideCut(const ByteSource& source, bool rule_only, bool whole_file) {
  const std::int64_t window =
      whole_file ? source.size : std::min(source.size, kLoadLimit);
  X3fEnds ends;
  if (!rule_only && StartOf(source.read, source.size) == FileStart::kX3f) {
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

Cut DecideCut(const InputFile& source, bool rule_only, bool whole_file) {
  return DecideCut(ByteSourceOf(source), rule_only, whole_file);
}

}  // namespace velkrane
