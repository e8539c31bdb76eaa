// Linux host layer: the message box's window — a window of the program's own on the display that DISPLAY
// names, titled with the box's caption, its text in lines that fit, and OK as its one answer (Enter,
// Space, Escape, a click, or the window manager's close). Core X fonts draw it.
#include "x11_host.h"
#include "host_private.h"
#include "host_test_seam.h"
#include "velk_string.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <cstring>
#include <string>
#include <vector>

// The box's measures in pixels: the margin around the text and the button, and the button's least width.
static const int MARGIN = 16;
static const int BUTTON_WIDTH = 80;
// The text's lines are at most this many average characters wide.
static const int LINE_CHARACTERS = 72;

// Fonts tried in turn: one that covers Unicode where the server has it, then the one every server has
// (Latin-1, where other characters show as '?').
static const char* const FONT_NAMES[] = {"-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso10646-1", "fixed"};

// ---------------------------------------------------------------------------------------------------
// The text's lines

typedef std::u16string UNITS;

// Breaks each of the text's lines into lines at most width wide: after the last space that fits, inside a
// word longer than a line after its last folder separator that fits (a path), else where the line is
// full, and at every line end. The spaces at a break go; an empty line stays.
static std::vector<UNITS> break_into_lines(const UNITS& text, INT_S32 width, INT_S32 (*width_of)(INT_U16, void*),
                                           void* font) {
  std::vector<UNITS> lines;
  UNITS line;
  INT_S32 line_width = 0;
  size_t after_break = 0;  // where the line may break: after its last space or separator (0: nowhere)
  bool wrapped = false;    // the line goes on a line of the text that was broken
  auto take_line = [&](size_t end) {
    UNITS taken = line.substr(0, end);
    while (!taken.empty() && taken.back() == ' ') taken.pop_back();
    lines.push_back(taken);
    line.erase(0, end);
    line_width = 0;
    for (INT_U16 unit : line) line_width += width_of(unit, font);
    after_break = 0;
    wrapped = true;
  };
  for (size_t i = 0; i <= text.size(); i++) {
    INT_U16 unit = i < text.size() ? text[i] : '\n';
    if (unit == '\r') continue;
    if (unit == '\n') {
      take_line(line.size());
      wrapped = false;
      continue;
    }
    if (unit == '\t') unit = ' ';
    INT_S32 unit_width = width_of(unit, font);
    if (line_width + unit_width > width && !line.empty()) {
      // A space where the line is full is the break itself; a word goes on the next line, and one that
      // does not fit there either is broken where the line is full.
      if (unit == ' ') {
        take_line(line.size());
        continue;
      }
      if (after_break) take_line(after_break);
      // A pair's second half never starts a line: its first half goes on with it.
      bool pair_half = unit >= 0xDC00 && unit <= 0xDFFF && !line.empty() && line.back() >= 0xD800 && line.back() <= 0xDBFF;
      if (line_width + unit_width > width && line.size() > (pair_half ? 1u : 0u))
        take_line(line.size() - (pair_half ? 1 : 0));
    }
    if (unit == ' ' && line.empty() && wrapped) continue;
    line += unit;
    line_width += unit_width;
    if (unit == ' ' || unit == '/' || unit == '\\') after_break = line.size();
  }
  return lines;
}

// The system's text (Latin-1, wide-character runs) as UTF-16 units; a text whose runs are broken is taken
// byte by byte.
static UNITS text_units(const char* text) {
  std::vector<INT_U16> wide(std::strlen(text) + 1);
  UNITS units;
  if (text_to_utf16(text, wide.data(), wide.size())) {
    for (const INT_U16* unit = wide.data(); *unit; unit++) units += (char16_t)*unit;
    return units;
  }
  for (const char* at = text; *at; at++) units += (char16_t)(unsigned char)*at;
  return units;
}

static INT_S32 counted_width(INT_U16, void* widths) { return *static_cast<INT_S32*>(widths); }

std::vector<std::string> test_seam_message_box_lines(const char* text, INT_S32 width, INT_S32 unit_width) {
  std::vector<std::string> lines;
  for (const UNITS& line : break_into_lines(text_units(text), width, counted_width, &unit_width)) {
    std::string bytes;
    for (INT_U16 unit : line) bytes += unit <= 0xFF ? (char)unit : '?';
    lines.push_back(bytes);
  }
  return lines;
}

// ---------------------------------------------------------------------------------------------------
// The window

struct BOX {
  Display* display;
  Window window;
  GC gc;
  XFontStruct* font;
  bool wide_font;  // the font's characters are two bytes (Unicode)
  std::vector<UNITS> lines;
  int line_height;
  int button_x, button_y, button_width, button_height;
  unsigned long face, light, shadow, ink;
  bool pressed;  // the button is held down with the pointer over it
};

static XChar2b wide_character(INT_U16 unit) {
  XChar2b character;
  character.byte1 = (unsigned char)(unit >> 8);
  character.byte2 = (unsigned char)(unit & 0xFF);
  return character;
}

static INT_S32 unit_width(INT_U16 unit, void* data) {
  BOX* box = static_cast<BOX*>(data);
  if (box->wide_font) {
    XChar2b character = wide_character(unit);
    return XTextWidth16(box->font, &character, 1);
  }
  char byte = unit <= 0xFF ? (char)unit : '?';
  return XTextWidth(box->font, &byte, 1);
}

static INT_S32 units_width(BOX* box, const UNITS& units) {
  INT_S32 width = 0;
  for (INT_U16 unit : units) width += unit_width(unit, box);
  return width;
}

static void draw_units(BOX* box, int x, int y, const UNITS& units) {
  if (box->wide_font) {
    std::vector<XChar2b> characters;
    for (INT_U16 unit : units) characters.push_back(wide_character(unit));
    XDrawString16(box->display, box->window, box->gc, x, y, characters.data(), (int)characters.size());
    return;
  }
  std::string bytes;
  for (INT_U16 unit : units) bytes += unit <= 0xFF ? (char)unit : '?';
  XDrawString(box->display, box->window, box->gc, x, y, bytes.data(), (int)bytes.size());
}

static unsigned long colour(Display* display, unsigned short grey, unsigned long otherwise) {
  XColor wanted;
  wanted.red = wanted.green = wanted.blue = grey;
  wanted.flags = DoRed | DoGreen | DoBlue;
  return XAllocColor(display, DefaultColormap(display, DefaultScreen(display)), &wanted) ? wanted.pixel : otherwise;
}

static void draw_box(BOX* box) {
  Display* display = box->display;
  XClearWindow(display, box->window);
  XSetForeground(display, box->gc, box->ink);
  int y = MARGIN + box->font->ascent;
  for (const UNITS& line : box->lines) {
    draw_units(box, MARGIN, y, line);
    y += box->line_height;
  }
  // The button: a bevel, raised or pressed, inside the frame of the default answer.
  int x0 = box->button_x, y0 = box->button_y, x1 = x0 + box->button_width - 1, y1 = y0 + box->button_height - 1;
  XSetForeground(display, box->gc, box->ink);
  XDrawRectangle(display, box->window, box->gc, x0, y0, (unsigned)(x1 - x0), (unsigned)(y1 - y0));
  XSetForeground(display, box->gc, box->pressed ? box->shadow : box->light);
  XDrawLine(display, box->window, box->gc, x0 + 1, y0 + 1, x1 - 1, y0 + 1);
  XDrawLine(display, box->window, box->gc, x0 + 1, y0 + 1, x0 + 1, y1 - 1);
  XSetForeground(display, box->gc, box->pressed ? box->light : box->shadow);
  XDrawLine(display, box->window, box->gc, x0 + 1, y1 - 1, x1 - 1, y1 - 1);
  XDrawLine(display, box->window, box->gc, x1 - 1, y0 + 1, x1 - 1, y1 - 1);
  static const UNITS label = {'O', 'K'};
  int shift = box->pressed ? 1 : 0;
  XSetForeground(display, box->gc, box->ink);
  draw_units(box, x0 + (box->button_width - units_width(box, label)) / 2 + shift,
             y0 + (box->button_height - box->line_height) / 2 + box->font->ascent + shift, label);
}

static bool on_button(const BOX* box, int x, int y) {
  return x >= box->button_x && x < box->button_x + box->button_width && y >= box->button_y &&
         y < box->button_y + box->button_height;
}

// Lays the box out for its text and makes its window, centred on the screen, of a fixed size.
static void make_window(BOX* box, const char* caption, const char* text) {
  Display* display = box->display;
  int screen = DefaultScreen(display);
  int screen_width = DisplayWidth(display, screen), screen_height = DisplayHeight(display, screen);
  box->line_height = box->font->ascent + box->font->descent;
  INT_S32 average = unit_width('n', box) > 0 ? unit_width('n', box) : 6;
  INT_S32 widest = LINE_CHARACTERS * average;
  if (widest > screen_width - 4 * MARGIN) widest = screen_width - 4 * MARGIN;
  box->lines = break_into_lines(text_units(text), widest, unit_width, box);
  // A text taller than the screen shows what fits; the whole of it is on standard error.
  box->button_height = box->line_height + 12;
  int most_lines = (screen_height - 5 * MARGIN - box->button_height) / box->line_height;
  if (most_lines < 1) most_lines = 1;
  if ((int)box->lines.size() > most_lines) {
    box->lines.resize((size_t)most_lines);
    box->lines.back() += UNITS({'.', '.', '.'});
  }
  INT_S32 text_width = 0;
  for (const UNITS& line : box->lines) {
    INT_S32 width = units_width(box, line);
    if (width > text_width) text_width = width;
  }
  box->button_width = BUTTON_WIDTH;
  int width = (int)text_width > box->button_width ? (int)text_width : box->button_width;
  if (width < 200) width = 200;
  width += 2 * MARGIN;
  int height = MARGIN + (int)box->lines.size() * box->line_height + MARGIN + box->button_height + MARGIN;
  box->button_x = (width - box->button_width) / 2;
  box->button_y = height - MARGIN - box->button_height;
  int x = (screen_width - width) / 2, y = (screen_height - height) / 2;

  box->face = colour(display, 0xF0F0, WhitePixel(display, screen));
  box->light = WhitePixel(display, screen);
  box->shadow = colour(display, 0xA0A0, BlackPixel(display, screen));
  box->ink = BlackPixel(display, screen);
  box->window = XCreateSimpleWindow(display, RootWindow(display, screen), x < 0 ? 0 : x, y < 0 ? 0 : y,
                                    (unsigned)width, (unsigned)height, 0, box->ink, box->face);
  XSelectInput(display, box->window,
               ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                   ButtonMotionMask | StructureNotifyMask);
  Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, box->window, &delete_window, 1);
  XSizeHints* size = XAllocSizeHints();
  if (size) {
    size->flags = PPosition | USPosition | PMinSize | PMaxSize;
    size->x = x;
    size->y = y;
    size->min_width = size->max_width = width;
    size->min_height = size->max_height = height;
    XSetWMNormalHints(display, box->window, size);
    XFree(size);
  }
  XWMHints* hints = XAllocWMHints();
  if (hints) {
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XSetWMHints(display, box->window, hints);
    XFree(hints);
  }
  XClassHint* class_hint = XAllocClassHint();
  if (class_hint) {
    class_hint->res_name = (char*)"message";
    class_hint->res_class = (char*)"message";
    XSetClassHint(display, box->window, class_hint);
    XFree(class_hint);
  }
  Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(display, box->window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
  // Over the main window while it is open.
  if (x_display && x_window) XSetTransientForHint(display, box->window, x_window);
  set_x_window_title(display, box->window, caption);
  box->gc = XCreateGC(display, box->window, 0, nullptr);
  XSetFont(display, box->gc, box->font->fid);
  XMapRaised(display, box->window);
}

// Waits for the box's answer: OK (clicked, or a key of the answer released after its press in the box),
// the window manager's close, or a request to end the program.
static void wait_for_answer(BOX* box) {
  Display* display = box->display;
  Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  bool key_down = false;  // a key of the answer was pressed in the box (a key held since before says nothing)
  bool held = false;      // the left button went down on the button
  bool focused = false;
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      switch (event.type) {
        case Expose:
          // Shown, the box takes the keyboard, so that Enter answers it wherever the pointer is.
          if (!focused) XSetInputFocus(display, box->window, RevertToParent, CurrentTime);
          focused = true;
          if (event.xexpose.count == 0) draw_box(box);
          break;
        case KeyPress:
        case KeyRelease: {
          KeySym key = XLookupKeysym(&event.xkey, 0);
          bool answer = key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space;
          if (answer && event.type == KeyPress) key_down = true;
          else if (answer && key_down) return;
          break;
        }
        case ButtonPress:
          if (event.xbutton.button == Button1 && on_button(box, event.xbutton.x, event.xbutton.y)) {
            held = box->pressed = true;
            draw_box(box);
          }
          break;
        case MotionNotify:
          // The button shows pressed while the pointer that holds it stays on it.
          if (held && box->pressed != on_button(box, event.xmotion.x, event.xmotion.y)) {
            box->pressed = !box->pressed;
            draw_box(box);
          }
          break;
        case ButtonRelease:
          if (event.xbutton.button != Button1 || !held) break;
          if (on_button(box, event.xbutton.x, event.xbutton.y)) return;
          held = box->pressed = false;
          draw_box(box);
          break;
        case ClientMessage:
          if ((Atom)event.xclient.data.l[0] == delete_window) return;
          break;
        default:
          break;
      }
    }
    if (end_requested()) return;
    XFlush(display);
    // A flush takes in events that came meanwhile (Xlib reads as it writes): the wait on the connection
    // would never see them.
    if (XQLength(display) > 0) continue;
    if (wait_for_display_or_end_request(display, -1)) return;
  }
}

bool show_box_window(const char* caption, const char* text) {
  BOX box = {};
  box.display = open_own_display();
  if (!box.display) return false;
  for (const char* name : FONT_NAMES)
    if (!box.font) box.font = XLoadQueryFont(box.display, name);
  if (!box.font) {
    XCloseDisplay(box.display);
    return false;
  }
  box.wide_font = box.font->min_byte1 != 0 || box.font->max_byte1 != 0;
  make_window(&box, caption, text);
  wait_for_answer(&box);
  XFreeGC(box.display, box.gc);
  XFreeFont(box.display, box.font);
  XDestroyWindow(box.display, box.window);
  XCloseDisplay(box.display);
  return true;
}
