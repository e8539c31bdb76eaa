// What the shared part of files and folders (code/host_files.cpp) asks of the platform's own part
// (code/posix/files.cpp, code/win32/files.cpp), and the path joining both use. Not part of the interface.
#pragma once
#include "files.h"

// out = folder path, the host's separator unless it already ends with one, and name; false when name
// is null or the result does not fit in FOLDER_PATH_SIZE.
bool join_path(char* out, const char* folder_path, const char* name);

// The running program's full file name; false when it cannot be read.
bool host_program_file_name(char* out);
// Cuts a program's file name down to its folder (a root keeps its separator); false when it has none.
bool host_program_folder(char* program);
// The folder under which the system folder kind (SYSTEM_FOLDER_PROGRAMS … SYSTEM_FOLDER_TEMP) keeps
// applications' folders, made first when create is set; false when there is none.
bool host_system_base_folder(INT_S32 kind, INT_U8 create, char* out);
