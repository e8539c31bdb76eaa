// Tests of the shortcut service: shortcuts written and read back — freedesktop files on Linux, shell
// links through IShellLinkA on Windows — with their targets, arguments and icons, group folders made
// and cleaned up, and texts beyond the limits refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "folder.h"
#include "shell.h"
#include "test_support.h"

#ifdef _WIN32
#include "shell_link_test_support.h"
#else
#include <sys/stat.h>
#endif

namespace {

bool exists(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file)
    fclose(file);
  return file != nullptr;
}

#ifndef _WIN32
// Redirects the desktop and the menu into a scratch folder for one test.
struct SCRATCH_DESKTOP {
  std::string root, desktop, programs;
  SCRATCH_DESKTOP() {
    root = make_scratch_folder("shortcuts");
    desktop = root + "Desktop";
    programs = root + "data/applications";
    set_environment("HOME", root);
    set_environment("XDG_DESKTOP_DIR", desktop);
    set_environment("XDG_DATA_HOME", root + "data");
  }
};

bool is_dir(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::map<std::string, std::string> read_entry(const std::string& path) {
  std::map<std::string, std::string> keys;
  std::ifstream in(path);
  std::string line;
  bool header = false;
  while (std::getline(in, line)) {
    if (line == "[Desktop Entry]")
      header = true;
    size_t equals = line.find('=');
    if (equals != std::string::npos)
      keys[line.substr(0, equals)] = line.substr(equals + 1);
  }
  if (!header)
    keys.clear();
  return keys;
}
#endif

}  // namespace

#ifndef _WIN32
TEST(Shortcuts, DesktopEntriesCarryTargetArgumentsAndIcon) {
  SCRATCH_DESKTOP scratch;
  FOLDER program_folder;
  snprintf(program_folder.path, sizeof(program_folder.path), "/opt/Apps/Tool");

  create_desktop_shortcut(1, "bin/run.exe", "--mode /fast 100%", "My Tool", nullptr, "", &program_folder);
  auto keys = read_entry(scratch.desktop + "/My Tool.desktop");
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ(keys["Type"], "Application");
  EXPECT_EQ(keys["Name"], "My Tool");
  EXPECT_EQ(keys["Exec"], "/opt/Apps/Tool/bin/run.exe --mode /fast 100%%");
  EXPECT_EQ(keys["Icon"], "/opt/Apps/Tool/bin/run.exe");

  // Capital ".EXE" counts; a null folder leaves the name alone; null arguments are empty.
  create_desktop_shortcut(2, "Tool Dir/START.EXE", nullptr, "Upper", nullptr, "", nullptr);
  keys = read_entry(scratch.desktop + "/Upper.desktop");
  EXPECT_EQ(keys["Exec"], "\"Tool Dir/START.EXE\"");
  EXPECT_EQ(keys["Icon"], "Tool Dir/START.EXE");

  // Icons by kind for targets that are not programs.
  create_desktop_shortcut(2, "site.url", "", "Web", nullptr, "", &program_folder);
  keys = read_entry(scratch.desktop + "/Web.desktop");
  EXPECT_EQ(keys["Type"], "Link");
  EXPECT_EQ(keys["URL"], "file:///opt/Apps/Tool/site.url");
  EXPECT_EQ(keys["Icon"], "applications-internet");
  create_desktop_shortcut(3, "read me.txt", "", "Readme", nullptr, "", &program_folder);
  keys = read_entry(scratch.desktop + "/Readme.desktop");
  EXPECT_EQ(keys["URL"], "file:///opt/Apps/Tool/read%20me.txt");
  EXPECT_EQ(keys["Icon"], "text-x-generic");
  create_desktop_shortcut(1, "run.sh", "", "Script", nullptr, "", &program_folder);
  EXPECT_EQ(read_entry(scratch.desktop + "/Script.desktop")["Icon"], "application-x-executable");
  create_desktop_shortcut(0, "other", "", "Other", nullptr, "", &program_folder);
  EXPECT_EQ(read_entry(scratch.desktop + "/Other.desktop")["Icon"], "application-x-executable");

  // An address is the whole target (no folder before it), and no program to run.
  create_desktop_shortcut(1, "https://example.org/setup.EXE", "-x", "Site", nullptr, "", &program_folder);
  keys = read_entry(scratch.desktop + "/Site.desktop");
  EXPECT_EQ(keys["URL"], "https://example.org/setup.EXE");

  // A program folder at the root adds no second separator.
  FOLDER root;
  snprintf(root.path, sizeof(root.path), "/");
  create_desktop_shortcut(1, "tool", "", "Rooted", nullptr, "", &root);
  EXPECT_EQ(read_entry(scratch.desktop + "/Rooted.desktop")["Exec"], "/tool");

  // Removal reports 0 when the file went, non-zero when there was none.
  EXPECT_EQ(remove_desktop_shortcut(1, "", "", "My Tool", nullptr, "", nullptr), 0);
  EXPECT_FALSE(exists(scratch.desktop + "/My Tool.desktop"));
  EXPECT_NE(remove_desktop_shortcut(1, "", "", "My Tool", nullptr, "", nullptr), 0);
}

// A shortcut that cannot be made makes nothing and says why: a target longer than any path (a desktop
// entry holds one of any length the library holds), a link name that is no file name, a menu folder
// too long, a desktop folder that a file stands in the way of.
TEST(Shortcuts, ShortcutsThatCannotBeMadeMakeNothingAndSayWhy) {
  SCRATCH_DESKTOP scratch;
  std::string why;
  std::string long_path(1100, 'a');
  EXPECT_TRUE(create_desktop_shortcut(1, long_path.c_str(), "", "Long", nullptr, "", nullptr, &why));
  EXPECT_EQ(read_entry(scratch.desktop + "/Long.desktop")["Exec"], long_path);
  std::string too_long(2100, 'a');
  EXPECT_FALSE(create_desktop_shortcut(1, too_long.c_str(), "", "Longer", nullptr, "", nullptr, &why));
  EXPECT_EQ(why, "its program's path is 2100 characters long; a shortcut holds at most 2047");
  EXPECT_FALSE(exists(scratch.desktop + "/Longer.desktop"));
  std::string long_name(300, 'n');
  EXPECT_FALSE(create_desktop_shortcut(1, "tool", "", long_name.c_str(), nullptr, "", nullptr, &why));
  EXPECT_EQ(why, "its link's file name is 308 characters long; a file name holds at most 255");
  EXPECT_FALSE(create_desktop_shortcut(1, "tool", "", "../escape", nullptr, "", nullptr, &why));
  EXPECT_EQ(why, "its link name is no single file name");
  EXPECT_FALSE(exists(scratch.root + "escape.desktop"));
  EXPECT_FALSE(create_os_menu_shortcut(1, "tool", "", "Deep", long_name.c_str(), nullptr, "", nullptr, &why));
  EXPECT_EQ(why, "its menu folder is no folder name of this system, or too long");
  EXPECT_FALSE(is_dir(scratch.programs + "/" + long_name));

  ASSERT_TRUE(write_whole_file(scratch.root + "Blocked", {1}));
  set_environment("XDG_DESKTOP_DIR", scratch.root + "Blocked/Desktop");
  EXPECT_FALSE(create_desktop_shortcut(1, "tool", "", "Tool", nullptr, "", nullptr, &why));
  EXPECT_EQ(why, "the folder \"" + scratch.root + "Blocked\" cannot be created (Not a directory)");
}

TEST(Shortcuts, MenuGroupsAreMadeAndCleanedUpToTheProgramFolder) {
  SCRATCH_DESKTOP scratch;
  FOLDER program_folder;
  snprintf(program_folder.path, sizeof(program_folder.path), "/opt/Tool");
  std::string group = scratch.programs + "/Vendor/Suite";

  create_os_menu_shortcut(1, "run.exe", "-a", "Run", "Vendor/Suite", nullptr, "", &program_folder);
  create_os_menu_shortcut(3, "notes.txt", "", "Notes", "Vendor/Suite", nullptr, "", &program_folder);
  auto keys = read_entry(group + "/Run.desktop");
  EXPECT_EQ(keys["Exec"], "/opt/Tool/run.exe -a");
  EXPECT_TRUE(exists(group + "/Notes.desktop"));

  // ".." never leads out of the program folder.
  create_os_menu_shortcut(1, "run.exe", "", "Up", "../../Outside", nullptr, "", &program_folder);
  EXPECT_TRUE(exists(scratch.programs + "/Outside/Up.desktop"));
  remove_os_menu_shortcut(1, "", "", "Up", "../../Outside", nullptr, "", nullptr);
  EXPECT_FALSE(is_dir(scratch.programs + "/Outside"));
  EXPECT_TRUE(is_dir(scratch.programs));
  // Nor does one that an empty run hides from the check (the text is refused).
  create_os_menu_shortcut(1, "run.exe", "", "Up", "..\x01\x01/..\x01\x01/Outside", nullptr, "", &program_folder);
  EXPECT_FALSE(is_dir(scratch.root + "Outside"));

  // Removing one of two keeps the group; removing the last removes the group and its empty parent,
  // never the program folder.
  remove_os_menu_shortcut(1, "", "", "Run", "Vendor/Suite", nullptr, "", nullptr);
  EXPECT_FALSE(exists(group + "/Run.desktop"));
  EXPECT_TRUE(is_dir(group));
  remove_os_menu_shortcut(1, "", "", "Notes", "Vendor/Suite", nullptr, "", nullptr);
  EXPECT_FALSE(is_dir(group));
  EXPECT_FALSE(is_dir(scratch.programs + "/Vendor"));
  EXPECT_TRUE(is_dir(scratch.programs));

  // A parent that still holds something stays; a group holding only a hidden file stays.
  create_os_menu_shortcut(1, "run.exe", "", "A", "Vendor/One", nullptr, "", &program_folder);
  create_os_menu_shortcut(1, "run.exe", "", "B", "Vendor/Two", nullptr, "", &program_folder);
  write_whole_file(scratch.programs + "/Vendor/Two/.hidden", {1});
  remove_os_menu_shortcut(1, "", "", "A", "Vendor/One", nullptr, "", nullptr);
  EXPECT_FALSE(is_dir(scratch.programs + "/Vendor/One"));
  EXPECT_TRUE(is_dir(scratch.programs + "/Vendor"));
  remove_os_menu_shortcut(1, "", "", "B", "Vendor/Two", nullptr, "", nullptr);
  EXPECT_TRUE(is_dir(scratch.programs + "/Vendor/Two"));

  // A link straight in the program folder (empty group); removing it leaves the folder.
  create_os_menu_shortcut(1, "run.exe", "", "Top", "", nullptr, "", &program_folder);
  EXPECT_TRUE(exists(scratch.programs + "/Top.desktop"));
  remove_os_menu_shortcut(1, "", "", "Top", "", nullptr, "", nullptr);
  EXPECT_FALSE(exists(scratch.programs + "/Top.desktop"));
  EXPECT_TRUE(is_dir(scratch.programs));
  // Removing a shortcut of a group that never existed makes and leaves nothing.
  remove_os_menu_shortcut(1, "", "", "None", "Ghost/Group", nullptr, "", nullptr);
  EXPECT_FALSE(is_dir(scratch.programs + "/Ghost"));
}
#endif

#ifdef _WIN32
namespace {

bool lower_equal(std::string a, std::string b) {
  for (char& c : a) c = (char)tolower((unsigned char)c);
  for (char& c : b) c = (char)tolower((unsigned char)c);
  return a == b;
}

}  // namespace

TEST(Shortcuts, ShellLinksReadBackThroughTheShell) {
  std::string desktop = special_folder(CSIDL_DESKTOPDIRECTORY);
  std::string programs = special_folder(CSIDL_PROGRAMS);
  ASSERT_FALSE(desktop.empty());
  ASSERT_FALSE(programs.empty());
  char system_folder[MAX_PATH];
  GetSystemDirectoryA(system_folder, MAX_PATH);
  std::string shell32 = std::string(system_folder) + "\\shell32.dll";

  FOLDER program_folder;
  snprintf(program_folder.path, sizeof(program_folder.path), "C:\\Apps\\Tool");
  create_desktop_shortcut(1, "bin/run.exe", "--mode /fast", "Velk Test Tool", nullptr, "", &program_folder);
  LINK_FIELDS link = read_link(desktop + "\\Velk Test Tool.lnk");
  ASSERT_TRUE(link.read);
  EXPECT_TRUE(lower_equal(link.path, "C:\\Apps\\Tool\\bin\\run.exe")) << link.path;
  EXPECT_EQ(link.arguments, "--mode /fast");
  EXPECT_TRUE(lower_equal(link.icon, "C:\\Apps\\Tool\\bin\\run.exe")) << link.icon;
  EXPECT_EQ(link.icon_index, 0);
  EXPECT_EQ(remove_desktop_shortcut(1, "", "", "Velk Test Tool", nullptr, "", nullptr), 0);
  EXPECT_FALSE(exists(desktop + "\\Velk Test Tool.lnk"));

  // A web link and a text file take the shell's icons 13 and 1; a drive root adds no second '\'.
  FOLDER root;
  snprintf(root.path, sizeof(root.path), "C:\\");
  create_desktop_shortcut(2, "site.url", nullptr, "Velk Test Web", nullptr, "", &root);
  link = read_link(desktop + "\\Velk Test Web.lnk");
  ASSERT_TRUE(link.read);
  EXPECT_TRUE(lower_equal(link.path, "C:\\site.url")) << link.path;
  EXPECT_EQ(link.arguments, "");
  EXPECT_TRUE(lower_equal(link.icon, shell32)) << link.icon;
  EXPECT_EQ(link.icon_index, 13);
  remove_desktop_shortcut(2, "", "", "Velk Test Web", nullptr, "", nullptr);

  // Menu shortcuts go into a group of the start menu's program folder; the last removal takes the
  // group and never the program folder.
  create_os_menu_shortcut(3, "notes.txt", "", "Velk Notes", "Velk Test Vendor/Suite", nullptr, "", &program_folder);
  std::string group = programs + "\\Velk Test Vendor\\Suite";
  link = read_link(group + "\\Velk Notes.lnk");
  ASSERT_TRUE(link.read);
  EXPECT_TRUE(lower_equal(link.path, "C:\\Apps\\Tool\\notes.txt")) << link.path;
  EXPECT_EQ(link.icon_index, 1);
  remove_os_menu_shortcut(3, "", "", "Velk Notes", "Velk Test Vendor/Suite", nullptr, "", nullptr);
  EXPECT_FALSE(exists(group + "\\Velk Notes.lnk"));
  DWORD attributes = GetFileAttributesA((programs + "\\Velk Test Vendor").c_str());
  EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES);
  attributes = GetFileAttributesA(programs.c_str());
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);

  // A shell link holds no address: explorer opens it, quoted whole (it splits its arguments at commas).
  create_desktop_shortcut(2, "https://example.org/a,b/setup.exe", "", "Velk Test Site", nullptr, "", &program_folder);
  link = read_link(desktop + "\\Velk Test Site.lnk");
  EXPECT_NE(link.path.find("\\explorer.exe"), std::string::npos) << link.path;
  EXPECT_EQ(link.arguments, "\"https://example.org/a,b/setup.exe\"");
  EXPECT_EQ(link.icon_index, 13);
  remove_desktop_shortcut(2, "", "", "Velk Test Site", nullptr, "", nullptr);

  // Over-long targets make nothing, and say so.
  std::string long_target(1100, 'a'), why;
  EXPECT_FALSE(create_desktop_shortcut(1, long_target.c_str(), "", "Velk Test Long", nullptr, "", nullptr, &why));
  EXPECT_EQ(why, "its program's path is 1100 characters long; a shortcut holds at most 1023");
  EXPECT_FALSE(exists(desktop + "\\Velk Test Long.lnk"));
  // A group folder that a file stands in the way of cannot be made: the shortcut is not made.
  ASSERT_TRUE(write_whole_file(programs + "\\Velk Test Blocked", {1}));
  EXPECT_FALSE(create_os_menu_shortcut(3, "notes.txt", "", "Velk Notes", "Velk Test Blocked/Group", nullptr, "",
                                       &program_folder, &why));
  EXPECT_EQ(why.rfind("the folder \"", 0), 0u) << why;
  EXPECT_NE(why.find("\\Velk Test Blocked\" cannot be created ("), std::string::npos) << why;
  std::remove((programs + "\\Velk Test Blocked").c_str());
  // A link name with a separator would put the link into another folder: nothing is made.
  for (const char* name : {"..\\Velk Test Escape", "../Velk Test Escape", "sub\\Velk Test Escape", ".\x01,\x01."}) {
    create_desktop_shortcut(1, "tool.exe", "", name, nullptr, "", &program_folder);
    EXPECT_FALSE(exists(desktop + "\\..\\Velk Test Escape.lnk")) << name;
    EXPECT_FALSE(exists(desktop + "\\sub\\Velk Test Escape.lnk")) << name;
  }
  // Nor into a group above the program folder through a ".." that an empty run hides from the check.
  create_os_menu_shortcut(3, "notes.txt", "", "Velk Notes", "..\x01\x01\\Velk Test Out", nullptr, "", &program_folder);
  EXPECT_EQ(GetFileAttributesA((programs + "\\..\\Velk Test Out").c_str()), INVALID_FILE_ATTRIBUTES);
}
#endif
