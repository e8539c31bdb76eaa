// Tests of the packer (tools/package_builder.h and its program make_package): links packed as what they
// lead to under their own names, never out of the install location; every mistake of a description named
// with its file and line, every other failure with its file and cause; a full disk said plainly, with
// nothing left at the package's name; and the program's statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "attached_data.h"
#include "installer_test_support.h"
#include "package.h"
#include "packer_private.h"

#ifndef _WIN32
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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
      {"installation = A\ndefault_path = $ROOT0/" + long_text.substr(128) + "/" + long_text.substr(128) + "\n",
       "2: default_path is 264 bytes long; the installation database holds 255"},
      {head + "uninstaller = A;gone.sh;$HERE/bin\n",
       "3: the uninstaller bin/gone.sh is not among the files of the installation \"A\" (" + files + ")"},
      {head + "uninstaller = A;uninstall.sh\n",
       "3: an uninstaller needs 3 parts (name;file name;folder), not 2: A;uninstall.sh"},
      {head + "uninstaller = A;uninstall.sh;$HERE/docs/../../bin\n",
       "3: the uninstaller's folder leads out of the install location: $HERE/docs/../../bin"},
      {head + "log = $HERE/../logs\n", "3: log's folder leads out of the install location: $HERE/../logs"},
      {head + "patch_check = $HERE/x/../../..\n",
       "3: patch_check's folder leads out of the install location: $HERE/x/../../.."},
      // However it is spelt, or out of another variable's folder; by "$app" too a program lies inside.
      {head + "log = $here/..\n", "3: log's folder leads out of the install location: $here/.."},
      {head + "patch_check = $APP/../logs\n",
       "3: patch_check's folder leads out of the install location: $APP/../logs"},
      {head + "log = $Base/x/../..\n", "3: log's folder leads out of the install location: $Base/x/../.."},
      // '\' separates folders on Windows alone: a package with it would install otherwise on each host.
      {head + "uninstaller = U;u.sh;$HERE/..\\logs\n",
       "3: the uninstaller's folder separates folders with '\\', which Linux takes for part of a name: give them "
       "with '/', as $HERE/../logs: $HERE/..\\logs"},
      {"installation = A\ndefault_path = $ROOT0\\opt\\a\n",
       "2: default_path separates folders with '\\', which Linux takes for part of a name: give them with '/', as "
       "$ROOT0/opt/a: $ROOT0\\opt\\a"},
      {head + "uninstaller = U;u.sh;$HERE/./../x\n",
       "3: the uninstaller's folder leads out of the install location: $HERE/./../x"},
      {head + "menu_shortcut = 1;run.sh;Run;Group;$appdata/../..\n",
       "3: the shortcut's program's folder leads out of the folder that $APPDATA names: $appdata/../.."},
      {head + "log = $HERE/a/../b\nuninstaller = U;gone.sh;$app/x/../bin\n",
       "4: the uninstaller bin/gone.sh is not among the files of the installation \"A\" (" + files + ")"},
      // Overwrite rules: a rule and paths below the files folder, each matching a file, no file two rules.
      {head + "overwrite = keep;readme.txt\n",
       "3: overwrite's rule is never (installed only where no file has the name) or older (replacing only a file "
       "last written before the package was made): keep"},
      {head + "overwrite = never\n", "3: overwrite names the files after its rule (never;etc/app.conf): never"},
      {head + "overwrite = never;bin/../readme.txt\n",
       "3: overwrite names a file or folder by its path below the files folder (names joined with '/', none of "
       "them empty, \".\" or \"..\"): bin/../readme.txt"},
      {head + "overwrite = older;docs/*.conf\n",
       "3: overwrite older;docs/*.conf matches no file of the installation \"A\" (" + files + ")"},
      {head + "overwrite = never;docs\noverwrite = older;*/guide.txt\n",
       "4: overwrite older gives docs/guide.txt another rule than line 3 does (never)"},
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
      // Latin-1 where UTF-8 belongs; a default path that is no install location; one name twice.
      {head + "title = Caf\xE9\n", "3: the line is not UTF-8 text (the byte 0xE9 at byte 12): the description is "
                                   "read as UTF-8"},
      {"installation = A\ndefault_path = $ROOT0tmp/x\n",
       "2: $ROOT0tmp is no path variable (a drive is $ROOT and its number, then '/'): $ROOT0tmp/x"},
      {"installation = A\ndefault_path = $ROOT0/\n",
       "2: default_path names no folder below $ROOT0, so it would install straight into it: $ROOT0/"},
      {"installation = A\ndefault_path = $ROOT0\n",
       "2: default_path names no folder below $ROOT0, so it would install straight into it: $ROOT0"},
      {"installation = A\ndefault_path = $ROOT0/../../etc/x\n",
       "2: default_path holds a \"..\" part, which it may not: $ROOT0/../../etc/x"},
      {"installation = A\ndefault_path = $ROOT0/opt/./x\n", "2: default_path holds a \".\" part, which it may not: "
                                                            "$ROOT0/opt/./x"},
      {"installation = A\ndefault_path = $NOWHERE/x\n", "2: $NOWHERE is no path variable the installer knows: $NOWHERE/x"},
      // Folders that name no folder of the installed computer, or one that goes when the installer ends.
      {"installation = A\ndefault_path = $temp/x\n",
       "2: default_path lies in $TEMP, the installer's own temporary folder, which it removes when it ends: $temp/x"},
      {head + "uninstaller = X;app.sh;bin\n", "3: the uninstaller's folder begins with a path variable, e.g. $HERE/bin: bin"},
      {head + "uninstaller = X;app.sh;$NOWHERE/bin\n", "3: $NOWHERE is no path variable the installer knows: $NOWHERE/bin"},
      {head + "desktop_shortcut = 1;app.sh;App;bin\n",
       "3: a shortcut's program folder begins with a path variable, e.g. $HERE/bin: bin"},
      {head + "menu_shortcut = 1;app.sh;App;Group;$TEMP/bin\n",
       "3: a shortcut's program folder lies in $TEMP, the installer's own temporary folder, which it removes when it "
       "ends: $TEMP/bin"},
      {"installation = A\ndefault_path = $ROOT0/a:b\n",
       "2: default_path's folder \"a:b\": its name holds ':', which Windows does not allow in a name"},
      {head + "installation = A\n", "3: the installation \"A\" is named twice (first on line 1): the wizard could not "
                                    "tell the two apart"},
      // One link file made twice with two targets, as Windows names it; one language twice; a web link
      // without an address.
      {head + "desktop_shortcut = 1;run.sh;Run;$HERE/bin\ndesktop_shortcut = 3;guide.txt;RUN;$HERE/docs\n",
       "4: the desktop shortcut \"RUN\" makes the link of line 3 again with another target: the second would "
       "replace the first"},
      {head + "menu_shortcut = 1;run.sh;Run;Group/Sub;$HERE/bin\nmenu_shortcut = 3;guide.txt;Run;group\\.\\sub;$HERE/docs\n",
       "4: the menu shortcut \"Run\" in \"group\\.\\sub\" makes the link of line 3 again with another target: the "
       "second would replace the first"},
      {head + "language = Deutsch\nlanguage = English\nlanguage = Deutsch\n",
       "5: the language \"Deutsch\" is named twice (first on line 3): the wizard would offer it twice"},
      {head + "desktop_shortcut = 2;index.html;Web;http://example.org\n",
       "3: a web link's program is its address, which begins with a scheme and \"://\" (2;https://example.org/;Web;): "
       "index.html"},
      {head + "menu_shortcut = 2;www.example.org;Web;Links;\n",
       "3: a web link's program is its address, which begins with a scheme and \"://\" "
       "(2;https://example.org/;Web;Links;): www.example.org"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(write_whole_file(description, text_bytes(c.text)));
    std::string error;
    EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error)) << c.text;
    EXPECT_EQ(error, description + ":" + c.error) << c.text;
    EXPECT_EQ(read_whole_file(scratch.package + "installer.pkg"), earlier) << c.text;
  }
  EXPECT_EQ(package_folder_entries(scratch), std::vector<std::string>{"installer.pkg"});

  // The smallest sound description, with the byte-order mark of a Windows editor before it: the packer's
  // wizard sizes where it gives none.
  ASSERT_TRUE(write_whole_file(description, text_bytes("\xEF\xBB\xBF" + head)));
  ASSERT_TRUE(scratch.build());
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(database->WINDOW.width, 640);
  EXPECT_EQ(database->WINDOW.height, 480);
  EXPECT_EQ(database->DIALOG.x, 40);
  EXPECT_EQ(database->DIALOG.width, 560);
  EXPECT_EQ(database->EXIT.width, 320);
  EXPECT_EQ(database->FILE_SELECT.height, 380);
  EXPECT_EQ(database->options_style.y_spacing, 7);  // the option rows' gap with which they fit the page
  EXPECT_STREQ(database->installations[0].default_path, "$ROOT0/opt/a");

  // The limits count the texts as the database holds them: 200 letters e-acute (in two folders) are 400
  // bytes of UTF-8 in the description and 200 Latin-1 bytes in the database.
  std::string accents;
  for (int i = 0; i < 100; i++) accents += "\xC3\xA9";
  accents += "/" + accents;
  ASSERT_TRUE(write_whole_file(description, text_bytes("installation = A\ndefault_path = $ROOT0/" + accents + "\n")));
  database.reset();  // it holds the package open, which Windows does not let another file replace
  ASSERT_TRUE(scratch.build());
  database.reset(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(std::string(database->installations[0].default_path),
            "$ROOT0/" + std::string(100, '\xE9') + "/" + std::string(100, '\xE9'));
}

// Every text of the wizard has words in every language: the built-in English ones where a description
// gives none (a second language with no texts at all), those of its text lines where it gives them. A
// key given twice (the later holds) and an installation without files are noted.
TEST(PackageBuilder, EveryWizardTextHasWordsAndRepeatsAreNoted) {
  INSTALLER_SCRATCH scratch("builder-texts");
  const std::string description = description_of(scratch);
  fs::create_directories(scratch.source + "empty");
  ASSERT_TRUE(write_whole_file(description, text_bytes(
      "installation = A\ndefault_path = $ROOT0/opt/a\ntext = QUIT;Stop\nlanguage = English\ntext = FORWARD;Onward\n"
      "language = Deutsch\ntitle = One\ntitle = Two\ninstallation = B\ndefault_path = $ROOT0/opt/b\nfiles = empty\n"
      "text = FORWARD;Weiter\ntext = FORWARD;Vor\n")));
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description, scratch.package + "installer.pkg", &error, 4096, &notes));
  EXPECT_EQ(notes, (std::vector<std::string>{
                       description + ":8: title is given twice (first on line 7); the later one holds",
                       description + ":13: the text FORWARD for the language \"Deutsch\" is given twice (first on "
                                     "line 12); the later one holds",
                       description + ":11: the installation \"B\" has no files: " + scratch.source +
                           "empty holds none (empty folders are not packed)"}));
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  ASSERT_EQ(database->language_count, 2);
  for (int i = 0; i < 2; i++)
    for (int slot = 0; slot < LANGUAGE_TEXT_COUNT; slot++)
      EXPECT_NE(language_text(&database->languages[i], slot)[0], 0) << i << " " << language_text_name(slot);
  EXPECT_STREQ(database->languages[0].FORWARD, "Onward");
  EXPECT_STREQ(database->languages[1].FORWARD, "Vor");
  EXPECT_STREQ(database->languages[1].QUIT, "Stop");
  EXPECT_STREQ(database->languages[1].INSTALLER_TITLE, "Two");
  EXPECT_STREQ(database->languages[1].SELECT_OPTIONS_TITLE, "Where and how");
}

// A licence or readme longer than the 32767 lines its page holds (a long line counted once per 40
// characters, as the readme's stored count counts them) is noted: the wizard shows its beginning.
TEST(PackageBuilder, TextsLongerThanTheirPageHoldsAreNoted) {
  INSTALLER_SCRATCH scratch("builder-long-texts");
  const std::string description = description_of(scratch);
  std::string licence, readme;
  for (int i = 0; i < 32768; i++) licence += "x\n";
  for (int i = 0; i < 16384; i++) readme += std::string(40, 'y') + "\n";  // two lines each
  ASSERT_TRUE(write_whole_file(scratch.source + "licence.txt", text_bytes(licence)));
  ASSERT_TRUE(write_whole_file(scratch.source + "readme.txt", text_bytes(readme)));
  ASSERT_TRUE(write_whole_file(description, text_bytes("installation = A\ndefault_path = $ROOT0/opt/a\n"
                                                       "language = English;licence.txt;readme.txt\n")));
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description, scratch.package + "installer.pkg", &error, 4096, &notes))
      << error;
  const std::string where = description + ":3: the ";
  const std::string said = " lines on its page (a long line once per 40 characters), which holds 32767: the wizard "
                           "shows it only up to there";
  EXPECT_EQ(notes, (std::vector<std::string>{where + "licence " + scratch.source + "licence.txt takes about 32768" + said,
                                             where + "readme " + scratch.source + "readme.txt takes about 32768" + said}));
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_EQ(database->languages[0].README.lines, 32767);
}

// What the packer makes but a person may not have meant is noted: a shortcut given twice (one link
// file, as Windows names it, with one target: a menu shortcut and a desktop one, or the same link of
// another installation, are others); files deeper than the 259 characters of a path that Windows
// opens, counted in UTF-16 units under the default location; and a Windows installer whose name does
// not end in ".exe".
TEST(PackageBuilder, RepeatedShortcutsDeepPathsAndAWindowsInstallerWithoutExeAreNoted) {
  INSTALLER_SCRATCH scratch("builder-notes");
  const std::string description = description_of(scratch);
  const std::string a = "$ROOT0/opt/" + std::string(232, 'a'), b = std::string(237, 'b');
  // C:\opt\aaa...\deep\file-name1.txt is 259 characters; one more (a character past U+FFFF counts two)
  // are too many.
  scratch.add_file("deep/file-name1.txt", text_bytes("fits\n"));
  scratch.add_file("deep/file-name\xF0\x9F\x98\x80.txt", text_bytes("one too many\n"));
  ASSERT_TRUE(write_whole_file(description, text_bytes(
      "installation = A\ndefault_path = " + a + "\ndesktop_shortcut = 1;run.sh;Run;$HERE/bin\n"
      "desktop_shortcut = 1;run.sh;Run;$HERE/bin\nmenu_shortcut = 1;run.sh;Run;Group;$HERE/bin\n"
      "menu_shortcut = 1;run.sh;run;GROUP/.;$HERE/bin\nmenu_shortcut = 1;run.sh;Run;Group/Sub;$HERE/bin\n"
      "installation = B\ndefault_path = $APPDATA//" + b + "\ndesktop_shortcut = 3;guide.txt;Run;$HERE/docs\n")));
  const std::vector<std::string> packing_notes = {
      description + ":4: the desktop shortcut \"Run\" is given twice (first on line 3); one link is made",
      description + ":6: the menu shortcut \"run\" in \"GROUP/.\" is given twice (first on line 5); one link is made",
      description + ":2: 1 file of the installation \"A\" would have a path of more than the 259 characters that "
                    "Windows opens, installed in its default location: the longest, " + a +
                    "/deep/file-name\xF0\x9F\x98\x80.txt, has 260 ($ROOT0 counted as C:\\)",
      description + ":9: 2 files of the installation \"B\" would have a path of more than the 259 characters that "
                    "Windows opens, installed in its default location: the longest, $APPDATA/" + b +
                    "/deep/file-name\xF0\x9F\x98\x80.txt, has at least 261 ($APPDATA counted as C:\\)"};
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description, scratch.package + "installer.pkg", &error, 4096, &notes))
      << error;
  EXPECT_EQ(notes, packing_notes);
  // A package under another name than the one the installer reads.
  notes.clear();
  ASSERT_TRUE(package_builder::build_package(description, scratch.package + "app.pkg", &error, 4096, &notes)) << error;
  std::vector<std::string> renamed = packing_notes;
  renamed.push_back(scratch.package + "app.pkg: the installer reads its package only under the name \"installer.pkg\" "
                                      "(in the folder that \"-x\" names): under this name it is not found");
  EXPECT_EQ(notes, renamed);

  // A Windows program (as the packer sees one: "MZ" and the installer's mark) made into a single-file
  // installer under a name without ".exe"; under one with it, in any case, nothing more is noted.
  std::string mark(INSTALLER_MARK_BACKWARDS);
  std::reverse(mark.begin(), mark.end());
  const std::string program = scratch.root + "program.exe";
  ASSERT_TRUE(write_whole_file(program, text_bytes(std::string("MZ") + std::string(62, '\0') + mark + '\0')));
  for (const std::string name : {"setup", "setup.EXE"}) {
    notes.clear();
    ASSERT_TRUE(package_builder::build_installer(description, program, scratch.root + name, &error, 4096, &notes))
        << error;
    std::vector<std::string> expected = packing_notes;
    if (name == "setup")
      expected.insert(expected.begin(), scratch.root + "setup: the installer is a Windows program, and its name does "
                                                       "not end in \".exe\": Windows starts it as a program only "
                                                       "under such a name");
    EXPECT_EQ(notes, expected) << name;
  }
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

// Files of one content are stored once, whichever installation and folder hold them and under whatever
// name: a second installation that repeats the first one's files makes the package hardly larger. A
// file of the same size with other bytes keeps an entry of its own. (Both install whole through a
// single-file installer: InstallerAttached.SharedContentIsCarriedOnceAndInstallsWhole.)
TEST(PackageBuilder, IdenticalContentIsStoredOnce) {
  INSTALLER_SCRATCH scratch("builder-shared");
  add_shared_files(scratch);
  ASSERT_TRUE(scratch.build());
  const auto one = fs::file_size(scratch.package + "installer.pkg");
  const std::string description = read_whole_text(description_of(scratch));
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes(description + "installation = Part\n"
                                                                   "default_path = $SCRATCH/dest-b\nfiles = files-b\n")));
  ASSERT_TRUE(scratch.build());
  // The second installation's own file, its other uninstaller and its records: a few blocks, where its
  // repeated files come to over 200 KB.
  EXPECT_LT(fs::file_size(scratch.package + "installer.pkg"), one + 4 * (4096 + 8));

  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  ASSERT_EQ(database->installation_count, 2);
  std::map<std::string, std::string> entries;
  for (int n = 0; n < 2; n++)
    for (INT_S16 i = 0; i < database->installations[n].file_count; i++) {
      const INSTALLATION_FILE& file = database->installations[n].files[i];
      std::string folder = file.src_path_from_xml[0] ? std::string(file.src_path_from_xml) + "/" : "";
      entries[std::to_string(n) + ":" + folder + file.src_name] = file.packed_name;
    }
  EXPECT_EQ(entries, (std::map<std::string, std::string>{
                         {"0:bin/data.bin", "bin/data.bin"},        {"0:bin/large.bin", "bin/large.bin"},
                         {"0:bin/run.sh", "bin/run.sh"},            {"0:bin/uninstall.sh", "bin/uninstall.sh"},
                         {"0:docs/guide-copy.txt", "docs/guide-copy.txt"}, {"0:docs/guide.txt", "docs/guide-copy.txt"},
                         {"0:empty-a", "empty-a"},                  {"0:readme.txt", "readme.txt"},
                         {"1:data/data.bin", "bin/data.bin"},       {"1:empty-b", "empty-a"},
                         {"1:large.bin", "bin/large.bin"},          {"1:own.txt", "own.txt"},
                         {"1:readme.txt", "readme.txt"},            {"1:tools/guide.txt", "docs/guide-copy.txt"},
                         {"1:tools/start.sh", "bin/run.sh"},        {"1:tools/uninstall.sh", "tools/uninstall.sh"}}));
}

// A file packed before lends its entry only while it holds what was packed: one that has changed since
// (here to the very bytes of the file that asks) lends none, and an unchanged one lends its entry to a
// file of its bytes but not to one of its size with other bytes.
TEST(PackageBuilder, AFileChangedSinceItWasPackedLendsNoEntry) {
  INSTALLER_SCRATCH scratch("builder-changed-content");
  const std::string first = scratch.root + "first", second = scratch.root + "second", third = scratch.root + "third";
  ASSERT_TRUE(write_whole_file(first, text_bytes("packed bytes")));
  ASSERT_TRUE(write_whole_file(second, text_bytes("packed bytes")));
  ASSERT_TRUE(write_whole_file(third, text_bytes("other  bytes")));
  const fs::path paths[3] = {first, second, third};
  const fs::file_time_type packed = fs::last_write_time(first);
  package_builder::CONTENT_INDEX index, later;
  index.add(paths[0], 12, packed, "first-entry");
  std::string entry;
  EXPECT_TRUE(index.find(paths[1], 12, fs::last_write_time(second), &entry));
  EXPECT_EQ(entry, "first-entry");
  EXPECT_FALSE(index.find(paths[2], 12, fs::last_write_time(third), &entry));
  // Packed, then changed before another file of its size came.
  later.add(paths[0], 12, packed, "first-entry");
  ASSERT_TRUE(write_whole_file(first, text_bytes("other  bytes")));
  fs::last_write_time(first, packed + std::chrono::seconds(5));
  EXPECT_FALSE(later.find(paths[2], 12, fs::last_write_time(third), &entry));
}

// Files of one size are told apart by a sample of their first and last bytes before they are read whole:
// two that begin and end alike but differ in the middle never share an entry, and a third like one of
// them in every byte shares that one's, whichever of the two came first.
TEST(PackageBuilder, FilesThatBeginAndEndAlikeShareOnlyWhenEveryByteIs) {
  INSTALLER_SCRATCH scratch("builder-sampled-content");
  std::vector<INT_U8> bytes(3 * 4096 + 1000, 'x');
  const std::string names[3] = {scratch.root + "a", scratch.root + "b", scratch.root + "c"};
  ASSERT_TRUE(write_whole_file(names[0], bytes));
  bytes[6000] = 'y';
  ASSERT_TRUE(write_whole_file(names[1], bytes));
  ASSERT_TRUE(write_whole_file(names[2], bytes));
  const fs::path paths[3] = {names[0], names[1], names[2]};
  package_builder::CONTENT_INDEX index;
  std::string entry;
  index.add(paths[0], bytes.size(), fs::last_write_time(paths[0]), "a-entry");
  EXPECT_FALSE(index.find(paths[1], bytes.size(), fs::last_write_time(paths[1]), &entry));
  index.add(paths[1], bytes.size(), fs::last_write_time(paths[1]), "b-entry");
  ASSERT_TRUE(index.find(paths[2], bytes.size(), fs::last_write_time(paths[2]), &entry));
  EXPECT_EQ(entry, "b-entry");
}

// An output that is one of the packer's inputs, or lies in a folder that it packs, is refused, and every
// input stays as it was.
TEST(PackageBuilder, AnOutputThatIsAnInputOrIsPackedIsRefused) {
  INSTALLER_SCRATCH scratch("builder-outputs");
  const std::string description = description_of(scratch), licence = scratch.source + "licence.txt";
  const std::string source = scratch.root + "source";
  const std::string guide = below(source, "files/docs/guide.txt"), inside = below(source, "files/docs/x.pkg");
  const std::vector<INT_U8> texts[3] = {read_whole_file(description), read_whole_file(licence), read_whole_file(guide)};
  const std::pair<std::string, std::string> outputs[] = {
      {description, "the description"},
      {licence, "the licence " + licence},
      {guide, guide + ", a file of the installation \"Test App\""}};
  std::string error;
  for (const auto& output : outputs) {
    EXPECT_FALSE(package_builder::build_package(description, output.first, &error));
    EXPECT_EQ(error, output.first + ": is " + output.second + ", which the package is made from: it would be replaced");
  }
  EXPECT_FALSE(package_builder::build_package(description, inside, &error));
  EXPECT_EQ(error, inside + ": lies in " + fs::canonical(below(source, "files/docs")).string() +
                       ", which is packed: the next package would hold it");
  EXPECT_EQ(read_whole_file(description), texts[0]);
  EXPECT_EQ(read_whole_file(licence), texts[1]);
  EXPECT_EQ(read_whole_file(guide), texts[2]);
  EXPECT_EQ(std::distance(fs::directory_iterator(below(source, "files/docs")), fs::directory_iterator()), 1);
}

// An update made from the whole new version carries the files whose bytes changed (at the same size
// too), whose rule changed and that were added, with no uninstaller and only the shortcuts of programs
// it carries; it checks the earlier version's log and logs below it, and counts what it leaves and what
// it cannot remove.
TEST(PackageBuilder, AnUpdateCarriesWhatChangedAndCountsWhatItLeaves) {
  INSTALLER_SCRATCH scratch("builder-update");
#ifndef _WIN32
  scratch.name_destination_from_root();  // for the program below, which knows no $SCRATCH
#endif
  ASSERT_TRUE(scratch.build());
  const std::string earlier = scratch.package + "installer.pkg", folder = scratch.root + "update";
  const std::string update = below(folder, "installer.pkg");
  fs::create_directories(folder);
  ASSERT_TRUE(write_whole_file(scratch.source + "files/readme.txt", text_bytes("Read me again.\n")));
  fs::remove(scratch.source + "files/bin/data.bin");
  scratch.add_file("docs/new.txt", text_bytes("new\n"));
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes(read_whole_text(description_of(scratch)) +
                                                                   "overwrite = never;docs/guide.txt\n")));
  package_builder::PACK_SUMMARY made;
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description_of(scratch), update, &error, 4096, &notes, &made, earlier))
      << error;
  EXPECT_TRUE(notes.empty());
  const auto& counts = made.installations[0];
  EXPECT_EQ(std::vector<INT_U32>({counts.files, counts.changed, counts.added, counts.unchanged, counts.dropped}),
            std::vector<INT_U32>({3, 2, 1, 2, 1}));
  DATABASE loaded;
  loaded.data_folder.set_if_folder(folder.c_str());
  ASSERT_TRUE(loaded.load_package("installer.pkg"));
  const INSTALLATION& installation = loaded.installations[0];
  std::set<std::string> carried;
  for (INT_S16 i = 0; i < installation.file_count; i++)
    carried.insert(std::string(installation.files[i].src_path_from_xml) + "/" + installation.files[i].src_name);
  EXPECT_EQ(carried, (std::set<std::string>{"/readme.txt", "docs/guide.txt", "docs/new.txt"}));
  EXPECT_STREQ(installation.uninstaller_filename, "");
  ASSERT_EQ(installation.item_count, 1);
  EXPECT_STREQ(installation.items[0].program_name, "guide.txt");
  EXPECT_EQ(std::string(loaded.LOG.dest_path_from_inst_loc) + " " + loaded.PATCH.dest_path_from_inst_loc + " " +
                std::to_string(loaded.PATCH.do_check),
            "$HERE/patch $HERE 1");
#ifndef _WIN32
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  const std::string output = scratch.root + "output.txt";
  ASSERT_EQ(run_command("'" + binary_dir + "/make_package' --update-of '" + earlier + "' '" + description_of(scratch) +
                        "' '" + update + "' >'" + output + "' 2>&1"),
            0);
  EXPECT_EQ(read_whole_text(output),
            "make_package: installation \"Test App\": 3 files, 37 bytes, of them 1 installed only where absent "
            "(overwrite never)\nmake_package: installation \"Test App\": 3 files carried (2 changed, 1 added), 2 left "
            "as they are, 1 dropped by the new version, which an update cannot remove: bin/data.bin\nmake_package: made " +
                update + ": " + std::to_string(fs::file_size(update)) + " bytes, the files uncompressed in blocks of "
                "4096 bytes\nmake_package: an update of " + earlier + ": it installs only over the installation whose "
                "log lies in $HERE, and logs into $HERE/patch\n");
#endif
}

namespace {
// The identities that a package in the folder stores: the version it installs, and the version an
// update was made from ("" for none), as "<version> <made from>"; "?" when it cannot be read.
std::string stored_versions(const std::string& folder) {
  DATABASE loaded;
  loaded.records_only = true;
  loaded.data_folder.set_if_folder(folder.c_str());
  if (!loaded.load_package("installer.pkg")) return "?";
  return std::string(loaded.version_identity) + " " + loaded.updated_version;
}
}  // namespace

namespace {
std::string content_hash(const std::string& bytes, size_t piece) {
  package_builder::CONTENT_HASH hash;
  for (size_t at = 0; at < bytes.size(); at += piece) hash.add(bytes.data() + at, std::min(piece, bytes.size() - at));
  unsigned char out[16];
  hash.finish(out);
  std::string hex;
  for (unsigned char byte : out) hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
  return hex;
}
}  // namespace

// The hash that a version's identity is made of: the same for bytes in pieces of any size (the packer
// hands it blocks as it reads them), another for any other bytes, a trailing zero byte or one bit
// anywhere; and the same on every build, as installed logs keep the identities made of it.
TEST(PackageBuilder, TheContentHashIsTheSameInAnyPiecesAndAnotherForAnyOtherBytes) {
  std::string bytes;
  for (int i = 0; i < 200; i++) bytes += (char)(i * 37 + 11);
  const std::string whole = content_hash(bytes, bytes.size());
  for (size_t piece = 1; piece < 70; piece++) EXPECT_EQ(content_hash(bytes, piece), whole) << piece;
  std::set<std::string> seen = {whole, content_hash("", 1), content_hash(std::string(1, '\0'), 1),
                                content_hash(bytes + '\0', 7)};
  for (size_t bit = 0; bit < 8 * bytes.size(); bit++) {
    std::string other = bytes;
    other[bit / 8] ^= (char)(1 << (bit % 8));
    seen.insert(content_hash(other, 13));
  }
  EXPECT_EQ(seen.size(), 4 + 8 * bytes.size());
  EXPECT_EQ(content_hash("abc", 1), "321d379425651c1f1387ce1bc6f0eb09");
}

// Every whole package names the version of its files: a digest of their paths, rules and bytes, the
// same for the same files whatever else the description says, another where one byte or one rule is
// another. An update made from the whole new version names that version, as the whole package of it
// does, and the version it was made from; an update made by hand names neither.
TEST(PackageBuilder, APackageNamesTheVersionOfItsFilesAndAnUpdateTheOneItWasMadeFrom) {
  INSTALLER_SCRATCH scratch("builder-versions");
  const std::string description = read_whole_text(description_of(scratch));
  std::string error;
  auto pack = [&](const std::string& name, const std::string& text, const std::string& earlier = "") {
    fs::create_directories(scratch.root + name);
    EXPECT_TRUE(write_whole_file(description_of(scratch), text_bytes(text)));
    bool made = package_builder::build_package(description_of(scratch), below(scratch.root + name, "installer.pkg"),
                                               &error, 4096, nullptr, nullptr, earlier);
    EXPECT_TRUE(made) << error;
    return stored_versions(scratch.root + name);
  };
  const std::string first = pack("v1", description);
  ASSERT_EQ(first.size(), 33u) << first;
  const std::string version_1 = first.substr(0, 32);
  EXPECT_EQ(version_1.find_first_not_of("0123456789abcdef"), std::string::npos);
  // Packed again, under another title and with the files' times changed: the same version.
  fs::last_write_time(scratch.source + "files/readme.txt", fs::file_time_type::clock::now() - std::chrono::hours(5));
  EXPECT_EQ(pack("again", description + "title = Another Title\n"), first);
  // One byte, or one rule, makes another.
  const std::string rule = pack("rule", description + "overwrite = never;readme.txt\n");
  EXPECT_NE(rule, first);
  ASSERT_TRUE(write_whole_file(scratch.source + "files/docs/guide.txt", text_bytes("Guide & notes <2>\n")));
  const std::string whole_2 = pack("v2", description);
  EXPECT_NE(whole_2, first);
  EXPECT_NE(whole_2, rule);
  // The update to it carries one file and names the whole version 2, and version 1 it was made from.
  EXPECT_EQ(pack("u2", description, below(scratch.root + "v1", "installer.pkg")),
            whole_2.substr(0, 32) + " " + version_1);
  // By hand (patch_check), an update knows no version.
  EXPECT_EQ(pack("by-hand", description + "patch_check = $HERE\nlog = $HERE/patch\n"), " ");
}

// What an update cannot bring is refused with its reason, and an output at the name stays as it was: an
// overwrite path that names no file of the new version, another application, installation name,
// location, uninstaller or number of installations, and an earlier package that is an update itself,
// is damaged, is the output or lists a file twice.
TEST(PackageBuilder, WhatAnUpdateCannotBringIsRefusedWithItsReason) {
  INSTALLER_SCRATCH scratch("builder-update-refused");
  ASSERT_TRUE(scratch.build());
  const std::string description = description_of(scratch), text = read_whole_text(description);
  const std::string earlier = scratch.package + "installer.pkg", output = below(scratch.root + "out", "installer.pkg");
  const std::string hand_made = below(scratch.root + "hand", "installer.pkg"), damaged = scratch.root + "damaged.pkg";
  fs::create_directories(scratch.root + "out");
  fs::create_directories(scratch.root + "hand");
  fs::copy_file(earlier, output);
  const std::vector<INT_U8> before = read_whole_file(output);
  ASSERT_TRUE(write_whole_file(damaged, text_bytes("no package\n")));
  ASSERT_TRUE(write_whole_file(scratch.source + "hand.txt", text_bytes(text + "patch_check = $HERE\n")));
  std::string error;
  ASSERT_TRUE(package_builder::build_package(scratch.source + "hand.txt", hand_made, &error)) << error;
  const std::string name = " (the installed version knows an update by the names of its application and installation)";
  const struct {
    std::string from, to, earlier, error;
  } cases[] = {
      {"log = $HERE", "overwrite = never;etc/tool.rc", earlier,
       description + ":5: overwrite never;etc/tool.rc matches no file of the installation \"Test App\" (" +
           scratch.source + "files)"},
      {"velk-test-app", "velk-other", earlier,
       description + ":2: the application is \"velk-other\" here and \"velk-test-app\" in " + earlier +
           ": the installed version knows an update by the names of its application and installation"},
      {"installation = Test App", "installation = Test", earlier,
       description + ":3: installation name changed - not supported by patching system: \"Test\" here, \"Test App\" "
                     "in " + earlier + name},
      {"$SCRATCH/dest", "$SCRATCH/other", earlier,
       description + ":4: installation default_path changed - not supported by patching system: \"$SCRATCH/other\" "
                     "here, \"$SCRATCH/dest\" in " + earlier},
      {"App;uninstall.sh", "App;run.sh", earlier,
       description + ":6: installation uninstaller_filename changed - not supported by patching system: \"run.sh\" "
                     "here, \"uninstall.sh\" in " + earlier},
      {"licence.txt;\n", "licence.txt;\ninstallation = B\ndefault_path = $SCRATCH/b\n", earlier,
       description + ": 2 installations here and 1 in " + earlier + ": differences are too big to patch (an update "
                     "holds the installations of the version it updates, in its order)"},
      {"", "", hand_made, hand_made + ": is an update itself (it installs only over an earlier installation): an "
                                      "update is made against the package of the whole earlier version"},
      {"", "", damaged, damaged + ": cannot be read as an installation package: "},
      {"", "", output, output + ": is the earlier version's package, which the package is made from: it would be "
                                "replaced"}};
  for (const auto& refused : cases) {
    std::string changed = text;
    if (!refused.from.empty()) changed.replace(changed.find(refused.from), refused.from.size(), refused.to);
    ASSERT_TRUE(write_whole_file(description, text_bytes(changed)));
    EXPECT_FALSE(package_builder::build_package(description, output, &error, 4096, nullptr, nullptr, refused.earlier));
    EXPECT_EQ(error.substr(0, refused.error.size()), refused.error);
  }
  ASSERT_TRUE(write_whole_file(description, text_bytes(text)));
  // A stored file whose chain is damaged (its block says it holds more than a block) is not taken for
  // the same bytes: it cannot be read.
  const std::string hurt = below(scratch.root + "hurt", "installer.pkg");
  fs::create_directories(scratch.root + "hurt");
  fs::copy_file(earlier, hurt);
  INT_U32 used_at = 0;
  {
    FOLDER folder;
    ASSERT_TRUE(folder.set_if_folder((scratch.root + "hurt").c_str()));
    PACKAGE stored(&folder, "installer.pkg", false, -1, false, true);
    PACKAGE_ENTRY entry;
    ASSERT_TRUE(stored.find_entry("readme.txt", &entry));
    used_at = 1 + entry.first_block + 4 + stored.block_size;  // after the byte-order byte
  }
  std::vector<INT_U8> bytes = read_whole_file(hurt);
  ASSERT_LT(used_at + 4, bytes.size());
  bytes[used_at + 3] = 0x7F;
  ASSERT_TRUE(write_whole_file(hurt, bytes));
  EXPECT_FALSE(package_builder::build_package(description, output, &error, 4096, nullptr, nullptr, hurt));
  EXPECT_EQ(error, hurt + ": the stored file readme.txt of the installation \"Test App\" cannot be read");
  std::unique_ptr<DATABASE> listed(scratch.load());
  ASSERT_TRUE(listed);
  INSTALLATION& installation = listed->installations[0];
  INSTALLATION_FILE* files = new INSTALLATION_FILE[installation.file_count + 1];
  std::copy(installation.files, installation.files + installation.file_count, files);
  files[installation.file_count] = files[0];
  delete[] installation.files;
  installation.files = files;
  installation.file_count++;
  ASSERT_TRUE(scratch.store(listed.get()));
  EXPECT_FALSE(package_builder::build_package(description, output, &error, 4096, nullptr, nullptr, earlier));
  EXPECT_EQ(error, earlier + ": found same file twice - not supported by patching system: bin/data.bin of the "
                             "installation \"Test App\" is listed twice");
  EXPECT_EQ(read_whole_file(output), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.root + "out"), fs::directory_iterator()), 1);
}

// A hand-made update is noted where its log does not lie below the earlier log it checks, and so is a
// package that logs into a "patch" folder without checking for an earlier installation.
TEST(PackageBuilder, UpdateLogsThatSlipAreNoted) {
  INSTALLER_SCRATCH scratch("builder-update-logs");
  const std::string description = description_of(scratch), text = read_whole_text(description);
  const std::pair<std::string, std::string> cases[] = {
      {"log = $HERE/patch\npatch_check = $HERE\n", ""},
      {"log = $USERDATA/logs\npatch_check = $HERE/\n",
       ":6: this update (patch_check = $HERE/) logs into $USERDATA/logs, not below the folder of the log it checks, "
       "where readers of the installation's logs do not look; log = $HERE/patch, as \"patch.xml\" has it, puts its "
       "log beside that one"},
      {"log = $HERE/x/patch\n",
       ":5: log = $HERE/x/patch is an update's log folder, but the package has no patch_check: where nothing is "
       "installed it installs part of a version and says it completed without errors; patch_check = $HERE/x makes "
       "it an update of the installation whose log lies there"}};
  for (const auto& logs : cases) {
    std::string changed = text;
    changed.replace(changed.find("log = $HERE\n"), 12, logs.first);
    ASSERT_TRUE(write_whole_file(description, text_bytes(changed)));
    std::vector<std::string> notes;
    std::string error;
    ASSERT_TRUE(package_builder::build_package(description, scratch.package + "installer.pkg", &error, 4096, &notes))
        << error;
    EXPECT_EQ(notes, logs.second.empty() ? std::vector<std::string>() : std::vector<std::string>{description + logs.second});
  }
}

// The earlier version's log folder, which an update checks and logs below, is judged as a description's
// log and patch_check are: one that an earlier package made otherwise gives (in the installer's temporary
// folder, with '\\' between folders, leading out), also with the system folders, is refused.
TEST(PackageBuilder, AnEarlierLogFolderThatADescriptionCouldNotGiveIsRefused) {
  INSTALLER_SCRATCH scratch("builder-update-earlier-log");
  ASSERT_TRUE(scratch.build());
  const std::string earlier = scratch.package + "installer.pkg", update = below(scratch.root + "update", "installer.pkg");
  fs::create_directories(scratch.root + "update");
  const std::string refused = earlier + ": its log folder";
  const std::string why = " is one the packer refuses (an update checks the log there and logs below it): ";
  const struct {
    std::string log, system_log, error;
  } cases[] = {
      {"$TEMP/logs", "", refused + why + "patch_check lies in $TEMP, the installer's own temporary folder, which it "
                                         "removes when it ends: $TEMP/logs"},
      {"$HERE", "$TEMP", refused + " with the system folders" + why + "patch_check lies in $TEMP, the installer's own "
                                                                       "temporary folder, which it removes when it ends: $TEMP"},
#ifdef _WIN32
      {"$HERE/a\\b", "", refused + why + "patch_check separates folders with '\\', which Linux takes for part of a name: "
                                        "give them with '/', as $HERE/a/b: $HERE/a\\b"},
      {"$HERE/a\\..\\..", "", earlier + ": cannot be read as an installation package: the package is damaged or was not "
                                      "made by the packer: log's folder leads out of the install location: $HERE/a\\..\\.."},
#else
      {"$HERE/a\\..\\..", "", earlier + ": cannot be read as an installation package: the package is damaged or was not "
                                      "made by the packer: log's folder separates folders with '\\', which this computer "
                                      "does not: $HERE/a\\..\\.."},
#endif
      {"$HERE/Velk-Hold.Lock", "", refused + why + "patch_check's folder lies at the installer's hold on the install "
                                                  "location (a file of its own, velk-hold.lock in any capitals), where no "
                                                  "folder can be made: $HERE/Velk-Hold.Lock"},
      {"$HERE/logs", "", ""}};
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  for (const auto& folders : cases) {
    std::snprintf(database->LOG.dest_path_from_inst_loc, sizeof database->LOG.dest_path_from_inst_loc, "%s",
                  folders.log.c_str());
    std::snprintf(database->LOG.system_dest_path_from_inst_loc, sizeof database->LOG.system_dest_path_from_inst_loc,
                  "%s", folders.system_log.c_str());
    ASSERT_TRUE(scratch.store(database.get()));
    std::string error;
    EXPECT_EQ(package_builder::build_package(description_of(scratch), update, &error, 4096, nullptr, nullptr, earlier),
              folders.error.empty());
    EXPECT_EQ(error, folders.error);
    EXPECT_EQ(fs::exists(update), folders.error.empty());
  }
}

#ifndef _WIN32
// A file is compared with the earlier version's to its end: one that holds more than the size it showed
// (a file of /proc, as a growing file would) is not taken for the earlier empty one; it is carried, and
// packing it says that it changed.
TEST(PackageBuilder, AnUpdateComparesAFileToItsEnd) {
  INSTALLER_SCRATCH scratch("builder-update-end");
  scratch.add_file("bin/status", {});
  ASSERT_TRUE(scratch.build());
  const std::string earlier = scratch.package + "installer.pkg", update = below(scratch.root + "update", "installer.pkg");
  fs::create_directories(scratch.root + "update");
  fs::remove(scratch.source + "files/bin/status");
  fs::create_symlink("/proc/self/status", scratch.source + "files/bin/status");
  std::string error;
  EXPECT_FALSE(package_builder::build_package(description_of(scratch), update, &error, 4096, nullptr, nullptr, earlier));
  const std::string changed = scratch.source + "files/bin/status: changed while it was packed (0 bytes before, ";
  EXPECT_EQ(error.compare(0, changed.size(), changed), 0) << error;
}
#endif

// A carried file at the place of a folder of the earlier version, or a folder of carried files at the
// place of an earlier file (names compared as Windows compares them), cannot be installed over the
// earlier version, which an update does not remove: refused with both paths.
TEST(PackageBuilder, AFileThatBecomesAFolderOrTheReverseIsRefused) {
  INSTALLER_SCRATCH scratch("builder-update-kinds");
  scratch.add_file("share/data/a.txt", text_bytes("a\n"));
  ASSERT_TRUE(scratch.build());
  const std::string earlier = scratch.package + "installer.pkg", update = below(scratch.root + "update", "installer.pkg");
  fs::create_directories(scratch.root + "update");
  const std::string files = scratch.source + "files/";
  std::string error;
  fs::remove(files + "docs/guide.txt");
  scratch.add_file("docs/Guide.txt/index.txt", text_bytes("guide\n"));
  scratch.add_file("docs/guide-2.txt", text_bytes("the menu's guide\n"));
  const std::string description = read_whole_text(description_of(scratch));
  std::string changed = description;
  changed.replace(changed.find("3;guide.txt"), 11, "3;guide-2.txt");
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes(changed)));
  EXPECT_FALSE(package_builder::build_package(description_of(scratch), update, &error, 4096, nullptr, nullptr, earlier));
  EXPECT_EQ(error, earlier + ": docs/guide.txt of the installation \"Test App\" is a file there and a folder in the "
                             "new version (of docs/Guide.txt/index.txt): an update cannot remove the file, and so cannot "
                             "install the folder's files over it");
  fs::remove_all(files + "docs/Guide.txt");
  fs::remove_all(files + "share/data");
  scratch.add_file("share/data", text_bytes("now a file\n"));
  EXPECT_FALSE(package_builder::build_package(description_of(scratch), update, &error, 4096, nullptr, nullptr, earlier));
  EXPECT_EQ(error, earlier + ": share/data of the installation \"Test App\" is a folder there (of share/data/a.txt) "
                             "and a file in the new version: an update cannot remove the folder, and so cannot install "
                             "the file over it");
  EXPECT_FALSE(fs::exists(update));
  fs::remove(files + "share/data");
  EXPECT_TRUE(package_builder::build_package(description_of(scratch), update, &error, 4096, nullptr, nullptr, earlier))
      << error;
}

// A file whose overwrite rule the new version drops or loosens (never to older or always, older to
// always) is carried as one that changed and replaces what the earlier rule kept: each is noted with its
// path and the line that gives the new rule (the installation's where none does). A rule made stricter
// is not noted.
TEST(PackageBuilder, ARuleThatKeepsLessOfWhatIsInstalledIsNoted) {
  INSTALLER_SCRATCH scratch("builder-update-rules",
                            "overwrite = never;docs/guide.txt;bin/run.sh\noverwrite = older;readme.txt\n");
  ASSERT_TRUE(scratch.build());
  const std::string earlier = scratch.package + "installer.pkg", update = below(scratch.root + "update", "installer.pkg");
  fs::create_directories(scratch.root + "update");
  const std::string rules = "overwrite = never;docs/guide.txt;bin/run.sh\noverwrite = older;readme.txt\n";
  std::string changed = read_whole_text(description_of(scratch));
  changed.replace(changed.find(rules), rules.size(), "overwrite = older;bin/run.sh\noverwrite = never;bin/data.bin\n");
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes(changed)));
  std::vector<std::string> notes;
  package_builder::PACK_SUMMARY made;
  std::string error;
  ASSERT_TRUE(
      package_builder::build_package(description_of(scratch), update, &error, 4096, &notes, &made, earlier))
      << error;
  const std::string in = " of the installation \"Test App\" is overwrite ";
  const std::string replaced = ": the update carries it and replaces the installed file";
  std::set<std::string> said(notes.begin(), notes.end());
  EXPECT_EQ(said, (std::set<std::string>{
                      description_of(scratch) + ":3: docs/guide.txt" + in + "never in " + earlier +
                          " and always here (no overwrite line names it)" + replaced +
                          ", the user's edits too; overwrite = never;docs/guide.txt keeps them",
                      description_of(scratch) + ":10: bin/run.sh" + in + "never in " + earlier + " and older here" +
                          replaced + " where it was last written before the update was made, the user's edits too; "
                          "overwrite = never;bin/run.sh keeps them",
                      description_of(scratch) + ":3: readme.txt" + in + "older in " + earlier +
                          " and always here (no overwrite line names it)" + replaced +
                          ", the user's edits too; overwrite = older;readme.txt keeps them"}));
  EXPECT_EQ(notes.size(), 3u);
  const auto& counts = made.installations[0];
  EXPECT_EQ(std::vector<INT_U32>({counts.changed, counts.added, counts.unchanged, counts.dropped}),
            std::vector<INT_U32>({4, 0, 1, 0}));
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
// every name of one file), a link to a folder as its files, a link back to a folder that holds it (or
// one above the files folder) not at all (said in a note). Nothing leads out of the install location,
// nothing outside it changes, and "-d" finds every file once. A dangling link stops the packer with its
// name.
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
  fs::create_directory_symlink("..", files + "up");  // the description's folder, above the files folder
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error, 4096,
                                             &notes))
      << error;
  EXPECT_EQ(std::set<std::string>(notes.begin(), notes.end()),
            (std::set<std::string>{
                files + "docs/loop: a link to " + scratch.source + "files, a folder that holds it: not followed",
                files + "up: a link to " + scratch.root + "source, a folder that holds it: not followed"}));

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

// The summary counts the links packed as copies of what they lead to and names the first three by path,
// each with where it leads: a file of the tree, a folder of the tree, a file outside it; the program
// says so below the installation's files, the rest counted.
TEST(PackageBuilder, LinksPackedAsCopiesAreCountedAndNamed) {
  INSTALLER_SCRATCH scratch("builder-link-summary");
  scratch.name_destination_from_root();  // for the program, which knows no "$SCRATCH"
  const std::string outside = scratch.root + "outside/", files = scratch.source + "files/";
  fs::create_directories(outside);
  ASSERT_TRUE(write_whole_file(outside + "system.conf", text_bytes("outside\n")));
  fs::create_symlink("../readme.txt", files + "bin/readme");
  fs::create_directory_symlink("docs", files + "manual");
  fs::create_symlink(outside + "system.conf", files + "bin/system.conf");
  package_builder::PACK_SUMMARY made;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error, 4096,
                                             nullptr, &made))
      << error;
  ASSERT_EQ(made.installations.size(), 1u);
  EXPECT_EQ(made.installations[0].files, 8u);
  EXPECT_EQ(made.installations[0].links, 3u);
  EXPECT_EQ(made.installations[0].first_links,
            (std::vector<std::string>{"bin/readme (to readme.txt)",
                                      "bin/system.conf (to " + outside + "system.conf, outside the files folder)",
                                      "manual (to the folder docs)"}));

  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  fs::create_symlink("guide.txt", files + "docs/guide-link.txt");  // twice: in docs and in manual
  std::string output = scratch.root + "output.txt";
  ASSERT_EQ(run_command("'" + binary_dir + "/make_package' '" + description_of(scratch) + "' '" + scratch.package +
                        "installer.pkg' >'" + output + "' 2>&1"),
            0);
  std::vector<std::string> lines = read_lines(output);
  ASSERT_EQ(lines.size(), 3u) << read_whole_text(output);
  EXPECT_EQ(lines[1], "make_package: installation \"Test App\": 5 links packed as copies of what they lead to, "
                      "installed as files and folders of their own, not as links: bin/readme (to readme.txt), "
                      "bin/system.conf (to " + outside + "system.conf, outside the files folder), "
                      "docs/guide-link.txt (to docs/guide.txt) and 2 more");
}

// Overwrite lines give their files their rule, by path, folder or pattern ('?' a character outside ASCII
// whole), and the summary counts the files of each; in an update, which carries only the files it
// changes, a line that matches none of them is noted.
TEST(PackageBuilder, OverwriteLinesGiveTheirFilesTheirRule) {
  INSTALLER_SCRATCH scratch("builder-overwrite",
                            "overwrite = never;bin/run.sh;docs/\noverwrite = older;read?e.*;bin/*.bin;share/caf?.txt\n");
  scratch.add_file("share/caf\xC3\xA9.txt", text_bytes("cafe\n"));
  scratch.name_destination_from_root();
  package_builder::PACK_SUMMARY made;
  std::vector<std::string> notes;
  std::string error;
  ASSERT_TRUE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error, 4096,
                                             &notes, &made))
      << error;
  EXPECT_EQ(made.installations[0].never, 2u);
  EXPECT_EQ(made.installations[0].older, 3u);
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  std::map<std::string, int> rules;
  for (INT_S16 i = 0; i < database->installations[0].file_count; i++) {
    const INSTALLATION_FILE& file = database->installations[0].files[i];
    rules[std::string(file.src_path_from_xml) + "/" + file.src_name] = file.overwrite;
  }
  EXPECT_EQ(rules, (std::map<std::string, int>{{"/readme.txt", 1}, {"bin/data.bin", 1}, {"bin/run.sh", 2},
                                               {"bin/uninstall.sh", 0}, {"docs/guide.txt", 2}, {"share/caf\xE9.txt", 1}}));
  database.reset();
  EXPECT_TRUE(notes.empty());
  const std::string description = read_whole_text(description_of(scratch));
  ASSERT_TRUE(write_whole_file(description_of(scratch),
                               text_bytes(description + "patch_check = $HERE\noverwrite = never;etc/tool.conf\n")));
  ASSERT_TRUE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error, 4096,
                                             &notes))
      << error;
  EXPECT_EQ(notes, (std::vector<std::string>{
                       description_of(scratch) +
                           ":12: this update (patch_check = $HERE) logs where the log it checks lies: its log takes "
                           "that log's place, which is kept only as \"install_log-1.txt\", where readers of the "
                           "installation's logs do not look; log = $HERE/patch, as \"patch.xml\" has it, keeps the two "
                           "apart",
                       description_of(scratch) +
                           ":13: overwrite never;etc/tool.conf matches no file of the installation "
                           "\"Test App\" (" + scratch.source + "files): this package is an update "
                           "(patch_check), which carries only the files it changes; the rule holds for "
                           "those it carries"}));
#ifndef _WIN32
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes(description)));
  std::string output = scratch.root + "output.txt";
  ASSERT_EQ(run_command("'" + binary_dir + "/make_package' '" + description_of(scratch) + "' '" + scratch.package +
                        "installer.pkg' >'" + output + "' 2>&1"),
            0);
  EXPECT_EQ(read_lines(output)[0], "make_package: installation \"Test App\": 6 files, 10319 bytes, of them 2 installed "
                                   "only where absent (overwrite never) and 3 only over files older than the package "
                                   "(overwrite older)");
#endif
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

// The program: a mistake or a failure gives status 1 and its message, notes go to standard error, what
// it made to standard output, a wrong command line gives status 2 and the usage.
TEST(PackageBuilder, TheProgramReportsWithItsStatus) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("builder-program");
  scratch.name_destination_from_root();
  std::string output = scratch.root + "output.txt";
  auto run = [&](const std::string& arguments) {
    return run_command("'" + binary_dir + "/make_package' " + arguments + " >'" + output + "' 2>&1");
  };
  EXPECT_EQ(run(""), 2);
  EXPECT_EQ(read_whole_text(output).compare(0, 14, "usage: make_pa"), 0);
  EXPECT_EQ(run("--help"), 0);
  EXPECT_EQ(run("--version"), 0);
  EXPECT_EQ(read_whole_text(output), "make_package " INSTALLER_VERSION " (installation database version 15, package "
                                     "format 1)\n");
  std::string pair = "'" + description_of(scratch) + "' '" + scratch.package + "installer.pkg'";
  fs::create_directory_symlink(".", scratch.source + "files/docs/here");
  EXPECT_EQ(run(pair), 0);
  EXPECT_EQ(read_whole_text(output), "make_package: note: " + scratch.source + "files/docs/here: a link to " +
                                         scratch.source + "files/docs, a folder that holds it: not followed\n"
                                         "make_package: installation \"Test App\": 5 files, 10314 bytes\n"
                                         "make_package: made " + scratch.package + "installer.pkg: " +
                                         std::to_string(fs::file_size(scratch.package + "installer.pkg")) +
                                         " bytes, the files uncompressed in blocks of 4096 bytes\n");
  ASSERT_TRUE(write_whole_file(description_of(scratch), text_bytes("installation = A\n")));
  EXPECT_EQ(run(pair), 1);
  EXPECT_EQ(read_whole_text(output), "make_package: " + description_of(scratch) +
                                         ":1: the installation \"A\" has no default_path (required: where it installs, "
                                         "e.g. \"default_path = $ROOT0/opt/application\")\n");
  EXPECT_EQ(run("--installer '" + description_of(scratch) + "' " + pair), 1);
  // An empty name (a shell variable that is not set) is refused, not taken for no option.
  const std::string made = scratch.package + "installer.pkg";
  fs::remove(made);
  EXPECT_EQ(run("--update-of '' " + pair), 2);
  EXPECT_EQ(read_whole_text(output), "make_package: --update-of is given an empty name: it names the earlier version's "
                                     "package (its installer.pkg) that the package is an update of; nothing was made\n");
  EXPECT_EQ(run("--installer '' " + pair), 2);
  EXPECT_EQ(read_whole_text(output), "make_package: --installer is given an empty name: it names the installer program "
                                     "that the package is attached to; nothing was made\n");
  EXPECT_FALSE(fs::exists(made));
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

namespace {

// The lines of a text (an error of several problems).
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

// Every name of a tree that Windows or Linux cannot hold, and every two names of one folder that Windows
// takes for one, is refused with its file (a missing_file with its line); every problem of the tree is
// named, up to fifty, before the packer stops, and the earlier package stays as it was.
TEST(PackageBuilder, NamesThatAHostCannotHoldAreRefusedEachWithItsFile) {
  INSTALLER_SCRATCH scratch("builder-names", "missing_file = docs/what?.txt\n");
  const std::string files = scratch.source + "files/";
  const std::string windows = "which Windows does not allow in a name";
  std::vector<std::pair<std::string, std::string>> names = {
      {"back\\slash", "the name holds '\\', which separates folders on Windows"},
      {"tab\tname", "its name holds the control character 0x09, which Windows does not allow"},
      {"CON", "its name is a device of Windows (CON)"},         {"aux.txt", "its name is a device of Windows (aux)"},
      {"NUL.txt", "its name is a device of Windows (NUL)"},     {"com1.log", "its name is a device of Windows (com1)"},
      {"trail.", "its name ends with a dot, which Windows drops"},
      {"trail ", "its name ends with a space, which Windows drops"},
      {"bad\xE9", "its name is not UTF-8 (the byte 0xE9), which Windows names are written in"}};
  for (char c : std::string("\"*<>?|:"))
    names.push_back({std::string("a") + c + "b", std::string("its name holds '") + c + "', " + windows});
  std::set<std::string> expected;
  for (const auto& name : names) {
    ASSERT_TRUE(write_whole_file(files + "docs/" + name.first, text_bytes("x\n")));
    expected.insert(files + "docs/" + name.first + ": " + name.second);
  }
  ASSERT_TRUE(write_whole_file(files + "README.TXT", text_bytes("x\n")));
  fs::create_directories(files + "BIN");
  ASSERT_TRUE(write_whole_file(files + "BIN/other", text_bytes("x\n")));
  ASSERT_TRUE(write_whole_file(files + "CAF\xC3\x89 VI\xE1\xBB\x86T", text_bytes("x\n")));
  ASSERT_TRUE(write_whole_file(files + "Caf\xC3\xA9 Vi\xE1\xBB\x87t", text_bytes("x\n")));
  const std::string one = ", as it does not tell capital letters from small ones in names";
  expected.insert(files + "readme.txt: Windows takes it for " + files + "README.TXT" + one);
  expected.insert(files + "bin: Windows takes it for " + files + "BIN" + one);
  expected.insert(files + "Caf\xC3\xA9 Vi\xE1\xBB\x87t: Windows takes it for " + files + "CAF\xC3\x89 VI\xE1\xBB\x86T" + one);
  expected.insert(description_of(scratch) + ":10: missing_file " + files + "docs/what?.txt: its name holds '?', " +
                  windows);
  std::string error;
  EXPECT_FALSE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error));
  std::set<std::string> lines;
  for (const std::string& line : split_lines(error)) lines.insert(line);
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(package_folder_entries(scratch).empty());

  // Links that lead nowhere are problems of the tree too: the first fifty problems are named.
  for (int i = 0; i < 52; i++) fs::create_symlink(scratch.root + "gone", files + "link" + std::to_string(i));
  EXPECT_FALSE(package_builder::build_package(description_of(scratch), scratch.package + "installer.pkg", &error));
  std::vector<std::string> named = split_lines(error);
  ASSERT_EQ(named.size(), 51u);
  EXPECT_EQ(named.back(), "... and " + std::to_string(expected.size() + 52 - 50) + " more");
  EXPECT_EQ(std::count_if(named.begin(), named.end(), [&](const std::string& line) {
              return line.find(": a link to " + scratch.root + "gone, which does not exist") != std::string::npos;
            }), 50);
}

// A file that the installer would install onto its own install log is refused, naming the file and where
// the log goes: the install location, or the folder a log line names (in any letter case, as Windows
// takes names). Outside the log's folder the name is any file's.
TEST(PackageBuilder, AFileAtTheInstallLogsPlaceIsRefused) {
  INSTALLER_SCRATCH scratch("builder-log-place");
  const std::string description = description_of(scratch), files = scratch.source + "files/";
  const std::string cause = ": the installer writes its install log there (";
  const std::string takes = "): the file would take its place";
  scratch.add_file("install_log.txt", text_bytes("mine\n"));
  std::string error;
  EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error));
  EXPECT_EQ(error, files + "install_log.txt" + cause + description + ":5: log = $HERE" + takes);

  std::string text = read_whole_text(description);
  ASSERT_TRUE(write_whole_file(description, text_bytes(text.replace(text.find("log = $HERE\n"), 12, ""))));
  EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error));
  EXPECT_EQ(error, files + "install_log.txt" + cause + "the install location, as no log line says otherwise" + takes);

  text.insert(text.find("uninstaller"), "log = $HERE/logs/\n");
  ASSERT_TRUE(write_whole_file(description, text_bytes(text)));
  scratch.add_file("Logs/Install_Log.TXT", text_bytes("mine too\n"));
  EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error));
  EXPECT_EQ(error, files + "Logs/Install_Log.TXT" + cause + description + ":5: log = $HERE/logs/" + takes);
  fs::remove(files + "Logs/Install_Log.TXT");
  EXPECT_TRUE(package_builder::build_package(description, scratch.package + "installer.pkg", &error)) << error;
}

// The name of the installer's hold on the install location ("velk-hold.lock") is the installer's alone:
// a file or folder of that name at the top of a files folder, in any capitals, is refused naming it, in
// a whole package and in an update made from the whole new version, and so is a log or patch_check
// folder there, where no folder can be made. Below the top the name is any file's.
TEST(PackageBuilder, TheHoldsNameIsTheInstallersAlone) {
  INSTALLER_SCRATCH scratch("builder-hold-name");
  const std::string description = description_of(scratch), files = scratch.source + "files/";
  const std::string text = read_whole_text(description), package = scratch.package + "installer.pkg";
  const std::string holds = ": the installer holds the install location by a file of that name (velk-hold.lock, in "
                            "any capitals): the ";
  scratch.add_file("docs/velk-hold.lock", text_bytes("any file's name\n"));
  ASSERT_TRUE(scratch.build());
  const std::string earlier = scratch.root + "earlier.pkg";
  fs::copy_file(package, earlier);
  std::string error;
  for (const std::string name : {"velk-hold.lock", "Velk-Hold.LOCK"}) {
    scratch.add_file(name, text_bytes("left by a killed run\n"));
    EXPECT_FALSE(package_builder::build_package(description, package, &error));
    EXPECT_EQ(error, files + name + holds + "file would take its place");
    // An update of the earlier version made from the whole new one carries nothing of it.
    const std::string update = below(scratch.root + "update", "installer.pkg");
    fs::create_directories(scratch.root + "update");
    EXPECT_FALSE(package_builder::build_package(description, update, &error, 4096, nullptr, nullptr, earlier));
    EXPECT_EQ(error, files + name + holds + "file would take its place");
    EXPECT_FALSE(fs::exists(update));
    fs::remove(files + name);
  }
  scratch.add_file("VELK-HOLD.LOCK/inside.txt", text_bytes("a folder at the hold's name\n"));
  EXPECT_FALSE(package_builder::build_package(description, package, &error));
  EXPECT_EQ(error, files + "VELK-HOLD.LOCK" + holds + "folder would take its place");
  fs::remove_all(files + "VELK-HOLD.LOCK");

  for (const std::string line : {"log = $HERE/velk-hold.lock", "log = $HERE/./Velk-Hold.Lock/logs",
                                  "patch_check = $here/VELK-HOLD.LOCK"}) {
    ASSERT_TRUE(write_whole_file(description, text_bytes(text + line + "\n")));
    EXPECT_FALSE(package_builder::build_package(description, package, &error)) << line;
    std::string key = line.substr(0, line.find(' ')), value = line.substr(line.find('=') + 2);
    EXPECT_EQ(error, description + ":10: " + key + "'s folder lies at the installer's hold on the install location (a "
                                                   "file of its own, velk-hold.lock in any capitals), where no folder "
                                                   "can be made: " + value);
  }
  ASSERT_TRUE(write_whole_file(description, text_bytes(text + "log = $HERE/logs/velk-hold.lock\n")));
  EXPECT_TRUE(package_builder::build_package(description, package, &error)) << error;
}

// Every key that names a folder of the installed computer takes it from a path variable: a folder given
// without one (taken for the install location by the installer) is refused by its line with the form it
// was meant as, as is one in the installer's own temporary folder; the form with the variable packs, and
// the database holds it as written. The program ends such a run with status 1.
TEST(PackageBuilder, EveryFolderKeyTakesItsFolderFromAPathVariable) {
  INSTALLER_SCRATCH scratch("builder-folder-keys");
  const std::string description = description_of(scratch);
  const std::string head = "installation = A\ndefault_path = $ROOT0/opt/a\n";
  const struct {
    std::string key;     // the line, up to its folder
    std::string folder;  // the folder without a variable
    std::string error;   // after "<description>:<line>: "
    std::string right;   // the folder as it is written
  } cases[] = {
      {"default_path = ", "opt/a", "default_path begins with a path variable, e.g. $ROOT0/opt/application: opt/a",
       "$ROOT0/opt/a"},
      {"uninstaller = A;uninstall.sh;", "bin", "the uninstaller's folder begins with a path variable, e.g. $HERE/bin: bin",
       "$HERE/bin"},
      {"desktop_shortcut = 1;run.sh;Run;", "bin",
       "a shortcut's program folder begins with a path variable, e.g. $HERE/bin: bin", "$HERE/bin"},
      {"menu_shortcut = 3;guide.txt;Guide;Group;", "docs",
       "a shortcut's program folder begins with a path variable, e.g. $HERE/docs: docs", "$HERE/docs"},
      {"log = ", "patch", "log begins with a path variable, e.g. $HERE/patch: patch", "$HERE/patch"},
      {"log = ", "/var/log/a", "log begins with a path variable, e.g. $ROOT0/var/log/a: /var/log/a", "$ROOT0/var/log/a"},
      {"patch_check = ", "logs", "patch_check begins with a path variable, e.g. $HERE/logs: logs", "$HERE/logs"},
  };
  for (const auto& c : cases) {
    bool installation = c.key.compare(0, 12, "default_path") == 0;
    std::string before = installation ? "installation = A\n" : head;
    int line = installation ? 2 : 3;
    std::string error;
    ASSERT_TRUE(write_whole_file(description, text_bytes(before + c.key + c.folder + "\n")));
    EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error)) << c.key;
    EXPECT_EQ(error, description + ":" + std::to_string(line) + ": " + c.error);
    ASSERT_TRUE(write_whole_file(description, text_bytes(before + c.key + "$TEMP/" + c.folder + "\n")));
    EXPECT_FALSE(package_builder::build_package(description, scratch.package + "installer.pkg", &error)) << c.key;
    EXPECT_NE(error.find(":" + std::to_string(line) + ": "), std::string::npos) << error;
    EXPECT_NE(error.find(" lies in $TEMP, the installer's own temporary folder"), std::string::npos) << error;
    ASSERT_TRUE(write_whole_file(description, text_bytes(before + c.key + c.right + "\n")));
    EXPECT_TRUE(package_builder::build_package(description, scratch.package + "installer.pkg", &error)) << error;
  }
  std::unique_ptr<DATABASE> database(scratch.load());
  ASSERT_TRUE(database);
  EXPECT_STREQ(database->PATCH.dest_path_from_inst_loc, "$HERE/logs");
  database.reset();

  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  ASSERT_TRUE(write_whole_file(description, text_bytes(head + "log = patch\n")));
  std::string output = scratch.root + "output.txt";
  EXPECT_EQ(run_command("'" + binary_dir + "/make_package' '" + description + "' '" + scratch.package +
                        "installer.pkg' >'" + output + "' 2>&1"),
            1);
  EXPECT_EQ(read_whole_text(output),
            "make_package: " + description + ":3: log begins with a path variable, e.g. $HERE/patch: patch\n");
}

// A folder that the package cannot be written into says why, with the system's own cause. As root the
// folder is a file system mounted read-only in a mount namespace of its own.
TEST(PackageBuilder, AnOutputFolderThatCannotBeWrittenSaysWhy) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("builder-read-only");
  scratch.name_destination_from_root();
  const std::string folder = scratch.root + "locked", err = scratch.root + "err";
  fs::create_directories(folder);
  std::string command = "'" + binary_dir + "/make_package' '" + description_of(scratch) + "' '" + folder + "/installer.pkg'";
  std::string cause = "Permission denied";
  if (geteuid() == 0) {
    REQUIRE_TOOL("unshare");
    command = "unshare -m --propagation private sh -c \"mount -t tmpfs -o ro tmpfs '" + folder + "' || exit 90; " +
              command + "\"";
    cause = "Read-only file system";
  } else {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  }
  int status = run_command(command + " 2>'" + err + "'");
  if (status == 90) GTEST_SKIP() << "a tmpfs cannot be mounted here; skipped";
  EXPECT_EQ(status, 1);
  EXPECT_EQ(read_whole_text(err), "make_package: " + folder + "/installer.pkg: cannot be created: " + cause + "\n");
  fs::permissions(folder, fs::perms::owner_all);
}

// Ctrl+C or SIGTERM while the packer writes: it stops before its next file, says so with status 1 and
// leaves nothing beside the package; after SIGHUP (a closed terminal) it makes the package. The request
// comes while the packer waits for its description, which a pipe holds back.
TEST(PackageBuilder, AnInterruptedPackerLeavesNothing) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  INSTALLER_SCRATCH scratch("builder-interrupted");
  const std::string text = scratch.name_destination_from_root(), pipe = scratch.source + "pipe.txt";
  const std::string program = binary_dir + "/make_package", package = scratch.package + "installer.pkg";
  const std::string err = scratch.root + "err";
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    pid_t child = fork();
    if (child == 0) {
      int error_file = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(error_file, 2);
      execl(program.c_str(), program.c_str(), pipe.c_str(), package.c_str(), (char*)nullptr);
      _exit(99);
    }
    ASSERT_GT(child, 0);
    // The packer watches for end requests before it opens its description; once it has, a writer can.
    int writer = -1;
    for (int i = 0; i < 3000 && writer < 0; i++)
      if ((writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK)) < 0) usleep(10000);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(kill(child, number), 0);
    ASSERT_EQ(write(writer, text.data(), text.size()), (ssize_t)text.size());
    close(writer);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    bool ends = number != SIGHUP;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (ends ? 1 : 0)) << number << " " << status;
    EXPECT_EQ(read_whole_text(err), ends ? "make_package: " + package + ": not made: the packer was asked to end\n" : "");
    EXPECT_EQ(package_folder_entries(scratch).size(), ends ? 0u : 1u) << number;
    fs::remove(package);
    fs::remove(pipe);
  }
}

namespace {

// The packer's temporaries ("~velk…") in the folder.
std::set<std::string> temporaries_in(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().compare(0, 5, "~velk") == 0) names.insert(entry.path().filename().string());
  return names;
}

// Where the process stands in the file at path, through a descriptor it holds open on it; -1 when it
// holds none.
long long position_in(int pid, const std::string& path) {
  const std::string process = "/proc/" + std::to_string(pid);
  std::error_code code;
  for (const auto& entry : fs::directory_iterator(process + "/fd", code)) {
    if (fs::read_symlink(entry.path(), code) != fs::path(path) || code) continue;
    std::ifstream info(process + "/fdinfo/" + entry.path().filename().string());
    std::string key;
    long long position = -1;
    info >> key >> position;
    return key == "pos:" ? position : -1;
  }
  return -1;
}

// The system call that the stopped process is in; -1 when none can be read.
long system_call_of(int pid) {
  std::ifstream info("/proc/" + std::to_string(pid) + "/syscall");
  long number = -1;
  info >> number;
  return number;
}

bool is_rename(long number) { return number == SYS_rename || number == SYS_renameat || number == SYS_renameat2; }

// The packer's command line for a package (or, with single, a single-file installer) at output.
std::vector<std::string> packer_arguments(const std::string& binary_dir, const INSTALLER_SCRATCH& scratch,
                                          const std::string& output, bool single) {
  if (single)
    return {binary_dir + "/make_package", "--installer", binary_dir + "/installer", description_of(scratch), output};
  return {binary_dir + "/make_package", description_of(scratch), output};
}

}  // namespace

namespace {

// From now on this process and the processes it starts are refused ptrace, as a container's profile
// refuses it; false when no filter of system calls can be set.
bool refuse_following() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_ptrace, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program = {(unsigned short)(sizeof filter / sizeof filter[0]), filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

void require_following() { REQUIRE_FOLLOWING(); }

// The message of the current test's last result part (a skip's or a failure's).
std::string last_part_message() {
  const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
  int count = result->total_part_count();
  return count ? result->GetTestPartResult(count - 1).message() : "";
}

}  // namespace

// Where ptrace is refused, a followed run says that it cannot be followed and why, never that it
// ended before its point, and a test that follows programs is skipped with that reason, or fails under
// CI; a program that does end before the point gives its own status.
TEST(ProgramFollowing, ARefusalIsToldFromARunThatEndedBeforeItsPoint) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The results go through the pipe; what the checks print in this copy of the test goes nowhere.
    int nothing = open("/dev/null", O_WRONLY);
    dup2(nothing, 1);
    std::string text = "no filter";
    if (refuse_following()) {
      POINT_RUN run = run_to_point({"/bin/true"}, {}, "", [](int) { return true; }, {SIGINT});
      text = std::to_string((int)run.outcome) + "|" + run.cause;
      unsetenv("CI");
      require_following();
      text += std::string("|") + (::testing::Test::IsSkipped() ? "skipped: " : "ran: ") + last_part_message();
      setenv("CI", "true", 1);
      require_following();
      text += std::string("|") + (::testing::Test::HasFatalFailure() ? "failed: " : "ran: ") + last_part_message();
    }
    ssize_t written = write(report[1], text.data(), text.size());
    _exit(written == (ssize_t)text.size() ? 0 : 1);
  }
  close(report[1]);
  std::string text;
  char chunk[512];
  for (ssize_t got; (got = read(report[0], chunk, sizeof chunk)) > 0;) text.append(chunk, (size_t)got);
  close(report[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (text == "no filter") {
    if (environment_text("CI") == "true") FAIL() << "no filter of system calls can be set under CI";
    GTEST_SKIP() << "no filter of system calls can be set here; skipped";
  }
  const std::string cause = "ptrace (PTRACE_TRACEME) is refused here: Operation not permitted";
  EXPECT_EQ(text, std::to_string((int)POINT_RUN::CANNOT_FOLLOW) + "|" + cause +
                      "|skipped: programs cannot be followed: " + cause + "; skipped" +
                      "|failed: Failed\nprograms cannot be followed under CI: " + cause);

  REQUIRE_FOLLOWING();
  POINT_RUN ended = run_to_point({"/bin/sh", "-c", "exit 3"}, {}, "", [](int) { return false; }, {SIGINT});
  EXPECT_EQ(ended.outcome, POINT_RUN::ENDED_BEFORE);
  EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 3) << ended.status;
}

// Two requests that reach the packer together end it at once, by the second's signal, and take with it
// whatever it wrote, wherever they come: they are sent just as each of its temporaries appears (the
// package's and its database's; for a single-file installer also the package it reads back and the
// installer it writes), two presses of Ctrl+C alike or SIGTERM and Ctrl+C, and the folder keeps only
// the earlier output.
TEST(PackageBuilder, TwoRequestsAtOnceLeaveNothingWhereverTheyCome) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  REQUIRE_FOLLOWING();
  INSTALLER_SCRATCH scratch("builder-two-requests");
  scratch.name_destination_from_root();
  for (bool single : {false, true}) {
    const std::string name = single ? "setup" : "installer.pkg", output = scratch.package + name;
    const int temporaries = single ? 4 : 2;
    for (int birth = 1; birth <= temporaries + 1; birth++) {
      fs::remove_all(scratch.package);  // what a failed run left
      fs::create_directories(scratch.package);
      ASSERT_TRUE(write_whole_file(output, text_bytes("earlier")));
      std::set<std::string> seen;
      auto born = [&](int) {
        for (const std::string& temporary : temporaries_in(scratch.package)) seen.insert(temporary);
        return (int)seen.size() >= birth;
      };
      const int first = birth % 2 ? SIGINT : SIGTERM;
      POINT_RUN run = run_to_point(packer_arguments(binary_dir, scratch, output, single), {}, scratch.root + "err",
                                   born, {first, SIGINT});
      if (birth > temporaries) {
        // It ran to its end.
        EXPECT_EQ(run.outcome, POINT_RUN::ENDED_BEFORE) << "a temporary more than " << temporaries;
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
        break;
      }
      EXPECT_EQ(run.outcome, POINT_RUN::REACHED) << single << " " << birth;
      EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGINT) << single << " " << birth << ": "
                                                                             << run.status;
      EXPECT_EQ(package_folder_entries(scratch), std::vector<std::string>{name}) << single << " " << birth;
      EXPECT_TRUE(read_whole_text(output) == "earlier") << "the earlier output was replaced";
    }
  }
}

// A request to end the packer stops it wherever it comes, and it makes nothing: status 1, it says so,
// the earlier output stays and nothing is left beside it. It comes while a file of many blocks is
// copied into the package, once the package is whole but before it takes its name, while the package
// that takes the earlier one's place is written out to the disk, while a single-file installer is
// written, once that installer's package is read whole, and while the installer is written out.
TEST(PackageBuilder, ARequestToEndAnywhereMakesNothing) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  REQUIRE_FOLLOWING();
  INSTALLER_SCRATCH scratch("builder-request-anywhere");
  scratch.name_destination_from_root();
  // The last file of the tree, a thousand blocks that the packer reads in eight.
  scratch.add_file("zz/large.bin", {});
  const std::string large = scratch.source + "files/zz/large.bin";
  fs::resize_file(large, 4u << 20);
  enum POINT { COPYING, PACKAGE_WHOLE, PACKAGE_WRITTEN_OUT, WRITING, READ_WHOLE, INSTALLER_WRITTEN_OUT };
  for (POINT point : {COPYING, PACKAGE_WHOLE, PACKAGE_WRITTEN_OUT, WRITING, READ_WHOLE, INSTALLER_WRITTEN_OUT}) {
    bool single = point >= WRITING;
    const std::string name = single ? "setup" : "installer.pkg", output = scratch.package + name;
    fs::remove_all(scratch.package);
    fs::create_directories(scratch.package);
    ASSERT_TRUE(write_whole_file(output, text_bytes("earlier")));
    std::set<std::string> seen;
    auto reached = [&](int pid) {
      if (point == COPYING) {
        long long position = position_in(pid, large);
        return position > 0 && position < (4 << 20);
      }
      if (point == PACKAGE_WRITTEN_OUT || point == INSTALLER_WRITTEN_OUT) return system_call_of(pid) == SYS_fsync;
      std::set<std::string> now = temporaries_in(scratch.package);
      seen.insert(now.begin(), now.end());
      if (point == PACKAGE_WHOLE) return seen.size() == 2 && now.size() == 1;  // its database's went
      return seen.size() == 4 && now.size() == (point == WRITING ? 2u : 1u);
    };
    POINT_RUN run = run_to_point(packer_arguments(binary_dir, scratch, output, single), {}, scratch.root + "err",
                                 reached, {point % 2 ? SIGINT : SIGTERM});
    EXPECT_EQ(run.outcome, POINT_RUN::REACHED) << point;
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << point << ": " << run.status;
    EXPECT_EQ(read_whole_text(scratch.root + "err"),
              "make_package: " + output + ": not made: the packer was asked to end\n");
    EXPECT_EQ(package_folder_entries(scratch), std::vector<std::string>{name}) << point;
    EXPECT_TRUE(read_whole_text(output) == "earlier") << point << ": the earlier output was replaced";
  }
}

// A request that comes as the output takes the earlier one's name can no longer keep the earlier one:
// it is taken as soon as the name is taken. One ends the run with status 1, saying that the output was
// made as the packer was asked to end; two end it at once. Either way the folder holds the new output
// alone.
TEST(PackageBuilder, ARequestAsTheOutputTakesItsNameIsTakenOnceItHasIt) {
  const std::string binary_dir = environment_text("VELK_BINARY_DIR");
  if (binary_dir.empty()) GTEST_SKIP() << "VELK_BINARY_DIR is not set";
  REQUIRE_FOLLOWING();
  INSTALLER_SCRATCH scratch("builder-request-at-name");
  scratch.name_destination_from_root();
  for (bool single : {false, true}) {
    const std::string name = single ? "setup" : "installer.pkg", output = scratch.package + name;
    for (const std::vector<int>& signals : {std::vector<int>{SIGINT}, std::vector<int>{SIGINT, SIGINT}}) {
      fs::remove_all(scratch.package);
      fs::create_directories(scratch.package);
      ASSERT_TRUE(write_whole_file(output, text_bytes("earlier")));
      // Once every temporary was made (a single-file installer's package takes a name of its own first).
      std::set<std::string> seen;
      auto at_name = [&](int pid) {
        for (const std::string& temporary : temporaries_in(scratch.package)) seen.insert(temporary);
        return is_rename(system_call_of(pid)) && seen.size() == (single ? 4u : 2u);
      };
      POINT_RUN run = run_to_point(packer_arguments(binary_dir, scratch, output, single), {}, scratch.root + "err",
                                   at_name, signals);
      EXPECT_EQ(run.outcome, POINT_RUN::REACHED) << single;
      if (signals.size() == 1) {
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << single << ": " << run.status;
        EXPECT_EQ(read_whole_text(scratch.root + "err"),
                  "make_package: " + output + ": made: the packer was asked to end as it took its name\n");
      } else {
        EXPECT_TRUE(WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGINT) << single << ": " << run.status;
      }
      EXPECT_EQ(package_folder_entries(scratch), std::vector<std::string>{name}) << single;
      EXPECT_GT(fs::file_size(output), 1000u) << single << ": the earlier output stayed";
    }
  }
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
  scratch.name_destination_from_root();
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
