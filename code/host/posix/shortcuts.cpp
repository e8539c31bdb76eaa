// Shortcuts on Linux as freedesktop ".desktop" files: desktop ones in $XDG_DESKTOP_DIR (default
// ~/Desktop), menu ones in a group folder below $XDG_DATA_HOME/applications (default
// ~/.local/share/applications), the menu's program folder. Removing the last shortcut of a group
// removes the group folders it leaves empty, never the program folder itself.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shortcuts_host.h"
#include "folder.h"
#include "host_names.h"
#include "shell.h"

// Folders are kept in the system's text, as every path of the library is; the variables name them in
// the host's.
static std::string system_folder_text(const std::string& host) {
  char text[FOLDER_PATH_SIZE];
  return !host.empty() && system_text(host.c_str(), text, sizeof text) ? text : std::string();
}

static std::string home_folder(const char* below) {
  const char* home = getenv("HOME");
  if (!home || !home[0])
    return std::string();
  return std::string(home) + below;
}

static std::string desktop_folder() {
  const char* desktop = getenv("XDG_DESKTOP_DIR");
  if (desktop && desktop[0])
    return system_folder_text(desktop);
  return system_folder_text(home_folder("/Desktop"));
}

// The menu's program folder, which holds the groups.
static std::string programs_folder() {
  const char* data = getenv("XDG_DATA_HOME");
  std::string base = data && data[0] ? std::string(data) : home_folder("/.local/share");
  if (base.empty())
    return base;
  return system_folder_text(base + "/applications");
}

// The UTF-8 form of a text of the system (null is empty); false when it has none.
static bool utf8_text(const char* text, std::string* out) {
  char converted[HOST_PATH_SIZE];
  if (!host_path(text ? text : "", converted))
    return false;
  *out = converted;
  return true;
}

// Removes a link file named in the system's text; 0 when it was removed.
static int remove_link_file(const std::string& path) {
  char target[HOST_PATH_SIZE];
  return host_path(path.c_str(), target) ? remove(target) : -1;
}

static void drop_trailing_slash(std::string& path) {
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
}

// A value of the desktop-entry "string" type: backslash and control characters escaped.
static std::string escape_value(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

// The program as the first word of an Exec line: quoted when it holds a reserved character, '%' doubled.
static std::string exec_word(const std::string& text) {
  bool quote = text.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string out = quote ? "\"" : "";
  for (char c : text) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
      out += '\\';
    if (c == '%')
      out += '%';
    out += c;
  }
  if (quote)
    out += '"';
  return out;
}

static std::string percent_encoded(const std::string& path) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (isalnum(c) || strchr("/-._~", c)) {
      out += (char)c;
    } else {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

// The icon: a program target is its own icon; otherwise the theme's icon for the kind of item.
static std::string choose_icon(INT_U8 type, const std::string& target) {
  if (shortcut_names_program(target))
    return target;
  if (type == 2)
    return "applications-internet";
  if (type == 3)
    return "text-x-generic";
  return "application-x-executable";
}

// Writes the desktop entry; programs run with their arguments, documents and addresses open as links.
// The entry's file name and contents are UTF-8.
static bool write_shortcut(const std::string& path_text, INT_U8 type, const char* link_text,
                           const std::string& target_text, const char* argument_text, bool executable,
                           std::string* failure) {
  std::string path, link, target, argument_string;
  if (!utf8_text(path_text.c_str(), &path) || !utf8_text(link_text, &link) ||
      !utf8_text(target_text.c_str(), &target) || !utf8_text(argument_text, &argument_string))
    return shortcut_failure(failure, "the link \"" + path_text + "\" or its program has a name this system cannot hold");
  const char* link_name = link.c_str();
  const char* arguments = argument_string.c_str();
  std::string text = "[Desktop Entry]\nVersion=1.0\n";
  // An address opens as a link whatever the item's kind: there is no program to run.
  bool address = shortcut_is_address(target);
  bool program = !address && (type == 1 || type == 0 || shortcut_names_program(target));
  if (program) {
    std::string command = exec_word(target);
    if (arguments && arguments[0]) {
      command += " ";
      for (const char* a = arguments; *a; a++) {
        if (*a == '%')
          command += '%';
        command += *a;
      }
    }
    text += "Type=Application\nName=" + escape_value(link_name) + "\nExec=" + escape_value(command) + "\n";
    text += "Terminal=false\n";
  } else {
    std::string url = address ? target : "file://" + percent_encoded(target);
    text += "Type=Link\nName=" + escape_value(link_name) + "\nURL=" + escape_value(url) + "\n";
  }
  text += "Icon=" + escape_value(choose_icon(type, target)) + "\n";
  FILE* file = fopen(path.c_str(), "wb");
  bool written = file && fwrite(text.data(), 1, text.size(), file) == text.size();
  int cause = errno;
  if (file && fclose(file) != 0 && written) {
    written = false;
    cause = errno;
  }
  if (!written) {
    if (file)
      remove(path.c_str());
    return shortcut_failure(failure, "the link \"" + path_text + "\" cannot be written (" + strerror(cause) + ")");
  }
  if (executable)
    chmod(path.c_str(), 0755);
  return true;
}

// The longest target: any path the library holds, as a desktop entry holds a program's path of any
// length.
static const size_t TARGET_LIMIT = FOLDER_PATH_SIZE - 1;

bool create_desktop_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, FOLDER*, const char*, FOLDER* program_folder,
                             std::string* failure) {
  std::string target, file_name;
  if (!shortcut_target(program_folder, program_name, TARGET_LIMIT, &target, failure) ||
      !shortcut_file_name(link_name, ".desktop", &file_name, failure))
    return false;
  std::string desktop = desktop_folder();
  drop_trailing_slash(desktop);
  if (desktop.empty())
    return shortcut_failure(failure, "there is no desktop folder (neither XDG_DESKTOP_DIR nor HOME names one)");
  if (!make_shortcut_folders(desktop, failure))
    return false;
  std::string path = desktop + "/" + file_name;
  if (path.size() >= FOLDER_PATH_SIZE)
    return shortcut_failure(failure, "the link's path in \"" + desktop + "\" is too long");
  return write_shortcut(path, type, link_name, target, arguments, true, failure);
}

bool create_os_menu_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, const char* menu_folder, FOLDER*, const char*,
                             FOLDER* program_folder, std::string* failure) {
  std::string target, file_name;
  if (!shortcut_target(program_folder, program_name, TARGET_LIMIT, &target, failure) ||
      !shortcut_file_name(link_name, ".desktop", &file_name, failure))
    return false;
  std::string programs = programs_folder();
  drop_trailing_slash(programs);
  if (programs.empty())
    return shortcut_failure(failure, "there is no menu folder (neither XDG_DATA_HOME nor HOME names one)");
  std::string group = shortcut_group_folder(programs, menu_folder, FOLDER_PATH_SIZE - 1);
  if (group.empty())
    return shortcut_failure(failure, "its menu folder is no folder name of this system, or too long");
  std::string path = group + "/" + file_name;
  if (path.size() >= FOLDER_PATH_SIZE)
    return shortcut_failure(failure, "the link's path in \"" + group + "\" is too long");
  if (!make_shortcut_folders(group, failure))
    return false;
  return write_shortcut(path, type, link_name, target, arguments, false, failure);
}

INT_S32 remove_desktop_shortcut(INT_U8, const char*, const char*, const char* link_name, FOLDER*,
                                const char*, FOLDER*) {
  std::string file_name;
  std::string desktop = desktop_folder();
  drop_trailing_slash(desktop);
  if (desktop.empty() || !shortcut_file_name(link_name, ".desktop", &file_name))
    return -1;
  return remove_link_file(desktop + "/" + file_name);
}

void remove_os_menu_shortcut(INT_U8, const char*, const char*, const char* link_name,
                             const char* menu_folder, FOLDER*, const char*, FOLDER*) {
  std::string file_name;
  std::string programs = programs_folder();
  drop_trailing_slash(programs);
  if (programs.empty() || !shortcut_file_name(link_name, ".desktop", &file_name))
    return;
  std::string group = shortcut_group_folder(programs, menu_folder, FOLDER_PATH_SIZE - 1);
  if (group.empty())
    return;
  remove_link_file(group + "/" + file_name);
  remove_empty_groups(programs, group);
}
