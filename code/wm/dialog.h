// Dialogs of the window manager: WM_DIALOG (a screen object on the top-level list with a frame or a
// painted background and border, an optional title, a client container, dragging, and fades and slides),
// the effects block that every dialog copies with its stored form, the library's default effects, and
// the three default dialog style sets with their one-time adjustment.
#pragma once
#include "types.h"
#include "data_device.h"
#include "frame.h"
#include "image.h"
#include "screen_object.h"
#include "style_set.h"

class FOLDER;
class WM_SCRIPT;

// Effect bits of WM_DIALOG_EFFECTS::flags (the low 16 bits are used).
enum : INT_U32 {
  DIALOG_FADE_IN = 0x1,
  DIALOG_FADE_OUT = 0x2,
  DIALOG_FADE_DOWN = 0x4,
  DIALOG_FADE_UP = 0x8,
  DIALOG_SLIDE_IN = 0x10,
  DIALOG_SLIDE_OUT = 0x20,
  DIALOG_EDGE_TOP = 0x40,
  DIALOG_EDGE_LEFT = 0x80,
  DIALOG_EDGE_BOTTOM = 0x100,
  DIALOG_EDGE_RIGHT = 0x200,
  DIALOG_EDGES_OF_DISPLAY = 0x400,
  DIALOG_EDGES_OF_AREA = 0x800
};

struct WM_DIALOG_EFFECTS {
  INT_U32 flags;
  INT_U32 open_delay;      // ms of fades from or to alpha 0 and of every slide
  INT_U32 display_delay;   // ms of fades between two non-zero alphas
  INT_U32 dragging_alpha;  // alpha while dragged (low byte)

  // Stored form (the installation database's dialog-effects block): flags as u16, the two delays as
  // u32, dragging_alpha as u8; 11 bytes. False when the device failed; reading changes nothing then.
  bool get_from_data_device(DATA_DEVICE* device);
  bool put_to_data_device(DATA_DEVICE* device) const;
};

// Values of the default block at start.
const INT_U32 DEFAULT_DIALOG_EFFECT_FLAGS = 0x47C;
const INT_U32 DEFAULT_DIALOG_OPEN_DELAY = 300;
const INT_U32 DEFAULT_DIALOG_DISPLAY_DELAY = 1000;
const INT_U32 DEFAULT_DIALOG_DRAGGING_ALPHA = 192;

// The block a dialog built without one copies.
extern WM_DIALOG_EFFECTS default_dialog_effects;

// "Flags: 0x%04X, Open Delay: %d, Displaying Delay %d, Alpha 0x%02X" in a static buffer that the next
// call overwrites.
const char* format_dialog_effects(const WM_DIALOG_EFFECTS* effects);

// The styles a dialog built without window, title or button style copies.
extern const WM_STYLE_SET_INSTANCE default_dialog_window_style;
extern const WM_STYLE_SET_INSTANCE default_dialog_title_style;
extern const WM_STYLE_SET_INSTANCE default_dialog_button_style;

// Set once adjust_default_styles has run.
extern INT_U8 default_styles_adjusted;
// On its first call of the run: shading type 4 and the dialog colours for the three default styles,
// square corners for the window, rounded corners, wider border gaps and only a plain border for the
// buttons. Later calls do nothing. Code that replaces a default style calls it first, so that the
// adjustment cannot later overwrite the copy.
void adjust_default_styles();

class WM_DIALOG : public WM_SCREEN_OBJECT {
public:
  INT_U8 dragging;             // 1 while the dialog is dragged
  WM_STYLE_SET window_style;   // own copies of the three styles
  WM_STYLE_SET title_style;
  WM_STYLE_SET button_style;
  WM_SCRIPT* title;            // title object (a child), null when built without a title
  INT_S16 drag_offset_x;       // dialog position minus pointer position when the drag began
  INT_S16 drag_offset_y;
  WM_MANAGER* client;          // container of the dialog's widgets (a child)
  INT_U8 draggable;            // a fresh press on the title or on free surface starts a drag; the drag keeps
                               // the title bar (a dialog without one: all of it) inside the main window
  INT_U8 button_was_down;      // left button seen at the previous input pass
  INT_U8 step_effects;         // the next update may advance the effects
  WM_FRAME background;         // when loaded it replaces the painted background and border
  WM_DIALOG_EFFECTS effects;   // own copy of the effects block
  // Fade and slide state.
  INT_U32 duration;            // ms of the running fade or slide (the last one started sets it)
  INT_U32 start_time;          // pass time at which it began; 0 = not yet begun
  INT_U8 closing;              // when the effects end the update answers 4 (remove and delete)
  INT_U8 instant;              // while set, alpha changes and slides happen at once
  INT_U8 alpha;                // 0 invisible to 255 opaque
  INT_U8 fade_start_alpha;
  INT_U8 target_alpha;
  IMAGE composite;             // scratch image of the dialog's size for rendering with alpha
  INT_S16 slide_start_x;
  INT_S16 slide_start_y;
  INT_S16 slide_end_x;         // equal to the position when no slide runs
  INT_S16 slide_end_y;
  INT_U8 appearing;            // the slide runs toward the resting position
  // A dialog that the top-level list owns and that a child's callback hid: it closes, but hidden it has
  // no closing effects to show, so its next update ends the close (4: removed and deleted).
  INT_U8 closing_hidden;

  // x or y -1 centres the dialog on the display; a null title builds no title object ("" builds one);
  // null styles take the default dialog styles and null effects the default block.
  WM_DIALOG(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* title, WM_STYLE_SET* window_style,
            WM_STYLE_SET* title_style, WM_STYLE_SET* button_style, WM_DIALOG_EFFECTS* effects);
  // The colour form: the default styles with c1..c8 written over them where their alpha is not 0 (a null
  // pointer leaves the style's colour): window bg, fg; title bg, fg; button bg, fg, highlight, highlight
  // text.
  WM_DIALOG(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* title, const COLOUR* c1,
            const COLOUR* c2, const COLOUR* c3, const COLOUR* c4, const COLOUR* c5, const COLOUR* c6,
            const COLOUR* c7, const COLOUR* c8, INT_U8 visible, WM_DIALOG_EFFECTS* effects);
  ~WM_DIALOG() override;

  void hide(bool top_level, bool children) override;
  WM_RESULT process() override;
  WM_RESULT update(bool top_level) override;
  void move_to(INT_S16 new_x, INT_S16 new_y) override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  void add_child(WM_SCREEN_OBJECT* child, bool relative) override;
  void remove_child(WM_SCREEN_OBJECT* child, bool delete_child, bool make_relative) override;
  bool is_focusable() override;
  INT_S16 get_x() override;
  INT_S16 get_y() override;
  void render() override;
  void draw() override;
  // Slots of the dialog's own.
  virtual bool on_title(INT_S16 px, INT_S16 py);
  virtual void set_title(const char* text);
  // "" without a title object; the title's text when it holds a string; null otherwise.
  virtual const char* get_title();
  // Whether the focus is on one of the dialog's entries (a floating menu's, in a wholly visible row of its
  // grid), which keeps the focus confirmed; false here.
  virtual bool entry_focused();
  bool leaving() override;

  // The common body of both constructors.
  void init(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* title, WM_DIALOG_EFFECTS* effects);
  // Top gap, plus the cell top gap and the title's height when there is a title.
  INT_S16 client_top();
  // A dialog wider (taller) than the screen that holds its resting top-left corner takes the screen's
  // width (height) and moves to x = 0 (y = 0), its children resized with it.
  void fit_to_screen();
  // On the title, or inside the dialog where no visible child of the client lies.
  bool on_background(INT_S16 px, INT_S16 py);
  bool set_background(const char* folder_text, const char* name, WM_STYLE_SET* style);
  bool set_background(FOLDER* folder, const char* name, WM_STYLE_SET* style);
  void clear_background();
  bool has_background();
  void draw_title();

  // Effects (dialog_effects.cpp): start a fade to the target by the effect flags; start the slide in or out.
  void set_alpha_target(INT_U8 target);
  void start_slide(bool appearing_slide);
  // The closing protocol: closing = remove, at once when immediately, fade to 0 and slide out.
  void close_with_effects(bool remove, bool immediately);
  // Alpha equals the target and the position is the slide end.
  bool at_rest();
  // A running slide jumps to the resting position and the fade to its target (hiding, destruction).
  void end_effects_at_once();
};
