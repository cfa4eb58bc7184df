#pragma once

// Where a copy ends: the file's own directory, searched for in the whole file,
// wins wherever it lies; only without one does the plain rule cut, 8 bytes
// after the last "PROP" in the file's first kLoadLimit bytes.

#include <cstdint>

namespace velkrane {

class InputFile;
struct ByteSource;

/// The plain rule searches only this much of a source, unless widened.
constexpr std::int64_t kLoadLimit = 30000000;
/// The rule's copy ends this many bytes after the first byte of "PROP".
constexpr std::int64_t kTailLength = 8;

/// Where the copy's end came from: the file's own directory, or the plain
/// rule (8 bytes after the last "PROP").
enum class TailSource { kStructure, kRule };

struct Cut {
  std::int64_t length = 0;  // of the copy; 0 when there is no end
  TailSource from = TailSource::kRule;
};

/// Decides where the copy of `source` ends, reading it backward once at
/// most. `rule_only` ignores the directory; `whole_file` lets the rule search
/// the whole file. A file that does not start with "FOVb" gets the rule
/// alone. Throws "Stream read error" for a rule tail in the last 7 bytes of
/// what the rule searched, where the copy would run past them.
Cut DecideCut(const InputFile& source, bool rule_only, bool whole_file);
Cut DecideCut(const ByteSource& source, bool rule_only, bool whole_file);

}  // namespace velkrane
