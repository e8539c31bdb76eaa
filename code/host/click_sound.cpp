// The window manager's click sound, built at entry with the other statics and destroyed after the
// host's shut-down.
#include "click_sound.h"

#include <new>

SOUND_BUFFER* click_sound = nullptr;

void start_click_sound() {
  if (!click_sound) click_sound = new (std::nothrow) SOUND_BUFFER();
}

void stop_click_sound() {
  delete click_sound;
  click_sound = nullptr;
}

void play_click_sound() {
  if (click_sound && click_sound->loaded) click_sound->play();
}
