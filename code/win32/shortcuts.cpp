// Shortcuts on Windows: shell links (".lnk") made through IShellLinkA and IPersistFile on the desktop
// and in a group folder of the start menu's Programs folder. Removing the last link of a group removes
// the group folders it leaves empty, never the Programs folder itself.
#include "win32_host.h"
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "../shortcuts_host.h"
#include "folder.h"
#include "shell.h"

// Longest link path.
#define LINK_PATH_LIMIT 255

// The path of a shell folder (CSIDL_DESKTOP or CSIDL_PROGRAMS); empty when the shell has none.
static std::string shell_folder(int csidl) {
  LPITEMIDLIST list = NULL;
  char path[MAX_PATH] = "";
  if (FAILED(SHGetSpecialFolderLocation(main_window, csidl, &list)) || !list)
    return std::string();
  BOOL found = SHGetPathFromIDListA(list, path);
  CoTaskMemFree(list);
  if (!found)
    return std::string();
  std::string folder = path;
  while (folder.size() > 3 && folder.back() == '\\')
    folder.pop_back();
  return folder;
}

// Makes the link file at link_path (COM is initialised and released here, balanced).
static void make_link(INT_U8 type, const std::string& target, const char* arguments, const std::string& link_path) {
  if (link_path.size() > LINK_PATH_LIMIT)
    return;
  WCHAR wide_path[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, link_path.c_str(), -1, wide_path, MAX_PATH))
    return;
  HRESULT com = CoInitialize(NULL);
  IShellLinkA* link = NULL;
  IPersistFile* persist = NULL;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link)) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist)) &&
      SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link->SetArguments(arguments ? arguments : "")) &&
      SUCCEEDED(persist->Save(wide_path, TRUE))) {
    // The icon: a program is its own icon; otherwise the shell's icon for the kind of item.
    if (shortcut_names_program(target)) {
      link->SetIconLocation(target.c_str(), 0);
    } else {
      char system_folder[256];
      UINT length = GetSystemDirectoryA(system_folder, sizeof(system_folder));
      if (length > 0 && length < sizeof(system_folder) - 13) {
        strcat(system_folder, "\\shell32.dll");
        link->SetIconLocation(system_folder, type == 2 ? 13 : (type == 3 ? 1 : 2));
      }
    }
    persist->Save(wide_path, TRUE);
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
  std::string path = desktop + "\\" + file_name;
  if (path.size() >= FOLDER_PATH_SIZE)
    return -1;
  return remove(path.c_str());
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
  std::string path = group + "\\" + file_name;
  if (path.size() < FOLDER_PATH_SIZE)
    remove(path.c_str());
  remove_empty_groups(programs, group);
}
