// Shortcuts, the part both hosts share: the target and file name of a link, its group folder below the
// menu's program folder, and the group folders made for it and removed after it. The hosts keep the
// link files themselves (".desktop" entries, shell links) and where the desktop and menu folders are.
#include "shortcuts_host.h"

#include <cctype>
#include <cstring>

#include "files.h"
#include "files_host.h"
#include "shell.h"
#include "velk_string.h"

bool shortcut_is_address(const std::string& target) {
  size_t scheme = 0;
  while (scheme < target.size() && (std::isalnum((unsigned char)target[scheme]) || std::strchr("+-.", target[scheme])))
    scheme++;
  return scheme > 0 && std::isalpha((unsigned char)target[0]) && target.compare(scheme, 3, "://") == 0;
}

bool shortcut_failure(std::string* failure, const std::string& text) {
  if (failure) *failure = text;
  return false;
}

bool shortcut_target(FOLDER* program_folder, const char* program_name, size_t limit, std::string* target,
                     std::string* failure) {
  std::string name = program_name ? program_name : "";
  // An address is whole in itself: no folder leads to it, and its '/' are its own.
  if (shortcut_is_address(name)) {
    *target = name;
  } else {
    if (program_folder) {
      std::string folder = program_folder->path;
      bool ends = !folder.empty() && (folder.back() == '/' || folder.back() == PATH_SEPARATOR);
      *target = folder + (ends ? "" : std::string(1, PATH_SEPARATOR)) + name;
    } else {
      *target = name;
    }
    for (char& c : *target)
      if (c == '/') c = PATH_SEPARATOR;
  }
  if (target->empty()) return shortcut_failure(failure, "it names no program");
  if (target->size() > limit)
    return shortcut_failure(failure, "its program's path is " + std::to_string(target->size()) +
                                         " characters long; a shortcut holds at most " + std::to_string(limit));
  return true;
}

bool shortcut_file_name(const char* link_name, const char* extension, std::string* file_name, std::string* failure) {
  // A link name is a file name: one with a separator would put the link into another folder.
  if (!is_single_name(link_name)) return shortcut_failure(failure, "its link name is no single file name");
  *file_name = std::string(link_name) + extension;
  if (file_name->size() > SHORTCUT_NAME_LIMIT)
    return shortcut_failure(failure, "its link's file name is " + std::to_string(file_name->size()) +
                                         " characters long; a file name holds at most " +
                                         std::to_string(SHORTCUT_NAME_LIMIT));
  return true;
}

bool shortcut_names_program(const std::string& target) {
  return !shortcut_is_address(target) && target.size() >= 4 && string_compare_no_case(target.c_str() + target.size() - 4, ".exe", 5) == 0;
}

std::string shortcut_group_folder(const std::string& programs, const char* menu_folder, size_t limit) {
  std::string group = programs;
  const char* p = menu_folder ? menu_folder : "";
  // Its components are judged as the host sees them.
  if (!has_host_form(p)) return std::string();
  while (*p) {
    while (*p == '/' || *p == '\\') p++;
    const char* start = p;
    while (*p && *p != '/' && *p != '\\') p++;
    std::string component(start, (size_t)(p - start));
    if (component.empty() || component == ".") continue;
    if (component.size() > 255) return std::string();
    if (component == "..") {
      if (group.size() > programs.size()) group.erase(group.find_last_of(PATH_SEPARATOR));
      continue;
    }
    group += PATH_SEPARATOR + component;
    if (group.size() > limit) return std::string();
  }
  return group;
}

bool make_shortcut_folders(const std::string& path, std::string* failure) {
  if (path.empty() || path.size() >= FOLDER_PATH_SIZE)
    return shortcut_failure(failure, "the folder \"" + path + "\" cannot be created (its path is too long)");
  if (FOLDER::is_folder(path.c_str())) return true;
  char parent[FOLDER_PATH_SIZE];
  std::strcpy(parent, path.c_str());
  if (cut_to_parent(parent) && !make_shortcut_folders(parent, failure)) return false;
  forget_file_failure();
  if (host_make_folder(path.c_str())) return true;
  char cause[256];
  describe_file_failure(cause, sizeof cause);
  return shortcut_failure(failure, "the folder \"" + path + "\" cannot be created" +
                                       (cause[0] ? std::string(" (") + cause + ")" : std::string()));
}

// True when the folder holds any entry, hidden ones included (or cannot be listed).
static bool folder_has_entries(const std::string& path) {
  FOLDER folder;
  std::strcpy(folder.path, path.c_str());
  DIRECTORY_SCAN* scan = open_directory_scan(&folder, nullptr, 1, SCAN_ENDS_WITH, 1);
  if (!scan) return true;
  SCAN_ENTRY entry;
  bool any = read_directory_scan(scan, &entry);
  close_directory_scan(scan);
  return any;
}

void remove_empty_groups(const std::string& programs, const std::string& group) {
  std::string folder = group;
  while (folder.size() > programs.size() && folder.size() < FOLDER_PATH_SIZE) {
    if (FOLDER::is_folder(folder.c_str()) &&
        (folder_has_entries(folder) || !host_remove_empty_folder(folder.c_str())))
      break;
    folder.erase(folder.find_last_of(PATH_SEPARATOR));
  }
}
