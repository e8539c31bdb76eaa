// Numbered errors and warnings (two constant tables and the boxes that show them), the data layer's
// last error with its message texts, and the console and file debugging aids. Boxes, the console, the
// debug stream and the fatal end go through the reporting that the program installs.
#include "errors.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// clang-format off
const ERROR_TABLE_ROW error_table[] = {
    {0x0000, 0, "Main window pointer invalid", "Unable to create main window"},
    {0x0001, 0, "Unable to open screen mode", nullptr},
    {0x0002, 0, "OpenGraphics() not called", "A graphics routine was called before the graphics were opened"},
    {0x0003, 0, "COLOUR_INVISIBLE was passed as an invalid argument", "Transparent colour was used in an inavlid situation"},
    {0x0004, 0, "No MicroSoft mouse driver installed", "Check that your mouse is configured properly"},
    {0x0005, 0, "Two mouse handlers declared", "IBM PC's only support one mouse, but application has asked for two mouse handlers"},
    {0x0006, 0, "Three joystick handlers declared", "IBM PC's only support two joysticks, but application has asked for three joystick handlers"},
    {0x0007, 0, "Two keyboard handlers declared", "IBM PC only supports one keyboard, but application has asked for two keyboard handlers"},
    {0x0008, 0, "Unable to allocate keyboard buffer", nullptr},
    {0x0009, 1, "Unable to open keyboard configuration file", "Check that path and filename are correct"},
    {0x000A, 0, "Receive buffer ssize supplied to TCPIP::TCPIP() was invalid", nullptr},
    {0x000B, 0, "Unable to allocate dynamic memory for TCP/IP layer", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x000C, 0, "Path type constant passed to function FOLDER::set() was invalid", nullptr},
    {0x000D, 0, "Platform OS ID read from disk in function FOLDER::get_from_data_device() was invalid", nullptr},
    {0x000E, 0, "Attempted to read data from a file that was opened for writing", nullptr},
    {0x000F, 0, "Attempted to write to a file that was opened for reading", nullptr},
    {0x0010, 0, "Unable to create swap image", "XCreateImage() failed to allocate image for swap_screens() function"},
    {0x0011, 0, "Unable to allocate dynamic memory for colour mapping array", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x0012, 0, "The desktop colour depth is not supported", "The current destop or display is in an unsupported colour mode, change the number of colours and try again"},
    {0x0013, 1, "Unable to open the window", "Check that your graphics card supports the requested mode and if you have changed your disply setting return them back to defaults"},
    {0x0014, 0, "Two sound handlers declared", "There is only support for one sound device, but application has asked for two"},
    {0x0015, 0, "Unable to allocate dynamic memory for data file cache", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x0020, 0, "Unable to allocate dynamic memory for image", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x0021, 0, "Unable to startup the font system", nullptr},
    {0x0022, 0, "Unable to load font from disk", "The font file was either not found or was corrupt, check all required font files are present and that they contain valid information"},
    {0x0023, 0, "Unable to allocate dynamic memory for font", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x0024, 0, "Unable to set the font pixel size", nullptr},
    {0x0025, 0, "Unable to render font glyph", nullptr},
    {0x0026, 1, "Unable to open PCX image file", "Check that path and filename are correct"},
    {0x0027, 1, "Unable to read PCX header from file", "Check that file is a PCX file with 256 colour palette"},
    {0x0028, 0, "Invalid number of sprite images specified", nullptr},
    {0x0029, 0, "Unable to allocate memory for sprite image", nullptr},
    {0x002A, 1, "No PCX palatte found in file", nullptr},
    {0x0030, 0, "Invalid number of stars specified for starfeild", nullptr},
    {0x0031, 0, "Invalid starfield dimentions specifed", nullptr},
    {0x0032, 0, "Unable to allocate memory for starfield", nullptr},
    {0x0040, 1, "Invalid argument format for command line option:", "Check command line options specified"},
    {0x0041, 1, "No argument for command line option:", "Check command line options specified"},
    {0x0042, 1, "Unrecognised command line option:", "Check command line options specified"},
    {0x0050, 0, "Unable to allocate dynamic memory for http", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x0051, 0, "Unable to open sockets", "Unable to open the listen sockets to allow incoming TCP/IP connections"},
    {0x0060, 0, "Screen object has invalid size", "Either the width or height of this screen object was less than zero"},
    {0x0061, 0, "Unable to allocate memory for button title", nullptr},
    {0x0062, 0, "Invalid button size or title", nullptr},
    {0x0063, 0, "Unable to allocate memory for dialog title", nullptr},
    {0x0064, 0, "Invalid dialog size or title", nullptr},
    {0x0065, 0, "Unable to allocate memory for script title", nullptr},
    {0x0066, 0, "Unable to allocate memory for about box close button", nullptr},
    {0x0067, 0, "Unable to allocate memory for about box scripts", nullptr},
    {0x0068, 0, "Unable to allocate memory for keypad data members", nullptr},
    {0x0069, 0, "Invalid area count supplied to page manager", "There must be at least one area supplied to the page manager"},
    {0x006A, 0, "Two page managers declared", "Page manager is used to control the window manager system and there should be only one declared"},
    {0x006B, 0, "Unable to allocate memory for page manager areas", nullptr},
    {0x006C, 0, "Two page tool managers declared", "Page tool manager is used to control the window manager system and there should be only one declared"},
    {0x0070, 0, "Srollbar slew values are invalid", nullptr},
    {0x0071, 0, "Scrollbar is not on the drawable screen", nullptr},
    {0x0072, 0, "The scrollbar slew variable pointer is invalid", nullptr},
    {0x0073, 0, "Scrollbar slew variable is of the wrong type", "Scrollbar slew varible in not an integer based parameter, must be a INT_S8_TYPE, INT_TYPE, INT_S16_TYPE or INT_S32_TYPE"},
    {0x0074, 0, "Invalid scrollbar type", nullptr},
    {0x0080, 0, "Invalid dimensions passed to edit box constructor", nullptr},
    {0x0081, 0, "Unable to allocate memory for edit box buffer", nullptr},
    {0x0090, 0, "Unable to allocate memory for text window screen buffer", nullptr},
    {0x0091, 0, "Unable to allocate memory for text window data buffer", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x0100, 0, "Invalid number of rows passed to list box", nullptr},
    {0x0101, 0, "List box start selection not found in list", nullptr},
    {0x0110, 0, "Invalid dimensions passed to progress bar constructor", nullptr},
    {0x0111, 0, "Unable to allocate memory for progress bar title", nullptr},
    {0x1001, 0, "Invalid player attributes passed to constructor", "Invalid arguments passed to player constructor, check all arguments"},
    {0x1010, 0, "Unable to open dungeon amp config file", "Check filename and path are correct"},
    {0x1011, 0, "Unknown token read from dungeon map config file", nullptr},
    {0x1020, 1, "Unable to allocate dynamic memory for table ", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x1021, 0, "Unable to allocate dynamic memory for fixture", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x1022, 0, "Unable to allocate dynamic memory for competition", "Dynamic memory failed to allocate, this is normally due to a lack of free system memory"},
    {0x1023, 1, "Invalid race entry found in ", nullptr},
    {0x1024, 1, "Invalid injury area found in ", nullptr},
    {0x1025, 0, "Unable to open competition file", "Check that all the game data is present and in the correct place"},
    {ERROR_TABLE_END, 0, nullptr, nullptr}
};

const ERROR_TABLE_ROW warning_table[] = {
    {0x0000, 1, "DEBUG MESSAGE:", nullptr},
    {0x0001, 1, "Unable to create debug file", nullptr},
    {0x0002, 1, "Unable to open debug file", nullptr},
    {0x0003, 1, "Sound layer was unable to start", nullptr},
    {0x0010, 0, "Too many colour for a 256 Palette", "There were more that 256 colours when tring to save an image, all unsaved colours have been defaulted to palette entry 0"},
    {0x0020, 0, "Scrollbar dimentions are invalid", nullptr},
    {0x0021, 0, "Slider bar width is invalid", nullptr},
    {ERROR_TABLE_END, 0, nullptr, nullptr}
};
// clang-format on

DATA_ERROR data_error = {0, {0}};

namespace {

const ERROR_TABLE_ROW* find_row(const ERROR_TABLE_ROW* table, INT_U32 code) {
  for (const ERROR_TABLE_ROW* row = table; row->code != ERROR_TABLE_END; ++row)
    if (row->code == code) return row;
  return nullptr;
}

// "<prefix>: %04X:\n<message> " and, when the row asks for it, the argument; cut to the buffer.
void compose_report(char* text, size_t size, const char* prefix, const ERROR_TABLE_ROW* row,
                    const char* argument) {
  std::snprintf(text, size, "%s: %04X:\n%s ", prefix, static_cast<unsigned>(row->code), row->message);
  if (argument && row->append) {
    size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "%s", argument);
  }
}

struct DATA_ERROR_TEXT {
  INT_U16 code;
  const char* text;
};

const DATA_ERROR_TEXT data_error_texts[] = {
    {0x0000, "No Error"},
    {0x0100, "Warning: The requested entry was not found in the config file (%s)."},
    {0x0101, "Warning: Found end of config file before it was expected, this may indicate a corrupt file."},
    {0x1000, "Error: Colour darkening percentage was over 100% or less than -100% which makes no sense."},
    {0x1001, "Error: A blank or invalid ID arg was requested from the config file."},
    {0x1002, "Error: Error trying to open the config file %s."},
    {0x1003, "Error: Trying to read entire config file without supplying a callback function."},
    {0x1004, "Error: Unable to allocate dynamic memory for config file reader. Make sure that you have "
             "enough free memory by closing other running applications."},
    {0x1005, "Error: Unable to open the package file %s in append mode."},
    {0x1006, "Error: Unable to open the package file %s in write mode"},
    {0x1007, "Error: Unable to read from file %s."},
    {0x1008, "Error: Unable to write to file %s."},
    {0x1009, "Error: %s does not appear to be a package file."},
    {0x100A, "Error: %s has unsupported package version."},
    {0x100B, "Error: Unable to allocate dynamic memory for package system. Make sure that you have "
             "enough free memory by closing other running applications."},
    {0x100C, "Error: Can not open file %s as it was not found."},
    {0x100D, "Error: Package file did not open correctly."},
    {0x100E, "Error: Unable to open file %s for packing."},
    {0x100F, "Error: Unable to create file %s."},
    {0x1010, "Error: File %s not found in package."},
};

// Large enough for the longest text with a 1023-character argument.
char data_error_buffer[1400];

bool debug_file_created = false;

// The reporting until the program installs the host's: the standard streams, as the Linux host uses them.
void default_box(const char* caption, const char* text) {
  std::fflush(stdout);  // what was printed before comes before the message
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
}

void default_print(const char* text) { std::fputs(text, stdout); }

void default_log_data_error(const char*, INT_S32) {}

[[noreturn]] void default_end(const char* text, INT_S32 status) {
  std::fflush(nullptr);
  if (text && text[0]) default_box("Fatal error", text);
  std::_Exit(status);
}

ERROR_REPORTING reporting = {default_box, default_print, default_log_data_error, default_end};

}  // namespace

void set_error_reporting(const ERROR_REPORTING* given) {
  reporting.show_box = given && given->show_box ? given->show_box : default_box;
  reporting.print = given && given->print ? given->print : default_print;
  reporting.log_data_error = given && given->log_data_error ? given->log_data_error : default_log_data_error;
  reporting.end = given && given->end ? given->end : default_end;
}

// The boxes offer OK alone: the detail is said after the text rather than offered by a question that no
// answer of the box could take.
void show_message_with_detail(const char* caption, const char* text, const char* detail) {
  if (!text) text = "";
  if (!detail) {
    reporting.show_box(caption, text);
    return;
  }
  size_t length = std::strlen(text), detail_length = std::strlen(detail);
  char* with_detail = static_cast<char*>(std::malloc(length + 2 + detail_length + 1));
  if (!with_detail) {
    reporting.show_box(caption, text);
    return;
  }
  std::memcpy(with_detail, text, length);
  std::memcpy(with_detail + length, "\n\n", 2);
  std::memcpy(with_detail + length + 2, detail, detail_length + 1);
  reporting.show_box(caption, with_detail);
  std::free(with_detail);
}

// Shows the box of a table's row ("<prefix>: %04X:" ... with its detail), or the undefined box when the
// code has no row.
static void show_report(const ERROR_TABLE_ROW* table, INT_U32 code, const char* argument, const char* caption,
                        const char* prefix, const char* undefined) {
  const ERROR_TABLE_ROW* row = find_row(table, code);
  if (!row) {
    reporting.show_box(caption, undefined);
    return;
  }
  char text[1024];
  compose_report(text, sizeof text, prefix, row, argument);
  show_message_with_detail(caption, text, row->detail);
}

void raise_error(INT_U32 code, const char* argument) {
  show_report(error_table, code, argument, "Error", "ERROR", "ERROR: Undefined error encountered");
  // A wrong command line (0x40 to 0x42) is a start that could not begin, not a failure of the platform.
  INT_S32 status = code >= 0x40 && code <= 0x42 ? COMMAND_LINE_EXIT_STATUS : FATAL_EXIT_STATUS;
  reporting.end("Application was unable to continue", status);
  default_end("Application was unable to continue", status);
}

void raise_warning(INT_U32 code, const char* argument) {
  show_report(warning_table, code, argument, "Warning", "WARNING", "WARNING: Undefined warning encountered");
}

void set_error(INT_U16 code, const char* argument) {
  data_error.code = code;
  if (!argument) argument = "";
  size_t length = std::strlen(argument);
  if (length > sizeof data_error.argument - 1) length = sizeof data_error.argument - 1;
  std::memmove(data_error.argument, argument, length);
  data_error.argument[length] = 0;
}

const char* data_error_text(INT_U16 code, const char* argument) {
  if (!argument) argument = "";
  for (const DATA_ERROR_TEXT& entry : data_error_texts) {
    if (entry.code != code) continue;
    // Only "%s" is a placeholder; other '%' signs (0x1000) are plain text.
    const char* placeholder = std::strstr(entry.text, "%s");
    if (!placeholder) return entry.text;
    size_t prefix = static_cast<size_t>(placeholder - entry.text);
    size_t argument_length = std::strlen(argument);
    if (argument_length > 1023) argument_length = 1023;
    size_t suffix = std::strlen(placeholder + 2);
    std::memcpy(data_error_buffer, entry.text, prefix);
    std::memcpy(data_error_buffer + prefix, argument, argument_length);
    std::memcpy(data_error_buffer + prefix + argument_length, placeholder + 2, suffix + 1);
    return data_error_buffer;
  }
  return "Unknown Error Code";
}

const char* get_error_text() { return data_error_text(data_error.code, data_error.argument); }

INT_U16 get_error_code() { return data_error.code; }

void log_data_error(const void*, const char* source_file, INT_S32 line) {
  // Finding and writing the stream touches the disk: the system's cause of the failure (errno) stays
  // for the caller that reports it.
  int cause = errno;
  reporting.log_data_error(source_file, line);
  errno = cause;
}

void debug_console_print(const char* source_file, INT_S32 line, const char* text) {
  if (source_file) {
    char* location = static_cast<char*>(std::malloc(2098));
    if (location) {
      std::snprintf(location, 2098, "Debug - File: %s Line %d: = ", source_file, static_cast<int>(line));
      reporting.print(location);
      std::free(location);
    }
  }
  reporting.print(text ? text : "");
  reporting.print("\n");
}

void debug_log(const char* source_file, INT_S32 line, const char* text, const char* file_name) {
  FILE* file = nullptr;
  if (!file_name && !debug_file_created) {
    file = std::fopen("debug.txt", "w");
    if (!file) {
      raise_warning(0x0001, "debug.txt");
      return;
    }
    debug_file_created = true;
  } else {
    const char* name = file_name ? file_name : "debug.txt";
    file = std::fopen(name, "a");
    if (!file) {
      raise_warning(0x0002, name);
      return;
    }
  }
  if (!text) text = "";
  if (source_file)
    std::fprintf(file, "Debug - File: %s Line %d: = %s\n", source_file, static_cast<int>(line), text);
  else
    std::fprintf(file, "%s\n", text);
  std::fclose(file);
}
