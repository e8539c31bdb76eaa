// Files and folders, the part both hosts share: path joining and cutting, the program's own path and
// location, the FOLDER members built on the host's few folder calls, and the system folders built
// from the host's base folders and the application's name, and the display form of a file's size.
#include "files_host.h"
#include "host.h"
#include "shell.h"
#include "velk_string.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

bool join_path(char* out, const char* folder_path, const char* name) {
  if (!name) return false;
  // Copied piece by piece (every file operation joins a path, some several).
  size_t length = strlen(folder_path);
  size_t separator = length > 0 && folder_path[length - 1] == PATH_SEPARATOR ? 0 : 1;
  size_t name_length = strlen(name);
  if (length + separator + name_length >= FOLDER_PATH_SIZE) return false;
  memmove(out, folder_path, length);
  if (separator) out[length] = PATH_SEPARATOR;
  memmove(out + length + separator, name, name_length + 1);
  return true;
}

static bool is_separator(char c) { return c == PATH_SEPARATOR || c == '/'; }

bool cut_to_parent(char* path) {
  char copy[FOLDER_PATH_SIZE];
  if (strlen(path) >= sizeof copy) return false;
  strcpy(copy, path);
  size_t root = host_root_length(copy);
  size_t length = strlen(copy);
  if (length > 0 && is_separator(copy[length - 1])) copy[--length] = 0;
  size_t at = length;
  while (at > 0 && !is_separator(copy[at - 1])) at--;
  if (at == 0) return false;
  copy[at - 1 < root ? at : at - 1] = 0;  // a root keeps its separator
  strcpy(path, copy);
  return true;
}

const char* get_module_path() {
  static char module_path[FOLDER_PATH_SIZE];
  static bool known = false;
  if (!known) {
    // A name that cannot be read whole is not known: argument 0 stays empty.
    if (!host_read_program_path(module_path)) module_path[0] = 0;
    known = true;
  }
  return module_path;
}

void get_program_location(FOLDER* folder, char* name) {
  char path[FOLDER_PATH_SIZE];
  strcpy(path, get_module_path());
  const char* leaf = path + strlen(path);
  while (leaf > path && !is_separator(leaf[-1])) leaf--;
  if (leaf == path) {
    // No program file to name: the first drive's root and the library's default name.
    if (folder) snprintf(folder->path, sizeof(folder->path), "%s", get_drive_root_text(0) ? get_drive_root_text(0) : "");
    if (name) strcpy(name, "VELK Application");
    return;
  }
  if (name) snprintf(name, FOLDER_PATH_SIZE, "%s", leaf);
  if (folder && cut_to_parent(path)) strcpy(folder->path, path);
}

const char* FOLDER::get_path_text(const char* name) const {
  static char text[FOLDER_PATH_SIZE];
  char base[FOLDER_PATH_SIZE];
  strcpy(base, path);
  if (!name) {
    // A root keeps its separator: "D:" alone would name the drive's current folder.
    size_t length = strlen(base);
    if (length > host_root_length(base) && base[length - 1] == PATH_SEPARATOR) base[length - 1] = 0;
    strcpy(text, base);
    return text;
  }
  if (!join_path(text, base, name)) return nullptr;
  return text;
}

bool FOLDER::enter(const char* name, bool create) {
  char target[FOLDER_PATH_SIZE];
  if (!name || !*name || !join_path(target, path, name)) return false;
  if (!is_folder(target) && (!create || !host_make_folder(target))) return false;
  strcpy(path, target);
  return true;
}

bool enter_new_folder(FOLDER* folder, const char* name, bool* made) {
  char target[FOLDER_PATH_SIZE];
  bool existed = false;
  if (!folder || !name || !*name || !join_path(target, folder->path, name) || !host_make_folder(target, &existed))
    return false;
  strcpy(folder->path, target);
  if (made) *made = !existed;
  return true;
}

bool FOLDER::go_up() {
  char parent[FOLDER_PATH_SIZE];
  strcpy(parent, path);
  if (!cut_to_parent(parent) || !is_folder(parent)) return false;
  strcpy(path, parent);
  return true;
}

const char* FOLDER::get_name() const {
  static char name[FOLDER_PATH_SIZE];
  strcpy(name, path);
  size_t length = strlen(name);
  if (length > 0 && name[length - 1] == PATH_SEPARATOR) name[length - 1] = 0;
  char* last = strrchr(name, PATH_SEPARATOR);
  return last ? last + 1 : name;
}

bool FOLDER::set_if_folder(const char* path_text) {
  if (!is_folder(path_text) || strlen(path_text) >= FOLDER_PATH_SIZE) return false;
  strcpy(path, path_text);
  return true;
}

bool FOLDER::set_to_drive_root(INT_S16 index) {
  const char* root = get_drive_root_text(index);
  if (!root) return false;
  strcpy(path, root);
  return true;
}

// The program's file name without ".exe"; "VELK Application" when it is not known.
static void default_application_name(char* out) {
  const char* program = get_module_path();
  const char* leaf = program + strlen(program);
  while (leaf > program && !is_separator(leaf[-1])) leaf--;
  if (!*leaf) {
    strcpy(out, "VELK Application");
    return;
  }
  strcpy(out, leaf);
  size_t length = strlen(out);
  if (length > 4 && string_compare_no_case(out + length - 4, ".exe", 5) == 0) out[length - 4] = 0;
}

bool get_system_folder(FOLDER* out, INT_S32 kind, const char* application_name, INT_U8 create) {
  if (!out) return false;
  if (kind == SYSTEM_FOLDER_TEMP) return get_private_temp_folder(out, nullptr);
  char default_name[FOLDER_PATH_SIZE];
  if (!application_name) {
    default_application_name(default_name);
    application_name = default_name;
  }
  if (kind == SYSTEM_FOLDER_PROGRAM) {
    char program[FOLDER_PATH_SIZE];
    strcpy(program, get_module_path());
    if (!program[0] || !cut_to_parent(program)) return false;
    strcpy(out->path, program);
    return true;
  }
  if (kind < SYSTEM_FOLDER_PROGRAMS || kind > SYSTEM_FOLDER_USER_PREFS) return false;
  char base[FOLDER_PATH_SIZE];
  if (!host_system_base_folder(kind, create, base)) return false;
  FOLDER system_folder;
  strcpy(system_folder.path, base);
  char text[FOLDER_PATH_SIZE];
  int written = snprintf(text, sizeof text, "$HERE/%s", application_name);
  if (written < 0 || written >= FOLDER_PATH_SIZE) return false;
  return out->set(text, create != 0, &system_folder);
}

bool get_system_folder_text(INT_S32 kind, const char* application_name, char* out) {
  if (!out || kind < SYSTEM_FOLDER_PROGRAMS || kind > SYSTEM_FOLDER_USER_PREFS) return false;
  char default_name[FOLDER_PATH_SIZE];
  if (!application_name) {
    default_application_name(default_name);
    application_name = default_name;
  }
  char base[FOLDER_PATH_SIZE];
  if (!host_system_base_path(kind, base)) return false;
  if (!*application_name) {
    strcpy(out, base);
    return true;
  }
  return join_path(out, base, application_name);
}

// ---------------------------------------------------------------------------------------------------
// The run's private temporary folder

static char private_temp_path[FOLDER_PATH_SIZE];  // empty until made, and again once removed
// Where the last tries to make it failed, each with the system's cause: below the system's temporary
// folder, and below the folder that the caller named instead.
static struct {
  char base[FOLDER_PATH_SIZE];
  char cause[256];
} failed_tries[2];
static FOLDER_KEPT folder_kept_report = nullptr;

void set_folder_kept_report(FOLDER_KEPT report) { folder_kept_report = report; }

void describe_private_folder_failure(char* out, size_t size) {
  if (!out || !size) return;
  out[0] = 0;
  for (const auto& tried : failed_tries) {
    size_t length = strlen(out);
    if (tried.base[0]) snprintf(out + length, size - length, "%sin \"%s\": %s", length ? "; " : "", tried.base, tried.cause);
  }
}

// Removes the private folder name of parent (an ended run's, with abandoned) and reports it when it stays.
static void remove_private_folder(const FOLDER* parent, const char* name, bool abandoned) {
  char cause[512] = "", path[FOLDER_PATH_SIZE];
  if (host_remove_private_folder(parent, name, abandoned, cause, sizeof cause) == PRIVATE_FOLDER_KEPT &&
      folder_kept_report && join_path(path, parent->path, name))
    folder_kept_report(path, cause);
}

// The private folders that ended runs of the program left in base: named prefix, '-' and six to eight
// letters and digits (as both hosts make them), other than this run's own.
static void remove_abandoned_private_folders(const char* base, const char* prefix) {
  FOLDER parent;
  std::string start = std::string(prefix) + "-";
  if (strlen(base) >= sizeof parent.path || start.size() > 255) return;
  strcpy(parent.path, base);
  DIRECTORY_SCAN* scan = open_directory_scan(&parent, start.c_str(), 1, SCAN_BEGINS_WITH, 1);
  if (!scan) return;
  std::vector<std::string> found;
  SCAN_ENTRY entry;
  while (read_directory_scan(scan, &entry)) {
    const char* rest = entry.name + start.size();
    size_t length = strlen(rest);
    bool plain = entry.is_folder && length >= 6 && length <= 8;
    for (size_t i = 0; plain && i < length; i++) plain = isalnum((unsigned char)rest[i]) != 0;
    char path[FOLDER_PATH_SIZE];
    if (plain && join_path(path, base, entry.name) && strcmp(path, private_temp_path) != 0) found.push_back(entry.name);
  }
  close_directory_scan(scan);
  for (const std::string& name : found) remove_private_folder(&parent, name.c_str(), true);
}

// Notes why no private folder could be made in base (the caller's folder or, with parent null, the
// system's temporary folder). A round of tries begins below the system's temporary folder and may go
// on in the caller's folder: what an earlier round tried is forgotten.
static void note_private_folder_failure(const FOLDER* parent, const char* base) {
  static bool system_tried_last = false;
  if (!parent || !system_tried_last) failed_tries[parent ? 0 : 1].base[0] = 0;
  system_tried_last = !parent;
  auto& tried = failed_tries[parent ? 1 : 0];
  snprintf(tried.base, sizeof tried.base, "%s", base);
  describe_file_failure(tried.cause, sizeof tried.cause);
  if (!tried.cause[0]) strcpy(tried.cause, "it cannot be used");
}

bool get_private_temp_folder(FOLDER* out, const FOLDER* parent) {
  if (!out) return false;
  if (!private_temp_path[0]) {
    char base[FOLDER_PATH_SIZE] = "";
    forget_file_failure();
    if (parent) {
      if (strlen(parent->path) >= sizeof base) return false;
      strcpy(base, parent->path);
    } else if (!host_system_base_folder(SYSTEM_FOLDER_TEMP, 1, base)) {
      note_private_folder_failure(nullptr, base[0] ? base : "the system's temporary folder");
      return false;
    }
    char prefix[FOLDER_PATH_SIZE];
    default_application_name(prefix);
    char made[FOLDER_PATH_SIZE];
    if (!host_make_private_folder(base, prefix, made)) {
      note_private_folder_failure(parent, base);
      return false;
    }
    memset(failed_tries, 0, sizeof failed_tries);
    strcpy(private_temp_path, made);
    // Whatever way the process ends normally, the folder goes with it.
    static bool removal_registered = false;
    if (!removal_registered) removal_registered = std::atexit(remove_temporary_folder) == 0;
    remove_abandoned_private_folders(base, prefix);
  }
  if (!FOLDER::is_folder(private_temp_path)) return false;
  strcpy(out->path, private_temp_path);
  return true;
}

void remove_temporary_folder() {
  if (!private_temp_path[0]) return;
  FOLDER parent;
  strcpy(parent.path, private_temp_path);
  char name[FOLDER_PATH_SIZE];
  strcpy(name, parent.get_name());
  private_temp_path[0] = 0;
  host_release_private_folder();
  if (!cut_to_parent(parent.path)) return;
  remove_private_folder(&parent, name, false);
}

// ---------------------------------------------------------------------------------------------------
// Temporaries beside the files they become

// The names this run gave out: its process number, and the counts from the first, drawn for the run
// (not the clock, which runs started together share), up to the next; and those of them that were found
// taken, few in any run.
static INT_U32 name_process = 0, first_count = 0, next_count = 0;
static bool counting = false;
static std::vector<INT_U32> taken_counts;

void next_temporary_name(char* out) {
  if (!counting) {
    name_process = host_process_id();
    first_count = next_count = host_random_number();
    counting = true;
  }
  snprintf(out, TEMPORARY_NAME_SIZE, "~velk%08X-%08X.tmp", (unsigned)name_process, (unsigned)next_count++);
}

// The process number and the count in a temporary's name; false when the name is not of that kind.
static bool temporary_numbers(const char* name, INT_U32* id, INT_U32* count) {
  if (strlen(name) != 26 || strncmp(name, "~velk", 5) != 0 || name[13] != '-' || strcmp(name + 22, ".tmp") != 0)
    return false;
  INT_U32 numbers[2] = {0, 0};
  for (int at = 5; at < 22; at++) {
    if (at == 13) continue;
    char c = name[at];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    INT_U32& number = numbers[at < 13 ? 0 : 1];
    number = number * 16 + (INT_U32)(c <= '9' ? c - '0' : c - 'A' + 10);
  }
  *id = numbers[0];
  *count = numbers[1];
  return numbers[0] != 0;
}

// The temporary of these numbers was named by this run (the counts wrap past 0xFFFFFFFF).
static bool given_out(INT_U32 id, INT_U32 count) {
  return counting && id == name_process && count - first_count < next_count - first_count;
}

void note_temporary_taken(const char* name) {
  INT_U32 id = 0, count = 0;
  if (name && temporary_numbers(name, &id, &count) && given_out(id, count)) taken_counts.push_back(count);
}

// The temporary of these numbers is this run's own: given out by it and not found taken.
static bool own_temporary(INT_U32 id, INT_U32 count) {
  return given_out(id, count) && std::find(taken_counts.begin(), taken_counts.end(), count) == taken_counts.end();
}

FILE* create_next_temporary_file(const FOLDER* folder, char* out) {
  // A name is taken only by what another run of the same process number left: a few more names get
  // past that; a failure that is not a taken name ends the tries.
  for (int tries = 0; tries < 16; ++tries) {
    next_temporary_name(out);
    if (FILE* file = create_temporary_file(folder, out)) return file;
    // The look at the name must not take the place of the system's cause (a folder that cannot be
    // written would be said to be missing).
    INT_U32 cause = file_failure_code();
    bool taken = file_exists(folder, out);
    restore_file_failure(cause);
    if (!taken) break;
    note_temporary_taken(out);
  }
  return nullptr;
}

INT_S32 remove_stale_temporaries(FOLDER* folder, TEMPORARY_REMOVED removed, void* user) {
  DIRECTORY_SCAN* scan = open_directory_scan(folder, "~velk", 1, SCAN_BEGINS_WITH, 1);
  if (!scan) return 0;
  // Removed once the listing is over: a folder that changes while it is listed may list an entry twice.
  // This run's own stay. So does the file of another process of the number in the name that this
  // process can see, without a look at it; a name of this process's number that this run did not give
  // out is an ended process's (under Wine every server's first process has the same number).
  std::vector<std::string> stale;
  SCAN_ENTRY entry;
  INT_U32 id = 0, number = 0;
  while (read_directory_scan(scan, &entry))
    if (!entry.is_folder && temporary_numbers(entry.name, &id, &number) && !own_temporary(id, number) &&
        (id == host_process_id() || !host_process_running(id)))
      stale.push_back(entry.name);
  close_directory_scan(scan);
  INT_S32 count = 0;
  for (const std::string& name : stale) {
    char cause[256] = "";
    TEMPORARY_REMOVAL result = host_remove_abandoned_temporary(folder, name.c_str(), cause, sizeof cause);
    if (result == TEMPORARY_LEFT) continue;
    if (result == TEMPORARY_GONE) count++;
    if (removed) removed(folder, name.c_str(), result == TEMPORARY_GONE ? nullptr : cause, user);
  }
  return count;
}

// ---------------------------------------------------------------------------------------------------
// Files an immediate end removes

// Noted and forgotten on the program's thread while end requests are held back, and read by the
// handler of the second request: a path is whole before it is marked noted, so that the handler never
// reads one half written, wherever it runs.
static HOST_NOTED_PATH immediate_end_paths[IMMEDIATE_END_FILES];
static volatile std::sig_atomic_t immediate_end_noted[IMMEDIATE_END_FILES];

bool remove_at_immediate_end(const FOLDER* folder, const char* name) {
  HOST_NOTED_PATH target;
  std::memset(&target, 0, sizeof target);
  if (!host_noted_path(folder, name, &target)) return false;
  hold_end_requests();
  bool noted = false;
  for (int i = 0; i < IMMEDIATE_END_FILES && !noted; i++) {
    if (immediate_end_noted[i]) continue;
    immediate_end_paths[i] = target;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    immediate_end_noted[i] = 1;
    noted = true;
  }
  release_end_requests();
  return noted;
}

void keep_at_immediate_end(const FOLDER* folder, const char* name) {
  HOST_NOTED_PATH target;
  std::memset(&target, 0, sizeof target);
  if (!host_noted_path(folder, name, &target)) return;
  hold_end_requests();
  for (int i = 0; i < IMMEDIATE_END_FILES; i++)
    if (immediate_end_noted[i] && std::memcmp(immediate_end_paths[i].bytes, target.bytes, sizeof target.bytes) == 0)
      immediate_end_noted[i] = 0;
  release_end_requests();
}

void host_immediate_end() {
  for (int i = 0; i < IMMEDIATE_END_FILES; i++)
    if (immediate_end_noted[i]) host_remove_noted(&immediate_end_paths[i]);
}

const char* format_byte_count(const FILE_INFO* info) {
  static char formatted[64];
  INT_U32 size = info ? info->size : 0;
  int shift = size > 1073741824u ? 30 : size > 1048576u ? 20 : size > 1024u ? 10 : 0;
  const char* unit = shift == 30 ? "G" : shift == 20 ? "M" : shift == 10 ? "k" : "b";
  // size / 2^shift is exact in a double, so "%.1lf" rounds its exact tenths: written out here, which a
  // long list does thousands of times. A tie (a remainder of exactly half a tenth) is left to the C
  // library, whose rounding of ties is its own.
  INT_U64 tenths = (INT_U64)size * 10;
  INT_U64 whole = tenths >> shift;
  INT_U64 rest = tenths & ((1ull << shift) - 1);
  INT_U64 half = shift ? 1ull << (shift - 1) : 0;
  if (shift && rest == half) {
    std::snprintf(formatted, sizeof formatted, "%.1lf %s", (double)size / (double)(1ull << shift), unit);
    return formatted;
  }
  if (rest > half) whole++;
  char digits[24];
  int n = 0;
  for (INT_U64 integer = whole / 10; n == 0 || integer > 0; integer /= 10) digits[n++] = (char)('0' + integer % 10);
  char* out = formatted;
  while (n > 0) *out++ = digits[--n];
  *out++ = '.';
  *out++ = (char)('0' + whole % 10);
  *out++ = ' ';
  *out++ = unit[0];
  *out = 0;
  return formatted;
}
