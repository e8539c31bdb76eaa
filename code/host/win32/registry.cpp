// The uninstall registry on Windows: the entry is a sub-key of HKEY_LOCAL_MACHINE's uninstall key with
// the REG_SZ values "DisplayName" and "UninstallString", each size counting its terminating zero. Names
// and values are written and read in UTF-16 (the system's text, converted); values of any length.
#include "registry.h"

#include <cstring>
#include <vector>
#include <windows.h>

#include "files.h"
#include "velk_string.h"
#include "win32_host.h"

// A REG_SZ value from the system's text: UTF-16, its size counting the terminating zero. ERROR_SUCCESS,
// or why it was not set.
static LONG set_text_value(HKEY key, const WCHAR* value_name, const char* text) {
  std::vector<INT_U16> wide(std::strlen(text) + 1);
  if (!text_to_utf16(text, wide.data(), wide.size())) return ERROR_INVALID_DATA;
  size_t units = 0;
  while (wide[units]) units++;
  return RegSetValueExW(key, value_name, 0, REG_SZ, (const BYTE*)wide.data(), (DWORD)((units + 1) * sizeof(WCHAR)));
}

// The system's words for a registry function's result.
static std::string cause_text(LONG result) {
  restore_file_failure((INT_U32)result);
  char words[256];
  describe_file_failure(words, sizeof words);
  return words[0] ? std::string(" (") + words + ")" : std::string();
}

static bool fail(std::string* failure, const std::string& text) {
  if (failure) *failure = text;
  return false;
}

// The entry's name is one key below the uninstall key, named as on the other host: no separator, not
// "." or "..".
bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string,
                           std::string* failure) {
  if (!name || !display_name || !uninstall_string) return fail(failure, "it has no name or no program");
  if (!is_single_name(name)) return fail(failure, "its name is no single name");
  WCHAR wide_name[FOLDER_PATH_SIZE];
  if (!wide_path(name, wide_name)) return fail(failure, "its name holds a character this system cannot hold");
  HKEY key = nullptr;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY_PATH, 0, 0xF003F, &key);
  if (result != ERROR_SUCCESS)
    return fail(failure, "the key \"HKEY_LOCAL_MACHINE\\" UNINSTALL_KEY_PATH "\" cannot be opened" + cause_text(result));
  HKEY sub_key = nullptr;
  DWORD disposition = 0;
  std::string step = "its key cannot be created";
  result = RegCreateKeyExW(key, wide_name, 0, nullptr, REG_OPTION_NON_VOLATILE, 0xF003F, nullptr, &sub_key, &disposition);
  if (result == ERROR_SUCCESS) {
    step = "its value \"DisplayName\" cannot be set";
    result = set_text_value(sub_key, L"DisplayName", display_name);
    if (result == ERROR_SUCCESS) {
      step = "its value \"UninstallString\" cannot be set";
      result = set_text_value(sub_key, L"UninstallString", uninstall_string);
    }
    RegCloseKey(sub_key);
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return fail(failure, step + cause_text(result));
  return true;
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
