// A program for real-window tests of the window manager: opens the main window with a page manager whose
// page is a plain fill with one button, and a draggable dialog with two buttons and the default effects
// over it. It prints what the objects' callbacks see (clicks and focus), and each place where the dialog
// comes to rest, with where its buttons stand, so that a test can drive it with real input and read its
// pixels back. A close request ends it with status 0.
#include <cstdarg>
#include <cstdio>

#include "button.h"
#include "dialog.h"
#include "page_manager.h"
#include "program.h"
#include "redraw.h"
#include "screen_image.h"

static const INT_S16 WINDOW_WIDTH = 480, WINDOW_HEIGHT = 360;
static const COLOUR PAGE_COLOUR = 0xFF203040u;
static WM_PAGE_MANAGER* manager = nullptr;
static WM_DIALOG* dialog = nullptr;
static WM_BUTTON* page_button = nullptr;
static WM_BUTTON* one = nullptr;
static WM_BUTTON* two = nullptr;
static INT_S16 reported_x = -1, reported_y = -1;

static void say(const char* format, ...) {
  char line[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  console_print(line);
  console_flush();  // the test waits for it
}

// The page's background: one colour over the whole area.
class PAGE_FILL : public WM_SCREEN_OBJECT {
public:
  PAGE_FILL() : WM_SCREEN_OBJECT(1, nullptr, 0, 0) {
    width = WINDOW_WIDTH;
    height = WINDOW_HEIGHT;
  }
  void draw() override {
    COLOUR colour = PAGE_COLOUR;
    draw_target->fill_rectangle(x, y, (INT_S16)(x + width - 1), (INT_S16)(y + height - 1), &colour, 0);
  }
};

static const char* name_of(WM_SCREEN_OBJECT* object) {
  if (object == one) return "One";
  if (object == two) return "Two";
  if (object == page_button) return "Page";
  return "?";
}

// The buttons report only their clicks (their event mask).
static WM_RESULT clicked(WM_SCREEN_OBJECT* object, INT_U32, INT_U32, int) {
  say("click %s\n", name_of(object));
  return 0;
}

static void focused(WM_SCREEN_OBJECT* object, INT_U32) {
  if (focus_object == object) say("focus %s\n", name_of(object));
}

static WM_BUTTON* make_button(INT_S16 x, INT_S16 y, const char* text) {
  COLOUR face = 0xFF808080u, label = 0xFF000000u;
  WM_BUTTON* button = new WM_BUTTON(x, y, (INT_S16)(x + 79), (INT_S16)(y + 29), &face, &label, text, CLICK_NORMAL, 0,
                                    0x000F, clicked, 0, 0, 1, BUTTON_EVENT_CLICK);
  button->focusable = 1;
  button->focus_callback = focused;
  return button;
}

static void build_page(WM_PAGE_MANAGER* page_manager) {
  WM_MANAGER* root = page_manager->get_root();
  root->add_child(new PAGE_FILL(), false);
  page_button = make_button(20, 310, "Page");
  root->add_child(page_button, false);
  dialog = new WM_DIALOG(60, 40, 240, 160, "Drag me", nullptr, nullptr, nullptr, nullptr);
  one = make_button(20, 60, "One");
  two = make_button(120, 60, "Two");
  dialog->add_child(one, true);
  dialog->add_child(two, true);
  root->add_top_level(dialog, false);
}

// Once per pass: a dialog that has come to rest at a new place is reported with its buttons.
static WM_RESULT per_pass() {
  if (!dialog || !is_top_level(dialog) || dialog->dragging || !dialog->at_rest() || dialog->alpha != 255) return 0;
  if (dialog->x == reported_x && dialog->y == reported_y) return 0;
  reported_x = dialog->x;
  reported_y = dialog->y;
  say("dialog %d %d %d %d\n", dialog->x, dialog->y, dialog->width, dialog->height);
  WM_BUTTON* buttons[3] = {one, two, page_button};
  for (WM_BUTTON* button : buttons)
    say("place %s %d %d\n", name_of(button), button->x + button->width / 2, button->y + button->height / 2);
  return 0;
}

static INT_U8 close_requested(INT_S16) {
  say("close\n");
  return 1;
}

void application_statics(bool start) {
  if (start) {
    manager = new WM_PAGE_MANAGER(1, -1);
  } else {
    delete manager;
    manager = nullptr;
  }
}

void application_main(INT_S16, char**) {
  if (!open_graphics_window("Dialogs", WINDOW_WIDTH, WINDOW_HEIGHT, 0, 0)) exit_process(2);
  set_close_callback(close_requested);
  manager->set_page(0, build_page, nullptr, 0, per_pass, 0, 0, nullptr);
}

INT_U8 application_update() {
  manager->update(true);
  return 1;
}

void application_exit() { say("exit\n"); }
