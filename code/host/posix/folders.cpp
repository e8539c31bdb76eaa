// Linux host layer: folders and their walk: the run's private folder, removing a folder's tree from its
// own descriptor, temporaries that ended runs left, the hold of a folder, and directory scans.
#include "files_host.h"
#include "file_utils.h"
#include "host_names.h"
#include "host_private.h"
#include "velk_string.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

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

// A lock (flock) on the file FOLDER_HOLD_NAME of the folder, which the holder made anew (O_EXCL) open to
// its user alone, so that no other user opens it to lock it: the kernel keeps the lock on the file
// whatever path, mount or namespace leads to it, and drops it with the process. The file is removed while
// its lock is held: a process that locks a file no longer at the name holds nothing, and looks again.
//
// What has the name already is judged by whose it is and whose lock it has, never by its mode (a file
// system whose modes and owners the mount fixes reports one mode for every file, whatever was asked): a
// lock of a user who could remove the installation's files holds the folder; a file that no such user's
// process locks gives its place to one of this process's own. That one, made under a temporary name,
// locked and with its number in it, takes the name by an exchange of the two names, after which what
// came out is removed only when it is what was judged: no other run that takes the name meanwhile is
// split from its hold. A file that this process cannot open is judged by the system's list of locks;
// where the list cannot tell (it leaves out the locks of other process namespaces), it is not taken.
struct FOLDER_HOLD {
  int folder, file;
};

namespace {

// How one look at the hold's name ended: held; to be looked at again (the name changed meanwhile); or
// over (refused, or no hold to be had: the holder says which).
enum HOLD_ROUND { HOLD_TAKEN, HOLD_AGAIN, HOLD_OVER };

// The folder being held, as the hold sees it.
struct HOLD_LOOK {
  int folder;            // open as a place
  struct stat status;    // as its file system reports it
  uid_t user;            // this process's (effective) user
  FOLDER_HOLDER* holder;
};

// What the system's list of locks says of a file.
enum LISTED_LOCK { LOCK_NONE, LOCK_HELD, LOCK_UNTOLD };

// What a user found at the name is, for the refusal's words.
enum FOUND_AS { FOUND_OUTSIDERS, FOUND_LEFT, FOUND_UNTOLD };

}  // namespace

// The mode and owner that the file system reports of an entry, as a test may tell them otherwise.
static void as_told(struct stat* status) {
  const TEST_SEAM_FILE_SYSTEM& told = test_seam_told_file_system;
  if (told.mode >= 0) status->st_mode = (status->st_mode & S_IFMT) | (mode_t)(told.mode & 07777);
  if (told.owner >= 0) status->st_uid = (uid_t)told.owner;
}

// What has the name in the folder (a link as itself); false, errno set, when nothing can be looked at.
static bool entry_status(int folder, const char* name, struct stat* status) {
  if (fstatat(folder, name, status, AT_SYMLINK_NOFOLLOW) != 0) return false;
  as_told(status);
  return true;
}

static int lock_hold_file(int file) {
  if (test_seam_told_file_system.no_locks) {
    errno = ENOLCK;
    return -1;
  }
  return flock(file, LOCK_EX | LOCK_NB);
}

// Exchanges the entry name of the folder with the hold's name.
static int exchange_with_hold(int folder, const char* name) {
  if (test_seam_told_file_system.no_exchange) {
    errno = EINVAL;
    return -1;
  }
  return renameat2(folder, name, folder, FOLDER_HOLD_NAME, RENAME_EXCHANGE);
}

static void hold_step(TEST_SEAM_HOLD_STEP step) {
  if (test_seam_hold_step) test_seam_hold_step(step);
}

static bool same_inode(const struct stat& one, const struct stat& other) {
  return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// Whether the file open is the entry name of the folder.
static bool at_name(int folder, const char* name, int file) {
  struct stat named, opened;
  return fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && fstat(file, &opened) == 0 &&
         same_inode(named, opened);
}

// The user's name, or its number where it has none, into out (size bytes).
static void user_text(uid_t user, char* out, size_t size) {
  struct passwd entry, *found = nullptr;
  char buffer[2048];
  if (getpwuid_r(user, &entry, buffer, sizeof buffer, &found) == 0 && found)
    snprintf(out, size, "%s", found->pw_name);
  else
    snprintf(out, size, "%lu", (unsigned long)user);
}

// Whether the user belongs to the group, as its own group or one of its others, by the system's records.
static bool in_group(uid_t user, gid_t group) {
  struct passwd entry, *found = nullptr;
  char buffer[2048];
  if (getpwuid_r(user, &entry, buffer, sizeof buffer, &found) != 0 || !found) return false;
  if (found->pw_gid == group) return true;
  std::vector<gid_t> groups(64);
  int count = (int)groups.size();
  if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
    groups.resize((size_t)count);
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) return false;
  }
  for (int i = 0; i < count; i++)
    if (groups[(size_t)i] == group) return true;
  return false;
}

// Whether the user could remove the installation's files from the folder anyway: root, the folder's
// owner, this process's user and, where the folder is not sticky, whoever may write it (every user where
// all may, the members of its group where they may). Only such a user keeps a run out of the folder.
static bool could_remove_installation(uid_t user, const HOLD_LOOK& look) {
  const struct stat& folder = look.status;
  if (user == 0 || user == folder.st_uid || user == look.user) return true;
  if (folder.st_mode & S_ISVTX) return false;
  if (folder.st_mode & S_IWOTH) return true;
  return (folder.st_mode & S_IWGRP) && in_group(user, folder.st_gid);
}

// Whether the system's list of locks is whole: in a process namespace below the system's first (whose
// number is fixed) it lists the locks of that namespace's processes alone.
static bool lock_list_whole() {
  struct stat own;
  return stat("/proc/self/ns/pid", &own) == 0 && own.st_ino == 0xEFFFFFFCu;
}

// Whether a process holds a lock on the file (its device and number), by the system's list of locks:
// LOCK_HELD with the process's number; LOCK_NONE; LOCK_UNTOLD where the list cannot tell: it cannot be
// read, it lists the file's number on another device (an overlay or a subvolume reports its own device,
// not the lock's) or a lock of no process here, or it lists nothing but is not whole.
static LISTED_LOCK listed_lock(const struct stat& file, pid_t* process) {
  *process = 0;
  FILE* list = test_seam_told_file_system.no_lock_list ? nullptr : fopen("/proc/locks", "re");
  if (!list) return LOCK_UNTOLD;
  LISTED_LOCK seen = LOCK_NONE;
  char line[256];
  while (seen != LOCK_HELD && fgets(line, sizeof line, list)) {
    // "1: FLOCK  ADVISORY  WRITE 4242 fe:00:10953473 0 EOF"; a process that waits for a lock has "->"
    // after the first number, and its line does not read so.
    char kind[16], mode[16], access[16];
    long holder = 0;
    unsigned device_major = 0, device_minor = 0;
    unsigned long long inode = 0;
    if (sscanf(line, "%*d: %15s %15s %15s %ld %x:%x:%llu", kind, mode, access, &holder, &device_major, &device_minor,
               &inode) != 7 ||
        inode != (unsigned long long)file.st_ino)
      continue;
    if (makedev(device_major, device_minor) == file.st_dev && holder > 0) {
      *process = (pid_t)holder;
      seen = LOCK_HELD;
    } else {
      seen = LOCK_UNTOLD;
    }
  }
  fclose(list);
  return seen == LOCK_NONE && !lock_list_whole() ? LOCK_UNTOLD : seen;
}

// The effective user of a running process, from its status; false when it cannot be read.
static bool process_user(pid_t process, uid_t* user) {
  char path[64], line[256];
  snprintf(path, sizeof path, "/proc/%ld/status", (long)process);
  FILE* status = fopen(path, "re");
  if (!status) return false;
  unsigned long real = 0, effective = 0;
  bool found = false;
  while (!found && fgets(line, sizeof line, status)) found = sscanf(line, "Uid: %lu %lu", &real, &effective) == 2;
  fclose(status);
  if (found) *user = (uid_t)effective;
  return found;
}

// The list of locks' word on the file, where a lock of a user who could not remove the installation's
// files counts as none: it holds nothing against this run.
static LISTED_LOCK insiders_lock(const HOLD_LOOK& look, const struct stat& file, pid_t* locker) {
  LISTED_LOCK seen = listed_lock(file, locker);
  uid_t user = 0;
  if (seen == LOCK_HELD && process_user(*locker, &user) && !could_remove_installation(user, look)) return LOCK_NONE;
  return seen;
}

// The process number that a hold's file holds (0 for none).
static pid_t written_number(int file) {
  char text[32];
  ssize_t count = pread(file, text, sizeof text - 1, 0);
  text[count > 0 ? count : 0] = 0;
  char* end = nullptr;
  unsigned long number = strtoul(text, &end, 10);
  return end == text || *end != '\n' || number > 0x7FFFFFFF ? 0 : (pid_t)number;
}

static bool process_runs(pid_t process) { return process > 0 && (kill(process, 0) == 0 || errno == EPERM); }

// Whether the process is stopped: its state follows the last ')' of its status line.
static bool process_stopped(pid_t process) {
  char path[64], status[512];
  snprintf(path, sizeof path, "/proc/%ld/stat", (long)process);
  int stat_file = open(path, O_RDONLY | O_CLOEXEC);
  if (stat_file < 0) return false;
  ssize_t length = read(stat_file, status, sizeof status - 1);
  close(stat_file);
  status[length > 0 ? length : 0] = 0;
  const char* closing = strrchr(status, ')');
  return closing && closing[1] == ' ' && (closing[2] == 'T' || closing[2] == 't');
}

static void write_number(int file) {
  char number[24];
  int length = snprintf(number, sizeof number, "%ld\n", (long)getpid());
  if (pwrite(file, number, (size_t)length, 0) != length) {
    // The hold stands all the same: the number only lets another run name its holder.
  }
}

// The holder of a hold found held, for the refusal. The process that the system lists as holding its
// lock (locker, 0 where it lists none) is known as an installation's where the file names it (another
// user's file that this process cannot read, file -1: where it is the file's owner's process); where the
// list names none, the number that the file holds is, where this user wrote it and that process runs. A
// number that another user wrote is never taken at its word.
static void name_holder(const HOLD_LOOK& look, int file, const struct stat& named, pid_t locker) {
  FOLDER_HOLDER* holder = look.holder;
  holder->refusal = FOLDER_HOLD_HELD;
  // The holder writes its number right after it takes the lock.
  pid_t number = 0;
  for (int tries = 0; tries < 20 && file >= 0 && !number; tries++) {
    if (tries) usleep(5000);
    number = written_number(file);
  }
  uid_t user = named.st_uid;
  pid_t process = 0;
  if (locker > 0) {
    uid_t locker_user = 0;
    bool known = process_user(locker, &locker_user);
    if (known) user = locker_user;
    if (file >= 0 ? number == locker : known && locker_user == named.st_uid) process = locker;
  } else if (named.st_uid == look.user && process_runs(number)) {
    process = number;
  }
  if (!process) return;
  holder->process = (INT_U32)process;
  holder->stopped = process_stopped(process);
  if (user != look.user) user_text(user, holder->user, sizeof holder->user);
}

static void name_taken(FOLDER_HOLDER* holder, const char* cause) {
  holder->refusal = FOLDER_HOLD_NAME_TAKEN;
  snprintf(holder->cause, sizeof holder->cause, "%s", cause);
}

// Who may remove an entry of owner from the folder: in a sticky folder its owner, the folder's and root;
// elsewhere whoever may write the folder.
static std::string who_may_remove(uid_t owner, const HOLD_LOOK& look) {
  uid_t folder_owner = look.status.st_uid;
  if (!(look.status.st_mode & S_ISVTX)) return "whoever may write the folder may remove it";
  char name[40];
  user_text(folder_owner, name, sizeof name);
  if (owner == 0) return folder_owner == 0 ? "root may remove it" : std::string("root or the folder's owner (") + name + ") may remove it";
  if (folder_owner == 0 || folder_owner == owner) return "its owner or root may remove it";
  return std::string("its owner, the folder's owner (") + name + ") or root may remove it";
}

// Another user's entry at the hold's name (named) that this process may not take, as the refusal says
// it: whose it is, what is known of it, and who may remove it. error: why it could not be opened, or
// given up.
static void not_taken(const HOLD_LOOK& look, const struct stat& named, FOUND_AS found, int error) {
  char owner[40];
  user_text(named.st_uid, owner, sizeof owner);
  std::string cause = std::string(S_ISDIR(named.st_mode) ? "is a folder of user " : "is of user ") + owner;
  std::string why = error == EINVAL || error == ENOSYS ? "this file system cannot exchange it for another"
                                                       : std::string("this user may not remove it (") + strerror(error) + ")";
  if (found == FOUND_OUTSIDERS)
    cause += ", who may not remove this installation's files" + (S_ISDIR(named.st_mode) ? std::string() : ", and " + why);
  else if (found == FOUND_LEFT)
    cause += ", left by a run that has ended (no run holds it), and " + why;
  else
    cause += std::string(" and cannot be opened (") + strerror(error) + "), so whether a run holds it cannot be told";
  cause += (found == FOUND_UNTOLD ? ": where none does, " : ": ") + who_may_remove(named.st_uid, look);
  look.holder->refusal = FOLDER_HOLD_NOT_TAKEN;
  snprintf(look.holder->cause, sizeof look.holder->cause, "%s", cause.c_str());
}

// Makes this process's own file for the hold under a new temporary name (name, TEMPORARY_NAME_SIZE
// bytes), locked and with its number in it: its descriptor, or -1 when none can be had (the folder
// cannot be written, or its file system takes no lock), and then nothing of it stays.
static int make_own_file(int folder, char* name) {
  int file = -1;
  for (int tries = 0; tries < 16 && file < 0; tries++) {
    next_temporary_name(name);
    file = openat(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file < 0 && errno != EEXIST) return -1;
    if (file < 0) note_temporary_taken(name);
  }
  if (file < 0) return -1;
  if (lock_hold_file(file) != 0) {
    unlinkat(folder, name, 0);
    close(file);
    return -1;
  }
  write_number(file);
  return file;
}

// Gives the hold's name to a file of this process's own in place of what was found there (named), which
// then goes: the two exchange names, and what came out is removed when it is what was judged (and, with
// recheck, where the list of locks judged it, still listed as held by no one who could remove the
// installation's files); otherwise what came out goes back while the name is still this process's file,
// and the name is looked at again. locked: what was found, open and locked by this process, or -1. Where
// the file system exchanges no names, only such a file is replaced, by a plain rename: nothing else takes
// its place meanwhile, as whoever would takes its lock first. outsiders: what was found is of a user who
// could not remove the installation's files (for the refusal's words).
static HOLD_ROUND take_place(const HOLD_LOOK& look, const struct stat& named, int locked, bool recheck, bool outsiders,
                             int* held) {
  char own_name[TEMPORARY_NAME_SIZE];
  int own = make_own_file(look.folder, own_name);
  if (own < 0) return HOLD_OVER;  // no hold: this process installs nothing there, or goes on without
  hold_step(HOLD_STEP_EXCHANGE);
  if (exchange_with_hold(look.folder, own_name) == 0) {
    struct stat out;
    pid_t locker = 0;
    if (fstatat(look.folder, own_name, &out, AT_SYMLINK_NOFOLLOW) == 0 && same_inode(out, named) &&
        (!recheck || insiders_lock(look, out, &locker) == LOCK_NONE)) {
      unlinkat(look.folder, own_name, 0);
      *held = own;
      return HOLD_TAKEN;
    }
    // Not what was judged, or held meanwhile: it goes back while the name is still this process's.
    if (at_name(look.folder, FOLDER_HOLD_NAME, own)) exchange_with_hold(look.folder, own_name);
    if (at_name(look.folder, own_name, own)) unlinkat(look.folder, own_name, 0);
    close(own);
    return HOLD_AGAIN;
  }
  int error = errno;
  bool renamed = false;
  if (locked >= 0 && (error == EINVAL || error == ENOSYS || error == EPERM)) {
    renamed = renameat(look.folder, own_name, look.folder, FOLDER_HOLD_NAME) == 0;
    if (!renamed) error = errno;
  }
  if (renamed && at_name(look.folder, FOLDER_HOLD_NAME, own)) {
    *held = own;
    return HOLD_TAKEN;
  }
  if (!renamed) unlinkat(look.folder, own_name, 0);
  close(own);
  if (renamed || error == ENOENT) return HOLD_AGAIN;
  not_taken(look, named, outsiders ? FOUND_OUTSIDERS : FOUND_LEFT, error);
  return HOLD_OVER;
}

// Makes the hold's file where nothing has the name.
static HOLD_ROUND make_new(const HOLD_LOOK& look, int* held) {
  int file = openat(look.folder, FOLDER_HOLD_NAME, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  // Not made: something has the name by now, or this process cannot write the folder (and installs
  // nothing there).
  if (file < 0) return errno == EEXIST ? HOLD_AGAIN : HOLD_OVER;
  hold_step(HOLD_STEP_MADE);
  if (lock_hold_file(file) == 0) {
    if (at_name(look.folder, FOLDER_HOLD_NAME, file)) {
      write_number(file);
      *held = file;
      return HOLD_TAKEN;
    }
    close(file);  // a run that judged it no hold took its place meanwhile
    return HOLD_AGAIN;
  }
  int error = errno;
  // Not held, the file that this process made goes: another run locked it first, to take its place; or
  // the file system takes no lock, and there is no hold.
  if (at_name(look.folder, FOLDER_HOLD_NAME, file)) unlinkat(look.folder, FOLDER_HOLD_NAME, 0);
  close(file);
  return error == EWOULDBLOCK ? HOLD_AGAIN : HOLD_OVER;
}

// What is at the name that is no plain file of one name: its cause, else null.
static const char* no_plain_file(const struct stat& found) {
  if (S_ISLNK(found.st_mode)) return "is a link";
  if (S_ISDIR(found.st_mode)) return "is a folder";
  if (!S_ISREG(found.st_mode)) return "is not a plain file";
  if (found.st_nlink > 1) return "has other names (hard links)";
  return nullptr;
}

// Judges another user's file at the hold's name that this process cannot open (error says why) by the
// system's list of locks: held by a process of a user who could remove the installation's files, it
// holds the folder; held by none, a run's that has ended, it gives its place; where the list cannot
// tell, it is not taken.
static HOLD_ROUND judge_unopened(const HOLD_LOOK& look, const struct stat& named, int error, int* held) {
  pid_t locker = 0;
  LISTED_LOCK seen = insiders_lock(look, named, &locker);
  if (seen == LOCK_NONE) return take_place(look, named, -1, true, false, held);
  if (seen == LOCK_HELD) name_holder(look, -1, named, locker);
  else not_taken(look, named, FOUND_UNTOLD, error);
  return HOLD_OVER;
}

// Judges what has the hold's name (named), and takes its place where it holds nothing against this run.
static HOLD_ROUND judge_found(const HOLD_LOOK& look, const struct stat& named, int* held) {
  const char* kind = no_plain_file(named);
  bool outsiders = !could_remove_installation(named.st_uid, look);
  if (kind && !outsiders) {
    name_taken(look.holder, kind);
    return HOLD_OVER;
  }
  // What a user left who could not remove the installation's files holds nothing, locked or not; a
  // folder of theirs, which may hold what is theirs, is theirs to remove.
  if (outsiders && S_ISDIR(named.st_mode)) {
    not_taken(look, named, FOUND_OUTSIDERS, 0);
    return HOLD_OVER;
  }
  if (outsiders) return take_place(look, named, -1, false, true, held);
  // Opened for writing where it can be: a network file system gives the lock only to a writer.
  const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int file = openat(look.folder, FOLDER_HOLD_NAME, O_RDWR | flags);
  if (file < 0 && errno == EACCES) file = openat(look.folder, FOLDER_HOLD_NAME, O_RDONLY | flags);
  if (file < 0) {
    int error = errno;
    if (error == ENOENT || error == ELOOP) return HOLD_AGAIN;  // gone, or replaced, meanwhile
    return error == EACCES || error == EPERM ? judge_unopened(look, named, error, held) : HOLD_OVER;
  }
  struct stat opened;
  if (fstat(file, &opened) != 0 || !same_inode(opened, named)) {
    close(file);
    return HOLD_AGAIN;
  }
  hold_step(HOLD_STEP_OPENED);
  HOLD_ROUND round = HOLD_OVER;
  pid_t locker = 0;
  if (lock_hold_file(file) == 0) {
    // A file that its last holder removed as this process opened it is held by no one else.
    round = at_name(look.folder, FOLDER_HOLD_NAME, file) ? take_place(look, named, file, false, false, held) : HOLD_AGAIN;
  } else if (errno == EWOULDBLOCK) {
    LISTED_LOCK seen = LOCK_UNTOLD;
    if (!at_name(look.folder, FOLDER_HOLD_NAME, file))
      round = HOLD_AGAIN;  // its holder removed it, and ends
    else if ((seen = insiders_lock(look, named, &locker)) == LOCK_NONE)
      round = take_place(look, named, -1, true, false, held);  // locked by one who could not remove the files
    else
      name_holder(look, file, named, seen == LOCK_HELD ? locker : 0);
  }
  // Else the file system takes no lock: there is no hold, and what has the name stays.
  close(file);
  return round;
}

FOLDER_HOLD* hold_folder(const FOLDER* folder, FOLDER_HOLDER* holder) {
  *holder = FOLDER_HOLDER();
  char path[HOST_PATH_SIZE];
  if (!folder || !host_path(folder->path, path)) return nullptr;
  // Opened as a place only: a folder that this process may enter and write but not list is held too.
  HOLD_LOOK look = {open(path, O_PATH | O_DIRECTORY | O_CLOEXEC), {}, geteuid(), holder};
  if (look.folder < 0) return nullptr;
  if (fstat(look.folder, &look.status) != 0) {
    close(look.folder);
    return nullptr;
  }
  as_told(&look.status);
  // The name changes while it is looked at (a holder ends, another run takes its place): a few rounds,
  // and a name that changes at every one is held.
  int held = -1;
  HOLD_ROUND round = HOLD_AGAIN;
  for (int rounds = 0; rounds < 100 && round == HOLD_AGAIN; rounds++) {
    struct stat named;
    if (entry_status(look.folder, FOLDER_HOLD_NAME, &named)) round = judge_found(look, named, &held);
    else round = errno == ENOENT ? make_new(look, &held) : HOLD_OVER;
  }
  if (round == HOLD_TAKEN) return new FOLDER_HOLD{look.folder, held};
  if (round == HOLD_AGAIN) holder->refusal = FOLDER_HOLD_HELD;
  close(look.folder);
  return nullptr;
}

void release_folder(FOLDER_HOLD* hold) {
  if (!hold) return;
  // Removed while it is held, and only while the name is still its own.
  if (at_name(hold->folder, FOLDER_HOLD_NAME, hold->file)) unlinkat(hold->folder, FOLDER_HOLD_NAME, 0);
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
