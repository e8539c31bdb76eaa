// Tests of the image files: PNG, JPEG and PCX against the outside tools (pngcheck, djpeg, cjpeg and
// ImageMagick's convert), stored PCX bytes, damaged and oversized files, loading by name with its
// extension rules, strips and the exports.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <zlib.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#endif

#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "image_file.h"
#include "test_support.h"
#include "text_file.h"

namespace {

const char* CONVERT = "/usr/bin/convert";

// A picture with every channel varying, alpha included.
void make_pattern(IMAGE* image, INT_S16 width, INT_S16 height, bool opaque) {
  image->set_size(width, height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      INT_U32 a = opaque ? 255 : (INT_U32)((x * 37 + y * 11) % 256);
      INT_U32 r = (INT_U32)(x * 255 / (width > 1 ? width - 1 : 1));
      INT_U32 g = (INT_U32)(y * 255 / (height > 1 ? height - 1 : 1));
      INT_U32 b = (INT_U32)((x * y * 7) % 256);
      *image->pixel_at(x, y) = (a << 24) | (r << 16) | (g << 8) | b;
    }
}

std::vector<INT_U32> pixels_of(const IMAGE& image) {
  std::vector<INT_U32> out;
  for (int y = 0; y < image.height; y++)
    for (int x = 0; x < image.width; x++) out.push_back(*image.pixel_at(x, y));
  return out;
}

// Width, height and 0xAARRGGBB pixels of a netpbm file (P5 grey, P6 colour, 8-bit).
struct NETPBM {
  int width = 0, height = 0;
  std::vector<INT_U32> pixels;
};
NETPBM read_netpbm(const std::string& path) {
  NETPBM out;
  std::vector<INT_U8> bytes = read_whole_file(path);
  if (bytes.size() < 3 || bytes[0] != 'P') return out;
  int kind = bytes[1] - '0';
  size_t at = 2;
  int values[3];
  for (int n = 0; n < 3; n++) {
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t')) at++;
    values[n] = 0;
    while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9') values[n] = values[n] * 10 + (bytes[at++] - '0');
  }
  at++;
  int channels = kind == 6 ? 3 : 1;
  out.width = values[0];
  out.height = values[1];
  for (int n = 0; n < out.width * out.height; n++) {
    size_t p = at + (size_t)n * channels;
    if (p + channels > bytes.size()) break;
    INT_U32 r = bytes[p], g = channels == 3 ? bytes[p + 1] : r, b = channels == 3 ? bytes[p + 2] : r;
    out.pixels.push_back(0xFF000000u | (r << 16) | (g << 8) | b);
  }
  return out;
}

// Writes a P6 file of the image's colours.
void write_ppm(const IMAGE& image, const std::string& path) {
  std::string head = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  std::vector<INT_U8> bytes(head.begin(), head.end());
  for (INT_U32 p : pixels_of(image)) {
    bytes.push_back((INT_U8)(p >> 16));
    bytes.push_back((INT_U8)(p >> 8));
    bytes.push_back((INT_U8)p);
  }
  write_whole_file(path, bytes);
}

// The pixels ImageMagick reports for a file, as 0xAARRGGBB.
std::vector<INT_U32> magick_pixels(const std::string& path, const std::string& scratch) {
  std::string raw = scratch + "magick.rgba";
  std::filesystem::remove(raw);
  if (run_command(std::string(CONVERT) + " '" + path + "' -depth 8 rgba:'" + raw + "'") != 0) return {};
  std::vector<INT_U8> bytes = read_whole_file(raw);
  std::vector<INT_U32> out;
  for (size_t n = 0; n + 3 < bytes.size(); n += 4)
    out.push_back(((INT_U32)bytes[n + 3] << 24) | ((INT_U32)bytes[n] << 16) | ((INT_U32)bytes[n + 1] << 8) | bytes[n + 2]);
  return out;
}

class ImageFileTest : public ::testing::Test {
protected:
  std::string path;
  FOLDER folder;
  void SetUp() override {
    path = make_scratch_folder("image_file");
    ASSERT_TRUE(folder.set_if_folder(path.c_str()));
  }
  bool save(IMAGE* image, const char* name, int kind, INT_U8 quality = 90, bool progressive = false) {
    DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_WRITE, 0, false);
    if (!file) return false;
    bool ok = kind == 0 ? save_png(image, file) : kind == 1 ? save_jpeg(image, file, quality, progressive) : save_pcx(image, file);
    return close_data_file(&file) && ok;
  }
  bool load(IMAGE* image, const char* name, int kind, INT_S16 width = -1, INT_S16 height = -1) {
    DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_READ, 0, false);
    if (!file) return false;
    bool ok = kind == 0 ? load_png(image, file) : kind == 1 ? load_jpeg(image, file, width, height) : load_pcx(image, file);
    close_data_file(&file);
    return ok;
  }
  // A 3 x 3 picture that a refused file must leave as it is.
  void make_marker(IMAGE* image) {
    image->set_size(3, 3);
    COLOUR c = 0xFF123456;
    image->clear(&c, 1);
  }
  void expect_marker(const IMAGE& image) {
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 3);
    EXPECT_EQ(*image.pixel_at(2, 2), 0xFF123456u);
  }
  void append_chunk(std::vector<INT_U8>* out, const char* type, const std::vector<INT_U8>& data) {
    INT_U32 length = (INT_U32)data.size();
    for (int s = 24; s >= 0; s -= 8) out->push_back((INT_U8)(length >> s));
    std::vector<INT_U8> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out->insert(out->end(), body.begin(), body.end());
    INT_U32 crc = (INT_U32)crc32(0, body.data(), (uInt)body.size());
    for (int s = 24; s >= 0; s -= 8) out->push_back((INT_U8)(crc >> s));
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------------
// PNG

TEST_F(ImageFileTest, SavedPngsPassPngcheckAndDecodeToTheSamePixels) {
  IMAGE image, back;
  make_pattern(&image, 37, 23, false);
  ASSERT_TRUE(save(&image, "out.png", 0));
  ASSERT_TRUE(load(&back, "out.png", 0));
  EXPECT_EQ(pixels_of(back), pixels_of(image));
  // The text chunks are there.
  std::string text = read_whole_text(path + "out.png");
  EXPECT_NE(text.find("tEXtAuthor"), std::string::npos);
  EXPECT_NE(text.find("tEXtWebsite"), std::string::npos);

  REQUIRE_TOOL("pngcheck");
  EXPECT_EQ(run_command("pngcheck -q '" + path + "out.png'"), 0);
  REQUIRE_TOOL(CONVERT);
  EXPECT_EQ(magick_pixels(path + "out.png", path), pixels_of(image));
}

TEST_F(ImageFileTest, PngsOfEveryKindDecodeAsImageMagickReports) {
  REQUIRE_TOOL(CONVERT);
  IMAGE source;
  make_pattern(&source, 29, 17, false);
  ASSERT_TRUE(save(&source, "source.png", 0));
  const std::string src = "'" + path + "source.png'";
  // Eight-bit starting points, so that 16-bit files hold whole multiples of 257.
  ASSERT_EQ(run_command(std::string(CONVERT) + " " + src + " -alpha off -depth 8 '" + path + "rgb8.png'"), 0);
  ASSERT_EQ(run_command(std::string(CONVERT) + " " + src + " -colorspace Gray -depth 8 '" + path + "grey8.png'"), 0);
  ASSERT_EQ(run_command(std::string(CONVERT) + " " + src + " -colorspace Gray -depth 8 -alpha on '" + path + "greya8.png'"), 0);
  struct VARIANT {
    const char* from;
    const char* options;
  } variants[] = {
      {"rgb8.png", "-define png:color-type=2 -define png:bit-depth=8"},
      {"rgb8.png", "-define png:color-type=2 -define png:bit-depth=16"},
      {"source.png", "-define png:color-type=6 -define png:bit-depth=8"},
      {"source.png", "-define png:color-type=6 -define png:bit-depth=16"},
      {"grey8.png", "-define png:color-type=0 -define png:bit-depth=8"},
      {"grey8.png", "-define png:color-type=0 -define png:bit-depth=16"},
      {"grey8.png", "-define png:color-type=0 -define png:bit-depth=4"},
      {"grey8.png", "-define png:color-type=0 -define png:bit-depth=2"},
      {"grey8.png", "-define png:color-type=0 -define png:bit-depth=1"},
      {"greya8.png", "-define png:color-type=4 -define png:bit-depth=8"},
      {"greya8.png", "-define png:color-type=4 -define png:bit-depth=16"},
      {"source.png", "-colors 200 -define png:color-type=3 -define png:bit-depth=8"},
      {"source.png", "-colors 14 -define png:color-type=3 -define png:bit-depth=4"},
      {"rgb8.png", "-colors 3 +dither -type Palette -depth 2 -define png:color-type=3"},
      {"rgb8.png", "-colors 2 +dither -type Palette -depth 1 -define png:color-type=3"},
  };
  int count = 0;
  for (const VARIANT& v : variants) {
    for (const char* interlace : {"-interlace none", "-interlace PNG"}) {
      std::string name = "variant" + std::to_string(count++) + ".png";
      ASSERT_EQ(run_command(std::string(CONVERT) + " '" + path + v.from + "' " + v.options + " " + interlace + " '" +
                            path + name + "'"),
                0)
          << v.options;
      std::vector<INT_U32> expected = magick_pixels(path + name, path);
      IMAGE image;
      ASSERT_TRUE(load(&image, name.c_str(), 0)) << v.options << " " << interlace;
      EXPECT_EQ(image.width, 29);
      EXPECT_EQ(image.height, 17);
      EXPECT_EQ(pixels_of(image), expected) << v.options << " " << interlace;
    }
  }
}

TEST_F(ImageFileTest, DamagedAndOversizedPngsAreRefused) {
  IMAGE image;
  make_pattern(&image, 40, 30, false);
  ASSERT_TRUE(save(&image, "good.png", 0));
  std::vector<INT_U8> good = read_whole_file(path + "good.png");

  IMAGE target;
  make_marker(&target);
  write_whole_file(path + "short.png", std::vector<INT_U8>(good.begin(), good.begin() + 4));
  EXPECT_FALSE(load(&target, "short.png", 0));
  expect_marker(target);
  write_whole_file(path + "cut.png", std::vector<INT_U8>(good.begin(), good.begin() + good.size() / 2));
  EXPECT_FALSE(load(&target, "cut.png", 0));
  std::vector<INT_U8> garbled = good;
  for (size_t n = 60; n < garbled.size() - 20; n += 7) garbled[n] ^= 0x5A;
  write_whole_file(path + "garbled.png", garbled);
  EXPECT_FALSE(load(&target, "garbled.png", 0));
  write_whole_file(path + "notpng.png", {'G', 'I', 'F', '8', '9', 'a'});
  EXPECT_FALSE(load(&target, "notpng.png", 0));

  // Sizes beyond the 16-bit fields or the pixel cap are refused before anything is allocated.
  // 5000 x 5000 is within both, but far more than a few bytes of deflate data can describe.
  for (INT_U32 size : {40000u, 30000u, 5000u}) {
    std::vector<INT_U8> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<INT_U8> header = {0, 0, (INT_U8)(size >> 8), (INT_U8)size, 0, 0, (INT_U8)(size >> 8), (INT_U8)size,
                                  8, 6, 0, 0, 0};
    append_chunk(&file, "IHDR", header);
    append_chunk(&file, "IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
    append_chunk(&file, "IEND", {});
    write_whole_file(path + "huge.png", file);
    make_marker(&target);
    EXPECT_FALSE(load(&target, "huge.png", 0)) << size;
    expect_marker(target);
  }
}

// ---------------------------------------------------------------------------------------------------
// JPEG

TEST_F(ImageFileTest, JpegsDecodeExactlyAsDjpegDoes) {
  REQUIRE_TOOL("djpeg");
  REQUIRE_TOOL("cjpeg");
  IMAGE source;
  make_pattern(&source, 61, 35, true);
  write_ppm(source, path + "source.ppm");
  struct CASE {
    const char* options;
    const char* name;
  } cases[] = {{"-quality 85", "plain.jpg"}, {"-quality 70 -progressive", "progressive.jpg"},
               {"-grayscale", "grey.jpg"}, {"-quality 95 -sample 1x1", "full.jpg"}};
  for (const CASE& c : cases) {
    ASSERT_EQ(run_command(std::string("cjpeg ") + c.options + " -outfile '" + path + c.name + "' '" + path + "source.ppm'"), 0);
    ASSERT_EQ(run_command("djpeg -pnm -outfile '" + path + "reference.pnm' '" + path + c.name + "'"), 0);
    NETPBM reference = read_netpbm(path + "reference.pnm");
    IMAGE image;
    ASSERT_TRUE(load(&image, c.name, 1)) << c.name;
    EXPECT_EQ(image.width, reference.width);
    EXPECT_EQ(image.height, reference.height);
    EXPECT_EQ(pixels_of(image), reference.pixels) << c.name;
  }

  // What save_jpeg writes, djpeg reads to the same pixels as the reader here.
  for (bool progressive : {false, true}) {
    ASSERT_TRUE(save(&source, "saved.jpg", 1, 90, progressive));
    ASSERT_EQ(run_command("djpeg -pnm -outfile '" + path + "saved.pnm' '" + path + "saved.jpg'"), 0);
    IMAGE back;
    ASSERT_TRUE(load(&back, "saved.jpg", 1));
    EXPECT_EQ(pixels_of(back), read_netpbm(path + "saved.pnm").pixels);
    // Lossy, but close to the source.
    int far = 0;
    std::vector<INT_U32> a = pixels_of(back), b = pixels_of(source);
    for (size_t n = 0; n < a.size(); n++) far += std::abs((int)((a[n] >> 8) & 0xFF) - (int)((b[n] >> 8) & 0xFF)) > 40;
    EXPECT_LT(far, (int)a.size() / 20);
  }
}

TEST_F(ImageFileTest, JpegsScaleWhileDecoding) {
  IMAGE source, natural, scaled;
  source.set_size(2, 2);
  *source.pixel_at(0, 0) = 0xFFFF0000;
  *source.pixel_at(1, 0) = 0xFF00FF00;
  *source.pixel_at(0, 1) = 0xFF0000FF;
  *source.pixel_at(1, 1) = 0xFFFFFFFF;
  ASSERT_TRUE(save(&source, "two.jpg", 1, 100));
  ASSERT_TRUE(load(&natural, "two.jpg", 1));
  ASSERT_TRUE(load(&scaled, "two.jpg", 1, 4, 4));
  ASSERT_EQ(scaled.width, 4);
  ASSERT_EQ(scaled.height, 4);
  // Rows and columns 0 to 2 come from source 0, 3 from source 1.
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 4; x++)
      EXPECT_EQ(*scaled.pixel_at(x, y), *natural.pixel_at(x < 3 ? 0 : 1, y < 3 ? 0 : 1)) << x << "," << y;

  // Shrinking keeps the first line that reaches each row.
  IMAGE big, big_natural, small;
  make_pattern(&big, 8, 8, true);
  ASSERT_TRUE(save(&big, "eight.jpg", 1, 100));
  ASSERT_TRUE(load(&big_natural, "eight.jpg", 1));
  ASSERT_TRUE(load(&small, "eight.jpg", 1, 3, 3));
  const int from[3] = {0, 4, 7};  // (3 - 1) * s / 7 first reaches 0, 1, 2 at s = 0, 4, 7
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 3; x++) EXPECT_EQ(*small.pixel_at(x, y), *big_natural.pixel_at(from[x], from[y]));

  // A one-pixel source fills any size.
  IMAGE one, one_natural, filled;
  one.set_size(1, 1);
  *one.pixel_at(0, 0) = 0xFF336699;
  ASSERT_TRUE(save(&one, "one.jpg", 1, 100));
  ASSERT_TRUE(load(&one_natural, "one.jpg", 1));
  ASSERT_TRUE(load(&filled, "one.jpg", 1, 5, 3));
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 5; x++) EXPECT_EQ(*filled.pixel_at(x, y), *one_natural.pixel_at(0, 0));
}

TEST_F(ImageFileTest, BadJpegsFailWithoutEndingTheProgram) {
  IMAGE source, target;
  make_pattern(&source, 16, 16, true);
  EXPECT_FALSE(save(&source, "q.jpg", 1, 101));
  EXPECT_EQ(read_whole_file(path + "q.jpg").size(), 0u);  // nothing written
  ASSERT_TRUE(save(&source, "good.jpg", 1, 90));
  std::vector<INT_U8> good = read_whole_file(path + "good.jpg");

  make_marker(&target);
  write_whole_file(path + "head.jpg", std::vector<INT_U8>(good.begin(), good.begin() + 20));
  EXPECT_FALSE(load(&target, "head.jpg", 1));
  expect_marker(target);
  write_whole_file(path + "junk.jpg", {0xFF, 0xD8, 0xFF, 0x00, 0x12, 0x34});
  EXPECT_FALSE(load(&target, "junk.jpg", 1));
  expect_marker(target);

  // A frame header claiming more than the image can hold is refused, the image unchanged.
  std::vector<INT_U8> huge = good;
  for (size_t n = 0; n + 8 < huge.size(); n++)
    if (huge[n] == 0xFF && huge[n + 1] == 0xC0) {
      huge[n + 5] = 0xEA;  // height 60000
      huge[n + 6] = 0x60;
      huge[n + 7] = 0xEA;  // width 60000
      huge[n + 8] = 0x60;
      break;
    }
  write_whole_file(path + "huge.jpg", huge);
  EXPECT_FALSE(load(&target, "huge.jpg", 1));
  expect_marker(target);
  // 5000 x 6000 fits the fields and the cap, but not the few hundred bytes that follow.
  for (size_t n = 0; n + 8 < huge.size(); n++)
    if (huge[n] == 0xFF && huge[n + 1] == 0xC0) {
      huge[n + 5] = 0x17;
      huge[n + 6] = 0x70;
      huge[n + 7] = 0x13;
      huge[n + 8] = 0x88;
      break;
    }
  write_whole_file(path + "large.jpg", huge);
  EXPECT_FALSE(load(&target, "large.jpg", 1));
  expect_marker(target);
}

// Whether the address space can be limited here (not on Windows, not under AddressSanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELK_TEST_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELK_TEST_ADDRESS_SANITIZER 1
#endif

TEST_F(ImageFileTest, PicturesTooLargeForTheMemoryLeftAreRefused) {
#if defined(_WIN32) || defined(VELK_TEST_ADDRESS_SANITIZER)
  GTEST_SKIP() << "needs a limited address space (POSIX without AddressSanitizer)";
#else
  {
    IMAGE big(4000, 4000);
    ASSERT_TRUE(save(&big, "big.png", 0));
    ASSERT_TRUE(save(&big, "big.jpg", 1, 50));
  }
  IMAGE target;
  make_marker(&target);
  // Leave about 40 MB of address space: a 4000 x 4000 picture needs 64 MB of pixels.
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  ASSERT_GT(pages, 0);
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE) + (rlim_t)40 * 1024 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
  bool png_loaded = load(&target, "big.png", 0);
  bool jpeg_loaded = load(&target, "big.jpg", 1);
  setrlimit(RLIMIT_AS, &saved);
  // The readers fail instead of ending the program, and the image stays as it was.
  EXPECT_FALSE(png_loaded);
  EXPECT_FALSE(jpeg_loaded);
  expect_marker(target);
#endif
}

// ---------------------------------------------------------------------------------------------------
// PCX

TEST_F(ImageFileTest, PcxStoredBytes) {
  IMAGE image;
  image.set_size(3, 1);
  *image.pixel_at(0, 0) = 0xFFFF0000;
  *image.pixel_at(1, 0) = 0x808B9A25;  // the transparent colour; alpha is not stored
  *image.pixel_at(2, 0) = 0xFFFF0000;
  ASSERT_TRUE(save(&image, "three.pcx", 2));
  std::vector<INT_U8> bytes = read_whole_file(path + "three.pcx");
  ASSERT_EQ(bytes.size(), 128u + 3u + 769u);
  const std::vector<INT_U8> header = {10, 5, 1, 8, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 1, 0};
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin(), bytes.begin() + 16), header);
  for (int n = 16; n < 64; n++) EXPECT_EQ(bytes[n], 0) << n;
  EXPECT_EQ(bytes[64], 0);   // reserved
  EXPECT_EQ(bytes[65], 1);   // planes
  EXPECT_EQ(bytes[66], 3);   // bytes per line
  EXPECT_EQ(bytes[67], 0);
  EXPECT_EQ(bytes[68], 1);   // palette type
  for (int n = 70; n < 128; n++) EXPECT_EQ(bytes[n], 0) << n;
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin() + 128, bytes.begin() + 131), (std::vector<INT_U8>{0, 1, 0}));
  EXPECT_EQ(bytes[131], 12);
  EXPECT_EQ(std::vector<INT_U8>(bytes.begin() + 132, bytes.begin() + 138),
            (std::vector<INT_U8>{255, 0, 0, 139, 154, 37}));
  for (size_t n = 138; n < bytes.size(); n++) EXPECT_EQ(bytes[n], 0) << n;

  IMAGE back;
  ASSERT_TRUE(load(&back, "three.pcx", 2));
  EXPECT_EQ(pixels_of(back), (std::vector<INT_U32>{0xFFFF0000, 0x008B9A25, 0xFFFF0000}));
}

TEST_F(ImageFileTest, PcxPalettesHoldAtMost255Colours) {
  IMAGE image, back;
  image.set_size(300, 2);
  for (int x = 0; x < 300; x++) {
    *image.pixel_at(x, 0) = 0xFF000000u | (INT_U32)x;
    *image.pixel_at(x, 1) = 0xFF000000u | (INT_U32)(x % 7);
  }
  ASSERT_TRUE(save(&image, "many.pcx", 2));
  ASSERT_TRUE(load(&back, "many.pcx", 2));
  for (int x = 0; x < 300; x++) {
    EXPECT_EQ(*back.pixel_at(x, 0), x < 255 ? 0xFF000000u | (INT_U32)x : 0xFF000000u) << x;
    EXPECT_EQ(*back.pixel_at(x, 1), 0xFF000000u | (INT_U32)(x % 7));
  }
  std::vector<INT_U8> bytes = read_whole_file(path + "many.pcx");
  EXPECT_EQ(bytes[bytes.size() - 769], 12);
  EXPECT_EQ(bytes[bytes.size() - 769 + 1 + 254 * 3 + 2], 254);  // the last colour taken
  EXPECT_EQ(bytes[bytes.size() - 1], 0);                          // entry 255 unused
}

TEST_F(ImageFileTest, PcxFilesTravelToAndFromImageMagick) {
  REQUIRE_TOOL(CONVERT);
  IMAGE image;
  make_pattern(&image, 33, 21, true);
  for (int y = 0; y < 21; y++)
    for (int x = 0; x < 33; x++) *image.pixel_at(x, y) &= 0xFFE0E0C0;  // few enough colours for one palette
  ASSERT_TRUE(save(&image, "ours.pcx", 2));
  EXPECT_EQ(magick_pixels(path + "ours.pcx", path), pixels_of(image));

  ASSERT_TRUE(save(&image, "source.png", 0));
  ASSERT_EQ(run_command(std::string(CONVERT) + " '" + path + "source.png' -type Palette '" + path + "theirs.pcx'"), 0);
  IMAGE theirs;
  ASSERT_TRUE(load(&theirs, "theirs.pcx", 2));
  EXPECT_EQ(theirs.width, 33);
  EXPECT_EQ(theirs.height, 21);
  EXPECT_EQ(pixels_of(theirs), magick_pixels(path + "theirs.pcx", path));
}

TEST_F(ImageFileTest, DamagedPcxFilesAreRefused) {
  IMAGE image, target;
  make_pattern(&image, 20, 10, true);
  ASSERT_TRUE(save(&image, "good.pcx", 2));
  std::vector<INT_U8> good = read_whole_file(path + "good.pcx");

  make_marker(&target);
  std::vector<INT_U8> no_marker = good;
  no_marker[no_marker.size() - 769] = 11;
  write_whole_file(path + "nomarker.pcx", no_marker);
  EXPECT_FALSE(load(&target, "nomarker.pcx", 2));
  std::vector<INT_U8> maker = good;
  maker[0] = 11;
  write_whole_file(path + "maker.pcx", maker);
  EXPECT_FALSE(load(&target, "maker.pcx", 2));
  write_whole_file(path + "tiny.pcx", std::vector<INT_U8>(good.begin(), good.begin() + 100));
  EXPECT_FALSE(load(&target, "tiny.pcx", 2));
  expect_marker(target);

  // A header claiming a huge picture over a few bytes of data.
  std::vector<INT_U8> huge = good;
  huge[8] = 0xFE;  // xmax 32766
  huge[9] = 0x7F;
  huge[10] = 0xFE;  // ymax 32766
  huge[11] = 0x7F;
  write_whole_file(path + "huge.pcx", huge);
  EXPECT_FALSE(load(&target, "huge.pcx", 2));
  expect_marker(target);
  huge[8] = 0x10;  // 4113 x 32767: within the cap, but far more than the data holds
  huge[9] = 0x10;
  write_whole_file(path + "long.pcx", huge);
  EXPECT_FALSE(load(&target, "long.pcx", 2));
  expect_marker(target);
  // Pixel data that ends early.
  std::vector<INT_U8> cut(good.begin(), good.begin() + 128 + 50);
  for (size_t n = good.size() - 769; n < good.size(); n++) cut.push_back(good[n]);
  write_whole_file(path + "cut.pcx", cut);
  EXPECT_FALSE(load(&target, "cut.pcx", 2));
}

// ---------------------------------------------------------------------------------------------------
// Loading by name, strips and exports

TEST_F(ImageFileTest, LoadFindsFilesByExtension) {
  IMAGE red, blue, image;
  red.set_size(4, 2);
  COLOUR r = 0xFFFF0000, b = 0xFF0000FF;
  red.clear(&r, 1);
  blue.set_size(6, 3);
  blue.clear(&b, 1);
  ASSERT_TRUE(save(&red, "pic.png", 0));
  ASSERT_TRUE(save(&blue, "pic.jpg", 1, 100));
  ASSERT_TRUE(image.load(&folder, "pic", -1, -1));
  EXPECT_EQ(image.width, 4);  // ".png" before ".jpg"
  ASSERT_TRUE(image.load(&folder, "pic.jpg", -1, -1));
  EXPECT_EQ(image.width, 6);

  ASSERT_TRUE(save(&blue, "UPPER.JPG", 1, 100));
  ASSERT_TRUE(image.load(&folder, "UPPER.JPG", -1, -1));
  EXPECT_EQ(image.width, 6);
  // JPEG data behind a PNG name is found by trying each reader.
  ASSERT_TRUE(save(&blue, "liar.png", 1, 100));
  ASSERT_TRUE(image.load(&folder, "liar.png", -1, -1));
  EXPECT_EQ(image.width, 6);
  // PCX without extension; scaling to the size asked for.
  ASSERT_TRUE(save(&red, "bare", 2));
  ASSERT_TRUE(image.load(&folder, "bare", 8, 6));
  EXPECT_EQ(image.width, 8);
  EXPECT_EQ(image.height, 6);
  EXPECT_EQ(*image.pixel_at(7, 5), 0xFFFF0000u);
  // The raw stream with its byte-order byte.
  DATA_FILE* file = open_data_file(&folder, "stream.raw", FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(red.put_to_data_device(file));
  close_data_file(&file);
  ASSERT_TRUE(image.load(&folder, "stream", -1, -1));
  EXPECT_EQ(pixels_of(image), pixels_of(red));

  EXPECT_FALSE(image.load(&folder, "missing", -1, -1));
  EXPECT_FALSE(image.load(&folder, "", -1, -1));
  EXPECT_FALSE(image.load(&folder, nullptr, -1, -1));
  write_whole_file(path + "text.png", {'h', 'e', 'l', 'l', 'o'});
  EXPECT_FALSE(image.load(&folder, "text.png", -1, -1));
}

TEST_F(ImageFileTest, LoadTakesNamesOfAnyLength) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows paths end at 260 characters; the name length is checked on Linux";
#endif
  std::string sub = std::string(60, 'd');
  std::string name;
  FOLDER deep(folder);
  for (int n = 0; n < 5; n++) {
    ASSERT_TRUE(deep.enter(sub.c_str(), true));
    name += sub + "/";
  }
  name += std::string(60, 'f');
  ASSERT_GT(name.size(), 300u);
  IMAGE red, image;
  red.set_size(2, 2);
  COLOUR r = 0xFFFF0000;
  red.clear(&r, 1);
  DATA_FILE* file = open_data_file(&deep, (std::string(60, 'f') + ".png").c_str(), FILE_MODE_WRITE, 0, false);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(save_png(&red, file));
  close_data_file(&file);
  EXPECT_TRUE(image.load(&folder, name.c_str(), -1, -1));
  EXPECT_EQ(image.width, 2);
}

TEST_F(ImageFileTest, StripsLayFramesSideBySide) {
  for (int n = 0; n < 3; n++) {
    IMAGE frame;
    frame.set_size(4, 2);
    COLOUR c = 0xFF000000u | (INT_U32)(n + 1);
    frame.clear(&c, 1);
    std::string name = "frame" + std::to_string(n) + ".png";
    ASSERT_TRUE(save(&frame, name.c_str(), 0));
  }
  IMAGE strip;
  ASSERT_TRUE(strip.load_strip(&folder, "frame%d", 0, -1));
  ASSERT_EQ(strip.width, 12);
  ASSERT_EQ(strip.height, 2);
  for (int n = 0; n < 3; n++) EXPECT_EQ(*strip.pixel_at(n * 4 + 1, 1), 0xFF000000u | (INT_U32)(n + 1));
  ASSERT_TRUE(strip.load_strip(&folder, "frame%d", 1, 5));
  EXPECT_EQ(strip.width, 8);
  EXPECT_FALSE(strip.load_strip(&folder, "none%d", 0, -1));
  EXPECT_EQ(strip.width, 0);
}

TEST_F(ImageFileTest, ExportsWriteNinePartsAndCSource) {
  IMAGE source;
  make_pattern(&source, 5, 5, true);
  export_nine_part_png(&source, &folder, "frame");
  IMAGE part;
  ASSERT_TRUE(part.load(&folder, "frame_top_left.png", -1, -1));
  EXPECT_EQ(part.width, 2);
  EXPECT_EQ(part.height, 2);
  EXPECT_EQ(*part.pixel_at(1, 1), *source.pixel_at(1, 1));
  ASSERT_TRUE(part.load(&folder, "frame_bottom_right.png", -1, -1));
  EXPECT_EQ(*part.pixel_at(0, 0), *source.pixel_at(3, 3));
  ASSERT_TRUE(part.load(&folder, "frame_mid_mid.png", -1, -1));
  EXPECT_EQ(part.width, 1);
  EXPECT_EQ(*part.pixel_at(0, 0), *source.pixel_at(2, 2));
  ASSERT_TRUE(part.load(&folder, "frame_top_mid.png", -1, -1));
  EXPECT_EQ(part.height, 2);

  IMAGE tiny;
  tiny.set_size(2, 1);
  *tiny.pixel_at(0, 0) = 0x80112233;
  *tiny.pixel_at(1, 0) = 0xFFAABBCC;
  TEXT_FILE* text = open_text_file(&folder, "tiny.c", TEXT_FILE_WRITE, false);
  ASSERT_NE(text, nullptr);
  ASSERT_TRUE(export_c_array(&tiny, text, "tiny_picture", 13));
  close_text_file(&text);
  std::vector<INT_U8> bytes = read_whole_file(path + "tiny.c");
  std::string written(bytes.begin(), bytes.end());
  std::string line_end = written.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  std::string expected = "static INT_U8 tiny_picture[13] =\n{\n\t0x01,0x00,0x02,0x00,0x01,\n\t"
                         "0x33,0x22,0x11,0x80,0xCC,0xBB,0xAA,0xFF\n};\n";
  if (line_end != "\n") {
    std::string converted;
    for (char c : expected) converted += c == '\n' ? line_end : std::string(1, c);
    expected = converted;
  }
  EXPECT_EQ(written, expected);
}
