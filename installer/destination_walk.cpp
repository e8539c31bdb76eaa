// The destination walk: the folders that an installation's folder texts lead to, made as the walk
// reaches them and known once per text, and the path texts the install step is given.
#include "install_step.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "files.h"

std::string full_path(const FOLDER& folder, const char* name) {
  std::string path = folder.path;
  if (path.empty() || path.back() != PATH_SEPARATOR) path += PATH_SEPARATOR;
  return path + name;
}

const char* choose_path(const DATABASE* database, const char* plain, const char* system) {
  return system[0] && database->use_system_paths == 1 ? system : plain;
}

bool has_parent_step(const char* text) {
  for (const char* at = text; *at;) {
    const char* end = at;
    while (*end && *end != '/' && *end != '\\') end++;
    if (end - at == 2 && at[0] == '.' && at[1] == '.') return true;
    at = *end ? end + 1 : end;
  }
  return false;
}

// The length of the root that a path of this computer begins with, which a walk never goes above: "/"
// (or "\"), a drive's "C:\", or where '\' separates folders a server's share, "\\server\share".
static size_t root_length(const std::string& path) {
  if (path.size() > 2 && path[1] == ':' && path[2] == PATH_SEPARATOR) return 3;
  if (PATH_SEPARATOR == '\\' && path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
    size_t server_end = path.find('\\', 2);
    size_t share_end = server_end == std::string::npos ? std::string::npos : path.find('\\', server_end + 1);
    return share_end == std::string::npos ? path.size() : share_end;
  }
  return !path.empty() && path[0] == PATH_SEPARATOR ? 1 : 0;
}

// The parent of a path of this computer (a root keeps its separator); false at its root (of root bytes).
static bool cut_to_parent_path(std::string* path, size_t root) {
  size_t last = path->find_last_of(PATH_SEPARATOR);
  if (path->size() <= root || last == std::string::npos || last + 1 == path->size()) return false;
  bool at_root = last == 0 || (last == 2 && (*path)[1] == ':');
  path->erase(at_root ? last + 1 : last);
  return true;
}

bool make_destination_folder(INSTALL_STATE* state, const std::string& path, FOLDER* folder, bool* made) {
  // Only a path from a root: anything else would be taken from the working folder.
  bool from_root = !path.empty() && (path[0] == PATH_SEPARATOR ||
                                     (path.size() > 2 && path[1] == ':' && path[2] == PATH_SEPARATOR));
  state->unreached_root.clear();
  if (!from_root || path.size() >= FOLDER_PATH_SIZE) return false;
  size_t root = root_length(path);
  // Followed on from the deepest folder of the path that this installation reached before, else from
  // the deepest that exists (a folder made by this installation holds no folder yet, and making one that
  // is there finds it).
  std::string reached = path;
  auto known = state->walked_folders.find(reached);
  while (known == state->walked_folders.end() && cut_to_parent_path(&reached, root))
    known = state->walked_folders.find(reached);
  if (known != state->walked_folders.end()) {
    *made = known->second.made;
  } else {
    reached = path;
    while (!FOLDER::is_folder(reached.c_str())) {
      if (cut_to_parent_path(&reached, root)) continue;
      // Not even the root is there (a share that cannot be reached, a drive gone): the system's cause
      // of that look is kept.
      if (reached.size() <= root) state->unreached_root = reached;
      return false;
    }
    *made = false;
    state->walked_folders[reached] = {reached, false};
  }
  std::strcpy(folder->path, reached.c_str());
  while (reached.size() < path.size()) {
    size_t start = reached.back() == PATH_SEPARATOR ? reached.size() : reached.size() + 1;
    size_t end = path.find(PATH_SEPARATOR, start);
    if (end == std::string::npos) end = path.size();
    if (!enter_new_folder(folder, path.substr(start, end - start).c_str(), made)) return false;
    if (*made) state->folder_made = true;
    reached = path.substr(0, end);
    state->walked_folders[reached] = {folder->path, *made};
  }
  return true;
}

bool set_destination(DATABASE* database, FOLDER* folder, const char* text, bool* made) {
  INSTALL_STATE* state = &database->install_state;
  if (!text || !text[0]) return false;
  const std::pair<const std::string, std::string>* known = state->last_known;
  if (!known || known->first != text) {
    auto found = state->known_folders.find(text);
    known = found != state->known_folders.end() ? &*found : nullptr;
    if (known) {
      state->last_known = known;
      state->last_known_made = state->made_folders.count(text) != 0;
    }
  }
  if (known) {
    std::memcpy(folder->path, known->second.c_str(), known->second.size() + 1);
    if (made) *made = state->last_known_made;
    return true;
  }
  // Where the pages say the text leads, made where it is missing.
  std::string path = destination_path_text(text, state->base_folder.path, database->APPLICATION.app_string);
  bool new_folder = false;
  FOLDER reached(*folder);
  if (!make_destination_folder(state, path, &reached, &new_folder)) return false;
  *folder = reached;
  if (!new_folder) remove_leftovers(state, folder);
  state->known_folders.emplace(text, folder->path);
  if (new_folder) state->made_folders.insert(text);
  if (made) *made = new_folder;
  return true;
}

void describe_walk_failure(const INSTALL_STATE* state, char* out, size_t size) {
  describe_file_failure(out, size);
  if (state->unreached_root.empty()) return;
  std::string said = "\"" + state->unreached_root + "\" cannot be reached";
  if (out[0]) said += std::string(": ") + out;
  std::snprintf(out, size, "%s", said.c_str());
}

std::string folder_failure(DATABASE* database, const char* text) {
  char reason[256];
  describe_walk_failure(&database->install_state, reason, sizeof reason);
  if (text[0] != '$') return std::string("folder \"") + text + "\" begins with no path variable";
  if (!is_known_path_text(text)) return std::string("folder \"") + text + "\" begins with a path variable this program does not know";
  std::string path =
      destination_path_text(text, database->install_state.base_folder.path, database->APPLICATION.app_string);
  // A drive that this computer does not have (any more) is said so, rather than a cause of another look.
  std::string drive = path.empty() ? missing_drive_problem(read_folder_text(text).variable) : std::string();
  if (!drive.empty()) return std::string("folder \"") + text + "\" cannot be created (" + drive + ")";
  return std::string("folder \"") + (path.empty() ? std::string(text) : path) + "\" cannot be created" +
         (reason[0] ? std::string(" (") + reason + ")" : std::string());
}
