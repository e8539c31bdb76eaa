// Style-set files: the binary record (version 9 written, versions 1 to 9 read) and the key=value text
// form in a settings file. Both readers take their input as untrusted: lengths are checked against what
// the device still holds and a missing required key ends the reading. A reading that stops keeps the
// fields read until then; the field that failed keeps its old value.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "colour.h"
#include "config_file.h"
#include "errors.h"
#include "folder.h"
#include "style_set.h"

// ---------------------------------------------------------------------------------------------------
// Binary record

// The colours in stored order, with the first record version that holds each.
struct STORED_COLOUR {
  COLOUR WM_STYLE_SET::*field;
  INT_S32 from;
};
static const STORED_COLOUR stored_colours[15] = {
    {&WM_STYLE_SET::fg_colour, 1},          {&WM_STYLE_SET::bg_colour, 1},
    {&WM_STYLE_SET::fading_colour, 1},      {&WM_STYLE_SET::highlight_colour, 1},
    {&WM_STYLE_SET::highlight_text_colour, 1}, {&WM_STYLE_SET::active_colour, 1},
    {&WM_STYLE_SET::active_text_colour, 5}, {&WM_STYLE_SET::object_colour, 1},
    {&WM_STYLE_SET::mouse_over_colour, 2},  {&WM_STYLE_SET::mouse_over_text_colour, 2},
    {&WM_STYLE_SET::flashing_colour, 4},    {&WM_STYLE_SET::flashing_text_colour, 3},
    {&WM_STYLE_SET::disabled_colour, 9},    {&WM_STYLE_SET::disabled_text_colour, 9},
    {&WM_STYLE_SET::underline_colour, 8}};

// The sixteen-bit fields after the font id, in stored order.
static INT_S16 WM_STYLE_SET::* const stored_sizes[16] = {
    &WM_STYLE_SET::font_x_sz,        &WM_STYLE_SET::font_y_sz,        &WM_STYLE_SET::border_left_gap,
    &WM_STYLE_SET::border_right_gap, &WM_STYLE_SET::border_top_gap,   &WM_STYLE_SET::border_bottom_gap,
    &WM_STYLE_SET::cell_left_gap,    &WM_STYLE_SET::cell_right_gap,   &WM_STYLE_SET::cell_top_gap,
    &WM_STYLE_SET::cell_bottom_gap,  &WM_STYLE_SET::x_spacing,        &WM_STYLE_SET::y_spacing,
    &WM_STYLE_SET::scrollbar_button_width, &WM_STYLE_SET::scrollbar_slider_width,
    &WM_STYLE_SET::grid_scrollbar_width,   &WM_STYLE_SET::grid_two_tone_value};

static bool write_record_text(DATA_DEVICE* device, const char* text) {
  INT_U32 length = text ? static_cast<INT_U32>(std::strlen(text)) : 0;
  if (!device->write_u32(length)) return false;
  if (length == 0) return true;
  device->failed = device->write(text, static_cast<INT_S32>(length)) != static_cast<INT_S32>(length);
  return !device->failed;
}

bool WM_STYLE_SET::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  bool ok = device->write_u32(STYLE_SET_VERSION) && write_record_text(device, image_filename) &&
            write_record_text(device, name);
  if (ok) {
    char path[STYLE_SET_PATH_SIZE];
    std::memcpy(path, image_path, sizeof path);
    path[STYLE_SET_PATH_SIZE - 1] = 0;
    device->failed = device->write(path, STYLE_SET_PATH_SIZE) != STYLE_SET_PATH_SIZE;
    ok = !device->failed;
  }
  ok = ok && device->write_u32(shading_type);
  for (int i = 0; ok && i < 15; i++) ok = device->write_u32(this->*stored_colours[i].field);
  ok = ok && device->write_u8(visible) && device->write_u32(flags) && device->write_u32(extended_flags) &&
       device->write_u8(size_flags) && device->write_u16(shading_flags) && device->write_s8(font_id);
  for (int i = 0; ok && i < 16; i++) ok = device->write_s16(this->*stored_sizes[i]);
  if (!ok) set_error(DATA_ERROR_WRITE, "style set");
  return ok;
}

// Reads a u32 length and that many bytes into a new heap text; null for length 0. False (and *out null)
// when the length exceeds what the device holds, memory runs out or the bytes cannot be read.
static bool read_record_text(DATA_DEVICE* device, char** out) {
  *out = nullptr;
  INT_U32 length = 0;
  if (!device->read_u32(&length)) return false;
  if (length == 0) return true;
  if (length > device->bytes_left()) {
    device->failed = 1;
    return false;
  }
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (!text) {
    device->failed = 1;
    return false;
  }
  if (device->read(text, static_cast<INT_S32>(length)) != static_cast<INT_S32>(length)) {
    std::free(text);
    device->failed = 1;
    return false;
  }
  text[length] = 0;
  // A text with a zero byte inside is kept up to it; an empty one is no text.
  if (!text[0]) {
    std::free(text);
    return true;
  }
  *out = text;
  return true;
}

static bool read_failed() {
  set_error(DATA_ERROR_READ, "style set");
  return false;
}

static bool read_value(DATA_DEVICE* device, INT_U8* value) { return device->read_u8(value); }
static bool read_value(DATA_DEVICE* device, INT_S8* value) { return device->read_s8(value); }
static bool read_value(DATA_DEVICE* device, INT_U16* value) { return device->read_u16(value); }
static bool read_value(DATA_DEVICE* device, INT_S16* value) { return device->read_s16(value); }
static bool read_value(DATA_DEVICE* device, INT_U32* value) { return device->read_u32(value); }

// One field of the record: it takes the value only when the whole value was read.
template <typename T>
static bool read_field(DATA_DEVICE* device, T* field) {
  T value = 0;
  if (!read_value(device, &value)) return false;
  *field = value;
  return true;
}

// Reads one record of any version into s field by field; false at the first field that fails.
static bool read_record(WM_STYLE_SET* s, DATA_DEVICE* device) {
  INT_U32 stored_version = 0;
  if (!device->read_u32(&stored_version)) return false;
  INT_S32 version = static_cast<INT_S32>(stored_version);
  if (version > 9) version = 9;
  if (version < 2) version = 1;

  // Both texts go before either is read: a text that fails to read stays null.
  std::free(s->image_filename);
  s->image_filename = nullptr;
  std::free(s->name);
  s->name = nullptr;
  if (!read_record_text(device, &s->image_filename)) return false;
  if (!read_record_text(device, &s->name)) return false;

  if (version >= 6) {
    char path[STYLE_SET_PATH_SIZE];
    if (device->read(path, STYLE_SET_PATH_SIZE) != STYLE_SET_PATH_SIZE) {
      device->failed = 1;
      return false;
    }
    path[STYLE_SET_PATH_SIZE - 1] = 0;
    std::memset(s->image_path, 0, sizeof s->image_path);
    // An image folder that names an unknown path variable is dropped.
    if (is_builtin_path_text(path)) std::strcpy(s->image_path, path);
  } else {
    FOLDER folder;
    if (!folder.get_from_data_device(device)) return false;
    char text[FOLDER_PATH_SIZE];
    std::memset(text, 0, sizeof text);
    folder.get_portable_text(text, nullptr);
    text[FOLDER_PATH_SIZE - 1] = 0;
    std::memset(s->image_path, 0, sizeof s->image_path);
    std::strcpy(s->image_path, text);
  }

  if (!read_field(device, &s->shading_type)) return false;
  for (int i = 0; i < 15; i++) {
    if (version < stored_colours[i].from) {
      s->*stored_colours[i].field = COLOUR_INVISIBLE;
    } else if (!read_field(device, &(s->*stored_colours[i].field))) {
      return false;
    }
  }
  if (!read_field(device, &s->visible) || !read_field(device, &s->flags) || !read_field(device, &s->extended_flags))
    return false;
  if (version >= 7) {
    if (!read_field(device, &s->size_flags)) return false;
  } else {
    s->size_flags = 0xEE;
  }
  if (!read_field(device, &s->shading_flags) || !read_field(device, &s->font_id)) return false;
  for (int i = 0; i < 16; i++)
    if (!read_field(device, &(s->*stored_sizes[i]))) return false;
  return true;
}

bool WM_STYLE_SET::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  if (!read_record(this, device)) {
    if (!device->failed) device->failed = 1;
    return read_failed();
  }
  load_state_frames();
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Text form

struct FLAG_KEY {
  const char* key;
  INT_U32 bit;
};

static const FLAG_KEY ssf_keys[22] = {
    {"ssf_draw_border", ssf_draw_border},
    {"ssf_indent_border", ssf_indent_border},
    {"ssf_outstanding_border", ssf_outstanding_border},
    {"ssf_hfading", ssf_hfading},
    {"ssf_vfading", ssf_vfading},
    {"ssf_darkened_background", ssf_darkened_background},
    {"ssf_left_justify_text", ssf_left_justify_text},
    {"ssf_right_justify_text", ssf_right_justify_text},
    {"ssf_top_align_text", ssf_top_align_text},
    {"ssf_bottom_align_text", ssf_bottom_align_text},
    {"ssf_use_text_colour_for_outline", ssf_use_text_colour_for_outline},
    {"ssf_shadow_text", ssf_shadow_text},
    {"ssf_inset_text", ssf_inset_text},
    {"ssf_chiseled_text", ssf_chiseled_text},
    {"ssf_disabled", ssf_disabled},
    {"ssf_icon_left", ssf_icon_left},
    {"ssf_icon_right", ssf_icon_right},
    {"ssf_icon_top", ssf_icon_top},
    {"ssf_icon_bottom", ssf_icon_bottom},
    {"ssf_icon_attach_to_text", ssf_icon_attach_to_text},
    {"ssf_wrap_text", ssf_wrap_text},
    {"ssf_dont_resize_image", ssf_dont_resize_image}};

// Older names of extended flags, read only.
static const FLAG_KEY old_ssef_keys[15] = {
    {"ssf_invert_vfading_on_press", ssef_invert_vfading_on_press},
    {"ssf_indent_when_active", ssef_indent_when_active},
    {"ssf_left_arrow", ssef_left_arrow},
    {"ssf_right_arrow", ssef_right_arrow},
    {"ssf_up_arrow", ssef_up_arrow},
    {"ssf_down_arrow", ssef_down_arrow},
    {"ssf_auto_depress", ssef_auto_depress},
    {"ssf_auto_actiavte", ssef_auto_actiavte},
    {"ssf_sb_horizontal", ssef_sb_horizontal},
    {"ssf_sb_with_buttons", ssef_sb_with_buttons},
    {"ssf_te_password", ssef_te_password},
    {"ssf_grid_fix_top_row", ssef_grid_fix_top_row},
    {"ssf_grid_two_tone", ssef_grid_two_tone},
    {"ssf_grid_type_lines", ssef_grid_type_lines},
    {"ssf_grid_type_cells", ssef_grid_type_cells}};

static const FLAG_KEY ssef_keys[26] = {
    {"ssef_invert_vfading_on_press", ssef_invert_vfading_on_press},
    {"ssef_indent_when_active", ssef_indent_when_active},
    {"ssef_left_arrow", ssef_left_arrow},
    {"ssef_right_arrow", ssef_right_arrow},
    {"ssef_up_arrow", ssef_up_arrow},
    {"ssef_down_arrow", ssef_down_arrow},
    {"ssef_auto_depress", ssef_auto_depress},
    {"ssef_auto_actiavte", ssef_auto_actiavte},
    {"ssef_dont_mask_click", ssef_dont_mask_click},
    {"ssef_sb_horizontal", ssef_sb_horizontal},
    {"ssef_sb_with_buttons", ssef_sb_with_buttons},
    {"ssef_te_password", ssef_te_password},
    {"ssef_grid_fix_top_row", ssef_grid_fix_top_row},
    {"ssef_grid_two_tone", ssef_grid_two_tone},
    {"ssef_grid_type_lines", ssef_grid_type_lines},
    {"ssef_grid_type_cells", ssef_grid_type_cells},
    {"ssef_grid_scroll_by_line", ssef_grid_scroll_by_line},
    {"ssef_grid_no_scrollbar", ssef_grid_no_scrollbar},
    {"ssef_grid_only_draw_used_lines", ssef_grid_only_draw_used_lines},
    {"ssef_grid_dont_shorten_scrollbar", ssef_grid_dont_shorten_scrollbar},
    {"ssef_pb_only_draw_bar", ssef_pb_only_draw_bar},
    {"ssef_pb_vertical", ssef_pb_vertical},
    {"ssef_pb_no_shading", ssef_pb_no_shading},
    {"ssef_pb_position_text_on_bar", ssef_pb_position_text_on_bar},
    {"ssef_pb_draw_alt_percentage", ssef_pb_draw_alt_percentage},
    {"ssef_fm_hide_scrolling_arrows", ssef_fm_hide_scrolling_arrows}};

static const FLAG_KEY sssf_keys[8] = {
    {"sssf_retain_width", sssf_retain_width},
    {"sssf_retain_left_border", sssf_retain_left_border},
    {"sssf_retain_right_border", sssf_retain_right_border},
    {"sssf_retain_x_font_size", sssf_retain_x_font_size},
    {"sssf_retain_height", sssf_retain_height},
    {"sssf_retain_top_border", sssf_retain_top_border},
    {"sssf_retain_bottom_border", sssf_retain_bottom_border},
    {"sssf_retain_y_font_size", sssf_retain_y_font_size}};

struct COLOUR_KEY {
  const char* key;
  COLOUR WM_STYLE_SET::*field;
};
// The first six are required; a missing one of the others gives the invisible colour.
static const COLOUR_KEY colour_keys[14] = {
    {"fg_colour", &WM_STYLE_SET::fg_colour},
    {"bg_colour", &WM_STYLE_SET::bg_colour},
    {"fading_colour", &WM_STYLE_SET::fading_colour},
    {"highlight_colour", &WM_STYLE_SET::highlight_colour},
    {"highlight_text_colour", &WM_STYLE_SET::highlight_text_colour},
    {"active_colour", &WM_STYLE_SET::active_colour},
    {"active_text_colour", &WM_STYLE_SET::active_text_colour},
    {"mouse_over_colour", &WM_STYLE_SET::mouse_over_colour},
    {"mouse_over_text_colour", &WM_STYLE_SET::mouse_over_text_colour},
    {"flashing_colour", &WM_STYLE_SET::flashing_colour},
    {"flashing_text_colour", &WM_STYLE_SET::flashing_text_colour},
    {"disabled_colour", &WM_STYLE_SET::disabled_colour},
    {"disabled_text_colour", &WM_STYLE_SET::disabled_text_colour},
    {"underline_colour", &WM_STYLE_SET::underline_colour}};
const int REQUIRED_COLOUR_KEYS = 6;

COLOUR WM_STYLE_SET::*style_colour_field(const char* key) {
  for (const COLOUR_KEY& entry : colour_keys)
    if (key && std::strcmp(key, entry.key) == 0) return entry.field;
  return nullptr;
}

struct SIZE_KEY {
  const char* key;
  INT_S16 WM_STYLE_SET::*field;
};
static const SIZE_KEY size_keys[14] = {
    {"border_left_gap", &WM_STYLE_SET::border_left_gap},
    {"border_right_gap", &WM_STYLE_SET::border_right_gap},
    {"border_top_gap", &WM_STYLE_SET::border_top_gap},
    {"border_bottom_gap", &WM_STYLE_SET::border_bottom_gap},
    {"cell_left_gap", &WM_STYLE_SET::cell_left_gap},
    {"cell_right_gap", &WM_STYLE_SET::cell_right_gap},
    {"cell_top_gap", &WM_STYLE_SET::cell_top_gap},
    {"cell_bottom_gap", &WM_STYLE_SET::cell_bottom_gap},
    {"x_spacing", &WM_STYLE_SET::x_spacing},
    {"y_spacing", &WM_STYLE_SET::y_spacing},
    {"scrollbar_button_width", &WM_STYLE_SET::scrollbar_button_width},
    {"scrollbar_slider_width", &WM_STYLE_SET::scrollbar_slider_width},
    {"grid_scrollbar_width", &WM_STYLE_SET::grid_scrollbar_width},
    {"grid_two_tone_value", &WM_STYLE_SET::grid_two_tone_value}};

INT_S16 WM_STYLE_SET::*style_size_field(const char* key) {
  for (const SIZE_KEY& entry : size_keys)
    if (key && std::strcmp(key, entry.key) == 0) return entry.field;
  return nullptr;
}

// A flag key that is present sets its bit when the value's low byte is not 0 and clears it otherwise.
static void read_flag_keys(CONFIG_FILE* file, FOLDER* folder, const FLAG_KEY* keys, int count, INT_U32* bits) {
  for (int i = 0; i < count; i++) {
    INT_S32 value = 0;
    if (!file->get_int(folder, keys[i].key, &value, false)) continue;
    if (value & 0xFF)
      *bits |= keys[i].bit;
    else
      *bits &= ~keys[i].bit;
  }
}

// Reads the text form into s; false at the first required key that is missing. The state frames are
// loaded once the image file name and folder are known.
static bool read_text_fields(WM_STYLE_SET* s, CONFIG_FILE* file, STYLE_FONT_ID_CALLBACK font_id_callback,
                             void* user, FOLDER* folder) {
  char value[256];
  // A file that cannot be opened is no style file: the style stays as it was.
  bool named = file->get_string(folder, "name", value);
  if (!named && get_error_code() == DATA_ERROR_CONFIG_OPEN) return false;
  s->flags = 0;
  s->extended_flags = 0;
  s->size_flags = 0xEE;

  if (named) s->set_name(value);
  if (!file->get_string(folder, "image_filename", value)) return false;
  s->set_image_filename(value);
  if (!file->get_string(folder, "image_path", value)) return false;
  std::memset(s->image_path, 0, sizeof s->image_path);
  if (!is_builtin_path_text(value)) {
    // An image folder that names an unknown path variable is dropped.
  } else if (std::strncmp(value, "$HERE", 5) == 0) {
    if (folder) {
      FOLDER local;
      local.set(value, false, folder);
      char text[FOLDER_PATH_SIZE];
      std::memset(text, 0, sizeof text);
      local.get_portable_text(text, nullptr);
      text[FOLDER_PATH_SIZE - 1] = 0;
      std::strcpy(s->image_path, text);
    } else {
      std::strcpy(s->image_path, "$APP_DATA/config");
    }
  } else {
    std::strcpy(s->image_path, value);
  }
  s->load_state_frames();

  INT_S32 number = 0;
  if (!file->get_int(folder, "shading_type", &number, false)) return false;
  s->shading_type = static_cast<INT_U32>(number);
  for (int i = 0; i < 14; i++) {
    if (file->get_string(folder, colour_keys[i].key, value)) {
      parse_colour(&(s->*colour_keys[i].field), value);
    } else if (i < REQUIRED_COLOUR_KEYS) {
      return false;
    } else {
      s->*colour_keys[i].field = COLOUR_INVISIBLE;
    }
  }
  if (!file->get_int(folder, "visible", &number, false)) return false;
  s->visible = static_cast<INT_U8>(number & 0xFF);
  if (!file->get_int(folder, "shading_flags", &number, false)) return false;
  s->shading_flags = static_cast<INT_U16>(number & 0xFFFF);
  if (file->get_int(folder, "drawing_flags", &number, false)) {
    INT_U32 both = static_cast<INT_U32>(number);
    s->flags = both & 0xFFFF;
    s->extended_flags = both >> 16;
  }
  if (!file->get_int(folder, "font_id", &number, false)) return false;
  s->font_id = static_cast<INT_S8>(number & 0xFF);
  if (!file->get_int(folder, "font_x_sz", &number, false)) return false;
  s->font_x_sz = static_cast<INT_S16>(number & 0xFFFF);
  if (!file->get_int(folder, "font_y_sz", &number, false)) return false;
  s->font_y_sz = static_cast<INT_S16>(number & 0xFFFF);
  if (file->get_string(folder, "font_name", value) && value[0] && font_id_callback)
    s->font_id = static_cast<INT_S8>(font_id_callback(value, user) & 0xFF);
  for (int i = 0; i < 14; i++) {
    if (!file->get_int(folder, size_keys[i].key, &number, false)) return false;
    s->*size_keys[i].field = static_cast<INT_S16>(number & 0xFFFF);
  }
  read_flag_keys(file, folder, ssf_keys, 22, &s->flags);
  read_flag_keys(file, folder, old_ssef_keys, 15, &s->extended_flags);
  read_flag_keys(file, folder, ssef_keys, 26, &s->extended_flags);
  INT_U32 size_bits = s->size_flags;
  read_flag_keys(file, folder, sssf_keys, 8, &size_bits);
  s->size_flags = static_cast<INT_U8>(size_bits);
  return true;
}

bool WM_STYLE_SET::read_text(CONFIG_FILE* file, STYLE_FONT_ID_CALLBACK font_id_callback, void* user,
                             FOLDER* folder) {
  if (!file) return false;
  return read_text_fields(this, file, font_id_callback, user, folder);
}

static bool write_flag_keys(CONFIG_FILE* file, FOLDER* folder, const FLAG_KEY* keys, int count, INT_U32 bits) {
  for (int i = 0; i < count; i++)
    if (!file->set_int(folder, keys[i].key, (bits & keys[i].bit) ? 1 : 0, false)) return false;
  return true;
}

bool WM_STYLE_SET::write_text(CONFIG_FILE* file, STYLE_FONT_NAME_CALLBACK font_name_callback, void* user,
                              FOLDER* folder) {
  if (!file) return false;
  if (!file->set_string(folder, "name", name ? name : "")) return false;
  if (!file->set_string(folder, "image_filename", image_filename ? image_filename : "")) return false;
  char path[FOLDER_PATH_SIZE];
  std::memset(path, 0, sizeof path);
  if (folder && is_builtin_path_text(image_path)) {
    FOLDER local;
    local.set(image_path);
    folder->to_here_text(&local, path);
  } else {
    std::memcpy(path, image_path, sizeof path);
  }
  path[FOLDER_PATH_SIZE - 1] = 0;
  if (!file->set_string(folder, "image_path", path)) return false;
  if (!file->set_int(folder, "shading_type", static_cast<INT_S32>(shading_type), false)) return false;
  for (int i = 0; i < 14; i++) {
    char text[32];
    std::snprintf(text, sizeof text, "#%08X", static_cast<unsigned>(this->*colour_keys[i].field));
    if (!file->set_string(folder, colour_keys[i].key, text)) return false;
  }
  if (!file->set_int(folder, "visible", visible, false)) return false;
  if (!file->set_int(folder, "shading_flags", shading_flags, false)) return false;
  if (!file->set_int(folder, "font_id", font_id, false)) return false;
  if (!file->set_int(folder, "font_x_sz", font_x_sz, false)) return false;
  if (!file->set_int(folder, "font_y_sz", font_y_sz, false)) return false;
  const char* font_name = font_name_callback ? font_name_callback(font_id, user) : nullptr;
  if (!file->set_string(folder, "font_name", font_name ? font_name : "")) return false;
  for (int i = 0; i < 14; i++)
    if (!file->set_int(folder, size_keys[i].key, this->*size_keys[i].field, false)) return false;
  return write_flag_keys(file, folder, ssf_keys, 22, flags) &&
         write_flag_keys(file, folder, ssef_keys, 26, extended_flags) &&
         write_flag_keys(file, folder, sssf_keys, 8, size_flags);
}
