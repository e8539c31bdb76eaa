// Scroll bars: a track with a slider, optionally with a less and a more button at its ends, bound to an
// integer PARAMETER that the bar shows and changes (buttons, track, slider drag, mouse wheel, arrow and page
// keys). Its construction, geometry and input are in scroll_bar.cpp, its drawing in scroll_bar_draw.cpp.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "parameter.h"
#include "screen_object.h"

class FOLDER;
class WM_STYLE_SET;

// Bar types: the axis and whether there are less / more buttons at the ends.
enum : INT_U32 {
  SCROLLBAR_HORIZONTAL = 0,
  SCROLLBAR_HORIZONTAL_BUTTONS = 1,  // less button at the left, more button at the right
  SCROLLBAR_VERTICAL = 2,
  SCROLLBAR_VERTICAL_BUTTONS = 3     // more button at the top, less button at the bottom
};

// Draw flags.
enum : INT_U8 {
  SCROLLBAR_SHADED = 0x01,          // rounded shaded boxes
  SCROLLBAR_VFADING = 0x02,         // vertical gradients
  SCROLLBAR_HFADING = 0x04,         // horizontal gradients
  SCROLLBAR_DONT_RESIZE = 0x10,     // state frames drawn at their images' own size
  SCROLLBAR_DEFAULT_LOOK = 0x80     // given to the full constructor: shaded with the axis's gradient
};

// Actions of the held button or track, and the codes of the amount callback.
enum : INT_U32 {
  SCROLLBAR_NO_ACTION = 0,
  SCROLLBAR_STEP_FORWARD = 1,
  SCROLLBAR_STEP_BACK = 2,
  SCROLLBAR_PAGE_FORWARD = 3,
  SCROLLBAR_PAGE_BACK = 4
};

// The 15 state frames, by slot.
enum {
  SCROLLBAR_FRAME_BAR = 0,
  SCROLLBAR_FRAME_BAR_DISABLED,
  SCROLLBAR_FRAME_BAR_OVER,
  SCROLLBAR_FRAME_SLIDER_UP,
  SCROLLBAR_FRAME_SLIDER_DOWN,
  SCROLLBAR_FRAME_SLIDER_DISABLED,
  SCROLLBAR_FRAME_SLIDER_OVER,
  SCROLLBAR_FRAME_LESS_UP,
  SCROLLBAR_FRAME_LESS_DOWN,
  SCROLLBAR_FRAME_LESS_DISABLED,
  SCROLLBAR_FRAME_LESS_OVER,
  SCROLLBAR_FRAME_MORE_UP,
  SCROLLBAR_FRAME_MORE_DOWN,
  SCROLLBAR_FRAME_MORE_DISABLED,
  SCROLLBAR_FRAME_MORE_OVER,
  SCROLLBAR_FRAME_COUNT
};

class WM_SCROLLBAR;
// The size (>= 0) of a step or page for an action code 1 to 4; the owner finds itself through user1.
typedef int (*WM_SCROLL_AMOUNT_CALLBACK)(WM_SCROLLBAR* bar, int code);

// Warnings 0x20 (slider too short) and 0x21 (bar too small) are shown once per run: bit 0x1 is set once
// 0x20 was raised, bit 0x2 once 0x21 was.
extern INT_U8 scrollbar_warnings_shown;

class WM_SCROLLBAR : public WM_SCREEN_OBJECT {
public:
  INT_U32 type;
  PARAMETER* slew;            // not owned; must outlive the bar
  INT_S32 reported_value;     // value last reported through the event callback
  INT_S32 travel;             // pixels the slider can move (layout)
  INT_S32 grab_offset;        // kept between pointer and slider while dragging
  INT_S32 reference_position; // horizontal: the slider's end edge at the minimum; vertical: its top at the maximum
  INT_S16 slider_length;      // at least 6; set it, then call layout
  INT_S16 button_length;
  COLOUR track_colour;
  COLOUR slider_colour;
  COLOUR button_colour;
  COLOUR arrow_colour;
  COLOUR highlight_colour;        // for a part under the pointer or while focused; alpha 0 = none
  COLOUR arrow_highlight_colour;
  INT_U8 dragging;
  INT_U8 button_was_held;     // left button held at the previous pass
  INT_U8 draw_flags;
  INT_S32 page_amount;        // without an amount callback
  INT_S32 step_amount;
  INT_U8 enabled;             // 0: no input, drawn disabled; outside value changes are still reported
  INT_U32 repeat_tick;        // pass time of the last step of the held button or track
  INT_U32 repeat_action;
  INT_U8 repeat_started;
  WM_SCROLL_AMOUNT_CALLBACK amount_callback;
  INT_S16 wheel_step;         // value change per wheel notch
  INT_U8 bar_over;
  INT_U8 slider_over;
  INT_U8 less_over;
  INT_U8 more_over;
  WM_FRAME* state_frames[SCROLLBAR_FRAME_COUNT];  // owned records; a frame is empty until loaded

  // Full form: corners in either order, colours null = 0.
  WM_SCROLLBAR(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 slider_length, INT_S16 button_length,
               PARAMETER* slew, INT_U32 type, INT_U8 draw_flags, const COLOUR* track, const COLOUR* slider,
               const COLOUR* button, const COLOUR* arrow, INT_U8 visible, WM_EVENT_CALLBACK callback,
               INT_U32 user1, INT_U32 user2);
  // Style form: type, look, lengths, colours and frames from the style set.
  WM_SCROLLBAR(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, PARAMETER* slew, WM_STYLE_SET* style,
               WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2);
  ~WM_SCROLLBAR() override;

  WM_RESULT process() override;
  void move_to(INT_S16 new_x, INT_S16 new_y) override;
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  bool is_focusable() override;
  void draw() override;

  // The common body of both constructors.
  void init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 slider_length, INT_S16 button_length,
            PARAMETER* slew, INT_U32 type, INT_U8 draw_flags, const COLOUR* track, const COLOUR* slider,
            const COLOUR* button, const COLOUR* arrow);
  // Travel and reference position from type, rectangle and lengths. A bar too short for its buttons and
  // slider gets travel 0.
  void layout();
  // Length along the axis less the two buttons.
  INT_S32 track_length();
  bool horizontal() const { return type == SCROLLBAR_HORIZONTAL || type == SCROLLBAR_HORIZONTAL_BUTTONS; }
  bool has_buttons() const { return type == SCROLLBAR_HORIZONTAL_BUTTONS || type == SCROLLBAR_VERTICAL_BUTTONS; }
  // The slider position P from the parameter: horizontal the slider's end edge (columns P - s .. P - 1),
  // vertical its top row. An empty range or no travel gives the reference position.
  INT_S32 slider_position();
  // Frames from the style's scroll-bar frames when it has frames, else loaded by base name from the
  // path; true when complete.
  bool load_state_frames(const char* path_text, const char* base_name, WM_STYLE_SET* style);
  bool load_state_frames(FOLDER* folder, const char* base_name, WM_STYLE_SET* style);
  void free_state_frames();
  // Track and both slider frames, and for the types with buttons the up and down button frames.
  bool state_frames_loaded();

private:
  void apply_action(INT_U32 action);
  void set_value(INT_S64 value);
  void update_hover(INT_S16 px, INT_S16 py);
  void handle_key();
  void press_test(INT_S32 p);
  void drag(INT_S16 px, INT_S16 py, INT_S32 p);
};
