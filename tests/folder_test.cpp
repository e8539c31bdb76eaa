// Tests of folders and path variables: variable names, named paths, sub-folder walks, fallbacks below a
// base path, portable and "$HERE" texts, the stored form (golden bytes, damaged records) and
// expand_path_text.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "debug_stream.h"
#include "files.h"
#include "folder.h"
#include "host.h"
#include "test_support.h"

namespace {

std::string join(const std::string& folder, const std::string& name) { return folder + PATH_SEPARATOR + name; }

FOLDER folder_at(const std::string& path) {
  FOLDER folder;
  strcpy(folder.path, path.c_str());
  return folder;
}

// Every test starts with no base path, no icon path and, on Linux, system folders inside scratch.
class Folders : public ::testing::Test {
protected:
  std::string home;
  void SetUp() override {
    reset_base_path();
    reset_icon_path();
    home = scratch_folder("folder-home").path;
#ifndef _WIN32
    set_environment("HOME", join(home, "home"));
    set_environment("XDG_DATA_HOME", join(home, "data"));
    set_environment("XDG_CONFIG_HOME", join(home, "config"));
    set_environment("XDG_STATE_HOME", join(home, "state"));
    set_environment("TMPDIR", join(home, "tmp"));
#endif
  }
};

}  // namespace

TEST_F(Folders, VariablesIgnoreCaseAndNamedPathsDoNot) {
  FOLDER program;
  ASSERT_TRUE(get_system_folder(&program, SYSTEM_FOLDER_PROGRAM, nullptr, 0));
  FOLDER a, b, c, fresh;
  EXPECT_TRUE(a.set("$app"));
  EXPECT_TRUE(b.set("$APP"));
  EXPECT_TRUE(c.set("$Base"));
  EXPECT_STREQ(program.path, a.path);
  EXPECT_STREQ(program.path, b.path);
  EXPECT_STREQ(program.path, c.path);
  EXPECT_STREQ(program.path, fresh.path);  // a new folder is "$APP"

  FOLDER named = folder_at(home);
  set_named_path("$X", &named);
  FOLDER x;
  EXPECT_TRUE(x.set("$X"));
  EXPECT_EQ(home, x.path);
  ASSERT_TRUE(FOLDER(named).enter("sub", true));
  EXPECT_TRUE(x.set("$X/sub"));
  EXPECT_EQ(join(home, "sub"), x.path);
  remove_named_path("$X");
  remove_named_path("$X");
}

TEST_F(Folders, UnknownVariableIsFatal) {
  EXPECT_EXIT(
      {
        FOLDER folder;
        folder.set("$FOO");
      },
      ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "");
  FOLDER named = folder_at(home);
  set_named_path("$X", &named);
  EXPECT_EXIT(
      {
        FOLDER folder;
        folder.set("$x");
      },
      ::testing::ExitedWithCode(FATAL_EXIT_STATUS), "");
  // The public check tells such texts apart before they reach FOLDER::set.
  EXPECT_TRUE(is_known_path_text("$X/sub"));
  EXPECT_FALSE(is_known_path_text("$x"));
  // Texts from files take only the built-in variables, never a named path.
  EXPECT_FALSE(is_builtin_path_text("$X/sub"));
  EXPECT_TRUE(is_builtin_path_text("$root3/x"));
  EXPECT_TRUE(is_builtin_path_text("plain"));
  remove_named_path("$X");
  EXPECT_FALSE(is_known_path_text("$X"));
  for (const char* known : {"$app", "$BASE/a", "$SysApp", "$INSTDATA", "$appdata//x", "$USERDATA", "$USERPREFS/debug",
                            "$TEMP", "$ROOT", "$root12/x", "$FONTDATA", "$ICONDATA", "$HERE/..", "../x", "", "D:\\x",
                            "$APP\\sub", "$root0\\x/y"})
    EXPECT_TRUE(is_known_path_text(known)) << known;
  // "$ROOT" takes a number alone: a name with more after it is no drive whose tail is lost.
  for (const char* unknown : {"$FOO", "$", "$/x", "$APPX", "$ROO", "$ROOT0x", "$ROOTx\\y", "$ROOT-1"})
    EXPECT_FALSE(is_known_path_text(unknown)) << unknown;
  EXPECT_FALSE(is_known_path_text(nullptr));
  EXPECT_FALSE(is_known_path_text(("$" + std::string(300, 'A')).c_str()));
}

TEST_F(Folders, UnusableTextsGiveTheProgramFolder) {
  FOLDER program;
  FOLDER folder = folder_at(home);
  EXPECT_FALSE(folder.set(nullptr));
  EXPECT_EQ(home, folder.path);
  EXPECT_FALSE(folder.set("D:\\temp"));
  EXPECT_STREQ(program.path, folder.path);
  folder = folder_at(home);
  EXPECT_FALSE(folder.set(""));
  EXPECT_STREQ(program.path, folder.path);
  // Over-long variable names and components are refused.
  folder = folder_at(home);
  EXPECT_FALSE(folder.set(("$" + std::string(300, 'A')).c_str()));
  EXPECT_STREQ(program.path, folder.path);
  folder = folder_at(home);
  EXPECT_FALSE(folder.set(("$HERE/" + std::string(300, 'a')).c_str(), true));
  EXPECT_EQ(home, folder.path);
}

TEST_F(Folders, SubFolderWalks) {
  FOLDER base = folder_at(home);
  set_base_path(&base, "walker");  // system folders named after "walker"
  FOLDER data;
  ASSERT_TRUE(data.set("$APPDATA", false, nullptr, true));
  // What an earlier run made there (under Windows the system folder outlives the run).
  std::filesystem::remove_all(std::filesystem::u8path(join(data.path, "a")));
  FOLDER folder;
  EXPECT_TRUE(folder.set("$APPDATA/a//b/", true));
  EXPECT_EQ(join(join(data.path, "a"), "b"), folder.path);
  EXPECT_FALSE(folder.set("$APPDATA/missing/b"));
  EXPECT_STREQ(data.path, folder.path);
  // ".." texts start from the folder's own path.
  FOLDER here = folder_at(home);
  ASSERT_TRUE(FOLDER(here).enter("x", true));
  ASSERT_TRUE(here.enter("y", true));
  EXPECT_TRUE(here.set("../x"));
  EXPECT_EQ(join(home, "x"), here.path);
  FOLDER ab;
  ASSERT_TRUE(ab.set("$APPDATA/a/b"));
  EXPECT_FALSE(here.set("$HERE/../y", false, &ab));
  EXPECT_EQ(join(data.path, "a"), here.path);  // stopped where the missing "y" was
  EXPECT_TRUE(here.set("$HERE/../y", true, &ab));
  EXPECT_EQ(join(join(data.path, "a"), "y"), here.path);
  reset_base_path();
}

// The flags of FOLDER::set: without creating, a missing system folder leaves the fallbacks, which
// no_fallback refuses ("$FONTDATA" and "$ICONDATA" search all they can either way); creating makes the
// system folder, which a later look without creating then finds.
TEST_F(Folders, SetFlagsDecideBetweenSystemFolderAndFallbacks) {
  FOLDER tree = folder_at(home);
  ASSERT_TRUE(tree.enter("flags-tree", true));
  FOLDER data = tree, fonts = tree, program = tree;
  ASSERT_TRUE(data.enter("data", true));
  ASSERT_TRUE(fonts.enter("velk_libs", true) && fonts.enter("data", true) && fonts.enter("fonts", true));
  ASSERT_TRUE(program.enter("p", true));
  // An application name of its own: on Windows the system folder is the machine's.
  std::string application = FOLDER(folder_at(home)).get_name();
  set_base_path(&program, application.c_str());
  FOLDER system;  // the "$APPDATA" system folder, once made
  enum WHERE { PROGRAM, DATA, FONTS, SYSTEM };
  struct CASE {
    const char* text;
    bool create, no_fallback, result;
    WHERE where;
  } cases[] = {{"$APPDATA", false, true, false, PROGRAM}, {"$APPDATA", false, false, true, DATA},
               {"$FONTDATA", false, true, true, FONTS},   {"$ICONDATA", false, true, false, PROGRAM},
               {"$APPDATA", true, true, true, SYSTEM},    {"$APPDATA", false, true, true, SYSTEM}};
  for (const CASE& c : cases) {
    FOLDER folder = folder_at(home);
    EXPECT_EQ(folder.set(c.text, false, nullptr, c.create, c.no_fallback), c.result) << c.text << c.create << c.no_fallback;
    if (c.where == SYSTEM) {
      ASSERT_TRUE(get_system_folder(&system, SYSTEM_FOLDER_COMMON_DATA, application.c_str(), 0));
    }
    const FOLDER* expected[] = {&program, &data, &fonts, &system};
    EXPECT_STREQ(expected[c.where]->path, folder.path) << c.text << c.create << c.no_fallback;
  }
  reset_base_path();
  FOLDER parent = system;
  if (parent.go_up()) remove_folder(&parent, application.c_str(), 1);
}

TEST_F(Folders, FallbacksBelowABasePathWithoutApplicationName) {
  std::string tree = join(home, "tree");
  FOLDER base = folder_at(home);
  ASSERT_TRUE(base.enter("tree", true));
  FOLDER p = base;
  ASSERT_TRUE(p.enter("p", true));
  FOLDER q = p;
  ASSERT_TRUE(q.enter("q", true));
  FOLDER data = base;
  ASSERT_TRUE(data.enter("data", true));
  FOLDER fonts = p;
  ASSERT_TRUE(fonts.enter("velk_libs", true) && fonts.enter("data", true) && fonts.enter("fonts", true));
  set_base_path(&q, nullptr);

  FOLDER folder;
  EXPECT_STREQ(q.path, folder.path);  // "$APP" is the base path
  EXPECT_TRUE(folder.set("$APPDATA"));
  EXPECT_STREQ(data.path, folder.path);
  EXPECT_TRUE(folder.set("$USERPREFS"));
  EXPECT_STREQ(data.path, folder.path);
  EXPECT_TRUE(folder.set("$SYSAPP"));
  EXPECT_STREQ(q.path, folder.path);
  EXPECT_TRUE(folder.set("$FONTDATA"));
  EXPECT_STREQ(fonts.path, folder.path);
  EXPECT_FALSE(folder.set("$ICONDATA"));  // no icons folder anywhere up the tree
  EXPECT_STREQ(q.path, folder.path);
  // Without system folders the run's private temporary folder is made below the program's folder.
  remove_temporary_folder();
  EXPECT_TRUE(folder.set("$TEMP"));
  EXPECT_EQ(std::string(folder.path).rfind(join(q.path, "folder_test-"), 0), 0u) << folder.path;
  EXPECT_TRUE(FOLDER::is_folder(folder.path));
  remove_temporary_folder();
  EXPECT_FALSE(FOLDER::is_folder(folder.path));

  set_icon_path(&p);
  EXPECT_TRUE(folder.set("$ICONDATA"));
  EXPECT_STREQ(p.path, folder.path);
  FOLDER icons;
  get_icon_path(&icons);
  EXPECT_STREQ(p.path, icons.path);
  reset_icon_path();

  FOLDER got;
  char name[8] = "zzz";
  get_base_path(&got, name, sizeof name);
  EXPECT_STREQ(q.path, got.path);
  EXPECT_STREQ("", name);
  reset_base_path();
  FOLDER program;
  EXPECT_TRUE(folder.set("$APP"));
  EXPECT_STREQ(program.path, folder.path);
}

TEST_F(Folders, RootVariable) {
  FOLDER folder;
  EXPECT_TRUE(folder.set("$ROOT"));
  EXPECT_STREQ(get_drive_root_text(0), folder.path);
  EXPECT_TRUE(folder.set("$root0"));
  EXPECT_STREQ(get_drive_root_text(0), folder.path);
  FOLDER program;
  EXPECT_FALSE(folder.set("$ROOT25"));
  EXPECT_STREQ(program.path, folder.path);
  // A number past 16 bits names no drive rather than wrapping round to the first.
  EXPECT_FALSE(folder.set("$ROOT65536"));
  EXPECT_STREQ(program.path, folder.path);
}

// A variable's name ends at the first '/' or '\' on every host; after it '\' separates folders where
// Windows reads the text (this host when '\' is its separator, any host when asked) and is part of a
// name elsewhere. FOLDER::set and expand_path_text walk the parts so read: the folder named, never its
// variable's folder with the rest lost.
TEST_F(Folders, AVariablesNameEndsAtEitherSeparator) {
  const bool windows = PATH_SEPARATOR == '\\';
  using PARTS = std::vector<std::string>;
  FOLDER_TEXT read = read_folder_text("$root0\\w12\\\\Lock/Target\\");
  EXPECT_TRUE(read.names_folder);
  EXPECT_EQ(read.variable, "$root0");
  EXPECT_EQ(read.parts, windows ? (PARTS{"w12", "Lock", "Target"}) : (PARTS{"\\w12\\\\Lock", "Target\\"}));
  EXPECT_EQ(read_folder_text("$root0\\w12\\\\Lock/Target\\", true).parts, (PARTS{"w12", "Lock", "Target"}));
  read = read_folder_text("../a\\b");
  EXPECT_TRUE(read.names_folder);
  EXPECT_EQ(read.parts, windows ? (PARTS{"..", "a", "b"}) : (PARTS{"..", "a\\b"}));
  EXPECT_FALSE(read_folder_text("\\\\server\\share").names_folder);
  EXPECT_FALSE(read_folder_text(("$" + std::string(300, 'A') + "/x").c_str()).names_folder);

  FOLDER here = folder_at(home), folder;
  EXPECT_TRUE(folder.set("$HERE\\a\\\\b\\", true, &here));
  EXPECT_EQ(windows ? join(join(home, "a"), "b") : join(home, "\\a\\\\b\\"), folder.path);
  const std::string program = FOLDER().path, sep(1, PATH_SEPARATOR);
  EXPECT_EQ(program + sep + (windows ? "f" : "\\a\\..\\f"), expand_path_text("$APP\\a\\..\\f", nullptr));
}

// Where a text leads, judged from its parts: from its variable's folder (or, for a text beginning
// with "..", the install location) one step per part; where Windows reads it a part of dots and spaces
// alone is "." with one dot and ".." with more; below a variable that expand_path_text resolves a '$'
// part leads to another folder.
TEST_F(Folders, WhereAFolderTextLeads) {
  const bool windows = PATH_SEPARATOR == '\\';
  const struct {
    const char* text;
    bool any_host;
    const char* variable;
    bool location, out;
    const char* below;
  } cases[] = {
      {"$here/a/./b/../c/", false, "$HERE", true, false, "a/c"},
      {"$Base\\bin\\\\x", true, "$BASE", true, false, "bin/x"},
      {"$APPDATA/a/../..", false, "$APPDATA", false, true, ""},
      {"../x", false, "", true, true, ""},
      {"$HERE/a/. . /b", true, "$HERE", true, false, "b"},
      {"$HERE/a/. /b", true, "$HERE", true, false, "a/b"},
      {"$HERE/. ./x", true, "$HERE", true, true, ""},
      {"$HERE/. ./x", false, "$HERE", true, windows, windows ? "" : ". ./x"},
      {"$ROOT0/a/$APP", false, "$ROOT0", false, true, ""},
      {"$APPDATA/$x", false, "$APPDATA", false, false, "$x"},
      {"$HERE/$x", false, "$HERE", true, false, "$x"},
      {"a/../..", true, "", false, false, ""},
  };
  for (const auto& c : cases) {
    FOLDER_TEXT_PLACE place = place_of_folder_text(c.text, c.any_host);
    EXPECT_EQ(place.variable, c.variable) << c.text;
    EXPECT_EQ(place.install_location, c.location) << c.text;
    EXPECT_EQ(place.leads_out, c.out) << c.text;
    EXPECT_EQ(place.below, c.below) << c.text;
  }
}

// A named path is its own folder, whatever built-in name it has: one registered as "$HERE", "$APP" or
// "$BASE" is not the install location, and a '$' part below it leads to another folder, as below any
// variable that expand_path_text resolves.
TEST_F(Folders, ANamedPathOfTheInstallLocationsNameIsItsOwnFolder) {
  FOLDER named = folder_at(home);
  for (const char* name : {"$HERE", "$APP", "$BASE"}) {
    const std::string text = std::string(name) + "/a/" + "$ROOT0";
    EXPECT_TRUE(place_of_folder_text(text.c_str(), true).install_location) << name;
    set_named_path(name, &named);
    FOLDER_TEXT_PLACE place = place_of_folder_text(text.c_str(), true);
    EXPECT_FALSE(place.install_location) << name;
    EXPECT_TRUE(place.leads_out) << name;
    place = place_of_folder_text((std::string(name) + "/a").c_str(), false);
    EXPECT_FALSE(place.install_location) << name;
    EXPECT_EQ(place.variable, name);
    EXPECT_EQ(place.below, "a");
    remove_named_path(name);
    EXPECT_TRUE(place_of_folder_text(text.c_str(), true).install_location) << name;
  }
}

TEST_F(Folders, PortableTexts) {
  FOLDER base = folder_at(home);
  ASSERT_TRUE(base.enter("base", true));
  set_base_path(&base, "portable");
  FOLDER data;
  ASSERT_TRUE(data.set("$APPDATA", false, nullptr, true));
  char text[FOLDER_PATH_SIZE];
  data.to_variable_text(text);
  EXPECT_STREQ("$APPDATA", text);
  FOLDER app;
  app.to_variable_text(text);
  EXPECT_STREQ("$APP", text);

  // Outside every variable: the drive root and the components.
  FOLDER outside = folder_at(home);
  ASSERT_TRUE(outside.enter("o", true) && outside.enter("p", true));
  outside.to_variable_text(text);
  std::string expected = "$ROOT" + std::to_string(get_drive_index(&outside));
  std::string rest = std::string(outside.path).substr(strlen(get_drive_root_text(get_drive_index(&outside))));
  for (char& c : rest)
    if (c == '\\') c = '/';
  EXPECT_EQ(expected + "/" + rest, text);
  FOLDER back;
  EXPECT_TRUE(back.set(text));
  EXPECT_STREQ(outside.path, back.path);
  // A folder that does not exist (yet) is described by its whole path, not as a drive root.
  FOLDER missing = outside;
  strcat(missing.path, (std::string(1, PATH_SEPARATOR) + "m1" + PATH_SEPARATOR + "m2").c_str());
  missing.to_variable_text(text);
  EXPECT_EQ(expected + "/" + rest + "/m1/m2", text);
  outside.to_here_text(&missing, text);
  EXPECT_STREQ("$HERE/m1/m2/", text);
  missing.to_here_text(&outside, text);
  EXPECT_STREQ("$HERE/../..", text);
  FOLDER inside = base;
  ASSERT_TRUE(inside.enter("i", true));
  inside.to_variable_text(text);
  EXPECT_STREQ("$APP/i", text);

  // Texts relative to a reference folder.
  FOLDER a = folder_at(home);
  ASSERT_TRUE(a.enter("a", true));
  FOLDER b = a, c = a;
  ASSERT_TRUE(b.enter("b", true));
  ASSERT_TRUE(c.enter("c", true));
  FOLDER d = c;
  ASSERT_TRUE(d.enter("d", true));
  b.to_here_text(&d, text);
  EXPECT_STREQ("$HERE/../c/d/", text);
  EXPECT_TRUE(back.set(text, false, &b));
  EXPECT_STREQ(d.path, back.path);
  b.to_here_text(&b, text);
  EXPECT_STREQ("$HERE", text);
  b.to_here_text(&a, text);
  EXPECT_STREQ("$HERE/..", text);
  d.get_portable_text(text, &b);
  EXPECT_STREQ("$HERE/../c/d/", text);
  data.get_portable_text(text, nullptr);
  EXPECT_STREQ("$APPDATA", text);
  reset_base_path();
}

#ifdef _WIN32
// A folder on floppy drive A is written from its drive's root by that drive's number, which counts the
// floppy drives after the others, and reads back to the same folder.
TEST_F(Folders, FloppyDriveFoldersUseTheirDriveNumber) {
  INT_S16 floppy = -1;
  for (INT_S16 i = 0; i < get_drive_count(); i++)
    if (toupper(static_cast<unsigned char>(get_drive_root_text(i)[0])) == 'A') floppy = i;
  if (floppy < 0) GTEST_SKIP() << "no drive A";
  FOLDER root;
  ASSERT_TRUE(root.set_to_drive_root(floppy));
  FOLDER folder = root;
  if (!folder.enter("velk-floppy", true)) GTEST_SKIP() << "drive A cannot be written";
  EXPECT_EQ(floppy, get_drive_index(&folder));
  char text[FOLDER_PATH_SIZE];
  folder.to_variable_text(text);
  std::string expected = "$ROOT" + std::to_string(floppy) + "/velk-floppy";
  EXPECT_EQ(expected, text);
  FOLDER back;
  EXPECT_TRUE(back.set(text));
  EXPECT_STREQ("A:\\velk-floppy", back.path);
  // Described from a folder on another drive, it keeps the drive text.
  FOLDER program;
  program.to_here_text(&folder, text);
  EXPECT_EQ(expected, text);
  EXPECT_TRUE(remove_folder(&root, "velk-floppy", 0));
}
#endif

TEST_F(Folders, StoredForm) {
  FOLDER base = folder_at(home);
  set_base_path(&base, "stored");
  FOLDER folder;
  ASSERT_TRUE(folder.set("$APPDATA/s", true, nullptr, true));
  MEMORY_DEVICE device;
  ASSERT_TRUE(folder.put_to_data_device(&device));
  std::vector<INT_U8> golden(1 + FOLDER_PATH_SIZE, 0);
  golden[0] = 0xFF;
  memcpy(&golden[1], "$APPDATA/s", 10);
  EXPECT_EQ(golden, device.bytes);  // the unused tail is zero

  FOLDER read;
  device.position = 0;
  ASSERT_TRUE(read.get_from_data_device(&device));
  EXPECT_STREQ(folder.path, read.path);

  // A raw path of this platform is kept; one of another platform gives "$APP".
  FOLDER app;
  std::vector<INT_U8> raw(1 + FOLDER_PATH_SIZE, 0);
  raw[0] = 0x21;
  memcpy(&raw[1], folder.path, strlen(folder.path));
  MEMORY_DEVICE raw_device(raw);
  ASSERT_TRUE(read.get_from_data_device(&raw_device));
  EXPECT_STREQ(folder.path, read.path);
  raw[0] = 0x20;
  MEMORY_DEVICE foreign_device(raw);
  ASSERT_TRUE(read.get_from_data_device(&foreign_device));
  EXPECT_STREQ(app.path, read.path);
  reset_base_path();
}

TEST_F(Folders, DamagedStoredFormsNeverOverrunOrEndTheProgram) {
  FOLDER app;
  FOLDER read = folder_at(home);
  // Truncated records fail.
  MEMORY_DEVICE empty;
  EXPECT_FALSE(read.get_from_data_device(&empty));
  std::vector<INT_U8> bytes(1 + 100, 'a');
  bytes[0] = 0xFF;
  MEMORY_DEVICE short_device(bytes);
  EXPECT_FALSE(read.get_from_data_device(&short_device));
  EXPECT_EQ(home, read.path);

  // An unknown variable, a missing folder and a text without its terminator give "$APP".
  for (std::string text : {std::string("$NOSUCHVARIABLE/x"), std::string("$APP/no/such/folder"),
                           std::string(FOLDER_PATH_SIZE, 'z'), std::string(FOLDER_PATH_SIZE, '$')}) {
    std::vector<INT_U8> record(1 + FOLDER_PATH_SIZE, 0);
    record[0] = 0xFF;
    memcpy(&record[1], text.data(), std::min(text.size(), static_cast<size_t>(FOLDER_PATH_SIZE)));
    MEMORY_DEVICE device(record);
    read = folder_at(home);
    ASSERT_TRUE(read.get_from_data_device(&device));
    EXPECT_STREQ(app.path, read.path);
    record[0] = 0x21;
    MEMORY_DEVICE raw(record);
    read = folder_at(home);
    ASSERT_TRUE(read.get_from_data_device(&raw));
    EXPECT_STREQ(app.path, read.path);
  }
}

TEST_F(Folders, ExpandPathText) {
  FOLDER app;
  std::string program = app.get_path_text(nullptr);
  // Every part is joined with the host's separator: the path reads as the host writes paths.
  const std::string sep(1, PATH_SEPARATOR);
  EXPECT_EQ(program + sep + "a" + sep + "f", expand_path_text("$APP/a", "f"));
  EXPECT_EQ(program + sep + "f", expand_path_text("$APP/a/..", "f"));
  EXPECT_EQ(program + sep + "a" + sep + "b", expand_path_text("$APP//a/b/", nullptr));
  EXPECT_EQ(program, expand_path_text(nullptr, nullptr));
  // ".." removes the last component whichever separator precedes it.
  FOLDER parent = app;
  ASSERT_TRUE(parent.go_up());
  std::string above = parent.get_path_text(nullptr);
  std::string expected = above;
  if (expected.back() != PATH_SEPARATOR) expected += sep;
  EXPECT_EQ(expected + "x" + sep + "f", expand_path_text("$APP/../x", "f"));
  // Going above the root keeps the root.
  std::string root = get_drive_root_text(0);
  EXPECT_EQ(root + "f", expand_path_text("$ROOT0/../..", "f"));
  // A variable component replaces the result.
  FOLDER base = folder_at(home);
  set_named_path("$H", &base);
  EXPECT_EQ(home + sep + "y", expand_path_text("$APP/z/$H", "y"));
  remove_named_path("$H");
  // A variable part this program does not know names no path (the folder would end the program), nor
  // does a drive past the computer's drives, however it is reached: never a folder below the program's.
  EXPECT_STREQ("", expand_path_text("$APP/z/$NOSUCHVARIABLE", "y"));
  const std::string past = "$ROOT" + std::to_string(get_drive_count());
  EXPECT_STREQ("", expand_path_text((past + "/w13/r5").c_str(), nullptr));
  EXPECT_STREQ("", expand_path_text(("$APP/z/" + past).c_str(), "y"));
  EXPECT_EQ(std::string(get_drive_root_text(0)) + "w13", expand_path_text("$ROOT0/w13", nullptr));
  // Results that do not fit are refused.
  EXPECT_STREQ("", expand_path_text(("$APP/" + std::string(200, 'c') + "/" + std::string(2000, 'd')).c_str(), "f"));
}

TEST_F(Folders, TraceListsEveryVariable) {
  DEBUG_STREAM* trace = path_trace_debug_stream();
  ASSERT_NE(nullptr, trace);
  INT_U16 flags = trace->flags;
  trace->flags = DEBUG_WRITE_TO_CONSOLE;
  ::testing::internal::CaptureStdout();
  trace_default_paths();
  std::string output = captured_stdout();
  trace->flags = flags;
  FOLDER app;
  std::string program = app.get_path_text(nullptr);
  EXPECT_NE(std::string::npos, output.find("$APP => " + program + " (" + program + ")\n")) << output;
  for (const char* variable : {"$SYSAPP => ", "$INSTDATA => ", "$APPDATA => ", "$USERDATA => ", "$USERPREFS => ",
                               "$TEMP => ", "$ROOT0 => ", "$FONTDATA => ", "$ICONDATA => "})
    EXPECT_NE(std::string::npos, output.find(variable)) << variable;
  EXPECT_LT(output.find("$APP => "), output.find("$ICONDATA => "));
}
