// Tests of the patch description: "-d first=second" on two packages writes the exact "patch.xml"
// (changed, added and deleted files, header and language texts, entities), which an XML reader accepts;
// files differing only in their first byte are found; missing names and packages end the job.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "data_file.h"
#include "host.h"
#include "package.h"
#include "installer_test_support.h"

namespace {

// Builds first.pkg and second.pkg: the second changes the first byte of readme.txt, adds docs/new.txt,
// drops "bin/old--file.txt" and keeps the rest.
struct TWO_PACKAGES {
  INSTALLER_SCRATCH scratch;
  bool built = false;
  explicit TWO_PACKAGES(const std::string& name)
      : scratch(name, "title = Test \"Installer\" <1> & more\nlanguage = Deutsch;;\n") {
    scratch.add_file("bin/old--file.txt", text_bytes("to be dropped\n"));
    scratch.add_file("a&b.txt", text_bytes("ampersand\n"));
    if (!scratch.build("first.pkg")) return;
    write_whole_file(scratch.source + "files/readme.txt", text_bytes("read me first.\n"));
    std::filesystem::remove(scratch.source + "files/bin/old--file.txt");
    write_whole_file(scratch.source + "files/docs/new.txt", text_bytes("new\n"));
    built = scratch.build("second.pkg");
  }
  std::string argument() const { return "$SCRATCH/package/first.pkg=$SCRATCH/package/second.pkg"; }
  std::string patch() const { return scratch.package + "patch.xml"; }
};

const char* const LANGUAGE_NAMES[] = {
    "LANGUAGE_TITLE", "INSTALLER_TITLE", "QUIT_TITLE", "QUIT_MSG", "QUIT_YES", "QUIT_NO", "COPY_ERROR_TITLE",
    "COPY_ERROR_MSG", "COPY_ERROR_YES", "COPY_ERROR_NO", "FORWARD", "FORWARD_HINT", "PREVIOUS", "PREVIOUS_HINT",
    "AGREE", "AGREE_HINT", "DISAGREE", "DISAGREE_HINT", "QUIT", "QUIT_HINT", "ABOUT", "ABOUT_HINT", "INSTALL",
    "INSTALL_HINT", "FINISH", "FINISH_HINT", "SELECT_LANGUAGE", "LICENCE_TITLE", "README_TITLE",
    "INSTALL_TYPE_TITLE", "SELECT_OPTIONS_TITLE", "SELECT_OPTIONS_LOCATION_QUESTION",
    "SELECT_OPTIONS_USE_SYSTEM_PATHS", "SELECT_OPTIONS_SHORTCUT_QUESTION", "SELECT_OPTIONS_DESKTOP_SHORTCUT",
    "SELECT_OPTIONS_MENU_SHORTCUT", "SELECT_OPTIONS_SYSPATHS_SELECTED", "INSTALLING_TITLE", "INSTALLING_STRING",
    "INITIALIZING_STRING", "INSTALLING_DESKTOP_SHORTCUT", "INSTALLING_MENU_SHORTCUT", "PACK_DATA_TITLE",
    "PACK_LOG_TITLE", "COMPLETE", "OK_BUTTON", "CANCEL_BUTTON", "NEW_FOLDER_BUTTON", "SELECT_FOLDER_TITLE",
    "SELECT_FOLDER_MSG", "SELECT_FOLDER_MENU_TITLE", "MY_COMPUTER", "NEW_FOLDER_TITLE", "NEW_FOLDER_MSG",
    "CHECK_DESKTOP_FAILED_TITLE", "CHECK_DESKTOP_FAILED", "PATCH_MSG"};

std::string language_block(const std::string& name, const std::string& licence) {
  std::string text = "\t<LANGUAGE name=\"" + name + "\">\n\n";
  for (const char* element : LANGUAGE_NAMES) {
    std::string value;
    std::string e = element;
    if (e == "LANGUAGE_TITLE") value = name;
    else if (e == "INSTALLER_TITLE") value = "Test &quot;Installer&quot; &lt;1&gt; &amp; more";
    else if (e == "COPY_ERROR_MSG") value = "A file could not be installed.&#xA;Go on with the next one?";
    // The other texts have the packer's built-in words (plain letters, nothing to escape).
    for (int slot = 1; slot < LANGUAGE_TEXT_COUNT && value.empty(); slot++)
      if (e == language_text_name(slot)) value = package_builder::default_wizard_text(slot);
    text += "\t\t<" + e + " string=\"" + value + "\"/>\n";
  }
  text += "\n\t\t<INSTALLATION name=\"Test App\" string=\"Test App\"/>\n\n";
  text += "\t\t<LICENCE path=\"" + std::string(licence.empty() ? "" : "$HERE") + "\" filename=\"" + licence + "\"/>\n";
  text += "\t\t<README path=\"\" filename=\"\" lines=\"0\"/>\n\n\t</LANGUAGE>\n\n";
  return text;
}

std::string file_element(const std::string& name, const std::string& folder) {
  return "\t\t<FILE platform=\"\" src_name=\"" + name + "\" dest_name=\"\" src_path_from_xml=\"" + folder +
         "\" dest_path_from_inst_loc=\"" + (folder.empty() ? "$HERE" : "$HERE/" + folder) +
         "\" system_dest_path_from_inst_loc=\"\" stamp=\"no\" overwrite=\"always\"/>\n";
}

}  // namespace

TEST(InstallerPatch, DescribesChangedAddedAndDeletedFilesExactly) {
  TWO_PACKAGES packages("patch-exact");
  ASSERT_TRUE(packages.built);
  EXPECT_EQ(create_patch_description(packages.argument().c_str()), EXIT_JOB_DONE);

  std::string expected =
      std::string("<INSTALLER show_frame_rate=\"no\" show_filenames=\"yes\" show_filepaths=\"yes\" file_cache_sz=\"1048576\"  "
      "default_language_name=\"English\">\n"
      "\n"
      "\t<APPLICATION version=\"1.0\" build_number=\"0\" app_string=\"velk-test-app\"/>\n"
      // The packer's sizes of the wizard and its dialogs where the description gives none.
      "\t<WINDOW width=\"640\" height=\"480\" fullscreen=\"no\" show_bg_title=\"no\"/>\n"
      "\t<DIALOG x=\"40\" y=\"30\" width=\"560\" height=\"420\" button_gap=\"10\" can_drag=\"yes\"/>\n"
      "\t<EXIT x=\"-1\" y=\"-1\" width=\"320\" height=\"170\" can_drag=\"yes\"/>\n"
      "\t<ERROR x=\"-1\" y=\"-1\" width=\"400\" height=\"300\" can_drag=\"yes\"/>\n"
      "\t<FILE_SELECT x=\"-1\" y=\"-1\" width=\"520\" height=\"380\" new_folder_too=\"no\" can_drag=\"yes\"/>\n"
      "\t<ABOUT x=\"-1\" y=\"-1\" width=\"360\" height=\"240\" can_drag=\"yes\"/>\n"
      "\t<BACKGROUND path=\"\" filename=\"\" speed=\"600\" width=\"-1\" height=\"-1\" start_offset_ms=\"0\"/>\n"
      "\t<SKIN path=\"\"/>\n"
      "\t<LOG dest_path_from_inst_loc=\"$HERE/patch\" system_dest_path_from_inst_loc=\"/patch\"/>\n"
      "\t<PATCH dest_path_from_inst_loc=\"$HERE\" system_dest_path_from_inst_loc=\"\" do_check=\"yes\"/>\n"
      "\t<CHECK_DESKTOP_SIZE width=\"-1\" height=\"-1\"/>\n"
      "\n"
      "\t<INSTALLATION name=\"Test App\" allow_system_paths=\"yes\" default_path=\"$SCRATCH/dest\">\n"
      "\n") +
      "\t\t<!-- Deleted files not supported\n" +
      std::string(
      // Inside the comment a "--" is broken up so that the comment stays well-formed.
      "\t\t<FILE platform=\"\" src_name=\"old-&#45;file.txt\" dest_name=\"\" src_path_from_xml=\"bin\" "
      "dest_path_from_inst_loc=\"$HERE/bin\" system_dest_path_from_inst_loc=\"\" stamp=\"no\" overwrite=\"always\"/>\n"
      "\t\t-->\n") +
      file_element("readme.txt", "") + file_element("new.txt", "docs") +
      "\n\t</INSTALLATION>\n\n" + language_block("English", "licence-0") + language_block("Deutsch", "") +
      "</INSTALLER>\n";
  // "a&b.txt" is the same in both packages: it appears nowhere.
  std::vector<std::string> lines = read_lines(packages.patch());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  EXPECT_EQ(text, expected);

#ifndef _WIN32
  REQUIRE_TOOL("xmllint");
  EXPECT_EQ(run_command("xmllint --noout '" + packages.patch() + "'"), 0);
#endif
}

TEST(InstallerPatch, IdenticalPackagesListNoFilesAndMissingNamesEndTheJob) {
  TWO_PACKAGES packages("patch-same");
  ASSERT_TRUE(packages.built);
  std::string same = "$SCRATCH/package/first.pkg=$SCRATCH/package/first.pkg";
  EXPECT_EQ(create_patch_description(same.c_str()), EXIT_JOB_DONE);
  std::string text = read_whole_text(packages.patch());
  EXPECT_EQ(text.find("<FILE "), std::string::npos);
  EXPECT_NE(text.find("</INSTALLER>"), std::string::npos);
  std::filesystem::remove(packages.patch());

  EXPECT_EQ(create_patch_description(nullptr), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(create_patch_description("$SCRATCH/package/first.pkg"), EXIT_JOB_NOT_STARTED);
  EXPECT_EQ(create_patch_description("$SCRATCH/package/first.pkg=$SCRATCH/package/none.pkg"), EXIT_JOB_NOT_STARTED);
  // A folder part that does not exist is no fall-back to its parent, where first.pkg lies.
  EXPECT_EQ(create_patch_description("$SCRATCH/package/missing/first.pkg=$SCRATCH/package/second.pkg"),
            EXIT_JOB_NOT_STARTED);
  EXPECT_FALSE(std::filesystem::exists(packages.patch()));
}

TEST(InstallerPatch, ChangedInstallationSettingsCannotBePatched) {
  TWO_PACKAGES packages("patch-settings");
  ASSERT_TRUE(packages.built);
  std::string description = read_whole_text(packages.scratch.source + "description.txt");
  description.replace(description.find("uninstall.sh"), 12, "remove.sh");
  ASSERT_TRUE(write_whole_file(packages.scratch.source + "description.txt", text_bytes(description)));
  packages.scratch.add_file("bin/remove.sh", text_bytes("#!/bin/sh\n"));
  ASSERT_TRUE(packages.scratch.build("second.pkg"));
  EXPECT_EQ(create_patch_description(packages.argument().c_str()), EXIT_JOB_FAILED);
  // The file holds what was written before the difference, and no closing line.
  std::string text = read_whole_text(packages.patch());
  EXPECT_NE(text.find("\t<INSTALLATION name=\"Test App\""), std::string::npos);
  EXPECT_EQ(text.find("</INSTALLER>"), std::string::npos);
}

// A file of the new package at the installer's hold on the install location ("velk-hold.lock" in any
// capitals, with or without the system folders) is no file a patch can bring: said, and the job ends.
// Below the top the name is any file's.
TEST(InstallerPatch, AFileAtTheInstallersHoldCannotBePatched) {
  TWO_PACKAGES packages("patch-hold");
  ASSERT_TRUE(packages.built);
  INSTALLER_SCRATCH& scratch = packages.scratch;
  FOLDER folder;
  ASSERT_TRUE(folder.set_if_folder(scratch.package.substr(0, scratch.package.size() - 1).c_str()));
  DATABASE second;
  second.data_folder = folder;
  ASSERT_TRUE(second.load_package("second.pkg"));
  // The packer refuses the name: the package is made otherwise.
  auto store = [&](const char* top_folder) {
    for (INT_S16 i = 0; i < second.installations[0].file_count; i++) {
      INSTALLATION_FILE& file = second.installations[0].files[i];
      if (std::strcmp(file.packed_name, "readme.txt") == 0) {
        std::strcpy(file.src_name, "Velk-Hold.Lock");
        std::strcpy(file.dest_path_from_inst_loc, "$HERE/docs");
        std::strcpy(file.system_dest_path_from_inst_loc, top_folder);
      }
      if (std::strcmp(file.packed_name, "docs/guide.txt") == 0) std::strcpy(file.dest_name, "velk-hold.lock");
    }
    DATA_FILE* stored = open_data_file(&folder, "database.bin", FILE_MODE_WRITE_NEW, BYTE_ORDER_HEADER, false);
    bool written = stored && second.put_to_data_device(stored) && close_data_file(&stored);
    written = written && PACKAGE(&folder, "second.pkg", false, -1, true, false).add_file(&folder, "database.bin",
                                                                                       "database.bin", true);
    std::filesystem::remove(scratch.package + "database.bin");
    return written;
  };
  // Below the top of the install location the name is any file's.
  ASSERT_TRUE(store(""));
  EXPECT_EQ(create_patch_description(packages.argument().c_str()), EXIT_JOB_DONE);
  for (const char* top : {"$HERE", "$app/docs/.."}) {
    ASSERT_TRUE(store(top));
#ifndef _WIN32
    ::testing::internal::CaptureStdout();
#endif
    EXPECT_EQ(create_patch_description(packages.argument().c_str()), EXIT_JOB_FAILED) << top;
#ifndef _WIN32
    std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("Installation (0)\n\t\tFile at the installer's hold - /Velk-Hold.Lock (the installer holds "
                        "the install location by a file of that name) - not supported by patching system\n"),
              std::string::npos)
        << said;
#endif
    EXPECT_EQ(read_whole_text(packages.patch()).find("Velk-Hold.Lock"), std::string::npos);
  }
}

TEST(InstallerPatch, LongEscapedLinesAreWrittenWhole) {
  TWO_PACKAGES packages("patch-long");
  ASSERT_TRUE(packages.built);
  std::string folder(60, '&'), name = std::string(60, '&') + ".txt";
  packages.scratch.add_file(folder + "/" + name, text_bytes("long\n"));
  ASSERT_TRUE(packages.scratch.build("second.pkg"));
  EXPECT_EQ(create_patch_description(packages.argument().c_str()), EXIT_JOB_DONE);
  std::string amps(300, ' ');
  amps.clear();
  for (int i = 0; i < 60; i++) amps += "&amp;";
  std::string line = file_element(amps + ".txt", amps);
  line.pop_back();  // read_lines drops the line end
  ASSERT_GT(line.size(), 1023u);
  bool found = false;
  for (const std::string& text : read_lines(packages.patch())) found = found || text == line;
  EXPECT_TRUE(found);
}

// Files that share their entry with others of the same bytes (within an installation and across two)
// are compared each by its own: a package compared with itself lists none, and one in which a shared
// file changed in the second installation alone lists that file there alone.
TEST(InstallerPatch, FilesSharingAnEntryAreComparedEachByItsOwn) {
  INSTALLER_SCRATCH scratch("patch-shared");
  add_shared_files(scratch);
  std::string description = read_whole_text(scratch.source + "description.txt");
  description += "installation = Part\ndefault_path = $SCRATCH/dest-b\nfiles = files-b\n";
  ASSERT_TRUE(write_whole_file(scratch.source + "description.txt", text_bytes(description)));
  ASSERT_TRUE(scratch.build("first.pkg"));
  EXPECT_EQ(create_patch_description("$SCRATCH/package/first.pkg=$SCRATCH/package/first.pkg"), EXIT_JOB_DONE);
  EXPECT_EQ(read_whole_text(scratch.package + "patch.xml").find("<FILE "), std::string::npos);

  std::vector<INT_U8> changed = read_whole_file(scratch.source + "files-b/large.bin");
  changed[100000] ^= 1;
  ASSERT_TRUE(write_whole_file(scratch.source + "files-b/large.bin", changed));
  ASSERT_TRUE(scratch.build("second.pkg"));
  EXPECT_EQ(create_patch_description("$SCRATCH/package/first.pkg=$SCRATCH/package/second.pkg"), EXIT_JOB_DONE);
  // Each file listed, after the installation it is listed under.
  std::string installation;
  std::vector<std::string> listed;
  for (const std::string& line : read_lines(scratch.package + "patch.xml")) {
    if (line.compare(0, 15, "\t<INSTALLATION ") == 0) installation = line;
    if (line.find("<FILE ") != std::string::npos) listed.push_back(installation + "\n" + line + "\n");
  }
  EXPECT_EQ(listed, std::vector<std::string>{"\t<INSTALLATION name=\"Part\" allow_system_paths=\"yes\" "
                                             "default_path=\"$SCRATCH/dest-b\">\n" +
                                             file_element("large.bin", "")});
}
