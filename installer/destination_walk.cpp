// The destination walk: the folders that an installation's folder texts lead to, made as the walk
// reaches them and known once per text, and the path texts the install step is given.
#include "install_step.h"

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

// The folder of a text "$HERE" followed by folder names ('/' before each; none of them empty, "." or
// ".."), made where it is missing, and whether this installation made it: followed on from the longest
// part of the text reached before, each further folder made at once (a folder made by this
// installation holds no folder yet, and making one that is there finds it). 1 done, 0 for a text of
// another form, -1 when a folder cannot be made (the system's cause kept).
static int walk_destination(INSTALL_STATE* state, const std::string& text, FOLDER* folder, bool* made) {
  if (text.compare(0, 5, "$HERE") != 0 || (text.size() > 5 && text[5] != '/')) return 0;
  for (size_t at = 5; at < text.size();) {
    size_t end = text.find('/', at + 1);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(at + 1, end - at - 1);
    if (part.empty() || part == "." || part == "..") return 0;
    at = end;
  }
  size_t reached = text.size();
  auto known = state->walked_folders.find(text);
  while (known == state->walked_folders.end()) {
    reached = text.rfind('/', reached - 1);
    if (reached == std::string::npos || reached < 5) return 0;
    known = state->walked_folders.find(text.substr(0, reached));
  }
  std::strcpy(folder->path, known->second.path.c_str());
  *made = known->second.made;
  while (reached < text.size()) {
    size_t end = text.find('/', reached + 1);
    if (end == std::string::npos) end = text.size();
    if (!enter_new_folder(folder, text.substr(reached + 1, end - reached - 1).c_str(), made)) return -1;
    if (*made) state->folder_made = true;
    reached = end;
    state->walked_folders[text.substr(0, reached)] = {folder->path, *made};
  }
  return 1;
}

bool set_destination(INSTALL_STATE* state, FOLDER* folder, const char* text, bool* made) {
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
  bool new_folder = false;
  FOLDER reached(*folder);
  int walked = walk_destination(state, text, &reached, &new_folder);
  if (walked < 0) return false;
  if (walked == 0) {
    // Looked for first without making anything: when that fails, some folder on the way is missing, and
    // the folder reached by making them is a new one (unless a ".." step leads back out of what was made).
    bool existed = set_known_folder(&reached, text, false, &state->base_folder);
    if (!existed) {
      reached = *folder;
      if (!set_known_folder(&reached, text, true, &state->base_folder)) return false;
    }
    new_folder = !existed && !has_parent_step(text);
    if (!existed) state->folder_made = true;
  }
  *folder = reached;
  if (!new_folder) remove_leftovers(state, folder);
  state->known_folders.emplace(text, folder->path);
  if (new_folder) state->made_folders.insert(text);
  if (made) *made = new_folder;
  return true;
}

std::string folder_failure(const char* text) {
  char reason[256];
  describe_file_failure(reason, sizeof reason);
  if (text[0] != '$') return std::string("folder \"") + text + "\" begins with no path variable";
  if (!is_known_path_text(text)) return std::string("folder \"") + text + "\" begins with a path variable this program does not know";
  return std::string("folder \"") + expand_path_text(text, nullptr) + "\" cannot be created" +
         (reason[0] ? std::string(" (") + reason + ")" : std::string());
}
