// Folders and path variables: every file is named by a FOLDER and a name, and every folder is set from a
// portable text that begins with a path variable ("$APP", "$USERPREFS", "$TEMP", "$HERE" ...) or a
// named path. The members that touch the file system are the host layer's (code/host/<host>/files.cpp).
#pragma once
#include <string>
#include <vector>

#include "types.h"
#include "data_device.h"

// Size of a folder's path buffer and of every path text built from one (terminator included).
#define FOLDER_PATH_SIZE 2048

// Form byte of a stored folder: a portable text follows; any other value is the code of the platform
// whose raw path follows ('!' is this library's own).
#define FOLDER_FORM_PORTABLE 0xFF
#define FOLDER_FORM_RAW_PATH 0x21

class FOLDER : public DATA_DEVICE_CLIENT {
public:
  // Absolute path in the host's form (Windows: "D:\a\b", a drive root "D:\"; Linux: "/a/b", the root
  // "/"); no trailing separator except at a root.
  char path[FOLDER_PATH_SIZE];

  // A new folder is the program's folder ("$APP").
  FOLDER();
  FOLDER(const FOLDER& other);
  FOLDER& operator=(const FOLDER& other);
  ~FOLDER() override {}

  // Sets the folder from a path-variable text such as "$APPDATA/a/b" or "../x" (relative to the current
  // path), read as read_folder_text reads it on this host; a "." part is the folder reached. A failed
  // variable or an unusable text leaves "$APP" and gives false; a failed sub-folder step leaves the
  // folder reached so far and gives false. A null text changes nothing.
  bool set(const char* text, bool create_sub_folders = false, FOLDER* here = nullptr,
           bool create_system_folder = false, bool no_fallback = false, bool fallback_only = false);
  // Sets the folder to one variable's folder; on failure the folder is "$APP" and the result false.
  // An unknown variable is a fatal error (0x0C).
  bool resolve_variable(const char* name, bool create, FOLDER* here, bool no_fallback, bool fallback_only);

  // Stored form: the form byte, then 2048 bytes of text (portable text written, zero-filled after it).
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  // The folder as a text that set() reads back: relative to the variables, or to here when given.
  void get_portable_text(char* out, FOLDER* here);
  // The folder's portable text (variable form) in text (FOLDER_PATH_SIZE bytes), or "" for a null
  // folder: how the widgets' "from a folder" forms name the folder to their "from a path text" forms.
  static const char* portable_text_of(FOLDER* folder, char* text);
  // out (2048 bytes): the first of "$APP", "$SYSAPP", "$APPDATA", "$USERDATA", "$TEMP", "$FONTDATA",
  // "$ICONDATA" equal to the folder, else the parent's text and "/" and the last component, ending at
  // "$ROOTn".
  void to_variable_text(char* out);
  // Called on the reference folder: out = folder as "$HERE" followed by "/.." per level up and the path
  // down; on another drive the variable text.
  void to_here_text(FOLDER* folder, char* out);

  // --- host layer (code/host/<host>/files.cpp) ---
  // The two paths are equal ignoring case.
  bool equals(const FOLDER* other) const;
  // The last component (static buffer); the whole path when it has no separator.
  const char* get_name() const;
  // The path without a trailing separator, followed by a separator and name when given (static buffer);
  // null when the result would not fit.
  const char* get_path_text(const char* name = nullptr) const;
  // The text names an existing directory.
  static bool is_folder(const char* path_text);
  // When the text names an existing directory it becomes the path.
  bool set_if_folder(const char* path_text);
  // Moves into the sub-folder name, making it first when create is set; unchanged and false otherwise.
  bool enter(const char* name, bool create = false);
  // Moves to the parent folder; false (unchanged) at a root or when the parent is no directory.
  bool go_up();
  // The root of the index-th logical drive; false past the last drive.
  bool set_to_drive_root(INT_S16 index);

  // --- file utilities (code/host/file_utils.cpp) ---
  // out (size bytes) = a name of eight upper-case hexadecimal digits and the suffix that names neither a
  // file nor a sub-folder of this folder; false when out or suffix is null or they do not fit.
  bool make_unique_name(char* out, INT_S16 size, const char* suffix);
};

// A folder registered under a name (with its '$'), looked up before the built-in variables.
struct NAMED_PATH;
void delete_named_path(void* entry);

// A folder text as every reader takes it (FOLDER::set, expand_path_text, place_of_folder_text, the
// installer's destinations, the package readers and the packer): its path variable's name runs from the
// '$' to the first '/' or '\' on every host (no variable's name holds either, so that "$ROOT0\a" is
// the drive's folder "a" where '\' separates folders, and never a variable of that name whose tail is
// lost); the parts after it are separated by '/', and by '\' too where Windows reads the text (any
// host, or this host when '\' is its separator); elsewhere '\' is a character of a name.
struct FOLDER_TEXT {
  bool names_folder = false;       // it begins with a path variable or ".."
  std::string variable;            // the variable's name as written, '$' included; "" for any other text
  std::vector<std::string> parts;  // the parts after the variable (of the whole text without one), none
                                   // empty, "." and ".." as written
};
// A variable name of more than 255 characters names no folder.
FOLDER_TEXT read_folder_text(const char* text, bool any_host = false);

// Whether FOLDER::set can take the text without the fatal error of an unknown path variable: a text
// that does not begin with '$', or one whose variable is built in ("$APP" ... "$HERE", "$ROOT" and a
// number) or a registered named path. False for null and for a variable name longer than 255
// characters. Readers of stored folder texts check with it before FOLDER::set.
bool is_known_path_text(const char* text);
// Whether the text begins with a registered named path, which FOLDER::set takes before a built-in
// variable of the same name.
bool is_named_path_text(const char* text);
// is_known_path_text without the named paths: texts read from files other than a folder's own stored
// form use it, since a named path belongs to the program run that registered it.
bool is_builtin_path_text(const char* text);
// The kind of system folder (SYSTEM_FOLDER_...) that a variable name stands for: "$SYSAPP", "$INSTDATA",
// "$APPDATA", "$USERDATA" or "$USERPREFS" in any case; -1 for any other name.
INT_S32 system_folder_kind_of(const char* name);

// Where a folder text leads, judged from the text alone (read as read_folder_text reads it) as
// FOLDER::set and the installer's destinations take it: from the folder of its path variable
// (capitals not told apart) or, for a text that begins with "..", from the folder it is taken relative
// to; then one step per part: "." stays, ".." goes up, any other name goes down. Where Windows reads
// the text a part of dots and spaces alone counts as ".." when it holds two dots or more, and as "."
// otherwise (Windows drops a name's final dots and spaces). Below a variable that names its folder
// through expand_path_text (not "$HERE", "$APP", "$BASE" or a system folder's, each unless a named
// path has its name), a part that begins with '$' leads to another folder.
struct FOLDER_TEXT_PLACE {
  std::string variable;           // in capitals ("$HERE", "$APPDATA"); "" for a text beginning with ".."
  bool install_location = false;  // "$HERE", "$APP", "$BASE" or "..": the install location while installing
  bool leads_out = false;         // a step leads above the variable's folder
  std::string below;              // the folders below it that the text leads to, joined with '/'
};
// A text that names no folder (null, without a path variable or "..", a variable name past 255
// characters) leads nowhere: no variable, not the install location, not out.
FOLDER_TEXT_PLACE place_of_folder_text(const char* text, bool any_host);
// The folder that a text leads out of, as messages name it: "the install location" or "the folder that
// $APPDATA names".
std::string folder_text_origin(const FOLDER_TEXT_PLACE& place);

// The path that a variable text names (with file appended when given), its parts as read_folder_text
// reads them on this host, without touching the disk apart from resolving '$' parts; ".." takes off the
// path's last folder (at either separator), and "." is nothing. The parts and the file are joined with
// the host's separator, so the path reads as the host writes paths. Empty when it does not fit or a '$'
// part names no variable this program knows, or no folder it can find (a drive this computer does not
// have, a system folder that does not exist), which the text never means the program's folder for.
// One static buffer.
const char* expand_path_text(const char* text, const char* file);

// Named paths: set replaces the first entry of that name (case-sensitive) or appends one.
void set_named_path(const char* name, FOLDER* folder);
void remove_named_path(const char* name);

// The base path that "$APP" and "$BASE" give while set; application_name (cut to 255 characters)
// names the application sub-folder of the system folders.
void set_base_path(FOLDER* folder, const char* application_name);
void reset_base_path();
void get_base_path(FOLDER* out, char* name, INT_U16 size);

// The icon path that "$ICONDATA" gives while set.
void set_icon_path(FOLDER* folder);
void reset_icon_path();
void get_icon_path(FOLDER* out);

// Writes how every variable resolves to the "Default Path Trace" stream when any of its outputs is on.
void trace_default_paths();

// The library has started: set by the program's start-up once the font system runs and cleared when
// it stops. The first FOLDER::set while it is set writes the one-time "Starting Default Paths" trace.
void set_library_started(bool started);
bool library_started();
