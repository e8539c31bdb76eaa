// The progress bar widget: a horizontal or vertical bar filled in proportion to a value out of a
// maximum, with an optional label and the percentage or a title on it, drawn with colours and borders or
// with four frames whose overlays can move; tick keeps the window answering while long work runs.
#pragma once
#include "types.h"
#include "colour.h"
#include "frame.h"
#include "screen_object.h"

class FOLDER;
class WM_STYLE_SET;

// WM_PROGRESS_BAR::bar_flags.
enum : INT_U8 {
  PROGRESS_NO_BORDER = 0x01,         // no outer border
  PROGRESS_DONT_RESIZE = 0x02,       // frames drawn without scaling
  PROGRESS_ONLY_BAR = 0x04,          // only the parts and the texts
  PROGRESS_VERTICAL = 0x08,          // fills from the bottom; no label
  PROGRESS_NO_SHADING = 0x10,        // no border around the full and the empty part
  PROGRESS_TEXT_ON_BAR = 0x20,       // the text sits on the full part
  PROGRESS_ALT_PERCENTAGE = 0x40     // with PROGRESS_TEXT_ON_BAR, the remaining percentage on the empty part
};

// The wall-clock second of the last message step of any progress bar (0 at program start).
extern INT_U32 progress_tick_second;

class WM_PROGRESS_BAR : public WM_SCREEN_OBJECT {
public:
  char* label;               // owned; drawn at the left of a horizontal bar
  char* title;               // owned; shown instead of the percentage
  INT_S32 maximum;
  INT_S32 value;             // its users hold it within 0 .. maximum
  COLOUR background_colour;
  COLOUR label_colour;
  COLOUR fill_colour;
  COLOUR text_colour;
  COLOUR empty_colour;       // invisible = the empty part is not painted
  COLOUR alt_text_colour;
  INT_S8 font_id;
  INT_S16 font_x_size;
  INT_S16 font_y_size;
  INT_S16 left_gap;
  INT_S16 right_gap;
  INT_S16 top_gap;
  INT_S16 bottom_gap;
  INT_U8 bar_flags;
  INT_U32 last_x_step;       // tick of the last animation step on each axis
  INT_U32 last_y_step;
  INT_S16 x_rate;            // ms per pixel of the overlays, the sign their direction; 0 = still
  INT_S16 y_rate;
  INT_S16 update_rate;       // least ms between two animation steps
  INT_U32 bar_border_type;
  WM_FRAME background_frame;
  WM_FRAME empty_frame;
  WM_FRAME full_frame;       // its overlays are what the animation moves
  WM_FRAME alt_frame;

  // From a style set: look, flags, font and gaps; frames from its image file name.
  WM_PROGRESS_BAR(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* label, INT_S32 maximum,
                  WM_STYLE_SET* style);
  // The bare object with empty frames, for a user that calls init itself.
  WM_PROGRESS_BAR();
  ~WM_PROGRESS_BAR() override;

  // The common body; -1 font and gap values take the defaults. A size below 1 is fatal (0x110).
  void init(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, const char* label, INT_S32 maximum,
            const COLOUR* background, const COLOUR* second, const COLOUR* fill, INT_U8 bar_flags, INT_S8 font_id,
            INT_S16 font_x_size, INT_S16 font_y_size, INT_S16 left_gap, INT_S16 right_gap, INT_S16 top_gap,
            INT_S16 bottom_gap);
  // Frames from the style set's state frames, else loaded by base name; whether the bar is framed.
  bool set_style(const char* path_text, const char* base_name, WM_STYLE_SET* style);
  bool set_style(FOLDER* folder, const char* base_name, WM_STYLE_SET* style);
  void clear_frames();
  bool has_frames();
  // One animation step of the full frame's overlays when due.
  void animate();
  // animate, then the message step once per wall-clock second.
  void tick();
  // Replaces the title (null: the percentage shows again); with draw_now the bar is drawn, presented
  // and ticked at once, else redrawn when visible.
  void set_title(const char* text, bool draw_now);

  WM_RESULT update(bool top_level) override;
  bool is_focusable() override;
  void draw() override;

  // The shown percentage text and the remaining one ("%ld%%"); a maximum of 0 shows "100%" and no
  // remaining text.
  void percentage_texts(char* shown, char* remaining);
};
