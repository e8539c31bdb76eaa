// The Linux stand-in for the uninstall registry: one settings file per key, named by the key path with
// '/' below "velk/registry" of the user's configuration folder ($XDG_CONFIG_HOME, default ~/.config),
// whatever the installer's own file is named, so that a product's next version replaces its entry as on
// Windows. A file holds the values by name (an identifier line, then the value after a tab on the next).
// Values have any length, as the registry's have.
#include "registry.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files.h"
#include "files_host.h"
#include "folder.h"
#include "host_names.h"
#include "text_file.h"
#include "velk_string.h"

// The registry's folder in the configuration folder, and the uninstall key's path below it.
static const char REGISTRY_FOLDER[] = "velk";
static const char* const key_components[] = {"registry", "SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                             "Uninstall"};
// The largest entry file that an earlier version can have written (two paths and their names).
static const off_t EARLIER_ENTRY_LIMIT = 65536;

// The system's cause of the last failure, in brackets after a space; empty when it gave none.
static std::string cause_text() {
  char cause[256];
  describe_file_failure(cause, sizeof cause);
  return cause[0] ? std::string(" (") + cause + ")" : std::string();
}

static bool fail(std::string* failure, const std::string& text) {
  if (failure) *failure = text;
  return false;
}

// The configuration folder (base, FOLDER_PATH_SIZE bytes), the folder of the uninstall key's files and
// the file name of the entry; false for a name that is no single path component.
static bool entry_file(const char* name, bool create, char* base, FOLDER* folder, char* file_name,
                       std::string* failure) {
  if (!is_single_name(name)) return fail(failure, "its name is no single name");
  if (std::strlen(name) > 250) return fail(failure, "its name is longer than the 250 bytes of the stand-in's file names");
  forget_file_failure();
  if (!host_system_base_folder(SYSTEM_FOLDER_USER_PREFS, create ? 1 : 0, base))
    return fail(failure, "the configuration folder cannot be created" + cause_text());
  std::strcpy(folder->path, base);
  for (size_t i = 0; i <= sizeof key_components / sizeof key_components[0]; i++) {
    const char* component = i == 0 ? REGISTRY_FOLDER : key_components[i - 1];
    forget_file_failure();
    if (!folder->enter(component, create))
      return fail(failure, "the folder \"" + std::string(folder->path) + "/" + component + "\" cannot be created" +
                               cause_text());
  }
  std::strcpy(file_name, name);
  std::strcat(file_name, ".cfg");
  return true;
}

// Whether the open file, size bytes long, holds an entry as this stand-in writes them: the display name
// first, then the program.
static bool reads_as_entry(int descriptor, off_t size) {
  std::string bytes((size_t)size, '\0');
  size_t have = 0;
  while (have < bytes.size()) {
    ssize_t got = pread(descriptor, &bytes[have], bytes.size() - have, (off_t)have);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    have += (size_t)got;
  }
  return bytes.compare(0, 13, "DisplayName\n\t") == 0 && bytes.find("\nUninstallString\n\t") != std::string::npos;
}

// Removes the entry file leaf of the folder open on dir when it is a plain file that reads as an entry
// and is not the entry written now (kept).
static void remove_earlier_entry(int dir, const char* leaf, const struct stat& kept) {
  int descriptor = openat(dir, leaf, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return;
  struct stat held, named;
  bool earlier = fstat(descriptor, &held) == 0 && S_ISREG(held.st_mode) && held.st_size <= EARLIER_ENTRY_LIMIT &&
                 !(held.st_dev == kept.st_dev && held.st_ino == kept.st_ino) && reads_as_entry(descriptor, held.st_size);
  close(descriptor);
  // Only while the name still leads to the file that was read.
  if (earlier && fstatat(dir, leaf, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
      named.st_ino == held.st_ino)
    unlinkat(dir, leaf, 0);
}

// Earlier versions kept the registry below a folder of the configuration folder named after the
// installer's own file ("<file name>/registry/…"), so that every differently named installer of a
// product left an entry of its own. The entry of the same key in each such folder goes once the entry
// has its one place (kept): only that file, never a folder, and nothing reached through a link. One that
// cannot be removed stays as it was.
static void remove_earlier_entries(const char* base, const char* file_name, const struct stat& kept) {
  char base_path[HOST_PATH_SIZE], leaf[HOST_PATH_SIZE];
  if (!host_path(base, base_path) || !host_path(file_name, leaf)) return;
  int top = open(base_path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (top < 0) return;
  DIR* listing = fdopendir(top);
  if (!listing) {
    close(top);
    return;
  }
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  while (struct dirent* found = readdir(listing)) {
    if (std::strcmp(found->d_name, ".") == 0 || std::strcmp(found->d_name, "..") == 0) continue;
    if (found->d_type != DT_DIR && found->d_type != DT_UNKNOWN) continue;
    int folder = openat(dirfd(listing), found->d_name, flags);
    for (const char* component : key_components) {
      if (folder < 0) break;
      int inner = openat(folder, component, flags);
      close(folder);
      folder = inner;
    }
    if (folder < 0) continue;
    remove_earlier_entry(folder, leaf, kept);
    close(folder);
  }
  closedir(listing);
}

bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string,
                           std::string* failure) {
  if (!name || !display_name || !uninstall_string) return fail(failure, "it has no name or no program");
  // A line break would end the value in the file and begin another line.
  if (std::strpbrk(display_name, "\r\n") || std::strpbrk(uninstall_string, "\r\n"))
    return fail(failure, "its name or program holds a line break");
  char base[FOLDER_PATH_SIZE], file_name[256];
  FOLDER folder;
  if (!entry_file(name, true, base, &folder, file_name, failure)) return false;
  // Written whole under a temporary name beside the entry, closed, and only then given the entry's name:
  // an entry is never seen half written, and one whose write or close failed leaves the earlier entry as
  // it was.
  std::string text = std::string("DisplayName\n\t") + display_name + "\nUninstallString\n\t" + uninstall_string + "\n";
  char temporary[TEMPORARY_NAME_SIZE];
  next_temporary_name(temporary);
  forget_file_failure();
  TEXT_FILE* file = open_text_file(&folder, temporary, TEXT_FILE_WRITE_NEW, false);
  if (!file) {
    int cause = errno;
    if (file_exists(&folder, temporary)) note_temporary_taken(temporary);
    errno = cause;
  }
  bool written = file && file->write_text_whole(text.c_str());
  // The text file's stream is closed as the temporary that takes the entry's name.
  FILE* stream = file ? file->stream : nullptr;
  if (file) {
    file->stream = nullptr;
    close_text_file(&file);
  }
  if (written) {
    written = close_file_as(stream, &folder, temporary, file_name);
  } else if (stream) {
    int cause = errno;
    close_file(stream);
    errno = cause;
  }
  if (!written) {
    int cause = errno;
    if (stream) delete_file(&folder, temporary);
    errno = cause;
    return fail(failure, "the file \"" + std::string(folder.path) + "/" + file_name + "\" cannot be written" + cause_text());
  }
  char entry[HOST_PATH_SIZE];
  struct stat kept;
  if (host_file_path(&folder, file_name, entry) && lstat(entry, &kept) == 0) remove_earlier_entries(base, file_name, kept);
  return true;
}

// The next line of the file, however long, into line; false at the end or past limit bytes.
static bool read_whole_line(TEXT_FILE* file, std::string* line, size_t limit) {
  char buffer[256];
  file->line_size = (INT_S16)sizeof buffer;
  line->clear();
  do {
    if (!file->read_line(buffer)) return !line->empty();
    *line += buffer;
    if (line->size() > limit) return false;
  } while (!file->line_whole);
  return true;
}

bool read_uninstall_entry(const char* name, char* display_name, char* uninstall_string, INT_U32 size) {
  if (!display_name || !uninstall_string || size == 0) return false;
  char base[FOLDER_PATH_SIZE], file_name[256];
  FOLDER folder;
  if (!entry_file(name, false, base, &folder, file_name, nullptr) || !file_exists(&folder, file_name)) return false;
  TEXT_FILE* file = open_text_file(&folder, file_name, TEXT_FILE_READ, false);
  if (!file) return false;
  std::string display, uninstall, id, value;
  bool has_display = false, has_uninstall = false;
  // Identifier lines (comments and empty lines skipped), each followed by its value after a tab; a value
  // longer than the caller's buffer is no value read.
  while (read_whole_line(file, &id, size)) {
    if (id.empty() || id[0] == '#') continue;
    if (!read_whole_line(file, &value, size)) break;
    if (!value.empty() && value[0] == '\t') value.erase(0, 1);
    if (id == "DisplayName" && !has_display) {
      display = value;
      has_display = true;
    } else if (id == "UninstallString" && !has_uninstall) {
      uninstall = value;
      has_uninstall = true;
    }
  }
  close_text_file(&file);
  if (!has_display || !has_uninstall || display.size() >= size || uninstall.size() >= size) return false;
  std::strcpy(display_name, display.c_str());
  std::strcpy(uninstall_string, uninstall.c_str());
  return true;
}
