// The window manager's click sound: the one SOUND_BUFFER that widgets play when a sound has been
// loaded into it. Built at entry in the fixed start-up order, before the main window opens; the sound
// system starts only when a sound is loaded into a buffer, so a run that plays nothing never opens
// the sound device. Destroyed at exit.
#pragma once
#include "sound.h"

// Null before start_click_sound and after stop_click_sound. Widgets play it only while its loaded
// flag is set; nothing in the installer loads a sound into it.
extern SOUND_BUFFER* click_sound;

// Builds the click sound unless it exists. A sound system that cannot start raises its warning when a
// sound is loaded (it never waits in an unattended run) and the program goes on without sound.
void start_click_sound();
// Destroys the click sound; the sound system stops when no other buffer is alive.
void stop_click_sound();
// Plays the click sound when one is loaded; nothing otherwise (widgets call it when they fire).
void play_click_sound();
