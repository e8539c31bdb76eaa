// The packer: makes an installation package ("installer.pkg": the package file with the files of the
// description's folders and "database.bin") from a short description, or a single-file installer (the
// installer program with that package attached). tools/make_package is its program; the installer's
// tests and benchmarks build their packages through it too. Building packages is not part of the
// installer itself.
//
// Description lines ("key = value", '#' starts a comment; lists separated by ';'). Texts hold at most
// 255 bytes. Required: at least one installation, each with its default_path.
//   title = <installer title>                (default "Installer")
//   application = <application sub-folder (app_string)>   (default none)
//   installation = <name>                (each one adds an installation; the keys below up to the
//                                         next one are its own)
//     default_path = <install location, a path-variable text such as $ROOT0/opt/app>   (required)
//     files = <folder of the files, relative to the description>   (default "files")
//     missing_file = <relative path of a file whose package entry is left out>   (for trying failures)
//     uninstaller = <name>;<file name>;<folder>   (the file must be one of the installation's files
//                                         when the folder is "$HERE" or below it)
//     desktop_shortcut = <type>;<program name>;<link name>;<program folder>
//     menu_shortcut = <type>;<program name>;<link name>;<menu folder>;<program folder>
//                                        (type 1 program, 2 web link, 3 document; a program folder
//                                         "$HERE" or below it must hold the program among the files)
//   log = <install log folder, relative to the install location>   (default: the install location)
//   patch_check = <folder of an earlier install log that must match, relative to the install location>
//   language = <name>;<licence file or empty>;<readme file or empty>   (default "English" alone)
//   minimum_size = <smallest window width>;<smallest window height>
//   window = <width>;<height>            (default 640;480)
//   dialog = <x>;<y>;<width>;<height>    (the wizard's page; default 40;30;560;420)
//   exit = <x>;<y>;<width>;<height>      (the quit and desktop-size questions; -1 centres; default
//                                         -1;-1;320;170)
//   about = <x>;<y>;<width>;<height>     (default -1;-1;360;240)
//   file_select = <x>;<y>;<width>;<height>;<new folder over it 0/1>   (default -1;-1;520;380;0)
//   required_desktop = <width>;<height>  (the smallest desktop the options page accepts without asking)
//   background_speed = <ms of one drift of the background; 0 = still>
//   text = <text identifier, e.g. FORWARD>;<value>   (for the language line before it; before any
//          language line, for every language)
//   style = <member style set, e.g. progress_bar>;<colour key of a style-set file, e.g.
//           highlight_colour>;<#RRGGBB or #AARRGGBB>   (the package's own colours, no skin needed)
//   style = <member style set>;<size key of a style-set file, e.g. y_spacing>;<number, -1 default>
// Every file below an installation's files folder becomes one of its files: destination "$HERE" plus
// its sub-folder, packed under its relative path (under the folder's name too when another file has
// that entry name). A link is packed as what it leads to, under its own name: a link to a file as that
// file, a link to a folder as that folder's files; a link back to a folder that holds it is not
// followed, and one that leads nowhere is an error. Each language names every installation by its name.
//
// Every mistake of the description is reported as "<description>:<line>: <cause>", every other failure
// with the file it concerns and its cause. The package is written under a temporary name beside it and
// takes its name only when whole: a failed run leaves nothing at the package's name.
#pragma once
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <zlib.h>

#include "colour.h"
#include "data_file.h"
#include "database.h"
#include "engine.h"
#include "errors.h"
#include "files.h"
#include "folder.h"
#include "font.h"
#include "package.h"
#include "velk_string.h"

namespace package_builder {

namespace fs = std::filesystem;

// The longest text of the installation database.
const size_t TEXT_LIMIT = DATABASE_TEXT_SIZE - 1;

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
// no UTF-8 kept as velk_string.h says. The packer keeps host texts and converts them where they reach
// the package, the database or the library's file calls.
inline std::string system_name(const std::string& host) {
  std::vector<char> text(8 * host.size() + 8);
  return utf8_to_text(host.c_str(), text.data(), text.size()) ? text.data() : std::string();
}

// Texts are checked against TEXT_LIMIT (in the system's form) before they are copied.
inline void copy_text(char* field, const std::string& text) {
  std::snprintf(field, DATABASE_TEXT_SIZE, "%s", system_name(text).c_str());
}

// A folder set from a path of the host (it must exist).
inline bool host_folder(FOLDER* folder, const std::string& path) {
  std::string text = system_name(path);
  while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
  return folder->set_if_folder(text.c_str());
}

// The system's form of a path of the tree (the host's names below the files folder, joined with '/'):
// the entry name of the file and the text of its installed folder and name, whose lengths the
// database limits. False, with the cause, for a name the installer could not write as given.
inline bool system_path(const std::string& host_relative, std::string* path, std::string* cause) {
  if (host_relative.find('\\') != std::string::npos) {
    *cause = "the name holds '\\', which separates folders on Windows";
    return false;
  }
  *path = system_name(host_relative);
  return true;
}

// Why a write into the folder failed: a full disk says so; else the system's reason, when it gave one.
inline std::string write_cause(const fs::path& folder, int error_number) {
  std::error_code code;
  fs::space_info space = fs::space(folder, code);
  if (error_number == ENOSPC || (!code && space.available < 65536)) return "the disk is full (No space left on device)";
  if (error_number) return std::generic_category().message(error_number);
  return "a write failed";
}

// ---------------------------------------------------------------------------------------------------
// The tree of an installation

// One file of an installation: its path below the files folder (the host's names joined with '/'),
// the file of the host it holds (through the links on the way), and whether a missing_file line left
// it out of the package.
struct TREE_FILE {
  std::string relative;
  fs::path host;
  bool missing = false;
  int line = 0;  // the missing_file line
};

// Adds the regular files below folder (relative: its path below the files folder, empty or ending in
// '/') to files; ancestors: the folders on the way there, by their real paths, so that a link back to
// one of them is not followed. False, with the error, for a dangling link, an entry that is neither a
// file nor a folder, a folder that cannot be listed, or more files than an installation holds.
inline bool walk_tree(const fs::path& folder, const std::string& relative, std::vector<fs::path>* ancestors,
                      std::vector<TREE_FILE>* files, std::vector<std::string>* notes, std::string* error) {
  std::error_code code;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code))
    entries.push_back(it->path());
  if (code) {
    *error = folder.string() + ": cannot be listed: " + code.message();
    return false;
  }
  for (const fs::path& entry : entries) {
    std::string name = entry.filename().u8string();
    std::error_code link_code;
    bool link = fs::is_symlink(fs::symlink_status(entry, link_code));
    fs::file_status status = fs::status(entry, code);
    if (status.type() == fs::file_type::not_found || (code && link)) {
      fs::path target = fs::read_symlink(entry, link_code);
      *error = entry.string() + ": " +
               (!link ? std::string("has gone while the folder was read")
                : status.type() == fs::file_type::not_found
                    ? "a link to " + target.string() + ", which does not exist"
                    : "a link to " + target.string() + ", which cannot be followed (" + code.message() + ")");
      return false;
    }
    if (code) {
      *error = entry.string() + ": cannot be read: " + code.message();
      return false;
    }
    if (fs::is_regular_file(status)) {
      if (files->size() > 32767) {
        *error = "an installation holds at most 32767 files: " + folder.string() + " and the folders before it hold more";
        return false;
      }
      files->push_back({relative + name, entry, false});
      continue;
    }
    if (!fs::is_directory(status)) {
      *error = entry.string() + ": neither a file nor a folder (a pipe, socket or device): it cannot be packed";
      return false;
    }
    fs::path real = fs::canonical(entry, code);
    if (code) {
      *error = entry.string() + ": cannot be read: " + code.message();
      return false;
    }
    if (std::find(ancestors->begin(), ancestors->end(), real) != ancestors->end()) {
      notes->push_back(entry.string() + ": a link to " + real.string() + ", a folder that holds it: not followed");
      continue;
    }
    ancestors->push_back(real);
    bool walked = walk_tree(entry, relative + name + "/", ancestors, files, notes, error);
    ancestors->pop_back();
    if (!walked) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// The description

struct SHORTCUT_LINE {
  bool menu;
  std::vector<std::string> parts;
  int line;
};

// What the description says of one installation, with the lines that said it.
struct INSTALLATION_LINES {
  std::string name, default_path, files_folder = "files";
  int line = 0, default_path_line = 0, files_line = 0, uninstaller_line = 0;
  std::vector<std::string> uninstaller;
  std::vector<std::pair<std::string, int>> missing_files;
  std::vector<SHORTCUT_LINE> shortcuts;
};

// Numbers separated by ';' into out, each from low to high; false with the cause otherwise.
inline bool numbers(const std::string& key, const std::string& value, size_t count, long low, long high,
                    std::vector<INT_S32>* out, std::string* cause) {
  std::vector<std::string> parts = split(value, ';');
  out->clear();
  for (const std::string& part : parts) {
    std::string text = trim(part);
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || number < low || number > high) break;
    out->push_back((INT_S32)number);
  }
  if (out->size() == count && parts.size() == count) return true;
  *cause = key + " needs " + std::to_string(count) + (count == 1 ? " number" : " numbers") + " from " +
           std::to_string(low) + " to " + std::to_string(high) + ": " + value;
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

// The keys that give sizes and places, with their count of numbers and the packer's defaults (the
// sample's wizard: a 640 x 480 window, its page, its questions and dialogs at readable sizes).
struct GEOMETRY_KEY {
  const char* key;
  size_t count;
  const char* standard;  // the default's numbers; null: the database's own default
};
static const GEOMETRY_KEY geometry_keys[] = {
    {"minimum_size", 2, nullptr},          {"window", 2, "640;480"},     {"dialog", 4, "40;30;560;420"},
    {"exit", 4, "-1;-1;320;170"},          {"about", 4, "-1;-1;360;240"}, {"file_select", 5, "-1;-1;520;380;0"},
    {"required_desktop", 2, nullptr},      {"background_speed", 1, nullptr}};

// The folder below the install location that a "$HERE" text names ("" for the install location) in
// relative: 1. A text of another path variable: 0. A ".." step out of the install location: -1.
inline int install_folder_part(const std::string& text, std::string* relative) {
  if (text.compare(0, 5, "$HERE") != 0 || (text.size() > 5 && text[5] != '/')) return 0;
  std::vector<std::string> kept;
  for (const std::string& part : split(text.substr(5), '/')) {
    if (part.empty() || part == ".") continue;
    if (part != "..") kept.push_back(part);
    else if (kept.empty()) return -1;
    else kept.pop_back();
  }
  relative->clear();
  for (const std::string& part : kept) *relative += (relative->empty() ? "" : "/") + part;
  return 1;
}

// Names the packer never gives a file of the tree: the installer reads these entries for itself.
inline bool reserved_entry_name(const std::string& name) {
  if (name == "database.bin") return true;
  for (const char* kind : {"licence-", "readme-"}) {
    size_t length = std::strlen(kind);
    if (name.compare(0, length, kind) == 0 && name.size() > length &&
        name.find_first_not_of("0123456789", length) == std::string::npos)
      return true;
  }
  for (INT_U8 id = 0; id <= 22; id++)
    if (font_file_name(id) && name == font_file_name(id)) return true;
  return false;
}

// Reports each block copied into the package: the bytes copied so far.
inline void count_copied(PACKAGE*, INT_S32 done, INT_S32, void* user) { *static_cast<INT_S64*>(user) = done; }

// A file's size and modification time, to see whether it changed while it was packed.
struct FILE_STAMP {
  std::uintmax_t size = 0;
  fs::file_time_type time;
  bool operator==(const FILE_STAMP& other) const { return size == other.size && time == other.time; }
};
inline bool stamp_of(const fs::path& file, FILE_STAMP* stamp) {
  std::error_code code;
  stamp->size = fs::file_size(file, code);
  if (code) return false;
  stamp->time = fs::last_write_time(file, code);
  return !code;
}

// One packing run: the description read, its checks, and the package written.
class PACKER {
public:
  PACKER(const std::string& description_path, std::vector<std::string>* notes)
      : description(description_path), notes(notes) {}

  // Builds the package at package_path (a file there is replaced when the new one is whole). block_size:
  // the data bytes per package block.
  bool build(const std::string& package_path, INT_S32 block_size, std::string* error_out) {
    bool ok = read_description() && list_files() && check_references() && write(package_path, block_size);
    if (!ok) *error_out = error;
    return ok;
  }

private:
  std::string description;
  std::vector<std::string>* notes;
  std::string error;
  fs::path base;
  int line_count = 0;

  std::string title = "Installer", application, log_path, patch_path;
  std::vector<INSTALLATION_LINES> installation_lines;
  std::vector<std::vector<std::string>> languages;
  std::vector<std::pair<const GEOMETRY_KEY*, std::vector<INT_S32>>> geometry;
  // Page texts by identifier: for every language (index -1) or the language declared before them.
  struct TEXT_LINE {
    int language;
    int slot;
    std::string value;
  };
  std::vector<TEXT_LINE> texts;
  std::vector<STYLE_COLOUR_LINE> style_colours;
  std::vector<std::vector<TREE_FILE>> files;  // per installation, in name order

  PACKAGE* package = nullptr;
  FOLDER package_folder;
  fs::path package_folder_path;
  std::string package_path;
  // Entries written: the entry of each host file (by its real path), and every name taken.
  std::map<fs::path, std::string> entry_of_file;
  std::set<std::string> entry_names;

  bool fail_at(int line, const std::string& cause) {
    error = description + ":" + std::to_string(line) + ": " + cause;
    return false;
  }
  bool fail(const std::string& text) {
    error = text;
    return false;
  }
  // A text of the database: at most TEXT_LIMIT bytes.
  bool fits(int line, const std::string& what, const std::string& text) {
    size_t size = system_name(text).size();
    if (size <= TEXT_LIMIT) return true;
    return fail_at(line, what + " is " + std::to_string(size) + " bytes long; the installation database holds " +
                             std::to_string(TEXT_LIMIT));
  }

  bool read_description() {
    std::ifstream input(description, std::ios::binary);
    if (!input) return fail(description + ": cannot be read");
    base = fs::path(description).parent_path();
    if (base.empty()) base = ".";
    std::string line;
    while (std::getline(input, line)) {
      int n = ++line_count;
      line = trim(line);
      if (line.empty() || line[0] == '#') continue;
      size_t equals = line.find('=');
      if (equals == std::string::npos) return fail_at(n, "a line is \"key = value\": " + line);
      std::string key = trim(line.substr(0, equals)), value = trim(line.substr(equals + 1));
      bool own = key == "default_path" || key == "files" || key == "missing_file" || key == "uninstaller" ||
                 key == "desktop_shortcut" || key == "menu_shortcut";
      if (own && installation_lines.empty())
        return fail_at(n, key + " belongs to an installation: an \"installation = <name>\" line comes before it");
      if (!read_key(n, key, value)) return false;
    }
    if (installation_lines.empty())
      return fail_at(std::max(line_count, 1),
                     "no installation: at least one \"installation = <name>\" line (with its default_path) is required");
    for (const INSTALLATION_LINES& lines : installation_lines)
      if (lines.default_path.empty())
        return fail_at(lines.line, "the installation \"" + lines.name +
                                       "\" has no default_path (required: where it installs, e.g. "
                                       "\"default_path = $ROOT0/opt/application\")");
    if (languages.empty()) languages.push_back({"English", "", ""});
    return true;
  }

  bool read_key(int n, const std::string& key, const std::string& value) {
    for (const GEOMETRY_KEY& entry : geometry_keys) {
      if (key != entry.key) continue;
      std::vector<INT_S32> values;
      bool speed = key == "background_speed";
      std::string cause;
      if (!numbers(key, value, entry.count, speed ? 0 : -32768, speed ? 0x7FFFFFFF : 32767, &values, &cause))
        return fail_at(n, cause);
      if ((key == "window" || key == "dialog" || key == "minimum_size") && (values[values.size() - 2] < 1 || values.back() < 1))
        return fail_at(n, key + " needs a width and a height of at least 1: " + value);
      geometry.push_back({&entry, values});
      return true;
    }
    if (key == "title" || key == "application" || key == "log" || key == "patch_check") {
      if (!fits(n, key, value)) return false;
      (key == "title" ? title : key == "application" ? application : key == "log" ? log_path : patch_path) = value;
      return true;
    }
    if (key == "installation") {
      if (value.empty()) return fail_at(n, "an installation needs a name");
      if (!fits(n, "the installation's name", value)) return false;
      installation_lines.emplace_back();
      installation_lines.back().name = value;
      installation_lines.back().line = n;
      return true;
    }
    INSTALLATION_LINES* current = installation_lines.empty() ? nullptr : &installation_lines.back();
    if (key == "default_path") {
      if (value.empty() || value[0] != '$')
        return fail_at(n, "default_path begins with a path variable, e.g. $ROOT0/opt/application: " + value);
      if (!fits(n, "default_path", value)) return false;
      current->default_path = value;
      current->default_path_line = n;
      return true;
    }
    if (key == "files") {
      if (value.empty()) return fail_at(n, "files names a folder");
      current->files_folder = value;
      current->files_line = n;
      return true;
    }
    if (key == "missing_file") {
      current->missing_files.push_back({value, n});
      return true;
    }
    if (key == "uninstaller") {
      current->uninstaller = split(value, ';');
      current->uninstaller_line = n;
      for (std::string& part : current->uninstaller) part = trim(part);
      if (current->uninstaller.size() != 3)
        return fail_at(n, "an uninstaller needs 3 parts (name;file name;folder), not " +
                              std::to_string(current->uninstaller.size()) + ": " + value);
      for (const std::string& part : current->uninstaller)
        if (part.empty()) return fail_at(n, "an uninstaller's name, file name and folder are not empty: " + value);
      return fits(n, "a part of the uninstaller", current->uninstaller[0]) &&
             fits(n, "a part of the uninstaller", current->uninstaller[1]) &&
             fits(n, "a part of the uninstaller", current->uninstaller[2]);
    }
    if (key == "desktop_shortcut" || key == "menu_shortcut") return read_shortcut(n, key == "menu_shortcut", value);
    if (key == "language") {
      std::vector<std::string> parts = split(value, ';');
      if (parts.size() > 3) return fail_at(n, "a language needs at most 3 parts (name;licence;readme): " + value);
      for (std::string& part : parts) part = trim(part);
      if (parts[0].empty()) return fail_at(n, "a language needs a name");
      if (!fits(n, "the language's name", parts[0])) return false;
      parts.resize(3);
      for (int k = 1; k < 3; k++)
        if (!parts[k].empty() && !fs::is_regular_file(base / fs::u8path(parts[k])))
          return fail_at(n, "the " + std::string(k == 1 ? "licence" : "readme") + " " + (base / fs::u8path(parts[k])).string() +
                                " is not a file");
      languages.push_back(parts);
      return true;
    }
    if (key == "text") {
      size_t separator = value.find(';');
      if (separator == std::string::npos) return fail_at(n, "a text needs an identifier and a value: " + value);
      std::string name = trim(value.substr(0, separator)), text = value.substr(separator + 1);
      int slot = -1;
      for (int i = 0; i < LANGUAGE_TEXT_COUNT && slot < 0; i++)
        if (name == language_text_name(i)) slot = i;
      if (slot < 0) return fail_at(n, "unknown text " + name);
      if (!fits(n, "the text " + name, text)) return false;
      texts.push_back({(int)languages.size() - 1, slot, text});
      return true;
    }
    if (key == "style") {
      style_colours.emplace_back();
      std::string cause;
      return style_colour(value, &style_colours.back(), &cause) || fail_at(n, cause);
    }
    return fail_at(n, "unknown key " + key);
  }

  bool read_shortcut(int n, bool menu, const std::string& value) {
    std::vector<std::string> parts = split(value, ';');
    for (std::string& part : parts) part = trim(part);
    size_t needed = menu ? 5 : 4;
    if (parts.size() != needed)
      return fail_at(n, std::string("a ") + (menu ? "menu" : "desktop") + " shortcut needs " + std::to_string(needed) +
                            " parts (" + (menu ? "type;program;link name;menu folder;program folder"
                                               : "type;program;link name;program folder") +
                            "), not " + std::to_string(parts.size()) + ": " + value);
    if (parts[0] != "1" && parts[0] != "2" && parts[0] != "3")
      return fail_at(n, "a shortcut's type is 1 (program), 2 (web link) or 3 (document): " + parts[0]);
    if (parts[1].empty()) return fail_at(n, "a shortcut needs a program");
    if (parts[2].empty() || parts[2].find_first_of("/\\") != std::string::npos)
      return fail_at(n, "a shortcut's link name is a file name, not empty and without '/' or '\\': " + parts[2]);
    if (menu && parts[3].empty()) return fail_at(n, "a menu shortcut needs a menu folder");
    for (const std::string& part : parts)
      if (!fits(n, "a part of the shortcut", part)) return false;
    installation_lines.back().shortcuts.push_back({menu, parts, n});
    return true;
  }

  // The files of every installation in name order, with the limits of the database checked.
  bool list_files() {
    files.resize(installation_lines.size());
    for (size_t i = 0; i < installation_lines.size(); i++) {
      const INSTALLATION_LINES& lines = installation_lines[i];
      fs::path root = base / fs::u8path(lines.files_folder);
      int line = lines.files_line ? lines.files_line : lines.line;
      std::error_code code;
      if (!fs::is_directory(root, code)) return fail_at(line, "the files folder " + root.string() + " is not a folder");
      std::vector<fs::path> ancestors = {fs::canonical(root, code)};
      if (!walk_tree(root, "", &ancestors, &files[i], notes, &error)) return false;
      std::set<std::string> present;
      for (const TREE_FILE& file : files[i]) present.insert(file.relative);
      for (const auto& missing : lines.missing_files) {
        std::string relative;
        if (install_folder_part("$HERE/" + missing.first, &relative) != 1 || relative != missing.first)
          return fail_at(missing.second, "missing_file is a plain path below the files folder: " + missing.first);
        if (present.count(missing.first))
          return fail_at(missing.second, "missing_file names a file that is in the files folder: " + missing.first);
        files[i].push_back({missing.first, fs::path(), true, missing.second});
      }
      if (files[i].size() > 32767)
        return fail_at(line, "an installation holds at most 32767 files; " + root.string() + " holds " +
                                 std::to_string(files[i].size()));
      std::sort(files[i].begin(), files[i].end(),
                [](const TREE_FILE& a, const TREE_FILE& b) { return a.relative < b.relative; });
      for (TREE_FILE& file : files[i]) {
        std::string place = file.missing ? description + ":" + std::to_string(file.line) : file.host.string();
        std::string cause, path;
        if (!system_path(file.relative, &path, &cause)) return fail(place + ": " + cause);
        size_t slash = path.find_last_of('/');
        size_t folder = slash == std::string::npos ? 0 : slash;
        size_t name = path.size() - (slash == std::string::npos ? 0 : slash + 1);
        // The installed folder is "$HERE/" and the folder; the entry name can be the path.
        if (name > TEXT_LIMIT || folder + 6 > TEXT_LIMIT || path.size() > TEXT_LIMIT)
          return fail(place + ": its path below the files folder is " + std::to_string(path.size()) +
                      " bytes long; the installation database holds " + std::to_string(TEXT_LIMIT) +
                      " for a name and for the entry, and " + std::to_string(TEXT_LIMIT - 6) + " for a folder");
      }
    }
    return true;
  }

  // The uninstaller and the shortcuts' programs that lie in the install location are files of the
  // installation.
  bool check_references() {
    for (size_t i = 0; i < installation_lines.size(); i++) {
      const INSTALLATION_LINES& lines = installation_lines[i];
      std::set<std::string> present;
      for (const TREE_FILE& file : files[i]) present.insert(file.relative);
      auto check = [&](int line, const std::string& what, const std::string& folder, const std::string& name) {
        std::string relative;
        int part = install_folder_part(folder, &relative);
        if (part < 0) return fail_at(line, what + "'s folder leads out of the install location: " + folder);
        std::string path = relative.empty() ? name : relative + "/" + name;
        if (part > 0 && !present.count(path))
          return fail_at(line, what + " " + path + " is not among the files of the installation \"" + lines.name +
                                   "\" (" + (base / fs::u8path(lines.files_folder)).string() + ")");
        return true;
      };
      if (!lines.uninstaller.empty() &&
          !check(lines.uninstaller_line, "the uninstaller", lines.uninstaller[2], lines.uninstaller[1]))
        return false;
      for (const SHORTCUT_LINE& shortcut : lines.shortcuts)
        if (!shortcut.parts.back().empty() &&
            !check(shortcut.line, "the shortcut's program", shortcut.parts.back(), shortcut.parts[1]))
          return false;
    }
    return true;
  }

  // The package cannot pass its largest size: the files' blocks and records are counted before anything
  // is written.
  bool check_size(INT_S32 block_size) {
    INT_U64 total = 55 + 1024 * 1024;
    std::set<fs::path> counted;
    for (const auto& installation : files)
      for (const TREE_FILE& file : installation) {
        std::error_code code;
        fs::path real = file.missing ? fs::path() : fs::canonical(file.host, code);
        if (file.missing || !counted.insert(real).second) continue;
        INT_U64 size = fs::file_size(file.host, code);
        total += 20 + 2 * TEXT_LIMIT + (size / (INT_U64)block_size + 1) * ((INT_U64)block_size + 8);
      }
    if (total <= PACKAGE_LARGEST_SIZE) return true;
    return fail(package_path + ": the files come to about " + std::to_string(total >> 20) +
                " MiB in the package, which holds less than 2 GiB");
  }

  // Why the package could not be written, with the system's error number right after the failure.
  bool fail_writing(const std::string& what, int error_number) {
    return fail(package_path + ": " + what + ": " + write_cause(package_folder_path, error_number));
  }

  // Adds the host file as an entry: a file of the tree (whatever links lead to it) is stored once, under
  // the name wanted, else the fallback, else a numbered one. With exact (the installer's own names), the
  // entry is made under the name wanted.
  bool add_entry(const fs::path& host, const std::string& wanted, const std::string& fallback, std::string* name,
                 bool exact = false) {
    std::error_code code;
    fs::path real = fs::canonical(host, code);
    if (code) return fail(host.string() + ": cannot be read: " + code.message());
    auto known = entry_of_file.find(real);
    if (known != entry_of_file.end() && !exact) {
      *name = known->second;
      return true;
    }
    *name = wanted;
    for (int n = 1; !exact && (entry_names.count(*name) || reserved_entry_name(*name) || system_name(*name).size() > TEXT_LIMIT);
         n++)
      *name = n == 1 && system_name(fallback).size() <= TEXT_LIMIT ? fallback : "entry-" + std::to_string(entry_names.size() + n);
    FOLDER folder;
    if (!host_folder(&folder, host.parent_path().u8string())) return fail(host.string() + ": its folder cannot be read");
    FILE_STAMP before, after;
    if (!stamp_of(host, &before)) return fail(host.string() + ": cannot be read");
    INT_S64 copied = 0;
    errno = 0;
    std::string host_name = system_name(host.filename().u8string()), entry_name = system_name(*name);
    bool added = package->add_file(&folder, host_name.c_str(), entry_name.c_str(), false, count_copied, &copied);
    int error_number = errno;
    if (!added) {
      INT_U16 code_number = get_error_code();
      if (code_number == 0x1008) return fail_writing("cannot be written", error_number);
      if (code_number == 0x100B) return fail(host.string() + ": there is not enough memory to pack it");
      return fail(host.string() + ": cannot be read" +
                  (error_number ? ": " + std::generic_category().message(error_number) : std::string()));
    }
    PACKAGE_ENTRY entry;
    if (!stamp_of(host, &after) || !(before == after) || !package->find_entry(entry_name.c_str(), &entry) ||
        entry.size != before.size || copied != (INT_S64)before.size)
      return fail(host.string() + ": changed while it was packed (" + std::to_string(before.size) + " bytes before, " +
                  std::to_string(copied) + " packed): pack it again once it no longer changes");
    if (!exact) entry_of_file[real] = *name;
    entry_names.insert(*name);
    return true;
  }

  // The database of the description, its texts checked before.
  void fill_database(DATABASE* database) {
    copy_text(database->APPLICATION.app_string, application);
    copy_text(database->APPLICATION.version, "1.0");
    copy_text(database->default_language_name, languages[0][0]);
    copy_text(database->LOG.dest_path_from_inst_loc, log_path);
    if (!patch_path.empty()) {
      copy_text(database->PATCH.dest_path_from_inst_loc, patch_path);
      database->PATCH.do_check = 1;
    }
    std::vector<std::pair<const GEOMETRY_KEY*, std::vector<INT_S32>>> places;
    for (const GEOMETRY_KEY& entry : geometry_keys) {
      if (!entry.standard) continue;
      std::vector<INT_S32> values;
      std::string unused;
      numbers(entry.key, entry.standard, entry.count, -32768, 32767, &values, &unused);
      places.push_back({&entry, values});
    }
    places.insert(places.end(), geometry.begin(), geometry.end());
    for (const auto& entry : places) {
      const std::string key = entry.first->key;
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

    database->installation_count = (INT_S16)installation_lines.size();
    database->installations = new INSTALLATION[installation_lines.size()]();
    for (size_t n = 0; n < installation_lines.size(); n++) {
      const INSTALLATION_LINES& lines = installation_lines[n];
      INSTALLATION& installation = database->installations[n];
      copy_text(installation.name, lines.name);
      copy_text(installation.default_path, lines.default_path);
      installation.allow_system_paths = 1;
      installation.file_count = (INT_S16)files[n].size();
      installation.files = files[n].empty() ? nullptr : new INSTALLATION_FILE[files[n].size()]();
      if (lines.uninstaller.size() == 3) {
        copy_text(installation.uninstaller_name, lines.uninstaller[0]);
        copy_text(installation.uninstaller_filename, lines.uninstaller[1]);
        copy_text(installation.uninstaller_path, lines.uninstaller[2]);
      }
      installation.item_count = (INT_S16)lines.shortcuts.size();
      installation.items = lines.shortcuts.empty() ? nullptr : new INSTALLATION_ITEM[lines.shortcuts.size()]();
      for (size_t i = 0; i < lines.shortcuts.size(); i++) {
        INSTALLATION_ITEM& item = installation.items[i];
        const std::vector<std::string>& parts = lines.shortcuts[i].parts;
        item.type = (INT_U8)std::atoi(parts[0].c_str());
        copy_text(item.program_name, parts[1]);
        copy_text(item.link_name, parts[2]);
        if (lines.shortcuts[i].menu) copy_text(item.menu_folder, parts[3]);
        copy_text(item.program_path_from_inst_loc, parts.back());
      }
    }

    database->language_count = (INT_S16)languages.size();
    database->languages = new LANGUAGE[languages.size()]();
    for (size_t i = 0; i < languages.size(); i++) {
      LANGUAGE& language = database->languages[i];
      const std::vector<std::string>& parts = languages[i];
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
      for (const TEXT_LINE& text : texts)
        if (text.language == -1 || text.language == (int)i) copy_text(language_text(&language, text.slot), text.value);
    }
  }

  // The files, the licences and readmes, then the database, into the open package.
  bool fill_package(DATABASE* database) {
    for (size_t n = 0; n < installation_lines.size(); n++) {
      const INSTALLATION_LINES& lines = installation_lines[n];
      for (size_t i = 0; i < files[n].size(); i++) {
        const TREE_FILE& tree_file = files[n][i];
        INSTALLATION_FILE& file = database->installations[n].files[i];
        const std::string& relative = tree_file.relative;
        size_t slash = relative.find_last_of('/');
        std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
        copy_text(file.src_name, slash == std::string::npos ? relative : relative.substr(slash + 1));
        copy_text(file.src_path_from_xml, folder);
        copy_text(file.dest_path_from_inst_loc, folder.empty() ? "$HERE" : "$HERE/" + folder);
        std::string packed = relative;
        if (!tree_file.missing && !add_entry(tree_file.host, relative, lines.files_folder + "/" + relative, &packed))
          return false;
        copy_text(file.packed_name, packed);
      }
    }
    for (size_t i = 0; i < languages.size(); i++) {
      LANGUAGE& language = database->languages[i];
      const char* kinds[2] = {"licence", "readme"};
      for (int k = 0; k < 2; k++) {
        const std::string& source = languages[i][1 + k];
        if (source.empty()) continue;
        // The installer reads these names, which no file of the tree is given.
        std::string entry = std::string(kinds[k]) + "-" + std::to_string(i), added;
        if (!add_entry(base / fs::u8path(source), entry, entry, &added, true)) return false;
        copy_text(k == 0 ? language.LICENCE.path : language.README.path, "$HERE");
        copy_text(k == 0 ? language.LICENCE.filename : language.README.filename, entry);
        // The readme window keeps as many lines as the readme shows: its window counts wrapped lines, so
        // a long line counts once per 40 characters.
        if (k == 1) {
          std::ifstream readme(base / fs::u8path(source));
          INT_S32 lines = 0;
          for (std::string text_line; std::getline(readme, text_line);) lines += 1 + (INT_S32)text_line.size() / 40;
          language.README.lines = (INT_S16)(lines < 32767 ? lines : 32767);
        }
      }
    }
    // The database goes through a file of its own beside the package, which is added as its entry.
    char name[TEMPORARY_NAME_SIZE];
    next_temporary_name(name);
    errno = 0;
    DATA_FILE* stored = open_data_file(&package_folder, name, FILE_MODE_WRITE_NEW, BYTE_ORDER_HEADER, false);
    if (!stored) return fail_writing("database.bin cannot be made", errno);
    bool written = database->put_to_data_device(stored) && !stored->failed;
    int error_number = errno;
    if (!close_data_file(&stored)) written = false;
    if (written) {
      errno = 0;
      written = package->add_file(&package_folder, name, "database.bin", false);
      error_number = errno;
    }
    if (!written) {
      std::string cause = write_cause(package_folder_path, error_number ? error_number : errno);
      delete_file(&package_folder, name);
      return fail(package_path + ": database.bin cannot be written: " + cause);
    }
    delete_file(&package_folder, name);
    return true;
  }

  bool write(const std::string& path, INT_S32 block_size) {
    package_path = path;
    package_folder_path = fs::path(path).parent_path();
    if (package_folder_path.empty()) package_folder_path = ".";
    std::error_code code;
    if (!host_folder(&package_folder, package_folder_path.string()))
      return fail(path + ": the folder " + package_folder_path.string() + " does not exist");
    if (fs::is_directory(path, code) || fs::path(path).filename().empty()) return fail(path + ": is a folder");
    if (!check_size(block_size)) return false;
    // What a killed run of this packer left beside the package goes first.
    remove_stale_temporaries(&package_folder);
    char temporary[TEMPORARY_NAME_SIZE];
    next_temporary_name(temporary);
    errno = 0;
    package = new PACKAGE(&package_folder, temporary, true, block_size, true, false);
    bool ok = package->file != nullptr || fail_writing("cannot be created", errno);
    DATABASE* database = new DATABASE();
    if (ok) {
      fill_database(database);
      ok = fill_package(database);
    }
    delete database;
    if (ok) {
      // The directory and the last blocks reach the disk, and the file closes, before it takes its name.
      errno = 0;
      ok = package->flush();
      package->free_directory();
      int error_number = errno;
      if (!close_data_file(&package->file) || !ok) ok = fail_writing("cannot be written", error_number ? error_number : errno);
    }
    delete package;
    package = nullptr;
    if (ok && !replace_file(&package_folder, temporary, system_name(fs::path(path).filename().u8string()).c_str()))
      ok = fail_writing("cannot take its name", errno);
    if (!ok) delete_file(&package_folder, temporary);
    return ok;
  }
};

// Builds the package at package_path (an existing file there is replaced when the new one is whole);
// error says what failed, notes (when given) gets what was left out on purpose. block_size: the data
// bytes per package block.
inline bool build_package(const std::string& description_path, const std::string& package_path, std::string* error,
                          INT_S32 block_size = 4096, std::vector<std::string>* notes = nullptr) {
  std::vector<std::string> ignored;
  PACKER packer(description_path, notes ? notes : &ignored);
  return packer.build(package_path, block_size, error);
}

// ---------------------------------------------------------------------------------------------------
// The single-file installer: the installer program with the package attached after its executable
// image, as the installer reads it at its start. The attached data's numbers are stored most
// significant byte first.

inline void put_u32_big_endian(std::vector<INT_U8>* out, INT_U32 value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back((INT_U8)(value >> shift));
}

// The head of attached data without a splash block: the splash flag 0, the chunk size (the most package
// bytes a record holds) and whether the records are compressed.
inline void put_attached_head(std::vector<INT_U8>* out, INT_U32 chunk, bool compressed) {
  out->push_back(0);
  put_u32_big_endian(out, chunk);
  out->push_back(compressed ? 1 : 0);
}

// A record of attached data holding the bytes, plain or as one zlib stream; false when they cannot be
// compressed.
inline bool put_attached_record(std::vector<INT_U8>* out, const INT_U8* bytes, size_t count, bool compressed) {
  if (!compressed) {
    put_u32_big_endian(out, (INT_U32)count);
    out->insert(out->end(), bytes, bytes + count);
    return true;
  }
  uLongf size = compressBound((uLong)count);
  std::vector<INT_U8> packed(size);
  if (compress2(packed.data(), &size, bytes, (uLong)count, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
  put_u32_big_endian(out, (INT_U32)size);
  out->insert(out->end(), packed.begin(), packed.begin() + (long)size);
  return true;
}

// The package bytes a record of the packer's installers holds.
const INT_U32 ATTACHED_CHUNK = 1048576;

// Writes output_path as a copy of the installer program (program_path) with the package of the
// description attached, compressed; it takes its name when whole, and is marked as a program where the
// host keeps such a mark. error, notes and block_size as for build_package.
inline bool build_installer(const std::string& description_path, const std::string& program_path,
                            const std::string& output_path, std::string* error, INT_S32 block_size = 4096,
                            std::vector<std::string>* notes = nullptr) {
  fs::path program(program_path), output(output_path);
  fs::path output_folder = output.parent_path().empty() ? fs::path(".") : output.parent_path();
  FOLDER source, target;
  std::string program_name = system_name(program.filename().u8string());
  std::string output_name = system_name(output.filename().u8string());
  std::vector<INT_U8> head;
  FILE* input = host_folder(&source, program.parent_path().empty() ? "." : program.parent_path().string())
                    ? open_file(&source, program_name.c_str(), "rb")
                    : nullptr;
  if (input) {
    head.resize((size_t)stream_size(input));
    if (std::fread(head.data(), 1, head.size(), input) != head.size()) head.clear();
    close_file(input);
  }
  if (head.empty()) {
    *error = program_path + ": cannot be read";
    return false;
  }
  if (!(head.size() > 4 && std::memcmp(head.data(), "\x7F" "ELF", 4) == 0) && !(head.size() > 2 && head[0] == 'M' && head[1] == 'Z')) {
    *error = program_path + ": is no installer program (neither an ELF nor a Windows executable image)";
    return false;
  }
  if (locate_attached_data(&source, program_name.c_str(), nullptr)) {
    *error = program_path + ": carries installation data already; give the installer program itself";
    return false;
  }
  if (!host_folder(&target, output_folder.string())) {
    *error = output_path + ": the folder " + output_folder.string() + " does not exist";
    return false;
  }
  std::error_code code;
  if (fs::is_directory(output, code)) {
    *error = output_path + ": is a folder";
    return false;
  }
  // The package is made beside the installer under a temporary name, then read back record by record.
  char package_name[TEMPORARY_NAME_SIZE], written_name[TEMPORARY_NAME_SIZE];
  next_temporary_name(package_name);
  if (!build_package(description_path, (output_folder / package_name).string(), error, block_size, notes)) return false;
  FILE* package = open_file(&target, package_name, "rb");
  errno = 0;
  FILE* file = package ? create_next_temporary_file(&target, written_name) : nullptr;
  bool ok = file != nullptr;
  int error_number = errno;
  std::vector<INT_U8> bytes;
  std::vector<INT_U8> chunk(ATTACHED_CHUNK);
  if (ok) {
    bytes = head;
    put_attached_head(&bytes, ATTACHED_CHUNK, true);
    // The records carry the package's body: the copy gets its byte-order byte from the installer.
    ok = std::fgetc(package) == 0;
  }
  while (ok) {
    errno = 0;
    ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    error_number = errno;
    bytes.clear();
    size_t count = ok ? std::fread(chunk.data(), 1, chunk.size(), package) : 0;
    if (!count) break;
    ok = put_attached_record(&bytes, chunk.data(), count, true);
  }
  if (ok && std::ferror(package)) ok = false;
  close_file(package);
  delete_file(&target, package_name);
  if (file) {
    errno = 0;
    bool closed = close_file_as(file, &target, written_name, output_name.c_str());
    if (ok && !closed) error_number = errno;
    ok = ok && closed;
    if (!ok) delete_file(&target, written_name);
  }
  if (!ok) {
    *error = output_path + ": cannot be written: " + write_cause(output_folder, error_number);
    return false;
  }
  mark_program_file(&target, output_name.c_str(), true);
  return true;
}

}  // namespace package_builder
