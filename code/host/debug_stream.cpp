// Debug streams: the registry in order of construction, the built-in streams built together in one
// fixed order, and the writing of one line to the console, a message box and the rolling file.
#include "debug_stream.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "config_file.h"
#include "errors.h"
#include "files.h"
#include "folder.h"
#include "host.h"
#include "random.h"
#include "text_file.h"

// ---------------------------------------------------------------------------------------------------
// Registry
// ---------------------------------------------------------------------------------------------------

namespace {

DEBUG_STREAM** registry = nullptr;
INT_S16 registry_count = 0;

// The built-in streams, in their order of construction.
const char* const built_in_names[] = {"VELK Platform", "VELK Modules", "Default Path Trace",
                                      "WAV file loading debug"};
const int built_in_count = 4;
DEBUG_STREAM* built_in[built_in_count] = {nullptr, nullptr, nullptr, nullptr};
bool built_ins_started = false;
bool built_ins_starting = false;
bool built_ins_stopped = false;  // after the stop (at the end of the run) they are not built again
bool stop_registered = false;

// The settings folder as one lookup found it: while the built-in streams start, one after the other,
// the folder is looked up for the first and taken as it is by the others.
struct SETTINGS_FOLDER {
  bool known = false, found = false;
  FOLDER folder;
};
SETTINGS_FOLDER* shared_settings_folder = nullptr;

bool register_stream(DEBUG_STREAM* stream) {
  if (registry_count == 0x7FFF) return false;
  DEBUG_STREAM** grown = static_cast<DEBUG_STREAM**>(
      std::realloc(registry, sizeof(DEBUG_STREAM*) * static_cast<size_t>(registry_count + 1)));
  if (!grown) return false;
  registry = grown;
  registry[registry_count++] = stream;
  return true;
}

void unregister_stream(DEBUG_STREAM* stream) {
  for (INT_S16 i = 0; i < registry_count; ++i) {
    if (registry[i] != stream) continue;
    std::memmove(registry + i, registry + i + 1, sizeof(DEBUG_STREAM*) * static_cast<size_t>(registry_count - i - 1));
    registry_count -= 1;
    break;
  }
  if (registry_count == 0) {
    std::free(registry);
    registry = nullptr;
  }
}

void stop_at_exit() { stop_debug_streams(); }

const char debug_folder_text[] = "$USERPREFS/debug";

// Settings reads and file writes are quiet: they leave the data layer's last error as it was, so that
// a stream reporting a data error never replaces it with one of its own.
struct KEEP_DATA_ERROR {
  DATA_ERROR saved;
  KEEP_DATA_ERROR() : saved(data_error) {}
  ~KEEP_DATA_ERROR() { data_error = saved; }
};

// "<name>.txt", short enough that the backup name "<name>.txt.bak" fits the file-name field too.
void set_default_file_name(char* out, const char* name) { std::snprintf(out, 256, "%.247s.txt", name); }

// "<name>_release.cfg"; false when it does not fit 256 bytes (such a stream has no settings).
bool settings_file_name(char* out, const char* name) {
  return std::snprintf(out, 256, "%s_release.cfg", name) < 256;
}

struct FLAG_KEY {
  const char* key;
  INT_U16 bit;
};

// The flag keys read from the settings, in the order they are looked at.
const FLAG_KEY flag_keys[] = {
    {"write_to_console", DEBUG_WRITE_TO_CONSOLE},
    {"write_to_popup_dialog", DEBUG_WRITE_TO_POPUP_DIALOG},
    {"write_to_file", DEBUG_WRITE_TO_FILE},
    {"truncate_file_on_first_write", DEBUG_TRUNCATE_FILE_ON_FIRST_WRITE},
    {"keep_file_open", DEBUG_KEEP_FILE_OPEN},
    {"write_file_header", DEBUG_WRITE_FILE_HEADER},
    {"write_stream_name", DEBUG_WRITE_STREAM_NAME},
    {"write_code_location", DEBUG_WRITE_CODE_LOCATION},
    {"file_rolling_backup", DEBUG_FILE_ROLLING_BACKUP},
};
const int flag_key_count = sizeof flag_keys / sizeof flag_keys[0];

// The flag keys written, in file order (trigger_breakpoint is written but never read back).
const FLAG_KEY written_flag_keys[] = {
    {"write_to_console", DEBUG_WRITE_TO_CONSOLE},
    {"write_to_popup_dialog", DEBUG_WRITE_TO_POPUP_DIALOG},
    {"write_to_file", DEBUG_WRITE_TO_FILE},
    {"truncate_file_on_first_write", DEBUG_TRUNCATE_FILE_ON_FIRST_WRITE},
    {"keep_file_open", DEBUG_KEEP_FILE_OPEN},
    {"write_file_header", DEBUG_WRITE_FILE_HEADER},
    {"write_stream_name", DEBUG_WRITE_STREAM_NAME},
    {"write_code_location", DEBUG_WRITE_CODE_LOCATION},
    {"trigger_breakpoint", DEBUG_TRIGGER_BREAKPOINT},
    {"file_rolling_backup", DEBUG_FILE_ROLLING_BACKUP},
};

// What one pass over a settings file found: slot 0 "disabled", 1 to 9 the flag keys, 10 the limit.
const int rolling_key = flag_key_count + 1;
struct SETTINGS_READ {
  char file_name[256] = {0};
  bool present[flag_key_count + 2] = {false};
  INT_S32 numbers[flag_key_count + 2] = {0};
};

void take_number(SETTINGS_READ* found, int slot, const char* value) {
  if (found->present[slot]) return;  // the first entry of an identifier counts
  found->present[slot] = true;
  int number = 0;
  if (std::sscanf(value, "%d", &number) == 1) found->numbers[slot] = number;
}

// Read in one pass, so that keys a file leaves out are not reported as missing entries.
INT_S32 collect_setting(const char* id, const char* value, void* user) {
  SETTINGS_READ* found = static_cast<SETTINGS_READ*>(user);
  if (std::strcmp(id, "filename") == 0) {
    // A name too long for its ".bak" backup name keeps the default.
    if (!found->file_name[0] && value[0] && std::strlen(value) + 4 < sizeof found->file_name)
      std::snprintf(found->file_name, sizeof found->file_name, "%s", value);
  } else if (std::strcmp(id, "disabled") == 0) {
    take_number(found, 0, value);
  } else if (std::strcmp(id, "file_rolling_limit") == 0) {
    take_number(found, rolling_key, value);
  } else {
    for (int key = 0; key < flag_key_count; ++key)
      if (std::strcmp(id, flag_keys[key].key) == 0) take_number(found, key + 1, value);
  }
  return 0;
}

// Appends formatted text to a line of size bytes, cut so that the line keeps its terminator.
void append_text(char* line, size_t size, size_t* used, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;
void append_text(char* line, size_t size, size_t* used, const char* format, ...) {
  if (*used >= size - 1) return;
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(line + *used, size - *used, format, arguments);
  va_end(arguments);
  if (written > 0) *used += static_cast<size_t>(written);
  if (*used > size - 1) *used = size - 1;
}

}  // namespace

void start_debug_streams() {
  if (built_ins_started || built_ins_starting || built_ins_stopped) return;
  built_ins_starting = true;
  SETTINGS_FOLDER settings_folder;
  shared_settings_folder = &settings_folder;
  for (int i = 0; i < built_in_count; ++i) built_in[i] = new DEBUG_STREAM(built_in_names[i], 0, true);
  shared_settings_folder = nullptr;
  built_ins_starting = false;
  built_ins_started = true;
  if (!stop_registered) {
    stop_registered = true;
    std::atexit(stop_at_exit);
  }
}

void stop_debug_streams() {
  for (int i = built_in_count - 1; i >= 0; --i) {
    delete built_in[i];
    built_in[i] = nullptr;
  }
  built_ins_started = false;
  built_ins_stopped = true;
}

DEBUG_STREAM* platform_debug_stream() {
  start_debug_streams();
  return built_in[0];
}

DEBUG_STREAM* modules_debug_stream() {
  start_debug_streams();
  return built_in[1];
}

DEBUG_STREAM* path_trace_debug_stream() {
  start_debug_streams();
  return built_in[2];
}

DEBUG_STREAM* wav_debug_stream() {
  start_debug_streams();
  return built_in[3];
}

INT_S16 debug_stream_count() {
  start_debug_streams();
  return registry_count;
}

DEBUG_STREAM* debug_stream_at(INT_S16 index) {
  start_debug_streams();
  if (index < 0 || index >= registry_count) return nullptr;
  return registry[index];
}

DEBUG_STREAM* find_debug_stream(const char* name) {
  if (!name) return nullptr;
  start_debug_streams();
  for (INT_S16 i = 0; i < registry_count; ++i)
    if (std::strcmp(registry[i]->name, name) == 0) return registry[i];
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Streams
// ---------------------------------------------------------------------------------------------------

DEBUG_STREAM::DEBUG_STREAM(const char* stream_name, INT_U16 stream_flags, bool read_settings_now) {
  // The built-in streams always come first in the registry, whatever is constructed first.
  start_debug_streams();
  register_stream(this);
  if (!stream_name || !stream_name[0])
    std::snprintf(name, sizeof name, "Debug Stream %p", static_cast<void*>(this));
  else
    std::snprintf(name, sizeof name, "%s", stream_name);
  flags = stream_flags;
  set_default_file_name(file_name, name);
  rolling_limit = 100;
  lines = 0;
  file = nullptr;
  if (read_settings_now) read_settings();
  first_write = 1;
}

DEBUG_STREAM::~DEBUG_STREAM() {
  if (flags & DEBUG_WRITE_SETTINGS_ON_EXIT) write_settings();
  unregister_stream(this);
  if (file) close_text_file(&file);
}

void DEBUG_STREAM::read_settings() {
  flags = 0;
  set_default_file_name(file_name, name);
  KEEP_DATA_ERROR kept;
  char settings_name[256];
  if (!settings_file_name(settings_name, name)) return;
  FOLDER folder;
  if (SETTINGS_FOLDER* shared = shared_settings_folder) {
    if (!shared->known) shared->found = shared->folder.set(debug_folder_text, false);
    shared->known = true;
    if (!shared->found) return;
    folder = shared->folder;
  } else if (!folder.set(debug_folder_text, false)) {
    return;
  }
  CONFIG_FILE settings;
  settings.init(settings_name, true);
  if (!settings.can_open(&folder)) return;

  SETTINGS_READ found;
  settings.read_all(&folder, collect_setting, &found);
  if (found.file_name[0]) std::snprintf(file_name, sizeof file_name, "%s", found.file_name);
  if (found.present[0] && found.numbers[0] != 0) return;  // "disabled"
  for (int key = 0; key < flag_key_count; ++key)
    if (found.present[key + 1] && found.numbers[key + 1] != 0) flags |= flag_keys[key].bit;
  rolling_limit = found.present[rolling_key] ? static_cast<INT_U16>(found.numbers[rolling_key]) : 100;
}

void DEBUG_STREAM::write_settings() {
  KEEP_DATA_ERROR kept;
  char settings_name[256];
  if (!settings_file_name(settings_name, name)) return;
  FOLDER folder;
  if (!folder.set(debug_folder_text, true, nullptr, true)) return;
  CONFIG_FILE settings;
  settings.init(settings_name, true);
  settings.set_string(&folder, "filename", file_name);
  settings.set_int(&folder, "disabled", flags == 0 ? 1 : 0, false);
  for (const FLAG_KEY& key : written_flag_keys)
    settings.set_int(&folder, key.key, (flags & key.bit) ? 1 : 0, false);
  settings.set_int(&folder, "file_rolling_limit", rolling_limit, false);
}

namespace {

// The file output of one line (the stream has DEBUG_WRITE_TO_FILE).
void write_to_file(DEBUG_STREAM* stream, const char* line, bool add_newline) {
  FOLDER folder;
  if (!folder.set(debug_folder_text, true, nullptr, true)) return;
  if ((stream->flags & DEBUG_FILE_ROLLING_BACKUP) &&
      static_cast<INT_S16>(stream->lines) >= static_cast<INT_S16>(stream->rolling_limit)) {
    if (stream->file) close_text_file(&stream->file);
    char backup[sizeof stream->file_name + 4];
    std::snprintf(backup, sizeof backup, "%s.bak", stream->file_name);
    delete_file(&folder, backup);
    rename_file(&folder, stream->file_name, &folder, backup);
    stream->lines = 0;
  }
  if (!stream->file) {
    bool truncate = stream->first_write && (stream->flags & DEBUG_TRUNCATE_FILE_ON_FIRST_WRITE);
    stream->file = open_text_file(&folder, stream->file_name, truncate ? TEXT_FILE_WRITE : TEXT_FILE_APPEND, false);
    if (!stream->file) return;
  }
  if (stream->first_write && (stream->flags & DEBUG_WRITE_FILE_HEADER)) {
    stream->file->write_text("======================================\n> Debug stream: ");
    stream->file->write_text(stream->name);
    stream->file->write_text("\n> Written: ");
    stream->file->write_text(format_gmt_date(static_cast<INT_U32>(std::time(nullptr))));
    stream->file->write_text("\n\n");
  }
  stream->file->write_text(line);
  if (add_newline) stream->file->write_text("\n");
  stream->lines += 1;
  if (!(stream->flags & DEBUG_KEEP_FILE_OPEN)) close_text_file(&stream->file);
  stream->first_write = 0;
}

}  // namespace

void debug_stream_write(DEBUG_STREAM* stream, const char* source_file, INT_S32 source_line, const char* text,
                        bool add_newline) {
  if (!stream) return;
  if (!text) text = "";
  char line[2048];
  size_t used = 0;
  line[0] = 0;
  if (stream->flags & DEBUG_WRITE_STREAM_NAME) append_text(line, sizeof line, &used, "<%s>: ", stream->name);
  size_t after_name = used;
  if (stream->flags & DEBUG_WRITE_TIME_STAMP)
    append_text(line, sizeof line, &used, "%s ", format_gmt_date(static_cast<INT_U32>(std::time(nullptr))));
  if ((stream->flags & DEBUG_WRITE_CODE_LOCATION) && source_file)
    append_text(line, sizeof line, &used, "(%s,%d) ", source_file, static_cast<int>(source_line));
  append_text(line, sizeof line, &used, "%s", text);

  if (stream->flags & DEBUG_WRITE_TO_CONSOLE) {
    console_print(line);
    if (add_newline) console_print("\n");
  }
  if (stream->flags & DEBUG_WRITE_TO_FILE) {
    KEEP_DATA_ERROR kept;
    write_to_file(stream, line, add_newline);
  }
  if (stream->flags & DEBUG_WRITE_TO_POPUP_DIALOG) show_message_box(stream->name, line + after_name);
}

void debug_stream_printf(DEBUG_STREAM* stream, const char* format, ...) {
  if (!format) return;
  char text[2048];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  debug_stream_write(stream, nullptr, 0, text, false);
}
