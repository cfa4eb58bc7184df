#include "batch/batch_run.h"

#include <exception>

#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"
#include "x3f/tail_repair.h"

namespace velkrane {

const char kNoFilesSelected[] = "Sorry, no files selected.";
const char kProcessingPrefix[] = "Processing file ";
const char kProcessingSuffix[] = "...";
const char kFailedPrefix[] = "Failed to post-process - ";
const char kReady[] = "Ready.";
const char kSummaryPrefix[] =
    "Post-Process Completed. - New X3F Files were Saved at";
const char kOutputFolderName[] = "PostProcessed";

std::string TrimEntry(const std::string& entry) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::string::size_type first = 0;
  std::string::size_type last = entry.size();
  while (first < last && blank(entry[first])) ++first;
  while (last > first && blank(entry[last - 1])) --last;
  return entry.substr(first, last - first);
}

std::string OutputFolderFor(const std::string& entry) {
  const std::string folder = DirectoryPart(entry);
  // A bare name lies in the current folder; "/" or "\" alone would put the
  // copies at the root instead of beside the source.
  const std::string base = folder.empty() ? folder : WithTrailingSeparator(folder);
  return base + kOutputFolderName + kPathSeparator;
}

std::string ListIndexOutOfBounds(int index) {
  return "List index out of bounds (" + std::to_string(index) + ")";
}

void RunBatch(BatchWindow& window) {
  if (window.EntryCount() == 0) {
    window.ShowMessage(kNoFilesSelected);
    return;
  }
  const int count = window.EntryCount();
  std::string last_folder;
  for (int index = 0; index < count; ++index) {
    // The list may have been cleared or shortened by a press while messages
    // were processed; that ends the run.
    if (index >= window.EntryCount()) throw Error(ListIndexOutOfBounds(index));
    const std::string entry = TrimEntry(window.Entry(index));
    if (entry.empty()) continue;

    const std::string folder = OutputFolderFor(entry);
    last_folder = folder;
    try {
      CreateFolders(folder);
    } catch (const std::exception&) {
      // Not reported here: if a tail is found, writing the copy fails and
      // says so.
    }
    const std::string name = FileNamePart(entry);
    window.SetStatusText(kProcessingPrefix + name + kProcessingSuffix);
    window.ProcessMessages();

    std::string result;
    try {
      PostProcessFile(entry, folder + name, result);
    } catch (const std::exception& e) {
      result = kFailedPrefix + std::string(e.what());
    }
    window.SetStatusText(name + ":" + result);
    window.ProcessMessages();
  }
  window.SetStatusText(kReady);
  window.ShowMessage(kSummaryPrefix + last_folder);
}

}  // namespace velkrane
