// The installer's wizard: the page dialog built for each stage of DATABASE (wizard_page.cpp), the one
// event callback of its controls and message boxes with the page manager's callbacks and the background
// (wizard_events.cpp), and the question asked before the program ends (quit_question.cpp).
#pragma once
#include "types.h"
#include "database.h"
#include "dialog.h"
#include "engine.h"
#include "screen_object.h"

class IMAGE;
class IMAGE_SCROLLER;
class WM_BUTTON;
class WM_CONFIRM;
class WM_GRID;
class WM_PAGE_MANAGER;
class WM_PROGRESS_BAR;
class WM_SCRIPT;
class WM_TEXT_WIN;

// Event numbers carried in the user1 of the wizard's controls and message boxes.
enum : INT_U32 {
  WIZARD_EVENT_QUIT = 1,           // quit_button: the quit question
  WIZARD_EVENT_INSTALLATION = 2,   // an installation's check box (parameter: its index)
  WIZARD_EVENT_LANGUAGE = 3,       // a language button (its language index in click_user1)
  WIZARD_EVENT_SYSTEM_PATHS = 4,   // the use-system-paths check box
  WIZARD_EVENT_FOLDER = 5,         // the location and browse buttons, and the folder dialog
  WIZARD_EVENT_DESKTOP = 6,        // the desktop shortcut check box
  WIZARD_EVENT_MENU = 7,           // the menu shortcut check box
  WIZARD_EVENT_ABOUT = 8,          // quit_button relabelled About
  WIZARD_EVENT_DESKTOP_SIZE = 9,   // the desktop-size question (parameter: 1 Yes, 0 No)
  // previous_button, forward_button, the copy error box's No (parameter: stage)
  WIZARD_EVENT_STAGE = COPY_ERROR_NO_RESULT,
  WIZARD_EVENT_GO_ON = COPY_ERROR_YES_RESULT  // the copy error box's Yes, the refusal box's OK
};
// install_dialog_event takes no event above the last.
static_assert(WIZARD_EVENT_DESKTOP_SIZE < WIZARD_EVENT_STAGE && WIZARD_EVENT_STAGE < WIZARD_EVENT_GO_ON,
              "the copy error box's answers are the wizard's last events");

// The event mask of the navigation, location and browse buttons: press and release both call, and
// install_dialog_event acts on the release only.
const INT_U8 WIZARD_BUTTON_EVENTS = 3;

// The wizard's page: one dialog built from scratch for the current stage of DATABASE at (x, y), its
// controls children of its client. Every control reports to install_dialog_event.
class INSTALL_DIALOG : public WM_DIALOG {
public:
  WM_BUTTON* quit_button;          // bottom left; quit (event 1), or About (event 8) on the last pages
  WM_BUTTON* previous_button;      // left of forward_button
  WM_BUTTON* forward_button;       // bottom right
  WM_PROGRESS_BAR* progress_bar;   // stages 0 and 7 only, else null
  WM_SCRIPT* progress_text;        // the line above the bar; stages 0 and 7 only, else null
  WM_TEXT_WIN* failure_window = nullptr;  // in its place, what failed, on the page of an installation that
                                          // did not complete
  INT_U8 shows_failure = 0;        // the installation did not complete: the bar keeps the share installed
  INT_U8 progress_waiting = 0;     // the bar and its text hold a progress not yet drawn and presented

  INSTALL_DIALOG(INT_S16 x, INT_S16 y);
  ~INSTALL_DIALOG() override;

  // The install step's report of one file (a path beginning with '/') or of a language text, with a
  // value from 0 to 100: the bar and the text above it take it, and are drawn and presented (their
  // rectangle only) with one idle step of the frame loop. A file's report is shown so at most once per
  // refresh of the screen (PROGRESS_REFRESH_MS): one that comes sooner waits (progress_waiting) until
  // the next that is due, or until show_waiting_progress shows it. Nothing for a null page or a page
  // without a progress bar.
  static void show_progress(INSTALL_DIALOG* page, INT_S32 value, const char* text);
  // Shows the page's waiting progress: at once with now, else once a refresh of the screen has passed
  // since progress was last shown, asking the frame loop for a pass by then otherwise. True when nothing
  // waits any more.
  static bool show_waiting_progress(INSTALL_DIALOG* page, bool now);
  // The installation is done: the way forward opens (stages 0 and 7; nothing for a null page). One that
  // did not complete (wizard_installation_failed) offers Finish, which ends the program, and Back to the
  // options, but no Cancel; its title is the package's copy-error title, its bar the share of the files
  // installed, and the text of what failed that follows shows whole in place of its progress line.
  static void show_install_complete(INSTALL_DIALOG* page);

private:
  void build_progress(INT_S16 cw, INT_S16 top);
  void build_text_window(INT_S16 cw, INT_S16 top, INT_S16 capacity, const char* entry_format);
  void build_list(INT_S16 cw, INT_S16 top, bool languages);
  void build_options(INT_S16 cw, INT_S16 top);
  void check_desktop_size();
};

// How often the progress of files that come faster is shown: once per refresh of the screen, 60 times a
// second.
const INT_U32 PROGRESS_REFRESH_MS = 16;

// A page text of the current language ("" without languages), e.g. wizard_text(&LANGUAGE::FORWARD).
const char* wizard_text(DATABASE_TEXT LANGUAGE::*field);

// Rules of the page applied to its buttons: the disable and enable rules (a button that changes is
// redrawn when shown; disabling also lets go of a press that began on it), the icon rule (a skin icon
// with a width is copied into the button's icon) and the relabel rule (new label, width from the
// dialog's button style and the label, new hint, new icon).
void disable_button(WM_BUTTON* button);
void enable_button(WM_BUTTON* button);
void set_button_enabled(WM_BUTTON* button, bool enabled);
// The options page's Install of an update opens exactly when the earlier installation it updates is
// found (DATABASE::update_target_found), its hint saying why when it stays shut; an earlier log found
// that the update does not go over (another product's or installation's, another version, another
// choice of the system folders, damaged) is named after the package's message of the update, as
// automatic mode names it. A package that is no update names, after the question of the location,
// another product's or installation's log where its own log goes (DATABASE::earlier_log_of_another),
// which is kept.
void show_update_check(INSTALL_DIALOG* page);
void give_button_icon(WM_BUTTON* button, IMAGE* icon);
void relabel_button(INSTALL_DIALOG* page, WM_BUTTON* button, const char* text, const char* hint, IMAGE* icon);

// The effects every page is built with: none (no fade, no slide, dragged opaque).
extern WM_DIALOG_EFFECTS page_effects;

// Wizard state: the page on screen and where the next one is built (a dragged page keeps its place
// across stages), the drifting background and when it starts to move, and the controls of the current
// page that events reach (none of them owned here).
extern INSTALL_DIALOG* current_page;
extern INT_S16 page_position_x;
extern INT_S16 page_position_y;
extern IMAGE_SCROLLER* background_scroller;
extern INT_U32 scroller_start_time;
extern WM_GRID* page_grid;
extern WM_BUTTON* location_button;
extern WM_BUTTON* browse_button;
// The options page's row of an update's message (null on other pages and without a patch check), and
// its first row, the question of the location (null on other pages).
extern WM_SCRIPT* update_message;
extern WM_SCRIPT* location_question;

// The options page's location button shows the text: from byte path_start on a path (shortened in its
// middle when too long, the words before it whole), or no path for path_start -1; one too wide for its
// cell takes the empty column before it.
void show_location(const char* text, INT_S32 path_start);
// The options page's location button names the folder the files go to: the install location, or with
// the system folders chosen (system_paths) where they put the files: the install location still when
// no file has a destination of its own there, else the package's text for them followed by the folder
// that holds them all, when there is one below a drive root.
void show_destination(bool system_paths);
// The options page's rows: its grid divides its height into eight rows of row pixels; a spacer between
// two groups is a third of a row, and each row after a spacer that much taller.
INT_S32 option_spacer_height(INT_S32 row);
INT_S32 option_tall_height(INT_S32 row);
// The smallest gap between the options page's rows with which they all fit a grid of that height (nine
// rows with every choice, eleven with an update's message): the packer's gap where a description sets
// none.
INT_S16 option_row_gap(INT_S32 height, bool patch);

// The page on screen, null once it has been deleted (a rebuild or the end of the run).
INSTALL_DIALOG* live_page();

// The one event callback of the wizard's controls and message boxes: 7 rebuilds the page for the new
// stage, -1 ends the program, 2 closes the box that sent it (event 101), 0 otherwise.
WM_RESULT install_dialog_event(WM_SCREEN_OBJECT* object, INT_U32 event, INT_U32 parameter, int value);

// A question is shown that the installation waits for: the copy error question or the quit question
// (until it closes). wizard_frame then runs no install step, and the program rests between passes.
bool installation_waits();
// The last installation of this run did not complete cleanly: a file not installed, the destination
// not made, the log not written, or interrupted (one still running is not judged).
bool wizard_installation_failed();
// The wizard ends: an installation still running is interrupted (its log says so); the program's exit
// status, 1 when the last installation did not complete cleanly, else 0.
INT_S32 end_wizard();

// The page manager's callbacks of the wizard's page: build, close and the per-pass function (which
// drives the install step at stage 7 unless the installation waits, and the drifting background).
void create_wizard_page(WM_PAGE_MANAGER* manager);
void close_wizard(INT_U32* user_value);
WM_RESULT wizard_frame();
// Hands the wizard to the page manager: the page of the current stage with its callbacks, the still or
// drifting background, the first page's position; the install step reports to the pages from now on.
void start_wizard(WM_PAGE_MANAGER* manager);

// The about box of the current language at the ABOUT geometry, on the top-level list. from_wizard: the
// wizard's About button (title, OK label and icon always); else the pending request of the frame
// driver (title and label only when the language gives them).
void open_about_box(bool from_wizard);

// The quit question: the window's close callback and the quit button open it (a second request
// replaces the first, so one question stays); Yes ends the program, No closes it.
INT_U8 open_quit_dialog(INT_S16 screen);
WM_RESULT quit_dialog_event(WM_SCREEN_OBJECT* object, INT_U32 event, INT_U32 answer, int value);
// The open question, null when none (also once the page manager or its own close has deleted it).
WM_CONFIRM* quit_dialog();
// The wizard's Yes/No question at the EXIT geometry (the quit question and the desktop-size question):
// the title, the message in plain centred lines, the buttons labelled QUIT_YES and QUIT_NO with the
// yes and no icons, both calling callback with user1 event and user2 1 (Yes) or 0 (No); put on the
// top-level list of the current area's root.
WM_CONFIRM* open_wizard_question(const char* title, const char* message, WM_EVENT_CALLBACK callback, INT_U32 event);
