// Screen check: the walk over the shown objects (the area root, the top-level list, the visible rows of
// grids, children), the texts each kind of object shows with their rooms and boxes, and the checks of
// fit, place, overlap and contrast.
#include "screen_check.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "button.h"
#include "check_box.h"
#include "dialog.h"
#include "grid.h"
#include "host.h"
#include "image.h"
#include "image_object.h"
#include "page_manager.h"
#include "progress_bar.h"
#include "redraw.h"
#include "script.h"
#include "scroll_bar.h"
#include "text_draw.h"
#include "text_win.h"

namespace {

// An inclusive rectangle of the screen; empty when a far edge lies before the near one.
struct BOX {
  int x1 = 0, y1 = 0, x2 = -1, y2 = -1;
  bool empty() const { return x2 < x1 || y2 < y1; }
  int width() const { return x2 - x1 + 1; }
  int height() const { return y2 - y1 + 1; }
};

BOX box_of(WM_SCREEN_OBJECT* object) {
  return {object->x, object->y, object->x + object->width - 1, object->y + object->height - 1};
}
BOX meet(const BOX& a, const BOX& b) {
  return {std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2), std::min(a.y2, b.y2)};
}
bool inside(const BOX& inner, const BOX& outer) {
  return inner.x1 >= outer.x1 && inner.y1 >= outer.y1 && inner.x2 <= outer.x2 && inner.y2 <= outer.y2;
}
bool overlap(const BOX& a, const BOX& b) { return !a.empty() && !b.empty() && !meet(a, b).empty(); }

// One shown object: its layer (0 the area, n the n-th top-level object), what its ancestors leave visible
// of the screen, and its ancestors, nearest first, each with the box it allows its content.
struct SHOWN {
  WM_SCREEN_OBJECT* object;
  int layer;
  BOX clip;
  std::vector<std::pair<WM_SCREEN_OBJECT*, BOX>> ancestors;
};

struct FONT {
  INT_S8 id;
  INT_S16 x_size, y_size;
};

// One shown text: the room the object lets it have, and the box its alignment puts it in.
struct TEXT {
  const SHOWN* owner;
  std::string text;
  BOX room, box;
  INT_U32 colour;
  bool enabled;  // a disabled control's text is greyed on purpose: judged by what it leaves on the screen
  FONT font;
  std::string whole;  // the object's text, of which a path shows only part
};

// What another text must not run into: a control's rectangle or a text drawn on no ground of its own.
struct OBSTACLE {
  const SHOWN* owner;
  BOX box;
  const TEXT* text;
};

std::string text_of_object(WM_SCREEN_OBJECT* object) {
  const char* text = nullptr;
  if (object->kind & WM_KIND_DIALOG) text = static_cast<WM_DIALOG*>(object)->get_title();
  else if (object->kind & WM_KIND_BUTTON) text = static_cast<WM_BUTTON*>(object)->label;
  else if (object->kind & WM_KIND_SCRIPT) {
    const PARAMETER& shown = static_cast<WM_SCRIPT*>(object)->text;
    if (shown.type == STRING_TYPE) text = shown.value.text;
  }
  std::string result = text ? text : "";
  return result.size() > 48 ? result.substr(0, 45) + "..." : result;
}

std::string describe(WM_SCREEN_OBJECT* object) {
  static const struct {
    INT_U32 kind;
    const char* name;
  } names[] = {{WM_KIND_FILE_SELECT, "file selector"}, {WM_KIND_ABOUT, "about box"}, {WM_KIND_CONFIRM, "message box"},
               {WM_KIND_DIALOG, "dialog"},           {WM_KIND_CHECK_BOX, "check box"}, {WM_KIND_GRID, "grid"},
               {WM_KIND_TEXT_WIN, "text window"},    {WM_KIND_PROGRESS_BAR, "progress bar"},
               {WM_KIND_TEXT_EDIT, "text edit"},     {WM_KIND_SCROLLBAR, "scroll bar"}, {WM_KIND_MENU, "menu"},
               {WM_KIND_BUTTON, "button"},           {WM_KIND_SCRIPT, "text"},        {WM_KIND_IMAGE, "image"}};
  std::string name = "object";
  for (const auto& entry : names)
    if (object->kind & entry.kind) {
      name = entry.name;
      break;
    }
  std::string text = text_of_object(object);
  return text.empty() ? name : name + " \"" + text + "\"";
}

// The object, the check box it belongs to and the dialog it sits in.
std::string describe(const SHOWN& shown) {
  std::string result = describe(shown.object);
  for (const auto& ancestor : shown.ancestors)
    if (ancestor.first->kind & WM_KIND_CHECK_BOX) {
      result += " of check box \"" + text_of_object(static_cast<WM_CHECK_BOX*>(ancestor.first)->label) + "\"";
      break;
    }
  for (const auto& ancestor : shown.ancestors)
    if (ancestor.first->kind & WM_KIND_DIALOG) return result + " in " + describe(ancestor.first);
  return result;
}

// The object and everything shown inside it, in drawing order: children, and the cells of a grid's
// visible rows with its scroll bar.
void walk(WM_SCREEN_OBJECT* object, int layer, const BOX& clip,
          const std::vector<std::pair<WM_SCREEN_OBJECT*, BOX>>& ancestors, std::vector<SHOWN>* out) {
  if (!object || !object->visible) return;
  out->push_back({object, layer, clip, ancestors});
  BOX allowed = box_of(object);
  std::vector<WM_SCREEN_OBJECT*> children;
  if (object->kind & WM_KIND_GRID) {
    WM_GRID* grid = static_cast<WM_GRID*>(object);
    const WM_STYLE_SET& s = grid->style;
    allowed = {grid->x + s.border_left_gap, grid->y + s.border_top_gap, grid->x + grid->width - s.border_right_gap - 1,
               grid->y + grid->height - s.border_bottom_gap - 1};
    for (INT_S32 r = grid->first_visible_row; r >= 0 && r <= grid->last_visible_row && r < grid->row_count; r++)
      for (INT_S16 c = 0; c < grid->rows[r]->cell_count; c++) children.push_back(grid->rows[r]->cells[c]);
    if (grid->scrollbar) out->push_back({grid->scrollbar, layer, clip, ancestors});
  }
  for (LLIST_NODE* node = object->children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (!is_top_level(child)) children.push_back(child);
  }
  std::vector<std::pair<WM_SCREEN_OBJECT*, BOX>> inner = ancestors;
  inner.insert(inner.begin(), {object, allowed});
  for (WM_SCREEN_OBJECT* child : children) walk(child, layer, meet(clip, allowed), inner, out);
}

bool blank(const char* text) { return !text || std::strspn(text, " ") == std::strlen(text); }

FONT font_of(INT_S8 id, INT_S16 x_size, INT_S16 y_size) {
  FONT font;
  choose_widget_font(id, x_size, y_size, &font.id, &font.x_size, &font.y_size);
  return font;
}

// A box of width x height in the room, by the alignment (neither side given centres).
BOX place(const BOX& room, int width, int height, bool left, bool right, bool top, bool bottom) {
  int x = left ? room.x1 : right ? room.x2 - width + 1 : room.x1 + (room.width() - width) / 2;
  int y = top ? room.y1 : bottom ? room.y2 - height + 1 : room.y1 + (room.height() - height) / 2;
  return {x, y, x + width - 1, y + height - 1};
}

// The size a text takes in the font: one line, or wrapped into the room's width by the text module's line
// breaking (its last line may end with the ellipsis that shortens it on purpose).
void measure(const char* text, INT_S32 length, const FONT& font, bool wrapped, const BOX& room, int* width,
             int* height) {
  if (!wrapped) {
    *width = text_width(draw_target, font.id, font.x_size, font.y_size, text, length, false);
    *height = font.y_size;
    return;
  }
  TEXT_LINE lines[TEXT_MAX_LINES];
  INT_S32 count = layout_text_in_box(draw_target, room.width(), room.height() / std::max<int>(font.y_size, 1),
                                     font.id, font.x_size, font.y_size, text, lines);
  int ellipsis = text_width(draw_target, font.id, font.x_size, font.y_size, "...", -1, false);
  int dash = text_width(draw_target, font.id, font.x_size, font.y_size, "-", -1, false);
  *width = 0;
  for (INT_S32 i = 0; i < count; i++)
    *width = std::max<int>(*width, lines[i].width + ((lines[i].flags & TEXT_LINE_ELLIPSIS) ? ellipsis
                                                     : (lines[i].flags & TEXT_LINE_DASH)   ? dash
                                                                                           : 0));
  *height = count * font.y_size;
}

// A text, or with path or name, the path or name as its object shows it in the room (the text module's
// shortening).
void add_text(std::vector<TEXT>* texts, const SHOWN& shown, const char* text, INT_S32 length, const FONT& font,
              BOX room, bool wrapped, bool left, bool right, bool top, bool bottom, INT_U32 colour, bool enabled,
              int extra_width = 0, bool path = false, bool name = false, size_t path_start = 0) {
  std::string whole = length < 0 ? std::string(text) : std::string(text, (size_t)length);
  std::string shown_text = whole;
  if (path && !wrapped)
    shown_text = path_in_room(draw_target, font.id, font.x_size, font.y_size, whole.c_str(), room.width(), path_start);
  else if (name && !wrapped)
    shown_text = name_in_room(draw_target, font.id, font.x_size, font.y_size, whole.c_str(), room.width());
  int width, height;
  measure(shown_text.c_str(), -1, font, wrapped, room, &width, &height);
  BOX box = place(room, width + extra_width, height, left, right, top, bottom);
  texts->push_back({&shown, shown_text, room, box, colour, enabled, font, whole});
}

bool visible_colour(COLOUR colour) { return (colour >> 24) != 0; }

// The texts an object shows; false when it is a control that shows none.
bool collect_texts(const SHOWN& shown, std::vector<TEXT>* texts) {
  WM_SCREEN_OBJECT* o = shown.object;
  if (o->kind & WM_KIND_BUTTON) {
    WM_BUTTON* b = static_cast<WM_BUTTON*>(o);
    if (blank(b->label)) return false;
    BOX room = {b->x + b->left_gap, b->y + b->top_gap, b->x + b->width - b->right_gap - 1,
                b->y + b->height - b->bottom_gap - 1};
    // Direction arrows take a square at their end of the button.
    if (b->button_flags & bf_left_arrow) room.x1 = std::max(room.x1, b->x + b->height);
    if (b->button_flags & (bf_right_arrow | bf_up_arrow | bf_down_arrow))
      room.x2 = std::min(room.x2, b->x + b->width - b->height - 1);
    int icon = (b->icon.width > 0 && (b->button_flags & bf_icon_attach_to_text) &&
                (b->button_flags & (bf_icon_left | bf_icon_right)))
                   ? b->icon.width + b->x_spacing
                   : 0;
    bool pointed = b->pointer_over || b->selected || focus_object == b;
    COLOUR ink = (b->state && visible_colour(b->active_text_colour)) ? b->active_text_colour : b->text_colour;
    if (b->highlighted && visible_colour(b->highlight_text_colour)) ink = b->highlight_text_colour;
    if (pointed && visible_colour(b->mouse_over_text_colour)) ink = b->mouse_over_text_colour;
    INT_U32 f = b->button_flags;
    // A path or a name is shortened in the room its button's gaps leave.
    BOX path_room = {b->x + b->left_gap, room.y1, b->x + b->width - b->right_gap - 1, room.y2};
    add_text(texts, shown, b->label, -1, font_of(b->font_id, b->font_x_size, b->font_y_size),
             b->path_text || b->name_text ? path_room : room, (f & bf_wrap_text) != 0,
             (f & bf_left_justify_text) != 0, (f & bf_right_justify_text) != 0, (f & bf_top_align_text) != 0,
             (f & bf_bottom_align_text) != 0, ink, b->enabled != 0, icon, b->path_text != 0, b->name_text != 0,
             b->path_start);
  } else if (o->kind & WM_KIND_SCRIPT) {
    WM_SCRIPT* s = static_cast<WM_SCRIPT*>(o);
    if (s->text.type != STRING_TYPE || blank(s->text.value.text)) return true;
    INT_S16 top, bottom;
    bool wraps = s->wraps_in_its_box(&top, &bottom);
    BOX room = {s->x + s->left_gap, top, s->x + s->width - s->right_gap - 1, bottom};
    INT_U32 f = s->draw_flags;
    add_text(texts, shown, s->text.value.text, -1, font_of(s->font_id, s->font_x_size, s->font_y_size), room,
             wraps, (f & SCRIPT_LEFT_JUSTIFY) != 0, (f & SCRIPT_RIGHT_JUSTIFY) != 0,
             (f & SCRIPT_TOP_ALIGN) != 0, (f & SCRIPT_BOTTOM_ALIGN) != 0, s->text_colour, s->enabled != 0, 0,
             s->path_text != 0);
  } else if (o->kind & WM_KIND_PROGRESS_BAR) {
    WM_PROGRESS_BAR* p = static_cast<WM_PROGRESS_BAR*>(o);
    BOX room = {p->x + p->left_gap, p->y + p->top_gap, p->x + p->width - p->right_gap - 1,
                p->y + p->height - p->bottom_gap - 1};
    FONT font = font_of(p->font_id, p->font_x_size, p->font_y_size);
    if (!blank(p->label))
      add_text(texts, shown, p->label, -1, font, room, false, true, false, false, false, p->label_colour, true);
    char percentage[24], remaining[24];
    p->percentage_texts(percentage, remaining);
    add_text(texts, shown, p->title ? p->title : percentage, -1, font, room, false, false, false, false, false,
             p->text_colour, true);
  } else if (o->kind & WM_KIND_TEXT_WIN) {
    // The lines the window shows, each in its row.
    WM_TEXT_WIN* t = static_cast<WM_TEXT_WIN*>(o);
    FONT font = font_of(t->font_id, t->font_x_size, t->font_y_size);
    INT_S16 first, count;
    t->page_span(&first, &count);
    int top = t->y + t->gap_top + t->vertical_offset();
    INT_U16 f = t->drawing_flags;
    for (int row = 0; row < count; row++) {
      const TEXT_WIN_SCREEN_LINE& line = t->screen_buffer[(first + row) % t->capacity];
      if (!line.text || line.length < 1) continue;
      BOX room = {t->x + t->gap_left, top + row * font.y_size, t->x + t->width - 1 - t->gap_right,
                  top + (row + 1) * font.y_size - 1};
      // A line that starts inside a run is the text that opens it again.
      std::string own = std::string(line.in_run ? "\x01" : "") + std::string(line.text, (size_t)line.length);
      add_text(texts, shown, own.c_str(), -1, font, room, false, (f & TWF_LEFT_JUSTIFY) != 0,
               (f & TWF_RIGHT_JUSTIFY) != 0, true, false, line.colour, true);
    }
  }
  return true;
}

// The control covers its rectangle with something of its own (a face, a frame, a field, a picture).
bool paints_ground(WM_SCREEN_OBJECT* o) {
  if (o->kind & WM_KIND_BUTTON) {
    WM_BUTTON* b = static_cast<WM_BUTTON*>(o);
    return visible_colour(b->background_colour) || b->has_state_frames() || (b->button_flags & bf_darkened_background);
  }
  if (o->kind & WM_KIND_SCRIPT) {
    WM_SCRIPT* s = static_cast<WM_SCRIPT*>(o);
    return s->draw_background && (visible_colour(s->background_colour) || s->has_frame() ||
                                  (s->draw_flags & SCRIPT_DARKEN_BACKGROUND));
  }
  if (o->kind & WM_KIND_IMAGE) return static_cast<WM_IMAGE*>(o)->image.width > 0;
  return (o->kind & (WM_KIND_TEXT_EDIT | WM_KIND_SCROLLBAR | WM_KIND_PROGRESS_BAR | WM_KIND_TEXT_WIN)) != 0;
}

int luma(INT_U32 colour) {
  return (int)((299 * ((colour >> 16) & 0xFF) + 587 * ((colour >> 8) & 0xFF) + 114 * (colour & 0xFF)) / 1000);
}

std::string hex(INT_U32 colour) {
  char text[16];
  std::snprintf(text, sizeof text, "#%06X", (unsigned)(colour & 0xFFFFFF));
  return text;
}

INT_U32 pixel(int x, int y) { return draw_target->pixels[y * draw_target->row_pitch + x] & 0xFFFFFF; }

// The commonest colour of the screen in the box (and, with ring, only in a band of that width around it).
INT_U32 commonest_colour(const BOX& box, int ring = 0) {
  BOX screen = {0, 0, draw_target->width - 1, draw_target->height - 1};
  BOX area = meet({box.x1 - ring, box.y1 - ring, box.x2 + ring, box.y2 + ring}, screen);
  std::map<INT_U32, int> counts;
  for (int y = area.y1; y <= area.y2; y++)
    for (int x = area.x1; x <= area.x2; x++)
      if (!ring || !inside({x, y, x, y}, box)) counts[pixel(x, y)]++;
  INT_U32 best = 0;
  int most = -1;
  for (const auto& entry : counts)
    if (entry.second > most) best = entry.first, most = entry.second;
  return best;
}

// A text wider than its room counts as shortened on purpose when its drawn end is an ellipsis: the ink of
// its last ellipsis width lies only in the lower half of its line, where dots sit and letters do not end.
bool ends_in_ellipsis(const TEXT& text, const BOX& visible, INT_U32 ground, const FONT& font) {
  int dots = text_width(draw_target, font.id, font.x_size, font.y_size, "...", -1, false);
  // Ink: any colour apart from the ground's, however faint its contrast (judged on its own).
  auto ink = [&](int x, int y) {
    INT_U32 p = pixel(x, y);
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8)
      most = std::max(most, std::abs((int)((p >> shift) & 0xFF) - (int)((ground >> shift) & 0xFF)));
    return most >= 64;
  };
  int last = -1;
  for (int x = visible.x2; x >= visible.x1 && last < 0; x--)
    for (int y = visible.y1; y <= visible.y2 && last < 0; y++)
      if (ink(x, y)) last = x;
  if (last < 0) return false;
  int middle = text.box.y1 + text.box.height() / 2;
  for (int x = std::max(visible.x1, last - dots * 3 / 4); x <= last; x++)
    for (int y = visible.y1; y < std::min(middle, visible.y2 + 1); y++)
      if (ink(x, y)) return false;
  return true;
}

// A grid's plain ground with rounded corners: the corner flags (1 top left, 2 top right, 4 bottom left,
// 8 bottom right) and their radius, a third of the smaller side within 2 to 20 px; 0 flags without one.
int rounded_ground(WM_SCREEN_OBJECT* object, int* radius) {
  if (!(object->kind & WM_KIND_GRID)) return 0;
  WM_GRID* grid = static_cast<WM_GRID*>(object);
  const WM_STYLE_SET& s = grid->style;
  bool painted = visible_colour(s.bg_colour) || grid->has_base_frame() || (s.flags & ssf_darkened_background);
  if (!painted || (s.extended_flags & (ssef_grid_type_lines | ssef_grid_type_cells))) return 0;
  *radius = std::max(2, std::min(20, std::min(grid->width, grid->height) / 3));
  return (s.shading_flags >> 4) & 0x0F;
}

// The distance by which a drawn text comes nearer to a rounded corner's edge than the ground's gaps keep
// it from a straight edge; 0 when it keeps that margin.
double rounded_shortfall(const BOX& drawn, WM_SCREEN_OBJECT* ground, int corners, int radius) {
  const WM_STYLE_SET& s = static_cast<WM_GRID*>(ground)->style;
  BOX g = box_of(ground);
  double worst = 0;
  const struct {
    int flag, x, y, cx, cy, margin;
  } corner_list[] = {
      {1, drawn.x1, drawn.y1, g.x1 + radius, g.y1 + radius, std::min(s.border_left_gap, s.border_top_gap)},
      {2, drawn.x2, drawn.y1, g.x2 - radius, g.y1 + radius, std::min(s.border_right_gap, s.border_top_gap)},
      {4, drawn.x1, drawn.y2, g.x1 + radius, g.y2 - radius, std::min(s.border_left_gap, s.border_bottom_gap)},
      {8, drawn.x2, drawn.y2, g.x2 - radius, g.y2 - radius, std::min(s.border_right_gap, s.border_bottom_gap)}};
  for (const auto& c : corner_list) {
    if (!(corners & c.flag)) continue;
    // Only a point beyond the corner's centre on both axes lies where the edge is round.
    bool beyond_x = (c.flag & 5) ? c.x < c.cx : c.x > c.cx;
    bool beyond_y = (c.flag & 3) ? c.y < c.cy : c.y > c.cy;
    if (!beyond_x || !beyond_y) continue;
    double distance = std::hypot(c.x - c.cx, c.y - c.cy);
    worst = std::max(worst, distance - (radius - c.margin));
  }
  return worst;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

// A text that names a path: it begins with a separator, or with a drive letter, ':' and a separator.
bool looks_like_path(const std::string& text) {
  if (text.empty()) return false;
  if (is_separator(text[0])) return true;
  return text.size() >= 3 && std::isalpha((unsigned char)text[0]) && text[1] == ':' && is_separator(text[2]);
}

// The last folder of a path (or its file), with the separator that closes a folder's path.
std::string last_folder(const std::string& path) {
  size_t end = path.size();
  if (end > 0 && is_separator(path[end - 1])) end--;
  size_t start = end;
  while (start > 0 && !is_separator(path[start - 1])) start--;
  return path.substr(start);
}

// The width an object needs to show its text whole: the text's with the object's gaps and its direction
// arrows' squares, a check box's box and label whole; any other object its width.
int needed_width(WM_SCREEN_OBJECT* o) {
  if (o->kind & WM_KIND_CHECK_BOX) {
    WM_CHECK_BOX* c = static_cast<WM_CHECK_BOX*>(o);
    return c->label ? c->label->x - c->x + needed_width(c->label) : o->width;
  }
  if (o->kind & WM_KIND_BUTTON) {
    WM_BUTTON* b = static_cast<WM_BUTTON*>(o);
    if (blank(b->label)) return o->width;
    FONT font = font_of(b->font_id, b->font_x_size, b->font_y_size);
    int arrows = ((b->button_flags & bf_left_arrow) ? b->height : 0) +
                 ((b->button_flags & (bf_right_arrow | bf_up_arrow | bf_down_arrow)) ? b->height : 0);
    return text_width(draw_target, font.id, font.x_size, font.y_size, b->label, -1, false) + b->left_gap +
           b->right_gap + arrows;
  }
  if (o->kind & WM_KIND_SCRIPT) {
    WM_SCRIPT* t = static_cast<WM_SCRIPT*>(o);
    if (t->text.type != STRING_TYPE || blank(t->text.value.text)) return o->width;
    FONT font = font_of(t->font_id, t->font_x_size, t->font_y_size);
    return text_width(draw_target, font.id, font.x_size, font.y_size, t->text.value.text, -1, false) + t->left_gap +
           t->right_gap;
  }
  return o->width;
}

// For a text shown shortened in a grid's row: the width the row could give the cell that holds it when
// each other object of the row had what it needs to show its text whole (a column of fixed width keeps
// that width: a table's columns are shared by its rows), and what that cell needs; false outside grids.
bool row_room(const SHOWN& owner, int* room, int* need) {
  WM_SCREEN_OBJECT* cell = owner.object;
  WM_GRID* grid = nullptr;
  for (const auto& ancestor : owner.ancestors) {
    if (ancestor.first->kind & WM_KIND_GRID) {
      grid = static_cast<WM_GRID*>(ancestor.first);
      break;
    }
    cell = ancestor.first;
  }
  INT_S16 row, column;
  if (!grid || !grid->find_object(cell, &row, &column, true)) return false;
  const WM_STYLE_SET& s = grid->style;
  const WM_GRID_ROW* cells = grid->rows[row];
  *room = grid->width - s.border_left_gap - s.border_right_gap - (grid->scrollbar ? s.grid_scrollbar_width : 0);
  for (INT_S16 c = 0; c < cells->cell_count; c++) {
    *room -= s.cell_left_gap + s.cell_right_gap + s.x_spacing;
    WM_SCREEN_OBJECT* other = cells->cells[c];
    if (c == column) continue;
    if (cells->weights && cells->weights[c] < 0) *room -= -cells->weights[c];
    else if (other && other->visible) *room -= needed_width(other);
  }
  *need = needed_width(cell);
  return true;
}

}  // namespace

std::vector<SCREEN_FAULT> check_screen() {
  std::vector<SCREEN_FAULT> faults;
  if (!page_manager || !draw_target || !draw_target->pixels) return faults;
  const BOX window = {0, 0, draw_target->width - 1, draw_target->height - 1};
  std::vector<SHOWN> shown;
  walk(page_manager->get_root(), 0, window, {}, &shown);
  std::vector<BOX> layers = {window};
  for (LLIST_NODE* node = top_level_list()->head; node; node = node->next) {
    WM_SCREEN_OBJECT* object = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (!object->visible) continue;
    layers.push_back(meet(box_of(object), window));
    walk(object, (int)layers.size() - 1, window, {}, &shown);
  }
  // A box of a layer that a higher layer covers somewhere.
  auto covered = [&](const BOX& box, int layer) {
    for (size_t higher = (size_t)layer + 1; higher < layers.size(); higher++)
      if (overlap(box, layers[higher])) return true;
    return false;
  };

  std::vector<TEXT> texts;
  std::vector<const SHOWN*> bare_controls;
  for (const SHOWN& item : shown)
    if (!collect_texts(item, &texts) && item.object->kind & WM_KIND_BUTTON) bare_controls.push_back(&item);

  std::vector<OBSTACLE> obstacles;
  for (const SHOWN& item : shown)
    if (paints_ground(item.object)) obstacles.push_back({&item, meet(box_of(item.object), item.clip), nullptr});
  for (const TEXT& text : texts)
    if (!paints_ground(text.owner->object))
      obstacles.push_back({text.owner, meet(meet(text.box, text.room), text.owner->clip), &text});

  std::set<std::pair<const void*, const void*>> reported_pairs;
  for (const TEXT& text : texts) {
    const SHOWN& owner = *text.owner;
    std::string object = describe(owner);
    auto report = [&](const std::string& problem) { faults.push_back({object, "\"" + text.text + "\": " + problem}); };
    BOX drawn = meet(text.box, text.room), visible = meet(drawn, owner.clip);
    // Fit: the text's box within the room the object gives it, or shortened there with an ellipsis.
    bool across = text.box.x1 >= text.room.x1 && text.box.x2 <= text.room.x2;
    bool hidden = visible.empty() || covered(visible, owner.layer);
    bool shortened = !across && text.box.height() <= text.room.height() &&
                     (hidden || ends_in_ellipsis(text, visible, commonest_colour(visible), text.font));
    if (!inside(text.box, text.room) && !shortened)
      report("cut: needs " + std::to_string(text.box.width()) + " x " + std::to_string(text.box.height()) +
             " px, has " + std::to_string(text.room.width()) + " x " + std::to_string(text.room.height()));
    // A shortened text only where its row has no room for it.
    int row_width, need;
    if ((!across || text.text != text.whole) && row_room(owner, &row_width, &need) && need <= row_width)
      report("shortened though its row has room for it: needs " + std::to_string(need) + " px of " +
             std::to_string(row_width));
    // A path shows its last folder whole, unless the room cannot hold even that.
    if (looks_like_path(text.whole)) {
      std::string last = last_folder(text.whole);
      bool whole_last = across && text.text.size() >= last.size() &&
                        text.text.compare(text.text.size() - last.size(), last.size(), last) == 0;
      int last_width = text_width(draw_target, text.font.id, text.font.x_size, text.font.y_size, last.c_str(), -1, false);
      if (!whole_last && last_width <= text.room.width()) report("the last folder \"" + last + "\" is not shown whole");
    }
    // Place: what the object draws stays inside the object, its ancestors and the window, and keeps its
    // margin from their rounded corners.
    if (!inside(drawn, meet(box_of(owner.object), window))) {
      report("runs outside its " + std::string(inside(drawn, window) ? "object" : "window"));
    } else {
      for (const auto& ancestor : owner.ancestors) {
        BOX limit = ancestor.second;
        bool scrolls = (ancestor.first->kind & WM_KIND_GRID) && static_cast<WM_GRID*>(ancestor.first)->scrollbar;
        if (scrolls) limit.y1 = INT_MIN / 2, limit.y2 = INT_MAX / 2;
        if (!inside(drawn, limit)) {
          report("runs outside " + describe(ancestor.first));
          break;
        }
        int radius = 0, corners = scrolls ? 0 : rounded_ground(ancestor.first, &radius);
        double shortfall = corners ? rounded_shortfall(drawn, ancestor.first, corners, radius) : 0;
        if (shortfall >= 1) {
          report("comes " + std::to_string((int)(shortfall + 0.5)) + " px too near the rounded corner of " +
                 describe(ancestor.first));
          break;
        }
      }
    }
    // Overlap: nothing else of its layer lies where the text is drawn.
    for (const OBSTACLE& other : obstacles) {
      if (other.owner->layer != owner.layer || other.owner->object == owner.object) continue;
      bool ancestor = false;
      for (const auto& up : owner.ancestors) ancestor |= up.first == other.owner->object;
      if (ancestor || !overlap(visible, other.box)) continue;
      const void* one = &text;
      const void* two = other.text ? (const void*)other.text : (const void*)other.owner;
      if (!reported_pairs.insert({std::min(one, two), std::max(one, two)}).second) continue;
      report("overlaps " + (other.text ? describe(*other.owner) + "'s text" : describe(*other.owner)));
    }
    // Colour: seen against the commonest colour where it is drawn.
    if (hidden) continue;
    if (!text.enabled) {
      // Greyed, inset or chiseled by its control: seen by the lightest and darkest pixels where it is drawn
      // (the ground among them), which an engraved text's light and dark edges set apart too.
      int least = 255, most = 0;
      for (int y = visible.y1; y <= visible.y2; y++)
        for (int x = visible.x1; x <= visible.x2; x++) least = std::min(least, luma(pixel(x, y))), most = std::max(most, luma(pixel(x, y)));
      if (most - least < SCREEN_CHECK_LEAST_DISABLED_CONTRAST)
        report("too little contrast for a disabled text: luma " + std::to_string(least) + " to " +
               std::to_string(most) + " where it is drawn");
      continue;
    }
    if ((text.colour >> 24) < 128) {
      report("text colour " + hex(text.colour) + " is transparent");
      continue;
    }
    INT_U32 ground = commonest_colour(visible);
    if (std::abs(luma(text.colour) - luma(ground)) < SCREEN_CHECK_LEAST_CONTRAST)
      report("too little contrast: " + hex(text.colour) + " on " + hex(ground));
  }

  // A control without text (a check box's empty box) still shows against what lies around it.
  for (const SHOWN* item : bare_controls) {
    WM_BUTTON* button = static_cast<WM_BUTTON*>(item->object);
    BOX box = meet(box_of(button), item->clip);
    if (!button->enabled || button->icon.width > 0 || box.empty() || covered(box, item->layer)) continue;
    int ground = luma(commonest_colour(box, 2));
    bool seen = false;
    for (int y = box.y1; y <= box.y2 && !seen; y++)
      for (int x = box.x1; x <= box.x2 && !seen; x++)
        seen = std::abs(luma(pixel(x, y)) - ground) >= SCREEN_CHECK_LEAST_CONTRAST;
    if (!seen) faults.push_back({describe(*item), "shows nothing on its ground"});
  }
  return faults;
}
