// Test fixture support: builds an installation package ("installer.pkg" form: the package file with
// every file of a folder and "database.bin") from a short description. Used by tools/make_package and
// by the installer's tests; building packages is not part of the installer itself.
//
// Description lines ("key = value", '#' starts a comment; lists separated by ';'):
//   title = <installer title>            application = <application sub-folder (app_string)>
//   installation = <name>                default_path = <install location, a path-variable text>
//   files = <folder of the files, relative to the description>
//   log = <install log folder, relative to the install location>
//   uninstaller = <name>;<file name>;<folder>
//   desktop_shortcut = <type>;<program name>;<link name>;<program folder>
//   menu_shortcut = <type>;<program name>;<link name>;<menu folder>;<program folder>
//   language = <name>;<licence file or empty>;<readme file or empty>
//   minimum_size = <smallest window width>;<smallest window height>
//   window = <width>;<height>            dialog = <x>;<y>;<width>;<height>   (the wizard's page)
//   background_speed = <ms of one drift of the background; 0 = still>
//   text = <text identifier, e.g. FORWARD>;<value>   (for the language line before it; before any
//          language line, for every language)
// Every file below the files folder becomes an installation file: destination "$HERE" plus its
// sub-folder, packed under its relative path.
#pragma once
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data_file.h"
#include "database.h"
#include "folder.h"
#include "package.h"

namespace package_builder {

inline std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

inline std::string trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

inline void copy_text(char* field, const std::string& text) {
  std::snprintf(field, DATABASE_TEXT_SIZE, "%s", text.c_str());
}

// A folder set from a path of the host (it must exist).
inline bool host_folder(FOLDER* folder, const std::string& path) {
  std::string text = path;
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return folder->set_if_folder(text.c_str());
}

// Adds a file of the host as a package entry.
inline bool add_host_file(PACKAGE* package, const std::filesystem::path& file, const std::string& entry) {
  FOLDER folder;
  if (!host_folder(&folder, file.parent_path().string())) return false;
  return package->add_file(&folder, file.filename().string().c_str(), entry.c_str(), true);
}

struct SHORTCUT_LINE {
  bool menu;
  std::vector<std::string> parts;
};

// Builds the package at package_path (an existing file there is replaced); error says what failed.
// block_size: the data bytes per package block.
inline bool build_package(const std::string& description_path, const std::string& package_path, std::string* error,
                          INT_S32 block_size = 4096) {
  namespace fs = std::filesystem;
  std::ifstream input(description_path);
  if (!input) {
    *error = "cannot read " + description_path;
    return false;
  }
  fs::path base = fs::path(description_path).parent_path();
  std::string title = "Installer", application, installation_name = "Default", default_path = "$ROOT0";
  std::string files_folder = "files", log_path;
  std::vector<std::string> uninstaller;
  std::vector<SHORTCUT_LINE> shortcuts;
  std::vector<std::vector<std::string>> languages;
  std::vector<std::string> minimum_size, window, dialog, background_speed;
  // Page texts by identifier: for every language (index -1) or the language declared before them.
  struct TEXT_LINE {
    int language;
    std::string name, value;
  };
  std::vector<TEXT_LINE> texts;
  std::string line;
  while (std::getline(input, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
      *error = "line without '=': " + line;
      return false;
    }
    std::string key = trim(line.substr(0, equals)), value = trim(line.substr(equals + 1));
    if (key == "title") title = value;
    else if (key == "application") application = value;
    else if (key == "installation") installation_name = value;
    else if (key == "default_path") default_path = value;
    else if (key == "files") files_folder = value;
    else if (key == "log") log_path = value;
    else if (key == "uninstaller") uninstaller = split(value, ';');
    else if (key == "desktop_shortcut") shortcuts.push_back({false, split(value, ';')});
    else if (key == "menu_shortcut") shortcuts.push_back({true, split(value, ';')});
    else if (key == "language") languages.push_back(split(value, ';'));
    else if (key == "minimum_size") minimum_size = split(value, ';');
    else if (key == "window") window = split(value, ';');
    else if (key == "dialog") dialog = split(value, ';');
    else if (key == "background_speed") background_speed = split(value, ';');
    else if (key == "text") {
      size_t separator = value.find(';');
      if (separator == std::string::npos) {
        *error = "a text needs an identifier and a value: " + value;
        return false;
      }
      texts.push_back({(int)languages.size() - 1, trim(value.substr(0, separator)), value.substr(separator + 1)});
    } else {
      *error = "unknown key " + key;
      return false;
    }
  }
  if (languages.empty()) languages.push_back({"English", "", ""});

  // The files, in name order.
  fs::path files_root = base / files_folder;
  std::vector<std::string> files;
  std::error_code code;
  for (fs::recursive_directory_iterator it(files_root, code), end; !code && it != end; it.increment(code))
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), files_root).generic_string());
  if (code) {
    *error = "cannot list " + files_root.string();
    return false;
  }
  std::sort(files.begin(), files.end());
  // The installation's file count is stored in 16 bits: a larger count would be stored wrong and the
  // package would install nothing.
  if (files.size() > 32767) {
    *error = "too many files: " + std::to_string(files.size()) + " (an installation holds at most 32767)";
    return false;
  }

  std::remove(package_path.c_str());
  FOLDER package_folder;
  if (!host_folder(&package_folder, fs::path(package_path).parent_path().string())) {
    *error = "no folder for " + package_path;
    return false;
  }
  std::string package_name = fs::path(package_path).filename().string();
  PACKAGE* package = new PACKAGE(&package_folder, package_name.c_str(), true, block_size, true, false);
  DATABASE* database = new DATABASE();
  bool ok = package->file != nullptr;
  if (!ok) *error = "cannot create " + package_path;

  copy_text(database->APPLICATION.app_string, application);
  copy_text(database->APPLICATION.version, "1.0");
  copy_text(database->default_language_name, languages[0][0]);
  copy_text(database->LOG.dest_path_from_inst_loc, log_path);
  if (minimum_size.size() == 2) {
    database->DIALOG.width = (INT_S16)std::atoi(minimum_size[0].c_str());
    database->DIALOG.height = (INT_S16)std::atoi(minimum_size[1].c_str());
  }
  if (window.size() == 2) {
    database->WINDOW.width = (INT_S16)std::atoi(window[0].c_str());
    database->WINDOW.height = (INT_S16)std::atoi(window[1].c_str());
  }
  if (dialog.size() == 4) {
    database->DIALOG.x = (INT_S16)std::atoi(dialog[0].c_str());
    database->DIALOG.y = (INT_S16)std::atoi(dialog[1].c_str());
    database->DIALOG.width = (INT_S16)std::atoi(dialog[2].c_str());
    database->DIALOG.height = (INT_S16)std::atoi(dialog[3].c_str());
  }
  if (background_speed.size() == 1) database->BACKGROUND.speed = std::atoi(background_speed[0].c_str());
  database->installation_count = 1;
  database->installations = new INSTALLATION[1]();
  INSTALLATION& installation = database->installations[0];
  copy_text(installation.name, installation_name);
  copy_text(installation.default_path, default_path);
  installation.allow_system_paths = 1;
  installation.file_count = (INT_S16)files.size();
  installation.files = files.empty() ? nullptr : new INSTALLATION_FILE[files.size()]();
  for (size_t i = 0; i < files.size() && ok; i++) {
    INSTALLATION_FILE& file = installation.files[i];
    size_t slash = files[i].find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : files[i].substr(0, slash);
    copy_text(file.src_name, slash == std::string::npos ? files[i] : files[i].substr(slash + 1));
    copy_text(file.src_path_from_xml, folder);
    copy_text(file.dest_path_from_inst_loc, folder.empty() ? "$HERE" : "$HERE/" + folder);
    copy_text(file.packed_name, files[i]);
    ok = add_host_file(package, files_root / files[i], files[i]);
    if (!ok) *error = "cannot add " + files[i];
  }
  if (uninstaller.size() == 3) {
    copy_text(installation.uninstaller_name, uninstaller[0]);
    copy_text(installation.uninstaller_filename, uninstaller[1]);
    copy_text(installation.uninstaller_path, uninstaller[2]);
  }
  installation.item_count = (INT_S16)shortcuts.size();
  installation.items = shortcuts.empty() ? nullptr : new INSTALLATION_ITEM[shortcuts.size()]();
  for (size_t i = 0; i < shortcuts.size(); i++) {
    INSTALLATION_ITEM& item = installation.items[i];
    const std::vector<std::string>& parts = shortcuts[i].parts;
    size_t needed = shortcuts[i].menu ? 5 : 4;
    if (parts.size() != needed) {
      *error = "a shortcut needs " + std::to_string(needed) + " parts";
      ok = false;
      break;
    }
    item.type = (INT_U8)std::atoi(parts[0].c_str());
    copy_text(item.program_name, parts[1]);
    copy_text(item.link_name, parts[2]);
    if (shortcuts[i].menu) copy_text(item.menu_folder, parts[3]);
    copy_text(item.program_path_from_inst_loc, parts[needed - 1]);
  }

  database->language_count = (INT_S16)languages.size();
  database->languages = new LANGUAGE[languages.size()]();
  for (size_t i = 0; i < languages.size() && ok; i++) {
    LANGUAGE& language = database->languages[i];
    std::vector<std::string> parts = languages[i];
    parts.resize(3);
    copy_text(language.name, parts[0]);
    copy_text(language.LANGUAGE_TITLE, parts[0]);
    copy_text(language.INSTALLER_TITLE, title);
    copy_text(language.COPY_ERROR_TITLE, "Copy error");
    copy_text(language.COPY_ERROR_MSG, "A file could not be installed.\nGo on with the next one?");
    copy_text(language.COPY_ERROR_YES, "Yes");
    copy_text(language.COPY_ERROR_NO, "No");
    copy_text(language.INSTALLING_STRING, "Installing...");
    copy_text(language.INSTALLING_DESKTOP_SHORTCUT, "Creating the desktop shortcuts");
    copy_text(language.INSTALLING_MENU_SHORTCUT, "Creating the menu shortcuts");
    copy_text(language.COMPLETE, "Complete");
    copy_text(language.OK_BUTTON, "OK");
    language.installation_string_count = 1;
    language.installation_strings = new DATABASE_TEXT[1]();
    copy_text(language.installation_strings[0], installation_name);
    const char* kinds[2] = {"licence", "readme"};
    for (int k = 0; k < 2 && ok; k++) {
      if (parts[1 + k].empty()) continue;
      std::string entry = std::string(kinds[k]) + "-" + std::to_string(i);
      ok = add_host_file(package, base / parts[1 + k], entry);
      if (!ok) *error = "cannot add " + parts[1 + k];
      copy_text(k == 0 ? language.LICENCE.path : language.README.path, "$HERE");
      copy_text(k == 0 ? language.LICENCE.filename : language.README.filename, entry);
      // The readme window keeps as many lines as the readme has.
      if (k == 1) {
        std::ifstream readme(base / parts[2]);
        INT_S32 lines = 0;
        for (std::string text_line; std::getline(readme, text_line);) lines++;
        language.README.lines = (INT_S16)(lines < 32767 ? lines : 32767);
      }
    }
    for (const TEXT_LINE& text : texts) {
      if (text.language != -1 && text.language != (int)i) continue;
      int slot = -1;
      for (int n = 0; n < LANGUAGE_TEXT_COUNT && slot < 0; n++)
        if (text.name == language_text_name(n)) slot = n;
      if (slot < 0) {
        *error = "unknown text " + text.name;
        ok = false;
        break;
      }
      copy_text(language_text(&language, slot), text.value);
    }
  }

  if (ok) {
    PACKAGE_DATA_FILE* stored = open_package_file(package, "database.bin", FILE_MODE_WRITE, BYTE_ORDER_HEADER);
    ok = stored && database->put_to_data_device(stored);
    if (stored) close_package_file(&stored);
    if (!ok) *error = "cannot write database.bin";
  }
  delete database;
  delete package;
  if (!ok) std::remove(package_path.c_str());
  return ok;
}

}  // namespace package_builder
