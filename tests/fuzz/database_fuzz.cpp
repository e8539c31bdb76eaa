// Fuzz target of the installation database reader ("database.bin", every version), plain and
// byte-swapped. A first byte of 0 hands the rest over as the stream itself; any other first byte patches
// a valid version-14 stream written at start-up (a list of offset, length and bytes), so that small
// inputs reach the installations, languages and clients deep inside the stream.
#include <cstddef>
#include <cstring>
#include <vector>

#include "database.h"
#include "fuzz_support.h"

namespace {

// A database with two installations (files and items), two languages and one client.
std::vector<INT_U8> make_template() {
  DATABASE d;
  std::strcpy(d.default_language_name, "second");
  d.installations = new INSTALLATION[2]();
  d.installation_count = 2;
  for (int i = 0; i < 2; i++) {
    INSTALLATION& n = d.installations[i];
    std::strcpy(n.name, "installation");
    n.files = new INSTALLATION_FILE[2]();
    n.file_count = 2;
    std::strcpy(n.files[0].src_name, "a.txt");
    std::strcpy(n.files[1].packed_name, "b");
    n.items = new INSTALLATION_ITEM[1]();
    n.item_count = 1;
    std::strcpy(n.items[0].link_name, "link");
  }
  d.languages = new LANGUAGE[2]();
  d.language_count = 2;
  std::strcpy(d.languages[0].name, "first");
  std::strcpy(d.languages[1].name, "second");
  for (int l = 0; l < 2; l++) {
    d.languages[l].installation_strings = new DATABASE_TEXT[2]();
    d.languages[l].installation_string_count = 2;
  }
  d.installer_clients = new INSTALLER_CLIENT*[1];
  d.installer_clients[0] = new INSTALLER_CLIENT();
  d.installer_client_count = 1;
  VECTOR_DEVICE device;
  d.put_to_data_device(&device);
  return device.bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  static const std::vector<INT_U8> valid = make_template();
  if (size < 1) return 0;
  std::vector<INT_U8> bytes = fuzz_patched_stream(valid, data, size);
  for (INT_U8 swap = 0; swap < 2; ++swap) {
    BYTES_DEVICE input(bytes.data(), bytes.size());
    input.swap_bytes = swap;
    DATABASE d;
    if (d.get_from_data_device(&input)) {
      // What was read must be reachable in full.
      for (INT_S16 i = 0; i < d.installation_count; i++) {
        INSTALLATION& n = d.installations[i];
        for (INT_S16 f = 0; f < n.file_count; f++) (void)std::strlen(n.files[f].packed_name);
        for (INT_S16 t = 0; t < n.item_count; t++) (void)std::strlen(n.items[t].menu_folder);
      }
      LANGUAGE* language = d.get_current_language();
      if (!language) __builtin_trap();
      for (INT_S16 s = 0; s < language->installation_string_count; s++)
        (void)std::strlen(language->installation_strings[s]);
      for (INT_S16 c = 0; c < d.installer_client_count; c++) (void)d.installer_clients[c]->filename.length();
    }
  }
  return 0;
}
