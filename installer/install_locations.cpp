// Where an installed file lands: whether its name stays inside its folder and is held as written, what
// is known of the names in each folder without looking them up, and whether a name leads onto the
// install log or onto another file of the installation.
#include "install_step.h"

#include <cstring>
#include <string>

#include "files.h"

bool name_stays_inside(const char* name) {
  if (!name[0] || name[0] == '/' || name[0] == '\\') return false;
  if (((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) && name[1] == ':') return false;
  return !has_parent_step(name) && has_host_form(name);
}

bool held_as_written(const char* path_text, const char* name) {
  if (!host_holds_name(name)) return false;
  for (const std::string& part : read_folder_text(path_text).parts)
    if (part != "." && part != ".." && !host_holds_name(part.c_str())) return false;
  return true;
}

bool plain_name_key(const char* name, std::string* key) {
  key->clear();
  for (const char* at = name; *at; at++) {
    char c = *at;
    if ((unsigned char)c >= 0x80 || c == '~' || c == WIDE_RUN_MARK) return false;
    *key += c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
  }
  while (!key->empty() && (key->back() == '.' || key->back() == ' ')) key->pop_back();
  return true;
}

INSTALL_STATE::FOLDER_NAMES* names_of_folder(INSTALL_STATE* state, FOLDER& folder, bool made) {
  auto found = state->folder_names.find(folder.path);
  if (found != state->folder_names.end()) return &found->second;
  INSTALL_STATE::FOLDER_NAMES* names = &state->folder_names[folder.path];
  names->made = made;
  if (made) return names;
  names->listed_after_making = state->folder_made;
  DIRECTORY_SCAN* scan = open_directory_scan(&folder, nullptr, 1, SCAN_EQUALS, 0);
  names->other_names = !scan;
  SCAN_ENTRY entry;
  std::string key;
  while (scan && read_directory_scan(scan, &entry)) {
    if (plain_name_key(entry.name, &key)) names->keys.insert(key);
    else names->other_names = true;
  }
  close_directory_scan(scan);
  return names;
}

bool may_lead_somewhere(const INSTALL_STATE* state, const INSTALL_STATE::FOLDER_NAMES& names, bool plain) {
  const std::string& key = state->name_key;
  if (!plain || names.other_names || names.keys.count(key)) return true;
  if (names.made) return state->other_in_late_found || state->keys_in_late_found.count(key);
  return state->other_in_found || state->keys_in_found.count(key) ||
         (names.listed_after_making && (state->other_in_made || state->keys_in_made.count(key)));
}

void note_name_put(INSTALL_STATE* state, INSTALL_STATE::FOLDER_NAMES* names, bool plain) {
  if (!plain) {
    names->other_names = true;
    (names->made ? state->other_in_made : state->other_in_found) = true;
    if (names->listed_after_making) state->other_in_late_found = true;
    return;
  }
  names->keys.insert(state->name_key);
  (names->made ? state->keys_in_made : state->keys_in_found).insert(state->name_key);
  if (names->listed_after_making) state->keys_in_late_found.insert(state->name_key);
}

const char* destination_name(const INSTALLATION_FILE* file) {
  return file->dest_name[0] ? file->dest_name : file->src_name;
}

std::string lands_on_other(DATABASE* database, const FOLDER& folder, const char* name, INT_U64 number) {
  INSTALL_STATE* state = &database->install_state;
  if (number && number == state->log_number && same_entry(&folder, name, &state->log_folder, INSTALL_LOG_NAME))
    return "it is the install log";
  // The names compared as the host compares paths (Windows ignores case).
  auto same_name = [name](const std::string& other) {
    if (std::strlen(name) != other.size()) return false;
    FOLDER file_name, other_name;
    std::strcpy(file_name.path, name);
    std::strcpy(other_name.path, other.c_str());
    return file_name.equals(&other_name);
  };
  // The hold's name in the install folder is the installer's, held or not.
  if ((number && number == state->hold_number && same_entry(&folder, name, &state->base_folder, FOLDER_HOLD_NAME)) ||
      (folder.equals(&state->base_folder) && same_name(FOLDER_HOLD_NAME)))
    return "it is the install folder's hold";
  if (folder.equals(&state->log_folder)) {
    if (same_name(INSTALL_LOG_NAME)) return "it is the install log";
    // Nor is the earlier log that an update kept beside it.
    if (!state->kept_log_name.empty() && same_name(state->kept_log_name)) return "it is an earlier install log";
  }
  if (!number) return std::string();
  INSTALLATION* installation = database->get_current_installation();
  auto found = state->installed_numbers.equal_range(number);
  for (auto at = found.first; at != found.second; ++at) {
    const INSTALLATION_FILE& earlier = installation->files[at->second];
    FOLDER earlier_folder(state->base_folder);
    const char* text = choose_path(database, earlier.dest_path_from_inst_loc, earlier.system_dest_path_from_inst_loc);
    if (!set_destination(database, &earlier_folder, text)) continue;
    if (std::strcmp(earlier_folder.path, folder.path) == 0 && std::strcmp(destination_name(&earlier), name) == 0) continue;
    if (same_entry(&folder, name, &earlier_folder, destination_name(&earlier)))
      return "it is the same file as \"" + full_path(earlier_folder, destination_name(&earlier)) + "\"";
  }
  return std::string();
}
