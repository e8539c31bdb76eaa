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

#include "folder.h"
#include "shell.h"

// Longest target text, link file name and link path.
#define TARGET_LIMIT 1023
#define LINK_NAME_LIMIT 255
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

static bool is_directory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The group folder of menu_folder below the Programs folder ('/' or '\' separated; ".." moves up but
// never above the Programs folder); empty when a component is too long. With create, missing folders
// are made.
static std::string group_folder(const std::string& programs, const char* menu_folder, bool create) {
  std::string group = programs;
  const char* p = menu_folder ? menu_folder : "";
  while (*p) {
    while (*p == '/' || *p == '\\')
      p++;
    const char* start = p;
    while (*p && *p != '/' && *p != '\\')
      p++;
    std::string component(start, p - start);
    if (component.empty() || component == ".")
      continue;
    if (component.size() > 255)
      return std::string();
    if (component == "..") {
      if (group.size() > programs.size())
        group.erase(group.find_last_of('\\'));
      continue;
    }
    group += "\\" + component;
    if (group.size() > LINK_PATH_LIMIT)
      return std::string();
    if (create && !is_directory(group) && !CreateDirectoryA(group.c_str(), NULL))
      return std::string();
  }
  return group;
}

// The target: program folder, '\', program name (the name alone without a folder), '/' turned to '\'.
static bool build_target(FOLDER* program_folder, const char* program_name, std::string* target) {
  std::string name = program_name ? program_name : "";
  if (program_folder) {
    std::string folder = program_folder->path;
    bool ends = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    *target = folder + (ends ? "" : "\\") + name;
  } else {
    *target = name;
  }
  for (char& c : *target)
    if (c == '/')
      c = '\\';
  return !target->empty() && target->size() <= TARGET_LIMIT;
}

static bool build_link_file_name(const char* link_name, std::string* file_name) {
  if (!link_name || !link_name[0])
    return false;
  *file_name = std::string(link_name) + ".lnk";
  return file_name->size() <= LINK_NAME_LIMIT;
}

static bool ends_with_exe(const std::string& text) {
  return text.size() >= 4 && _stricmp(text.c_str() + text.size() - 4, ".exe") == 0;
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
    if (ends_with_exe(target)) {
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
  if (!build_target(program_folder, program_name, &target) || !build_link_file_name(link_name, &file_name))
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
  if (!build_target(program_folder, program_name, &target) || !build_link_file_name(link_name, &file_name))
    return;
  std::string programs = shell_folder(CSIDL_PROGRAMS);
  if (programs.empty())
    return;
  std::string group = group_folder(programs, menu_folder, true);
  if (group.empty())
    return;
  make_link(type, target, arguments, group + "\\" + file_name);
}

INT_S32 remove_desktop_shortcut(INT_U8, const char*, const char*, const char* link_name, FOLDER*,
                                const char*, FOLDER*) {
  std::string file_name;
  std::string desktop = shell_folder(CSIDL_DESKTOP);
  if (desktop.empty() || !build_link_file_name(link_name, &file_name))
    return -1;
  std::string path = desktop + "\\" + file_name;
  if (path.size() >= FOLDER_PATH_SIZE)
    return -1;
  return remove(path.c_str());
}

// True when the folder holds any entry besides "." and "..", hidden ones included.
static bool folder_has_entries(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE)
    return true;
  bool any = false;
  do {
    if (strcmp(data.cFileName, ".") != 0 && strcmp(data.cFileName, "..") != 0)
      any = true;
  } while (!any && FindNextFileA(find, &data));
  FindClose(find);
  return any;
}

void remove_os_menu_shortcut(INT_U8, const char*, const char*, const char* link_name,
                             const char* menu_folder, FOLDER*, const char*, FOLDER*) {
  std::string file_name;
  std::string programs = shell_folder(CSIDL_PROGRAMS);
  if (programs.empty() || !build_link_file_name(link_name, &file_name))
    return;
  std::string group = group_folder(programs, menu_folder, false);
  if (group.empty())
    return;
  std::string path = group + "\\" + file_name;
  if (path.size() < FOLDER_PATH_SIZE)
    remove(path.c_str());
  // Upward from the group: remove each folder left empty, up to (never including) Programs.
  std::string folder = group;
  while (folder.size() > programs.size()) {
    if (is_directory(folder)) {
      if (folder_has_entries(folder) || !RemoveDirectoryA(folder.c_str()))
        break;
    }
    folder.erase(folder.find_last_of('\\'));
  }
}
