// Tests of the packer (tools/package_builder.h and its program make_package): links packed as what they
// lead to under their own names, never out of the install location; every mistake of a description named
// with its file and line, every other failure with its file and cause; a full disk said plainly, with
// nothing left at the package's name; and the program's statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "installer_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string description_of(const INSTALLER_SCRATCH& scratch) { return scratch.source + "description.txt"; }

// The package's name in the scratch, and what else its folder holds (temporaries would show here).
std::vector<std::string> package_folder_entries(const INSTALLER_SCRATCH& scratch) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(scratch.package)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

// Every mistake of a description stops the packer with the description's file and line; an earlier
// package at the name stays as it was, and nothing else is left beside it.
TEST(PackageBuilder, DescriptionMistakesNameTheirFileAndLine) {
  INSTALLER_SCRATCH scratch("builder-mistakes");
  const std::string description = description_of(scratch), files = scratch.source + "files";
  ASSERT_TRUE(scratch.build());
  const std::vector<INT_U8> earlier = read_whole_file(scratch.package + "installer.pkg");
  const std::string head = "installation = A\ndefault_path = $ROOT0/opt/a\n";
  const std::string long_text(256, 'x');
  const struct {
    std::string text;
    std::string error;  // after "<description>:"
  } cases[] = {
      {"title = T\n\n", "2: no installation: at least one \"installation = <name>\" line (with its default_path) is "
                        "required"},
      {"title = T\ninstallation = A\nfiles = files\n",
       "2: the installation \"A\" has no default_path (required: where it installs, e.g. \"default_path = "
       "$ROOT0/opt/application\")"},
      {"default_path = $ROOT0/opt/a\ninstallation = A\n",
       "1: default_path belongs to an installation: an \"installation = <name>\" line comes before it"},
      {"installation = A\ndefault_path = opt/a\n",
       "2: default_path begins with a path variable, e.g. $ROOT0/opt/application: opt/a"},
      {"installation = A\ndefault_path = $ROOT0/" + long_text + "\n",
       "2: default_path is 263 bytes long; the installation database holds 255"},
      {head + "uninstaller = A;gone.sh;$HERE/bin\n",
       "3: the uninstaller bin/gone.sh is not among the files of the installation \"A\" (" + files + ")"},
      {head + "uninstaller = A;uninstall.sh\n",
       "3: an uninstaller needs 3 parts (name;file name;folder), not 2: A;uninstall.sh"},
      {head + "uninstaller = A;uninstall.sh;$HERE/docs/../../bin\n",
       "3: the uninstaller's folder leads out of the install location: $HERE/docs/../../bin"},
      {head + "desktop_shortcut = 1;run.sh;Run\n",
       "3: a desktop shortcut needs 4 parts (type;program;link name;program folder), not 3: 1;run.sh;Run"},
      {head + "menu_shortcut = 3;guide.txt;Guide;$HERE/docs\n",
       "3: a menu shortcut needs 5 parts (type;program;link name;menu folder;program folder), not 4: "
       "3;guide.txt;Guide;$HERE/docs"},
      {head + "desktop_shortcut = app;run.sh;Run;$HERE/bin\n",
       "3: a shortcut's type is 1 (program), 2 (web link) or 3 (document): app"},
      {head + "desktop_shortcut = 1;start.sh;Run;$HERE/bin\n",
       "3: the shortcut's program bin/start.sh is not among the files of the installation \"A\" (" + files + ")"},
      {head + "desktop_shortcut = 1;run.sh;a/b;$HERE/bin\n",
       "3: a shortcut's link name is a file name, not empty and without '/' or '\\': a/b"},
      {head + "window 640;480\n", "3: a line is \"key = value\": window 640;480"},
      {head + "window = 640\n", "3: window needs 2 numbers from -32768 to 32767: 640"},
      {head + "window = 0;480\n", "3: window needs a width and a height of at least 1: 0;480"},
      {head + "exit = -1;-1;40000;170\n", "3: exit needs 4 numbers from -32768 to 32767: -1;-1;40000;170"},
      {head + "colour = red\n", "3: unknown key colour"},
      {head + "text = NEXT;Next\n", "3: unknown text NEXT"},
      {head + "text = FORWARD;" + long_text + "\n", "3: the text FORWARD is 256 bytes long; the installation database holds 255"},
      {head + "missing_file = ../outside.txt\n", "3: missing_file is a plain path below the files folder: ../outside.txt"},
      {head + "missing_file = readme.txt\n", "3: missing_file names a file that is in the files folder: readme.txt"},
      {head + "language = English;none.txt\n", "3: the licence " + scratch.source + "none.txt is not a file"},
      {head + "files = nothing\n", "3: the files folder " + scratch.source + "nothing is not a folder"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(write_whole_file(description, text_bytes(c.text)));
    std::string error;
    EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error)) << c.text;
    EXPECT_EQ(error, description + ":" + c.error) << c.text;
    EXPECT_EQ(read_whole_file(scratch.package + "installer.pkg"), earlier) << c.text;
  }
  EXPECT_EQ(package_folder_entries(scratch), std::vector<std::string>{"installer.pkg"});

  // The smallest sound description: the packer's wizard sizes where it gives none.
  ASSERT_TRUE(write_whole_file(description, text_bytes(head)));
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(database->WINDOW.width, 640);
  EXPECT_EQ(database->WINDOW.height, 480);
  EXPECT_EQ(database->DIALOG.x, 40);
  EXPECT_EQ(database->DIALOG.width, 560);
  EXPECT_EQ(database->EXIT.width, 320);
  EXPECT_EQ(database->FILE_SELECT.height, 380);
  EXPECT_STREQ(database->installations[0].default_path, "$ROOT0/opt/a");

  // The limits count the texts as the database holds them: 200 letters e-acute are 400 bytes of
  // UTF-8 in the description and 200 Latin-1 bytes in the database.
  std::string accents;
  for (int i = 0; i < 200; i++) accents += "\xC3\xA9";
  ASSERT_TRUE(write_whole_file(description, text_bytes("installation = A\ndefault_path = $ROOT0/" + accents + "\n")));
  database.reset();  // it holds the package open, which Windows does not let another file replace
  ASSERT_TRUE(scratch.build());
  database.reset(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(std::string(database->installations[0].default_path), "$ROOT0/" + std::string(200, '\xE9'));
}

// Files of the tree named like the entries the installer reads for itself ("database.bin", a licence's
// entry) are packed under other names: the installer still reads its own, and every file installs.
TEST(PackageBuilder, TheInstallersOwnEntryNamesStayItsOwn) {
  INSTALLER_SCRATCH scratch("builder-reserved");
  scratch.add_file("licence-0", text_bytes("a file of the tree\n"));
  scratch.add_file("database.bin", text_bytes("not a database\n"));
  std::unique_ptr<DATABASE> database((scratch.build(), scratch.load()));
  ASSERT_TRUE(database);
  ASSERT_EQ(database->installations[0].file_count, 7);
  PACKAGE_ENTRY entry;
  ASSERT_TRUE(database->package->find_entry("licence-0", &entry));
  FOLDER out = scratch_folder("builder-reserved-out");
  ASSERT_TRUE(database->package->extract_entry(&out, "licence.txt", "licence-0"));
  EXPECT_EQ(read_whole_text(std::string(out.path) + PATH_SEPARATOR + "licence.txt"), "Licence text.\n");
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  for (const std::string& file : scratch.files)
    EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file)) << file;
}

#ifndef _WIN32
namespace {

// The installed file's path text ("$HERE/..." and its name) of every file of the first installation.
std::set<std::string> installed_names(DATABASE* database) {
  std::set<std::string> names;
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++) {
    const INSTALLATION_FILE& file = database->installations[0].files[i];
    names.insert(std::string(file.dest_path_from_inst_loc) + "/" + file.src_name);
  }
  return names;
}

}  // namespace

// A link is packed as what it leads to under its own name: a link to a file as that file (one entry for
// every name of one file), a link to a folder as its files, a link back to a folder that holds it not at
// all (said in a note). Nothing leads out of the install location, nothing outside it changes, and "-d"
// finds every file once. A dangling link stops the packer with its name.
TEST(PackageBuilder, LinksArePackedAsWhatTheyLeadToUnderTheirOwnNames) {
  INSTALLER_SCRATCH scratch("builder-links");
  const std::string outside = scratch.root + "outside/", files = scratch.source + "files/";
  fs::create_directories(outside + "folder/deeper");
  ASSERT_TRUE(write_whole_file(outside + "system.conf", text_bytes("a file outside the tree\n")));
  ASSERT_TRUE(write_whole_file(outside + "folder/deeper/inner.txt", text_bytes("inner\n")));
  fs::create_symlink(outside + "system.conf", files + "out.conf");
  fs::create_symlink("../readme.txt", files + "bin/readme-link.txt");
  fs::create_symlink("../bin/readme-link.txt", files + "docs/second-link.txt");
  fs::create_directory_symlink(outside + "folder", files + "folder-link");
  fs::create_directory_symlink("..", files + "docs/loop");
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error, 4096,
                                             &notes))
      << error;
  EXPECT_EQ(notes, std::vector<std::string>{files + "docs/loop: a link to " + scratch.source +
                                            "files, a folder that holds it: not followed"});

  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(installed_names(database.get()),
            (std::set<std::string>{"$HERE/bin/data.bin", "$HERE/bin/readme-link.txt", "$HERE/bin/run.sh",
                                   "$HERE/bin/uninstall.sh", "$HERE/docs/guide.txt", "$HERE/docs/second-link.txt",
                                   "$HERE/folder-link/deeper/inner.txt", "$HERE/out.conf", "$HERE/readme.txt"}));
  std::set<std::string> entries;
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++)
    entries.insert(database->installations[0].files[i].packed_name);
  EXPECT_EQ(entries.size(), 7u);  // the readme and its two links share one entry

  const fs::file_time_type untouched = fs::last_write_time(outside + "system.conf");
  EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE);
  const std::pair<const char*, std::string> arrived[] = {
      {"out.conf", outside + "system.conf"},           {"bin/readme-link.txt", files + "readme.txt"},
      {"docs/second-link.txt", files + "readme.txt"},  {"folder-link/deeper/inner.txt", outside + "folder/deeper/inner.txt"},
      {"bin/data.bin", files + "bin/data.bin"}};
  for (const auto& file : arrived) {
    EXPECT_FALSE(fs::is_symlink(scratch.installed(file.first))) << file.first;
    EXPECT_EQ(read_whole_file(scratch.installed(file.first)), read_whole_file(file.second)) << file.first;
  }
  EXPECT_EQ(read_whole_text(outside + "system.conf"), "a file outside the tree\n");
  EXPECT_EQ(fs::last_write_time(outside + "system.conf"), untouched);
  EXPECT_EQ(create_patch_description("$SCRATCH/package/installer.pkg=$SCRATCH/package/installer.pkg"), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_text(scratch.package + "patch.xml").find("<FILE "), std::string::npos);

  const std::vector<INT_U8> earlier = read_whole_file(scratch.package + "installer.pkg");
  fs::create_symlink(outside + "gone.txt", files + "bin/dangling");
  EXPECT_FALSE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error));
  EXPECT_EQ(error, files + "bin/dangling: a link to " + outside + "gone.txt, which does not exist");
  EXPECT_EQ(read_whole_file(scratch.package + "installer.pkg"), earlier);
  EXPECT_EQ(package_folder_entries(scratch), (std::vector<std::string>{"installer.pkg", "patch.xml"}));
}

// Files the installation database cannot hold, or that change while they are packed, stop the packer with
// their names: a path longer than its folder texts hold, a file whose bytes are not the size it showed
// (a file of /proc, as a growing file would be), and an entry that is no file (a pipe).
TEST(PackageBuilder, FilesThatCannotBePackedAsTheyAreAreNamed) {
  INSTALLER_SCRATCH scratch("builder-files");
  const std::string files = scratch.source + "files/", description = description_of(scratch);
  std::string error;
  const std::string deep = files + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(60, 'c');
  fs::create_directories(deep);
  ASSERT_TRUE(write_whole_file(deep + "/x.txt", text_bytes("deep\n")));
  EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error));
  EXPECT_EQ(error, deep + "/x.txt: its path below the files folder is 268 bytes long; the installation database holds "
                          "255 for a name and for the entry, and 249 for a folder");
  fs::remove_all(files + std::string(100, 'a'));

  fs::create_symlink("/proc/self/status", files + "bin/status");
  EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error));
  const std::string changed = files + "bin/status: changed while it was packed (0 bytes before, ";
  EXPECT_EQ(error.compare(0, changed.size(), changed), 0) << error;
  fs::remove(files + "bin/status");

  ASSERT_EQ(mkfifo((files + "docs/pipe").c_str(), 0600), 0);
  EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error));
  EXPECT_EQ(error, files + "docs/pipe: neither a file nor a folder (a pipe, socket or device): it cannot be packed");
  EXPECT_FALSE(fs::exists(scratch.package + "installer.pkg"));
  EXPECT_TRUE(package_folder_entries(scratch).empty());
}

// The program: a mistake or a failure gives status 1 and its message, notes go to standard error, a wrong
// command line gives status 2 and the usage.
TEST(PackageBuilder, TheProgramReportsWithItsStatus) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("builder-program");
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("'" + binary_dir + "/make_package' " + arguments + " >'" + output + "' 2>&1");
  };
  EXPECT_EQ(run(""), 2);
  EXPECT_EQ(read_whole_text(output).compare(0, 14, "usage: make_pa"), 0);
  EXPECT_EQ(run("--help"), 0);
  std::string pair = "'" + description_of(scratch) + "' '" + scratch.package + "installer.pkg'";
  fs::create_directory_symlink(".", scratch.source + "files/docs/here");
  EXPECT_EQ(run(pair), 0);
  EXPECT_EQ(read_whole_text(output), "make_package: note: " + scratch.source + "files/docs/here: a link to " +
                                         scratch.source + "files/docs, a folder that holds it: not followed\n");
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes("installation = A\n")));
  EXPECT_EQ(run(pair), 1);
  EXPECT_EQ(read_whole_text(output), "make_package: " + description_of(scratch) +
                                         ":1: the installation \"A\" has no default_path (required: where it installs, "
                                         "e.g. \"default_path = $ROOT0/opt/application\")\n");
  EXPECT_EQ(run("--installer '" + description_of(scratch) + "' " + pair), 1);
  // Names relative to the folder the program runs in.
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes("installation = A\ndefault_path = $ROOT0/opt/a\n"
                                                                   "language = English;licence.txt\n")));
  EXPECT_EQ(run_command("cd '" + scratch.source + "' && '" + binary_dir +
                        "/make_package' description.txt ../package/installer.pkg"),
            0);
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_STREQ(database->languages[0].LICENCE.filename, "licence-0");
}

// Packing onto a small disk at a dozen fill levels: either status 0 and a package that installs every
// byte, or status 1, a message that the disk is full, and nothing at the package's name (an earlier
// package there stays as it was) and no temporary beside it. The disk is a tmpfs mounted in a mount
// namespace of its own, which needs root.
TEST(PackageBuilder, AFullDiskIsSaidAndLeavesNothingAtThePackagesName) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  REQUIRE_TOOL("unshare");
  bool ci = environment_text("CI") == "true";
  if (geteuid() != 0) {
    if (ci) FAIL() << "mounting a small tmpfs needs root";
    GTEST_SKIP() << "mounting a small tmpfs needs root; skipped";
  }
  INSTALLER_SCRATCH scratch("builder-full-disk");
  scratch.add_file("bin/large.bin", pseudo_random_bytes(300000, 27));
  ASSERT_TRUE(scratch.build());
  const size_t package_size = fs::file_size(scratch.package + "installer.pkg");
  const size_t disk = (package_size * 2 / 4096 + 16) * 4096;
  const std::string mount_point = scratch.root + "disk", results = scratch.root + "results/";
  fs::create_directories(mount_point);
  fs::create_directories(results);
  std::string script = "mount -t tmpfs -o size=" + std::to_string(disk) + " tmpfs '" + mount_point + "' || exit 90\n";
  const int levels = 12;
  for (int level = 0; level < levels; level++) {
    // Free space from none to half as much again as the package takes.
    size_t free_space = package_size * level / 7, fill = disk > free_space ? disk - free_space : 0;
    std::string out = "'" + results + std::to_string(level);
    script += "rm -f '" + mount_point + "'/*\nhead -c " + std::to_string(fill) + " /dev/zero >'" + mount_point +
              "/filler' 2>/dev/null\n";
    if (level % 2) script += "printf earlier >'" + mount_point + "/installer.pkg' 2>/dev/null\n";
    script += "'" + binary_dir + "/make_package' '" + description_of(scratch) + "' '" + mount_point +
              "/installer.pkg' 2>" + out + ".err'\necho $? >" + out + ".status'\nls -A '" + mount_point + "' >" + out +
              ".list'\ncp '" + mount_point + "/installer.pkg' " + out + ".pkg' 2>/dev/null\n";
  }
  ASSERT_TRUE(write_whole_file(scratch.root + "fill.sh", text_bytes(script)));
  int status = run_command("unshare -m --propagation private sh '" + scratch.root + "fill.sh'");
  if (status == 90) {
    if (ci) FAIL() << "a tmpfs cannot be mounted here";
    GTEST_SKIP() << "a tmpfs cannot be mounted here; skipped";
  }
  ASSERT_EQ(status, 0);
  int made = 0, refused = 0;
  for (int level = 0; level < levels; level++) {
    std::string at = results + std::to_string(level);
    std::string listed = read_whole_text(at + ".list"), message = read_whole_text(at + ".err");
    if (read_whole_text(at + ".status") == "0\n") {
      made++;
      EXPECT_EQ(message, "") << level;
      EXPECT_EQ(listed, "filler\ninstaller.pkg\n") << level;
      fs::copy_file(at + ".pkg", scratch.package + "installer.pkg", fs::copy_options::overwrite_existing);
      std::unique_ptr<DATABASE> database(scratch.load());
      ASSERT_TRUE(database) << level;
      fs::remove_all(scratch.destination);
      EXPECT_EQ(run_automatic_install(database.get()), EXIT_JOB_DONE) << level;
      for (const std::string& file : scratch.files)
        EXPECT_EQ(read_whole_file(scratch.installed(file)), read_whole_file(scratch.source + "files/" + file))
            << level << " " << file;
      continue;
    }
    refused++;
    EXPECT_EQ(read_whole_text(at + ".status"), "1\n") << level;
    // Whichever write met the full disk, the message names the package and says so.
    const std::string named = "make_package: " + mount_point + "/installer.pkg: ";
    const std::string full = ": the disk is full (No space left on device)\n";
    EXPECT_EQ(message.compare(0, named.size(), named), 0) << level << message;
    EXPECT_TRUE(message.size() > full.size() && message.compare(message.size() - full.size(), full.size(), full) == 0)
        << level << message;
    if (level % 2) {
      EXPECT_EQ(listed, "filler\ninstaller.pkg\n") << level;
      EXPECT_EQ(read_whole_text(at + ".pkg"), "earlier") << level;
    } else {
      EXPECT_EQ(listed, "filler\n") << level;
    }
  }
  EXPECT_GE(made, 3);
  EXPECT_GE(refused, 6);
}
#endif
