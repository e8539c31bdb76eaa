// Package loading: opens "installer.pkg" of the data folder, reads the installation database from its
// entry "database.bin", keeps the package open for the run and derives the working values (file total,
// shortcut kinds, install path, file selector icons); the fonts that travel in the package are loaded
// when the wizard begins.
#include "database.h"

#include <cstring>
#include <string>

#include "data_file.h"
#include "engine.h"
#include "errors.h"
#include "files.h"
#include "font.h"
#include "package.h"

const INT_S32 PACKAGE_OPEN_BLOCK_SIZE = 1024;

void DATABASE::load_package_fonts() {
  if (!package || !package->file) return;
  FOLDER temporary;
  temporary.set("$TEMP");
  for (INT_U8 id = 0; id <= 22; id++) {
    const char* file_name = font_file_name(id);
    if (!file_name) continue;
    PACKAGE_ENTRY entry;
    if (!package->find_entry(file_name, &entry)) continue;
    if (package->extract_entry(&temporary, file_name, file_name))
      load_font(file_name, font_display_name(id), (INT_S8)id, &temporary);
    delete_file(&temporary, file_name);
  }
}

INT_S32 DATABASE::package_buffer_size() const {
  return file_cache_sz > (INT_U32)DATA_FILE_LARGEST_BUFFER ? DATA_FILE_LARGEST_BUFFER : (INT_S32)file_cache_sz;
}

const char* const PACKAGE_NOT_FOUND_CAPTION = "No installation data found!";
const char* const PACKAGE_NOT_FOUND_ADVICE = "Make sure you have got all required files.";

std::string package_not_found_text(const DATABASE& database) {
  return "The installer looked for its package \"" + std::string(PACKAGE_FILE_NAME) + "\" in the folder \"" +
         printable_text(database.data_folder.path) + "\": " + printable_text(database.load_failure.c_str()) + ".";
}

// The first folder text of the database of which problem says something, said with what it is the
// folder of: what, the shortcut's or the file's name when given, " for the system folders" where the
// text is the one used with them, then the problem's words (which end with ": ") and the text; empty
// when problem passes every text. The texts in order: the log's, patch_check's, then per installation
// its default_path, its uninstaller's, its shortcuts' and its files' folders.
static std::string first_folder_problem(const DATABASE& database, std::string (*problem)(const char* text)) {
  std::string found;
  // Files of one folder follow each other with the same text: one equal to the last judged passes.
  const char* previous = "";
  auto judge = [&found, &previous, problem](const char* text, const char* what, const char* subject, bool system) {
    if (!found.empty() || !text[0] || std::strcmp(text, previous) == 0) return;
    std::string said = problem(text);
    if (said.empty()) {
      previous = text;
      return;
    }
    found = what;
    if (subject) found += " \"" + printable_text(subject) + "\"";
    if (system) found += " for the system folders";
    found += said + printable_text(text);
  };
  judge(database.LOG.dest_path_from_inst_loc, "log's folder", nullptr, false);
  judge(database.LOG.system_dest_path_from_inst_loc, "log's folder", nullptr, true);
  judge(database.PATCH.dest_path_from_inst_loc, "patch_check's folder", nullptr, false);
  judge(database.PATCH.system_dest_path_from_inst_loc, "patch_check's folder", nullptr, true);
  for (INT_S16 i = 0; i < database.installation_count; i++) {
    const INSTALLATION& installation = database.installations[i];
    judge(installation.default_path, "default_path of the installation", installation.name, false);
    judge(installation.uninstaller_path, "the uninstaller's folder", nullptr, false);
    judge(installation.uninstaller_syspath, "the uninstaller's folder", nullptr, true);
    for (INT_S16 j = 0; j < installation.item_count; j++) {
      const INSTALLATION_ITEM& item = installation.items[j];
      judge(item.program_path_from_inst_loc, "the program folder of the shortcut", item.link_name, false);
      judge(item.system_program_path_from_inst_loc, "the program folder of the shortcut", item.link_name, true);
      judge(item.extra_path_from_inst_loc, "the extra folder of the shortcut", item.link_name, false);
      judge(item.system_extra_path_from_inst_loc, "the extra folder of the shortcut", item.link_name, true);
    }
    for (INT_S16 j = 0; j < installation.file_count; j++) {
      const INSTALLATION_FILE& file = installation.files[j];
      judge(file.dest_path_from_inst_loc, "the folder of the file", file.packed_name, false);
      judge(file.system_dest_path_from_inst_loc, "the folder of the file", file.packed_name, true);
    }
  }
  return found;
}

// A folder text that the installer does not take. Every folder text begins with a path variable
// ("$ROOT" and its number for a drive): one that is a computer's own path (a server's share, which no
// variable names, a drive's "C:\...", "/srv/...") would be taken for a folder below the installer's
// own; where '\' separates no folders (Linux) a text that holds one would name folders that Windows
// reads otherwise; and one that leads out of the folder it is taken from (the install location, or the
// folder of another path variable) would have the installer write or look above that folder. The
// packer makes no such package.
static std::string refused_folder_text(const char* text) {
  FOLDER_TEXT_PLACE place = place_of_folder_text(text, false);
  if (place.variable.empty() && !place.install_location)
    return is_network_path(text) ? " is a network path, where a folder begins with a path variable: "
                                 : " begins with no path variable: ";
  if (PATH_SEPARATOR != '\\' && std::strchr(text, '\\')) return " separates folders with '\\', which this computer does not: ";
  if (place.leads_out) return " leads out of " + folder_text_origin(place) + ": ";
  return std::string();
}

// A folder text on a drive that this computer does not have.
static std::string folder_text_on_missing_drive(const char* text) {
  std::string problem = missing_drive_problem(read_folder_text(text).variable);
  return problem.empty() ? problem : ": " + problem + ": ";
}

std::string missing_drive_refusal(const DATABASE& database) {
  std::string found = first_folder_problem(database, folder_text_on_missing_drive);
  return found.empty() ? found : found + "; nothing was installed";
}

const char* const PACKAGE_DAMAGED_CAPTION = "Installation data damaged";
const char* const MISSING_DRIVE_CAPTION = "Drive not found";

std::string package_refusal_text(const DATABASE& database, const std::string& why) {
  const char* path = database.data_folder.get_path_text(PACKAGE_FILE_NAME);
  return printable_text(path ? path : PACKAGE_FILE_NAME) + ": " + why + ".";
}

std::string package_damaged_text(const DATABASE& database) { return package_refusal_text(database, database.load_failure); }

bool DATABASE::load_package(const char* name) {
  load_failure = std::string("the package \"") + (name ? name : "") + "\" cannot be opened";
  load_refused = false;
  forget_file_failure();
  if (!data_file_opens(&data_folder, name)) {
    // The system's cause (a missing file, a folder or a pipe at its name, no permission).
    char reason[256];
    describe_file_failure(reason, sizeof reason);
    if (reason[0]) load_failure += std::string(" (") + reason + ")";
    return false;
  }

  delete package;
  package = new PACKAGE(&data_folder, name, false, PACKAGE_OPEN_BLOCK_SIZE, true, true);
  bool database_read = false;
  if (package->file) {
    PACKAGE_DATA_FILE* file = open_package_file(package, "database.bin", FILE_MODE_READ, BYTE_ORDER_HEADER);
    if (file) {
      database_read = get_from_data_device(file);
      if (!database_read) file->failed = 1;
      close_package_file(&file);
    }
  }

  // The database is read through a copy in "$TEMP": without that folder the package is not to blame.
  char no_temporary[2 * FOLDER_PATH_SIZE + 600];
  describe_private_folder_failure(no_temporary, sizeof no_temporary);
  load_failure = database_read ? std::string()
                 : get_error_code() != DATA_ERROR_NONE ? std::string(get_error_text())
                 : no_temporary[0] ? std::string("the temporary folder cannot be made: ") + no_temporary
                                   : std::string("\"database.bin\" not found in the package");

  // The package stays open for the rest of the run, read once: it takes the database's own file-cache
  // size for its buffer (every other data file keeps the default; a buffer that cannot be had leaves
  // the one it has). An open package leaves the data error clear, as opening succeeded.
  if (package->file) {
    package->file->set_buffer_size(package_buffer_size());
    set_error(0, nullptr);
  }
  if (!database_read) return false;
  // Refused before anything is written for it.
  std::string refused = first_folder_problem(*this, refused_folder_text);
  if (!refused.empty()) {
    load_failure = "the package is damaged or was not made by the packer: " + refused;
    load_refused = true;
    return false;
  }

  total_file_count = 0;
  for (INT_S16 i = 0; i < installation_count; i++) {
    INSTALLATION& installation = installations[i];
    total_file_count = (INT_S16)(total_file_count + installation.file_count);
    installation.has_desktop_items = 0;
    installation.has_menu_items = 0;
    for (INT_S16 j = 0; j < installation.item_count; j++) {
      const INSTALLATION_ITEM& item = installation.items[j];
      if (item.platform != PLATFORM_ANY && item.platform != PLATFORM_WIN32) continue;
      if (item.menu_folder[0])
        installation.has_menu_items = 1;
      else
        installation.has_desktop_items = 1;
    }
  }
  if (installation_count > 0) {
    std::strncpy(install_path, installations[0].default_path, sizeof install_path - 1);
    install_path[sizeof install_path - 1] = 0;
  }
  fill_file_select_icons();
  return true;
}
