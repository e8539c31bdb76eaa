// The Linux stand-in for the uninstall registry: one settings file per key, named by the key path with
// '/' below "$USERPREFS/registry", holding the values by name (an identifier line, then the value after
// a tab on the next). Values have any length, as the registry's have.
#include "registry.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "files.h"
#include "folder.h"
#include "text_file.h"
#include "velk_string.h"

static const char* const key_components[] = {"registry", "SOFTWARE", "Microsoft", "Windows", "CurrentVersion",
                                             "Uninstall"};

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

// The folder of the uninstall key's files (the installer's own "$USERPREFS", whatever base path is
// set) and the file name of the entry; false for a name that is no single path component.
static bool entry_file(const char* name, bool create, FOLDER* folder, char* file_name, std::string* failure) {
  if (!is_single_name(name)) return fail(failure, "its name is no single name");
  if (std::strlen(name) > 250) return fail(failure, "its name is longer than the 250 bytes of the stand-in's file names");
  forget_file_failure();
  if (!get_system_folder(folder, SYSTEM_FOLDER_USER_PREFS, nullptr, create ? 1 : 0))
    return fail(failure, "the preferences folder cannot be created" + cause_text());
  for (const char* component : key_components) {
    forget_file_failure();
    if (!folder->enter(component, create))
      return fail(failure, "the folder \"" + std::string(folder->path) + "/" + component + "\" cannot be created" +
                               cause_text());
  }
  std::strcpy(file_name, name);
  std::strcat(file_name, ".cfg");
  return true;
}

bool write_uninstall_entry(const char* name, const char* display_name, const char* uninstall_string,
                           std::string* failure) {
  if (!name || !display_name || !uninstall_string) return fail(failure, "it has no name or no program");
  // A line break would end the value in the file and begin another line.
  if (std::strpbrk(display_name, "\r\n") || std::strpbrk(uninstall_string, "\r\n"))
    return fail(failure, "its name or program holds a line break");
  FOLDER folder;
  char file_name[256];
  if (!entry_file(name, true, &folder, file_name, failure)) return false;
  // Written whole under a temporary name, which then takes the entry's place while the file is still
  // open (and so still its writer's): an entry is never seen half written.
  std::string text = std::string("DisplayName\n\t") + display_name + "\nUninstallString\n\t" + uninstall_string + "\n";
  char temporary[TEMPORARY_NAME_SIZE];
  next_temporary_name(temporary);
  forget_file_failure();
  TEXT_FILE* file = open_text_file(&folder, temporary, TEXT_FILE_WRITE_NEW, false);
  bool written = file && file->write_text(text.c_str()) && rename_open_file(file->stream, &folder, temporary, file_name);
  int cause = errno;
  if (file && !close_text_file(&file) && written) {
    written = false;
    cause = errno;
  }
  if (written) return true;
  delete_file(&folder, temporary);
  errno = cause;
  return fail(failure, "the file \"" + std::string(folder.path) + "/" + file_name + "\" cannot be written" + cause_text());
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
  FOLDER folder;
  char file_name[256];
  if (!entry_file(name, false, &folder, file_name, nullptr) || !file_exists(&folder, file_name)) return false;
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
