#pragma once

// Every text a run shows and every result text: Decode's status panel and
// boxes, and the command line's per-file lines, which are Decode's. The
// window's own texts (captions, buttons, header) are in
// ui/shared/main_form_texts.h; x3f/ returns facts only.

#include <string>

namespace velkrane {

struct FileReport;
struct X3fVerdict;

/// The folder each copy goes into, beside its source.
extern const char kOutputFolderName[];

extern const char kNoFilesSelected[];
extern const char kReady[];
extern const char kTailFoundPrefix[];  // + file name of the target
extern const char kNoTailMessage[];
extern const char kFailedPrefix[];    // + the error's text
extern const char kWouldCutPrefix[];  // + bytes + kWouldCutMiddle + tail
extern const char kWouldCutMiddle[];
extern const char kTargetTakenSuffix[];  // after "Cannot write " + target
extern const char kX3iFileError[];       // the failure of an X3I file

extern const char kCompleteX3f[];

/// "Processing file NAME...".
std::string ProcessingText(const std::string& name);
/// What the status panel shows once a file is done: "NAME:" + its result.
std::string FileDoneText(const std::string& name, const std::string& result);
/// The box after a run: the summary, naming the last output folder.
std::string SummaryText(const std::string& folder);
/// "List index out of bounds (N)".
std::string ListIndexOutOfBounds(int index);
/// The failure of a copy that would replace another copy of the same run.
std::string TargetTakenError(const std::string& target);

/// "complete X3F", or in plain words a photographer can act on what keeps
/// the bytes checked from being one.
std::string VerdictText(const X3fVerdict& verdict);

/// What a file's report says after the file's name and ":": the result
/// message of Decode ("Post-processed successfully! - saved as NAME", the
/// no-tail text, or "Failed to post-process - " + the error), or on a dry
/// run what would be cut.
std::string ResultText(const FileReport& report);

}  // namespace velkrane
