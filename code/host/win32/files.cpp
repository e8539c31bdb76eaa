// Windows host layer: files and their names. Paths reach the file system through the W calls, as UTF-16
// made from the system's 8-bit text; a file takes its name through the handle it was written with where
// it can, so that no second open of it by name is needed.
#include "files_host.h"
#include "file_utils.h"
#include "velk_string.h"
#include "win32_host.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>

// What the system says of an operation on a folder that only a file takes (not every header names it).
#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336
#endif

// ---------------------------------------------------------------------------------------------------
// Paths
// ---------------------------------------------------------------------------------------------------

static_assert(sizeof(WCHAR) == sizeof(INT_U16), "UTF-16 units");

bool wide_path(const char* text, WCHAR* out) {
  return text_to_utf16(text, reinterpret_cast<INT_U16*>(out), FOLDER_PATH_SIZE);
}

bool wide_file_path(const FOLDER* folder, const char* name, WCHAR* out) {
  char joined[FOLDER_PATH_SIZE];
  return folder && join_path(joined, folder->path, name) && wide_path(joined, out);
}

bool system_text(const WCHAR* wide, char* out, size_t size) {
  return utf16_to_text(reinterpret_cast<const INT_U16*>(wide), out, size);
}

bool host_read_program_path(char* out) {
  WCHAR path[FOLDER_PATH_SIZE];
  DWORD length = GetModuleFileNameW(nullptr, path, FOLDER_PATH_SIZE);
  return length > 0 && length < FOLDER_PATH_SIZE - 1 && system_text(path, out, FOLDER_PATH_SIZE);
}

size_t host_root_length(const char* path) {
  if (!path) return 0;
  if (path[0] && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return 3;
  return path[0] == '\\' || path[0] == '/' ? 1 : 0;
}

bool host_make_folder(const char* path, bool* existed) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (existed) *existed = false;
  if (!wide_path(path, target)) return false;
  if (CreateDirectoryW(target, nullptr)) return true;
  // A folder that another made meanwhile is as good; any other failure keeps its cause.
  DWORD failure = GetLastError();
  DWORD attributes = GetFileAttributesW(target);
  if (failure == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (existed) *existed = true;
    return true;
  }
  SetLastError(failure);
  return false;
}

bool host_remove_empty_folder(const char* path) {
  WCHAR target[FOLDER_PATH_SIZE];
  return wide_path(path, target) && RemoveDirectoryW(target) != 0;
}

bool path_exists(const WCHAR* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// ---------------------------------------------------------------------------------------------------
// Entries through their handles
// ---------------------------------------------------------------------------------------------------

HANDLE open_entry(const WCHAR* path, DWORD access) {
  return CreateFileW(path, access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool delete_on_close(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool rename_handle(HANDLE handle, const WCHAR* name, bool replace) {
  int length = (int)wcslen(name) + 1;
  if (length < 2 || length > FOLDER_PATH_SIZE) {
    SetLastError(length < 2 ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  union {
    FILE_RENAME_INFO info;
    char bytes[sizeof(FILE_RENAME_INFO) + FOLDER_PATH_SIZE * sizeof(WCHAR)];
  } record;
  memset(&record.info, 0, sizeof record.info);
  record.info.ReplaceIfExists = replace ? TRUE : FALSE;
  record.info.FileNameLength = (DWORD)((length - 1) * sizeof(WCHAR));
  memcpy(record.info.FileName, name, length * sizeof(WCHAR));
  return SetFileInformationByHandle(handle, FileRenameInfo, &record.info,
                                    (DWORD)(sizeof(FILE_RENAME_INFO) + length * sizeof(WCHAR))) != 0;
}

// ---------------------------------------------------------------------------------------------------
// Names and identities
// ---------------------------------------------------------------------------------------------------

static_assert(sizeof(HOST_NOTED_PATH::bytes) >= FOLDER_PATH_SIZE * sizeof(WCHAR), "a noted path holds a wide path");

bool host_noted_path(const FOLDER* folder, const char* name, HOST_NOTED_PATH* path) {
  return wide_file_path(folder, name, reinterpret_cast<WCHAR*>(path->bytes));
}

// A file that the program still has open is not removed (the runtime's files share no removal): the
// next run removes it with its folder.
void host_remove_noted(const HOST_NOTED_PATH* path) { DeleteFileW(reinterpret_cast<const WCHAR*>(path->bytes)); }

// An existing file opened only to ask about it; INVALID_HANDLE_VALUE when it cannot be.
static HANDLE open_to_ask(const WCHAR* path, DWORD flags = 0) {
  return CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// The file's index on its volume (the internal information of the file system), 0 when it cannot be
// had. Asked before the volume: the volume's serial number takes a round trip to the mount manager,
// which files of different indexes never need.
static INT_U64 file_index(HANDLE handle) {
  typedef LONG(WINAPI * QUERY)(HANDLE, void*, void*, ULONG, int);
  static QUERY query = (QUERY)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile");
  const int FILE_INTERNAL_INFORMATION = 6;
  ULONG_PTR status_block[2];
  INT_U64 index = 0;
  if (!query || query(handle, status_block, &index, sizeof index, FILE_INTERNAL_INFORMATION) != 0) return 0;
  return index;
}

// Whether the two paths are one file by its volume and index; flags are added to the opens (a reparse
// point as itself, or what it leads to).
static bool same_identity(const FOLDER* folder, const char* name, const FOLDER* other_folder,
                          const char* other_name, DWORD flags) {
  WCHAR first[FOLDER_PATH_SIZE], second[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, first) || !wide_file_path(other_folder, other_name, second)) return false;
  HANDLE a = open_to_ask(first, flags);
  if (a == INVALID_HANDLE_VALUE) return false;
  HANDLE b = open_to_ask(second, flags);
  bool same = false;
  if (b != INVALID_HANDLE_VALUE) {
    INT_U64 index = file_index(a);
    BY_HANDLE_FILE_INFORMATION x, y;
    if (index == 0 || index == file_index(b))
      same = GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
             x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
             x.nFileIndexLow == y.nFileIndexLow;
    CloseHandle(b);
  }
  CloseHandle(a);
  return same;
}

bool same_file(const FOLDER* folder, const char* name, const FOLDER* other_folder, const char* other_name) {
  return same_identity(folder, name, other_folder, other_name, 0);
}

bool same_entry(const FOLDER* folder, const char* name, const FOLDER* other_folder, const char* other_name) {
  return same_identity(folder, name, other_folder, other_name, FILE_FLAG_OPEN_REPARSE_POINT);
}

INT_U64 get_file_number(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  // Asked first without opening: a name that leads nowhere, which most files of an installation have
  // before they arrive, costs no open.
  if (!wide_file_path(folder, name, target) || GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES) return 0;
  HANDLE handle = open_to_ask(target, FILE_FLAG_OPEN_REPARSE_POINT);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  INT_U64 number = file_index(handle);
  CloseHandle(handle);
  return number;
}

INT_U64 stream_file_number(FILE* file) {
  return file ? file_index((HANDLE)_get_osfhandle(_fileno(file))) : 0;
}

bool host_holds_name(const char* name) {
  WCHAR wide[FOLDER_PATH_SIZE];
  if (!name || !name[0] || !wide_path(name, wide)) return false;
  size_t length = wcslen(wide);
  if (wide[length - 1] == L'.' || wide[length - 1] == L' ') return false;
  for (size_t i = 0; i < length; i++)
    if (wide[i] < 0x20 || wcschr(L"\"*:<>?|", wide[i])) return false;
  return !is_windows_device_name(name);
}

bool is_link(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return false;
  DWORD attributes = GetFileAttributesW(target);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// ---------------------------------------------------------------------------------------------------
// File operations
// ---------------------------------------------------------------------------------------------------

bool delete_file(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return false;
  return _wremove(target) == 0;
}

bool rename_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name) {
  WCHAR source[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE];
  if (!wide_file_path(from, from_name, source) || !wide_file_path(to, to_name, target)) return false;
  return _wrename(source, target) == 0;
}

bool copy_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name) {
  WCHAR source[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE];
  if (!wide_file_path(from, from_name, source) || !wide_file_path(to, to_name, target)) return false;
  return CopyFileW(source, target, FALSE) != 0;
}

// A name beginning with '.' that a write has made is hidden.
static void hide_dot_name(const WCHAR* target, const char* name) {
  if (name[0] != '.') return;
  DWORD attributes = GetFileAttributesW(target);
  if (attributes != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesW(target, (attributes & ~FILE_ATTRIBUTE_NORMAL) | FILE_ATTRIBUTE_HIDDEN);
}

// _wfopen with a mode of the C library (a few ASCII letters).
static FILE* open_wide(const WCHAR* target, const char* mode) {
  WCHAR wide_mode[8];
  size_t length = strlen(mode);
  if (length >= 8) return nullptr;
  for (size_t i = 0; i <= length; i++) wide_mode[i] = (WCHAR)(unsigned char)mode[i];
  return _wfopen(target, wide_mode);
}

FILE* open_file(const FOLDER* folder, const char* name, const char* mode) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!mode || !wide_file_path(folder, name, target)) return nullptr;
  FILE* file = open_wide(target, mode);
  if (!file) {
    const char* create_mode = strcmp(mode, "r+b") == 0 ? "wb" : strcmp(mode, "r+") == 0 ? "w" : nullptr;
    // Only a missing file is created: an existing one that could not be opened is left alone.
    if (!create_mode || path_exists(target)) return nullptr;
    file = open_wide(target, create_mode);
    if (!file) return nullptr;
  }
  // Only a disk file: a device name ("CON", "NUL", "COM1") in any folder opens a device.
  if (GetFileType((HANDLE)_get_osfhandle(_fileno(file))) != FILE_TYPE_DISK) {
    fclose(file);
    return nullptr;
  }
  bool writes = mode[0] == 'w' || (mode[0] && mode[1] == '+');
  if (writes) hide_dot_name(target, name);
  return file;
}

INT_U64 stream_size(FILE* file) {
  if (!file) return 0;
  __int64 size = _filelengthi64(_fileno(file));
  return size > 0 ? (INT_U64)size : 0;
}

bool close_file(FILE* file) {
  if (!file) return true;
  bool failed = ferror(file) != 0;
  return fclose(file) == 0 && !failed;
}

bool write_stream_whole(FILE* file, const void* bytes, size_t count) {
  if (!file || fflush(file) != 0) return false;
  int descriptor = _fileno(file);
  HANDLE handle = (HANDLE)_get_osfhandle(descriptor);
  if (handle == INVALID_HANDLE_VALUE) return false;
  // The runtime's own writes to a text-mode file write each LF as CR LF, in pieces of its buffer's size:
  // the bytes are made alike here and go out in one WriteFile.
  int mode = _setmode(descriptor, _O_BINARY);
  if (mode != -1 && mode != _O_BINARY) _setmode(descriptor, mode);
  const char* data = static_cast<const char*>(bytes);
  std::string translated;
  if (mode == _O_TEXT) {
    translated.reserve(count + count / 16 + 2);
    for (size_t at = 0; at < count; at++) {
      if (data[at] == '\n') translated += '\r';
      translated += data[at];
    }
    data = translated.data();
    count = translated.size();
  }
  // A write that fills the disk takes what fits and reports no failure: the rest is written again, and
  // that write says why it cannot be (the disk full, a quota), for describe_file_failure.
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, (DWORD)count, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    data += written;
    count -= written;
  }
  return true;
}

bool write_out_file(FILE* file) {
  if (!file || fflush(file) != 0) return false;
  HANDLE handle = (HANDLE)_get_osfhandle(_fileno(file));
  return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

// A new file of that path only, opened for writing with the access and sharing given.
static FILE* create_file_stream(const WCHAR* target, const char* name, bool text, DWORD access, DWORD sharing) {
  HANDLE handle = CreateFileW(target, access, sharing, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  int descriptor = _open_osfhandle((intptr_t)handle, _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
  FILE* file = descriptor >= 0 ? _fdopen(descriptor, text ? "w" : "wb") : nullptr;
  if (!file) {
    // The runtime refuses a descriptor or a stream when its tables are full, with no error of the system:
    // it is said as that, and the clean-up's calls do not replace it.
    const DWORD failure = ERROR_TOO_MANY_OPEN_FILES;
    if (descriptor >= 0)
      _close(descriptor);
    else
      CloseHandle(handle);
    DeleteFileW(target);
    SetLastError(failure);
    return nullptr;
  }
  hide_dot_name(target, name);
  return file;
}

FILE* create_new_file(const FOLDER* folder, const char* name, bool text) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return nullptr;
  // Shared for removal: the file can take another name by name while it stays open (rename_open_file).
  return create_file_stream(target, name, text, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE);
}

FILE* create_temporary_file(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return nullptr;
  // No one else may write or remove it meanwhile; the delete access lets close_file_as give it its name
  // through this handle.
  return create_file_stream(target, name, false, GENERIC_WRITE | DELETE, FILE_SHARE_READ);
}

// The system refused to give the file open on the handle the target's name as access denied: what has
// the name says why. A folder (or a link to one) is never replaced by a file. A file that another
// handle holds open is in use, whatever that handle shares (Windows refuses to replace a file open at
// all, also one shared for deletion as a run's log is; Wine says access denied where Windows says in
// use): an open that shares nothing is refused then. A read-only file, which Windows refuses to replace
// (Wine replaces it), loses its mark and is replaced; its mark is put back when that still fails. True
// when the file then has the name; else failure holds the cause.
static bool replace_refused(HANDLE handle, const WCHAR* target, DWORD* failure) {
  DWORD attributes = GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *failure = ERROR_DIRECTORY_NOT_SUPPORTED;
    return false;
  }
  HANDLE alone = CreateFileW(target, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (alone == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_SHARING_VIOLATION) *failure = ERROR_SHARING_VIOLATION;
    return false;
  }
  bool unmarked = false;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
    basic.FileAttributes = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    if (!basic.FileAttributes) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    unmarked = SetFileInformationByHandle(alone, FileBasicInfo, &basic, sizeof basic) != 0;
  }
  CloseHandle(alone);
  if (!unmarked) return false;
  if (rename_handle(handle, target, true)) return true;
  *failure = GetLastError();
  SetFileAttributesW(target, attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE));
  return false;
}

bool replace_file(const FOLDER* folder, const char* from_name, const char* to_name) {
  WCHAR source[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, from_name, source) || !wide_file_path(folder, to_name, target)) return false;
  // Through a handle of the file itself: MoveFileEx looks the new name up once more to see whether
  // it exists, which under Wine reads the whole folder when it does not.
  HANDLE handle = open_entry(source, DELETE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool moved = rename_handle(handle, target, true);
  DWORD failure = GetLastError();
  if (!moved && failure == ERROR_ACCESS_DENIED) moved = replace_refused(handle, target, &failure);
  CloseHandle(handle);
  SetLastError(failure);
  if (moved) hide_dot_name(target, to_name);
  return moved;
}

bool rename_open_file(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name, bool replace) {
  // By name: the file was made shared for removal, so the rename's own open of it does not wait for
  // this one, and others can read it under its new name while it is written.
  if (!file || fflush(file) != 0) return false;
  return replace ? replace_file(folder, from_name, to_name) : rename_file(folder, from_name, folder, to_name);
}

// close_file_as, or close_file_as_if_free with if_free.
static CLOSE_AS_RESULT close_and_name(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name,
                                      bool if_free, INT_S64 older_than) {
  if (!file) return CLOSE_AS_FAILED;
  WCHAR target[FOLDER_PATH_SIZE];
  HANDLE handle = (HANDLE)_get_osfhandle(_fileno(file));
  // What the stream holds is written first: a write that fails never gives the name.
  if (fflush(file) != 0 || ferror(file) || handle == INVALID_HANDLE_VALUE || !wide_file_path(folder, to_name, target)) {
    DWORD failure = GetLastError();
    fclose(file);
    SetLastError(failure);
    return CLOSE_AS_FAILED;
  }
  // Where nothing has the name, the file takes it through its own handle, which no one else can take
  // away, and is closed then: no second open of it by name. A close that then fails (a network share's
  // delayed write, a quota) leaves the name to a file that lost a write: it goes, and the name is free
  // again, as it was.
  if (rename_handle(handle, target, false)) {
    if (fclose(file) == 0) {
      hide_dot_name(target, to_name);
      return CLOSE_AS_PLACED;
    }
    DWORD failure = GetLastError();
    HANDLE placed = open_entry(target, DELETE);
    if (placed != INVALID_HANDLE_VALUE) {
      delete_on_close(placed);
      CloseHandle(placed);
    }
    SetLastError(failure);
    return CLOSE_AS_FAILED;
  }
  // Only a taken name goes on: any other cause fails the file, which never falls through to a rename
  // that replaces.
  DWORD failure = GetLastError();
  if (failure != ERROR_ALREADY_EXISTS && failure != ERROR_FILE_EXISTS) {
    fclose(file);
    SetLastError(failure);
    return CLOSE_AS_FAILED;
  }
  // Something has the name (a file put there meanwhile, with if_free): it stays unless it is older than
  // the time given, and the file goes with its handle's close, never opened again by name.
  FILE_INFO info;
  if (if_free && get_file_info(folder, to_name, &info) && !(info.time < older_than)) {
    bool gone = delete_on_close(handle);
    fclose(file);
    if (!gone) delete_file(folder, from_name);
    SetLastError(ERROR_FILE_EXISTS);
    return CLOSE_AS_NAME_KEPT;
  }
  // A file has the name: it is replaced only by a file whose last close succeeded. The file system takes
  // in what is still to be written (a network share's delayed write) when the last handle of the file
  // closes, so no other handle of it may outlive the stream's: it is closed whole and checked, and only
  // then takes the name, opened again by its own name. (Writing it out to the disk before the rename
  // would cost a wait for the disk on every file.) Until it has the name, the temporary's own name,
  // which holds this running process's number, keeps other runs from it.
  return close_file(file) && replace_file(folder, from_name, to_name) ? CLOSE_AS_PLACED : CLOSE_AS_FAILED;
}

bool close_file_as(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name) {
  return close_and_name(file, folder, from_name, to_name, false, EARLIEST_FILE_TIME) == CLOSE_AS_PLACED;
}

CLOSE_AS_RESULT close_file_as_if_free(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name,
                                      INT_S64 older_than) {
  return close_and_name(file, folder, from_name, to_name, true, older_than);
}

INT_U32 host_process_id() { return (INT_U32)GetCurrentProcessId(); }

INT_U32 host_random_number() {
  // The system's generator (RtlGenRandom), found at run time: the import libraries do not all name it.
  typedef BOOLEAN(WINAPI * GENERATE)(void*, ULONG);
  static GENERATE generate = (GENERATE)(void*)GetProcAddress(LoadLibraryA("advapi32.dll"), "SystemFunction036");
  INT_U32 number = 0;
  if (generate && generate(&number, sizeof number)) return number;
  LARGE_INTEGER clock;
  QueryPerformanceCounter(&clock);
  return (INT_U32)clock.LowPart ^ ((INT_U32)clock.HighPart << 20) ^ ((INT_U32)GetCurrentProcessId() * 0x9E3779B9u);
}

bool host_process_running(INT_U32 id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  // No such process; a process that may not be opened runs.
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

bool file_exists(const FOLDER* folder, const char* name, INT_U8) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return false;
  return path_exists(target);
}

bool is_regular_file(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return false;
  DWORD attributes = GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

FILE_KIND get_file_kind(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return FILE_KIND_UNKNOWN;
  DWORD attributes = GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FILE_KIND_NONE : FILE_KIND_UNKNOWN;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FILE_KIND_FOLDER;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return FILE_KIND_DEVICE;
  return FILE_KIND_FILE;
}

INT_S64 unix_seconds(const FILETIME& time) {
  INT_U64 ticks = (static_cast<INT_U64>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<INT_S64>(ticks / 10000000ULL) - 11644473600LL;
}

INT_U16 attribute_mode(DWORD attributes) {
  INT_U16 mode = (attributes & FILE_ATTRIBUTE_READONLY) ? FILE_INFO_READ_ONLY : (FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE);
  if (attributes & FILE_ATTRIBUTE_ARCHIVE) mode |= FILE_INFO_ARCHIVE;
  return mode;
}

bool get_file_info(const FOLDER* folder, const char* name, FILE_INFO* info) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!info || !wide_file_path(folder, name, target)) return false;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(target, GetFileExInfoStandard, &data)) return false;
  info->is_folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  info->hidden_or_system = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ? 1 : 0;
  info->mode = attribute_mode(data.dwFileAttributes);
  info->size = data.nFileSizeLow;
  info->time = unix_seconds(data.ftLastWriteTime);
  return true;
}

bool set_file_attributes(const FOLDER* folder, const char* name, INT_U32 mode) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return false;
  DWORD attributes = 0;
  if (!(mode & FILE_INFO_WRITABLE)) attributes |= FILE_ATTRIBUTE_READONLY;
  if (mode & FILE_INFO_ARCHIVE) attributes |= FILE_ATTRIBUTE_ARCHIVE;
  if (!attributes) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(target, attributes) != 0;
}

bool mark_program_file(const FOLDER*, const char*, bool, const INT_U8*, INT_U32) { return true; }

bool host_local_time_text(INT_S64 seconds, char* out, size_t size) {
  if (!out || size < 1) return false;
  __time64_t when = static_cast<__time64_t>(seconds);
  const char* formatted = _ctime64(&when);
  if (!formatted) return false;
  size_t length = strlen(formatted);
  if (length > 0 && formatted[length - 1] == '\n') length--;
  if (length >= size) return false;
  memcpy(out, formatted, length);
  out[length] = 0;
  return true;
}
