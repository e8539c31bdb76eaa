// Attached package copy-out: an installer can carry its package (and a splash screen) after its own
// executable image (the format: attached_data.h). The copy-out shows the splash block, then copies the
// records (plain or zlib streams) into "installer.pkg" in "$temp".
#include "database.h"

#include <cstring>
#include <string>

#include "attached_data.h"
#include "data_file.h"
#include "engine.h"
#include "files.h"
#include "host.h"
#include "page_manager.h"
#include "redraw.h"
#include "progress_bar.h"
#include "screen_image.h"
#include "shell.h"

// The progress bar, drawn and presented at once, then allowed to tick.
static void show_bar(WM_PROGRESS_BAR* bar) {
  WM_SCREEN_OBJECT::draw_now(bar);
  present_frame(-1);
  bar->tick();
}

static void set_message(char* message, const std::string& text) {
  if (!message) return;
  std::strncpy(message, text.c_str(), 255);
  message[255] = 0;
}

// The splash block: read, then shown in the "Please Wait" window (no title) or its own window; a copy
// without windows (splash_window null) only reads it.
static bool read_splash(DATA_FILE* file, INT_S16 bar_place[4], WM_STYLE_SET* bar_style, bool* splash_window) {
  IMAGE splash;
  VELK_STRING title;
  if (!read_attached_splash(file, &splash, bar_place, &title, bar_style)) return false;
  if (!splash_window) return true;
  if (!title.text || !title.text[0]) {
    show_please_wait(&splash);
    return true;
  }
  GRAPHICS_MODE mode = {title.text, splash.width, splash.height, 0, -1, -1, -1, -1, 0};
  if (!OpenGraphics(&mode, 0)) return true;
  set_close_callback(allow_close);
  if (page_manager) {
    invalidate_display(page_manager->get_root());
    IMAGE& layer = page_manager->display_layers[0];
    bool had_size = layer.width > 0 && layer.height > 0;
    layer.set_size(screen_image.width, screen_image.height);
    if (!had_size && layer.pixels) {
      COLOUR black = 0xFF000000;
      layer.clear(&black, 1);
    }
    if (layer.pixels) splash.blit_to(0, 0, &layer, BLIT_COPY);
  }
  screen_image.set_clip(0, 0, (INT_S16)(screen_image.width - 1), (INT_S16)(screen_image.height - 1));
  splash.blit_to(0, 0, &screen_image, BLIT_COPY);
  present_frame(-1);
  *splash_window = true;
  return true;
}

ATTACHED_RESULT copy_attached_package(FOLDER* program_folder, const char* program_name, INT_U32 position,
                                      FOLDER* out_folder, bool* splash_window, char* message) {
  bool splash_opened = false;
  const bool windows = splash_window != nullptr;
  if (splash_window) *splash_window = false;
  const INT_U8 order = attached_data_byte_order();
  DATA_FILE* program = open_data_file(program_folder, program_name, FILE_MODE_READ, order, false);
  if (!program) return ATTACHED_NONE;
  INT_U64 size = program->whole_size();
  INT_U8 splash_flag = 0;
  if (position >= size) {
    close_data_file(&program);
    return ATTACHED_NONE;
  }
  program->seek((INT_S32)position, false);
  program->read(&splash_flag, 1);

  INT_S16 bar_place[4] = {110, 122, 220, 10};
  WM_STYLE_SET* bar_style = nullptr;
  INT_U32 chunk = 0;
  INT_U8 compressed = 0;
  std::string failure;
  if (splash_flag) {
    bar_style = new WM_STYLE_SET();
    if (!read_splash(program, bar_place, bar_style, windows ? &splash_opened : nullptr))
      failure = "its splash block is damaged";
  }
  if (failure.empty()) read_attached_head(program, &chunk, &compressed, &failure);
  INT_U64 first_record = position;
  if (failure.empty()) first_record = program->tell();
  close_data_file(&program);

  if (splash_window) *splash_window = splash_opened;
  WM_PROGRESS_BAR* bar = nullptr;
  DATA_FILE* copy = nullptr;
  char copy_name[32] = "";  // the copy's own name until it is whole; only a copy made here is deleted
  ATTACHED_RECORDS* records = nullptr;
  FOLDER target;
  if (failure.empty()) {
    // The chunk size is the database's file-cache size and the buffer size of the two files of the
    // copy; data files opened later keep the default.
    database->file_cache_sz = chunk;
    if (windows && splash_flag) {
      bar = new WM_PROGRESS_BAR(bar_place[0], bar_place[1], bar_place[2], bar_place[3], nullptr, 100, bar_style);
    } else if (windows) {
      // The plain look: a blue bar with white text on dark grey.
      const COLOUR background = 0xFF202020, text = 0xFFFFFFFF, fill = 0xFF0000FF;
      bar = new WM_PROGRESS_BAR();
      bar->init(110, 122, 220, 10, nullptr, 100, &background, &text, &fill, 0, -1, -1, -1, -1, -1, -1, -1);
    }
    if (bar) {
      bar->bar_border_type = 4;
      bar->colour = 0xFF0000FF;
      if (bar->maximum >= 0) bar->value = 0;
      show_bar(bar);
    }

    if (out_folder)
      target = *out_folder;
    else if (!target.set("$temp")) {
      char cause[2 * FOLDER_PATH_SIZE + 600];
      describe_private_folder_failure(cause, sizeof cause);
      failure = std::string("the temporary folder cannot be made") + (cause[0] ? ": " : "") + cause;
    }
    if (failure.empty()) {
      // The copy is written to a new file of its own name and takes the name "installer.pkg" only when
      // whole: whatever had that name is replaced, never written through. A second request to end the
      // program, which ends it at once, takes the copy with it: requests wait while it is made and noted.
      hold_end_requests();
      copy = create_unique_data_file(&target, copy_name, sizeof copy_name, ".tmp", BYTE_ORDER_HEADER);
      if (copy) remove_at_immediate_end(&target, copy_name);
      release_end_requests();
      if (copy) copy->set_buffer_size((INT_S32)chunk);
      else failure = std::string("\"") + target.path + "/" + PACKAGE_FILE_NAME + "\" cannot be created";
    }
    if (failure.empty()) {
      program = open_data_file(program_folder, program_name, FILE_MODE_READ, order, false);
      if (!program) failure = "the program's file cannot be read again";
      else program->set_buffer_size((INT_S32)chunk);
    }
    if (failure.empty()) {
      records = new ATTACHED_RECORDS(program, first_record, size, chunk, compressed != 0);
      if (!records->allocate()) failure = "there is not enough memory for its records";
    }
  }

  // The records, one after the other up to the end of the file; a request to end the program stops the
  // copy before the next one.
  bool interrupted = false;
  if (failure.empty()) program->seek((INT_S32)first_record, false);
  while (failure.empty() && !records->at_end()) {
    if (end_requested()) {
      interrupted = true;
      failure = "the program was asked to end";
      break;
    }
    if (!records->copy_next(copy, &failure)) break;
    INT_U64 span = records->span();
    INT_S32 value = span ? (INT_S32)((records->total * 100 + span / 2) / span) : 100;
    if (!bar) continue;
    if (value >= 0 && value <= bar->maximum) bar->value = value;
    show_bar(bar);
  }

  if (copy && !close_data_file(&copy) && failure.empty()) failure = "the copy cannot be written";
  // The copy takes its name, or goes, and its note follows it, with requests held back.
  hold_end_requests();
  if (failure.empty() && !replace_file(&target, copy_name, PACKAGE_FILE_NAME))
    failure = std::string("\"") + target.path + "/" + PACKAGE_FILE_NAME + "\" cannot be created";
  if (failure.empty()) remove_at_immediate_end(&target, PACKAGE_FILE_NAME);
  else if (copy_name[0]) delete_file(&target, copy_name);  // never leave a damaged copy behind
  if (copy_name[0]) keep_at_immediate_end(&target, copy_name);
  release_end_requests();
  // A request to end the program that came while the copy took its name is taken now: the copy goes
  // again, as one stopped before.
  if (failure.empty() && end_requested()) {
    delete_file(&target, PACKAGE_FILE_NAME);
    keep_at_immediate_end(&target, PACKAGE_FILE_NAME);
    interrupted = true;
    failure = "the program was asked to end";
  }
  if (failure.empty()) {
    database->data_folder = target;
    database->attached_package = 1;
  }
  delete records;
  delete bar;
  if (program) close_data_file(&program);
  delete bar_style;
  if (failure.empty()) return ATTACHED_COPIED;
  if (interrupted) return ATTACHED_INTERRUPTED;
  set_message(message, "The installation data attached to the program cannot be used: " + failure + ".");
  return ATTACHED_FAILED;
}

ATTACHED_RESULT run_attached_package_step(bool* splash_window, char* message) {
  if (splash_window) *splash_window = false;
  FOLDER folder;
  static char name[FOLDER_PATH_SIZE];
  get_program_location(&folder, name);
  ATTACHED_DATA attached;
  if (!locate_attached_data(&folder, name, &attached) || !attached.package_attached) return ATTACHED_NONE;
  return copy_attached_package(&folder, name, attached.package_position, nullptr, splash_window, message);
}
