// Windows shortcuts read back for the tests: the shell's special folders and the fields of a ".lnk"
// file read through IShellLinkW, so tests can check what the shortcut service wrote. The link's file
// and its fields are UTF-8 texts, as the tests name files on both builds.
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
  IShellLinkW* link = nullptr;
  auto utf8 = [](const WCHAR* text) {
    char out[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, NULL, NULL);
    return std::string(out);
  };
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&persist))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_UTF8, 0, file.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
        WCHAR text[1024] = L"";
        link->GetPath(text, 1024, NULL, SLGP_RAWPATH);
        fields.path = utf8(text);
        text[0] = 0;
        link->GetArguments(text, 1024);
        fields.arguments = utf8(text);
        text[0] = 0;
        link->GetIconLocation(text, 1024, &fields.icon_index);
        fields.icon = utf8(text);
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
