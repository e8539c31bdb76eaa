// The patch description writer ("-d first=second"): compares the installation databases of two
// packages and writes "patch.xml" beside the first, keeping its settings and texts and listing every
// file that the second package adds or whose stored bytes changed; every finding goes to the console.
#include "database.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine.h"
#include "host.h"
#include "install_step.h"
#include "package.h"
#include "text_file.h"

static const char* yes_no(INT_U8 value) { return value ? "yes" : "no"; }

// A text for an attribute value: '&', '<', '>' and '"' as entities; with newlines, line feeds as
// "&#xA;"; in_comment also breaks every "--" so the text can stand inside an XML comment.
static std::string escape(const char* text, bool newlines = false, bool in_comment = false) {
  std::string out;
  char previous = 0;
  for (const char* c = text ? text : ""; *c; c++) {
    switch (*c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\n':
        if (newlines) out += "&#xA;";
        else out += *c;
        break;
      case '-':
        if (in_comment && previous == '-') out += "&#45;";
        else out += *c;
        break;
      default: out += *c; break;
    }
    previous = out.back();
  }
  return out;
}

static std::string file_line(const INSTALLATION_FILE& file, bool in_comment) {
  return format_text(
      "\t\t<FILE platform=\"%s\" src_name=\"%s\" dest_name=\"%s\" src_path_from_xml=\"%s\" "
      "dest_path_from_inst_loc=\"%s\" system_dest_path_from_inst_loc=\"%s\" stamp=\"%s\" overwrite=\"%s\"/>\n",
      platform_name(file.platform), escape(file.src_name, false, in_comment).c_str(),
      escape(file.dest_name, false, in_comment).c_str(), escape(file.src_path_from_xml, false, in_comment).c_str(),
      escape(file.dest_path_from_inst_loc, false, in_comment).c_str(),
      escape(file.system_dest_path_from_inst_loc, false, in_comment).c_str(), yes_no(file.stamp),
      overwrite_name(file.overwrite));
}

// The order of the fields that make a file the same file in both packages (the packed name is not one
// of them): below zero a comes first, zero the same identity.
static int identity_order(const INSTALLATION_FILE& a, const INSTALLATION_FILE& b) {
  int order = std::strcmp(a.src_name, b.src_name);
  if (!order) order = std::strcmp(a.src_path_from_xml, b.src_path_from_xml);
  if (!order) order = std::strcmp(a.dest_path_from_inst_loc, b.dest_path_from_inst_loc);
  if (!order) order = (int)a.platform - (int)b.platform;
  if (!order) order = std::strcmp(a.dest_name, b.dest_name);
  if (!order) order = std::strcmp(a.system_dest_path_from_inst_loc, b.system_dest_path_from_inst_loc);
  if (!order) order = (int)a.stamp - (int)b.stamp;
  if (!order) order = (int)a.overwrite - (int)b.overwrite;
  return order;
}

bool device_bytes_differ(DATA_DEVICE* a, DATA_DEVICE* b) {
  static INT_U8 block_a[1024], block_b[1024];
  for (;;) {
    INT_S32 count_a = a->read(block_a, sizeof block_a);
    INT_S32 count_b = b->read(block_b, sizeof block_b);
    if (count_a <= 0 && count_b <= 0) return false;
    if (count_a != count_b || std::memcmp(block_a, block_b, (size_t)count_a) != 0) return true;
  }
}

const char* changed_installation_setting(const INSTALLATION& a, const INSTALLATION& b) {
  if (std::strcmp(a.name, b.name) != 0) return "name";
  if (std::strcmp(a.default_path, b.default_path) != 0) return "default_path";
  if (a.allow_system_paths != b.allow_system_paths) return "allow_system_paths";
  if (std::strcmp(a.uninstaller_name, b.uninstaller_name) != 0) return "uninstaller_name";
  if (std::strcmp(a.uninstaller_filename, b.uninstaller_filename) != 0) return "uninstaller_filename";
  if (std::strcmp(a.uninstaller_path, b.uninstaller_path) != 0) return "uninstaller_path";
  if (std::strcmp(a.uninstaller_syspath, b.uninstaller_syspath) != 0) return "uninstaller_syspath";
  return nullptr;
}

FILE_COMPARISON_END compare_installation_files(const INSTALLATION& a, const INSTALLATION& b,
                                               FILE_COMPARISON* comparison, const INSTALLATION_FILE** culprit) {
  INT_S16 count = b.file_count > 0 ? b.file_count : 0;
  std::unique_ptr<INT_U8[]> matched(new (std::nothrow) INT_U8[count + 1]());
  // The second's files by identity, those of one identity in their order: each file of the first meets
  // the files of its identity as a walk of the second from its first file would, without the walk.
  std::unique_ptr<INT_S16[]> by_identity(new (std::nothrow) INT_S16[count + 1]);
  if (!matched || !by_identity) return MATCH_TABLE_NOT_MADE;
  for (INT_S16 g = 0; g < count; g++) by_identity[g] = g;
  std::sort(by_identity.get(), by_identity.get() + count, [&b](INT_S16 x, INT_S16 y) {
    int order = identity_order(b.files[x], b.files[y]);
    return order ? order < 0 : x < y;
  });
  for (INT_S16 f = 0; f < a.file_count; f++) {
    const INSTALLATION_FILE& old_file = a.files[f];
    const INT_S16* first = std::lower_bound(by_identity.get(), by_identity.get() + count, f,
                                            [&a, &b](INT_S16 g, INT_S16 key) {
                                              return identity_order(b.files[g], a.files[key]) < 0;
                                            });
    bool paired = false;
    for (const INT_S16* at = first; at < by_identity.get() + count && !paired; at++) {
      INT_S16 g = *at;
      const INSTALLATION_FILE& new_file = b.files[g];
      if (identity_order(old_file, new_file) != 0) break;
      if (matched[g]) {
        *culprit = &old_file;
        return FILES_PAIRED_TWICE;
      }
      if (!old_file.packed_name[0] || !new_file.packed_name[0]) {
        comparison->blank_packed_name(old_file.packed_name[0] ? new_file : old_file, !old_file.packed_name[0]);
        continue;
      }
      int compared = comparison->compare_bytes(old_file, new_file);
      if (compared < 0) {
        *culprit = compared == -1 ? &old_file : &new_file;
        return compared == -1 ? FIRST_FILE_UNREADABLE : SECOND_FILE_UNREADABLE;
      }
      comparison->paired(old_file, new_file, compared == 1);
      matched[g] = 1;
      paired = true;
    }
    if (!paired && old_file.packed_name[0]) comparison->deleted(old_file);
  }
  for (INT_S16 g = 0; g < count; g++)
    if (!matched[g] && b.files[g].packed_name[0]) comparison->added(b.files[g]);
  return FILES_COMPARED;
}

// The first file of the installation that would be installed at the installer's hold on the install
// location (FOLDER_HOLD_NAME in any capitals, as Windows takes it), with or without the system folders;
// null when none would. The installer never installs it there.
static const INSTALLATION_FILE* file_at_hold(const INSTALLATION& installation) {
  std::string key, hold_key;
  plain_name_key(FOLDER_HOLD_NAME, &hold_key);
  for (INT_S16 f = 0; f < installation.file_count; f++) {
    const INSTALLATION_FILE& file = installation.files[f];
    if (!file.packed_name[0] || !plain_name_key(destination_name(&file), &key) || key != hold_key) continue;
    for (const char* text : {file.dest_path_from_inst_loc, file.system_dest_path_from_inst_loc}) {
      FOLDER_TEXT_PLACE place = place_of_folder_text(text, true);
      if (place.install_location && !place.leads_out && place.below.empty()) return &file;
    }
  }
  return nullptr;
}

// Compares every byte of the two entries (opened without a byte-order byte): 1 differ, 0 equal,
// -1 the first cannot be opened, -2 the second.
static int compare_entries(PACKAGE* first, const char* first_name, PACKAGE* second, const char* second_name) {
  PACKAGE_DATA_FILE* a = open_package_file(first, first_name, FILE_MODE_READ, 0);
  if (!a) return -1;
  PACKAGE_DATA_FILE* b = open_package_file(second, second_name, FILE_MODE_READ, 0);
  if (!b) {
    close_package_file(&a);
    return -2;
  }
  int result = device_bytes_differ(a, b) ? 1 : 0;
  close_package_file(&a);
  close_package_file(&b);
  return result;
}

// "-d"'s comparison: every finding on the console, and the changed and added files into "patch.xml".
class PATCH_COMPARISON : public FILE_COMPARISON {
public:
  PATCH_COMPARISON(DATABASE* first, DATABASE* second, TEXT_FILE* patch)
      : first(first), second(second), patch(patch) {}
  int compare_bytes(const INSTALLATION_FILE& a, const INSTALLATION_FILE& b) override {
    return compare_entries(first->package, a.packed_name, second->package, b.packed_name);
  }
  void blank_packed_name(const INSTALLATION_FILE& file, bool in_first) override {
    console_print(format_text(in_first ? "\t\tWarning: blank packed name in d1 (%s/%s)\n"
                                       : "\t\tWarning: blank packed name in d2 (%s/%s)\n",
                              file.src_path_from_xml, file.src_name)
                      .c_str());
  }
  void paired(const INSTALLATION_FILE& a, const INSTALLATION_FILE&, bool changed) override {
    if (!changed) return;
    patch->write_text(file_line(a, false).c_str());
    console_print(format_text("\t\tFile changed - %s/%s\n", a.src_path_from_xml, a.src_name).c_str());
  }
  void deleted(const INSTALLATION_FILE& a) override {
    patch->write_text(("\t\t<!-- Deleted files not supported\n" + file_line(a, true) + "\t\t-->\n").c_str());
    console_print(format_text("\t\tFile deleted - %s/%s\n", a.src_path_from_xml, a.src_name).c_str());
  }
  void added(const INSTALLATION_FILE& b) override {
    patch->write_text(file_line(b, false).c_str());
    console_print(format_text("\t\tFile added - %s/%s\n", b.src_path_from_xml, b.src_name).c_str());
  }

private:
  DATABASE* first;
  DATABASE* second;
  TEXT_FILE* patch;
};

// Loads one package of the argument into the database: the folder part must exist. On failure the
// console line that names the database (which) is followed by the package's path and the reason.
static bool load_named_package(DATABASE* database, const char* name, const char* which) {
  char file_name[256];
  std::string problem;
  if (!set_folder_and_name(name, &database->data_folder, file_name, nullptr))
    problem = file_argument_problem(name, &database->data_folder, "installer.pkg");
  else if (!database->load_package(file_name))
    problem = printable_text(database->data_folder.get_path_text(file_name)) + ": " +
              printable_text(database->load_failure.c_str());
  if (problem.empty()) return true;
  console_print(format_text("Failed to load %s database\n\t%s\n", which, problem.c_str()).c_str());
  return false;
}

// The description's work after both packages loaded; false when it ended on a difference it cannot
// express or a failure.
static bool write_description(DATABASE* first, DATABASE* second, TEXT_FILE* patch) {
  auto write = [patch](const std::string& text) { return patch->write_text(text.c_str()); };

  write(format_text("<INSTALLER show_frame_rate=\"%s\" show_filenames=\"%s\" show_filepaths=\"%s\" file_cache_sz=\"%d\"  "
                    "default_language_name=\"%s\">\n",
                    yes_no(first->show_frame_rate), yes_no(first->show_filenames), yes_no(first->show_filepaths),
                    (int)first->file_cache_sz, escape(first->default_language_name).c_str()));
  write("\n");
  write(format_text("\t<APPLICATION version=\"%s\" build_number=\"%d\" app_string=\"%s\"/>\n",
                    escape(first->APPLICATION.version).c_str(), (int)first->APPLICATION.build_number,
                    escape(first->APPLICATION.app_string).c_str()));
  write(format_text("\t<WINDOW width=\"%d\" height=\"%d\" fullscreen=\"%s\" show_bg_title=\"%s\"/>\n",
                    first->WINDOW.width, first->WINDOW.height, yes_no(first->WINDOW.fullscreen),
                    yes_no(first->WINDOW.show_bg_title)));
  write(format_text("\t<DIALOG x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" button_gap=\"%d\" can_drag=\"%s\"/>\n",
                    first->DIALOG.x, first->DIALOG.y, first->DIALOG.width, first->DIALOG.height,
                    first->DIALOG.button_gap, yes_no(first->DIALOG.can_drag)));
  write(format_text("\t<EXIT x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" can_drag=\"%s\"/>\n", first->EXIT.x,
                    first->EXIT.y, first->EXIT.width, first->EXIT.height, yes_no(first->EXIT.can_drag)));
  write(format_text("\t<ERROR x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" can_drag=\"%s\"/>\n", first->ERROR.x,
                    first->ERROR.y, first->ERROR.width, first->ERROR.height, yes_no(first->ERROR.can_drag)));
  write(format_text(
      "\t<FILE_SELECT x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" new_folder_too=\"%s\" can_drag=\"%s\"/>\n",
      first->FILE_SELECT.x, first->FILE_SELECT.y, first->FILE_SELECT.width, first->FILE_SELECT.height,
      yes_no(first->FILE_SELECT.new_folder_too), yes_no(first->FILE_SELECT.can_drag)));
  write(format_text("\t<ABOUT x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" can_drag=\"%s\"/>\n", first->ABOUT.x,
                    first->ABOUT.y, first->ABOUT.width, first->ABOUT.height, yes_no(first->ABOUT.can_drag)));
  write(format_text(
      "\t<BACKGROUND path=\"%s\" filename=\"%s\" speed=\"%d\" width=\"%d\" height=\"%d\" start_offset_ms=\"%d\"/>\n",
      escape(first->BACKGROUND.path).c_str(), escape(first->BACKGROUND.filename).c_str(),
      (int)first->BACKGROUND.speed, first->BACKGROUND.width, first->BACKGROUND.height,
      first->BACKGROUND.start_offset_ms));
  write(format_text("\t<SKIN path=\"%s\"/>\n", escape(first->SKIN.path[0] ? first->SKIN.path : second->SKIN.path).c_str()));
  std::string log_path = escape(first->LOG.dest_path_from_inst_loc);
  std::string log_system_path = escape(first->LOG.system_dest_path_from_inst_loc);
  write(format_text("\t<LOG dest_path_from_inst_loc=\"%s/patch\" system_dest_path_from_inst_loc=\"%s/patch\"/>\n",
                    log_path.c_str(), log_system_path.c_str()));
  write(format_text(
      "\t<PATCH dest_path_from_inst_loc=\"%s\" system_dest_path_from_inst_loc=\"%s\" do_check=\"yes\"/>\n",
      log_path.c_str(), log_system_path.c_str()));
  write(format_text("\t<CHECK_DESKTOP_SIZE width=\"%d\" height=\"%d\"/>\n", first->CHECK_DESKTOP_SIZE.width,
                    first->CHECK_DESKTOP_SIZE.height));
  for (INT_S16 i = 0; i < second->installer_client_count; i++) {
    INSTALLER_CLIENT* client = second->installer_clients[i];
    char path[FOLDER_PATH_SIZE];
    client->path.get_portable_text(path, &second->data_folder);
    write(format_text(
        "\t<INSTALLER_CLIENT path=\"%s\" filename=\"%s\" destname=\"%s\" platform=\"%s\" compress_data=\"%s\"/>\n",
        escape(path).c_str(), escape(client->filename.text).c_str(), escape(client->destname.text).c_str(),
        platform_name(client->platform), yes_no(client->compress_data)));
  }
  write("\n");

  if (first->installation_count != second->installation_count) {
    console_print("Unable to patch, differences are too big (install_sz differ)\n");
    return false;
  }
  for (INT_S16 i = 0; i < first->installation_count; i++) {
    INSTALLATION& a = first->installations[i];
    INSTALLATION& b = second->installations[i];
    console_print(format_text("Installation (%d)\n", (int)i).c_str());
    write(format_text("\t<INSTALLATION name=\"%s\" allow_system_paths=\"%s\" default_path=\"%s\">\n",
                      escape(a.name).c_str(), yes_no(a.allow_system_paths), escape(a.default_path).c_str()));
    write("\n");
    // The installation's own settings cannot change in a patch.
    const char* changed = changed_installation_setting(a, b);
    if (changed) {
      console_print(format_text("\tInstallation %s changed - not supported by patching system\n", changed).c_str());
      return false;
    }
    // Nor can a file of the new package take the place of the installer's hold.
    if (const INSTALLATION_FILE* held = file_at_hold(b)) {
      console_print(format_text("\t\tFile at the installer's hold - %s/%s (the installer holds the install location by "
                                "a file of that name) - not supported by patching system\n",
                                held->src_path_from_xml, held->src_name)
                        .c_str());
      return false;
    }
    console_print("\tShortcuts are ignored by patching system\n");

    PATCH_COMPARISON comparison(first, second, patch);
    const INSTALLATION_FILE* culprit = nullptr;
    FILE_COMPARISON_END end = compare_installation_files(a, b, &comparison, &culprit);
    if (end == MATCH_TABLE_NOT_MADE)
      console_print("\tUnable to create flags array\n");
    else if (end == FILES_PAIRED_TWICE)
      console_print(format_text("\t\tFound same file twice! (%s/%s)\n", culprit->src_path_from_xml, culprit->src_name).c_str());
    else if (end != FILES_COMPARED)
      console_print(format_text(end == FIRST_FILE_UNREADABLE ? "\t\tUnable to open file in db1 (%s)\n"
                                                             : "\t\tUnable to open file in db2 (%s)\n",
                                culprit->packed_name)
                        .c_str());
    if (end != FILES_COMPARED) return false;
    write("\n");
    write("\t</INSTALLATION>\n");
    write("\n");
  }

  for (INT_S16 l = 0; l < first->language_count; l++) {
    LANGUAGE& language = first->languages[l];
    write(format_text("\t<LANGUAGE name=\"%s\">\n", escape(language.name).c_str()));
    write("\n");
    write(format_text("\t\t<LANGUAGE_TITLE string=\"%s\"/>\n", escape(language.LANGUAGE_TITLE, true).c_str()));
    for (int t = 0; t < LANGUAGE_TEXT_COUNT; t++)
      write(format_text("\t\t<%s string=\"%s\"/>\n", language_text_name(t),
                        escape(language_text(&language, t), true).c_str()));
    write("\n");
    for (INT_S16 i = 0; i < first->installation_count; i++) {
      const char* display = i < language.installation_string_count && language.installation_strings
                                ? language.installation_strings[i]
                                : "";
      write(format_text("\t\t<INSTALLATION name=\"%s\" string=\"%s\"/>\n", escape(first->installations[i].name).c_str(),
                        escape(display).c_str()));
    }
    write("\n");
    write(format_text("\t\t<LICENCE path=\"%s\" filename=\"%s\"/>\n", escape(language.LICENCE.path).c_str(),
                      escape(language.LICENCE.filename).c_str()));
    write(format_text("\t\t<README path=\"%s\" filename=\"%s\" lines=\"%d\"/>\n", escape(language.README.path).c_str(),
                      escape(language.README.filename).c_str(), language.README.lines));
    write("\n");
    write("\t</LANGUAGE>\n");
    write("\n");
  }
  return write("</INSTALLER>\n");
}

INT_S32 create_patch_description(const char* argument) {
  console_print("Creating File Differences\n-------------------------\n\n");
  if (!argument) {
    console_print("Files not supplied\n");
    return EXIT_JOB_NOT_STARTED;
  }
  const char* equals = std::strchr(argument, '=');
  if (!equals) {
    console_print("Second file was not supplied\n");
    return EXIT_JOB_NOT_STARTED;
  }
  std::string first_name(argument, (size_t)(equals - argument));
  std::string second_name(equals + 1);

  DATABASE* first = new DATABASE();
  DATABASE* second = new DATABASE();
  INT_S32 status = EXIT_JOB_NOT_STARTED;
  if (load_named_package(first, first_name.c_str(), "first")) {
    console_print(format_text("First database (%s) was loaded ok...\n", first_name.c_str()).c_str());
    if (load_named_package(second, second_name.c_str(), "second")) {
      console_print(format_text("Second database (%s) was loaded ok...\n", second_name.c_str()).c_str());
      status = EXIT_JOB_FAILED;
      TEXT_FILE* patch = open_text_file(&first->data_folder, "patch.xml", TEXT_FILE_WRITE, false);
      if (!patch) {
        console_print("Failed to open patch file\n");
      } else {
        bool written = write_description(first, second, patch);
        bool stream_ok = close_text_file(&patch);
        if (written && !stream_ok) console_print("Failed to write patch file\n");
        if (written && stream_ok) {
          console_print("\nDone\n-------------------------\n");
          status = EXIT_JOB_DONE;
        }
      }
    }
  }
  delete first;
  delete second;
  return status;
}

void DATABASE::create_file_differences(const char* argument) {
  create_patch_description(argument);
}
