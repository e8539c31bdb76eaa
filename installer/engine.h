// The installer engine's own interfaces beside DATABASE: the observer through which the install step
// reports progress and failures (the wizard's pages or the console of automatic mode), the one-shot
// jobs with their exit statuses, the attached-package copy-out and the path texts of the command line.
#pragma once
#include <string>

#include "types.h"
#include "attached_data.h"
#include "confirm.h"
#include "folder.h"

class DATABASE;
class DATA_DEVICE;
class INSTALL_DIALOG;
struct INSTALLATION;
struct INSTALLATION_FILE;
class IMAGE;
class WM_PAGE_MANAGER;

// The installer's version, which its window's default title ("Installer 1.11") and the packer's
// --version give.
#define INSTALLER_VERSION "1.11"

// printf into a string of any length (the engine's log and description lines are never cut).
std::string format_text(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A text from the installation data as it may go into "install_log.txt" or onto the console: line
// breaks and every other control character, also one written as a wide character of a run (or a broken
// group of one), become '?', so that a text can neither add a line nor drive the terminal; its runs are
// spelled as the name conversions write them, so the console shows its characters.
std::string printable_text(const char* text);
// printable_text appended to out.
void append_printable_text(std::string* out, const char* text);
// The same for a text that may end with one line end of its own, which is kept.
std::string printable_line(const char* text);

// Exit statuses of the one-shot jobs: done, the job ran but something failed, it could not start.
const INT_S32 EXIT_JOB_DONE = 0;
const INT_S32 EXIT_JOB_FAILED = 1;
const INT_S32 EXIT_JOB_NOT_STARTED = 2;

// What the install step reports. The wizard implements it with its pages and the copy error box;
// automatic mode prints to the console. Without an observer nothing is reported.
class INSTALL_OBSERVER {
public:
  virtual ~INSTALL_OBSERVER() {}
  // The progress text and a value from 0 to 100 (page may be null).
  virtual void show_progress(INSTALL_DIALOG* page, const char* text, INT_S32 value) = 0;
  // The installation is done: the way forward may open.
  virtual void show_install_complete(INSTALL_DIALOG* page) = 0;
  // A file is still being copied (after each block of it).
  virtual void file_going_on(INSTALL_DIALOG* page) { (void)page; }
  // A file failed to unpack (path_text: its destination, packed_name: its entry, cause: why, with the
  // system's words where it gave them), or the install log cannot be created (all null; the state's
  // failure_text names it and why): the wizard asks with the copy error box whether to go on.
  virtual void copy_error(DATABASE* database, const char* path_text, const char* packed_name, const char* cause) = 0;
  // A file was refused before anything was written for it, for the cause given (its name is not
  // allowed, or it would land on the install log or on another file of the installation): by default
  // reported as a file that failed.
  virtual void file_refused(DATABASE* database, const char* path_text, const char* packed_name, const char* cause) {
    copy_error(database, path_text, packed_name, cause);
  }
  // A shortcut or the uninstall entry was not made: text says which and why, as its log line does.
  virtual void not_made(DATABASE* database, const char* text) { (void)database, (void)text; }
  // The installation stopped before installing anything (the destination folder cannot be created).
  virtual void installation_stopped(DATABASE* database, const char* message) = 0;
  // Another run of the installer is installing into the destination: this one stopped at once, nothing
  // changed (message as installation_stopped's). By default reported as a stop.
  virtual void installation_refused(DATABASE* database, const char* message) { installation_stopped(database, message); }
  // A line could not be written to the install log at path_text (a full disk; cause: the system's words
  // for it): the log ends there.
  virtual void log_not_written(const char* path_text, const char* cause) { (void)path_text, (void)cause; }
  // A request of the system to end the program (end_requested) stopped the installation before its
  // next file; the log ends with "Installation interrupted.".
  virtual void installation_interrupted(DATABASE* database) { (void)database; }
  // A temporary that an interrupted run, or a file of this run that failed, left was removed (its full
  // path; left_by: "left by ..." of the one or the other); the log says so too.
  virtual void temporary_removed(const char* path_text, const char* left_by) { (void)path_text, (void)left_by; }
  // One that cannot be removed stays (its full path, and why); the log says so too.
  virtual void temporary_kept(const char* path_text, const char* cause, const char* left_by) {
    (void)path_text, (void)cause, (void)left_by;
  }
  // The earlier install log at the log's place was kept under a numbered name: line is the log's line
  // that says so ("Kept the earlier install log as "<its full path now>""), said once the log is made.
  virtual void earlier_log_kept(const char* line) { (void)line; }
};
void set_install_observer(INSTALL_OBSERVER* observer);
INSTALL_OBSERVER* get_install_observer();
// For tests: called, when set, in the preparation of an installation right before it holds the install
// folder (held false) and once it holds it (held true), so that a test can act in either moment.
void set_hold_seam(void (*seam)(DATABASE* database, bool held));

// Button results of the copy error box: go on with the next file, or stop. The wizard's events of the
// same meaning are these numbers, so the box reports straight to the wizard's event callback.
const INT_S32 COPY_ERROR_YES_RESULT = 101;
const INT_S32 COPY_ERROR_NO_RESULT = 100;
// Lines the copy error box's message window keeps.
const INT_S16 COPY_ERROR_LINES = 100;
// Opens the copy error box of the current language over the page manager's current area, its message
// followed by what failed and why (the install state's failure_text); about the install log that cannot
// be created (about_log), that failure followed by LOG_QUESTION. Both buttons report to event_callback as
// (button, event, value): yes 101 and 0, no 100 and the previous stage. Null without a page manager.
WM_CONFIRM* open_copy_error_box(DATABASE* database, WM_EVENT_CALLBACK event_callback, bool about_log);
// What going on without the install log means, asked when it cannot be created.
extern const char* const LOG_QUESTION;
// What becomes of another installation's log where a whole package's log goes, said after whose it is.
extern const char* const EARLIER_LOG_KEPT;

// What the page says of an installation that did not complete: the destination that could not be
// made, how many files could not be installed and what failed last (with every_failure each of them, a
// line each), or the shortcuts and the uninstall entry that were not made.
std::string installation_failure_text(const DATABASE* database, bool every_failure = false);

// Automatic mode: installs the current installation of the loaded database into its default
// destination with the default options, one file per pass of the install step, printing a line per
// file and every failure; EXIT_JOB_DONE or EXIT_JOB_FAILED.
INT_S32 run_automatic_install(DATABASE* database);
// "-d first=second": writes "patch.xml"; EXIT_JOB_DONE when it was written completely, EXIT_JOB_FAILED
// when a difference cannot be patched or writing failed, EXIT_JOB_NOT_STARTED when a name is missing
// or a package cannot be loaded.
INT_S32 create_patch_description(const char* argument);

// The comparison of two versions of an installation that "-d" makes, and the packer's updates with it:
// the installation's own settings, which a patch cannot change, and its files. Each file of the
// installed version (first) is paired with the first file of the new version (second) of the same
// identity (every field but the packed name: an overwrite rule that changed makes another file), and
// the stored bytes of each pair are compared.
// The setting that differs ("name", "default_path", "allow_system_paths", "uninstaller_name",
// "uninstaller_filename", "uninstaller_path", "uninstaller_syspath", in that order); null when none does.
const char* changed_installation_setting(const INSTALLATION& first, const INSTALLATION& second);
// Whether two devices hold other bytes from where they stand to their ends (read in blocks of 1024).
bool device_bytes_differ(DATA_DEVICE* first, DATA_DEVICE* second);
// What the comparison of the files finds, told as it goes: each file of the first in order (paired or
// deleted), then the files of the second that none was paired with (added).
class FILE_COMPARISON {
public:
  virtual ~FILE_COMPARISON() {}
  // The stored bytes of a pair: 1 they differ, 0 they are the same, -1 the first's cannot be read, -2
  // the second's.
  virtual int compare_bytes(const INSTALLATION_FILE& first, const INSTALLATION_FILE& second) = 0;
  // A file of an identity pair has no packed name (in_first: the first's): it is passed over.
  virtual void blank_packed_name(const INSTALLATION_FILE& file, bool in_first) { (void)file, (void)in_first; }
  virtual void paired(const INSTALLATION_FILE& first, const INSTALLATION_FILE& second, bool changed) = 0;
  // A file of the first that no file of the second pairs with, one of the second that none of the first
  // did (files without a packed name are neither).
  virtual void deleted(const INSTALLATION_FILE& first) = 0;
  virtual void added(const INSTALLATION_FILE& second) = 0;
};
enum FILE_COMPARISON_END {
  FILES_COMPARED = 0,
  FILES_PAIRED_TWICE,      // a file of the first has the identity of a file of the second paired before
  FIRST_FILE_UNREADABLE,   // the stored bytes of a pair cannot be read
  SECOND_FILE_UNREADABLE,
  MATCH_TABLE_NOT_MADE     // no memory for the table of the second's files paired
};
// Compares the files; an end other than FILES_COMPARED stops it, with culprit the file concerned (the
// first's for FILES_PAIRED_TWICE).
FILE_COMPARISON_END compare_installation_files(const INSTALLATION& first, const INSTALLATION& second,
                                               FILE_COMPARISON* comparison, const INSTALLATION_FILE** culprit);

// Sets the folder from a path-variable text unless the text begins with a variable this program does
// not know (setting a folder from one ends the program); false then, or when the folder cannot be set.
bool set_known_folder(FOLDER* folder, const char* text, bool create, FOLDER* here = nullptr);

// Sets the folder from an install location text (the default path or the chosen one): a system folder's
// variable ("$SYSAPP", "$INSTDATA", "$APPDATA", "$USERDATA" or "$USERPREFS") names the system's folder
// and in it the application's sub-folder (the package's application name; none when it is empty), as
// the installation's folder texts name it, whatever the installer's own file is called; with create
// every folder on the way is made as needed. Any other text as set_known_folder takes it.
bool set_location_folder(FOLDER* folder, const char* text, const char* application, bool create,
                         FOLDER* here = nullptr);
// The path of this computer that the location text names (as set_location_folder sets it), for pages
// and messages, whether or not it exists yet; the text itself when it names no path.
std::string location_path_text(const char* text, const char* application);
// The path of this computer that a folder text of the installation names for an installation into
// location (a path) of the application, whether or not it exists yet: "$HERE", "$APP" and "$BASE" name
// the location (as does a text beginning with ".."), a system folder's variable the system folder with
// the application's sub-folder as set_location_folder names it, any other variable its folder; then the
// text's folders as read_folder_text reads them on this host. The one resolution of the install step, which makes the folders of that path, and of
// the pages that say where the files go. Empty for a text that names no folder (empty, without a path
// variable, one this program does not know, a system folder the system does not name).
std::string destination_path_text(const char* text, const std::string& location, const char* application);
// Where the chosen installation's files go with the system folders chosen: false when none of them has
// a destination of its own under the system folders (they go where they go without them). Otherwise
// true, with folder the path of this computer of the folder that holds every file's destination, or
// empty when they share none below a drive root.
bool system_destination_folder(DATABASE* database, std::string* folder);
// The location text of a folder chosen in the folder dialog: its variable form, unless that begins with
// a system folder's variable (which names the folder of the installer's own name there, not the
// application's), then from the drive root.
std::string chosen_location_text(const FOLDER& folder);

// The message of a package that did not load (DATABASE::load_package): its caption, the sentence that
// names the folder and the file looked for with the cause, and the advice that ends it.
extern const char* const PACKAGE_NOT_FOUND_CAPTION;
extern const char* const PACKAGE_NOT_FOUND_ADVICE;
std::string package_not_found_text(const DATABASE& database);
// The message of a package whose data is damaged (attached data that cannot be copied out, a database
// that load_package refused): its caption, and for a refused one the package's path and the cause.
extern const char* const PACKAGE_DAMAGED_CAPTION;
std::string package_damaged_text(const DATABASE& database);
// The package's path and why it is refused, as a sentence.
std::string package_refusal_text(const DATABASE& database, const std::string& why);
// A package that names a drive this computer does not have in any of its folders (an install location,
// the log's or patch_check's folder, an uninstaller's, a shortcut's or a file's) installs nothing here:
// its folders would be taken for other ones. The first such folder, said with what it is the folder of
// and the drives this computer has, ending "; nothing was installed"; empty when every folder's drive
// is here. The installer's starts refuse the package with it (status 2), under the caption.
extern const char* const MISSING_DRIVE_CAPTION;
std::string missing_drive_refusal(const DATABASE& database);

// A path in the form of a computer's own paths rather than a path-variable text: from a root (/srv,
// \srv), on a drive (C:\srv, C:/srv) or on a server (\\server\share). The same on every host, so that a
// path of either kind is answered alike.
bool is_host_path(const std::string& text);
// A path of a server's share: two separators and the server's name (\\server\share; also
// //server/share where '\' separates folders: on Linux that is a path from the root).
bool is_network_path(const std::string& text);
// A command-line file name: "$HERE/" is put before a text that does not begin with '$'; the file name
// is the part after the last '/', the folder (which must exist; nothing is created) the part before
// it, set relative to here ("$HERE"). False when the folder does not exist, the name is empty or too
// long (name needs 256 bytes), or the path of the file would not fit the program's paths.
bool set_folder_and_name(const char* argument, FOLDER* folder, char* name, FOLDER* here);
// Why set_folder_and_name refused the argument (whose "$HERE" is here), for the console: a path of the
// host's own form ("/home/...", "C:\\...") is given from the drive root ("$ROOT0" and the path); a text
// that names a folder and no file gets a file name of that folder to give (example, when given); a
// folder that does not exist is named as the path of this computer it would be, whole, and said to be
// too long where that path does not fit the program's paths.
std::string file_argument_problem(const char* argument, const FOLDER* here = nullptr, const char* example = nullptr);
// Why a folder text's path variable (as read_folder_text gives it) names no folder: "$ROOT" and a number
// past this computer's drives, said with the drives it has ("\"$ROOT5\" names a drive this computer does
// not have (its drives: \"$ROOT0\" C:, \"$ROOT1\" Z:)"). Empty for any other variable.
std::string missing_drive_problem(const std::string& variable);
// The refusal of a folder named on the command line (argument: as it was given, printable) whose path on
// this computer is too long for the program's paths, with a file's name in it.
std::string folder_too_long(const std::string& path, const std::string& argument);

// Result of the copy-out.
enum ATTACHED_RESULT {
  ATTACHED_NONE = 0,    // nothing attached (or the program's file cannot be opened)
  ATTACHED_COPIED = 1,  // "installer.pkg" written byte-exact into "$temp", which is the data folder now
  ATTACHED_FAILED = 2,  // attached data damaged or the copy failed: no copy is left, data folder unchanged
  ATTACHED_INTERRUPTED = 3  // a request to end the program (end_requested) stopped the copy: none is left
};
// Copies the package attached to the named program file (attached data at position) into "$temp"
// (out_folder when given, for tests) as "installer.pkg", with the splash and the progress bar.
// splash_window tells whether a splash window was opened; null copies without any window (automatic
// mode). message gets a failure's text (256 bytes). Until the copy is deleted, a second request to end
// the program, which ends it at once, takes it away (remove_at_immediate_end).
ATTACHED_RESULT copy_attached_package(FOLDER* program_folder, const char* program_name, INT_U32 position,
                                      FOLDER* out_folder, bool* splash_window, char* message);
// Locates data attached to the running program and copies it out: the interactive start's step, and
// automatic mode's (splash_window null: no window) unless "-x" names the package's folder.
ATTACHED_RESULT run_attached_package_step(bool* splash_window, char* message);

// The built-in 353 x 143 start and closing images of the "Please Wait" window.
void make_start_image(IMAGE* image);
void make_closing_image(IMAGE* image);

// The interactive start: the main window at the installation's size and title (a splash window of that
// size already stays); false when no such window can be had. Then the wizard on the manager: the
// package's fonts, the root at the window's size, the first page coming in from black, the quit
// question on a close request.
bool open_installer_window(bool splash_window);
// The window cannot be had because the screen is smaller than its smallest size: one message says so in
// the package's words for it (the current language's CHECK_DESKTOP_FAILED_TITLE, and the statement of
// CHECK_DESKTOP_FAILED) and names the screen's size and the window's, with OK as its one answer. It shows
// in a window that fits the screen, drawn on the manager, and returns once it is answered (OK, Enter,
// Space, Escape, the window's close button); unattended, without a manager (inside a pass), or where no
// window can be had, it is a message box (standard error natively).
void tell_screen_too_small(WM_PAGE_MANAGER* manager);
// A message that can only be acknowledged says what is, never asks: the text without a question that
// closes it (from the last sentence's end before its final "?"; "" when the text is only a question).
std::string statement_of(const char* text);
void begin_wizard(WM_PAGE_MANAGER* manager);

// An alternative start that the start-up does not use: the file selector asks for the installation's
// configuration file, starting at the folder and name last chosen ("last_path" and "last_filename" of
// "settings.cfg" in "$USERPREFS"; "$APPDATA" when no folder is stored). configuration_chosen is its
// event callback: the chosen folder becomes the data folder and the name the configuration file, both
// are remembered, and with the package found there the main window opens and the wizard starts.
void choose_configuration(WM_PAGE_MANAGER* manager);
WM_RESULT configuration_chosen(WM_SCREEN_OBJECT* selector, INT_U32 user1, INT_U32 result, int value);
