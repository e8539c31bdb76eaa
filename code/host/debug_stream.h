// Debug streams: named diagnostic channels, each writing its lines to the console, a message box and a
// rolling text file as its settings file "<name>_release.cfg" in "$USERPREFS/debug" says, all kept in
// one registry in order of construction.
#pragma once
#include "types.h"

class TEXT_FILE;

// Output flags of a stream.
#define DEBUG_WRITE_TO_CONSOLE 0x001
#define DEBUG_WRITE_TO_POPUP_DIALOG 0x002
#define DEBUG_WRITE_TO_FILE 0x004
#define DEBUG_TRUNCATE_FILE_ON_FIRST_WRITE 0x008
#define DEBUG_KEEP_FILE_OPEN 0x010
#define DEBUG_WRITE_FILE_HEADER 0x020
#define DEBUG_WRITE_STREAM_NAME 0x040
#define DEBUG_WRITE_CODE_LOCATION 0x080
#define DEBUG_TRIGGER_BREAKPOINT 0x100
#define DEBUG_FILE_ROLLING_BACKUP 0x200
#define DEBUG_WRITE_SETTINGS_ON_EXIT 0x400
#define DEBUG_WRITE_TIME_STAMP 0x800

class DEBUG_STREAM {
public:
  char name[256];
  char file_name[256];   // output file in "$USERPREFS/debug"; "<name>.txt" unless the settings say
  INT_U16 flags;
  INT_U8 first_write;    // 1 until the first line has reached the file
  TEXT_FILE* file;       // open output file, or null
  INT_U16 lines;         // lines written since the file was last rolled
  INT_U16 rolling_limit; // lines after which the file is rolled (100 by default)

  // Registers the stream; a null or empty name gives "Debug Stream <address>". With read_settings the
  // settings file replaces the flags given here.
  DEBUG_STREAM(const char* name, INT_U16 flags, bool read_settings);
  ~DEBUG_STREAM();
  DEBUG_STREAM(const DEBUG_STREAM&) = delete;
  DEBUG_STREAM& operator=(const DEBUG_STREAM&) = delete;

  void read_settings();
  void write_settings();
};

// The first registered stream with exactly this name, or null.
DEBUG_STREAM* find_debug_stream(const char* name);
// Writes one line to the stream's outputs; source_file null = no code location.
void debug_stream_write(DEBUG_STREAM* stream, const char* source_file, INT_S32 line, const char* text,
                        bool add_newline);
// Formats at most 2047 characters and writes them without a line end; a null format writes nothing.
void debug_stream_printf(DEBUG_STREAM* stream, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The registry, in order of construction.
INT_S16 debug_stream_count();
DEBUG_STREAM* debug_stream_at(INT_S16 index);

// The library's built-in streams, constructed together in this fixed order by start_debug_streams
// (called at the program entry, and by any of the functions here on first use), each with flags 0 and
// its settings read: "VELK Platform", "VELK Modules", "Default Path Trace", "WAV file loading debug".
void start_debug_streams();
// Destroys the built-in streams in reverse order (also run at process exit); they are not built again
// in this run, and their accessors then give null.
void stop_debug_streams();
DEBUG_STREAM* platform_debug_stream();     // "VELK Platform": the data layer's error reports
DEBUG_STREAM* modules_debug_stream();      // "VELK Modules"
DEBUG_STREAM* path_trace_debug_stream();   // "Default Path Trace": path variables ("-v")
DEBUG_STREAM* wav_debug_stream();          // "WAV file loading debug": the sound layer
