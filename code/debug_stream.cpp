// Debug streams: the registry in order of construction, the built-in streams built together in one
// fixed order, and the writing of one line to the console, a message box and the rolling file.
#include "debug_stream.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host.h"
#include "random.h"

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
bool stop_registered = false;

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
  if (built_ins_started || built_ins_starting) return;
  built_ins_starting = true;
  for (int i = 0; i < built_in_count; ++i) built_in[i] = new DEBUG_STREAM(built_in_names[i], 0, true);
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
  std::snprintf(file_name, sizeof file_name, "%.251s.txt", name);
  rolling_limit = 100;
  lines = 0;
  file = nullptr;
  if (read_settings_now) read_settings();
  first_write = 1;
  file = nullptr;
}

DEBUG_STREAM::~DEBUG_STREAM() {
  if (flags & DEBUG_WRITE_SETTINGS_ON_EXIT) write_settings();
  unregister_stream(this);
}

void DEBUG_STREAM::read_settings() {
  flags = 0;
  std::snprintf(file_name, sizeof file_name, "%.251s.txt", name);
}

void DEBUG_STREAM::write_settings() {}

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
