// The install log: its writer, which the install step hands each step's lines to, and its reader, by
// which an update tells whether the earlier installation at its location is the one it updates.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files.h"
#include "install_step.h"
#include "text_file.h"

// ---------------------------------------------------------------------------------------------------
// Writing

static void close_log(INSTALL_STATE* state) { close_text_file(&state->log); }

// The most numbered names an update tries for the earlier log it keeps.
static const int KEPT_LOG_LIMIT = 9999;

// Something has the name in the folder: a file, a folder, a link (also one that leads nowhere).
static bool name_taken_in(const FOLDER* folder, const char* name) {
  return get_file_kind(folder, name) != FILE_KIND_NONE || is_link(folder, name);
}
static bool name_taken(const INSTALL_STATE* state, const char* name) { return name_taken_in(&state->log_folder, name); }

// How keeping a log under a numbered name ended.
enum LOG_KEEPING { LOG_KEPT, LOG_GONE, LOG_NOT_KEPT };

// Keeps the log of the folder under the first free name "install_log-<n>.txt" beside it, by a rename
// that never replaces: at any moment the log has the one name or the other. name: the name it took, or
// the last one tried; reason: why it could not be kept. LOG_GONE where the log went meanwhile.
static LOG_KEEPING keep_under_number(const FOLDER* folder, std::string* name, char* reason, size_t size) {
  for (int n = 1; n <= KEPT_LOG_LIMIT; n++) {
    *name = format_text("install_log-%d.txt", n);
    forget_file_failure();
    if (rename_file(folder, INSTALL_LOG_NAME, folder, name->c_str())) return LOG_KEPT;
    describe_file_failure(reason, size);
    if (!name_taken_in(folder, INSTALL_LOG_NAME)) return LOG_GONE;
    // A name that is taken (by a log kept before): the next one.
    if (!name_taken_in(folder, name->c_str())) return LOG_NOT_KEPT;
    std::snprintf(reason, size, "%s", "every numbered name is taken");
  }
  return LOG_NOT_KEPT;
}

// The log's line that says where an earlier log was kept.
static std::string kept_line(const FOLDER& folder, const std::string& name) {
  return "Kept the earlier install log as \"" + printable_text(full_path(folder, name.c_str()).c_str()) + "\"";
}

// What an earlier run left at the log's place (the log of the update before it, where updates log into
// a folder of their own; an installation's there, of this product or another) is kept under a numbered
// name beside it (keep_under_number). A folder there is no log (the new log cannot take its place
// either). False, with the cause, when it cannot be kept: then the new log does not take its place.
static bool keep_earlier_log(INSTALL_STATE* state, std::string* cause) {
  if (!state->kept_log_name.empty()) return true;
  if (!name_taken(state, INSTALL_LOG_NAME) || get_file_kind(&state->log_folder, INSTALL_LOG_NAME) == FILE_KIND_FOLDER)
    return true;
  std::string name;
  char reason[256] = "";
  switch (keep_under_number(&state->log_folder, &name, reason, sizeof reason)) {
    case LOG_GONE: return true;  // nothing is left to keep
    case LOG_KEPT:
      state->kept_log_name = name;
      state->kept_log_line += kept_line(state->log_folder, name) + "\n";
      return true;
    case LOG_NOT_KEPT: break;
  }
  *cause = "the earlier log there cannot be kept as \"" + full_path(state->log_folder, name.c_str()) + "\"";
  if (reason[0]) *cause += std::string(": ") + reason;
  return false;
}

// The written log (the temporary name of the open file) takes the name "install_log.txt" and never
// replaces: a log that another run put there since the earlier one was kept is kept in turn under the
// next numbered name, its line going into later, and the name is tried again. False, with the cause
// where a log there cannot be kept, when the name cannot be had.
static bool name_log(INSTALL_STATE* state, TEXT_FILE* file, const char* name, std::string* kept_cause,
                     std::string* later) {
  size_t written = state->kept_log_line.size();  // the lines of logs kept before, written with the others
  for (int tries = 0; tries < 16; tries++) {
    forget_file_failure();
    if (rename_open_file(file->stream, &state->log_folder, name, INSTALL_LOG_NAME, false)) {
      *later = state->kept_log_line.substr(written);
      return true;
    }
    // The rename's own cause stays for the log's failure when no other log has the name.
    INT_U32 failure = file_failure_code();
    bool other_log =
        name_taken(state, INSTALL_LOG_NAME) && get_file_kind(&state->log_folder, INSTALL_LOG_NAME) != FILE_KIND_FOLDER;
    restore_file_failure(failure);
    if (!other_log) return false;
    state->kept_log_name.clear();
    if (!keep_earlier_log(state, kept_cause)) return false;
  }
  return false;
}

// Creates the log holding the lines: they are written to a new file of a temporary name, which then
// takes the name "install_log.txt" once whatever had it (a file, a link, a pipe) is kept under a
// numbered name, never writing through it, and replaces nothing. The file stays open
// under that name: the rest of this installation writes to it alone, whatever another run does at the
// name meanwhile. False when it cannot be made (nothing is left of it).
static bool create_log(INSTALL_STATE* state, const std::string& given_lines) {
  char name[TEMPORARY_NAME_SIZE];
  TEXT_FILE* file = nullptr;
  char reason[256] = "";
  // A log whose folder cannot be had is made nowhere else: said with that folder's cause.
  std::string kept_cause = state->log_folder_cause, kept_before = state->kept_log_name;
  bool kept = kept_cause.empty() && keep_earlier_log(state, &kept_cause);
  const std::string& lines = state->kept_log_line.empty() ? given_lines : given_lines + state->kept_log_line;
  for (int tries = 0; kept && !file && tries < 16; tries++) {
    next_temporary_name(name);
    forget_file_failure();
    file = open_text_file(&state->log_folder, name, TEXT_FILE_WRITE_NEW, false);
    if (!file) describe_file_failure(reason, sizeof reason);
    if (!file && !file_exists(&state->log_folder, name)) break;  // not a taken name: no other name helps
    if (!file) note_temporary_taken(name);                         // an ended run's, not this one's
  }
  std::string later;
  if (file && file->write_text_whole(lines.c_str()) && name_log(state, file, name, &kept_cause, &later) &&
      !std::ferror(file->stream)) {
    state->log = file;
    state->log_number = stream_file_number(file->stream);
    // The earlier logs kept are said once this log, which says it too, has their place.
    INSTALL_OBSERVER* observer = get_install_observer();
    for (size_t at = 0, end; observer && (end = state->kept_log_line.find('\n', at)) != std::string::npos; at = end + 1)
      observer->earlier_log_kept(state->kept_log_line.substr(at, end - at).c_str());
    state->kept_log_line.clear();
    if (!later.empty()) write_log(state, later, false);
    return true;
  }
  if (file) {
    // Written, and not given its name: on Windows another program holding the earlier log open says so.
    // A folder at the name is no log to keep, and the log never replaces it.
    describe_file_failure(reason, sizeof reason);
    if (get_file_kind(&state->log_folder, INSTALL_LOG_NAME) == FILE_KIND_FOLDER)
      std::snprintf(reason, sizeof reason, "%s", "a folder has the name");
    close_text_file(&file);
    delete_file(&state->log_folder, name);
  }
  // The earlier log that this try kept goes back to its name, which no log takes: a later check finds it
  // there, and a later try keeps it again.
  if (kept_before.empty() && !state->kept_log_name.empty() &&
      rename_file(&state->log_folder, state->kept_log_name.c_str(), &state->log_folder, INSTALL_LOG_NAME)) {
    state->kept_log_name.clear();
    state->kept_log_line.clear();
  }
  // Said once, at the first failure: a later try that fails again says nothing new.
  if (state->log_failed) return false;
  state->log_cause = kept_cause.empty() ? std::string(reason) : kept_cause;
  state->failure_text = "The install log \"" + full_path(state->log_folder, INSTALL_LOG_NAME) + "\" cannot be created";
  if (!state->log_cause.empty()) state->failure_text += " (" + state->log_cause + ")";
  state->failure_text += '.';
  return false;
}

void keep_latest_update_log(DATABASE* database) {
  INSTALL_STATE* state = &database->install_state;
  std::string text = choose_path(database, database->LOG.dest_path_from_inst_loc,
                                 database->LOG.system_dest_path_from_inst_loc);
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  text = (text.empty() ? std::string("$HERE") : text) + "/patch";
  FOLDER folder(state->base_folder);
  std::string name;
  char reason[256];
  if (!set_known_folder(&folder, text.c_str(), false, &state->base_folder) ||
      get_file_kind(&folder, INSTALL_LOG_NAME) != FILE_KIND_FILE ||
      keep_under_number(&folder, &name, reason, sizeof reason) != LOG_KEPT)
    return;
  std::string line = kept_line(folder, name);
  write_log(state, line + "\n", false);
  if (INSTALL_OBSERVER* observer = get_install_observer()) observer->earlier_log_kept(line.c_str());
}

// A write to the log failed: the log ends there, said once with the system's cause.
static void log_lost(INSTALL_STATE* state) {
  char reason[256];
  describe_file_failure(reason, sizeof reason);
  state->log_failed = true;
  state->log_cut = true;
  state->log_cause = reason;
  if (INSTALL_OBSERVER* observer = get_install_observer())
    observer->log_not_written(full_path(state->log_folder, INSTALL_LOG_NAME).c_str(), reason);
}

const char* const EARLIER_LOG_KEPT = "It is kept, and this installation's log goes beside it.";

const char* const LOG_QUESTION =
    "Go on without the log? The files are installed all the same, and the log is tried again as they are; "
    "if it cannot be made, a later update or check cannot rely on this installation.";

std::string log_failure_text(const INSTALL_STATE& state) {
  if (!state.log_failed) return "";
  std::string path = full_path(state.log_folder, INSTALL_LOG_NAME);
  std::string cause = state.log_cause.empty() ? "" : " (" + state.log_cause + ")";
  if (state.log_cut)
    return "The install log \"" + path + "\" could not be written whole" + cause +
           ": this installation's log is incomplete, so a later update or check cannot rely on it.";
  if (!state.log_number)
    return "The install log \"" + path + "\" cannot be created" + cause +
           ": this installation has no log, so a later update or check cannot rely on it.";
  return "The install log \"" + path + "\" could not be created at first" + cause + "; it was made later, whole.";
}

// Writes a step's line group to the log: a new log with create, else the log this installation created.
// The lines of temporaries removed since the last group go with it (after the header, before a file's
// line). Each group is handed to the system whole through the open file as soon as its step is done,
// so that the log is complete on disk after every step: a process killed at any moment leaves every
// line of the steps before, and never part of a line. A log that cannot be created keeps its lines
// here and is created with all of them by a later try (after 1, 2, 4... further line groups, and at
// the end): it never adds them to a log that it did not create. A write that fails ends the log there,
// said once.
void write_log(INSTALL_STATE* state, const std::string& step_lines, bool create) {
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
void finish_log(INSTALL_STATE* state) {
  if (!state->log && !state->log_pending.empty() && create_log(state, state->log_pending)) state->log_pending.clear();
  if (state->log && !close_text_file(&state->log) && !state->log_cut) log_lost(state);
}

// ---------------------------------------------------------------------------------------------------
// Reading an earlier installation's log

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

// What the head of an earlier log holds: the settings line, and the application, installation and
// version that follow it when it names them.
struct LOG_HEAD {
  std::string settings, application, installation, version;
  bool has_application = false, has_installation = false, has_version = false;
  INT_S16 choice = 0;       // the settings' choice of the system folders
  std::string location;     // and the location they record
};

// Reads the head of the open log (its_log: the log as its messages name it): false, with the verdict
// and why in earlier, when it is damaged.
static bool read_log_head(TEXT_FILE* file, const std::string& its_log, LOG_HEAD* head, EARLIER_LOG* earlier) {
  // Its settings, then the application and installation it names (none in a log of an earlier version,
  // whose next lines are the wizard's warning and the files).
  std::string buffer, line;
  file->read_limit = EARLIER_LOG_HEAD_BYTES;
  int got = 0;
  bool has_settings = false;
  for (int i = 0; i < EARLIER_LOG_HEAD_LINES && !has_settings; i++) {
    if ((got = read_bounded_line(file, &buffer, &line)) <= 0) break;
    if (line.compare(0, 10, "Settings: ") != 0) continue;
    head->settings = line.substr(10);
    has_settings = true;
  }
  // The two lines after the settings name the application and the installation: both (this
  // installer's log), or neither (an earlier version's). A log with one of them is another
  // installation's or damaged. The third names the version of its files (none in a log made before
  // logs named it).
  for (int i = 0; has_settings && i < 3; i++) {
    if ((got = read_bounded_line(file, &buffer, &line)) <= 0) break;
    if (!head->has_application && line.compare(0, 13, "Application: ") == 0) {
      head->application = line.substr(13);
      head->has_application = true;
    } else if (!head->has_installation && line.compare(0, 14, "Installation: ") == 0) {
      head->installation = line.substr(14);
      head->has_installation = true;
    } else if (!head->has_version && line.compare(0, 9, "Version: ") == 0) {
      head->version = line.substr(9);
      head->has_version = true;
    }
  }
  bool too_long = file->limit_reached != 0;
  if (got < 0 || too_long || !has_settings) earlier->verdict = EARLIER_LOG_DAMAGED;
  if (too_long) {
    // A run of line ends, which no line bounds, or lines at their bound beyond what any head takes.
    earlier->mismatch = its_log + format_text("is damaged: its first lines take more than %d bytes",
                                              (int)EARLIER_LOG_HEAD_BYTES);
    return false;
  }
  if (got < 0) {
    earlier->mismatch = its_log + format_text("is damaged: a line of more than %d bytes", (int)EARLIER_LOG_LINE_LIMIT);
    return false;
  }
  if (!has_settings) {
    earlier->mismatch = its_log + format_text("is damaged: no \"Settings: \" line among its first %d lines",
                                              (int)EARLIER_LOG_HEAD_LINES);
    return false;
  }
  // "%d %hd" and the rest of the line after the blanks.
  const char* cursor = head->settings.c_str();
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
    earlier->verdict = EARLIER_LOG_DAMAGED;
    earlier->mismatch = its_log + "is damaged: its settings are not the installer's (Settings: " +
                        printable_text(head->settings.c_str()) + ")";
    return false;
  }
  cursor = end;
  while (*cursor == ' ' || *cursor == '\t') cursor++;
  head->location = cursor;
  head->choice = (INT_S16)choice;
  return true;
}

// Whether the head of an earlier log names this package's application and installation: false, with
// the verdict and why in earlier, for another product's or installation's, or one that names only
// half of one (or names an empty one where this package has a name). A log of an earlier version of
// the installer names neither: true. this_package: the package's own names for the words, "this update
// is for" or "this package installs".
static bool judge_log_names(DATABASE* database, const LOG_HEAD& head, const char* this_package, EARLIER_LOG* earlier) {
  const std::string the_log = "the install log \"" + printable_text(earlier->path.c_str()) + "\" ";
  INSTALLATION* installation = database->get_current_installation();
  std::string own_application = printable_text(database->APPLICATION.app_string);
  std::string own_installation = printable_text(installation ? installation->name : "");
  const std::string this_update =
      std::string(" (") + this_package + " \"" + own_installation + "\" of \"" + own_application + "\")";
  bool empty_name = (head.has_application && head.application.empty() && !own_application.empty()) ||
                    (head.has_installation && head.installation.empty() && !own_installation.empty());
  if (head.has_application != head.has_installation || empty_name) {
    auto named = [](bool has, const std::string& name, const char* what) {
      if (!has) return std::string("no ") + what;
      if (name.empty()) return std::string("an empty ") + what + " name";
      return std::string("the ") + what + " \"" + printable_text(name.c_str()) + "\"";
    };
    earlier->verdict = EARLIER_LOG_OTHER_INSTALLATION;
    earlier->mismatch = the_log + "is another installation's or damaged: it names " +
                        named(head.has_application, head.application, "application") + " and " +
                        named(head.has_installation, head.installation, "installation") + this_update;
    return false;
  }
  if (earlier->identified && (head.application != own_application || head.installation != own_installation)) {
    earlier->verdict = EARLIER_LOG_OTHER_INSTALLATION;
    earlier->mismatch = the_log + "is of another installation: \"" + printable_text(head.installation.c_str()) +
                        "\" of the application \"" + printable_text(head.application.c_str()) + "\"" + this_update;
    return false;
  }
  return true;
}

// Judges the head of an earlier log against the current choices (base: the location's folder,
// system_choice: whether the package names the log's place under the system folders and they are
// used): true when it is the log of the installation that this package updates.
static bool judge_log_head(DATABASE* database, const LOG_HEAD& head, FOLDER& base, bool system_choice,
                           EARLIER_LOG* earlier) {
  // Another product or installation type at the location is never updated.
  if (!judge_log_names(database, head, "this update is for", earlier)) return false;
  const std::string the_log = "the install log \"" + printable_text(earlier->path.c_str()) + "\" ";
  const std::string logged = "(Settings: " + printable_text(head.settings.c_str()) + ")";
  const std::string other_choice = the_log + "names another choice of the system folders " + logged;
  if (system_choice) {
    if (head.choice == 0) {
      earlier->verdict = EARLIER_LOG_OTHER_CHOICE;
      earlier->mismatch = other_choice;
    }
    return head.choice != 0;
  }
  // The system folders chosen where the package names none for the log (as the packer makes packages):
  // the log lies at the location as with the plain choice, and it must name the location and the same
  // choice. Both paths as folders relative to the base folder; nothing is created. They are read as the
  // install step reads the destination, before the base path names it: a destination below the
  // program's own folder ("$APP/...", as the folder dialog gives it) then means the same folder on both
  // sides. The logged path comes from a file: a path variable this program does not know matches
  // nothing.
  const char* application = database->APPLICATION.app_string;
  FOLDER logged_folder(base), current(base);
  if (head.location.empty() || !is_known_path_text(head.location.c_str()) ||
      !set_location_folder(&logged_folder, head.location.c_str(), application, false, &base) ||
      !set_location_folder(&current, database->install_path, application, false, &base) ||
      !logged_folder.equals(&current)) {
    earlier->verdict = EARLIER_LOG_OTHER_INSTALLATION;
    earlier->mismatch = the_log + "is of another installation " + logged;
    return false;
  }
  if ((head.choice != 0) != database->system_paths_used()) {
    earlier->verdict = EARLIER_LOG_OTHER_CHOICE;
    earlier->mismatch = other_choice;
    return false;
  }
  return true;
}

// The folder of an earlier log, from its folder text below the install location (empty: the location
// itself), as set_known_folder finds it, nothing created; base gets the location's folder. False when
// the location or that folder is not there, with path the log's path where it would be.
static bool find_log_folder(DATABASE* database, const char* text, FOLDER* base, FOLDER* folder, std::string* path) {
  const char* application = database->APPLICATION.app_string;
  if (set_location_folder(base, database->install_path, application, false)) {
    set_base_path(base, application);
    *folder = *base;
    bool found = !text[0] || set_known_folder(folder, text, false, base);
    reset_base_path();
    if (found) return true;
  }
  std::string location = location_path_text(database->install_path, application);
  *path = text[0] ? destination_path_text(text, location, application) : std::string();
  if (path->empty()) *path = location;
  if (path->empty() || path->back() != PATH_SEPARATOR) *path += PATH_SEPARATOR;
  *path += INSTALL_LOG_NAME;
  return false;
}

// Opens the earlier log in the folder and reads its head into head and earlier: false, with the verdict
// and why in earlier, when it is not there, is no file that can be read, or is damaged.
static bool read_earlier_log(FOLDER* folder, LOG_HEAD* head, EARLIER_LOG* earlier) {
  earlier->path = full_path(*folder, INSTALL_LOG_NAME);
  const std::string its_log = "its install log \"" + printable_text(earlier->path.c_str()) + "\" ";
  // Only a plain file is opened (a pipe is never waited on); anything else is named as what it is.
  forget_file_failure();
  TEXT_FILE* file = open_text_file(folder, INSTALL_LOG_NAME, TEXT_FILE_READ, false);
  if (!file) {
    char reason[256];
    describe_file_failure(reason, sizeof reason);
    FILE_KIND kind = get_file_kind(folder, INSTALL_LOG_NAME);
    earlier->verdict = kind == FILE_KIND_NONE ? EARLIER_LOG_NOT_FOUND : EARLIER_LOG_NOT_READ;
    switch (kind) {
      case FILE_KIND_NONE: earlier->mismatch = its_log + "was not found"; break;
      case FILE_KIND_FOLDER: earlier->mismatch = its_log + "is a folder"; break;
      case FILE_KIND_PIPE: earlier->mismatch = its_log + "is a pipe"; break;
      case FILE_KIND_DEVICE: earlier->mismatch = its_log + "is a device"; break;
      case FILE_KIND_OTHER: earlier->mismatch = its_log + "is not a file"; break;
      default:
        earlier->mismatch = its_log + "cannot be read";
        if (reason[0]) earlier->mismatch += std::string(" (") + reason + ")";
        break;
    }
    return false;
  }
  bool whole = read_log_head(file, its_log, head, earlier);
  close_text_file(&file);
  earlier->identified = head->has_application && head->has_installation;
  if (!whole) return false;
  earlier->settings = head->settings;
  if (earlier->identified) {
    earlier->application = head->application;
    earlier->installation = head->installation;
  }
  earlier->has_version = head->has_version && !head->version.empty();
  earlier->version = head->version;
  return true;
}

bool DATABASE::read_install_log(EARLIER_LOG* found) {
  EARLIER_LOG local;
  EARLIER_LOG& earlier = found ? *found : local;
  earlier = EARLIER_LOG();
  // The choice as the install step takes it, which its log records.
  bool system_choice = PATCH.system_dest_path_from_inst_loc[0] && system_paths_used();
  const char* text = system_choice ? PATCH.system_dest_path_from_inst_loc : PATCH.dest_path_from_inst_loc;
  // No destination, or no folder of the log there: the log is named where it would be.
  FOLDER base, folder;
  if (!find_log_folder(this, text, &base, &folder, &earlier.path)) {
    earlier.verdict = EARLIER_LOG_NOT_FOUND;
    earlier.mismatch = "its install log \"" + printable_text(earlier.path.c_str()) + "\" was not found";
    return false;
  }
  LOG_HEAD head;
  if (!read_earlier_log(&folder, &head, &earlier)) return false;
  return judge_log_head(this, head, base, system_choice, &earlier);
}

// The place of this package's own log: its log folder below the install location, with the system
// folders where they are used and it names one for them.
static const char* own_log_text(DATABASE* database) {
  return database->LOG.system_dest_path_from_inst_loc[0] && database->system_paths_used()
             ? database->LOG.system_dest_path_from_inst_loc
             : database->LOG.dest_path_from_inst_loc;
}

bool DATABASE::update_target_found(EARLIER_LOG* found) {
  EARLIER_LOG local;
  EARLIER_LOG& earlier = found ? *found : local;
  earlier = EARLIER_LOG();
  if (!PATCH.do_check) return true;
  if (!read_install_log(&earlier)) return false;
  // An update made from a whole earlier version installs only over that version: the version of the
  // latest installed log, that of the update folder (its own log's place, where the latest update's log
  // has the name) when there is one there, else the installation's. A log that names no version (made
  // before logs named it, or by a package that knows none) is judged as before, by the rest alone.
  if (!updated_version[0]) return true;
  EARLIER_LOG latest = earlier;
  FOLDER base, folder;
  std::string unused;
  if (find_log_folder(this, own_log_text(this), &base, &folder, &unused)) {
    EARLIER_LOG update_log;
    LOG_HEAD head;
    if (read_earlier_log(&folder, &head, &update_log)) {
      latest = update_log;
    } else if (update_log.verdict != EARLIER_LOG_NOT_FOUND) {
      earlier.verdict = update_log.verdict;
      earlier.mismatch = update_log.mismatch;
      earlier.path = update_log.path;
      return false;
    }
  }
  std::string wanted = printable_text(updated_version);
  if (!latest.has_version || latest.version == wanted) return true;
  earlier.verdict = EARLIER_LOG_OTHER_VERSION;
  earlier.mismatch = "the install log \"" + printable_text(latest.path.c_str()) + "\" is of another version: \"" +
                     printable_text(latest.version.c_str()) + "\" (this update is for the version \"" + wanted + "\")";
  return false;
}

bool DATABASE::earlier_log_of_another(EARLIER_LOG* found) {
  EARLIER_LOG local;
  EARLIER_LOG& earlier = found ? *found : local;
  earlier = EARLIER_LOG();
  FOLDER base, folder;
  LOG_HEAD head;
  if (!find_log_folder(this, own_log_text(this), &base, &folder, &earlier.path) ||
      !read_earlier_log(&folder, &head, &earlier)) {
    earlier = EARLIER_LOG();
    return false;
  }
  return !judge_log_names(this, head, "this package installs", &earlier);
}
