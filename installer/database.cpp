// The installation database's data model: construction with every field initialised, the reset to the
// defaults (clear), the wizard's stage rules, platform and item-type names, and the one global instance.
#include "database.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "package.h"
#include "velk_string.h"

// ---------------------------------------------------------------------------------------------------
// Names

struct PLATFORM_NAME {
  INT_U8 code;
  const char* name;
};
static const PLATFORM_NAME platform_names[] = {
    {PLATFORM_LINUX_I86, "linux_i86"}, {PLATFORM_MACOSX, "macosx"}, {PLATFORM_WIN32, "win32"},
    {PLATFORM_GP2X, "gp2x"},           {PLATFORM_WINMOB_ARM, "winmob_arm"}, {PLATFORM_PSP, "psp"},
    {PLATFORM_NDS, "nds"}};

// Byte-wise equality ignoring the case of ASCII letters.
static bool same_name(const char* a, const char* b) {
  for (;; a++, b++) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
    if (x != y) return false;
    if (!x) return true;
  }
}

INT_U8 platform_from_name(const char* name) {
  if (!name) return PLATFORM_ANY;
  for (const PLATFORM_NAME& entry : platform_names)
    if (same_name(name, entry.name)) return entry.code;
  return PLATFORM_ANY;
}

const char* platform_name(INT_U8 code) {
  for (const PLATFORM_NAME& entry : platform_names)
    if (entry.code == code) return entry.name;
  return "";
}

const char* overwrite_name(INT_U8 rule) { return rule == 2 ? "never" : rule == 1 ? "older" : "always"; }

INT_U8 item_type_from_name(const char* name) {
  if (!name) return ITEM_NONE;
  if (same_name(name, "application")) return ITEM_APPLICATION;
  if (same_name(name, "weblink")) return ITEM_WEBLINK;
  if (same_name(name, "textfile")) return ITEM_TEXTFILE;
  return ITEM_NONE;
}

// The page texts in order, with their identifiers.
struct LANGUAGE_TEXT_FIELD {
  DATABASE_TEXT LANGUAGE::*field;
  const char* name;
};
#define LANGUAGE_FIELD(n) {&LANGUAGE::n, #n}
static const LANGUAGE_TEXT_FIELD language_fields[LANGUAGE_TEXT_COUNT] = {
    LANGUAGE_FIELD(INSTALLER_TITLE), LANGUAGE_FIELD(QUIT_TITLE), LANGUAGE_FIELD(QUIT_MSG),
    LANGUAGE_FIELD(QUIT_YES), LANGUAGE_FIELD(QUIT_NO), LANGUAGE_FIELD(COPY_ERROR_TITLE),
    LANGUAGE_FIELD(COPY_ERROR_MSG), LANGUAGE_FIELD(COPY_ERROR_YES), LANGUAGE_FIELD(COPY_ERROR_NO),
    LANGUAGE_FIELD(FORWARD), LANGUAGE_FIELD(FORWARD_HINT), LANGUAGE_FIELD(PREVIOUS),
    LANGUAGE_FIELD(PREVIOUS_HINT), LANGUAGE_FIELD(AGREE), LANGUAGE_FIELD(AGREE_HINT),
    LANGUAGE_FIELD(DISAGREE), LANGUAGE_FIELD(DISAGREE_HINT), LANGUAGE_FIELD(QUIT), LANGUAGE_FIELD(QUIT_HINT),
    LANGUAGE_FIELD(ABOUT), LANGUAGE_FIELD(ABOUT_HINT), LANGUAGE_FIELD(INSTALL), LANGUAGE_FIELD(INSTALL_HINT),
    LANGUAGE_FIELD(FINISH), LANGUAGE_FIELD(FINISH_HINT), LANGUAGE_FIELD(SELECT_LANGUAGE),
    LANGUAGE_FIELD(LICENCE_TITLE), LANGUAGE_FIELD(README_TITLE), LANGUAGE_FIELD(INSTALL_TYPE_TITLE),
    LANGUAGE_FIELD(SELECT_OPTIONS_TITLE), LANGUAGE_FIELD(SELECT_OPTIONS_LOCATION_QUESTION),
    LANGUAGE_FIELD(SELECT_OPTIONS_USE_SYSTEM_PATHS), LANGUAGE_FIELD(SELECT_OPTIONS_SHORTCUT_QUESTION),
    LANGUAGE_FIELD(SELECT_OPTIONS_DESKTOP_SHORTCUT), LANGUAGE_FIELD(SELECT_OPTIONS_MENU_SHORTCUT),
    LANGUAGE_FIELD(SELECT_OPTIONS_SYSPATHS_SELECTED), LANGUAGE_FIELD(INSTALLING_TITLE),
    LANGUAGE_FIELD(INSTALLING_STRING), LANGUAGE_FIELD(INITIALIZING_STRING),
    LANGUAGE_FIELD(INSTALLING_DESKTOP_SHORTCUT), LANGUAGE_FIELD(INSTALLING_MENU_SHORTCUT),
    LANGUAGE_FIELD(PACK_DATA_TITLE), LANGUAGE_FIELD(PACK_LOG_TITLE), LANGUAGE_FIELD(COMPLETE),
    LANGUAGE_FIELD(OK_BUTTON), LANGUAGE_FIELD(CANCEL_BUTTON), LANGUAGE_FIELD(NEW_FOLDER_BUTTON),
    LANGUAGE_FIELD(SELECT_FOLDER_TITLE), LANGUAGE_FIELD(SELECT_FOLDER_MSG),
    LANGUAGE_FIELD(SELECT_FOLDER_MENU_TITLE), LANGUAGE_FIELD(MY_COMPUTER), LANGUAGE_FIELD(NEW_FOLDER_TITLE),
    LANGUAGE_FIELD(NEW_FOLDER_MSG), LANGUAGE_FIELD(CHECK_DESKTOP_FAILED_TITLE),
    LANGUAGE_FIELD(CHECK_DESKTOP_FAILED), LANGUAGE_FIELD(PATCH_MSG)};
#undef LANGUAGE_FIELD

char* language_text(LANGUAGE* language, int i) {
  if (!language || i < 0 || i >= LANGUAGE_TEXT_COUNT) return nullptr;
  return language->*language_fields[i].field;
}

const char* language_text_name(int i) {
  return i >= 0 && i < LANGUAGE_TEXT_COUNT ? language_fields[i].name : nullptr;
}

static const char* const icon_names[DATABASE::ICON_COUNT] = {
    "forw_icon",    "prev_icon",       "yes_icon",    "no_icon",      "quit_icon",     "about_icon",
    "finish_icon",  "agree_icon",      "disagree_icon", "install_icon", "new_folder_icon", "disk",
    "disk-cdrom",   "disk-floppy",     "disk-network", "disk-linux",  "disk-unix",     "disk-mac",
    "disk-os2",     "disk-dos",        "disk-windows", "parent_folder", "file",        "folder"};

const char* DATABASE::icon_name(int n) {
  return n >= 0 && n < ICON_COUNT ? icon_names[n] : nullptr;
}

INSTALLER_CLIENT::INSTALLER_CLIENT() : platform(PLATFORM_ANY), compress_data(0) {
  path.set("$APPDATA");
}

// ---------------------------------------------------------------------------------------------------
// Construction and reset

DATABASE::DATABASE()
    : installations(nullptr), installation_count(0), languages(nullptr), language_count(0), package(nullptr),
      installer_clients(nullptr), installer_client_count(0), attached_package(0), platform_filter(PLATFORM_ANY) {
  DIALOG.x = 0;
  DIALOG.y = 0;
  progress_bar_animation_x_rate = 0;
  progress_bar_animation_y_rate = 0;
  progress_bar_animation_update_rate = 0;
  xml_name.assign("installer.xml");
  data_folder.set("$APPDATA");
  program_file_text[0] = 0;
  clear();
}

DATABASE::~DATABASE() {
  clear();
  delete package;
  package = nullptr;
}

static void free_installations(INSTALLATION* installations, INT_S16 count) {
  if (!installations) return;
  for (INT_S16 i = 0; i < count; i++) {
    delete[] installations[i].files;
    delete[] installations[i].items;
  }
  delete[] installations;
}

static void free_languages(LANGUAGE* languages, INT_S16 count) {
  if (!languages) return;
  for (INT_S16 i = 0; i < count; i++) delete[] languages[i].installation_strings;
  delete[] languages;
}

void DATABASE::clear() {
  // The installation described here is gone: one that is running ends where it stands.
  end_installation();
  install_state.step_counter = 0;
  settings_number = 0;
  show_frame_rate = 0;
  show_filenames = 1;
  show_filepaths = 1;
  file_cache_sz = 0x100000;
  default_language_name[0] = 0;

  WINDOW.width = 300;
  WINDOW.height = 200;
  WINDOW.fullscreen = 0;
  WINDOW.show_bg_title = 0;
  DIALOG.width = 200;
  DIALOG.height = 150;
  DIALOG.button_gap = 10;
  DIALOG.can_drag = 1;
  EXIT.x = -1;
  EXIT.y = -1;
  EXIT.width = 200;
  EXIT.height = 150;
  EXIT.can_drag = 1;
  ERROR.x = -1;
  ERROR.y = -1;
  ERROR.width = 400;
  ERROR.height = 300;
  ERROR.can_drag = 1;
  FILE_SELECT.x = FILE_SELECT.y = FILE_SELECT.width = FILE_SELECT.height = -1;
  FILE_SELECT.new_folder_too = 0;
  FILE_SELECT.can_drag = 1;
  ABOUT.x = ABOUT.y = ABOUT.width = ABOUT.height = -1;
  ABOUT.can_drag = 1;

  BACKGROUND.path[0] = 0;
  BACKGROUND.filename[0] = 0;
  BACKGROUND.speed = 600;
  BACKGROUND.width = -1;
  BACKGROUND.height = -1;
  BACKGROUND.start_offset_ms = 0;
  LOG.dest_path_from_inst_loc[0] = 0;
  LOG.system_dest_path_from_inst_loc[0] = 0;
  PATCH.dest_path_from_inst_loc[0] = 0;
  PATCH.system_dest_path_from_inst_loc[0] = 0;
  PATCH.do_check = 0;

  for (int i = 0; i < STYLE_COUNT; i++) style_set(i)->set_defaults();

  APPLICATION.version[0] = 0;
  APPLICATION.build_number = 0;
  APPLICATION.app_string[0] = 0;
  time_stamp = static_cast<INT_U32>(std::time(nullptr));
  CHECK_DESKTOP_SIZE.width = -1;
  CHECK_DESKTOP_SIZE.height = -1;

  free_installations(installations, installation_count);
  installations = nullptr;
  installation_count = 0;
  free_languages(languages, language_count);
  languages = nullptr;
  language_count = 0;

  current_installation = 0;
  current_language = 0;
  stage = STAGE_START;
  std::strcpy(install_path, "$ROOT0");
  use_system_paths = 1;
  total_file_count = 0;
  desktop_shortcut = 1;
  menu_shortcut = 1;
  desktop_size_checked = 0;
  desktop_size_warning[0] = 0;
  SKIN.path[0] = 0;

  if (installer_clients) {
    for (INT_S16 i = 0; i < installer_client_count; i++) delete installer_clients[i];
    delete[] installer_clients;
  }
  installer_clients = nullptr;
  installer_client_count = 0;
  version_identity[0] = 0;
  updated_version[0] = 0;

  // The record is gathered on its first use after this (system_info(), or its capability flags alone by
  // system_capabilities()): a run that asks for no more than the flags, as the one-shot jobs ("-a"
  // included), never starts the socket library or asks the joysticks.
  system_information_state = 0;

  options_alt_style.fg_colour = COLOUR_INVISIBLE;
  options_alt_style.bg_colour = COLOUR_INVISIBLE;
  options_alt_style.flags = 0;
  options_alt_style.shading_flags = 0;
}

WM_STYLE_SET* DATABASE::style_set(int n) {
  WM_STYLE_SET* members[STYLE_COUNT] = {
      &title_style,        &dialog_text_style,         &options_style,       &options_alt_style,
      &text_title_style,   &text_style,                &scrollbar_style,     &check_box_style,
      &progress_bar_style, &progress_bar_script_style, &menu_dropdown_style, &menu_button_style,
      &menu_item_style,    &menu_alt_item_style};
  return n >= 0 && n < STYLE_COUNT ? members[n] : nullptr;
}

SYSTEM_INFORMATION& DATABASE::system_info() {
  if (system_information_state < 2) {
    get_system_information(&system_information);
    system_information_state = 2;
  }
  return system_information;
}

const SYSTEM_INFORMATION& DATABASE::system_capabilities() {
  if (system_information_state < 1) {
    get_system_capabilities(&system_information);
    system_information_state = 1;
  }
  return system_information;
}

INSTALLATION* DATABASE::get_current_installation() {
  if (!installations || current_installation < 0 || current_installation >= installation_count) return nullptr;
  return &installations[current_installation];
}

LANGUAGE* DATABASE::get_current_language() {
  if (!languages || current_language < 0 || current_language >= language_count) return nullptr;
  return &languages[current_language];
}

bool DATABASE::system_paths_used() {
  INSTALLATION* installation = get_current_installation();
  return use_system_paths == 1 && system_capabilities().has_system_paths && installation &&
         installation->allow_system_paths;
}

void DATABASE::take_earlier_choice() {
  if (!PATCH.do_check || read_install_log()) return;
  INT_U8 chosen = use_system_paths;
  use_system_paths = chosen == 1 ? 0 : 1;
  if (!read_install_log()) use_system_paths = chosen;
}

// ---------------------------------------------------------------------------------------------------
// Stage rules

// The open package holds "<prefix>-<current language>".
static bool has_language_entry(DATABASE* database, const char* prefix) {
  if (!database->package) return false;
  char name[64];
  std::snprintf(name, sizeof name, "%s-%d", prefix, static_cast<int>(database->current_language));
  PACKAGE_ENTRY entry;
  return database->package->find_entry(name, &entry);
}

INT_S32 DATABASE::next_stage() {
  bool several_languages = language_count > 1;
  bool several_installations = installation_count > 1;
  switch (stage) {
    case STAGE_PACK_DATA:
      return STAGE_PACK_LOG;
    case STAGE_PACK_LOG:
    case STAGE_README:
    case STAGE_FINISHED:
      return STAGE_FINISHED;
    case STAGE_START:
      if (several_languages) return STAGE_LANGUAGE;
      [[fallthrough]];
    case STAGE_LANGUAGE:
      if (has_language_entry(this, "licence")) return STAGE_LICENCE;
      [[fallthrough]];
    case STAGE_LICENCE:
      return several_installations ? STAGE_INSTALL_TYPE : STAGE_OPTIONS;
    case STAGE_INSTALL_TYPE:
      return STAGE_OPTIONS;
    case STAGE_OPTIONS:
      return STAGE_INSTALLING;
    case STAGE_INSTALLING:
      return has_language_entry(this, "readme") ? STAGE_README : STAGE_FINISHED;
    default:
      return STAGE_START;
  }
}

INT_S32 DATABASE::previous_stage() {
  bool several_languages = language_count > 1;
  bool several_installations = installation_count > 1;
  switch (stage) {
    case STAGE_PACK_DATA:
      return STAGE_PACK_DATA;
    case STAGE_PACK_LOG:
      return STAGE_PACK_LOG;
    case STAGE_START:
    case STAGE_LANGUAGE:
      return STAGE_START;
    case STAGE_OPTIONS:
      if (several_installations) return STAGE_INSTALL_TYPE;
      [[fallthrough]];
    case STAGE_INSTALL_TYPE:
      if (has_language_entry(this, "licence")) return STAGE_LICENCE;
      [[fallthrough]];
    case STAGE_LICENCE:
      return several_languages ? STAGE_LANGUAGE : STAGE_START;
    case STAGE_INSTALLING:
      return STAGE_OPTIONS;
    case STAGE_README:
      return STAGE_INSTALLING;
    case STAGE_FINISHED:
      return has_language_entry(this, "readme") ? STAGE_README : STAGE_INSTALLING;
    default:
      return STAGE_START;
  }
}

// ---------------------------------------------------------------------------------------------------
// The global instance

static DATABASE* global_database = nullptr;

DATABASE* DATABASE_INSTANCE::operator->() const {
  if (!global_database) global_database = new DATABASE();
  return global_database;
}

DATABASE& DATABASE_INSTANCE::operator*() const {
  return *operator->();
}

DATABASE_INSTANCE::operator DATABASE*() const {
  return operator->();
}

const DATABASE_INSTANCE database = {};

void start_database() {
  (void)database.operator->();
}

void stop_database() {
  delete global_database;
  global_database = nullptr;
}
