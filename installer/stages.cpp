// Installer state kept beside the package: the index file "installer.idx" that holds a whole database
// in the data folder, the install location's folder, the command line's file names split into an
// existing folder and a name, and the engine's text helpers.
#include "database.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data_file.h"
#include "engine.h"
#include "files.h"
#include "text_file.h"
#include "velk_string.h"

static const char* const INDEX_FILE_NAME = "installer.idx";

bool DATABASE::load_index() {
  DATA_FILE* file = open_data_file(&data_folder, INDEX_FILE_NAME, FILE_MODE_READ, BYTE_ORDER_HEADER, false);
  if (!file) return false;
  bool read = get_from_data_device(file);
  if (!read) file->failed = 1;
  close_data_file(&file);
  return read;
}

bool DATABASE::save_index() {
  DATA_FILE* file = open_data_file(&data_folder, INDEX_FILE_NAME, FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  if (!file) return false;
  bool written = put_to_data_device(file);
  if (!written) file->failed = 1;
  bool closed = close_data_file(&file);
  return written && closed;
}

bool set_known_folder(FOLDER* folder, const char* text, bool create, FOLDER* here) {
  return is_known_path_text(text) && folder->set(text, create, here);
}

// The kind of system folder that a folder text's variable names ("$SYSAPP", "$INSTDATA", "$APPDATA",
// "$USERDATA", "$USERPREFS", in any case and not a named path); -1 for any other text.
static INT_S32 location_system_kind(const FOLDER_TEXT& read) {
  if (read.variable.empty() || is_named_path_text(read.variable.c_str())) return -1;
  return system_folder_kind_of(read.variable.c_str());
}

bool set_location_folder(FOLDER* folder, const char* text, const char* application, bool create, FOLDER* here) {
  FOLDER_TEXT read = read_folder_text(text);
  INT_S32 kind = location_system_kind(read);
  if (kind < 0) return set_known_folder(folder, text, create, here);
  // A system folder without the application's sub-folder leaves the folder at the system folder, as a
  // walk that fails leaves the folder reached.
  FOLDER system;
  system.path[0] = 0;
  if (!get_system_folder(&system, kind, application ? application : "", create ? 1 : 0)) {
    if (system.path[0]) *folder = system;
    return false;
  }
  return folder->set((std::string("$HERE") + (text + read.variable.size())).c_str(), create, &system);
}

// Appends the parts of a folder text (read_folder_text's) to a path of this computer: ".." goes up
// (never above its root), "." is nothing.
static void append_path_parts(std::string* path, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      size_t separator = path->find_last_of(PATH_SEPARATOR);
      if (separator == std::string::npos) continue;
      bool root = separator == 0 || (*path)[separator - 1] == ':';
      path->erase(root ? separator + 1 : separator);
      continue;
    }
    if (path->empty() || path->back() != PATH_SEPARATOR) *path += PATH_SEPARATOR;
    *path += part;
  }
}

std::string location_path_text(const char* text, const char* application) {
  FOLDER_TEXT read = read_folder_text(text);
  INT_S32 kind = location_system_kind(read);
  if (kind < 0) {
    std::string path = is_known_path_text(text) ? expand_path_text(text, nullptr) : std::string();
    return path.empty() ? std::string(text ? text : "") : path;
  }
  // Where the system folder and the application's sub-folder lie, made or not yet, then the rest.
  char system[FOLDER_PATH_SIZE];
  if (!get_system_folder_text(kind, application ? application : "", system)) return text;
  std::string path = system;
  append_path_parts(&path, read.parts);
  return path;
}

std::string destination_path_text(const char* text, const std::string& location, const char* application) {
  FOLDER_TEXT read = read_folder_text(text);
  if (!read.names_folder || !is_known_path_text(text)) return std::string();
  if (location_system_kind(read) >= 0) {
    std::string path = location_path_text(text, application);
    // A system folder that the system does not name: no path.
    return path == text ? std::string() : path;
  }
  bool from_location = read.variable.empty();
  for (const char* name : {"$HERE", "$APP", "$BASE"})
    if (string_compare_no_case(read.variable.c_str(), name, 0x7FFF) == 0 && !is_named_path_text(text)) from_location = true;
  if (from_location) {
    std::string path = location;
    append_path_parts(&path, read.parts);
    return path;
  }
  return expand_path_text(text, nullptr);
}

// The folders of a path, its root first (empty for the root of "/").
static std::vector<std::string> path_parts(const std::string& path) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (;;) {
    size_t end = path.find_first_of(std::string("/") + PATH_SEPARATOR, at);
    std::string part = path.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!part.empty() || parts.empty()) parts.push_back(part);
    if (end == std::string::npos) return parts;
    at = end + 1;
  }
}

bool system_destination_folder(DATABASE* database, std::string* folder) {
  folder->clear();
  INSTALLATION* installation = database->get_current_installation();
  if (!installation) return false;
  const char* application = database->APPLICATION.app_string;
  std::string location = location_path_text(database->install_path, application);
  bool system = false, first = true;
  std::vector<std::string> shared;
  for (INT_S16 i = 0; i < installation->file_count; i++) {
    const INSTALLATION_FILE& file = installation->files[i];
    // Only the files this installation puts anywhere.
    if (!file.packed_name[0] || (file.platform != PLATFORM_ANY && file.platform != PLATFORM_WIN32)) continue;
    bool own = file.system_dest_path_from_inst_loc[0] != 0;
    system = system || own;
    const char* text = own ? file.system_dest_path_from_inst_loc : file.dest_path_from_inst_loc;
    std::string path = destination_path_text(text, location, application);
    if (path.empty()) continue;
    std::vector<std::string> parts = path_parts(path);
    if (first) shared = parts;
    size_t same = 0;
    while (same < shared.size() && same < parts.size() && shared[same] == parts[same]) same++;
    shared.resize(same);
    first = false;
  }
  // A folder below a drive root: the root and at least one folder in it.
  if (!system || shared.size() < 2) return system;
  for (size_t i = 0; i < shared.size(); i++) *folder += (i == 0 ? "" : std::string(1, PATH_SEPARATOR)) + shared[i];
  return true;
}

std::string chosen_location_text(const FOLDER& folder) {
  char text[FOLDER_PATH_SIZE];
  FOLDER copy(folder);
  copy.get_portable_text(text, nullptr);
  if (location_system_kind(read_folder_text(text)) < 0) return text;
  // From the drive root, '/' between the folders.
  INT_S16 drive = get_drive_index(&folder);
  const char* root = get_drive_root_text(drive);
  std::string below = root && std::strncmp(folder.path, root, std::strlen(root)) == 0 ? folder.path + std::strlen(root)
                                                                                      : folder.path;
  for (char& c : below)
    if (c == PATH_SEPARATOR) c = '/';
  while (!below.empty() && below[0] == '/') below.erase(0, 1);
  return "$ROOT" + std::to_string(drive) + "/" + below;
}

// The drive letter of a text that begins with one and ':' (C:\, C:/, C:), else 0.
static char drive_letter_of(const std::string& text) {
  bool letter = text.size() >= 2 && text[1] == ':' &&
                ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
  return letter ? text[0] : 0;
}

bool is_network_path(const std::string& text) {
  auto separator = [](char c) { return c == '/' || c == '\\'; };
  return text.size() > 2 && separator(text[0]) && separator(text[1]) && !separator(text[2]) &&
         (text[0] == '\\' || text[1] == '\\' || PATH_SEPARATOR == '\\');
}

// A path written with the prefix that hands it to the system as it stands ("\\?\") or names it among
// the devices ("\\.\"), as is_network_path tells the separators: the path without it, a share's
// ("\\server\share\...") for one through "UNC\", and the prefix in prefix; empty for any other text.
static std::string without_device_prefix(const std::string& text, std::string* prefix) {
  auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (text.size() < 5 || !separator(text[0]) || !separator(text[1]) || (text[2] != '?' && text[2] != '.') ||
      !separator(text[3]) || !(text[0] == '\\' || text[1] == '\\' || PATH_SEPARATOR == '\\'))
    return std::string();
  std::string rest = text.substr(4);
  if (rest.size() > 4 && string_compare_no_case(rest.c_str(), "UNC", 3) == 0 && separator(rest[3])) {
    *prefix = text.substr(0, 8);
    return "\\\\" + rest.substr(4);
  }
  *prefix = text.substr(0, 4);
  return rest;
}

// The computer's drives as a list for a message: "$ROOT0" C:, "$ROOT1" Z: (a root without a letter as
// it stands, "/"); with lettered_only those with a letter alone.
static std::string drive_list_text(bool lettered_only) {
  std::string drives;
  for (INT_S32 i = 0; i < get_drive_count(); i++) {
    const char* root = get_drive_root_text((INT_S16)i);
    if (!root || !root[0]) continue;
    bool lettered = root[1] == ':';
    if (lettered_only && !lettered) continue;
    drives += std::string(drives.empty() ? "" : ", ") + "\"$ROOT" + std::to_string(i) + "\" " +
              (lettered ? std::string(1, root[0]) + ":" : std::string(root));
  }
  return drives;
}

std::string missing_drive_problem(const std::string& variable) {
  if (string_compare_no_case(variable.c_str(), "$ROOT", 5) != 0 || is_named_path_text(variable.c_str())) return "";
  // "$ROOT" and digits alone name a drive; a number past 16 bits names none.
  long drive = 0;
  for (size_t i = 5; i < variable.size(); i++) {
    if (variable[i] < '0' || variable[i] > '9') return "";
    if (drive <= 32767) drive = drive * 10 + (variable[i] - '0');
  }
  if (drive <= 32767 && get_drive_root_text((INT_S16)drive)) return "";
  return "\"" + printable_text(variable.c_str()) + "\" names a drive this computer does not have (its drives: " +
         drive_list_text(false) + ")";
}

bool is_host_path(const std::string& text) {
  return (!text.empty() && (text[0] == '/' || text[0] == '\\')) || drive_letter_of(text);
}

bool set_folder_and_name(const char* argument, FOLDER* folder, char* name, FOLDER* here) {
  if (!argument || !folder || !name || is_host_path(argument)) return false;
  std::string text = argument[0] == '$' ? std::string(argument) : std::string("$HERE/") + argument;
  size_t slash = text.find_last_of('/');
  std::string folder_text = slash == std::string::npos ? std::string("$HERE") : text.substr(0, slash);
  std::string file_name = slash == std::string::npos ? text : text.substr(slash + 1);
  // A bare variable ("$TEMP") names a folder and no file.
  if (file_name.empty() || file_name[0] == '$' || file_name.size() > 255) return false;
  FOLDER candidate(*folder);
  if (!set_known_folder(&candidate, folder_text.c_str(), false, here) || !candidate.get_path_text(file_name.c_str()))
    return false;
  *folder = candidate;
  std::strcpy(name, file_name.c_str());
  return true;
}

std::string folder_too_long(const std::string& path, const std::string& argument) {
  return "the folder \"" + printable_text(path.c_str()) + "\" of \"" + argument + "\" is too long (" +
         std::to_string(path.size()) + " characters): this program takes paths of at most " +
         std::to_string(FOLDER_PATH_SIZE - 1) + " characters, a file's name in the folder included";
}

std::string file_argument_problem(const char* argument, const FOLDER* here, const char* example) {
  std::string text = argument ? argument : "";
  char drive_letter = drive_letter_of(text);
  std::string shown = printable_text(text.c_str());
  std::string prefix;
  std::string plain = without_device_prefix(text, &prefix);
  if (!plain.empty()) {
    // The path without the prefix is answered as it would be; a device or volume is no path of a drive.
    if (is_network_path(plain) || drive_letter_of(plain))
      return "\"" + shown + "\" is \"" + printable_text(plain.c_str()) + "\" with the prefix \"" +
             printable_text(prefix.c_str()) + "\"; " + file_argument_problem(plain.c_str(), here, example);
    return "\"" + shown + "\" names a device or volume (the prefix \"" + printable_text(prefix.c_str()) +
           "\"), not a path of a drive: give the path from its drive's root, as \"$ROOT\" and that drive's number "
           "followed by the path";
  }
  if (is_network_path(text)) {
    // No drive root names a server's share: only a drive letter that the share is mapped to.
    std::string path = text.substr(2);
    for (char& c : path)
      if (c == '\\') c = '/';
    size_t server = path.find('/');
    size_t share = server == std::string::npos ? std::string::npos : path.find('/', server + 1);
    std::string below = share == std::string::npos ? "/" : path.substr(share);
    return "\"" + shown + "\" is a network path: give it from the root of a drive that its share is mapped to, as "
           "\"$ROOT\" and that drive's number followed by the path in the share: \"" + printable_text(below.c_str()) + "\"";
  }
  if (is_host_path(text)) {
    // The drive of the path (the first drive for a path without one), then the path with '/'. A letter
    // that none of the host's lettered drives has names no drive.
    INT_S32 drive = 0;
    bool lettered = false, found = false;
    for (INT_S32 i = 0; drive_letter && i < get_drive_count(); i++) {
      const char* root = get_drive_root_text((INT_S16)i);
      if (!root || root[0] == 0 || root[1] != ':') continue;
      lettered = true;
      if ((root[0] | 0x20) == (drive_letter | 0x20)) {
        drive = i;
        found = true;
      }
    }
    if (lettered && !found)
      return "\"" + shown + "\" names the drive " + drive_letter + ":, which this computer does not have (its drives: " +
             drive_list_text(true) + ")";
    std::string rest = drive_letter ? text.substr(2) : text;
    for (char& c : rest)
      if (c == '\\') c = '/';
    if (rest.empty() || rest[0] != '/') rest.insert(0, "/");
    return "\"" + shown + "\" is a path of this computer: give it from the drive root, as \"$ROOT" +
           std::to_string(drive) + "\" followed by the path: \"$ROOT" + std::to_string(drive) +
           printable_text(rest.c_str()) + "\"";
  }
  // Split as set_folder_and_name splits it.
  std::string full = !text.empty() && text[0] == '$' ? text : "$HERE/" + text;
  size_t slash = full.find_last_of('/');
  std::string folder_text = slash == std::string::npos ? std::string("$HERE") : full.substr(0, slash);
  std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
  if (name.empty() || name[0] == '$') {
    std::string said = "\"" + shown + "\" names a folder and no file in it: give a file name in that folder";
    if (example) {
      std::string folder = shown;
      while (!folder.empty() && folder.back() == '/') folder.pop_back();
      said += ", e.g. \"" + folder + "/" + example + "\"";
    }
    return said;
  }
  if (name.size() > 255) return "the file name of \"" + shown + "\" is longer than 255 characters";
  FOLDER_TEXT read = read_folder_text(folder_text.c_str());
  if (!is_known_path_text(folder_text.c_str()))
    return "\"" + printable_text(read.names_folder ? read.variable.c_str() : folder_text.c_str()) +
           "\" is no path variable this program knows (in \"" + shown + "\")";
  // A drive number past the computer's drives names no folder at all (resolving it would name another).
  std::string missing_drive = missing_drive_problem(read.variable);
  if (!missing_drive.empty()) return missing_drive;
  // The folder as a path of this computer: "$HERE" is here's, any other variable's as it resolves, then
  // its parts (a path too long for the program's folders resolves to nothing as a whole).
  std::string path;
  if (here && string_compare_no_case(read.variable.c_str(), "$HERE", 0x7FFF) == 0) {
    path = here->path;
    append_path_parts(&path, read.parts);
  } else {
    path = expand_path_text(folder_text.c_str(), nullptr);
    if (path.empty()) {
      path = expand_path_text(read.variable.c_str(), nullptr);
      if (path.empty())
        return "\"" + printable_text(read.variable.c_str()) + "\" names no folder that this computer has (in \"" + shown +
               "\")";
      append_path_parts(&path, read.parts);
    }
  }
  if (path.size() + 1 + name.size() >= FOLDER_PATH_SIZE) return folder_too_long(path, shown);
  return "the folder \"" + printable_text(path.c_str()) + "\" of \"" + shown + "\" does not exist";
}

std::string format_text(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list copy;
  va_copy(copy, arguments);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    text.resize((size_t)length + 1);
    std::vsnprintf(&text[0], text.size(), format, arguments);
    text.resize((size_t)length);
  }
  va_end(arguments);
  return text;
}

// A character that may stand in a log line or on the console: no control character of either range.
static bool printable_character(INT_U32 character) {
  return character >= 0x20 && character != 0x7F && !(character >= 0x80 && character <= 0x9F) &&
         character != 0x2028 && character != 0x2029;
}

std::string printable_line(const char* text) {
  std::string line = text ? text : "";
  bool line_end = !line.empty() && line.back() == '\n';
  if (line_end) line.pop_back();
  return printable_text(line.c_str()) + (line_end ? "\n" : "");
}

std::string printable_text(const char* text) {
  std::string out;
  append_printable_text(&out, text);
  return out;
}

void append_printable_text(std::string* out, const char* text) {
  if (!text) return;
  // What comes before the first run mark or control character goes over as it is, in one piece.
  const char* at = text;
  while (*at && (unsigned char)*at != WIDE_RUN_MARK && (unsigned char)*at >= 0x20 && *at != 0x7F) at++;
  out->append(text, (size_t)(at - text));
  if (!*at) return;
  // The rest character by character, read as text files read runs, and written back in the one
  // spelling that the name conversions take: a '?' in place of a control character or a broken group
  // stands outside any run.
  std::vector<INT_U16> units;
  WIDE_RUN_READER reader(at);
  INT_U32 character;
  bool broken;
  while (reader.next(&character, &broken))
    units.push_back((INT_U16)(!broken && printable_character(character) ? character : '?'));
  units.push_back(0);
  std::vector<char> written(units.size() * 7);
  utf16_to_text(units.data(), written.data(), written.size());
  out->append(written.data());
}
