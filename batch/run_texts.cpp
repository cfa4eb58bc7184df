#include "batch/run_texts.h"

#include "batch/repair_one.h"
#include "fileio/path_parts.h"

namespace velkrane {

const char kOutputFolderName[] = "PostProcessed";

const char kNoFilesSelected[] = "Sorry, no files selected.";
const char kReady[] = "Ready.";
const char kTailFoundPrefix[] = "Post-processed successfully! - saved as ";
const char kNoTailMessage[] = "Failed to post-process - no file tail found.";
const char kFailedPrefix[] = "Failed to post-process - ";
const char kWouldCutPrefix[] = "Would cut ";
const char kWouldCutMiddle[] = " bytes, tail at ";
const char kTargetTakenSuffix[] = ": another file of this run was saved there";

namespace {

const char kProcessingPrefix[] = "Processing file ";
const char kProcessingSuffix[] = "...";
const char kSummaryPrefix[] =
    "Post-Process Completed. - New X3F Files were Saved at";
const char kListIndexPrefix[] = "List index out of bounds (";
const char kCannotWritePrefix[] = "Cannot write ";

}  // namespace

std::string ProcessingText(const std::string& name) {
  return kProcessingPrefix + name + kProcessingSuffix;
}

std::string FileDoneText(const std::string& name, const std::string& result) {
  return name + ":" + result;
}

std::string SummaryText(const std::string& folder) {
  // Nothing between "at" and the folder: that is how the box has always read.
  return kSummaryPrefix + folder;
}

std::string ListIndexOutOfBounds(int index) {
  return kListIndexPrefix + std::to_string(index) + ")";
}

std::string TargetTakenError(const std::string& target) {
  return kCannotWritePrefix + target + kTargetTakenSuffix;
}

std::string ResultText(const FileReport& report) {
  switch (report.result) {
    case FileResult::kRepaired:
      return kTailFoundPrefix + FileNamePart(report.target);
    case FileResult::kWouldRepair:
      return kWouldCutPrefix + std::to_string(report.outcome.bytes_cut) +
             kWouldCutMiddle + std::to_string(report.outcome.tail);
    case FileResult::kNoTailFound:
      return kNoTailMessage;
    case FileResult::kFailed:
      break;
  }
  return kFailedPrefix + report.error;
}

}  // namespace velkrane
