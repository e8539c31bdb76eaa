// Image objects: the click (pointer, or the activation key on the focused object) reported with the
// activation point, and drawing that fits the image and the object to each other.
#include "image_object.h"

#include "click_sound.h"
#include "host.h"
#include "scale.h"

WM_IMAGE::WM_IMAGE(INT_S16 x_, INT_S16 y_, INT_S16 width_, INT_S16 height_, INT_U8 visible_,
                   WM_EVENT_CALLBACK callback, INT_U32 user1, INT_U32 user2, INT_U8 event_mask_)
    : WM_SCREEN_OBJECT(visible_, callback, user1, user2), image(width_ < 1 || height_ < 1 ? 0 : width_,
                                                                 width_ < 1 || height_ < 1 ? 0 : height_),
      last_pressed(0), click_x(-1), click_y(-1), event_mask(event_mask_), over(0), last_key(0) {
  x = x_;
  y = y_;
  width = width_;
  height = height_;
  kind |= WM_KIND_IMAGE;
  call_screen_object_created_hook(this);
}

WM_IMAGE::~WM_IMAGE() { image.owner = nullptr; }

WM_RESULT WM_IMAGE::process() {
  WM_RESULT result = WM_SCREEN_OBJECT::process();
  if (result != 0 || !visible) return result;
  KEYBOARD_HANDLER keyboard;
  MOUSE_HANDLER mouse;
  INT_S16 px = MOUSE_HANDLER::pointer_x, py = MOUSE_HANDLER::pointer_y;
  INT_U8 pressed = (MOUSE_HANDLER::held_buttons & 0x1) ? 1 : 0;
  INT_U8 pointer_over = contains_point(px, py) ? 1 : 0;
  INT_U8 key = keyboard.is_key_down((INT_S32)activation_key) ? 1 : 0;

  // The activation key on the focused object acts at its centre, wherever the pointer is.
  INT_S16 ax = px, ay = py;
  bool key_activation = focus_object == this && key != last_key;
  if (key_activation) {
    ax = (INT_S16)(x + width / 2);
    ay = (INT_S16)(y + height / 2);
    pressed = key;
  } else if (pointer_over != over) {
    over = pointer_over;
    show();
  }

  if ((pointer_over || key_activation) && pressed != last_pressed &&
      (((event_mask & 0x1) && pressed) || ((event_mask & 0x2) && !pressed))) {
    click_x = (INT_S16)(ax - x);
    click_y = (INT_S16)(ay - y);
    play_click_sound();
    WM_DELETE_GUARD guard(this);
    if (event_callback) result = event_callback(this, event_user1, event_user2, 0);
    if (guard.deleted) return result;
    click_x = click_y = -1;
  }
  last_pressed = pressed;
  last_key = key;
  return result;
}

void WM_IMAGE::resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) {
  if (new_width == width && new_height == height) return;
  WM_SCREEN_OBJECT::resize(new_width, new_height, resize_children);
  if (new_width >= 0 && new_height >= 0) image.scale((INT_U16)new_width, (INT_U16)new_height, smooth_scaling_off == 0);
}

void WM_IMAGE::draw() {
  IMAGE* target = draw_target;
  if (!target) return;
  if (width == 0 || width == -1 || height == 0 || height == -1) {
    width = image.width;
    height = image.height;
  } else if (image.width == 0 || image.height == 0) {
    image.set_size(width, height);
  } else if (width > 0 && height > 0 && (image.width != width || image.height != height)) {
    image.scale((INT_U16)width, (INT_U16)height, smooth_scaling_off == 0);
  }
  if (image.width > 0 && image.height > 0)
    image.blit_to((INT_S16)(x + (width - image.width) / 2), (INT_S16)(y + (height - image.height) / 2), target,
                  BLIT_BLEND);
}
