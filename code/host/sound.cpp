// The host-independent half of the sound service: a buffer's life from construction to unloading, the
// tracing WAV loader, the tune synthesizer, the sound bank's channels, loading a buffer from a file and
// the level mappings. The playable buffers themselves are the host's (code/host/<host>/sound.cpp).
#include "sound.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "data_file.h"
#include "debug_stream.h"
#include "host.h"
#include "sound_host.h"

// ---------------------------------------------------------------------------------------------------
// Levels and texts
// ---------------------------------------------------------------------------------------------------

INT_S32 sound_volume_to_level(INT_S32 volume) {
  if (volume < 0)
    volume = 0;
  if (volume > 100)
    volume = 100;
  if (volume == 0)
    return -10000;
  return -50 * (100 - volume);
}

INT_S32 sound_pan_to_level(INT_S32 pan) {
  if (pan < -100)
    pan = -100;
  if (pan > 100)
    pan = 100;
  return 100 * pan;
}

const char* sound_error_text(INT_U32 result) {
  switch (result) {
    case 0x8878000Au: return "DirectSound ERROR: Allocated";
    case 0x80070057u: return "DirectSound ERROR: Invalid parameter";
    case 0x8007000Eu: return "DirectSound ERROR: Out of memory";
    case 0x887800AAu: return "DirectSound ERROR: Uninitialized";
    case 0x88780064u: return "DirectSound ERROR: Bad format";
    case 0x80040110u: return "DirectSound ERROR: No aggregation";
    case 0x80004001u: return "DirectSound ERROR: Unsuppoerted";
    default: return "Unknown sound error";
  }
}

// ---------------------------------------------------------------------------------------------------
// WAV loader
// ---------------------------------------------------------------------------------------------------

static INT_U32 read_le32(const INT_U8* bytes) {
  return (INT_U32)bytes[0] | ((INT_U32)bytes[1] << 8) | ((INT_U32)bytes[2] << 16) | ((INT_U32)bytes[3] << 24);
}

static INT_U16 read_le16(const INT_U8* bytes) {
  return (INT_U16)(bytes[0] | (bytes[1] << 8));
}

bool load_wav(DATA_DEVICE* file, WAV_INFO* info) {
  DEBUG_STREAM* trace = wav_debug_stream();
  if (!file || !info)
    return false;
  debug_stream_printf(trace, "Starting WAV load\n");
  // The end of the stream, found once: the scan never reads or seeks past it.
  INT_U32 start = file->tell();
  file->seek(0, true);
  INT_U32 end = file->tell();
  file->seek((INT_S32)start, false);

  INT_U8 header[8];
  if (file->read(header, 8) != 8 || memcmp(header, "RIFF", 4) != 0) {
    debug_stream_printf(trace, "RIFF header missing\n");
    return false;
  }
  debug_stream_printf(trace, "Found RIFF header\n");
  if (file->read(header, 4) != 4 || memcmp(header, "WAVE", 4) != 0) {
    debug_stream_printf(trace, "RIFF format is not WAVE\n");
    return false;
  }
  debug_stream_printf(trace, "Got WAVE format RIFF\n");

  bool have_format = false;
  bool have_data = false;
  for (;;) {
    INT_U32 position = file->tell();
    if (position >= end)
      break;
    debug_stream_printf(trace, "Reading subchunk from file offset %ld\n", (long)position);
    INT_U8 chunk[8];
    INT_S32 got = file->read(chunk, 8);
    if (got <= 0)
      break;
    if (got < 8) {
      debug_stream_printf(trace, "Incompete subchunk header (most likely trailing bytes at end of file)\n\t");
      for (INT_S32 i = 0; i < got; i++) {
        char text[8];
        snprintf(text, sizeof(text), "0x%X ", (unsigned)chunk[i]);
        console_print(text);
      }
      debug_stream_printf(trace, "\n");
      continue;
    }
    INT_U32 length = read_le32(chunk + 4);
    INT_U32 body = position + 8;
    debug_stream_printf(trace, "Got '%c%c%c%c' subchunk\n", chunk[0], chunk[1], chunk[2], chunk[3]);
    // Chunks of odd length are followed by a pad byte; the next header starts after it.
    INT_U64 next = (INT_U64)body + length + (length & 1);
    if (memcmp(chunk, "fmt", 3) == 0) {
      if (length < 16) {
        debug_stream_printf(trace, "\tFormat subchunk does not contain enough byes!\n");
        return false;
      }
      INT_U8 format[16];
      if (file->read(format, 16) != 16) {
        debug_stream_printf(trace, "\tFormat subchunk is cut short by the end of the file\n");
        return false;
      }
      info->format_tag = read_le16(format);
      info->channels = read_le16(format + 2);
      info->samples_per_second = read_le32(format + 4);
      info->average_bytes_per_second = read_le32(format + 8);
      info->block_align = read_le16(format + 12);
      info->bits_per_sample = read_le16(format + 14);
      if (length > 16)
        debug_stream_printf(trace,
                            "\tMalformed format subchunk which contains extra byes! (is %d bytes should be 16 "
                            "bytes)\n\tWill continue assuming start of fmt chunk is valid.\n\tSkipping %d bytes.\n",
                            (int)length, (int)(length - 16));
      have_format = true;
      debug_stream_printf(trace, "\tFormat subchunk read in\n");
    } else if (!have_data && memcmp(chunk, "data", 4) == 0) {
      if ((INT_U64)body + length > end) {
        debug_stream_printf(trace, "\tData subchunk is longer than the file (length %ld)\n", (long)length);
        return false;
      }
      info->data_size = length;
      info->data_offset = body;
      have_data = true;
      debug_stream_printf(trace, "\tData offset stored (length %ld)\n", (long)length);
    } else {
      debug_stream_printf(trace, "\tSubchunk skipped (length %ld)\n", (long)length);
    }
    if (next >= end)
      break;
    file->seek((INT_S32)next, false);
  }
  debug_stream_printf(trace, "Complete\n\n");
  return have_format && have_data;
}

// ---------------------------------------------------------------------------------------------------
// A buffer's life: the sound system starts when the first sound is made while buffers are alive, and
// stops with the last buffer
// ---------------------------------------------------------------------------------------------------

static INT_S16 sound_instances = 0;
static bool sound_start_tried = false;  // since the first of the buffers now alive was built

// The device is opened for the first sound data, not for the first buffer: a run that builds buffers and
// makes no sound (the window manager's click sound in every run of the installer) never opens it. A
// start that fails is not tried again until the buffers have all gone.
static bool start_sound_system_once() {
  if (!sound_start_tried) {
    sound_start_tried = true;
    host_start_sound_system();
  }
  return sound_system_running();
}

SOUND_BUFFER::SOUND_BUFFER() {
  sound_instances++;
  holder = host_new_sound_holder();
  loop = 0;
  loaded = 0;
  host_prepare_sound();
  set_volume(100);
  set_pan(0);
}

SOUND_BUFFER::~SOUND_BUFFER() {
  unload();
  if (--sound_instances <= 0) {
    sound_instances = 0;
    if (sound_start_tried) host_stop_sound_system();
    sound_start_tried = false;
  }
}

bool SOUND_BUFFER::create_from_wav(DATA_DEVICE* file) {
  if (!holder) return false;
  host_prepare_sound();
  release_buffer();
  loaded = 0;
  if (!start_sound_system_once()) return false;
  WAV_INFO info;
  std::memset(&info, 0, sizeof(info));
  if (!load_wav(file, &info)) return false;
  return host_make_sound(holder, file, &info);
}

void SOUND_BUFFER::release_buffer() {
  if (holder) host_release_sound(holder);
}

void SOUND_BUFFER::unload() {
  release_buffer();
  loaded = 0;
  host_delete_sound_holder(holder);
  holder = nullptr;
}

// ---------------------------------------------------------------------------------------------------
// Buffers from files, and the bank
// ---------------------------------------------------------------------------------------------------

bool SOUND_BUFFER::load(FOLDER* folder, const char* file_name) {
  DATA_FILE* file = open_data_file(folder, file_name, FILE_MODE_READ, 0, false);
  if (!file) {
    // A failed load leaves the buffer empty, as a failed creation does.
    release_buffer();
    loaded = 0;
    return false;
  }
  bool result = create_from_wav(file);
  loaded = result ? 1 : 0;
  close_data_file(&file);
  return result;
}

SOUND_BANK::SOUND_BANK(INT_S16 wanted) {
  if (wanted < 2)
    wanted = 1;
  if (wanted > 20)
    wanted = 20;
  count = wanted;
  channels = new SOUND_BUFFER[count];
}

SOUND_BANK::~SOUND_BANK() {
  // Array delete destroys the elements from the last to the first.
  delete[] channels;
  channels = nullptr;
}

SOUND_BUFFER* SOUND_BANK::get_channel(INT_S8 channel) {
  if (!channels || channel < 0 || channel >= count)
    return nullptr;
  return &channels[channel];
}

INT_S32 SOUND_BANK::play(INT_S8 channel, FOLDER* folder, const char* file_name, INT_S32 volume,
                         INT_S32 pan, INT_U8 loop) {
  SOUND_BUFFER* buffer = get_channel(channel);
  if (!buffer)
    return -1;
  if (!buffer->load(folder, file_name))
    return -1;
  buffer->loop = loop;
  buffer->set_volume(volume);
  buffer->set_pan(pan);
  buffer->play();
  return channel;
}

INT_S32 SOUND_BANK::play_free(FOLDER* folder, const char* file_name, INT_S32 volume, INT_S32 pan,
                              INT_U8 loop) {
  for (INT_S16 i = 0; channels && i < count; i++)
    if (!channels[i].is_playing())
      return play((INT_S8)i, folder, file_name, volume, pan, loop);
  return -1;
}

void SOUND_BANK::stop(INT_S8 channel) {
  if (channel == -1) {
    for (INT_S16 i = 0; channels && i < count; i++)
      channels[i].stop();
    return;
  }
  SOUND_BUFFER* buffer = get_channel(channel);
  if (buffer)
    buffer->stop();
}

bool SOUND_BANK::is_playing(INT_S8 channel) {
  SOUND_BUFFER* buffer = get_channel(channel);
  return buffer && buffer->is_playing();
}

void SOUND_BANK::set_volume(INT_S8 channel, INT_S32 volume) {
  SOUND_BUFFER* buffer = get_channel(channel);
  if (buffer)
    buffer->set_volume(volume);
}

void SOUND_BANK::set_pan(INT_S8 channel, INT_S32 pan) {
  SOUND_BUFFER* buffer = get_channel(channel);
  if (buffer)
    buffer->set_pan(pan);
}

// ---------------------------------------------------------------------------------------------------
// Tune synthesizer
// ---------------------------------------------------------------------------------------------------

static const double TUNE_PI = 3.1415926535898;

// Length factors of the length codes 0 to 9.
static const double length_factor[10] = {1.0, 0.25, 0.375, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0};

// Frequency ratios to C of the notes C, D, E, F, G, A, B and of their sharps (0 = no such sharp).
static const double note_ratio[7] = {1.0, 9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8};
static const double sharp_ratio[7] = {17.0 / 16, 19.0 / 16, 0, 17.0 / 12, 19.0 / 12, 85.0 / 48, 0};

// Rising envelope of a note at time t.
static double rising_envelope(double t, double peak, double sustain, const TUNE_SETTINGS* s) {
  double a = s->attack, dk = s->decay;
  if (t < a)
    return t * peak / a;
  if (t < a + dk)
    return sustain + (peak - sustain) * ((a + dk) - t) / dk;
  if (!s->oscillating_sustain || dk <= 0)
    return sustain;
  double x = t - (a + dk);
  x -= 2 * dk * std::floor(x / (2 * dk) + 0.5);
  double folded = x < dk ? x : 2 * dk - x;
  return sustain + (peak - sustain) * folded / dk;
}

// Closing limit of a note of length d at time t.
static double closing_limit(double t, double d, double peak, double sustain, const TUNE_SETTINGS* s) {
  double r = s->release, dk = s->decay;
  if (r > 0 && t > d - r)
    return (d - t) * sustain / r;
  if (dk > 0 && t > d - r - dk)
    return sustain + (peak - sustain) * ((d - r) - t) / dk;
  return peak;
}

static bool write_sample(DATA_DEVICE* device, double s, const TUNE_SETTINGS* settings, INT_U32* bytes) {
  int copies = settings->stereo ? 2 : 1;
  for (int i = 0; i < copies; i++) {
    if (settings->sixteen_bit) {
      double clamped = s > 32767 ? 32767 : (s < -32768 ? -32768 : s);
      if (!device->write_s16((INT_S16)std::lround(clamped)))
        return false;
      *bytes += 2;
    } else {
      INT_U8 value;
      if (s > 127)
        value = 254;
      else if (s < -128)
        value = 0;
      else
        value = (INT_U8)std::lround(s + 127);
      if (!device->write_u8(value))
        return false;
      *bytes += 1;
    }
  }
  return true;
}

// Renders one note (frequency 0 = a rest) of d seconds.
static bool render_note(DATA_DEVICE* device, double frequency, double d, const TUNE_SETTINGS* s,
                        INT_U32* bytes) {
  double peak = s->volume * (s->sixteen_bit ? 32767.0 : 127.0) / 100.0;
  double sustain = s->sustain_level * peak / 100.0;
  double rate = (double)s->samples_per_second;
  for (INT_U32 n = 0;; n++) {
    double t = n / rate;
    if (!(t < d))
      break;
    double sample = 0;
    if (frequency > 0) {
      double e = rising_envelope(t, peak, sustain, s);
      double c = closing_limit(t, d, peak, sustain, s);
      double amplitude = e < c ? e : c;
      double w = 2 * TUNE_PI * t * frequency;
      sample = amplitude * std::sin(w);
      if (s->harmonics_2_3_4)
        sample += amplitude * (std::sin(2 * w) / 2 + std::sin(3 * w) / 3 + std::sin(4 * w) / 4);
      if (s->harmonics_3_5_7)
        sample += amplitude * (std::sin(3 * w) / 3 + std::sin(5 * w) / 5 + std::sin(7 * w) / 7);
    }
    if (!write_sample(device, sample, s, bytes))
      return false;
  }
  return true;
}

bool render_tune_to_device(DATA_DEVICE* device, const char* tune, INT_S32 note_unit_ms,
                           const TUNE_SETTINGS* settings) {
  TUNE_SETTINGS defaults;
  if (!settings)
    settings = &defaults;
  if (!device || settings->samples_per_second == 0)
    return false;
  INT_U16 channels = settings->stereo ? 2 : 1;
  INT_U16 bits = settings->sixteen_bit ? 16 : 8;
  INT_U32 start = device->tell();
  device->write("RIFF", 4);
  device->write_u32(0);
  device->write("WAVE", 4);
  device->write("fmt ", 4);
  device->write_u32(16);
  device->write_u16(1);
  device->write_u16(channels);
  device->write_u32(settings->samples_per_second);
  device->write_u32(settings->samples_per_second * channels * bits / 8);
  device->write_u16((INT_U16)(channels * bits / 8));
  device->write_u16(bits);
  device->write("data", 4);
  if (!device->write_u32(0))
    return false;

  INT_U32 bytes = 0;
  int octave = 2;
  int length_code = 5;
  for (const char* p = tune ? tune : ""; *p; p++) {
    char c = *p;
    if (c >= '0' && c <= '9') {
      length_code = c - '0';
      continue;
    }
    if (c == 'O') {
      // The octave digit is consumed; an 'O' at the end ends the tune.
      if (p[1] == 0)
        break;
      if (p[1] >= '0' && p[1] <= '9') {
        octave = p[1] - '0';
        p++;
      }
      continue;
    }
    bool upper = c >= 'A' && c <= 'G';
    bool lower = c >= 'a' && c <= 'g';
    if (!upper && !lower && c != '&')
      continue;
    bool sharp = p[1] == '#';
    double duration = note_unit_ms * length_factor[length_code] / 1000.0;
    double frequency = 0;
    if (c == '&') {
      if (sharp)
        continue;
    } else {
      // Letters to note indexes C D E F G A B.
      static const int index_of[7] = {5, 6, 0, 1, 2, 3, 4};  // A..G
      int note = index_of[(upper ? c - 'A' : c - 'a')];
      double ratio = sharp ? sharp_ratio[note] : note_ratio[note];
      if (ratio == 0)
        continue;
      frequency = 161.0 * std::pow(2.0, octave) * ratio;
      if (lower)
        frequency /= 2;
    }
    if (!render_note(device, frequency, duration, settings, &bytes))
      return false;
  }

  device->seek((INT_S32)(start + 40), false);
  device->write_u32(bytes);
  device->seek((INT_S32)(start + 4), false);
  device->write_u32(bytes + 36);
  device->seek((INT_S32)(start + 44 + bytes), false);
  return !device->failed;
}

bool render_tune_to_wav(FOLDER* folder, const char* file_name, const char* tune, INT_S32 note_unit_ms,
                        const TUNE_SETTINGS* settings) {
  DATA_FILE* file = open_data_file(folder, file_name, FILE_MODE_WRITE, 0, false);
  if (!file)
    return false;
  bool rendered = render_tune_to_device(file, tune, note_unit_ms, settings);
  bool closed = close_data_file(&file);
  return rendered && closed;
}
