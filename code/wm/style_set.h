// Style sets: the look of one kind of widget (skin image folder and base name, border type, fifteen
// colours, three flag sets, font, gaps, spacings, scroll-bar and grid sizes) with up to 31 state frames,
// and its two stored forms: the binary record (version 9 written, 1 to 9 read) and the key=value text.
#pragma once
#include "types.h"
#include "colour.h"
#include "data_device.h"
#include "text_draw.h"

class WM_FRAME;
class CONFIG_FILE;
class FOLDER;

// Size of a style set's image folder text, terminator included.
const int STYLE_SET_PATH_SIZE = 2048;
// Number of state frames.
const int STYLE_SET_FRAME_COUNT = 31;
// Version of the binary record that put_to_data_device writes.
const INT_U32 STYLE_SET_VERSION = 9;

// The ssf_ flags (WM_STYLE_SET::flags).
enum : INT_U32 {
  ssf_draw_border = 0x1,
  ssf_indent_border = 0x2,
  ssf_outstanding_border = 0x4,
  ssf_hfading = 0x8,
  ssf_vfading = 0x10,
  ssf_darkened_background = 0x20,
  ssf_left_justify_text = 0x40,
  ssf_right_justify_text = 0x80,
  ssf_use_text_colour_for_outline = 0x100,
  ssf_shadow_text = 0x200,
  ssf_inset_text = 0x400,
  ssf_chiseled_text = 0x800,
  ssf_disabled = 0x1000,
  ssf_icon_left = 0x2000,
  ssf_icon_right = 0x4000,
  ssf_icon_top = 0x8000,
  ssf_icon_bottom = 0x10000,
  ssf_icon_attach_to_text = 0x20000,
  ssf_wrap_text = 0x40000,
  ssf_dont_resize_image = 0x80000,
  ssf_top_align_text = 0x100000,
  ssf_bottom_align_text = 0x200000
};

// The ssef_ flags (WM_STYLE_SET::extended_flags); the prefixes name the widget that reads the bit.
enum : INT_U32 {
  ssef_invert_vfading_on_press = 0x1,
  ssef_indent_when_active = 0x2,
  ssef_left_arrow = 0x4,
  ssef_right_arrow = 0x8,
  ssef_up_arrow = 0x10,
  ssef_down_arrow = 0x20,
  ssef_auto_depress = 0x40,
  ssef_auto_actiavte = 0x80,
  ssef_dont_mask_click = 0x100,
  ssef_sb_horizontal = 0x200,
  ssef_sb_with_buttons = 0x400,
  ssef_te_password = 0x800,
  ssef_grid_fix_top_row = 0x1000,
  ssef_grid_two_tone = 0x2000,
  ssef_grid_type_lines = 0x4000,
  ssef_grid_type_cells = 0x8000,
  ssef_grid_scroll_by_line = 0x10000,
  ssef_grid_no_scrollbar = 0x20000,
  ssef_grid_only_draw_used_lines = 0x40000,
  ssef_pb_only_draw_bar = 0x80000,
  ssef_pb_vertical = 0x100000,
  ssef_pb_no_shading = 0x200000,
  ssef_pb_position_text_on_bar = 0x400000,
  ssef_pb_draw_alt_percentage = 0x800000,
  ssef_fm_hide_scrolling_arrows = 0x1000000,
  ssef_grid_dont_shorten_scrollbar = 0x2000000
};

// The sssf_ flags (WM_STYLE_SET::size_flags), read by WM_STYLE_SET::scale.
enum : INT_U8 {
  sssf_retain_width = 0x1,
  sssf_retain_left_border = 0x2,
  sssf_retain_right_border = 0x4,
  sssf_retain_x_font_size = 0x8,
  sssf_retain_height = 0x10,
  sssf_retain_top_border = 0x20,
  sssf_retain_bottom_border = 0x40,
  sssf_retain_y_font_size = 0x80
};


// Font callbacks of the text form: the id for a font name, the name to store for an id.
typedef int (*STYLE_FONT_ID_CALLBACK)(const char* font_name, void* user);
typedef const char* (*STYLE_FONT_NAME_CALLBACK)(int font_id, void* user);

// A field holding -1 (65535 in 16-bit fields, 255 in font_id) means "not set": the widget takes its own
// default.
class WM_STYLE_SET : public DATA_DEVICE_CLIENT {
public:
  char image_path[STYLE_SET_PATH_SIZE];  // folder of the skin images, in path-variable form
  INT_U32 shading_type;
  COLOUR fg_colour;
  COLOUR bg_colour;
  COLOUR fading_colour;
  COLOUR highlight_colour;
  COLOUR highlight_text_colour;
  COLOUR active_colour;
  COLOUR active_text_colour;
  COLOUR object_colour;
  COLOUR mouse_over_colour;
  COLOUR mouse_over_text_colour;
  COLOUR flashing_colour;
  COLOUR flashing_text_colour;
  COLOUR disabled_colour;
  COLOUR disabled_text_colour;
  COLOUR underline_colour;
  INT_U8 visible;
  INT_U32 flags;           // ssf_
  INT_U32 extended_flags;  // ssef_
  INT_U8 size_flags;       // sssf_
  INT_U16 shading_flags;   // edges in the low four bits, rounded corners in 0x10 to 0x80
  INT_S8 font_id;
  INT_S16 font_x_sz;
  INT_S16 font_y_sz;
  INT_S16 border_left_gap;
  INT_S16 border_right_gap;
  INT_S16 border_top_gap;
  INT_S16 border_bottom_gap;
  INT_S16 cell_left_gap;
  INT_S16 cell_right_gap;
  INT_S16 cell_top_gap;
  INT_S16 cell_bottom_gap;
  INT_S16 x_spacing;
  INT_S16 y_spacing;
  INT_S16 scrollbar_button_width;
  INT_S16 scrollbar_slider_width;
  INT_S16 grid_scrollbar_width;
  INT_S16 grid_two_tone_value;
  WM_FRAME* state_frames[STYLE_SET_FRAME_COUNT];  // owned, null = no frame for that state
  char* image_filename;                            // owned heap text, null when empty
  char* name;                                      // owned heap text, null when empty
  INT_U8 frames_loaded;

  WM_STYLE_SET();
  ~WM_STYLE_SET() override;
  WM_STYLE_SET(const WM_STYLE_SET&) = delete;
  WM_STYLE_SET& operator=(const WM_STYLE_SET&) = delete;

  // Every field to its default except image_filename and name; the frames are freed.
  void set_defaults();
  // Null or empty text leaves the field null.
  void set_image_filename(const char* text);
  void set_name(const char* text);
  void free_frames();
  bool has_frames() const;
  // Loads the state frames named after image_filename from image_path through image_cache, with
  // style_frame_cache_flags; nothing when image_filename is null.
  void load_state_frames();
  // destination takes all of source's values; frames are new records sharing the cached images.
  static WM_STYLE_SET* copy(WM_STYLE_SET* destination, const WM_STYLE_SET* source);
  // copy without the frames: every stored value and both texts.
  static void copy_fields(WM_STYLE_SET* destination, const WM_STYLE_SET* source);
  // The text-drawing flags the ssf_ bits select.
  TEXT_FLAGS text_flags() const;
  // Adapts gaps and font sizes to an object that changes size, by the sssf_ flags.
  void scale(INT_S16 old_width, INT_S16 old_height, INT_S16 new_width, INT_S16 new_height);

  // Binary record: version 9 written, versions 1 to 9 read (style_set_file.cpp). A record that cannot be
  // read whole gives false with the data error and leaves the style set as it was.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;
  // Text form in a settings file; folder is the folder of the file ("$HERE"). A file that cannot be
  // read or lacks a required key gives false (the settings file's error names the key) and leaves the
  // style set as it was.
  bool read_text(CONFIG_FILE* file, STYLE_FONT_ID_CALLBACK font_id_callback, void* user, FOLDER* folder);
  bool write_text(CONFIG_FILE* file, STYLE_FONT_NAME_CALLBACK font_name_callback, void* user, FOLDER* folder);
};

// Image-cache lookup flags with which style sets load their state frames: CACHE_DROP_ON_FAILURE at
// start; the installation database reader sets CACHE_FIND_ONLY so frames come only from the cache.
extern INT_U8 style_frame_cache_flags;

// The colour field a key of the text form names ("fg_colour" .. "underline_colour"); null for another key.
COLOUR WM_STYLE_SET::*style_colour_field(const char* key);
// The size field a key of the text form names ("border_left_gap" .. "grid_two_tone_value"); null for
// another key.
INT_S16 WM_STYLE_SET::*style_size_field(const char* key);

// A widget's single frame (a background, an edit box's frame): a copy of the style's first state frame
// when the style's frames are loaded (and it has one), else loaded by name from the path text; without
// either the frame is cleared. True when the frame is loaded afterwards.
bool load_frame_from_style(WM_FRAME* frame, const char* path_text, const char* name, WM_STYLE_SET* style);

// Image name of a state-frame slot (printf form with one "%s" for image_filename, or "%s" alone for
// slot 0); slot 10 also tries STYLE_SET_ALT_NAME when its own name finds nothing.
const char* style_set_frame_name(int slot);
extern const char* const STYLE_SET_ALT_NAME;

// A library-wide style set built on first use (the window manager's and widgets' global styles), used
// like a pointer: default_dialog_window_style->fg_colour, WM_STYLE_SET::copy(x, button_hint_style).
struct WM_STYLE_SET_INSTANCE {
  int which;
  WM_STYLE_SET* operator->() const;
  WM_STYLE_SET& operator*() const;
  operator WM_STYLE_SET*() const;
};
// Frees every library-wide style set (at exit); a later use builds it again with its defaults.
void stop_global_style_sets();
