// Tests of the attached-package copy-out: the locating step on the program's own file, byte-exact copies
// of plain and compressed records (empty records, records longer than the chunk, every end position
// around the buffer size), a splash block, and clear failures for damaged data that leave no copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>
#include <zlib.h>
#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#endif

#include "host.h"
#include "image.h"
#include "image_cache.h"
#include "installer_test_support.h"
#include "installer_update_support.h"
#include "screen_image.h"
#include "wizard_test_support.h"
#include "style_set.h"

namespace {

// Attached data without splash, as the packer writes it: chunk size, compressed flag, the package in
// records of at most record bytes (the chunk size when 0).
std::vector<INT_U8> attached_data(const std::vector<INT_U8>& package, INT_U32 chunk, bool compressed,
                                  size_t record = 0, bool empty_records = false) {
  std::vector<INT_U8> out;
  put_attached_head(&out, chunk, compressed);
  if (!record) record = chunk;
  for (size_t at = 0; at < package.size(); at += record) {
    if (empty_records) {
      put_attached_u32(&out, 0);  // no bytes
      put_attached_u32(&out, 0);
    }
    put_attached_record(&out, package.data() + at, std::min(record, package.size() - at), compressed);
  }
  return out;
}

struct ATTACHED_FIXTURE {
  INSTALLER_SCRATCH scratch;
  std::vector<INT_U8> package;  // the package file's bytes after its byte-order byte
  std::vector<INT_U8> program;  // the test program's own bytes
  std::string out;              // the folder the copy goes to
  FOLDER out_folder, program_folder;

  // for_program: the package is for the installer program, which knows none of the test's named
  // paths, so its destination is given from the drive root.
  explicit ATTACHED_FIXTURE(const std::string& name, bool for_program = false) : scratch(name) {
    if (for_program) {
      std::filesystem::create_directories(scratch.destination);
#ifdef _WIN32
      std::string destination = root_text(scratch.destination);
#else
      std::string destination = "$ROOT0" + scratch.destination;
#endif
      std::string description = read_whole_text(scratch.source + "description.txt");
      description.replace(description.find("$SCRATCH/dest"), 13, destination);
      write_whole_file(scratch.source + "description.txt", text_bytes(description));
    }
    scratch.build();
    // Records carry the package's body: the copy gets its byte-order byte from the data file.
    package = read_whole_file(scratch.package + "installer.pkg");
    if (!package.empty()) package.erase(package.begin());
    program = read_whole_file(get_module_path());
    out = scratch.root + "out";
    std::filesystem::create_directories(out);
    out_folder.set_if_folder(out.c_str());
    std::string root = scratch.root.substr(0, scratch.root.size() - 1);
    program_folder.set_if_folder(root.c_str());
  }

  // The program with data attached, written as name; the data's position in *position.
  bool attach(const std::string& name, const std::vector<INT_U8>& data, INT_U32* position) {
    std::vector<INT_U8> bytes = program;
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (!write_whole_file(scratch.root + name, bytes)) return false;
    ATTACHED_DATA record;
    bool found = locate_attached_data(&program_folder, name.c_str(), &record);
    *position = record.package_position;
    return found && record.package_attached && !record.skin_attached;
  }

  ATTACHED_RESULT copy(const std::string& name, INT_U32 position, std::string* message) {
    char text[256] = "";
    bool splash = true;
    ATTACHED_RESULT result = copy_attached_package(&program_folder, name.c_str(), position, &out_folder, &splash, text);
    EXPECT_FALSE(splash);
    *message = text;
    return result;
  }

  std::vector<INT_U8> expected_copy() const {
    std::vector<INT_U8> bytes(package.size() + 1, 0);  // the byte-order byte of the copy, then the body
    std::copy(package.begin(), package.end(), bytes.begin() + 1);
    return bytes;
  }
  std::string copy_path() const { return out + PATH_SEPARATOR + "installer.pkg"; }
};

// Starts the program with its package attached in a real window, asks the quit question with the
// window's close button and answers Yes: the program ends with 0. Where Yes lies comes from the same
// wizard and question built in this process from the package.
void quit_attached_program(INSTALLER_SCRATCH& scratch, const std::string& program,
                           const std::vector<std::string>& environment) {
  int yes_x = 0, yes_y = 0, width = 0, height = 0;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(scratch.package));
    width = database->WINDOW.width;
    height = database->WINDOW.height;
    open_quit_dialog(0);
    ASSERT_TRUE(quit_dialog() && quit_dialog()->buttons[0]);
    resting_centre(quit_dialog()->buttons[0], quit_dialog(), &yes_x, &yes_y);
  }
  WINDOW_SCENARIO scenario("attached-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(program, {}, environment));
  ASSERT_TRUE(scenario.wait_for_window("Test Installer", width, height));  // not "Please Wait" at its size
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.close_window());
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(yes_x, yes_y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
}

}  // namespace

TEST(InstallerAttached, TheProgramItselfCarriesNothing) {
  FOLDER folder;
  std::string path = get_module_path();
  size_t slash = path.find_last_of("/\\");
  ASSERT_TRUE(folder.set_if_folder(path.substr(0, slash).c_str()));
  ATTACHED_DATA record;
  EXPECT_FALSE(locate_attached_data(&folder, path.substr(slash + 1).c_str(), &record));
  EXPECT_FALSE(record.skin_attached);
  EXPECT_FALSE(record.package_attached);
}

// The writer's bytes: the head (no splash, the chunk size most significant byte first, the compressed
// flag) and a plain record (its length, its bytes); a compressed record is one zlib stream.
TEST(InstallerAttached, TheWrittenHeadAndRecordsHaveTheirBytes) {
  std::vector<INT_U8> bytes;
  put_attached_head(&bytes, 0x00100000, true);
  const INT_U8 abc[3] = {'a', 'b', 'c'};
  ASSERT_TRUE(put_attached_record(&bytes, abc, 3, false));
  EXPECT_EQ(bytes, std::vector<INT_U8>({0, 0x00, 0x10, 0x00, 0x00, 1, 0, 0, 0, 3, 'a', 'b', 'c'}));
  bytes.clear();
  ASSERT_TRUE(put_attached_record(&bytes, abc, 3, true));
  ASSERT_GT(bytes.size(), 6u);
  EXPECT_EQ(bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3], (int)bytes.size() - 4);
  uLongf size = 16;
  INT_U8 inflated[16];
  ASSERT_EQ(uncompress(inflated, &size, bytes.data() + 4, (uLong)bytes.size() - 4), Z_OK);
  EXPECT_EQ(std::string((char*)inflated, size), "abc");
}

TEST(InstallerAttached, PlainAndCompressedRecordsAreCopiedByteExact) {
  ATTACHED_FIXTURE fixture("attached-exact");
  ASSERT_GT(fixture.package.size(), 10000u);
  struct CASE {
    INT_U32 chunk;
    bool compressed;
    size_t record;
    bool empty_records;
  } cases[] = {{4096, false, 0, false},    {4096, true, 0, false}, {1000, false, 0, true},
               {1000, true, 0, true},      {100, false, 5000, false},  // plain records longer than the chunk
               {65536, true, 0, false}};
  int index = 0;
  for (const CASE& c : cases) {
    std::string name = "attached" + std::to_string(index++) + ".exe";
    INT_U32 position = 0;
    ASSERT_TRUE(fixture.attach(name, attached_data(fixture.package, c.chunk, c.compressed, c.record, c.empty_records),
                               &position))
        << name;
    EXPECT_EQ(position, (INT_U32)fixture.program.size());
    std::string message;
    ASSERT_EQ(fixture.copy(name, position, &message), ATTACHED_COPIED) << name << ": " << message;
    EXPECT_EQ(read_whole_file(fixture.copy_path()), fixture.expected_copy()) << name;
    EXPECT_EQ(database->file_cache_sz, c.chunk);
    EXPECT_EQ(database->attached_package, 1);
    EXPECT_TRUE(database->data_folder.equals(&fixture.out_folder));
  }
  // The copy is a package that loads.
  EXPECT_TRUE(database->load_package("installer.pkg"));
  EXPECT_EQ(database->total_file_count, 5);
}

// The packer's single-file installer: a copy of the installer program with the package attached, found
// where the program's image ends and copied out whole; it is runnable where the host marks programs. A
// file that is no program, a program other than the installer (this test's own), one that carries data
// already, and an output that is the installer program itself are refused, and nothing is written.
TEST(InstallerAttached, ThePackersSingleFileInstallerCarriesItsPackage) {
  ATTACHED_FIXTURE fixture("attached-packer");
  std::string error, setup = fixture.scratch.root + "setup.exe", description = fixture.scratch.source + "description.txt";
  const std::string installer = WINDOW_SCENARIO::built_program("installer");
  const std::vector<INT_U8> program = read_whole_file(installer);
  ASSERT_FALSE(program.empty());
  ASSERT_TRUE(package_builder::build_installer(description, installer, setup, &error)) << error;
  std::vector<INT_U8> bytes = read_whole_file(setup);
  ASSERT_GT(bytes.size(), program.size());
  EXPECT_TRUE(std::equal(program.begin(), program.end(), bytes.begin()));
  ATTACHED_DATA record;
  ASSERT_TRUE(locate_attached_data(&fixture.program_folder, "setup.exe", &record));
  EXPECT_EQ(record.package_position, (INT_U32)program.size());
  std::string message;
  ASSERT_EQ(fixture.copy("setup.exe", record.package_position, &message), ATTACHED_COPIED) << message;
  EXPECT_EQ(database->file_cache_sz, ATTACHED_CHUNK);
  ASSERT_TRUE(database->load_package("installer.pkg"));
  ASSERT_EQ(database->installation_count, 1);
  EXPECT_EQ(database->total_file_count, 5);
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++) {
    const INSTALLATION_FILE& file = database->installations[0].files[i];
    ASSERT_TRUE(database->package->extract_entry(&fixture.out_folder, "extracted", file.packed_name));
    std::string relative = std::string(file.src_path_from_xml) + (file.src_path_from_xml[0] ? "/" : "") + file.src_name;
    EXPECT_EQ(read_whole_file(fixture.out + PATH_SEPARATOR + "extracted"),
              read_whole_file(fixture.scratch.source + "files/" + relative))
        << relative;
  }
#ifndef _WIN32
  EXPECT_NE(std::filesystem::status(setup).permissions() & std::filesystem::perms::owner_exec, std::filesystem::perms::none);
#endif

  // What is refused leaves the earlier installer as it was and nothing beside it.
  EXPECT_FALSE(package_builder::build_installer(description, setup, setup, &error));
  EXPECT_EQ(error, setup + ": carries installation data already; give the installer program itself");
  EXPECT_FALSE(package_builder::build_installer(description, description, setup, &error));
  EXPECT_EQ(error, description + ": is no installer program (neither an ELF nor a Windows executable image)");
  EXPECT_FALSE(package_builder::build_installer(description, fixture.scratch.root + "none.exe", setup, &error));
  EXPECT_EQ(error, fixture.scratch.root + "none.exe: cannot be read");
  EXPECT_FALSE(package_builder::build_installer(description, get_module_path(), setup, &error));
  EXPECT_EQ(error, get_module_path() + std::string(": is no installer program: only the installer (build/installer, "
                                                   "installer.exe) reads a package attached to it"));
  const std::string copy = fixture.scratch.root + "copy.exe";
  ASSERT_TRUE(write_whole_file(copy, program));
  EXPECT_FALSE(package_builder::build_installer(description, copy, copy, &error));
  EXPECT_EQ(error, copy + ": is the installer program, which the package is made from: it would be replaced");
  EXPECT_EQ(read_whole_file(copy), program);
  std::filesystem::remove(copy);
  std::string mistake = read_whole_text(description) + "desktop_shortcut = 1;run.sh\n";
  ASSERT_TRUE(write_whole_file(description, text_bytes(mistake)));
  EXPECT_FALSE(package_builder::build_installer(description, installer, setup, &error));
  EXPECT_EQ(error.substr(description.size()), ":10: a desktop shortcut needs 4 parts (type;program;link name;program "
                                              "folder), not 2: 1;run.sh");
  EXPECT_EQ(read_whole_file(setup), bytes);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(fixture.scratch.root))
    if (entry.is_regular_file()) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"setup.exe"});
}

// A request to end the program stops the copy-out before its next record: no copy is left, no message
// is given and the data folder stays as it was.
TEST(InstallerAttachedDeathTest, ARequestToEndStopsTheCopyAndLeavesNone) {
  ATTACHED_FIXTURE fixture("attached-end-request");
  INT_U32 position = 0;
  ASSERT_TRUE(fixture.attach("setup.exe", attached_data(fixture.package, 1024, true), &position));
  FOLDER before(database->data_folder);
  std::string message;
  EXPECT_EXIT(
      {
        watch_end_requests();
        request_program_end();
        bool stopped = fixture.copy("setup.exe", position, &message) == ATTACHED_INTERRUPTED && message.empty();
        std::_Exit(stopped && database->data_folder.equals(&before) && std::filesystem::is_empty(fixture.out) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A single-file installer run with "-a" installs the package it carries, not "installer.pkg" of its data
// folder (natively an unrelated file lies there), says so, and its copy goes at the end.
TEST(InstallerAttached, AutomaticModeInstallsTheProgramsOwnPackage) {
  INSTALLER_SCRATCH scratch("attached-automatic");
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, program_path_text(scratch.root) + "/dest");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  std::string error, setup = scratch.root + "setup.exe", output = scratch.root + "output.txt";
  ASSERT_TRUE(package_builder::build_installer(scratch.source + "description.txt",
                                               WINDOW_SCENARIO::built_program("installer"), setup, &error))
      << error;
#ifdef _WIN32
  int status = run_command("\"\"" + setup + "\" -a >\"" + output + "\" 2>&1\"");
#else
  std::filesystem::create_directories(scratch.root + "home/data/setup");  // the data folder, "$APPDATA"
  ASSERT_TRUE(write_whole_file(scratch.root + "home/data/setup/installer.pkg", text_bytes("not this one")));
  std::string environment;
  for (const std::string& variable : program_environment(scratch.root)) environment += variable + " ";
  int status = run_command("env " + environment + "'" + setup + "' -a >'" + output + "' 2>&1");
  EXPECT_TRUE(std::filesystem::is_empty(scratch.root + "tmp"));
#endif
  EXPECT_EQ(status, 0) << read_whole_text(output);
  EXPECT_NE(read_whole_text(output).find("Package: the one attached to \"" + setup + "\""), std::string::npos)
      << read_whole_text(output);
  EXPECT_EQ(read_whole_file(scratch.installed("bin/data.bin")), all_byte_values(40));
  EXPECT_EQ(read_lines(scratch.installed("install_log.txt")).back(), "Installation completed without any errors.");
}

// A single-file installer of two installations that share most of their files carries them once: it is
// hardly larger than that of the first installation alone. Run with "-a" it installs the first whole
// (two of its files share one entry), and the second installs whole from the package it carries.
TEST(InstallerAttached, SharedContentIsCarriedOnceAndInstallsWhole) {
  INSTALLER_SCRATCH scratch("attached-shared");
  const auto second = add_shared_files(scratch);
  const std::string place = program_path_text(scratch.root), path = scratch.source + "description.txt";
  std::string description = read_whole_text(path);
  description.replace(description.find("$SCRATCH/dest"), 13, place + "/dest");
  ASSERT_TRUE(write_whole_file(path, text_bytes(description)));
  const std::string installer = WINDOW_SCENARIO::built_program("installer");
  std::string error, one = scratch.root + "one.exe", setup = scratch.root + "setup.exe", output = scratch.root + "output.txt";
  ASSERT_TRUE(package_builder::build_installer(path, installer, one, &error)) << error;
  description += "installation = Part\ndefault_path = " + place + "/dest-b\nfiles = files-b\n";
  ASSERT_TRUE(write_whole_file(path, text_bytes(description)));
  ASSERT_TRUE(package_builder::build_installer(path, installer, setup, &error)) << error;
  EXPECT_LT(std::filesystem::file_size(setup), std::filesystem::file_size(one) + 4096);

#ifdef _WIN32
  int status = run_command("\"\"" + setup + "\" -a >\"" + output + "\" 2>&1\"");
#else
  std::string environment;
  for (const std::string& variable : program_environment(scratch.root)) environment += variable + " ";
  int status = run_command("env " + environment + "'" + setup + "' -a >'" + output + "' 2>&1");
#endif
  EXPECT_EQ(status, 0) << read_whole_text(output);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;

  FOLDER folder, out;
  ASSERT_TRUE(folder.set_if_folder(scratch.root.substr(0, scratch.root.size() - 1).c_str()));
  std::filesystem::create_directories(scratch.root + "out");
  ASSERT_TRUE(out.set_if_folder((scratch.root + "out").c_str()));
  ATTACHED_DATA record;
  ASSERT_TRUE(locate_attached_data(&folder, "setup.exe", &record));
  char message[256] = "";
  ASSERT_EQ(copy_attached_package(&folder, "setup.exe", record.package_position, &out, nullptr, message),
            ATTACHED_COPIED) << message;
  std::unique_ptr<DATABASE> carried(new DATABASE());
  carried->data_folder = out;
  ASSERT_TRUE(carried->load_package("installer.pkg"));
  carried->current_installation = 1;
  EXPECT_EQ(run_automatic_install(carried.get()), EXIT_JOB_DONE);
  for (const auto& file : second)
    EXPECT_EQ(read_whole_file(below(scratch.root + "dest-b", file.first)), file.second) << file.first;
}

// An update ("patch_check") installed with "-a", from its package and as a single-file installer, goes
// only over the installation whose log names its location: without one it installs nothing, names the
// location and the log it looked for and ends with status 1. An earlier installation made with the
// default choices (the system folders, which a packed package gives no folders of their own) is one.
TEST(InstallerProgram, AnUpdateInstallsOnlyOverTheInstallationItUpdates) {
  INSTALLER_SCRATCH scratch("update-automatic");
  UPDATE_RUNS runs(scratch);
  const std::string& location = runs.location;
  ASSERT_TRUE(scratch.build("earlier.pkg"));
  ASSERT_TRUE(runs.pack("patch_check = $HERE\n"));
  std::string error, setup = scratch.root + "setup.exe";
  ASSERT_TRUE(package_builder::build_installer(scratch.source + "packed.txt", runs.installer, setup, &error)) << error;
  const std::string& output = runs.output;
  std::string log = scratch.installed("install_log.txt");
  std::string refused = "ERROR: this package is an update: it installs only over an earlier installation in \"" +
                        scratch.destination + "\", and ";
  for (bool single_file : {true, false}) {
    EXPECT_EQ(single_file ? runs.run(setup, "-a") : runs.install(), 1);
    EXPECT_NE(read_whole_text(output).find(refused + "its install log \"" + log + "\" was not found; nothing was installed\n"),
              std::string::npos)
        << read_whole_text(output);
    EXPECT_FALSE(std::filesystem::exists(scratch.destination));
  }

  // The earlier installation, then the update over it.
  std::filesystem::rename(scratch.package + "installer.pkg", scratch.package + "update.pkg");
  std::filesystem::rename(scratch.package + "earlier.pkg", scratch.package + "installer.pkg");
  ASSERT_EQ(runs.install(), 0) << read_whole_text(output);
  EXPECT_EQ(read_lines(log)[4], "Settings: 0 1 " + location);
  ASSERT_EQ(runs.run(setup, "-a"), 0) << read_whole_text(output);
  EXPECT_EQ(read_lines(log).back(), "Installation completed without any errors.");

  // A log there of an installation elsewhere.
  std::string text = read_whole_text(log);
  std::string other = "Settings: 0 1 " + location + "-other";
  text.replace(text.find("Settings: "), other.size() - 6, other);
  ASSERT_TRUE(write_whole_file(log, text_bytes(text)));
  std::filesystem::rename(scratch.package + "update.pkg", scratch.package + "installer.pkg");
  EXPECT_EQ(runs.install(), 1);
  EXPECT_NE(read_whole_text(output).find(refused + "the install log \"" + log + "\" is of another installation (" + other +
                                         "); nothing was installed\n"),
            std::string::npos)
      << read_whole_text(output);
  EXPECT_EQ(read_whole_text(log), text);
}

// An update never installs over another product's installation at its location: product B (another
// title, application and installation) is installed there, and product A's update installs nothing,
// names what it found and ends with status 1, B's files as they were.
TEST(InstallerProgram, AnUpdateNeverInstallsOverAnotherProduct) {
  INSTALLER_SCRATCH scratch("update-other-product");
  UPDATE_RUNS runs(scratch);
  scratch.add_file("VERSION.txt", text_bytes("A 2\n"));
  std::filesystem::create_directories(scratch.source + "files-b");
  ASSERT_TRUE(write_whole_file(scratch.source + "files-b/VERSION.txt", text_bytes("B 1\n")));
  std::string other = "title = Other Product\napplication = velk-other-app\ninstallation = Other App\n"
                      "default_path = " + runs.location + "\nfiles = files-b\n";
  std::string error;
  ASSERT_TRUE(write_whole_file(scratch.source + "other.txt", text_bytes(other)));
  ASSERT_TRUE(package_builder::build_package(scratch.source + "other.txt", scratch.package + "installer.pkg", &error)) << error;
  ASSERT_EQ(runs.install(), 0) << read_whole_text(runs.output);

  ASSERT_TRUE(runs.pack("patch_check = $HERE\nlog = $HERE/patch\n"));
  std::string log = scratch.installed("install_log.txt"), before = read_whole_text(log);
  EXPECT_EQ(runs.install(), 1);
  EXPECT_NE(read_whole_text(runs.output).find(
                "ERROR: this package is an update: it installs only over an earlier installation in \"" +
                scratch.destination + "\", and the install log \"" + log +
                "\" is of another installation: \"Other App\" of the application \"velk-other-app\" (this update is "
                "for \"Test App\" of \"velk-test-app\"); nothing was installed\n"),
            std::string::npos)
      << read_whole_text(runs.output);
  EXPECT_EQ(read_whole_text(scratch.installed("VERSION.txt")), "B 1\n");
  EXPECT_EQ(read_whole_text(log), before);
  EXPECT_FALSE(std::filesystem::exists(scratch.installed("patch")));
}

// An update takes the choice of system folders that the installation it updates was made with: one
// made without them (the wizard's box unticked) is updated by "-a", whose log records the same choice.
TEST(InstallerProgram, AnUpdateTakesTheEarlierInstallationsChoiceOfSystemFolders) {
  INSTALLER_SCRATCH scratch("update-choice");
  UPDATE_RUNS runs(scratch);
  scratch.add_file("VERSION.txt", text_bytes("1\n"));
  ASSERT_TRUE(runs.pack(""));
  ASSERT_EQ(runs.install(), 0) << read_whole_text(runs.output);
  std::string log = scratch.installed("install_log.txt");
  std::string text = read_whole_text(log);
  ASSERT_NE(text.find("Settings: 0 1 "), std::string::npos);
  text.replace(text.find("Settings: 0 1 "), 14, "Settings: 0 0 ");
  ASSERT_TRUE(write_whole_file(log, text_bytes(text)));

  ASSERT_TRUE(write_whole_file(scratch.source + "files/VERSION.txt", text_bytes("2\n")));
  ASSERT_TRUE(runs.pack("patch_check = $HERE\nlog = $HERE/patch\n"));
  EXPECT_EQ(runs.install(), 0) << read_whole_text(runs.output);
  EXPECT_EQ(read_whole_text(scratch.installed("VERSION.txt")), "2\n");
  std::vector<std::string> update_log = read_lines(scratch.installed("patch/install_log.txt"));
  ASSERT_GT(update_log.size(), 4u);
  EXPECT_EQ(update_log[4], "Settings: 0 0 " + runs.location);
  EXPECT_EQ(update_log.back(), "Installation completed without any errors.");
  EXPECT_EQ(read_whole_text(log), text);
}

#ifndef _WIN32
// Requests to end a single-file installer that reach it as its copy of the package is made, and as
// the copy takes the name "installer.pkg", are taken at once: one ends the run as interrupted (status
// 1), its private folder removed; two (two presses of Ctrl+C) end it at once, by the signal, and take
// the copy with them, its private folder keeping nothing but its lock (the next run removes the folder).
TEST(InstallerAttached, RequestsAsTheCopyIsMadeOrNamedLeaveNoCopy) {
  REQUIRE_FOLLOWING();
  INSTALLER_SCRATCH scratch("attached-two-requests");
  scratch.name_destination_from_root();
  std::string error, setup = scratch.root + "setup";
  ASSERT_TRUE(package_builder::build_installer(scratch.source + "description.txt",
                                               WINDOW_SCENARIO::built_program("installer"), setup, &error))
      << error;
  // The names of the files in the run's private folders, its copy's "XXXXXXXX.tmp" among them.
  auto copy_files = [&]() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.root + "tmp"))
      if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
  };
  for (const std::string moment : {".tmp", "installer.pkg"}) {
    for (const std::vector<int>& signals : {std::vector<int>{SIGINT}, std::vector<int>{SIGINT, SIGINT}}) {
      std::filesystem::remove_all(scratch.root + "tmp");
      std::filesystem::create_directories(scratch.root + "tmp");
      auto reached = [&](int) {
        for (const std::string& name : copy_files())
          if (name.size() >= moment.size() && name.compare(name.size() - moment.size(), moment.size(), moment) == 0)
            return true;
        return false;
      };
      POINT_RUN run = run_to_point({setup, "-a"}, program_environment(scratch.root), scratch.root + "err", reached,
                                   signals);
      EXPECT_EQ(run.outcome, POINT_RUN::REACHED) << moment;
      if (signals.size() == 1) {
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << moment << ": " << run.status;
        EXPECT_EQ(copy_files(), std::set<std::string>{}) << moment;
      } else {
        EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGINT) << moment << ": " << run.status;
        EXPECT_EQ(copy_files(), std::set<std::string>{"velk-run.lock"}) << moment;
      }
    }
  }
}
#endif

TEST(InstallerAttached, IncompressibleRecordsAndEveryEndAroundTheBufferSize) {
  ATTACHED_FIXTURE fixture("attached-edges");
  // Random bytes do not shrink: their compressed records are longer than the chunk.
  std::vector<INT_U8> noise(3 * 4096 + 17);
  INT_U32 seed = 12345;
  for (INT_U8& byte : noise) {
    seed = seed * 1103515245u + 12345u;
    byte = (INT_U8)(seed >> 16);
  }
  fixture.package = noise;
  INT_U32 position = 0;
  std::string message;
  ASSERT_TRUE(fixture.attach("noise.exe", attached_data(noise, 4096, true), &position));
  ASSERT_EQ(fixture.copy("noise.exe", position, &message), ATTACHED_COPIED) << message;
  EXPECT_EQ(read_whole_file(fixture.copy_path()), fixture.expected_copy());

  // Payloads whose data end just before, on and after multiples of the 1 KiB buffer.
  for (size_t size = 1024 * 3 - 12; size <= 1024 * 3 + 12; size++) {
    fixture.package.assign(noise.begin(), noise.begin() + (long)size);
    ASSERT_TRUE(fixture.attach("edge.exe", attached_data(fixture.package, 1024, false), &position));
    ASSERT_EQ(fixture.copy("edge.exe", position, &message), ATTACHED_COPIED) << size << ": " << message;
    EXPECT_EQ(read_whole_file(fixture.copy_path()), fixture.expected_copy()) << size;
  }
}

TEST(InstallerAttached, DamagedDataFailsClearlyAndLeavesNoCopy) {
  ATTACHED_FIXTURE fixture("attached-damaged");
  database->attached_package = 0;
  FOLDER before(database->data_folder);
  struct CASE {
    const char* what;
    std::vector<INT_U8> data;
    const char* message;
  };
  std::vector<CASE> cases;
  std::vector<INT_U8> data = attached_data(fixture.package, 0, false, 4096);
  cases.push_back({"chunk size 0", data, "chunk size 0 is out of range"});
  data = attached_data(fixture.package, 0x7FFFFFFF, false, 4096);
  cases.push_back({"huge chunk size", data, "is out of range"});
  data = attached_data(fixture.package, 4096, true);
  data[10 + 4] ^= 0xFF;  // inside the first zlib stream's header
  data[10 + 5] ^= 0xFF;
  cases.push_back({"bad stream", data, "does not inflate"});
  data = attached_data(fixture.package, 4096, false);
  data.resize(data.size() - 10);
  cases.push_back({"cut record", data, "runs past the end"});
  data = attached_data(fixture.package, 4096, false);
  data.push_back(0);
  data.push_back(0);
  cases.push_back({"cut length", data, "is cut off"});
  data = {0, 0, 0};
  cases.push_back({"no chunk size", data, "ends before its first record"});
  data = {1, 0, 0, 0, 0};
  cases.push_back({"cut splash", data, "splash block is damaged"});

  for (const CASE& c : cases) {
    INT_U32 position = 0;
    ASSERT_TRUE(fixture.attach("damaged.exe", c.data, &position)) << c.what;
    std::string message;
    EXPECT_EQ(fixture.copy("damaged.exe", position, &message), ATTACHED_FAILED) << c.what;
    EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
    EXPECT_NE(message.find("The installation data attached to the program cannot be used"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(fixture.copy_path())) << c.what;
    EXPECT_EQ(database->attached_package, 0) << c.what;
    EXPECT_TRUE(database->data_folder.equals(&before)) << c.what;
  }
}

// A record length of 2^31 or more is damaged: the copy fails naming that record, rather than taking it
// for an empty record and reading its bytes as the next record's length.
TEST(InstallerAttached, ARecordLengthPast31BitsIsDamagedAndNamed) {
  ATTACHED_FIXTURE fixture("attached-length");
  database->attached_package = 0;
  const struct {
    INT_U8 length[4];
    const char* shown;
  } cases[] = {{{0x80, 0x00, 0x00, 0x00}, "2147483648"}, {{0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"}};
  for (const auto& c : cases) {
    // No splash, chunk 4096, plain records: "abc", the damaged one, then bytes that would read as a third.
    std::vector<INT_U8> data = {0, 0x00, 0x00, 0x10, 0x00, 0, 0x00, 0x00, 0x00, 0x03, 'a', 'b', 'c'};
    data.insert(data.end(), c.length, c.length + 4);
    data.insert(data.end(), {0x00, 0x00, 0x00, 0x05, 'x'});
    INT_U32 position = 0;
    ASSERT_TRUE(fixture.attach("length.exe", data, &position));
    std::string message;
    EXPECT_EQ(fixture.copy("length.exe", position, &message), ATTACHED_FAILED);
    EXPECT_EQ(message, std::string("The installation data attached to the program cannot be used: record 2 is "
                                   "damaged (its length ") + c.shown + " is out of range).");
    EXPECT_FALSE(std::filesystem::exists(fixture.copy_path()));
    EXPECT_EQ(database->attached_package, 0);
  }
}

TEST(InstallerAttached, SplashBlockWithoutTitleUsesThePleaseWaitWindow) {
  ATTACHED_FIXTURE fixture("attached-splash");
  // The splash block's streams are most significant byte first.
  MEMORY_DEVICE device;
  device.swap_bytes = 1;
  INT_U8 flag = 1;
  device.write(&flag, 1);
  ASSERT_TRUE(image_cache->put_to_data_device(&device));
  IMAGE splash(12, 8);
  COLOUR grey = 0xFF808080;
  splash.clear(&grey, 1);
  ASSERT_TRUE(splash.put_to_data_device(&device));
  for (INT_U16 value : {2, 3, 8, 4}) ASSERT_TRUE(device.write_u16(value));
  VELK_STRING title;
  ASSERT_TRUE(title.put_to_data_device(&device));
  WM_STYLE_SET style;
  style.object_colour = 0xFF112233;
  ASSERT_TRUE(style.put_to_data_device(&device));
  std::vector<INT_U8> data = device.bytes;
  std::vector<INT_U8> records = attached_data(fixture.package, 2048, true);
  data.insert(data.end(), records.begin() + 1, records.end());  // without the second splash flag

  INT_U32 position = 0;
  ASSERT_TRUE(fixture.attach("splash.exe", data, &position));
  std::string message;
  ASSERT_EQ(fixture.copy("splash.exe", position, &message), ATTACHED_COPIED) << message;
  EXPECT_EQ(read_whole_file(fixture.copy_path()), fixture.expected_copy());
  close_main_window(-1);
}

#ifndef _WIN32
// An installer program with its package attached starts, copies it out, loads it and ends cleanly,
// deleting the copy; damaged attached data ends the start with a message and status 2.
TEST(InstallerAttached, AttachedInstallerProgramStartsAndEnds) {
  ATTACHED_FIXTURE fixture("attached-program", true);
  // The installer as the scenarios build it, which a real-window scenario can pace.
  fixture.program = read_whole_file(WINDOW_SCENARIO::built_program("installer"));
  ASSERT_FALSE(fixture.program.empty());
  INT_U32 position = 0;
  ASSERT_TRUE(fixture.attach("setup", attached_data(fixture.package, 8192, true), &position));
  std::string setup = fixture.scratch.root + "setup";
  std::filesystem::permissions(setup, std::filesystem::perms::owner_all);
  std::string environment = "env -u DISPLAY VELK_HEADLESS=1 HOME='" + fixture.scratch.root + "home' XDG_CONFIG_HOME='" +
                            fixture.scratch.root + "home/config' XDG_DATA_HOME='" + fixture.scratch.root +
                            "home/data' TMPDIR='" + fixture.scratch.root + "tmp' VELK_UNATTENDED=1 ";
  std::string output = fixture.scratch.root + "output.txt";
  // The wizard starts on the copy and ends through its quit question.
  quit_attached_program(fixture.scratch, setup, program_environment(fixture.scratch.root));
  // The copy was made in "$temp" and deleted at the end.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(fixture.scratch.root + "tmp"))
    EXPECT_NE(entry.path().filename().string(), "installer.pkg") << entry.path();

  std::vector<INT_U8> damaged = attached_data(fixture.package, 8192, true);
  damaged[12] ^= 0xFF;
  damaged[13] ^= 0xFF;
  ASSERT_TRUE(fixture.attach("setup", damaged, &position));
  std::filesystem::permissions(setup, std::filesystem::perms::owner_all);
  EXPECT_EQ(run_command(environment + "'" + setup + "' >'" + output + "' 2>&1"), 2);
  EXPECT_NE(read_whole_text(output).find("does not inflate"), std::string::npos) << read_whole_text(output);

  // Attached data that copies out whole but is no package: the start fails, and the copy goes with it.
  std::vector<INT_U8> no_package(3000, 'x');
  ASSERT_TRUE(fixture.attach("setup", attached_data(no_package, 1024, false), &position));
  std::filesystem::permissions(setup, std::filesystem::perms::owner_all);
  EXPECT_EQ(run_command(environment + "'" + setup + "' >'" + output + "' 2>&1"), FATAL_EXIT_STATUS);
  EXPECT_NE(read_whole_text(output).find("No installation data found!"), std::string::npos) << read_whole_text(output);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(fixture.scratch.root + "tmp"))
    EXPECT_NE(entry.path().filename().string(), "installer.pkg") << entry.path();
}
#endif

#ifdef _WIN32
// installer.exe with its package attached starts, copies it out, loads it and ends cleanly.
TEST(InstallerAttached, AttachedWindowsProgramStartsAndEnds) {
  ATTACHED_FIXTURE fixture("attached-program-win", true);
  // The installer as the scenarios build it, which a real-window scenario can pace.
  fixture.program = read_whole_file(WINDOW_SCENARIO::built_program("installer"));
  ASSERT_FALSE(fixture.program.empty());
  INT_U32 position = 0;
  ASSERT_TRUE(fixture.attach("setup.exe", attached_data(fixture.package, 8192, true), &position));
  std::string output = fixture.scratch.root + "output.txt";
  std::string command = "\"\"" + fixture.scratch.root + "setup.exe\" >\"" + output + "\" 2>&1\"";
  // The wizard starts on the copy and ends through its quit question.
  quit_attached_program(fixture.scratch, fixture.scratch.root + "setup.exe", program_environment(fixture.scratch.root));

  std::vector<INT_U8> damaged = attached_data(fixture.package, 8192, true);
  damaged[12] ^= 0xFF;
  damaged[13] ^= 0xFF;
  ASSERT_TRUE(fixture.attach("setup.exe", damaged, &position));
  EXPECT_EQ(run_command(command), 2);
  EXPECT_NE(read_whole_text(output).find("does not inflate"), std::string::npos) << read_whole_text(output);
}
#endif
