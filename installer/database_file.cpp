// The installation database's stored form: version 15 written, every older version read. The reader
// takes the stream as untrusted: counts are checked against what the device still holds before any
// allocation, allocation failures end the read, and every failure leaves the data error set.
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "button.h"
#include "database.h"
#include "errors.h"
#include "image_cache.h"
#include "style_set.h"

// First version that stores page text i of a language (INSTALLER_TITLE = 0).
static INT_U8 language_text_from(int i) {
  if (i == 37 || i == 38) return 3;   // INSTALLING_STRING, INITIALIZING_STRING
  if (i == 53 || i == 54) return 9;   // CHECK_DESKTOP_FAILED_TITLE, CHECK_DESKTOP_FAILED
  if (i == 55) return 14;             // PATCH_MSG
  return 1;
}

// Smallest stored sizes of the records, for checking a count against the bytes left.
static INT_U32 least_installation_size(INT_U8 version) {
  return 4 + 1 + (version >= 7 ? 4 : 0) + 2 + 2 + (version >= 9 ? 16 : 0);
}
static const INT_U32 LEAST_FILE_SIZE = 6 * 4 + 3;
static const INT_U32 LEAST_ITEM_SIZE = 9 * 4 + 2;
static INT_U32 least_language_size(INT_U8 version, INT_S16 installations) {
  INT_U32 texts = 1 + (version >= 6 ? 1 : 0) + 51 + (version >= 3 ? 2 : 0) + (version >= 9 ? 2 : 0) +
                  (version >= 14 ? 1 : 0) + static_cast<INT_U32>(installations) + 4;
  return texts * 4 + 2;
}
static const INT_U32 LEAST_CLIENT_SIZE = 1 + 1 + 2048 + 4 + 4 + 1;

// ---------------------------------------------------------------------------------------------------
// Writing

static bool write_text(DATA_DEVICE* device, const char* text, int size) {
  // A field is written only up to its bound, whatever a caller left in it.
  INT_U32 length = static_cast<INT_U32>(strnlen(text, static_cast<size_t>(size - 1)));
  if (!device->write_u32(length)) return false;
  if (length == 0) return true;
  device->failed = device->write(text, static_cast<INT_S32>(length)) != static_cast<INT_S32>(length);
  return !device->failed;
}

static bool write_text(DATA_DEVICE* device, const char* text) {
  return write_text(device, text, DATABASE_TEXT_SIZE);
}

static bool write_file(DATA_DEVICE* device, const INSTALLATION_FILE& file) {
  return write_text(device, file.src_name) && write_text(device, file.src_path_from_xml) &&
         write_text(device, file.dest_path_from_inst_loc) && device->write_u8(file.platform) &&
         write_text(device, file.dest_name) && write_text(device, file.system_dest_path_from_inst_loc) &&
         device->write_u8(file.stamp) && device->write_u8(file.overwrite) && write_text(device, file.packed_name);
}

static bool write_item(DATA_DEVICE* device, const INSTALLATION_ITEM& item) {
  return device->write_u8(item.type) && write_text(device, item.program_name) &&
         write_text(device, item.link_name) && write_text(device, item.menu_folder) &&
         device->write_u8(item.platform) && write_text(device, item.arguments) &&
         write_text(device, item.extra_path_from_inst_loc) &&
         write_text(device, item.system_extra_path_from_inst_loc) && write_text(device, item.extra_name) &&
         write_text(device, item.program_path_from_inst_loc) &&
         write_text(device, item.system_program_path_from_inst_loc);
}

static bool write_installation(DATA_DEVICE* device, const INSTALLATION& installation) {
  INT_S16 files = installation.files ? installation.file_count : 0;
  INT_S16 items = installation.items ? installation.item_count : 0;
  if (files < 0) files = 0;
  if (items < 0) items = 0;
  if (!write_text(device, installation.name) || !device->write_u8(installation.allow_system_paths) ||
      !write_text(device, installation.default_path) || !device->write_s16(files))
    return false;
  for (INT_S16 i = 0; i < files; i++)
    if (!write_file(device, installation.files[i])) return false;
  if (!device->write_s16(items)) return false;
  for (INT_S16 i = 0; i < items; i++)
    if (!write_item(device, installation.items[i])) return false;
  return write_text(device, installation.uninstaller_name) &&
         write_text(device, installation.uninstaller_filename) && write_text(device, installation.uninstaller_path) &&
         write_text(device, installation.uninstaller_syspath);
}

static bool write_language(DATA_DEVICE* device, LANGUAGE& language, INT_S16 installations) {
  if (!write_text(device, language.LANGUAGE_TITLE) || !write_text(device, language.name)) return false;
  for (int i = 0; i < LANGUAGE_TEXT_COUNT; i++)
    if (!write_text(device, language_text(&language, i))) return false;
  // One display name per installation there is now; a language holding fewer writes empty ones.
  for (INT_S16 i = 0; i < installations; i++) {
    const char* text = language.installation_strings && i < language.installation_string_count
                           ? language.installation_strings[i]
                           : "";
    if (!write_text(device, text)) return false;
  }
  return write_text(device, language.LICENCE.path) && write_text(device, language.LICENCE.filename) &&
         write_text(device, language.README.path) && write_text(device, language.README.filename) &&
         device->write_s16(language.README.lines);
}

static bool write_client(DATA_DEVICE* device, INSTALLER_CLIENT* client) {
  INSTALLER_CLIENT blank;
  if (!client) client = &blank;
  return device->write_u8(client->platform) && client->path.put_to_data_device(device) &&
         client->filename.put_to_data_device(device) && client->destname.put_to_data_device(device) &&
         device->write_u8(client->compress_data);
}

static bool write_failed(DATA_DEVICE* device) {
  device->failed = 1;
  set_error(DATA_ERROR_WRITE, "installation database");
  return false;
}

bool DATABASE::put_to_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  if (!device->write_u8(DATABASE_VERSION) || !image_cache->put_to_data_device(device) ||
      !background_image.put_to_data_device(device))
    return write_failed(device);
  bool ok = device->write_u32(settings_number) && device->write_u8(show_frame_rate) &&
            device->write_u8(show_filenames) && device->write_u8(show_filepaths) &&
            device->write_u32(file_cache_sz) && write_text(device, default_language_name) &&
            device->write_s16(WINDOW.width) && device->write_s16(WINDOW.height) &&
            device->write_u8(WINDOW.fullscreen) && device->write_u8(WINDOW.show_bg_title) &&
            device->write_s16(DIALOG.x) && device->write_s16(DIALOG.y) && device->write_s16(DIALOG.width) &&
            device->write_s16(DIALOG.height) && device->write_s16(DIALOG.button_gap);
  ok = ok && device->write_u8(DIALOG.can_drag) && device->write_s16(EXIT.x) && device->write_s16(EXIT.y) &&
       device->write_s16(EXIT.width) && device->write_s16(EXIT.height) && device->write_u8(EXIT.can_drag) &&
       device->write_s16(ERROR.x) && device->write_s16(ERROR.y) && device->write_s16(ERROR.width) &&
       device->write_s16(ERROR.height) && device->write_u8(ERROR.can_drag) && device->write_s16(FILE_SELECT.x) &&
       device->write_s16(FILE_SELECT.y) && device->write_s16(FILE_SELECT.width) &&
       device->write_s16(FILE_SELECT.height) && device->write_u8(FILE_SELECT.new_folder_too) &&
       device->write_u8(FILE_SELECT.can_drag) && device->write_s16(ABOUT.x) && device->write_s16(ABOUT.y) &&
       device->write_s16(ABOUT.width) && device->write_s16(ABOUT.height) && device->write_u8(ABOUT.can_drag);
  ok = ok && write_text(device, BACKGROUND.path) && write_text(device, BACKGROUND.filename) &&
       device->write_s32(BACKGROUND.speed) && device->write_s16(BACKGROUND.width) &&
       device->write_s16(BACKGROUND.height) && device->write_s16(BACKGROUND.start_offset_ms) &&
       write_text(device, LOG.dest_path_from_inst_loc) && write_text(device, LOG.system_dest_path_from_inst_loc) &&
       write_text(device, PATCH.dest_path_from_inst_loc) &&
       write_text(device, PATCH.system_dest_path_from_inst_loc) && device->write_u8(PATCH.do_check);
  // The skin items sit here in the same order as in a skin stream.
  ok = ok && write_skin_items(device);
  ok = ok && write_text(device, APPLICATION.version) && device->write_s32(APPLICATION.build_number) &&
       write_text(device, APPLICATION.app_string) && device->write_u32(time_stamp) &&
       device->write_s16(CHECK_DESKTOP_SIZE.width) && device->write_s16(CHECK_DESKTOP_SIZE.height);
  INT_S16 installation_total = installations && installation_count > 0 ? installation_count : 0;
  ok = ok && device->write_s16(installation_total);
  for (INT_S16 i = 0; ok && i < installation_total; i++) ok = write_installation(device, installations[i]);
  INT_S16 language_total = languages && language_count > 0 ? language_count : 0;
  ok = ok && device->write_s16(language_total);
  for (INT_S16 i = 0; ok && i < language_total; i++) ok = write_language(device, languages[i], installation_total);
  ok = ok && write_text(device, SKIN.path, DATABASE_PATH_SIZE);
  INT_S16 client_total = installer_clients && installer_client_count > 0 ? installer_client_count : 0;
  ok = ok && device->write_s16(client_total);
  for (INT_S16 i = 0; ok && i < client_total; i++) ok = write_client(device, installer_clients[i]);
  // Last, so that a reader of version 14 reads the rest as it always has and stops before them.
  ok = ok && write_text(device, version_identity) && write_text(device, updated_version);
  if (!ok) return write_failed(device);
  return true;
}

// ---------------------------------------------------------------------------------------------------
// Reading

static bool read_text(DATA_DEVICE* device, char* text) {
  return device->read_string(text, DATABASE_TEXT_SIZE);
}

// A count of records of at least least bytes each: not negative, and fitting in what is left.
static bool read_count(DATA_DEVICE* device, INT_S16* count, INT_U32 least) {
  if (!device->read_s16(count)) return false;
  if (*count < 0 || static_cast<INT_U64>(*count) * least > device->bytes_left()) {
    device->failed = 1;
    return false;
  }
  return true;
}

static bool read_file(DATA_DEVICE* device, INSTALLATION_FILE& file, INT_U8 version) {
  if (!read_text(device, file.src_name) || !read_text(device, file.src_path_from_xml) ||
      !read_text(device, file.dest_path_from_inst_loc) || !device->read_u8(&file.platform) ||
      !read_text(device, file.dest_name) || !read_text(device, file.system_dest_path_from_inst_loc) ||
      !device->read_u8(&file.stamp))
    return false;
  if (version >= 8 && !device->read_u8(&file.overwrite)) return false;
  return read_text(device, file.packed_name);
}

static bool read_item(DATA_DEVICE* device, INSTALLATION_ITEM& item) {
  return device->read_u8(&item.type) && read_text(device, item.program_name) &&
         read_text(device, item.link_name) && read_text(device, item.menu_folder) &&
         device->read_u8(&item.platform) && read_text(device, item.arguments) &&
         read_text(device, item.extra_path_from_inst_loc) && read_text(device, item.system_extra_path_from_inst_loc) &&
         read_text(device, item.extra_name) && read_text(device, item.program_path_from_inst_loc) &&
         read_text(device, item.system_program_path_from_inst_loc);
}

static bool read_installation(DATA_DEVICE* device, INSTALLATION& installation, INT_U8 version) {
  if (!read_text(device, installation.name) || !device->read_u8(&installation.allow_system_paths)) return false;
  if (version >= 7 && !read_text(device, installation.default_path)) return false;
  INT_S16 count = 0;
  if (!read_count(device, &count, LEAST_FILE_SIZE)) return false;
  if (count > 0) {
    installation.files = new (std::nothrow) INSTALLATION_FILE[count]();
    if (!installation.files) return false;
    installation.file_count = count;
    for (INT_S16 i = 0; i < count; i++)
      if (!read_file(device, installation.files[i], version)) return false;
  }
  if (!read_count(device, &count, LEAST_ITEM_SIZE)) return false;
  if (count > 0) {
    installation.items = new (std::nothrow) INSTALLATION_ITEM[count]();
    if (!installation.items) return false;
    installation.item_count = count;
    for (INT_S16 i = 0; i < count; i++)
      if (!read_item(device, installation.items[i])) return false;
  }
  if (version >= 9) {
    return read_text(device, installation.uninstaller_name) && read_text(device, installation.uninstaller_filename) &&
           read_text(device, installation.uninstaller_path) && read_text(device, installation.uninstaller_syspath);
  }
  return true;
}

static bool read_language(DATA_DEVICE* device, LANGUAGE& language, INT_U8 version, INT_S16 installations) {
  if (!read_text(device, language.LANGUAGE_TITLE)) return false;
  if (version >= 6) {
    if (!read_text(device, language.name)) return false;
  } else {
    std::memcpy(language.name, language.LANGUAGE_TITLE, sizeof language.name);
  }
  for (int i = 0; i < LANGUAGE_TEXT_COUNT; i++)
    if (version >= language_text_from(i) && !read_text(device, language_text(&language, i))) return false;
  if (installations > 0) {
    language.installation_strings = new (std::nothrow) DATABASE_TEXT[installations]();
    if (!language.installation_strings) return false;
    language.installation_string_count = installations;
    for (INT_S16 i = 0; i < installations; i++)
      if (!read_text(device, language.installation_strings[i])) return false;
  }
  return read_text(device, language.LICENCE.path) && read_text(device, language.LICENCE.filename) &&
         read_text(device, language.README.path) && read_text(device, language.README.filename) &&
         device->read_s16(&language.README.lines);
}

static bool read_client(DATA_DEVICE* device, INSTALLER_CLIENT* client) {
  return device->read_u8(&client->platform) && client->path.get_from_data_device(device) &&
         client->filename.get_from_data_device(device) && client->destname.get_from_data_device(device) &&
         device->read_u8(&client->compress_data);
}

static bool read_failed(DATA_DEVICE* device) {
  device->failed = 1;
  set_error(DATA_ERROR_READ, "installation database");
  return false;
}

// The first folder text of the database that begins with a path variable this program does not know,
// or null. Such a text would end the program when a folder is set from it, so a database holding one
// is not loaded.
static const char* unknown_path_text(DATABASE* database) {
  std::vector<const char*> texts = {database->BACKGROUND.path,
                                    database->LOG.dest_path_from_inst_loc,
                                    database->LOG.system_dest_path_from_inst_loc,
                                    database->PATCH.dest_path_from_inst_loc,
                                    database->PATCH.system_dest_path_from_inst_loc,
                                    database->SKIN.path};
  for (INT_S16 i = 0; i < database->installation_count; i++) {
    const INSTALLATION& installation = database->installations[i];
    texts.insert(texts.end(), {installation.default_path, installation.uninstaller_path, installation.uninstaller_syspath});
    for (INT_S16 j = 0; j < installation.file_count; j++)
      texts.insert(texts.end(), {installation.files[j].dest_path_from_inst_loc,
                                 installation.files[j].system_dest_path_from_inst_loc});
    for (INT_S16 j = 0; j < installation.item_count; j++) {
      const INSTALLATION_ITEM& item = installation.items[j];
      texts.insert(texts.end(), {item.extra_path_from_inst_loc, item.system_extra_path_from_inst_loc,
                                 item.program_path_from_inst_loc, item.system_program_path_from_inst_loc});
    }
  }
  for (INT_S16 i = 0; i < database->language_count; i++) texts.push_back(database->languages[i].LICENCE.path);
  // Files of one folder follow each other with the same texts: a variable text equal to the last one
  // looked up was answered already (a text without a variable needs no look-up).
  const char* previous = nullptr;
  for (const char* text : texts) {
    if (text[0] != '$') continue;
    if (previous && std::strcmp(text, previous) == 0) continue;
    if (!is_known_path_text(text)) return text;
    previous = text;
  }
  return nullptr;
}

// What reading a database replaces beyond the database: the image cache's contents, the three
// default dialog styles and the button hint style with its ready flag, the one-time style adjustment,
// the default dialog effects and the frame flags of style sets. The read works on them in place; this
// keeps what they were and puts it back unless the read is kept, so that a damaged database leaves
// the program as it was.
class READ_GUARD {
public:
  READ_GUARD() {
    cache_hidden = image_cache->hide_entries(&snapshot);
    for (int i = 0; i < 4; i++) WM_STYLE_SET::copy(&styles[i], *globals[i]);
    hint_ready = button_hint_style_ready;
    adjusted = default_styles_adjusted;
    effects = default_dialog_effects;
    frame_flags = style_frame_cache_flags;
  }
  ~READ_GUARD() {
    if (kept || !cache_hidden) return;
    for (int i = 0; i < 4; i++) WM_STYLE_SET::copy(*globals[i], &styles[i]);
    button_hint_style_ready = hint_ready;
    default_styles_adjusted = adjusted;
    default_dialog_effects = effects;
    style_frame_cache_flags = frame_flags;
    image_cache->take_back(&snapshot);
  }
  READ_GUARD(const READ_GUARD&) = delete;
  READ_GUARD& operator=(const READ_GUARD&) = delete;

  bool ready() const { return cache_hidden; }
  void keep() {
    kept = true;
    image_cache->keep_replacement(&snapshot);
  }

private:
  const WM_STYLE_SET_INSTANCE* globals[4] = {&default_dialog_window_style, &default_dialog_title_style,
                                              &default_dialog_button_style, &button_hint_style};
  IMAGE_CACHE_SNAPSHOT snapshot;
  bool cache_hidden = false;
  bool kept = false;
  WM_STYLE_SET styles[4];  // copies: they hold their own references to the pictures of the cache
  INT_U8 hint_ready = 0, adjusted = 0, frame_flags = 0;
  WM_DIALOG_EFFECTS effects = {};
};

bool DATABASE::get_from_data_device(DATA_DEVICE* device) {
  if (!device) return false;
  clear();
  READ_GUARD guard;
  if (!guard.ready()) return read_failed(device);

  INT_U8 version = 0;
  if (!device->read_u8(&version)) return read_failed(device);
  if (version < 1) version = 1;  // every field of version 1 is in every stream
  if (!image_cache->add_from_data_device(device) || !background_image.get_from_data_device(device))
    return read_failed(device);

  if (version >= 10 && !device->read_u32(&settings_number)) return read_failed(device);
  if (!device->read_u8(&show_frame_rate)) return read_failed(device);
  if (version >= 2) {
    if (!device->read_u8(&show_filenames)) return read_failed(device);
  } else {
    show_filenames = 1;
  }
  if (version >= 3) {
    if (!device->read_u8(&show_filepaths)) return read_failed(device);
  } else {
    show_filepaths = 1;
  }
  bool ok = device->read_u32(&file_cache_sz) && read_text(device, default_language_name) &&
            device->read_s16(&WINDOW.width) && device->read_s16(&WINDOW.height) &&
            device->read_u8(&WINDOW.fullscreen) && device->read_u8(&WINDOW.show_bg_title) &&
            device->read_s16(&DIALOG.x) && device->read_s16(&DIALOG.y) && device->read_s16(&DIALOG.width) &&
            device->read_s16(&DIALOG.height) && device->read_s16(&DIALOG.button_gap);
  if (!ok) return read_failed(device);
  if (version >= 4) {
    ok = device->read_u8(&DIALOG.can_drag) && device->read_s16(&EXIT.x) && device->read_s16(&EXIT.y) &&
         device->read_s16(&EXIT.width) && device->read_s16(&EXIT.height) && device->read_u8(&EXIT.can_drag) &&
         device->read_s16(&ERROR.x) && device->read_s16(&ERROR.y) && device->read_s16(&ERROR.width) &&
         device->read_s16(&ERROR.height) && device->read_u8(&ERROR.can_drag) && device->read_s16(&FILE_SELECT.x) &&
         device->read_s16(&FILE_SELECT.y) && device->read_s16(&FILE_SELECT.width) &&
         device->read_s16(&FILE_SELECT.height) && device->read_u8(&FILE_SELECT.new_folder_too) &&
         device->read_u8(&FILE_SELECT.can_drag) && device->read_s16(&ABOUT.x) && device->read_s16(&ABOUT.y) &&
         device->read_s16(&ABOUT.width) && device->read_s16(&ABOUT.height) && device->read_u8(&ABOUT.can_drag);
  } else {
    ok = device->read_s16(&EXIT.width) && device->read_s16(&EXIT.height) && device->read_s16(&ERROR.width) &&
         device->read_s16(&ERROR.height);
  }
  ok = ok && read_text(device, BACKGROUND.path) && read_text(device, BACKGROUND.filename) &&
       device->read_s32(&BACKGROUND.speed) && device->read_s16(&BACKGROUND.width) &&
       device->read_s16(&BACKGROUND.height) && device->read_s16(&BACKGROUND.start_offset_ms) &&
       read_text(device, LOG.dest_path_from_inst_loc) && read_text(device, LOG.system_dest_path_from_inst_loc);
  if (ok && version >= 13) {
    ok = read_text(device, PATCH.dest_path_from_inst_loc) && read_text(device, PATCH.system_dest_path_from_inst_loc) &&
         device->read_u8(&PATCH.do_check);
  }
  // The skin items, as in a skin stream; the window manager's part is applied once they are all read.
  SKIN_GLOBALS globals;
  if (!ok || !read_skin_items(device, version, &globals)) return read_failed(device);
  globals.apply();

  if (!read_text(device, APPLICATION.version) || !device->read_s32(&APPLICATION.build_number) ||
      !read_text(device, APPLICATION.app_string))
    return read_failed(device);
  if (version >= 8 && !device->read_u32(&time_stamp)) return read_failed(device);
  if (version >= 9 && (!device->read_s16(&CHECK_DESKTOP_SIZE.width) || !device->read_s16(&CHECK_DESKTOP_SIZE.height)))
    return read_failed(device);

  INT_S16 count = 0;
  if (!read_count(device, &count, least_installation_size(version))) return read_failed(device);
  if (count > 0) {
    installations = new (std::nothrow) INSTALLATION[count]();
    if (!installations) return read_failed(device);
    installation_count = count;
    for (INT_S16 i = 0; i < count; i++)
      if (!read_installation(device, installations[i], version)) return read_failed(device);
  }

  // Without a language the wizard has no texts to show: that is no usable database.
  if (!read_count(device, &count, least_language_size(version, installation_count)) || count == 0)
    return read_failed(device);
  languages = new (std::nothrow) LANGUAGE[count]();
  if (!languages) return read_failed(device);
  language_count = count;
  for (INT_S16 i = 0; i < count; i++) {
    if (!read_language(device, languages[i], version, installation_count)) return read_failed(device);
    if (std::strcmp(languages[i].name, default_language_name) == 0) current_language = i;
  }

  if (version >= 11 && !device->read_string(SKIN.path, DATABASE_PATH_SIZE)) return read_failed(device);
  if (version >= 12) {
    if (!read_count(device, &count, LEAST_CLIENT_SIZE)) return read_failed(device);
    if (count > 0) {
      installer_clients = new (std::nothrow) INSTALLER_CLIENT*[count]();
      if (!installer_clients) return read_failed(device);
      installer_client_count = count;
      for (INT_S16 i = 0; i < count; i++) {
        installer_clients[i] = new (std::nothrow) INSTALLER_CLIENT();
        if (!installer_clients[i] || !read_client(device, installer_clients[i])) return read_failed(device);
      }
    }
  }

  if (version >= 15 && (!read_text(device, version_identity) || !read_text(device, updated_version)))
    return read_failed(device);

  const char* unknown = unknown_path_text(this);
  if (unknown) {
    device->failed = 1;
    std::string argument = std::string("installation database (unknown path variable in \"") + unknown + "\")";
    set_error(DATA_ERROR_READ, argument.c_str());
    return false;
  }

  stage = next_stage();
  if (records_only) return true;
  style_frame_cache_flags = CACHE_FIND_ONLY;
  guard.keep();
  return true;
}
