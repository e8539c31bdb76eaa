// What the shared part of the sound service (code/host/sound.cpp) asks of the host's part
// (code/host/<host>/sound.cpp): the sound system's start and stop, the holder cell of a buffer, and making
// and dropping a playable buffer. Not part of the host interface.
#pragma once
#include "sound.h"

// Start for the first sound made while buffers are alive, stop with the last buffer; a failing start
// raises warning 3.
void host_start_sound_system();
void host_stop_sound_system();
// Attaches the sound system to the main window once that exists (Windows); nothing elsewhere.
void host_prepare_sound();
// A new, empty holder cell; null when it cannot be allocated.
SOUND_HOLDER* host_new_sound_holder();
void host_delete_sound_holder(SOUND_HOLDER* holder);
// Makes the holder's playable buffer from the WAV data the loader found in file; false (with the
// host's warning where a device refuses it) when it cannot.
bool host_make_sound(SOUND_HOLDER* holder, DATA_DEVICE* file, const WAV_INFO* info);
// Stops and drops the holder's buffer, if it has one.
void host_release_sound(SOUND_HOLDER* holder);
