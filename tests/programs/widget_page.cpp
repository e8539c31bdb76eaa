// A small program for real-window tests of the widgets: a page with two buttons, a check box and a text
// window of 60 coloured lines, driven by the page manager in the real frame loop. The first button opens a
// confirmation box; the second ("Also") shows a face of its own while pressed. It prints each callback and every change a test needs to follow (the top-level count,
// the scroll value with the first line shown, where the box's "Yes" and the slider are), one line each.
// A close request ends it with status 5. Argument: the folder of DejaVuSans.ttf.
#include <cstdio>
#include <cstdlib>

#include "button.h"
#include "check_box.h"
#include "confirm.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "page_manager.h"
#include "program.h"
#include "scenario_output.h"
#include "redraw.h"
#include "screen_image.h"
#include "scroll_bar.h"
#include "style_set.h"
#include "text_win.h"

static const INT_S32 CLOSED_STATUS = 5;
static const INT_S8 SANS = 10;
static const int LINE_COUNT = 60;

static WM_PAGE_MANAGER* manager = nullptr;
static WM_TEXT_WIN* text_window = nullptr;
static INT_S32 shown_scroll = -1;
static INT_S16 shown_dialogs = -1;
static bool box_reported = false;
static bool slider_reported = false;
static INT_U8 was_dragging = 0;

// The colour of line i: red and blue fixed, green counting up, so every line has its own.
static COLOUR line_colour(int i) { return 0xFFFF00FFu | (INT_U32)(i * 4) << 8; }

static WM_RESULT confirm_answer(WM_SCREEN_OBJECT*, INT_U32 user1, INT_U32 user2, int) {
  say("confirm %u %u\n", (unsigned)user1, (unsigned)user2);
  return WM_RESULT_CLOSE_DIALOG;
}

static WM_RESULT button_pressed(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) {
  say("button\n");
  WM_CONFIRM* box = new WM_CONFIRM(300, 150, "Sure?", 1, confirm_answer, 9, -1, -1, 0, 10, nullptr);
  box->text->add_text("Go on?", nullptr, &box->window_style.fg_colour, true, true);
  manager->get_root()->add_top_level(box, false);
  box_reported = false;
  return 0;
}

static WM_RESULT also_clicked(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int) {
  say("also\n");
  return 0;
}

static WM_RESULT check_changed(WM_SCREEN_OBJECT*, INT_U32, INT_U32, int value) {
  say("check %d\n", value);
  return 0;
}

static void build_page(WM_PAGE_MANAGER* page_manager) {
  WM_SCREEN_OBJECT* root = page_manager->get_root();
  WM_STYLE_SET button_style;
  button_style.bg_colour = 0xFF406080;
  button_style.fg_colour = 0xFFFFFFFF;
  root->add_child(new WM_BUTTON(20, 20, 119, 49, &button_style, "Ask", nullptr, button_pressed, 0, 0, 0x2), false);
  WM_STYLE_SET also_style;
  also_style.bg_colour = 0xFF406080;
  also_style.fg_colour = 0xFFFFFFFF;
  also_style.highlight_colour = 0xFFC08020;
  root->add_child(new WM_BUTTON(340, 20, 439, 49, &also_style, "Also", nullptr, also_clicked, 0, 0, 0x2), false);
  COLOUR box_colour = 0xFFE0E0E0, ink = 0xFF000000;
  root->add_child(new WM_CHECK_BOX(150, 24, &box_colour, &ink, "Agree", SANS, 16, 16, check_changed, 0, 0, 1), false);
  WM_STYLE_SET text_style;
  text_style.bg_colour = 0xFF101010;
  text_style.font_id = SANS;
  text_style.font_x_sz = text_style.font_y_sz = 20;
  text_style.flags = ssf_left_justify_text | ssf_top_align_text;
  text_style.shading_flags = 0x000F;
  text_style.border_left_gap = text_style.border_right_gap = text_style.border_top_gap = 4;
  text_style.border_bottom_gap = 4;
  WM_STYLE_SET bar_style;
  bar_style.bg_colour = 0xFF303030;
  bar_style.active_colour = 0xFFC0C0C0;
  bar_style.scrollbar_button_width = 18;
  text_window = new WM_TEXT_WIN(20, 70, 459, 339, &text_style, &bar_style, 100, false, nullptr, 0, 0);
  text_window->show_from_start = 1;
  char line[64];
  for (int i = 0; i < LINE_COUNT; i++) {
    std::snprintf(line, sizeof line, "Line %02d MMMMMMMMMMMM", i);
    COLOUR colour = line_colour(i);
    text_window->add_text(line, nullptr, &colour, false, true);
  }
  root->add_child(text_window, false);
}

void application_main(INT_S16 argc, char** argv) {
  if (argc < 2) {
    say("usage: widget_page font-folder\n");
    exit_process(2);
  }
  // The built-in fonts may be loaded already (from the system's folders); else the one given.
  FOLDER fonts;
  if (!font_loaded(SANS) &&
      (!fonts.set_if_folder(argv[1]) || load_font("DejaVuSans.ttf", nullptr, SANS, &fonts) != SANS)) {
    say("no font\n");
    exit_process(2);
  }
  if (!open_graphics_window("Velk widgets", 480, 360, 0, 0)) exit_process(2);
  set_close_callback(say_close_and_grant);
  // A plain background layer behind the page, so that a dialog that goes leaves nothing behind.
  IMAGE& layer = manager->display_layers[0];
  layer.set_size(screen_image.width, screen_image.height);
  COLOUR background = 0xFF203040;
  if (layer.pixels) layer.clear(&background, 1);
  screen_image.default_font_id = SANS;
  screen_image.default_font_x_size = screen_image.default_font_y_size = 16;
  manager->set_page(0, build_page, nullptr, 0, nullptr, 0, 0, nullptr);
  say("ready\n");
}

INT_U8 application_update() {
  manager->update(false);
  present_frame(-1);
  if (!text_window) return 1;
  INT_S16 dialogs = count_visible_top_level();
  if (dialogs != shown_dialogs) {
    shown_dialogs = dialogs;
    say("dialogs %d\n", (int)dialogs);
  }
  WM_CONFIRM* box = (WM_CONFIRM*)find_top_level(WM_KIND_CONFIRM);
  if (box && !box_reported && box->at_rest() && box->drawn) {
    WM_BUTTON* yes = box->buttons[0];
    say("box yes %d %d\n", yes->x + yes->width / 2, yes->y + yes->height / 2);
    box_reported = true;
  }
  WM_SCROLLBAR* bar = text_window->scrollbar;
  if (bar && !slider_reported && bar->drawn) {
    say("slider %d %d\n", bar->x + bar->width / 2, bar->slider_position() + bar->slider_length / 2);
    slider_reported = true;
  }
  INT_S32 value = text_window->scroll_value.get_int(&text_window->scroll_value.value);
  INT_S16 first, count;
  text_window->page_span(&first, &count);
  if (value != shown_scroll) {
    shown_scroll = value;
    say("scroll %d first %d\n", (int)value, (int)first);
  }
  if (bar && was_dragging && !bar->dragging) say("dragged %d %d\n", (int)value, (int)first);
  if (bar) was_dragging = bar->dragging;
  return 1;
}

void application_exit() { exit_process(CLOSED_STATUS); }

void application_statics(bool start) {
  if (start && !manager) {
    manager = new WM_PAGE_MANAGER(1, -1);
  } else if (!start) {
    delete manager;
    manager = nullptr;
  }
}
