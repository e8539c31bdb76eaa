// The sound service: SOUND_BUFFER is one sound with loop, volume and pan; SOUND_BANK an array of them
// used as channels. Sounds come from WAV files through a tracing loader; a tune synthesizer renders a
// text of notes into a WAV file. Windows plays through DirectSound; on Linux the buffers keep their
// state but nothing is heard.
#pragma once
#include "types.h"

class DATA_DEVICE;
class FOLDER;

// What the WAV loader finds: the first 16 bytes of the "fmt " chunk as stored, the "data" chunk's
// stated length and the device position at which its bytes begin.
struct WAV_INFO {
  INT_U16 format_tag;
  INT_U16 channels;
  INT_U32 samples_per_second;
  INT_U32 average_bytes_per_second;
  INT_U16 block_align;
  INT_U16 bits_per_sample;
  INT_U32 data_size;
  INT_U32 data_offset;
};

// The host's cell that holds a sound's playable buffer.
struct SOUND_HOLDER;

class SOUND_BUFFER {
public:
  SOUND_HOLDER* holder;  // owned; null only when it could not be allocated
  INT_U8 loop;           // set before play: the sound repeats until stopped
  INT_U8 loaded;         // 1 after a successful load

  // Counts the buffer; the sound system starts with the first sound data made while buffers are
  // alive (create_from_wav), and the last buffer's end stops it.
  SOUND_BUFFER();
  virtual ~SOUND_BUFFER();
  SOUND_BUFFER(const SOUND_BUFFER&) = delete;
  SOUND_BUFFER& operator=(const SOUND_BUFFER&) = delete;

  // Reads a WAV file into the buffer; the loaded flag takes the result.
  bool load(FOLDER* folder, const char* file_name);
  // Makes the playable buffer from a WAV stream at the device's position (a DATA_FILE normally).
  bool create_from_wav(DATA_DEVICE* file);
  // Plays from the current position (repeating while loop is set).
  void play();
  // Stops and rewinds.
  void stop();
  bool is_playing();
  // 0 (silence) to 100 (full); out-of-range values are clamped.
  void set_volume(INT_S32 volume);
  // -100 (full left) to 100 (full right); clamped.
  void set_pan(INT_S32 pan);
  // Stops and drops the sound data.
  void release_buffer();
  // As release_buffer, loaded 0, and the holder cell freed (the destructor's step).
  void unload();
};

// 1 to 20 channels; channel numbers are 0 to count - 1.
class SOUND_BANK {
public:
  INT_S16 count;
  SOUND_BUFFER* channels;

  explicit SOUND_BANK(INT_S16 count);
  ~SOUND_BANK();
  SOUND_BANK(const SOUND_BANK&) = delete;
  SOUND_BANK& operator=(const SOUND_BANK&) = delete;

  // Loads the file into the channel, sets loop, volume and pan, plays it; the channel, or -1 for an
  // invalid channel or a failed load.
  INT_S32 play(INT_S8 channel, FOLDER* folder, const char* file_name, INT_S32 volume, INT_S32 pan,
               INT_U8 loop);
  // As play on the first channel that is not playing; -1 when every channel plays.
  INT_S32 play_free(FOLDER* folder, const char* file_name, INT_S32 volume, INT_S32 pan, INT_U8 loop);
  // Stops the channel (-1 = every channel).
  void stop(INT_S8 channel);
  bool is_playing(INT_S8 channel);
  void set_volume(INT_S8 channel, INT_S32 volume);
  void set_pan(INT_S8 channel, INT_S32 pan);
  // The channel's buffer; null for an invalid channel.
  SOUND_BUFFER* get_channel(INT_S8 channel);
};

// The tune synthesizer's sound.
struct TUNE_SETTINGS {
  INT_S8 volume = 100;               // percent
  INT_U32 samples_per_second = 22050;
  INT_U8 stereo = 0;                 // non-zero: two channels with the same samples
  INT_U8 sixteen_bit = 1;            // 0 = 8-bit samples
  double attack = 0.2;               // seconds
  double decay = 0.1;
  double release = 0.2;
  INT_U8 oscillating_sustain = 0;
  INT_S8 sustain_level = 80;         // percent of the peak
  INT_U8 harmonics_2_3_4 = 0;
  INT_U8 harmonics_3_5_7 = 0;
};

// Parses a WAV stream from the device's current position, tracing to "WAV file loading debug".
// False without "RIFF"/"WAVE", with a short format chunk, without format or data chunk, or when the
// data chunk states more bytes than the file holds.
bool load_wav(DATA_DEVICE* file, WAV_INFO* info);

// Renders a tune ("O4" octave, "0"-"9" note lengths, "A"-"G" and "a"-"g" notes, "#" sharp, "&" rest)
// into a new WAV file; false when the file cannot be created. Null settings use the defaults.
bool render_tune_to_wav(FOLDER* folder, const char* file_name, const char* tune, INT_S32 note_unit_ms,
                        const TUNE_SETTINGS* settings);
// The same into any device (header, samples, sizes patched at offsets 4 and 40).
bool render_tune_to_device(DATA_DEVICE* device, const char* tune, INT_S32 note_unit_ms,
                           const TUNE_SETTINGS* settings);

// Volume 0..100 in hundredths of a decibel (100: 0, 1: -4950, 0: -10000); clamped.
INT_S32 sound_volume_to_level(INT_S32 volume);
// Pan -100..100 in hundredths of a decibel (100 x pan); clamped.
INT_S32 sound_pan_to_level(INT_S32 pan);
// The text appended to warning 3 for a sound-system result.
const char* sound_error_text(INT_U32 result);

// True while the sound system runs: from the first sound made while buffers are alive to the last
// buffer's end, unless it failed to start.
bool sound_system_running();
