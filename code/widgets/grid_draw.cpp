// Grid drawing: the three frames, the background in the plain, lines or cells type with highlighted and
// two-tone rows and the spare pixels shared out among the rows, the header row that stays in place, the
// scroll bar made while the rows overflow, the border, and the cell objects placed band by band.
#include "grid.h"

#include <cstring>
#include <new>

#include "border.h"
#include "draw.h"
#include "folder.h"
#include "image.h"
#include "redraw.h"
#include "screen_object_draw.h"
#include "scroll_bar.h"
#include "wm_private.h"

// ---------------------------------------------------------------------------------------------------
// Frames

bool WM_GRID::set_style(const char* path_text, const char* base_name, WM_STYLE_SET* frame_style) {
  if (frame_style && frame_style->has_frames()) {
    WM_FRAME* base = frame_style->state_frames[0];
    WM_FRAME* alternate = frame_style->state_frames[10];
    WM_FRAME* highlighted = frame_style->state_frames[9];
    if (base) base_frame.copy(*base);
    if (alternate) alternate_frame.copy(*alternate);
    if (highlighted) highlighted_frame.copy(*highlighted);
  } else if (!base_name) {
    clear_frames();
    return false;
  } else {
    load_frame_named(&base_frame, path_text, "%s", base_name, 0);
    load_frame_named(&highlighted_frame, path_text, "%s_highlighted", base_name, 0);
    load_frame_named(&alternate_frame, path_text, "%s_alternate", base_name, 0);
  }
  return base_frame.is_loaded();
}

bool WM_GRID::set_style_from_path(FOLDER* folder, const char* base_name, WM_STYLE_SET* frame_style) {
  char path[FOLDER_PATH_SIZE];
  return set_style(FOLDER::portable_text_of(folder, path), base_name, frame_style);
}

bool WM_GRID::has_base_frame() { return base_frame.is_loaded(); }

void WM_GRID::clear_frames() {
  base_frame.clear();
  highlighted_frame.clear();
  alternate_frame.clear();
}

INT_S16 WM_GRID::rounded_corner_radius(INT_S16 drawn_width, INT_S16 drawn_height) {
  INT_S16 r = corner_radius(nullptr, 0, 0, (INT_S16)(drawn_width - 1), (INT_S16)(drawn_height - 1));
  return r > 20 ? (INT_S16)20 : r < 2 ? (INT_S16)2 : r;
}

// The arc of a rounded corner reaches into the first and last rows, where an entry standing at the
// border gap would touch it; at the radius from the side it stands where the arc meets the edge.
void WM_GRID::keep_clear_of_rounded_corners(INT_S16 drawn_width, INT_S16 drawn_height) {
  if (has_base_frame() || (style.extended_flags & (ssef_grid_type_lines | ssef_grid_type_cells))) return;
  INT_S16 radius = rounded_corner_radius(drawn_width, drawn_height);
  if ((style.shading_flags & 0x50) && style.border_left_gap < radius) style.border_left_gap = radius;
  if ((style.shading_flags & 0xA0) && style.border_right_gap < radius) style.border_right_gap = radius;
}

// ---------------------------------------------------------------------------------------------------
// The scroll bar

void WM_GRID::size_scrollbar() {
  if (!scrollbar) return;
  INT_S32 content = content_height();
  INT_S32 length = content > 0 ? scrollbar->track_length() * inner_height() / content : 0;
  if (length < scrollbar_style.scrollbar_slider_width) length = scrollbar_style.scrollbar_slider_width;
  scrollbar->slider_length = (INT_S16)(length > 32767 ? 32767 : length);
  scrollbar->layout();
  if (scrollbar->visible) scrollbar->show();
}

void WM_GRID::delete_scrollbar() {
  WM_SCROLLBAR* bar = scrollbar;
  scrollbar = nullptr;
  delete bar;
}

int WM_GRID::scroll_amount_callback(WM_SCROLLBAR* bar, int code) {
  WM_GRID* grid = bar ? static_cast<WM_GRID*>(object_from_handle(bar->event_user1)) : nullptr;
  return grid ? (int)grid->scroll_amount(code) : 0;
}

// Makes the scroll bar of an overflowing grid, or moves the one there to its place.
static void make_or_move_scrollbar(WM_GRID* grid, INT_S16 bar_top) {
  WM_STYLE_SET& s = grid->style;
  INT_S16 x1 = (INT_S16)(grid->x + grid->width - s.border_right_gap - s.grid_scrollbar_width - 1);
  if (grid->scrollbar) {
    grid->scrollbar->move_to(x1, bar_top);
    return;
  }
  if (s.extended_flags & ssef_grid_no_scrollbar) return;
  INT_S16 x2 = (INT_S16)(grid->x + grid->width - s.border_right_gap - 1);
  INT_S16 y2 = (INT_S16)(grid->y + grid->height - s.border_bottom_gap - 1);
  WM_SCROLLBAR* bar = new (std::nothrow)
      WM_SCROLLBAR(x1, bar_top, x2, y2, &grid->scroll_position, &grid->scrollbar_style, nullptr, 0, 0);
  if (!bar) return;
  if (grid->default_row_height / 2 > 0) bar->wheel_step = (INT_S16)(grid->default_row_height / 2);
  bar->set_area(grid->area);
  grid->scrollbar = bar;
  bar->event_user1 = object_handle(grid);
  bar->amount_callback = WM_GRID::scroll_amount_callback;
  grid->size_scrollbar();
}

// ---------------------------------------------------------------------------------------------------
// Rendering

// The inner area of the grid, below the header when the top row stays in place.
static void inner_area(WM_GRID* grid, INT_S16* x1, INT_S16* y1, INT_S16* x2, INT_S16* y2) {
  WM_STYLE_SET& s = grid->style;
  *x1 = (INT_S16)(grid->x + s.border_left_gap);
  *x2 = (INT_S16)(grid->x + grid->width - s.border_right_gap - 1);
  INT_S32 top = grid->y + s.border_top_gap;
  if ((s.extended_flags & ssef_grid_fix_top_row) && grid->row_count > 0) top += grid->rows[0]->height + s.y_spacing;
  *y1 = (INT_S16)top;
  *y2 = (INT_S16)(grid->y + grid->height - s.border_bottom_gap - 1);
}

// Every object of a row renders.
static void render_row(WM_GRID_ROW* row) {
  if (!row->cells) return;
  for (INT_S16 c = 0; c < row->cell_count; c++)
    if (row->cells[c]) row->cells[c]->render();
}

void WM_GRID::render() {
  if (!redraw_region_active() || !visible || !draw_target) return;
  IMAGE* target = draw_target;
  IMAGE_AREA outer = target->clip;
  bool outermost = render_self(this);
  IMAGE_AREA saved = target->clip;
  bool header = (style.extended_flags & ssef_grid_fix_top_row) && row_count > 0;
  if (header) render_row(rows[0]);
  INT_S16 ix1, iy1, ix2, iy2;
  inner_area(this, &ix1, &iy1, &ix2, &iy2);
  target->intersect_clip(ix1, iy1, ix2, iy2);
  for (INT_S32 r = first_visible_row; r <= last_visible_row && r < row_count; r++)
    if (!(header && r == 0)) render_row(rows[r]);
  target->clip = saved;
  if (scrollbar) scrollbar->render();
  for (LLIST_NODE* node = children.head; node; node = node->next) {
    WM_SCREEN_OBJECT* child = static_cast<WM_SCREEN_OBJECT*>(stored_pointer(node));
    if (!is_top_level(child)) child->render();
  }
  if (outermost) {
    render_clip_narrowed = 0;
    target->clip = outer;
  }
}

// ---------------------------------------------------------------------------------------------------
// Drawing

namespace {

const COLOUR opaque_black = 0xFF000000;

// What one drawing of the grid shares between its steps.
struct GRID_PAINT {
  WM_GRID* grid;
  IMAGE* target;
  INT_U8 corners;       // rounded-corner flags of draw_shaded_box
  bool frames;          // the base frame is loaded
  IMAGE_AREA saved_clip;
};

INT_S16 box_radius(IMAGE* target, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  INT_S16 r = (INT_S16)(corner_radius(target, x1, y1, x2, y2) / 2);
  if (r > 20) r = 20;
  return r < 2 ? 2 : r;
}

// The two-tone darkening of a band or box.
void darken_two_tone(GRID_PAINT& paint, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2) {
  INT_S16 percent = paint.grid->two_tone_percentage;
  if (!paint.corners) paint.target->darken_rectangle(x1, y1, x2, y2, percent);
  else draw_shaded_box(paint.target, x1, y1, x2, y2, -1, paint.corners, &opaque_black, &opaque_black,
                       (INT_S8)percent, SHADE_DARKEN);
}

// The box rule of the lines and cells types.
void paint_box(GRID_PAINT& paint, INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, bool highlighted, bool odd) {
  WM_GRID* grid = paint.grid;
  WM_STYLE_SET& s = grid->style;
  if (paint.frames) {
    WM_FRAME* frame = &grid->base_frame;
    if (highlighted && grid->highlighted_frame.is_loaded()) frame = &grid->highlighted_frame;
    else if (odd && grid->alternate_frame.is_loaded()) frame = &grid->alternate_frame;
    frame->draw(x1, y1, x2, y2, 1, paint.target, 0);
    return;
  }
  INT_S16 radius = box_radius(paint.target, x1, y1, x2, y2);
  if (highlighted && (s.highlight_colour >> 24)) {
    if (!paint.corners) paint.target->fill_rectangle(x1, y1, x2, y2, &s.highlight_colour, 1);
    else draw_shaded_box(paint.target, x1, y1, x2, y2, radius, paint.corners, &s.highlight_colour, &opaque_black,
                         0, SHADE_BLEND);
  } else if (s.flags & ssf_darkened_background) {
    if (!paint.corners) paint.target->darken_rectangle(x1, y1, x2, y2, 50);
    else draw_shaded_box(paint.target, x1, y1, x2, y2, radius, paint.corners, &opaque_black, &opaque_black, 50,
                         SHADE_DARKEN);
  } else if (s.bg_colour >> 24) {
    if (!paint.corners) paint.target->fill_rectangle(x1, y1, x2, y2, &s.bg_colour, 1);
    else draw_shaded_box(paint.target, x1, y1, x2, y2, radius, paint.corners, &s.bg_colour, &opaque_black, 0,
                         SHADE_BLEND);
  }
}

// The plain type's background over the whole grid.
void paint_background(GRID_PAINT& paint) {
  WM_GRID* grid = paint.grid;
  WM_STYLE_SET& s = grid->style;
  INT_S16 x1 = grid->x, y1 = grid->y, x2 = (INT_S16)(grid->x + grid->width - 1),
          y2 = (INT_S16)(grid->y + grid->height - 1);
  if (paint.frames) {
    grid->base_frame.draw(x1, y1, x2, y2, 1, paint.target, 0);
    return;
  }
  INT_S16 r = WM_GRID::rounded_corner_radius(grid->width, grid->height);
  IMAGE* t = paint.target;
  if (!paint.corners) {
    if (s.flags & ssf_darkened_background) t->darken_rectangle(x1, y1, x2, y2, 50);
    else if (s.flags & ssf_hfading) t->fill_gradient_horizontal(x1, y1, x2, y2, &s.bg_colour, &s.fading_colour, 1);
    else if (s.flags & ssf_vfading) t->fill_gradient_vertical(x1, y1, x2, y2, &s.bg_colour, &s.fading_colour, 1);
    else if (s.bg_colour >> 24) t->fill_rectangle(x1, y1, x2, y2, &s.bg_colour, 1);
    return;
  }
  if (s.flags & ssf_darkened_background)
    draw_shaded_box(t, x1, y1, x2, y2, r, paint.corners, &opaque_black, &opaque_black, 50, SHADE_DARKEN);
  else if (s.flags & ssf_hfading)
    draw_shaded_box(t, x1, y1, x2, y2, r, paint.corners, &s.bg_colour, &s.fading_colour, 0, SHADE_HORIZONTAL);
  else if (s.flags & ssf_vfading)
    draw_shaded_box(t, x1, y1, x2, y2, r, paint.corners, &s.bg_colour, &s.fading_colour, 0, SHADE_VERTICAL);
  else
    draw_shaded_box(t, x1, y1, x2, y2, r, paint.corners, &s.bg_colour, &opaque_black, 0, SHADE_BLEND);
}

// One drawn row: its band or boxes, then its objects placed in the band. row is the row's record (the
// default layout for a row not made yet), i its index from the first visible row, extra its spare pixels.
void paint_row(GRID_PAINT& paint, WM_GRID_ROW* row, INT_S32 i, INT_S32 band_top, INT_S32 extra) {
  WM_GRID* grid = paint.grid;
  WM_STYLE_SET& s = grid->style;
  IMAGE* t = paint.target;
  bool odd = (i & 1) != 0;
  bool two_tone = (s.extended_flags & ssef_grid_two_tone) && odd && !row->highlighted;
  bool narrow = grid->scrollbar != nullptr;
  INT_S16 top = (INT_S16)band_top, bottom = (INT_S16)(band_top + row->height + extra - 1);
  INT_S16 left = (INT_S16)(grid->x + s.border_left_gap);
  INT_S16 right = (INT_S16)(grid->x + grid->width - s.border_right_gap - 1);

  if (s.extended_flags & ssef_grid_type_lines) {
    INT_S16 box_right = (INT_S16)(right - (narrow ? s.grid_scrollbar_width : 0) + row->last_cell_extension);
    paint_box(paint, left, top, box_right, bottom, row->highlighted != 0, odd);
    if (two_tone) darken_two_tone(paint, left, top, box_right, bottom);
  } else if (s.extended_flags & ssef_grid_type_cells) {
    for (INT_S16 c = 0; c < row->cell_count; c++) {
      INT_S16 x1, y1, x2, y2;
      WM_GRID_ROW::cell_rectangle(row, c, narrow, &x1, &y1, &x2, &y2);
      INT_S16 bx1 = (INT_S16)(grid->x + x1), bx2 = (INT_S16)(grid->x + x2);
      INT_S16 by1 = (INT_S16)(band_top + row->cell_top), by2 = (INT_S16)(band_top + row->cell_bottom + extra);
      paint_box(paint, bx1, by1, bx2, by2, row->highlighted != 0, odd);
      if (two_tone) darken_two_tone(paint, bx1, by1, bx2, by2);
    }
  } else if (row->highlighted) {
    if (paint.frames) {
      if (grid->highlighted_frame.is_loaded()) grid->highlighted_frame.draw(left, top, right, bottom, 1, t, 0);
    } else if (s.highlight_colour >> 24) {
      if (!paint.corners) t->fill_rectangle(left, top, right, bottom, &s.highlight_colour, 1);
      else draw_shaded_box(t, left, top, right, bottom, box_radius(t, left, top, right, bottom), paint.corners,
                           &s.highlight_colour, &opaque_black, 0, SHADE_BLEND);
    }
  } else if (two_tone) {
    darken_two_tone(paint, left, top, right, bottom);
  }

  if (!row->cells) return;
  for (INT_S16 c = 0; c < row->cell_count; c++) {
    WM_SCREEN_OBJECT* object = row->cells[c];
    if (!object) continue;
    INT_S16 x1, y1, x2, y2;
    WM_GRID_ROW::cell_rectangle(row, c, narrow, &x1, &y1, &x2, &y2);
    INT_S32 cell_top = band_top + row->cell_top;
    object->move_to((INT_S16)(grid->x + x1), (INT_S16)cell_top);
    object->resize((INT_S16)(x2 - x1 + 1), (INT_S16)(band_top + row->cell_bottom + extra - cell_top + 1), true);
  }
}

bool row_has_object(WM_GRID_ROW* row) {
  if (!row->cells) return false;
  for (INT_S16 c = 0; c < row->cell_count; c++)
    if (row->cells[c]) return true;
  return false;
}

}  // namespace

void WM_GRID::draw() {
  if (!draw_target) return;
  GRID_PAINT paint;
  paint.grid = this;
  paint.target = draw_target;
  paint.corners = (INT_U8)((style.shading_flags >> 4) & 0x0F);
  paint.frames = base_frame.is_loaded();
  paint.saved_clip = paint.target->clip;
  WM_STYLE_SET& s = style;
  bool header = (s.extended_flags & ssef_grid_fix_top_row) && row_count > 0;

  WM_GRID_ROW default_layout;
  default_row_layout(&default_layout);

  INT_S32 v = last_visible_row >= 0 ? last_visible_row - first_visible_row + 1 : 0;
  INT_S32 used = 0;
  if (last_visible_row >= 0)
    used = rows[last_visible_row]->end - rows[first_visible_row]->end + rows[first_visible_row]->height;
  INT_S32 spare = rows_per_page ? rows_per_page - v : spare_rows(used);
  if (spare < 0) spare = 0;
  INT_S32 n = v + spare > 1 ? v + spare : 1;
  INT_S32 p = 0;
  if (!overflows() || row_count < 2) {
    p = spare_pixels(used, spare);
    delete_scrollbar();
    if (header) rows[0]->last_cell_extension = 0;
  } else {
    INT_S32 bar_top = y + s.border_top_gap;
    if (header && !(s.extended_flags & (ssef_grid_no_scrollbar | ssef_grid_dont_shorten_scrollbar))) {
      rows[0]->last_cell_extension = (INT_S16)(s.grid_scrollbar_width + 1);
      bar_top += rows[0]->height + s.y_spacing;
    } else if (header) {
      rows[0]->last_cell_extension = 0;
    }
    make_or_move_scrollbar(this, (INT_S16)bar_top);
  }

  if (!(s.extended_flags & (ssef_grid_type_lines | ssef_grid_type_cells))) paint_background(paint);

  INT_S16 ix1, iy1, ix2, iy2;
  inner_area(this, &ix1, &iy1, &ix2, &iy2);
  INT_S32 inner_top = y + s.border_top_gap;
  bool only_used = (s.extended_flags & ssef_grid_only_draw_used_lines) != 0;
  INT_S32 offset = 0;
  if (overflows() && !(s.extended_flags & ssef_grid_scroll_by_line)) offset = row_top(first_visible_row) - scroll_offset();
  INT_S32 last_drawn = last_visible_row + (only_used ? 0 : spare);
  for (INT_S32 r = first_visible_row; r <= last_drawn; r++) {
    INT_S32 i = r - first_visible_row;
    WM_GRID_ROW* row = r < row_count ? rows[r] : &default_layout;
    if (only_used && !row_has_object(row)) continue;
    INT_S32 extra = p / n + (i < p % n ? 1 : 0);
    paint.target->clip = paint.saved_clip;
    if (header && r == first_visible_row) {
      // Row 0 stands in the place of the first visible row; that row's own objects wait just above
      // the header, where the clip hides them.
      if (r != 0 && row->cells) {
        for (INT_S16 c = 0; c < row->cell_count; c++) {
          WM_SCREEN_OBJECT* object = row->cells[c];
          if (!object) continue;
          INT_S16 x1, y1, x2, y2;
          WM_GRID_ROW::cell_rectangle(row, c, scrollbar != nullptr, &x1, &y1, &x2, &y2);
          object->move_to((INT_S16)(x + x1), (INT_S16)(inner_top - row->height));
          object->resize((INT_S16)(x2 - x1 + 1), row->height, true);
        }
      }
      paint_row(paint, rows[0], 0, inner_top, extra);
    } else {
      paint.target->intersect_clip(ix1, iy1, ix2, iy2);
      paint_row(paint, row, i, y + s.border_top_gap + offset, extra);
    }
    offset += row->height + extra + s.y_spacing;
  }
  WM_GRID_ROW::clear(&default_layout);
  paint.target->clip = paint.saved_clip;

  if (!paint.frames && (s.flags & ssf_draw_border)) {
    INT_S16 x2 = (INT_S16)(x + width - 1), y2 = (INT_S16)(y + height - 1);
    INT_S16 radius = rounded_corner_radius(width, height);
    COLOUR saved_outline = border_outline_colour;
    if (s.flags & ssf_use_text_colour_for_outline) border_outline_colour = s.fg_colour;
    INT_U16 flags = (INT_U16)(s.shading_flags & ~0x8000);
    if (s.flags & ssf_indent_border) flags |= 0x8000;
    draw_border(this, x, y, x2, y2, flags, &s.bg_colour, 1, radius);
    border_outline_colour = saved_outline;
  }
}
