// Windows shortcuts read back for the tests: the shell's special folders and the fields of a ".lnk"
// file read through IShellLinkA, so tests can check what the shortcut service wrote.
#pragma once
#ifdef _WIN32
#include <string>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

// The path of a special folder (CSIDL_...); empty when the shell has none.
inline std::string special_folder(int csidl) {
  char path[MAX_PATH] = "";
  if (!SHGetSpecialFolderPathA(NULL, path, csidl, FALSE)) return std::string();
  return path;
}

struct LINK_FIELDS {
  bool read = false;
  std::string path, arguments, icon;
  int icon_index = -1;
};

// The fields of a shell link file; read stays false when the file cannot be loaded.
inline LINK_FIELDS read_link(const std::string& file) {
  LINK_FIELDS fields;
  HRESULT init = CoInitialize(NULL);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void**)&link))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
        char text[1024] = "";
        link->GetPath(text, sizeof(text), NULL, SLGP_RAWPATH);
        fields.path = text;
        text[0] = 0;
        link->GetArguments(text, sizeof(text));
        fields.arguments = text;
        text[0] = 0;
        link->GetIconLocation(text, sizeof(text), &fields.icon_index);
        fields.icon = text;
        fields.read = true;
      }
      persist->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return fields;
}
#endif
