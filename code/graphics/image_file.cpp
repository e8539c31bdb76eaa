// Image files: finding a picture by name and extension, the PNG, JPEG and PCX readers and writers, and
// the C-source and nine-part exports. Every reader treats its file as untrusted: sizes are checked
// before anything is allocated and library errors come back as a false result.
#include "image_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "colour.h"
#include "data_file.h"
#include "folder.h"
#include "image.h"
#include "llist.h"
#include "files.h"
#include "scale.h"
#include "text_file.h"
#include "velk_string.h"

// ---------------------------------------------------------------------------------------------------
// Shared checks

// A stored size fits the image's 16-bit fields and the pixel cap.
static bool picture_size_acceptable(INT_U32 width, INT_U32 height) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return false;
  return (INT_U64)width * height <= IMAGE_FILE_PIXEL_LIMIT;
}

// The most pixels that compressed data of this many bytes can describe: deflate expands at most about
// 1032 times and a PNG byte holds up to 8 pixels; a JPEG spends at least a bit or two on every 8 x 8
// block, so no real picture comes near 2048 pixels per byte.
static const INT_U64 PNG_PIXELS_PER_BYTE = 8 * 1032;
static const INT_U64 JPEG_PIXELS_PER_BYTE = 2048;
static bool fits_data_left(INT_U32 width, INT_U32 height, INT_U32 data_left, INT_U64 pixels_per_byte) {
  return (INT_U64)width * height <= (INT_U64)data_left * pixels_per_byte + 4096;
}

// Sizes the image for a picture; false, with the image unchanged, when memory is short or a
// size-locked image has another size: a file never ends the program.
static bool size_image(IMAGE* image, INT_S16 width, INT_S16 height) {
  return image->set_size_from_file(width, height) && image->width == width && image->height == height &&
         image->pixels;
}

// The data file's stdio stream, positioned at the file's logical position, for a library to use.
static FILE* hand_over_stream(DATA_FILE* file) {
  if (!file) return nullptr;
  return file->get_stream();
}

// ---------------------------------------------------------------------------------------------------
// PNG

static void png_error_jump(png_structp png, png_const_charp) { png_longjmp(png, 1); }
static void png_warning_ignore(png_structp, png_const_charp) {}

// Decodes the PNG on stream (its first four bytes already read) into the image.
static bool decode_png(IMAGE* image, FILE* stream, INT_U32 data_left) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_jump, png_warning_ignore);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_user_limits(png, 32767, 32767);
  // No chunk is allocated beyond what the file can still hold (nor beyond 8 MiB), and the ancillary
  // chunks that decoding does not use are skipped unread, so that a declared length never becomes an
  // allocation (libpng allocates text chunks by their stated length).
  png_alloc_size_t chunk_limit = (png_alloc_size_t)data_left + 0x10000;
  png_set_chunk_malloc_max(png, chunk_limit < 0x800000 ? chunk_limit : 0x800000);
  static const png_byte used_chunks[] = {'t', 'R', 'N', 'S', 0, 'g', 'A', 'M', 'A', 0, 's', 'R', 'G', 'B', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, used_chunks, 3);
  png_init_io(png, stream);
  png_set_sig_bytes(png, 4);
  png_read_info(png, info);

  png_uint_32 width = png_get_image_width(png, info);
  png_uint_32 height = png_get_image_height(png, info);
  if (!picture_size_acceptable(width, height) || !fits_data_left(width, height, data_left, PNG_PIXELS_PER_BYTE)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  int colour_type = png_get_color_type(png, info);
  int bit_depth = png_get_bit_depth(png, info);

  png_set_strip_16(png);
  png_set_packing(png);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  double file_gamma = 0.45455;
  if (!png_get_valid(png, info, PNG_INFO_sRGB)) {
    double stored = 0;
    if (png_get_gAMA(png, info, &stored) && stored > 0) file_gamma = stored;
  }
  png_set_gamma(png, 2.2, file_gamma);
  png_set_swap(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != (png_size_t)width * 4) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }

  if (!size_image(image, (INT_S16)width, (INT_S16)height)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Rows go straight into the image; interlaced files visit them once per pass.
  for (int pass = 0; pass < passes; pass++)
    for (png_uint_32 y = 0; y < height; y++) png_read_row(png, (png_bytep)image->pixel_at(0, (INT_S32)y), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  image->extend_dirty_area(0, 0, (INT_S16)(width - 1), (INT_S16)(height - 1));
  return true;
}

bool load_png(IMAGE* image, DATA_FILE* file) {
  if (!image || !file) return false;
  INT_U8 signature[4];
  if (file->read(signature, 4) != 4) return false;
  if (png_sig_cmp(signature, 0, 4) != 0) return false;
  INT_U32 data_left = file->bytes_left();
  FILE* stream = hand_over_stream(file);
  if (!stream) return false;
  return decode_png(image, stream, data_left);
}

static bool encode_png(IMAGE* image, FILE* stream) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_error_jump, png_warning_ignore);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, stream);
  png_set_IHDR(png, info, (png_uint_32)image->width, (png_uint_32)image->height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color_8 significant;
  significant.red = significant.green = significant.blue = significant.alpha = 8;
  significant.gray = 0;
  png_set_sBIT(png, info, &significant);
  png_text texts[2];
  std::memset(texts, 0, sizeof(texts));
  texts[0].compression = PNG_TEXT_COMPRESSION_NONE;
  texts[0].key = (png_charp) "Author";
  texts[0].text = (png_charp) "velk platform library";
  texts[1].compression = PNG_TEXT_COMPRESSION_NONE;
  texts[1].key = (png_charp) "Website";
  texts[1].text = (png_charp) "none";
  png_set_text(png, info, texts, 2);
  png_write_info(png, info);
  // Pixels are B, G, R, A in memory; the file wants R, G, B, A.
  png_set_bgr(png);
  for (INT_S32 y = 0; y < image->height; y++) png_write_row(png, (png_const_bytep)image->pixel_at(0, y));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fflush(stream) == 0;
}

bool save_png(IMAGE* image, DATA_FILE* file) {
  if (!image || !file || !image->pixels || image->width < 1 || image->height < 1) return false;
  FILE* stream = hand_over_stream(file);
  if (!stream) return false;
  return encode_png(image, stream);
}

// ---------------------------------------------------------------------------------------------------
// JPEG

namespace {
// libjpeg's standard error manager with the place to jump back to.
struct JPEG_ERROR_MANAGER {
  jpeg_error_mgr standard;
  jmp_buf jump;
};
}  // namespace

// Installed in the standard error manager of both JPEG operations: jumps back into the running one,
// which cleans up and fails. Each operation keeps its own jump buffer.
void jpeg_error_exit(j_common_ptr info) {
  JPEG_ERROR_MANAGER* manager = (JPEG_ERROR_MANAGER*)info->err;
  std::longjmp(manager->jump, 1);
}

static void jpeg_message_ignore(j_common_ptr) {}

// libjpeg-turbo can write 0xAARRGGBB pixels (bytes B, G, R, A) itself, from colour and grey files
// alike; a plain libjpeg gives R, G, B or grey samples that are converted here.
#ifdef JCS_EXTENSIONS
static const J_COLOR_SPACE JPEG_PIXEL_SPACE = JCS_EXT_BGRA;
#else
static const J_COLOR_SPACE JPEG_PIXEL_SPACE = JCS_RGB;
#endif

// Turns one decoded line into pixels (nothing to do when the library wrote pixels itself).
static void jpeg_samples_to_pixels(INT_U32* pixels, const JSAMPLE* line, INT_U32 width, int components) {
  if (components == 4) {
    std::memcpy(pixels, line, sizeof(INT_U32) * width);
    return;
  }
  for (INT_U32 c = 0; c < width; c++) {
    const JSAMPLE* sample = line + (size_t)c * components;
    pixels[c] = components == 1
                    ? 0xFF000000u | ((INT_U32)sample[0] << 16) | ((INT_U32)sample[0] << 8) | sample[0]
                    : 0xFF000000u | ((INT_U32)sample[0] << 16) | ((INT_U32)sample[1] << 8) | sample[2];
  }
}

// Writes one line of pixels into a target row, scaling its columns by nearest neighbour: source
// column c belongs to target column (target width - 1) * c / (source width - 1); gaps repeat the pixel
// to their left and later columns for a target column already written are dropped.
static void jpeg_line_to_row(INT_U32* row, const INT_U32* line, INT_U32 source_width, INT_U32 target_width) {
  INT_U32 next_column = 0;
  for (INT_U32 c = 0; c < source_width; c++) {
    INT_U32 t = source_width > 1 ? (INT_U32)((INT_U64)(target_width - 1) * c / (source_width - 1)) : 0;
    if (t < next_column) continue;
    while (next_column < t) {
      row[next_column] = row[next_column - 1];
      next_column++;
    }
    row[t] = line[c];
    next_column = t + 1;
  }
  // A one-pixel-wide source fills the whole row with its pixel.
  while (next_column > 0 && next_column < target_width) {
    row[next_column] = row[next_column - 1];
    next_column++;
  }
}

static bool decode_jpeg(IMAGE* image, FILE* stream, INT_S16 width, INT_S16 height, INT_U32 data_left) {
  jpeg_decompress_struct info;
  JPEG_ERROR_MANAGER errors;
  info.err = jpeg_std_error(&errors.standard);
  errors.standard.error_exit = jpeg_error_exit;
  errors.standard.output_message = jpeg_message_ignore;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, stream);
  jpeg_read_header(&info, TRUE);
  if (!picture_size_acceptable(info.image_width, info.image_height) ||
      !fits_data_left(info.image_width, info.image_height, data_left, JPEG_PIXELS_PER_BYTE) ||
      (info.num_components != 1 && info.num_components != 3)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = (JPEG_PIXEL_SPACE == JCS_RGB && info.num_components == 1) ? JCS_GRAYSCALE : JPEG_PIXEL_SPACE;
  jpeg_start_decompress(&info);
  INT_U32 output_width = info.output_width;
  INT_U32 output_height = info.output_height;
  int components = info.output_components;
  INT_U32 target_width = width < 1 ? output_width : (INT_U32)width;
  INT_U32 target_height = height < 1 ? output_height : (INT_U32)height;
  if (output_width == 0 || output_height == 0 || (components != 1 && components != 3 && components != 4) ||
      !picture_size_acceptable(target_width, target_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  if (!size_image(image, (INT_S16)target_width, (INT_S16)target_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }

  if (target_width == output_width && target_height == output_height && components == 4) {
    // At the natural size the library writes the rows straight into the image.
    while (info.output_scanline < output_height) {
      JSAMPROW row = (JSAMPROW)image->pixel_at(0, (INT_S32)info.output_scanline);
      jpeg_read_scanlines(&info, &row, 1);
    }
  } else {
    JSAMPARRAY line = (*info.mem->alloc_sarray)((j_common_ptr)&info, JPOOL_IMAGE, output_width * components, 1);
    INT_U32* pixels = (INT_U32*)(*info.mem->alloc_large)((j_common_ptr)&info, JPOOL_IMAGE,
                                                         sizeof(INT_U32) * output_width);
    // Source line s belongs to target row (target height - 1) * s / (output height - 1); rows skipped
    // over repeat the row above, and later lines for a row already written are dropped.
    INT_U32 next_row = 0;
    for (INT_U32 s = 0; info.output_scanline < output_height; s++) {
      jpeg_read_scanlines(&info, line, 1);
      INT_U32 r = output_height > 1 ? (INT_U32)((INT_U64)(target_height - 1) * s / (output_height - 1)) : 0;
      if (r < next_row || r >= target_height) continue;
      while (next_row < r) {
        std::memcpy(image->pixel_at(0, (INT_S32)next_row), image->pixel_at(0, (INT_S32)next_row - 1),
                    sizeof(INT_U32) * target_width);
        next_row++;
      }
      INT_U32* row = image->pixel_at(0, (INT_S32)r);
      if (target_width == output_width) {
        jpeg_samples_to_pixels(row, line[0], output_width, components);
      } else {
        jpeg_samples_to_pixels(pixels, line[0], output_width, components);
        jpeg_line_to_row(row, pixels, output_width, target_width);
      }
      next_row = r + 1;
    }
    // A one-line source fills every row with its line.
    while (next_row > 0 && next_row < target_height) {
      std::memcpy(image->pixel_at(0, (INT_S32)next_row), image->pixel_at(0, (INT_S32)next_row - 1),
                  sizeof(INT_U32) * target_width);
      next_row++;
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  image->extend_dirty_area(0, 0, (INT_S16)(target_width - 1), (INT_S16)(target_height - 1));
  return true;
}

bool load_jpeg(IMAGE* image, DATA_FILE* file, INT_S16 width, INT_S16 height) {
  if (!image || !file) return false;
  INT_U32 data_left = file->bytes_left();
  FILE* stream = hand_over_stream(file);
  if (!stream) return false;
  return decode_jpeg(image, stream, width, height, data_left);
}

static bool encode_jpeg(IMAGE* image, FILE* stream, INT_U8 quality, bool progressive) {
  jpeg_compress_struct info;
  JPEG_ERROR_MANAGER errors;
  info.err = jpeg_std_error(&errors.standard);
  errors.standard.error_exit = jpeg_error_exit;
  errors.standard.output_message = jpeg_message_ignore;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, stream);
  info.image_width = (JDIMENSION)image->width;
  info.image_height = (JDIMENSION)image->height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  JSAMPARRAY line = (*info.mem->alloc_sarray)((j_common_ptr)&info, JPOOL_IMAGE, (JDIMENSION)image->width * 3, 1);
  while (info.next_scanline < info.image_height) {
    const INT_U32* pixel = image->pixel_at(0, (INT_S32)info.next_scanline);
    JSAMPLE* out = line[0];
    for (INT_S32 x = 0; x < image->width; x++, pixel++) {
      *out++ = (JSAMPLE)(*pixel >> 16);
      *out++ = (JSAMPLE)(*pixel >> 8);
      *out++ = (JSAMPLE)*pixel;
    }
    jpeg_write_scanlines(&info, line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fflush(stream) == 0;
}

bool save_jpeg(IMAGE* image, DATA_FILE* file, INT_U8 quality, bool progressive) {
  if (quality > 100) return false;
  if (!image || !file || !image->pixels || image->width < 1 || image->height < 1) return false;
  FILE* stream = hand_over_stream(file);
  if (!stream) return false;
  return encode_jpeg(image, stream, quality, progressive);
}

// ---------------------------------------------------------------------------------------------------
// PCX

static const INT_S32 PCX_HEADER_SIZE = 128;
static const INT_S32 PCX_PALETTE_SIZE = 769;  // the marker byte 12 and 256 R, G, B entries

bool load_pcx(IMAGE* image, DATA_DEVICE* device) {
  if (!image || !device) return false;
  device->seek(0, true);
  INT_U32 file_size = device->tell();
  if (file_size < (INT_U32)(PCX_HEADER_SIZE + PCX_PALETTE_SIZE)) return false;

  device->seek(-PCX_PALETTE_SIZE, true);
  INT_U8 palette_bytes[PCX_PALETTE_SIZE];
  if (device->read(palette_bytes, PCX_PALETTE_SIZE) != PCX_PALETTE_SIZE) return false;
  if (palette_bytes[0] != 12) return false;
  INT_U32 palette[256];
  for (int n = 0; n < 256; n++) {
    INT_U8 r = palette_bytes[1 + n * 3], g = palette_bytes[2 + n * 3], b = palette_bytes[3 + n * 3];
    INT_U32 alpha = (r == PCX_TRANSPARENT_RED && g == PCX_TRANSPARENT_GREEN && b == PCX_TRANSPARENT_BLUE) ? 0 : 255;
    palette[n] = (alpha << 24) | ((INT_U32)r << 16) | ((INT_U32)g << 8) | b;
  }

  device->seek(0, false);
  INT_U8 manufacturer;
  INT_U8 skipped[3];
  INT_U16 xmin, ymin, xmax, ymax;
  if (!device->read_u8(&manufacturer) || manufacturer != 10) return false;
  if (device->read(skipped, 3) != 3) return false;
  if (!device->read_u16(&xmin) || !device->read_u16(&ymin) || !device->read_u16(&xmax) || !device->read_u16(&ymax))
    return false;
  // Resolutions, 16-colour palette, reserved byte and planes, then bytes per line.
  INT_U8 middle[2 + 2 + 48 + 1 + 1];
  INT_U16 bytes_per_line;
  if (device->read(middle, sizeof(middle)) != (INT_S32)sizeof(middle) || !device->read_u16(&bytes_per_line))
    return false;
  if (xmax < xmin || ymax < ymin) return false;
  INT_U32 width = (INT_U32)xmax - xmin + 1;
  INT_U32 height = (INT_U32)ymax - ymin + 1;
  if (!picture_size_acceptable(width, height)) return false;

  // The run-length data lies between the header and the palette; a run of one byte pair gives at most
  // 63 pixels, which bounds what a file of this size can hold.
  INT_U32 data_size = file_size - PCX_HEADER_SIZE - PCX_PALETTE_SIZE;
  if ((INT_U64)bytes_per_line * height > (INT_U64)data_size * 63) return false;
  std::vector<INT_U8> data(data_size);
  device->seek(PCX_HEADER_SIZE, false);
  if (data_size && device->read(data.data(), (INT_S32)data_size) != (INT_S32)data_size) return false;

  if (!size_image(image, (INT_S16)width, (INT_S16)height)) return false;
  INT_U32 at = 0;
  INT_U32 run = 0;
  INT_U8 run_value = 0;
  for (INT_U32 y = 0; y < height; y++) {
    INT_U32* row = image->pixel_at(0, (INT_S32)y);
    for (INT_U32 x = 0; x < bytes_per_line; x++) {
      // A run may carry on into the next row.
      if (run == 0) {
        if (at >= data_size) return false;
        INT_U8 byte = data[at++];
        if ((byte & 0xC0) == 0xC0) {
          run = byte & 0x3F;
          if (at >= data_size) return false;
          run_value = data[at++];
          if (run == 0) {
            x--;  // an empty run adds no pixel
            continue;
          }
        } else {
          run = 1;
          run_value = byte;
        }
      }
      run--;
      if (x < width) row[x] = palette[run_value];
    }
  }
  image->extend_dirty_area(0, 0, (INT_S16)(width - 1), (INT_S16)(height - 1));
  return true;
}

bool save_pcx(IMAGE* image, DATA_DEVICE* device) {
  if (!image || !device || !image->pixels || image->width < 1 || image->height < 1) return false;
  INT_U8 zeros[58];
  std::memset(zeros, 0, sizeof(zeros));
  INT_U16 width = (INT_U16)image->width;
  INT_U16 height = (INT_U16)image->height;
  bool ok = device->write_u8(10) && device->write_u8(5) && device->write_u8(1) && device->write_u8(8) &&
            device->write_u16(0) && device->write_u16(0) && device->write_u16((INT_U16)(width - 1)) &&
            device->write_u16((INT_U16)(height - 1)) && device->write_u16(width) && device->write_u16(height) &&
            device->write(zeros, 48) == 48 && device->write_u8(0) && device->write_u8(1) &&
            device->write_u16(width) && device->write_u16(1) && device->write(zeros, 58) == 58;
  if (!ok) {
    device->failed = 1;
    return false;
  }

  // Palette in order of first appearance, at most 255 colours; later new colours become index 0.
  INT_U32 palette[256];
  INT_S32 palette_count = 0;
  INT_U32 last_colour = 0;
  INT_S32 last_index = -1;
  std::vector<INT_U8> row_bytes;
  for (INT_S32 y = 0; y < image->height; y++) {
    row_bytes.clear();
    const INT_U32* pixel = image->pixel_at(0, y);
    for (INT_S32 x = 0; x < image->width; x++, pixel++) {
      INT_U32 colour = *pixel & 0x00FFFFFFu;
      INT_S32 index = -1;
      if (last_index >= 0 && colour == last_colour) {
        index = last_index;
      } else {
        for (INT_S32 n = 0; n < palette_count; n++) {
          if (palette[n] == colour) {
            index = n;
            break;
          }
        }
        if (index < 0) {
          if (palette_count < 255) {
            palette[palette_count] = colour;
            index = palette_count++;
          } else {
            index = 0;
          }
        }
        last_colour = colour;
        last_index = index;
      }
      // Indexes of 64 and above are written as a run of one so that no byte reads as a run count.
      if (index >= 64) row_bytes.push_back(0xC1);
      row_bytes.push_back((INT_U8)index);
    }
    if (device->write(row_bytes.data(), (INT_S32)row_bytes.size()) != (INT_S32)row_bytes.size()) {
      device->failed = 1;
      return false;
    }
  }
  INT_U8 tail[PCX_PALETTE_SIZE];
  std::memset(tail, 0, sizeof(tail));
  tail[0] = 12;
  for (INT_S32 n = 0; n < palette_count; n++) {
    tail[1 + n * 3] = (INT_U8)(palette[n] >> 16);
    tail[2 + n * 3] = (INT_U8)(palette[n] >> 8);
    tail[3 + n * 3] = (INT_U8)palette[n];
  }
  if (device->write(tail, PCX_PALETTE_SIZE) != PCX_PALETTE_SIZE) {
    device->failed = 1;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Loading by name

enum PICTURE_READER { READ_PNG, READ_JPEG, READ_PCX, READ_RAW };

// Opens the file afresh and runs one reader on it.
static bool read_picture(IMAGE* image, FOLDER* folder, const char* name, PICTURE_READER reader, INT_S16 width,
                         INT_S16 height) {
  DATA_FILE* file = open_data_file(folder, name, FILE_MODE_READ, reader == READ_RAW ? BYTE_ORDER_HEADER : 0, false);
  if (!file) return false;
  bool ok = false;
  switch (reader) {
    case READ_PNG: ok = load_png(image, file); break;
    case READ_JPEG: ok = load_jpeg(image, file, width, height); break;
    case READ_PCX: ok = load_pcx(image, file); break;
    case READ_RAW: ok = image->get_from_data_device(file); break;
  }
  close_data_file(&file);
  return ok;
}

bool IMAGE::load(FOLDER* folder, const char* file_name, INT_S16 new_width, INT_S16 new_height) {
  if (!file_name || !file_name[0]) return false;
  FOLDER here;
  if (!folder) folder = &here;
  const std::string name(file_name);
  static const char* const extensions[4] = {".png", ".jpg", ".pcx", ".raw"};
  static const PICTURE_READER readers[4] = {READ_PNG, READ_JPEG, READ_PCX, READ_RAW};

  bool loaded = false;
  // A known extension goes straight to its reader.
  if (name.size() >= 5 && name[name.size() - 4] == '.') {
    for (int n = 0; n < 4 && !loaded; n++) {
      if (string_compare_no_case(name.c_str() + name.size() - 4, extensions[n], 4) == 0 && file_exists(folder, name.c_str()))
        loaded = read_picture(this, folder, name.c_str(), readers[n], new_width, new_height);
    }
  }
  // The name with each extension added, then the bare name with every reader.
  for (int n = 0; n < 4 && !loaded; n++) {
    std::string candidate = name + extensions[n];
    if (file_exists(folder, candidate.c_str()))
      loaded = read_picture(this, folder, candidate.c_str(), readers[n], new_width, new_height);
  }
  if (!loaded && file_exists(folder, name.c_str())) {
    for (int n = 0; n < 4 && !loaded; n++)
      loaded = read_picture(this, folder, name.c_str(), readers[n], new_width, new_height);
  }
  if (!loaded) return false;
  scale((INT_U16)new_width, (INT_U16)new_height, smooth_scaling_off == 0);
  return true;
}

bool IMAGE::load_strip(FOLDER* folder, const char* name_format, INT_S16 first_index, INT_S16 last_index) {
  if (!name_format) return false;
  // The frames are held until the strip's size is known; memory that runs out ends the strip with
  // the frames read so far.
  PTRLLIST frames;
  INT_S32 last = last_index < 0 ? 32767 : last_index;
  for (INT_S32 index = first_index; index <= last; index++) {
    char name[4096];
    std::snprintf(name, sizeof(name), name_format, (int)index);
    IMAGE* frame = new (std::nothrow) IMAGE();
    if (!frame) break;
    frames.cursor = nullptr;
    if (frame->load(folder, name, -1, -1) && frames.add(frame)) continue;
    delete frame;
    if (last_index < 0) break;
  }
  if (frames.count == 0) {
    set_size(0, 0);
    return false;
  }
  IMAGE* final_frame = static_cast<IMAGE*>(stored_pointer(frames.tail));
  INT_S32 total_width = frames.count * final_frame->width;
  if (total_width > 32767) total_width = 32767;
  set_size((INT_S16)total_width, final_frame->height);
  clear(&COLOUR_INVISIBLE, 1);
  // The last frame stands at the right edge, each earlier one immediately to its left.
  INT_S32 right = width;
  for (LLIST_NODE* node = frames.tail; node; node = node->prev) {
    IMAGE* frame = static_cast<IMAGE*>(stored_pointer(node));
    right -= frame->width;
    blit(frame, 0, 0, (INT_S16)right, 0, frame->width, frame->height, BLIT_COPY);
    delete frame;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Exports

bool export_c_array(IMAGE* image, TEXT_FILE* file, const char* array_name, long byte_count) {
  if (!image || !file || !array_name) return false;
  std::string out;
  char buffer[256];
  std::snprintf(buffer, sizeof(buffer), "static INT_U8 %s[%ld] =\n{\n\t", array_name, byte_count);
  out += buffer;
  INT_U8 head[5] = {1, (INT_U8)((INT_U16)image->width >> 8), (INT_U8)image->width,
                    (INT_U8)((INT_U16)image->height >> 8), (INT_U8)image->height};
  for (int n = 0; n < 5; n++) {
    std::snprintf(buffer, sizeof(buffer), n < 4 ? "0x%02X," : "0x%02X", head[n]);
    out += buffer;
  }
  for (INT_S32 y = 0; y < image->height; y++) {
    out += ",\n\t";
    const INT_U32* pixel = image->pixel_at(0, y);
    for (INT_S32 x = 0; x < image->width; x++, pixel++) {
      if (x > 0) out += ",";
      std::snprintf(buffer, sizeof(buffer), "0x%02X,0x%02X,0x%02X,0x%02X", (unsigned)(*pixel & 0xFF),
                    (unsigned)((*pixel >> 8) & 0xFF), (unsigned)((*pixel >> 16) & 0xFF), (unsigned)(*pixel >> 24));
      out += buffer;
    }
  }
  out += "\n};\n";
  return file->write_text(out.c_str());
}

void export_nine_part_png(IMAGE* source, FOLDER* folder, const char* base_name) {
  if (!source || !source->pixels || !base_name) return;
  INT_S16 hw = (INT_S16)(source->width / 2);
  INT_S16 hh = (INT_S16)(source->height / 2);
  struct PART {
    const char* suffix;
    INT_S16 width, height, x, y;
  };
  const PART parts[9] = {
      {"_top_left.png", hw, hh, 0, 0},
      {"_bottom_left.png", hw, hh, 0, (INT_S16)(hh + 1)},
      {"_top_right.png", hw, hh, (INT_S16)(hw + 1), 0},
      {"_bottom_right.png", hw, hh, (INT_S16)(hw + 1), (INT_S16)(hh + 1)},
      {"_mid_left.png", hw, 1, 0, hh},
      {"_mid_right.png", hw, 1, (INT_S16)(hw + 1), hh},
      {"_top_mid.png", 1, hh, hw, 0},
      {"_bottom_mid.png", 1, hh, hw, (INT_S16)(hh + 1)},
      {"_mid_mid.png", 1, 1, hw, hh},
  };
  for (const PART& part : parts) {
    IMAGE piece(part.width, part.height);
    if (!piece.pixels) continue;
    piece.clear(&COLOUR_INVISIBLE, 1);
    piece.blit(source, part.x, part.y, 0, 0, part.width, part.height, BLIT_COPY);
    std::string name = std::string(base_name) + part.suffix;
    DATA_FILE* file = open_data_file(folder, name.c_str(), FILE_MODE_WRITE, 0, false);
    if (!file) continue;
    save_png(&piece, file);
    close_data_file(&file);
  }
}
