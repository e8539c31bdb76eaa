// Linux host layer: folders and their walk: the run's private folder, removing a folder's tree from its
// own descriptor, temporaries that ended runs left, the hold of a folder, and directory scans.
#include "files_host.h"
#include "file_utils.h"
#include "host_names.h"
#include "velk_string.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// ---------------------------------------------------------------------------------------------------
// The run's private folder
// ---------------------------------------------------------------------------------------------------

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
// Removing folders and temporaries
// ---------------------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------------------
// Holding a folder
// ---------------------------------------------------------------------------------------------------

// A lock (flock) on the file FOLDER_HOLD_NAME of the folder, opened for writing: only a process that
// can write the folder makes the file, and it is made open to its user alone, so no process that could
// not install there opens it to lock it. The kernel keeps the lock on the file whatever path, mount or
// namespace leads to it, and drops it with the process. The file is removed while its lock is held: a
// process that locks a file no longer at the name holds nothing, and tries again.
struct FOLDER_HOLD {
  int folder, file;
};

// What the file at the name is, when it is not a hold that this process may take: its cause, else null.
static const char* not_a_hold(const struct stat& file, const struct stat& folder) {
  if (S_ISLNK(file.st_mode)) return "is a link";
  if (S_ISDIR(file.st_mode)) return "is a folder";
  if (!S_ISREG(file.st_mode)) return "is not a plain file";
  if (file.st_nlink > 1) return "has other names (hard links)";
  if (file.st_mode & 077) return "may be opened by other users";
  // Its owner made it there: this user, the system's, or one whom the folder lets write.
  if (file.st_uid != geteuid() && file.st_uid != 0 && file.st_uid != folder.st_uid &&
      !(folder.st_mode & (S_IWGRP | S_IWOTH)))
    return "is of a user who cannot write the folder";
  return nullptr;
}

// The running process that the held file names (0 for none), and whether it is stopped.
static void read_holder(int file, FOLDER_HOLDER* holder) {
  char text[32];
  ssize_t count = pread(file, text, sizeof text - 1, 0);
  text[count > 0 ? count : 0] = 0;
  char* end = nullptr;
  unsigned long number = strtoul(text, &end, 10);
  if (end == text || *end != '\n' || number == 0 || number > 0x7FFFFFFF ||
      (kill((pid_t)number, 0) != 0 && errno != EPERM))
    return;
  holder->process = (INT_U32)number;
  // The state follows the last ')' of the process's status line.
  char path[64], status[512];
  snprintf(path, sizeof path, "/proc/%lu/stat", number);
  int stat_file = open(path, O_RDONLY | O_CLOEXEC);
  if (stat_file < 0) return;
  ssize_t length = read(stat_file, status, sizeof status - 1);
  close(stat_file);
  status[length > 0 ? length : 0] = 0;
  const char* closing = strrchr(status, ')');
  holder->stopped = closing && closing[1] == ' ' && (closing[2] == 'T' || closing[2] == 't');
}

static void name_taken(FOLDER_HOLDER* holder, const char* cause) {
  holder->refusal = FOLDER_HOLD_NAME_TAKEN;
  snprintf(holder->cause, sizeof holder->cause, "%s", cause);
}

// Whether the file open is the one at the hold's name of the folder.
static bool at_the_name(int folder, int file) {
  struct stat named, opened;
  return fstatat(folder, FOLDER_HOLD_NAME, &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(file, &opened) == 0 &&
         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

FOLDER_HOLD* hold_folder(const FOLDER* folder, FOLDER_HOLDER* holder) {
  *holder = FOLDER_HOLDER();
  char path[HOST_PATH_SIZE];
  if (!folder || !host_path(folder->path, path)) return nullptr;
  // Opened as a place only: a folder that this process may enter and write but not list is held too.
  int folder_file = open(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat folder_status;
  if (folder_file < 0 || fstat(folder_file, &folder_status) != 0) {
    if (folder_file >= 0) close(folder_file);
    return nullptr;
  }
  // The holder that finishes removes the file between a look at it and its lock: a few rounds.
  for (int round = 0; round < 100; round++) {
    // Only a plain file or nothing is opened (a device or a pipe never is), and never through a link.
    struct stat named;
    bool found = fstatat(folder_file, FOLDER_HOLD_NAME, &named, AT_SYMLINK_NOFOLLOW) == 0;
    const char* cause = found ? not_a_hold(named, folder_status) : nullptr;
    if (cause) {
      name_taken(holder, cause);
      break;
    }
    int file = openat(folder_file, FOLDER_HOLD_NAME, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (file < 0) {
      int error = errno;
      if (fstatat(folder_file, FOLDER_HOLD_NAME, &named, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT && found) continue;  // gone meanwhile
        break;  // not made: this process cannot write the folder, and installs nothing there
      }
      if (error == ELOOP || (cause = not_a_hold(named, folder_status))) {
        name_taken(holder, error == ELOOP ? "is a link" : cause);
      } else if ((error == EACCES || error == EPERM) && named.st_uid != geteuid()) {
        // Another user's, open to that user alone: this one cannot tell whether it is held.
        char said[160];
        snprintf(said, sizeof said, "is of another user (%lu) and cannot be opened (%s)", (unsigned long)named.st_uid,
                 strerror(error));
        name_taken(holder, said);
      }
      break;
    }
    struct stat opened;
    if (fstat(file, &opened) != 0 || (cause = not_a_hold(opened, folder_status))) {
      close(file);
      if (cause) name_taken(holder, cause);
      break;
    }
    if (flock(file, LOCK_EX | LOCK_NB) != 0) {
      int error = errno;
      if (error == EWOULDBLOCK && at_the_name(folder_file, file)) {
        holder->refusal = FOLDER_HOLD_HELD;
        // The holder writes its number right after it takes the lock.
        for (int look = 0; look < 20 && !holder->process; look++) {
          if (look) usleep(5000);
          read_holder(file, holder);
        }
        close(file);
        break;
      }
      close(file);
      if (error == EWOULDBLOCK) continue;
      // A file system that takes no lock: the file this process made goes, and no hold is had.
      if (!found && opened.st_size == 0) unlinkat(folder_file, FOLDER_HOLD_NAME, 0);
      break;
    }
    // A file that its last holder removed as this process opened it is held by no one else.
    if (!at_the_name(folder_file, file)) {
      close(file);
      continue;
    }
    char number[24];
    int length = snprintf(number, sizeof number, "%ld\n", (long)getpid());
    if (ftruncate(file, 0) != 0 || pwrite(file, number, (size_t)length, 0) != length) {
      // The hold stands all the same: the number only lets another run name its holder.
    }
    return new FOLDER_HOLD{folder_file, file};
  }
  close(folder_file);
  return nullptr;
}

void release_folder(FOLDER_HOLD* hold) {
  if (!hold) return;
  // Removed while it is held, and only while the name is still its own.
  if (at_the_name(hold->folder, hold->file)) unlinkat(hold->folder, FOLDER_HOLD_NAME, 0);
  close(hold->file);
  close(hold->folder);
  delete hold;
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
