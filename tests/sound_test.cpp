// Tests of the sound service: WAV files made by sox and by hand (odd chunks, pad bytes, damaged and
// truncated files), the level mappings, the tune synthesizer's bytes and envelope, and the buffer
// and bank states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "folder.h"
#include "host.h"
#include "sound.h"
#include "test_support.h"

namespace {

typedef std::vector<INT_U8> BYTES;

void put32(BYTES& b, INT_U32 v) {
  for (int i = 0; i < 4; i++)
    b.push_back((INT_U8)(v >> (8 * i)));
}
void put16(BYTES& b, INT_U16 v) {
  b.push_back((INT_U8)v);
  b.push_back((INT_U8)(v >> 8));
}
void put_id(BYTES& b, const char* id) {
  for (int i = 0; i < 4; i++)
    b.push_back((INT_U8)id[i]);
}
// Appends with push_back (GCC 12 warns falsely about vector::insert of small ranges at -O2).
void append(BYTES& b, const BYTES& more) {
  for (INT_U8 byte : more)
    b.push_back(byte);
}
// A chunk with its pad byte when the length is odd.
void put_chunk(BYTES& b, const char* id, const BYTES& body, INT_U32 stated = 0xFFFFFFFFu) {
  put_id(b, id);
  put32(b, stated == 0xFFFFFFFFu ? (INT_U32)body.size() : stated);
  append(b, body);
  if (body.size() & 1)
    b.push_back(0);
}
BYTES format_body(INT_U16 channels, INT_U32 rate, INT_U16 bits, size_t extra = 0) {
  BYTES f;
  put16(f, 1);
  put16(f, channels);
  put32(f, rate);
  put32(f, rate * channels * bits / 8);
  put16(f, (INT_U16)(channels * bits / 8));
  put16(f, bits);
  f.resize(16 + extra, 0);
  return f;
}
// RIFF header and "WAVE", then the chunks; the RIFF size is patched.
BYTES riff(const BYTES& chunks) {
  BYTES b;
  put_id(b, "RIFF");
  put32(b, (INT_U32)(chunks.size() + 4));
  put_id(b, "WAVE");
  append(b, chunks);
  return b;
}

bool load(const BYTES& bytes, WAV_INFO* info) {
  MEMORY_DEVICE device(bytes);
  memset(info, 0, sizeof(*info));
  return load_wav(&device, info);
}

std::string strip_separator(std::string path) {
  if (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
    path.pop_back();
  return path;
}

void set_folder(FOLDER* folder, const std::string& path) {
  snprintf(folder->path, sizeof(folder->path), "%s", strip_separator(path).c_str());
}

// A plain 8-bit mono sound of the given sample count.
BYTES plain_sound(INT_U32 samples, INT_U32 rate = 8000) {
  BYTES chunks;
  put_chunk(chunks, "fmt ", format_body(1, rate, 8));
  put_chunk(chunks, "data", BYTES(samples, 0x80));
  return riff(chunks);
}

}  // namespace

TEST(SoundLevels, VolumeAndPanMapToHundredthsOfDecibels) {
  EXPECT_EQ(sound_volume_to_level(0), -10000);
  EXPECT_EQ(sound_volume_to_level(1), -4950);
  EXPECT_EQ(sound_volume_to_level(50), -2500);
  EXPECT_EQ(sound_volume_to_level(100), 0);
  EXPECT_EQ(sound_volume_to_level(150), 0);
  EXPECT_EQ(sound_volume_to_level(-5), -10000);
  EXPECT_EQ(sound_pan_to_level(-150), -10000);
  EXPECT_EQ(sound_pan_to_level(37), 3700);
  EXPECT_EQ(sound_pan_to_level(100), 10000);
  EXPECT_STREQ(sound_error_text(0x88780064u), "DirectSound ERROR: Bad format");
  EXPECT_STREQ(sound_error_text(0x80004001u), "DirectSound ERROR: Unsuppoerted");
  EXPECT_STREQ(sound_error_text(1), "Unknown sound error");
}

TEST(WavLoader, HandMadeLayoutsLoadWithTheirFormatAndData) {
  WAV_INFO info;
  // 18-byte format chunk, a LIST chunk before the data, two data chunks (the first counts), and
  // three stray bytes at the end.
  BYTES chunks;
  put_chunk(chunks, "fmt ", format_body(4, 22050, 16, 2));
  put_chunk(chunks, "LIST", BYTES(10, 'x'));
  put_chunk(chunks, "data", BYTES(24, 0x11));
  put_chunk(chunks, "data", BYTES(8, 0x22));
  chunks.push_back(1);
  chunks.push_back(2);
  chunks.push_back(3);
  BYTES file = riff(chunks);
  ASSERT_TRUE(load(file, &info));
  EXPECT_EQ(info.format_tag, 1);
  EXPECT_EQ(info.channels, 4);
  EXPECT_EQ(info.samples_per_second, 22050u);
  EXPECT_EQ(info.block_align, 8);
  EXPECT_EQ(info.bits_per_sample, 16);
  EXPECT_EQ(info.data_size, 24u);
  EXPECT_EQ(info.data_offset, 12u + 26 + 18 + 8);

  // Odd-length chunks are followed by their pad byte: a chunk of 3 bytes before the data, and an odd
  // data chunk followed by a second format chunk, which is read over the first.
  chunks.clear();
  put_chunk(chunks, "fmt ", format_body(1, 8000, 8));
  put_chunk(chunks, "junk", BYTES(3, 0xEE));
  put_chunk(chunks, "data", BYTES(5, 0x80));
  put_chunk(chunks, "fmt ", format_body(2, 11025, 8));
  file = riff(chunks);
  ASSERT_TRUE(load(file, &info));
  EXPECT_EQ(info.data_size, 5u);
  EXPECT_EQ(info.data_offset, 12u + 24 + 12 + 8);
  EXPECT_EQ(info.samples_per_second, 11025u);
  EXPECT_EQ(info.channels, 2);

  // The device's position is where the stream starts.
  BYTES prefixed(7, 0xAB);
  BYTES plain = plain_sound(4);
  append(prefixed, plain);
  MEMORY_DEVICE device(prefixed);
  device.seek(7, false);
  ASSERT_TRUE(load_wav(&device, &info));
  EXPECT_EQ(info.data_offset, 7u + 44);
}

TEST(WavLoader, DamagedFilesAreRefused) {
  WAV_INFO info;
  EXPECT_FALSE(load(BYTES(), &info));
  BYTES file = plain_sound(4);
  BYTES bad = file;
  bad[0] = 'X';
  EXPECT_FALSE(load(bad, &info));  // no RIFF
  bad = file;
  bad[8] = 'X';
  EXPECT_FALSE(load(bad, &info));  // not WAVE

  BYTES chunks;
  put_chunk(chunks, "fmt ", BYTES(14, 1));
  put_chunk(chunks, "data", BYTES(4, 0));
  EXPECT_FALSE(load(riff(chunks), &info));  // format chunk too short

  chunks.clear();
  put_chunk(chunks, "data", BYTES(4, 0));
  EXPECT_FALSE(load(riff(chunks), &info));  // no format chunk

  chunks.clear();
  put_chunk(chunks, "fmt ", format_body(1, 8000, 8));
  EXPECT_FALSE(load(riff(chunks), &info));  // no data chunk

  // A data chunk stating more bytes than the file holds is refused, never read past the end.
  chunks.clear();
  put_chunk(chunks, "fmt ", format_body(1, 8000, 8));
  put_chunk(chunks, "data", BYTES(4, 0), 0x7FFFFFF0u);
  EXPECT_FALSE(load(riff(chunks), &info));
  chunks.clear();
  put_chunk(chunks, "fmt ", format_body(1, 8000, 8));
  put_chunk(chunks, "data", BYTES(4, 0), 0xFFFFFFFFu - 1);
  EXPECT_FALSE(load(riff(chunks), &info));

  // A huge length on another chunk ends the scan at the end of the file.
  chunks.clear();
  put_chunk(chunks, "fmt ", format_body(1, 8000, 8));
  put_chunk(chunks, "LIST", BYTES(2, 0), 0xFFFFFFF0u);
  EXPECT_FALSE(load(riff(chunks), &info));

  // Every truncation of a good file either fails or names data that lies inside what is left.
  BYTES good = plain_sound(9);
  for (size_t cut = 0; cut < good.size(); cut++) {
    BYTES part(good.begin(), good.begin() + cut);
    if (load(part, &info)) {
      EXPECT_LE(info.data_offset + info.data_size, cut);
    }
  }
  // A buffer refuses them too and stays empty.
  SOUND_BUFFER buffer;
  BYTES truncated(good.begin(), good.begin() + 40);
  MEMORY_DEVICE device(truncated);
  EXPECT_FALSE(buffer.create_from_wav(&device));
  EXPECT_FALSE(buffer.is_playing());
}

#ifndef _WIN32
TEST(WavLoader, SoxFilesLoadWithTheRightFormatAndLength) {
  REQUIRE_TOOL("sox");
  std::string scratch = make_scratch_folder("wav-sox");
  struct CASE {
    const char* name;
    int rate, bits, channels;
    const char* length;
    INT_U32 samples;
  } cases[] = {
      {"mono8.wav", 8000, 8, 1, "0.01", 80},
      {"stereo8.wav", 8000, 8, 2, "0.01", 80},
      {"mono16.wav", 11025, 16, 1, "0.04", 441},
      {"stereo16.wav", 22050, 16, 2, "0.02", 441},
      {"odd.wav", 8000, 8, 1, "0.000375", 3},
  };
  FOLDER folder;
  set_folder(&folder, scratch);
  for (const CASE& c : cases) {
    std::string path = scratch + c.name;
    std::string command = "sox -n -r " + std::to_string(c.rate) + " -b " + std::to_string(c.bits) + " -c " +
                          std::to_string(c.channels) + " '" + path + "' synth " + c.length + " sine 440";
    ASSERT_EQ(run_command(command), 0) << command;
    BYTES bytes = read_whole_file(path);
    WAV_INFO info;
    ASSERT_TRUE(load(bytes, &info)) << c.name;
    EXPECT_EQ(info.format_tag, 1) << c.name;
    EXPECT_EQ(info.channels, c.channels) << c.name;
    EXPECT_EQ(info.samples_per_second, (INT_U32)c.rate) << c.name;
    EXPECT_EQ(info.bits_per_sample, c.bits) << c.name;
    EXPECT_EQ(info.block_align, c.channels * c.bits / 8) << c.name;
    EXPECT_EQ(info.data_size, c.samples * c.channels * c.bits / 8) << c.name;
    EXPECT_LE(info.data_offset + info.data_size, bytes.size()) << c.name;

    SOUND_BUFFER buffer;
    EXPECT_TRUE(buffer.load(&folder, c.name)) << c.name;
    EXPECT_EQ(buffer.loaded, 1) << c.name;
  }
  // The odd data chunk carries sox's pad byte; a format chunk appended after it is found.
  BYTES odd = read_whole_file(scratch + "odd.wav");
  ASSERT_EQ(odd.size() % 2, 0u);
  BYTES extra;
  put_chunk(extra, "fmt ", format_body(1, 44100, 8));
  append(odd, extra);
  WAV_INFO info;
  ASSERT_TRUE(load(odd, &info));
  EXPECT_EQ(info.samples_per_second, 44100u);
  EXPECT_EQ(info.data_size, 3u);
}
#endif

#ifndef _WIN32
namespace {
std::string shown_boxes;
void record_box(const char* caption, const char* text) {
  shown_boxes += std::string(caption ? caption : "") + ": " + (text ? text : "") + "\n";
}
}  // namespace

// A format that no sound device takes is refused with the sound warning, which never waits.
TEST(SoundBuffers, UnplayableFormatsRaiseTheSoundWarning) {
  SOUND_BUFFER buffer;
  BYTES format = format_body(1, 8000, 8);
  format[0] = 2;  // not plain PCM
  BYTES chunks;
  put_chunk(chunks, "fmt ", format);
  put_chunk(chunks, "data", BYTES(16, 0));
  MEMORY_DEVICE device(riff(chunks));
  shown_boxes.clear();
  set_message_box_hook(record_box);
  EXPECT_FALSE(buffer.create_from_wav(&device));
  set_message_box_hook(nullptr);
  EXPECT_NE(shown_boxes.find("Sound layer was unable to start"), std::string::npos) << shown_boxes;
  EXPECT_NE(shown_boxes.find("DirectSound ERROR: Bad format"), std::string::npos) << shown_boxes;
  EXPECT_EQ(buffer.loaded, 0);
  EXPECT_FALSE(buffer.is_playing());
}

// Building buffers opens no sound device (the click sound of every run is built and never loaded): the
// first sound made does, and the last buffer's end closes it.
TEST(SoundBuffers, TheDeviceOpensForTheFirstSoundAndClosesWithTheLastBuffer) {
  ASSERT_FALSE(sound_system_running());
  {
    SOUND_BUFFER first, second;
    first.play();
    first.set_volume(50);
    EXPECT_FALSE(sound_system_running());
    MEMORY_DEVICE device(plain_sound(800));
    EXPECT_TRUE(second.create_from_wav(&device));
    EXPECT_TRUE(sound_system_running());
  }
  EXPECT_FALSE(sound_system_running());
}
#endif

TEST(SoundBuffers, StatesOfBuffersAndBanks) {
  SOUND_BUFFER buffer;
  std::string scratch = make_scratch_folder("sound-bank");
  ASSERT_TRUE(write_whole_file(scratch + "loop.wav", plain_sound(8000)));
  ASSERT_TRUE(write_whole_file(scratch + "broken.wav", BYTES(30, 0)));
  FOLDER folder;
  set_folder(&folder, scratch);

  EXPECT_FALSE(buffer.is_playing());
  buffer.play();  // nothing loaded: nothing happens
  EXPECT_FALSE(buffer.is_playing());
  bool loaded = buffer.load(&folder, "loop.wav");  // the sound system starts with the first sound
  if (!sound_system_running()) {
    // CI gives the Windows build a null sound device: there the sound system must start.
    if (std::getenv("CI") && std::string(std::getenv("CI")) == "true")
      FAIL() << "the sound system did not start under CI";
    GTEST_SKIP() << "no sound device: the sound system did not start; skipped";
  }
  ASSERT_TRUE(loaded);
  EXPECT_EQ(buffer.loaded, 1);
  buffer.loop = 1;
  buffer.play();
  EXPECT_TRUE(buffer.is_playing());
  buffer.stop();
  EXPECT_FALSE(buffer.is_playing());
  // A failed load leaves the buffer empty.
  EXPECT_FALSE(buffer.load(&folder, "broken.wav"));
  EXPECT_EQ(buffer.loaded, 0);
  EXPECT_FALSE(buffer.load(&folder, "missing.wav"));
  buffer.play();
  EXPECT_FALSE(buffer.is_playing());

  SOUND_BANK none(0), one(1), many(50);
  EXPECT_EQ(none.count, 1);
  EXPECT_EQ(one.count, 1);
  EXPECT_EQ(many.count, 20);
  EXPECT_EQ(many.get_channel(20), nullptr);
  EXPECT_EQ(many.get_channel(-1), nullptr);
  EXPECT_NE(many.get_channel(19), nullptr);

  SOUND_BANK bank(3);
  EXPECT_EQ(bank.play(3, &folder, "loop.wav", 100, 0, 1), -1);
  EXPECT_EQ(bank.play(0, &folder, "missing.wav", 100, 0, 1), -1);
  EXPECT_EQ(bank.play(0, &folder, "loop.wav", 150, -150, 1), 0);
  EXPECT_TRUE(bank.is_playing(0));
  EXPECT_EQ(bank.play_free(&folder, "loop.wav", 50, 0, 1), 1);
  EXPECT_EQ(bank.play_free(&folder, "loop.wav", 50, 0, 1), 2);
  EXPECT_EQ(bank.play_free(&folder, "loop.wav", 50, 0, 1), -1);
  bank.stop(-2);
  bank.stop(3);
  EXPECT_TRUE(bank.is_playing(2));
  bank.stop(1);
  EXPECT_FALSE(bank.is_playing(1));
  EXPECT_EQ(bank.play_free(&folder, "loop.wav", 50, 0, 1), 1);
  bank.stop(-1);
  for (INT_S8 c = 0; c < 3; c++)
    EXPECT_FALSE(bank.is_playing(c));
  EXPECT_FALSE(bank.is_playing(5));
}

TEST(TuneSynthesizer, HeaderNotesAndLengths) {
  // One C of octave 4 (2576 Hz) of one unit at 8000 samples per second, 8-bit mono.
  TUNE_SETTINGS settings;
  settings.samples_per_second = 8000;
  settings.sixteen_bit = 0;
  MEMORY_DEVICE device;
  ASSERT_TRUE(render_tune_to_device(&device, "O45C", 100, &settings));
  const BYTES& b = device.bytes;
  ASSERT_EQ(b.size(), 44u + 800);
  const INT_U8 header[44] = {'R', 'I', 'F', 'F', 0x44, 0x03, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                             16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0,
                             1, 0, 8, 0, 'd', 'a', 't', 'a', 0x20, 0x03, 0, 0};
  EXPECT_EQ(memcmp(b.data(), header, 44), 0);
  EXPECT_EQ(b[44], 127);  // silence at t = 0
  // The loader reads the synthesizer's file back.
  WAV_INFO info;
  ASSERT_TRUE(load(b, &info));
  EXPECT_EQ(info.data_size, 800u);

  // Lengths: code 5 is one unit, code 7 two units; "B#", "E#", "&#" and other characters produce
  // nothing; '&' is a silent unit.
  device = MEMORY_DEVICE();
  ASSERT_TRUE(render_tune_to_device(&device, "5C7C", 100, &settings));
  EXPECT_EQ(device.bytes.size(), 44u + 2400);
  device = MEMORY_DEVICE();
  ASSERT_TRUE(render_tune_to_device(&device, "B#E#&#xyz", 100, &settings));
  EXPECT_EQ(device.bytes.size(), 44u);
  device = MEMORY_DEVICE();
  ASSERT_TRUE(render_tune_to_device(&device, "&", 100, &settings));
  ASSERT_EQ(device.bytes.size(), 44u + 800);
  for (size_t i = 44; i < device.bytes.size(); i++)
    ASSERT_EQ(device.bytes[i], 127);
  // An 'O' at the end ends the tune; a lone digit after it is never read.
  device = MEMORY_DEVICE();
  ASSERT_TRUE(render_tune_to_device(&device, "CO", 100, &settings));
  EXPECT_EQ(device.bytes.size(), 44u + 800);

  // 16-bit stereo: four bytes per sample time, the two channels equal.
  settings.sixteen_bit = 1;
  settings.stereo = 1;
  device = MEMORY_DEVICE();
  ASSERT_TRUE(render_tune_to_device(&device, "cC", 50, &settings));
  ASSERT_EQ(device.bytes.size(), 44u + 2 * 400 * 4);
  for (size_t i = 44; i + 3 < device.bytes.size(); i += 4)
    ASSERT_EQ(memcmp(&device.bytes[i], &device.bytes[i + 2], 2), 0);
}

TEST(TuneSynthesizer, FrequencyAndEnvelopeOfOneSecond) {
  TUNE_SETTINGS settings;  // defaults: 22050 Hz, 16-bit mono, 0.2 / 0.1 / 0.2 s, sustain 80 %
  MEMORY_DEVICE device;
  ASSERT_TRUE(render_tune_to_device(&device, "C", 1000, &settings));
  ASSERT_EQ(device.bytes.size(), 44u + 22050 * 2);
  std::vector<double> s(22050);
  for (size_t i = 0; i < s.size(); i++)
    s[i] = (INT_S16)(device.bytes[44 + 2 * i] | (device.bytes[45 + 2 * i] << 8));
  auto peak_between = [&](double from, double to) {
    double m = 0;
    for (size_t i = (size_t)(from * 22050); i < (size_t)(to * 22050); i++)
      m = std::max(m, std::fabs(s[i]));
    return m;
  };
  const double P = 32767;
  EXPECT_NEAR(peak_between(0.19, 0.21), P, P * 0.02);
  EXPECT_NEAR(peak_between(0.09, 0.10), P * 0.5, P * 0.03);
  EXPECT_NEAR(peak_between(0.40, 0.50), P * 0.8, P * 0.02);
  EXPECT_NEAR(peak_between(0.70, 0.78), P * 0.8, P * 0.02);
  EXPECT_NEAR(peak_between(0.90, 0.905), P * 0.4, P * 0.02);
  EXPECT_LT(peak_between(0.99, 1.0), P * 0.05);
  // C of octave 2: 644 Hz, about 644 rising zero crossings in one second.
  int crossings = 0;
  for (size_t i = 1; i < s.size(); i++)
    if (s[i - 1] < 0 && s[i] >= 0)
      crossings++;
  EXPECT_NEAR(crossings, 644, 3);
}

TEST(TuneSynthesizer, WritesAFileThatMatchesItsSizes) {
  std::string scratch = make_scratch_folder("tune-file");
  FOLDER folder;
  set_folder(&folder, scratch);
  ASSERT_TRUE(render_tune_to_wav(&folder, "tune.wav", "O3CDEFGAB", 20, nullptr));
  BYTES bytes = read_whole_file(scratch + "tune.wav");
  ASSERT_GT(bytes.size(), 44u);
  INT_U32 data = bytes[40] | (bytes[41] << 8) | (bytes[42] << 16) | ((INT_U32)bytes[43] << 24);
  INT_U32 riff_size = bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | ((INT_U32)bytes[7] << 24);
  EXPECT_EQ(data + 44, bytes.size());
  EXPECT_EQ(riff_size, data + 36);
  set_folder(&folder, scratch + "no-such-folder");
  EXPECT_FALSE(render_tune_to_wav(&folder, "tune.wav", "C", 20, nullptr));
}
