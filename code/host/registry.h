// The system's uninstall registry: the entry that names an installed application and the program that
// removes it. Windows writes the real registry (HKEY_LOCAL_MACHINE); Linux stands in with one settings
// file per key under "velk/registry/" of the user's configuration folder (the key path with '/'), one
// place whatever the installer's file is named.
#pragma once
#include <string>

#include "types.h"

// The key below which every uninstall entry lies.
#define UNINSTALL_KEY_PATH "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"

// Creates or opens the sub-key name of the uninstall key and sets its "DisplayName" and
// "UninstallString" texts, of any length the system holds. False when any step fails, with failure
// (when given) saying which and the system's cause; a name that is no single name (is_single_name) is
// refused. A failure leaves the earlier entry of the name as it was. On Linux the entry of the name that
// earlier versions kept below a folder named after the installer's file goes once the entry is written.
bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string,
                           std::string* failure = nullptr);
// Reads both values back (buffers of size bytes); false when the entry or a value is missing.
bool read_uninstall_entry(const char* name, char* display_name, char* uninstall_string, INT_U32 size);
