// Automatic mode: the current installation goes into its default destination with the default options
// through the same install step as the wizard, one file per pass, with a console line per step and
// every failure on the console (progress lines go out gathered, failures at once). A request of the
// system to end the program stops it before its next file, with status 1; a session's end (Windows
// log-off, shut-down) ends it between two files.
#include "database.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine.h"
#include "folder.h"
#include "host.h"
#include "install_step.h"

// Reports the install step's progress and failures on the console.
class CONSOLE_INSTALL_OBSERVER : public INSTALL_OBSERVER {
public:
  // Texts from the installation data never drive the terminal: control characters are shown as '?'.
  // The line is made in a string kept from step to step.
  void show_progress(INSTALL_DIALOG*, const char* text, INT_S32 value) override {
    progress_line = std::to_string(value);
    progress_line += "% ";
    append_printable_text(&progress_line, text);
    progress_line += '\n';
    console_print(progress_line.c_str());
  }
  void show_install_complete(INSTALL_DIALOG*) override {}
  void copy_error(DATABASE* database, const char* path_text, const char* packed_name, const char* cause) override {
    std::string line;
    if (path_text) {
      // As its log line says it.
      line = "ERROR: \"" + printable_text(path_text) + "\" failed to unpack (" + printable_text(packed_name) +
             "): " + printable_text(cause) + "\n";
    } else {
      // The log: "The install log "<path>" cannot be created (<cause>)." as a line of its own.
      std::string said = database->install_state.failure_text;
      if (!said.empty() && said.back() == '.') said.pop_back();
      if (!said.empty()) said[0] = 't';
      line = "ERROR: " + printable_text(said.c_str()) + "\n";
    }
    console_print(line.c_str());
    console_flush();
  }
  void file_refused(DATABASE*, const char* path_text, const char* packed_name, const char* cause) override {
    console_print(("ERROR: \"" + printable_text(path_text) + "\" not installed: " + printable_text(cause) + " (" +
                   printable_text(packed_name) + ")\n")
                      .c_str());
    console_flush();
  }
  void not_made(DATABASE*, const char* text) override {
    console_print((std::string("ERROR: ") + text + "\n").c_str());
    console_flush();
  }
  void installation_stopped(DATABASE*, const char* message) override {
    console_print(printable_line(message).c_str());
    console_flush();
  }
  void log_not_written(const char* path_text, const char* cause) override {
    console_print(("ERROR: the install log \"" + printable_text(path_text) + "\" could not be written" +
                   (cause[0] ? " (" + printable_text(cause) + ")" : std::string()) + "\n")
                      .c_str());
    console_flush();
  }
  void installation_interrupted(DATABASE*) override {
    console_print("ERROR: the installation was interrupted\n");
    console_flush();
  }
  void temporary_removed(const char* path_text, const char* left_by) override {
    console_print(("Removed \"" + printable_text(path_text) + "\" (" + left_by + ")\n").c_str());
  }
  void earlier_log_kept(const char* line) override { console_print((std::string(line) + "\n").c_str()); }
  void temporary_kept(const char* path_text, const char* cause, const char* left_by) override {
    console_print(("Not removed \"" + printable_text(path_text) + "\" (" + left_by + "): " + printable_text(cause) +
                   "\n")
                      .c_str());
  }

private:
  std::string progress_line;
};

static const INT_U32 MESSAGE_PERIOD_MS = 50;

INT_S32 run_automatic_install(DATABASE* database) {
  INSTALLATION* installation = database->get_current_installation();
  if (!installation) {
    console_print("ERROR: the package holds no installation\n");
    return EXIT_JOB_FAILED;
  }
  std::strncpy(database->install_path, installation->default_path, sizeof database->install_path - 1);
  database->install_path[sizeof database->install_path - 1] = 0;
  database->use_system_paths = 1;
  database->desktop_shortcut = 1;
  database->menu_shortcut = 1;
  // An update goes only over the earlier installation that it updates, as the wizard's Install, and
  // with the choice of system folders that installation was made with: without it nothing is
  // installed, and the location and what was found there are named.
  database->take_earlier_choice();
  EARLIER_LOG earlier;
  if (!database->update_target_found(&earlier)) {
    std::string location = location_path_text(database->install_path, database->APPLICATION.app_string);
    console_print(("ERROR: " + update_refusal(location, earlier) + "\n").c_str());
    return EXIT_JOB_FAILED;
  }
  // Another product's or installation's log where the log goes is kept: what is installed there is named.
  if (!database->PATCH.do_check && database->earlier_log_of_another(&earlier)) {
    std::string said = earlier.mismatch + ". " + EARLIER_LOG_KEPT;
    said[0] = (char)(said[0] - 'a' + 'A');
    console_print((said + "\n").c_str());
  }

  // Ctrl+C, a service manager's stop or a session's end stop the installation before its next file.
  watch_end_requests();
  watch_session_end();
  CONSOLE_INSTALL_OBSERVER console;
  INSTALL_OBSERVER* previous = get_install_observer();
  set_install_observer(&console);
  database->stage = STAGE_INSTALLING;
  database->install_step(nullptr);  // the preparation
  // Then one file per pass, the shortcuts and the completion; each pass moves the counter on by one.
  // Between passes the system's messages are taken (on Windows a session's end comes as one), at most
  // every MESSAGE_PERIOD_MS: each look is a call into the system, under Wine a round trip to its
  // server, which a pass of one small file would feel.
  const INSTALL_STATE& state = database->install_state;
  INT_S32 last = state.step_counter;
  INT_U32 messages_taken = get_tick_count();
  while (!state.stopped && !state.interrupted) {
    if (state.running && get_tick_count() - messages_taken >= MESSAGE_PERIOD_MS) {
      pump_messages();
      messages_taken = get_tick_count();
    }
    database->install_step(nullptr);
    INT_S32 now = state.step_counter;
    if (now == last) break;
    last = now;
  }
  bool failed = state.stopped || state.interrupted || state.error_count > 0 || state.unmade_count > 0 || state.log_failed;
  database->stage = database->next_stage();
  database->install_step(nullptr);  // leaving the installing stage resets the step counter
  set_install_observer(previous);
  return failed ? EXIT_JOB_FAILED : EXIT_JOB_DONE;
}
