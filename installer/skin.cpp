// The installer's skin: loading a skin folder of ".ss" style files, icons and "dialog_effects.cfg",
// writing and reading the skin stream (the image cache, then the skin items that "database.bin" carries
// in the same order), and reading a skin attached to the program's own file.
#include "database.h"

#include <cstdlib>
#include <cstring>

#include "button.h"
#include "config_file.h"
#include "data_file.h"
#include "dialog.h"
#include "engine.h"
#include "errors.h"
#include "file_select.h"
#include "image_cache.h"
#include "style_set.h"

// Member style sets in the order the stream holds them.
static const int stream_style_order[DATABASE::STYLE_COUNT] = {
    DATABASE::CHECK_BOX_STYLE,     DATABASE::PROGRESS_BAR_STYLE, DATABASE::PROGRESS_BAR_SCRIPT_STYLE,
    DATABASE::MENU_DROPDOWN_STYLE, DATABASE::MENU_BUTTON_STYLE,  DATABASE::MENU_ITEM_STYLE,
    DATABASE::MENU_ALT_ITEM_STYLE, DATABASE::DIALOG_TEXT_STYLE,  DATABASE::SCROLLBAR_STYLE,
    DATABASE::TEXT_TITLE_STYLE,    DATABASE::TEXT_STYLE,         DATABASE::TITLE_STYLE,
    DATABASE::OPTIONS_STYLE,       DATABASE::OPTIONS_ALT_STYLE};

const int GLOBAL_STYLE_COUNT = 4;
const int PROGRESS_BAR_RATE_COUNT = 3;

// ---------------------------------------------------------------------------------------------------
// The skin items of a stream

// After each item the device's failed flag tells whether it was written.
static bool item_written(DATA_DEVICE* device, bool written) {
  device->failed = written ? 0 : 1;
  return written;
}

bool DATABASE::write_skin_items(DATA_DEVICE* device) {
  for (int i = 0; i < STYLE_COUNT; i++)
    if (!item_written(device, style_set(stream_style_order[i])->put_to_data_device(device))) return false;
  for (int i = 0; i < ICON_COUNT; i++)
    if (!item_written(device, skin_icons[i].put_to_data_device(device))) return false;
  // The global styles go through a scratch style set; the default dialog styles are written as they
  // will be used, adjusted once first.
  WM_STYLE_SET scratch;
  const WM_STYLE_SET_INSTANCE* globals[GLOBAL_STYLE_COUNT] = {
      &default_dialog_window_style, &default_dialog_title_style, &default_dialog_button_style, &button_hint_style};
  for (int i = 0; i < GLOBAL_STYLE_COUNT; i++) {
    if (i < 3) adjust_default_styles();
    WM_STYLE_SET::copy(&scratch, *globals[i]);
    if (!item_written(device, scratch.put_to_data_device(device))) return false;
  }
  if (!item_written(device, default_dialog_effects.put_to_data_device(device))) return false;
  return item_written(device, device->write_u16(progress_bar_animation_x_rate) &&
                                  device->write_u16(progress_bar_animation_y_rate) &&
                                  device->write_u16(progress_bar_animation_update_rate));
}

// Where the skin items of a stream go as they are read.
struct SKIN_TARGETS {
  WM_STYLE_SET* styles[DATABASE::STYLE_COUNT];  // in stream order
  IMAGE* icons[DATABASE::ICON_COUNT];
  WM_STYLE_SET* globals[GLOBAL_STYLE_COUNT];    // window, title, button, hint
  WM_DIALOG_EFFECTS* effects;
  INT_U16* rates[PROGRESS_BAR_RATE_COUNT];
};

static bool read_items(DATA_DEVICE* device, INT_U8 version, const SKIN_TARGETS& into) {
  for (WM_STYLE_SET* style : into.styles)
    if (!style->get_from_data_device(device)) return false;
  for (IMAGE* icon : into.icons)
    if (!icon->get_from_data_device(device)) return false;
  for (WM_STYLE_SET* style : into.globals)
    if (!style->get_from_data_device(device)) return false;
  if (version >= 4 && !into.effects->get_from_data_device(device)) return false;
  if (version >= 5) {
    for (INT_U16* rate : into.rates)
      if (!device->read_u16(rate)) return false;
  }
  return true;
}

bool DATABASE::read_skin_items(DATA_DEVICE* device, INT_U8 version, SKIN_GLOBALS* globals) {
  SKIN_TARGETS into;
  for (int i = 0; i < STYLE_COUNT; i++) into.styles[i] = style_set(stream_style_order[i]);
  for (int i = 0; i < ICON_COUNT; i++) into.icons[i] = &skin_icons[i];
  into.globals[0] = &globals->window_style;
  into.globals[1] = &globals->title_style;
  into.globals[2] = &globals->button_style;
  into.globals[3] = &globals->hint_style;
  into.effects = &globals->effects;
  into.rates[0] = &progress_bar_animation_x_rate;
  into.rates[1] = &progress_bar_animation_y_rate;
  into.rates[2] = &progress_bar_animation_update_rate;
  globals->has_effects = 0;
  if (!read_items(device, version, into)) return false;
  globals->has_effects = version >= 4 ? 1 : 0;
  return true;
}

void SKIN_GLOBALS::apply() {
  const WM_STYLE_SET_INSTANCE* targets[3] = {&default_dialog_window_style, &default_dialog_title_style,
                                             &default_dialog_button_style};
  WM_STYLE_SET* sources[3] = {&window_style, &title_style, &button_style};
  for (int i = 0; i < 3; i++) {
    adjust_default_styles();
    WM_STYLE_SET::copy(*targets[i], sources[i]);
  }
  WM_STYLE_SET::copy(button_hint_style, &hint_style);
  button_hint_style_ready = 1;
  if (has_effects) default_dialog_effects = effects;
}

// ---------------------------------------------------------------------------------------------------
// The skin stream

bool DATABASE::write_skin(DATA_DEVICE* device) {
  if (!device) return false;
  if (!item_written(device, image_cache->put_to_data_device(device))) return false;
  return write_skin_items(device);
}

// Reads a whole skin stream into throwaway objects: true when it is complete. Meanwhile style sets only
// look their frames up in the cache, never load them from files.
static bool skim_skin_stream(DATA_DEVICE* device) {
  IMAGE_CACHE cache;
  WM_STYLE_SET style;
  IMAGE icon;
  WM_DIALOG_EFFECTS effects;
  INT_U16 rate = 0;
  SKIN_TARGETS into;
  for (WM_STYLE_SET*& target : into.styles) target = &style;
  for (IMAGE*& target : into.icons) target = &icon;
  for (WM_STYLE_SET*& target : into.globals) target = &style;
  into.effects = &effects;
  for (INT_U16*& target : into.rates) target = &rate;
  INT_U8 flags = style_frame_cache_flags;
  style_frame_cache_flags = CACHE_FIND_ONLY;
  bool complete = cache.get_from_data_device(device) && read_items(device, DATABASE_VERSION, into);
  style_frame_cache_flags = flags;
  return complete;
}

static bool skin_read_failed(DATA_DEVICE* device) {
  device->failed = 1;
  set_error(DATA_ERROR_READ, "skin");
  return false;
}

bool DATABASE::read_skin(DATA_DEVICE* device) {
  if (!device) return false;
  // A damaged skin must not leave a half-replaced one behind: the stream is read through once before
  // anything is replaced.
  INT_U32 start = device->tell();
  if (!skim_skin_stream(device)) return skin_read_failed(device);
  device->seek((INT_S32)start, false);
  SKIN_GLOBALS globals;
  if (!image_cache->get_from_data_device(device) || !read_skin_items(device, DATABASE_VERSION, &globals))
    return skin_read_failed(device);
  globals.apply();
  fill_file_select_icons();
  return true;
}

// The target takes the icon's size and pixels.
static void copy_icon(IMAGE* target, IMAGE* icon) {
  target->set_size(icon->width, icon->height);
  if (icon->pixels && target->pixels) target->blit(icon, 0, 0, 0, 0, icon->width, icon->height, BLIT_COPY);
}

void DATABASE::fill_file_select_icons() {
  for (int kind = 0; kind < FILE_SELECT_DRIVE_ICON_COUNT; kind++)
    copy_icon(file_select_drive_icon(kind), &skin_icons[disk_icon + kind]);
  copy_icon(file_select_parent_icon(), &skin_icons[parent_folder_icon]);
  copy_icon(file_select_file_icon(), &skin_icons[file_icon]);
  copy_icon(file_select_folder_icon(), &skin_icons[folder_icon]);
}

// ---------------------------------------------------------------------------------------------------
// The skin folder

// A value of "dialog_effects.cfg": a decimal number (its low 32 bits), else absent.
static bool read_decimal(CONFIG_FILE* settings, FOLDER* folder, const char* key, INT_S32* value) {
  char text[256];
  if (!settings->get_string(folder, key, text)) return false;
  char* end = nullptr;
  long long number = std::strtoll(text, &end, 10);  // out of range: the nearest limit
  if (end == text) return false;
  *value = (INT_S32)(INT_U32)(unsigned long long)number;
  return true;
}

void DATABASE::load_skin(const char* folder_text) {
  WM_STYLE_SET scratch;
  CONFIG_FILE settings;
  FOLDER skin;
  std::strncpy(SKIN.path, folder_text ? folder_text : "", sizeof SKIN.path - 1);
  SKIN.path[sizeof SKIN.path - 1] = 0;
  // A folder that cannot be reached is no skin at all: FOLDER::set would leave a parent folder behind.
  bool found = folder_text && set_known_folder(&skin, folder_text, false);

  FOLDER sub;
  auto enter = [&](const char* name) {
    sub = skin;
    return found && sub.enter(name);
  };
  // A style file that is missing leaves its target as it was; one that is incomplete keeps what it
  // gave before the missing key. The file is read once, into the settings cache, for all its keys.
  auto read = [&](WM_STYLE_SET* style, const char* file) {
    settings.init(file, true);
    return style->read_text(&settings, nullptr, nullptr, &sub);
  };
  // One scratch style set serves "button.ss", "button_hints.ss", "background.ss" and "title.ss" in
  // turn, so an entry a later file lacks keeps what an earlier one (or the defaults) gave it.
  auto replace_default = [&](const WM_STYLE_SET_INSTANCE& target, const char* file) {
    read(&scratch, file);
    adjust_default_styles();
    WM_STYLE_SET::copy(target, &scratch);
  };

  if (enter("button")) {
    replace_default(default_dialog_button_style, "button.ss");
    if (read(&scratch, "button_hints.ss")) {
      WM_STYLE_SET::copy(button_hint_style, &scratch);
      button_hint_style_ready = 1;
    }
    read(&menu_button_style, "menu_button.ss");
  }
  if (enter("menu")) {
    read(&menu_dropdown_style, "menu_dropdown.ss");
    read(&menu_item_style, "menu_item.ss");
    read(&menu_alt_item_style, "menu_alt_item.ss");
  }
  if (enter("check_box")) read(&check_box_style, "check_box.ss");
  if (enter("progress_bar")) {
    read(&progress_bar_style, "progress_bar.ss");
    read(&progress_bar_script_style, "progress_bar_script.ss");
  }
  if (enter("dialog")) {
    replace_default(default_dialog_window_style, "background.ss");
    read(&dialog_text_style, "text.ss");
    replace_default(default_dialog_title_style, "title.ss");
  }
  if (enter("options")) read(&options_style, "options.ss");
  if (enter("text_win")) {
    read(&scrollbar_style, "scrollbar.ss");
    read(&text_title_style, "text_title.ss");
    read(&text_style, "text.ss");
  }
  if (enter("title")) read(&title_style, "title.ss");
  bool loaded[ICON_COUNT] = {};
  if (enter("icons")) {
    for (int i = 0; i < ICON_COUNT; i++) loaded[i] = skin_icons[i].load(&sub, icon_name(i), -1, -1);
  }
  // The file selector's icons may also lie in "disk".
  if (enter("disk")) {
    for (int i = disk_icon; i < ICON_COUNT; i++)
      if (!loaded[i]) skin_icons[i].load(&sub, icon_name(i), -1, -1);
  }

  WM_DIALOG_EFFECTS effects = default_dialog_effects;
  progress_bar_animation_x_rate = 0;
  progress_bar_animation_y_rate = 0;
  progress_bar_animation_update_rate = 0;
  settings.init("dialog_effects.cfg", true);
  if (found && settings.can_open(&skin)) {
    INT_S32 value = 0;
    if (read_decimal(&settings, &skin, "flags", &value)) effects.flags = (INT_U32)value & 0xFFFF;
    if (read_decimal(&settings, &skin, "open_delay", &value)) effects.open_delay = (INT_U32)value;
    if (read_decimal(&settings, &skin, "display_delay", &value)) effects.display_delay = (INT_U32)value;
    if (read_decimal(&settings, &skin, "dragging_alpha", &value)) effects.dragging_alpha = (INT_U32)value & 0xFF;
    if (read_decimal(&settings, &skin, "progress_bar_animation_x_rate", &value))
      progress_bar_animation_x_rate = (INT_U16)value;
    if (read_decimal(&settings, &skin, "progress_bar_animation_y_rate", &value))
      progress_bar_animation_y_rate = (INT_U16)value;
    if (read_decimal(&settings, &skin, "progress_bar_animation_update_rate", &value))
      progress_bar_animation_update_rate = (INT_U16)value;
  }
  default_dialog_effects = effects;
}

// ---------------------------------------------------------------------------------------------------
// A skin attached to the program's own file

bool DATABASE::load_skin_file() {
  // The folder is the text before the last '/' (the program's folder "$APP" when there is none or it
  // does not exist), the file name the rest.
  FOLDER folder;
  const char* slash = std::strrchr(program_file_text, '/');
  const char* name = slash ? slash + 1 : program_file_text;
  if (!name[0]) return false;
  if (slash) {
    char text[DATABASE_PATH_SIZE];
    std::memcpy(text, program_file_text, (size_t)(slash - program_file_text));
    text[slash - program_file_text] = 0;
    FOLDER named;
    if (set_known_folder(&named, text, false)) folder = named;
  }
  ATTACHED_DATA attached;
  if (!locate_attached_data(&folder, name, &attached) || !attached.skin_attached) return false;

  DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_READ, 0, false);
  if (!file) return false;
  file->seek((INT_S32)attached.skin_position, false);
  INT_U8 order = 0;
  if (file->read(&order, 1) != 1) {
    close_data_file(&file);
    return false;
  }
  if (order != 0) {
    // A skin written in the other byte order: the file is opened again with every value swapped. The
    // byte is no byte-order header of the program's file, so positions still count from its start.
    close_data_file(&file);
    file = open_data_file(&folder, name, FILE_MODE_READ, 1, false);
    if (!file) return false;
    file->seek((INT_S32)attached.skin_position + 1, false);
  }
  bool read = read_skin(file);
  close_data_file(&file);
  return read;
}
