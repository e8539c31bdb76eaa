// Windows host layer: system folders and drives. System folders come from SHGetFolderPathW, the logical
// drives from GetLogicalDriveStringsA, floppies listed last; drive roots are "D:\".
#include "files_host.h"
#include "file_utils.h"
#include "velk_string.h"
#include "win32_host.h"

#include <windows.h>
#include <shlobj.h>

#include <cctype>
#include <cstring>

// ---------------------------------------------------------------------------------------------------
// System folders and drives
// ---------------------------------------------------------------------------------------------------

// The shell's folder for each kind, SYSTEM_FOLDER_PROGRAMS to SYSTEM_FOLDER_USER_PREFS (program files,
// program files, the application data shared by all users, the user's roaming application data, the
// user's documents), asked with the flags.
static bool shell_folder(INT_S32 kind, int flags, char* out) {
  static const int csidl_of_kind[] = {0, 0x26, 0x26, 0x23, 0x1A, 0x05};
  if (kind < SYSTEM_FOLDER_PROGRAMS || kind > SYSTEM_FOLDER_USER_PREFS) return false;
  WCHAR folder[MAX_PATH];
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl_of_kind[kind] | flags, nullptr, 0, folder)) &&
         system_text(folder, out, FOLDER_PATH_SIZE);
}

bool host_system_base_folder(INT_S32 kind, INT_U8 create, char* out) {
  if (kind == SYSTEM_FOLDER_TEMP) {
    // The user's temporary folder, without its trailing backslash (a root keeps it).
    WCHAR temp[FOLDER_PATH_SIZE];
    DWORD length = GetTempPathW(FOLDER_PATH_SIZE, temp);
    if (length == 0 || length >= FOLDER_PATH_SIZE) return false;
    if (length > 3 && temp[length - 1] == L'\\') temp[length - 1] = 0;
    return system_text(temp, out, FOLDER_PATH_SIZE) && (FOLDER::is_folder(out) || (create && host_make_folder(out)));
  }
  return shell_folder(kind, create ? CSIDL_FLAG_CREATE : 0, out);
}

bool host_system_base_path(INT_S32 kind, char* out) {
  if (kind == SYSTEM_FOLDER_TEMP) return host_system_base_folder(kind, 0, out);
  return shell_folder(kind, CSIDL_FLAG_DONT_VERIFY, out);
}

// The drive roots in the library's order: A and B (floppies) moved to the end.
static int list_drives(char roots[26][4]) {
  char buffer[256];
  DWORD length = GetLogicalDriveStringsA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return 0;
  int count = 0;
  for (const char* entry = buffer; *entry && count < 26; entry += strlen(entry) + 1) {
    roots[count][0] = entry[0];
    roots[count][1] = ':';
    roots[count][2] = '\\';
    roots[count][3] = 0;
    count++;
  }
  static const char floppies[] = {'A', 'B'};
  for (char floppy : floppies) {
    if (count > 1 && toupper(static_cast<unsigned char>(roots[0][0])) == floppy) {
      char first[4];
      memcpy(first, roots[0], 4);
      first[0] = floppy;
      memmove(roots[0], roots[1], static_cast<size_t>(count - 1) * 4);
      memcpy(roots[count - 1], first, 4);
    }
  }
  return count;
}

INT_S32 get_drive_count() {
  char roots[26][4];
  return list_drives(roots);
}

const char* get_drive_root_text(INT_S16 index) {
  static char root[256];
  char roots[26][4];
  int count = list_drives(roots);
  if (index < 0 || index >= count) return nullptr;
  strcpy(root, roots[index]);
  return root;
}

INT_S16 get_drive_index(const FOLDER* folder) {
  if (!folder) return 0;
  char roots[26][4];
  int count = list_drives(roots);
  for (int i = 0; i < count; i++)
    if (_strnicmp(roots[i], folder->path, 2) == 0) return static_cast<INT_S16>(i);
  return 0;
}

INT_U8 get_disk_kind(const FOLDER*) { return 0; }
