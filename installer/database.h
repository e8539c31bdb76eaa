// The installer's one state object: the installation description that a package carries in
// "database.bin" (settings, placements, installations with files and shortcut items, languages, installer
// clients), the skin members (14 style sets, 24 icons, the background) and the runtime state of a run.
#pragma once
#include <string>

#include "types.h"
#include "data_device.h"
#include "dialog.h"
#include "folder.h"
#include "image.h"
#include "style_set.h"
#include "system_info.h"
#include "velk_string.h"

#include <string>
#include <unordered_map>
#include <unordered_set>

class PACKAGE;
class INSTALL_DIALOG;
class TEXT_FILE;

// Sizes of the description's texts, terminator included: at most 255 bytes, 2047 for the skin path and
// the install location.
const int DATABASE_TEXT_SIZE = 256;
const int DATABASE_PATH_SIZE = 2048;
typedef char DATABASE_TEXT[DATABASE_TEXT_SIZE];

// Version of the stored form that DATABASE::put_to_data_device writes (every older one is read).
const INT_U8 DATABASE_VERSION = 15;

// The wizard's stages (DATABASE::stage).
enum INSTALL_STAGE : INT_S32 {
  STAGE_PACK_DATA = 0,  // pack-data page (the stage automatic mode sets)
  STAGE_PACK_LOG = 1,
  STAGE_START = 2,
  STAGE_LANGUAGE = 3,
  STAGE_LICENCE = 4,
  STAGE_INSTALL_TYPE = 5,
  STAGE_OPTIONS = 6,
  STAGE_INSTALLING = 7,
  STAGE_README = 8,
  STAGE_FINISHED = 9
};

// Platform codes of files and items (u8); only 0 and 33 are installed by this program.
enum PLATFORM_CODE : INT_U8 {
  PLATFORM_ANY = 0,
  PLATFORM_LINUX_I86 = 1,
  PLATFORM_MACOSX = 17,
  PLATFORM_WIN32 = 33,
  PLATFORM_GP2X = 129,
  PLATFORM_WINMOB_ARM = 130,
  PLATFORM_PSP = 131,
  PLATFORM_NDS = 132
};

// Kinds of shortcut items (u8); 0 for any other name.
enum ITEM_TYPE : INT_U8 {
  ITEM_NONE = 0,
  ITEM_APPLICATION = 1,
  ITEM_WEBLINK = 2,
  ITEM_TEXTFILE = 3
};

// The code of a platform name, compared without regard to case; 0 for any other name (or null).
INT_U8 platform_from_name(const char* name);
// The name of a code ("win32"...); an empty text for 0 and codes without a name.
const char* platform_name(INT_U8 code);
// The word of a file's overwrite rule, as descriptions and "patch.xml" give it: "never" (2, installed
// only where absent), "older" (1, replacing only a file older than the package), else "always".
const char* overwrite_name(INT_U8 rule);
// The item type of a name ("application", "weblink", "textfile"), without regard to case; 0 otherwise.
INT_U8 item_type_from_name(const char* name);

// One file of an installation.
struct INSTALLATION_FILE {
  DATABASE_TEXT src_name;                        // also the destination name when dest_name is empty
  DATABASE_TEXT src_path_from_xml;               // carried; not used when installing
  DATABASE_TEXT dest_path_from_inst_loc;         // destination folder below the install location
  INT_U8 platform;                               // PLATFORM_CODE
  DATABASE_TEXT dest_name;                       // empty: src_name
  DATABASE_TEXT system_dest_path_from_inst_loc;  // used when not empty and use_system_paths is set
  INT_U8 stamp;                                  // yes/no flag of the description; carried
  INT_U8 overwrite;                              // 2 only when absent; 1 when absent or older; else always
  DATABASE_TEXT packed_name;                     // package entry holding the file; empty: nothing to install
};

// One shortcut of an installation.
struct INSTALLATION_ITEM {
  INT_U8 type;  // ITEM_TYPE
  DATABASE_TEXT program_name;
  DATABASE_TEXT link_name;
  DATABASE_TEXT menu_folder;  // empty: a desktop shortcut; else a menu shortcut in that group
  INT_U8 platform;            // PLATFORM_CODE
  DATABASE_TEXT arguments;
  DATABASE_TEXT extra_path_from_inst_loc;
  DATABASE_TEXT system_extra_path_from_inst_loc;
  DATABASE_TEXT extra_name;
  DATABASE_TEXT program_path_from_inst_loc;
  DATABASE_TEXT system_program_path_from_inst_loc;
};

// One installation the user can choose. The file and item arrays are owned.
struct INSTALLATION {
  DATABASE_TEXT name;
  DATABASE_TEXT default_path;  // install path proposed when this installation is chosen
  INT_U8 allow_system_paths;
  INSTALLATION_FILE* files;
  INT_S16 file_count;
  INSTALLATION_ITEM* items;
  INT_S16 item_count;
  DATABASE_TEXT uninstaller_name;      // registry sub-key and "DisplayName" of the uninstall entry
  DATABASE_TEXT uninstaller_filename;  // the uninstaller's file name in its folder
  DATABASE_TEXT uninstaller_path;      // its folder below the install location
  DATABASE_TEXT uninstaller_syspath;   // the same with system paths, used when not empty
  INT_U8 has_desktop_items;            // not stored; set by DATABASE::load_package
  INT_U8 has_menu_items;               // not stored; set by DATABASE::load_package
};

// Number of page texts of a language (INSTALLER_TITLE to PATCH_MSG).
const int LANGUAGE_TEXT_COUNT = 56;

// One language of the wizard. installation_strings is owned: one display name per installation that
// the database held when the language was read.
struct LANGUAGE {
  DATABASE_TEXT name;  // matched against default_language_name
  DATABASE_TEXT LANGUAGE_TITLE;
  DATABASE_TEXT INSTALLER_TITLE;
  DATABASE_TEXT QUIT_TITLE;
  DATABASE_TEXT QUIT_MSG;
  DATABASE_TEXT QUIT_YES;
  DATABASE_TEXT QUIT_NO;
  DATABASE_TEXT COPY_ERROR_TITLE;
  DATABASE_TEXT COPY_ERROR_MSG;
  DATABASE_TEXT COPY_ERROR_YES;
  DATABASE_TEXT COPY_ERROR_NO;
  DATABASE_TEXT FORWARD;
  DATABASE_TEXT FORWARD_HINT;
  DATABASE_TEXT PREVIOUS;
  DATABASE_TEXT PREVIOUS_HINT;
  DATABASE_TEXT AGREE;
  DATABASE_TEXT AGREE_HINT;
  DATABASE_TEXT DISAGREE;
  DATABASE_TEXT DISAGREE_HINT;
  DATABASE_TEXT QUIT;
  DATABASE_TEXT QUIT_HINT;
  DATABASE_TEXT ABOUT;
  DATABASE_TEXT ABOUT_HINT;
  DATABASE_TEXT INSTALL;
  DATABASE_TEXT INSTALL_HINT;
  DATABASE_TEXT FINISH;
  DATABASE_TEXT FINISH_HINT;
  DATABASE_TEXT SELECT_LANGUAGE;
  DATABASE_TEXT LICENCE_TITLE;
  DATABASE_TEXT README_TITLE;
  DATABASE_TEXT INSTALL_TYPE_TITLE;
  DATABASE_TEXT SELECT_OPTIONS_TITLE;
  DATABASE_TEXT SELECT_OPTIONS_LOCATION_QUESTION;
  DATABASE_TEXT SELECT_OPTIONS_USE_SYSTEM_PATHS;
  DATABASE_TEXT SELECT_OPTIONS_SHORTCUT_QUESTION;
  DATABASE_TEXT SELECT_OPTIONS_DESKTOP_SHORTCUT;
  DATABASE_TEXT SELECT_OPTIONS_MENU_SHORTCUT;
  DATABASE_TEXT SELECT_OPTIONS_SYSPATHS_SELECTED;
  DATABASE_TEXT INSTALLING_TITLE;
  DATABASE_TEXT INSTALLING_STRING;
  DATABASE_TEXT INITIALIZING_STRING;
  DATABASE_TEXT INSTALLING_DESKTOP_SHORTCUT;
  DATABASE_TEXT INSTALLING_MENU_SHORTCUT;
  DATABASE_TEXT PACK_DATA_TITLE;
  DATABASE_TEXT PACK_LOG_TITLE;
  DATABASE_TEXT COMPLETE;
  DATABASE_TEXT OK_BUTTON;
  DATABASE_TEXT CANCEL_BUTTON;
  DATABASE_TEXT NEW_FOLDER_BUTTON;
  DATABASE_TEXT SELECT_FOLDER_TITLE;
  DATABASE_TEXT SELECT_FOLDER_MSG;
  DATABASE_TEXT SELECT_FOLDER_MENU_TITLE;
  DATABASE_TEXT MY_COMPUTER;
  DATABASE_TEXT NEW_FOLDER_TITLE;
  DATABASE_TEXT NEW_FOLDER_MSG;
  DATABASE_TEXT CHECK_DESKTOP_FAILED_TITLE;
  DATABASE_TEXT CHECK_DESKTOP_FAILED;
  DATABASE_TEXT PATCH_MSG;
  DATABASE_TEXT* installation_strings;  // owned; null when there were no installations
  INT_S16 installation_string_count;
  struct {
    DATABASE_TEXT path;
    DATABASE_TEXT filename;
  } LICENCE;
  struct {
    DATABASE_TEXT path;
    DATABASE_TEXT filename;
    INT_S16 lines;
  } README;
};

// The page text number i (0 = INSTALLER_TITLE ... 55 = PATCH_MSG) of a language, and its identifier in
// the installation description ("INSTALLER_TITLE"...); null out of range.
char* language_text(LANGUAGE* language, int i);
const char* language_text_name(int i);

// One installer client of the description (read, written and printed into the patch description).
struct INSTALLER_CLIENT {
  INT_U8 platform;  // PLATFORM_CODE
  FOLDER path;      // "$APPDATA" when made by the reader
  VELK_STRING filename;
  VELK_STRING destname;
  INT_U8 compress_data;

  INSTALLER_CLIENT();
};

// An earlier installation's log as an update reads it (DATABASE::read_install_log).
const INT_S32 EARLIER_LOG_LINE_LIMIT = 16384;  // bytes of a line: more than any line the installer writes
const INT_S32 EARLIER_LOG_HEAD_LINES = 5;      // the "Settings: " line is the fifth the installer writes
// Bytes of the file that the head (those lines and the three after them) may take, line ends included:
// more than eight lines at their bound take in any of the text's encodings.
const INT_S32 EARLIER_LOG_HEAD_BYTES = 294912;
// What the earlier log was found to be.
enum EARLIER_LOG_VERDICT {
  EARLIER_LOG_MATCHES,             // the log of the installation updated (or the package is no update)
  EARLIER_LOG_NOT_FOUND,           // nothing at its place, or no location
  EARLIER_LOG_NOT_READ,            // a folder, a pipe, a device, or a file that cannot be read
  EARLIER_LOG_DAMAGED,             // a line too long, no settings, or settings not the installer's
  EARLIER_LOG_OTHER_INSTALLATION,  // another product's, installation's or location's, or naming half of one
  EARLIER_LOG_OTHER_CHOICE,        // the installation's, made with the other choice of the system folders
  EARLIER_LOG_OTHER_VERSION        // the latest log names another version than the update was made from
};
struct EARLIER_LOG {
  EARLIER_LOG_VERDICT verdict = EARLIER_LOG_MATCHES;
  std::string path;      // the full path of the log looked for
  std::string settings;  // the rest of its "Settings: " line; empty when none was read
  // The application and installation that its "Application: " and "Installation: " lines name, as
  // the log holds them (printable); identified is false for a log without both (an earlier version's
  // names neither).
  bool identified = false;
  std::string application, installation;
  // The version that its "Version: " line names (printable); has_version is false for a log without
  // one or with an empty one (made before logs named it, or by a package that knows no version).
  bool has_version = false;
  std::string version;
  // Why the log is not the one of the installation updated, the end of a sentence for the person
  // installing ("its install log \"...\" was not found", "... is a folder", "... is damaged: ...",
  // "the install log \"...\" is of another installation ..."); empty when it is.
  std::string mismatch;
};

struct FOLDER_HOLD;

// Where the install step stands between its calls: one installation at a time, kept with the database.
struct INSTALL_STATE {
  // 0 before the preparation; 1 .. files for the file steps, files + 1 the shortcuts, files + 2 the
  // uninstall entry and completion, files + 3 done.
  INT_S32 step_counter = 0;
  INT_S32 step_total = 0;       // the installation's file count + 1
  INT_S32 error_count = 0;      // files that failed to unpack
  INT_S32 unmade_count = 0;     // shortcuts and the uninstall entry asked for and not made
  bool stopped = false;         // the destination cannot be made: nothing was installed
  bool interrupted = false;     // a request of the system to end the program stopped the installation
  bool log_failed = false;      // a line of the install log could not be written
  bool running = false;         // prepared and not completed: the idle wait is 0 and the base path set
  FOLDER base_folder;           // the destination, "$APP" and "$BASE" while running
  FOLDER_HOLD* hold = nullptr;  // the destination's hold from the preparation until the end (files.h)
  INT_U64 hold_number = 0;       // the file number of the hold's file (get_file_number), 0 without
  FOLDER log_folder;            // the folder of "install_log.txt"
  // Why the log's folder cannot be had (its words after "its "), empty when it can: the log is then made
  // nowhere, and log_folder holds the path it names (its text where it names none) for the messages.
  std::string log_folder_cause;
  TEXT_FILE* log = nullptr;     // "install_log.txt" as this installation created it, open until its end
  INT_U64 log_number = 0;       // its file number (get_file_number), 0 before it is made
  // An earlier log at the log's place is kept under a numbered name before this one takes the place:
  // the name it was kept under (empty until then), and the log line that says so until written.
  std::string kept_log_name, kept_log_line;
  std::string log_pending;      // lines kept while the log cannot be created, written whole once it can be
  INT_S32 log_pending_groups = 0;  // line groups kept since the last try to create the log
  INT_S32 log_next_try = 1;        // the number of kept groups at which the next try comes
  bool log_cut = false;         // a write to the log failed: nothing more goes into it
  std::string log_cause;        // the system's words for the log's first failure
  std::string removed_lines;    // lines of the temporaries removed, written with the next line group
  std::string step_lines;       // the line group of the step under way (shortcuts, completion)
  // What failed last, in words for the person installing: the file (or the log, or the destination)
  // with its full path and the cause, the system's own words for it where it gave them.
  std::string failure_text;
  // Every failure of the installation so far in those words, one to a line (the page lists them).
  std::string failures;
  // Destination texts already set in this installation and the folders they gave: those folders were
  // made or found once and are not checked again.
  std::unordered_map<std::string, std::string> known_folders;
  // The element of known_folders that the last look-up found, and whether its folder is a made one:
  // files of one folder follow each other, and their text is then compared once instead of hashed.
  const std::pair<const std::string, std::string>* last_known = nullptr;
  bool last_known_made = false;
  // Of those, the texts whose folder did not exist until this installation made it: such a folder holds
  // nothing but what the installation put there.
  std::unordered_set<std::string> made_folders;
  // The folders that texts below the destination ("$HERE", "$HERE/a", "$HERE/a/b", ...) have led to so
  // far, and whether this installation made them: a new text is followed on from the longest part of it
  // reached before, each further folder made at once where it is missing (one look-up for each).
  struct WALKED_FOLDER {
    std::string path;
    bool made;
  };
  std::unordered_map<std::string, WALKED_FOLDER> walked_folders;
  bool base_made = false;  // the destination did not exist until this installation made it
  std::string unreached_root;  // the root of the last walk that failed for want of it (a share, a drive)
  // Folders already looked through for what killed runs left.
  std::unordered_set<std::string> cleaned_folders;
  // The temporaries that files of this run which failed could not remove (in the order they stayed): the
  // full path, the folder and the name of each. They go at the end of the installation, or when a later
  // one of this run looks through their folder, as soon as they can; kept from one installation to the
  // next.
  struct LEFT_TEMPORARY {
    std::string path;
    FOLDER folder;
    std::string name;
  };
  std::vector<LEFT_TEMPORARY> left_temporaries;
  // The files installed so far, from their file number (get_file_number) to their index among the
  // installation's files: a later file that lands on one of them is found by it.
  std::unordered_multimap<INT_U64, INT_S32> installed_numbers;
  // What a name may lead to, known without looking it up: a look-up of a name that is missing costs a
  // file system that ignores case a reading of the folder. Names are told by the keys of the plain ones
  // (ASCII without '~'; the form under which such a file system, or one that drops a final dot or space,
  // takes two names for one); a name of another kind may be taken for another in ways not told here.
  // For each folder that files went to, by its path: a folder this installation made holds only what it
  // put there; one that was there holds what it held when it was first listed, and what was put there
  // since through this path or another that leads to it (a link, another spelling), which is known only
  // from what was put into the folders that may be it: any other that was there, and, when folders had
  // been made before it was listed, those made. A plain name known to lead to nothing is not looked up.
  struct FOLDER_NAMES {
    bool made = false;
    bool listed_after_making = false;      // a folder that was there, listed after folders were made
    std::unordered_set<std::string> keys;  // the plain names listed there or put there
    bool other_names = false;              // a name of another kind is there
  };
  std::unordered_map<std::string, FOLDER_NAMES> folder_names;
  bool folder_made = false;  // this installation made a folder
  // The plain names put into folders: that were there, that were there and listed after folders were
  // made, and that this installation made; and whether a name of another kind was put into one.
  std::unordered_set<std::string> keys_in_found, keys_in_late_found, keys_in_made;
  bool other_in_found = false, other_in_late_found = false, other_in_made = false;
  std::string name_key;  // the current file's, kept from file to file
  // Each file's progress text, destination path and log line, kept from file to file so that their
  // storage is made once.
  std::string shown_text, file_path, log_line;
};

// The part of a skin stream that belongs to the window manager: the default window, title and button
// styles of dialogs, the hint style of buttons and the default dialog effects. A stream is read into
// this scratch record first and applied as a whole.
struct SKIN_GLOBALS {
  WM_STYLE_SET window_style;
  WM_STYLE_SET title_style;
  WM_STYLE_SET button_style;
  WM_STYLE_SET hint_style;
  WM_DIALOG_EFFECTS effects;
  INT_U8 has_effects = 0;  // the stream held the effects (database version 4 and later)

  // The one-time adjustment of the default dialog styles runs before each of them is replaced, so that
  // it never lands on the values read; the hint style is marked ready; the effects become the default.
  void apply();
};

class DATABASE : public DATA_DEVICE_CLIENT {
public:
  // Icons, in member order; icon_name gives each one's skin file base name.
  enum {
    forw_icon, prev_icon, yes_icon, no_icon, quit_icon, about_icon, finish_icon, agree_icon,
    disagree_icon, install_icon, new_folder_icon,
    disk_icon, disk_cdrom_icon, disk_floppy_icon, disk_network_icon, disk_linux_icon, disk_unix_icon,
    disk_mac_icon, disk_os2_icon, disk_dos_icon, disk_windows_icon, parent_folder_icon, file_icon,
    folder_icon,
    ICON_COUNT
  };
  // Member style sets, in member order (style_set gives each by number).
  enum {
    TITLE_STYLE, DIALOG_TEXT_STYLE, OPTIONS_STYLE, OPTIONS_ALT_STYLE, TEXT_TITLE_STYLE, TEXT_STYLE,
    SCROLLBAR_STYLE, CHECK_BOX_STYLE, PROGRESS_BAR_STYLE, PROGRESS_BAR_SCRIPT_STYLE, MENU_DROPDOWN_STYLE,
    MENU_BUTTON_STYLE, MENU_ITEM_STYLE, MENU_ALT_ITEM_STYLE,
    STYLE_COUNT
  };

  // --- header settings ---
  INT_U32 settings_number;  // first number of the install log's "Settings: " line
  INT_U8 show_frame_rate;
  INT_U8 show_filenames;
  INT_U8 show_filepaths;
  INT_U32 file_cache_sz;    // data-file buffer size with which the package is opened for the run
  DATABASE_TEXT default_language_name;
  struct {
    INT_S16 width, height;
    INT_U8 fullscreen, show_bg_title;
  } WINDOW;
  struct {
    INT_S16 x, y, width, height, button_gap;  // x and y are not touched by clear
    INT_U8 can_drag;
  } DIALOG;
  struct {
    INT_S16 x, y, width, height;
    INT_U8 can_drag;
  } EXIT;
  struct {
    INT_S16 x, y, width, height;
    INT_U8 can_drag;
  } ERROR;
  struct {
    INT_S16 x, y, width, height;
    INT_U8 new_folder_too, can_drag;
  } FILE_SELECT;
  struct {
    INT_S16 x, y, width, height;
    INT_U8 can_drag;
  } ABOUT;
  struct {
    DATABASE_TEXT path, filename;
    INT_S32 speed;
    INT_S16 width, height, start_offset_ms;
  } BACKGROUND;
  struct {
    DATABASE_TEXT dest_path_from_inst_loc, system_dest_path_from_inst_loc;
  } LOG;
  struct {
    DATABASE_TEXT dest_path_from_inst_loc, system_dest_path_from_inst_loc;
    INT_U8 do_check;
  } PATCH;

  // --- skin members ---
  WM_STYLE_SET title_style;
  WM_STYLE_SET dialog_text_style;
  WM_STYLE_SET options_style;
  WM_STYLE_SET options_alt_style;
  WM_STYLE_SET text_title_style;
  WM_STYLE_SET text_style;
  WM_STYLE_SET scrollbar_style;
  WM_STYLE_SET check_box_style;
  WM_STYLE_SET progress_bar_style;
  WM_STYLE_SET progress_bar_script_style;
  WM_STYLE_SET menu_dropdown_style;
  WM_STYLE_SET menu_button_style;
  WM_STYLE_SET menu_item_style;
  WM_STYLE_SET menu_alt_item_style;
  IMAGE skin_icons[ICON_COUNT];
  INT_U16 progress_bar_animation_x_rate;  // 0 at start; not touched by clear
  INT_U16 progress_bar_animation_y_rate;
  INT_U16 progress_bar_animation_update_rate;

  // --- application and lists ---
  struct {
    DATABASE_TEXT version;
    INT_S32 build_number;
    DATABASE_TEXT app_string;  // application sub-folder handed to set_base_path with the install path
  } APPLICATION;
  INT_U32 time_stamp;  // seconds since 1970; overwrite rule 1 replaces files older than this
  struct {
    INT_S16 width, height;
  } CHECK_DESKTOP_SIZE;
  // The lists are owned and freed by clear with delete[] (and delete for each client): code that fills
  // a database to write it allocates them the same way, e.g. new INSTALLATION[n]() (zeroed records),
  // each record's files and items and each language's installation_strings likewise, new
  // INSTALLER_CLIENT*[k] and new INSTALLER_CLIENT() per client, and sets the counts.
  INSTALLATION* installations;  // owned array of installation_count records
  INT_S16 installation_count;
  LANGUAGE* languages;          // owned array of language_count records
  INT_S16 language_count;
  IMAGE background_image;

  // --- runtime state ---
  PACKAGE* package;               // the open package, owned; not touched by clear
  INT_S16 current_installation;
  INT_S16 current_language;
  INT_S32 stage;                  // INSTALL_STAGE
  SYSTEM_INFORMATION system_information;  // read through system_info() or system_capabilities()
  INT_U8 system_information_state;        // 0 after clear, 1 its capability flags current, 2 all of it
  char install_path[DATABASE_PATH_SIZE];
  INT_S16 total_file_count;       // files of all installations, set by load_package
  INT_U8 use_system_paths;
  INT_U8 desktop_shortcut;
  INT_U8 menu_shortcut;
  INT_U8 desktop_size_checked;
  INSTALLER_CLIENT** installer_clients;  // owned array of installer_client_count owned records
  INT_S16 installer_client_count;
  // The identity of the version of the files that the package installs, which its install log names in
  // its "Version: " line (the packer's digest of them); and, of an update made from a whole earlier
  // version, that version's identity: it installs only where the latest log names it. Empty in a
  // package made before packages named their version, and in an update made by hand. Stored from
  // version 15, after the clients, where an earlier reader stops.
  DATABASE_TEXT version_identity;
  DATABASE_TEXT updated_version;
  INT_U8 attached_package;        // "installer.pkg" is the copy of attached data; not touched by clear
  DATABASE_TEXT desktop_size_warning;
  struct {
    char path[DATABASE_PATH_SIZE];
  } SKIN;
  INT_U8 platform_filter;         // PLATFORM_CODE set by "-p"; not touched by clear
  VELK_STRING xml_name;           // "installer.xml"; not touched by clear
  FOLDER data_folder;             // "$APPDATA"; not touched by clear
  INSTALL_STATE install_state;    // the install step's; clear ends a running installation
  std::string load_failure;       // why the last load_package failed; empty after a successful one
  bool load_refused = false;      // the last load_package read a database that it refused as damaged
  // A read of the stored form that leaves the program's look as it was (the image cache, the window
  // manager's default styles and dialog effects, the frame flags of style sets): for a database read
  // for its records alone, as the packer reads an earlier version's. Not touched by clear.
  bool records_only = false;
  // The program's own file as a path-variable text ("$APP/installer"), where load_skin_file looks for
  // an attached skin; set by the installer's entry, empty otherwise; not touched by clear.
  char program_file_text[DATABASE_PATH_SIZE];

  DATABASE();
  // clear, the package deleted, then the members.
  ~DATABASE() override;
  DATABASE(const DATABASE&) = delete;
  DATABASE& operator=(const DATABASE&) = delete;

  // === data model (database.cpp) ===
  // Every default back (except package, attached_package, platform_filter, xml_name, data_folder, the
  // DIALOG position and the progress-bar rates); frees the installations, languages and clients.
  void clear();
  // The stage after / before the current one by the wizard's page rules; stage is not changed.
  INT_S32 next_stage();
  INT_S32 previous_stage();
  // Member style set n (TITLE_STYLE...), null out of range.
  WM_STYLE_SET* style_set(int n);
  // Skin file base name of icon n ("forw_icon", "disk-cdrom"...), null out of range.
  static const char* icon_name(int n);
  // The host's description (system_information), gathered on the first use after clear and kept; a
  // caller may change the record, which stays so until the next clear.
  SYSTEM_INFORMATION& system_info();
  // The same record with at least its platform and capability flags current, which are all that the
  // install step and the options page decide by: filled without the host's lookups (no socket library,
  // no joystick query) unless the whole record is current already.
  const SYSTEM_INFORMATION& system_capabilities();
  // The current installation / language, null while its list is empty.
  INSTALLATION* get_current_installation();
  LANGUAGE* get_current_language();

  // === stored form (database_file.cpp): version 15 written, every older version read ===
  // Writes the stream at the device's position; false at the first failed write.
  bool put_to_data_device(DATA_DEVICE* device) override;
  // Clears, reads the stream, makes the language named default_language_name current and sets the
  // stage after the start page. False (data error DATA_ERROR_READ) on damaged, truncated or unusable
  // data: no languages, a bad count, a failed allocation; what was read stays for clear to free.
  bool get_from_data_device(DATA_DEVICE* device) override;

  // === skin (skin.cpp) ===
  // Reads a skin folder (a FOLDER::set text such as "$APPDATA/qon") into the skin members, the window
  // manager's default dialog styles, the hint style and the default dialog effects; the text goes into
  // SKIN.path. A folder that does not exist gives the empty skin: nothing is read from anywhere else.
  void load_skin(const char* folder_text);
  // The skin stream: the image cache, then the items of write_skin_items. False at the first failed
  // write (the device's failed flag set).
  bool write_skin(DATA_DEVICE* device);
  // Reads a skin stream. The whole stream is checked first: a damaged or truncated one changes nothing
  // and gives false (data error DATA_ERROR_READ); on success the file selector icons take the disk icons.
  bool read_skin(DATA_DEVICE* device);
  // Reads the skin attached to the file that program_file_text names; false when none is attached, the
  // file cannot be opened or the skin is damaged.
  bool load_skin_file();
  // The skin items that the skin stream and the database stream share, in their order: the 14 member
  // style sets, the 24 icons, the four global style sets, the default dialog effects and the three
  // progress-bar rates. Reading takes the stream version (effects from 4, rates from 5) and reads the
  // global style sets and the effects into globals, which the caller applies.
  bool write_skin_items(DATA_DEVICE* device);
  bool read_skin_items(DATA_DEVICE* device, INT_U8 version, SKIN_GLOBALS* globals);
  // The file selector's drive, parent-folder, file and folder icons become copies of skin icons 11 to 23.
  void fill_file_select_icons();

  // === engine (installer engine modules) ===
  // Opens the named package of data_folder, reads "database.bin", derives the working values; false
  // (load_failure says why) when the package or its database cannot be read, or when the database names
  // a folder that leads out of the folder it is taken from (load_refused). The package file takes the
  // database's file_cache_sz as its own buffer size; nothing else does.
  bool load_package(const char* name);
  // Loads the built-in fonts that the open package carries: each is extracted into "$TEMP", loaded into
  // its slot and deleted again. The wizard does it when it begins; the jobs that draw nothing ("-a",
  // "-d") never do.
  void load_package_fonts();
  // The buffer size that the database's file_cache_sz gives its package file.
  INT_S32 package_buffer_size() const;
  // "installer.idx" in data_folder, read or written as a data file with the byte-order byte.
  bool load_index();
  bool save_index();
  // One step of the installation at stage 7 (page may be null). At other stages the step counter goes
  // back to 0, and an installation left before its completion is interrupted (end_installation). An
  // installation with a file not installed makes neither shortcuts nor the uninstall entry.
  void install_step(INSTALL_DIALOG* page);
  // Takes the hold of the destination before the installation begins (the wizard's Install), which the
  // installation's preparation keeps; false when another run installs there, the install state's failure
  // text saying so. A destination not there yet is held by no run: true, holding nothing.
  bool hold_destination();
  // Ends a running installation where it stands: the log closed, the idle wait back to 50 ms, the base
  // path reset. One cut short (the person installing stopped it) or ended on a request of the system
  // to end the program is interrupted: the log's last line says so.
  void end_installation(bool cut_short = false);
  // Whether the installation takes the system folders: chosen, and allowed by the host and the current
  // installation (the install step records the choice as 0 otherwise).
  bool system_paths_used();
  // Reads the head of an earlier install log (up to its "Settings: " line and the application and
  // installation lines after it; each line at most EARLIER_LOG_LINE_LIMIT bytes, the settings among
  // the first EARLIER_LOG_HEAD_LINES lines, all of it within EARLIER_LOG_HEAD_BYTES bytes of the file,
  // so that any file reads in constant time and memory) and compares it with the current choices: the
  // same application and installation (a log of an earlier version names neither; one that names only
  // one of them, or an empty one where this package has a name, matches nothing), the same choice of
  // system folders and, unless they fix the log's place, the same location. found (when given) gets
  // what was read, what it was found to be and why it does not match.
  bool read_install_log(EARLIER_LOG* found = nullptr);
  // An update (PATCH do_check) installs only over the earlier installation whose log names this
  // application and installation at the same location (read_install_log's answer), and one made from a
  // whole earlier version only where the latest installed log (the newest of its own log folder, else
  // that one) names that version or none: true for a package that is no update. The wizard's Install
  // opens by it, automatic mode installs by it, and the installation checks it again once it holds the
  // folder.
  bool update_target_found(EARLIER_LOG* found = nullptr);
  // Whether the log at this package's own log place (which the installation keeps under a numbered name)
  // is another product's or installation's, or names only half of one: found (when given) then says
  // whose, in words for the person installing. False where there is none, it cannot be read, or it is
  // of this installation or of an earlier version of the installer.
  bool earlier_log_of_another(EARLIER_LOG* found = nullptr);
  // An update takes the choice of system folders that the earlier installation it updates was made
  // with: when the log matches with the other choice and not with the current one, the other becomes
  // the current. Nothing changes for a package that is no update, or where no log matches either way.
  void take_earlier_choice();
  // "-d first=second": writes "patch.xml" describing the files the second package adds or changes.
  void create_file_differences(const char* argument);
};

// The package's file name in the data folder: loaded, copied there from attached data, deleted at the end.
inline constexpr char PACKAGE_FILE_NAME[] = "installer.pkg";

// The installer's one database, built on first use (or by start_database in the entry's start-up order),
// used like a pointer: database->stage, database->load_package(PACKAGE_FILE_NAME).
struct DATABASE_INSTANCE {
  DATABASE* operator->() const;
  DATABASE& operator*() const;
  operator DATABASE*() const;
};
extern const DATABASE_INSTANCE database;
void start_database();
// Destroys the database (at exit); a later use builds a new one.
void stop_database();
