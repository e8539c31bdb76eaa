// The uninstall registry on Windows: the entry is a sub-key of HKEY_LOCAL_MACHINE's uninstall key with
// the REG_SZ values "DisplayName" and "UninstallString", each size counting its terminating zero. Names
// and values are written and read in UTF-16 (the system's text, converted).
#include "registry.h"

#include <cstring>
#include <windows.h>

#include "velk_string.h"
#include "win32_host.h"

// A REG_SZ value from the system's text: UTF-16, its size counting the terminating zero.
static bool set_text_value(HKEY key, const WCHAR* value_name, const char* text) {
  WCHAR wide[FOLDER_PATH_SIZE];
  if (!wide_path(text, wide)) return false;
  return RegSetValueExW(key, value_name, 0, REG_SZ, (const BYTE*)wide, (DWORD)((wcslen(wide) + 1) * sizeof(WCHAR))) ==
         ERROR_SUCCESS;
}

// The entry's name is one key below the uninstall key, named as on the other host: no separator, not
// "." or "..".
bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string) {
  if (!is_single_name(name) || !display_name || !uninstall_string) return false;
  WCHAR wide_name[FOLDER_PATH_SIZE];
  if (!wide_path(name, wide_name)) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, 0, 0xF003F, &key) != ERROR_SUCCESS) return false;
  HKEY sub_key = nullptr;
  DWORD disposition = 0;
  bool written = false;
  if (RegCreateKeyExW(key, wide_name, 0, nullptr, REG_OPTION_NON_VOLATILE, 0xF003F, nullptr, &sub_key, &disposition) ==
      ERROR_SUCCESS) {
    written = set_text_value(sub_key, L"DisplayName", display_name) &&
              set_text_value(sub_key, L"UninstallString", uninstall_string);
    RegCloseKey(sub_key);
  }
  RegCloseKey(key);
  return written;
}

// One REG_SZ value of the open key into buffer (size bytes of the system's text, always terminated).
static bool read_text_value(HKEY key, const WCHAR* value_name, char* buffer, INT_U32 size) {
  WCHAR wide[FOLDER_PATH_SIZE];
  DWORD type = 0, bytes = sizeof wide - sizeof(WCHAR);
  if (RegQueryValueExW(key, value_name, nullptr, &type, (BYTE*)wide, &bytes) != ERROR_SUCCESS || type != REG_SZ)
    return false;
  wide[bytes / sizeof(WCHAR)] = 0;
  return system_text(wide, buffer, size);
}

bool read_uninstall_entry(const char* name, char* display_name, char* uninstall_string, INT_U32 size) {
  if (!is_single_name(name) || !display_name || !uninstall_string || size == 0) return false;
  char path[1024];
  WCHAR wide[FOLDER_PATH_SIZE];
  if (std::strlen(UNINSTALL_KEY_PATH) + 1 + std::strlen(name) >= sizeof path) return false;
  std::strcpy(path, UNINSTALL_KEY_PATH "\\");
  std::strcat(path, name);
  if (!wide_path(path, wide)) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, wide, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool read = read_text_value(key, L"DisplayName", display_name, size) &&
              read_text_value(key, L"UninstallString", uninstall_string, size);
  RegCloseKey(key);
  return read;
}
