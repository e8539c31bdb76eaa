// Folders and path variables: resolving "$APP", "$USERPREFS", "$TEMP" ... and named paths to folders
// (with their fallbacks inside the program's tree), walking sub-folder texts, writing a folder back as a
// portable text, its stored form, and the "Default Path Trace" of how every variable resolves.
#include "folder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "debug_stream.h"
#include "errors.h"
#include "files.h"
#include "host.h"
#include "ptrarray.h"
#include "velk_string.h"

struct NAMED_PATH {
  VELK_STRING name;
  FOLDER folder;
};

// Module state. Plain data, so it is ready before any static FOLDER is constructed.
static FOLDER* base_path_folder = nullptr;  // null until set: the program's folder
static INT_U8 base_set = 0;
static char application_name[256];
static FOLDER* icon_path_folder = nullptr;  // null until set: the program's folder
static INT_U8 icon_set = 0;
static PTRARRAY* named_paths = nullptr;
static INT_U8 traced = 0;
static bool started = false;

// Frees the module's heap state at exit.
static struct FOLDER_STATE_RELEASE {
  ~FOLDER_STATE_RELEASE() {
    if (named_paths) {
      named_paths->clear();
      delete named_paths;
      named_paths = nullptr;
    }
    delete base_path_folder;
    base_path_folder = nullptr;
    delete icon_path_folder;
    icon_path_folder = nullptr;
  }
} folder_state_release;

void delete_named_path(void* entry) { delete static_cast<NAMED_PATH*>(entry); }

static NAMED_PATH* find_named_path(const char* name, INT_S32* index) {
  if (!named_paths || !name) return nullptr;
  for (INT_S32 i = 0; i < named_paths->count; i++) {
    NAMED_PATH* entry = static_cast<NAMED_PATH*>(named_paths->items[i]);
    if (entry->name.text && strcmp(entry->name.text, name) == 0) {
      if (index) *index = i;
      return entry;
    }
  }
  return nullptr;
}

// Variable names are far shorter than the largest count the compare takes.
static bool same_no_case(const char* a, const char* b) { return string_compare_no_case(a, b, 0x7FFF) == 0; }

// "$ROOT" followed by nothing or by decimal digits alone: any other name that begins so ("$ROOT0x") is
// no variable, rather than the first drive's root with the rest of its name lost.
static bool is_root_variable(const char* name) {
  if (string_compare_no_case(name, "$ROOT", 5) != 0) return false;
  for (const char* at = name + 5; *at; at++)
    if (*at < '0' || *at > '9') return false;
  return true;
}

// The drive number of a "$ROOT" variable (0 without digits); -1, which names no drive, past the 16-bit
// numbers, so that a long number never wraps round to a drive that exists.
static INT_S16 root_variable_index(const char* name) {
  long number = 0;
  for (const char* at = name + 5; *at; at++) {
    number = number * 10 + (*at - '0');
    if (number > 32767) return -1;
  }
  return (INT_S16)number;
}

// The built-in variables other than "$ROOTn".
static const char* const builtin_variables[] = {"$APP",      "$BASE",     "$SYSAPP", "$INSTDATA",
                                                "$APPDATA",  "$USERDATA", "$USERPREFS", "$TEMP",
                                                "$FONTDATA", "$ICONDATA", "$HERE"};

// Whether resolving the variable takes its fallbacks only when no_fallback is off: the system-folder
// variables. "$FONTDATA", "$ICONDATA" and "$ROOTn" search all they can either way, and named paths,
// "$APP" and "$HERE" never fail.
static bool has_optional_fallback(const char* name) {
  for (const char* variable : {"$SYSAPP", "$INSTDATA", "$APPDATA", "$USERDATA", "$USERPREFS", "$TEMP"})
    if (same_no_case(name, variable)) return !find_named_path(name, nullptr);
  return false;
}

// Whether the name is a built-in variable or "$ROOTn".
static bool is_builtin_variable(const char* name) {
  if (is_root_variable(name)) return true;
  for (const char* builtin : builtin_variables)
    if (same_no_case(name, builtin)) return true;
  return false;
}

// Whether resolving the name would succeed without the fatal error of an unknown variable.
static bool is_known_variable(const char* name) { return find_named_path(name, nullptr) || is_builtin_variable(name); }

// Copies the path of another folder (which may be this one).
static void copy_folder_path(FOLDER* to, const FOLDER* from) {
  if (to != from) memcpy(to->path, from->path, FOLDER_PATH_SIZE);
}

// Whether '\' separates the parts of a folder text: where Windows reads it.
static bool backslash_separates(bool any_host) { return any_host || PATH_SEPARATOR == '\\'; }

// Adds the parts of text (up to its end) to parts: separated by '/', and by '\' where windows; empty
// parts are left out.
static void split_folder_parts(const char* text, bool windows, std::vector<std::string>* parts) {
  const char* separators = windows ? "/\\" : "/";
  while (*text) {
    size_t length = strcspn(text, separators);
    if (length) parts->emplace_back(text, length);
    text += length;
    if (*text) text++;
  }
}

// The length of the variable name that a text beginning with '$' begins with: up to the first '/' or
// '\', on every host, as no variable's name holds a separator of either host.
static size_t variable_name_length(const char* text) { return strcspn(text, "/\\"); }

FOLDER_TEXT read_folder_text(const char* text, bool any_host) {
  FOLDER_TEXT read;
  if (!text) return read;
  bool windows = backslash_separates(any_host);
  const char* rest = text;
  if (text[0] == '$') {
    size_t length = variable_name_length(text);
    if (length <= 255) {
      read.names_folder = true;
      read.variable.assign(text, length);
      rest = text + length;
    }
  } else {
    read.names_folder = strncmp(text, "..", 2) == 0;
  }
  split_folder_parts(rest, windows, &read.parts);
  return read;
}

// The variable name of a text (as read_folder_text takes it); false when it has none that fits.
static bool take_variable_name(const char* text, char* name) {
  if (!text || text[0] != '$') return false;
  size_t length = variable_name_length(text);
  if (length > 255) return false;
  memcpy(name, text, length);
  name[length] = 0;
  return true;
}

static DEBUG_STREAM* trace_stream() { return path_trace_debug_stream(); }

static void trace_text(const char* text) {
  DEBUG_STREAM* stream = trace_stream();
  if (stream && stream->flags) debug_stream_write(stream, nullptr, 0, text, false);
}

FOLDER::FOLDER() {
  path[0] = 0;
  set("$APP");
}

FOLDER::FOLDER(const FOLDER& other) : DATA_DEVICE_CLIENT() { memcpy(path, other.path, FOLDER_PATH_SIZE); }

FOLDER& FOLDER::operator=(const FOLDER& other) {
  copy_folder_path(this, &other);
  return *this;
}

bool FOLDER::set(const char* text, bool create_sub_folders, FOLDER* here, bool create_system_folder,
                 bool no_fallback, bool fallback_only) {
  if (!traced && started) {
    traced = 1;
    trace_text("\nStarting Default Paths:\n\n");
    trace_default_paths();
  }
  if (!text) return false;
  FOLDER_TEXT read = read_folder_text(text);
  if (!read.names_folder) {
    resolve_variable("$APP", false, nullptr, false, false);
    return false;
  }
  if (!read.variable.empty()) {
    const char* name = read.variable.c_str();
    // The second look differs from the first only in creating the system folder or in taking the
    // fallbacks; when it would differ in neither, it would find what the first found.
    bool second_look_differs = create_system_folder || (!no_fallback && has_optional_fallback(name));
    if (!resolve_variable(name, false, here, true, fallback_only) &&
        (!second_look_differs || !resolve_variable(name, create_system_folder, here, no_fallback, fallback_only))) {
      resolve_variable("$APP", false, nullptr, false, false);
      return false;
    }
  }
  // Walk the parts; a step that fails leaves the folder reached so far.
  for (const std::string& part : read.parts) {
    if (part.size() > 255) return false;
    // "." is the folder reached: entering it would only lengthen the path ("a/./b").
    if (part == ".") continue;
    bool ok = part == ".." ? go_up() : enter(part.c_str(), create_sub_folders);
    if (!ok) return false;
  }
  return true;
}

// System folders are tried while no base path is set, or while one is set with an application name.
static bool system_folders_used() { return !base_set || application_name[0]; }
static const char* application_sub_folder() { return base_set ? application_name : nullptr; }

// Goes upward from "$APP": the first level with the sub-folder chain (each tried as listed) gives the
// folder.
static bool search_upward(FOLDER* out, const char* const* chains, int chain_count, bool fallback_only) {
  FOLDER level;
  level.resolve_variable("$APP", false, nullptr, false, fallback_only);
  for (;;) {
    for (int c = 0; c < chain_count; c++) {
      FOLDER candidate(level);
      bool found = true;
      char chain[256];
      strcpy(chain, chains[c]);
      for (char* part = strtok(chain, "/"); part && found; part = strtok(nullptr, "/"))
        found = candidate.enter(part, false);
      if (found) {
        copy_folder_path(out, &candidate);
        return true;
      }
    }
    if (!level.go_up()) return false;
  }
}

// "$FONTDATA" and "$ICONDATA": the sub-folder in the user's, the shared or the install data folder,
// else in "data" or "velk_libs/data" upward from the program's folder.
static bool resolve_library_folder(FOLDER* out, const char* sub_folder, bool create, bool fallback_only) {
  if (!fallback_only && system_folders_used()) {
    static const INT_S32 kinds[] = {SYSTEM_FOLDER_USER_DATA, SYSTEM_FOLDER_COMMON_DATA, SYSTEM_FOLDER_INSTALL_DATA};
    for (INT_S32 kind : kinds) {
      FOLDER candidate(*out);
      if (get_system_folder(&candidate, kind, application_sub_folder(), create ? 1 : 0) &&
          candidate.enter(sub_folder, false)) {
        copy_folder_path(out, &candidate);
        return true;
      }
    }
  }
  std::string first = std::string("data/") + sub_folder;
  std::string second = std::string("velk_libs/data/") + sub_folder;
  const char* chains[] = {first.c_str(), second.c_str()};
  return search_upward(out, chains, 2, fallback_only);
}

INT_S32 system_folder_kind_of(const char* name) {
  static const struct {
    const char* name;
    INT_S32 kind;
  } variables[] = {{"$SYSAPP", SYSTEM_FOLDER_PROGRAMS},
                   {"$INSTDATA", SYSTEM_FOLDER_INSTALL_DATA},
                   {"$APPDATA", SYSTEM_FOLDER_COMMON_DATA},
                   {"$USERDATA", SYSTEM_FOLDER_USER_DATA},
                   {"$USERPREFS", SYSTEM_FOLDER_USER_PREFS}};
  for (const auto& variable : variables)
    if (name && same_no_case(name, variable.name)) return variable.kind;
  return -1;
}

bool FOLDER::resolve_variable(const char* name, bool create, FOLDER* here, bool no_fallback, bool fallback_only) {
  if (!name) return false;
  auto fail = [&]() {
    resolve_variable("$APP", create, nullptr, false, fallback_only);
    return false;
  };
  if (NAMED_PATH* named = find_named_path(name, nullptr)) {
    copy_folder_path(this, &named->folder);
    return true;
  }
  if (same_no_case(name, "$APP") || same_no_case(name, "$BASE")) {
    if (base_set && base_path_folder) {
      copy_folder_path(this, base_path_folder);
      return true;
    }
    if (!get_system_folder(this, SYSTEM_FOLDER_PROGRAM, nullptr, 0)) fatal_exit("No application folder found!");
    return true;
  }
  INT_S32 kind = system_folder_kind_of(name);
  if (kind == SYSTEM_FOLDER_PROGRAMS) {
    if (!fallback_only && system_folders_used() &&
        get_system_folder(this, SYSTEM_FOLDER_PROGRAMS, application_sub_folder(), create ? 1 : 0))
      return true;
    if (no_fallback) return fail();
    resolve_variable("$APP", create, nullptr, false, fallback_only);
    return true;
  }
  if (kind >= 0) {
    if (!fallback_only && system_folders_used() &&
        get_system_folder(this, kind, application_sub_folder(), create ? 1 : 0))
      return true;
    if (no_fallback) return fail();
    const char* chains[] = {"data"};
    if (search_upward(this, chains, 1, fallback_only)) return true;
    return fail();
  }
  if (same_no_case(name, "$TEMP")) {
    // The run's one private folder, made on first use: below the system's temporary folder, or,
    // when that has none, below the program's folder.
    if (!fallback_only && system_folders_used() &&
        get_system_folder(this, SYSTEM_FOLDER_TEMP, application_sub_folder(), 1))
      return true;
    if (no_fallback) return fail();
    FOLDER program;
    program.resolve_variable("$APP", create, nullptr, false, fallback_only);
    if (get_private_temp_folder(this, &program)) return true;
    return fail();
  }
  if (is_root_variable(name)) {
    if (set_to_drive_root(root_variable_index(name))) return true;
    return fail();
  }
  if (same_no_case(name, "$FONTDATA")) {
    if (resolve_library_folder(this, "fonts", create, fallback_only)) return true;
    return fail();
  }
  if (same_no_case(name, "$ICONDATA")) {
    if (icon_set && icon_path_folder) {
      copy_folder_path(this, icon_path_folder);
      return true;
    }
    if (resolve_library_folder(this, "icons", create, fallback_only)) return true;
    return fail();
  }
  if (same_no_case(name, "$HERE")) {
    if (here) copy_folder_path(this, here);
    return true;
  }
  raise_error(0x0C, nullptr);
}

// ---------------------------------------------------------------------------------------------------
// Portable texts
// ---------------------------------------------------------------------------------------------------

void FOLDER::get_portable_text(char* out, FOLDER* here) {
  if (here)
    here->to_here_text(this, out);
  else
    to_variable_text(out);
}

const char* FOLDER::portable_text_of(FOLDER* folder, char* text) {
  text[0] = 0;
  if (folder) folder->get_portable_text(text, nullptr);
  return text;
}

// Up one level for describing a folder: through the host when the parent exists, else by the path
// text alone, so that a folder that does not exist (yet) is still described by its whole path rather
// than taken for a drive root. False at a root.
static bool go_up_for_text(FOLDER* folder) {
  if (folder->go_up()) return true;
  char* last = strrchr(folder->path, PATH_SEPARATOR);
  if (!last || !last[1]) return false;
  if (last == folder->path || (last == folder->path + 2 && folder->path[1] == ':'))
    last[1] = 0;  // the root keeps its separator
  else
    *last = 0;
  return true;
}

void FOLDER::to_variable_text(char* out) {
  static const char* const variables[] = {"$APP", "$SYSAPP", "$APPDATA", "$USERDATA", "$TEMP", "$FONTDATA", "$ICONDATA"};
  if (!out) return;
  // Going up from the folder, the first level that a variable names (or the drive root) is the start;
  // the components passed on the way follow it.
  std::vector<std::string> components;
  FOLDER level(*this);
  std::string start;
  for (;;) {
    for (const char* variable : variables) {
      FOLDER candidate;
      candidate.set(variable);
      if (candidate.equals(&level)) {
        start = variable;
        break;
      }
    }
    if (!start.empty()) break;
    std::string name = level.get_name();
    if (!go_up_for_text(&level)) {
      start = "$ROOT" + std::to_string(get_drive_index(this));
      break;
    }
    components.push_back(name);
  }
  std::string text = start;
  for (size_t i = components.size(); i-- > 0;) text += "/" + components[i];
  snprintf(out, FOLDER_PATH_SIZE, "%s", text.c_str());
}

void FOLDER::to_here_text(FOLDER* folder, char* out) {
  if (!folder || !out) return;
  if (get_drive_index(this) != get_drive_index(folder)) {
    folder->to_variable_text(out);
    return;
  }
  // The nearest folder that is both this one (or an ancestor) and the described one (or an ancestor).
  FOLDER candidate(*this);
  int ups = 0, downs = 0;
  for (;;) {
    FOLDER described(*folder);
    downs = 0;
    while (!described.equals(&candidate) && go_up_for_text(&described)) downs++;
    if (described.equals(&candidate)) break;
    if (!go_up_for_text(&candidate)) {
      folder->to_variable_text(out);  // no common folder can be found
      return;
    }
    ups++;
  }
  std::vector<std::string> components;
  FOLDER described(*folder);
  for (int i = 0; i < downs; i++) {
    components.push_back(described.get_name());
    go_up_for_text(&described);
  }
  std::string text = "$HERE";
  for (int i = 0; i < ups; i++) text += "/..";
  if (downs > 0) {
    text += "/";
    for (size_t i = components.size(); i-- > 0;) text += components[i] + "/";
  }
  snprintf(out, FOLDER_PATH_SIZE, "%s", text.c_str());
}

static bool is_separator(char c) { return c == '/' || c == '\\'; }

const char* expand_path_text(const char* text, const char* file) {
  static char result[FOLDER_PATH_SIZE];
  std::string path;
  {
    FOLDER app;
    const char* app_text = app.get_path_text(nullptr);
    path = app_text ? app_text : "";
  }
  FOLDER_TEXT read = read_folder_text(text);
  if (!read.variable.empty()) read.parts.insert(read.parts.begin(), read.variable);
  bool refused = false;
  for (const std::string& part : read.parts) {
    if (part == ".") continue;
    if (part.size() > 255) {
      refused = true;
      break;
    }
    if (part[0] == '$') {
      // A variable this program does not know names no path (setting a folder from it would end the
      // program).
      if (!is_known_path_text(part.c_str())) {
        refused = true;
        break;
      }
      // Nor does one whose folder cannot be had (a drive this computer does not have, a system folder
      // that does not exist): the folder set falls back to the program's, which the text never names.
      FOLDER variable;
      if (!variable.set(part.c_str())) {
        refused = true;
        break;
      }
      const char* variable_text = variable.get_path_text(nullptr);
      path = variable_text ? variable_text : "";
    } else if (part == "..") {
      // Both separators count; a root ("/" or "D:\") keeps its separator.
      size_t last = path.find_last_of("/\\");
      if (last == std::string::npos)
        path.clear();
      else if (last == 0 || (last == 2 && path[1] == ':'))
        path.resize(last + 1);
      else
        path.resize(last);
    } else {
      if (!path.empty() && !is_separator(path.back())) path += PATH_SEPARATOR;
      path += part;
    }
  }
  if (file) {
    if (!path.empty() && !is_separator(path.back())) path += PATH_SEPARATOR;
    path += file;
  }
  // A result that does not fit is refused: the empty text.
  if (refused || path.size() >= FOLDER_PATH_SIZE) path.clear();
  strcpy(result, path.c_str());
  return result;
}

FOLDER_TEXT_PLACE place_of_folder_text(const char* text, bool any_host) {
  FOLDER_TEXT_PLACE place;
  FOLDER_TEXT read = read_folder_text(text, any_host);
  if (!read.names_folder) return place;
  const char* name = read.variable.c_str();
  // A named path is resolved as its folder, whatever built-in name it has.
  bool named = read.variable.empty() ? false : find_named_path(name, nullptr) != nullptr;
  place.install_location = read.variable.empty() || (!named && (same_no_case(name, "$HERE") ||
                                                                 same_no_case(name, "$APP") || same_no_case(name, "$BASE")));
  for (char c : read.variable) place.variable += (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
  bool windows = backslash_separates(any_host);
  bool expanded = !place.install_location && (named || system_folder_kind_of(name) < 0);
  std::vector<std::string> kept;
  for (const std::string& part : read.parts) {
    bool dots_only = windows && part.find_first_not_of(". ") == std::string::npos;
    bool up = part == ".." || (dots_only && std::count(part.begin(), part.end(), '.') >= 2);
    if (part == "." || (dots_only && !up)) continue;
    if ((expanded && part[0] == '$') || (up && kept.empty())) {
      place.leads_out = true;
      return place;
    }
    if (up)
      kept.pop_back();
    else
      kept.push_back(part);
  }
  for (const std::string& part : kept) place.below += (place.below.empty() ? "" : "/") + part;
  return place;
}

std::string folder_text_origin(const FOLDER_TEXT_PLACE& place) {
  return place.install_location ? "the install location" : "the folder that " + place.variable + " names";
}

// ---------------------------------------------------------------------------------------------------
// Stored form
// ---------------------------------------------------------------------------------------------------

bool is_known_path_text(const char* text) {
  if (!text) return false;
  if (text[0] != '$') return true;
  char name[256];
  return take_variable_name(text, name) && is_known_variable(name);
}

bool is_named_path_text(const char* text) {
  if (!text || text[0] != '$') return false;
  char name[256];
  return take_variable_name(text, name) && find_named_path(name, nullptr);
}

bool is_builtin_path_text(const char* text) {
  if (!text) return false;
  if (text[0] != '$') return true;
  char name[256];
  return take_variable_name(text, name) && is_builtin_variable(name);
}

bool FOLDER::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  INT_U8 form;
  if (!device->read_u8(&form)) return false;
  char text[FOLDER_PATH_SIZE];
  if (device->read(text, FOLDER_PATH_SIZE) != FOLDER_PATH_SIZE) {
    device->failed = 1;
    return false;
  }
  text[FOLDER_PATH_SIZE - 1] = 0;
  if (form == FOLDER_FORM_PORTABLE) {
    // A stored text may come from a damaged or foreign file: a variable that is not known here would
    // be a fatal error, so such a text gives "$APP".
    if (is_known_path_text(text))
      set(text);
    else
      set("$APP");
  } else {
    memcpy(path, text, FOLDER_PATH_SIZE);
    if (form != FOLDER_FORM_RAW_PATH) set("$APP");
  }
  if (!is_folder(path)) set("$APP");
  return true;
}

bool FOLDER::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  char text[FOLDER_PATH_SIZE];
  memset(text, 0, sizeof text);  // the bytes after the text are zero, so equal folders store equally
  to_variable_text(text);
  if (!device->write_u8(FOLDER_FORM_PORTABLE)) return false;
  if (device->write(text, FOLDER_PATH_SIZE) != FOLDER_PATH_SIZE) {
    device->failed = 1;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Named paths, base and icon paths, the trace
// ---------------------------------------------------------------------------------------------------

void set_named_path(const char* name, FOLDER* folder) {
  if (!name || !folder) return;
  if (NAMED_PATH* existing = find_named_path(name, nullptr)) {
    copy_folder_path(&existing->folder, folder);
    return;
  }
  if (!named_paths) {
    named_paths = new (std::nothrow) PTRARRAY;
    if (!named_paths) return;
    named_paths->delete_callback = delete_named_path;
  }
  NAMED_PATH* entry = new (std::nothrow) NAMED_PATH;
  if (!entry) return;
  entry->name.assign(name);
  copy_folder_path(&entry->folder, folder);
  if (!named_paths->add(entry)) delete entry;
}

void remove_named_path(const char* name) {
  INT_S32 index;
  if (find_named_path(name, &index)) named_paths->remove_at_unordered(index);
}

void set_base_path(FOLDER* folder, const char* name) {
  if (!base_path_folder) base_path_folder = new FOLDER;
  if (folder) copy_folder_path(base_path_folder, folder);
  base_set = 1;
  snprintf(application_name, sizeof application_name, "%s", name ? name : "");
  trace_text("\nBase Path Changed:\n\n");
  trace_default_paths();
}

void reset_base_path() {
  base_set = 0;
  trace_text("\nBase Path Changed:\n\n");
  trace_default_paths();
}

void get_base_path(FOLDER* out, char* name, INT_U16 size) {
  if (out) {
    if (base_path_folder)
      copy_folder_path(out, base_path_folder);
    else
      get_system_folder(out, SYSTEM_FOLDER_PROGRAM, nullptr, 0);
  }
  if (name && size) snprintf(name, size, "%s", application_name);
}

void set_icon_path(FOLDER* folder) {
  if (!icon_path_folder) icon_path_folder = new FOLDER;
  if (folder) copy_folder_path(icon_path_folder, folder);
  icon_set = 1;
  trace_text("\nIcon Path Changed:\n\n");
  trace_default_paths();
}

void reset_icon_path() {
  icon_set = 0;
  trace_text("\nIcon Path Changed:\n\n");
  trace_default_paths();
}

void get_icon_path(FOLDER* out) {
  if (!out) return;
  if (icon_path_folder)
    copy_folder_path(out, icon_path_folder);
  else
    get_system_folder(out, SYSTEM_FOLDER_PROGRAM, nullptr, 0);
}

void set_library_started(bool on) { started = on; }
bool library_started() { return started; }

void trace_default_paths() {
  DEBUG_STREAM* stream = trace_stream();
  if (!stream || !stream->flags) return;
  // A trace written after the start stands for the one-time start trace, which would otherwise come
  // first from the folders resolved below and write every line twice.
  if (started) traced = 1;
  static const char* const variables[] = {"$APP",      "$SYSAPP", "$INSTDATA", "$APPDATA", "$USERDATA",
                                          "$USERPREFS", "$TEMP",  "$ROOT0",    "$FONTDATA", "$ICONDATA"};
  for (const char* variable : variables) {
    FOLDER resolved, fallback;
    resolved.resolve_variable(variable, false, nullptr, false, false);
    fallback.resolve_variable(variable, false, nullptr, false, true);
    std::string first = resolved.get_path_text(nullptr) ? resolved.get_path_text(nullptr) : "";
    std::string second = fallback.get_path_text(nullptr) ? fallback.get_path_text(nullptr) : "";
    debug_stream_printf(stream, "%s => %s (%s)\n", variable, first.c_str(), second.c_str());
  }
}
