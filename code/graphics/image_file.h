// Image files: PNG (libpng), JPEG (libjpeg), 256-colour PCX readers and writers, and the exports of
// pictures as C source and as the nine PNG parts of a frame. IMAGE::load and IMAGE::load_strip, which
// pick the reader by name, live in the same module.
#pragma once
#include "types.h"

class IMAGE;
class DATA_DEVICE;
class DATA_FILE;
class FOLDER;
class TEXT_FILE;
struct jpeg_common_struct;

// Largest picture a reader of a compressed format accepts, in pixels (both sides must also fit in
// the 16-bit size fields).
const INT_U32 IMAGE_FILE_PIXEL_LIMIT = 0x2000000;

// The PCX palette colour that reads as transparent.
const INT_U8 PCX_TRANSPARENT_RED = 139;
const INT_U8 PCX_TRANSPARENT_GREEN = 154;
const INT_U8 PCX_TRANSPARENT_BLUE = 37;

// Every reader returns false on failure; a picture whose stored size is refused leaves the image as it
// was. Damaged data never ends the program.
bool load_png(IMAGE* image, DATA_FILE* file);
// 8-bit RGBA, not interlaced, with "Author" and "Website" text chunks. False for an empty image.
bool save_png(IMAGE* image, DATA_FILE* file);

// Decodes at (width, height), each -1 (or below 1) = the picture's own size, scaling by nearest
// neighbour while decoding.
bool load_jpeg(IMAGE* image, DATA_FILE* file, INT_S16 width, INT_S16 height);
// The error exit installed in libjpeg's standard error manager by both JPEG operations: it jumps back
// into the running operation, which cleans up and fails.
void jpeg_error_exit(jpeg_common_struct* info);
// Baseline JPEG of quality 0 .. 100 (above: false, nothing written), optionally progressive.
bool save_jpeg(IMAGE* image, DATA_FILE* file, INT_U8 quality, bool progressive);

// 8-bit single-plane PCX with its 256-colour palette at the end.
bool load_pcx(IMAGE* image, DATA_DEVICE* device);
bool save_pcx(IMAGE* image, DATA_DEVICE* device);

// Writes the image as embedded bytes in a C array named array_name of byte_count bytes.
bool export_c_array(IMAGE* image, TEXT_FILE* file, const char* array_name, long byte_count);
// Cuts source into the nine parts of a frame and writes each as "<base_name>_top_left.png" and so on.
void export_nine_part_png(IMAGE* source, FOLDER* folder, const char* base_name);
