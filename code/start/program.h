// The program's run from its entry to its end, written once above every subsystem: the statics built
// and the subsystems started in one fixed order, the library's options taken out, the application's
// main, the frame loop, and the shut-down in the reverse order.
#pragma once
#include "host.h"

// Builds (start true) or destroys (start false) the application's statics: the installer's database
// and its page manager.
typedef void (*APPLICATION_STATICS)(bool start);

// What the program's entry (main) hands to run_program; any entry may be null.
struct APPLICATION_ENTRIES {
  APPLICATION_MAIN main;
  APPLICATION_UPDATE update;
  APPLICATION_EXIT exit;
  APPLICATION_STATICS statics;
};

// The application defines these; only the program's entry (main) names them.
void application_main(INT_S16 argc, char** argv);
INT_U8 application_update();
void application_exit();
void application_statics(bool start);

// The start-up, in this order:
//  0. the numbered errors and the debugging aids report through the host (report_errors_through_host);
//  1. the debug streams (the registry and the built-in streams in their fixed order, which is what
//     "--velk-showdebug=N" counts; each reads its settings file) and the global random generator;
//  2. the window manager's statics (image cache, module colours, top-level list, click sound);
//  3. the application's statics (the installer's database, then its page manager, whose constructor
//     installs the exit hook);
//  4. the host, then the font system, after which the library counts as started: the first
//     FOLDER::set from then on (the application's) writes the one-time default-path trace.
// What only some runs need starts with its first use instead: the window class with the first window,
// the sound device with the first sound, each built-in font with its first use (font.h).
void start_program(const APPLICATION_ENTRIES* application);

// The shut-down, in this order: the exit hook, the application's exit entry when with_exit is set,
// the main window, the console, the font system (the library stops), the pointer, the banner, the
// shared file buffers, the library's option state, the temporary folder; then the application's
// statics, the widgets' shared pictures and the window manager's statics. The debug streams stay to
// the process's end, so that nothing written on the way out is lost.
void shut_down_program(bool with_exit);

// The whole run: requests of the system to end the program watched (watch_end_requests), start_program,
// the library's "--velk" options taken out of argv, the application's main, argv freed (a malloc block,
// e.g. from split_command_line: the application keeps copies of what it needs), the pointer set to the
// arrow, the frame loop (which such a request ends), and shut_down_program with the exit entry. Returns
// the status the application set (set_program_status, 0 unless it did), or 1 when the run ended on such
// a request.
INT_S32 run_program(INT_S32 argc, char** argv, const APPLICATION_ENTRIES* application);
// The status that run_program returns (0 done, 1 the job failed), set by the application, e.g. from its
// exit entry.
void set_program_status(INT_S32 status);

// A one-shot job's end from anywhere after the start-up: shut_down_program without the application's
// exit entry, then the process ends with the status (0 done, 1 the job failed, 2 it could not start).
[[noreturn]] void end_program(INT_S32 status);
