// Shortcuts on Windows: shell links (".lnk") made through IShellLinkW and IPersistFile on the desktop
// and in a group folder of the start menu's Programs folder. Removing the last link of a group removes
// the group folders it leaves empty, never the Programs folder itself. Paths and texts are the system's
// 8-bit text here and reach the shell in UTF-16.
#include "win32_host.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "shortcuts_host.h"
#include "files.h"
#include "folder.h"
#include "shell.h"

// Longest link path, and the longest target of a link.
#define LINK_PATH_LIMIT 255
static const size_t SHORTCUT_TARGET_LIMIT = 1023;

// The path of a shell folder (CSIDL_DESKTOP or CSIDL_PROGRAMS); empty when the shell has none.
static std::string shell_folder(int csidl) {
  LPITEMIDLIST list = NULL;
  WCHAR path[MAX_PATH] = L"";
  if (FAILED(SHGetSpecialFolderLocation(main_window, csidl, &list)) || !list)
    return std::string();
  BOOL found = SHGetPathFromIDListW(list, path);
  CoTaskMemFree(list);
  char text[FOLDER_PATH_SIZE];
  if (!found || !system_text(path, text, sizeof text))
    return std::string();
  std::string folder = text;
  while (folder.size() > 3 && folder.back() == '\\')
    folder.pop_back();
  return folder;
}

// The system's words for a failure of the shell (an HRESULT).
static std::string shell_cause(HRESULT result) {
  restore_file_failure(HRESULT_FACILITY(result) == FACILITY_WIN32 ? (INT_U32)HRESULT_CODE(result) : (INT_U32)result);
  char words[256];
  describe_file_failure(words, sizeof words);
  return words;
}

// Makes the link file at link_path (COM is initialised and released here, balanced); false with
// failure saying why when it is not made.
static bool make_link(INT_U8 type, const std::string& target, const char* arguments, const std::string& link_path,
                      std::string* failure) {
  if (link_path.size() > LINK_PATH_LIMIT)
    return shortcut_failure(failure, "the link's path \"" + link_path + "\" is longer than the " +
                                         std::to_string(LINK_PATH_LIMIT) + " characters that a link's path holds");
  WCHAR link_file[FOLDER_PATH_SIZE], wide_target[FOLDER_PATH_SIZE], wide_arguments[FOLDER_PATH_SIZE];
  WCHAR link_target[FOLDER_PATH_SIZE];
  if (!wide_path(link_path.c_str(), link_file) || !wide_path(target.c_str(), wide_target))
    return shortcut_failure(failure, "the link \"" + link_path + "\" or its program has a name this system cannot hold");
  if (shortcut_is_address(target)) {
    // A shell link holds only a file: it would take an address for a relative path. The link starts
    // the shell's explorer with the address, quoted (explorer splits its arguments at commas), and
    // that opens it as the shell opens addresses.
    std::string quoted = "\"";
    for (char c : target)
      quoted += c == '"' ? std::string("%22") : std::string(1, c);
    UINT length = GetWindowsDirectoryW(link_target, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !wide_path((quoted + "\"").c_str(), wide_arguments))
      return shortcut_failure(failure, "the address cannot be given to the system's explorer");
    wcscat(link_target, L"\\explorer.exe");
  } else {
    if (!wide_path(arguments ? arguments : "", wide_arguments))
      return shortcut_failure(failure, "its arguments hold a character this system cannot hold");
    wcscpy(link_target, wide_target);
  }
  HRESULT com = CoInitialize(NULL);
  IShellLinkW* link = NULL;
  IPersistFile* persist = NULL;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link);
  std::string step = "the shell makes no links";
  if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, (void**)&persist);
  if (SUCCEEDED(result)) {
    step = "the shell takes no program \"" + target + "\"";
    result = link->SetPath(link_target);
  }
  if (SUCCEEDED(result)) {
    step = "the shell takes no arguments \"" + std::string(arguments ? arguments : "") + "\"";
    result = link->SetArguments(wide_arguments);
  }
  if (SUCCEEDED(result)) {
    step = "the link \"" + link_path + "\" cannot be saved";
    result = persist->Save(link_file, TRUE);
  }
  if (SUCCEEDED(result)) {
    // The icon: a program is its own icon; otherwise the shell's icon for the kind of item.
    if (shortcut_names_program(target)) {
      link->SetIconLocation(wide_target, 0);
    } else {
      WCHAR system_folder[256];
      UINT length = GetSystemDirectoryW(system_folder, 256);
      if (length > 0 && length < 256 - 13) {
        wcscat(system_folder, L"\\shell32.dll");
        link->SetIconLocation(system_folder, type == 2 ? 13 : (type == 3 ? 1 : 2));
      }
    }
    persist->Save(link_file, TRUE);
  }
  if (persist)
    persist->Release();
  if (link)
    link->Release();
  if (SUCCEEDED(com))
    CoUninitialize();
  if (FAILED(result))
    return shortcut_failure(failure, step + " (" + shell_cause(result) + ")");
  return true;
}

bool create_desktop_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, FOLDER*, const char*, FOLDER* program_folder,
                             std::string* failure) {
  std::string target, file_name;
  if (!shortcut_target(program_folder, program_name, SHORTCUT_TARGET_LIMIT, &target, failure) ||
      !shortcut_file_name(link_name, ".lnk", &file_name, failure))
    return false;
  std::string desktop = shell_folder(CSIDL_DESKTOP);
  if (desktop.empty())
    return shortcut_failure(failure, "the shell names no desktop folder");
  return make_link(type, target, arguments, desktop + "\\" + file_name, failure);
}

bool create_os_menu_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, const char* menu_folder, FOLDER*, const char*,
                             FOLDER* program_folder, std::string* failure) {
  std::string target, file_name;
  if (!shortcut_target(program_folder, program_name, SHORTCUT_TARGET_LIMIT, &target, failure) ||
      !shortcut_file_name(link_name, ".lnk", &file_name, failure))
    return false;
  std::string programs = shell_folder(CSIDL_PROGRAMS);
  if (programs.empty())
    return shortcut_failure(failure, "the shell names no program folder of the start menu");
  std::string group = shortcut_group_folder(programs, menu_folder, LINK_PATH_LIMIT);
  if (group.empty())
    return shortcut_failure(failure, "its menu folder is no folder name of this system, or its path in \"" + programs +
                                         "\" is longer than the " + std::to_string(LINK_PATH_LIMIT) +
                                         " characters that a link's path holds");
  if (!make_shortcut_folders(group, failure))
    return false;
  return make_link(type, target, arguments, group + "\\" + file_name, failure);
}

INT_S32 remove_desktop_shortcut(INT_U8, const char*, const char*, const char* link_name, FOLDER*,
                                const char*, FOLDER*) {
  std::string file_name;
  std::string desktop = shell_folder(CSIDL_DESKTOP);
  if (desktop.empty() || !shortcut_file_name(link_name, ".lnk", &file_name))
    return -1;
  WCHAR path[FOLDER_PATH_SIZE];
  if (!wide_path((desktop + "\\" + file_name).c_str(), path))
    return -1;
  return _wremove(path);
}

void remove_os_menu_shortcut(INT_U8, const char*, const char*, const char* link_name,
                             const char* menu_folder, FOLDER*, const char*, FOLDER*) {
  std::string file_name;
  std::string programs = shell_folder(CSIDL_PROGRAMS);
  if (programs.empty() || !shortcut_file_name(link_name, ".lnk", &file_name))
    return;
  std::string group = shortcut_group_folder(programs, menu_folder, LINK_PATH_LIMIT);
  if (group.empty())
    return;
  WCHAR path[FOLDER_PATH_SIZE];
  if (wide_path((group + "\\" + file_name).c_str(), path))
    _wremove(path);
  remove_empty_groups(programs, group);
}
