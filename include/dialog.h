// Dialogs of the window manager: the effects block (fades and slides) that every dialog copies, the
// library's default effects, and the three default dialog style sets with their one-time adjustment.
#pragma once
#include "types.h"
#include "data_device.h"
#include "style_set.h"

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
