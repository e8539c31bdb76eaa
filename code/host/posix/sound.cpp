// The sound buffers on Linux: the sound system always starts and every buffer keeps its data and its
// state (playing, looping, position, volume, pan), with the play position following the clock; no
// audio is put out.
#include <cstdlib>
#include <cstring>
#include <new>

#include "data_device.h"
#include "errors.h"
#include "host.h"
#include "sound_host.h"

struct SOUND_HOLDER {
  INT_U8* data;            // the sound's sample bytes; null = no buffer
  INT_U32 size;
  INT_U32 bytes_per_second;
  INT_U8 playing;
  INT_U8 looping;
  INT_U32 position;        // byte position when play started (or where it stopped)
  INT_U32 play_tick;       // get_tick_count when play started
  INT_S32 volume_level;    // hundredths of a decibel
  INT_S32 pan_level;
};

static bool sound_running = false;

void host_start_sound_system() { sound_running = true; }

void host_stop_sound_system() { sound_running = false; }

void host_prepare_sound() {}

bool sound_system_running() { return sound_running; }

SOUND_HOLDER* host_new_sound_holder() { return new (std::nothrow) SOUND_HOLDER(); }

void host_delete_sound_holder(SOUND_HOLDER* holder) { delete holder; }

// Brings a playing one-shot sound up to the clock: it stops (and rewinds) once its data has played.
static void advance(SOUND_HOLDER* h) {
  if (!h->playing || h->looping || !h->data)
    return;
  INT_U64 elapsed = (INT_U64)(INT_U32)(get_tick_count() - h->play_tick);
  INT_U64 played = elapsed * h->bytes_per_second / 1000;
  if (h->position + played >= h->size) {
    h->playing = 0;
    h->position = 0;
  }
}

bool host_make_sound(SOUND_HOLDER* holder, DATA_DEVICE* file, const WAV_INFO* wav) {
  const WAV_INFO& info = *wav;
  // What a sound device would refuse: no rate, no block size, no sample width, or not plain PCM.
  if (info.samples_per_second == 0 || info.block_align == 0 || info.bits_per_sample == 0 ||
      info.format_tag != 1) {
    raise_warning(3, sound_error_text(0x88780064u));
    return false;
  }
  INT_U8* data = (INT_U8*)malloc(info.data_size ? info.data_size : 1);
  if (!data) {
    raise_warning(3, sound_error_text(0x8007000Eu));
    return false;
  }
  file->seek((INT_S32)info.data_offset, false);
  if (file->read(data, (INT_S32)info.data_size) != (INT_S32)info.data_size) {
    free(data);
    return false;
  }
  holder->data = data;
  holder->size = info.data_size;
  holder->bytes_per_second = info.samples_per_second * info.block_align;
  holder->position = 0;
  holder->playing = 0;
  holder->volume_level = 0;
  holder->pan_level = 0;
  return true;
}

void SOUND_BUFFER::play() {
  if (!holder || !holder->data)
    return;
  advance(holder);
  if (holder->playing)
    return;
  holder->playing = 1;
  holder->looping = loop ? 1 : 0;
  holder->play_tick = get_tick_count();
}

void SOUND_BUFFER::stop() {
  if (!holder || !holder->data)
    return;
  holder->playing = 0;
  holder->position = 0;
}

bool SOUND_BUFFER::is_playing() {
  if (!holder || !holder->data)
    return false;
  advance(holder);
  return holder->playing != 0;
}

void SOUND_BUFFER::set_volume(INT_S32 volume) {
  if (holder && holder->data)
    holder->volume_level = sound_volume_to_level(volume);
}

void SOUND_BUFFER::set_pan(INT_S32 pan) {
  if (holder && holder->data)
    holder->pan_level = sound_pan_to_level(pan);
}

void host_release_sound(SOUND_HOLDER* holder) {
  if (!holder->data)
    return;
  free(holder->data);
  memset(holder, 0, sizeof(*holder));
}
