// Tests of the installer program itself, run as a process of its own: automatic mode, help and
// command-line errors with their exit statuses, messages that name what they tried, host paths answered
// with the drive-root form, a backslash in "-x" on either host and the package "-a" opened, arguments and folders outside ASCII, the default-path trace, where "-v" says
// the locations lie, a private "$TEMP", packages too large or asking for too much memory, an interactive
// start that cannot open its window or load its font, and installer.exe under Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "errors.h"
#include "files.h"
#include "folder.h"
#include "installer_test_support.h"
#include "package.h"
#include "registry.h"
#include "installer_install_support.h"

#ifdef _WIN32
#include <windows.h>

#include "shell_link_test_support.h"
#include "window_scenario.h"
#else
#include <unistd.h>
#endif

#ifndef _WIN32
// The installer program itself: automatic mode, help and command-line errors with their statuses.
TEST(InstallerProgram, OneShotModesEndWithTheirExitStatus) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  ASSERT_TRUE(std::filesystem::exists(installer));
  INSTALLER_SCRATCH scratch("program");
  std::string environment = "HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + scratch.root +
                            "home/config' XDG_DATA_HOME='" + scratch.root + "home/data' XDG_DESKTOP_DIR='" +
                            scratch.root + "home/Desktop' TMPDIR='" + scratch.root + "tmp' ";
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command(environment + "'" + installer + "' " + arguments + " >'" + output + "' 2>&1");
  };
  // The named path of the test process means nothing to the program: absolute texts from $ROOT0.
  std::string package = "'$ROOT0" + scratch.package + "installer.xml'";

  EXPECT_EQ(run("-h"), 0);
  EXPECT_NE(read_whole_text(output).find("\t-a\t- Automatic mode (non interactive)\n"), std::string::npos);

  // The package names its destination from the drive root, which the program resolves.
  std::string description = scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  EXPECT_EQ(run("-x " + package + " -a"), 0);
  EXPECT_NE(read_whole_text(output).find("Done\n"), std::string::npos);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;

  // A folder part that does not exist is an error, never a fall-back to a parent folder.
  EXPECT_EQ(run("-x '$ROOT0" + scratch.root + "missing/installer.xml' -a"), 2);
  EXPECT_NE(read_whole_text(output).find("does not exist"), std::string::npos);
  EXPECT_EQ(run("-x '$NOSUCHVARIABLE/installer.xml' -a"), 2);  // an unknown variable names no folder
  EXPECT_NE(read_whole_text(output).find("ERROR: \"$NOSUCHVARIABLE\" is no path variable this program knows"),
            std::string::npos);
  // No package in the data folder, and a damaged package: the job cannot start.
  EXPECT_EQ(run("-x '$ROOT0" + scratch.root + "installer.xml' -a"), 2);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n"), std::string::npos);
  EXPECT_EQ(read_whole_text(output).find("Done"), std::string::npos);
  std::vector<INT_U8> bytes = read_whole_file(scratch.package + "installer.pkg");
  bytes.resize(bytes.size() / 2);
  ASSERT_TRUE(write_whole_file(scratch.package + "installer.pkg", bytes));
  EXPECT_EQ(run("-x " + package + " -a"), 2);
  // A destination naming a path variable the program does not know: the database is not loaded (no
  // fatal error), and nothing is installed. (The packer takes only variables it knows: this process
  // knows it.)
  description.replace(description.find("$ROOT0" + scratch.root + "dest"), 6 + scratch.root.size() + 4, "$NOSUCHVARIABLE/dest");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  FOLDER known;
  set_named_path("$NOSUCHVARIABLE", &known);
  ASSERT_TRUE(scratch.build());
  EXPECT_EQ(run("-x " + package + " -a"), 2);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n"), std::string::npos);
  EXPECT_NE(read_whole_text(output).find("unknown path variable in \"$NOSUCHVARIABLE/dest\""), std::string::npos);
  // "-d" without its second name.
  EXPECT_EQ(run("-d first.pkg"), 2);
  EXPECT_NE(read_whole_text(output).find("Second file was not supplied\n"), std::string::npos);
}
#endif

#ifndef _WIN32
// What the program says names what it tried: "-h" gives each option a line of what it does, a host path
// given to "-x" is answered with the form it takes, and "-d" names the package it could not load.
TEST(InstallerProgram, MessagesNameWhatTheyTriedAndTheFormsTheyTake) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-messages");
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" +
                       scratch.root + "tmp' '" + binary_dir + "/installer' " + arguments + " >'" + output + "' 2>&1");
  };
  EXPECT_EQ(run("-h"), 0);
  std::vector<std::string> help = read_lines(output);
  const char* const options[] = {"\t-h\t- Show help",  "\t-a\t- Automatic mode (non interactive)",
                                 "\t-v\t- Be verbose", "\t-s\t- Generate skin",
                                 "\t-x\t- XML File",   "\t-p\t- Platform filter",
                                 "\t-d\t- Diff files (used for patching)"};
  ASSERT_EQ(help.size(), 3 + 2 * 7 + 1);
  for (size_t i = 0; i < 7; i++) {
    EXPECT_EQ(help[3 + 2 * i], options[i]);
    EXPECT_EQ(help[4 + 2 * i].compare(0, 4, "\t\t  "), 0) << help[4 + 2 * i];
    EXPECT_GT(help[4 + 2 * i].size(), 10u);
  }
  EXPECT_EQ(help.back(), "");

  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::string folder = scratch.package.substr(0, scratch.package.size() - 1);
  EXPECT_EQ(run("-x '" + folder + "/installer.xml' -a"), 2);
  const std::string expected = "\"-x\" takes a file name in the folder that holds \"installer.pkg\" (the name itself "
                               "need not exist)\n";
  EXPECT_EQ(read_whole_text(output), "ERROR: \"" + folder + "/installer.xml\" is a path of this computer: give it from "
                                     "the drive root, as \"$ROOT0\" followed by the path: \"$ROOT0" + folder +
                                     "/installer.xml\"\n" + expected);
  // "-x" naming the package's folder itself, with or without a '/' after it: where the installer looked
  // and what it expects there.
  EXPECT_EQ(run("-x '$ROOT0" + folder + "' -a"), 2);
  EXPECT_EQ(read_whole_text(output), "Loading automatic pack...\nERROR: unable to load data\n" + scratch.root +
                                         "installer.pkg: the package \"installer.pkg\" cannot be opened (No such file "
                                         "or directory)\n\"$ROOT0" + folder + "\" is a folder: for the package in it, "
                                         "give \"$ROOT0" + folder + "/installer.xml\"\n" + expected);
  EXPECT_EQ(run("-x '$ROOT0" + folder + "/' -a"), 2);
  EXPECT_EQ(read_whole_text(output), "ERROR: \"$ROOT0" + folder + "/\" names a folder and no file in it: give a file "
                                     "name in that folder, e.g. \"$ROOT0" + folder + "/installer.xml\"\n" + expected);
  EXPECT_EQ(run("-d '$ROOT0" + folder + "/none.pkg=$ROOT0" + folder + "/installer.pkg'"), 2);
  EXPECT_NE(read_whole_text(output).find("Failed to load first database\n\t" + folder +
                                         "/none.pkg: the package \"none.pkg\" cannot be opened (No such file or "
                                         "directory)\n"),
            std::string::npos)
      << read_whole_text(output);
  EXPECT_EQ(run("-d '$ROOT0" + folder + "/installer.pkg=" + folder + "/second.pkg'"), 2);
  EXPECT_NE(read_whole_text(output).find("Failed to load second database\n\t\"" + folder + "/second.pkg\" is a path"),
            std::string::npos)
      << read_whole_text(output);
}
#endif

// A path of the host's own form is answered with the path-variable form that names it; a folder that
// does not exist is named as the path it would be, below the folder that "$HERE" stands for; a text
// that names no file gets one to give.
TEST(InstallerProgram, HostPathsAreAnsweredWithTheDriveRootForm) {
  FOLDER here;
  std::strcpy(here.path, PATH_SEPARATOR == '/' ? "/srv/data" : "C:\\data");
  const std::string missing = PATH_SEPARATOR == '/' ? "/srv/data/missing" : "C:\\data\\missing";
  EXPECT_EQ(file_argument_problem("missing/x.skin", &here),
            "the folder \"" + missing + "\" of \"missing/x.skin\" does not exist");
  EXPECT_EQ(file_argument_problem("$HERE/missing/../missing/x.skin", &here),
            "the folder \"" + missing + "\" of \"$HERE/missing/../missing/x.skin\" does not exist");
  EXPECT_EQ(file_argument_problem("$TEMP", &here, "installer.xml"),
            "\"$TEMP\" names a folder and no file in it: give a file name in that folder, e.g. \"$TEMP/installer.xml\"");
  EXPECT_EQ(file_argument_problem("$NOWHERE/x.skin", &here), "\"$NOWHERE\" is no path variable this program knows (in "
                                                             "\"$NOWHERE/x.skin\")");
  // A variable whose folder is nowhere (no icons folder up the tree of a base path) names none: not a
  // folder below the program's.
  FOLDER base;
  ASSERT_TRUE(base.set_if_folder(make_scratch_folder("program-no-icons").c_str()));
  set_base_path(&base, nullptr);
  EXPECT_EQ(file_argument_problem("$ICONDATA/x/y.skin", &here),
            "\"$ICONDATA\" names no folder that this computer has (in \"$ICONDATA/x/y.skin\")");
  reset_base_path();
  EXPECT_EQ(file_argument_problem("/srv/package/installer.xml"),
            "\"/srv/package/installer.xml\" is a path of this computer: give it from the drive root, as \"$ROOT0\" "
            "followed by the path: \"$ROOT0/srv/package/installer.xml\"");
  std::string windows = file_argument_problem("C:\\Package\\installer.xml");
  EXPECT_NE(windows.find(" is a path of this computer: give it from the drive root, as \"$ROOT"), std::string::npos);
  EXPECT_EQ(windows.substr(windows.size() - 23), "/Package/installer.xml\"") << windows;
  // A server's share has no drive root of its own: only a drive that it is mapped to.
  EXPECT_EQ(file_argument_problem("\\\\server\\share\\pkg\\installer.xml"),
            "\"\\\\server\\share\\pkg\\installer.xml\" is a network path: give it from the root of a drive that its "
            "share is mapped to, as \"$ROOT\" and that drive's number followed by the path in the share: "
            "\"/pkg/installer.xml\"");
  // A path with the prefix "\\?\" or "\\.\" is answered as the path without it; a share's through "UNC".
  for (const char* prefix : {"\\\\?\\", "\\\\.\\"}) {
    std::string said = file_argument_problem((std::string(prefix) + "C:\\x\\installer.xml").c_str());
    const std::string plain = std::string("\"") + prefix + "C:\\x\\installer.xml\" is \"C:\\x\\installer.xml\" with the " +
                              "prefix \"" + prefix + "\"; \"C:\\x\\installer.xml\" is a path of this computer: give it " +
                              "from the drive root, as";
    EXPECT_EQ(said.rfind(plain, 0), 0u) << said;
    EXPECT_EQ(said.substr(said.size() - 17), "/x/installer.xml\"") << said;
  }
  EXPECT_EQ(file_argument_problem("\\\\?\\UNC\\server\\share\\x.xml"),
            "\"\\\\?\\UNC\\server\\share\\x.xml\" is \"\\\\server\\share\\x.xml\" with the prefix \"\\\\?\\UNC\\\"; "
            "\"\\\\server\\share\\x.xml\" is a network path: give it from the root of a drive that its share is mapped "
            "to, as \"$ROOT\" and that drive's number followed by the path in the share: \"/x.xml\"");
  // Where the drives have letters, one that the computer does not have is said so, with those it has.
  std::string drives;
  for (INT_S32 i = 0; i < get_drive_count(); i++) {
    const char* root = get_drive_root_text((INT_S16)i);
    if (root[1] == ':') drives += std::string(drives.empty() ? "" : ", ") + "\"$ROOT" + std::to_string(i) + "\" " + root[0] + ":";
  }
  if (!drives.empty() && drives.find(" Q:") == std::string::npos) {
    EXPECT_EQ(file_argument_problem("Q:\\pkg\\installer.xml"),
              "\"Q:\\pkg\\installer.xml\" names the drive Q:, which this computer does not have (its drives: " + drives + ")");
  }
  // A drive number past the computer's drives is said so, with the drives it has; not a folder that it
  // does not name.
  if (drives.empty()) drives = "\"$ROOT0\" /";
  for (std::string number : {std::to_string(get_drive_count()), std::string("99999")}) {
    EXPECT_EQ(file_argument_problem(("$ROOT" + number + "/pkg/installer.xml").c_str(), &here),
              "\"$ROOT" + number + "\" names a drive this computer does not have (its drives: " + drives + ")");
  }
}

// A backslash in "-x" separates folders on Windows as '/' does: a relative name is taken from the data
// folder ("data" beside a program whose system folder does not exist), not as one file name in it, which
// loaded the package there. Elsewhere it is refused with the form to give. The first lines of "-a" name
// the package that was opened, without the "." folders of the name.
TEST(InstallerProgram, ABackslashInXSeparatesFoldersOnWindowsAndIsRefusedElsewhere) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-backslash");
  std::string output = scratch.root + "output.txt";
#ifdef _WIN32
  const std::string installer = binary_dir + "/installer.exe", program = scratch.root + "prog\\backslash-x.exe";
  const std::string other = scratch.root + "prog\\data\\other\\";
  std::string description = read_whole_text(scratch.source + "description.txt");
  std::filesystem::create_directories(scratch.root + "dest");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root + "dest"));
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  auto run = [&](const std::string& arguments) {
    return run_command("\"\"" + program + "\" " + arguments + " >\"" + output + "\" 2>&1\"");
  };
#else
  const std::string installer = binary_dir + "/installer", program = scratch.root + "prog/backslash-x";
  const std::string other = scratch.root + "prog/data/other/";
  scratch.name_destination_from_root();
  auto run = [&](const std::string& arguments) {
    return run_command("HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" +
                       scratch.root + "tmp' '" + program + "' " + arguments + " >'" + output + "' 2>&1");
  };
#endif
  ASSERT_TRUE(scratch.build());
  std::filesystem::create_directories(other);
  std::filesystem::copy_file(installer, program);
  std::filesystem::rename(scratch.package + "installer.pkg", other + "installer.pkg");
  ASSERT_TRUE(write_whole_file(other + "../installer.pkg", text_bytes("not this one")));
  auto said = [&]() {
    std::string text = read_whole_text(output);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  };
  const std::string opened = "Loading automatic pack...\nPackage: \"" + other + "installer.pkg\"\n";
#ifdef _WIN32
  EXPECT_EQ(run("-x other\\installer.xml -a"), 0);
#else
  EXPECT_EQ(run("-x 'other\\installer.xml' -a"), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(said(), "ERROR: \"other\\installer.xml\" separates folders with '\\', which this computer does not: give "
                    "them with '/', as \"other/installer.xml\"\n\"-x\" takes a file name in the folder that holds "
                    "\"installer.pkg\" (the name itself need not exist)\n");
  EXPECT_FALSE(std::filesystem::exists(scratch.destination));
  EXPECT_EQ(run("-x other/installer.xml -a"), 0);
#endif
  EXPECT_EQ(said().rfind(opened, 0), 0u) << said();
  EXPECT_EQ(read_whole_file(scratch.installed("bin/data.bin")), all_byte_values(40));
  // A "." folder is the folder reached: the path named and used has none.
#ifdef _WIN32
  EXPECT_EQ(run("-x .\\other\\.\\installer.xml -a"), 0);
#else
  EXPECT_EQ(run("-x ./other/./installer.xml -a"), 0);
#endif
  EXPECT_EQ(said().rfind(opened, 0), 0u) << said();
}

// Start-up failures are said alike on both hosts. A "-x" that is a path of the computer (of a drive, with
// '\\' or '/', or of a server) is refused at once, with or without "-a", with the form to give; a package
// that is not found is one message that names the folder and the file looked for, ending with the
// fatal status; "-v" prints its folders before it. A package refused as damaged ends either start as
// one that could not begin.
TEST(InstallerProgram, StartUpFailuresAreSaidAlikeOnBothHosts) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-start");
  std::string output = scratch.root + "output.txt";
  std::string empty = scratch.root + "empty";
  std::filesystem::create_directories(empty);
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(empty.c_str()));
#ifdef _WIN32
  const std::string installer = std::filesystem::absolute(binary_dir + "/installer.exe").string();
  auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
  auto run = [&](const std::string& arguments) {
    return run_command("\"\"" + installer + "\" " + arguments + " >\"" + output + "\" 2>&1\"");
  };
  const std::string empty_text = root_text(empty), scratch_text = root_text(scratch.root);
#else
  auto quoted = [](const std::string& text) { return "'" + text + "'"; };
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY VELK_HEADLESS=1 HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root +
                       "home/data' TMPDIR='" + scratch.root + "tmp' '" + binary_dir + "/installer' " + arguments +
                       " >'" + output + "' 2>&1");
  };
  const std::string empty_text = "$ROOT0" + empty;
  const std::string scratch_text = "$ROOT0" + scratch.root.substr(0, scratch.root.size() - 1);
#endif
  const std::string expected = "\"-x\" takes a file name in the folder that holds \"installer.pkg\" (the name itself "
                               "need not exist)\n";
  for (const std::string argument :
       {"C:\\w9\\pkg\\quitcopy\\installer.xml", "C:/w9/pkg/quitcopy/installer.xml", "\\\\server\\share\\pkg\\installer.xml"}) {
    for (const std::string mode : {"-a ", ""}) {
      EXPECT_EQ(run(mode + "-x " + quoted(argument)), EXIT_JOB_NOT_STARTED) << mode << argument;
      EXPECT_EQ(read_whole_text(output), "ERROR: " + file_argument_problem(argument.c_str()) + "\n" + expected);
    }
  }
  // The drive of C: by its number.
  std::string drive = "0";
  for (INT_S32 i = 0; i < get_drive_count(); i++)
    if ((get_drive_root_text((INT_S16)i)[0] | 0x20) == 'c') drive = std::to_string(i);
  EXPECT_NE(file_argument_problem("C:\\w9\\pkg\\quitcopy\\installer.xml")
                .find("\"$ROOT" + drive + "/w9/pkg/quitcopy/installer.xml\""),
            std::string::npos);

  // No package in the folder that "-x" names: one message, in the wizard's start as "-v" makes it too.
  const std::string looked = "No installation data found!: The installer looked for its package \"installer.pkg\" in "
                             "the folder \"" + std::string(folder.path) + "\": the package \"installer.pkg\" cannot be "
                             "opened (";
  const std::string advice = ").\nMake sure you have got all required files.\n";
  for (const std::string mode : {"", "-v "}) {
    EXPECT_EQ(run(mode + "-x " + quoted(empty_text + "/installer.xml")), FATAL_EXIT_STATUS) << mode;
    std::string text = read_whole_text(output);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());  // Windows' standard error in text mode
    size_t at = text.find(looked);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - advice.size()), advice) << text;
    EXPECT_EQ(text.find("No installation data found!", at + 1), std::string::npos) << text;
    EXPECT_EQ(text.find("Fatal error"), std::string::npos) << text;
    // "-v" prints the folders of the path variables first, as they resolve.
    if (mode.empty()) continue;
    EXPECT_EQ(text.rfind("$APP => ", 0), 0u) << text;
    EXPECT_LT(text.find("\n$ROOT0 => "), at) << text;
  }

  // A package whose log leads out of the install location: no folder, no log (nor a window the screen holds).
  std::string description = read_whole_text(scratch.source + "description.txt") + "minimum_size = 30000;30000\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt",
                               text_bytes(description.replace(description.find("$SCRATCH"), 8, scratch_text))));
  auto database = load_or_fail(scratch);
  ASSERT_TRUE(database);
  std::strcpy(database->LOG.dest_path_from_inst_loc, "$HERE/../logs");
  ASSERT_TRUE(scratch.store(database.get()));
  const std::string damaged = scratch.package + "installer.pkg: the package is damaged or was not made by the "
                              "packer: log's folder leads out of the install location: $HERE/../logs";
  EXPECT_EQ(run("-a -x " + quoted(scratch_text + "/package/installer.xml")), EXIT_JOB_NOT_STARTED);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n" + damaged + "\n"), std::string::npos);
  EXPECT_EQ(run("-x " + quoted(scratch_text + "/package/installer.xml")), EXIT_JOB_NOT_STARTED);
  EXPECT_NE(read_whole_text(output).find("Installation data damaged: " + damaged + "."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "dest") || std::filesystem::exists(scratch.root + "logs"));
}

// A package made for a computer with more drives (its default_path on "$ROOT" and a number past this
// computer's drives, which the packer takes) is refused at either start before anything is written, with
// the drives this computer has and the status of a start that could not begin: nothing goes below the
// installer's own folder.
TEST(InstallerProgram, ADriveTheComputerLacksIsRefusedAtEitherStart) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-missing-drive");
  const std::string output = scratch.root + "output.txt", folder = scratch.root + "prog";
  std::filesystem::create_directories(folder);
#ifdef _WIN32
  const std::string program = folder + "\\drive.exe";
  std::filesystem::copy_file(binary_dir + "/installer.exe", program);
  auto run = [&](const std::string& arguments) {
    return run_command("\"\"" + program + "\" " + arguments + " >\"" + output + "\" 2>&1\"");
  };
  const std::string package_text = "\"" + root_text(scratch.package) + "/installer.xml\"";
#else
  const std::string program = folder + "/drive";
  std::filesystem::copy_file(binary_dir + "/installer", program);
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY VELK_HEADLESS=1 HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root +
                       "home/data' TMPDIR='" + scratch.root + "tmp' '" + program + "' " + arguments + " >'" + output +
                       "' 2>&1");
  };
  const std::string package_text = "'$ROOT0" + scratch.package + "installer.xml'";
#endif
  const std::string missing = "$ROOT" + std::to_string(get_drive_count());
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, missing + "/w13/r5");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::string drives;
  for (INT_S32 i = 0; i < get_drive_count(); i++) {
    const char* root = get_drive_root_text((INT_S16)i);
    drives += std::string(drives.empty() ? "" : ", ") + "\"$ROOT" + std::to_string(i) + "\" " +
              (root[1] == ':' ? std::string(1, root[0]) + ":" : std::string(root));
  }
  const std::string refused = "default_path of the installation \"Test App\": \"" + missing + "\" names a drive this "
                              "computer does not have (its drives: " + drives + "): " + missing + "/w13/r5; nothing "
                              "was installed";
  auto said = [&]() {
    std::string text = read_whole_text(output);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  };
  EXPECT_EQ(run("-a -x " + package_text), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(said(), "Loading automatic pack...\nPackage: \"" + scratch.package + "installer.pkg\"\nERROR: " + refused + "\n");
  EXPECT_EQ(run("-x " + package_text), EXIT_JOB_NOT_STARTED);
  EXPECT_NE(said().find("Drive not found: " + scratch.package + "installer.pkg: " + refused + ".\n"), std::string::npos)
      << said();
  std::vector<std::string> beside;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) beside.push_back(entry.path().filename().string());
  EXPECT_EQ(beside, std::vector<std::string>{std::filesystem::path(program).filename().string()});
}

// A folder of "-x" whose path is too long for the program's paths (2047 characters, a file's name in it
// included) is named whole and said to be too long, with or without "-a": one far longer, and one that
// fits alone but not with "installer.pkg" in it, though the name given ("x") would; and the folder of
// "-s" where the skin file's path would not fit.
TEST(InstallerProgram, ALongFolderOfXIsNamedWholeAndSaidToBeTooLong) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-long");
  std::string output = scratch.root + "output.txt";
  std::string longer = scratch.root + "long", fitting;
  while (longer.size() < 2200) {
    if (longer.size() + 201 > 2040 && fitting.empty())
      fitting = longer + PATH_SEPARATOR + std::string(2040 - longer.size() - 1, 'f');
    longer += PATH_SEPARATOR + std::string(200, 'l');
  }
#ifdef _WIN32
  // Paths past 259 characters through the prefix that hands them to the system as they stand.
  std::filesystem::create_directories("\\\\?\\" + longer);
  std::filesystem::create_directories("\\\\?\\" + fitting);
  const std::string installer = std::filesystem::absolute(binary_dir + "/installer.exe").string();
  auto quoted = [](const std::string& text) { return "\"" + text + "\""; };
  auto run = [&](const std::string& arguments) {
    return run_command("\"\"" + installer + "\" " + arguments + " >\"" + output + "\" 2>&1\"");
  };
#else
  std::filesystem::create_directories(longer);
  std::filesystem::create_directories(fitting);
  auto quoted = [](const std::string& text) { return "'" + text + "'"; };
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY VELK_HEADLESS=1 HOME='" + scratch.root + "home' TMPDIR='" + scratch.root +
                       "tmp' '" + binary_dir + "/installer' " + arguments + " >'" + output + "' 2>&1");
  };
#endif
  // From the drive root, as "-x" takes it.
  auto root_form = [&](const std::string& path) {
#ifdef _WIN32
    std::string rest = path.substr(scratch.root.size());
    for (char& c : rest)
      if (c == '\\') c = '/';
    return root_text(scratch.root) + "/" + rest;
#else
    return "$ROOT0" + path;
#endif
  };
  for (const std::string& folder : {longer, fitting}) {
    const std::string name = folder == longer ? "/installer.xml" : "/x";
    const std::string argument = root_form(folder) + name;
    for (const std::string mode : {"-a ", ""}) {
      EXPECT_EQ(run(mode + "-x " + quoted(argument)), EXIT_JOB_NOT_STARTED) << mode << folder.size();
      EXPECT_EQ(read_whole_text(output),
                "ERROR: the folder \"" + folder + "\" of \"" + argument + "\" is too long (" +
                    std::to_string(folder.size()) + " characters): this program takes paths of at most 2047 "
                    "characters, a file's name in the folder included\n\"-x\" takes a file name in the folder that "
                    "holds \"installer.pkg\" (the name itself need not exist)\n")
          << mode << folder.size();
    }
  }
  // So is the folder of the skin file that "-s" would write, where that file's path would not fit.
  const std::string skin = root_form(fitting) + "/a-skin-file.skin";
  EXPECT_EQ(run("-s " + quoted(skin)), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(read_whole_text(output), "ERROR: the folder \"" + fitting + "\" of \"" + skin + "\" is too long (2040 "
                                     "characters): this program takes paths of at most 2047 characters, a file's name in "
                                     "the folder included\n");
}

#ifndef _WIN32
// The program takes its arguments and its folders from the environment in UTF-8: a package folder, a
// destination and a home named outside ASCII.
TEST(InstallerProgram, ArgumentsAndFoldersOutsideAsciiNameTheirOwnFolders) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-names");
  const std::string packages = scratch.root + "Pakete-\xC3\xA4/", home = scratch.root + "H\xC3\xB6me/";
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, "$ROOT0" + scratch.root + "Ziel-\xC3\xBC");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::filesystem::rename(scratch.package, packages);
  std::string output = scratch.root + "output.txt";
  std::string command = "HOME='" + home + "' XDG_DATA_HOME='" + home + "data' XDG_CONFIG_HOME='" + home +
                        "config' XDG_DESKTOP_DIR='" + home + "Desktop' TMPDIR='" + home + "tmp' '" + binary_dir +
                        "/installer' -x '$ROOT0" + packages + "installer.xml' -a >'" + output + "' 2>&1";
  std::filesystem::create_directories(home + "tmp");
  EXPECT_EQ(run_command(command), 0) << read_whole_text(output);
  const std::string destination = scratch.root + "Ziel-\xC3\xBC/";
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(destination + file), read_whole_file(scratch.source + "files/" + file)) << file;
  EXPECT_EQ(read_lines(destination + "install_log.txt")[4], "Settings: 0 1 $ROOT0" + scratch.root + "Ziel-\xC3\xBC");
  EXPECT_TRUE(std::filesystem::exists(home + "Desktop/Test App.desktop"));
  EXPECT_TRUE(std::filesystem::exists(home + "data/applications/Velk Test Group/Test Guide.desktop"));
}
#endif

#ifndef _WIN32
// The one-time "Starting Default Paths" trace comes with the application's first folder, after the
// library has started: never lost while the debug streams are still being built, never before the
// usage that "-h" prints.
TEST(InstallerProgram, DefaultPathTraceStartsWithTheApplicationsFirstFolder) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  INSTALLER_SCRATCH scratch("program-trace");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + scratch.root +
                       "home/config' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" + scratch.root +
                       "tmp' '" + installer + "' " + arguments + " >'" + output + "' 2>/dev/null");
  };
  auto count = [](const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) found++;
    return found;
  };

  // Stream 2 is the trace: switched on by the library's option, it prints once, with the first folder
  // the application sets while loading its package.
  ASSERT_EQ(run("--velk-showdebug=2 -x '$ROOT0" + scratch.package + "installer.xml' -a"), 0);
  std::string text = read_whole_text(output);
  EXPECT_EQ(text.rfind("Enabling debug channel 2\n", 0), 0u) << text;
  EXPECT_EQ(count(text, "\nStarting Default Paths:\n\n$APP => "), 1u) << text;
  EXPECT_LT(text.find("Starting Default Paths"), text.find("Packing data...")) << text;

  // Switched on by its settings file, it does not come before the usage: "-h" sets no folder.
  std::string settings = scratch.root + "home/config/installer/debug/";
  std::filesystem::create_directories(settings);
  ASSERT_TRUE(write_whole_file(settings + "Default Path Trace_release.cfg", text_bytes("write_to_console\n\t1\n")));
  ASSERT_EQ(run("-h"), 0);
  text = read_whole_text(output);
  EXPECT_EQ(text.rfind("Usage:\n", 0), 0u) << text;
  EXPECT_EQ(text.find("Starting Default Paths"), std::string::npos) << text;
  // With "-v" first the trace is printed at once, before the usage, and once only.
  ASSERT_EQ(run("-v -h"), 0);
  text = read_whole_text(output);
  EXPECT_EQ(text.rfind("$APP => ", 0), 0u) << text;
  EXPECT_EQ(count(text, "$APP => "), 1u) << text;
  EXPECT_NE(text.find("Usage:\n"), std::string::npos) << text;
}
#endif

#ifndef _WIN32
// "-v" says where the package's locations under the system folders' variables lie: the system folder with
// the application's sub-folder, whatever the installer's file is called and whether or not they exist
// yet; a system folder that does not exist is said so (an installation there makes it).
TEST(InstallerProgram, VerboseModeSaysWhereTheLocationsLie) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-locations");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::filesystem::create_directories(scratch.root + "home/data");
  std::filesystem::create_directories(scratch.root + "home/config");
  std::filesystem::copy_file(binary_dir + "/installer", scratch.root + "setup-1.bin");
  std::string output = scratch.root + "output.txt";
  ASSERT_EQ(run_command("env -u DISPLAY HOME='" + scratch.root + "home' XDG_DATA_HOME='" + scratch.root +
                        "home/data' XDG_STATE_HOME='" + scratch.root + "home/state' XDG_CONFIG_HOME='" + scratch.root +
                        "home/config' TMPDIR='" + scratch.root + "tmp' '" + scratch.root + "setup-1.bin' -v -x '$ROOT0" +
                        scratch.package + "installer.xml' -a >'" + output + "' 2>/dev/null"),
            0);
  std::string text = read_whole_text(output);
  const std::string missing = "(its system folder does not exist yet: an installation there makes it)";
  EXPECT_NE(text.find("Install locations of the application \"velk-test-app\":\n$SYSAPP => " + missing +
                      "\n$INSTDATA => " + scratch.root + "home/data/velk-test-app\n$APPDATA => " + scratch.root +
                      "home/data/velk-test-app\n$USERDATA => " + missing + "\n$USERPREFS => " + scratch.root +
                      "home/config/velk-test-app\n"),
            std::string::npos)
      << text;
}

// "$TEMP" is made fresh for each run and removed at its end: a link planted at the old fixed
// temporary folder, or at a font's name in it, is left alone with its target, and another run's
// temporary files are never touched.
TEST(InstallerProgram, TemporaryFolderIsPrivateToTheRun) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = binary_dir + "/installer";
  INSTALLER_SCRATCH scratch("program-temp");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());

  // Another user's trap: the old fixed folder is a link to a folder of theirs, with a link at a font's
  // name to a file of theirs. Another run's private folder holds its copy.
  std::string tmp = scratch.root + "tmp/";
  std::string theirs = scratch.root + "theirs/";
  std::filesystem::create_directories(theirs + "temp");
  ASSERT_TRUE(write_whole_file(theirs + "precious.txt", text_bytes("keep me")));
  ASSERT_EQ(symlink((theirs + "precious.txt").c_str(), (theirs + "temp/DejaVuSans.ttf").c_str()), 0);
  ASSERT_EQ(symlink(theirs.c_str(), (tmp + "installer").c_str()), 0);
  std::filesystem::create_directories(tmp + "installer-Other1");
  ASSERT_TRUE(write_whole_file(tmp + "installer-Other1/installer.pkg", text_bytes("another run's copy")));

  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("env -u DISPLAY HOME='" + scratch.root + "home' XDG_CONFIG_HOME='" + scratch.root +
                       "home/config' XDG_DATA_HOME='" + scratch.root + "home/data' TMPDIR='" + tmp + "' '" +
                       installer + "' " + arguments + " >'" + output + "' 2>&1");
  };
  std::set<std::string> temps;
  for (int i = 0; i < 2; i++) {
    ASSERT_EQ(run("-v -x '$ROOT0" + scratch.package + "installer.xml' -a"), 0) << read_whole_text(output);
    std::string text = read_whole_text(output);
    size_t at = text.find("$TEMP => ");
    ASSERT_NE(at, std::string::npos) << text;
    std::string temp = text.substr(at + 9, text.find(' ', at + 9) - at - 9);
    EXPECT_EQ(temp.rfind(tmp + "installer-", 0), 0u) << temp;
    EXPECT_FALSE(std::filesystem::exists(temp)) << temp << " was left";
    temps.insert(temp);
  }
  EXPECT_EQ(temps.size(), 2u);  // a new folder for each run

  remove_temporary_folder();  // this test's own, made while the package was built
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(tmp)) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"installer", "installer-Other1"}));
  EXPECT_TRUE(std::filesystem::is_symlink(tmp + "installer"));
  EXPECT_TRUE(std::filesystem::is_symlink(theirs + "temp/DejaVuSans.ttf"));
  EXPECT_EQ(read_whole_text(theirs + "precious.txt"), "keep me");
  EXPECT_EQ(read_whole_text(tmp + "installer-Other1/installer.pkg"), "another run's copy");
}
#endif

#ifndef _WIN32
// A package just past 2 GiB (sparse: the real package and a hole) is refused with the load error: it is
// never read through positions that do not move the file, and nothing is written.
TEST(InstallerProgram, PackagePastTwoGigabytesIsRefused) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("program-large");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  std::filesystem::resize_file(scratch.package + "installer.pkg", 0x80000000ull + 44 * 1024);
  std::string output = scratch.root + "output.txt";
  EXPECT_EQ(run_command("env -u DISPLAY HOME='" + scratch.root + "home' TMPDIR='" + scratch.root + "tmp' '" +
                        binary_dir + "/installer' -x '$ROOT0" + scratch.package + "installer.xml' -a >'" + output +
                        "' 2>&1"),
            EXIT_JOB_NOT_STARTED);
  EXPECT_NE(read_whole_text(output).find("ERROR: unable to load data\n"), std::string::npos) << read_whole_text(output);
  EXPECT_FALSE(std::filesystem::exists(scratch.root + "dest"));
  std::filesystem::remove(scratch.package + "installer.pkg");
}
#endif

#ifndef _WIN32
// A package whose stated sizes ask for more memory than the process may have (its block size: one
// 50 MiB block for "database.bin", stored sparse) gives the load error and status 2, never an abort; with
// memory enough the same package loads.
TEST(InstallerProgram, StatedSizesBeyondTheMemoryLimitGiveTheLoadError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a process under AddressSanitizer cannot run with a memory limit; the plain build runs this";
#endif
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  INSTALLER_SCRATCH scratch("program-memory");
  scratch.name_destination_from_root();
  ASSERT_TRUE(scratch.build());
  FOLDER folder;
  std::string package_folder = scratch.package.substr(0, scratch.package.size() - 1);
  ASSERT_TRUE(folder.set_if_folder(package_folder.c_str()));
  {
    PACKAGE package(&folder, "installer.pkg", false, -1, true, false);
    ASSERT_TRUE(package.extract_entry(&folder, "database.bin", "database.bin"));
  }
  std::vector<INT_U8> database_bytes = read_whole_file(scratch.package + "database.bin");
  ASSERT_FALSE(database_bytes.empty());

  // The package by hand: the byte-order byte, header, root record, the one entry record at 54 and its
  // block at 86, whose used field follows the block's data: the rest of the data stays a hole.
  const INT_U32 block_size = PACKAGE_LARGEST_BLOCK_SIZE;
  std::vector<INT_U8> bytes = {0, 'V', 'E', 'L', 'K', 'P', 'K', 'G', 0, 1, 0};
  auto u32 = [&bytes](INT_U32 value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back((INT_U8)(value >> shift));
  };
  for (INT_U32 value : {block_size, 26u, 0u, 0u, 4u}) u32(value);
  bytes.insert(bytes.end(), {'r', 'o', 'o', 't'});
  for (INT_U32 value : {54u, 54u, 0u, 0u, 0u, 12u}) u32(value);
  for (char c : std::string("database.bin")) bytes.push_back((INT_U8)c);
  for (INT_U32 value : {86u, 86u, 0u, (INT_U32)database_bytes.size(), 0u}) u32(value);
  bytes.insert(bytes.end(), database_bytes.begin(), database_bytes.end());
  {
    std::ofstream out(scratch.package + "installer.pkg", std::ios::binary | std::ios::trunc);
    out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    bytes.clear();
    u32((INT_U32)database_bytes.size());
    out.seekp(1 + 86 + 4 + block_size);
    out.write((const char*)bytes.data(), 4);
  }

  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& limit) {
    return run_command("(" + limit + "env -u DISPLAY HOME='" + scratch.root + "home' TMPDIR='" + scratch.root +
                       "tmp' '" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' -a) >'" + output +
                       "' 2>&1");
  };
  EXPECT_EQ(run("ulimit -v 40000; "), EXIT_JOB_NOT_STARTED) << read_whole_text(output);
  std::string text = read_whole_text(output);
  EXPECT_NE(text.find("ERROR: unable to load data\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Packing data"), std::string::npos) << text;
  // With memory enough the database loads; the files it names are not in this package.
  EXPECT_EQ(run(""), EXIT_JOB_FAILED) << read_whole_text(output);
  EXPECT_NE(read_whole_text(output).find("Packing data...\n"), std::string::npos) << read_whole_text(output);
}
#endif

#ifndef _WIN32
// An interactive start opens the main window at the database's size: a screen smaller than the smallest
// window the installer accepts is said in one message, in the package's words with both sizes, and the
// run ends as one that could not start (here on the screen without a display, 1920 x 1080).
TEST(InstallerProgram, InteractiveStartReportsAWindowThatCannotOpen) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::string(binary_dir) + "/installer";
  INSTALLER_SCRATCH scratch("window");
  std::string output = scratch.root + "output.txt";
  std::string run = "env -u DISPLAY VELK_HEADLESS=1 VELK_UNATTENDED=1 HOME='" + scratch.root + "home' TMPDIR='" +
                    scratch.root + "tmp' '" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' >'" +
                    output + "' 2>&1";
  // The test's own named path means nothing to the program: the destination is given from the root.
  std::string description = scratch.name_destination_from_root();
  // (A start that opens its window shows the wizard, which the wizard's scenarios drive.)
  description += "minimum_size = 30000;30000\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  EXPECT_EQ(run_command(run), EXIT_JOB_NOT_STARTED);
  // The message can only be acknowledged: the default text's closing question is left out.
  EXPECT_EQ(read_whole_text(output), "Screen too small: This screen is smaller than the installer needs.\n\n"
                                     "The screen is 1920 x 1080; the installer's window needs 30000 x 30000.\n");
}
#endif

#ifndef _WIN32
// A built-in font file beside the program that FreeType refuses ends an interactive start at once, with
// the font system's message and the fatal status, before any window: before the main window too, which
// this package's size would not let open.
TEST(InstallerProgram, ADamagedBuiltInFontEndsTheStartBeforeAnyWindow) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("damaged-font");
  std::string installer = scratch.root + "bin/installer";
  std::filesystem::create_directories(scratch.root + "bin/data/fonts");
  std::filesystem::copy_file(binary_dir + "/installer", installer);
  ASSERT_TRUE(write_whole_file(scratch.root + "bin/data/fonts/DejaVuMathTeXGyre.ttf", {'n', 'o', 'n', 'e'}));
  std::string description = scratch.name_destination_from_root() + "minimum_size = 30000;30000\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  EXPECT_EQ(run_command("env -u DISPLAY VELK_HEADLESS=1 VELK_UNATTENDED=1 HOME='" + scratch.root + "home' TMPDIR='" +
                        scratch.root + "tmp' '" + installer + "' -x '$ROOT0" + scratch.package + "installer.xml' >'" +
                        output + "' 2>&1"),
            FATAL_EXIT_STATUS);
  std::string text = read_whole_text(output);
  EXPECT_NE(text.find("ERROR: 0022:\nUnable to load font from disk"), std::string::npos) << text;
  EXPECT_EQ(text.find("Unable to open screen mode"), std::string::npos) << text;
}
#endif

#ifdef _WIN32
// installer.exe itself in automatic mode: the files, the registry values and the shell links.
TEST(InstallerProgram, AutomaticModeOfTheWindowsProgram) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(std::string(binary_dir) + "/installer.exe").string();
  ASSERT_TRUE(std::filesystem::exists(installer));
  INSTALLER_SCRATCH scratch("program-win");
  std::string description = read_whole_text(scratch.source + "description.txt");
  std::filesystem::create_directories(scratch.root + "dest");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root + "dest"));
  description.replace(description.find("Velk Test App"), 13, "Velk Program App");
  description.replace(description.find("Test Guide"), 10, "Program Guide");
  description.replace(description.find("Test App;"), 9, "Program App;");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  const std::string latin = "Gr\xC3\xBC\xC3\x9F" "e-\xC3\xB1.txt";  // the program names it in UTF-16
  scratch.add_file(latin, text_bytes(latin));
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  std::string command = "\"\"" + installer + "\" -x \"" + root_text(scratch.package) + "/installer.xml\" -a >\"" +
                        output + "\" 2>&1\"";
  EXPECT_EQ(run_command(command), 0) << read_whole_text(output);
  EXPECT_NE(read_whole_text(output).find("Done"), std::string::npos);
  // Output to a file is in the ANSI code page, 1252 under Wine.
  EXPECT_NE(read_whole_text(output).find("% /Gr\xFC\xDF" "e-\xF1.txt"), std::string::npos);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
  std::vector<std::string> log = read_lines(scratch.installed("install_log.txt"));
  EXPECT_EQ(std::count(log.begin(), log.end(), "Installed \"" + scratch.installed(latin) + "\""), 1);

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH "\\Velk Program App", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char value[512] = "";
  DWORD type = 0, size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "DisplayName", nullptr, &type, (BYTE*)value, &size), ERROR_SUCCESS);
  EXPECT_STREQ(value, "Velk Program App");
  size = sizeof value;
  ASSERT_EQ(RegQueryValueExA(key, "UninstallString", nullptr, &type, (BYTE*)value, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(value), scratch.installed("bin/uninstall.sh"));
  RegCloseKey(key);
  EXPECT_EQ(link_target(special_folder(CSIDL_DESKTOPDIRECTORY) + "\\Program App.lnk"), scratch.installed("bin/run.sh"));
  EXPECT_EQ(link_target(special_folder(CSIDL_PROGRAMS) + "\\Velk Test Group\\Program Guide.lnk"),
            scratch.installed("docs/guide.txt"));
}
#endif

#ifdef _WIN32
// The Windows program reads its command line in UTF-16: a package folder named beyond the ANSI code
// page is found.
TEST(InstallerProgram, TheWindowsProgramTakesArgumentsBeyondTheCodePage) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(std::string(binary_dir) + "/installer.exe").string();
  INSTALLER_SCRATCH scratch("program-win-names");
  std::string description = read_whole_text(scratch.source + "description.txt");
  std::filesystem::create_directories(scratch.root + "dest");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(scratch.root + "dest"));
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  const std::string packages = "\xE5\x8C\x85-\xC3\xA4";  // U+5305, then a Latin-1 letter
  std::filesystem::rename(scratch.package, std::filesystem::u8path(scratch.root + packages));
  std::string output = scratch.root + "output.txt";
  std::string command = "\"\"" + installer + "\" -x \"" + root_text(scratch.root) + "/" + packages +
                        "/installer.xml\" -a >\"" + output + "\" 2>&1\"";
  std::wstring wide(command.size() + 1, L'\0');
  wide.resize((size_t)MultiByteToWideChar(CP_UTF8, 0, command.c_str(), -1, &wide[0], (int)wide.size()) - 1);
  EXPECT_EQ(_wsystem(wide.c_str()), 0) << read_whole_text(output);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
}
#endif

#ifdef _WIN32
// A disk that fills while a file is written: the copy-error text and the line of "-a" say why, in the
// system's words (a write that takes part of the bytes reports no failure of its own). The disk is a
// small tmpfs mounted for the test, which needs root.
TEST(InstallerProgram, AFullDiskUnderWindowsIsSaidSo) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  std::string installer = std::filesystem::absolute(std::string(binary_dir) + "/installer.exe").string();
  INSTALLER_SCRATCH scratch("program-win-full");
  // The disk in the scratch folder of the scenario's Unix side, which unmounts it at the end.
  struct UNIX_SIDE : WINDOW_SCENARIO {
    UNIX_SIDE() : WINDOW_SCENARIO("program-win-full-disk") {}
    ~UNIX_SIDE() {
      std::string answer;
      run_shell("unmount", "umount -l \"$(dirname \"$OUT\")/disk\"", &answer);
    }
  } unix_side;
  std::string disk = unix_side.scratch() + "disk", mounted;
  std::filesystem::create_directories(disk);
  if (!unix_side.run_shell("mount", "mount -t tmpfs -o size=128k tmpfs \"$(dirname \"$OUT\")/disk\" && echo mounted",
                           &mounted) ||
      mounted != "mounted\n") {
    if (environment_text("CI") == "true") FAIL() << "mounting a small tmpfs needs root";
    GTEST_SKIP() << "mounting a small tmpfs needs root; skipped";
  }
  scratch.add_file("big.bin", all_byte_values(1024));  // 256 KiB
  std::string description = read_whole_text(scratch.source + "description.txt");
  description.replace(description.find("$SCRATCH/dest"), 13, root_text(disk) + "/data");
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build());
  std::string output = scratch.root + "output.txt";
  std::string command = "\"\"" + installer + "\" -x \"" + root_text(scratch.package) + "/installer.xml\" -a >\"" +
                        output + "\" 2>&1\"";
  EXPECT_EQ(run_command(command), 1) << read_whole_text(output);
  char full[256];
  restore_file_failure(ERROR_DISK_FULL);
  describe_file_failure(full, sizeof full);
  std::string file = below(disk, "data/big.bin");
  EXPECT_NE(read_whole_text(output).find("% 1 file could not be installed: \"" + file + "\" cannot be written (" +
                                         std::string(full) + ").\n"),
            std::string::npos)
      << read_whole_text(output);
  EXPECT_FALSE(std::filesystem::exists(file));
}
#endif
