// Test fixture support: builds an installation package ("installer.pkg" form: the package file with
// every file of a folder and "database.bin") from a short description. Used by tools/make_package and
// by the installer's tests; building packages is not part of the installer itself.
//
// Description lines ("key = value", '#' starts a comment; lists separated by ';'):
//   title = <installer title>            application = <application sub-folder (app_string)>
//   installation = <name>                (the first names the first installation, each later one adds
//                                         one; the keys below up to the next one are its own)
//     default_path = <install location, a path-variable text>
//     files = <folder of the files, relative to the description>
//     missing_file = <relative path of a file whose package entry is left out>
//     uninstaller = <name>;<file name>;<folder>
//     desktop_shortcut = <type>;<program name>;<link name>;<program folder>
//     menu_shortcut = <type>;<program name>;<link name>;<menu folder>;<program folder>
//   log = <install log folder, relative to the install location>
//   patch_check = <folder of an earlier install log that must match, relative to the install location>
//   language = <name>;<licence file or empty>;<readme file or empty>
//   minimum_size = <smallest window width>;<smallest window height>
//   window = <width>;<height>            dialog = <x>;<y>;<width>;<height>   (the wizard's page)
//   exit = <x>;<y>;<width>;<height>      (the quit and desktop-size questions; -1 centres)
//   about = <x>;<y>;<width>;<height>     file_select = <x>;<y>;<width>;<height>;<new folder over it 0/1>
//   required_desktop = <width>;<height>  (the smallest desktop the options page accepts without asking)
//   background_speed = <ms of one drift of the background; 0 = still>
//   text = <text identifier, e.g. FORWARD>;<value>   (for the language line before it; before any
//          language line, for every language)
//   style = <member style set, e.g. progress_bar>;<colour key of a style-set file, e.g.
//           highlight_colour>;<#RRGGBB or #AARRGGBB>   (the package's own colours, no skin needed)
//   style = <member style set>;<size key of a style-set file, e.g. y_spacing>;<number, -1 default>
// Every file below an installation's files folder becomes one of its files: destination "$HERE" plus
// its sub-folder, packed under its relative path (under the folder's name too when another
// installation packs a different file under that path). Each language names every installation by
// its name.
#pragma once
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "colour.h"
#include "data_file.h"
#include "database.h"
#include "folder.h"
#include "package.h"
#include "velk_string.h"

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

// A name, path or text of the host (UTF-8, as the description holds it and u8string gives it) in the
// system's 8-bit text: Latin-1 bytes, characters above 0xFF in wide-character runs, and bytes that are
// no UTF-8 kept as velk_string.h says.
inline std::string system_name(const std::string& host) {
  std::vector<char> text(8 * host.size() + 8);
  return utf8_to_text(host.c_str(), text.data(), text.size()) ? text.data() : std::string();
}

inline void copy_text(char* field, const std::string& text) {
  std::snprintf(field, DATABASE_TEXT_SIZE, "%s", system_name(text).c_str());
}

// A folder set from a path of the host (it must exist).
inline bool host_folder(FOLDER* folder, const std::string& path) {
  std::string text = system_name(path);
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return folder->set_if_folder(text.c_str());
}

// Adds a file of the host as a package entry (entry: its UTF-8 name).
inline bool add_host_file(PACKAGE* package, const std::filesystem::path& file, const std::string& entry) {
  FOLDER folder;
  if (!host_folder(&folder, file.parent_path().u8string())) return false;
  std::string name = system_name(file.filename().u8string());
  return package->add_file(&folder, name.c_str(), system_name(entry).c_str(), true);
}

struct SHORTCUT_LINE {
  bool menu;
  std::vector<std::string> parts;
};

// What the description says of one installation.
struct INSTALLATION_LINES {
  std::string name = "Default", default_path = "$ROOT0", files_folder = "files";
  std::vector<std::string> uninstaller, missing_files;
  std::vector<SHORTCUT_LINE> shortcuts;
};

// Exactly count numbers separated by ';' into out; false (with error set) otherwise.
inline bool numbers(const std::string& key, const std::string& value, size_t count, std::vector<INT_S32>* out,
                    std::string* error) {
  std::vector<std::string> parts = split(value, ';');
  out->clear();
  for (const std::string& part : parts) {
    std::string text = trim(part);
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end) break;
    out->push_back((INT_S32)number);
  }
  if (out->size() == count && parts.size() == count) return true;
  *error = key + " needs " + std::to_string(count) + " numbers: " + value;
  return false;
}

// The database's member style sets by name, in member order (DATABASE::style_set numbers).
static const char* const style_member_names[DATABASE::STYLE_COUNT] = {
    "title",        "dialog_text",         "options",       "options_alt", "text_title",
    "text",         "scrollbar",           "check_box",     "progress_bar", "progress_bar_script",
    "menu_dropdown", "menu_button",        "menu_item",     "menu_alt_item"};

// One colour, or one size, of a member style set.
struct STYLE_COLOUR_LINE {
  int member;
  COLOUR WM_STYLE_SET::*field;
  COLOUR colour;
  INT_S16 WM_STYLE_SET::*size_field;  // set instead of field for a size
  INT_S16 size;
};

// A "style" value: member;colour key;#RRGGBB or #AARRGGBB (six digits are opaque), or member;size
// key;number from -1 to 32767. False (with error set) for an unknown member or key or a value that is
// not such a text.
inline bool style_colour(const std::string& value, STYLE_COLOUR_LINE* out, std::string* error) {
  std::vector<std::string> parts = split(value, ';');
  if (parts.size() != 3) {
    *error = "style needs a style set, a colour key and a colour: " + value;
    return false;
  }
  for (std::string& part : parts) part = trim(part);
  out->member = -1;
  for (int i = 0; i < DATABASE::STYLE_COUNT; i++)
    if (parts[0] == style_member_names[i]) out->member = i;
  if (out->member < 0) {
    *error = "unknown style set " + parts[0];
    return false;
  }
  out->field = style_colour_field(parts[1].c_str());
  out->size_field = style_size_field(parts[1].c_str());
  if (out->size_field) {
    char* end = nullptr;
    long number = std::strtol(parts[2].c_str(), &end, 10);
    if (parts[2].empty() || *end || number < -1 || number > 32767) {
      *error = "a style size is a number from -1 to 32767: " + parts[2];
      return false;
    }
    out->size = (INT_S16)number;
    return true;
  }
  if (!out->field) {
    *error = "unknown style colour " + parts[1];
    return false;
  }
  const std::string& text = parts[2];
  bool hex = text.size() > 1 && text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos;
  if (text[0] != '#' || !hex || (text.size() != 7 && text.size() != 9)) {
    *error = "a style colour is #RRGGBB or #AARRGGBB: " + text;
    return false;
  }
  parse_colour(&out->colour, text.c_str());
  return true;
}

// Files of one installation in name order: relative paths, and whether each is left out of the package.
inline bool list_files(const std::filesystem::path& root, const std::vector<std::string>& missing,
                       std::vector<std::pair<std::string, bool>>* files, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code code;
  for (fs::recursive_directory_iterator it(root, code), end; !code && it != end; it.increment(code))
    if (it->is_regular_file()) files->push_back({fs::relative(it->path(), root).generic_u8string(), false});
  if (code) {
    *error = "cannot list " + root.string();
    return false;
  }
  for (const std::string& name : missing) files->push_back({name, true});
  std::sort(files->begin(), files->end());
  return true;
}

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
  std::string title = "Installer", application, log_path, patch_path;
  std::vector<INSTALLATION_LINES> installation_lines(1);
  bool installation_named = false;
  std::vector<std::vector<std::string>> languages;
  // Numbers of the keys that give sizes and places, by key.
  std::vector<std::pair<std::string, std::vector<INT_S32>>> geometry;
  static const struct {
    const char* key;
    size_t count;
  } geometry_keys[] = {{"minimum_size", 2}, {"window", 2},      {"dialog", 4},           {"exit", 4},
                       {"about", 4},        {"file_select", 5}, {"required_desktop", 2}, {"background_speed", 1}};
  // Page texts by identifier: for every language (index -1) or the language declared before them.
  struct TEXT_LINE {
    int language;
    std::string name, value;
  };
  std::vector<TEXT_LINE> texts;
  std::vector<STYLE_COLOUR_LINE> style_colours;
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
    INSTALLATION_LINES& current = installation_lines.back();
    bool known_geometry = false;
    for (const auto& entry : geometry_keys) {
      if (key != entry.key) continue;
      known_geometry = true;
      std::vector<INT_S32> values;
      if (!numbers(key, value, entry.count, &values, error)) return false;
      geometry.push_back({key, values});
    }
    if (known_geometry) continue;
    if (key == "title") title = value;
    else if (key == "application") application = value;
    else if (key == "installation") {
      if (installation_named) installation_lines.emplace_back();
      installation_lines.back().name = value;
      installation_named = true;
    } else if (key == "default_path") current.default_path = value;
    else if (key == "files") current.files_folder = value;
    else if (key == "missing_file") current.missing_files.push_back(value);
    else if (key == "uninstaller") current.uninstaller = split(value, ';');
    else if (key == "desktop_shortcut") current.shortcuts.push_back({false, split(value, ';')});
    else if (key == "menu_shortcut") current.shortcuts.push_back({true, split(value, ';')});
    else if (key == "log") log_path = value;
    else if (key == "patch_check") patch_path = value;
    else if (key == "language") languages.push_back(split(value, ';'));
    else if (key == "text") {
      size_t separator = value.find(';');
      if (separator == std::string::npos) {
        *error = "a text needs an identifier and a value: " + value;
        return false;
      }
      texts.push_back({(int)languages.size() - 1, trim(value.substr(0, separator)), value.substr(separator + 1)});
    } else if (key == "style") {
      style_colours.emplace_back();
      if (!style_colour(value, &style_colours.back(), error)) return false;
    } else {
      *error = "unknown key " + key;
      return false;
    }
  }
  if (languages.empty()) languages.push_back({"English", "", ""});

  // The files of every installation, in name order. An installation's file count is stored in 16 bits:
  // a larger count would be stored wrong and the package would install nothing.
  std::vector<std::vector<std::pair<std::string, bool>>> files(installation_lines.size());
  for (size_t i = 0; i < installation_lines.size(); i++) {
    if (!list_files(base / installation_lines[i].files_folder, installation_lines[i].missing_files, &files[i], error))
      return false;
    if (files[i].size() > 32767) {
      *error = "too many files: " + std::to_string(files[i].size()) + " (an installation holds at most 32767)";
      return false;
    }
  }

  std::remove(package_path.c_str());
  FOLDER package_folder;
  if (!host_folder(&package_folder, fs::path(package_path).parent_path().string())) {
    *error = "no folder for " + package_path;
    return false;
  }
  std::string package_name = system_name(fs::path(package_path).filename().string());
  PACKAGE* package = new PACKAGE(&package_folder, package_name.c_str(), true, block_size, true, false);
  DATABASE* database = new DATABASE();
  bool ok = package->file != nullptr;
  if (!ok) *error = "cannot create " + package_path;

  copy_text(database->APPLICATION.app_string, application);
  copy_text(database->APPLICATION.version, "1.0");
  copy_text(database->default_language_name, languages[0][0]);
  copy_text(database->LOG.dest_path_from_inst_loc, log_path);
  if (!patch_path.empty()) {
    copy_text(database->PATCH.dest_path_from_inst_loc, patch_path);
    database->PATCH.do_check = 1;
  }
  for (const auto& entry : geometry) {
    const std::string& key = entry.first;
    const std::vector<INT_S32>& v = entry.second;
    auto place = [&](INT_S16* x, INT_S16* y, INT_S16* width, INT_S16* height) {
      *x = (INT_S16)v[0];
      *y = (INT_S16)v[1];
      *width = (INT_S16)v[2];
      *height = (INT_S16)v[3];
    };
    if (key == "minimum_size") {
      database->DIALOG.width = (INT_S16)v[0];
      database->DIALOG.height = (INT_S16)v[1];
    } else if (key == "window") {
      database->WINDOW.width = (INT_S16)v[0];
      database->WINDOW.height = (INT_S16)v[1];
    } else if (key == "dialog") {
      place(&database->DIALOG.x, &database->DIALOG.y, &database->DIALOG.width, &database->DIALOG.height);
    } else if (key == "exit") {
      place(&database->EXIT.x, &database->EXIT.y, &database->EXIT.width, &database->EXIT.height);
    } else if (key == "about") {
      place(&database->ABOUT.x, &database->ABOUT.y, &database->ABOUT.width, &database->ABOUT.height);
    } else if (key == "file_select") {
      place(&database->FILE_SELECT.x, &database->FILE_SELECT.y, &database->FILE_SELECT.width,
            &database->FILE_SELECT.height);
      database->FILE_SELECT.new_folder_too = v[4] ? 1 : 0;
    } else if (key == "required_desktop") {
      database->CHECK_DESKTOP_SIZE.width = (INT_S16)v[0];
      database->CHECK_DESKTOP_SIZE.height = (INT_S16)v[1];
    } else if (key == "background_speed") {
      database->BACKGROUND.speed = v[0];
    }
  }

  for (const STYLE_COLOUR_LINE& entry : style_colours) {
    if (entry.size_field) database->style_set(entry.member)->*entry.size_field = entry.size;
    else database->style_set(entry.member)->*entry.field = entry.colour;
  }

  // Package entries by name, with the host file each holds: a name is given to one file only.
  std::vector<std::pair<std::string, fs::path>> entries;
  auto add_entry = [&](const fs::path& file, const std::string& wanted, std::string* name) {
    for (const auto& entry : entries)
      if (entry.first == wanted) {
        if (entry.second == file) {
          *name = wanted;
          return true;
        }
        return false;
      }
    entries.push_back({wanted, file});
    *name = wanted;
    return add_host_file(package, file, wanted);
  };

  database->installation_count = (INT_S16)installation_lines.size();
  database->installations = new INSTALLATION[installation_lines.size()]();
  for (size_t n = 0; n < installation_lines.size() && ok; n++) {
    const INSTALLATION_LINES& lines = installation_lines[n];
    INSTALLATION& installation = database->installations[n];
    copy_text(installation.name, lines.name);
    copy_text(installation.default_path, lines.default_path);
    installation.allow_system_paths = 1;
    installation.file_count = (INT_S16)files[n].size();
    installation.files = files[n].empty() ? nullptr : new INSTALLATION_FILE[files[n].size()]();
    for (size_t i = 0; i < files[n].size() && ok; i++) {
      const std::string& relative = files[n][i].first;
      INSTALLATION_FILE& file = installation.files[i];
      size_t slash = relative.find_last_of('/');
      std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
      copy_text(file.src_name, slash == std::string::npos ? relative : relative.substr(slash + 1));
      copy_text(file.src_path_from_xml, folder);
      copy_text(file.dest_path_from_inst_loc, folder.empty() ? "$HERE" : "$HERE/" + folder);
      std::string packed = relative;
      if (!files[n][i].second) {
        fs::path host = base / lines.files_folder / fs::u8path(relative);
        ok = add_entry(host, relative, &packed) || add_entry(host, lines.files_folder + "/" + relative, &packed);
        if (!ok) *error = "cannot add " + relative;
      }
      copy_text(file.packed_name, packed);
    }
    if (lines.uninstaller.size() == 3) {
      copy_text(installation.uninstaller_name, lines.uninstaller[0]);
      copy_text(installation.uninstaller_filename, lines.uninstaller[1]);
      copy_text(installation.uninstaller_path, lines.uninstaller[2]);
    }
    installation.item_count = (INT_S16)lines.shortcuts.size();
    installation.items = lines.shortcuts.empty() ? nullptr : new INSTALLATION_ITEM[lines.shortcuts.size()]();
    for (size_t i = 0; i < lines.shortcuts.size() && ok; i++) {
      INSTALLATION_ITEM& item = installation.items[i];
      const std::vector<std::string>& parts = lines.shortcuts[i].parts;
      size_t needed = lines.shortcuts[i].menu ? 5 : 4;
      if (parts.size() != needed) {
        *error = "a shortcut needs " + std::to_string(needed) + " parts";
        ok = false;
        break;
      }
      item.type = (INT_U8)std::atoi(parts[0].c_str());
      copy_text(item.program_name, parts[1]);
      copy_text(item.link_name, parts[2]);
      if (lines.shortcuts[i].menu) copy_text(item.menu_folder, parts[3]);
      copy_text(item.program_path_from_inst_loc, parts[needed - 1]);
    }
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
    language.installation_string_count = database->installation_count;
    language.installation_strings = new DATABASE_TEXT[installation_lines.size()]();
    for (size_t n = 0; n < installation_lines.size(); n++)
      copy_text(language.installation_strings[n], installation_lines[n].name);
    const char* kinds[2] = {"licence", "readme"};
    for (int k = 0; k < 2 && ok; k++) {
      if (parts[1 + k].empty()) continue;
      std::string entry = std::string(kinds[k]) + "-" + std::to_string(i), added;
      ok = add_entry(base / parts[1 + k], entry, &added);
      if (!ok) *error = "cannot add " + parts[1 + k];
      copy_text(k == 0 ? language.LICENCE.path : language.README.path, "$HERE");
      copy_text(k == 0 ? language.LICENCE.filename : language.README.filename, entry);
      // The readme window keeps as many lines as the readme shows: its window counts wrapped lines, so
      // a long line counts once per 40 characters.
      if (k == 1) {
        std::ifstream readme(base / parts[2]);
        INT_S32 lines = 0;
        for (std::string text_line; std::getline(readme, text_line);) lines += 1 + (INT_S32)text_line.size() / 40;
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
