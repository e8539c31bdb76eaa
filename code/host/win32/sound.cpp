// The sound buffers on Windows: DirectSound on the default device, attached to the main window at
// normal co-operative level as soon as that window exists. A failing start or attachment raises
// warning 3 once and the program goes on without sound.
#include "win32_host.h"
#include <mmsystem.h>
#include <dsound.h>
#include <cstring>
#include <new>

#include "data_device.h"
#include "errors.h"
#include "sound_host.h"

struct SOUND_HOLDER {
  IDirectSoundBuffer* buffer;  // null = no sound data
};

static IDirectSound* direct_sound = nullptr;
static INT_U8 needs_binding = 1;

static void sound_warning(HRESULT result) {
  raise_warning(3, sound_error_text((INT_U32)result));
}

void host_prepare_sound() {
  if (!needs_binding || !direct_sound || !main_window)
    return;
  HRESULT result = direct_sound->SetCooperativeLevel(main_window, DSSCL_NORMAL);
  if (SUCCEEDED(result)) {
    needs_binding = 0;
    return;
  }
  direct_sound->Release();
  direct_sound = nullptr;
  sound_warning(result);
}

void host_start_sound_system() {
  IDirectSound* created = nullptr;
  HRESULT result = DirectSoundCreate(NULL, &created, NULL);
  if (FAILED(result) || !created) {
    direct_sound = nullptr;
    sound_warning(result);
    return;
  }
  direct_sound = created;
  host_prepare_sound();
}

void host_stop_sound_system() {
  if (direct_sound)
    direct_sound->Release();
  direct_sound = nullptr;
}

bool sound_system_running() {
  return direct_sound != nullptr;
}

SOUND_HOLDER* host_new_sound_holder() { return new (std::nothrow) SOUND_HOLDER(); }

void host_delete_sound_holder(SOUND_HOLDER* holder) { delete holder; }

bool host_make_sound(SOUND_HOLDER* holder, DATA_DEVICE* file, const WAV_INFO* wav) {
  const WAV_INFO& info = *wav;

  WAVEFORMATEX format;
  memset(&format, 0, sizeof(format));
  format.wFormatTag = info.format_tag;
  format.nChannels = info.channels <= 1 ? 1 : 2;
  format.nSamplesPerSec = info.samples_per_second;
  format.nBlockAlign = info.block_align;
  format.wBitsPerSample = info.bits_per_sample;
  format.nAvgBytesPerSec = info.samples_per_second * info.block_align;
  format.cbSize = 0;

  DSBUFFERDESC1 description;
  memset(&description, 0, sizeof(description));
  description.dwSize = sizeof(description);
  description.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
  description.dwBufferBytes = info.data_size;
  description.lpwfxFormat = &format;

  IDirectSoundBuffer* buffer = nullptr;
  HRESULT result = direct_sound->CreateSoundBuffer((LPCDSBUFFERDESC)&description, &buffer, NULL);
  if (FAILED(result) || !buffer) {
    sound_warning(result);
    return false;
  }
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD size1 = 0, size2 = 0;
  result = buffer->Lock(0, info.data_size, &part1, &size1, &part2, &size2, 0);
  if (FAILED(result)) {
    buffer->Release();
    sound_warning(result);
    return false;
  }
  file->seek((INT_S32)info.data_offset, false);
  if (part1 && size1)
    file->read(part1, (INT_S32)size1);
  if (part2 && size2)
    file->read(part2, (INT_S32)size2);
  result = buffer->Unlock(part1, size1, part2, size2);
  if (FAILED(result)) {
    buffer->Release();
    sound_warning(result);
    return false;
  }
  holder->buffer = buffer;
  return true;
}

void SOUND_BUFFER::play() {
  host_prepare_sound();
  if (holder && holder->buffer)
    holder->buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0);
}

void SOUND_BUFFER::stop() {
  if (!holder || !holder->buffer)
    return;
  holder->buffer->Stop();
  holder->buffer->SetCurrentPosition(0);
}

bool SOUND_BUFFER::is_playing() {
  if (!holder || !holder->buffer)
    return false;
  DWORD status = 0;
  if (FAILED(holder->buffer->GetStatus(&status)))
    return false;
  return (status & (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING)) != 0;
}

void SOUND_BUFFER::set_volume(INT_S32 volume) {
  host_prepare_sound();
  INT_S32 level = sound_volume_to_level(volume);
  if (holder && holder->buffer)
    holder->buffer->SetVolume(level);
}

void SOUND_BUFFER::set_pan(INT_S32 pan) {
  host_prepare_sound();
  INT_S32 level = sound_pan_to_level(pan);
  if (holder && holder->buffer)
    holder->buffer->SetPan(level);
}

void host_release_sound(SOUND_HOLDER* holder) {
  if (!holder->buffer)
    return;
  holder->buffer->Stop();
  holder->buffer->SetCurrentPosition(0);
  holder->buffer->Release();
  holder->buffer = nullptr;
}
