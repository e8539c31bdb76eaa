// Windows host layer: console output, message boxes, the millisecond clock,
// sleeping and the two ways of ending the process.
#include "win32_host.h"
#include "host_private.h"
#include "files.h"
#include "velk_string.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

static MESSAGE_BOX_HOOK message_box_hook = nullptr;
static HANDLE console_output = nullptr;
INT_U8 console_allocated = 0;  // a console was opened by console_print

// Set once a write has failed: the pipe's reader or the console went away, and nothing more is written.
static bool console_gone = false;

// Writes all bytes to a handle; WriteFile works for consoles, pipes and redirected files alike.
static void write_handle(HANDLE handle, const char* text, DWORD length) {
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, text, length, &written, nullptr) || written == 0) {
      console_gone = true;
      return;
    }
    text += written;
    length -= written;
  }
}

bool wide_text(const char* text, std::vector<WCHAR>* wide) {
  wide->resize(std::strlen(text) + 1);
  return text_to_utf16(text, reinterpret_cast<INT_U16*>(wide->data()), wide->size());
}

static bool is_ascii(const char* text) {
  while (*text > 0x01) text++;  // a byte from 0x80 on is negative
  return !*text;
}

// A console shows the characters themselves; bytes go to it as they are only when they are ASCII.
static void write_console(const char* text, DWORD length) {
  std::vector<WCHAR> wide;
  DWORD written = 0;
  if (!is_ascii(text) && wide_text(text, &wide))
    WriteConsoleW(console_output, wide.data(), (DWORD)(wide.size() ? std::wcslen(wide.data()) : 0), &written, nullptr);
  else
    write_handle(console_output, text, length);
}

// What a file or a pipe takes: the ANSI code page's bytes, as a Windows program's output is read, and
// '?' for what the code page lacks. False for ASCII, and for a text without a UTF-16 form (it goes as
// it is).
static bool ansi_text(const char* text, std::string* out) {
  std::vector<WCHAR> wide;
  if (is_ascii(text) || !wide_text(text, &wide)) return false;
  int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  out->resize((size_t)size);
  if (WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, &(*out)[0], size, nullptr, nullptr) != size) return false;
  out->resize((size_t)size - 1);
  return true;
}

// A console shows each text at once; a file or a pipe takes the texts gathered in writes of up to the
// size of this buffer (each WriteFile a call into the system, under Wine a round trip to its server).
static char held[8192];
static DWORD held_length = 0;
static bool output_is_console = false;

void console_flush() {
  if (held_length == 0) return;
  DWORD length = held_length;
  held_length = 0;
  if (console_output) write_handle(console_output, held, length);
}

void console_print(const char* text) {
  if (!text || console_gone) return;
  if (!console_output) {
    // Use the standard output the process inherited; open a console only when there is none.
    HANDLE inherited = GetStdHandle(STD_OUTPUT_HANDLE);
    if (inherited && inherited != INVALID_HANDLE_VALUE) {
      console_output = inherited;
    } else if (AllocConsole()) {
      console_allocated = 1;
      console_output = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    if (console_output == INVALID_HANDLE_VALUE) console_output = nullptr;
    if (!console_output) return;
    DWORD console_mode = 0;
    output_is_console = GetConsoleMode(console_output, &console_mode) != 0;
  }
  std::fflush(stdout);
  DWORD length = (DWORD)std::strlen(text);
  if (output_is_console) {
    console_flush();
    write_console(text, length);
    return;
  }
  std::string converted;
  if (ansi_text(text, &converted)) {
    text = converted.c_str();
    length = (DWORD)converted.size();
  }
  if (length >= sizeof held) {
    console_flush();
    write_handle(console_output, text, length);
    return;
  }
  if (held_length + length > sizeof held) console_flush();
  std::memcpy(held + held_length, text, length);
  held_length += length;
}

// Gives back a console that console_print opened (at shut-down), after what it holds.
void release_console() {
  console_flush();
  if (console_allocated) {
    FreeConsole();
    console_allocated = 0;
    console_output = nullptr;
  }
}

void set_message_box_hook(MESSAGE_BOX_HOOK hook) { message_box_hook = hook; }

// The system's boxes stay: a Windows program's automatic run says its errors as the system shows them.
void keep_boxes_off_display() {}

static void write_to_stderr(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

void show_message_box(const char* caption, const char* text) {
  if (!caption) caption = "";
  if (!text) text = "";
  if (message_box_hook) message_box_hook(caption, text);
  console_flush();  // what was printed before comes before the message
  if (running_unattended()) {
    write_to_stderr(caption, text);
    return;
  }
  std::vector<WCHAR> wide_caption, wide_message;
  int answer = wide_text(caption, &wide_caption) && wide_text(text, &wide_message)
                   ? MessageBoxW(nullptr, wide_message.data(), wide_caption.data(), MB_OK | MB_ICONEXCLAMATION)
                   : MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
  host_input_taken();  // the box's own loop took messages
  // A box that cannot be shown (no display; Wine then answers -1 rather than 0) still says what it had
  // to say.
  if (answer <= 0) write_to_stderr(caption, text);
}

INT_U32 host_tick_count() { return GetTickCount(); }

void sleep_milliseconds(INT_U32 ms) { Sleep(ms); }

void sleep_seconds(INT_U32 s) { Sleep(s > 0xFFFFFFFFu / 1000u ? 0xFFFFFFFFu : s * 1000u); }

// Both ways out write what every stream holds first: the console's lines, a log still open. A fatal
// end shows its text in a box of its own, captioned as on Linux, and ends with the status given (the
// system's fatal-exit box would end the process with a status of its own).
void fatal_exit(const char* text, INT_S32 status) {
  close_window(-1);
  console_flush();
  std::fflush(nullptr);
  remove_temporary_folder();
  if (text && text[0]) {
    if (message_box_hook) message_box_hook("Fatal error", text);
    std::vector<WCHAR> wide;
    int answer = 0;
    if (!running_unattended())
      answer = wide_text(text, &wide) ? MessageBoxW(nullptr, wide.data(), L"Fatal error", MB_OK | MB_ICONERROR)
                                      : MessageBoxA(nullptr, text, "Fatal error", MB_OK | MB_ICONERROR);
    if (answer <= 0) write_to_stderr("Fatal error", text);
  }
  ExitProcess((UINT)status);
}

void exit_process(INT_S32 status) {
  close_window(-1);
  std::fflush(nullptr);
  release_console();
  remove_temporary_folder();
  ExitProcess((UINT)status);
}
