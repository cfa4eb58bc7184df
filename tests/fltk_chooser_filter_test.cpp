// What the Linux open-file dialog makes of our filter. Fl_Native_File_Chooser
// uses the GTK chooser where the GTK libraries load, else FLTK's own
// Fl_File_Chooser; each is opened for real here, read and cancelled. FLTK
// settles which once per process, at the first chooser, so each runs in a
// fresh process of this program.

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <gtest/gtest.h>

#include "tests/test_util.h"
#include "ui/shared/chooser_filter.h"
#include "ui/shared/main_form_texts.h"

namespace velkrane {
namespace {

using Names = std::vector<std::string>;

const Names kFolder = {"DSC_0001.X3F", "dsc_0002.x3f", "Mixed.X3f",
                       "a.X3F.txt",    "a.X3",         "X3F",
                       "photo.jpg",    "no_extension"};
const Names kX3fFiles = {"DSC_0001.X3F", "Mixed.X3f", "dsc_0002.x3f"};

/// What the open chooser showed: its filter labels and, per label, the
/// folder's files it lists.
struct Seen {
  std::string folder;
  Names labels;
  std::vector<Names> listed;
  bool fltk_chooser = false;
  bool gtk_chooser = false;
};

Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

std::string Joined(const Names& names) {
  std::string joined;
  for (const auto& name : names) joined += "[" + name + "] ";
  return joined;
}

/// What a child process tells the test when the chooser was not as wanted.
std::string Describe(const Seen& seen) {
  std::string text = "labels: " + Joined(seen.labels) + "\n";
  for (std::size_t i = 0; i < seen.listed.size(); ++i) {
    text += "listed under " + std::to_string(i) + ": " +
            Joined(seen.listed[i]) + "\n";
  }
  return text;
}

/// Opens the chooser as FltkDialogs does, on `folder`; returns show()'s
/// result once a reader has cancelled it.
int ShowChooser(const std::string& folder) {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_MULTI_FILE);
  const std::string filter =
      ChooserFilter({std::begin(kOpenFilter), std::end(kOpenFilter)});
  chooser.filter(filter.c_str());
  chooser.filter_value(0);
  chooser.directory(folder.c_str());
  return chooser.show();
}

// FLTK's own chooser: found among the shown windows by its file list.

template <typename Widget>
Widget* Find(Fl_Group* group, const std::function<bool(Widget*)>& fits) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (auto* widget = dynamic_cast<Widget*>(child); widget && fits(widget)) {
      return widget;
    }
    if (Fl_Group* inner = child->as_group()) {
      if (Widget* found = Find<Widget>(inner, fits)) return found;
    }
  }
  return nullptr;
}

template <typename Widget>
Widget* Find(Fl_Group* group) {
  return Find<Widget>(group, [](Widget*) { return true; });
}

void ReadFltkChooser(void* data) {
  auto& seen = *static_cast<Seen*>(data);
  Fl_Window* window = Fl::first_window();
  while (window && !Find<Fl_File_Browser>(window)) {
    window = Fl::next_window(window);
  }
  if (!window) {
    Fl::repeat_timeout(0.05, ReadFltkChooser, data);
    return;
  }
  seen.fltk_chooser = true;
  auto* choice = Find<Fl_Choice>(window);
  auto* list = Find<Fl_File_Browser>(window);
  auto* cancel = Find<Fl_Button>(window, [](Fl_Button* button) {
    return button->label() && std::string(button->label()) == fl_cancel;
  });
  if (!choice || !cancel) {
    ADD_FAILURE() << "the chooser has no filter choice or no Cancel";
    window->hide();
    return;
  }
  for (int i = 0; i < choice->size(); ++i) {
    if (const char* label = choice->text(i)) seen.labels.push_back(label);
  }
  // The last entry asks for a pattern in a box of its own.
  for (std::size_t i = 0; i + 1 < seen.labels.size(); ++i) {
    choice->value(static_cast<int>(i));
    choice->do_callback();
    Names listed;
    for (int line = 1; line <= list->size(); ++line) {
      const std::string entry = list->text(line);
      if (entry.back() != '/') listed.push_back(entry);  // "../"
    }
    seen.listed.push_back(Sorted(listed));
  }
  cancel->do_callback();
}

Seen OpenFltkChooser(const std::string& folder) {
  Seen seen;
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  Fl::add_timeout(0.0, ReadFltkChooser, &seen);
  EXPECT_EQ(1, ShowChooser(folder)) << "cancelled";
  EXPECT_TRUE(seen.fltk_chooser);
  return seen;
}

// The GTK chooser, reached through the GTK and GLib functions FLTK loaded
// (globally) to run it; a GLib timer reads it from inside its own loop.

struct GList {
  void* data;
  GList* next;
  GList* prev;
};
struct GSList {
  void* data;
  GSList* next;
};
struct GtkFileFilterInfo {
  int contains;
  const char* filename;
  const char* uri;
  const char* display_name;
  const char* mime_type;
};
constexpr int kFilterFilename = 1 << 0;
constexpr int kFilterDisplayName = 1 << 2;
constexpr int kResponseCancel = -6;

template <typename Function>
Function* Symbol(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_DEFAULT, name));
}

struct Gtk {
  using Type = unsigned long;
  unsigned (*timeout_add)(unsigned, int (*)(void*), void*) =
      Symbol<unsigned(unsigned, int (*)(void*), void*)>("g_timeout_add");
  int (*source_remove)(unsigned) = Symbol<int(unsigned)>("g_source_remove");
  GList* (*list_toplevels)() = Symbol<GList*()>("gtk_window_list_toplevels");
  void (*list_free)(GList*) = Symbol<void(GList*)>("g_list_free");
  void (*slist_free)(GSList*) = Symbol<void(GSList*)>("g_slist_free");
  Type (*chooser_type)() = Symbol<Type()>("gtk_file_chooser_get_type");
  int (*is_a)(void*, Type) =
      Symbol<int(void*, Type)>("g_type_check_instance_is_a");
  int (*mapped)(void*) = Symbol<int(void*)>("gtk_widget_get_mapped");
  GSList* (*list_filters)(void*) =
      Symbol<GSList*(void*)>("gtk_file_chooser_list_filters");
  const char* (*filter_name)(void*) =
      Symbol<const char*(void*)>("gtk_file_filter_get_name");
  int (*filter)(void*, const GtkFileFilterInfo*) =
      Symbol<int(void*, const GtkFileFilterInfo*)>("gtk_file_filter_filter");
  void (*respond)(void*, int) = Symbol<void(void*, int)>("gtk_dialog_response");

  bool Loaded() const {
    return timeout_add && source_remove && list_toplevels && list_free &&
           slist_free && chooser_type && is_a && mapped && list_filters &&
           filter_name && filter && respond;
  }
};

struct GtkReader {
  Gtk gtk;
  Seen seen;
  /// Timer ticks that found the dialog on screen.
  int ticks_mapped = 0;
};

int ReadGtkChooser(void* data) {
  auto& reader = *static_cast<GtkReader*>(data);
  const Gtk& gtk = reader.gtk;
  Seen& seen = reader.seen;
  GList* windows = gtk.list_toplevels();
  void* dialog = nullptr;
  for (GList* at = windows; at && !dialog; at = at->next) {
    if (gtk.is_a(at->data, gtk.chooser_type()) && gtk.mapped(at->data)) {
      dialog = at->data;
    }
  }
  gtk.list_free(windows);
  if (!dialog) return 1;  // not up yet: ask again
  // FLTK maps the dialog in a loop of its own and only then listens for
  // the answer: answer on a later tick.
  if (reader.ticks_mapped++ == 0) return 1;

  seen.gtk_chooser = true;
  GSList* filters = gtk.list_filters(dialog);
  for (GSList* at = filters; at; at = at->next) {
    seen.labels.emplace_back(gtk.filter_name(at->data));
    Names listed;
    for (const auto& name : kFolder) {
      const std::string path = seen.folder + "/" + name;
      const GtkFileFilterInfo info = {kFilterFilename | kFilterDisplayName,
                                      path.c_str(), nullptr, name.c_str(),
                                      nullptr};
      if (gtk.filter(at->data, &info)) listed.push_back(name);
    }
    seen.listed.push_back(Sorted(listed));
  }
  gtk.slist_free(filters);
  gtk.respond(dialog, kResponseCancel);
  return 0;
}

Seen OpenGtkChooser(const std::string& folder) {
  // Constructing a chooser has FLTK look for the GTK libraries.
  { Fl_Native_File_Chooser probe; }
  GtkReader reader;
  if (!reader.gtk.Loaded()) return reader.seen;
  reader.seen.folder = folder;
  reader.gtk.timeout_add(50, ReadGtkChooser, &reader);
  // Should FLTK pick its own chooser after all, this closes it.
  Seen fltk;
  Fl::add_timeout(0.0, ReadFltkChooser, &fltk);
  EXPECT_EQ(1, ShowChooser(folder)) << "cancelled";
  EXPECT_FALSE(fltk.fltk_chooser) << "FLTK did not use the GTK chooser";
  EXPECT_TRUE(reader.seen.gtk_chooser);
  return reader.seen;
}

enum class Chooser { kFltk, kGtk };
constexpr int kNoGtk = 3;
constexpr unsigned kChildSeconds = 60;

/// In the child process: opens `chooser` on a folder of kFolder, checks
/// what it shows and exits 0 when all holds, kNoGtk when there is no GTK.
[[noreturn]] void OpenAndCheck(Chooser chooser) {
  // A chooser nobody closes would hold the test up forever.
  ::alarm(kChildSeconds);
  int code = kNoGtk;
  {
    testing::ScopedTempDir dir;
    for (const auto& name : kFolder) testing::WriteFile(dir.File(name), {});
    const Seen seen = chooser == Chooser::kFltk ? OpenFltkChooser(dir.Path())
                                                : OpenGtkChooser(dir.Path());
    if (seen.fltk_chooser || seen.gtk_chooser) {
      // One clean label, as on Windows; FLTK adds its own "All Files (*)".
      Names labels = {"X3F Files (*.X3F)", "All Files (*)"};
      if (chooser == Chooser::kFltk) labels.push_back("Custom Filter");
      EXPECT_EQ(labels, seen.labels);
      const std::vector<Names> listed = {kX3fFiles, Sorted(kFolder)};
      EXPECT_EQ(listed, seen.listed) << "X3F in any case, then every file";
      code = ::testing::Test::HasFailure() ? 1 : 0;
      // The parent shows only what the child wrote to stderr.
      if (code != 0) std::fputs(Describe(seen).c_str(), stderr);
    }
  }
  std::fflush(stdout);
  ::_exit(code);
}

class ChooserInOwnProcess : public ::testing::Test {
 protected:
  ChooserInOwnProcess() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ChooserInOwnProcess, FltkChooserShowsOneLabelAndMatchesAnyCase) {
  EXPECT_EXIT(OpenAndCheck(Chooser::kFltk), ::testing::ExitedWithCode(0), "");
}

TEST_F(ChooserInOwnProcess, GtkChooserShowsOneLabelAndMatchesAnyCase) {
  int code = -1;
  EXPECT_EXIT(
      OpenAndCheck(Chooser::kGtk),
      [&code](int status) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return code == 0 || code == kNoGtk;
      },
      "");
  if (code == kNoGtk) {
    GTEST_SKIP() << "no GTK libraries here: FLTK uses its own chooser";
  }
}

}  // namespace
}  // namespace velkrane
