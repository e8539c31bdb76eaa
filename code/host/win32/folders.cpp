// Windows host layer: folders and their walk: the run's private folder, removing entries and trees
// through handles of their own, temporaries that ended runs left, the hold of a folder, and directory
// scans.
#include "files_host.h"
#include "file_utils.h"
#include "host_private.h"
#include "velk_string.h"
#include "win32_host.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------------
// The run's private folder
// ---------------------------------------------------------------------------------------------------

// The lock file of a folder in UTF-16; false when the path does not fit.
static bool lock_file_path(const char* folder, WCHAR* out) {
  char joined[FOLDER_PATH_SIZE];
  return join_path(joined, folder, PRIVATE_FOLDER_LOCK) && wide_path(joined, out);
}

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
  if (handle == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_EXISTS) note_temporary_taken(own);
    return false;
  }
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
// Removing folders and temporaries
// ---------------------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------------------
// Holding a folder
// ---------------------------------------------------------------------------------------------------

// The file FOLDER_HOLD_NAME of the folder, open for writing and deleting with only reading shared: a
// second writer's open of it fails, and no one renames or deletes it meanwhile. Only a process that can
// write the folder makes it, and it is made with access for its user alone, so no other user opens it to
// keep it; the system deletes it when its handle closes, also when the process is killed. Other letter
// case and every other path of the folder lead to the one file.
struct FOLDER_HOLD {
  HANDLE file;
};

// A security descriptor that gives this process's user alone access to what it is made for.
struct OWN_ACCESS {
  SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
  SECURITY_DESCRIPTOR descriptor;
  std::vector<BYTE> user, list;

  OWN_ACCESS() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user.resize(size ? size : 1);
    bool known = size && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!known) return;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    DWORD list_size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    list.resize(list_size);
    ACL* acl = reinterpret_cast<ACL*>(list.data());
    if (InitializeAcl(acl, list_size, ACL_REVISION) && AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
        SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
      attributes.lpSecurityDescriptor = &descriptor;
  }
};

// What the file at the name is, when it is not a hold that this process may take: its cause, else null.
static const char* not_a_hold(const BY_HANDLE_FILE_INFORMATION& info) {
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return "is a link";
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder";
  if (info.nNumberOfLinks > 1) return "has other names (hard links)";
  return nullptr;
}

// The running process that the held file names (0 for none). Another user's hold is not this user's to
// read.
static void read_holder(const WCHAR* path, FOLDER_HOLDER* holder) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char text[32];
  DWORD count = 0;
  if (!ReadFile(file, text, sizeof text - 1, &count, nullptr)) count = 0;
  CloseHandle(file);
  text[count] = 0;
  char* end = nullptr;
  unsigned long number = strtoul(text, &end, 10);
  if (end == text || *end != '\n' || number == 0) return;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, (DWORD)number);
  DWORD code = 0;
  if (process && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE) holder->process = (INT_U32)number;
  if (process) CloseHandle(process);
}

static void hold_step(TEST_SEAM_HOLD_STEP step) {
  if (test_seam_hold_step) test_seam_hold_step(step);
}

// Whether this process may make a file in the folder: one of its own is made there, and goes at once.
static bool folder_writable(const FOLDER* folder) {
  for (int tries = 0; tries < 16; tries++) {
    char name[TEMPORARY_NAME_SIZE];
    WCHAR path[FOLDER_PATH_SIZE];
    next_temporary_name(name);
    if (!wide_file_path(folder, name, path)) return false;
    HANDLE made = CreateFileW(path, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (made != INVALID_HANDLE_VALUE) {
      CloseHandle(made);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
    note_temporary_taken(name);
  }
  return false;
}

FOLDER_HOLD* hold_folder(const FOLDER* folder, FOLDER_HOLDER* holder) {
  *holder = FOLDER_HOLDER();
  char joined[FOLDER_PATH_SIZE];
  WCHAR path[FOLDER_PATH_SIZE];
  if (!folder || !join_path(joined, folder->path, FOLDER_HOLD_NAME) || !wide_path(joined, path)) return nullptr;
  static OWN_ACCESS own;
  const DWORD as_itself = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
  // A file whose holder has just ended is deleted once the last look at it ends: a few rounds.
  for (int round = 0; round < 100; round++) {
    if (round) Sleep(5);
    // What has the name, looked at as itself (a link is not followed), opened for nothing it holds.
    HANDLE look = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, as_itself, nullptr);
    DWORD looked = GetLastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (look != INVALID_HANDLE_VALUE) {
      const char* cause = GetFileInformationByHandle(look, &info) ? not_a_hold(info) : nullptr;
      CloseHandle(look);
      if (cause) {
        holder->refusal = FOLDER_HOLD_NAME_TAKEN;
        snprintf(holder->cause, sizeof holder->cause, "%s", cause);
        return nullptr;
      }
    } else if (looked == ERROR_ACCESS_DENIED) {
      continue;  // its deletion is pending
    } else if (looked != ERROR_FILE_NOT_FOUND) {
      return nullptr;
    } else {
      hold_step(HOLD_STEP_LOOKED);
    }
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, &own.attributes,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      DWORD code = GetLastError();
      if (code == ERROR_SHARING_VIOLATION) {
        holder->refusal = FOLDER_HOLD_HELD;
        // The holder writes its number right after it opens the file.
        for (int read = 0; read < 20 && !holder->process; read++) {
          if (read) Sleep(5);
          read_holder(path, holder);
        }
        return nullptr;
      }
      // Access denied to a file that is there: another user's hold (its deletion pending: a round more).
      if (code == ERROR_ACCESS_DENIED && look != INVALID_HANDLE_VALUE) {
        holder->refusal = FOLDER_HOLD_HELD;
        return nullptr;
      }
      if (code != ERROR_ACCESS_DENIED) return nullptr;
      // A file came meanwhile, or its deletion is pending: a round more. Nothing there by a second look:
      // either this process cannot write the folder (and installs nothing there), or a file that a
      // holder's end was removing refused the open and has gone since; a file of this process's own that
      // it may make in the folder tells which.
      hold_step(HOLD_STEP_DENIED);
      look = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, as_itself, nullptr);
      if (look == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND && !folder_writable(folder))
        return nullptr;
      if (look != INVALID_HANDLE_VALUE) CloseHandle(look);
      continue;
    }
    char number[24];
    int length = snprintf(number, sizeof number, "%lu\n", (unsigned long)GetCurrentProcessId());
    DWORD written = 0;
    if (!SetEndOfFile(file) || !WriteFile(file, number, (DWORD)length, &written, nullptr)) {
      // The hold stands all the same: the number only lets another run name its holder.
    }
    return new FOLDER_HOLD{file};
  }
  holder->refusal = FOLDER_HOLD_HELD;
  return nullptr;
}

void release_folder(FOLDER_HOLD* hold) {
  if (!hold) return;
  CloseHandle(hold->file);
  delete hold;
}

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
