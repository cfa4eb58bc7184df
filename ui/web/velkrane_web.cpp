// The small surface the page's Worker calls: the desktop's cut decision,
// structure check, texts and marks over a picked file's slices. The Worker
// reads the slices; the page writes the copies. Nothing here decides where a
// copy ends or how a result reads: that is x3f/, batch/ and ui/shared/.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "batch/folder_walk.h"
#include "batch/repair_one.h"
#include "batch/run_texts.h"
#include "fileio/error.h"
#include "ui/shared/list_outcomes.h"
#include "ui/shared/main_form_layout.h"
#include "ui/shared/main_form_texts.h"
#include "x3f/end_search.h"
#include "x3f/repair.h"

namespace velkrane {
namespace {

using emscripten::val;

val OutcomeObject(const FileReport& report) {
  val object = val::object();
  const auto row = OutcomeOf(report);
  object.set("mark", row ? static_cast<int>(row->mark) : -1);
  object.set("tip", row ? row->tip : std::string());
  object.set("status", FileDoneText(report.source, report.message));
  object.set("length", static_cast<double>(report.outcome.length));
  return object;
}

// What a file's run shows once its copy (if any) is written: a copy's texts
// are those of Decode after the commit, its verdict that of the bytes the
// copy holds. `read(offset, view)` fills the Uint8Array view with the bytes
// at offset and returns false when it cannot.
val Decide(const std::string& name, double size, val read) {
  ByteSource source;
  source.size = static_cast<std::int64_t>(size);
  source.read = [&read](std::int64_t offset, void* data, std::size_t count) {
    const val view = val(emscripten::typed_memory_view(
        count, static_cast<unsigned char*>(data)));
    if (!read(static_cast<double>(offset), view).as<bool>()) {
      throw Error(kStreamReadError);
    }
  };
  FileReport report;
  report.source = name;
  report.target = name;
  try {
    try {
      RepairOptions options;
      options.dry_run = true;
      report.outcome = FindRepair(source, options);
    } catch (const std::bad_alloc&) {
      throw Error(kOutOfMemoryError);
    }
    if (report.outcome.result == RepairResult::kX3iFile) {
      throw Error(kX3iFileError);
    }
    if (report.outcome.result == RepairResult::kTailNotFound) {
      report.result = FileResult::kNoTailFound;
    } else {
      report.outcome.result = RepairResult::kRepaired;
      report.result = FileResult::kRepaired;
    }
  } catch (const std::exception& e) {
    report.result = FileResult::kFailed;
    report.error = e.what();
  }
  report.message = ResultText(report);
  return OutcomeObject(report);
}

// A file whose copy could not be written: `error` says why.
val Failed(const std::string& name, const std::string& error) {
  FileReport report;
  report.source = name;
  report.result = FileResult::kFailed;
  report.error = error;
  report.message = ResultText(report);
  return OutcomeObject(report);
}

// How the windows draw `mark` in a square cell `size` pixels wide.
val MarkDrawing(int mark, int size) {
  const auto which = static_cast<OutcomeMark>(mark);
  const MarkColour colour = ColourOf(which);
  val strokes = val::array();
  for (const MarkStroke& s : MarkStrokes(which, size)) {
    strokes.call<void>("push",
                       val::array(std::vector<int>{s.x0, s.y0, s.x1, s.y1}));
  }
  val drawing = val::object();
  drawing.set("colour", val::array(std::vector<int>{colour.red, colour.green,
                                                    colour.blue}));
  drawing.set("width", MarkLineWidth(size));
  drawing.set("strokes", strokes);
  return drawing;
}

// Of the files below dropped folders, given as '/'-joined names below the
// drop, the ones a folder walk takes, in its order (depth first, in name
// order), as indexes into `paths`.
std::vector<int> WalkOrder(const std::vector<std::string>& paths) {
  std::vector<std::vector<std::string>> parts;
  std::vector<int> taken;
  for (const std::string& path : paths) {
    std::vector<std::string> names;
    std::string::size_type from = 0;
    for (;;) {
      const auto slash = path.find('/', from);
      names.push_back(path.substr(from, slash - from));
      if (slash == std::string::npos) break;
      from = slash + 1;
    }
    const bool in_output = std::find(names.begin(), names.end() - 1,
                                     kOutputFolderName) != names.end() - 1;
    parts.push_back(names);
    if (!in_output && HasX3fExtension(names.back())) {
      taken.push_back(static_cast<int>(parts.size() - 1));
    }
  }
  std::stable_sort(taken.begin(), taken.end(),
                   [&parts](int a, int b) { return parts[a] < parts[b]; });
  return taken;
}

val RectObject(const Rect& r) {
  val rect = val::object();
  rect.set("left", r.left);
  rect.set("top", r.top);
  rect.set("width", r.width);
  rect.set("height", r.height);
  return rect;
}

// The window's geometry at 96 dpi, which the page lays itself out by.
val Layout() {
  val layout = val::object();
  layout.set("client", RectObject({0, 0, kClientWidth, kClientHeight}));
  layout.set("Panel1", RectObject(kPanel1));
  layout.set("Image1", RectObject(kImage1));
  layout.set("L1", RectObject({kL1Left, kL1Top, 0, kLabelHeight}));
  layout.set("Label2", RectObject({kLabel2Left, kLabel2Top, 0, kLabelHeight}));
  layout.set("LBMain", RectObject(kLBMain));
  layout.set("Button1", RectObject(kButton1));
  layout.set("Button2", RectObject(kButton2));
  layout.set("Button3", RectObject(kButton3));
  layout.set("SBar", RectObject(kSBar));
  layout.set("rowHeight", kListItemHeight);
  layout.set("markWidth", kMarkColumnWidth);
  val edges = val::array();
  for (const int edge : kStatusPanelEdges) edges.call<void>("push", edge);
  layout.set("statusEdges", edges);
  layout.set("statusPanel", kStatusPanel);
  layout.set("webPanel", kWebPanel);
  return layout;
}

val Texts() {
  val texts = val::object();
  texts.set("header", HeaderText());
  texts.set("notice", std::string(kNoticeText));
  texts.set("select", std::string(kSelectText));
  texts.set("clear", std::string(kClearText));
  texts.set("decode", std::string(kDecodeText));
  texts.set("contact", ContactText());
  texts.set("web", WebText());
  texts.set("ready", std::string(kReady));
  texts.set("noFiles", std::string(kNoFilesSelected));
  texts.set("outputFolder", std::string(kOutputFolderName));
  texts.set("filter", std::string(kOpenFilter[0].pattern));
  return texts;
}

}  // namespace
}  // namespace velkrane

EMSCRIPTEN_BINDINGS(velkrane) {
  emscripten::register_vector<std::string>("StringList");
  emscripten::register_vector<int>("IndexList");
  emscripten::function("decide", &velkrane::Decide);
  emscripten::function("failed", &velkrane::Failed);
  emscripten::function("markDrawing", &velkrane::MarkDrawing);
  emscripten::function("walkOrder", &velkrane::WalkOrder);
  emscripten::function("texts", &velkrane::Texts);
  emscripten::function("layout", &velkrane::Layout);
  emscripten::function("targetTaken", &velkrane::TargetTakenError);
  emscripten::function("processingText", &velkrane::ProcessingText);
  emscripten::function("summaryText", &velkrane::SummaryText);
}
