// Text windows: construction from a style set or colours, the rings of added and display lines, wrapping
// at word boundaries (iterative, at least one character per display line), the scroll bar that appears
// once the lines overflow and shrinks its slider as they grow, text files, and the background frame.
#include "text_win.h"

#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "image_cache.h"
#include "scroll_bar.h"
#include "text_draw.h"
#include "text_file.h"
#include "velk_string.h"

// The text style's ssf_ flags as drawing flags.
static INT_U16 flags_of_style(const WM_STYLE_SET* style) {
  INT_U32 f = style->flags;
  INT_U16 flags = 0;
  if ((f & ssf_draw_border) && (f & ssf_indent_border)) flags |= TWF_INDENTED_BORDER;
  if ((f & ssf_draw_border) && (f & ssf_outstanding_border)) flags |= TWF_OUTSTANDING_BORDER;
  const struct {
    INT_U32 style_bit;
    INT_U16 flag;
  } table[] = {{ssf_left_justify_text, TWF_LEFT_JUSTIFY},   {ssf_right_justify_text, TWF_RIGHT_JUSTIFY},
               {ssf_top_align_text, TWF_TOP_ALIGN},         {ssf_bottom_align_text, TWF_BOTTOM_ALIGN},
               {ssf_darkened_background, TWF_DARKENED_BACKGROUND}, {ssf_hfading, TWF_HFADING},
               {ssf_vfading, TWF_VFADING},                  {ssf_shadow_text, TWF_SHADOW_TEXT},
               {ssf_inset_text, TWF_INSET_TEXT},            {ssf_chiseled_text, TWF_CHISELED_TEXT}};
  for (const auto& entry : table)
    if (f & entry.style_bit) flags |= entry.flag;
  return flags;
}

// Fields every constructor sets before init, so that a fatal error in between leaves nothing unset.
static void clear_fields(WM_TEXT_WIN* window) {
  window->data_buffer = nullptr;
  window->screen_buffer = nullptr;
  window->scrollbar = nullptr;
  window->screen_next = window->screen_count = window->data_next = window->data_count = 0;
  window->slider_step = 0;
  window->page_last_row = 0;
  window->capacity = 0;
  window->clicked_link = nullptr;
}

WM_TEXT_WIN::WM_TEXT_WIN(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, WM_STYLE_SET* style,
                         WM_STYLE_SET* scrollbar_style_, INT_S16 capacity_, bool selectable_,
                         WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(style ? style->visible : 1, callback, user1, user2), background(&*image_cache) {
  clear_fields(this);
  WM_STYLE_SET defaults;
  if (!style) style = &defaults;
  border_type = (INT_S32)style->shading_type;
  INT_U16 shade = (INT_U16)(style->shading_flags & 0x7FFF);
  if ((style->flags & ssf_draw_border) && (style->flags & ssf_indent_border)) shade |= 0x8000;
  init(x1, y1, x2, y2, capacity_, selectable_, &style->bg_colour, &style->fading_colour, style->font_id,
       style->font_x_sz, style->font_y_sz, flags_of_style(style), shade, scrollbar_style_, style->border_left_gap,
       style->border_right_gap, style->border_top_gap, style->border_bottom_gap);
  if (style->image_filename) set_background(style->image_path, style->image_filename, style);
}

WM_TEXT_WIN::WM_TEXT_WIN(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 gap, INT_S16 capacity_,
                         INT_S16 scrollbar_width, const COLOUR* active, const COLOUR* background_,
                         const COLOUR* foreground, bool selectable_, bool visible_, WM_EVENT_CALLBACK callback,
                         INT_U32 user1, INT_U32 user2)
    : WM_SCREEN_OBJECT(visible_ ? 1 : 0, callback, user1, user2), background(&*image_cache) {
  clear_fields(this);
  WM_STYLE_SET bar_style;
  if (foreground) bar_style.fg_colour = *foreground;
  if (background_) bar_style.bg_colour = *background_;
  if (active) bar_style.active_colour = *active;
  bar_style.flags = ssf_inset_text;
  bar_style.scrollbar_button_width = scrollbar_width;
  bar_style.scrollbar_slider_width = scrollbar_width;
  COLOUR none = COLOUR_INVISIBLE;
  INT_S16 margin = (INT_S16)(border_width(1) + gap);
  init(x1, y1, x2, y2, capacity_, selectable_, &none, &none, -1, -1, -1, TWF_INDENTED_BORDER | TWF_LEFT_JUSTIFY, 15,
       &bar_style, margin, margin, margin, margin);
}

WM_TEXT_WIN::~WM_TEXT_WIN() {
  clear();
  std::free(data_buffer);
  std::free(screen_buffer);
  background.clear();
}

void WM_TEXT_WIN::init(INT_S16 x1, INT_S16 y1, INT_S16 x2, INT_S16 y2, INT_S16 capacity_, bool selectable_,
                       const COLOUR* background_, const COLOUR* gradient, INT_S8 font_id_, INT_S16 font_x_size_,
                       INT_S16 font_y_size_, INT_U16 drawing_flags_, INT_U16 shading_, WM_STYLE_SET* scrollbar_style_,
                       INT_S16 gap_left_, INT_S16 gap_right_, INT_S16 gap_top_, INT_S16 gap_bottom_) {
  choose_widget_font(font_id_, font_x_size_, font_y_size_, &font_id, &font_x_size, &font_y_size);
  INT_S16 default_gap = (INT_S16)(border_width(1) + 5);
  gap_left = gap_left_ == -1 ? default_gap : gap_left_;
  gap_right = gap_right_ == -1 ? default_gap : gap_right_;
  gap_top = gap_top_ == -1 ? default_gap : gap_top_;
  gap_bottom = gap_bottom_ == -1 ? default_gap : gap_bottom_;
  selectable = selectable_ ? 1 : 0;
  background_colour = background_ ? *background_ : COLOUR_INVISIBLE;
  gradient_colour = gradient ? *gradient : COLOUR_INVISIBLE;
  drawing_flags = drawing_flags_;
  shading = shading_;
  left_latch = right_latch = left_released = right_released = 0;
  press_x = press_y = 0;
  press_line = -1;
  screen_next = screen_count = data_next = data_count = 0;
  scrollbar = nullptr;
  clicked_link = nullptr;
  show_from_start = 0;
  keeps_beginning = 0;
  widths_ready = 0;
  widths_font = nullptr;
  widths_x = widths_y = 0;
  scroll_value.set_int(&scroll_value.maximum, 1);
  scroll_value.set_int(&scroll_value.value, 0);
  if (scrollbar_style_) WM_STYLE_SET::copy(&scrollbar_style, scrollbar_style_);
  selection_start_line = selection_start_char = selection_end_line = selection_end_char = -1;
  anchor_line = anchor_char = -1;
  if (visible) show();
  // A ring needs at least one entry to hold anything.
  capacity = capacity_ < 1 ? 1 : capacity_;
  screen_buffer = (TEXT_WIN_SCREEN_LINE*)std::calloc((size_t)capacity, sizeof(TEXT_WIN_SCREEN_LINE));
  if (!screen_buffer) raise_error(0x90);
  data_buffer = (TEXT_WIN_DATA_LINE*)std::calloc((size_t)capacity, sizeof(TEXT_WIN_DATA_LINE));
  if (!data_buffer) raise_error(0x91);
  for (INT_S16 i = 0; i < capacity; i++) data_buffer[i].colour = screen_buffer[i].colour = 0xFF000000;
  x = x1;
  y = y1;
  width = 0;
  height = 0;
  update_page_rows();
  resize((INT_S16)(x2 - x1 + 1), (INT_S16)(y2 - y1 + 1), true);
  kind |= WM_KIND_TEXT_WIN;
  call_screen_object_created_hook(this);
}

bool WM_TEXT_WIN::is_focusable() { return false; }

// ---------------------------------------------------------------------------------------------------
// Measuring

INT_S16 WM_TEXT_WIN::line_height() {
  INT_S16 lh = font_y_size;
  if (lh == -1 && draw_target) lh = draw_target->default_font_y_size;
  return lh < 1 ? (INT_S16)1 : lh;
}

INT_S32 WM_TEXT_WIN::available_width() {
  INT_S32 avail = (width - 1) - (gap_left + gap_right) - 1;
  if (scrollbar) avail -= scrollbar_style.scrollbar_button_width;
  return avail;
}

// Text width is the sum of the characters' advances, so each character is measured once per font and
// size: the bytes in a table, the wide characters as they are met.
void WM_TEXT_WIN::refresh_char_widths() {
  const void* slot = get_font(font_id);
  if (widths_ready && slot == widths_font && widths_x == font_x_size && widths_y == font_y_size) return;
  char_widths[0] = 0;
  for (int c = 1; c < 256; c++) char_widths[c] = (INT_S16)char_width(draw_target, font_id, font_x_size, font_y_size, (INT_U32)c);
  wide_widths.clear();
  widths_font = slot;
  widths_x = font_x_size;
  widths_y = font_y_size;
  widths_ready = 1;
}

INT_S32 WM_TEXT_WIN::advance(INT_U32 code, INT_S32 offset) {
  if (code == '\t') return tab_advance(offset, char_widths[(INT_U8)' ']);
  if (code < 256) return char_widths[code];
  auto known = wide_widths.find(code);
  if (known != wide_widths.end()) return known->second;
  INT_S16 width = (INT_S16)char_width(draw_target, font_id, font_x_size, font_y_size, code);
  wide_widths[code] = width;
  return width;
}

INT_S32 WM_TEXT_WIN::measure(const char* text, INT_S32 length, bool in_run) {
  refresh_char_widths();
  INT_S32 total = 0;
  WIDE_RUN_READER reader(text, in_run);
  INT_U32 code;
  while (reader.position() < length && reader.next_character(&code) && reader.start_position() < length)
    total += advance(code, total);
  return total;
}

std::vector<TEXT_WIN_CHARACTER> WM_TEXT_WIN::characters_of(const TEXT_WIN_SCREEN_LINE& line) {
  std::vector<TEXT_WIN_CHARACTER> characters;
  if (!line.text) return characters;
  WIDE_RUN_READER reader(line.text, line.in_run != 0);
  INT_U32 code;
  while (reader.position() < line.length && reader.next_character(&code) && reader.start_position() < line.length)
    characters.push_back({code, reader.start_position(), reader.unit_in_run, reader.position(), reader.run});
  return characters;
}

// ---------------------------------------------------------------------------------------------------
// Adding and wrapping

bool WM_TEXT_WIN::add_text(const char* text, const char* link, const COLOUR* colour, bool redraw,
                           bool may_add_scrollbar) {
  if (!text) return false;
  if (!link) link = "";
  COLOUR line_colour = colour ? *colour : 0xFF000000;
  bool result = true;
  // One line per piece between line ends (LF, CR, or a CR LF pair); a text that ends in a line end adds
  // an empty last line.
  const char* piece = text;
  for (;;) {
    if (keeps_beginning && (data_count == capacity || screen_count == capacity)) {
      result = false;
      break;
    }
    size_t length = std::strcspn(piece, "\r\n");
    TEXT_WIN_DATA_LINE* line = &data_buffer[data_next];
    std::free(line->text);
    std::free(line->link);
    line->text = (char*)std::malloc(length + 1);
    line->link = (char*)std::malloc(std::strlen(link) + 1);
    if (!line->text || !line->link) raise_error(0x91);
    std::memcpy(line->text, piece, length);
    line->text[length] = 0;
    std::strcpy(line->link, link);
    line->colour = line_colour;
    data_next = (INT_S16)((data_next + 1) % capacity);
    if (data_count < capacity) data_count++;
    bool needs_bar = wrap_line(line->text, line->link, line_colour, may_add_scrollbar);
    result = !(needs_bar && !may_add_scrollbar);
    const char* end = piece + length;
    if (!*end) break;
    piece = end + ((end[0] == '\r' && end[1] == '\n') ? 2 : 1);
  }
  if (redraw) show();
  return result;
}

// Adds the plain bytes of text from at, each its own character, to *width until a byte that is not
// plain, and returns that byte's index; where the width reaches avail first, or the line its 16-bit
// length, -1 - the index of the byte that did so. Kept apart from the wrapping, whose many values
// would otherwise crowd this loop out of the registers.
INT_S32 WM_TEXT_WIN::measure_plain(const char* text, INT_S32 at, INT_S32 avail, INT_S32* width) const {
  INT_S32 sum = *width;
  for (unsigned char byte; (byte = (unsigned char)text[at]) > WIDE_RUN_MARK; at++) {
    sum += byte == '\t' ? tab_advance(sum, char_widths[(INT_U8)' ']) : char_widths[byte];
    if (sum >= avail || at >= 0x7FFF) {
      *width = sum;
      return -1 - at;
    }
  }
  *width = sum;
  return at;
}

bool WM_TEXT_WIN::wrap_line(char* text, char* link, COLOUR colour, bool may_add_scrollbar) {
  refresh_char_widths();
  char* piece = text;
  bool piece_in_run = false;
  for (;;) {
    if (keeps_beginning && screen_count == capacity) break;
    // The piece becomes the next display line.
    TEXT_WIN_SCREEN_LINE* line = &screen_buffer[screen_next];
    if (selection_start_line == screen_next) selection_start_line = selection_end_line = -1;
    line->text = piece;
    line->link = link;
    line->colour = colour;
    line->in_run = piece_in_run ? 1 : 0;
    screen_next = (INT_S16)((screen_next + 1) % capacity);
    if (screen_count < capacity) screen_count++;
    // The characters that fit (measure below avail), scanning no further than the first that does not,
    // n. Characters are read as the text is drawn, so that a line is measured by the glyphs it shows and
    // never ends inside a character's stored form. The line breaks at the last space or tab at or before
    // n (not at the first character). A word longer than the line is cut after its last '/', '-' or '.'
    // that fits, so that a path or a web address breaks between its parts, else after the characters that
    // fit; at least one character goes on each display line, so a window narrower than a glyph still ends.
    struct BREAK {
      INT_S32 at;
      bool in_run;
    };
    WIDE_RUN_READER reader(piece, piece_in_run);
    INT_U32 code;
    // The next character (into code) from where the reader stands; false at the end. before: where the
    // character starts.
    auto next_character = [&](BREAK* before) {
      if (!reader.next_character(&code)) return false;
      *before = {reader.start_position(), reader.unit_in_run};
      return true;
    };
    INT_S32 avail = available_width();
    INT_S32 width_so_far = 0, at = 0, stop = 0;  // stop: where the reading of n began
    INT_S32 plain_from = 0;                      // where the stretch of plain bytes up to n began
    bool overflow = false, in_run = piece_in_run, stop_in_run = in_run;
    while (!overflow) {
      // A stretch of plain bytes, each its own character, is measured at once as next_character would,
      // in locals of its own. A display line's length is 16 bits: a longer one is broken there.
      if (!in_run) {
        at = measure_plain(piece, at, avail, &width_so_far);
        if (at < 0) {
          stop = -at - 1;
          at = stop + 1;
          stop_in_run = false;
          overflow = true;
        }
      }
      if (overflow || (!in_run && !piece[at])) break;
      stop = at;
      stop_in_run = in_run;
      reader.seek(at, in_run);
      if (!reader.next_character(&code)) break;
      at = plain_from = reader.position();
      in_run = reader.run;
      width_so_far += advance(code, width_so_far);
      overflow = at > 0x7FFF || width_so_far >= avail;
    }
    if (!overflow) {
      INT_S32 length = in_run ? reader.position() : at;
      line->length = (INT_S16)(length > 0x7FFF ? 0x7FFF : length);
      break;
    }
    // The break: the last blank after the first character up to n, else the end of the last separator
    // after the first character before n, else the end of the characters that fit (the one character
    // that does not fit goes all the same when it is the first). A line of plain bytes up to n is
    // searched back byte by byte; one with wide characters is read again from its start.
    BREAK blank = {-1, false}, separator = {-1, false}, before;
    BREAK fitted = stop > 0 ? BREAK{stop, stop_in_run} : BREAK{at, in_run};
    if (plain_from == 0) {
      for (INT_S32 p = stop; p > 0 && blank.at < 0; p--)
        if (piece[p] == ' ' || piece[p] == '\t') blank = {p, false};
      for (INT_S32 p = stop - 1; p > 0 && blank.at < 0 && separator.at < 0; p--)
        if (piece[p] == '/' || piece[p] == '-' || piece[p] == '.') separator = {p + 1, false};
    } else {
      reader.seek(0, piece_in_run);
      for (INT_S32 from = 0; from <= stop && next_character(&before); from = reader.position()) {
        if (from > 0 && (code == ' ' || code == '\t')) blank = before;
        if (from > 0 && from < stop && (code == '/' || code == '-' || code == '.'))
          separator = {reader.position(), reader.run};
      }
    }
    BREAK cut = blank.at >= 0 ? blank : separator.at >= 0 ? separator : fitted;
    // The line ends at its break; the next starts at the first character after the blanks there.
    line->length = (INT_S16)(cut.at > 0x7FFF ? 0x7FFF : cut.at);
    reader.seek(cut.at, cut.in_run);
    bool more = false;
    while (next_character(&before))
      if (code != ' ' && code != '\t') {
        more = true;
        break;
      }
    if (!more) break;
    piece += before.at;
    piece_in_run = before.in_run;
  }

  // The scroll bar appears once the display lines are more than a page.
  bool result = false;
  if (!scrollbar && screen_count > page_last_row + 1) {
    slider_step = 0;
    if (!may_add_scrollbar) return true;
    INT_S16 sbw = scrollbar_style.scrollbar_button_width;
    INT_S16 right = (INT_S16)(x + width - 1), bottom = (INT_S16)(y + height - 1);
    // Its ends stay inside the arcs of the rounded box, drawn as a full page's rows allow.
    INT_S16 radius = corner_radius_for(page_last_row + 1, true);
    scrollbar = new WM_SCROLLBAR((INT_S16)(right - sbw), (INT_S16)(y + scrollbar_inset(radius, 2)), (INT_S16)(right - 3),
                                 (INT_S16)(bottom - scrollbar_inset(radius, 8)), &scroll_value, &scrollbar_style,
                                 on_scrollbar, object_handle(this), 0);
    scrollbar->invalidate();
    scrollbar->visible = scrollbar->needs_draw = visible;
    rewrap();  // the text area is narrower now
    scroll_value.set_int(&scroll_value.value, show_from_start ? scroll_value.get_int(&scroll_value.maximum) : 0);
    INT_S32 beyond = capacity - page_last_row - 1;
    slider_step = beyond > 0 ? (double)(scrollbar->track_length() - sbw) / beyond : 0;
    add_child(scrollbar, false);
    result = true;
  }
  if (scrollbar && slider_step != 0) {
    scrollbar->slider_length = (INT_S16)(scrollbar->track_length() - (screen_count - page_last_row - 1) * slider_step);
    scrollbar->layout();
    if (scrollbar->visible) scrollbar->show();
    scroll_value.set_int(&scroll_value.maximum, screen_count - page_last_row - 1);
    if (show_from_start) scroll_value.set_int(&scroll_value.value, scroll_value.get_int(&scroll_value.maximum));
  }
  return result;
}

void WM_TEXT_WIN::rewrap() {
  clear_selection();
  for (INT_S16 i = 0; i < capacity; i++) {
    screen_buffer[i].text = nullptr;
    screen_buffer[i].link = nullptr;
    screen_buffer[i].length = 0;
  }
  screen_next = 0;
  screen_count = 0;
  INT_S16 start = data_count == capacity ? data_next : 0;
  for (INT_S16 k = 0; k < data_count; k++) {
    TEXT_WIN_DATA_LINE* line = &data_buffer[(start + k) % capacity];
    if (!line->text) continue;
    bool had_bar = scrollbar != nullptr;
    // Making the scroll bar wraps everything again itself.
    if (wrap_line(line->text, line->link, line->colour, true) || (!had_bar && scrollbar)) break;
  }
}

INT_S32 WM_TEXT_WIN::height_for_lines() { return screen_count * line_height() + gap_top + gap_bottom + 2; }

// page_last_row from the height; a window too low for one line still shows one (clipped).
void WM_TEXT_WIN::update_page_rows() {
  INT_S32 rows = (height - (gap_top + gap_bottom) - 2) / line_height() - 1;
  page_last_row = (INT_S16)(rows < 0 ? 0 : rows > 0x7FFF ? 0x7FFF : rows);
}

void WM_TEXT_WIN::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  if (new_width == width && new_height == height) return;
  WM_SCREEN_OBJECT::resize(new_width, new_height, resize_children);
  if (scrollbar) {
    remove_child(scrollbar, true, false);
    scrollbar = nullptr;
  }
  update_page_rows();
  rewrap();
}

WM_RESULT WM_TEXT_WIN::on_scrollbar(WM_SCREEN_OBJECT*, INT_U32 window, INT_U32, int) {
  WM_SCREEN_OBJECT* object = object_from_handle(window);
  if (object) object->show();
  return 0;
}

void WM_TEXT_WIN::clear() {
  clear_selection();
  for (INT_S16 i = 0; i < capacity; i++) {
    std::free(data_buffer[i].text);
    std::free(data_buffer[i].link);
    data_buffer[i].text = data_buffer[i].link = nullptr;
    screen_buffer[i].text = screen_buffer[i].link = nullptr;
    screen_buffer[i].length = 0;
  }
  screen_next = screen_count = data_next = data_count = 0;
  if (scrollbar) {
    remove_child(scrollbar, true, false);
    scrollbar = nullptr;
  }
}

void WM_TEXT_WIN::set_capacity(INT_S16 new_capacity) {
  if (new_capacity < 1) new_capacity = 1;
  if (new_capacity == capacity) return;
  TEXT_WIN_DATA_LINE* data = (TEXT_WIN_DATA_LINE*)std::calloc((size_t)new_capacity, sizeof(TEXT_WIN_DATA_LINE));
  if (!data) raise_error(0x91);
  TEXT_WIN_SCREEN_LINE* screen = (TEXT_WIN_SCREEN_LINE*)std::calloc((size_t)new_capacity, sizeof(TEXT_WIN_SCREEN_LINE));
  if (!screen) raise_error(0x90);
  for (INT_S16 i = 0; i < new_capacity; i++) data[i].colour = screen[i].colour = 0xFF000000;
  // The data lines from the oldest: those the new rings hold move, the others go.
  INT_S16 oldest = data_count == capacity ? data_next : 0;
  INT_S32 kept = data_count < new_capacity ? data_count : new_capacity;
  INT_S32 first_kept = keeps_beginning ? 0 : data_count - kept;
  for (INT_S32 k = 0; k < data_count; k++) {
    TEXT_WIN_DATA_LINE& line = data_buffer[(oldest + k) % capacity];
    if (k >= first_kept && k < first_kept + kept) {
      data[k - first_kept] = line;
    } else {
      std::free(line.text);
      std::free(line.link);
    }
  }
  std::free(data_buffer);
  std::free(screen_buffer);
  data_buffer = data;
  screen_buffer = screen;
  capacity = new_capacity;
  data_count = (INT_S16)kept;
  data_next = (INT_S16)(kept % new_capacity);
  screen_next = screen_count = 0;
  // A new scroll bar, made as the lines overflow, measures its slider by the new capacity.
  if (scrollbar) {
    remove_child(scrollbar, true, false);
    scrollbar = nullptr;
  }
  rewrap();
  if (visible) show();
}

// ---------------------------------------------------------------------------------------------------
// Files and the background

bool WM_TEXT_WIN::load_text_file(FOLDER* folder, const char* name, const COLOUR* colour) {
  TEXT_FILE* file = open_text_file(folder, name, TEXT_FILE_READ, false);
  if (!file) return false;
  char line[1024];
  file->line_size = (INT_S16)sizeof line;
  bool added = false;
  while (file->read_line(line)) {
    if (!add_text(line, "", colour, visible != 0, true)) break;  // a full ring that keeps its beginning
    added = true;
  }
  close_text_file(&file);
  return added;
}

bool WM_TEXT_WIN::set_background(const char* path_text, const char* name, WM_STYLE_SET* style) {
  return load_frame_from_style(&background, path_text, name, style);
}

bool WM_TEXT_WIN::set_background(FOLDER* folder, const char* name, WM_STYLE_SET* style) {
  char text[FOLDER_PATH_SIZE];
  return set_background(FOLDER::portable_text_of(folder, text), name, style);
}

void WM_TEXT_WIN::clear_background() { background.clear(); }

bool WM_TEXT_WIN::has_background() { return background.is_loaded(); }
