// Tests of updates made by the README's recipe and by the packer from the whole new versions: three
// versions of a small tool whose configuration the user edits ("overwrite = never"), installed and
// updated v1 -> v2 -> v3 with "-a" (the last update also as a single-file installer), and the last update
// through the wizard in a real window: the user's files kept, every installed file named by a log of the
// install folder, the tool's other files of the newest version; an earlier log kept under a free number,
// also by a run killed at that moment, and one that cannot be kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "installer_update_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>

#include <csignal>
#endif

namespace {

namespace fs = std::filesystem;

typedef std::map<std::string, std::string> FILES;  // path below the files folder, bytes

// The tool's files in each version: code changed and added, data unchanged, and its configuration,
// whose default changes in version 2.
const FILES VERSIONS[3] = {
    {{"bin/tool.py", "tool 1\n"}, {"lib/util.py", "util\n"}, {"etc/tool.conf", "blue\n"}, {"share/data.txt", "data\n"}},
    {{"bin/tool.py", "tool 2\n"}, {"lib/util.py", "util\n"}, {"lib/new.py", "new 2\n"}, {"etc/tool.conf", "blue 2\n"},
     {"share/data.txt", "data\n"}},
    {{"bin/tool.py", "tool 3\n"}, {"lib/util.py", "util\n"}, {"lib/new.py", "new 3\n"}, {"lib/more.py", "more 3\n"},
     {"etc/tool.conf", "blue 2\n"}, {"share/data.txt", "data\n"}}};

// What the user made of the installation: the configuration edited, and files of their own.
const FILES USER_FILES = {{"etc/tool.conf", "red\n"}, {"etc/user.conf", "mine\n"}, {"notes.txt", "notes\n"}};

std::string quoted(const std::string& text) {
#ifdef _WIN32
  return "\"" + text + "\"";
#else
  return "'" + text + "'";
#endif
}

// The value of an attribute of a line of "patch.xml".
std::string attribute(const std::string& line, const std::string& name) {
  size_t at = line.find(" " + name + "=\"");
  if (at == std::string::npos) return std::string();
  at += name.size() + 3;
  return line.substr(at, line.find('"', at) - at);
}

// The tool's versions, each packed from a description and files of its own as "v1" to "v3" of the
// package folder, and the updates to versions 2 and 3 as the README makes them, packed as "u2" and "u3":
// "-d" on the installed and the new package, then the new version's description with the files that
// "patch.xml" lists, patch_check and the log in "patch".
struct ROAD {
  INSTALLER_SCRATCH scratch;
  UPDATE_RUNS runs;
  std::string head;  // every version's description
  bool whole = false;  // the updates made by the packer from the whole new versions (--update-of)

  ROAD(const std::string& name, const std::string& extra) : scratch(name), runs(scratch) {
    head = "title = Tool Installer\napplication = velk-road\ninstallation = Tool\ndefault_path = " + runs.location +
           "\noverwrite = never;etc/tool.conf\n" + extra;
  }
  std::string package(const std::string& name) const { return scratch.package + name; }

  bool pack(const std::string& name, const std::string& description, const FILES& files) {
    std::string source = scratch.source + name + "/";
    for (const auto& file : files) {
      fs::create_directories(fs::u8path(source + "files/" + file.first).parent_path());
      if (!write_whole_file(source + "files/" + file.first, text_bytes(file.second))) return false;
    }
    fs::create_directories(package(name));
    std::string error;
    bool made = write_whole_file(source + "description.txt", text_bytes(description)) &&
                package_builder::build_package(source + "description.txt", package(name) + "/installer.pkg", &error);
    EXPECT_TRUE(made) << error;
    return made;
  }
  bool version(int n) { return pack("v" + std::to_string(n), head, VERSIONS[n - 1]); }
  bool update(int n) {
    std::string from = package("v" + std::to_string(n - 1)), to = package("v" + std::to_string(n));
    if (whole) {
      // From version n's own description against version n - 1's package; the one to version 3 as a
      // single-file installer.
      std::string description = scratch.source + "v" + std::to_string(n) + "/description.txt", error;
      std::string made = package("u" + std::to_string(n)), earlier = from + "/installer.pkg";
      fs::create_directories(made);
      bool done = n == 3 ? package_builder::build_installer(description, runs.installer, made + "/setup.exe", &error,
                                                            4096, nullptr, nullptr, earlier)
                         : package_builder::build_package(description, made + "/installer.pkg", &error, 4096, nullptr,
                                                          nullptr, earlier);
      EXPECT_TRUE(done) << error;
      return done;
    }
    if (runs.run(runs.installer, "-d " + quoted(program_path_text(from) + "/installer.pkg=" + program_path_text(to) +
                                                "/installer.pkg")) != 0)
      return false;
    FILES carried;
    bool comment = false;
    for (const std::string& line : read_lines(from + PATH_SEPARATOR + "patch.xml")) {
      comment = comment || line.find("<!--") != std::string::npos;
      if (!comment && line.find("<FILE ") != std::string::npos) {
        std::string folder = attribute(line, "src_path_from_xml"), name = attribute(line, "src_name");
        std::string path = folder.empty() ? name : folder + "/" + name;
        carried[path] = VERSIONS[n - 1].at(path);
      }
      comment = comment && line.find("-->") == std::string::npos;
    }
    return pack("u" + std::to_string(n), head + "patch_check = $HERE\nlog = $HERE/patch\n", carried);
  }

  // Versions 1 to 3 packed and the updates to 2 and 3 made; version 1 installed with "-a", edited by the
  // user and updated to version 2.
  void up_to_version_2() {
    ASSERT_TRUE(version(1) && version(2) && version(3) && update(2) && update(3));
    ASSERT_EQ(runs.install(package("v1")), 0) << read_whole_text(runs.output);
    for (const auto& file : USER_FILES) ASSERT_TRUE(write_whole_file(scratch.installed(file.first), text_bytes(file.second)));
    ASSERT_EQ(runs.install(package("u2")), 0) << read_whole_text(runs.output);
  }

  // The user's files as the user left them, the tool's others those of version 3, and every other file
  // of the install folder named by one of its logs (logs of all): the installation's own, or an update's
  // in "patch" (the latest "install_log.txt", the earlier ones kept as "install_log-<n>.txt").
  void expect_road_end() {
    for (const auto& file : USER_FILES) EXPECT_EQ(read_whole_text(scratch.installed(file.first)), file.second);
    for (const auto& file : VERSIONS[2]) {
      if (!USER_FILES.count(file.first)) {
        EXPECT_EQ(read_whole_text(scratch.installed(file.first)), file.second);
      }
    }
    std::set<std::string> log_names = {"install_log.txt"}, named;
    for (const auto& entry : fs::directory_iterator(scratch.installed("patch")))
      log_names.insert("patch/" + entry.path().filename().string());
    EXPECT_EQ(log_names.size(), 3u);
    for (const std::string& log : log_names)
      for (const std::string& line : read_lines(scratch.installed(log)))
        if (line.compare(0, 11, "Installed \"") == 0) named.insert(line.substr(11, line.size() - 12));
    for (const auto& entry : fs::recursive_directory_iterator(scratch.destination)) {
      std::string path = entry.path().lexically_relative(scratch.destination).generic_string();
      // The user's own files were installed by none (the configuration they edited was).
      if (!entry.is_regular_file() || log_names.count(path) || (USER_FILES.count(path) && path != "etc/tool.conf"))
        continue;
      EXPECT_TRUE(named.count(scratch.installed(path))) << path << " is named by no log";
    }
  }
};

}  // namespace

// v1 installed, then the updates to v2 and v3 with "-a": the configuration, which v2 carries with a new
// default, is skipped and keeps the user's edit ("-d" names its rule); v3, which does not carry it, is
// packed all the same (its rule line noted). The v3 update keeps the v2 update's log beside its own.
TEST(InstallerUpdate, ThreeVersionsKeepTheUsersFilesAndLogEveryFile) {
  ROAD road("update-road", "");
  ASSERT_NO_FATAL_FAILURE(road.up_to_version_2());
  std::string patch = read_whole_text(road.package("v1") + PATH_SEPARATOR + "patch.xml");
  EXPECT_NE(patch.find("src_name=\"tool.conf\" dest_name=\"\" src_path_from_xml=\"etc\" dest_path_from_inst_loc="
                       "\"$HERE/etc\" system_dest_path_from_inst_loc=\"\" stamp=\"no\" overwrite=\"never\"/>"),
            std::string::npos)
      << patch;
  std::string update_log = read_whole_text(road.scratch.installed("patch/install_log.txt"));
  EXPECT_NE(update_log.find("Skipped \"" + road.scratch.installed("etc/tool.conf") + "\""), std::string::npos)
      << update_log;
  ASSERT_EQ(road.runs.install(road.package("u3")), 0) << read_whole_text(road.runs.output);
  EXPECT_EQ(read_whole_text(road.scratch.installed("patch/install_log-1.txt")), update_log);
  std::vector<std::string> log = read_lines(road.scratch.installed("patch/install_log.txt"));
  ASSERT_GT(log.size(), 9u);
  EXPECT_EQ(log[9], "Kept the earlier install log as \"" + road.scratch.installed("patch/install_log-1.txt") + "\"");
  EXPECT_EQ(log.back(), "Installation completed without any errors.");
  road.expect_road_end();
}

// The road with the updates made by the packer from the whole new versions, the one to v3 a single-file
// installer: each carries only what changed or was added, the configuration keeps the user's edit, and
// every log is kept.
TEST(InstallerUpdate, UpdatesMadeFromTheWholeVersionsCarryWhatChanged) {
  ROAD road("update-whole", "");
  road.whole = true;
  ASSERT_NO_FATAL_FAILURE(road.up_to_version_2());
  EXPECT_NE(read_whole_text(road.scratch.installed("patch/install_log.txt"))
                .find("Skipped \"" + road.scratch.installed("etc/tool.conf") + "\""),
            std::string::npos);
  ASSERT_EQ(road.runs.run(road.package("u3") + PATH_SEPARATOR + "setup.exe", "-a"), 0)
      << read_whole_text(road.runs.output);
  std::set<std::string> installed;
  for (const std::string& line : read_lines(road.scratch.installed("patch/install_log.txt")))
    if (line.compare(0, 11, "Installed \"") == 0) installed.insert(line.substr(11, line.size() - 12));
  EXPECT_EQ(installed, (std::set<std::string>{road.scratch.installed("bin/tool.py"), road.scratch.installed("lib/new.py"),
                                              road.scratch.installed("lib/more.py")}));
  road.expect_road_end();
}

// The same road with the v3 update through the wizard in a real window.
TEST(InstallerUpdate, TheWizardUpdatesOverAnUpdateInARealWindow) {
  ROAD road("update-road-wizard", wizard_description_lines());
  ASSERT_NO_FATAL_FAILURE(road.up_to_version_2());
  SPOT install, finish;
  {
    WIZARD_TWIN twin;
    ASSERT_TRUE(twin.start(road.package("u3")));
    ASSERT_EQ(database->stage, STAGE_OPTIONS);
    INSTALL_DIALOG* page = live_page();
    ASSERT_EQ(page->forward_button->enabled, 1);
    install = spot_of(page->forward_button, page);
    page = twin_page(twin, STAGE_INSTALLING);
    finish = spot_of(page->forward_button, page);
  }
  WINDOW_SCENARIO scenario("update-road-window");
  START_WINDOW_SCENARIO(scenario);
  ASSERT_TRUE(scenario.start(WINDOW_SCENARIO::built_program("installer"),
                             {"-x", program_path_text(road.package("u3")) + "/installer.xml"},
                             program_environment(road.scratch.root)));
  ASSERT_TRUE(scenario.wait_for_window("Tool Installer", 640, 480) && scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(install.x, install.y));
  std::string kept = road.scratch.installed("patch/install_log-1.txt");
  for (int waited = 0; waited < 30000 && !fs::exists(kept); waited += 100) pause_ms(100);
  ASSERT_TRUE(wait_for_last_line(road.scratch.installed("patch/install_log.txt"),
                                 "Installation completed without any errors."));
  ASSERT_TRUE(scenario.wait_until_still());
  ASSERT_TRUE(scenario.click(finish.x, finish.y));
  EXPECT_EQ(scenario.wait_for_exit(), 0) << scenario.errors();
  road.expect_road_end();
}

// An update keeps the earlier log under the first free number, whole also when it is killed the moment
// it has kept it; one that cannot be kept (on Windows held open by another program that does not let it
// be renamed) is said with its path and cause, and the update writes no log in its place.
TEST(InstallerUpdate, AnEarlierLogIsKeptUnderAFreeNumberOrSaidWhyNot) {
  ROAD road("update-keep", "");
  ASSERT_NO_FATAL_FAILURE(road.up_to_version_2());
  const std::string log = road.scratch.installed("patch/install_log.txt"), earlier = read_whole_text(log);
  const std::string taken = road.scratch.installed("patch/install_log-1.txt");
  const std::string kept = road.scratch.installed("patch/install_log-2.txt");
  ASSERT_TRUE(write_whole_file(taken, text_bytes("a file of the user's\n")));
#ifdef _WIN32
  HANDLE held = CreateFileA(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(road.runs.install(road.package("u2")), 1);
  CloseHandle(held);
  char words[256];
  restore_file_failure(ERROR_SHARING_VIOLATION);
  describe_file_failure(words, sizeof words);
  EXPECT_NE(read_whole_text(road.runs.output)
                .find("ERROR: the install log \"" + log + "\" cannot be created (the earlier log there cannot be kept as \"" +
                      kept + "\": " + words + ")\n"),
            std::string::npos)
      << read_whole_text(road.runs.output);
  EXPECT_EQ(read_whole_text(log), earlier);
  EXPECT_FALSE(fs::exists(kept));
#else
  REQUIRE_FOLLOWING();
  POINT_RUN run = run_to_point({road.runs.installer, "-x", program_path_text(road.package("u2")) + "/installer.xml", "-a"},
                               program_environment(road.scratch.root), road.scratch.root + "err",
                               [&](int) { return fs::exists(kept); }, {SIGKILL});
  ASSERT_EQ(run.outcome, POINT_RUN::REACHED) << run.cause;
  EXPECT_EQ(read_whole_text(kept), earlier);
  EXPECT_FALSE(fs::exists(log));
#endif
  ASSERT_EQ(road.runs.install(road.package("u2")), 0) << read_whole_text(road.runs.output);
  EXPECT_EQ(read_whole_text(kept), earlier);
  EXPECT_EQ(read_whole_text(taken), "a file of the user's\n");
  EXPECT_FALSE(fs::exists(road.scratch.installed("patch/install_log-3.txt")));
  EXPECT_EQ(read_lines(log).back(), "Installation completed without any errors.");
}

#ifndef _WIN32
// Another run's log that comes to the name "install_log.txt" after the update kept the earlier log there
// is not replaced by the update's own log: it is kept in turn under the next number, and the update's
// log takes the name then, saying where each was kept.
TEST(InstallerUpdate, AnotherRunsLogAtTheNameIsKeptUnderTheNextNumber) {
  REQUIRE_FOLLOWING();
  ROAD road("update-log-came", "");
  ASSERT_NO_FATAL_FAILURE(road.up_to_version_2());
  const std::string log = road.scratch.installed("patch/install_log.txt"), earlier = read_whole_text(log);
  const std::string first = road.scratch.installed("patch/install_log-1.txt");
  const std::string second = road.scratch.installed("patch/install_log-2.txt");
  const std::string other = "Installed Files\nanother run's log\n";
  // Once the earlier log is kept, before the update's log takes the name.
  POINT_RUN run = run_to_point({road.runs.installer, "-x", program_path_text(road.package("u3")) + "/installer.xml", "-a"},
                               program_environment(road.scratch.root), road.runs.output,
                               [&](int) { return fs::exists(first) && write_whole_file(log, text_bytes(other)); }, {});
  ASSERT_EQ(run.outcome, POINT_RUN::REACHED) << run.cause;
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << read_whole_text(road.runs.output);
  EXPECT_EQ(read_whole_text(first), earlier);
  EXPECT_EQ(read_whole_text(second), other);
  std::vector<std::string> lines = read_lines(log);
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[9], "Kept the earlier install log as \"" + first + "\"");
  EXPECT_EQ(lines[10], "Kept the earlier install log as \"" + second + "\"");
  EXPECT_EQ(lines.back(), "Installation completed without any errors.");
  EXPECT_FALSE(fs::exists(road.scratch.installed("patch/install_log-3.txt")));
}
#endif

namespace {
// The version that the package of a folder installs, as its database names it.
std::string version_of(const std::string& folder) {
  DATABASE loaded;
  loaded.records_only = true;
  loaded.data_folder.set_if_folder(folder.c_str());
  return loaded.load_package("installer.pkg") ? loaded.version_identity : "?";
}
}  // namespace

// Updates made from the whole versions go only over the version each was made from, whichever log is
// the latest (the installation's, then the update folder's): another is refused before anything is
// written, naming the version installed and the one the update is for. A latest log that names no
// version (made before logs named it) is judged by the rest, as before.
TEST(InstallerUpdate, AnUpdateGoesOnlyOverTheVersionItWasMadeFrom) {
  ROAD road("update-versions", "");
  road.whole = true;
  ASSERT_TRUE(road.version(1) && road.version(2) && road.version(3) && road.update(2) && road.update(3));
  const std::string v1 = version_of(road.package("v1")), v2 = version_of(road.package("v2"));
  ASSERT_EQ(v1.size(), 32u);
  ASSERT_NE(v1, v2);
  const std::string u3 = road.package("u3") + PATH_SEPARATOR + "setup.exe";
  ASSERT_EQ(road.runs.install(road.package("v1")), 0) << read_whole_text(road.runs.output);
  const std::string log = road.scratch.installed("install_log.txt"), first_log = read_whole_text(log);
  auto refused = [&](const std::string& found, const std::string& installed, const std::string& wanted) {
    return "ERROR: this package is an update: it installs only over an earlier installation in \"" +
           road.scratch.destination + "\", and the install log \"" + road.scratch.installed(found) +
           "\" is of another version: \"" + installed + "\" (this update is for the version \"" + wanted +
           "\"); nothing was installed\n";
  };
  // The update from version 2 over version 1.
  EXPECT_EQ(road.runs.run(u3, "-a"), 1);
  std::string said = read_whole_text(road.runs.output);
  EXPECT_NE(said.find(refused("install_log.txt", v1, v2)), std::string::npos) << said;
  for (const auto& file : VERSIONS[0]) EXPECT_EQ(read_whole_text(road.scratch.installed(file.first)), file.second);
  EXPECT_FALSE(fs::exists(road.scratch.installed("patch")));
  EXPECT_EQ(read_whole_text(log), first_log);
  // The one from version 1 goes over it, once: then the latest log is of version 2.
  ASSERT_EQ(road.runs.install(road.package("u2")), 0) << read_whole_text(road.runs.output);
  EXPECT_EQ(read_lines(road.scratch.installed("patch/install_log.txt"))[7], "Version: " + v2);
  EXPECT_EQ(road.runs.install(road.package("u2")), 1);
  said = read_whole_text(road.runs.output);
  EXPECT_NE(said.find(refused("patch/install_log.txt", v2, v1)), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(road.scratch.installed("patch/install_log-1.txt")));
  ASSERT_EQ(road.runs.run(u3, "-a"), 0) << read_whole_text(road.runs.output);
  for (const auto& file : VERSIONS[2]) {
    if (file.first != "etc/tool.conf") {
      EXPECT_EQ(read_whole_text(road.scratch.installed(file.first)), file.second);
    }
  }
  // A latest log without a version: judged by the rest alone.
  const std::string latest = road.scratch.installed("patch/install_log.txt");
  std::string text = read_whole_text(latest);
  size_t line = text.find("Version: ");
  ASSERT_NE(line, std::string::npos);
  text.erase(line, text.find('\n', line) + 1 - line);
  ASSERT_TRUE(write_whole_file(latest, text_bytes(text)));
  EXPECT_EQ(road.runs.install(road.package("u2")), 0) << read_whole_text(road.runs.output);
  // A whole version installed over the updates is what the next update goes over: the latest log of the
  // update folder is kept under a number (said on the console), and the update from version 1 installs.
  const std::string latest_update_log = read_whole_text(latest);
  ASSERT_EQ(road.runs.install(road.package("v1")), 0) << read_whole_text(road.runs.output);
  EXPECT_FALSE(fs::exists(latest));
  const std::string kept = road.scratch.installed("patch/install_log-3.txt");
  EXPECT_EQ(read_whole_text(kept), latest_update_log);
  EXPECT_NE(read_whole_text(road.runs.output).find("Kept the earlier install log as \"" + kept + "\"\n"),
            std::string::npos);
  EXPECT_EQ(road.runs.install(road.package("u2")), 0) << read_whole_text(road.runs.output);
}

// An update whose earlier version logged into a folder of its own (its patch_check) over an
// installation whose log lies elsewhere: that folder is not there, so the earlier log is not found, and
// nothing is installed; the log at the install location is never taken in its place.
TEST(InstallerUpdate, ACheckedLogFolderThatIsNotThereFindsNoLog) {
  ROAD road("update-log-folder", "");
  ASSERT_TRUE(road.pack("v1", road.head, VERSIONS[0]) && road.pack("v2", road.head + "log = $HERE/logs\n", VERSIONS[1]) &&
              road.pack("v3", road.head + "log = $HERE/logs\n", VERSIONS[2]));
  fs::create_directories(road.package("u3"));
  std::string error;
  ASSERT_TRUE(package_builder::build_package(road.scratch.source + "v3/description.txt",
                                             road.package("u3") + "/installer.pkg", &error, 4096, nullptr, nullptr,
                                             road.package("v2") + "/installer.pkg"))
      << error;
  ASSERT_EQ(road.runs.install(road.package("v1")), 0) << read_whole_text(road.runs.output);
  EXPECT_EQ(road.runs.install(road.package("u3")), 1);
  std::string said = read_whole_text(road.runs.output);
  EXPECT_NE(said.find("ERROR: this package is an update: it installs only over an earlier installation in \"" +
                      road.scratch.destination + "\", and its install log \"" +
                      road.scratch.installed("logs/install_log.txt") + "\" was not found; nothing was installed\n"),
            std::string::npos)
      << said;
  for (const auto& file : VERSIONS[0]) EXPECT_EQ(read_whole_text(road.scratch.installed(file.first)), file.second);
  EXPECT_FALSE(fs::exists(road.scratch.installed("logs")));
}

// A whole package installed where another product's log lies keeps that log under a free number, says
// whose it is on the console before it begins and where it was kept, and its own log says so too; the
// other product's files stay named by their log.
TEST(InstallerUpdate, AWholePackageKeepsAnotherInstallationsLog) {
  INSTALLER_SCRATCH scratch("whole-over-other");
  UPDATE_RUNS runs(scratch);
  ASSERT_TRUE(runs.pack(""));
  fs::create_directories(scratch.destination);
  const std::string log = scratch.installed("install_log.txt"), kept = scratch.installed("install_log-1.txt");
  const std::string other = "Installed Files\n---------------\n\nLanguage: Deutsch\nSettings: 0 0 " + runs.location +
                            "\nApplication: anderes-programm\nInstallation: Komplett\nVersion: 00\n\nInstalled \"" +
                            scratch.installed("theirs.txt") + "\"\nInstallation completed without any errors.\n";
  ASSERT_TRUE(write_whole_file(log, text_bytes(other)));
  ASSERT_EQ(runs.install(), 0) << read_whole_text(runs.output);
  const std::string said = read_whole_text(runs.output);
  const std::string whose = "The install log \"" + log + "\" is of another installation: \"Komplett\" of the "
                            "application \"anderes-programm\" (this package installs \"Test App\" of "
                            "\"velk-test-app\"). It is kept, and this installation's log goes beside it.\n";
  const std::string kept_line = "Kept the earlier install log as \"" + kept + "\"";
  ASSERT_NE(said.find(whose), std::string::npos) << said;
  EXPECT_GT(said.find(kept_line + "\n"), said.find(whose)) << said;
  EXPECT_EQ(read_whole_text(kept), other);
  std::vector<std::string> lines = read_lines(log);
  ASSERT_GT(lines.size(), 9u);
  EXPECT_EQ(lines[6], "Installation: Test App");
  EXPECT_EQ(lines[9], kept_line);
  EXPECT_EQ(lines.back(), "Installation completed without any errors.");
}
