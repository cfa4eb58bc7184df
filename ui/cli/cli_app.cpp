// velkrane-cli: the arguments in, the lines and JSON objects out. The
// finding and repairing happen in batch/ and x3f/.

#include "ui/cli/cli_app.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "batch/batch_run.h"
#include "batch/output_names.h"
#include "batch/run_texts.h"
#include "batch/tree_run.h"
#include "fileio/path_parts.h"
#include "fileio/text.h"
#include "ui/cli/cli_shared.h"
#include "ui/cli/console.h"
#include "ui/cli/recover_command.h"
#include "velkrane_version.h"

namespace velkrane::cli {

const char kProgramName[] = "velkrane-cli";

namespace {

std::string Description() {
  return std::string(
             "Repairs X3F camera raw files that carry data past their real "
             "end. For each file, and each file whose name ends in \".x3f\" "
             "below a folder, a trimmed copy goes into the \"") +
         kOutputFolderName +
         "\" folder beside it (or under --output). The sources are never "
         "changed.";
}
constexpr char kExitStatusHelp[] =
    "Exit status: 0 when every file was repaired (dry run: every file has a "
    "tail); 1 when a file failed, had no tail, or none was found; 2 when the "
    "command was wrong; 130 when stopped by Ctrl+C.";
constexpr char kUsageHint[] = "Run with --help for more information.";
constexpr char kEmptyOutput[] = "--output: the folder name is empty";
constexpr char kNoFilesFound[] = "No X3F files found.";
constexpr char kRepairedLabel[] = "Repaired ";
constexpr char kWouldRepairLabel[] = "Would repair ";
constexpr char kNoTailLabel[] = ", without a tail ";
constexpr char kFailedLabel[] = ", failed ";
constexpr char kBytesCutLabel[] = " bytes cut.";
constexpr char kBytesWouldBeCutLabel[] =
    " bytes would be cut. Nothing was written.";
constexpr char kCopiesInLabel[] = "Copies in ";
const std::string kCopiesBesideLabel =
    std::string(" \"") + kOutputFolderName + "\" folders beside their sources";
constexpr char kStoppedLabel[] = "Stopped after ";
constexpr char kOfLabel[] = " of ";
constexpr char kFilesLabel[] = " files.";
constexpr char kOutputClosedLabel[] =
    ": the output was closed; the repair goes on over ";
constexpr char kMoreFileLabel[] = " more file.";
constexpr char kMoreFilesLabel[] = " more files.";

struct CommandLine {
  std::vector<std::string> paths;
  std::string output;
  bool dry_run = false;
  bool rule_only = false;
  bool whole_file = false;
  bool json = false;
  bool quiet = false;
};

const char* OutcomeName(FileResult result) {
  switch (result) {
    case FileResult::kRepaired:
      return "repaired";
    case FileResult::kWouldRepair:
      return "would_repair";
    case FileResult::kNoTailFound:
      return "no_tail";
    case FileResult::kFailed:
      break;
  }
  return "failed";
}

Json FileObject(const FileReport& report) {
  Json object = {{"type", "file"},
                 {"source", report.source},
                 {"target", OrNull(report.target)},
                 {"outcome", OutcomeName(report.result)}};
  const RepairOutcome& outcome = report.outcome;
  const bool has_tail = report.result == FileResult::kRepaired ||
                        report.result == FileResult::kWouldRepair;
  const Json none;
  object["tail"] = has_tail ? Json(outcome.tail) : none;
  object["length"] = has_tail ? Json(outcome.length) : none;
  object["bytes_cut"] = has_tail ? Json(outcome.bytes_cut) : none;
  object["tail_from"] =
      has_tail ? Json(outcome.tail_from == TailSource::kStructure ? "structure"
                                                                  : "rule")
               : none;
  // For a file without a tail, the verdict of the bytes searched says why.
  object["structure"] =
      report.result == FileResult::kFailed
          ? none
          : Json(outcome.verdict.complete ? "complete"
                                          : VerdictText(outcome.verdict));
  object["error"] = OrNull(report.error);
  return object;
}

/// Shows the run as lines, or as JSON objects, as the options ask.
class Printer final : public TreeRunView {
 public:
  Printer(const CommandLine& command, const InterruptWatch& interrupts)
      : command_(command),
        interrupts_(interrupts),
        progress_(!command.json && !command.quiet && IsTerminal(Stream::kOut)) {
  }

  void FileStarting(int index, int count, const FoundFile& file) override {
    if (!progress_.Shown()) return;
    progress_.Show("[" + std::to_string(index) + "/" + std::to_string(count) +
                   "] " + FileNamePart(file.path));
  }

  void FileDone(int index, int count, const FileReport& report) override {
    progress_.Show("");
    const bool ok = report.result == FileResult::kRepaired ||
                    report.result == FileResult::kWouldRepair;
    if (command_.quiet && ok) return;
    if (command_.json) {
      ShowLine(JsonLine(FileObject(report)), count - index);
      return;
    }
    std::string line = report.source + ":" + report.message;
    if (ok) line += " (" + VerdictText(report.outcome.verdict) + ")";
    ShowLine(line + "\n", count - index);
  }

  bool StopRequested() override { return interrupts_.Signal() != 0; }

  void Summary(const TreeRunSummary& summary) const {
    const bool interrupted = interrupts_.Signal() != 0;
    if (command_.json) {
      Write(Stream::kOut, JsonLine({{"type", "summary"},
                                    {"found", summary.found},
                                    {"repaired", summary.repaired},
                                    {"would_repair", summary.would_repair},
                                    {"no_tail", summary.no_tail},
                                    {"failed", summary.failed},
                                    {"bytes_cut", summary.bytes_cut},
                                    {"output", OrNull(command_.output)},
                                    {"folders", summary.folders},
                                    {"interrupted", interrupted}}));
      return;
    }
    if (summary.found == 0)
      Write(Stream::kErr, std::string(kNoFilesFound) + "\n");
    const bool dry = command_.dry_run;
    std::string text =
        (dry ? kWouldRepairLabel : kRepairedLabel) +
        std::to_string(dry ? summary.would_repair : summary.repaired) +
        kNoTailLabel + std::to_string(summary.no_tail) + kFailedLabel +
        std::to_string(summary.failed) + "; " +
        std::to_string(summary.bytes_cut) +
        (dry ? kBytesWouldBeCutLabel : kBytesCutLabel) + "\n";
    if (!command_.output.empty() && summary.repaired > 0) {
      text += kCopiesInLabel + WithTrailingSeparator(command_.output) + "\n";
    } else if (summary.folders.size() == 1) {
      text += kCopiesInLabel + summary.folders.front() + "\n";
    } else if (summary.folders.size() > 1) {
      text += kCopiesInLabel + std::to_string(summary.folders.size()) +
              kCopiesBesideLabel + "\n";
    }
    if (summary.stopped) {
      const int done = summary.repaired + summary.would_repair +
                       summary.no_tail + summary.failed;
      text += kStoppedLabel + std::to_string(done) + kOfLabel +
              std::to_string(summary.found) + kFilesLabel + "\n";
    }
    Write(Stream::kOut, text);
  }

 private:
  // A file's line. Once its reader has gone (`| head -1`, a pager quit), a
  // terminal would sit silent for the rest of the run: say once why.
  void ShowLine(const std::string& text, int files_left) {
    if (Write(Stream::kOut, text) || reader_gone_) return;
    reader_gone_ = true;
    if (files_left > 0 && IsTerminal(Stream::kErr)) {
      Write(Stream::kErr,
            kProgramName + std::string(kOutputClosedLabel) +
                std::to_string(files_left) +
                (files_left == 1 ? kMoreFileLabel : kMoreFilesLabel) + "\n");
    }
  }

  const CommandLine& command_;
  const InterruptWatch& interrupts_;
  ProgressLine progress_;
  bool reader_gone_ = false;
};

/// app.parse, naming an unknown option before a missing PATH: CLI11 checks
/// for the PATH first, so "--bogus" alone would read as "PATH is required".
void Parse(CLI::App& app, const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::RequiredError&) {
    const std::vector<std::string> unknown = app.remaining();
    if (!unknown.empty()) throw CLI::ExtrasError(unknown);
    throw;
  }
}

// The subcommands, each `velkrane-cli NAME ...` with its code in a file of
// its own; everything else is a repair.
const std::vector<Subcommand> kSubcommands = {
    {kRecoverCommand, kRecoverSummary, RunRecover},
};

const Subcommand* SubcommandFor(const std::vector<std::string>& args) {
  if (args.size() < 2) return nullptr;
  for (const Subcommand& subcommand : kSubcommands) {
    if (args[1] == subcommand.name) return &subcommand;
  }
  return nullptr;
}

std::string RepairFooter() {
  std::string footer = kExitStatusHelp;
  for (const Subcommand& subcommand : kSubcommands) {
    footer += std::string("\n\n") + kProgramName + " " + subcommand.name +
              ": " + subcommand.summary;
  }
  return footer;
}

void AddRepairOptions(CLI::App& app, CommandLine& command) {
  app.add_option("-o,--output", command.output,
                 "Put the copies under DIR, each at its path below the PATH it "
                 "was found under")
      ->type_name("DIR");
  app.add_flag("-n,--dry-run", command.dry_run,
               "Find each tail and check the structure, write nothing");
  app.add_flag(
      "--rule-only", command.rule_only,
      "Cut 8 bytes after the last \"PROP\", ignoring the file's directory");
  app.add_flag("--whole-file", command.whole_file,
               "Let the plain rule search the whole file, not only its first " +
                   GroupedDigits(kLoadLimit) +
                   " bytes (the directory is always searched for in the whole "
                   "file)");
  app.add_flag("--json", command.json,
               "One JSON object per file, then a summary");
  app.add_flag("-q,--quiet", command.quiet,
               "Show only failures and the summary");
  app.add_option("PATH", command.paths, "X3F files, or folders to search")
      ->required()
      ->type_name("");
  app.footer(RepairFooter());
}

int ExitStatus(const TreeRunSummary& summary, int signal_number) {
  if (signal_number != 0) return kExitSignalBase + signal_number;
  if (summary.found == 0 || summary.failed > 0 || summary.no_tail > 0) {
    return kExitSomeFailed;
  }
  return kExitDone;
}

/// Repairs the trees `command` names, shown as it asks.
int RepairTrees(const CommandLine& command) {
  TreeRunOptions options;
  options.output = command.output;
  options.repair.dry_run = command.dry_run;
  options.repair.rule_only = command.rule_only;
  options.repair.whole_file = command.whole_file;
  InterruptWatch interrupts;
  Printer printer(command, interrupts);
  try {
    const TreeRunSummary summary = RunTree(command.paths, options, printer);
    printer.Summary(summary);
    return ExitStatus(summary, interrupts.Signal());
  } catch (const std::exception& e) {
    return ReportFailure(e);
  }
}

/// `velkrane-cli [OPTIONS] PATH...`: the command without a subcommand.
int RunRepair(const std::vector<std::string>& args) {
  CommandLine command;
  CLI::App app(Description(), kProgramName);
  AddRepairOptions(app, command);
  SetUpApp(app);
  const std::optional<int> answered = ParseArguments(app, args, [&] {
    if (app.count("--output") && command.output.empty()) {
      throw CLI::ValidationError(kEmptyOutput);
    }
  });
  if (answered) return *answered;
  return RepairTrees(command);
}

}  // namespace

void SetUpApp(CLI::App& app) {
  // CLI11 reads "/name" as an option on Windows; here it is a path.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version",
                       std::string(kProgramName) + " " + VELKRANE_VERSION);
}

std::optional<int> ParseArguments(CLI::App& app,
                                  const std::vector<std::string>& args,
                                  const std::function<void()>& check) {
  try {
    Parse(app, args);
    if (check) check();
  } catch (const CLI::CallForHelp&) {
    Write(Stream::kOut, app.help());
    return kExitDone;
  } catch (const CLI::CallForVersion& e) {
    Write(Stream::kOut, std::string(e.what()) + "\n");
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    Write(Stream::kErr, std::string(kProgramName) + ": " + e.what() + "\n" +
                            kUsageHint + "\n");
    return kExitUsage;
  }
  return std::nullopt;
}

int ReportFailure(const std::exception& error) {
  Write(Stream::kErr, std::string(kProgramName) + ": " + error.what() + "\n");
  return kExitSomeFailed;
}

int RunCommandLine(const std::vector<std::string>& args) {
  if (const Subcommand* subcommand = SubcommandFor(args)) {
    return subcommand->run(
        std::vector<std::string>(args.begin() + 1, args.end()));
  }
  return RunRepair(args);
}

}  // namespace velkrane::cli
