// Tests of the uninstall registry: a product's entry is one key that its next version replaces, on
// Linux one settings file in the user's configuration folder whichever installer file wrote it.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "installer_test_support.h"
#include "registry.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

// A close made to fail, as a network share's delayed write or a quota fails it: the stream is closed
// all the same, and its close reports the failure.
static bool fail_next_close = false;

extern "C" int fclose(FILE* file) {
  int closed = real_fclose(file);
  if (!fail_next_close) return closed;
  fail_next_close = false;
  errno = EIO;
  return EOF;
}

namespace {

#ifndef _WIN32
const std::string KEY_PATH = "/registry/SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/";

std::string entry_text(const std::string& name, const std::string& program) {
  return "DisplayName\n\t" + name + "\nUninstallString\n\t" + program + "\n";
}

// Writes the file, making its folders.
bool plant(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  return write_whole_file(path, text_bytes(text));
}
#endif

}  // namespace

// A later entry of a key replaces the earlier one; an entry whose file cannot be closed (Linux) is not
// written, and the earlier one stays as it was, with nothing else left beside it.
TEST(UninstallRegistry, ALaterEntryReplacesTheEarlierAndAFailedOneLeavesIt) {
  INSTALLER_SCRATCH scratch("registry-replace");
  const char* name = "Velk Registry Test";
  char display[256], program[256];
  ASSERT_TRUE(write_uninstall_entry(name, name, "first-uninstall"));
  ASSERT_TRUE(write_uninstall_entry(name, name, "second-uninstall"));
  ASSERT_TRUE(read_uninstall_entry(name, display, program, sizeof display));
  EXPECT_STREQ(program, "second-uninstall");
#ifdef _WIN32
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(UNINSTALL_KEY_PATH "\\") + name).c_str()), ERROR_SUCCESS);
#else
  const std::string folder = scratch.root + "home/config/velk" + KEY_PATH;
  std::string why;
  fail_next_close = true;
  EXPECT_FALSE(write_uninstall_entry(name, name, "third-uninstall", &why));
  fail_next_close = false;
  EXPECT_EQ(why, "the file \"" + folder + name + ".cfg\" cannot be written (Input/output error)");
  EXPECT_EQ(read_whole_text(folder + name + ".cfg"), entry_text(name, "second-uninstall"));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{std::string(name) + ".cfg"});
#endif
}

#ifdef _WIN32
// The entry lands in the registry's view of the program's width: a 64-bit program's in the native view,
// a 32-bit one's on 64-bit Windows in the 32-bit view (the system's WOW6432Node copy of the key), and
// 32-bit Windows has one view.
TEST(UninstallRegistry, TheEntryLandsInTheViewOfTheProgramsWidth) {
  const char* name = "Velk Registry View Test";
  const std::string key = std::string(UNINSTALL_KEY_PATH "\\") + name;
  BOOL emulated = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &emulated));
  const bool wide = sizeof(void*) == 8, one_view = !wide && !emulated;
  auto in_view = [&](REGSAM view) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
  };
  ASSERT_TRUE(write_uninstall_entry(name, name, "uninstall"));
  EXPECT_EQ(in_view(KEY_WOW64_64KEY), wide || one_view);
  EXPECT_EQ(in_view(KEY_WOW64_32KEY), !wide);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str()), ERROR_SUCCESS);
}
#else
// Installers of one product named "kit-1-setup", "kit-2-setup" and "setup.bin" leave one entry, the
// last one's, in the one place; the entry that an earlier version left below a folder named after its
// installer's file goes with the next install. Nothing else there goes: another product's entry, a
// file of the name that is no entry, one reached through a link, and the folders themselves.
TEST(UninstallRegistry, OneProductHasOneEntryWhicheverFileInstalledIt) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("registry-one-entry");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  const std::string config = scratch.root + "home/config/", product = "Velk Test App.cfg";
  const std::string earlier = entry_text("Velk Test App", "/old/bin/uninstall.sh");
  const std::vector<std::pair<std::string, std::string>> kept = {
      {config + "kit-0-setup" + KEY_PATH + "Other App.cfg", entry_text("Other App", "/other/uninstall.sh")},
      {config + "notes" + KEY_PATH + product, "DisplayName of my notes\n"},
      {scratch.root + "elsewhere" + KEY_PATH + product, earlier}};
  ASSERT_TRUE(plant(config + "kit-0-setup" + KEY_PATH + product, earlier));
  for (const auto& file : kept) ASSERT_TRUE(plant(file.first, file.second));
  ASSERT_EQ(symlink((scratch.root + "elsewhere").c_str(), (config + "linked").c_str()), 0);

  const std::string environment = "HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + config +
                                  "' XDG_DATA_HOME='" + scratch.root + "home/data' XDG_STATE_HOME='" + scratch.root +
                                  "home/state' XDG_DESKTOP_DIR='" + scratch.root + "home/Desktop' TMPDIR='" +
                                  scratch.root + "tmp' ";
  for (const char* file_name : {"kit-1-setup", "kit-2-setup", "setup.bin"}) {
    const std::string installer = scratch.root + file_name;
    std::error_code linked;
    std::filesystem::create_hard_link(binary_dir + "/installer", installer, linked);
    if (linked) {
      ASSERT_TRUE(std::filesystem::copy_file(binary_dir + "/installer", installer));
    }
    EXPECT_EQ(run_command(environment + "'" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' -a >'" +
                          scratch.root + "output.txt' 2>&1"),
              0)
        << file_name << ": " << read_whole_text(scratch.root + "output.txt");
  }

  std::vector<std::string> entries;
  for (const auto& file : std::filesystem::recursive_directory_iterator(config))
    if (file.path().filename() == product && read_whole_text(file.path().string()).rfind("DisplayName\n\t", 0) == 0)
      entries.push_back(file.path().string());
  EXPECT_EQ(entries, std::vector<std::string>{config + "velk" + KEY_PATH + product});
  EXPECT_EQ(read_whole_text(config + "velk" + KEY_PATH + product),
            entry_text("Velk Test App", scratch.installed("bin/uninstall.sh")));
  for (const auto& file : kept) EXPECT_EQ(read_whole_text(file.first), file.second) << file.first;
  EXPECT_TRUE(std::filesystem::is_directory(config + "kit-0-setup" + KEY_PATH));
}
#endif
