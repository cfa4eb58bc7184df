// What the Linux open-file dialog makes of our filter, and where it opens.
// FltkDialogs' Fl_Native_File_Chooser uses the GTK chooser where the GTK
// libraries load, else FLTK's own Fl_File_Chooser; each is opened for real
// here, read and answered. FLTK settles which once per process, at the first
// chooser, so each runs in a fresh process of this program.

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <functional>
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
  int (*select)(void*, const char*) =
      Symbol<int(void*, const char*)>("gtk_file_chooser_set_filename");
  char* (*selected)(void*) =
      Symbol<char*(void*)>("gtk_file_chooser_get_filename");
  void* (*window_of)(void*) = Symbol<void*(void*)>("gtk_widget_get_window");
  unsigned (*keyval_of)(unsigned) =
      Symbol<unsigned(unsigned)>("gdk_unicode_to_keyval");
  int (*simulate_key)(void*, int, int, unsigned, unsigned, int) =
      Symbol<int(void*, int, int, unsigned, unsigned, int)>(
          "gdk_test_simulate_key");
  bool loaded = timeout_add && toplevels && free_list && free_slist &&
                chooser_type && is_a && mapped && filters && name && passes &&
                respond && current_folder && free && select && selected &&
                window_of && keyval_of && simulate_key;
};

/// The last GTK chooser on the screen, or nullptr.
void* ShownGtkChooser(const Gtk& gtk) {
  void* shown = nullptr;
  GList* windows = gtk.toplevels();
  for (GList* at = windows; at; at = at->next) {
    if (gtk.is_a(at->data, gtk.chooser_type()) && gtk.mapped(at->data)) {
      shown = at->data;
    }
  }
  gtk.free_list(windows);
  return shown;
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
// A child's whole life: longer than all its choosers' settle allowances, so
// one that fails says what it saw rather than being killed.
constexpr unsigned kChildSeconds = 120;

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
  ::alarm(kChildSeconds);
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
// each one opens, and a file picked in it.

/// Drives each GTK chooser that opens: notes the folder it shows, picks
/// `picked` in the first and cancels the others. The timer runs only while
/// a chooser is open, so the window's side counts the Selects.
struct GtkPicker {
  Gtk gtk;
  std::string picked;
  std::size_t selects = 0;
  Names folders;          // where each chooser opened; "" for no folder
  std::size_t ticks = 0;  // since the last chooser closed or showed its folder
};

// Ticks a chooser is given to show its folder, and the first one to show
// the picked file selected. Generous: a sanitizer build on a busy two-core
// machine has taken over two seconds, and only a failing run waits it out.
constexpr std::size_t kSettleTicks = 400;

int DriveGtkChooser(void* data) {
  auto& picker = *static_cast<GtkPicker*>(data);
  const Gtk& gtk = picker.gtk;
  void* dialog = ShownGtkChooser(gtk);
  if (!dialog) return 1;
  ++picker.ticks;
  if (picker.folders.size() < picker.selects) {
    // The first chooser of a process may take a moment to settle in the
    // folder it was given; one left in no folder never does.
    char* folder = gtk.current_folder(dialog);
    if (!folder && picker.ticks < kSettleTicks) return 1;
    picker.folders.emplace_back(folder ? folder : "");
    gtk.free(folder);
    picker.ticks = 0;
    if (picker.folders.size() == 1) gtk.select(dialog, picker.picked.c_str());
    return 1;
  }
  // The file shows as selected once the chooser has read its folder.
  char* selected = picker.folders.size() == 1 ? gtk.selected(dialog) : nullptr;
  const bool pick = selected && picker.picked == selected;
  gtk.free(selected);
  if (pick) {
    gtk.respond(dialog, -3);  // GTK_RESPONSE_ACCEPT
  } else if (picker.folders.size() > 1 || picker.ticks > kSettleTicks) {
    gtk.respond(dialog, -6);  // GTK_RESPONSE_CANCEL
  } else {
    return 1;
  }
  // The next chooser gets its own allowance.
  picker.ticks = 0;
  return 1;
}

Names Entries(const TMainForm& form) {
  Names entries;
  for (int i = 1; i <= form.LBMain->size(); ++i)
    entries.emplace_back(form.LBMain->text(i));
  return entries;
}

/// In the child process: the real window with the real dialogs, `driver`
/// answering its GTK choosers every 50 ms, and `selects` run in it. Returns
/// the child's exit code: 0 when all held.
template <typename Driver>
int InTheWindow(Driver& driver, int (*tick)(void*),
                const std::function<void(TMainForm&)>& selects) {
  FltkDialogs dialogs;
  TMainForm form(dialogs);
  form.show();
  testing::WaitUntilMapped(&form);
  driver.gtk.timeout_add(50, tick, &driver);
  selects(form);
  const int code = ::testing::Test::HasFailure() ? 1 : 0;
  // The parent shows only the child's stderr.
  if (code != 0) {
    std::fprintf(stderr, "shown in: %s\nlisted: %s\n",
                 ::testing::PrintToString(driver.folders).c_str(),
                 ::testing::PrintToString(Entries(form)).c_str());
  }
  form.hide();
  return code;
}

/// In the child process: Selects in the window, after a file picked in the
/// first chooser, after a cancel, and after the picked file's folder went.
/// Exits 0 when all holds, kNoGtk when there is no GTK.
[[noreturn]] void SelectInTheWindow() {
  ::alarm(kChildSeconds);
  int code = kNoGtk;
  {
    testing::ScopedTempDir dir;
    for (const char* folder : {"start", "picked"}) {
      testing::fs::create_directory(testing::PathOf(dir.File(folder)));
    }
    const std::string picked = dir.File("picked/p.x3f");
    testing::WriteFile(picked, {});
    EXPECT_EQ(0, ::chdir(dir.File("start").c_str()));
    { Fl_Native_File_Chooser probe; }
    GtkPicker picker;
    picker.picked = picked;
    if (picker.gtk.loaded) {
      code = InTheWindow(picker, DriveGtkChooser, [&](TMainForm& form) {
        const auto select = [&] {
          ++picker.selects;
          form.Button2->do_callback();
        };
        select();
        EXPECT_EQ(Names{picked}, Entries(form)) << "the picked file is listed";
        select();
        // A folder that has gone since (a card taken out): the nearest one
        // that is still there.
        testing::fs::remove_all(testing::PathOf(dir.File("picked")));
        select();
        const Names folders = {dir.File("start"), dir.File("picked"),
                               dir.Path()};
        EXPECT_EQ(folders, picker.folders);
      });
    }
  }
  std::fflush(stdout);
  ::_exit(code);
}

// Names typed into the GTK chooser, as a person types them: the first "/"
// opens its location bar, which completes what it can as the keys come.

/// Presses and releases `keyval` (a GDK key value) in `dialog`.
void PressKey(const Gtk& gtk, void* dialog, unsigned keyval) {
  void* window = gtk.window_of(dialog);
  for (const int event : {8, 9}) {  // GDK_KEY_PRESS, GDK_KEY_RELEASE
    gtk.simulate_key(window, -1, -1, keyval, 0, event);
  }
}

/// For the n-th Select, types typed[n] into its chooser, a key a tick, and
/// presses Enter; cancels what is shown once that Select typed. Notes the
/// folder a chooser shows each time it settles: when it is shown, and after
/// Enter if it stays.
struct GtkTyper {
  Gtk gtk;
  Names typed;
  std::size_t selects = 0;  // counted by the window's side
  std::size_t typed_in = 0;
  std::size_t keys = 0;  // of typed[typed_in] pressed so far
  Names folders;
  bool showing = false;
  std::size_t showing_for = 0;  // the Select the chooser shown belongs to
  bool noted = false;
  std::size_t ticks = 0;
};

// Ticks a chooser is given to settle in a folder after it was shown or left
// open on Enter, and between the last key and Enter.
constexpr std::size_t kTypingTicks = 10;
constexpr unsigned kReturnKey = 0xff0d;

int TypeIntoGtkChooser(void* data) {
  auto& typer = *static_cast<GtkTyper*>(data);
  const Gtk& gtk = typer.gtk;
  void* dialog = ShownGtkChooser(gtk);
  if (!dialog) {
    typer.showing = false;
    return 1;
  }
  // FLTK may show the next Select's chooser between two ticks.
  if (!typer.showing || typer.showing_for != typer.selects) {
    typer.showing = true;
    typer.showing_for = typer.selects;
    typer.noted = false;
    typer.ticks = 0;
  }
  ++typer.ticks;
  if (!typer.noted) {
    char* folder = gtk.current_folder(dialog);
    const bool settled = folder && typer.ticks >= kTypingTicks;
    if (settled || typer.ticks >= kSettleTicks) {
      typer.folders.emplace_back(folder ? folder : "");
      typer.noted = true;
    }
    gtk.free(folder);
    return 1;
  }
  if (typer.typed_in < typer.selects && typer.typed_in < typer.typed.size()) {
    const std::string& text = typer.typed[typer.typed_in];
    if (typer.keys < text.size()) {
      // The first key opens the location bar, which takes the next ones
      // only once it is there.
      if (typer.keys == 1 && typer.ticks < kTypingTicks) return 1;
      PressKey(gtk, dialog,
               gtk.keyval_of(static_cast<unsigned char>(text[typer.keys])));
      ++typer.keys;
      typer.ticks = 0;
    } else if (typer.ticks >= kTypingTicks) {
      PressKey(gtk, dialog, kReturnKey);
      ++typer.typed_in;
      typer.keys = 0;
      typer.noted = false;
      typer.ticks = 0;
    }
    return 1;
  }
  gtk.respond(dialog, -6);  // GTK_RESPONSE_CANCEL
  return 1;
}

/// In the child process: a name that does not exist typed in a folder (as
/// the location bar's completion leaves "<folder>/P"), then the folder
/// itself. Neither reaches the list; each leads to that folder. Exits 0 when
/// all holds, kNoGtk when there is no GTK.
[[noreturn]] void TypeNamesInTheLocationBar() {
  ::alarm(kChildSeconds);
  int code = kNoGtk;
  {
    testing::ScopedTempDir dir;
    for (const char* folder : {"start", "card"}) {
      testing::fs::create_directory(testing::PathOf(dir.File(folder)));
    }
    // Two names whose common start is "P": the completion adds no more.
    for (const char* name : {"card/Photo.X3F", "card/Picture.X3F"}) {
      testing::WriteFile(dir.File(name), {});
    }
    EXPECT_EQ(0, ::chdir(dir.File("start").c_str()));
    { Fl_Native_File_Chooser probe; }
    GtkTyper typer;
    typer.typed = {dir.File("card/P"), dir.File("card")};
    if (typer.gtk.loaded) {
      code = InTheWindow(typer, TypeIntoGtkChooser, [&](TMainForm& form) {
        for (std::size_t i = 0; i < typer.typed.size(); ++i) {
          ++typer.selects;
          form.Button2->do_callback();
          EXPECT_EQ(Names{}, Entries(form)) << "after " << typer.typed[i];
        }
        const Names folders = {dir.File("start"), dir.File("card"),
                               dir.File("start"), dir.File("card")};
        EXPECT_EQ(folders, typer.folders);
      });
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

TEST(ChooserInOwnProcess, GtkChooserListsOnlyFilesThatExist) {
  ExpectGtkChildPasses(TypeNamesInTheLocationBar);
}

}  // namespace
}  // namespace velkrane
