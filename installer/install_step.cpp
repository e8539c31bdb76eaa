// The install step: prepares the destination and the install log, copies one file of the current
// installation out of the package per call, then makes the shortcuts and the uninstall entry. Progress
// and failures go to the observer.
#include "install_step.h"

#include <algorithm>
#include <cctype>
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

static const char* const INTERRUPTED_LINE = "Installation interrupted.\n";

static INSTALL_OBSERVER* observer = nullptr;

void set_install_observer(INSTALL_OBSERVER* new_observer) { observer = new_observer; }
INSTALL_OBSERVER* get_install_observer() { return observer; }

static void (*hold_seam)(DATABASE*, bool) = nullptr;

void set_hold_seam(void (*seam)(DATABASE*, bool)) { hold_seam = seam; }

static const char* const LEFT_BY_INTERRUPTED = "left by an interrupted installation";
static const char* const LEFT_BY_FAILED_FILE = "left by a file not installed";

// The line of a temporary removed, or that stays (kept_cause: why), appended to lines and said to the
// observer, so that whoever named a file that way finds where it went.
static void add_temporary_line(std::string* lines, const std::string& path, const char* left_by,
                               const char* kept_cause) {
  *lines += kept_cause ? "Not removed \"" : "Removed \"";
  append_printable_text(lines, path.c_str());
  *lines += std::string("\" (") + left_by + ")";
  if (kept_cause) {
    *lines += ": ";
    append_printable_text(lines, kept_cause);
  }
  *lines += "\n";
  if (observer && kept_cause) observer->temporary_kept(path.c_str(), kept_cause, left_by);
  else if (observer) observer->temporary_removed(path.c_str(), left_by);
}

// A temporary that an interrupted run left, or that a file of this run that failed could not remove, is
// removed, or stays when it cannot be: the log's next line group names it.
static void note_removed_temporary(const FOLDER* folder, const char* name, const char* kept_cause, void* user) {
  INSTALL_STATE* state = static_cast<INSTALL_STATE*>(user);
  std::string path = full_path(*folder, name);
  auto left = std::find_if(state->left_temporaries.begin(), state->left_temporaries.end(),
                           [&path](const INSTALL_STATE::LEFT_TEMPORARY& temporary) { return temporary.path == path; });
  bool ours = left != state->left_temporaries.end();
  if (ours && !kept_cause) state->left_temporaries.erase(left);
  add_temporary_line(&state->removed_lines, path, ours ? LEFT_BY_FAILED_FILE : LEFT_BY_INTERRUPTED, kept_cause);
}

// The installation ends: the temporaries that its failed files left go where they now can (their folder
// writable again), each named; those that still cannot stay as their lines said.
static void remove_left_temporaries(INSTALL_STATE* state, std::string* lines) {
  for (auto left = state->left_temporaries.begin(); left != state->left_temporaries.end();) {
    const FOLDER& folder = left->folder;
    const char* name = left->name.c_str();
    if (delete_file(&folder, name)) add_temporary_line(lines, left->path, LEFT_BY_FAILED_FILE, nullptr);
    else if (file_exists(&folder, name)) {
      ++left;
      continue;
    }
    left = state->left_temporaries.erase(left);
  }
}

void remove_leftovers(INSTALL_STATE* state, FOLDER* folder) {
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

// A name that is not allowed, as a log line shows it: its control bytes, the run marks included, as
// '?', so that the line shows the text that was refused and not a name it may look like.
static void append_refused_text(std::string* out, const char* text) {
  for (; *text; text++) *out += (unsigned char)*text < 0x20 || *text == 0x7F ? '?' : *text;
}

// A program shortcut of the current installation (type 1, or 0 as the hosts take it) starts the file (of
// that folder text and name): where the host marks programs, it is installed as one. The folder texts
// are the same folder when they lead to the same path ("$HERE/bin" and "$HERE/bin/", on Windows
// "$HERE\bin" too).
static bool started_by_shortcut(DATABASE* database, const char* path_text, const char* name) {
  INSTALLATION* installation = database->get_current_installation();
  std::string path;
  for (INT_S16 i = 0; installation && i < installation->item_count; i++) {
    const INSTALLATION_ITEM& item = installation->items[i];
    if (item.type > 1 || std::strcmp(item.program_name, name) != 0) continue;
    const char* location = database->install_state.base_folder.path;
    const char* application = database->APPLICATION.app_string;
    if (path.empty()) path = destination_path_text(path_text, location, application);
    if (!path.empty() &&
        path == destination_path_text(choose_path(database, item.program_path_from_inst_loc,
                                                  item.system_program_path_from_inst_loc),
                                      location, application))
      return true;
  }
  return false;
}

// A failure as the page says it: a sentence.
static std::string sentence_of(const std::string& said) {
  return (char)std::toupper((unsigned char)said[0]) + said.substr(1) + ".";
}

// The installation stops before anything is installed: the page says so as a sentence, the observer
// gets the error's line; refused: another run installs into the destination.
static void stop_before_installing(DATABASE* database, const std::string& said, bool refused) {
  INSTALL_STATE* state = &database->install_state;
  state->failure_text = sentence_of(said);
  state->stopped = true;
  state->step_counter = state->step_total + 3;
  database->end_installation();
  std::string message = "ERROR: " + said + "\n";
  if (observer && refused) observer->installation_refused(database, message.c_str());
  else if (observer) observer->installation_stopped(database, message.c_str());
}

// Why the install folder (at location, base) could not be held: what is known of its holder, or what
// has the hold's name.
static std::string hold_refusal(const std::string& location, const FOLDER& base, const FOLDER_HOLDER& holder) {
  const std::string folder = "\"" + location + "\"";
  const std::string file = "\"" + full_path(base, FOLDER_HOLD_NAME) + "\"";
  if (holder.refusal == FOLDER_HOLD_NAME_TAKEN)
    return "the folder " + folder + " cannot be held: " + file + " " + holder.cause +
           " (only the installer's hold may have that name); nothing was installed";
  // Another user's file, which says whose it is and who may remove it.
  if (holder.refusal == FOLDER_HOLD_NOT_TAKEN)
    return "the folder " + folder + " cannot be held: " + file + " " + holder.cause + "; nothing was installed";
  if (!holder.process)
    return "another process holds " + folder + " and is not known as an installation (its hold " + file +
           " names no running process); nothing was installed";
  std::string process = std::to_string(holder.process);
  if (holder.user[0]) process += std::string(" of user ") + holder.user;
  if (holder.stopped)
    return "another installation into " + folder + " is stopped (process " + process +
           ") and holds the folder; nothing was installed";
  return "another installation into " + folder + " is running (process " + process + "); nothing was installed";
}

// The words of an update that finds no installation of its own at location, as automatic mode says them
// before it begins.
std::string update_refusal(const std::string& location, const EARLIER_LOG& earlier) {
  return "this package is an update: it installs only over an earlier installation in \"" +
         printable_text(location.c_str()) + "\", and " + earlier.mismatch + "; nothing was installed";
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
  state->log_cause.clear();
  state->failure_text.clear();
  state->failures.clear();
  state->removed_lines.clear();
  state->step_lines.clear();
  state->log_pending.clear();  // no log is begun before the header
  // The log of an earlier run at the log's place (that of the update before it, or of an installation
  // there, of this product or another) is kept, never replaced: it is the only record of its files.
  state->kept_log_name.clear();
  state->kept_log_line.clear();
  state->cleaned_folders.clear();
  state->known_folders.clear();
  state->made_folders.clear();
  state->walked_folders.clear();
  state->unreached_root.clear();
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

  // The destination must exist (or be made): the installation never goes into another folder. It is the
  // path the pages name, made as the walk reaches each of its folders.
  forget_file_failure();
  const char* application = database->APPLICATION.app_string;
  std::string location = location_path_text(database->install_path, application);
  bool made = false;
  FOLDER base;
  if (database->install_path[0] != '$' || !is_known_path_text(database->install_path) ||
      !make_destination_folder(state, location, &base, &made)) {
    char reason[256];
    describe_walk_failure(state, reason, sizeof reason);
    // The folder as a path of the host, and the system's cause.
    std::string said = "the destination folder \"" + location + "\" cannot be created";
    if (reason[0]) said += std::string(" (") + reason + ")";
    return stop_before_installing(database, said, false);
  }
  // One run at a time installs into a folder: another run's installation there is refused before
  // anything changes (the log, what killed runs left), as the two would take each other's log. The hold
  // that the wizard's Install took on the folder is kept.
  if (!state->hold) {
    FOLDER_HOLDER holder;
    if (hold_seam) hold_seam(database, false);
    state->hold = hold_folder(&base, &holder);
    if (holder.refusal != FOLDER_HOLD_FREE)
      return stop_before_installing(database, hold_refusal(location, base, holder), true);
    if (hold_seam) hold_seam(database, true);
  }
  // An update goes only over the installation it updates: what was checked before the folder was held
  // is checked again now that no other run installs there.
  EARLIER_LOG earlier;
  if (!database->update_target_found(&earlier))
    return stop_before_installing(database, update_refusal(location, earlier), true);
  state->base_folder = base;
  set_base_path(&state->base_folder, application);
  state->base_made = made;
  if (!state->base_made) remove_leftovers(state, &state->base_folder);
  const char* log_text =
      choose_path(database, database->LOG.dest_path_from_inst_loc, database->LOG.system_dest_path_from_inst_loc);
  // A log that names no folder goes into the install folder. One whose folder cannot be had cannot be
  // made, and is said so (the person installing is asked whether to go on without it): put anywhere
  // else, where no check or update looks for it, it would be lost.
  state->log_folder = state->base_folder;
  state->log_folder_cause.clear();
  bool log_folder_made = state->base_made;
  if (log_text[0] && !set_destination(database, &state->log_folder, log_text, &log_folder_made)) {
    state->log_folder_cause = "its " + folder_failure(database, log_text);
    std::string path = destination_path_text(log_text, state->base_folder.path, application);
    std::snprintf(state->log_folder.path, sizeof state->log_folder.path, "%s", path.empty() ? log_text : path.c_str());
  }
  // The log is one of the names put into its folder.
  if (state->log_folder_cause.empty())
    note_name_put(state, names_of_folder(state, state->log_folder, log_folder_made),
                  plain_name_key(INSTALL_LOG_NAME, &state->name_key));
  // So is the hold's file in the install folder.
  state->hold_number = state->hold ? get_file_number(&state->base_folder, FOLDER_HOLD_NAME) : 0;
  if (state->hold)
    note_name_put(state, names_of_folder(state, state->base_folder, state->base_made),
                  plain_name_key(FOLDER_HOLD_NAME, &state->name_key));

  LANGUAGE* language = database->get_current_language();
  std::string lines = format_text("Installed Files\n---------------\n\nLanguage: %s\n",
                                  printable_text(language ? language->name : "").c_str());
  lines += format_text("Settings: %d %d %s\n", (int)database->settings_number, (int)database->use_system_paths,
                       printable_text(database->install_path).c_str());
  // What the installation is, so that an update tells it from another product's at the same place.
  lines += "Application: " + printable_text(database->APPLICATION.app_string) + "\n";
  lines += "Installation: " + printable_text(installation->name) + "\n";
  // And which version of its files, so that an update made from one version goes over no other.
  lines += "Version: " + printable_text(database->version_identity) + "\n";
  // The wizard's warning is a line of its own (it ends with its line end).
  lines += format_text("%s\n", printable_line(database->desktop_size_warning).c_str());
  write_log(state, lines, true);
  if (!state->log && observer) observer->copy_error(database, nullptr, nullptr, nullptr);
  if (!database->PATCH.do_check) keep_latest_update_log(database);
}

// What failed, in words for the person installing: the last failure, and every one for the page.
static void note_failure(INSTALL_STATE* state, const std::string& sentence) {
  state->failure_text = sentence;
  state->failures += sentence + "\n";
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
  note_failure(state, "\"" + path + "\" is not installed: " + cause + ".");
  if (observer) observer->file_refused(database, printable_text(path.c_str()).c_str(), packed_name, cause.c_str());
}

// A file whose name is not allowed: refused under the destination folder's path and the name, or the
// texts of both when that folder does not exist (nothing is made for it).
static void refuse_name(DATABASE* database, const char* path_text, const char* name, const char* packed_name) {
  INSTALL_STATE* state = &database->install_state;
  std::string path = has_host_form(path_text) ? destination_path_text(path_text, state->base_folder.path,
                                                                       database->APPLICATION.app_string)
                                              : std::string();
  if (!path.empty() && FOLDER::is_folder(path.c_str())) {
    if (path.back() != PATH_SEPARATOR) path += PATH_SEPARATOR;
  } else {
    path.clear();
    append_refused_text(&path, path_text);
    if (path.empty() || path.back() != '/') path += '/';
  }
  append_refused_text(&path, name);
  refuse_file(database, path, packed_name, "the name is not allowed");
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
  bool folder_set = allowed && set_destination(database, &destination, path_text, &folder_made);
  char reason[256] = "";  // the system's words for a failure
  if (allowed && !folder_set) describe_walk_failure(state, reason, sizeof reason);

  // The texts of every file are joined piece by piece (formatting each costs more than the joining),
  // in strings kept from file to file. The progress names the folders below the text's variable as they
  // are read, each after a '/'.
  std::string& shown = state->shown_text;
  if (path_text[0] == '$') {
    shown.clear();
    for (const std::string& part : read_folder_text(path_text).parts) shown += "/" + part;
    shown += '/';
  } else {
    shown = path_text;
    if (shown.empty() || shown.back() != '/') shown += '/';
  }
  shown += name;
  progress(page, shown.c_str(), (INT_S32)((INT_S64)state->step_counter * 100 / state->step_total));

  if (!allowed) return refuse_name(database, path_text, name, file->packed_name);
  // What the name leads to now (its number, 0 for nothing): a file of this installation already there
  // (another spelling of its name, or a folder reached through a link) is never replaced by a later
  // one, nor is the log. A name known to lead to nothing is not looked up, unless the file's overwrite
  // rule asks what is there: rules 1 and 2 judge the name as it is when the file comes, so that a file
  // put there since the folder was listed or made (by another program, or a person while a question
  // waited) is kept or compared as the rule says; and again when the file is whole, for one put there
  // while it was written.
  bool plain = false;
  INSTALL_STATE::FOLDER_NAMES* names = nullptr;
  INT_U64 number = 0;
  bool known_missing = false;
  if (folder_set) {
    plain = plain_name_key(name, &state->name_key);
    names = names_of_folder(state, destination, folder_made);
    known_missing = !may_lead_somewhere(state, *names, plain);
    if (known_missing && (file->overwrite == 1 || file->overwrite == 2) && file_exists(&destination, name)) {
      known_missing = false;
      names->keys.insert(state->name_key);
    }
    if (!known_missing) number = get_file_number(&destination, name);
    std::string other = lands_on_other(database, destination, name, number);
    if (!other.empty()) return refuse_file(database, full_path(destination, name), file->packed_name, other);
  }
  bool attempted = false, installed = false;
  const char* cause = nullptr;  // why a file is not installed
  const char* left_temporary = nullptr;  // the temporary of a file that failed, which stays
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
        // Whole times: a file dated past 2106 is newer than any package, one before 1970 older.
        attempted =
            known_missing || !get_file_info(&destination, name, &info) || info.time < (INT_S64)database->time_stamp;
        break;
      default:
        attempted = true;
        break;
    }
    if (attempted) {
      forget_file_failure();
      bool keeps_newer = file->overwrite == 1 || file->overwrite == 2;
      INT_S64 older_than = file->overwrite == 1 ? (INT_S64)database->time_stamp : EARLIEST_FILE_TIME;
      installed = database->package && database->package->file &&
                  database->package->extract_entry(&destination, name, file->packed_name, copying, page, keeps_newer,
                                                   older_than);
      // The program is asked to end: the file is abandoned (nothing of it stays), neither logged nor
      // counted; the installation stops after this step.
      if (!installed && end_requested()) return;
      // What was put at the name while the file was written is what the rule keeps: skipped.
      if (!installed && database->package && database->package->extracted_name_kept) {
        attempted = false;
        names->keys.insert(state->name_key);
      }
      if (!installed && attempted) {
        INT_U16 code = get_error_code();
        bool written = code == 0x100F || code == 0x1008;  // the file could not be created or written
        cause = code == 0x100F   ? "cannot be created"
                : code == 0x1008 ? "cannot be written"
                : code == 0x1010 ? "is missing from the package"
                                 : "cannot be read from the package";
        if (written) describe_file_failure(reason, sizeof reason);
        if (database->package && database->package->extracted_left[0])
          left_temporary = database->package->extracted_left;
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
  // A folder of the destination that could not be made is named by the path that was tried, or by its
  // text when it names none.
  char separator = PATH_SEPARATOR;
  if (!folder_set) {
    full = destination_path_text(path_text, state->base_folder.path, database->APPLICATION.app_string);
    if (full.empty()) {
      full = path_text;
      separator = '/';
    }
  }
  if (full.empty() || full.back() != separator) full += separator;
  full += name;
  // Why a file failed, the system's words for it where it gave them: in its log line, on the console
  // and on the page alike.
  std::string said;
  if (attempted && !installed) {
    said = cause;
    if (reason[0]) said += std::string(" (") + reason + ")";
  }
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
    line += "): ";
    append_printable_text(&line, said.c_str());
    line += "\n";
  }
  // Its temporary that stays is named after it, and goes when it can (remove_left_temporaries).
  std::string temporary_line;
  if (left_temporary) {
    std::string path = full_path(destination, left_temporary);
    state->left_temporaries.push_back({path, destination, left_temporary});
    add_temporary_line(&temporary_line, path, LEFT_BY_FAILED_FILE, database->package->extracted_left_cause);
  }
  write_log(state, line + temporary_line, false);
  if (attempted && !installed) {
    state->error_count++;
    note_failure(state, "\"" + full + "\" " + said + ".");
    if (observer)
      observer->copy_error(database, line.substr(path_start, path_end - path_start).c_str(), file->packed_name,
                           said.c_str());
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
  if (set_destination(database, folder, text)) return folder;
  if (failure) *failure = folder_failure(database, text);
  return nullptr;
}

// A shortcut or the uninstall entry asked for and not made: its line in the step's lines (what and why),
// counted, said to the observer and kept as what failed last for the page.
static void not_made(DATABASE* database, std::string* lines, const std::string& what, const std::string& why) {
  INSTALL_STATE* state = &database->install_state;
  std::string line = printable_text(what.c_str()) + " not made: " + printable_text(why.c_str());
  *lines += line + "\n";
  state->unmade_count++;
  note_failure(state, what + " not made: " + why + ".");
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
  if (!set_destination(database, &folder, text))
    return not_made(database, lines, what, "its program " + folder_failure(database, text));
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
  remove_left_temporaries(state, &lines);
  // Every file not installed, shortcut and entry not made is an error of the installation.
  if (state->error_count == 0 && state->unmade_count == 0)
    lines += "Installation completed without any errors.\n";
  else
    lines += format_text("Installation completed with %d error%s.\n", (int)(state->error_count + state->unmade_count),
                         state->error_count + state->unmade_count == 1 ? "" : "s");
  write_log(state, lines, false);
  lines.clear();
  // The log is closed (or has had its last try) before the last progress, which says whether this
  // installation has a log to rely on.
  finish_log(state);
  release_folder(state->hold);
  state->hold = nullptr;
  state->running = false;
  set_idle_wait(50);
  if (observer) observer->show_install_complete(page);
  if (state->error_count == 0 && state->unmade_count == 0 && !state->log_failed)
    progress(page, LANGUAGE_STRING(database, COMPLETE), 100);
  else
    progress(page, installation_failure_text(database).c_str(), 100);
  state->step_counter++;
}

void DATABASE::end_installation(bool cut_short) {
  INSTALL_STATE* state = &install_state;
  // Ended early, by the person installing or on a request of the system to end the program: the log's
  // last line says so, after the lines of a step cut short (a session's end). A log not yet begun (the
  // preparation) stays unmade.
  if (state->running && !state->interrupted && (cut_short || end_requested())) {
    state->interrupted = true;
    remove_left_temporaries(state, &state->step_lines);
    if (state->log || !state->log_pending.empty()) write_log(state, state->step_lines + INTERRUPTED_LINE, false);
    state->step_lines.clear();
    if (observer) observer->installation_interrupted(this);
  }
  finish_log(state);
  release_folder(state->hold);
  state->hold = nullptr;
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

bool DATABASE::hold_destination() {
  INSTALL_STATE* state = &install_state;
  release_folder(state->hold);
  state->hold = nullptr;
  // A destination not there yet is held by no run: a run holds its folder from the moment it is there.
  std::string location = location_path_text(install_path, APPLICATION.app_string);
  FOLDER folder;
  if (install_path[0] != '$' || !is_known_path_text(install_path) || !folder.set_if_folder(location.c_str()))
    return true;
  FOLDER_HOLDER holder;
  state->hold = hold_folder(&folder, &holder);
  if (holder.refusal == FOLDER_HOLD_FREE) return true;
  state->failure_text = sentence_of(hold_refusal(location, folder, holder));
  return false;
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

std::string installation_failure_text(const DATABASE* database, bool every_failure) {
  const INSTALL_STATE& state = database->install_state;
  if (state.stopped) return state.failure_text;
  // Several failures: the last, or each on a line of its own.
  std::string failures = state.failures;
  if (!failures.empty()) failures.pop_back();
  std::string text;
  if (state.error_count == 0 && state.unmade_count == 1)
    text = state.failure_text;
  else if (state.error_count == 0 && state.unmade_count > 1)
    text = format_text("%d shortcuts and entries were not made", (int)state.unmade_count) +
           (every_failure ? ":\n" + failures : "; the last: " + state.failure_text);
  else if (state.error_count == 1)
    text = "1 file could not be installed: " + state.failure_text;
  else if (state.error_count > 1)
    text = format_text("%d files could not be installed", (int)state.error_count) +
           (every_failure ? ":\n" + failures : "; the last: " + state.failure_text);
  // Then whether the installation has a log to rely on.
  std::string log = log_failure_text(state);
  if (text.empty() || log.empty()) return text + log;
  return text + (every_failure && state.error_count + state.unmade_count > 1 ? "\n" : " ") + log;
}

// ---------------------------------------------------------------------------------------------------
// The copy error box

WM_CONFIRM* open_copy_error_box(DATABASE* database, WM_EVENT_CALLBACK event_callback, bool about_log) {
  if (!page_manager) return nullptr;
  INT_S32 previous = database->previous_stage();
  WM_CONFIRM* box = new WM_CONFIRM(database->ERROR.width, database->ERROR.height,
                                   LANGUAGE_STRING(database, COPY_ERROR_TITLE), LANGUAGE_STRING(database, COPY_ERROR_YES),
                                   LANGUAGE_STRING(database, COPY_ERROR_NO), 1, event_callback, COPY_ERROR_YES_RESULT, 0,
                                   event_callback, COPY_ERROR_NO_RESULT, (INT_U32)previous, database->ERROR.x,
                                   database->ERROR.y, 0, COPY_ERROR_LINES, nullptr);
  const char* message = LANGUAGE_STRING(database, COPY_ERROR_MSG);
  // The message, then what failed and why after an empty line; the box grows to show them whole. The
  // package's message is of a file: a log that cannot be made is asked about in words of its own.
  const std::string& failure = database->install_state.failure_text;
  std::string shown = about_log ? failure + "\n\n" + LOG_QUESTION : message;
  if (!about_log && !failure.empty()) shown += (message[0] ? "\n\n" : "") + failure;
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
