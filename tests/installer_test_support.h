// Shared fixture of the installer's tests: a scratch folder with its own home (system folders,
// shortcuts and the uninstall stand-in land inside it), a small source tree with a description, and
// the installation package built from them.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "engine.h"
#include "files.h"
#include "folder.h"
#include "package.h"
#include "package_builder.h"
#include "test_support.h"

inline std::vector<INT_U8> text_bytes(const std::string& text) {
  return std::vector<INT_U8>(text.begin(), text.end());
}

// The lines of a text file without their line ends (CR LF or LF).
inline std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(read_whole_text(path));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Every byte value, for files that must arrive byte for byte.
inline std::vector<INT_U8> all_byte_values(size_t repeat) {
  std::vector<INT_U8> bytes;
  for (size_t r = 0; r < repeat; r++)
    for (int b = 0; b < 256; b++) bytes.push_back((INT_U8)b);
  return bytes;
}

#ifdef _WIN32
// The path-variable text of a folder from its drive root, which another process resolves the same way.
inline std::string root_text(const std::string& path) {
  FOLDER folder;
  std::string trimmed = path;
  while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
  if (!folder.set_if_folder(trimmed.c_str())) return std::string();
  INT_S16 drive = get_drive_index(&folder);
  std::string root = get_drive_root_text(drive);
  std::string rest = std::string(folder.path).substr(root.size());
  for (char& c : rest)
    if (c == '\\') c = '/';
  return "$ROOT" + std::to_string(drive) + "/" + rest;
}
#endif

// What the host says of a folder that cannot be made because a file stands at its name (on Windows
// the system's words for "already exists", in its language).
inline std::string file_in_the_way_words() {
#ifdef _WIN32
  restore_file_failure(183);  // ERROR_ALREADY_EXISTS
  char words[256];
  describe_file_failure(words, sizeof words);
  return words;
#else
  return "Not a directory";
#endif
}

// A file below a folder of the host, in the host's form ('/' or '\\' in the relative path).
inline std::string below(const std::string& folder, const std::string& relative) {
  std::string path = folder + PATH_SEPARATOR + relative;
  for (char& c : path)
    if (c == '/' || c == '\\') c = PATH_SEPARATOR;
  return path;
}

struct INSTALLER_SCRATCH {
  std::string root;     // ends with the separator
  std::string source;   // the description's folder
  std::string package;  // the folder of "installer.pkg"
  std::string destination;
  std::vector<std::string> files;  // relative to source + "files", with '/'

  // name: the scratch folder's name; extra: description lines added to the standard ones.
  explicit INSTALLER_SCRATCH(const std::string& name, const std::string& extra = "") {
    root = make_scratch_folder(name);
#ifndef _WIN32
    set_environment("HOME", root + "home");
    set_environment("XDG_CONFIG_HOME", root + "home/config");
    set_environment("XDG_DATA_HOME", root + "home/data");
    set_environment("XDG_STATE_HOME", root + "home/state");
    set_environment("XDG_DESKTOP_DIR", root + "home/Desktop");
    set_environment("TMPDIR", root + "tmp");
    std::filesystem::create_directories(root + "tmp");
#endif
    FOLDER scratch;
    std::string root_text = root.substr(0, root.size() - 1);
    scratch.set_if_folder(root_text.c_str());
    set_named_path("$SCRATCH", &scratch);
    source = root + "source" + PATH_SEPARATOR;
    package = root + "package" + PATH_SEPARATOR;
    destination = root + "dest";
    std::filesystem::create_directories(source + "files/bin");
    std::filesystem::create_directories(source + "files/docs");
    std::filesystem::create_directories(package);
    add_file("readme.txt", text_bytes("Read me first.\n"));
    add_file("bin/data.bin", all_byte_values(40));  // 10 KiB: several package blocks
    add_file("bin/run.sh", text_bytes("#!/bin/sh\necho run\n"));
    add_file("bin/uninstall.sh", text_bytes("#!/bin/sh\necho remove\n"));
    add_file("docs/guide.txt", text_bytes("Guide & notes <1>\n"));
    write_whole_file(source + "licence.txt", text_bytes("Licence text.\n"));
    std::string description =
        "title = Test Installer\n"
        "application = velk-test-app\n"
        "installation = Test App\n"
        "default_path = $SCRATCH/dest\n"
        "log = $HERE\n"
        "uninstaller = Velk Test App;uninstall.sh;$HERE/bin\n"
        "desktop_shortcut = 1;run.sh;Test App;$HERE/bin\n"
        "menu_shortcut = 3;guide.txt;Test Guide;Velk Test Group;$HERE/docs\n"
        "language = English;licence.txt;\n" +
        extra;
    write_whole_file(source + "description.txt", text_bytes(description));
  }

  void add_file(const std::string& relative, const std::vector<INT_U8>& bytes) {
    std::string path = source + "files/" + relative;
    std::filesystem::create_directories(std::filesystem::u8path(path).parent_path());
    write_whole_file(path, bytes);
    files.push_back(relative);
  }

  // Names the destination in the description from the drive root ("$ROOT0" and the scratch path), as the
  // installer program resolves it: the test's own named paths mean nothing to another process. Returns
  // the description as written.
  std::string name_destination_from_root() {
    std::string description = read_whole_text(source + "description.txt");
    description.replace(description.find("$SCRATCH/dest"), 13, "$ROOT0" + root + "dest");
    write_whole_file(source + "description.txt", text_bytes(description));
    return description;
  }

  // Builds package + name ("installer.pkg") from the description.
  bool build(const std::string& name = "installer.pkg") {
    std::string error;
    bool built = package_builder::build_package(source + "description.txt", package + name, &error);
    if (!built) std::fprintf(stderr, "package not built: %s\n", error.c_str());
    return built;
  }

  // Stores the database as the package's "database.bin", as the packer never would (texts it refuses);
  // again after a change.
  bool store(DATABASE* database) {
    FOLDER folder;
    if (!folder.set_if_folder(package.substr(0, package.size() - 1).c_str())) return false;
    DATA_FILE* stored = open_data_file(&folder, "database.bin", FILE_MODE_WRITE_NEW, BYTE_ORDER_HEADER, false);
    if (!stored || !database->put_to_data_device(stored) || !close_data_file(&stored)) return false;
    bool added =
        PACKAGE(&folder, "installer.pkg", false, -1, true, false).add_file(&folder, "database.bin", "database.bin", true);
    std::filesystem::remove(package + "database.bin");  // so that a database can be stored again
    return added;
  }

  // A database with its data folder at the package folder, loaded.
  DATABASE* load() {
    DATABASE* database = new DATABASE();
    std::string folder = package.substr(0, package.size() - 1);
    database->data_folder.set_if_folder(folder.c_str());
    if (!database->load_package("installer.pkg")) {
      delete database;
      return nullptr;
    }
    return database;
  }

  // The identity of the version that the package in the package folder (name) installs, read from its
  // database alone (the program's look stays as it is); empty when it cannot be read.
  std::string version(const std::string& name = "installer.pkg") const {
    DATABASE database;
    database.records_only = true;
    database.data_folder.set_if_folder(package.substr(0, package.size() - 1).c_str());
    return database.load_package(name.c_str()) ? database.version_identity : "";
  }

  // The destination path of an installed file in the host's form.
  std::string installed(const std::string& relative) const { return below(destination, relative); }
};

// Files of one content in two installations and in one: the first installation gets a large file and a
// copy of its guide beside it, and a second installation's folder "files-b" repeats the first's files
// under other names and folders, all but the uninstaller, which it holds with other bytes of the same
// size, and adds one file of its own. Both hold an empty file. Returns the second one's files (relative
// to "files-b"); its lines of the description are the caller's.
inline std::vector<std::pair<std::string, std::vector<INT_U8>>> add_shared_files(INSTALLER_SCRATCH& scratch) {
  const std::vector<INT_U8> large = pseudo_random_bytes(200000, 7);
  scratch.add_file("bin/large.bin", large);
  scratch.add_file("docs/guide-copy.txt", text_bytes("Guide & notes <1>\n"));
  scratch.add_file("empty-a", {});
  const std::vector<std::pair<std::string, std::vector<INT_U8>>> second = {
      {"large.bin", large},
      {"data/data.bin", all_byte_values(40)},
      {"readme.txt", text_bytes("Read me first.\n")},
      {"tools/start.sh", text_bytes("#!/bin/sh\necho run\n")},
      {"tools/guide.txt", text_bytes("Guide & notes <1>\n")},
      {"tools/uninstall.sh", text_bytes("#!/bin/sh\necho REMOVE\n")},
      {"empty-b", {}},
      {"own.txt", text_bytes("the second installation's own\n")}};
  for (const auto& file : second) {
    std::string path = scratch.source + "files-b/" + file.first;
    std::filesystem::create_directories(std::filesystem::u8path(path).parent_path());
    write_whole_file(path, file.second);
  }
  return second;
}
