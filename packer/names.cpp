// The packer's rules for names: the UTF-8 that the description and the names of the tree are written
// in, the names that Windows or Linux cannot hold, and the form under which Windows compares two names
// (without regard to case), so that two files of one folder never arrive as one.
#include <cstdio>
#include <locale>
#include <stdexcept>

#include "packer_private.h"
#include "velk_string.h"

namespace package_builder {

// The character at text[at] and the bytes it takes (0 when no well-formed UTF-8 begins there).
static size_t decode_utf8(const std::string& text, size_t at, INT_U32* character) {
  INT_U8 first = (INT_U8)text[at];
  if (first < 0x80) {
    *character = first;
    return 1;
  }
  size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
  if (!length || first > 0xF4 || at + length > text.size()) return 0;
  INT_U32 value = first & (0x7F >> length);
  for (size_t i = 1; i < length; i++) {
    INT_U8 next = (INT_U8)text[at + i];
    if ((next & 0xC0) != 0x80) return 0;
    value = value << 6 | (next & 0x3F);
  }
  // Overlong forms, surrogates and characters past U+10FFFF are no UTF-8.
  static const INT_U32 smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  *character = value;
  return length;
}

static void encode_utf8(INT_U32 character, std::string* out) {
  if (character < 0x80) {
    *out += (char)character;
  } else if (character < 0x800) {
    *out += (char)(0xC0 | character >> 6);
    *out += (char)(0x80 | (character & 0x3F));
  } else if (character < 0x10000) {
    *out += (char)(0xE0 | character >> 12);
    *out += (char)(0x80 | (character >> 6 & 0x3F));
    *out += (char)(0x80 | (character & 0x3F));
  } else {
    *out += (char)(0xF0 | character >> 18);
    *out += (char)(0x80 | (character >> 12 & 0x3F));
    *out += (char)(0x80 | (character >> 6 & 0x3F));
    *out += (char)(0x80 | (character & 0x3F));
  }
}

size_t utf8_error_at(const std::string& text) {
  INT_U32 character;
  for (size_t at = 0; at < text.size();) {
    size_t length = decode_utf8(text, at, &character);
    if (!length) return at;
    at += length;
  }
  return std::string::npos;
}

// Whether the UTF-8 name is one of Windows's devices, which no file can have.
static bool device_name(const std::string& name) {
  std::vector<char> text(8 * name.size() + 8);
  return utf8_to_text(name.c_str(), text.data(), text.size()) && is_windows_device_name(text.data());
}

std::string name_problem(const std::string& name) {
  char text[160];
  size_t bad = utf8_error_at(name);
  if (bad != std::string::npos) {
    std::snprintf(text, sizeof text, "its name is not UTF-8 (the byte 0x%02X), which Windows names are written in",
                  (unsigned)(INT_U8)name[bad]);
    return text;
  }
  if (name.size() > 255)
    return "its name is " + std::to_string(name.size()) + " bytes long in UTF-8; a Linux name holds 255";
  for (char c : name) {
    if ((INT_U8)c < 0x20) {
      std::snprintf(text, sizeof text, "its name holds the control character 0x%02X, which Windows does not allow",
                    (unsigned)(INT_U8)c);
      return text;
    }
    if (c == '\\') return "the name holds '\\', which separates folders on Windows";
    if (std::string("\"*:<>?|").find(c) != std::string::npos)
      return std::string("its name holds '") + c + "', which Windows does not allow in a name";
  }
  if (name.back() == '.' || name.back() == ' ')
    return std::string("its name ends with a ") + (name.back() == '.' ? "dot" : "space") + ", which Windows drops";
  if (device_name(name)) return "its name is a device of Windows (" + name.substr(0, name.find('.')) + ")";
  return std::string();
}

// The capital of a letter, as Windows compares names: by the simple case mappings of Unicode, which the
// C.UTF-8 locale's character classes hold (Latin with Vietnamese, Greek, Cyrillic, Armenian, full-width
// letters ...). Without that locale, the Latin-1 letters at least.
static INT_U32 capital(INT_U32 c) {
  static const std::ctype<wchar_t>* letters = []() -> const std::ctype<wchar_t>* {
    try {
      static const std::locale unicode("C.UTF-8");
      return &std::use_facet<std::ctype<wchar_t>>(unicode);
    } catch (const std::runtime_error&) {
      return nullptr;
    }
  }();
  if (letters && sizeof(wchar_t) >= 4) return (INT_U32)letters->toupper((wchar_t)c);
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  return c;
}

std::string windows_name_key(const std::string& name) {
  std::string key;
  INT_U32 character;
  for (size_t at = 0; at < name.size();) {
    size_t length = decode_utf8(name, at, &character);
    if (!length) {
      key += name[at++];
      continue;
    }
    encode_utf8(capital(character), &key);
    at += length;
  }
  return key;
}

bool is_hold_name(const std::string& name) {
  std::string key = windows_name_key(name);
  while (!key.empty() && (key.back() == '.' || key.back() == ' ')) key.pop_back();
  return key == windows_name_key(FOLDER_HOLD_NAME);
}

}  // namespace package_builder
