// The packer's reading of a description: its lines, keys and values, checked as they are read, with
// every mistake named by the description's file and line.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "packer_private.h"
#include "shell.h"

namespace package_builder {


std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}


std::string trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Numbers separated by ';' into out, each from low to high; false with the cause otherwise.
bool numbers(const std::string& key, const std::string& value, size_t count, long low, long high,
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

static const char* const style_member_names[DATABASE::STYLE_COUNT] = {
    "title",        "dialog_text",         "options",       "options_alt", "text_title",
    "text",         "scrollbar",           "check_box",     "progress_bar", "progress_bar_script",
    "menu_dropdown", "menu_button",        "menu_item",     "menu_alt_item"};


// A "style" value: member;colour key;#RRGGBB or #AARRGGBB (six digits are opaque), or member;size
// key;number from -1 to 32767. False (with error set) for an unknown member or key or a value that is
// not such a text.
static bool style_colour(const std::string& value, STYLE_COLOUR_LINE* out, std::string* error) {
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

const GEOMETRY_KEY geometry_keys[] = {
    {"minimum_size", 2, nullptr},          {"window", 2, "640;480"},     {"dialog", 4, "40;30;560;420"},
    {"exit", 4, "-1;-1;320;170"},          {"about", 4, "-1;-1;360;240"}, {"file_select", 5, "-1;-1;520;380;0"},
    {"required_desktop", 2, nullptr},      {"background_speed", 1, nullptr}};
const size_t geometry_key_count = sizeof geometry_keys / sizeof geometry_keys[0];

// A text of the database: at most TEXT_LIMIT bytes.
bool PACKER::fits(int line, const std::string& what, const std::string& text) {
  size_t size = system_name(text).size();
  if (size <= TEXT_LIMIT) return true;
  return fail_at(line, what + " is " + std::to_string(size) + " bytes long; the installation database holds " +
                           std::to_string(TEXT_LIMIT));
}


bool PACKER::read_description() {
  std::ifstream input(description, std::ios::binary);
  if (!input) return fail(description + ": cannot be read");
  base = fs::path(description).parent_path();
  if (base.empty()) base = ".";
  std::string line;
  while (std::getline(input, line)) {
    int n = ++line_count;
    // The byte-order mark that Windows editors put before UTF-8 text is no part of the first line.
    if (n == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    size_t bad = utf8_error_at(line);
    if (bad != std::string::npos) {
      char byte[8];
      std::snprintf(byte, sizeof byte, "0x%02X", (unsigned)(INT_U8)line[bad]);
      return fail_at(n, std::string("the line is not UTF-8 text (the byte ") + byte + " at byte " +
                            std::to_string(bad + 1) + "): the description is read as UTF-8");
    }
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) return fail_at(n, "a line is \"key = value\": " + line);
    std::string key = trim(line.substr(0, equals)), value = trim(line.substr(equals + 1));
    bool own = key == "default_path" || key == "files" || key == "missing_file" || key == "uninstaller" ||
               key == "desktop_shortcut" || key == "menu_shortcut" || key == "overwrite";
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
  return check_shortcut_links();
}

// The link file a shortcut makes, judged as Windows names files (without telling capitals apart), so
// that a package meets the stricter host: a desktop shortcut's by its link name, a menu shortcut's by
// its group folder too ('/' or '\' between folders, "." and ".." followed as the group is made).
static std::string shortcut_link_key(const SHORTCUT_LINE& shortcut) {
  std::string key = shortcut.menu ? "menu" : "desktop";
  if (shortcut.menu) {
    std::string folder = shortcut.parts[3];
    std::replace(folder.begin(), folder.end(), '\\', '/');
    std::vector<std::string> group;
    for (const std::string& part : split(folder, '/')) {
      if (part.empty() || part == ".") continue;
      if (part != "..") group.push_back(windows_name_key(part));
      else if (!group.empty()) group.pop_back();
    }
    for (const std::string& part : group) key += "/" + part;
  }
  return key + "/" + windows_name_key(shortcut.parts[2]);
}

// Two shortcuts of one installation that make one link file: the same shortcut again is noted; one
// with another target would replace the first, which would be lost, and is refused.
bool PACKER::check_shortcut_links() {
  for (const INSTALLATION_LINES& lines : installation_lines) {
    std::map<std::string, const SHORTCUT_LINE*> links;
    for (const SHORTCUT_LINE& shortcut : lines.shortcuts) {
      auto first = links.emplace(shortcut_link_key(shortcut), &shortcut);
      if (first.second) continue;
      const SHORTCUT_LINE& earlier = *first.first->second;
      std::string what = std::string(shortcut.menu ? "the menu shortcut \"" : "the desktop shortcut \"") +
                         shortcut.parts[2] + "\"" + (shortcut.menu ? " in \"" + shortcut.parts[3] + "\"" : "");
      // Its type, program and program folder.
      if (earlier.parts[0] != shortcut.parts[0] || earlier.parts[1] != shortcut.parts[1] ||
          earlier.parts.back() != shortcut.parts.back())
        return fail_at(shortcut.line, what + " makes the link of line " + std::to_string(earlier.line) +
                                          " again with another target: the second would replace the first");
      notes->push_back(description + ":" + std::to_string(shortcut.line) + ": " + what +
                       " is given twice (first on line " + std::to_string(earlier.line) + "); one link is made");
    }
  }
  return true;
}

// A key that takes one value, given again: the later value holds, and a note says so.
void PACKER::given_once(int n, const std::string& scope, const std::string& what) {
  auto first = key_lines.emplace(scope, n);
  if (!first.second)
    notes->push_back(description + ":" + std::to_string(n) + ": " + what + " is given twice (first on line " +
                     std::to_string(first.first->second) + "); the later one holds");
}

// The form with a path variable that a folder text without one was meant as: below the install location
// "$HERE/" and the text ("bin" is "$HERE/bin"), from the drive root "$ROOT0" and the text ("/var/log" is
// "$ROOT0/var/log"); the example for any other (a Windows path, nothing).
static std::string variable_form(const std::string& value, const std::string& example) {
  if (!value.empty() && value[0] == '/') return "$ROOT0" + value;
  bool other = value.empty() || value[0] == '\\' || value[0] == '$' || (value.size() >= 2 && value[1] == ':');
  return other ? example : "$HERE/" + value;
}

// Why a folder text (what: the key or part that gives it, example: a right one) does not begin with a
// path variable that the installer knows ("$ROOT" and the drive's number for a drive), or begins with
// "$TEMP", the installer's own temporary folder, which goes when the installer ends and would take what
// is put there with it, or separates folders with '\', which Windows reads as '/' and Linux as part of a
// name, so that the package would install otherwise on each. Empty when it is a folder the installer
// can use.
static std::string folder_variable_problem(const std::string& what, const std::string& example,
                                           const std::string& value) {
  if (value.empty() || value[0] != '$') return what + " begins with a path variable, e.g. " + example + ": " + value;
  FOLDER_TEXT read = read_folder_text(value.c_str(), true);
  std::string variable = read.names_folder ? read.variable : value;
  std::string upper;
  for (char c : variable) upper += (c >= 'a' && c <= 'z') ? (char)(c - 32) : c;
  if (upper.compare(0, 5, "$ROOT") == 0) {
    if (upper.size() == 5 || upper.find_first_not_of("0123456789", 5) != std::string::npos)
      return variable + " is no path variable (a drive is $ROOT and its number, then '/'): " + value;
  } else if (!is_known_path_text(variable.c_str())) {
    return variable + " is no path variable the installer knows: " + value;
  } else if (upper == "$TEMP") {
    return what + " lies in $TEMP, the installer's own temporary folder, which it removes when it ends: " + value;
  }
  if (value.find('\\') != std::string::npos) {
    std::string slashed = value;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return what + " separates folders with '\\', which Linux takes for part of a name: give them with '/', as " +
           slashed + ": " + value;
  }
  return std::string();
}

std::string log_folder_problem(const std::string& key, const std::string& value) {
  if (value.empty()) return std::string();
  std::string problem = folder_variable_problem(key, variable_form(value, key == "log" ? "$HERE/logs" : "$HERE"), value);
  if (!problem.empty()) return problem;
  // They stay inside the folder their variable names, as the uninstaller's folder does.
  std::string inside, out_of;
  int part = install_folder_part(value, &inside, &out_of);
  if (part < 0) return key + "'s folder leads out of " + out_of + ": " + value;
  // Nor at the install location's hold, a file of the installer's own, where no folder can be made.
  if (part > 0 && is_hold_name(split(inside, '/')[0]))
    return key + "'s folder lies at the installer's hold on the install location (a file of its own, " +
           FOLDER_HOLD_NAME + " in any capitals), where no folder can be made: " + value;
  return std::string();
}

// Why a default path cannot be an install location: it is a path variable that the installer knows
// (not "$TEMP"), '/' and at least one folder, none of them "." or ".." and each a name that Windows and
// Linux can hold. Empty when it is one.
static std::string default_path_problem(const std::string& value) {
  std::string problem = folder_variable_problem("default_path", "$ROOT0/opt/application", value);
  if (!problem.empty()) return problem;
  FOLDER_TEXT read = read_folder_text(value.c_str(), true);
  for (const std::string& part : read.parts) {
    if (part == "." || part == "..") return "default_path holds a \"" + part + "\" part, which it may not: " + value;
    std::string problem = name_problem(part);
    if (!problem.empty()) return "default_path's folder \"" + part + "\": " + problem;
  }
  if (read.parts.empty())
    return "default_path names no folder below " + read.variable + ", so it would install straight into it: " + value;
  return std::string();
}

bool PACKER::read_key(int n, const std::string& key, const std::string& value) {
  for (const GEOMETRY_KEY& entry : geometry_keys) {
    if (key != entry.key) continue;
    std::vector<INT_S32> values;
    bool speed = key == "background_speed";
    std::string cause;
    if (!numbers(key, value, entry.count, speed ? 0 : -32768, speed ? 0x7FFFFFFF : 32767, &values, &cause))
      return fail_at(n, cause);
    if ((key == "window" || key == "dialog" || key == "minimum_size") && (values[values.size() - 2] < 1 || values.back() < 1))
      return fail_at(n, key + " needs a width and a height of at least 1: " + value);
    given_once(n, key, key);
    geometry.push_back({&entry, values});
    return true;
  }
  if (key == "title" || key == "application" || key == "log" || key == "patch_check") {
    // The folders of the install log and of the earlier one are taken from a path variable, as every
    // folder of the installed computer is: without one the installer would take the install location.
    bool folder = key == "log" || key == "patch_check";
    std::string problem = folder ? log_folder_problem(key, value) : std::string();
    if (!problem.empty()) return fail_at(n, problem);
    if (!fits(n, key, value)) return false;
    given_once(n, key, key);
    (key == "title" ? title : key == "application" ? application : key == "log" ? log_path : patch_path) = value;
    return true;
  }
  if (key == "installation") {
    if (value.empty()) return fail_at(n, "an installation needs a name");
    if (!fits(n, "the installation's name", value)) return false;
    for (const INSTALLATION_LINES& lines : installation_lines)
      if (lines.name == value)
        return fail_at(n, "the installation \"" + value + "\" is named twice (first on line " +
                              std::to_string(lines.line) + "): the wizard could not tell the two apart");
    installation_lines.emplace_back();
    installation_lines.back().name = value;
    installation_lines.back().line = n;
    return true;
  }
  INSTALLATION_LINES* current = installation_lines.empty() ? nullptr : &installation_lines.back();
  // The keys of an installation that take one value.
  std::string installation_scope = "installation " + std::to_string(installation_lines.size()) + " " + key;
  std::string of_installation = current ? key + " of the installation \"" + current->name + "\"" : key;
  if (key == "default_path") {
    std::string problem = default_path_problem(value);
    if (!problem.empty()) return fail_at(n, problem);
    if (!fits(n, "default_path", value)) return false;
    given_once(n, installation_scope, of_installation);
    current->default_path = value;
    current->default_path_line = n;
    return true;
  }
  if (key == "files") {
    if (value.empty()) return fail_at(n, "files names a folder");
    given_once(n, installation_scope, of_installation);
    current->files_folder = value;
    current->files_line = n;
    return true;
  }
  if (key == "missing_file") {
    current->missing_files.push_back({value, n});
    return true;
  }
  if (key == "uninstaller") {
    given_once(n, installation_scope, of_installation);
    current->uninstaller = split(value, ';');
    current->uninstaller_line = n;
    for (std::string& part : current->uninstaller) part = trim(part);
    if (current->uninstaller.size() != 3)
      return fail_at(n, "an uninstaller needs 3 parts (name;file name;folder), not " +
                            std::to_string(current->uninstaller.size()) + ": " + value);
    for (const std::string& part : current->uninstaller)
      if (part.empty()) return fail_at(n, "an uninstaller's name, file name and folder are not empty: " + value);
    const std::string& folder = current->uninstaller[2];
    std::string problem =
        folder_variable_problem("the uninstaller's folder", variable_form(folder, "$HERE/bin"), folder);
    if (!problem.empty()) return fail_at(n, problem);
    return fits(n, "a part of the uninstaller", current->uninstaller[0]) &&
           fits(n, "a part of the uninstaller", current->uninstaller[1]) &&
           fits(n, "a part of the uninstaller", current->uninstaller[2]);
  }
  if (key == "desktop_shortcut" || key == "menu_shortcut") return read_shortcut(n, key == "menu_shortcut", value);
  if (key == "overwrite") return read_overwrite(n, value);
  if (key == "language") {
    std::vector<std::string> parts = split(value, ';');
    if (parts.size() > 3) return fail_at(n, "a language needs at most 3 parts (name;licence;readme): " + value);
    for (std::string& part : parts) part = trim(part);
    if (parts[0].empty()) return fail_at(n, "a language needs a name");
    if (!fits(n, "the language's name", parts[0])) return false;
    for (size_t i = 0; i < languages.size(); i++)
      if (languages[i][0] == parts[0])
        return fail_at(n, "the language \"" + parts[0] + "\" is named twice (first on line " +
                              std::to_string(language_lines[i]) + "): the wizard would offer it twice");
    parts.resize(3);
    for (int k = 1; k < 3; k++)
      if (!parts[k].empty() && !fs::is_regular_file(base / fs::u8path(parts[k])))
        return fail_at(n, "the " + std::string(k == 1 ? "licence" : "readme") + " " + (base / fs::u8path(parts[k])).string() +
                              " is not a file");
    languages.push_back(parts);
    language_lines.push_back(n);
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
    std::string scope = languages.empty() ? " for every language" : " for the language \"" + languages.back()[0] + "\"";
    given_once(n, "text " + std::to_string(languages.size()) + " " + name, "the text " + name + scope);
    texts.push_back({(int)languages.size() - 1, slot, text});
    return true;
  }
  if (key == "style") {
    style_colours.emplace_back();
    std::string cause;
    if (!style_colour(value, &style_colours.back(), &cause)) return fail_at(n, cause);
    std::vector<std::string> parts = split(value, ';');
    std::string style = trim(parts[0]) + ";" + trim(parts[1]);
    given_once(n, "style " + style, "the style " + style);
    return true;
  }
  return fail_at(n, "unknown key " + key);
}

bool PACKER::read_shortcut(int n, bool menu, const std::string& value) {
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
  // Anything else would be taken for a file of the install location.
  if (parts[0] == "2" && !shortcut_is_address(parts[1]))
    return fail_at(n, "a web link's program is its address, which begins with a scheme and \"://\" (" + parts[0] +
                          ";https://example.org/;" + parts[2] + (menu ? ";" + parts[3] : std::string()) +
                          ";): " + parts[1]);
  // A program folder names a folder of the installed computer; without one the program is its name.
  if (!parts.back().empty()) {
    std::string problem = folder_variable_problem("a shortcut's program folder",
                                                  variable_form(parts.back(), "$HERE/bin"), parts.back());
    if (!problem.empty()) return fail_at(n, problem);
  }
  for (const std::string& part : parts)
    if (!fits(n, "a part of the shortcut", part)) return false;
  installation_lines.back().shortcuts.push_back({menu, parts, n});
  return true;
}

// "overwrite = <rule>;<path or pattern>[;...]": the rule is never (2: installed only where no file has the
// name) or older (1: replaces only a file last written before the package was made); each path below the
// files folder, names joined with '/', may hold '*' and '?' and may name a folder.
bool PACKER::read_overwrite(int n, const std::string& value) {
  std::vector<std::string> parts = split(value, ';');
  for (std::string& part : parts) part = trim(part);
  INT_U8 rule = parts[0] == "never" ? 2 : parts[0] == "older" ? 1 : 0;
  if (!rule)
    return fail_at(n, "overwrite's rule is never (installed only where no file has the name) or older (replacing "
                      "only a file last written before the package was made): " + parts[0]);
  if (parts.size() < 2) return fail_at(n, "overwrite names the files after its rule (never;etc/app.conf): " + value);
  OVERWRITE_LINE line = {rule, {}, n};
  for (size_t i = 1; i < parts.size(); i++) {
    std::string path = parts[i];
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::vector<std::string> names = split(path, '/');
    bool plain = !path.empty() && path.find('\\') == std::string::npos;
    for (const std::string& name : names) plain = plain && !name.empty() && name != "." && name != "..";
    if (!plain)
      return fail_at(n, "overwrite names a file or folder by its path below the files folder (names joined with "
                        "'/', none of them empty, \".\" or \"..\"): " + parts[i]);
    line.patterns.push_back(names);
  }
  installation_lines.back().overwrites.push_back(line);
  return true;
}

}  // namespace package_builder
