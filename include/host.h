// The host interface: everything the library and the application ask of the operating system's side —
// program entry and frame loop, clock and sleeping, console and message boxes, the main window and its
// presentation, keyboard and mouse input, and the platform event queue. One header for both host layers.
#pragma once
#include "types.h"

// ---------------------------------------------------------------------------------------------------
// Unattended runs, console and message boxes
// ---------------------------------------------------------------------------------------------------

// Name of the environment variable that marks an unattended run (tests, CI): when it is set to anything
// but "" or "0", message boxes and the fatal-exit box write their text to standard error and never wait.
#define UNATTENDED_VARIABLE "VELK_UNATTENDED"

// True when the process runs unattended (read once from the environment).
bool running_unattended();

// Writes the text to the standard output the process inherited; a Windows program without one opens a
// console on first use (freed again at shut-down).
void console_print(const char* text);

// Shows a message box with an OK button and waits for it to be closed; unattended (and always on Linux)
// the caption and text go to standard error instead ("caption: text") and nothing waits.
void show_message_box(const char* caption, const char* text);

// Optional observer of every message box (tests read the texts); null = none.
typedef void (*MESSAGE_BOX_HOOK)(const char* caption, const char* text);
void set_message_box_hook(MESSAGE_BOX_HOOK hook);

// ---------------------------------------------------------------------------------------------------
// Clock, sleeping and ending the process
// ---------------------------------------------------------------------------------------------------

// The library's millisecond clock: milliseconds since the system started; wraps after 49.7 days.
INT_U32 get_tick_count();

void sleep_milliseconds(INT_U32 ms);
void sleep_seconds(INT_U32 s);

// Exit status of a process ended by fatal_exit.
#define FATAL_EXIT_STATUS 3

// Closes the main window and ends the process with the text shown in the fatal-exit box (standard error
// when unattended); status FATAL_EXIT_STATUS. Does not return. A null or empty text shows no box.
[[noreturn]] void fatal_exit(const char* text);

// A normal end of the process from anywhere (the one-shot command-line ends): closes the main window,
// gives back the console and ends the process with the status (0 success, 1 the job failed, 2 it could
// not start). Does not return.
[[noreturn]] void exit_process(INT_S32 status);

// ---------------------------------------------------------------------------------------------------
// Main window
// ---------------------------------------------------------------------------------------------------

// Closes the main window for screen 0 or -1 (all screens): leaves full screen, destroys the window and
// empties the screen image. Other screen numbers and "no window" do nothing.
void close_main_window(INT_S16 screen);
