#include "batch/batch_run.h"

#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "fileio/file_io.h"
#include "fileio/path_parts.h"

namespace velkrane {

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

void RunBatch(BatchWindow& window) {
  if (window.EntryCount() == 0) {
    window.ShowMessage(kNoFilesSelected);
    return;
  }
  const int count = window.EntryCount();
  RepairOptions options;
  // The folder is made only once a copy is about to be written in it.
  options.make_folder = true;
  RunTargets targets;
  std::string last_folder;
  for (int index = 0; index < count; ++index) {
    // The list may have been cleared or shortened by a press while messages
    // were processed; that ends the run.
    if (index >= window.EntryCount()) throw Error(ListIndexOutOfBounds(index));
    const std::string entry = TrimEntry(window.Entry(index));
    if (entry.empty()) continue;

    const std::string folder = OutputFolderFor(entry);
    last_folder = folder;
    const std::string name = FileNamePart(entry);
    window.SetStatusText(ProcessingText(name));
    window.ProcessMessages();

    const FileReport report = RepairOne(entry, folder + name, options, &targets);
    window.SetStatusText(FileDoneText(name, report.message));
    window.ProcessMessages();
  }
  window.SetStatusText(kReady);
  window.ShowMessage(SummaryText(last_folder));
}

}  // namespace velkrane
