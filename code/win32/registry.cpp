// The uninstall registry on Windows: the entry is a sub-key of HKEY_LOCAL_MACHINE's uninstall key with
// the REG_SZ values "DisplayName" and "UninstallString", each size counting its terminating zero.
#include "registry.h"

#include <cstring>
#include <windows.h>

bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string) {
  if (!name || !name[0] || !display_name || !uninstall_string) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, 0, 0xF003F, &key) != ERROR_SUCCESS) return false;
  HKEY sub_key = nullptr;
  DWORD disposition = 0;
  bool written = false;
  if (RegCreateKeyExA(key, name, 0, nullptr, REG_OPTION_NON_VOLATILE, 0xF003F, nullptr, &sub_key, &disposition) ==
      ERROR_SUCCESS) {
    written = RegSetValueExA(sub_key, "DisplayName", 0, REG_SZ, (const BYTE*)display_name,
                             (DWORD)(std::strlen(display_name) + 1)) == ERROR_SUCCESS &&
              RegSetValueExA(sub_key, "UninstallString", 0, REG_SZ, (const BYTE*)uninstall_string,
                             (DWORD)(std::strlen(uninstall_string) + 1)) == ERROR_SUCCESS;
    RegCloseKey(sub_key);
  }
  RegCloseKey(key);
  return written;
}

// One REG_SZ value of the open key into buffer (size bytes, always terminated).
static bool read_text_value(HKEY key, const char* value_name, char* buffer, INT_U32 size) {
  DWORD type = 0, bytes = size;
  if (RegQueryValueExA(key, value_name, nullptr, &type, (BYTE*)buffer, &bytes) != ERROR_SUCCESS || type != REG_SZ)
    return false;
  if (bytes >= size) bytes = size - 1;
  buffer[bytes] = 0;
  return true;
}

bool read_uninstall_entry(const char* name, char* display_name, char* uninstall_string, INT_U32 size) {
  if (!name || !name[0] || !display_name || !uninstall_string || size == 0) return false;
  char path[1024];
  if (std::strlen(UNINSTALL_KEY_PATH) + 1 + std::strlen(name) >= sizeof path) return false;
  std::strcpy(path, UNINSTALL_KEY_PATH "\\");
  std::strcat(path, name);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool read = read_text_value(key, "DisplayName", display_name, size) &&
              read_text_value(key, "UninstallString", uninstall_string, size);
  RegCloseKey(key);
  return read;
}
