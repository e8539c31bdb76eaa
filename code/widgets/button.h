// Buttons: the push button of the window manager. A label, an optional icon and a skinned face (state
// frames or a shaded box); pointer, Enter-key and hot-key input turned into press, click, repeat and
// release-outside events for the event callback; an optional hint pop-up; pointer-shape requests. Its
// drawing is in button_draw.cpp. Also the style with which every button builds its hint pop-up.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "image.h"
#include "parameter.h"
#include "screen_object.h"
#include "style_set.h"

class FOLDER;
class WM_BUTTON;
class WM_SCRIPT;

extern const WM_STYLE_SET_INSTANCE button_hint_style;
// Set when button_hint_style holds its values; the first button built while it is clear gives the
// style its one-time defaults.
extern INT_U8 button_hint_style_ready;

// The first-button set-up: while the ready flag is clear, gives button_hint_style shading type 3, black
// text on 0xFFFFD000 fading to red, edges 0x000F and ssf_draw_border, ssf_indent_border, ssf_hfading,
// ssf_use_text_colour_for_outline; then sets the flag. Nothing once it is set.
void prepare_button_hint_style();

// Events of a button (WM_BUTTON::event_mask bits and the events themselves).
enum : INT_U8 {
  BUTTON_EVENT_PRESS = 0x1,
  BUTTON_EVENT_CLICK = 0x2,           // released over the button after a press on it
  BUTTON_EVENT_REPEAT = 0x4,          // held: after REPEAT_DELAY, then every REPEAT_INTERVAL
  BUTTON_EVENT_RELEASE_OUTSIDE = 0x8  // released elsewhere after a press on it
};

// WM_BUTTON::click_behaviour.
enum : INT_U32 {
  CLICK_NORMAL = 0,
  CLICK_AUTO_DEPRESS = 1,  // highlighted while the pointer is over it
  CLICK_AUTO_ACTIVATE = 2  // entering it presses it, leaving it clicks it
};

// WM_BUTTON::button_flags.
enum : INT_U32 {
  bf_left_justify_text = 0x1,
  bf_right_justify_text = 0x2,
  bf_top_align_text = 0x4,
  bf_bottom_align_text = 0x8,
  bf_left_arrow = 0x10,
  bf_right_arrow = 0x20,
  bf_up_arrow = 0x40,
  bf_down_arrow = 0x80,
  bf_darkened_background = 0x100,
  bf_draw_border = 0x200,
  bf_hfading = 0x400,
  bf_vfading = 0x800,
  bf_invert_vfading_on_press = 0x1000,
  bf_use_text_colour_for_outline = 0x2000,
  bf_shadow_text = 0x4000,
  bf_inset_text = 0x8000,
  bf_chiseled_text = 0x10000,
  bf_icon_left = 0x20000,
  bf_icon_right = 0x40000,
  bf_icon_top = 0x80000,
  bf_icon_bottom = 0x100000,
  bf_icon_attach_to_text = 0x200000,
  bf_wrap_text = 0x400000,
  bf_dont_resize_image = 0x800000,
  bf_dont_mask_click = 0x1000000
};

// The state frames, in WM_BUTTON::state_frames order.
enum {
  BUTTON_FRAME_UP,
  BUTTON_FRAME_DOWN,
  BUTTON_FRAME_DISABLED,
  BUTTON_FRAME_OVER,
  BUTTON_FRAME_ACTIVE_UP,
  BUTTON_FRAME_ACTIVE_DOWN,
  BUTTON_FRAME_ACTIVE_DISABLED,
  BUTTON_FRAME_ACTIVE_OVER,
  BUTTON_FRAME_HIGHLIGHTED,
  BUTTON_FRAME_FLASHING,
  BUTTON_FRAME_DRAGGING,
  BUTTON_FRAME_COUNT
};

// Timing of held buttons (ms): the first repeat, then the next ones.
const INT_U32 REPEAT_DELAY = 300;
const INT_U32 REPEAT_INTERVAL = 30;
// A hover hint waits for the seconds clock, whose next step the frame loop cannot know: while it waits,
// the loop looks again after this long (ms), so the hint shows at most this late.
const INT_U32 HINT_LOOK_INTERVAL = 250;

// Supplies a button's active state each pass.
typedef bool (*WM_BUTTON_STATE_FUNCTION)(WM_BUTTON* button, void* user);

class WM_BUTTON : public WM_SCREEN_OBJECT {
public:
  INT_U8 indent_when_active;
  INT_U16 shading_flags;  // edges 0x1-0x8, rounded corners 0x10-0x80; 0x8000 indented
  char* label;            // malloc'd; null only after a failed set_text
  COLOUR background_colour;
  COLOUR active_colour;
  COLOUR active_text_colour;
  COLOUR highlight_colour;
  COLOUR text_colour;
  COLOUR highlight_text_colour;
  COLOUR fading_colour;
  COLOUR mouse_over_colour;
  COLOUR mouse_over_text_colour;
  COLOUR disabled_colour;
  COLOUR disabled_text_colour;
  COLOUR underline_colour;
  INT_U8 highlighted;
  INT_U8 was_left_down;   // left button (or Enter / hot key acting for it) at the previous pass
  INT_U8 was_right_down;
  INT_U8 armed;           // a press began on the button and has not ended
  INT_U8 slide_select;    // armed follows the pointer while the left button is held
  INT_U8 enabled;
  INT_U8 pointer_over;    // tracked only for buttons with over visuals
  WM_BUTTON_STATE_FUNCTION state_function;
  void* state_user;
  INT_U32 click_behaviour;  // CLICK_
  INT_U32 button_flags;     // bf_
  INT_S8 font_id;
  INT_S16 font_x_size;
  INT_S16 font_y_size;
  WM_SCRIPT* hint;          // owned hint pop-up, null when none
  INT_U32 hint_time;        // calendar seconds when the hint wait began
  INT_S16 hint_x;           // pointer when the hint wait began; -1 = no wait
  INT_S16 hint_y;
  INT_U8 hint_mode;         // 0 hover hint, 1 shown above the button while highlighted
  WM_SCREEN_OBJECT* hint_saved_focus;
  INT_S16 left_gap;
  INT_S16 right_gap;
  INT_S16 top_gap;
  INT_S16 bottom_gap;
  INT_S16 x_spacing;
  INT_S16 y_spacing;
  INT_U8 event_mask;        // BUTTON_EVENT_ bits that reach the event callback
  INT_U8 released;          // 1 while the callback runs for a click or a release outside
  INT_U8 was_enter_down;
  INT_S32 hot_key;          // virtual-key code, -1 none
  INT_U8 was_hot_key_down;
  INT_U8 selected;          // answers Enter and looks pointed-at as if it had the focus
  INT_U32 repeat_time;      // pass time of the press or of the last repeat
  INT_U8 repeating;         // a repeat fired during this press
  IMAGE icon;               // drawn with the label; empty by default
  PARAMETER flash_text;     // shown instead of the label while flash_state is on; a text parameter
                            // whose text stays null (empty) until one is set
  INT_U8 flash_state;
  INT_U8 blink_mask;        // blink_phase bits that drive the flashing
  INT_U8 drag_shown;        // a dragged image of the button is being drawn
  INT_S16 drag_x;           // pointer while dragged; -1 when not
  INT_S16 drag_y;
  INT_S16 drag_offset_x;    // button corner less the pointer at the start of the drag
  INT_S16 drag_offset_y;
  INT_U8 path_text = 0;     // the label is a path: too long for its room, it loses folders of its middle
  INT_U16 path_start = 0;   // with path_text, the path begins at this byte: the words before it stay whole
  INT_U8 name_text = 0;     // the label is a name: too long for its room, it loses characters of its middle
  // BUTTON_FRAME_COUNT frames bound to image_cache, made when the button first loads frames (most
  // buttons never do, and empty frames would be most of their size); null until then.
  WM_FRAME* state_frames;

  // From a style set; x2 < x1 (y2 < y1) sizes the button to its label. A null or empty hint gives none.
  WM_BUTTON(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, WM_STYLE_SET* style, const char* text,
            const char* hint_text, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2, INT_U8 event_mask);
  // Every look value as an argument; font arguments -1 take the draw target's defaults.
  WM_BUTTON(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* background, const COLOUR* text_colour,
            const char* text, INT_S8 font_id, INT_S16 font_x_size, INT_S16 font_y_size, INT_U32 click_behaviour,
            INT_U32 button_flags, INT_U16 shading_flags, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2,
            INT_U8 visible, INT_U8 event_mask);
  // The same in the draw target's default font.
  WM_BUTTON(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* background, const COLOUR* text_colour,
            const char* text, INT_U32 click_behaviour, INT_U32 button_flags, INT_U16 shading_flags,
            WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2, INT_U8 visible, INT_U8 event_mask);
  ~WM_BUTTON() override;

  void show() override;
  void hide(bool top_level, bool children) override;
  WM_RESULT process() override;
  WM_RESULT update(bool top_level) override;
  bool contains_point(INT_S16 px, INT_S16 py) override;
  bool is_focusable() override;
  void draw() override;
  virtual void set_hot_key(INT_S32 key);

  // The common body; -1 in a font, gap or spacing argument means the default.
  void init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const char* text, const COLOUR* background,
            const COLOUR* active, const COLOUR* highlight, INT_U32 click_behaviour, INT_S8 font_id,
            INT_S16 font_x_size, INT_S16 font_y_size, INT_S16 left_gap, INT_S16 right_gap, INT_S16 top_gap,
            INT_S16 bottom_gap, INT_S16 x_spacing, INT_S16 y_spacing, INT_U8 event_mask);
  // Replaces the label (a null text changes nothing: false); with grow the width widens to the text.
  bool set_text(const char* text, bool grow);
  // Replaces the hint pop-up; null or empty removes it.
  void set_hint(const char* text);
  // The 11 state frames from the style's loaded frames, or by name from the path; true when the up and
  // down frames are loaded.
  bool load_state_frames(const char* path_text, const char* base_name, WM_STYLE_SET* style);
  bool load_state_frames(FOLDER* folder, const char* base_name, WM_STYLE_SET* style);
  bool has_state_frames();
  // The state frame is there and loaded.
  bool state_frame_loaded(int frame);
  void free_state_frames();
  // BUTTON_EVENT_CLICK while the callback runs for a click or a release outside, else 0.
  INT_U32 released_event();
  // Face and text colours; loaded frames are tinted (or channel-mapped with three colours).
  void set_colours(const COLOUR* background, const COLOUR* text, const COLOUR* third, bool three_colours);

protected:
  // The screen object, zeroed colours, empty icon and empty flash text (frames come with the first
  // load); init follows.
  WM_BUTTON(INT_U8 visible, WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2);

private:
  void set_look(INT_U16 new_shading_flags, INT_U32 new_button_flags, COLOUR new_text_colour);
  void place_hint(INT_S16 left, bool show_it);
  void take_hint_off();
  void run_hint(bool over, bool pressing, INT_S16 px, INT_S16 py);
};

// Buttons that stand side by side in a row of room pixels (the gaps between them left out) so that none
// runs into another: each is as wide as its label needs, and while together they need more than the
// room, the widest are narrowed to one width, the largest at which all fit (at least 1 pixel); a
// narrowed button shows its label shortened with an ellipsis. A button's label counts as needing at
// least least pixels. Heights stay; nothing is moved.
void fit_buttons_in_row(WM_BUTTON* const* buttons, int count, INT_S32 room, INT_S32 least = 0);
