// Files and folders, the part both hosts share: path joining, the FOLDER members that only handle
// path text, and the system folders built from the host's base folders and the application's name.
#include "files_host.h"
#include "velk_string.h"

#include <cstdio>
#include <cstring>

char temp_parent_path[FOLDER_PATH_SIZE];

bool join_path(char* out, const char* folder_path, const char* name) {
  if (!name) return false;
  size_t length = strlen(folder_path);
  char separator[2] = {PATH_SEPARATOR, 0};
  if (length > 0 && folder_path[length - 1] == PATH_SEPARATOR) separator[0] = 0;
  int written = snprintf(out, FOLDER_PATH_SIZE, "%s%s%s", folder_path, separator, name);
  return written >= 0 && written < FOLDER_PATH_SIZE;
}

const char* FOLDER::get_name() const {
  static char name[FOLDER_PATH_SIZE];
  strcpy(name, path);
  size_t length = strlen(name);
  if (length > 0 && name[length - 1] == PATH_SEPARATOR) name[length - 1] = 0;
  char* last = strrchr(name, PATH_SEPARATOR);
  return last ? last + 1 : name;
}

bool FOLDER::set_if_folder(const char* path_text) {
  if (!is_folder(path_text) || strlen(path_text) >= FOLDER_PATH_SIZE) return false;
  strcpy(path, path_text);
  return true;
}

bool FOLDER::set_to_drive_root(INT_S16 index) {
  const char* root = get_drive_root_text(index);
  if (!root) return false;
  strcpy(path, root);
  return true;
}

bool get_system_folder(FOLDER* out, INT_S32 kind, const char* application_name, INT_U8 create) {
  if (!out) return false;
  char program[FOLDER_PATH_SIZE];
  bool have_program = host_program_file_name(program);
  char default_name[FOLDER_PATH_SIZE];
  if (!application_name) {
    // The program's file name without ".exe".
    if (have_program) {
      const char* leaf = strrchr(program, PATH_SEPARATOR);
      strcpy(default_name, leaf ? leaf + 1 : program);
      size_t length = strlen(default_name);
      if (length > 4 && string_compare_no_case(default_name + length - 4, ".exe", 5) == 0) default_name[length - 4] = 0;
    } else {
      strcpy(default_name, "VELK Application");
    }
    application_name = default_name;
  }
  if (kind == SYSTEM_FOLDER_PROGRAM) {
    if (!have_program || !host_program_folder(program)) return false;
    strcpy(out->path, program);
    return true;
  }
  if (kind < SYSTEM_FOLDER_PROGRAMS || kind > SYSTEM_FOLDER_TEMP) return false;
  char base[FOLDER_PATH_SIZE];
  if (!host_system_base_folder(kind, create, base)) return false;
  FOLDER system_folder;
  strcpy(system_folder.path, base);
  char text[FOLDER_PATH_SIZE];
  int written = snprintf(text, sizeof text, "$HERE/%s", application_name);
  if (written < 0 || written >= FOLDER_PATH_SIZE) return false;
  if (!out->set(text, create != 0, &system_folder)) return false;
  if (kind == SYSTEM_FOLDER_TEMP) {
    strcpy(temp_parent_path, out->path);
    return out->enter("temp", create != 0);
  }
  return true;
}

// Removes the library's temporary folder: "temp" inside the recorded application folder, then the
// application folder itself when that left it empty.
void remove_temporary_folder() {
  if (!temp_parent_path[0]) return;
  FOLDER folder;
  if (!folder.set_if_folder(temp_parent_path)) return;
  char name[FOLDER_PATH_SIZE];
  const char* last = folder.get_name();
  if (!last || strlen(last) >= sizeof(name)) return;
  strcpy(name, last);
  if (!remove_folder(&folder, "temp", 1)) return;
  if (folder.go_up()) remove_folder(&folder, name, 0);
}
