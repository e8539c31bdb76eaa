// Windows host layer: files, folders and drives. Paths use '\', drive roots are "D:\", system folders
// come from SHGetFolderPathW and the logical drives from GetLogicalDriveStringsA (floppies listed last).
// Paths reach the file system through the W calls, as UTF-16 made from the system's 8-bit text.
#include "files_host.h"
#include "file_utils.h"
#include "velk_string.h"
#include "win32_host.h"

#include <windows.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>
#include <vector>

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

// The lock file of a folder in UTF-16; false when the path does not fit.
static bool lock_file_path(const char* folder, WCHAR* out) {
  char joined[FOLDER_PATH_SIZE];
  return join_path(joined, folder, PRIVATE_FOLDER_LOCK) && wide_path(joined, out);
}

static bool path_exists(const WCHAR* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

static HANDLE private_folder_lock = INVALID_HANDLE_VALUE;  // open on the run's private folder's lock file

// The run holds its folder's lock file open, sharing only reading, until its end: no one else can
// open it whole or remove it meanwhile, and the system closes it whatever way the process ends. A
// folder whose lock file cannot be made is used all the same, and no sweep takes it.
static void hold_private_folder(const char* folder) {
  WCHAR lock_path[FOLDER_PATH_SIZE];
  if (!lock_file_path(folder, lock_path)) return;
  HANDLE lock =
      CreateFileW(lock_path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (lock != INVALID_HANDLE_VALUE) private_folder_lock = lock;
}

bool host_make_private_folder(const char* parent, const char* prefix, char* out) {
  // CreateDirectoryW fails rather than take a name that exists; the folder inherits the user's
  // temporary folder's access, which is the user's own.
  static INT_U32 counter = 0;
  for (int tries = 0; tries < 100; tries++) {
    LARGE_INTEGER clock;
    QueryPerformanceCounter(&clock);
    INT_U32 unique = (INT_U32)clock.LowPart ^ ((INT_U32)GetCurrentProcessId() << 16) ^ (counter++ * 0x9E3779B9u);
    char name[FOLDER_PATH_SIZE];
    int written = snprintf(name, sizeof name, "%s-%08X", prefix, (unsigned)unique);
    WCHAR target[FOLDER_PATH_SIZE];
    if (written < 0 || written >= (int)sizeof name || !join_path(out, parent, name) || !wide_path(out, target))
      return false;
    if (CreateDirectoryW(target, nullptr)) {
      hold_private_folder(out);
      return true;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

void host_release_private_folder() {
  if (private_folder_lock == INVALID_HANDLE_VALUE) return;
  CloseHandle(private_folder_lock);
  private_folder_lock = INVALID_HANDLE_VALUE;
}

// ---------------------------------------------------------------------------------------------------
// Removing entries. A removal acts on a name, never on what it leads to: the entry is opened as itself
// (FILE_FLAG_OPEN_REPARSE_POINT) and removed through that handle, so that a link (a reparse point) goes
// as the link it is. Under Wine a Unix link is no reparse point: a handle of it is open on what it leads
// to, and a removal through it (or by its name) would remove that. Such an entry is told by the path
// the system gives for its handle, which is not the entry's own. A link to a file is replaced by a new
// file of this process, which then goes in its stead (a rename replaces the entry, never what it leads
// to); a link to a folder cannot be replaced so and stays. (Wine does not list a link that leads
// nowhere at all.)
// ---------------------------------------------------------------------------------------------------

// An existing entry opened as itself, to be asked about and, with DELETE access, removed.
static HANDLE open_entry(const WCHAR* path, DWORD access) {
  return CreateFileW(path, access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The path that the system gives for what the handle is open on; empty when it gives none.
static std::wstring handle_path(HANDLE handle) {
  WCHAR path[FOLDER_PATH_SIZE + 8];
  DWORD length = GetFinalPathNameByHandleW(handle, path, FOLDER_PATH_SIZE + 8, 0);
  return length > 0 && length < FOLDER_PATH_SIZE + 8 ? std::wstring(path, length) : std::wstring();
}

// The handle_path of the folder at path; empty when it has none.
static std::wstring folder_handle_path(const WCHAR* path) {
  HANDLE folder = open_entry(path, 0);
  if (folder == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring found = handle_path(folder);
  CloseHandle(folder);
  return found;
}

enum ENTRY_KIND { ENTRY_UNKNOWN, ENTRY_FILE, ENTRY_FOLDER, ENTRY_LINK, ENTRY_LINKED_FILE, ENTRY_LINKED_FOLDER };

// What the handle that open_entry gave for the entry name of a folder is open on; folder_path is the
// folder's handle_path. The folder's part is compared as the system spells paths, the name exactly.
static ENTRY_KIND entry_kind(HANDLE handle, const std::wstring& folder_path, const WCHAR* name) {
  FILE_ATTRIBUTE_TAG_INFO tag;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return ENTRY_UNKNOWN;
  if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return ENTRY_LINK;
  bool folder = (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::wstring path = handle_path(handle);
  // Where the system gives no paths, the handle is what it says it is.
  if (!folder_path.empty() || !path.empty()) {
    size_t length = folder_path.size() - (!folder_path.empty() && folder_path.back() == L'\\' ? 1 : 0);
    bool own = path.size() > length + 1 && _wcsnicmp(path.c_str(), folder_path.c_str(), length) == 0 &&
               path[length] == L'\\' && wcscmp(path.c_str() + length + 1, name) == 0;
    if (!own) return folder ? ENTRY_LINKED_FOLDER : ENTRY_LINKED_FILE;
  }
  return folder ? ENTRY_FOLDER : ENTRY_FILE;
}

// Marks the entry open on the handle (with DELETE access) to be removed when the handle closes.
static bool delete_on_close(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Gives the file or folder open on the handle (with DELETE access) the full path name, replacing a
// file there when replace is set, through the handle itself.
static bool rename_handle(HANDLE handle, const WCHAR* name, bool replace) {
  int length = (int)wcslen(name) + 1;
  if (length < 2 || length > FOLDER_PATH_SIZE) return false;
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

// Removes the entry name of the folder at folder that Wine shows as what it leads to: a new file of
// this process takes its place and goes. False, and the entry stays, when it cannot (a link to a
// folder, which no file may replace).
static bool replace_and_remove(const std::wstring& folder, const WCHAR* name) {
  char own[TEMPORARY_NAME_SIZE];
  next_temporary_name(own);
  std::wstring own_path = folder + L"\\", target = folder + L"\\" + name;
  for (const char* c = own; *c; c++) own_path += (WCHAR)(unsigned char)*c;
  HANDLE handle = CreateFileW(own_path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool replaced = rename_handle(handle, target.c_str(), true);
  DWORD failure = GetLastError();
  bool removed = delete_on_close(handle);
  CloseHandle(handle);
  SetLastError(failure);
  return replaced && removed;
}

// Why a removal stays, for the cause texts.
static const char LINKED_FOLDER_CAUSE[] = "it holds a link to a folder, which cannot be removed here without what it leads to";

// A removal of a folder's tree: at most TREE_DEPTH folders deep at once; a folder deeper down moves up
// into the top folder, whose next pass takes it.
const int TREE_DEPTH = 32;

struct TREE_REMOVAL {
  std::wstring top;   // the folder being emptied
  unsigned moved;     // folders moved up so far, which names the next
  DWORD error;        // the first failure: the system's cause
  const char* cause;  // or one of this module's own

  void fail(DWORD code) {
    if (!error && !cause) error = code ? code : ERROR_GEN_FAILURE;
  }
  void fail(const char* text) {
    if (!error && !cause) cause = text;
  }
  bool failed() const { return error || cause; }
  void describe(char* out, size_t size) const {
    if (!out || !size) return;
    if (cause) {
      snprintf(out, size, "%s", cause);
      return;
    }
    SetLastError(error);
    describe_file_failure(out, size);
  }
};

static void empty_tree(const std::wstring& path, const std::wstring& final_path, const WCHAR* skip, int depth,
                       TREE_REMOVAL* removal);

// Moves the folder open on the handle up into the top folder under a name of its own.
static bool move_up(HANDLE handle, TREE_REMOVAL* removal) {
  for (int tries = 0; tries < 100; tries++) {
    char name[32];
    snprintf(name, sizeof name, "\\velk-moved-%u", removal->moved++);
    std::wstring target = removal->top;
    for (const char* c = name; *c; c++) target += (WCHAR)(unsigned char)*c;
    if (rename_handle(handle, target.c_str(), false)) return true;
    DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
      removal->fail(code);
      return false;
    }
  }
  removal->fail(ERROR_FILE_EXISTS);
  return false;
}

// Removes the entry name of the folder at folder (whose handle_path is final_path): a folder with its
// tree, anything else as it is. True when it is gone from the folder.
static bool remove_entry(const std::wstring& folder, const std::wstring& final_path, const WCHAR* name, int depth,
                         TREE_REMOVAL* removal) {
  std::wstring path = folder + L"\\" + name;
  HANDLE handle = open_entry(path.c_str(), DELETE);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) removal->fail(code);
    return false;
  }
  bool removed = false;
  switch (entry_kind(handle, final_path, name)) {
    case ENTRY_FILE:
    case ENTRY_LINK:
      removed = delete_on_close(handle);
      break;
    case ENTRY_FOLDER:
      if (depth + 1 >= TREE_DEPTH) {
        removed = move_up(handle, removal);
        break;
      }
      empty_tree(path, handle_path(handle), nullptr, depth + 1, removal);
      removed = delete_on_close(handle);
      break;
    case ENTRY_LINKED_FILE:
      CloseHandle(handle);
      handle = INVALID_HANDLE_VALUE;
      removed = replace_and_remove(folder, name);
      break;
    case ENTRY_LINKED_FOLDER:
      removal->fail(LINKED_FOLDER_CAUSE);
      break;
    default:
      break;
  }
  if (!removed) removal->fail(GetLastError());
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return removed;
}

// The names in the folder open on the handle (FILE_LIST_DIRECTORY), "." and ".." left out. Listed
// through a handle of its own, which shares removal: a listing by path would share none with the
// handle that removes the folder.
static bool list_folder(HANDLE folder, std::vector<std::wstring>* names) {
  union {
    FILE_ID_BOTH_DIR_INFO first;
    char bytes[16384];
  } buffer;
  FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;
  while (GetFileInformationByHandleEx(folder, request, &buffer, sizeof buffer)) {
    request = FileIdBothDirectoryInfo;
    for (const char* at = buffer.bytes;;) {
      const FILE_ID_BOTH_DIR_INFO* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
      if (name != L"." && name != L"..") names->push_back(name);
      if (!info->NextEntryOffset) break;
      at += info->NextEntryOffset;
    }
  }
  return GetLastError() == ERROR_NO_MORE_FILES;
}

// Removes everything in the folder at path (whose handle_path is final_path) but the entry skip (when
// given). The top folder is listed again until a listing removes nothing, each time through a handle of
// its own (a handle lists what it first read, under Wine): so the folders moved up into it go too, and
// what stays in it is a failure before its lock file could go.
static void empty_tree(const std::wstring& path, const std::wstring& final_path, const WCHAR* skip, int depth,
                       TREE_REMOVAL* removal) {
  for (;;) {
    HANDLE folder = open_entry(path.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE);
    if (folder == INVALID_HANDLE_VALUE) {
      removal->fail(GetLastError());
      return;
    }
    // The folder listed is the one asked about, not what a name put in its place meanwhile leads to.
    if (handle_path(folder) != final_path) {
      CloseHandle(folder);
      removal->fail(ERROR_ACCESS_DENIED);
      return;
    }
    std::vector<std::wstring> names;
    if (!list_folder(folder, &names)) removal->fail(GetLastError());
    bool removed = false, left = false;
    for (const std::wstring& name : names) {
      if (skip && name == skip) continue;
      if (remove_entry(path, final_path, name.c_str(), depth, removal)) removed = true;
      else left = true;
    }
    CloseHandle(folder);
    if (depth > 0) return;
    if (!removed) {
      if (left) removal->fail(ERROR_DIR_NOT_EMPTY);
      return;
    }
  }
}

PRIVATE_FOLDER_REMOVAL host_remove_private_folder(const FOLDER* parent, const char* name, bool abandoned, char* cause,
                                                  size_t size) {
  char folder[FOLDER_PATH_SIZE];
  WCHAR parent_path[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE], lock_path[FOLDER_PATH_SIZE], wide_name[FOLDER_PATH_SIZE];
  if (!parent || !name || strpbrk(name, "\\/") || !wide_path(parent->path, parent_path) || !wide_path(name, wide_name) ||
      !join_path(folder, parent->path, name) || !wide_path(folder, target) || !lock_file_path(folder, lock_path))
    return PRIVATE_FOLDER_LEFT;
  HANDLE top = open_entry(target, DELETE);
  if (top == INVALID_HANDLE_VALUE) return PRIVATE_FOLDER_LEFT;
  if (entry_kind(top, folder_handle_path(parent_path), wide_name) != ENTRY_FOLDER) {
    CloseHandle(top);
    return PRIVATE_FOLDER_LEFT;
  }
  std::wstring top_path = handle_path(top);
  // A live run holds its lock file open, sharing only reading: this open, which shares nothing, fails.
  HANDLE lock = CreateFileW(lock_path, GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr);
  bool marked = lock != INVALID_HANDLE_VALUE && entry_kind(lock, top_path, L"" PRIVATE_FOLDER_LOCK) == ENTRY_FILE;
  if (!marked && lock != INVALID_HANDLE_VALUE) {
    CloseHandle(lock);  // not the lock file of a run: it goes with the rest, or the folder is none of theirs
    lock = INVALID_HANDLE_VALUE;
  }
  if (abandoned && !marked) {
    CloseHandle(top);
    return PRIVATE_FOLDER_LEFT;
  }
  TREE_REMOVAL removal = {target, 0, 0, nullptr};
  empty_tree(target, top_path, marked ? L"" PRIVATE_FOLDER_LOCK : nullptr, 0, &removal);
  // The lock file goes last, with this process's hold on it: a folder that keeps anything keeps it, for
  // a later run to try again.
  if (!removal.failed() && lock != INVALID_HANDLE_VALUE && !delete_on_close(lock)) removal.fail(GetLastError());
  if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
  if (!removal.failed() && !delete_on_close(top)) removal.fail(GetLastError());
  CloseHandle(top);
  if (!removal.failed() && path_exists(target)) removal.fail(ERROR_DIR_NOT_EMPTY);
  if (!removal.failed()) return PRIVATE_FOLDER_REMOVED;
  removal.describe(cause, size);
  return PRIVATE_FOLDER_KEPT;
}

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
// FOLDER members of the host
// ---------------------------------------------------------------------------------------------------

bool FOLDER::equals(const FOLDER* other) const { return other && _stricmp(path, other->path) == 0; }

bool FOLDER::is_folder(const char* path_text) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!path_text || !*path_text || !wide_path(path_text, target)) return false;
  DWORD attributes = GetFileAttributesW(target);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---------------------------------------------------------------------------------------------------
// File operations
// ---------------------------------------------------------------------------------------------------

bool delete_file(const FOLDER* folder, const char* name) {
  WCHAR target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, name, target)) return false;
  return _wremove(target) == 0;
}

bool remove_folder(const FOLDER* folder, const char* sub_folder, INT_U8 empty_first) {
  WCHAR parent[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE], name[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, sub_folder, target) || !wide_path(folder->path, parent) || !wide_path(sub_folder, name))
    return false;
  HANDLE handle = open_entry(target, DELETE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  TREE_REMOVAL removal = {target, 0, 0, nullptr};
  switch (entry_kind(handle, folder_handle_path(parent), name)) {
    case ENTRY_LINK:  // a link is removed as a link: the folder it points to is never emptied
      if (!delete_on_close(handle)) removal.fail(GetLastError());
      break;
    case ENTRY_FOLDER:
      if (empty_first) empty_tree(target, handle_path(handle), nullptr, 0, &removal);
      if (!removal.failed() && !delete_on_close(handle)) removal.fail(GetLastError());
      break;
    case ENTRY_LINKED_FOLDER:
      removal.fail(ERROR_ACCESS_DENIED);
      break;
    default:
      removal.fail(ERROR_DIRECTORY);
      break;
  }
  CloseHandle(handle);
  if (!removal.failed() && path_exists(target)) removal.fail(ERROR_DIR_NOT_EMPTY);
  if (removal.error) SetLastError(removal.error);
  return !removal.failed();
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
    if (descriptor >= 0)
      _close(descriptor);
    else
      CloseHandle(handle);
    DeleteFileW(target);
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

bool replace_file(const FOLDER* folder, const char* from_name, const char* to_name) {
  WCHAR source[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE];
  if (!wide_file_path(folder, from_name, source) || !wide_file_path(folder, to_name, target)) return false;
  // Through a handle of the file itself: MoveFileEx looks the new name up once more to see whether
  // it exists, which under Wine reads the whole folder when it does not.
  HANDLE handle = open_entry(source, DELETE);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool moved = rename_handle(handle, target, true);
  DWORD failure = GetLastError();
  CloseHandle(handle);
  SetLastError(failure);
  if (moved) hide_dot_name(target, to_name);
  return moved;
}

bool rename_open_file(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name) {
  // By name: the file was made shared for removal, so the rename's own open of it does not wait for
  // this one, and others can read it under its new name while it is written.
  return file && fflush(file) == 0 && replace_file(folder, from_name, to_name);
}

bool close_file_as(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name) {
  if (!file) return false;
  WCHAR target[FOLDER_PATH_SIZE];
  HANDLE handle = (HANDLE)_get_osfhandle(_fileno(file));
  // What the stream holds is written first: a write that fails never gives the name.
  if (fflush(file) != 0 || ferror(file) || handle == INVALID_HANDLE_VALUE || !wide_file_path(folder, to_name, target)) {
    DWORD failure = GetLastError();
    fclose(file);
    SetLastError(failure);
    return false;
  }
  // Where nothing has the name, the file takes it through its own handle, which no one else can take
  // away, and is closed then: no second open of it by name. A close that then fails (a network share's
  // delayed write, a quota) leaves the name to a file that lost a write: it goes, and the name is free
  // again, as it was.
  if (rename_handle(handle, target, false)) {
    if (fclose(file) == 0) {
      hide_dot_name(target, to_name);
      return true;
    }
    DWORD failure = GetLastError();
    HANDLE placed = open_entry(target, DELETE);
    if (placed != INVALID_HANDLE_VALUE) {
      delete_on_close(placed);
      CloseHandle(placed);
    }
    SetLastError(failure);
    return false;
  }
  // A file has the name: it is replaced only by a file whose close succeeded. A second handle of the
  // same open file (no second open by name) keeps it until it has the name; until then the temporary's
  // own name, which holds this running process's number, keeps other runs from it.
  HANDLE keeper = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &keeper, 0, FALSE, DUPLICATE_SAME_ACCESS))
    return close_file(file) && replace_file(folder, from_name, to_name);
  bool moved = close_file(file) && rename_handle(keeper, target, true);
  DWORD failure = GetLastError();
  if (!moved) delete_on_close(keeper);
  CloseHandle(keeper);
  SetLastError(failure);
  if (moved) hide_dot_name(target, to_name);
  return moved;
}

INT_U32 host_process_id() { return (INT_U32)GetCurrentProcessId(); }

bool host_process_running(INT_U32 id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  // No such process; a process that may not be opened runs.
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

TEMPORARY_REMOVAL host_remove_abandoned_temporary(const FOLDER* folder, const char* name, char* cause, size_t size) {
  WCHAR folder_path[FOLDER_PATH_SIZE], target[FOLDER_PATH_SIZE], wide_name[FOLDER_PATH_SIZE];
  if (!wide_path(folder->path, folder_path) || !wide_path(name, wide_name) || !wide_file_path(folder, name, target))
    return TEMPORARY_LEFT;
  // A writer's open handle shares no removal: this open, which asks for it, fails while it writes.
  TREE_REMOVAL removal = {folder_path, 0, 0, nullptr};
  HANDLE handle = open_entry(target, DELETE);
  bool removed = false;
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
      return TEMPORARY_LEFT;
    removal.fail(code);
  } else {
    switch (entry_kind(handle, folder_handle_path(folder_path), wide_name)) {
      case ENTRY_FILE:
      case ENTRY_LINK:
        removed = delete_on_close(handle);
        break;
      case ENTRY_LINKED_FILE:
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        removed = replace_and_remove(folder_path, wide_name);
        break;
      case ENTRY_LINKED_FOLDER:
        removal.fail("it is a link to a folder, which cannot be removed here without what it leads to");
        break;
      default:  // folders are never temporaries
        CloseHandle(handle);
        return TEMPORARY_LEFT;
    }
    if (!removed) removal.fail(GetLastError());
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  if (removed) return TEMPORARY_GONE;
  removal.describe(cause, size);
  return TEMPORARY_KEPT;
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

// Seconds since 1970 from a file time (100-ns units since 1601), kept to 32 bits.
static INT_U32 unix_seconds(const FILETIME& time) {
  INT_U64 ticks = (static_cast<INT_U64>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<INT_U32>(ticks / 10000000ULL - 11644473600ULL);
}

static INT_U16 attribute_mode(DWORD attributes) {
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

// ---------------------------------------------------------------------------------------------------
// Directory scans
// ---------------------------------------------------------------------------------------------------

struct DIRECTORY_SCAN {
  WIN32_FIND_DATAW data;
  char name[1280];  // the system's text of the entry's name (five bytes a unit at most)
  HANDLE handle;
  INT_U8 first_pending;
  INT_U8 include_hidden;
  FOLDER* folder;
  char pattern[256];
  INT_U32 match_mode;
  INT_U8 match_folders;
};

DIRECTORY_SCAN* open_directory_scan(FOLDER* folder, const char* pattern, INT_U8 include_hidden,
                                    INT_U32 match_mode, INT_U8 match_folders) {
  WCHAR search[FOLDER_PATH_SIZE];
  if ((pattern && strlen(pattern) > 255) || !wide_file_path(folder, "*", search)) return nullptr;
  DIRECTORY_SCAN* scan = static_cast<DIRECTORY_SCAN*>(calloc(1, sizeof(DIRECTORY_SCAN)));
  if (!scan) return nullptr;
  scan->handle = FindFirstFileW(search, &scan->data);
  if (scan->handle == INVALID_HANDLE_VALUE) {
    free(scan);
    return nullptr;
  }
  scan->first_pending = 1;
  scan->include_hidden = include_hidden;
  scan->folder = folder;
  strcpy(scan->pattern, pattern ? pattern : "");
  scan->match_mode = match_mode;
  scan->match_folders = match_folders;
  return scan;
}

bool read_directory_scan(DIRECTORY_SCAN* scan, SCAN_ENTRY* entry) {
  if (!scan || !entry) return false;
  for (;;) {
    if (!scan->first_pending && !FindNextFileW(scan->handle, &scan->data)) return false;
    scan->first_pending = 0;
    DWORD attributes = scan->data.dwFileAttributes;
    if (!system_text(scan->data.cFileName, scan->name, sizeof scan->name)) continue;
    const char* name = scan->name;
    if ((attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !scan->include_hidden) continue;
    // A linked folder (junction or link) is listed as a file: emptying a folder then never reaches
    // into the folder it points to.
    bool is_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (scan->pattern[0] && !(is_folder && !scan->match_folders) &&
        !scan_name_matches(name, scan->pattern, scan->match_mode))
      continue;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    entry->folder = scan->folder;
    entry->name = name;
    entry->is_folder = is_folder ? 1 : 0;
    entry->is_linked_folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) && !is_folder ? 1 : 0;
    entry->hidden_or_system = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) ? 1 : 0;
    entry->mode = attribute_mode(attributes);
    entry->size = scan->data.nFileSizeLow;
    entry->time = unix_seconds(scan->data.ftLastWriteTime);
    return true;
  }
}

void close_directory_scan(DIRECTORY_SCAN* scan) {
  if (!scan) return;
  if (scan->handle != INVALID_HANDLE_VALUE && scan->handle) FindClose(scan->handle);
  free(scan);
}

// ---------------------------------------------------------------------------------------------------
// System folders and drives
// ---------------------------------------------------------------------------------------------------

bool host_system_base_folder(INT_S32 kind, INT_U8 create, char* out) {
  if (kind == SYSTEM_FOLDER_TEMP) {
    // The user's temporary folder, without its trailing backslash (a root keeps it).
    WCHAR temp[FOLDER_PATH_SIZE];
    DWORD length = GetTempPathW(FOLDER_PATH_SIZE, temp);
    if (length == 0 || length >= FOLDER_PATH_SIZE) return false;
    if (length > 3 && temp[length - 1] == L'\\') temp[length - 1] = 0;
    return system_text(temp, out, FOLDER_PATH_SIZE) && (FOLDER::is_folder(out) || (create && host_make_folder(out)));
  }
  // The shell's folder for each kind, SYSTEM_FOLDER_PROGRAMS to SYSTEM_FOLDER_USER_PREFS.
  static const int csidl_of_kind[] = {0, 0x26, 0x26, 0x23, 0x1A, 0x05};
  int csidl = csidl_of_kind[kind] | (create ? CSIDL_FLAG_CREATE : 0);
  WCHAR folder[MAX_PATH];
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, folder)) && system_text(folder, out, FOLDER_PATH_SIZE);
}

// The drive roots in the library's order: A and B (floppies) moved to the end.
static int list_drives(char roots[26][4]) {
  char buffer[256];
  DWORD length = GetLogicalDriveStringsA(sizeof buffer, buffer);
  if (length == 0 || length >= sizeof buffer) return 0;
  int count = 0;
  for (const char* entry = buffer; *entry && count < 26; entry += strlen(entry) + 1) {
    roots[count][0] = entry[0];
    roots[count][1] = ':';
    roots[count][2] = '\\';
    roots[count][3] = 0;
    count++;
  }
  static const char floppies[] = {'A', 'B'};
  for (char floppy : floppies) {
    if (count > 1 && toupper(static_cast<unsigned char>(roots[0][0])) == floppy) {
      char first[4];
      memcpy(first, roots[0], 4);
      first[0] = floppy;
      memmove(roots[0], roots[1], static_cast<size_t>(count - 1) * 4);
      memcpy(roots[count - 1], first, 4);
    }
  }
  return count;
}

INT_S32 get_drive_count() {
  char roots[26][4];
  return list_drives(roots);
}

const char* get_drive_root_text(INT_S16 index) {
  static char root[256];
  char roots[26][4];
  int count = list_drives(roots);
  if (index < 0 || index >= count) return nullptr;
  strcpy(root, roots[index]);
  return root;
}

INT_S16 get_drive_index(const FOLDER* folder) {
  if (!folder) return 0;
  char roots[26][4];
  int count = list_drives(roots);
  for (int i = 0; i < count; i++)
    if (_strnicmp(roots[i], folder->path, 2) == 0) return static_cast<INT_S16>(i);
  return 0;
}

INT_U8 get_disk_kind(const FOLDER*) { return 0; }

bool host_local_time_text(INT_U32 seconds, char* out, size_t size) {
  if (!out || size < 1) return false;
  time_t when = static_cast<time_t>(seconds);
  const char* formatted = ctime(&when);
  if (!formatted) return false;
  size_t length = strlen(formatted);
  if (length > 0 && formatted[length - 1] == '\n') length--;
  if (length >= size) return false;
  memcpy(out, formatted, length);
  out[length] = 0;
  return true;
}

void forget_file_failure() { SetLastError(0); }

INT_U32 file_failure_code() { return GetLastError(); }

void restore_file_failure(INT_U32 code) { SetLastError(code); }

// Words for what the system reports of a file or folder that cannot be written or made, for a system
// that has no message of its own for the code (or one that needs inserts).
struct FAILURE_WORDS {
  DWORD code;
  const char* words;
};
static const FAILURE_WORDS failure_words[] = {
    {ERROR_FILE_NOT_FOUND, "The file does not exist"},
    {ERROR_PATH_NOT_FOUND, "The folder does not exist"},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open"},
    {ERROR_ACCESS_DENIED, "Access is denied"},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory"},
    {ERROR_OUTOFMEMORY, "There is not enough memory"},
    {ERROR_INVALID_DRIVE, "The drive does not exist"},
    {ERROR_WRITE_PROTECT, "The disk is write-protected"},
    {ERROR_NOT_READY, "The drive is not ready"},
    {ERROR_CRC, "The disk has a data error"},
    {ERROR_SECTOR_NOT_FOUND, "The disk has a data error"},
    {ERROR_WRITE_FAULT, "The device cannot write"},
    {ERROR_READ_FAULT, "The device cannot read"},
    {ERROR_GEN_FAILURE, "The device failed"},
    {ERROR_SHARING_VIOLATION, "Another program is using the file"},
    {ERROR_LOCK_VIOLATION, "Another program has locked a part of the file"},
    {ERROR_SHARING_BUFFER_EXCEEDED, "Too many files are shared"},
    {ERROR_HANDLE_DISK_FULL, "The disk is full"},
    {ERROR_DISK_FULL, "The disk is full"},
    {ERROR_NOT_SUPPORTED, "The drive does not support it"},
    {ERROR_REM_NOT_LIST, "The network computer does not answer"},
    {ERROR_BAD_NETPATH, "The network path cannot be found"},
    {ERROR_NETWORK_BUSY, "The network is busy"},
    {ERROR_DEV_NOT_EXIST, "The network device is gone"},
    {ERROR_BAD_NET_RESP, "The network computer answered wrongly"},
    {ERROR_UNEXP_NET_ERR, "The network failed"},
    {ERROR_NETNAME_DELETED, "The network share is gone"},
    {ERROR_NETWORK_ACCESS_DENIED, "The network share denies access"},
    {ERROR_BAD_NET_NAME, "The network share cannot be found"},
    {ERROR_FILE_EXISTS, "Something of that name exists"},
    {ERROR_CANNOT_MAKE, "It cannot be made"},
    {ERROR_NET_WRITE_FAULT, "Writing over the network failed"},
    {ERROR_SEM_TIMEOUT, "The device or network took too long"},
    {ERROR_INVALID_NAME, "The name is not valid"},
    {ERROR_ALREADY_EXISTS, "Something of that name exists"},
    {ERROR_FILENAME_EXCED_RANGE, "The name is too long"},
    {ERROR_FILE_TOO_LARGE, "The file is too large for the file system"},
    {225 /* ERROR_VIRUS_INFECTED */, "A virus scanner refused the file"},
    {226 /* ERROR_VIRUS_DELETED */, "A virus scanner removed the file"},
    {ERROR_DIRECTORY, "The folder name is not valid"},
    {ERROR_DISK_TOO_FRAGMENTED, "The disk is too fragmented"},
    {ERROR_DELETE_PENDING, "The file is being removed"},
    {665 /* ERROR_FILE_SYSTEM_LIMITATION */, "The file system cannot take it"},
    {ERROR_UNRECOGNIZED_VOLUME, "The disk holds no file system the system knows"},
    {ERROR_FILE_INVALID, "The disk was taken away"},
    {ERROR_MEDIA_CHANGED, "The disk was changed"},
    {ERROR_NO_MEDIA_IN_DRIVE, "There is no disk in the drive"},
    {ERROR_IO_DEVICE, "The device failed"},
    {ERROR_DEVICE_NOT_CONNECTED, "The device is not connected"},
    {ERROR_USER_MAPPED_FILE, "Another program has the file mapped"},
    {ERROR_NETWORK_UNREACHABLE, "The network cannot be reached"},
    {ERROR_CONNECTION_ABORTED, "The network connection was ended"},
    {1295 /* ERROR_DISK_QUOTA_EXCEEDED */, "The disk quota is exceeded"},
    {ERROR_FILE_CORRUPT, "The file is damaged"},
    {ERROR_DISK_CORRUPT, "The disk is damaged"},
    {ERROR_NO_SYSTEM_RESOURCES, "The system lacks the resources"},
    {ERROR_DEVICE_REMOVED, "The device was removed"},
    {ERROR_UNRECOGNIZED_MEDIA, "The disk is not formatted"},
    {ERROR_NOT_ENOUGH_QUOTA, "The quota is exceeded"},
    {ERROR_CANT_ACCESS_FILE, "The file cannot be reached"},
    {ERROR_ENCRYPTION_FAILED, "The file cannot be encrypted"},
    {ERROR_FILE_READ_ONLY, "The file is read-only"},
};

void describe_file_failure(char* out, size_t size) {
  if (!out || size == 0) return;
  out[0] = 0;
  DWORD code = GetLastError();
  if (code == 0) return;
  // The system's own words in the user's language, on one line, without the closing full stop; its
  // message for a code it has none for, or one with inserts it would need filled, is not taken.
  WCHAR message[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, message,
                                sizeof message / sizeof message[0], nullptr);
  if (length > 0 && length < sizeof message / sizeof message[0] && !wcschr(message, L'%')) {
    for (WCHAR* at = message; *at; at++)
      if (*at == L'\r' || *at == L'\n' || *at == L'\t') *at = L' ';
    size_t end = wcslen(message);
    while (end > 0 && (message[end - 1] == L' ' || message[end - 1] == L'.')) end--;
    message[end] = 0;
    if (end > 0 && system_text(message, out, size)) return;
  }
  for (const FAILURE_WORDS& entry : failure_words) {
    if (entry.code != code) continue;
    snprintf(out, size, "%s", entry.words);
    return;
  }
  snprintf(out, size, "system error %lu", (unsigned long)code);
}
