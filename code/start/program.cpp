// The program's run in one fixed order above every subsystem: the statics that the modules would
// otherwise build in an order C++ leaves open, the host and the font system, the application's main,
// the frame loop, and the shut-down in the reverse order.
#include "program.h"

#include <cstdlib>

#include "data_file.h"
#include "debug_stream.h"
#include "file_select.h"
#include "files.h"
#include "folder.h"
#include "font.h"
#include "options.h"
#include "random.h"
#include "screen_image.h"
#include "screen_object.h"

static APPLICATION_ENTRIES application_entries = {nullptr, nullptr, nullptr, nullptr};
static bool statics_built = false;
static INT_S32 program_status = 0;

void set_program_status(INT_S32 status) { program_status = status; }

void start_program(const APPLICATION_ENTRIES* application) {
  application_entries = application ? *application : APPLICATION_ENTRIES{nullptr, nullptr, nullptr, nullptr};
  report_errors_through_host();
  start_debug_streams();
  global_random();
  start_window_manager();
  if (application_entries.statics) application_entries.statics(true);
  statics_built = true;
  start_host();
  start_font_system();
  set_library_started(true);
}

void shut_down_program(bool with_exit) {
  if (exit_hook) exit_hook();
  if (with_exit && application_entries.exit) application_entries.exit();
  close_main_window(-1);
  release_console();
  set_library_started(false);
  stop_font_system();
  if (current_pointer_shape != -1) {
    current_pointer_shape = -1;
    set_mouse_cursor(-1, 0);
  }
  if (app_descriptor.banner_at_exit) show_banner_box("V.E.L.K. Development Libraries", build_library_banner(false));
  set_file_buffer_pool(0);
  process_platform_options(0, nullptr, nullptr, nullptr);
  remove_temporary_folder();
  // What the modules built at the start goes in the reverse order: whatever holds pictures of the
  // image cache before the window manager's statics clear it.
  if (statics_built && application_entries.statics) application_entries.statics(false);
  statics_built = false;
  stop_file_select_icons();
  stop_window_manager();
}

INT_S32 run_program(INT_S32 argc, char** argv, const APPLICATION_ENTRIES* application) {
  // From the start, a request of the system to end the program is only noted: the start-up, the
  // application's main and the frame loop each end the run at their next safe point.
  watch_end_requests();
  start_program(application);
  INT_S32 new_argc = 0;
  char** new_argv = nullptr;
  process_platform_options(argc, argv, &new_argc, &new_argv);
  if (application_entries.main) application_entries.main((INT_S16)new_argc, new_argv);
  std::free(argv);
  if (current_pointer_shape != 0) {
    current_pointer_shape = 0;
    set_mouse_cursor(0, 0);
  }
  run_frame_loop(application_entries.update);
  shut_down_program(true);
  return end_requested() ? 1 : program_status;
}

void end_program(INT_S32 status) {
  shut_down_program(false);
  exit_process(status);
}
