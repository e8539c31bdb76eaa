// Linux host layer: the system's names on their way to and from the file system (not part of the host
// interface). The system's paths are its 8-bit text; the file system's names are UTF-8 bytes. Every
// path goes to a system call through host_path, every name the system gives back through system_text
// (velk_string.h says how names that are no UTF-8 keep their bytes). Also what the file sources share.
#pragma once
#include <cstddef>
#include "files.h"
#include "folder.h"

// Room for the UTF-8 form of any path of FOLDER_PATH_SIZE bytes (a Latin-1 byte takes two).
const size_t HOST_PATH_SIZE = 2 * FOLDER_PATH_SIZE;

// The UTF-8 form of a path of the system (HOST_PATH_SIZE bytes); false when it has none.
bool host_path(const char* text, char* out);
// The UTF-8 form of the folder's path, the separator and the name (HOST_PATH_SIZE bytes); false when
// the joined path does not fit in FOLDER_PATH_SIZE or has no UTF-8 form.
bool host_file_path(const FOLDER* folder, const char* name, char* out);
// A path or name the system gave, in the system's text (size bytes); false when it does not fit.
bool system_text(const char* host, char* out, size_t size);

// What the file sources (files.cpp, folders.cpp) share.
// Whether a lock call's failure says that the file system keeps no locks (a network file system whose
// lock service cannot be reached answers ENOLCK): files and folders then go without them.
bool locks_unsupported(int error);
// A FILE_INFO of what stat told of the file name.
struct stat;
void fill_info(const struct stat& status, const char* name, FILE_INFO* info);
