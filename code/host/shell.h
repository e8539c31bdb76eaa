// Operating-system services of the host layer: replacing the running program, opening documents and
// web addresses through the system shell, the program's own location, the text clipboard (and random
// strings that may go there), and desktop and start-menu shortcuts.
#pragma once
#include <string>

#include "types.h"

class FOLDER;
class VELK_STRING;

// Process and shell.
// Replaces the running program by folder/name (the program gets its path as its only argument);
// returns -1 when it cannot be started (on success it does not return).
INT_S32 exec_program(FOLDER* folder, const char* name);
// Asks the system shell to open a path or web address; does nothing while no main window is open.
void shell_open(const char* text);
// Opens folder (with name inside it when given) or name alone through the shell, as shell_open.
void shell_open_file(FOLDER* folder, const char* name);
// The running program's folder and file name (name needs 2048 bytes).
void get_program_location(FOLDER* folder, char* name);

// Text clipboard (8-bit text ending in NUL).
bool clipboard_has_text();
// Copies at most size - 1 characters and a NUL into buffer; 1 when text was copied, else 0 (the
// buffer is then untouched).
INT_U32 get_clipboard_text(char* buffer, INT_U32 size);
// Puts a copy of text on the clipboard; null does nothing.
void set_clipboard_text(const char* text);
// Puts a copy of the text on the clipboard, as set_clipboard_text does.
void copy_to_clipboard(const VELK_STRING& text);
// Replaces *text with the clipboard's text (at most 1023 characters) when there is some.
void paste_from_clipboard(VELK_STRING* text);

// Flags of make_random_string.
#define RANDOM_STRING_UPPER 1
#define RANDOM_STRING_NEED_UPPER 2
#define RANDOM_STRING_DIGITS 4
#define RANDOM_STRING_NEED_DIGIT 8
#define RANDOM_STRING_CLIPBOARD 16  // the string is also put on the clipboard

// A random string of letters and digits of minimum_length to maximum_length (at most 256) characters
// into out (a static buffer when null); null when the arguments make no sense.
char* make_random_string(INT_S16 minimum_length, INT_S32 maximum_length, INT_U8 flags, char* out);

// Shortcuts. type is the item kind: 1 application, 2 web link, 3 text file, 0 none of these; it picks
// the shortcut's icon. The target is program_folder/program_name (or program_name alone when the
// folder is null); arguments may be null. second_folder and text are carried for the caller's log
// and not used. True when the link was made; otherwise false, and failure (when given) says why, in
// words for the person installing: what could not be made, its path, and the system's cause.
bool create_desktop_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, FOLDER* second_folder, const char* text,
                             FOLDER* program_folder, std::string* failure = nullptr);
// The same in the group menu_folder of the start menu's program folder (created when missing).
bool create_os_menu_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, const char* menu_folder, FOLDER* second_folder,
                             const char* text, FOLDER* program_folder, std::string* failure = nullptr);
// Whether a shortcut's program is an address, which opens in the browser rather than as a file: a
// scheme (a letter, then letters, digits, '+', '-' or '.') and "://".
bool shortcut_is_address(const std::string& target);
// Deletes the desktop shortcut named link_name; 0 when it was deleted.
INT_S32 remove_desktop_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                                const char* link_name, FOLDER* second_folder, const char* text,
                                FOLDER* program_folder);
// Deletes the menu shortcut, then every group folder that this left empty, upward to (never
// including) the start menu's program folder.
void remove_os_menu_shortcut(INT_U8 type, const char* program_name, const char* arguments,
                             const char* link_name, const char* menu_folder, FOLDER* second_folder,
                             const char* text, FOLDER* program_folder);
