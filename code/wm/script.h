// Scripts: the library's block of styled text (a dialog's title, a button's hint, captions and text cells)
// on an optional background, border or frame, drawn from a style set. The window manager builds dialog
// titles with it; the widgets complete the rest of its look.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "image.h"
#include "parameter.h"
#include "screen_object.h"

class FOLDER;
class WM_STYLE_SET;

// WM_SCRIPT::draw_flags.
enum : INT_U32 {
  SCRIPT_INDENT_BORDER = 0x1,
  SCRIPT_RAISED_BORDER = 0x2,
  SCRIPT_LEFT_JUSTIFY = 0x4,
  SCRIPT_RIGHT_JUSTIFY = 0x8,
  SCRIPT_TOP_ALIGN = 0x10,
  SCRIPT_BOTTOM_ALIGN = 0x20,
  SCRIPT_DARKEN_BACKGROUND = 0x40,
  SCRIPT_HFADING = 0x80,
  SCRIPT_VFADING = 0x100,
  SCRIPT_TEXT_COLOUR_OUTLINE = 0x200,
  SCRIPT_SHADOW_TEXT = 0x400,
  SCRIPT_INSET_TEXT = 0x800,
  SCRIPT_CHISELED_TEXT = 0x1000,
  SCRIPT_ICON_LEFT = 0x2000,
  SCRIPT_ICON_RIGHT = 0x4000,
  SCRIPT_ICON_TOP = 0x8000,
  SCRIPT_ICON_BOTTOM = 0x10000,
  SCRIPT_ICON_ATTACH_TO_TEXT = 0x20000,
  SCRIPT_WRAP_TEXT = 0x40000,
  SCRIPT_DONT_RESIZE_IMAGE = 0x80000,
  SCRIPT_WHOLE_RECTANGLE_HIT = 0x1000000
};

// The flash step of scripts and buttons: while the flash text is not empty and the object is visible,
// the flash state follows the blink-phase bits of mask; a change redraws the object.
void follow_blink_phase(WM_SCREEN_OBJECT* object, const PARAMETER* flash_text, INT_U8 mask, INT_U8* flash_state);

class WM_SCRIPT : public WM_SCREEN_OBJECT {
public:
  PARAMETER text;          // string type; drawn only while it is
  PARAMETER flash_text;    // text of the flash look
  INT_U8 flashing;
  COLOUR text_colour;
  COLOUR underline_colour;
  COLOUR background_colour;
  COLOUR fade_colour;
  COLOUR flash_background_colour;  // invisible = background_colour
  COLOUR flash_text_colour;        // invisible = text_colour
  INT_U8 draw_background;
  INT_S8 font_id;
  INT_S16 font_x_size;
  INT_S16 font_y_size;
  INT_S16 left_gap;
  INT_S16 right_gap;
  INT_S16 top_gap;
  INT_S16 bottom_gap;
  INT_S16 x_spacing;
  INT_S16 y_spacing;
  INT_U32 draw_flags;      // SCRIPT_ bits
  INT_U16 shading_flags;   // corners and edges for the background and border; 0x8000 indented
  INT_U8 enabled;
  INT_U8 blink_mask;       // bit of blink_phase that drives the flash look
  WM_SCREEN_OBJECT* owner; // not owned: its input runs before the script's own
  INT_U8 path_text = 0;    // the text is a path: too long for its room, it loses folders of its middle
  IMAGE icon;
  WM_FRAME frame;
  WM_FRAME flash_frame;

  // The bare object (texts "", frames empty) for widgets that set it up with init.
  WM_SCRIPT(INT_U8 visible, WM_EVENT_CALLBACK event_callback, INT_U32 event_user1, INT_U32 event_user2);
  // From a style set over the inclusive corners; right < left fits the width to the text, bottom < top the
  // height to one line.
  WM_SCRIPT(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom, WM_STYLE_SET* style, const char* text);
  ~WM_SCRIPT() override;

  WM_RESULT process() override;
  WM_RESULT update(bool top_level) override;
  bool contains_point(INT_S16 px, INT_S16 py) override;
  bool is_focusable() override;
  void draw() override;
  // Whether the text is drawn wrapped: with SCRIPT_WRAP_TEXT, and also a text too long for one line (but
  // a path) when the script's height holds two lines, rather than be shortened; where two lines need
  // them, the lines take the top and bottom gaps too. top and bottom (when given) receive the rows the
  // text is drawn in.
  bool wraps_in_its_box(INT_S16* top = nullptr, INT_S16* bottom = nullptr);
  // Replaces the text (redrawn first when visible); with fit the width grows to the text, never shrinks.
  virtual void set_text(const char* new_text, bool fit);

  // The common body; -1 in a font or gap argument means the default.
  void init(INT_S16 left, INT_S16 top, INT_S16 right, INT_S16 bottom, const char* new_text, INT_S8 new_font_id,
            INT_S16 new_font_x_size, INT_S16 new_font_y_size, const COLOUR* new_text_colour,
            const COLOUR* new_background_colour, INT_S16 new_left_gap, INT_S16 new_right_gap, INT_S16 new_top_gap,
            INT_S16 new_bottom_gap, INT_S16 new_x_spacing, INT_S16 new_y_spacing);
  // Frames from the style's state frames, or loaded by base name from the path; true when frame is loaded.
  bool set_style(const char* path_text, const char* base_name, WM_STYLE_SET* style);
  bool set_style(FOLDER* folder, const char* base_name, WM_STYLE_SET* style);
  void clear_frames();
  bool has_frame();
  // Background and text colours; a loaded frame is tinted with the background (or, with map, its channels
  // mapped to the three colours); then the script is shown and redrawn.
  void set_colours(const COLOUR* background, const COLOUR* text, const COLOUR* third, bool map);

  // Measures of a script built from a style set (65535 = missing, font -1 = the draw target's default):
  // the horizontal gap total; the vertical gap total with missing gaps counted as missing; the size of a
  // script fitted to the text.
  static void horizontal_gaps(const WM_STYLE_SET* style, INT_S16* out);
  static void vertical_gaps(const WM_STYLE_SET* style, INT_S16 missing, INT_S16* out);
  static void size_for_text(const WM_STYLE_SET* style, const char* text, INT_S16* out_width, INT_S16* out_height);
};
