// What the shared part of files and folders (code/host/host_files.cpp) asks of the platform's own part
// (code/host/posix/files.cpp, code/host/win32/files.cpp), and the path joining both use. Not part of the interface.
#pragma once
#include "files.h"

// out = folder path, the host's separator unless it already ends with one, and name; false when name
// is null or the result does not fit in FOLDER_PATH_SIZE.
bool join_path(char* out, const char* folder_path, const char* name);

// The running program's full file name as the system gives it (FOLDER_PATH_SIZE bytes); false when it
// cannot be read whole.
bool host_read_program_path(char* out);
// The length of the root at the start of a path: Linux "/" 1; Windows "D:\" 3 and a leading '\' 1;
// 0 when the path has none. A root keeps its separator when a path is cut down to its parent.
size_t host_root_length(const char* path);
// Makes one folder whose parent exists (true also for a folder that is there already, and then
// existed, when given, is set); false when it cannot be made, the system's cause kept for
// describe_file_failure.
bool host_make_folder(const char* path, bool* existed = nullptr);
// Removes one empty folder; false when it is not empty or cannot be removed.
bool host_remove_empty_folder(const char* path);
// The file in a run's private temporary folder that the run holds while it lives (on Linux its lock,
// on Windows its open handle, which lets no one else open it): it tells a later run that the folder is
// one of them, and whether the run that made it has ended.
#define PRIVATE_FOLDER_LOCK "velk-run.lock"
// Makes a new folder below parent named prefix, '-' and a part no one can guess, that only this user
// can enter, and never one that exists, and takes the run's hold on it; out receives its path. False
// when none can be made, the system's cause kept for describe_file_failure; an attempt that fails
// leaves nothing behind. Where the file system has no locks, the folder is made without one.
bool host_make_private_folder(const char* parent, const char* prefix, char* out);
// Gives up the hold on the run's private folder, before the folder is removed.
void host_release_private_folder();
// How the removal of a private folder ended: removed; left alone (not such a folder, or one that a
// running process holds); or kept, as it could not be emptied (cause says why), with its lock file, so
// that a later run tries again.
enum PRIVATE_FOLDER_REMOVAL { PRIVATE_FOLDER_REMOVED, PRIVATE_FOLDER_LEFT, PRIVATE_FOLDER_KEPT };
// Removes the folder name of parent, a private folder: a folder of this user's own that only the user
// may enter, no link, on the file system of parent. With abandoned, only one that an ended run left:
// it holds the lock file, which no running process holds (where the file system has no locks, what is
// not known to be abandoned is left alone); without, the run's own (its hold given up first). Its
// contents go as they are, never followed through a link and never into another file system, and the
// lock file goes last. cause (size bytes) says why a folder is kept.
PRIVATE_FOLDER_REMOVAL host_remove_private_folder(const FOLDER* parent, const char* name, bool abandoned, char* cause,
                                                  size_t size);
// The immediate end's part of the files (remove_at_immediate_end): removes each file noted for it, as
// far as that is safe; from the handler of the end request (a signal handler on Linux, the console's
// thread on Windows), while it holds end requests back.
void host_immediate_end();
// A file's whole path in the host's own form, as the immediate end removes it: made on the program's
// thread, read by the handler. Bytes that only the host reads; the shared part zeroes them first and
// compares them whole.
struct HOST_NOTED_PATH {
  alignas(8) char bytes[2 * FOLDER_PATH_SIZE];
};
// The host's path of the file; false when the name has none or it is too long.
bool host_noted_path(const FOLDER* folder, const char* name, HOST_NOTED_PATH* path);
// Removes the file of a noted path with what is safe in the handler.
void host_remove_noted(const HOST_NOTED_PATH* path);

// Cuts a path down to its parent folder (a trailing separator is dropped first; a root keeps its
// separator); false, the path unchanged, when no separator is left.
bool cut_to_parent(char* path);
// The folder under which the system folder kind (SYSTEM_FOLDER_PROGRAMS … SYSTEM_FOLDER_TEMP) keeps
// applications' folders, made first when create is set; false when there is none.
bool host_system_base_folder(INT_S32 kind, INT_U8 create, char* out);
// Where that folder lies (FOLDER_PATH_SIZE bytes), whether it exists or not; nothing on the disk is
// looked at or made. False when the system names none.
bool host_system_base_path(INT_S32 kind, char* out);

// A calendar time (seconds since 1970) in local time as the C library's ctime writes it, without the
// final line feed, into out (size bytes, the terminator included); false when it cannot be converted
// (Linux: a year of other than four digits; Windows: before 1970 or past 3000) or does not fit.
bool host_local_time_text(INT_S64 seconds, char* out, size_t size);

// The running process's number, and whether a process of that number runs (when it cannot be told,
// it runs).
INT_U32 host_process_id();
bool host_process_running(INT_U32 id);
// A number from the system's source of random bytes, another in every run (when that source cannot be
// read, one made of the clock and the process's number).
INT_U32 host_random_number();
// Removes the temporary of that name (one of the kind of next_temporary_name) from the folder unless a
// writer still holds it: on Linux the lock its writer takes (create_new_file), on Windows its open
// handle, which refuses the delete. Where the file system keeps no locks, the caller's look at the
// process number decides. What is no plain file goes as it is: a link as a link, never what it leads
// to. TEMPORARY_LEFT when a writer holds it or it is gone, TEMPORARY_KEPT (cause, size bytes, says why)
// when it cannot be removed.
enum TEMPORARY_REMOVAL { TEMPORARY_GONE, TEMPORARY_LEFT, TEMPORARY_KEPT };
TEMPORARY_REMOVAL host_remove_abandoned_temporary(const FOLDER* folder, const char* name, char* cause, size_t size);
