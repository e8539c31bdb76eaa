// List boxes: the three constructors over the menu button, the entries, the selection by index, value,
// pop-up or wheel with its one report in the next pass, the shown text cut to the button, and the grid's
// list-box cells.
#include "list_box.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "floating_menu.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "text_draw.h"
#include "velk_string.h"

WM_DIALOG_EFFECTS list_box_popup_effects = {DIALOG_SLIDE_OUT | DIALOG_EDGE_TOP, 100, 200, 224};

static WM_DIALOG_EFFECTS* popup_effects(WM_DIALOG_EFFECTS* effects) {
  return effects ? effects : &list_box_popup_effects;
}

WM_LIST_BOX::WM_LIST_BOX(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S32, INT_S16 count, const char** texts,
                         INT_S16 first_selected, WM_STYLE_SET* button_style, WM_STYLE_SET* popup_style, WM_STYLE_SET*,
                         WM_STYLE_SET* even_entry_style, WM_STYLE_SET* odd_entry_style, WM_STYLE_SET* up_arrow_style,
                         WM_STYLE_SET* down_arrow_style, WM_LIST_BOX_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                         WM_DIALOG_EFFECTS* effects)
    : WM_MENU(x1, y1, x2, y2, "", MENU_BELOW, button_style, popup_style, even_entry_style, odd_entry_style, nullptr,
              up_arrow_style, down_arrow_style, popup_effects(effects), nullptr),
      value(0), selection_callback(callback), selection_user1(user1), selection_user2(user2) {
  init(count, texts, first_selected);
}

WM_LIST_BOX::WM_LIST_BOX(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S32, INT_S16 count, const char** texts,
                         INT_S16 first_selected, WM_STYLE_SET* button_style, WM_STYLE_SET*, WM_STYLE_SET* popup_style,
                         WM_STYLE_SET*, WM_STYLE_SET* even_entry_style, WM_LIST_BOX_CALLBACK callback, INT_U32 user1,
                         INT_U32 user2, WM_STYLE_SET* odd_entry_style, WM_DIALOG_EFFECTS* effects)
    : WM_MENU(x1, y1, x2, y2, "", MENU_BELOW, button_style, popup_style, even_entry_style, odd_entry_style, nullptr,
              nullptr, nullptr, popup_effects(effects), nullptr),
      value(0), selection_callback(callback), selection_user1(user1), selection_user2(user2) {
  init(count, texts, first_selected);
}

WM_LIST_BOX::WM_LIST_BOX(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S32, INT_S16 count, const char** texts,
                         INT_S16 first_selected, const COLOUR* background, const COLOUR* text, const COLOUR* highlight,
                         INT_U8 new_visible, WM_LIST_BOX_CALLBACK callback, INT_U32 user1, INT_U32 user2,
                         WM_DIALOG_EFFECTS* effects)
    : WM_MENU(x1, y1, x2, y2, background, text, highlight, text, "", new_visible, MENU_BELOW, popup_effects(effects)),
      value(0), selection_callback(callback), selection_user1(user1), selection_user2(user2) {
  init(count, texts, first_selected);
  const INT_U32 face = bf_left_justify_text | bf_down_arrow;
  if (button_flags != face) {
    if (visible) show();
    button_flags = face;
  }
}

WM_LIST_BOX::~WM_LIST_BOX() {}

void WM_LIST_BOX::init(INT_S16 count, const char** texts, INT_S16 first_selected) {
  kind |= WM_KIND_LIST_BOX;
  call_screen_object_created_hook(this);
  show_icon = 1;
  entry_count = 0;
  resized = 0;
  pointer_was_over = 0;
  notify = 0;
  selected = -1;
  reported = -1;
  for (INT_S16 i = 0; texts && i < count; i++) {
    // Entry i must be row i: an entry the pop-up refuses is not counted.
    if (popup && !popup->add_entry(texts[i], on_entry, object_handle(this), (INT_U32)i, false)) continue;
    place_popup();
    entry_count++;
  }
  select(first_selected, true);
}

// Value, icon and text from the selected entry.
static void refresh_shown(WM_LIST_BOX* box) {
  WM_BUTTON* entry = box->popup ? box->popup->get_entry(box->selected) : nullptr;
  const char* text = "";
  if (entry) {
    box->value = (INT_S32)entry->event_user2;
    text = entry->label ? entry->label : "";
    if (box->show_icon) {
      box->icon.set_size(entry->icon.width, entry->icon.height);
      if (entry->icon.width > 0 && entry->icon.height > 0)
        box->icon.blit(&entry->icon, 0, 0, 0, 0, entry->icon.width, entry->icon.height, BLIT_COPY);
      if (box->visible) box->show();
    }
  }
  box->set_shown_text(text);
}

void WM_LIST_BOX::set_shown_text(const char* text) {
  IMAGE* target = draw_target;
  INT_S8 font = font_id != -1 || !target ? font_id : target->default_font_id;
  INT_S16 fx = font_x_size != -1 || !target ? font_x_size : target->default_font_x_size;
  INT_S16 fy = font_y_size != -1 || !target ? font_y_size : target->default_font_y_size;
  if (!text) {
    set_text("", false);
    return;
  }
  INT_S32 room = get_width() - left_gap - right_gap;
  if (text_width(target, font, fx, fy, text, -1, false) <= room) {
    set_text(text, false);
    return;
  }
  // Whole characters go from its end until the rest fits: a wide character is never cut into its stored
  // form, nor a character beyond U+FFFF into its halves.
  std::vector<size_t> ends;
  WIDE_RUN_READER reader(text);
  INT_U32 code;
  while (reader.next_character(&code))
    ends.push_back((size_t)(reader.position() - (reader.unit_in_run && reader.after_comma ? 1 : 0)));
  std::string cut;
  for (size_t kept = ends.size(); kept > 0; kept--) {
    cut.assign(text, ends[kept - 1]);
    if (text_width(target, font, fx, fy, cut.c_str(), -1, false) <= room) break;
    cut.clear();
  }
  set_text(cut.c_str(), false);
}

void WM_LIST_BOX::select(INT_S16 index, bool quiet) {
  if (entry_count < 1) return;
  if (index < 0) index = 0;
  if (index > entry_count - 1) index = (INT_S16)(entry_count - 1);
  if (index == selected) return;
  selected = index;
  refresh_shown(this);
  if (visible) show();
  notify = quiet ? 0 : 1;
}

void WM_LIST_BOX::select_value(INT_S32 wanted, bool quiet) {
  for (INT_S16 i = 0; popup && i < entry_count; i++) {
    WM_BUTTON* entry = popup->get_entry(i);
    if (entry && (INT_S32)entry->event_user2 == wanted) {
      select(i, quiet);
      return;
    }
  }
}

void WM_LIST_BOX::show_selection() { refresh_shown(this); }

WM_BUTTON* WM_LIST_BOX::add_item(const char* text, INT_S32 item_value, bool submenu, bool use_value,
                                 bool separator_before) {
  if (!text) return nullptr;
  if (separator_before) entry_count++;
  WM_BUTTON* entry = nullptr;
  if (!submenu) {
    INT_U32 v = use_value ? (INT_U32)item_value : (INT_U32)entry_count;
    if (popup) entry = popup->add_entry(text, on_entry, object_handle(this), v, separator_before);
  } else if (popup) {
    entry = popup->add_submenu(text, separator_before, false, nullptr, nullptr);
  }
  if (popup && !entry) {
    // Refused by the pop-up: the count follows the rows it holds.
    entry_count = popup->entry_count;
    return nullptr;
  }
  place_popup();
  if (selected == entry_count || (separator_before && selected == entry_count - 1)) refresh_shown(this);
  entry_count++;
  return entry;
}

WM_RESULT WM_LIST_BOX::on_entry(WM_SCREEN_OBJECT* entry, INT_U32 box_handle, INT_U32, int) {
  WM_SCREEN_OBJECT* object = object_from_handle(box_handle);
  if (!object || !(object->kind & WM_KIND_LIST_BOX)) return 0;
  WM_LIST_BOX* box = static_cast<WM_LIST_BOX*>(object);
  if (!box->popup) return 0;
  INT_S16 index = -1;
  for (INT_S16 i = 0; i < box->popup->entry_count; i++)
    if (box->popup->get_entry(i) == entry) {
      index = i;
      break;
    }
  if (index < 0) return 0;
  if (box->entry_count > 0) {
    if (index > box->entry_count - 1) index = (INT_S16)(box->entry_count - 1);
  }
  if (index == box->selected) return 0;
  box->selected = index;
  refresh_shown(box);
  if (box->visible) box->show();
  box->notify = 1;
  return 0;
}

WM_RESULT WM_LIST_BOX::process() {
  WM_DELETE_GUARD guard(this);
  WM_RESULT result = WM_MENU::process();
  if (result != 0 || guard.deleted) return result;
  bool over = contains_point(MOUSE_HANDLER::pointer_x, MOUSE_HANDLER::pointer_y);
  // Turns made before the pointer arrived are dropped.
  if (over && !pointer_was_over) MOUSE_HANDLER::wheel_notches = 0;
  pointer_was_over = over ? 1 : 0;
  INT_S32 notches = MOUSE_HANDLER::wheel_notches;
  if (over && notches != 0) {
    MOUSE_HANDLER::wheel_notches = 0;
    if (entry_count > 0) {
      INT_S32 index = selected - notches;  // a turn away from the user moves up the list
      if (index < 0) index = 0;
      if (index > entry_count - 1) index = entry_count - 1;
      if (index != selected) {
        selected = (INT_S16)index;
        refresh_shown(this);
        if (visible) show();
        notify = 1;
      }
    }
  }
  if (selected != reported || resized) {
    resized = 0;
    refresh_shown(this);
    if (selected != reported) {
      if (notify && selection_callback) {
        INT_U8 held = armed;
        armed = 1;
        result = selection_callback(this, selection_user1, selection_user2);
        if (guard.deleted) return result;
        armed = held;
      }
      reported = selected;
    }
  }
  return result;
}

void WM_LIST_BOX::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  if (new_width == width && new_height == height) return;
  WM_MENU::resize(new_width, new_height, resize_children);
  resized = 1;
}

WM_LIST_BOX* WM_GRID::add_list_box(INT_S16 column, INT_S16 row, INT_S16 unused1, INT_S16 count, const char** texts,
                                   INT_S16 first_selected, WM_STYLE_SET* button_style, WM_STYLE_SET* unused2,
                                   WM_STYLE_SET* popup_style, WM_STYLE_SET* unused3, WM_STYLE_SET* even_entry_style,
                                   int (*callback)(WM_LIST_BOX*, INT_U32, INT_U32), INT_U32 user1, INT_U32 user2,
                                   WM_STYLE_SET* odd_entry_style, WM_DIALOG_EFFECTS* effects) {
  INT_S16 x1, y1, x2, y2;
  cell_rectangle(column, row, &x1, &y1, &x2, &y2);
  WM_LIST_BOX* box = new (std::nothrow)
      WM_LIST_BOX(x1, y1, x2, y2, unused1, count, texts, first_selected, button_style, unused2, popup_style, unused3,
                  even_entry_style, callback, user1, user2, odd_entry_style, effects);
  if (!box) return nullptr;
  return static_cast<WM_LIST_BOX*>(set_cell(column, row, box));
}
