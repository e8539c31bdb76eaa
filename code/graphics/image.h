// IMAGE: the one 32-bit ARGB pixel container (pictures, cached skin images, glyph surfaces and the
// screen itself) with its clip and dirty rectangles, copying between images, fills, whole-image pixel
// operations, conversion into presentation buffers, rotation, loading and its raw stored form.
#pragma once
#include "types.h"
#include "colour.h"
#include "data_device.h"

class FOLDER;
class IMAGE_CACHE_ENTRY;

// An inclusive rectangle in the order the image keeps it; -1 values mean unset (clip) or empty (dirty).
struct IMAGE_AREA {
  INT_S16 x1;
  INT_S16 x2;
  INT_S16 y1;
  INT_S16 y2;
};

// Modes of IMAGE::blit; every other value blends like BLIT_BLEND.
enum {
  BLIT_BLEND = 0,
  BLIT_COPY = 1,           // target = source, alpha included
  BLIT_ALPHA_MASK = 2,     // target alpha = 255 where the source alpha is not 0, else 0
  BLIT_ALPHA_MULTIPLY = 3  // target alpha = target alpha * source alpha / 255
};

class IMAGE : public DATA_DEVICE_CLIENT {
public:
  INT_S16 origin_x;         // coordinates of the top-left pixel (always 0 in this system)
  INT_S16 origin_y;
  INT_S16 height;
  INT_S16 width;
  INT_S16 row_pitch;        // pixels from one row's start to the next
  INT_S8 row_alignment;     // 2 or more: the pitch is the width rounded up to a multiple of it
  INT_U32* pixels;          // row_pitch * height values, null for the empty image
  INT_U8 size_locked;       // while set, set_size (and scaling, loading) leave the size alone
  IMAGE_AREA clip;          // inclusive clip rectangle, any -1 = unset (nothing is drawn)
  INT_U8 clip_enabled;      // drawing happens only while set
  INT_U8 keep_aspect;       // scaling keeps the width : height ratio
  INT_S8 default_font_id;   // font and sizes used for -1 arguments of text measuring
  INT_S16 default_font_x_size;
  INT_S16 default_font_y_size;
  IMAGE_AREA dirty;         // inclusive rectangle changed since last emptied, -1 = empty
  INT_S16 maximum_width;    // limits for scaling, 0 = none
  INT_S16 maximum_height;
  IMAGE_CACHE_ENTRY* owner; // the cache entry holding this image, not owned

  IMAGE(INT_S16 new_width = -1, INT_S16 new_height = -1);
  ~IMAGE() override;
  IMAGE(const IMAGE&) = delete;
  IMAGE& operator=(const IMAGE&) = delete;

  // Raw image stream "velkrawimg": magic, version 1, u16 width and height, u32 pixels.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

  void init(INT_S16 new_width, INT_S16 new_height);
  void set_size(INT_S16 new_width, INT_S16 new_height);
  // set_size for a size read from a file: false, with the image unchanged, when memory is short or the
  // image is size-locked at another size, where set_size would end the program or keep its size.
  bool set_size_from_file(INT_S16 new_width, INT_S16 new_height);
  void set_clip(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2);
  void intersect_clip(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2);
  void extend_dirty_area(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2);
  // Grows the dirty rectangle by the part of the box (corners in either order) inside the clip: all that
  // a drawing operation clipped there can have changed. Nothing when none of it is inside.
  void extend_dirty_in_clip(INT_S32 x1, INT_S32 y1, INT_S32 x2, INT_S32 y2);
  // Empties the dirty rectangle (all four -1).
  void clear_dirty_area() { dirty.x1 = dirty.x2 = dirty.y1 = dirty.y2 = -1; }
  // The part of the box (x, y, box_width, box_height) inside the clip, in *box; false when there is
  // none (or no pixels, or drawing is off).
  bool box_in_clip(INT_S32 x, INT_S32 y, INT_S32 box_width, INT_S32 box_height, IMAGE_AREA* box) const;
  // True when the clip is enabled and set.
  bool can_draw() const {
    return clip_enabled && clip.x1 != -1 && clip.x2 != -1 && clip.y1 != -1 && clip.y2 != -1;
  }
  // Address of pixel (x, y) in image coordinates (no range check).
  INT_U32* pixel_at(INT_S32 x, INT_S32 y) const {
    return pixels + (y - origin_y) * row_pitch + (x - origin_x);
  }

  // Copies a width x height region of source at (source_x, source_y) to (target_x, target_y) here.
  void blit(IMAGE* source, INT_S16 source_x, INT_S16 source_y, INT_S16 target_x, INT_S16 target_y,
            INT_S16 copy_width, INT_S16 copy_height, INT_S32 mode);
  // Draws this whole image at (x, y) of target (null = the screen image).
  void blit_to(INT_S16 x, INT_S16 y, IMAGE* target, INT_S32 mode);
  // Fills this image from the region of source (null = the screen image) whose top-left is (x, y).
  void grab(INT_S16 x, INT_S16 y, IMAGE* source, INT_S32 mode);
  void fill_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour, INT_U8 blend);
  // Stores the colour in the clip rectangle, or with whole set in the whole image (the clip is kept).
  void clear(const COLOUR* colour, INT_U8 whole);

  // Pixel operations over the part of the clip rectangle inside the image.
  void greyscale();
  void tint(const COLOUR* tint_colour);
  void map_channels(const COLOUR* red, const COLOUR* green, const COLOUR* blue, INT_U8 multiply_alpha);
  void set_alpha(INT_U8 alpha, INT_U8 multiply, INT_U8 only_visible);
  void replace_colour(const COLOUR* from, const COLOUR* to, INT_U8 rgb_only);

  // Writes the whole image into buffer: format 2 = 16-bit 5:6:5, 1 = 32-bit with red and blue
  // exchanged, else plain 32-bit; row_step 1 top-down, else bottom-up; pitch -1 = the width.
  void convert_pixels(void* buffer, INT_S16 pitch, INT_S8 row_step, INT_U8 format, INT_U8 quarter_turn);

  void rotate(float angle);
  void rotate_degrees(float angle);

  // Embedded bytes: format byte, big-endian u16 width and height, then B, G, R, A per pixel.
  // byte_count, when not -1, is the size of the block; sizes that do not fit it are refused.
  bool from_bytes(const INT_U8* bytes, INT_S32 byte_count = -1);
  // Loads a PNG, JPEG, PCX or raw file by name (with or without extension) and scales it to
  // (new_width, new_height), -1 = natural size.
  bool load(FOLDER* folder, const char* file_name, INT_S16 new_width, INT_S16 new_height);
  // Loads numbered frames (name_format with one integer) and lays them side by side.
  bool load_strip(FOLDER* folder, const char* name_format, INT_S16 first_index, INT_S16 last_index);

  // Resizes in place (0xFFFF = keep or derive that side); smooth uses the two-pass resampler.
  void scale(INT_U16 new_width, INT_U16 new_height, bool smooth);

  // Drawing primitives (code/graphics/draw.cpp).
  void draw_line(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour, INT_S16 thickness,
                 INT_U8 blend);
  void draw_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                      INT_S16 thickness, INT_U8 sides);
  void fill_gradient_horizontal(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* left,
                                const COLOUR* right, INT_U8 blend);
  void fill_gradient_vertical(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* top,
                              const COLOUR* bottom, INT_U8 blend);
  void darken_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 percent);
  void xor_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour);
  void draw_corner_arc(INT_S16 x, INT_S16 y, INT_S16 radius, INT_U8 corner, const COLOUR* colour);
  void draw_rounded_rectangle(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, const COLOUR* colour,
                              INT_S16 radius, INT_U8 corners);
};

// blit with the arguments in this order; a null target means the screen image; nothing when target
// and source are the same image.
void blit_to_screen(IMAGE* source, INT_S16 target_x, INT_S16 target_y, INT_S16 source_x, INT_S16 source_y,
                    INT_S16 copy_width, INT_S16 copy_height, IMAGE* target, INT_S32 mode);

// One frame of a fade, in one pass of tight rows: the picture over put over the picture under at one
// alpha (blend_pixel of each pixel of over with its alpha replaced by that alpha) into target, the two
// pictures having one size and lying at (x, y) of target; a null picture stands for target's own pixels
// there. Only inside target's clip; the dirty rectangle grows by what was written.
void blend_pictures(IMAGE* target, INT_S16 x, INT_S16 y, const IMAGE* under, const IMAGE* over, INT_U8 alpha);

// The image every screen object draws into (normally the screen image).
extern IMAGE* draw_target;
// Greyscale by the plain average of red, green and blue instead of the weighted sum; off.
extern INT_U8 greyscale_average;

// Fill the image with the library's small (80 x 75) or large (195 x 80) logo.
void make_small_logo_image(IMAGE* image);
void make_large_logo_image(IMAGE* image);
// The two logos as built-in pixel blocks (the form IMAGE::from_bytes reads): the small one 80 x 75,
// the large one 195 x 80 pixels, from which the images above are made. *size receives the block's length
// in bytes.
const INT_U8* small_logo_block(INT_S32* size);
const INT_U8* large_logo_block(INT_S32* size);
