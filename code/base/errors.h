// Numbered errors and warnings of the platform (fatal errors end the program), the data layer's last
// error (a code and a text argument that callers turn into a message), and two small debugging aids.
#pragma once
#include "types.h"

// One row of the error or warning table.
struct ERROR_TABLE_ROW {
  INT_U32 code;         // the number callers raise; ERROR_TABLE_END ends a table
  INT_U32 append;       // non-zero: the caller's argument is appended to the message
  const char* message;  // one-line message
  const char* detail;   // longer explanation, or null
};

#define ERROR_TABLE_END 0xFFFFFFFFu

extern const ERROR_TABLE_ROW error_table[];
extern const ERROR_TABLE_ROW warning_table[];

// Exit status of a process ended by a fatal error, and by a fatal error of its command line (errors 0x40
// to 0x42: an option that is malformed, lacks its argument or is unknown), a start that could not begin.
#define FATAL_EXIT_STATUS 3
#define COMMAND_LINE_EXIT_STATUS 2

// How the numbered errors and the debugging aids below reach the user: a box, the console, the
// "VELK Platform" debug stream and the end of the process after a fatal error. The program installs
// the host's at its start (report_errors_through_host, host.h). Until then, and for an entry left
// null, a box is "caption: text" and a line end on standard error, the console is standard output, the
// debug stream gets nothing, and the end writes what every stream holds, shows the text in a box
// captioned "Fatal error" (none for a null or empty text) and ends the process with the status given.
struct ERROR_REPORTING {
  void (*show_box)(const char* caption, const char* text);
  void (*print)(const char* text);
  // Writes the stored data error (get_error_text) with its code location.
  void (*log_data_error)(const char* source_file, INT_S32 line);
  // Ends the process with the status; should it return, the default end follows.
  void (*end)(const char* text, INT_S32 status);
};
// Installs reporting (a copy is kept); null puts back the defaults.
void set_error_reporting(const ERROR_REPORTING* reporting);

// Shows the error's row in a box captioned "Error" and ends the program through the reporting's end
// with "Application was unable to continue", with COMMAND_LINE_EXIT_STATUS for errors 0x40 to 0x42 and
// FATAL_EXIT_STATUS for any other. An unknown code shows "ERROR: Undefined error encountered".
[[noreturn]] void raise_error(INT_U32 code, const char* argument = nullptr);

// Shows the warning's row in a box captioned "Warning"; the program goes on.
void raise_warning(INT_U32 code, const char* argument = nullptr);

// Shows text under caption; when detail is given it follows the text after an empty line. (The boxes
// offer OK alone, so they ask no question.)
void show_message_with_detail(const char* caption, const char* text, const char* detail);

// The data layer's last error: a 16-bit code and a text argument of at most 1023 characters.
struct DATA_ERROR {
  INT_U16 code;
  char argument[1024];
};
extern DATA_ERROR data_error;

// Data error codes. 0x0100 and 0x0101 are warnings, the rest errors.
enum DATA_ERROR_CODE : INT_U16 {
  DATA_ERROR_NONE = 0x0000,
  DATA_ERROR_CONFIG_ENTRY_NOT_FOUND = 0x0100,
  DATA_ERROR_CONFIG_EARLY_END = 0x0101,
  DATA_ERROR_DARKEN_PERCENTAGE = 0x1000,
  DATA_ERROR_CONFIG_BAD_ID = 0x1001,
  DATA_ERROR_CONFIG_OPEN = 0x1002,
  DATA_ERROR_CONFIG_NO_CALLBACK = 0x1003,
  DATA_ERROR_CONFIG_MEMORY = 0x1004,
  DATA_ERROR_PACKAGE_APPEND_OPEN = 0x1005,
  DATA_ERROR_PACKAGE_WRITE_OPEN = 0x1006,
  DATA_ERROR_READ = 0x1007,
  DATA_ERROR_WRITE = 0x1008,
  DATA_ERROR_NOT_PACKAGE = 0x1009,
  DATA_ERROR_PACKAGE_VERSION = 0x100A,
  DATA_ERROR_PACKAGE_MEMORY = 0x100B,
  DATA_ERROR_FILE_NOT_FOUND = 0x100C,
  DATA_ERROR_PACKAGE_NOT_OPEN = 0x100D,
  DATA_ERROR_PACK_OPEN = 0x100E,
  DATA_ERROR_CREATE = 0x100F,
  DATA_ERROR_ENTRY_NOT_FOUND = 0x1010
};

// Stores code and at most 1023 characters of argument (an empty text when null).
void set_error(INT_U16 code, const char* argument);
// The message of a code with argument in place of its "%s"; a static buffer that the next call
// overwrites (or a constant text). Unknown codes give "Unknown Error Code".
const char* data_error_text(INT_U16 code, const char* argument);
// The message of the stored error.
const char* get_error_text();
// The stored error's code.
INT_U16 get_error_code();

// Writes the stored error's message to the "VELK Platform" debug stream (when any of its outputs is
// on) with source_file and line as its code location. The first parameter is not used.
void log_data_error(const void* unused, const char* source_file, INT_S32 line);

// Writes "Debug - File: %s Line %d: = " (when source_file is given), text and a line end to the console.
void debug_console_print(const char* source_file, INT_S32 line, const char* text);

// Appends one line to file_name, or to "debug.txt" in the current folder (created afresh on the
// first call of the run); failures raise warnings 0x0001 and 0x0002.
void debug_log(const char* source_file, INT_S32 line, const char* text, const char* file_name);
