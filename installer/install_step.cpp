// The install step: prepares the destination and the install log, copies one file of the current
// installation out of the package per call, then makes the shortcuts and the uninstall entry; reads
// the "Settings: " line of an earlier install log back. Progress and failures go to the observer.
#include "database.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine.h"
#include "errors.h"
#include "files.h"
#include "host.h"
#include "package.h"
#include "page_manager.h"
#include "redraw.h"
#include "registry.h"
#include "shell.h"
#include "text_file.h"

static const char* const LOG_FILE_NAME = "install_log.txt";
static const char* const INTERRUPTED_LINE = "Installation interrupted.\n";

static INSTALL_OBSERVER* observer = nullptr;

void set_install_observer(INSTALL_OBSERVER* new_observer) { observer = new_observer; }
INSTALL_OBSERVER* get_install_observer() { return observer; }

// The folder's path, the host's separator and the name, however long.
static std::string full_path(const FOLDER& folder, const char* name) {
  std::string path = folder.path;
  if (path.empty() || path.back() != PATH_SEPARATOR) path += PATH_SEPARATOR;
  return path + name;
}

static void close_log(INSTALL_STATE* state) { close_text_file(&state->log); }

// Creates the log holding the lines: they are written to a new file of a temporary name, which then
// takes the name "install_log.txt" in place of whatever had it (a file, a link, a pipe), never writing
// through it. The file stays open under that name: the rest of this installation writes to it alone,
// whatever another run does at the name meanwhile. False when it cannot be made (nothing is left of it).
static bool create_log(INSTALL_STATE* state, const std::string& lines) {
  char name[TEMPORARY_NAME_SIZE];
  TEXT_FILE* file = nullptr;
  char reason[256] = "";
  for (int tries = 0; !file && tries < 16; tries++) {
    next_temporary_name(name);
    forget_file_failure();
    file = open_text_file(&state->log_folder, name, TEXT_FILE_WRITE_NEW, false);
    if (!file) describe_file_failure(reason, sizeof reason);
    if (!file && !file_exists(&state->log_folder, name)) break;  // not a taken name: no other name helps
  }
  if (!file) {
    state->failure_text = "The install log \"" + full_path(state->log_folder, LOG_FILE_NAME) + "\" cannot be created";
    if (reason[0]) state->failure_text += std::string(" (") + reason + ")";
    state->failure_text += '.';
    return false;
  }
  if (file->write_text_whole(lines.c_str()) &&
      rename_open_file(file->stream, &state->log_folder, name, LOG_FILE_NAME) && !std::ferror(file->stream)) {
    state->log = file;
    state->log_number = stream_file_number(file->stream);
    return true;
  }
  close_text_file(&file);
  delete_file(&state->log_folder, name);
  return false;
}

// A write to the log failed: the log ends there, said once.
static void log_lost(INSTALL_STATE* state) {
  state->log_failed = true;
  state->log_cut = true;
  if (observer) observer->log_not_written(full_path(state->log_folder, LOG_FILE_NAME).c_str());
}

// Writes a step's line group to the log: a new log with create, else the log this installation created.
// The lines of temporaries removed since the last group go with it (after the header, before a file's
// line). Each group is handed to the system whole through the open file as soon as its step is done,
// so that the log is complete on disk after every step: a process killed at any moment leaves every
// line of the steps before, and never part of a line. A log that cannot be created keeps its lines
// here and is created with all of them by a later try (after 1, 2, 4... further line groups, and at
// the end): it never adds them to a log that it did not create. A write that fails ends the log there,
// said once.
static void write_log(INSTALL_STATE* state, const std::string& step_lines, bool create) {
  std::string joined;
  if (!state->removed_lines.empty()) {
    joined = create ? step_lines + state->removed_lines : state->removed_lines + step_lines;
    state->removed_lines.clear();
  }
  const std::string& lines = joined.empty() ? step_lines : joined;
  if (create) {
    close_log(state);
    state->log_pending.clear();
    state->log_pending_groups = 0;
    state->log_next_try = 1;
    state->log_cut = false;
    if (!create_log(state, lines)) {
      state->log_failed = true;
      state->log_pending = lines;
    }
    return;
  }
  if (state->log_cut) return;
  if (!state->log) {
    state->log_pending += lines;
    if (++state->log_pending_groups < state->log_next_try) return;
    state->log_next_try *= 2;
    if (create_log(state, state->log_pending)) state->log_pending.clear();
    return;
  }
  if (state->log->write_text_whole(lines.c_str())) return;
  log_lost(state);
}

// The installation ends: lines kept for a log that could not be created get a last try; the log closes.
static void finish_log(INSTALL_STATE* state) {
  if (!state->log && !state->log_pending.empty() && create_log(state, state->log_pending)) state->log_pending.clear();
  if (state->log && !close_text_file(&state->log) && !state->log_cut) log_lost(state);
}

// A temporary that an interrupted run left is removed, or stays when it cannot be: the log's next line
// group and the observer name it, so that whoever named a file that way finds where it went.
static void note_removed_temporary(const FOLDER* folder, const char* name, const char* kept_cause, void* user) {
  INSTALL_STATE* state = static_cast<INSTALL_STATE*>(user);
  std::string path = full_path(*folder, name);
  state->removed_lines += kept_cause ? "Not removed \"" : "Removed \"";
  append_printable_text(&state->removed_lines, path.c_str());
  state->removed_lines += "\" (left by an interrupted installation)";
  if (kept_cause) {
    state->removed_lines += ": ";
    append_printable_text(&state->removed_lines, kept_cause);
  }
  state->removed_lines += "\n";
  if (observer && kept_cause) observer->temporary_kept(path.c_str(), kept_cause);
  else if (observer) observer->temporary_removed(path.c_str());
}

// A folder that this installation did not make may hold what a killed run left of the files it was
// writing there: those go before the first file of this one (each folder is looked through once).
static void remove_leftovers(INSTALL_STATE* state, FOLDER* folder) {
  if (state->cleaned_folders.insert(folder->path).second) remove_stale_temporaries(folder, note_removed_temporary, state);
}

static void progress(INSTALL_DIALOG* page, const char* text, INT_S32 value) {
  if (observer) observer->show_progress(page, text ? text : "", value);
}

static void copying(PACKAGE*, INT_S32, INT_S32, void* page) {
  if (observer) observer->file_going_on(static_cast<INSTALL_DIALOG*>(page));
}

// A text of the current language; empty without languages.
#define LANGUAGE_STRING(database, field) \
  ((database)->get_current_language() ? (const char*)(database)->get_current_language()->field : "")

// The system form of a destination when it is given and the user chose system paths, else the plain one.
static const char* choose_path(const DATABASE* database, const char* plain, const char* system) {
  return system[0] && database->use_system_paths == 1 ? system : plain;
}

// Whether a text has a ".." component (between separators of either kind).
static bool has_parent_step(const char* text) {
  for (const char* at = text; *at;) {
    const char* end = at;
    while (*end && *end != '/' && *end != '\\') end++;
    if (end - at == 2 && at[0] == '.' && at[1] == '.') return true;
    at = *end ? end + 1 : end;
  }
  return false;
}

// The folder of a text "$HERE" followed by folder names ('/' before each; none of them empty, "." or
// ".."), made where it is missing, and whether this installation made it: followed on from the longest
// part of the text reached before, each further folder made at once (a folder made by this
// installation holds no folder yet, and making one that is there finds it). 1 done, 0 for a text of
// another form, -1 when a folder cannot be made (the system's cause kept).
static int walk_destination(INSTALL_STATE* state, const std::string& text, FOLDER* folder, bool* made) {
  if (text.compare(0, 5, "$HERE") != 0 || (text.size() > 5 && text[5] != '/')) return 0;
  for (size_t at = 5; at < text.size();) {
    size_t end = text.find('/', at + 1);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(at + 1, end - at - 1);
    if (part.empty() || part == "." || part == "..") return 0;
    at = end;
  }
  size_t reached = text.size();
  auto known = state->walked_folders.find(text);
  while (known == state->walked_folders.end()) {
    reached = text.rfind('/', reached - 1);
    if (reached == std::string::npos || reached < 5) return 0;
    known = state->walked_folders.find(text.substr(0, reached));
  }
  std::strcpy(folder->path, known->second.path.c_str());
  *made = known->second.made;
  while (reached < text.size()) {
    size_t end = text.find('/', reached + 1);
    if (end == std::string::npos) end = text.size();
    if (!enter_new_folder(folder, text.substr(reached + 1, end - reached - 1).c_str(), made)) return -1;
    if (*made) state->folder_made = true;
    reached = end;
    state->walked_folders[text.substr(0, reached)] = {folder->path, *made};
  }
  return 1;
}

// A folder from a destination text relative to the base folder, creating what is missing. A text
// with a path variable this program does not know names no folder. A text set before in this
// installation gives the folder it gave then, without asking the host again. made (when given) tells
// whether the folder did not exist until this installation made it. The folder is left as it was when
// the text leads to none.
static bool set_destination(INSTALL_STATE* state, FOLDER* folder, const char* text, bool* made = nullptr) {
  if (!text || !text[0]) return false;
  const std::pair<const std::string, std::string>* known = state->last_known;
  if (!known || known->first != text) {
    auto found = state->known_folders.find(text);
    known = found != state->known_folders.end() ? &*found : nullptr;
    if (known) {
      state->last_known = known;
      state->last_known_made = state->made_folders.count(text) != 0;
    }
  }
  if (known) {
    std::memcpy(folder->path, known->second.c_str(), known->second.size() + 1);
    if (made) *made = state->last_known_made;
    return true;
  }
  bool new_folder = false;
  FOLDER reached(*folder);
  int walked = walk_destination(state, text, &reached, &new_folder);
  if (walked < 0) return false;
  if (walked == 0) {
    // Looked for first without making anything: when that fails, some folder on the way is missing, and
    // the folder reached by making them is a new one (unless a ".." step leads back out of what was made).
    bool existed = set_known_folder(&reached, text, false, &state->base_folder);
    if (!existed) {
      reached = *folder;
      if (!set_known_folder(&reached, text, true, &state->base_folder)) return false;
    }
    new_folder = !existed && !has_parent_step(text);
    if (!existed) state->folder_made = true;
  }
  *folder = reached;
  if (!new_folder) remove_leftovers(state, folder);
  state->known_folders.emplace(text, folder->path);
  if (new_folder) state->made_folders.insert(text);
  if (made) *made = new_folder;
  return true;
}

// Why a folder text of the installation names no folder (set_destination failed, the system's cause of
// the last file failure at hand): it begins with no path variable, or one this program does not know,
// or the folder (named as a path of this computer) cannot be created.
static std::string folder_failure(const char* text) {
  char reason[256];
  describe_file_failure(reason, sizeof reason);
  if (text[0] != '$') return std::string("folder \"") + text + "\" begins with no path variable";
  if (!is_known_path_text(text)) return std::string("folder \"") + text + "\" begins with a path variable this program does not know";
  return std::string("folder \"") + expand_path_text(text, nullptr) + "\" cannot be created" +
         (reason[0] ? std::string(" (") + reason + ")" : std::string());
}

// A file name from the installation data stays inside its destination folder: it has no ".." component,
// does not begin with a separator and names no drive, in the name that both hosts see.
static bool name_stays_inside(const char* name) {
  if (!name[0] || name[0] == '/' || name[0] == '\\') return false;
  if (((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) && name[1] == ':') return false;
  return !has_parent_step(name) && has_host_form(name);
}

// Whether the host holds the name, and each folder of the path text after its path variable, as they
// are written: where it drops a final dot or space or takes a name for a device, two names would land on
// one file, or on none the installation knows.
static bool held_as_written(const char* path_text, const char* name) {
  if (!host_holds_name(name)) return false;
  std::string part;
  bool first = true;
  for (const char* at = path_text;; at++) {
    if (*at && *at != '/' && *at != '\\') {
      part += *at;
      continue;
    }
    bool variable = first && !part.empty() && part[0] == '$';
    if (!variable && !part.empty() && part != "." && part != ".." && !host_holds_name(part.c_str())) return false;
    if (!*at) return true;
    part.clear();
    first = false;
  }
}

// The key of a plain name (ASCII without '~' and the run mark) into key: its letters as capitals and
// without a final dot or space, under which a file system that ignores case (or drops those) takes two
// names for one. False for a name of another kind, which such a file system may take for another in ways
// not told here (a short name with '~', characters beyond ASCII).
static bool plain_name_key(const char* name, std::string* key) {
  key->clear();
  for (const char* at = name; *at; at++) {
    char c = *at;
    if ((unsigned char)c >= 0x80 || c == '~' || c == WIDE_RUN_MARK) return false;
    *key += c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
  }
  while (!key->empty() && (key->back() == '.' || key->back() == ' ')) key->pop_back();
  return true;
}

// What is known of the names in the folder (made: this installation made it): a folder that was there
// is listed when it is first asked about.
static INSTALL_STATE::FOLDER_NAMES* names_of_folder(INSTALL_STATE* state, FOLDER& folder, bool made) {
  auto found = state->folder_names.find(folder.path);
  if (found != state->folder_names.end()) return &found->second;
  INSTALL_STATE::FOLDER_NAMES* names = &state->folder_names[folder.path];
  names->made = made;
  if (made) return names;
  names->listed_after_making = state->folder_made;
  DIRECTORY_SCAN* scan = open_directory_scan(&folder, nullptr, 1, SCAN_EQUALS, 0);
  names->other_names = !scan;
  SCAN_ENTRY entry;
  std::string key;
  while (scan && read_directory_scan(scan, &entry)) {
    if (plain_name_key(entry.name, &key)) names->keys.insert(key);
    else names->other_names = true;
  }
  close_directory_scan(scan);
  return names;
}

// Whether the name (plain: its key is state->name_key) of a folder may lead to something and is to be
// looked up.
static bool may_lead_somewhere(const INSTALL_STATE* state, const INSTALL_STATE::FOLDER_NAMES& names, bool plain) {
  const std::string& key = state->name_key;
  if (!plain || names.other_names || names.keys.count(key)) return true;
  if (names.made) return state->other_in_late_found || state->keys_in_late_found.count(key);
  return state->other_in_found || state->keys_in_found.count(key) ||
         (names.listed_after_making && (state->other_in_made || state->keys_in_made.count(key)));
}

// A name (plain: its key is state->name_key) was put into the folder.
static void note_name_put(INSTALL_STATE* state, INSTALL_STATE::FOLDER_NAMES* names, bool plain) {
  if (!plain) {
    names->other_names = true;
    (names->made ? state->other_in_made : state->other_in_found) = true;
    if (names->listed_after_making) state->other_in_late_found = true;
    return;
  }
  names->keys.insert(state->name_key);
  (names->made ? state->keys_in_made : state->keys_in_found).insert(state->name_key);
  if (names->listed_after_making) state->keys_in_late_found.insert(state->name_key);
}

// A name that is not allowed, as a log line shows it: its control bytes, the run marks included, as
// '?', so that the line shows the text that was refused and not a name it may look like.
static void append_refused_text(std::string* out, const char* text) {
  for (; *text; text++) *out += (unsigned char)*text < 0x20 || *text == 0x7F ? '?' : *text;
}

// Two folder texts of the description that name the same folder ("$HERE/bin" and "$HERE/bin/").
static bool same_folder_text(const char* a, const char* b) {
  size_t a_length = std::strlen(a), b_length = std::strlen(b);
  while (a_length > 1 && a[a_length - 1] == '/') a_length--;
  while (b_length > 1 && b[b_length - 1] == '/') b_length--;
  return a_length == b_length && std::strncmp(a, b, a_length) == 0;
}

// A program shortcut of the current installation (type 1, or 0 as the hosts take it) starts the file (of
// that folder text and name): where the host marks programs, it is installed as one.
static bool started_by_shortcut(DATABASE* database, const char* path_text, const char* name) {
  INSTALLATION* installation = database->get_current_installation();
  for (INT_S16 i = 0; installation && i < installation->item_count; i++) {
    const INSTALLATION_ITEM& item = installation->items[i];
    if (item.type <= 1 && std::strcmp(item.program_name, name) == 0 &&
        same_folder_text(choose_path(database, item.program_path_from_inst_loc, item.system_program_path_from_inst_loc),
                         path_text))
      return true;
  }
  return false;
}

static void prepare(DATABASE* database, INSTALL_DIALOG* page, INSTALLATION* installation) {
  INSTALL_STATE* state = &database->install_state;
  set_idle_wait(0);
  state->log_number = 0;
  state->installed_numbers.clear();
  state->folder_names.clear();
  state->folder_made = false;
  state->keys_in_found.clear();
  state->keys_in_late_found.clear();
  state->keys_in_made.clear();
  state->other_in_found = state->other_in_late_found = state->other_in_made = false;
  state->running = true;
  state->error_count = 0;
  state->unmade_count = 0;
  state->stopped = false;
  state->interrupted = false;
  state->log_failed = false;
  state->failure_text.clear();
  state->removed_lines.clear();
  state->step_lines.clear();
  state->log_pending.clear();  // no log is begun before the header
  state->cleaned_folders.clear();
  state->known_folders.clear();
  state->made_folders.clear();
  state->walked_folders.clear();
  state->last_known = nullptr;
  if (!database->system_capabilities().has_system_paths || !installation->allow_system_paths)
    database->use_system_paths = 0;
  state->step_total = (INT_S32)installation->file_count + 1;
  if (!database->package) {
    database->package = new PACKAGE(&database->data_folder, PACKAGE_FILE_NAME, false, -1, true, true);
    if (database->package->file) database->package->file->set_buffer_size(database->package_buffer_size());
  }
  state->step_counter = 1;
  progress(page, LANGUAGE_STRING(database, INSTALLING_STRING), 0);

  // The destination must exist (or be made): the installation never goes into another folder.
  forget_file_failure();
  FOLDER found(state->base_folder);
  bool existed = set_location_folder(&found, database->install_path, database->APPLICATION.app_string, false);
  if (existed) state->base_folder = found;
  if (!existed &&
      !set_location_folder(&state->base_folder, database->install_path, database->APPLICATION.app_string, true)) {
    char reason[256];
    describe_file_failure(reason, sizeof reason);
    // The folder as a path of the host, and the system's cause.
    std::string said =
        "the destination folder \"" + location_path_text(database->install_path, database->APPLICATION.app_string) +
        "\" cannot be created";
    if (reason[0]) said += std::string(" (") + reason + ")";
    state->failure_text = "T" + said.substr(1) + ".";
    state->stopped = true;
    state->step_counter = state->step_total + 3;
    database->end_installation();
    std::string message = "ERROR: " + said + "\n";
    if (observer) observer->installation_stopped(database, message.c_str());
    return;
  }
  set_base_path(&state->base_folder, database->APPLICATION.app_string);
  state->base_made = !existed && !has_parent_step(database->install_path);
  state->folder_made = !existed;
  state->walked_folders["$HERE"] = {state->base_folder.path, state->base_made};
  if (!state->base_made) remove_leftovers(state, &state->base_folder);
  const char* log_text =
      choose_path(database, database->LOG.dest_path_from_inst_loc, database->LOG.system_dest_path_from_inst_loc);
  state->log_folder = state->base_folder;
  bool log_folder_made = false;
  if (!set_destination(state, &state->log_folder, log_text, &log_folder_made)) {
    state->log_folder = state->base_folder;
    log_folder_made = state->base_made;
    if (!log_folder_made) remove_leftovers(state, &state->log_folder);
  }
  // The log is one of the names put into its folder.
  note_name_put(state, names_of_folder(state, state->log_folder, log_folder_made),
                plain_name_key(LOG_FILE_NAME, &state->name_key));

  LANGUAGE* language = database->get_current_language();
  std::string lines = format_text("Installed Files\n---------------\n\nLanguage: %s\n",
                                  printable_text(language ? language->name : "").c_str());
  lines += format_text("Settings: %d %d %s\n", (int)database->settings_number, (int)database->use_system_paths,
                       printable_text(database->install_path).c_str());
  // What the installation is, so that an update tells it from another product's at the same place.
  lines += "Application: " + printable_text(database->APPLICATION.app_string) + "\n";
  lines += "Installation: " + printable_text(installation->name) + "\n";
  // The wizard's warning is a line of its own (it ends with its line end).
  lines += format_text("%s\n", printable_line(database->desktop_size_warning).c_str());
  write_log(state, lines, true);
  if (!state->log && observer) observer->copy_error(database, nullptr, nullptr);
}

// A file refused before anything was written for it (path: as the log shows it): its line in the log
// with the cause, an error counted and reported.
static void refuse_file(DATABASE* database, const std::string& path, const char* packed_name, const std::string& cause) {
  INSTALL_STATE* state = &database->install_state;
  std::string& line = state->log_line;
  line = "\"";
  append_printable_text(&line, path.c_str());
  line += "\" not installed: ";
  append_printable_text(&line, cause.c_str());
  line += " (";
  append_printable_text(&line, packed_name);
  line += ")\n";
  write_log(state, line, false);
  state->error_count++;
  state->failure_text = "\"" + path + "\" is not installed: " + cause + ".";
  if (observer) observer->file_refused(database, printable_text(path.c_str()).c_str(), packed_name, cause.c_str());
}

// A file whose name is not allowed: refused under the destination folder's path and the name, or the
// texts of both when that folder does not exist (nothing is made for it).
static void refuse_name(DATABASE* database, const char* path_text, const char* name, const char* packed_name) {
  INSTALL_STATE* state = &database->install_state;
  std::string path;
  FOLDER folder(state->base_folder);
  if (has_host_form(path_text) && set_known_folder(&folder, path_text, false, &state->base_folder)) {
    path = folder.path;
    if (path.empty() || path.back() != PATH_SEPARATOR) path += PATH_SEPARATOR;
  } else {
    append_refused_text(&path, path_text);
    if (path.empty() || path.back() != '/') path += '/';
  }
  append_refused_text(&path, name);
  refuse_file(database, path, packed_name, "the name is not allowed");
}

// The name a file of the installation is installed under.
static const char* destination_name(const INSTALLATION_FILE* file) {
  return file->dest_name[0] ? file->dest_name : file->src_name;
}

// Why the file of that name in the folder may not be installed although its name is allowed: it would
// land on the install log (at the log's place by the host's comparison, or on the log under another
// name), or on a file that this installation installed before under another name (by its number, which
// the entry now at the name has: 0 for none), which it names. An earlier file of the same folder path
// and name is the same destination, over which the overwrite rules decide. Empty when it may be
// installed.
static std::string lands_on_other(DATABASE* database, const FOLDER& folder, const char* name, INT_U64 number) {
  INSTALL_STATE* state = &database->install_state;
  if (number && number == state->log_number && same_entry(&folder, name, &state->log_folder, LOG_FILE_NAME))
    return "it is the install log";
  if (std::strlen(name) == std::strlen(LOG_FILE_NAME) && folder.equals(&state->log_folder)) {
    // The names compared as the host compares paths (Windows ignores case).
    FOLDER file_name, log_name;
    std::strcpy(file_name.path, name);
    std::strcpy(log_name.path, LOG_FILE_NAME);
    if (file_name.equals(&log_name)) return "it is the install log";
  }
  if (!number) return std::string();
  INSTALLATION* installation = database->get_current_installation();
  auto found = state->installed_numbers.equal_range(number);
  for (auto at = found.first; at != found.second; ++at) {
    const INSTALLATION_FILE& earlier = installation->files[at->second];
    FOLDER earlier_folder(state->base_folder);
    const char* text = choose_path(database, earlier.dest_path_from_inst_loc, earlier.system_dest_path_from_inst_loc);
    if (!set_destination(state, &earlier_folder, text)) continue;
    if (std::strcmp(earlier_folder.path, folder.path) == 0 && std::strcmp(destination_name(&earlier), name) == 0) continue;
    if (same_entry(&folder, name, &earlier_folder, destination_name(&earlier)))
      return "it is the same file as \"" + full_path(earlier_folder, destination_name(&earlier)) + "\"";
  }
  return std::string();
}

static void install_file(DATABASE* database, INSTALL_DIALOG* page, INSTALLATION_FILE* file) {
  if (!file->packed_name[0] || (file->platform != PLATFORM_ANY && file->platform != PLATFORM_WIN32)) return;
  INSTALL_STATE* state = &database->install_state;
  const char* path_text = choose_path(database, file->dest_path_from_inst_loc, file->system_dest_path_from_inst_loc);
  const char* name = destination_name(file);
  // A name that leads out of the destination folder, or that a host cannot take as it stands, is
  // refused (after its progress) before anything is made for it.
  bool allowed = name_stays_inside(name) && has_host_form(path_text) && held_as_written(path_text, name);
  FOLDER destination(state->base_folder);
  bool folder_made = false;
  forget_file_failure();
  bool folder_set = allowed && set_destination(state, &destination, path_text, &folder_made);
  char reason[256] = "";  // the system's words for a failure
  if (allowed && !folder_set) describe_file_failure(reason, sizeof reason);

  // The texts of every file are joined piece by piece (formatting each costs more than the joining),
  // in strings kept from file to file.
  std::string& shown = state->shown_text;
  shown = path_text;
  if (shown.empty() || shown.back() != '/') shown += '/';
  shown += name;
  if (shown[0] == '$') {
    size_t slash = shown.find('/');
    if (slash == std::string::npos)
      shown.clear();
    else
      shown.erase(0, slash);
  }
  progress(page, shown.c_str(), (INT_S32)((INT_S64)state->step_counter * 100 / state->step_total));

  if (!allowed) return refuse_name(database, path_text, name, file->packed_name);
  // What the name leads to now (its number, 0 for nothing): a file of this installation already there
  // (another spelling of its name, or a folder reached through a link) is never replaced by a later
  // one, nor is the log. A name known to lead to nothing is not looked up.
  bool plain = false;
  INSTALL_STATE::FOLDER_NAMES* names = nullptr;
  INT_U64 number = 0;
  bool known_missing = false;
  if (folder_set) {
    plain = plain_name_key(name, &state->name_key);
    names = names_of_folder(state, destination, folder_made);
    known_missing = !may_lead_somewhere(state, *names, plain);
    if (!known_missing) number = get_file_number(&destination, name);
    std::string other = lands_on_other(database, destination, name, number);
    if (!other.empty()) return refuse_file(database, full_path(destination, name), file->packed_name, other);
  }
  bool attempted = false, installed = false;
  const char* cause = nullptr;  // why a file is not installed
  // The package being read: never written. (A folder this installation made cannot hold the package, nor
  // can a name that leads to nothing.)
  if (folder_set && !folder_made && number &&
      same_file(&destination, name, &database->data_folder, PACKAGE_FILE_NAME)) {
    attempted = true;
    cause = "is the package being installed";
  } else if (!folder_set) {
    // A file whose folder cannot be made is not installed: a failure like any other.
    attempted = true;
    cause = "cannot be placed: its folder cannot be created";
  } else {
    FILE_INFO info;
    switch (file->overwrite) {
      case 2:
        attempted = known_missing || !file_exists(&destination, name);
        break;
      case 1:
        attempted = known_missing || !get_file_info(&destination, name, &info) || info.time < database->time_stamp;
        break;
      default:
        attempted = true;
        break;
    }
    if (attempted) {
      forget_file_failure();
      installed = database->package && database->package->file &&
                  database->package->extract_entry(&destination, name, file->packed_name, copying, page);
      // The program is asked to end: the file is abandoned (nothing of it stays), neither logged nor
      // counted; the installation stops after this step.
      if (!installed && end_requested()) return;
      if (!installed) {
        INT_U16 code = get_error_code();
        bool written = code == 0x100F || code == 0x1008;  // the file could not be created or written
        cause = code == 0x100F   ? "cannot be created"
                : code == 0x1008 ? "cannot be written"
                : code == 0x1010 ? "is missing from the package"
                                 : "cannot be read from the package";
        if (written) describe_file_failure(reason, sizeof reason);
      }
    }
    if (installed) {
      mark_program_file(&destination, name, started_by_shortcut(database, path_text, name),
                        database->package->extracted_head, database->package->extracted_head_size);
      if (database->package->extracted_number)
        state->installed_numbers.emplace(database->package->extracted_number, state->step_counter - 1);
      note_name_put(state, names, plain);
    }
  }
  std::string& full = state->file_path;
  full = destination.path;
  // A folder of the destination that could not be made is named as it would have been.
  if (!folder_set && std::strncmp(path_text, "$HERE/", 6) == 0)
    for (const char* at = path_text + 5; *at; at++) full += *at == '/' ? (char)PATH_SEPARATOR : *at;
  if (full.empty() || full.back() != PATH_SEPARATOR) full += PATH_SEPARATOR;
  full += name;
  std::string& line = state->log_line;
  line = installed ? "Installed \"" : attempted ? "\"" : "Skipped \"";
  size_t path_start = line.size();
  append_printable_text(&line, full.c_str());
  size_t path_end = line.size();
  if (installed || !attempted) {
    line += "\"\n";
  } else {
    line += "\" failed to unpack (";
    append_printable_text(&line, file->packed_name);
    line += ")\n";
  }
  write_log(state, line, false);
  if (attempted && !installed) {
    state->error_count++;
    state->failure_text = "\"" + full + "\" " + cause;
    if (reason[0]) state->failure_text += std::string(" (") + reason + ")";
    state->failure_text += '.';
    if (observer) observer->copy_error(database, line.substr(path_start, path_end - path_start).c_str(), file->packed_name);
  }
}

// A folder argument of a shortcut: from the system text when chosen, else the plain one; null when the
// chosen text is empty or the folder cannot be set (why goes into failure, when given).
static FOLDER* shortcut_folder(DATABASE* database, FOLDER* folder, const char* plain, const char* system,
                               std::string* failure = nullptr) {
  const char* text = choose_path(database, plain, system);
  if (!text[0]) return nullptr;
  *folder = database->install_state.base_folder;
  forget_file_failure();
  if (set_destination(&database->install_state, folder, text)) return folder;
  if (failure) *failure = folder_failure(text);
  return nullptr;
}

// A shortcut or the uninstall entry asked for and not made: its line in the step's lines (what and why),
// counted, said to the observer and kept as what failed last for the page.
static void not_made(DATABASE* database, std::string* lines, const std::string& what, const std::string& why) {
  INSTALL_STATE* state = &database->install_state;
  std::string line = printable_text(what.c_str()) + " not made: " + printable_text(why.c_str());
  *lines += line + "\n";
  state->unmade_count++;
  state->failure_text = what + " not made: " + why + ".";
  if (observer) observer->not_made(database, line.c_str());
}

// The step's lines gather in the state: a session that ends while a progress is shown (its messages
// are taken there) logs the shortcuts made so far. An installation with a file not installed makes none:
// they could lead to nothing. A shortcut whose program folder cannot be set is not made (it would lead
// to a program of another folder); each one not made is said with the cause.
static void make_shortcuts(DATABASE* database, INSTALL_DIALOG* page, INSTALLATION* installation) {
  std::string& lines = database->install_state.step_lines;
  INT_S16 items = database->install_state.error_count == 0 ? installation->item_count : (INT_S16)0;
  for (INT_S16 i = 0; i < items; i++) {
    INSTALLATION_ITEM* item = &installation->items[i];
    if (item->platform != PLATFORM_ANY && item->platform != PLATFORM_WIN32) continue;
    FOLDER program_store, extra_store;
    std::string program_failure;
    FOLDER* program = shortcut_folder(database, &program_store, item->program_path_from_inst_loc,
                                      item->system_program_path_from_inst_loc, &program_failure);
    FOLDER* extra = shortcut_folder(database, &extra_store, item->extra_path_from_inst_loc,
                                    item->system_extra_path_from_inst_loc);
    std::string extra_text = printable_text(extra ? extra->path : "null");
    std::string program_text = printable_text(program ? program->path : "null");
    std::string program_name = printable_text(item->program_name), arguments = printable_text(item->arguments);
    std::string link_name = printable_text(item->link_name), extra_name = printable_text(item->extra_name);
    std::string why;
    if (!item->menu_folder[0] && database->desktop_shortcut == 1 &&
        database->system_capabilities().has_desktop_shortcuts == 1) {
      progress(page, LANGUAGE_STRING(database, INSTALLING_DESKTOP_SHORTCUT), 100);
      std::string what = std::string("Desktop shortcut \"") + item->link_name + "\"";
      if (!program_failure.empty())
        not_made(database, &lines, what, "its program " + program_failure);
      else if (!create_desktop_shortcut(item->type, item->program_name, item->arguments, item->link_name, extra,
                                        item->extra_name, program, &why))
        not_made(database, &lines, what, why);
      else
        lines += format_text("create_desktop_shortcut( %d, \"%s\", \"%s\", \"%s\", \"%s\", \"%s\", \"%s\" );\n",
                             (int)item->type, program_name.c_str(), arguments.c_str(), link_name.c_str(),
                             extra_text.c_str(), extra_name.c_str(), program_text.c_str());
    }
    if (item->menu_folder[0] && database->menu_shortcut == 1 &&
        database->system_capabilities().has_menu_shortcuts == 1) {
      progress(page, LANGUAGE_STRING(database, INSTALLING_MENU_SHORTCUT), 100);
      std::string what = std::string("Menu shortcut \"") + item->link_name + "\" in \"" + item->menu_folder + "\"";
      if (!program_failure.empty())
        not_made(database, &lines, what, "its program " + program_failure);
      else if (!create_os_menu_shortcut(item->type, item->program_name, item->arguments, item->link_name,
                                        item->menu_folder, extra, item->extra_name, program, &why))
        not_made(database, &lines, what, why);
      else
        lines += format_text(
            "create_os_menu_shortcut( %d, \"%s\", \"%s\", \"%s\", \"%s\", \"%s\", \"%s\", \"%s\" );\n", (int)item->type,
            program_name.c_str(), arguments.c_str(), link_name.c_str(), printable_text(item->menu_folder).c_str(),
            extra_text.c_str(), extra_name.c_str(), program_text.c_str());
    }
  }
  if (!lines.empty() || !database->install_state.removed_lines.empty()) write_log(&database->install_state, lines, false);
  lines.clear();
}

// The uninstall entry asked for: its "RegKey" line when it is made, else its line saying why not.
static void make_uninstall_entry(DATABASE* database, INSTALLATION* installation, std::string* lines) {
  INSTALL_STATE* state = &database->install_state;
  std::string what = std::string("Uninstall entry \"") + installation->uninstaller_name + "\"";
  FOLDER folder(state->base_folder);
  const char* text = choose_path(database, installation->uninstaller_path, installation->uninstaller_syspath);
  forget_file_failure();
  if (!set_destination(state, &folder, text)) return not_made(database, lines, what, "its program " + folder_failure(text));
  std::string program = full_path(folder, installation->uninstaller_filename);
  if (!file_exists(&folder, installation->uninstaller_filename))
    return not_made(database, lines, what, "its program \"" + program + "\" does not exist");
  std::string why;
  if (!write_uninstall_entry(installation->uninstaller_name, installation->uninstaller_name, program.c_str(), &why))
    return not_made(database, lines, what, why);
  *lines += format_text("RegKey \"%s\"\n", printable_text(installation->uninstaller_name).c_str());
}

static void complete(DATABASE* database, INSTALL_DIALOG* page, INSTALLATION* installation) {
  INSTALL_STATE* state = &database->install_state;
  std::string& lines = state->step_lines;
  // An installation with a file not installed is not registered: its uninstall entry would lead to a
  // part of it.
  if (state->error_count == 0 && installation->uninstaller_name[0] && installation->uninstaller_filename[0])
    make_uninstall_entry(database, installation, &lines);
  reset_base_path();
  if (observer) observer->show_install_complete(page);
  if (state->error_count == 0 && state->unmade_count == 0)
    progress(page, LANGUAGE_STRING(database, COMPLETE), 100);
  else
    progress(page, installation_failure_text(database).c_str(), 100);
  state->step_counter++;
  // Every file not installed, shortcut and entry not made is an error of the installation.
  if (state->error_count == 0 && state->unmade_count == 0)
    lines += "Installation completed without any errors.\n";
  else
    lines += format_text("Installation completed with %d errors.\n", (int)(state->error_count + state->unmade_count));
  write_log(state, lines, false);
  lines.clear();
  finish_log(state);
  state->running = false;
  set_idle_wait(50);
}

void DATABASE::end_installation(bool cut_short) {
  INSTALL_STATE* state = &install_state;
  // Ended early, by the person installing or on a request of the system to end the program: the log's
  // last line says so, after the lines of a step cut short (a session's end). A log not yet begun (the
  // preparation) stays unmade.
  if (state->running && !state->interrupted && (cut_short || end_requested())) {
    state->interrupted = true;
    if (state->log || !state->log_pending.empty()) write_log(state, state->step_lines + INTERRUPTED_LINE, false);
    state->step_lines.clear();
    if (observer) observer->installation_interrupted(this);
  }
  finish_log(state);
  if (!state->running) return;
  state->running = false;
  reset_base_path();
  set_idle_wait(50);
}

// A request of the system to end the program stops a running installation between two steps: the
// log ends with its line, and nothing more is installed.
static bool stopped_by_end_request(DATABASE* database) {
  INSTALL_STATE* state = &database->install_state;
  if (!state->running || !end_requested()) return false;
  database->end_installation();
  state->step_counter = state->step_total + 3;
  return true;
}

void DATABASE::install_step(INSTALL_DIALOG* page) {
  INSTALL_STATE* state = &install_state;
  if (stage != STAGE_INSTALLING) {
    // Leaving the stage interrupts an installation that has not completed, and the next one starts
    // afresh.
    end_installation(true);
    state->step_counter = 0;
    return;
  }
  INSTALLATION* installation = get_current_installation();
  if (!installation) return;
  if (state->step_counter == 0) {
    // Asked to end before it began: nothing is prepared.
    if (end_requested()) {
      if (!state->interrupted && observer) observer->installation_interrupted(this);
      state->interrupted = true;
      return;
    }
    prepare(this, page, installation);
    return;
  }
  if (stopped_by_end_request(this)) return;
  if (state->step_counter < state->step_total) {
    if (state->step_counter - 1 < installation->file_count)
      install_file(this, page, &installation->files[state->step_counter - 1]);
    state->step_counter++;
  } else if (state->step_counter == state->step_total) {
    make_shortcuts(this, page, installation);
    state->step_counter++;
  } else if (state->step_counter == state->step_total + 1) {
    complete(this, page, installation);
  }
  stopped_by_end_request(this);
}

std::string installation_failure_text(const DATABASE* database) {
  const INSTALL_STATE& state = database->install_state;
  if (state.stopped || (state.error_count == 0 && state.unmade_count == 1)) return state.failure_text;
  if (state.error_count == 0 && state.unmade_count > 1)
    return format_text("%d shortcuts and entries were not made; the last: ", (int)state.unmade_count) + state.failure_text;
  if (state.error_count == 1) return "1 file could not be installed: " + state.failure_text;
  return format_text("%d files could not be installed; the last: ", (int)state.error_count) + state.failure_text;
}

// ---------------------------------------------------------------------------------------------------
// The copy error box

WM_CONFIRM* open_copy_error_box(DATABASE* database, WM_EVENT_CALLBACK event_callback) {
  if (!page_manager) return nullptr;
  INT_S32 previous = database->previous_stage();
  WM_CONFIRM* box = new WM_CONFIRM(database->ERROR.width, database->ERROR.height,
                                   LANGUAGE_STRING(database, COPY_ERROR_TITLE), LANGUAGE_STRING(database, COPY_ERROR_YES),
                                   LANGUAGE_STRING(database, COPY_ERROR_NO), 1, event_callback, COPY_ERROR_YES_RESULT, 0,
                                   event_callback, COPY_ERROR_NO_RESULT, (INT_U32)previous, database->ERROR.x,
                                   database->ERROR.y, 0, COPY_ERROR_LINES, nullptr);
  const char* message = LANGUAGE_STRING(database, COPY_ERROR_MSG);
  // The message, then what failed and why after an empty line; the box grows to show them whole.
  const std::string& failure = database->install_state.failure_text;
  std::string shown = message;
  if (!failure.empty()) shown += (message[0] ? "\n\n" : "") + failure;
  box->add_message(shown.c_str());
  box->draggable = database->ERROR.can_drag;
  IMAGE* icons[2] = {&database->skin_icons[DATABASE::yes_icon], &database->skin_icons[DATABASE::no_icon]};
  for (int i = 0; i < 2; i++) {
    if (icons[i]->width < 1 || icons[i]->height < 1 || !icons[i]->pixels || !box->buttons[i]) continue;
    IMAGE& image = box->buttons[i]->icon;
    image.set_size(icons[i]->width, icons[i]->height);
    if (image.pixels) image.blit(icons[i], 0, 0, 0, 0, icons[i]->width, icons[i]->height, BLIT_COPY);
    if (box->buttons[i]->visible) box->buttons[i]->show();
  }
  page_manager->get_root()->add_top_level(box, false);
  return box;
}

// ---------------------------------------------------------------------------------------------------
// Reading an earlier install log back

// The next line of an earlier log into line: 1 when read, 0 at the end of the file, -1 when it does not
// fit in EARLIER_LOG_LINE_LIMIT bytes (zeros, which the text cannot hold, included), after which
// nothing more of it is read.
static int read_bounded_line(TEXT_FILE* file, std::string* buffer, std::string* line) {
  buffer->assign((size_t)EARLIER_LOG_LINE_LIMIT + 2, '\0');
  file->line_size = (INT_S16)buffer->size();
  if (!file->read_line(&(*buffer)[0])) return 0;
  if (!file->line_whole) return -1;
  line->assign(buffer->c_str());
  return 1;
}

bool DATABASE::read_install_log(EARLIER_LOG* found) {
  EARLIER_LOG local;
  EARLIER_LOG& earlier = found ? *found : local;
  earlier = EARLIER_LOG();
  // The choice as the install step takes it, which its log records.
  bool system_paths = system_paths_used();
  bool system_choice = PATCH.system_dest_path_from_inst_loc[0] && system_paths;
  const char* text = system_choice ? PATCH.system_dest_path_from_inst_loc : PATCH.dest_path_from_inst_loc;
  FOLDER base;
  if (!set_location_folder(&base, install_path, APPLICATION.app_string, false)) {
    // No destination: the log is named where it would be.
    earlier.path = location_path_text(install_path, APPLICATION.app_string);
    if (std::strncmp(text, "$HERE/", 6) == 0)
      for (const char* at = text + 5; *at; at++) earlier.path += *at == '/' ? (char)PATH_SEPARATOR : *at;
    if (earlier.path.empty() || earlier.path.back() != PATH_SEPARATOR) earlier.path += PATH_SEPARATOR;
    earlier.path += LOG_FILE_NAME;
    earlier.mismatch = "its install log \"" + printable_text(earlier.path.c_str()) + "\" was not found";
    return false;
  }
  set_base_path(&base, APPLICATION.app_string);
  FOLDER folder(base);
  if (!text[0] || !set_known_folder(&folder, text, false, &base)) folder = base;
  reset_base_path();

  earlier.path = full_path(folder, LOG_FILE_NAME);
  const std::string its_log = "its install log \"" + printable_text(earlier.path.c_str()) + "\" ";
  // Only a plain file is opened (a pipe is never waited on); anything else is named as what it is.
  forget_file_failure();
  TEXT_FILE* file = open_text_file(&folder, LOG_FILE_NAME, TEXT_FILE_READ, false);
  if (!file) {
    char reason[256];
    describe_file_failure(reason, sizeof reason);
    switch (get_file_kind(&folder, LOG_FILE_NAME)) {
      case FILE_KIND_NONE: earlier.mismatch = its_log + "was not found"; break;
      case FILE_KIND_FOLDER: earlier.mismatch = its_log + "is a folder"; break;
      case FILE_KIND_PIPE: earlier.mismatch = its_log + "is a pipe"; break;
      case FILE_KIND_DEVICE: earlier.mismatch = its_log + "is a device"; break;
      case FILE_KIND_OTHER: earlier.mismatch = its_log + "is not a file"; break;
      default:
        earlier.mismatch = its_log + "cannot be read";
        if (reason[0]) earlier.mismatch += std::string(" (") + reason + ")";
        break;
    }
    return false;
  }
  // The head of the log: its settings, then the application and installation it names (none in a log
  // of an earlier version, whose next lines are the wizard's warning and the files).
  std::string buffer, line, settings;
  int got = 0;
  bool has_settings = false;
  for (int i = 0; i < EARLIER_LOG_HEAD_LINES && !has_settings; i++) {
    if ((got = read_bounded_line(file, &buffer, &line)) <= 0) break;
    if (line.compare(0, 10, "Settings: ") != 0) continue;
    settings = line.substr(10);
    has_settings = true;
  }
  std::string application, installation_name;
  if (has_settings && (got = read_bounded_line(file, &buffer, &line)) > 0 &&
      line.compare(0, 13, "Application: ") == 0) {
    application = line.substr(13);
    if ((got = read_bounded_line(file, &buffer, &line)) > 0 && line.compare(0, 14, "Installation: ") == 0) {
      installation_name = line.substr(14);
      earlier.identified = true;
    }
  }
  close_text_file(&file);
  if (got < 0) {
    earlier.mismatch = its_log + format_text("is damaged: a line of more than %d bytes", (int)EARLIER_LOG_LINE_LIMIT);
    return false;
  }
  if (!has_settings) {
    earlier.mismatch = its_log + format_text("is damaged: no \"Settings: \" line among its first %d lines",
                                             (int)EARLIER_LOG_HEAD_LINES);
    return false;
  }
  earlier.settings = settings;
  if (earlier.identified) {
    earlier.application = application;
    earlier.installation = installation_name;
  }

  // "%d %hd" and the rest of the line after the blanks.
  const char* cursor = settings.c_str();
  char* end = nullptr;
  std::strtol(cursor, &end, 10);
  bool numbers = end != cursor;
  long choice = 0;
  if (numbers) {
    cursor = end;
    choice = std::strtol(cursor, &end, 10);
    numbers = end != cursor;
  }
  if (!numbers) {
    earlier.mismatch = its_log + "is damaged: its settings are not the installer's (Settings: " +
                       printable_text(settings.c_str()) + ")";
    return false;
  }
  cursor = end;
  while (*cursor == ' ' || *cursor == '\t') cursor++;
  std::string logged_path = cursor;
  INT_S16 logged_choice = (INT_S16)choice;

  const std::string the_log = "the install log \"" + printable_text(earlier.path.c_str()) + "\" ";
  // Another product or installation type at the location is never updated.
  INSTALLATION* installation = get_current_installation();
  std::string own_application = printable_text(APPLICATION.app_string);
  std::string own_installation = printable_text(installation ? installation->name : "");
  if (earlier.identified && (application != own_application || installation_name != own_installation)) {
    earlier.mismatch = the_log + "is of another installation: \"" + printable_text(installation_name.c_str()) +
                       "\" of the application \"" + printable_text(application.c_str()) + "\" (this update is for \"" +
                       own_installation + "\" of \"" + own_application + "\")";
    return false;
  }
  const std::string logged = "(Settings: " + printable_text(settings.c_str()) + ")";
  const std::string other_choice = the_log + "names another choice of the system folders " + logged;
  if (system_choice) {
    if (logged_choice == 0) earlier.mismatch = other_choice;
    return logged_choice != 0;
  }
  // The system folders chosen where the package names none for the log (as the packer makes packages):
  // the log lies at the location as with the plain choice, and it must name the location and the same
  // choice. Both paths as folders relative to the base folder; nothing is created. They are read as the
  // install step reads the destination, before the base path names it: a destination below the
  // program's own folder ("$APP/...", as the folder dialog gives it) then means the same folder on both
  // sides. The logged path comes from a file: a path variable this program does not know matches
  // nothing.
  FOLDER logged_folder(base), current(base);
  if (logged_path.empty() || !is_known_path_text(logged_path.c_str()) ||
      !set_location_folder(&logged_folder, logged_path.c_str(), APPLICATION.app_string, false, &base) ||
      !set_location_folder(&current, install_path, APPLICATION.app_string, false, &base) ||
      !logged_folder.equals(&current)) {
    earlier.mismatch = the_log + "is of another installation " + logged;
    return false;
  }
  if ((logged_choice != 0) != system_paths) {
    earlier.mismatch = other_choice;
    return false;
  }
  return true;
}
