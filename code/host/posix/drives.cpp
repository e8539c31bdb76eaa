// Linux host layer: system folders and drives. The one drive is "/" ("$ROOT0"), and the system folders
// follow the XDG base directories, each redirectable by its environment variable.
#include "files_host.h"
#include "file_utils.h"
#include "host_names.h"
#include "velk_string.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/types.h>

static bool copy_path(char* out, const char* text) {
  if (!text || strlen(text) >= HOST_PATH_SIZE) return false;
  strcpy(out, text);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// System folders and drives
// ---------------------------------------------------------------------------------------------------

// mkdir -p of an absolute path of the host.
static bool make_folders(const char* path_text) {
  char partial[HOST_PATH_SIZE];
  if (!copy_path(partial, path_text)) return false;
  // The first folder that cannot be made gives the cause.
  int failure = 0;
  for (char* cursor = partial + 1;; cursor++) {
    if (*cursor && *cursor != '/') continue;
    char separator = *cursor;
    *cursor = 0;
    if (mkdir(partial, 0777) != 0 && errno != EEXIST && !failure) failure = errno;
    *cursor = separator;
    if (!separator) break;
  }
  struct stat status;
  bool made = stat(partial, &status) == 0 && S_ISDIR(status.st_mode);
  if (!made && failure) errno = failure;
  return made;
}

// The base folder of a system folder kind as the host names it (HOST_PATH_SIZE bytes): an absolute XDG
// variable, else its default under $HOME.
static bool system_base_folder(INT_S32 kind, char* out) {
  const char* variable = nullptr;
  const char* home_default = nullptr;
  switch (kind) {
    case SYSTEM_FOLDER_PROGRAMS: home_default = "/.local/opt"; break;
    case SYSTEM_FOLDER_INSTALL_DATA:
    case SYSTEM_FOLDER_COMMON_DATA: variable = "XDG_DATA_HOME"; home_default = "/.local/share"; break;
    case SYSTEM_FOLDER_USER_DATA: variable = "XDG_STATE_HOME"; home_default = "/.local/state"; break;
    case SYSTEM_FOLDER_USER_PREFS: variable = "XDG_CONFIG_HOME"; home_default = "/.config"; break;
    case SYSTEM_FOLDER_TEMP: {
      const char* temp = getenv("TMPDIR");
      return copy_path(out, temp && temp[0] == '/' ? temp : "/tmp");
    }
    default: return false;
  }
  const char* value = variable ? getenv(variable) : nullptr;
  if (value && value[0] == '/') return copy_path(out, value);
  const char* home = getenv("HOME");
  if (!home || home[0] != '/') return false;
  int written = snprintf(out, HOST_PATH_SIZE, "%s%s", home, home_default);
  return written > 0 && written < (int)HOST_PATH_SIZE;
}

// The base folder of a kind without its trailing slashes.
static bool trimmed_base_folder(INT_S32 kind, char* base) {
  if (!system_base_folder(kind, base)) return false;
  size_t length = strlen(base);
  while (length > 1 && base[length - 1] == '/') base[--length] = 0;
  return true;
}

bool host_system_base_folder(INT_S32 kind, INT_U8 create, char* out) {
  char base[HOST_PATH_SIZE];
  return trimmed_base_folder(kind, base) && system_text(base, out, FOLDER_PATH_SIZE) &&
         (FOLDER::is_folder(out) || (create && make_folders(base)));
}

bool host_system_base_path(INT_S32 kind, char* out) {
  char base[HOST_PATH_SIZE];
  return trimmed_base_folder(kind, base) && system_text(base, out, FOLDER_PATH_SIZE);
}

INT_S32 get_drive_count() { return 1; }

const char* get_drive_root_text(INT_S16 index) { return index == 0 ? "/" : nullptr; }

INT_S16 get_drive_index(const FOLDER*) { return 0; }

INT_U8 get_disk_kind(const FOLDER*) { return 0; }
