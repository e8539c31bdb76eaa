// Style sets: the record with its defaults, its two owned texts and its state frames, copying, the
// text-drawing flags and the rescaling of gaps and font sizes. The stored forms are style_set_file.cpp.
#include "style_set.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame.h"
#include "image_cache.h"

INT_U8 style_frame_cache_flags = CACHE_DROP_ON_FAILURE;

static const char* const frame_names[STYLE_SET_FRAME_COUNT] = {
    "%s",             "%s_up",             "%s_down",          "%s_disabled",        "%s_over",
    "%s_active_up",   "%s_active_down",    "%s_active_disabled", "%s_active_over",   "%s_highlighted",
    "%s_alternate",   "%s_flashing",       "%s_dragging",      "%s_bg",              "%s_empty",
    "%s_full",        "%s_bar",            "%s_bar_disabled",  "%s_bar_over",        "%s_slider_up",
    "%s_slider_down", "%s_slider_disabled", "%s_slider_over",  "%s_less_up",         "%s_less_down",
    "%s_less_disabled", "%s_less_over",    "%s_more_up",       "%s_more_down",       "%s_more_disabled",
    "%s_more_over"};
const char* const STYLE_SET_ALT_NAME = "%s_alt";

const char* style_set_frame_name(int slot) {
  return slot >= 0 && slot < STYLE_SET_FRAME_COUNT ? frame_names[slot] : nullptr;
}

// A heap copy of text, null for null or empty text (or when memory runs out).
static char* copy_text(const char* text) {
  if (!text || !text[0]) return nullptr;
  size_t length = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(length + 1));
  if (copy) std::memcpy(copy, text, length + 1);
  return copy;
}

WM_STYLE_SET::WM_STYLE_SET() {
  std::memset(image_path, 0, sizeof image_path);
  fg_colour = bg_colour = fading_colour = highlight_colour = highlight_text_colour = 0;
  active_colour = active_text_colour = object_colour = mouse_over_colour = mouse_over_text_colour = 0;
  flashing_colour = flashing_text_colour = disabled_colour = disabled_text_colour = underline_colour = 0;
  for (int i = 0; i < STYLE_SET_FRAME_COUNT; i++) state_frames[i] = nullptr;
  image_filename = nullptr;
  name = nullptr;
  frames_loaded = 0;
  set_defaults();
}

WM_STYLE_SET::~WM_STYLE_SET() {
  std::free(image_filename);
  std::free(name);
  image_filename = nullptr;
  name = nullptr;
  free_frames();
}

void WM_STYLE_SET::set_defaults() {
  std::memset(image_path, 0, sizeof image_path);
  shading_type = 1;
  fg_colour = 0xFFFFFFFF;
  bg_colour = 0xFF000000;
  fading_colour = highlight_colour = highlight_text_colour = COLOUR_INVISIBLE;
  active_colour = active_text_colour = object_colour = COLOUR_INVISIBLE;
  mouse_over_colour = mouse_over_text_colour = COLOUR_INVISIBLE;
  flashing_colour = flashing_text_colour = COLOUR_INVISIBLE;
  disabled_colour = disabled_text_colour = underline_colour = COLOUR_INVISIBLE;
  visible = 1;
  flags = ssf_draw_border | ssf_outstanding_border;
  extended_flags = 0;
  size_flags = 0xEE;
  shading_flags = 0x00FF;
  font_id = -1;
  font_x_sz = font_y_sz = -1;
  border_left_gap = border_right_gap = border_top_gap = border_bottom_gap = -1;
  cell_left_gap = cell_right_gap = cell_top_gap = cell_bottom_gap = -1;
  x_spacing = y_spacing = 1;
  scrollbar_button_width = 15;
  scrollbar_slider_width = 10;
  grid_scrollbar_width = 15;
  grid_two_tone_value = 20;
  free_frames();
}

void WM_STYLE_SET::set_image_filename(const char* text) {
  char* copy = copy_text(text);  // before the release: text may be the field itself
  std::free(image_filename);
  image_filename = copy;
}

void WM_STYLE_SET::set_name(const char* text) {
  char* copy = copy_text(text);
  std::free(name);
  name = copy;
}

void WM_STYLE_SET::free_frames() {
  for (int i = 0; i < STYLE_SET_FRAME_COUNT; i++) {
    if (state_frames[i]) {
      state_frames[i]->clear();
      delete state_frames[i];
      state_frames[i] = nullptr;
    }
  }
  frames_loaded = 0;
}

bool WM_STYLE_SET::has_frames() const {
  return frames_loaded != 0;
}

bool load_frame_from_style(WM_FRAME* frame, const char* path_text, const char* name, WM_STYLE_SET* style) {
  if (style && style->has_frames()) {
    if (style->state_frames[0]) frame->copy(*style->state_frames[0]);
  } else if (!name) {
    frame->clear();
    return false;
  } else {
    frame->load(path_text, name, 0);
  }
  return frame->is_loaded();
}

void WM_STYLE_SET::load_state_frames() {
  if (!image_filename) return;
  free_frames();
  WM_FRAME* frame = new WM_FRAME(&*image_cache);
  for (int slot = 0; slot < STYLE_SET_FRAME_COUNT; slot++) {
    load_frame_named(frame, image_path, frame_names[slot], image_filename, style_frame_cache_flags);
    if (!frame->is_loaded() && slot == 10) load_frame_named(frame, image_path, STYLE_SET_ALT_NAME, image_filename, style_frame_cache_flags);
    if (frame->is_loaded()) {
      state_frames[slot] = frame;
      frame = new WM_FRAME(&*image_cache);
    }
  }
  frame->clear();
  delete frame;
  frames_loaded = 1;
}

WM_STYLE_SET* WM_STYLE_SET::copy(WM_STYLE_SET* destination, const WM_STYLE_SET* source) {
  if (!destination || !source || destination == source) return destination;
  copy_fields(destination, source);
  destination->free_frames();
  for (int i = 0; i < STYLE_SET_FRAME_COUNT; i++) {
    if (source->state_frames[i]) {
      destination->state_frames[i] = new WM_FRAME(&*image_cache);
      destination->state_frames[i]->copy(*source->state_frames[i]);
    }
  }
  destination->frames_loaded = source->frames_loaded;
  return destination;
}

void WM_STYLE_SET::copy_fields(WM_STYLE_SET* destination, const WM_STYLE_SET* source) {
  if (!destination || !source || destination == source) return;
  std::memcpy(destination->image_path, source->image_path, sizeof destination->image_path);
  destination->image_path[STYLE_SET_PATH_SIZE - 1] = 0;
  destination->shading_type = source->shading_type;
  destination->fg_colour = source->fg_colour;
  destination->bg_colour = source->bg_colour;
  destination->fading_colour = source->fading_colour;
  destination->highlight_colour = source->highlight_colour;
  destination->highlight_text_colour = source->highlight_text_colour;
  destination->active_colour = source->active_colour;
  destination->active_text_colour = source->active_text_colour;
  destination->object_colour = source->object_colour;
  destination->mouse_over_colour = source->mouse_over_colour;
  destination->mouse_over_text_colour = source->mouse_over_text_colour;
  destination->flashing_colour = source->flashing_colour;
  destination->flashing_text_colour = source->flashing_text_colour;
  destination->disabled_colour = source->disabled_colour;
  destination->disabled_text_colour = source->disabled_text_colour;
  destination->underline_colour = source->underline_colour;
  destination->visible = source->visible;
  destination->flags = source->flags;
  destination->extended_flags = source->extended_flags;
  destination->size_flags = source->size_flags;
  destination->shading_flags = source->shading_flags;
  destination->font_id = source->font_id;
  destination->font_x_sz = source->font_x_sz;
  destination->font_y_sz = source->font_y_sz;
  destination->border_left_gap = source->border_left_gap;
  destination->border_right_gap = source->border_right_gap;
  destination->border_top_gap = source->border_top_gap;
  destination->border_bottom_gap = source->border_bottom_gap;
  destination->cell_left_gap = source->cell_left_gap;
  destination->cell_right_gap = source->cell_right_gap;
  destination->cell_top_gap = source->cell_top_gap;
  destination->cell_bottom_gap = source->cell_bottom_gap;
  destination->x_spacing = source->x_spacing;
  destination->y_spacing = source->y_spacing;
  destination->scrollbar_button_width = source->scrollbar_button_width;
  destination->scrollbar_slider_width = source->scrollbar_slider_width;
  destination->grid_scrollbar_width = source->grid_scrollbar_width;
  destination->grid_two_tone_value = source->grid_two_tone_value;
  destination->set_image_filename(source->image_filename);
  destination->set_name(source->name);
}

TEXT_FLAGS WM_STYLE_SET::text_flags() const {
  TEXT_FLAGS result = 0;
  if (flags & ssf_shadow_text) result |= TEXT_SHADOW;
  if (flags & ssf_inset_text) result |= TEXT_INSET;
  if (flags & ssf_chiseled_text) result |= TEXT_CHISELED;
  if (flags & ssf_top_align_text) result |= TEXT_TOP_ALIGN;
  if (flags & ssf_bottom_align_text) result |= TEXT_BOTTOM_ALIGN;
  if (flags & ssf_left_justify_text) result |= TEXT_LEFT_JUSTIFY;
  if (flags & ssf_right_justify_text) result |= TEXT_RIGHT_JUSTIFY;
  return result;
}

// A scaled gap or font size as stored: the nearest 16-bit value, so that no result wraps.
static INT_S16 to_s16(INT_S64 value) {
  return (INT_S16)(value < -32768 ? -32768 : (value > 32767 ? 32767 : value));
}

// trunc(value x new_size / size) through the floating-point ratio; the value stays where size is 0.
static INT_S16 scale_by_ratio(INT_S32 value, INT_S32 size, INT_S32 new_size) {
  if (size == 0) return (INT_S16)value;
  // |value x ratio| stays below 2^31: the conversion to 64 bits cannot overflow.
  return to_s16((INT_S64)(value * ((double)new_size / size)));
}

// value x factor / divisor in 64 bits, truncating toward zero; the value stays where divisor is 0.
static INT_S16 scale_by_division(INT_S64 value, INT_S64 factor, INT_S64 divisor) {
  return divisor == 0 ? (INT_S16)value : to_s16(value * factor / divisor);
}

// One axis of scale: the two gaps a and b of an object of length size becoming new_size, with the
// retain flags of the whole length and of each border.
static void scale_gaps(INT_S16* a, INT_S16* b, INT_S32 size, INT_S32 new_size, bool keep_size, bool keep_a,
                       bool keep_b) {
  INT_S32 old_a = *a, old_b = *b;
  INT_S64 inner = (INT_S64)size - old_a - old_b;
  if (!keep_size) {
    if (!keep_a && !keep_b) {
      *a = scale_by_ratio(old_a, size, new_size);
      *b = scale_by_ratio(old_b, size, new_size);
    } else if (!keep_a) {
      *a = scale_by_division(old_a, (INT_S64)new_size - old_b, (INT_S64)size - old_b);
    } else if (!keep_b) {
      *b = scale_by_division(old_b, (INT_S64)new_size - old_a, (INT_S64)size - old_a);
    }
  } else {
    if (!keep_a && !keep_b) {
      *a = scale_by_division(old_a, new_size - inner, (INT_S64)old_a + old_b);
      *b = scale_by_division(old_b, new_size - inner, (INT_S64)old_a + old_b);
    } else if (!keep_a) {
      *a = old_a != 0 ? to_s16(new_size - old_b - inner) : 0;
    } else if (!keep_b) {
      *b = old_b != 0 ? to_s16(new_size - old_a - inner) : 0;
    }
  }
}

void WM_STYLE_SET::scale(INT_S16 old_width, INT_S16 old_height, INT_S16 new_width, INT_S16 new_height) {
  scale_gaps(&border_left_gap, &border_right_gap, old_width, new_width, size_flags & sssf_retain_width,
             size_flags & sssf_retain_left_border, size_flags & sssf_retain_right_border);
  scale_gaps(&border_top_gap, &border_bottom_gap, old_height, new_height, size_flags & sssf_retain_height,
             size_flags & sssf_retain_top_border, size_flags & sssf_retain_bottom_border);
  if (!(size_flags & sssf_retain_x_font_size)) font_x_sz = scale_by_ratio(font_x_sz, old_width, new_width);
  if (!(size_flags & sssf_retain_y_font_size)) font_y_sz = scale_by_ratio(font_y_sz, old_height, new_height);
}

// The library-wide style sets, built on first use: the three default dialog styles and the button hint
// style (their instances are declared by the dialog and button modules).
static const int GLOBAL_STYLE_SET_COUNT = 4;
static WM_STYLE_SET* global_style_sets[GLOBAL_STYLE_SET_COUNT];

WM_STYLE_SET* WM_STYLE_SET_INSTANCE::operator->() const {
  int index = which >= 0 && which < GLOBAL_STYLE_SET_COUNT ? which : 0;
  if (!global_style_sets[index]) global_style_sets[index] = new WM_STYLE_SET();
  return global_style_sets[index];
}

WM_STYLE_SET& WM_STYLE_SET_INSTANCE::operator*() const {
  return *operator->();
}

WM_STYLE_SET_INSTANCE::operator WM_STYLE_SET*() const {
  return operator->();
}

void stop_global_style_sets() {
  for (int i = GLOBAL_STYLE_SET_COUNT - 1; i >= 0; i--) {
    delete global_style_sets[i];
    global_style_sets[i] = nullptr;
  }
}
