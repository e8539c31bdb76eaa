// Graphics benchmark (not a test): each image operation of the library timed against what a user would
// pick for the same work in the same run (memcpy; pixman with its normal fast paths; libpng and libjpeg
// decoding; FreeType's own glyph cache for warm text), printed as ratios at the end. Every benchmark is
// repeated with the repetitions of all of them interleaved in random order, and the median repetition
// counts, so that the order in which two are run does not decide their ratio.
// Usage: bench_graphics [--size=WxH] [--text-size=N] [--fonts=folder] [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <png.h>

#include <cstdio>  // before jpeglib.h, which uses FILE
#include <jpeglib.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_CACHE_H
#include FT_GLYPH_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "colour.h"
#include "data_file.h"
#include "folder.h"
#include "font.h"
#include "image.h"
#include "image_file.h"
#include "text_draw.h"

namespace fs = std::filesystem;

namespace {

// Settings of the run (arguments).
int picture_width = 1024;
int picture_height = 768;
int text_size = 18;
std::string font_folder = "/usr/share/fonts/truetype/dejavu";
const char* const FONT_FILE = "DejaVuSans.ttf";
const char* const SAMPLE_TEXT = "The quick brown fox jumps over the lazy dog. 0123456789 (Installing files...)";
const INT_S8 BENCH_FONT_ID = 10;

int scaled_width() { return picture_width * 3 / 2; }
int scaled_height() { return picture_height * 3 / 2; }

// Photo-like pixels: smooth gradients with a little noise. With varied_alpha every alpha from 0 to 255
// occurs (so blending has transparent, opaque and mixed pixels), else every pixel is opaque.
void fill_picture(IMAGE* image, bool varied_alpha) {
  unsigned seed = 12345;
  for (int y = 0; y < image->height; ++y)
    for (int x = 0; x < image->width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      unsigned noise = (seed >> 24) & 15;
      unsigned red = (x * 255 / image->width + noise) & 0xFF;
      unsigned green = (y * 255 / image->height + noise) & 0xFF;
      unsigned blue = ((x + y) * 127 / (image->width + image->height) + 64 + noise) & 0xFF;
      unsigned alpha = varied_alpha ? ((x * 7 + y * 3) & 0xFF) : 0xFF;
      *image->pixel_at(x, y) = (alpha << 24) | (red << 16) | (green << 8) | blue;
    }
}

// The same pixels with alpha premultiplied, as pixman takes them.
std::vector<uint32_t> premultiplied(const IMAGE& image) {
  std::vector<uint32_t> out((size_t)image.width * image.height);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      uint32_t p = *image.pixel_at(x, y), a = p >> 24;
      uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
      out[(size_t)y * image.width + x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  return out;
}

// Shared inputs, made once.
struct INPUTS {
  IMAGE opaque;      // opaque picture
  IMAGE translucent; // picture with every alpha
  std::vector<uint32_t> opaque_bits;
  std::vector<uint32_t> translucent_bits;  // premultiplied
  fs::path folder_path;
  FOLDER folder;
  bool files_ready = false;
  bool fonts_ready = false;
};
INPUTS* inputs = nullptr;

bool make_inputs() {
  inputs = new INPUTS;
  inputs->opaque.set_size((INT_S16)picture_width, (INT_S16)picture_height);
  inputs->translucent.set_size((INT_S16)picture_width, (INT_S16)picture_height);
  if (!inputs->opaque.pixels || !inputs->translucent.pixels) return false;
  fill_picture(&inputs->opaque, false);
  fill_picture(&inputs->translucent, true);
  inputs->opaque_bits = premultiplied(inputs->opaque);
  inputs->translucent_bits = premultiplied(inputs->translucent);

  // The PNG and JPEG files, written by the library into a folder of their own.
  char pattern[] = "/tmp/velk-bench-graphics-XXXXXX";
  if (mkdtemp(pattern) && inputs->folder.set_if_folder(pattern)) {
    inputs->folder_path = pattern;
    DATA_FILE* png = open_data_file(&inputs->folder, "picture.png", FILE_MODE_WRITE, 0, false);
    bool ok = png && save_png(&inputs->opaque, png);
    ok = close_data_file(&png) && ok;
    DATA_FILE* jpeg = open_data_file(&inputs->folder, "picture.jpg", FILE_MODE_WRITE, 0, false);
    ok = jpeg && save_jpeg(&inputs->opaque, jpeg, 90, false) && ok;
    ok = close_data_file(&jpeg) && ok;
    inputs->files_ready = ok;
  }

  FOLDER fonts;
  if (fs::exists(fs::path(font_folder) / FONT_FILE) && fonts.set_if_folder(font_folder.c_str())) {
    set_named_path("$FONTDATA", &fonts);
    disable_font_preload();
    start_font_system();
    inputs->fonts_ready = load_font(FONT_FILE, nullptr, BENCH_FONT_ID, &fonts) == BENCH_FONT_ID;
  }
  return true;
}

void remove_inputs() {
  if (!inputs) return;
  if (inputs->fonts_ready) stop_font_system();
  std::error_code ignored;
  if (!inputs->folder_path.empty()) fs::remove_all(inputs->folder_path, ignored);
  delete inputs;
  inputs = nullptr;
}

pixman_image_t* pixman_over(std::vector<uint32_t>& bits, int width, int height) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height, bits.data(), width * 4);
}

// ---------------------------------------------------------------------------------------------------
// Copying and conversion against memcpy
// ---------------------------------------------------------------------------------------------------

void BM_memcpy(benchmark::State& state) {
  size_t bytes = (size_t)picture_width * picture_height * 4;
  std::vector<uint32_t> target((size_t)picture_width * picture_height);
  for (auto _ : state) {
    std::memcpy(target.data(), inputs->opaque.pixels, bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)bytes);
}

void BM_copy_blit(benchmark::State& state) {
  IMAGE target((INT_S16)picture_width, (INT_S16)picture_height);
  for (auto _ : state) {
    target.blit(&inputs->opaque, 0, 0, 0, 0, (INT_S16)picture_width, (INT_S16)picture_height, BLIT_COPY);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * picture_width * picture_height * 4);
}

// Format 0: plain 32-bit rows; format 1: red and blue exchanged.
void BM_convert_pixels(benchmark::State& state) {
  std::vector<uint32_t> buffer((size_t)picture_width * picture_height);
  INT_U8 format = (INT_U8)state.range(0);
  for (auto _ : state) {
    inputs->opaque.convert_pixels(buffer.data(), -1, 1, format, 0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed((int64_t)state.iterations() * picture_width * picture_height * 4);
}

// ---------------------------------------------------------------------------------------------------
// Blending against pixman's OVER
// ---------------------------------------------------------------------------------------------------

void BM_blend_blit(benchmark::State& state) {
  IMAGE target((INT_S16)picture_width, (INT_S16)picture_height);
  target.blit(&inputs->opaque, 0, 0, 0, 0, (INT_S16)picture_width, (INT_S16)picture_height, BLIT_COPY);
  for (auto _ : state) {
    target.blit(&inputs->translucent, 0, 0, 0, 0, (INT_S16)picture_width, (INT_S16)picture_height, BLIT_BLEND);
    benchmark::ClobberMemory();
  }
}

void BM_pixman_over_blit(benchmark::State& state) {
  std::vector<uint32_t> target_bits = inputs->opaque_bits;
  pixman_image_t* source = pixman_over(inputs->translucent_bits, picture_width, picture_height);
  pixman_image_t* target = pixman_over(target_bits, picture_width, picture_height);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, target, 0, 0, 0, 0, 0, 0, picture_width,
                             picture_height);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(source);
  pixman_image_unref(target);
}

const COLOUR FILL_COLOUR = 0x80306090;  // half-transparent

void BM_blend_fill(benchmark::State& state) {
  IMAGE target((INT_S16)picture_width, (INT_S16)picture_height);
  target.blit(&inputs->opaque, 0, 0, 0, 0, (INT_S16)picture_width, (INT_S16)picture_height, BLIT_COPY);
  for (auto _ : state) {
    target.fill_rectangle(0, 0, (INT_S16)(picture_width - 1), (INT_S16)(picture_height - 1), &FILL_COLOUR, 1);
    benchmark::ClobberMemory();
  }
}

void BM_pixman_over_fill(benchmark::State& state) {
  std::vector<uint32_t> target_bits = inputs->opaque_bits;
  pixman_image_t* target = pixman_over(target_bits, picture_width, picture_height);
  // Premultiplied 16-bit channels of FILL_COLOUR.
  const uint16_t alpha = 0x8080;
  pixman_color_t colour = {(uint16_t)(0x3030 * alpha / 0xFFFF), (uint16_t)(0x6060 * alpha / 0xFFFF),
                           (uint16_t)(0x9090 * alpha / 0xFFFF), alpha};
  pixman_rectangle16_t box = {0, 0, (uint16_t)picture_width, (uint16_t)picture_height};
  for (auto _ : state) {
    pixman_image_fill_rectangles(PIXMAN_OP_OVER, target, &colour, 1, &box);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(target);
}

// ---------------------------------------------------------------------------------------------------
// Scaling (to 3/2 of each side) against pixman's nearest and bilinear transforms
// ---------------------------------------------------------------------------------------------------

// IMAGE::scale works in place: every pass starts from a fresh copy of the picture, made untimed.
void BM_scale(benchmark::State& state) {
  bool smooth = state.range(0) != 0;
  IMAGE image;
  size_t bytes = (size_t)picture_width * picture_height * 4;
  for (auto _ : state) {
    state.PauseTiming();
    image.set_size((INT_S16)picture_width, (INT_S16)picture_height);
    std::memcpy(image.pixels, inputs->opaque.pixels, bytes);
    state.ResumeTiming();
    image.scale((INT_U16)scaled_width(), (INT_U16)scaled_height(), smooth);
    benchmark::ClobberMemory();
  }
  if (image.width != scaled_width()) state.SkipWithError("the image was not scaled");
}

void BM_pixman_scale(benchmark::State& state) {
  bool smooth = state.range(0) != 0;
  std::vector<uint32_t> target_bits((size_t)scaled_width() * scaled_height());
  pixman_image_t* source = pixman_over(inputs->opaque_bits, picture_width, picture_height);
  pixman_image_t* target = pixman_over(target_bits, scaled_width(), scaled_height());
  pixman_transform_t transform;
  pixman_transform_init_scale(&transform, pixman_double_to_fixed((double)picture_width / scaled_width()),
                              pixman_double_to_fixed((double)picture_height / scaled_height()));
  pixman_image_set_transform(source, &transform);
  pixman_image_set_filter(source, smooth ? PIXMAN_FILTER_BILINEAR : PIXMAN_FILTER_NEAREST, nullptr, 0);
  pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0, scaled_width(),
                             scaled_height());
    benchmark::ClobberMemory();
  }
  pixman_image_unref(source);
  pixman_image_unref(target);
}

// ---------------------------------------------------------------------------------------------------
// Loading PNG and JPEG files against libpng's and libjpeg's own decoding to 32-bit pixels
// ---------------------------------------------------------------------------------------------------

std::string input_path(const char* name) { return (inputs->folder_path / name).string(); }

void BM_png_load(benchmark::State& state) {
  if (!inputs->files_ready) return state.SkipWithError("the PNG file could not be written");
  for (auto _ : state) {
    IMAGE image;
    DATA_FILE* file = open_data_file(&inputs->folder, "picture.png", FILE_MODE_READ, 0, false);
    bool ok = file && load_png(&image, file);
    close_data_file(&file);
    if (!ok) return state.SkipWithError("load_png failed");
    benchmark::DoNotOptimize(image.pixels);
  }
}

// libpng straight from the file into 0xAARRGGBB pixels, with the transforms that any PNG needs.
bool libpng_decode(const std::string& path, std::vector<uint32_t>* pixels) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_bytep> rows;
  bool ok = false;
  if (info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    pixels->resize((size_t)width * height);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = (png_bytep)(pixels->data() + (size_t)y * width);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    ok = true;
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  std::fclose(file);
  return ok;
}

void BM_libpng_decode(benchmark::State& state) {
  if (!inputs->files_ready) return state.SkipWithError("the PNG file could not be written");
  std::string path = input_path("picture.png");
  for (auto _ : state) {
    std::vector<uint32_t> pixels;
    if (!libpng_decode(path, &pixels)) return state.SkipWithError("libpng failed");
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_jpeg_load(benchmark::State& state) {
  if (!inputs->files_ready) return state.SkipWithError("the JPEG file could not be written");
  for (auto _ : state) {
    IMAGE image;
    DATA_FILE* file = open_data_file(&inputs->folder, "picture.jpg", FILE_MODE_READ, 0, false);
    bool ok = file && load_jpeg(&image, file, -1, -1);
    close_data_file(&file);
    if (!ok) return state.SkipWithError("load_jpeg failed");
    benchmark::DoNotOptimize(image.pixels);
  }
}

// libjpeg straight from the file into 32-bit pixels (its own BGRA output, i.e. 0xAARRGGBB here).
bool libjpeg_decode(const std::string& path, std::vector<uint32_t>* pixels) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  jpeg_decompress_struct decoder;
  jpeg_error_mgr errors;
  decoder.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&decoder);
  jpeg_stdio_src(&decoder, file);
  bool ok = jpeg_read_header(&decoder, TRUE) == JPEG_HEADER_OK;
  if (ok) {
    decoder.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&decoder);
    pixels->resize((size_t)decoder.output_width * decoder.output_height);
    while (decoder.output_scanline < decoder.output_height) {
      JSAMPROW row = (JSAMPROW)(pixels->data() + (size_t)decoder.output_scanline * decoder.output_width);
      jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
  }
  jpeg_destroy_decompress(&decoder);
  std::fclose(file);
  return ok;
}

void BM_libjpeg_decode(benchmark::State& state) {
  if (!inputs->files_ready) return state.SkipWithError("the JPEG file could not be written");
  std::string path = input_path("picture.jpg");
  for (auto _ : state) {
    std::vector<uint32_t> pixels;
    if (!libjpeg_decode(path, &pixels)) return state.SkipWithError("libjpeg failed");
    benchmark::DoNotOptimize(pixels.data());
  }
}

// ---------------------------------------------------------------------------------------------------
// Text: the font system's glyph cache (warm) against FreeType's own cache (warm)
// ---------------------------------------------------------------------------------------------------

const COLOUR TEXT_COLOUR = 0xFF202020;
const int TEXT_WIDTH = 1200;

void BM_text_warm_cache(benchmark::State& state) {
  if (!inputs->fonts_ready) return state.SkipWithError("DejaVu Sans is not installed (fonts-dejavu-core)");
  IMAGE image((INT_S16)TEXT_WIDTH, (INT_S16)(text_size * 2));
  COLOUR white = 0xFFFFFFFF;
  image.clear(&white, 1);
  // One pass first fills the glyph cache.
  render_text(&image, 2, 2, &TEXT_COLOUR, nullptr, nullptr, 0, BENCH_FONT_ID, (INT_S16)text_size,
              (INT_S16)text_size, SAMPLE_TEXT, -1, false);
  for (auto _ : state) {
    render_text(&image, 2, 2, &TEXT_COLOUR, nullptr, nullptr, 0, BENCH_FONT_ID, (INT_S16)text_size,
                (INT_S16)text_size, SAMPLE_TEXT, -1, false);
    benchmark::ClobberMemory();
  }
}

// FreeType's own cache subsystem, as a program that draws text with FreeType would keep its glyphs: the
// character map and the rendered glyph images cached (warmed by one pass), coverage blended with the
// same rule.
FT_Error open_bench_face(FTC_FaceID, FT_Library library, FT_Pointer opened, FT_Face* face) {
  ++*static_cast<int*>(opened);
  std::string path = (fs::path(font_folder) / FONT_FILE).string();
  return FT_New_Face(library, path.c_str(), 0, face);
}

// One cache for the whole run, as a program keeps it.
struct FREETYPE_CACHE {
  FT_Library library = nullptr;
  FTC_Manager manager = nullptr;
  FTC_CMapCache characters = nullptr;
  FTC_ImageCache images = nullptr;
  int opened = 0;  // how often the cache opened the face: once, when it keeps it
};

FREETYPE_CACHE* freetype_cache() {
  static FREETYPE_CACHE* cache = nullptr;
  if (cache) return cache->images ? cache : nullptr;
  cache = new FREETYPE_CACHE;
  if (FT_Init_FreeType(&cache->library) != 0 ||
      FTC_Manager_New(cache->library, 0, 0, 0, open_bench_face, &cache->opened, &cache->manager) != 0 ||
      FTC_CMapCache_New(cache->manager, &cache->characters) != 0 ||
      FTC_ImageCache_New(cache->manager, &cache->images) != 0)
    cache->images = nullptr;
  return cache->images ? cache : nullptr;
}

void BM_freetype_cache(benchmark::State& state) {
  if (!inputs->fonts_ready) return state.SkipWithError("DejaVu Sans is not installed (fonts-dejavu-core)");
  FREETYPE_CACHE* cache = freetype_cache();
  if (!cache) return state.SkipWithError("FreeType's cache could not be made");
  FTC_CMapCache characters = cache->characters;
  FTC_ImageCache images = cache->images;
  FTC_ImageTypeRec type;
  type.face_id = (FTC_FaceID)1;
  type.width = (FT_UInt)text_size;
  type.height = (FT_UInt)text_size;
  type.flags = FT_LOAD_RENDER;
  const int height = text_size * 2;
  std::vector<uint32_t> pixels((size_t)TEXT_WIDTH * height, 0xFFFFFFFF);
  const int baseline = 2 + text_size - text_size / 4;
  auto draw = [&]() {
    int pen = 2;
    for (const char* c = SAMPLE_TEXT; *c; ++c) {
      FT_UInt index = FTC_CMapCache_Lookup(characters, type.face_id, -1, (unsigned char)*c);
      FT_Glyph glyph = nullptr;
      if (FTC_ImageCache_Lookup(images, &type, index, &glyph, nullptr) != 0 || !glyph ||
          glyph->format != FT_GLYPH_FORMAT_BITMAP)
        continue;
      const FT_BitmapGlyph image = (FT_BitmapGlyph)glyph;
      const FT_Bitmap& bitmap = image->bitmap;
      int gx = pen + image->left, gy = baseline - image->top;
      for (int row = 0; row < (int)bitmap.rows; ++row) {
        int y = gy + row;
        if (y < 0 || y >= height) continue;
        const unsigned char* coverage = bitmap.buffer + row * bitmap.pitch;
        for (int column = 0; column < (int)bitmap.width; ++column) {
          int x = gx + column;
          if (x < 0 || x >= TEXT_WIDTH || coverage[column] == 0) continue;
          COLOUR source = (TEXT_COLOUR & 0x00FFFFFF) | ((COLOUR)coverage[column] << 24);
          blend_pixel(&pixels[(size_t)y * TEXT_WIDTH + x], source, OPAQUE_ALPHA_THRESHOLD);
        }
      }
      pen += (int)(glyph->advance.x >> 16);
    }
  };
  draw();  // fills the cache
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  state.counters["face_opens"] = cache->opened;
}

// ---------------------------------------------------------------------------------------------------
// Collecting the times and printing the ratios
// ---------------------------------------------------------------------------------------------------

// Seconds per iteration of every repetition of each benchmark; the median counts.
std::map<std::string, std::vector<double>> repetition_seconds;

double median_seconds(const std::string& name) {
  auto found = repetition_seconds.find(name);
  return found == repetition_seconds.end() ? 0 : bench_support::median(found->second);
}

// The normal console table, while keeping every repetition's figure.
class KEEPING_REPORTER : public benchmark::ConsoleReporter {
public:
  KEEPING_REPORTER() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs)
      if (!run.error_occurred && run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration && run.iterations > 0)
        repetition_seconds[run.run_name.str()].push_back(run.real_accumulated_time / (double)run.iterations);
    ConsoleReporter::ReportRuns(runs);
  }
};

struct COMPARISON {
  const char* label;
  const char* ours;
  const char* baseline;
  const char* target;     // in words
  double wanted_speed;    // baseline time / our time at least this (0 = no target)
};

void print_ratios() {
  const COMPARISON comparisons[] = {
      {"copy blit vs memcpy", "copy_blit", "memcpy", ">= 0.8", 0.8},
      {"convert_pixels (32-bit) vs memcpy", "convert_pixels/0", "memcpy", ">= 0.8", 0.8},
      {"convert_pixels (red/blue) vs memcpy", "convert_pixels/1", "memcpy", ">= 0.8", 0.8},
      {"blended blit vs pixman OVER", "blend_blit", "pixman_over_blit", "report", 0},
      {"blended fill vs pixman OVER", "blend_fill", "pixman_over_fill", "report", 0},
      {"nearest scaling vs pixman nearest", "scale/0", "pixman_scale/0", "report", 0},
      {"smooth scaling vs pixman bilinear", "scale/1", "pixman_scale/1", "report", 0},
      {"PNG loading vs libpng", "png_load", "libpng_decode", "time <= 1.15x", 1 / 1.15},
      {"JPEG loading vs libjpeg", "jpeg_load", "libjpeg_decode", "time <= 1.15x", 1 / 1.15},
      {"warm text vs FreeType's glyph cache", "text_warm_cache", "freetype_cache", "report", 0},
  };
  std::printf("\nRatios of the median repetitions (speed = baseline time / library time; above 1 the library is "
              "faster), %dx%d pixels, text %d px\n", picture_width, picture_height, text_size);
  std::printf("%-40s %12s %12s %8s %8s  %s\n", "comparison", "library us", "baseline us", "speed", "time", "target");
  for (const COMPARISON& c : comparisons) {
    double ours = median_seconds(c.ours), baseline = median_seconds(c.baseline);
    if (ours <= 0 || baseline <= 0) {
      std::printf("%-40s %12s\n", c.label, "not measured");
      continue;
    }
    double speed = baseline / ours;
    const char* verdict = c.wanted_speed <= 0 ? "" : (speed >= c.wanted_speed ? " met" : " NOT met");
    std::printf("%-40s %12.1f %12.1f %8.2f %8.2f  %s%s\n", c.label, ours * 1e6, baseline * 1e6, speed,
                ours / baseline, c.target, verdict);
  }
}

// Takes out this program's own arguments; false on a malformed one.
bool read_own_arguments(int* argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    const char* argument = argv[i];
    if (std::strncmp(argument, "--size=", 7) == 0) {
      if (std::sscanf(argument + 7, "%dx%d", &picture_width, &picture_height) != 2) return false;
    } else if (std::strncmp(argument, "--text-size=", 12) == 0) {
      text_size = std::atoi(argument + 12);
    } else if (std::strncmp(argument, "--fonts=", 8) == 0) {
      font_folder = argument + 8;
    } else {
      argv[kept++] = argv[i];
    }
  }
  *argc = kept;
  // Scaled pictures must still fit the 16-bit sizes.
  return picture_width >= 2 && picture_height >= 2 && scaled_width() <= 0x7FFF && scaled_height() <= 0x7FFF &&
         text_size >= 4 && text_size <= 400;
}

}  // namespace

BENCHMARK(BM_memcpy)->Name("memcpy");
BENCHMARK(BM_copy_blit)->Name("copy_blit");
BENCHMARK(BM_convert_pixels)->Name("convert_pixels")->Arg(0)->Arg(1);
BENCHMARK(BM_blend_blit)->Name("blend_blit");
BENCHMARK(BM_pixman_over_blit)->Name("pixman_over_blit");
BENCHMARK(BM_blend_fill)->Name("blend_fill");
BENCHMARK(BM_pixman_over_fill)->Name("pixman_over_fill");
BENCHMARK(BM_scale)->Name("scale")->Arg(0)->Arg(1);
BENCHMARK(BM_pixman_scale)->Name("pixman_scale")->Arg(0)->Arg(1);
BENCHMARK(BM_png_load)->Name("png_load");
BENCHMARK(BM_libpng_decode)->Name("libpng_decode");
BENCHMARK(BM_jpeg_load)->Name("jpeg_load");
BENCHMARK(BM_libjpeg_decode)->Name("libjpeg_decode");
BENCHMARK(BM_text_warm_cache)->Name("text_warm_cache");
BENCHMARK(BM_freetype_cache)->Name("freetype_cache");

int main(int argc, char** argv) {
  if (!read_own_arguments(&argc, argv)) {
    std::fprintf(stderr, "usage: bench_graphics [--size=WxH] [--text-size=N] [--fonts=folder] [--benchmark_...]\n");
    return 2;
  }
  // Repetitions interleaved in random order unless the command line says otherwise.
  std::vector<char*> arguments(argv, argv + argc);
  bool repetitions_given = false, interleaving_given = false;
  for (int i = 1; i < argc; ++i) {
    repetitions_given |= std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    interleaving_given |= std::strncmp(argv[i], "--benchmark_enable_random_interleaving", 38) == 0;
  }
  char repetitions[] = "--benchmark_repetitions=7";
  char interleaving[] = "--benchmark_enable_random_interleaving=true";
  if (!repetitions_given) arguments.push_back(repetitions);
  if (!interleaving_given) arguments.push_back(interleaving);
  int count = (int)arguments.size();
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 2;
  if (!make_inputs()) {
    std::fprintf(stderr, "bench_graphics: no memory for %dx%d pictures\n", picture_width, picture_height);
    return 1;
  }
  KEEPING_REPORTER reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_ratios();
  benchmark::Shutdown();
  remove_inputs();
  return 0;
}
