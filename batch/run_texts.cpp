#include "batch/run_texts.h"

#include "batch/repair_one.h"
#include "fileio/path_parts.h"
#include "x3f/x3f_structure.h"

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
const char kX3iFileError[] =
    "an X3I file holds several X3F images; it is left as it is";
const char kCompleteX3f[] = "complete X3F";

namespace {

const char kProcessingPrefix[] = "Processing file ";
const char kProcessingSuffix[] = "...";
const char kSummaryPrefix[] =
    "Post-Process Completed. - New X3F Files were Saved at";
const char kListIndexPrefix[] = "List index out of bounds (";
const char kCannotWritePrefix[] = "Cannot write ";

const char kNoHeaderProblem[] = "no X3F header";
const char kOffsetOutsideProblem[] =
    "the directory offset points outside the file";
const char kNoDirectoryProblem[] = "no directory at offset ";
const char kDirectoryEndProblem[] =
    "the directory does not end where the file ends";
const char kNoSectionsProblem[] = "the directory lists no sections";
const char kTooManySectionsPrefix[] = "the directory lists ";
const char kTooManySectionsSuffix[] = " sections, more than an X3F holds";
const char kSectionOutsideProblem[] = " lies outside the file";
const char kSectionSignatureProblem[] = " does not start with its signature";

// "section 2 (IMA2)" for the last section read; bytes that are not printable
// ASCII show as '?', so the text stays valid UTF-8 whatever the file holds.
std::string LastSectionName(const X3fVerdict& verdict) {
  if (verdict.sections.empty()) return "section ?";
  std::string printable = verdict.sections.back().type;
  for (char& c : printable) {
    if (c < ' ' || c > '~') c = '?';
  }
  return "section " + std::to_string(verdict.sections.size()) + " (" +
         printable + ")";
}

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

std::string VerdictText(const X3fVerdict& verdict) {
  if (verdict.complete) return kCompleteX3f;
  switch (verdict.problem) {
    case X3fProblem::kNone:
      break;
    case X3fProblem::kNoHeader:
      return kNoHeaderProblem;
    case X3fProblem::kOffsetOutside:
      return kOffsetOutsideProblem;
    case X3fProblem::kNoDirectory:
      return kNoDirectoryProblem + std::to_string(verdict.directory_offset);
    case X3fProblem::kDirectoryEnd:
      return kDirectoryEndProblem;
    case X3fProblem::kNoSections:
      return kNoSectionsProblem;
    case X3fProblem::kTooManySections:
      return kTooManySectionsPrefix + std::to_string(verdict.count) +
             kTooManySectionsSuffix;
    case X3fProblem::kSectionOutside:
      return LastSectionName(verdict) + kSectionOutsideProblem;
    case X3fProblem::kSectionSignature:
      return LastSectionName(verdict) + kSectionSignatureProblem;
  }
  return "";
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
