// What the Linux open-file dialog makes of our filter, and where it opens.
// FltkDialogs' Fl_Native_File_Chooser uses the GTK chooser where the GTK
// libraries load, else FLTK's own Fl_File_Chooser; each is opened for real
// here, read and answered. FLTK settles which once per process, at the first
// chooser, so each runs in a fresh process of this program.

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include <algorithm>
#include <optional>
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

#include "tests/fltk_window_test_util.h"
#include "tests/test_util.h"
#include "ui/fltk/MainUnit.h"
#include "ui/fltk/main_form_dialogs.h"

namespace velkrane {
namespace {

using Names = std::vector<std::string>;

// Sorted, as the choosers' lists are compared sorted.
const Names kFolder = {"DSC_0001.X3F", "Mixed.X3f", "X3F",
                       "a.X3",         "a.X3F.txt", "dsc_0002.x3f",
                       "no_extension", "photo.jpg"};
const Names kX3fFiles = {"DSC_0001.X3F", "Mixed.X3f", "dsc_0002.x3f"};

/// What the open chooser showed: its filter labels and, per label, the
/// folder's files it lists.
struct Seen {
  std::string folder;
  bool opened = false;
  Names labels;
  std::vector<Names> listed;

  void List(Names names) {
    std::sort(names.begin(), names.end());
    listed.push_back(names);
  }
};

/// The real dialog, cancelled by a reader. It opens in the current folder.
void ChooseAndCancel() {
  EXPECT_EQ(std::nullopt, FltkDialogs().ChooseFiles("")) << "cancelled";
}

// FLTK's own chooser: the shown window with a file list.

template <typename Widget>
Widget* Find(Fl_Group* group, const char* label = nullptr) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    auto* widget = dynamic_cast<Widget*>(child);
    const bool named =
        !label || (child->label() && std::string(child->label()) == label);
    if (widget && named) return widget;
    if (Fl_Group* inner = child->as_group()) {
      if (Widget* found = Find<Widget>(inner, label)) return found;
    }
  }
  return nullptr;
}

void ReadFltkChooser(void* data) {
  auto& seen = *static_cast<Seen*>(data);
  Fl_Window* window = Fl::first_window();
  while (window && !Find<Fl_File_Browser>(window)) {
    window = Fl::next_window(window);
  }
  if (!window) return Fl::repeat_timeout(0.05, ReadFltkChooser, data);
  auto* choice = Find<Fl_Choice>(window);
  auto* list = Find<Fl_File_Browser>(window);
  auto* cancel = Find<Fl_Button>(window, fl_cancel);
  seen.opened = choice && cancel;
  if (!seen.opened) return window->hide();
  for (int i = 0; i < choice->size(); ++i) {
    if (const char* label = choice->text(i)) seen.labels.push_back(label);
  }
  // The last entry, "Custom Filter", asks for a pattern in a box.
  for (std::size_t i = 0; i + 1 < seen.labels.size(); ++i) {
    choice->value(static_cast<int>(i));
    choice->do_callback();
    Names names;
    for (int line = 1; line <= list->size(); ++line) {
      const std::string name = list->text(line);
      if (name.back() != '/') names.push_back(name);  // "../"
    }
    seen.List(names);
  }
  cancel->do_callback();
}

// The GTK chooser, through the GTK functions FLTK loaded (globally) to run
// it; a GLib timer reads it from inside the chooser's own loop.

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
  int contains;  // which of the following are set
  const char* filename;
  const char* uri;
  const char* display_name;
  const char* mime_type;
};

template <typename Function>
Function* Symbol(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_DEFAULT, name));
}

struct Gtk {
  using Type = unsigned long;
  unsigned (*timeout_add)(unsigned, int (*)(void*), void*) =
      Symbol<unsigned(unsigned, int (*)(void*), void*)>("g_timeout_add");
  GList* (*toplevels)() = Symbol<GList*()>("gtk_window_list_toplevels");
  void (*free_list)(GList*) = Symbol<void(GList*)>("g_list_free");
  void (*free_slist)(GSList*) = Symbol<void(GSList*)>("g_slist_free");
  Type (*chooser_type)() = Symbol<Type()>("gtk_file_chooser_get_type");
  Type (*dialog_type)() = Symbol<Type()>("gtk_dialog_get_type");
  int (*is_a)(void*,
              Type) = Symbol<int(void*, Type)>("g_type_check_instance_is_a");
  int (*mapped)(void*) = Symbol<int(void*)>("gtk_widget_get_mapped");
  GSList* (*filters)(void*) =
      Symbol<GSList*(void*)>("gtk_file_chooser_list_filters");
  const char* (*name)(void*) =
      Symbol<const char*(void*)>("gtk_file_filter_get_name");
  int (*passes)(void*, const GtkFileFilterInfo*) =
      Symbol<int(void*, const GtkFileFilterInfo*)>("gtk_file_filter_filter");
  void (*respond)(void*, int) = Symbol<void(void*, int)>("gtk_dialog_response");
  char* (*current_folder)(void*) =
      Symbol<char*(void*)>("gtk_file_chooser_get_current_folder");
  void (*free)(void*) = Symbol<void(void*)>("g_free");
  void* (*focus)(void*) = Symbol<void*(void*)>("gtk_window_get_focus");
  int (*send_key)(void*, unsigned, unsigned) =
      Symbol<int(void*, unsigned, unsigned)>("gtk_test_widget_send_key");
  bool loaded = timeout_add && toplevels && free_list && free_slist &&
                chooser_type && dialog_type && is_a && mapped && filters &&
                name && passes && respond && current_folder && free && focus &&
                send_key;
};

/// The last GTK window on the screen of `type`, or nullptr.
void* ShownGtkWindow(const Gtk& gtk, Gtk::Type type) {
  void* shown = nullptr;
  GList* windows = gtk.toplevels();
  for (GList* at = windows; at; at = at->next) {
    if (gtk.is_a(at->data, type) && gtk.mapped(at->data)) shown = at->data;
  }
  gtk.free_list(windows);
  return shown;
}

void* ShownGtkChooser(const Gtk& gtk) {
  return ShownGtkWindow(gtk, gtk.chooser_type());
}

struct GtkReader {
  Gtk gtk;
  Seen seen;
};

void ReadGtkFilters(const Gtk& gtk, void* dialog, Seen& seen) {
  seen.opened = true;
  GSList* filters = gtk.filters(dialog);
  for (GSList* at = filters; at; at = at->next) {
    seen.labels.emplace_back(gtk.name(at->data));
    Names names;
    for (const auto& name : kFolder) {
      const std::string path = seen.folder + "/" + name;
      const GtkFileFilterInfo info = {1 | 4,  // filename, display name
                                      path.c_str(), nullptr, name.c_str(),
                                      nullptr};
      if (gtk.passes(at->data, &info)) names.push_back(name);
    }
    seen.List(names);
  }
  gtk.free_slist(filters);
}

int ReadGtkChooser(void* data) {
  auto& reader = *static_cast<GtkReader*>(data);
  const Gtk& gtk = reader.gtk;
  void* dialog = ShownGtkChooser(gtk);
  if (dialog && !reader.seen.opened) ReadGtkFilters(gtk, dialog, reader.seen);
  // FLTK waits for the dialog in a loop of its own and listens for the
  // answer only after it, so an early answer is lost: answer every tick.
  if (dialog) gtk.respond(dialog, -6);  // GTK_RESPONSE_CANCEL
  return 1;                             // call again
}

enum class Chooser { kFltk, kGtk };
constexpr int kNoGtk = 3;

Seen OpenChooser(Chooser chooser, const std::string& folder) {
  if (chooser == Chooser::kFltk) {
    Seen seen;
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    Fl::add_timeout(0.0, ReadFltkChooser, &seen);
    ChooseAndCancel();
    return seen;
  }
  // Constructing a chooser has FLTK look for the GTK libraries.
  { Fl_Native_File_Chooser probe; }
  GtkReader reader;
  reader.seen.folder = folder;
  if (!reader.gtk.loaded) return reader.seen;
  reader.gtk.timeout_add(50, ReadGtkChooser, &reader);
  ChooseAndCancel();
  return reader.seen;
}

/// In the child process: opens `chooser` on a folder of kFolder, checks
/// what it shows and exits 0 when all holds, kNoGtk when there is no GTK.
[[noreturn]] void OpenAndCheck(Chooser chooser) {
  // A chooser nobody closes would hold the test up forever.
  ::alarm(60);
  int code = kNoGtk;
  {
    testing::ScopedTempDir dir;
    for (const auto& name : kFolder) testing::WriteFile(dir.File(name), {});
    EXPECT_EQ(0, ::chdir(dir.Path().c_str()));
    const Seen seen = OpenChooser(chooser, dir.Path());
    if (seen.opened) {
      // One clean label, as on Windows; FLTK adds its own "All Files (*)".
      Names labels = {"X3F Files (*.X3F)", "All Files (*)"};
      if (chooser == Chooser::kFltk) labels.push_back("Custom Filter");
      EXPECT_EQ(labels, seen.labels);
      const std::vector<Names> listed = {kX3fFiles, kFolder};
      EXPECT_EQ(listed, seen.listed) << "X3F in any case, then every file";
      code = ::testing::Test::HasFailure() ? 1 : 0;
      // The parent shows only the child's stderr.
      if (code != 0) {
        std::fprintf(stderr, "seen: %s\n%s\n",
                     ::testing::PrintToString(seen.labels).c_str(),
                     ::testing::PrintToString(seen.listed).c_str());
      }
    }
  }
  std::fflush(stdout);
  ::_exit(code);
}

// Select after Select in the real window with the real GTK chooser: where
// each one opens, and a path typed into the location bar.

/// Drives each GTK chooser that opens: notes the folder it shows, types
/// `typed` and Enter into the first, one key per tick as a person would, and
/// cancels the others. The timer runs only while a chooser is open, so the
/// window's side counts the Selects.
struct GtkTypist {
  Gtk gtk;
  std::string typed;
  std::size_t selects = 0;
  Names folders;           // where each chooser opened; "" for no folder
  std::size_t waited = 0;  // ticks the chooser has not shown a folder
  std::size_t ticks = 0;   // since it showed one
};

// GDK's key values: printable ASCII characters are their own.
constexpr unsigned kReturnKey = 0xff0d;
constexpr unsigned kShiftMask = 1;
// Ticks after Enter before the first chooser is cancelled all the same.
constexpr std::size_t kEnterTicks = 40;
// Ticks a chooser is given to show a folder.
constexpr std::size_t kSettleTicks = 40;

int DriveGtkChooser(void* data) {
  auto& typist = *static_cast<GtkTypist*>(data);
  const Gtk& gtk = typist.gtk;
  void* dialog = ShownGtkChooser(gtk);
  if (!dialog) return 1;
  if (typist.folders.size() < typist.selects) {
    // The first chooser of a process may take a moment to settle in the
    // folder it was given; one left in no folder never does.
    char* folder = gtk.current_folder(dialog);
    if (!folder && ++typist.waited < kSettleTicks) return 1;
    typist.folders.emplace_back(folder ? folder : "");
    gtk.free(folder);
    typist.waited = 0;
    typist.ticks = 0;
    return 1;
  }
  const std::size_t key = typist.ticks++;
  const std::string& typed = typist.typed;
  // Keys go to the focused control's window, from where GTK hands them to
  // the dialog as it does a person's; a toplevel has no window to go through.
  void* focus = gtk.focus(dialog);
  if (typist.folders.size() == 1 && key < typed.size() && focus) {
    const char c = typed[key];
    const bool shifted = std::isupper(static_cast<unsigned char>(c)) ||
                         std::strchr("~!@#$%^&*()_+{}|:\"<>?", c);
    gtk.send_key(focus, static_cast<unsigned char>(c),
                 shifted ? kShiftMask : 0);
  } else if (typist.folders.size() == 1 && key == typed.size() && focus) {
    gtk.send_key(focus, kReturnKey, 0);
  } else if (typist.folders.size() > 1 || key > typed.size() + kEnterTicks) {
    // Any box the chooser put up over itself (an error about what was
    // typed) holds it open until answered.
    gtk.respond(ShownGtkWindow(gtk, gtk.dialog_type()),
                -6);  // GTK_RESPONSE_CANCEL
  }
  return 1;
}

Names Entries(const TMainForm& form) {
  Names entries;
  for (int i = 1; i <= form.LBMain->size(); ++i)
    entries.emplace_back(form.LBMain->text(i));
  return entries;
}

/// In the child process: Selects in the window, after a path typed into the
/// first chooser, after a cancel, after files given at start, after a drop,
/// and after the dropped file's folder went. Exits 0 when all holds, kNoGtk
/// when there is no GTK.
[[noreturn]] void SelectInTheWindow() {
  ::alarm(60);
  int code = kNoGtk;
  {
    testing::ScopedTempDir dir;
    for (const char* folder : {"start", "typed", "given", "dropped"}) {
      testing::fs::create_directory(testing::PathOf(dir.File(folder)));
    }
    const std::string typed = dir.File("typed/picked.x3f");
    const std::string given = dir.File("given/g.X3F");
    const std::string dropped = dir.File("dropped/d.X3F");
    for (const std::string& path : {typed, given, dropped})
      testing::WriteFile(path, {});
    EXPECT_EQ(0, ::chdir(dir.File("start").c_str()));
    { Fl_Native_File_Chooser probe; }
    GtkTypist typist;
    typist.typed = typed;
    if (typist.gtk.loaded) {
      FltkDialogs dialogs;
      TMainForm form(dialogs);
      form.show();
      testing::WaitUntilMapped(&form);
      typist.gtk.timeout_add(50, DriveGtkChooser, &typist);
      const auto select = [&] {
        ++typist.selects;
        form.Button2->do_callback();
      };
      select();
      EXPECT_EQ(Names{typed}, Entries(form)) << "the typed path is picked";
      select();
      form.OpenPaths({given});
      select();
      const std::string uri_list = "file://" + dropped + "\r\n";
      Fl::e_text = const_cast<char*>(uri_list.c_str());
      Fl::e_length = static_cast<int>(uri_list.size());
      form.handle(FL_PASTE);
      select();
      EXPECT_EQ(Names{dropped}, Entries(form));
      // A folder that has gone since (a card taken out): the nearest one
      // that is still there.
      testing::fs::remove_all(testing::PathOf(dir.File("dropped")));
      select();
      const Names folders = {dir.File("start"), dir.File("typed"),
                             dir.File("given"), dir.File("dropped"),
                             dir.Path()};
      EXPECT_EQ(folders, typist.folders);
      code = ::testing::Test::HasFailure() ? 1 : 0;
      if (code != 0) {
        std::fprintf(stderr, "opened in: %s\nlisted: %s\n",
                     ::testing::PrintToString(typist.folders).c_str(),
                     ::testing::PrintToString(Entries(form)).c_str());
      }
      form.hide();
    }
  }
  std::fflush(stdout);
  ::_exit(code);
}

TEST(ChooserInOwnProcess, FltkChooserShowsOneLabelAndMatchesAnyCase) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(OpenAndCheck(Chooser::kFltk), ::testing::ExitedWithCode(0), "");
}

/// Expects `child` to exit 0 in a process of its own; skips the test where
/// it found no GTK.
template <typename Child>
void ExpectGtkChildPasses(Child child) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int code = -1;
  EXPECT_EXIT(
      child(),
      [&code](int status) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return code == 0 || code == kNoGtk;
      },
      "");
  if (code == kNoGtk) {
    GTEST_SKIP() << "no GTK libraries here: FLTK uses its own chooser";
  }
}

TEST(ChooserInOwnProcess, GtkChooserShowsOneLabelAndMatchesAnyCase) {
  ExpectGtkChildPasses([] { OpenAndCheck(Chooser::kGtk); });
}

TEST(ChooserInOwnProcess, GtkChooserOpensWhereTheLastSelectionWas) {
  ExpectGtkChildPasses(SelectInTheWindow);
}

}  // namespace
}  // namespace velkrane
