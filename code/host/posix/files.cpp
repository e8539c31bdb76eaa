// Linux host layer: files and their names. Paths use '/'; the system's 8-bit text becomes UTF-8 on its
// way to the file system and comes back from it through system_text.
#include "files_host.h"
#include "file_utils.h"
#include "host_names.h"
#include "velk_string.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

// The flag of a rename that never replaces, where the C library's headers do not name it.
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

// ---------------------------------------------------------------------------------------------------
// Path building: the system's paths (8-bit text, FOLDER_PATH_SIZE bytes) become UTF-8 paths here and
// only here, and names and paths from the file system come back through system_text. One that does
// not fit fails.
// ---------------------------------------------------------------------------------------------------

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

bool locks_unsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
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
// File operations
// ---------------------------------------------------------------------------------------------------

bool delete_file(const FOLDER* folder, const char* name) {
  char target[HOST_PATH_SIZE];
  if (!host_file_path(folder, name, target)) return false;
  return unlink(target) == 0;
}

// Moves source to a target that nothing has, in one step with the look at it: false with EEXIST when
// something has it (a file, a folder, a link that leads nowhere).
static bool rename_if_free(const char* source, const char* target) {
  // The system call itself: the C library may lack a function for it.
  static bool kernel_lacks = false;
  if (!kernel_lacks) {
    if (syscall(SYS_renameat2, AT_FDCWD, source, AT_FDCWD, target, RENAME_NOREPLACE) == 0) return true;
    // ENOSYS: a kernel without it; EINVAL: a file system without it; EPERM: a filter of system calls
    // (a sandbox's) that refuses calls it does not know.
    if (errno == ENOSYS) kernel_lacks = true;
    else if (errno != EINVAL && errno != EPERM) return false;
  }
  // A second name, which cannot be made where something has it, then the source's own name goes. (A
  // process killed in between leaves the file under both names: a temporary's, a later run's removal
  // of leftovers takes away as a name alone.)
  if (link(source, target) == 0) {
    unlink(source);
    return true;
  }
  if (errno == EEXIST) return false;
  // A file system with neither (no hard links): there the look and the move are two steps.
  struct stat status;
  if (lstat(target, &status) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(source, target) == 0;
}

bool rename_file(const FOLDER* from, const char* from_name, const FOLDER* to, const char* to_name) {
  char source[HOST_PATH_SIZE], target[HOST_PATH_SIZE];
  if (!host_file_path(from, from_name, source) || !host_file_path(to, to_name, target)) return false;
  // As on Windows, a rename never replaces what has the name, also what comes there meanwhile.
  return rename_if_free(source, target);
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

bool rename_open_file(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name, bool replace) {
  // A name leads to the file only while it is there: the open stream is the file whatever its name.
  if (!file || fflush(file) != 0) return false;
  return replace ? replace_file(folder, from_name, to_name) : rename_file(folder, from_name, folder, to_name);
}

// The closed temporary source takes the name where nothing has it, or where what has it is to be
// replaced (close_file_as_if_free); the keeper holds its lock meanwhile.
static CLOSE_AS_RESULT place_if_free(const FOLDER* folder, const char* from_name, const char* to_name,
                                     INT_S64 older_than, int keeper) {
  char source[HOST_PATH_SIZE], target[HOST_PATH_SIZE];
  if (!host_file_path(folder, from_name, source) || !host_file_path(folder, to_name, target)) return CLOSE_AS_FAILED;
  if (rename_if_free(source, target)) return CLOSE_AS_PLACED;
  if (errno != EEXIST) return CLOSE_AS_FAILED;
  FILE_INFO info;
  if (!get_file_info(folder, to_name, &info) || info.time < older_than)
    return rename(source, target) == 0 ? CLOSE_AS_PLACED : CLOSE_AS_FAILED;
  remove_own_name(source, keeper);
  errno = EEXIST;
  return CLOSE_AS_NAME_KEPT;
}

// close_file_as, or close_file_as_if_free with if_free. The stream is closed first: a close can still
// report a write that was lost (on a network file system), and a file that lost one never takes the
// name. A second descriptor of the open file keeps its lock until it has the name or its temporary name
// is gone, so that no other run takes it for a dead run's in between.
static CLOSE_AS_RESULT close_and_name(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name,
                                      bool if_free, INT_S64 older_than) {
  if (!file) return CLOSE_AS_FAILED;
  int keeper = fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
  CLOSE_AS_RESULT result = CLOSE_AS_FAILED;
  if (close_file(file) && keeper >= 0) {
    if (if_free) result = place_if_free(folder, from_name, to_name, older_than, keeper);
    else if (replace_file(folder, from_name, to_name)) result = CLOSE_AS_PLACED;
  }
  int error = errno;
  if (keeper >= 0) close(keeper);
  errno = error;
  return result;
}

bool close_file_as(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name) {
  return close_and_name(file, folder, from_name, to_name, false, EARLIEST_FILE_TIME) == CLOSE_AS_PLACED;
}

CLOSE_AS_RESULT close_file_as_if_free(FILE* file, const FOLDER* folder, const char* from_name, const char* to_name,
                                      INT_S64 older_than) {
  return close_and_name(file, folder, from_name, to_name, true, older_than);
}

INT_U32 host_process_id() { return (INT_U32)getpid(); }

INT_U32 host_random_number() {
  INT_U32 number = 0;
  if (getrandom(&number, sizeof number, GRND_NONBLOCK) == (ssize_t)sizeof number) return number;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (INT_U32)now.tv_nsec ^ ((INT_U32)now.tv_sec << 20) ^ ((INT_U32)getpid() * 0x9E3779B9u);
}

bool host_process_running(INT_U32 id) {
  // Numbers past the largest pid_t would name process groups.
  if (id == 0 || id > 0x7FFFFFFFu) return false;
  return kill((pid_t)id, 0) == 0 || errno == EPERM;
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

void fill_info(const struct stat& status, const char* name, FILE_INFO* info) {
  info->is_folder = S_ISDIR(status.st_mode) ? 1 : 0;
  info->hidden_or_system = name[0] == '.' ? 1 : 0;
  info->mode = (status.st_mode & S_IWUSR) ? (FILE_INFO_READ_ONLY | FILE_INFO_WRITABLE) : FILE_INFO_READ_ONLY;
  info->size = static_cast<INT_U32>(status.st_size);
  info->time = static_cast<INT_S64>(status.st_mtime);
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
// Local time text
// ---------------------------------------------------------------------------------------------------

// Two digits of a number from 0 to 99.
static char* put_two_digits(char* out, int number) {
  *out++ = (char)('0' + number / 10 % 10);
  *out++ = (char)('0' + number % 10);
  return out;
}

bool host_local_time_text(INT_S64 seconds, char* out, size_t size) {
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
  // ctime's form: "Www Mmm dd hh:mm:ss yyyy", the day of the month padded with a space; a year of other
  // than four digits is not converted.
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
