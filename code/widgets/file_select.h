// File selector: the dialog that lets the user pick an existing file, a new or existing file name, or an
// existing folder. It browses the folders of the machine from a start folder (a location menu of the
// current folder and its parents, a list of folders and files, a pseudo-folder of drives), can create a
// new folder, and reports OK or Cancel to its owner, which then reads the choice with get_selection.
// Also the thirteen icons that every file selector shares (ten drive icons by disk kind, the parent
// folder, a file and a folder), which the installer fills from the skin.
#pragma once
#include "types.h"
#include "dialog.h"
#include "folder.h"
#include "style_set.h"
#include "velk_string.h"

class IMAGE;
class WM_BUTTON;
class WM_GRID;
class WM_MENU;
class WM_SCRIPT;
class WM_TEXT_EDIT;
struct SCAN_ENTRY;

const int FILE_SELECT_DRIVE_ICON_COUNT = 10;

// Image names of the drive icons by disk kind: "disk", "disk-cdrom", "disk-floppy", "disk-network",
// "disk-linux", "disk-unix", "disk-mac", "disk-os2", "disk-dos", "disk-windows"; null out of range.
const char* file_select_drive_icon_name(int kind);

// The shared icons, built empty on first use. A kind out of range gives icon 0.
IMAGE* file_select_drive_icon(int kind);
IMAGE* file_select_parent_icon();
IMAGE* file_select_file_icon();
IMAGE* file_select_folder_icon();
// Frees the icons (at exit); a later use builds them again, empty.
void stop_file_select_icons();

// Modes of WM_FILE_SELECT::set_mode.
enum : INT_U8 {
  FILE_SELECT_NONE = 0,
  FILE_SELECT_FILE = 1,        // an existing file
  FILE_SELECT_NEW_FILE = 2,    // a new or existing file name
  FILE_SELECT_FOLDER = 3       // an existing folder
};

// Events of the selector's buttons, rows and location entries (their first user value; the second is
// the selector's handle) and of the new-folder dialog (its first user value).
enum : INT_U32 {
  FILE_SELECT_OK = 1,
  FILE_SELECT_CANCEL = 2,
  FILE_SELECT_NEW_FOLDER = 3,
  FILE_SELECT_LOCATION = 4,  // a location entry or the parent row: value levels up, -1 the drives
  FILE_SELECT_DRIVE = 5,
  FILE_SELECT_FOLDER_ROW = 6,
  FILE_SELECT_FILE_ROW = 7,
  FILE_SELECT_NAME_ENTER = 8
};

// Width and height that 65535 (-1) stands for, and the size of the short form.
const INT_S16 FILE_SELECT_WIDTH = 500;
const INT_S16 FILE_SELECT_HEIGHT = 350;
// Most rows the list holds (grid rows are numbered in 16 bits).
const INT_S32 FILE_SELECT_MAX_ROWS = 32767;
// Size of the message box that says why a new folder could not be made.
const INT_S16 NEW_FOLDER_MESSAGE_WIDTH = 420;
const INT_S16 NEW_FOLDER_MESSAGE_HEIGHT = 180;
// Most characters of a typed file or folder name.
const INT_S16 FILE_SELECT_NAME_LENGTH = 256;

class WM_FILE_SELECT : public WM_DIALOG {
public:
  INT_U8 mode;                  // FILE_SELECT_ mode; 0 after construction
  FOLDER folder;                // the folder shown ("$APP" at first)
  VELK_STRING default_extension;  // appended in mode 2 and filtering files; empty = none
  INT_U8 show_hidden;           // the scans include hidden and system entries; 0
  INT_U8 at_my_computer;        // the list shows the drives instead of a folder
  VELK_STRING my_computer_text;   // "My Computer"
  VELK_STRING new_folder_title;   // "New Folder"
  VELK_STRING new_folder_prompt;  // "Enter new folder name"
  INT_U8 refresh;               // the list is rebuilt at the next pass
  INT_S32 highlighted_row;      // -1 none
  INT_S32 row_count;            // rows in the list
  INT_S32 list_stop = 0;        // the row whose name is the list's one stop of Tab
  INT_U8 new_folder_at_own_position;  // the new-folder dialog opens over the selector instead of centred
  WM_BUTTON* ok_button;
  WM_BUTTON* cancel_button;
  WM_BUTTON* new_folder_button;
  WM_SCRIPT* message;           // the mode's message
  WM_SCRIPT* location_label;    // "Location:"
  WM_MENU* location_menu;       // the current folder and its parents
  WM_TEXT_EDIT* name_field;     // the chosen or typed name
  WM_GRID* location_row;        // the message on a row of its own, then the label and the location menu
  WM_GRID* list;                // the rows: icon, name, size, date
  WM_STYLE_SET name_style;      // own copy of the name field's style (the new-folder dialog's edit box)
  // The person chose the folder shown: opened a row, a drive or a location entry, or made a new folder,
  // since set_mode (see chose_folder).
  INT_U8 folder_chosen = 0;
  FOLDER start_folder;          // the folder shown at set_mode
  // The last click on a list row that opened a folder or a drive: its pass time and the pointer.
  INT_U8 row_opened = 0;
  INT_U32 row_opened_time = 0;
  INT_S16 row_opened_x = 0, row_opened_y = 0;

  // width and height -1 are 500 and 350; null texts are "OK", "Cancel" and "New Folder".
  WM_FILE_SELECT(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, WM_STYLE_SET* location_button_style,
                 WM_STYLE_SET* location_list_style, WM_STYLE_SET* name_style, WM_STYLE_SET* list_style,
                 WM_STYLE_SET* list_scrollbar_style, bool visible, WM_EVENT_CALLBACK callback, INT_U32 user1,
                 const char* ok_text, const char* cancel_text, const char* new_folder_text,
                 WM_STYLE_SET* menu_item_style, WM_STYLE_SET* menu_alt_item_style);
  // 500 by 350, every style derived from the dialog's own button style.
  WM_FILE_SELECT(INT_S16 x, INT_S16 y, bool visible, WM_EVENT_CALLBACK callback, INT_U32 user1, const char* ok_text,
                 const char* cancel_text, const char* new_folder_text);
  ~WM_FILE_SELECT() override;

  // Rebuilds the list when asked, then the dialog's input.
  WM_RESULT process() override;

  // Mode, start folder (null keeps the current one), default name and extension (null = none). A mode
  // of 0 or above 3 only asks for a rebuild.
  void set_mode(INT_U8 new_mode, FOLDER* start, const char* file_name, const char* extension);
  // Whether the folder shown is one the person chose: one moved to or made, or the start folder opened
  // again. An OK before any of that chooses nothing: the start folder may be only the deepest existing
  // one of the folder that the owner asked for.
  bool chose_folder() const { return folder_chosen || !folder.equals(&start_folder); }
  // The choice: the folder, and the name into out_name (name_size bytes, the terminator included) when
  // given. Mode 2 appends the default extension. False, with "" written when there is room, when the
  // name does not fit or the mode is none; nothing is ever written past name_size.
  bool get_selection(FOLDER* out_folder, char* out_name, INT_S32 name_size);

  // The constructors' common body (file_select.cpp).
  void build(WM_EVENT_CALLBACK callback, INT_U32 user1, WM_STYLE_SET* location_button_style,
             WM_STYLE_SET* location_list_style, WM_STYLE_SET* new_name_style, WM_STYLE_SET* list_style,
             WM_STYLE_SET* list_scrollbar_style, const char* ok_text, const char* cancel_text,
             const char* new_folder_text, WM_STYLE_SET* menu_item_style, WM_STYLE_SET* menu_alt_item_style);
  // The list and the location menu for the folder or the drives (file_select_list.cpp).
  void rebuild();
  // The location rows' columns for their texts: the message alone on the first, then the label whole
  // and the menu the rest; a text that still does not fit is shown shortened.
  void lay_out_location_row();
  // One row of a folder scan: folders always, files matching the default extension.
  void add_entry_row(const SCAN_ENTRY* entry);
  // The list is one stop of Tab, held by the name of one row: the row moves to the one given (a row
  // out of range is the first), the old row's name stops taking the focus and the new one's starts.
  void move_list_stop(INT_S32 row);
  // The list's keys while a row has the focus: the arrows up and down move the focus to the row above or
  // below, scrolled into view; true when a key was taken.
  bool list_keys();
  // A button enabled or not (redrawn when it changes); a disabled one also loses its pressed state.
  static void enable_button(WM_BUTTON* button, bool on);
  // OK is enabled in a folder, in modes 1 and 2 only with a name.
  void update_ok_button();
  // A click on a list row that would open a folder or a drive: false for the second click of a double
  // click whose first opened the row the pointer is now on (within the double-click time, the pointer
  // where it was), which does nothing more; else true, and the click is kept as the opening one.
  bool take_opening_click(WM_SCREEN_OBJECT* object);
  // Opens the dialog that asks for a new folder's name.
  void open_new_folder_dialog();
  // Makes the new folder the dialog was given and enters it; when it cannot be made, a message box over
  // the selector says why.
  void make_new_folder(const char* name);
  // Event callback of every button, row object, location entry and of the new-folder dialog.
  static WM_RESULT list_event(WM_SCREEN_OBJECT* object, INT_U32 event, INT_U32 user2, int value);
};

// A name that a new folder may take: a single name (is_single_name: not empty, not "." or "..", no
// separator, a host form) without ':'.
bool is_new_folder_name(const char* name);
