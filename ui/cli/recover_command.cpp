// velkrane-cli recover: the arguments in, a line or JSON object per photo
// out. The pass over the card happens in batch/card_recovery.

#include "ui/cli/recover_command.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "batch/card_recovery.h"
#include "batch/run_texts.h"
#include "fileio/path_parts.h"
#include "ui/cli/cli_app.h"
#include "ui/cli/cli_shared.h"
#include "ui/cli/console.h"

namespace velkrane::cli {
namespace {

constexpr char kCommandName[] = "velkrane-cli recover";
constexpr char kDescription[] =
    "Recovers every X3F photo on a card, a card's device or its image, in one "
    "pass: each photo found whole goes into DIR as its own file, named after "
    "the sector its header lies in. The sources are opened read-only and "
    "never written to; DIR may not lie on one of them. (A folder named "
    "\"recover\" is still repaired as a PATH when written \"./recover\".)";
constexpr char kExitStatusHelp[] =
    "Exit status: 0 when every photo found was recovered whole or is already "
    "there; 1 when one was incomplete or failed, a source could not be read, "
    "or no photo was found; 2 when the command was wrong; 130 when stopped "
    "by Ctrl+C, which finishes or removes the photo in progress first.";
constexpr char kEmptyOutput[] = "--output: the folder name is empty";
constexpr char kCannotRecoverInto[] = "Cannot recover into ";
constexpr char kNoPhotosFound[] = "No X3F photos found.";
constexpr char kRecoveredAs[] = ": recovered as ";
constexpr char kAlreadyThereAs[] = ": already there as ";
constexpr char kWouldRecoverPrefix[] = ": would recover ";
constexpr char kBytesLabel[] = " bytes";
constexpr char kIncompletePrefix[] = ": incomplete - ";
constexpr char kKeptAs[] = "; what is left kept as ";
constexpr char kFailedPrefix[] = ": failed - ";
constexpr char kRecoveredLabel[] = "Recovered ";
constexpr char kWouldRecoverLabel[] = "Would recover ";
constexpr char kAlreadyThereLabel[] = ", already there ";
constexpr char kIncompleteLabel[] = ", incomplete ";
constexpr char kFailedLabel[] = ", failed ";
constexpr char kFoundLabel[] = " photos found; ";
constexpr char kBytesReadLabel[] = " bytes read, ";
constexpr char kUnreadableLabel[] = " unreadable.";
constexpr char kNothingWritten[] = " Nothing was written.";
constexpr char kPhotosInLabel[] = "Photos in ";
constexpr char kStoppedAtLabel[] = "Stopped at byte ";
constexpr char kOfLabel[] = " of ";
constexpr char kReadLabel[] = " read, ";
constexpr char kPerSecondLabel[] = "/s, ";
constexpr char kPhotoFoundLabel[] = " photo found";
constexpr char kPhotosFoundLabel[] = " photos found";
constexpr char kLeftLabel[] = " left";

// The progress line is rewritten at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

struct Command {
  std::vector<std::string> sources;
  std::string output;
  bool dry_run = false;
  bool json = false;
  bool quiet = false;
  bool keep_incomplete = false;
};

const char* OutcomeName(PhotoResult result) {
  switch (result) {
    case PhotoResult::kRecovered:
      return "recovered";
    case PhotoResult::kAlreadyThere:
      return "already_there";
    case PhotoResult::kWouldRecover:
      return "would_recover";
    case PhotoResult::kIncomplete:
      return "incomplete";
    case PhotoResult::kFailed:
      break;
  }
  return "failed";
}

Json PhotoObject(const PhotoReport& report) {
  const Json none;
  return {{"type", "photo"},
          {"source", report.source},
          {"offset", report.offset},
          {"length", report.length < 0 ? none : Json(report.length)},
          {"outcome", OutcomeName(report.result)},
          {"target", OrNull(report.target)},
          {"structure", report.length < 0 ? none
                        : report.verdict.complete
                            ? Json("complete")
                            : Json(VerdictText(report.verdict))},
          {"error", OrNull(report.error)}};
}

std::string PhotoLine(const PhotoReport& report) {
  std::string line = report.source + "@" + std::to_string(report.offset);
  switch (report.result) {
    case PhotoResult::kRecovered:
      line += kRecoveredAs + FileNamePart(report.target);
      break;
    case PhotoResult::kAlreadyThere:
      line += kAlreadyThereAs + FileNamePart(report.target);
      break;
    case PhotoResult::kWouldRecover:
      line += kWouldRecoverPrefix + std::to_string(report.length) + kBytesLabel;
      break;
    case PhotoResult::kIncomplete:
      line += kIncompletePrefix + report.error;
      if (!report.target.empty()) line += kKeptAs + FileNamePart(report.target);
      return line + "\n";
    case PhotoResult::kFailed:
      return line + kFailedPrefix + report.error + "\n";
  }
  return line + " (" + VerdictText(report.verdict) + ")\n";
}

// "12.3 MB": one decimal, powers of 1000 as disks are sold.
std::string Amount(double bytes) {
  const char* units[] = {"B", "kB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1000 && unit < 4) {
    bytes /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes,
                units[unit]);
  return text;
}

std::string Duration(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600,
                  whole / 60 % 60);
  } else if (whole >= 60) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld s", whole);
  }
  return text;
}

class Printer final : public RecoverView {
 public:
  Printer(const Command& command, const InterruptWatch& interrupts)
      : command_(command),
        interrupts_(interrupts),
        progress_(!command.json && !command.quiet && IsTerminal(Stream::kOut)) {
  }

  void Progress(const RecoverProgress& at) override {
    const auto now = std::chrono::steady_clock::now();
    if (at.source != source_) {
      // A source's clock starts where the one before it ended.
      source_ = at.source;
      started_ = last_;
    }
    last_ = now;
    if (!progress_.Shown() ||
        (now - shown_at_ < kProgressInterval && at.read < at.size)) {
      return;
    }
    shown_at_ = now;
    const double seconds =
        std::chrono::duration<double>(now - started_).count();
    const double speed = seconds > 0 ? at.read / seconds : 0;
    std::string line = Amount(static_cast<double>(at.read)) + kOfLabel +
                       Amount(static_cast<double>(at.size)) + kReadLabel +
                       Amount(speed) + kPerSecondLabel +
                       std::to_string(at.found) +
                       (at.found == 1 ? kPhotoFoundLabel : kPhotosFoundLabel);
    if (speed > 0 && at.read < at.size) {
      line += ", " + Duration((at.size - at.read) / speed) + kLeftLabel;
    }
    progress_.Show(line);
  }

  void PhotoDone(const PhotoReport& report) override {
    progress_.Show("");
    const bool ok = report.result == PhotoResult::kRecovered ||
                    report.result == PhotoResult::kAlreadyThere ||
                    report.result == PhotoResult::kWouldRecover;
    if (command_.quiet && ok) return;
    Write(Stream::kOut,
          command_.json ? JsonLine(PhotoObject(report)) : PhotoLine(report));
  }

  void SourceFailed(const std::string&, const std::string& error) override {
    progress_.Show("");
    Write(Stream::kErr, std::string(kProgramName) + ": " + error + "\n");
  }

  bool StopRequested() override { return interrupts_.Signal() != 0; }

  void Summary(const RecoverSummary& summary) {
    progress_.Show("");
    if (command_.json) {
      Write(
          Stream::kOut,
          JsonLine({{"type", "summary"},
                    {"found", summary.found},
                    {"recovered", summary.recovered},
                    {"already_there", summary.already_there},
                    {"incomplete", summary.incomplete},
                    {"failed", summary.failed},
                    {"bytes_read", summary.bytes_read},
                    {"unreadable_bytes", summary.unreadable_bytes},
                    {"output", OrNull(command_.dry_run ? "" : command_.output)},
                    {"interrupted", summary.stopped}}));
      return;
    }
    if (summary.found == 0) {
      Write(Stream::kErr, std::string(kNoPhotosFound) + "\n");
    }
    const bool dry = command_.dry_run;
    std::string text =
        (dry ? kWouldRecoverLabel : kRecoveredLabel) +
        std::to_string(dry ? summary.would_recover : summary.recovered) +
        kAlreadyThereLabel + std::to_string(summary.already_there) +
        kIncompleteLabel + std::to_string(summary.incomplete) + kFailedLabel +
        std::to_string(summary.failed) + kOfLabel +
        std::to_string(summary.found) + kFoundLabel +
        std::to_string(summary.bytes_read) + kBytesReadLabel +
        std::to_string(summary.unreadable_bytes) + kUnreadableLabel +
        (dry ? kNothingWritten : "") + "\n";
    if (!dry && summary.recovered + summary.already_there > 0) {
      text += kPhotosInLabel + WithTrailingSeparator(command_.output) + "\n";
    }
    if (summary.stopped) {
      text += kStoppedAtLabel + std::to_string(summary.stopped_at) + kOfLabel +
              summary.stopped_source + ".\n";
    }
    Write(Stream::kOut, text);
  }

 private:
  const Command& command_;
  const InterruptWatch& interrupts_;
  ProgressLine progress_;
  std::string source_;
  std::chrono::steady_clock::time_point started_, shown_at_;
  std::chrono::steady_clock::time_point last_ =
      std::chrono::steady_clock::now();
};

int ExitStatus(const RecoverSummary& summary, int signal_number) {
  if (signal_number != 0) return kExitSignalBase + signal_number;
  if (summary.found == 0 || summary.incomplete > 0 || summary.failed > 0 ||
      summary.sources_failed > 0) {
    return kExitSomeFailed;
  }
  return kExitDone;
}

}  // namespace

int RunRecover(const std::vector<std::string>& args) {
  Command command;
  CLI::App app(kDescription, kCommandName);
  app.add_option("-o,--output", command.output,
                 "Put the photos into DIR (created if missing)")
      ->type_name("DIR")
      ->required();
  app.add_flag("-n,--dry-run", command.dry_run,
               "Find and check every photo, write nothing");
  app.add_flag("--keep-incomplete", command.keep_incomplete,
               "Also save what is left of each incomplete photo, from its "
               "header to the next one, as ....X3F.incomplete");
  app.add_flag("--json", command.json,
               "One JSON object per photo found, then a summary");
  app.add_flag("-q,--quiet", command.quiet,
               "Show only incomplete and failed photos and the summary");
  app.add_option("SOURCE", command.sources,
                 "Card images (.img, .bin, anything), devices (/dev/sdb, "
                 "/dev/mmcblk0, a partition) or, on Windows, drives (E:, "
                 "\\\\.\\PhysicalDrive1)")
      ->required()
      ->type_name("");
  app.footer(kExitStatusHelp);

  SetUpApp(app);
  const std::optional<int> answered = ParseArguments(app, args, [&] {
    if (command.output.empty()) throw CLI::ValidationError(kEmptyOutput);
  });
  if (answered) return *answered;

  RecoverOptions options;
  options.output = command.output;
  options.dry_run = command.dry_run;
  options.keep_incomplete = command.keep_incomplete;
  InterruptWatch interrupts;
  Printer printer(command, interrupts);
  try {
    const RecoverSummary summary =
        RecoverCards(command.sources, options, printer);
    if (!summary.refused.empty()) {
      Write(Stream::kErr, std::string(kProgramName) + ": " +
                              kCannotRecoverInto + command.output + ": " +
                              summary.refused + "\n");
      return kExitUsage;
    }
    printer.Summary(summary);
    return ExitStatus(summary, interrupts.Signal());
  } catch (const std::exception& e) {
    return ReportFailure(e);
  }
}

}  // namespace velkrane::cli
