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
#include "folder.h"
#include "shell.h"

// Longest link path.
#define LINK_PATH_LIMIT 255

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

// Makes the link file at link_path (COM is initialised and released here, balanced).
static void make_link(INT_U8 type, const std::string& target, const char* arguments, const std::string& link_path) {
  if (link_path.size() > LINK_PATH_LIMIT)
    return;
  WCHAR link_file[FOLDER_PATH_SIZE], wide_target[FOLDER_PATH_SIZE], wide_arguments[FOLDER_PATH_SIZE];
  WCHAR link_target[FOLDER_PATH_SIZE];
  if (!wide_path(link_path.c_str(), link_file) || !wide_path(target.c_str(), wide_target))
    return;
  if (shortcut_is_address(target)) {
    // A shell link holds only a file: it would take an address for a relative path. The link starts
    // the shell's explorer with the address, quoted (explorer splits its arguments at commas), and
    // that opens it as the shell opens addresses.
    std::string quoted = "\"";
    for (char c : target)
      quoted += c == '"' ? std::string("%22") : std::string(1, c);
    UINT length = GetWindowsDirectoryW(link_target, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !wide_path((quoted + "\"").c_str(), wide_arguments))
      return;
    wcscat(link_target, L"\\explorer.exe");
  } else {
    if (!wide_path(arguments ? arguments : "", wide_arguments))
      return;
    wcscpy(link_target, wide_target);
  }
  HRESULT com = CoInitialize(NULL);
  IShellLinkW* link = NULL;
  IPersistFile* persist = NULL;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link)) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist)) && SUCCEEDED(link->SetPath(link_target)) &&
      SUCCEEDED(link->SetArguments(wide_arguments)) && SUCCEEDED(persist->Save(link_file, TRUE))) {
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
}

void create_desktop_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, FOLDER*, const char*, FOLDER* program_folder) {
  std::string target, file_name;
  if (!shortcut_target(program_folder, program_name, &target) || !shortcut_file_name(link_name, ".lnk", &file_name))
    return;
  std::string desktop = shell_folder(CSIDL_DESKTOP);
  if (desktop.empty())
    return;
  make_link(type, target, arguments, desktop + "\\" + file_name);
}

void create_os_menu_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, const char* menu_folder, FOLDER*, const char*,
                             FOLDER* program_folder) {
  std::string target, file_name;
  if (!shortcut_target(program_folder, program_name, &target) || !shortcut_file_name(link_name, ".lnk", &file_name))
    return;
  std::string programs = shell_folder(CSIDL_PROGRAMS);
  if (programs.empty())
    return;
  std::string group = shortcut_group_folder(programs, menu_folder, LINK_PATH_LIMIT);
  if (group.empty() || !make_shortcut_folders(group))
    return;
  make_link(type, target, arguments, group + "\\" + file_name);
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
