// An earlier installation's install log as an update reads it: the head of the log up to its
// "Settings: " line and the application and installation it names, read within a bound, and compared
// with the current choices.
#include "install_step.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "files.h"
#include "text_file.h"

// The next line of an earlier log into line: 1 when read, 0 at the end of the file, -1 when it does not
// fit in EARLIER_LOG_LINE_LIMIT bytes (zeros, which the text cannot hold, included), after which
// nothing more of it is read.
static int read_bounded_line(TEXT_FILE* file, std::string* buffer, std::string* line) {
  buffer->assign((size_t)EARLIER_LOG_LINE_LIMIT + 2, '\0');
  file->line_size = (INT_S16)buffer->size();
  if (!file->read_line(&(*buffer)[0])) return 0;
  if (!file->line_whole) return -1;
  line->assign(buffer->c_str());
  return 1;
}

bool DATABASE::read_install_log(EARLIER_LOG* found) {
  EARLIER_LOG local;
  EARLIER_LOG& earlier = found ? *found : local;
  earlier = EARLIER_LOG();
  // The choice as the install step takes it, which its log records.
  bool system_paths = system_paths_used();
  bool system_choice = PATCH.system_dest_path_from_inst_loc[0] && system_paths;
  const char* text = system_choice ? PATCH.system_dest_path_from_inst_loc : PATCH.dest_path_from_inst_loc;
  FOLDER base;
  if (!set_location_folder(&base, install_path, APPLICATION.app_string, false)) {
    // No destination: the log is named where it would be.
    earlier.path = location_path_text(install_path, APPLICATION.app_string);
    if (std::strncmp(text, "$HERE/", 6) == 0)
      for (const char* at = text + 5; *at; at++) earlier.path += *at == '/' ? (char)PATH_SEPARATOR : *at;
    if (earlier.path.empty() || earlier.path.back() != PATH_SEPARATOR) earlier.path += PATH_SEPARATOR;
    earlier.path += INSTALL_LOG_NAME;
    earlier.verdict = EARLIER_LOG_NOT_FOUND;
    earlier.mismatch = "its install log \"" + printable_text(earlier.path.c_str()) + "\" was not found";
    return false;
  }
  set_base_path(&base, APPLICATION.app_string);
  FOLDER folder(base);
  if (!text[0] || !set_known_folder(&folder, text, false, &base)) folder = base;
  reset_base_path();

  earlier.path = full_path(folder, INSTALL_LOG_NAME);
  const std::string its_log = "its install log \"" + printable_text(earlier.path.c_str()) + "\" ";
  // Only a plain file is opened (a pipe is never waited on); anything else is named as what it is.
  forget_file_failure();
  TEXT_FILE* file = open_text_file(&folder, INSTALL_LOG_NAME, TEXT_FILE_READ, false);
  if (!file) {
    char reason[256];
    describe_file_failure(reason, sizeof reason);
    FILE_KIND kind = get_file_kind(&folder, INSTALL_LOG_NAME);
    earlier.verdict = kind == FILE_KIND_NONE ? EARLIER_LOG_NOT_FOUND : EARLIER_LOG_NOT_READ;
    switch (kind) {
      case FILE_KIND_NONE: earlier.mismatch = its_log + "was not found"; break;
      case FILE_KIND_FOLDER: earlier.mismatch = its_log + "is a folder"; break;
      case FILE_KIND_PIPE: earlier.mismatch = its_log + "is a pipe"; break;
      case FILE_KIND_DEVICE: earlier.mismatch = its_log + "is a device"; break;
      case FILE_KIND_OTHER: earlier.mismatch = its_log + "is not a file"; break;
      default:
        earlier.mismatch = its_log + "cannot be read";
        if (reason[0]) earlier.mismatch += std::string(" (") + reason + ")";
        break;
    }
    return false;
  }
  // The head of the log: its settings, then the application and installation it names (none in a log
  // of an earlier version, whose next lines are the wizard's warning and the files).
  std::string buffer, line, settings;
  file->read_limit = EARLIER_LOG_HEAD_BYTES;
  int got = 0;
  bool has_settings = false;
  for (int i = 0; i < EARLIER_LOG_HEAD_LINES && !has_settings; i++) {
    if ((got = read_bounded_line(file, &buffer, &line)) <= 0) break;
    if (line.compare(0, 10, "Settings: ") != 0) continue;
    settings = line.substr(10);
    has_settings = true;
  }
  // The two lines after the settings name the application and the installation: both (this
  // installer's log), or neither (an earlier version's, whose next lines are the wizard's warning and
  // the files). A log with one of them is another installation's or damaged.
  std::string application, installation_name;
  bool has_application = false, has_installation = false;
  for (int i = 0; has_settings && i < 2; i++) {
    if ((got = read_bounded_line(file, &buffer, &line)) <= 0) break;
    if (!has_application && line.compare(0, 13, "Application: ") == 0) {
      application = line.substr(13);
      has_application = true;
    } else if (!has_installation && line.compare(0, 14, "Installation: ") == 0) {
      installation_name = line.substr(14);
      has_installation = true;
    }
  }
  earlier.identified = has_application && has_installation;
  bool too_long = file->limit_reached != 0;
  close_text_file(&file);
  if (got < 0 || too_long || !has_settings) earlier.verdict = EARLIER_LOG_DAMAGED;
  if (too_long) {
    // A run of line ends, which no line bounds, or lines at their bound beyond what any head takes.
    earlier.mismatch = its_log + format_text("is damaged: its first lines take more than %d bytes",
                                             (int)EARLIER_LOG_HEAD_BYTES);
    return false;
  }
  if (got < 0) {
    earlier.mismatch = its_log + format_text("is damaged: a line of more than %d bytes", (int)EARLIER_LOG_LINE_LIMIT);
    return false;
  }
  if (!has_settings) {
    earlier.mismatch = its_log + format_text("is damaged: no \"Settings: \" line among its first %d lines",
                                             (int)EARLIER_LOG_HEAD_LINES);
    return false;
  }
  earlier.settings = settings;
  if (earlier.identified) {
    earlier.application = application;
    earlier.installation = installation_name;
  }

  // "%d %hd" and the rest of the line after the blanks.
  const char* cursor = settings.c_str();
  char* end = nullptr;
  std::strtol(cursor, &end, 10);
  bool numbers = end != cursor;
  long choice = 0;
  if (numbers) {
    cursor = end;
    choice = std::strtol(cursor, &end, 10);
    numbers = end != cursor;
  }
  if (!numbers) {
    earlier.verdict = EARLIER_LOG_DAMAGED;
    earlier.mismatch = its_log + "is damaged: its settings are not the installer's (Settings: " +
                       printable_text(settings.c_str()) + ")";
    return false;
  }
  cursor = end;
  while (*cursor == ' ' || *cursor == '\t') cursor++;
  std::string logged_path = cursor;
  INT_S16 logged_choice = (INT_S16)choice;

  const std::string the_log = "the install log \"" + printable_text(earlier.path.c_str()) + "\" ";
  // Another product or installation type at the location is never updated, nor is one that the log
  // names only half of (or names with an empty name where this one has a name).
  INSTALLATION* installation = get_current_installation();
  std::string own_application = printable_text(APPLICATION.app_string);
  std::string own_installation = printable_text(installation ? installation->name : "");
  const std::string this_update = " (this update is for \"" + own_installation + "\" of \"" + own_application + "\")";
  bool empty_name = (has_application && application.empty() && !own_application.empty()) ||
                    (has_installation && installation_name.empty() && !own_installation.empty());
  if (has_application != has_installation || empty_name) {
    auto named = [](bool has, const std::string& name, const char* what) {
      if (!has) return std::string("no ") + what;
      if (name.empty()) return std::string("an empty ") + what + " name";
      return std::string("the ") + what + " \"" + printable_text(name.c_str()) + "\"";
    };
    earlier.verdict = EARLIER_LOG_OTHER_INSTALLATION;
    earlier.mismatch = the_log + "is another installation's or damaged: it names " +
                       named(has_application, application, "application") + " and " +
                       named(has_installation, installation_name, "installation") + this_update;
    return false;
  }
  if (earlier.identified && (application != own_application || installation_name != own_installation)) {
    earlier.verdict = EARLIER_LOG_OTHER_INSTALLATION;
    earlier.mismatch = the_log + "is of another installation: \"" + printable_text(installation_name.c_str()) +
                       "\" of the application \"" + printable_text(application.c_str()) + "\"" + this_update;
    return false;
  }
  const std::string logged = "(Settings: " + printable_text(settings.c_str()) + ")";
  const std::string other_choice = the_log + "names another choice of the system folders " + logged;
  if (system_choice) {
    if (logged_choice == 0) {
      earlier.verdict = EARLIER_LOG_OTHER_CHOICE;
      earlier.mismatch = other_choice;
    }
    return logged_choice != 0;
  }
  // The system folders chosen where the package names none for the log (as the packer makes packages):
  // the log lies at the location as with the plain choice, and it must name the location and the same
  // choice. Both paths as folders relative to the base folder; nothing is created. They are read as the
  // install step reads the destination, before the base path names it: a destination below the
  // program's own folder ("$APP/...", as the folder dialog gives it) then means the same folder on both
  // sides. The logged path comes from a file: a path variable this program does not know matches
  // nothing.
  FOLDER logged_folder(base), current(base);
  if (logged_path.empty() || !is_known_path_text(logged_path.c_str()) ||
      !set_location_folder(&logged_folder, logged_path.c_str(), APPLICATION.app_string, false, &base) ||
      !set_location_folder(&current, install_path, APPLICATION.app_string, false, &base) ||
      !logged_folder.equals(&current)) {
    earlier.verdict = EARLIER_LOG_OTHER_INSTALLATION;
    earlier.mismatch = the_log + "is of another installation " + logged;
    return false;
  }
  if ((logged_choice != 0) != system_paths) {
    earlier.verdict = EARLIER_LOG_OTHER_CHOICE;
    earlier.mismatch = other_choice;
    return false;
  }
  return true;
}
