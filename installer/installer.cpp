// The installer's entry: reads the command line, carries out the one-shot jobs (help, skin file, patch
// description, automatic mode) with their exit statuses, copies an attached package out, loads the
// package, opens the main window, and drives the page manager once per frame until the last page closes.
#include "database.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "border.h"
#include "colour.h"
#include "data_file.h"
#include "debug_stream.h"
#include "engine.h"
#include "errors.h"
#include "file_select.h"
#include "files.h"
#include "folder.h"
#include "font.h"
#include "host.h"
#include "image.h"
#include "options.h"
#include "package.h"
#include "page_manager.h"
#include "program.h"
#include "random.h"
#include "screen_image.h"
#include "shell.h"
#include "style_set.h"
#include "text_draw.h"
#include "wizard.h"


// The mark by which the packer knows the installer program (attached_data.h); defined here, in the
// installer's entry, so that no other program carries it.
extern const char INSTALLER_MARK[];
const char INSTALLER_MARK[] = "velk installer program: copies out the package attached to it";

// The application's descriptor is filled during static construction, before the host reads it.
static bool fill_app_descriptor() {
  app_descriptor.title = "Installer " INSTALLER_VERSION;
  app_descriptor.banner_at_exit = 0;
  app_descriptor.icon_resource = 100;
  return true;
}
static const bool app_descriptor_filled = fill_app_descriptor();

// The application's page manager: one display area, the default key buffer.
static WM_PAGE_MANAGER* application_page_manager = nullptr;

static void end_with_session();

// The application's statics, built and destroyed in the program's start-up order: the database, then
// the page manager (whose constructor installs the exit hook); destroyed in the reverse order.
void application_statics(bool start) {
  (void)app_descriptor_filled;
  if (start) {
    start_database();
    if (!application_page_manager) application_page_manager = new WM_PAGE_MANAGER(1, -1);
    session_end_hook = end_with_session;
    return;
  }
  session_end_hook = nullptr;
  delete application_page_manager;
  application_page_manager = nullptr;
  stop_database();
}

// A start that fails, and a one-shot job's end, go without leaving the copy of attached data behind:
// the package is closed and the copy deleted.
static void discard_attached_copy() {
  delete database->package;
  database->package = nullptr;
  if (!database->attached_package) return;
  delete_file(&database->data_folder, PACKAGE_FILE_NAME);
  keep_at_immediate_end(&database->data_folder, PACKAGE_FILE_NAME);
  database->attached_package = 0;
}

// The session ends (log-off, shut-down) and the process with it: a running installation ends where it
// stands, its log saying so, and the copy of attached data goes, as at the program's own end.
static void end_with_session() {
  database->end_installation();
  discard_attached_copy();
}

// The end of a one-shot job: the package is closed (and a copy of attached data deleted), and the
// program shuts down and ends with the job's status.
[[noreturn]] static void end_one_shot(INT_S32 status) {
  discard_attached_copy();
  end_program(status);
}

// "-x" named the package's folder: automatic mode installs that package rather than one attached to the
// program.
static bool configuration_named = false;
// "-v": the folders of the path variables are printed, and once the package is loaded, where its
// locations under the system folders' variables lie.
static bool verbose = false;

// Where an install location under each system folder's variable lies for the loaded package: the system
// folder with the application's sub-folder, made as the installation needs it, whatever the installer's
// own file is called (the trace of "-v" names the folders the variables resolve to as they are now,
// which is where the installer's own files are looked for).
static void print_location_folders() {
  const char* application = database->APPLICATION.app_string;
  console_print(("Install locations of the application \"" + printable_text(application) + "\":\n").c_str());
  for (const char* variable : {"$SYSAPP", "$INSTDATA", "$APPDATA", "$USERDATA", "$USERPREFS"}) {
    // A system folder that is missing stays unchanged, and so empty here.
    FOLDER system;
    system.path[0] = 0;
    bool exists = get_system_folder(&system, system_folder_kind_of(variable), application, 0) || system.path[0];
    std::string path = location_path_text(variable, application);
    console_print(format_text("%s => %s\n", variable,
                              exists ? printable_text(path.c_str()).c_str()
                                     : "(its system folder does not exist yet: an installation there makes it)")
                      .c_str());
  }
}

// The usage, each option with one more line of what it does.
static void print_usage(const char* program) {
  console_print(format_text("Usage:\n\t%s [-h] [-a] [-v] [-s filename] [-x filename] [-p filter] [-d filename1=filename2]\n\n",
                            program ? program : "installer")
                    .c_str());
  console_print("\t-h\t- Show help\n"
                "\t\t  prints this text\n");
  console_print("\t-a\t- Automatic mode (non interactive)\n"
                "\t\t  installs the package's first installation into its default folder, without pages\n");
  console_print("\t-v\t- Be verbose\n"
                "\t\t  prints the folders that the path variables ($APPDATA, $TEMP, ...) name, and the package's install locations\n");
  console_print("\t-s\t- Generate skin\n"
                "\t\t  writes the skin folder \"$APPDATA/qon\" as one skin file of that name\n");
  console_print("\t-x\t- XML File\n"
                "\t\t  reads \"installer.pkg\" from the folder of that file, e.g. \"$ROOT0/home/me/package/installer.xml\"\n");
  console_print("\t-p\t- Platform filter\n"
                "\t\t  keeps a platform name (win32, linux_i86, ...); files for any platform and win32 install all the same\n");
  console_print("\t-d\t- Diff files (used for patching)\n"
                "\t\t  compares two packages, old=new, and writes \"patch.xml\" beside the old one\n\n");
}

// What "-x" takes, said after a problem with it.
static const char* const CONFIGURATION_EXPECTED =
    "\"-x\" takes a file name in the folder that holds \"installer.pkg\" (the name itself need not exist)\n";
// The argument of "-x", for the messages of a package not found.
static std::string configuration_argument;

// "-x": the data folder (which must exist) and the configuration file name. Where a backslash
// separates folders (Windows) it is taken as '/'; elsewhere it is part of a name, which the package's
// folder never means: refused with the form to give. A computer's own path is refused either way.
static void take_configuration(const char* argument) {
  std::string text = argument;
  if (text.find('\\') != std::string::npos && !is_host_path(text)) {
    std::string slashed = text;
    for (char& c : slashed)
      if (c == '\\') c = '/';
    if (PATH_SEPARATOR != '\\') {
      console_print(format_text("ERROR: \"%s\" separates folders with '\\', which this computer does not: give "
                                "them with '/', as \"%s\"\n",
                                printable_text(argument).c_str(), printable_text(slashed.c_str()).c_str())
                        .c_str());
      console_print(CONFIGURATION_EXPECTED);
      end_one_shot(EXIT_JOB_NOT_STARTED);
    }
    text = slashed;
  }
  FOLDER folder(database->data_folder);
  char name[256];
  std::string problem;
  if (!set_folder_and_name(text.c_str(), &folder, name, nullptr))
    problem = file_argument_problem(text.c_str(), &folder, "installer.xml");
  else if (!folder.get_path_text(PACKAGE_FILE_NAME))  // the package's path in it must fit too
    problem = folder_too_long(folder.path, printable_text(text.c_str()));
  if (!problem.empty()) {
    console_print(format_text("ERROR: %s\n", problem.c_str()).c_str());
    console_print(CONFIGURATION_EXPECTED);
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  database->data_folder = folder;
  database->xml_name.assign(name);
  configuration_argument = text;
  configuration_named = true;
}

// The skin folder that "-s" turns into a skin file.
static const char* const SKIN_FOLDER_TEXT = "$APPDATA/qon";

// "-s": the skin folder is written as a skin file into an existing folder. A file that cannot be
// created or written is reported, and what was written of it removed.
static void generate_skin(const char* argument) {
  FOLDER folder;
  char name[256];
  if (!set_folder_and_name(argument, &folder, name, nullptr)) {
    console_print(format_text("ERROR: %s\n", file_argument_problem(argument, &folder).c_str()).c_str());
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  database->load_skin(SKIN_FOLDER_TEXT);
  DATA_FILE* file = open_data_file(&folder, name, FILE_MODE_WRITE, BYTE_ORDER_HEADER, false);
  if (!file) {
    console_print(format_text("ERROR: the skin file \"%s\" cannot be created\n", argument).c_str());
    end_one_shot(EXIT_JOB_FAILED);
  }
  bool written = database->write_skin(file);
  if (!close_data_file(&file)) written = false;
  if (!written) {
    // Only a plain file is removed: a device or a link named as the output stays.
    if (is_regular_file(&folder, name)) delete_file(&folder, name);
    console_print(format_text("ERROR: the skin file \"%s\" cannot be written\n", argument).c_str());
    end_one_shot(EXIT_JOB_FAILED);
  }
  end_one_shot(EXIT_JOB_DONE);
}

// The program's own file as a path-variable text, where an attached skin is looked for.
static void name_program_file() {
  FOLDER folder;
  char name[FOLDER_PATH_SIZE];
  get_program_location(&folder, name);
  char text[FOLDER_PATH_SIZE];
  folder.get_portable_text(text, nullptr);
  std::string path = std::string(text) + "/" + name;
  if (path.size() < sizeof database->program_file_text) std::strcpy(database->program_file_text, path.c_str());
}

// A request to end the program that came before the installation began: the run ends as an installation
// ended so does, with its line and status 1 (the copy of attached data goes with end_one_shot).
[[noreturn]] static void end_automatic_mode_early() {
  console_print("ERROR: the installation was interrupted\n");
  end_one_shot(EXIT_JOB_FAILED);
}

// A private temporary folder that cannot be removed (an ended run's, or this run's own at its end)
// stays, and the console names it.
static void report_kept_folder(const char* path_text, const char* cause) {
  console_print(("Not removed \"" + printable_text(path_text) + "\" (a temporary folder of the installer): " +
                 printable_text(cause) + "\n")
                    .c_str());
  console_flush();  // at the program's very end too
}

// A name of "-x" that is a folder was meant as the package's folder: the name to give in it, or empty.
static std::string configuration_folder_hint() {
  FOLDER named(database->data_folder);
  if (!configuration_named || !named.enter(database->xml_name.text, false)) return std::string();
  std::string folder = printable_text(configuration_argument.c_str());
  return "\"" + folder + "\" is a folder: for the package in it, give \"" + folder + "/installer.xml\"";
}

// Automatic mode installs the package that the program carries (copied out without any window), or,
// when none is attached or "-x" names a folder, "installer.pkg" of the data folder.
static void run_automatic_mode() {
  console_print("Loading automatic pack...\n");
  set_folder_kept_report(report_kept_folder);
  watch_session_end();
  if (!configuration_named) {
    char message[256] = "";
    ATTACHED_RESULT copied = run_attached_package_step(nullptr, message);
    if (copied == ATTACHED_INTERRUPTED) end_automatic_mode_early();
    if (copied == ATTACHED_FAILED) {
      console_print(format_text("ERROR: %s\n", message).c_str());
      end_one_shot(EXIT_JOB_NOT_STARTED);
    }
  }
  bool loaded = database->load_package(PACKAGE_FILE_NAME);
  // A request to end the program cuts the loading short too.
  if (end_requested()) end_automatic_mode_early();
  if (!loaded) {
    // Where the package was looked for, and why it did not load.
    console_print("ERROR: unable to load data\n");
    const char* path = database->data_folder.get_path_text(PACKAGE_FILE_NAME);
    console_print(format_text("%s%s%s\n", path ? printable_text(path).c_str() : "", path ? ": " : "",
                              printable_text(database->load_failure.c_str()).c_str())
                      .c_str());
    std::string folder_named = configuration_folder_hint();
    if (!folder_named.empty()) console_print((folder_named + "\n" + CONFIGURATION_EXPECTED).c_str());
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  // The package that was opened, as this computer names it: the one attached to the program's file, or
  // the data folder's.
  if (database->attached_package) {
    FOLDER folder;
    char name[FOLDER_PATH_SIZE];
    get_program_location(&folder, name);
    const char* program = folder.get_path_text(name);
    console_print(("Package: the one attached to \"" + printable_text(program ? program : name) + "\"\n").c_str());
  } else {
    const char* path = database->data_folder.get_path_text(PACKAGE_FILE_NAME);
    console_print(("Package: \"" + printable_text(path ? path : PACKAGE_FILE_NAME) + "\"\n").c_str());
  }
  if (verbose) print_location_folders();
  std::string missing_drive = missing_drive_refusal(*database);
  if (!missing_drive.empty()) {
    console_print(("ERROR: " + missing_drive + "\n").c_str());
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  console_print("Packing data...\n");
  database->stage = STAGE_PACK_DATA;
  INT_S32 status = run_automatic_install(database);
  if (status == EXIT_JOB_DONE) console_print("Done\n");
  end_one_shot(status);
}

void application_main(INT_S16 argc, char** argv) {
  default_file_cache_size = 1048576;
  database->attached_package = 0;

  // Automatic mode waits on no window, also for an error of an option read before its "-a": an argument
  // "-a" before the one that ends the options is always that option (no option takes an argument that
  // begins with '-').
  for (INT_S16 i = 1; i < argc && argv[i] && std::strncmp(argv[i], "--", 2) != 0; i++)
    if (std::strcmp(argv[i], "-a") == 0) keep_boxes_off_display();
  bool help = false, automatic = false;
  for (;;) {
    INT_S32 option = get_option(argc, argv, "havs:x:p:d:");
    if (option == -1) break;
    switch (option) {
      case 'a':
        automatic = true;
        break;
      case 'v': {
        verbose = true;
        DEBUG_STREAM* trace = find_debug_stream("Default Path Trace");
        if (trace) trace->flags |= DEBUG_WRITE_TO_CONSOLE;
        trace_default_paths();
        break;
      }
      case 's':
        generate_skin(option_argument);
        break;
      case 'x':
        take_configuration(option_argument);
        break;
      case 'p':
        database->platform_filter = platform_from_name(option_argument);
        break;
      case 'd':
        end_one_shot(create_patch_description(option_argument));
      default:
        help = true;
        break;
    }
    if (help) break;
  }
  if (help) {
    print_usage(argc > 0 ? argv[0] : nullptr);
    end_one_shot(EXIT_JOB_DONE);
  }
  if (automatic) run_automatic_mode();

  // Interactive start. The wizard needs a display: without one the person is told at once, and how to
  // install without it. A damaged built-in font ends the start before any window shows.
  if (const char* problem = display_problem()) {
    show_message_box("No display",
                     format_text("The installer's wizard needs a display: %s. \"-a\" installs without one.", problem)
                         .c_str());
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  check_preloaded_fonts();
  name_program_file();
  bool splash_window = false;
  char message[256] = "";
  ATTACHED_RESULT copied = run_attached_package_step(&splash_window, message);
  if (copied == ATTACHED_INTERRUPTED) end_one_shot(EXIT_JOB_FAILED);
  if (copied == ATTACHED_FAILED) {
    close_main_window(0);
    show_message_box(PACKAGE_DAMAGED_CAPTION, message);
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  IMAGE start_image;
  make_start_image(&start_image);
  if (!splash_window) show_please_wait(&start_image);

  bool loaded = database->load_package(PACKAGE_FILE_NAME);
  // Asked to end while it started (which may cut the loading short): no wizard opens.
  if (end_requested()) end_one_shot(EXIT_JOB_FAILED);
  if (!loaded) {
    // One message, which says where the package was looked for and why it did not load; the run ends
    // with the status of a fatal error, or, for a package refused as damaged, of a start that could not
    // begin. A copy of attached data goes before the message waits.
    discard_attached_copy();
    close_main_window(0);
    if (database->load_refused) {
      show_message_box(PACKAGE_DAMAGED_CAPTION, package_damaged_text(*database).c_str());
      end_one_shot(EXIT_JOB_NOT_STARTED);
    }
    std::string text = package_not_found_text(*database);
    std::string folder_named = configuration_folder_hint();
    if (!folder_named.empty()) text += "\n" + folder_named + ".";
    show_message_box(PACKAGE_NOT_FOUND_CAPTION, (text + "\n" + PACKAGE_NOT_FOUND_ADVICE).c_str());
    end_one_shot(FATAL_EXIT_STATUS);
  }
  if (verbose) print_location_folders();
  std::string missing_drive = missing_drive_refusal(*database);
  if (!missing_drive.empty()) {
    discard_attached_copy();
    close_main_window(0);
    show_message_box(MISSING_DRIVE_CAPTION, package_refusal_text(*database, missing_drive).c_str());
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }

  // A window that cannot be had (the screen is smaller than the installer needs) ends the run as one
  // that could not start, rather than a loop with nothing to show.
  if (!open_installer_window(splash_window)) {
    close_main_window(0);
    tell_screen_too_small(application_page_manager);
    end_one_shot(EXIT_JOB_NOT_STARTED);
  }
  begin_wizard(application_page_manager);
  border_light_colour = COLOUR_INVISIBLE;
  border_dark_colour = COLOUR_INVISIBLE;
}

// Some area shows a page or has one pending; without any the run ends.
static bool shows_a_page(WM_PAGE_MANAGER* manager) {
  for (INT_S16 i = 0; i < manager->area_count; i++) {
    const WM_AREA& area = manager->areas[i];
    if (area.pages[area.current].build || area.pending.build) return true;
  }
  return false;
}

INT_U8 application_update() {
  WM_RESULT result = application_page_manager && shows_a_page(application_page_manager)
                         ? application_page_manager->update(false)
                         : WM_RESULT_LAST_PAGE_CLOSED;
  if (database->show_frame_rate && draw_target) {
    COLOUR white = 0xFFFFFFFF;
    INT_S16 y = (INT_S16)(get_screen_height(0) - screen_image.default_font_y_size - 10);
    draw_text(draw_target, 0, y, &white, nullptr, nullptr, draw_target->default_font_id,
              draw_target->default_font_x_size, draw_target->default_font_y_size, frame_rate_text(nullptr), 0, -1,
              false);
  }
  if (about_request_flag) {
    about_request_flag = 0;
    open_about_box(false);
  }
  present_frame(-1);
  return result == WM_RESULT_LAST_PAGE_CLOSED ? 0 : 1;
}

void application_exit() {
  // Leaving while installing interrupts the installation; a run whose installation failed ends with 1.
  set_program_status(end_wizard());
  bool attached = database->attached_package != 0;
  FOLDER data_folder(database->data_folder);
  close_main_window(0);
  IMAGE closing_image;
  make_closing_image(&closing_image);
  show_please_wait(&closing_image);
  database->clear();
  delete database->package;
  database->package = nullptr;
  if (attached) delete_file(&data_folder, PACKAGE_FILE_NAME);
  close_main_window(0);
}
