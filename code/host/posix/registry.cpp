// The Linux stand-in for the uninstall registry: one settings file per key, named by the key path with
// '/' below "$USERPREFS/registry", holding the values by name.
#include "registry.h"

#include <cstring>

#include "config_file.h"
#include "files.h"
#include "folder.h"
#include "velk_string.h"

static const char* const key_components[] = {"registry", "SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                             "Uninstall"};

// The folder of the uninstall key's files (the installer's own "$USERPREFS", whatever base path is
// set) and the file name of the entry; false for a name that is no single path component.
static bool entry_file(const char* name, bool create, FOLDER* folder, char* file_name) {
  if (!is_single_name(name) || std::strlen(name) > 250) return false;
  if (!get_system_folder(folder, SYSTEM_FOLDER_USER_PREFS, nullptr, create ? 1 : 0)) return false;
  for (const char* component : key_components)
    if (!folder->enter(component, create)) return false;
  std::strcpy(file_name, name);
  std::strcat(file_name, ".cfg");
  return true;
}

bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string) {
  if (!display_name || !uninstall_string || std::strlen(display_name) > 255 || std::strlen(uninstall_string) > 255)
    return false;
  FOLDER folder;
  char file_name[256];
  if (!entry_file(name, true, &folder, file_name)) return false;
  CONFIG_FILE file;
  file.init(file_name, false);
  return file.set_string(&folder, "DisplayName", display_name) &&
         file.set_string(&folder, "UninstallString", uninstall_string);
}

bool read_uninstall_entry(const char* name, char* display_name, char* uninstall_string, INT_U32 size) {
  if (!display_name || !uninstall_string || size == 0) return false;
  FOLDER folder;
  char file_name[256];
  if (!entry_file(name, false, &folder, file_name) || !file_exists(&folder, file_name)) return false;
  CONFIG_FILE file;
  file.init(file_name, false);
  char display[256], uninstall[256];
  if (!file.get_string(&folder, "DisplayName", display) || !file.get_string(&folder, "UninstallString", uninstall))
    return false;
  if (std::strlen(display) >= size || std::strlen(uninstall) >= size) return false;
  std::strcpy(display_name, display);
  std::strcpy(uninstall_string, uninstall);
  return true;
}
