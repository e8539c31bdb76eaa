// Linux host layer: files, folders and drives. Paths use '/', the one drive is "/" ("$ROOT0"), and the
// system folders follow the XDG base directories, each redirectable by its environment variable.
#include "files_host.h"
#include "file_utils.h"
#include "host_names.h"
#include "velk_string.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------------------
// Path building: the system's paths (8-bit text, FOLDER_PATH_SIZE bytes) become UTF-8 paths here and
// only here, and names and paths from the file system come back through system_text. One that does
// not fit fails.
// ---------------------------------------------------------------------------------------------------

static bool copy_path(char* out, const char* text) {
  if (!text || strlen(text) >= HOST_PATH_SIZE) return false;
  strcpy(out, text);
  return true;
}

bool host_path(const char* text, char* out) { return text_to_utf8(text, out, HOST_PATH_SIZE); }

bool host_file_path(const FOLDER* folder, const char* name, char* out) {
  char joined[FOLDER_PATH_SIZE];
  return folder && join_path(joined, folder->path, name) && host_path(joined, out);
}

bool system_text(const char* host, char* out, size_t size) { return utf8_to_text(host, out, size); }

bool host_read_program_path(char* out) {
  char path[HOST_PATH_SIZE];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0 || length >= (ssize_t)sizeof path - 1) return false;
  path[length] = 0;
  return system_text(path, out, FOLDER_PATH_SIZE);
}

size_t host_root_length(const char* path) { return path && path[0] == '/' ? 1 : 0; }

bool host_make_folder(const char* path, bool* existed) {
  char target[HOST_PATH_SIZE];
  if (existed) *existed = false;
  if (!host_path(path, target)) return false;
  if (mkdir(target, 0777) == 0) return true;
  // A folder that another made meanwhile is as good; any other failure keeps its cause. What stands at
  // the name and is no folder is said as the system says it of a path through it: "Not a directory".
  int failure = errno;
  struct stat status;
  if (failure == EEXIST && stat(target, &status) == 0 && S_ISDIR(status.st_mode)) {
    if (existed) *existed = true;
    return true;
  }
  errno = failure == EEXIST ? ENOTDIR : failure;
  return false;
}

bool host_remove_empty_folder(const char* path) {
  char target[HOST_PATH_SIZE];
  return host_path(path, target) && rmdir(target) == 0;
}

// Where the file system keeps no locks (a network file system whose lock service cannot be reached
// answers ENOLCK), files and folders go without them.
static bool locks_unsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// The lock file of a folder (HOST_PATH_SIZE bytes); false when the path does not fit.
static bool lock_file_path(const char* folder, char* out) {
  int written = snprintf(out, HOST_PATH_SIZE, "%s/" PRIVATE_FOLDER_LOCK, folder);
  return written > 0 && written < (int)HOST_PATH_SIZE;
}

static int private_folder_lock = -1;  // the lock file of the run's private folder, open and locked

bool host_make_private_folder(const char* parent, const char* prefix, char* out) {
  char name[FOLDER_PATH_SIZE], joined[FOLDER_PATH_SIZE], pattern[HOST_PATH_SIZE];
  int written = snprintf(name, sizeof name, "%s-XXXXXX", prefix);
  if (written < 0 || written >= (int)sizeof name || !join_path(joined, parent, name) || !host_path(joined, pattern)) {
    errno = ENAMETOOLONG;
    return false;
  }
  // Another run's sweep may take the folder in the moment between its lock file being made and locked:
  // then it is made again.
  for (int tries = 0; tries < 3; tries++) {
    char target[HOST_PATH_SIZE], lock_path[HOST_PATH_SIZE];
    strcpy(target, pattern);
    // mkdtemp makes the folder with mode 0700 and fails rather than take a name that exists.
    if (!mkdtemp(target)) return false;
    if (!lock_file_path(target, lock_path) || !system_text(target, out, FOLDER_PATH_SIZE)) {
      rmdir(target);
      errno = ENAMETOOLONG;
      return false;
    }
    int lock = open(lock_path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0) return true;  // without its mark the folder is used all the same, and no sweep takes it
    struct stat status;
    if (flock(lock, LOCK_EX | LOCK_NB) == 0) {
      if (fstat(lock, &status) == 0 && status.st_nlink > 0) {
        private_folder_lock = lock;
        return true;
      }
    } else if (locks_unsupported(errno)) {
      close(lock);  // the lock file stays as the folder's mark; no run can lock it
      return true;
    } else if (errno != EWOULDBLOCK) {
      // The lock cannot be had (a failing disk): the attempt leaves nothing behind.
      int failure = errno;
      unlink(lock_path);
      close(lock);
      rmdir(target);
      errno = failure;
      return false;
    }
    close(lock);
  }
  errno = EAGAIN;
  return false;
}

void host_release_private_folder() {
  if (private_folder_lock < 0) return;
  close(private_folder_lock);
  private_folder_lock = -1;
}

// ---------------------------------------------------------------------------------------------------
// Removing a folder's tree. Every name is taken relative to the folder open on a descriptor, so that
// nothing is reached through a link or a name that changed meanwhile, and names go to the system as the
// bytes it listed. A folder of another file system (a mount point, a bind mount of the same disk) is
// never entered. At most TREE_DEPTH folders are open at once: a folder deeper down moves up into the top
// folder, whose next pass takes it.
// ---------------------------------------------------------------------------------------------------

const int TREE_DEPTH = 32;

struct TREE_REMOVAL {
  int top;               // the folder being emptied
  dev_t device;          // its file system
  bool mount_known;      // and its mount, where the system tells it
  INT_U64 mount;
  unsigned moved;        // folders moved up so far, which names the next
  int error;             // the first failure: the system's cause
  const char* cause;     // or one of this module's own

  void fail(int failure) {
    if (!error && !cause) error = failure;
  }
  void fail(const char* text) {
    if (!error && !cause) cause = text;
  }
  bool failed() const { return error || cause; }
};

// The mount that the file open on the descriptor lies on; false where the system does not tell it.
static bool mount_of(int descriptor, INT_U64* mount) {
  struct statx status;
  if (statx(descriptor, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &status) != 0 ||
      !(status.stx_mask & STATX_MNT_ID))
    return false;
  *mount = status.stx_mnt_id;
  return true;
}

// Whether the folder open on the descriptor lies on the tree's own file system and mount.
static bool in_tree_mount(int descriptor, const TREE_REMOVAL* removal) {
  struct stat status;
  INT_U64 mount = 0;
  if (fstat(descriptor, &status) != 0 || status.st_dev != removal->device) return false;
  return !removal->mount_known || !mount_of(descriptor, &mount) || mount == removal->mount;
}

static void empty_tree_at(int folder, const char* skip, int depth, TREE_REMOVAL* removal);

// Moves the folder name of dir up into the top folder under a name of its own.
static bool move_up(int dir, const char* name, TREE_REMOVAL* removal) {
  for (int tries = 0; tries < 100; tries++) {
    char moved[32];
    snprintf(moved, sizeof moved, "velk-moved-%u", removal->moved++);
    if (renameat2(dir, name, removal->top, moved, RENAME_NOREPLACE) == 0) return true;
    if (errno != EEXIST) break;
  }
  removal->fail(errno);
  return false;
}

// Removes the entry name of the folder open on dir: a folder with its tree, anything else as it is (a
// link as a link). True when it is gone from dir.
static bool remove_entry_at(int dir, const char* name, int depth, TREE_REMOVAL* removal) {
  struct stat status;
  if (fstatat(dir, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) removal->fail(errno);
    return false;
  }
  if (!S_ISDIR(status.st_mode)) {
    if (unlinkat(dir, name, 0) == 0) return true;
    removal->fail(errno);
    return false;
  }
  if (depth + 1 >= TREE_DEPTH) return move_up(dir, name, removal);
  int inner = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (inner < 0) {
    if (errno != ENOENT) removal->fail(errno);
    return false;
  }
  if (!in_tree_mount(inner, removal)) {
    close(inner);
    removal->fail("a folder in it is the mount point of a file system");
    return false;
  }
  empty_tree_at(inner, nullptr, depth + 1, removal);
  if (unlinkat(dir, name, AT_REMOVEDIR) == 0) return true;
  removal->fail(errno);
  return false;
}

// Removes everything in the folder open on the descriptor (which it closes) but the entry skip (when
// given). A listing may miss entries of a folder that changes while it is read: the folder is read
// again until a reading removes nothing.
static void empty_tree_at(int folder, const char* skip, int depth, TREE_REMOVAL* removal) {
  DIR* listing = fdopendir(folder);
  if (!listing) {
    removal->fail(errno);
    close(folder);
    return;
  }
  for (bool removed = true; removed;) {
    removed = false;
    rewinddir(listing);
    while (struct dirent* entry = readdir(listing)) {
      const char* name = entry->d_name;
      if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0 || (skip && strcmp(name, skip) == 0)) continue;
      if (remove_entry_at(dirfd(listing), name, depth, removal)) removed = true;
    }
  }
  closedir(listing);
}

// Opens the folder name of the folder open on outer for removing its tree: never a link, and only on
// outer's file system and mount; -1 otherwise (errno says why). removal is made ready for it.
static int open_tree(int outer, const char* name, TREE_REMOVAL* removal, struct stat* status) {
  int folder = openat(outer, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (folder < 0) return -1;
  struct stat outer_status;
  INT_U64 outer_mount = 0;
  *removal = TREE_REMOVAL{folder, 0, false, 0, 0, 0, nullptr};
  if (fstat(folder, status) == 0 && fstat(outer, &outer_status) == 0) {
    removal->device = status->st_dev;
    removal->mount_known = mount_of(folder, &removal->mount);
    if (status->st_dev == outer_status.st_dev &&
        (!removal->mount_known || !mount_of(outer, &outer_mount) || outer_mount == removal->mount))
      return folder;
  }
  close(folder);
  errno = EXDEV;
  return -1;
}

// Empties the tree's folder (but skip); false, errno or the cause set, when something stays.
static bool empty_tree(TREE_REMOVAL* removal, const char* skip) {
  int listed = fcntl(removal->top, F_DUPFD_CLOEXEC, 0);
  if (listed < 0) removal->fail(errno);
  else empty_tree_at(listed, skip, 0, removal);
  if (removal->error) errno = removal->error;
  return !removal->failed();
}

static void put_cause(char* out, size_t size, const TREE_REMOVAL& removal) {
  if (out && size) snprintf(out, size, "%s", removal.cause ? removal.cause : strerror(removal.error));
}

PRIVATE_FOLDER_REMOVAL host_remove_private_folder(const FOLDER* parent, const char* name, bool abandoned, char* cause,
                                                  size_t size) {
  char parent_path[HOST_PATH_SIZE], host_name[HOST_PATH_SIZE];
  if (!parent || !name || strchr(name, '/') || !host_path(parent->path, parent_path) || !host_path(name, host_name))
    return PRIVATE_FOLDER_LEFT;
  int outer = open(parent_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (outer < 0) return PRIVATE_FOLDER_LEFT;
  TREE_REMOVAL removal = {};
  struct stat folder;
  int top = open_tree(outer, host_name, &removal, &folder);
  // Only a folder that this user made for no one else.
  int lock = top >= 0 && folder.st_uid == geteuid() && (folder.st_mode & 07777) == 0700
                 ? openat(top, PRIVATE_FOLDER_LOCK, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)
                 : -1;
  struct stat held;
  bool marked = lock >= 0 && fstat(lock, &held) == 0 && S_ISREG(held.st_mode) && held.st_nlink > 0;
  // An ended run's folder is taken only while this process holds its lock itself.
  bool taken = top >= 0 && folder.st_uid == geteuid() && (folder.st_mode & 07777) == 0700 &&
               (abandoned ? marked && flock(lock, LOCK_EX | LOCK_NB) == 0 : true);
  PRIVATE_FOLDER_REMOVAL result = PRIVATE_FOLDER_LEFT;
  if (taken) {
    // The lock file goes last: a folder that keeps anything keeps its mark, for a later run to try.
    const char* skip = marked ? PRIVATE_FOLDER_LOCK : nullptr;
    if (empty_tree(&removal, skip) && (!skip || unlinkat(top, skip, 0) == 0) &&
        unlinkat(outer, host_name, AT_REMOVEDIR) == 0) {
      result = PRIVATE_FOLDER_REMOVED;
    } else {
      removal.fail(errno);
      put_cause(cause, size, removal);
      result = PRIVATE_FOLDER_KEPT;
    }
  }
  if (lock >= 0) close(lock);
  if (top >= 0) close(top);
  close(outer);
  return result;
}

static_assert(sizeof(HOST_NOTED_PATH::bytes) >= HOST_PATH_SIZE, "a noted path holds a host path");

bool host_noted_path(const FOLDER* folder, const char* name, HOST_NOTED_PATH* path) {
  return host_file_path(folder, name, path->bytes);
}

void host_remove_noted(const HOST_NOTED_PATH* path) { unlink(path->bytes); }

bool same_file(const FOLDER* folder, const char* name, const FOLDER* other_folder, const char* other_name) {
  char first[HOST_PATH_SIZE], second[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, first) || !host_file_path(other_folder, other_name, second)) return false;
  struct stat a, b;
  return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

INT_U64 get_file_number(const FOLDER* folder, const char* name) {
  char target[HOST_PATH_SIZE];
  struct stat status;
  if (!host_file_path(folder, name, target) || lstat(target, &status) != 0) return 0;
  return (INT_U64)status.st_ino;
}

INT_U64 stream_file_number(FILE* file) {
  struct stat status;
  return file && fstat(fileno(file), &status) == 0 ? (INT_U64)status.st_ino : 0;
}

bool same_entry(const FOLDER* folder, const char* name, const FOLDER* other_folder, const char* other_name) {
  char first[HOST_PATH_SIZE], second[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, first) || !host_file_path(other_folder, other_name, second)) return false;
  struct stat a, b;
  return lstat(first, &a) == 0 && lstat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool host_holds_name(const char*) { return true; }

bool is_link(const FOLDER* folder, const char* name) {
  char target[HOST_PATH_SIZE];
  struct stat status;
  return host_file_path(folder, name, target) && lstat(target, &status) == 0 && S_ISLNK(status.st_mode);
}

// ---------------------------------------------------------------------------------------------------
// FOLDER members of the host
// ---------------------------------------------------------------------------------------------------

bool FOLDER::equals(const FOLDER* other) const {
  // The Linux file system tells case apart, so two paths are the same folder only when equal exactly.
  return other && strcmp(path, other->path) == 0;
}

bool FOLDER::is_folder(const char* path_text) {
  struct stat status;
  char target[HOST_PATH_SIZE];
  if (!path_text || !*path_text || !host_path(path_text, target)) return false;
  return stat(target, &status) == 0 && S_ISDIR(status.st_mode);
}

// ---------------------------------------------------------------------------------------------------
// File operations
// ---------------------------------------------------------------------------------------------------

bool delete_file(const FOLDER* folder, const char* name) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return false;
  return unlink(target) == 0;
}

bool remove_folder(const FOLDER* folder, const char* sub_folder, INT_U8 empty_first) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, sub_folder, target)) return false;
  // A link is removed as a link: the folder it points to is never emptied.
  if (is_link(folder, sub_folder)) return unlink(target) == 0;
  if (!empty_first) return rmdir(target) == 0;
  char parent_path[HOST_PATH_SIZE], name[HOST_PATH_SIZE];
  if (!host_path(folder->path, parent_path) || !host_path(sub_folder, name)) return false;
  int outer = open(parent_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (outer < 0) return false;
  TREE_REMOVAL removal = {};
  struct stat status;
  int top = open_tree(outer, name, &removal, &status);
  bool removed = top >= 0 && empty_tree(&removal, nullptr) && unlinkat(outer, name, AT_REMOVEDIR) == 0;
  int failure = errno;
  if (top >= 0) close(top);
  close(outer);
  errno = failure;
  return removed;
}

bool rename_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name) {
  char source[HOST_PATH_SIZE], target[HOST_PATH_SIZE];
  if (!host_file_path(from, from_name, source) || !host_file_path(to, to_name, target)) return false;
  // As on Windows, a rename never replaces an existing file.
  struct stat status;
  if (lstat(target, &status) == 0) return false;
  return rename(source, target) == 0;
}

bool copy_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name) {
  char source[HOST_PATH_SIZE], target[HOST_PATH_SIZE];
  if (!host_file_path(from, from_name, source) || !host_file_path(to, to_name, target)) return false;
  if (strcmp(source, target) == 0) return false;
  int input = open(source, O_RDONLY);
  if (input < 0) return false;
  struct stat status;
  if (fstat(input, &status) != 0 || S_ISDIR(status.st_mode)) {
    close(input);
    return false;
  }
  int output = open(target, O_WRONLY | O_CREAT | O_TRUNC, status.st_mode & 0777);
  if (output < 0) {
    close(input);
    return false;
  }
  bool ok = true;
  static char buffer[65536];
  for (;;) {
    ssize_t got = read(input, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ssize_t done = 0;
    while (done < got) {
      ssize_t put = write(output, buffer + done, got - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  close(input);
  if (close(output) != 0) ok = false;
  return ok;
}

// Opens an existing file for reading (or update with plus) only when it is a regular file: the open
// never waits (a pipe or device would), and what is no plain file is closed again at once.
static FILE* open_regular_file(const char* target, const char* mode, bool plus) {
  int descriptor = open(target, (plus ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    errno = EINVAL;
    return nullptr;
  }
  fcntl(descriptor, F_SETFL, 0);  // O_NONBLOCK was the only status flag of the open
  FILE* file = fdopen(descriptor, mode);
  if (!file) close(descriptor);
  return file;
}

FILE* open_file(const FOLDER* folder, const char* name, const char* mode) {
  char target[HOST_PATH_SIZE];
  if (!mode || !host_file_path(folder, name, target)) return nullptr;
  FILE* file = mode[0] == 'r' ? open_regular_file(target, mode, strchr(mode, '+') != nullptr) : fopen(target, mode);
  if (!file) {
    const char* create_mode = strcmp(mode, "r+b") == 0 ? "wb" : strcmp(mode, "r+") == 0 ? "w" : nullptr;
    // Only a missing file is created: an existing one that could not be opened is left alone.
    struct stat status;
    if (!create_mode || lstat(target, &status) == 0) return nullptr;
    file = fopen(target, create_mode);
  }
  // Names beginning with '.' are hidden on this host by their name alone.
  return file;
}

INT_U64 stream_size(FILE* file) {
  struct stat status;
  if (!file || fstat(fileno(file), &status) != 0 || status.st_size < 0) return 0;
  return (INT_U64)status.st_size;
}

bool close_file(FILE* file) {
  if (!file) return true;
  bool failed = ferror(file) != 0;
  return fclose(file) == 0 && !failed;
}

bool write_stream_whole(FILE* file, const void* bytes, size_t count) {
  if (!file || fflush(file) != 0) return false;
  const char* at = static_cast<const char*>(bytes);
  // One write: a regular file takes it whole unless the disk is full, and then the rest fails too.
  while (count > 0) {
    ssize_t put = write(fileno(file), at, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    at += put;
    count -= (size_t)put;
  }
  return true;
}

bool write_out_file(FILE* file) {
  if (!file || fflush(file) != 0) return false;
  while (fsync(fileno(file)) != 0)
    if (errno != EINTR) return false;
  return true;
}

// Removes the name of the file open on the descriptor, when the name still leads to that file.
static void remove_own_name(const char* target, int descriptor) {
  struct stat held, named;
  if (fstat(descriptor, &held) == 0 && lstat(target, &named) == 0 && held.st_dev == named.st_dev &&
      held.st_ino == named.st_ino)
    unlink(target);
}

FILE* create_new_file(const FOLDER* folder, const char* name, bool) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return nullptr;
  // The stream holds a lock on its file while it is open: a run that looks for what killed runs left
  // sees it held, in whatever process namespace it runs. Where the file system has no locks, the file
  // goes without, and such a run goes by the process number in its name. A run that took the file for
  // a dead run's in the moment before the lock holds it or has removed it: it is made again.
  for (int tries = 0; tries < 3; tries++) {
    // "x": O_EXCL, so that nothing that exists (a link included) is opened; "e": O_CLOEXEC.
    FILE* file = fopen(target, "wbxe");
    if (!file) return nullptr;
    int descriptor = fileno(file);
    bool locked = flock(descriptor, LOCK_EX | LOCK_NB) == 0;
    int error = errno;
    bool lockless = !locked && locks_unsupported(error), taken = !locked && error == EWOULDBLOCK;
    struct stat status;
    if ((locked || lockless) && fstat(descriptor, &status) == 0 && status.st_nlink > 0) return file;
    // The file of an attempt that fails never stays: a later run could not tell it from a live one.
    remove_own_name(target, descriptor);
    fclose(file);
    errno = error;
    if (!locked && !lockless && !taken) return nullptr;
  }
  return nullptr;
}

FILE* create_temporary_file(const FOLDER* folder, const char* name) { return create_new_file(folder, name); }

bool replace_file(const FOLDER* folder, const char* from_name, const char* to_name) {
  char source[HOST_PATH_SIZE], target[HOST_PATH_SIZE];
  if (!host_file_path(folder, from_name, source) || !host_file_path(folder, to_name, target)) return false;
  return rename(source, target) == 0;
}

bool rename_open_file(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name) {
  // A name leads to the file only while it is there: the open stream is the file whatever its name.
  return file && fflush(file) == 0 && replace_file(folder, from_name, to_name);
}

bool close_file_as(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name) {
  if (!file) return false;
  // The stream is closed first: a close can still report a write that was lost (on a network file
  // system), and a file that lost one never takes the name. A second descriptor of the open file keeps
  // its lock until it has the name, so that no other run takes it for a dead run's in between.
  int keeper = fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
  bool moved = close_file(file) && keeper >= 0 && replace_file(folder, from_name, to_name);
  int error = errno;
  if (keeper >= 0) close(keeper);
  errno = error;
  return moved;
}

INT_U32 host_process_id() { return (INT_U32)getpid(); }

bool host_process_running(INT_U32 id) {
  // Numbers past the largest pid_t would name process groups.
  if (id == 0 || id > 0x7FFFFFFFu) return false;
  return kill((pid_t)id, 0) == 0 || errno == EPERM;
}

// TEMPORARY_KEPT with the system's cause, or TEMPORARY_LEFT for a file that is gone meanwhile.
static TEMPORARY_REMOVAL temporary_failure(char* cause, size_t size) {
  if (errno == ENOENT) return TEMPORARY_LEFT;
  if (cause && size) snprintf(cause, size, "%s", strerror(errno));
  return TEMPORARY_KEPT;
}

TEMPORARY_REMOVAL host_remove_abandoned_temporary(const FOLDER* folder, const char* name, char* cause, size_t size) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return TEMPORARY_LEFT;
  struct stat named;
  if (lstat(target, &named) != 0) return temporary_failure(cause, size);
  // What no writer makes (a link, a folder's stand-in, a device) goes as it is, never opened.
  if (!S_ISREG(named.st_mode)) return unlink(target) == 0 ? TEMPORARY_GONE : temporary_failure(cause, size);
  // Opened for writing where it can be: a network file system gives the lock only to a writer.
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int descriptor = open(target, O_WRONLY | flags);
  if (descriptor < 0 && errno != ENOENT) descriptor = open(target, O_RDONLY | flags);
  if (descriptor < 0) return temporary_failure(cause, size);
  // Removed only while this process holds the writer's lock itself, and only the file it holds; where
  // the file system has no locks, the caller has gone by the process number in the name.
  struct stat held;
  TEMPORARY_REMOVAL result = TEMPORARY_LEFT;
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && !locks_unsupported(errno))
    result = errno == EWOULDBLOCK ? TEMPORARY_LEFT : temporary_failure(cause, size);
  else if (fstat(descriptor, &held) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
    result = unlink(target) == 0 ? TEMPORARY_GONE : temporary_failure(cause, size);
  close(descriptor);
  return result;
}

bool file_exists(const FOLDER* folder, const char* name, INT_U8) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return false;
  return access(target, F_OK) == 0;
}

bool is_regular_file(const FOLDER* folder, const char* name) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return false;
  struct stat status;
  return lstat(target, &status) == 0 && S_ISREG(status.st_mode);
}

FILE_KIND get_file_kind(const FOLDER* folder, const char* name) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return FILE_KIND_UNKNOWN;
  struct stat status;
  if (stat(target, &status) != 0) return errno == ENOENT || errno == ENOTDIR ? FILE_KIND_NONE : FILE_KIND_UNKNOWN;
  if (S_ISREG(status.st_mode)) return FILE_KIND_FILE;
  if (S_ISDIR(status.st_mode)) return FILE_KIND_FOLDER;
  if (S_ISFIFO(status.st_mode)) return FILE_KIND_PIPE;
  if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return FILE_KIND_DEVICE;
  return FILE_KIND_OTHER;
}

static void fill_info(const struct stat& status, const char* name, FILE_INFO* info) {
  info->is_folder = S_ISDIR(status.st_mode) ? 1 : 0;
  info->hidden_or_system = name[0] == '.' ? 1 : 0;
  info->mode = (status.st_mode & S_IWUSR) ? (FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE) : FILE_INFO_READ_ONLY;
  info->size = static_cast<INT_U32>(status.st_size);
  info->time = static_cast<INT_U32>(status.st_mtime);
}

bool get_file_info(const FOLDER* folder, const char* name, FILE_INFO* info) {
  char target[HOST_PATH_SIZE];
  if (!info || !host_file_path(folder, name, target)) return false;
  struct stat status;
  if (stat(target, &status) != 0) return false;
  const char* leaf = strrchr(name, '/');
  fill_info(status, leaf ? leaf + 1 : name, info);
  return true;
}

bool set_file_attributes(const FOLDER* folder, const char* name, INT_U32 mode) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return false;
  struct stat status;
  if (stat(target, &status) != 0) return false;
  mode_t bits = status.st_mode & 07777;
  if (mode & FILE_INFO_WRITABLE)
    bits |= S_IWUSR;
  else
    bits &= ~(S_IWUSR | S_IWGRP | S_IWOTH);
  return chmod(target, bits) == 0;
}

// What the first bytes of a program are: a script's "#!" or an ELF image's magic.
static bool begins_as_program(const INT_U8* head, INT_U32 count) {
  return head && ((count >= 2 && head[0] == '#' && head[1] == '!') ||
                  (count >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F'));
}

bool mark_program_file(const FOLDER* folder, const char* name, bool always, const INT_U8* head, INT_U32 count) {
  // Most files are no programs: they cost no system call here.
  if (!always && !begins_as_program(head, count)) return true;
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return false;
  int descriptor = open(target, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return false;
  // Whoever may read the file may run it.
  struct stat status = {};
  bool ok = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
  mode_t bits = status.st_mode & 07777;
  if (ok) ok = fchmod(descriptor, bits | ((bits & 0444) >> 2)) == 0;
  close(descriptor);
  return ok;
}

// ---------------------------------------------------------------------------------------------------
// Directory scans
// ---------------------------------------------------------------------------------------------------

struct DIRECTORY_SCAN {
  DIR* handle;
  char name[1280];  // the system's text of any name of up to 255 bytes (five bytes a byte at most)
  FOLDER* folder;
  INT_U8 include_hidden;
  char pattern[256];
  INT_U32 match_mode;
  INT_U8 match_folders;
};

DIRECTORY_SCAN* open_directory_scan(FOLDER* folder, const char* pattern, INT_U8 include_hidden,
                                    INT_U32 match_mode, INT_U8 match_folders) {
  if (!folder || (pattern && strlen(pattern) > 255)) return nullptr;
  DIRECTORY_SCAN* scan = static_cast<DIRECTORY_SCAN*>(calloc(1, sizeof(DIRECTORY_SCAN)));
  if (!scan) return nullptr;
  char target[HOST_PATH_SIZE];
  scan->handle = host_path(folder->path, target) ? opendir(target) : nullptr;
  if (!scan->handle) {
    free(scan);
    return nullptr;
  }
  scan->folder = folder;
  scan->include_hidden = include_hidden;
  strcpy(scan->pattern, pattern ? pattern : "");
  scan->match_mode = match_mode;
  scan->match_folders = match_folders;
  return scan;
}

bool read_directory_scan(DIRECTORY_SCAN* scan, SCAN_ENTRY* entry) {
  if (!scan || !entry) return false;
  for (;;) {
    struct dirent* found = readdir(scan->handle);
    if (!found) return false;
    const char* host_name = found->d_name;
    if (strcmp(host_name, ".") == 0 || strcmp(host_name, "..") == 0) continue;
    if (host_name[0] == '.' && !scan->include_hidden) continue;
    if (!system_text(host_name, scan->name, sizeof scan->name)) continue;
    const char* name = scan->name;
    // A link reports what it points to, but a link to a directory is listed as a file: emptying a
    // folder then removes the link and never the contents of the folder it points to. Only a link
    // needs the second look.
    struct stat status;
    if (fstatat(dirfd(scan->handle), host_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    struct stat target;
    bool followed = S_ISLNK(status.st_mode) && fstatat(dirfd(scan->handle), host_name, &target, 0) == 0;
    if (followed && !S_ISDIR(target.st_mode)) status = target;  // a dangling link keeps its own
    INT_U8 is_folder = S_ISDIR(status.st_mode) ? 1 : 0;
    if (scan->pattern[0] && !(is_folder && !scan->match_folders) &&
        !scan_name_matches(name, scan->pattern, scan->match_mode))
      continue;
    fill_info(status, scan->name, entry);
    entry->folder = scan->folder;
    entry->name = scan->name;
    entry->is_linked_folder = followed && S_ISDIR(target.st_mode) ? 1 : 0;
    return true;
  }
}

void close_directory_scan(DIRECTORY_SCAN* scan) {
  if (!scan) return;
  if (scan->handle) closedir(scan->handle);
  free(scan);
}

// ---------------------------------------------------------------------------------------------------
// System folders and drives
// ---------------------------------------------------------------------------------------------------

// mkdir -p of an absolute path of the host.
static bool make_folders(const char* path_text) {
  char partial[HOST_PATH_SIZE];
  if (!copy_path(partial, path_text)) return false;
  // The first folder that cannot be made gives the cause.
  int failure = 0;
  for (char* cursor = partial + 1;; cursor++) {
    if (*cursor && *cursor != '/') continue;
    char separator = *cursor;
    *cursor = 0;
    if (mkdir(partial, 0777) != 0 && errno != EEXIST && !failure) failure = errno;
    *cursor = separator;
    if (!separator) break;
  }
  struct stat status;
  bool made = stat(partial, &status) == 0 && S_ISDIR(status.st_mode);
  if (!made && failure) errno = failure;
  return made;
}

// The base folder of a system folder kind as the host names it (HOST_PATH_SIZE bytes): an absolute XDG
// variable, else its default under $HOME.
static bool system_base_folder(INT_S32 kind, char* out) {
  const char* variable = nullptr;
  const char* home_default = nullptr;
  switch (kind) {
    case SYSTEM_FOLDER_PROGRAMS: home_default = "/.local/opt"; break;
    case SYSTEM_FOLDER_INSTALL_DATA:
    case SYSTEM_FOLDER_COMMON_DATA: variable = "XDG_DATA_HOME"; home_default = "/.local/share"; break;
    case SYSTEM_FOLDER_USER_DATA: variable = "XDG_STATE_HOME"; home_default = "/.local/state"; break;
    case SYSTEM_FOLDER_USER_PREFS: variable = "XDG_CONFIG_HOME"; home_default = "/.config"; break;
    case SYSTEM_FOLDER_TEMP: {
      const char* temp = getenv("TMPDIR");
      return copy_path(out, temp && temp[0] == '/' ? temp : "/tmp");
    }
    default: return false;
  }
  const char* value = variable ? getenv(variable) : nullptr;
  if (value && value[0] == '/') return copy_path(out, value);
  const char* home = getenv("HOME");
  if (!home || home[0] != '/') return false;
  int written = snprintf(out, HOST_PATH_SIZE, "%s%s", home, home_default);
  return written > 0 && written < (int)HOST_PATH_SIZE;
}

bool host_system_base_folder(INT_S32 kind, INT_U8 create, char* out) {
  char base[HOST_PATH_SIZE];
  if (!system_base_folder(kind, base)) return false;
  size_t length = strlen(base);
  while (length > 1 && base[length - 1] == '/') base[--length] = 0;
  return system_text(base, out, FOLDER_PATH_SIZE) && (FOLDER::is_folder(out) || (create && make_folders(base)));
}

INT_S32 get_drive_count() { return 1; }

const char* get_drive_root_text(INT_S16 index) { return index == 0 ? "/" : nullptr; }

INT_S16 get_drive_index(const FOLDER*) { return 0; }

INT_U8 get_disk_kind(const FOLDER*) { return 0; }

// ---------------------------------------------------------------------------------------------------
// Local time text
// ---------------------------------------------------------------------------------------------------

// Two digits of a number from 0 to 99.
static char* put_two_digits(char* out, int number) {
  *out++ = (char)('0' + number / 10 % 10);
  *out++ = (char)('0' + number % 10);
  return out;
}

bool host_local_time_text(INT_U32 seconds, char* out, size_t size) {
  if (!out || size < 1) return false;
  // ctime looks at the zone again on every call (with the C library here, a status call on the zone
  // file each time); a list of thousands of files sets the zone up once, and again when TZ changes.
  static char zone[256];
  static bool zone_set = false, zone_named = false;
  const char* tz = getenv("TZ");
  if (!zone_set || (tz != nullptr) != zone_named || (tz && strncmp(tz, zone, sizeof zone) != 0)) {
    tzset();
    zone_set = true;
    zone_named = tz != nullptr;
    // A name too long to keep is looked at again every time.
    if (tz && strlen(tz) < sizeof zone) strcpy(zone, tz);
    else zone_set = !tz;
  }
  time_t when = static_cast<time_t>(seconds);
  struct tm fields;
  if (!localtime_r(&when, &fields)) return false;
  if (fields.tm_wday < 0 || fields.tm_wday > 6 || fields.tm_mon < 0 || fields.tm_mon > 11) return false;
  // ctime's form: "Www Mmm dd hh:mm:ss yyyy", the day of the month padded with a space; the years of
  // 32-bit times have four digits.
  static const char days[] = "SunMonTueWedThuFriSat";
  static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  int year = 1900 + fields.tm_year;
  if (year < 1000 || year > 9999 || size < 25) return false;
  char* end = out;
  memcpy(end, days + 3 * fields.tm_wday, 3);
  end[3] = ' ';
  memcpy(end + 4, months + 3 * fields.tm_mon, 3);
  end[7] = ' ';
  end = put_two_digits(end + 8, fields.tm_mday);
  if (fields.tm_mday < 10) end[-2] = ' ';
  *end++ = ' ';
  end = put_two_digits(end, fields.tm_hour);
  *end++ = ':';
  end = put_two_digits(end, fields.tm_min);
  *end++ = ':';
  end = put_two_digits(end, fields.tm_sec);
  *end++ = ' ';
  end = put_two_digits(put_two_digits(end, year / 100), year % 100);
  *end = 0;
  return true;
}

void forget_file_failure() { errno = 0; }

INT_U32 file_failure_code() { return (INT_U32)errno; }

void restore_file_failure(INT_U32 code) { errno = (int)code; }

void describe_file_failure(char* out, size_t size) {
  if (!out || size == 0) return;
  out[0] = 0;
  if (errno != 0) std::snprintf(out, size, "%s", std::strerror(errno));
}
