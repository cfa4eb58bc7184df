#include <filesystem>
#include <iterator>
#include <system_error>

#include <FL/Fl_Native_File_Chooser.H>

#include "fileio/error.h"
#include "ui/fltk/main_form_dialogs.h"
#include "ui/fltk/message_box.h"
#include "ui/shared/chooser_filter.h"
#include "ui/shared/main_form_texts.h"
#include "ui/shared/open_dialog_result.h"

namespace velkrane {

namespace {

const char kChooserFailed[] = "The file dialog could not be opened";

// One showing of the chooser in `folder`: what it hands back, unchecked.
std::optional<std::vector<std::string>> ShowChooser(const std::string& folder) {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_MULTI_FILE);
  // Without a folder, GTK's chooser opens on an empty "Recently Used" list,
  // where the location bar drops the first characters typed; and FLTK hands
  // it only an absolute folder.
  std::error_code no_current_folder;
  const std::filesystem::path start =
      std::filesystem::current_path(no_current_folder) /
      std::filesystem::u8path(folder);
  const std::string start_text = start.u8string();
  if (!no_current_folder) chooser.directory(start_text.c_str());
  const std::string filter =
      ChooserFilter({std::begin(kOpenFilter), std::end(kOpenFilter)});
  chooser.filter(filter.c_str());
  chooser.filter_value(0);
  switch (chooser.show()) {
    case 0: {
      std::vector<std::string> paths;
      for (int i = 0; i < chooser.count(); ++i) {
        if (const char* path = chooser.filename(i)) paths.emplace_back(path);
      }
      return paths;
    }
    case 1:
      return std::nullopt;
    default: {
      const char* reason = chooser.errmsg();
      throw Error(reason && *reason
                      ? std::string(kChooserFailed) + ": " + reason
                      : std::string(kChooserFailed));
    }
  }
}

}  // namespace

std::optional<std::vector<std::string>> FltkDialogs::ChooseFiles(
    const std::string& folder) {
  // Only files that exist are taken: a typed folder or a name that is not
  // there opens the chooser again in that folder, as Windows' dialog stays.
  std::string start = folder;
  for (;;) {
    auto paths = ShowChooser(start);
    if (!paths) return std::nullopt;
    std::optional<std::string> reopen = ChooserReopenFolder(*paths);
    if (!reopen) return paths;
    start = *reopen;
  }
}

void FltkDialogs::ShowMessage(const std::string& text) {
  ShowMessageBox(text, BoxIcon::kNone);
}

void FltkDialogs::ShowError(const std::string& text) {
  ShowMessageBox(text, BoxIcon::kStop);
}

}  // namespace velkrane
