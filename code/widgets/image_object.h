// Image objects: one IMAGE shown as a screen object that reports clicks on it. The image follows the
// object's size: an object without a size takes the image's, an empty image takes the object's, and
// otherwise the image is rescaled to the object.
#pragma once
#include "types.h"
#include "image.h"
#include "screen_object.h"

class WM_IMAGE : public WM_SCREEN_OBJECT {
public:
  IMAGE image;          // owned; users fill it directly
  INT_U8 last_pressed;  // the activating input (left button or activation key) was down last pass
  INT_S16 click_x;      // while the callback runs: the activation point relative to the corner; else -1
  INT_S16 click_y;
  INT_U8 event_mask;    // 0x1 fire when the input goes down, 0x2 when it goes up
  INT_U8 over;          // the pointer was over the object last pass
  INT_U8 last_key;      // the activation key was down last pass

  // An image of width x height (empty when either is below 1).
  WM_IMAGE(INT_S16 x, INT_S16 y, INT_S16 width, INT_S16 height, INT_U8 visible, WM_EVENT_CALLBACK callback,
           INT_U32 user1, INT_U32 user2, INT_U8 event_mask);
  ~WM_IMAGE() override;

  WM_RESULT process() override;
  // Nothing at the current size; otherwise the image is rescaled from its current pixels.
  void resize(INT_S16 new_width, INT_S16 new_height, bool resize_children) override;
  void draw() override;
};
