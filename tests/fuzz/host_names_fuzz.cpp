// Fuzz target of the name conversions: the bytes as a text of the system, as a Linux name (UTF-8 or
// not) and as Windows UTF-16 units, each through both directions of both encodings. A round trip is
// exact or refused, and a host's name keeps the text's separators, "." and ".." components as they are.
#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

#include "types.h"
#include "velk_string.h"

namespace {

// The components of a name between '/' and '\\', each marked by what it is to a file system: "." and
// ".." as such, every other one as a plain component. A text and its host's name have the same.
template <typename UNIT>
std::string component_kinds(const UNIT* name) {
  std::string kinds, component;
  for (;; name++) {
    if (*name && *name != '/' && *name != '\\') {
      component += *name < 0x80 ? (char)*name : 'x';
      continue;
    }
    kinds += component == "." ? '1' : component == ".." ? '2' : 'n';
    component.clear();
    if (*name) kinds += (char)*name;
    if (!*name) return kinds;
  }
}

// A text of the system through both encodings: what converts comes back as it was, with its separators
// and points where the text has them; what the UTF-8 form takes the UTF-16 form takes too. A text with
// a host form converts; one that converts may still lack it (escaped bytes of an overlong form, which
// come back to the disk as they were but are refused on the way in).
void check_text(const char* text) {
  size_t length = std::char_traits<char>::length(text);
  std::vector<char> utf8(2 * length + 1), back(8 * length + 8);
  bool converted = text_to_utf8(text, utf8.data(), utf8.size());
  if (has_host_form(text) && !converted) abort();
  if (converted) {
    if (!utf8_to_text(utf8.data(), back.data(), back.size()) || std::string(back.data()) != text) abort();
    if (component_kinds(reinterpret_cast<const unsigned char*>(utf8.data())) !=
        component_kinds(reinterpret_cast<const unsigned char*>(text)))
      abort();
  }
  std::vector<INT_U16> wide(length + 1);
  bool wide_converted = text_to_utf16(text, wide.data(), wide.size());
  if (converted && !wide_converted) abort();
  if (wide_converted) {
    if (!utf16_to_text(wide.data(), back.data(), back.size()) || std::string(back.data()) != text) abort();
    if (component_kinds(wide.data()) != component_kinds(reinterpret_cast<const unsigned char*>(text))) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const INT_U8* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string text = bytes.substr(0, bytes.find('\0'));
  check_text(text.c_str());

  // A Linux name: always a text, which is the name again or refused.
  std::vector<char> from_host(8 * text.size() + 8), to_host(2 * from_host.size());
  if (!utf8_to_text(text.c_str(), from_host.data(), from_host.size())) abort();
  if (text_to_utf8(from_host.data(), to_host.data(), to_host.size()) && std::string(to_host.data()) != text) abort();
  check_text(from_host.data());

  // A Windows name: every unit comes back.
  std::vector<INT_U16> units;
  for (size_t i = 0; i + 1 < size; i += 2) {
    INT_U16 unit = (INT_U16)(data[i] | data[i + 1] << 8);
    if (!unit) break;
    units.push_back(unit);
  }
  units.push_back(0);
  std::vector<char> from_wide(8 * units.size());
  std::vector<INT_U16> to_wide(units.size());
  if (!utf16_to_text(units.data(), from_wide.data(), from_wide.size()) ||
      !text_to_utf16(from_wide.data(), to_wide.data(), to_wide.size()) || to_wide != units)
    abort();
  check_text(from_wide.data());
  return 0;
}
