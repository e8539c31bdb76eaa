// The library's own "--velk" command-line options and the application's getopt-style option reader.
#include "options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "debug_stream.h"
#include "errors.h"
#include "host.h"

// ---------------------------------------------------------------------------------------------------
// "--velk" options
// ---------------------------------------------------------------------------------------------------

namespace {

char** filtered_arguments = nullptr;

// Exit statuses of the one-shot ends.
const INT_S32 exit_success = 0;
const INT_S32 exit_cannot_start = 2;

void print_usage(const char* program) {
  char line[2400];
  std::snprintf(line, sizeof line, "usage: %s [--velk | --velk-listdebug | --velk-showdebug=x]\n\n",
                program ? program : "");
  console_print(line);
  console_print("  --velk             - show usage and exit\n");
  console_print("  --velk-listdebug   - list debug channels\n");
  console_print("  --velk-showdebug=x - show debug channel x (where x is channel number or \"all\")\n\n");
}

void list_debug_streams() {
  console_print("ID   Name\n--------------------\n\n");
  INT_S16 count = debug_stream_count();
  for (INT_S16 i = 0; i < count; ++i) {
    DEBUG_STREAM* stream = debug_stream_at(i);
    char line[300];
    std::snprintf(line, sizeof line, "%2d   %s\n", static_cast<int>(i), stream ? stream->name : "");
    console_print(line);
  }
  console_print("\n");
}

void show_debug_streams(const char* which) {
  char line[100];
  INT_S16 count = debug_stream_count();
  if (std::strcmp(which, "all") == 0) {
    std::snprintf(line, sizeof line, "Enabling all %d debug channels\n", static_cast<int>(count));
    console_print(line);
    for (INT_S16 i = 0; i < count; ++i) {
      DEBUG_STREAM* stream = debug_stream_at(i);
      if (stream) stream->flags |= DEBUG_WRITE_TO_CONSOLE;
    }
    return;
  }
  // A number that does not parse names no stream.
  short number = -1;
  if (std::sscanf(which, "%hd", &number) != 1) number = -1;
  std::snprintf(line, sizeof line, "Enabling debug channel %d\n", static_cast<int>(number));
  console_print(line);
  DEBUG_STREAM* stream = number >= 0 && number < count ? debug_stream_at(number) : nullptr;
  if (!stream) {
    std::snprintf(line, sizeof line, "ERROR: Stream %d was not found\n\n", static_cast<int>(number));
    console_print(line);
    exit_process(exit_cannot_start);
  }
  stream->flags |= DEBUG_WRITE_TO_CONSOLE;
}

}  // namespace

void process_platform_options(INT_S32 argc, char** argv, INT_S32* out_argc, char*** out_argv) {
  std::free(filtered_arguments);
  filtered_arguments = nullptr;
  if (!argv) return;
  if (argc < 0) argc = 0;

  filtered_arguments = static_cast<char**>(std::malloc(sizeof(char*) * static_cast<size_t>(argc > 0 ? argc : 1)));
  if (!filtered_arguments) {
    if (out_argc) *out_argc = argc;
    if (out_argv) *out_argv = argv;
    return;
  }
  INT_S32 kept = 0;
  for (INT_S32 i = 0; i < argc; ++i) {
    char* argument = argv[i];
    if (!argument) continue;
    if (std::strncmp(argument, "--velk", 6) != 0) {
      filtered_arguments[kept++] = argument;
    } else if (std::strcmp(argument, "--velk") == 0) {
      print_usage(argv[0]);
      exit_process(exit_success);
    } else if (std::strcmp(argument, "--velk-listdebug") == 0) {
      list_debug_streams();
      exit_process(exit_success);
    } else if (std::strncmp(argument, "--velk-showdebug=", 17) == 0) {
      show_debug_streams(argument + 17);
    } else {
      char line[2400];
      std::snprintf(line, sizeof line, "ERROR: Command line option \"%s\" is not known\n\n", argument);
      console_print(line);
      print_usage(argv[0]);
      exit_process(exit_cannot_start);
    }
  }
  if (out_argc) *out_argc = kept;
  if (out_argv) *out_argv = filtered_arguments;
}

// ---------------------------------------------------------------------------------------------------
// Application options
// ---------------------------------------------------------------------------------------------------

INT_U16 option_index = 1;
char* option_argument = nullptr;

namespace {

INT_U8 option_advance = 0;  // the next call moves on to the following argument first
INT_U8 option_report = 1;   // malformed and unknown options are fatal errors

}  // namespace

INT_S32 get_option(INT_S16 argc, char** argv, const char* option_letters) {
  if (!argv || !option_letters) return '?';
  if (option_advance) {
    option_index += 1;
    option_advance = 0;
  }
  while (option_index < argc && (!argv[option_index] || argv[option_index][0] != '-')) option_index += 1;
  if (option_index >= argc) return -1;

  char* argument = argv[option_index];
  option_argument = argument;
  if (argument[1] == '-') return -1;  // "--" ends the options

  INT_S32 result = '?';
  if (std::strlen(argument) != 2) {
    if (option_report) raise_error(0x40, argument);
  } else {
    const char* letter = option_letters;
    while (*letter && (*letter == ':' || *letter != argument[1])) ++letter;
    if (!*letter) {
      if (option_report) raise_error(0x42, argument);
    } else if (letter[1] != ':') {
      result = *letter;
    } else {
      option_index += 1;
      if (option_index < argc && argv[option_index] && argv[option_index][0] != '-') {
        option_argument = argv[option_index];
        result = *letter;
      } else if (option_report) {
        raise_error(0x41, argument);
      }
    }
  }
  option_advance = 1;
  return result;
}
