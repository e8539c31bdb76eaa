// The library's growable text and its stored form, and the free text helpers that the rest of the
// library uses on plain NUL-terminated texts: conversions, case-insensitive compare and find,
// accent folding and base64.
#include "velk_string.h"

#include <cctype>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "errors.h"
#include "random.h"

namespace {

bool is_white(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int lower(char c) {
  return std::tolower(static_cast<unsigned char>(c));
}

// strncmp ignoring case over count bytes.
int compare_n_no_case(const char* a, const char* b, INT_S32 count) {
  for (INT_S32 i = 0; i < count; ++i) {
    int ca = lower(a[i]);
    int cb = lower(b[i]);
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}

// strcmp ignoring case.
int compare_no_case(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = lower(*a);
    int cb = lower(*b);
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// VELK_STRING

VELK_STRING::VELK_STRING(const VELK_STRING& other)
    : DATA_DEVICE_CLIENT(), minimum_allocation(other.minimum_allocation) {
  if (other.text) assign(other.text);
}

VELK_STRING& VELK_STRING::operator=(const VELK_STRING& other) {
  if (this != &other) assign(other.text);
  return *this;
}

VELK_STRING::~VELK_STRING() {
  std::free(text);
  text = nullptr;
  capacity = 0;
}

INT_S32 VELK_STRING::length() const {
  return text ? static_cast<INT_S32>(std::strlen(text)) : 0;
}

bool VELK_STRING::grow(INT_S32 n) {
  INT_S32 wanted = n > minimum_allocation ? n : minimum_allocation;
  if (capacity >= wanted) return true;
  if (wanted < 1) wanted = 1;
  bool fresh = text == nullptr;
  char* grown = static_cast<char*>(std::realloc(text, static_cast<size_t>(wanted)));
  if (!grown) return false;
  if (fresh) grown[0] = 0;
  text = grown;
  capacity = wanted;
  return true;
}

void VELK_STRING::empty_out() {
  if (minimum_allocation == 0) {
    std::free(text);
    text = nullptr;
    capacity = 0;
  } else if (text) {
    text[0] = 0;
  }
}

VELK_STRING& VELK_STRING::assign(const char* source) {
  if (!source) {
    empty_out();
    return *this;
  }
  // A source inside this buffer needs no growth (the buffer already holds it), so it stays valid.
  size_t size = std::strlen(source) + 1;
  if (size > 0x7FFFFFFF || !grow(static_cast<INT_S32>(size))) {
    empty_out();
    return *this;
  }
  std::memmove(text, source, size);
  return *this;
}

VELK_STRING& VELK_STRING::append(const char* source) {
  if (!text) return assign(source);
  if (!source) return *this;
  size_t old_length = std::strlen(text);
  size_t added = std::strlen(source);
  size_t size = old_length + added + 1;
  if (size > 0x7FFFFFFF) return *this;
  INT_S32 wanted = static_cast<INT_S32>(size) > minimum_allocation ? static_cast<INT_S32>(size) : minimum_allocation;
  if (capacity >= wanted) {
    std::memmove(text + old_length, source, added);
    text[old_length + added] = 0;
    return *this;
  }
  // Grown into a fresh buffer, the old one freed last: source may be a piece of this very text.
  char* built = static_cast<char*>(std::malloc(static_cast<size_t>(wanted)));
  if (!built) return *this;
  std::memcpy(built, text, old_length);
  std::memcpy(built + old_length, source, added);
  built[old_length + added] = 0;
  std::free(text);
  text = built;
  capacity = wanted;
  return *this;
}

VELK_STRING& VELK_STRING::append_int(INT_S32 value) {
  char number[16];
  std::snprintf(number, sizeof number, "%d", static_cast<int>(value));
  return append(number);
}

VELK_STRING& VELK_STRING::append_short(INT_S16 value) {
  char number[16];
  std::snprintf(number, sizeof number, "%hd", static_cast<short>(value));
  return append(number);
}

VELK_STRING& VELK_STRING::set_int(INT_S32 value) {
  if (grow(15)) std::snprintf(text, static_cast<size_t>(capacity), "%d", static_cast<int>(value));
  return *this;
}

VELK_STRING& VELK_STRING::set_short(INT_S16 value) {
  if (grow(15)) std::snprintf(text, static_cast<size_t>(capacity), "%hd", static_cast<short>(value));
  return *this;
}

void VELK_STRING::clear() {
  std::free(text);
  text = nullptr;
  capacity = 0;
}

INT_U32 VELK_STRING::reserve(INT_S32 n) {
  return grow(n) ? 1 : 0;
}

void VELK_STRING::trim_right() {
  if (!text) return;
  size_t end = std::strlen(text);
  while (end > 0) {
    unsigned char c = static_cast<unsigned char>(text[end - 1]);
    if (c >= 0x80 || !is_white(c)) break;
    --end;
  }
  text[end] = 0;
}

void VELK_STRING::trim_left() {
  if (!text) return;
  size_t start = 0;
  while (text[start]) {
    unsigned char c = static_cast<unsigned char>(text[start]);
    if (c >= 0x80 || !is_white(c)) break;
    ++start;
  }
  if (start > 0) std::memmove(text, text + start, std::strlen(text + start) + 1);
}

INT_S32 VELK_STRING::find(const VELK_STRING& needle, INT_S32 start, INT_U8 case_sensitive) const {
  INT_S32 text_length = length();
  INT_S32 needle_length = needle.length();
  if (text_length == 0 || needle_length == 0 || start < 0 || start >= text_length) return -1;
  if (case_sensitive) {
    const char* found = std::strstr(text + start, needle.text);
    return found ? static_cast<INT_S32>(found - text) : -1;
  }
  for (INT_S32 at = start; at + needle_length <= text_length; ++at) {
    if (compare_n_no_case(text + at, needle.text, needle_length) == 0) return at;
  }
  return -1;
}

INT_S32 VELK_STRING::find_last(const VELK_STRING& needle, INT_S32 start, INT_U8 case_sensitive) const {
  INT_S32 text_length = length();
  INT_S32 needle_length = needle.length();
  if (text_length == 0 || needle_length == 0) return -1;
  INT_S32 last_possible = text_length - needle_length;
  INT_S32 at = (start < 0 || start >= last_possible) ? last_possible : start;
  for (; at >= 0; --at) {
    int difference = case_sensitive
                         ? std::strncmp(text + at, needle.text, static_cast<size_t>(needle_length))
                         : compare_n_no_case(text + at, needle.text, needle_length);
    if (difference == 0) return at;
  }
  return -1;
}

INT_U32 VELK_STRING::replace(const VELK_STRING& what, const VELK_STRING& with, INT_S32 start) {
  INT_S32 text_length = length();
  INT_S32 what_length = what.length();
  if (what_length == 0 || text_length == 0 || start < 0 || start >= text_length) return 0;
  INT_S32 at = find(what, start, 1);
  if (at < 0) return 0;
  INT_S64 with_length = with.length();
  INT_S64 rest = text_length - at - what_length;
  INT_S64 size = at + with_length + rest + 1;
  if (size < minimum_allocation) size = minimum_allocation;
  if (size > 0x7FFFFFFF) return 0;
  char* built = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
  if (!built) return 0;
  std::memcpy(built, text, static_cast<size_t>(at));
  if (with_length > 0) std::memcpy(built + at, with.text, static_cast<size_t>(with_length));
  std::memcpy(built + at + with_length, text + at + what_length, static_cast<size_t>(rest));
  built[at + with_length + rest] = 0;
  std::free(text);
  text = built;
  capacity = static_cast<INT_S32>(size);
  return 1;
}

void VELK_STRING::insert(const VELK_STRING& other, INT_S32 index) {
  INT_S32 text_length = length();
  if (index < 0 || index > text_length) return;
  INT_S32 other_length = other.length();
  if (other_length == 0) return;
  if (text_length == 0) {
    assign(other.text);
    return;
  }
  INT_S64 size = static_cast<INT_S64>(text_length) + other_length + 1;
  if (size < minimum_allocation) size = minimum_allocation;
  if (size > 0x7FFFFFFF) return;
  char* built = static_cast<char*>(std::malloc(static_cast<size_t>(size)));
  if (!built) return;
  std::memcpy(built, text, static_cast<size_t>(index));
  std::memcpy(built + index, other.text, static_cast<size_t>(other_length));
  std::memcpy(built + index + other_length, text + index, static_cast<size_t>(text_length - index) + 1);
  std::free(text);
  text = built;
  capacity = static_cast<INT_S32>(size);
}

INT_U32 VELK_STRING::delete_range(INT_S32 first, INT_S32 last) {
  INT_S32 text_length = length();
  if (first > last || text_length == 0 || first < 0 || last >= text_length) return 0;
  std::memmove(text + first, text + last + 1, static_cast<size_t>(text_length - last));
  return 1;
}

VELK_STRING VELK_STRING::substring(INT_S32 first, INT_S32 last) const {
  VELK_STRING result;
  INT_S32 text_length = length();
  if (last == -1) last = text_length - 1;
  if (first < 0 || first >= text_length || last < first || last >= text_length) return result;
  INT_S32 count = last - first + 1;
  if (result.grow(count + 1)) {
    std::memcpy(result.text, text + first, static_cast<size_t>(count));
    result.text[count] = 0;
  }
  return result;
}

void VELK_STRING::set_base64(const INT_U8* data, INT_S32 size) {
  if (!data || size <= 0) return;
  INT_S32 encoded = base64_encode(data, size, nullptr, 0);
  INT_S32 wanted = encoded + 1;
  if (wanted < minimum_allocation) wanted = minimum_allocation;
  // Encoded into a fresh buffer, so that data may lie in this string's own text.
  char* built = encoded > 0 ? static_cast<char*>(std::malloc(static_cast<size_t>(wanted))) : nullptr;
  if (built) base64_encode(data, size, built, wanted);
  std::free(text);
  text = built;
  capacity = built ? wanted : 0;
}

INT_S32 VELK_STRING::decode_base64(INT_U8* out, INT_S32 size) const {
  if (length() == 0) return 0;
  if (!out || size < 1) return base64_decode(text, nullptr, 0);
  return base64_decode(text, out, size);
}

void VELK_STRING::scramble() {
  INT_S32 text_length = length();
  if (text_length == 0) return;
  INT_S32 scrambled_size = scramble_text(nullptr, text_length, nullptr, 0);
  if (scrambled_size <= 0) return;
  INT_U8* scrambled = static_cast<INT_U8*>(std::malloc(static_cast<size_t>(scrambled_size)));
  if (!scrambled) return;
  INT_S32 made = scramble_text(reinterpret_cast<const INT_U8*>(text), text_length, scrambled, scrambled_size);
  if (made > 0) set_base64(scrambled, made);
  std::free(scrambled);
}

void VELK_STRING::unscramble() {
  if (length() == 0) return;
  INT_S32 decoded_size = base64_decode(text, nullptr, 0);
  // A scrambled text holds at least its two key bytes; anything shorter is not one.
  if (decoded_size < 2) return;
  INT_U8* decoded = static_cast<INT_U8*>(std::malloc(static_cast<size_t>(decoded_size)));
  if (!decoded) return;
  INT_S32 got = base64_decode(text, decoded, decoded_size);
  if (got >= 2) {
    INT_S32 plain_size = got - 2;
    char* plain = plain_size > 0 ? static_cast<char*>(std::malloc(static_cast<size_t>(plain_size) + 1)) : nullptr;
    if (plain) {
      INT_S32 made = unscramble_text(decoded, static_cast<INT_U32>(got), reinterpret_cast<INT_U8*>(plain), plain_size);
      if (made > 0 && made <= plain_size) {
        plain[made] = 0;
        assign(plain);
      }
      std::free(plain);
    }
  }
  std::free(decoded);
}

bool VELK_STRING::put_to_data_device(DATA_DEVICE* device) {
  INT_U32 text_length = static_cast<INT_U32>(length());
  if (!device->write_u32(text_length)) return false;
  if (text_length == 0) return true;
  // A partly written text is a failed write, not a stored one.
  INT_S32 written = device->write(text, static_cast<INT_S32>(text_length));
  device->failed = written != static_cast<INT_S32>(text_length);
  return !device->failed;
}

bool VELK_STRING::get_from_data_device(DATA_DEVICE* device) {
  empty_out();
  INT_U32 stored_length = 0;
  if (!device->read_u32(&stored_length)) return false;
  if (stored_length == 0) return true;
  // A length beyond what the device still holds (a negative one included) is damaged data: fail
  // before allocating anything for it.
  if (static_cast<INT_S32>(stored_length) < 0 || stored_length > device->bytes_left()) {
    device->failed = 1;
    set_error(DATA_ERROR_READ, "stored text");
    return false;
  }
  if (!grow(static_cast<INT_S32>(stored_length) + 1)) {
    device->failed = 1;
    return false;
  }
  INT_S32 got = device->read(text, static_cast<INT_S32>(stored_length));
  if (got != static_cast<INT_S32>(stored_length)) {
    empty_out();
    device->failed = 1;
    set_error(DATA_ERROR_READ, "stored text");
    return false;
  }
  text[stored_length] = 0;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Free text helpers

INT_U32 string_to_unsigned(const char* text, INT_U32 default_value) {
  if (!text) return default_value;
  return static_cast<INT_U32>(std::strtoul(text, nullptr, 10));
}

double string_to_double(const char* text, double default_value) {
  if (!text) return default_value;
  return std::strtod(text, nullptr);
}

void string_to_upper(char* text) {
  if (!text) return;
  for (; *text; ++text) *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

INT_S32 string_compare_no_case(const char* a, const char* b, INT_U16 count) {
  // The count is read as a signed 16-bit number; the first pair is compared whatever it says.
  INT_S16 limit = static_cast<INT_S16>(count);
  INT_S16 matched = 0;
  for (;;) {
    int ca = lower(*a);
    int cb = lower(*b);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
    ++matched;
    if (matched >= limit) return 0;
    ++a;
    ++b;
  }
}

const char* string_find_no_case(const char* text, const char* part) {
  if (!text || !*text) return nullptr;
  if (!part || !*part) return text;
  for (; *text; ++text) {
    const char* t = text;
    const char* p = part;
    while (*t && *p && std::toupper(static_cast<unsigned char>(*t)) == std::toupper(static_cast<unsigned char>(*p))) {
      ++t;
      ++p;
    }
    if (!*p) return text;
    if (!*t) return nullptr;
  }
  return nullptr;
}

// Accent folding of the Latin-1 letters 0xC0 to 0xFE; every other byte of 0x80 and above is "?".
namespace {

const char* const folded_letters[0xFF - 0xC0] = {
    "A", "A", "A", "A", "A", "A", "AE", "C",  // C0-C7
    "E", "E", "E", "E", "I", "I", "I", "I",   // C8-CF
    "D", "N", "O", "O", "O", "O", "O", "?",   // D0-D7
    "O", "U", "U", "U", "U", "YSS", "?", "?", // D8-DF
    "a", "a", "a", "a", "a", "a", "ae", "c",  // E0-E7
    "e", "e", "e", "e", "i", "i", "i", "i",   // E8-EF
    "d", "n", "o", "o", "o", "o", "o", "?",   // F0-F7
    "o", "u", "u", "u", "u", "y", "p",        // F8-FE
};

}  // namespace

const char* fold_accented_char(INT_U8 c, char* buffer) {
  static char single[2];
  if (c >= 0xC0 && c <= 0xFE) {
    const char* folded = folded_letters[c - 0xC0];
    if (folded[1] != 0 || folded[0] != '?') return folded;
  }
  if (!buffer) buffer = single;
  buffer[0] = c < 0x80 ? static_cast<char>(c) : '?';
  buffer[1] = 0;
  return buffer;
}

INT_S32 compare_folded(const char* a, const char* b, INT_U8 ignore_case) {
  bool a_empty = !a || !*a;
  bool b_empty = !b || !*b;
  if (a_empty && b_empty) return 0;
  if (a_empty) return -1;
  if (b_empty) return 1;
  char buffer_a[2];
  char buffer_b[2];
  for (; *a; ++a) {
    const char* piece_a = fold_accented_char(static_cast<INT_U8>(*a), buffer_a);
    const char* piece_b = *b ? fold_accented_char(static_cast<INT_U8>(*b), buffer_b) : "";
    int difference = ignore_case ? compare_no_case(piece_a, piece_b) : std::strcmp(piece_a, piece_b);
    if (difference != 0) return static_cast<INT_S16>(difference);
    if (*b) ++b;
  }
  return *b ? -1 : 0;
}

INT_S16 copy_folded(const char* source, char* out, INT_S16 size) {
  if (!out) return 1;
  if (!source) return 0;
  if (size < 1) return 0;
  out[0] = 0;
  INT_S32 out_length = 0;
  INT_S16 copied = 0;
  char buffer[2];
  for (; *source; ++source) {
    const char* piece = fold_accented_char(static_cast<INT_U8>(*source), buffer);
    INT_S32 piece_length = static_cast<INT_S32>(std::strlen(piece));
    // Stop while there is still room for the longest piece and the NUL.
    if (out_length >= size - 3) return static_cast<INT_S16>(out_length);
    std::memcpy(out + out_length, piece, static_cast<size_t>(piece_length) + 1);
    out_length += piece_length;
    ++copied;
  }
  return copied;
}

namespace {

const char base64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a base64 character, -1 outside the alphabet (the pad included).
int base64_value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

INT_S32 base64_encode(const INT_U8* data, INT_S32 size, char* out, INT_S32 out_size) {
  if (size <= 0) {
    if (out && out_size >= 1) out[0] = 0;
    return 0;
  }
  INT_S64 encoded = 4 * ((static_cast<INT_S64>(size) + 2) / 3);
  if (encoded >= 0x7FFFFFFF) return 0;  // no text that large can be held
  if (!out || !data || out_size < encoded + 1) return static_cast<INT_S32>(encoded);
  INT_S32 o = 0;
  for (INT_S32 i = 0; i < size; i += 3) {
    INT_U32 group = static_cast<INT_U32>(data[i]) << 16;
    INT_S32 present = size - i >= 3 ? 3 : size - i;
    if (present > 1) group |= static_cast<INT_U32>(data[i + 1]) << 8;
    if (present > 2) group |= data[i + 2];
    out[o++] = base64_alphabet[(group >> 18) & 63];
    out[o++] = base64_alphabet[(group >> 12) & 63];
    out[o++] = present > 1 ? base64_alphabet[(group >> 6) & 63] : '=';
    out[o++] = present > 2 ? base64_alphabet[group & 63] : '=';
  }
  out[o] = 0;
  return static_cast<INT_S32>(encoded);
}

INT_S32 base64_decode(const char* text, INT_U8* out, INT_S32 out_size) {
  if (!text) return -1;
  size_t text_length = std::strlen(text);
  if (text_length % 4 != 0) return -1;
  if (text_length == 0) return 0;
  if (text_length / 4 * 3 > 0x7FFFFFFF) return -1;
  // The standard size: three bytes per group, less one per trailing pad.
  INT_S32 decoded = static_cast<INT_S32>(text_length / 4 * 3);
  if (text[text_length - 1] == '=') {
    --decoded;
    if (text[text_length - 2] == '=') --decoded;
  }
  if (!out || out_size < decoded) return decoded;
  INT_S32 o = 0;
  for (size_t i = 0; i < text_length; i += 4) {
    if (text[i] == 0 || text[i] == '\r') break;
    int v0 = base64_value(static_cast<unsigned char>(text[i]));
    int v1 = base64_value(static_cast<unsigned char>(text[i + 1]));
    if (v0 < 0 || v1 < 0) return -1;
    bool pad2 = text[i + 2] == '=';
    bool pad3 = text[i + 3] == '=';
    int v2 = pad2 ? 0 : base64_value(static_cast<unsigned char>(text[i + 2]));
    int v3 = pad3 ? 0 : base64_value(static_cast<unsigned char>(text[i + 3]));
    // A pad only ends a text: "=" in third place needs one in fourth, and nothing may follow.
    if (v2 < 0 || v3 < 0 || (pad2 && !pad3)) return -1;
    INT_U32 group = (static_cast<INT_U32>(v0) << 18) | (static_cast<INT_U32>(v1) << 12) |
                    (static_cast<INT_U32>(v2) << 6) | static_cast<INT_U32>(v3);
    out[o++] = static_cast<INT_U8>(group >> 16);
    if (!pad2) out[o++] = static_cast<INT_U8>(group >> 8);
    if (!pad3) out[o++] = static_cast<INT_U8>(group);
    // A group that ends in a pad ends the text.
    if (pad3) break;
  }
  return o;
}

// ---------------------------------------------------------------------------------------------
// Names between the system's text and the hosts' encodings

// A digit of a group: upper case only, as groups are written, or of either case.
static int hex_digit(unsigned char c, bool lower_too) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (lower_too && c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool WIDE_RUN_READER::next(INT_U32* unit, bool* broken) {
  if (broken) *broken = false;
  if (bad) return false;
  for (;;) {
    if (!*at) {
      bad = strict && run;
      return false;
    }
    if (*at == WIDE_RUN_MARK) {
      at++;
      run = !run;
      // Strictly, a run opens before a ',' and closes after a group, and neither a mark nor a ','
      // follows its end.
      if (strict && (run ? *at != ',' : after_comma || *at == WIDE_RUN_MARK || *at == ','))
        return bad = true, false;
      after_comma = *at == ',';
      if (after_comma) at++;
      later_group = false;
      continue;
    }
    if (!run) {
      start = at;
      unit_in_run = false;
      *unit = *at++;
      return true;
    }
    INT_U32 value = 0;
    int digits = 0;
    for (int digit; digits < 4 && (digit = hex_digit(at[digits], !strict)) >= 0; digits++)
      value = value * 16 + (INT_U32)digit;
    if (digits < 4) {
      if (strict) return bad = true, false;
      at += digits;
      if (*at && *at != WIDE_RUN_MARK) at++;
      after_comma = false;
      if (!broken) continue;
      *unit = 0;
      return *broken = true, true;
    }
    if (strict && (!after_comma || (value <= 0xFF && value != WIDE_RUN_MARK && !(later_group && value == ','))))
      return bad = true, false;
    start = at;
    unit_in_run = true;
    later_group = true;
    at += 4;
    after_comma = *at == ',';
    if (after_comma) at++;
    *unit = value;
    return true;
  }
}

bool WIDE_RUN_READER::next_character_read(INT_U32* character) {
  if (!next(character)) return false;
  if (*character < 0xD800 || *character > 0xDBFF) return true;
  WIDE_RUN_READER after = *this;
  INT_U32 low;
  bool broken;
  if (after.next(&low, &broken) && !broken && low >= 0xDC00 && low <= 0xDFFF) {
    after.start = start;
    *this = after;
    *character = 0x10000 + ((*character - 0xD800) << 10) + (low - 0xDC00);
  }
  return true;
}

void WIDE_RUN_WRITER::add(INT_U32 unit) {
  if (unit > 0xFFFF) {
    add(0xD800 + ((unit - 0x10000) >> 10));
    return add(0xDC00 + ((unit - 0x10000) & 0x3FF));
  }
  auto put = [this](char c) {
    if (length + 1 < size) out[length++] = c;
    else full = true;
  };
  bool wide = in_run(unit);
  if (wide != run) put(WIDE_RUN_MARK);
  run = wide;
  if (!wide) return put((char)unit);
  static const char digits[] = "0123456789ABCDEF";
  put(',');
  for (int shift = 12; shift >= 0; shift -= 4) put(digits[(unit >> shift) & 15]);
}

bool WIDE_RUN_WRITER::finish() {
  if (run && length + 1 < size) out[length++] = WIDE_RUN_MARK;
  else if (run) full = true;
  run = false;
  if (size) out[length] = 0;
  return size && !full;
}

namespace {

// The continuation bytes that a byte announces as the lead of a UTF-8 sequence (1 to 3); 0 for a
// byte that leads none.
int announced_count(unsigned char lead) {
  if (lead < 0xC0 || lead > 0xF7) return 0;
  return lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
}

// A lead byte followed by the continuation bytes it announces: their count and the value they spell,
// whatever UTF-8 allows of it; 0 when the bytes have no such shape.
int utf8_shape(const unsigned char* text, INT_U32* value) {
  int count = announced_count(text[0]);
  if (!count) return 0;
  INT_U32 spelled = text[0] & (0x3Fu >> count);
  for (int i = 1; i <= count; i++) {
    if ((text[i] & 0xC0) != 0x80) return 0;
    spelled = (spelled << 6) | (text[i] & 0x3F);
  }
  *value = spelled;
  return count;
}

const INT_U32 least_value[4] = {0, 0x80, 0x800, 0x10000};

bool is_surrogate(INT_U32 value) { return value >= 0xD800 && value <= 0xDFFF; }

// The length of the well-formed UTF-8 sequence at text and its character; 0 when there is none
// (overlong forms, surrogates and values past 0x10FFFF are not UTF-8).
int utf8_sequence(const unsigned char* text, INT_U32* character) {
  if (text[0] < 0x80) return *character = text[0], 1;
  INT_U32 value = 0;
  int count = utf8_shape(text, &value);
  if (!count || value < least_value[count] || value > 0x10FFFF || is_surrogate(value)) return 0;
  *character = value;
  return count + 1;
}

// What the continuation byte at end of bytes completes with the bytes before it: well-formed UTF-8
// (a character), an overlong form of a character, or neither. Bytes kept as they are (escaped) may
// never form a character, so that the name has no second spelling in real characters.
enum BYTE_FORM { NO_FORM, CHARACTER_FORM, OVERLONG_FORM };

BYTE_FORM completed_form(const unsigned char* bytes, size_t end) {
  for (size_t back = 1; back <= 3 && back <= end; back++) {
    unsigned char byte = bytes[end - back];
    if ((byte & 0xC0) == 0x80) continue;
    INT_U32 value = 0;
    if (announced_count(byte) != (int)back || utf8_shape(bytes + end - back, &value) != (int)back) return NO_FORM;
    if (value < least_value[back]) return OVERLONG_FORM;
    return value <= 0x10FFFF && !is_surrogate(value) ? CHARACTER_FORM : NO_FORM;
  }
  return NO_FORM;
}

bool is_high_surrogate(INT_U32 unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(INT_U32 unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// text_to_utf8, which with overlong_allowed also takes escaped bytes that form an overlong form.
bool convert_to_utf8(const char* text, char* out, size_t size, bool overlong_allowed) {
  if (!text || !out || size == 0) return false;
  // A text of plain ASCII, as most paths are, is its own UTF-8.
  size_t plain = 0;
  while (static_cast<unsigned char>(text[plain]) > WIDE_RUN_MARK && static_cast<unsigned char>(text[plain]) < 0x80)
    plain++;
  if (!text[plain]) {
    if (plain >= size) return false;
    std::memcpy(out, text, plain + 1);
    return true;
  }
  WIDE_RUN_READER units(text, false, true);
  size_t length = 0;
  INT_U32 unit = 0, next = 0;
  while (units.next(&unit)) {
    INT_U32 character = unit;
    unsigned char bytes[4];
    int count;
    bool escaped = false;  // a byte that is no UTF-8, written as it is
    if (is_high_surrogate(unit)) {
      if (!units.next(&next) || !is_low_surrogate(next)) return false;
      character = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
    } else if (is_low_surrogate(unit)) {
      if (unit < 0xDC80 || unit > 0xDCFF) return false;
      escaped = true;
    }
    if (escaped) bytes[0] = (unsigned char)(unit & 0xFF), count = 1;
    else if (character < 0x80) bytes[0] = (unsigned char)character, count = 1;
    else if (character < 0x800) {
      bytes[0] = (unsigned char)(0xC0 | (character >> 6));
      bytes[1] = (unsigned char)(0x80 | (character & 0x3F));
      count = 2;
    } else if (character < 0x10000) {
      bytes[0] = (unsigned char)(0xE0 | (character >> 12));
      bytes[1] = (unsigned char)(0x80 | ((character >> 6) & 0x3F));
      bytes[2] = (unsigned char)(0x80 | (character & 0x3F));
      count = 3;
    } else {
      bytes[0] = (unsigned char)(0xF0 | (character >> 18));
      bytes[1] = (unsigned char)(0x80 | ((character >> 12) & 0x3F));
      bytes[2] = (unsigned char)(0x80 | ((character >> 6) & 0x3F));
      bytes[3] = (unsigned char)(0x80 | (character & 0x3F));
      count = 4;
    }
    if (length + (size_t)count >= size) return false;
    std::memcpy(out + length, bytes, (size_t)count);
    length += (size_t)count;
    if (escaped) {
      BYTE_FORM form = completed_form(reinterpret_cast<unsigned char*>(out), length - 1);
      if (form == CHARACTER_FORM || (form == OVERLONG_FORM && !overlong_allowed)) return false;
    }
  }
  out[length] = 0;
  return !units.bad;
}

}  // namespace

bool text_to_utf8(const char* text, char* out, size_t size) { return convert_to_utf8(text, out, size, true); }

bool utf8_to_text(const char* utf8, char* out, size_t size) {
  if (!utf8 || !out) return false;
  WIDE_RUN_WRITER writer(out, size);
  const unsigned char* at = reinterpret_cast<const unsigned char*>(utf8);
  while (*at && !writer.full) {
    INT_U32 character = 0;
    int count = utf8_sequence(at, &character);
    if (count == 0) {
      writer.add(0xDC00 | *at++);  // not UTF-8: the byte itself, escaped
      continue;
    }
    at += count;
    writer.add(character);
  }
  return writer.finish();
}

bool text_to_utf16(const char* text, INT_U16* out, size_t size) {
  if (!text || !out || size == 0) return false;
  WIDE_RUN_READER units(text, false, true);
  size_t length = 0;
  INT_U32 unit = 0;
  while (units.next(&unit)) {
    if (length + 1 >= size) return false;
    out[length++] = (INT_U16)unit;
  }
  out[length] = 0;
  return !units.bad;
}

bool utf16_to_text(const INT_U16* wide, char* out, size_t size) {
  if (!wide || !out) return false;
  WIDE_RUN_WRITER writer(out, size);
  for (; *wide && !writer.full; wide++) writer.add(*wide);
  return writer.finish();
}

bool has_host_form(const char* text) {
  if (!text) return false;
  const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
  while (*at > WIDE_RUN_MARK && *at < 0x80) at++;
  if (!*at) return true;
  // Each byte of the text gives at most two bytes of UTF-8.
  size_t size = 2 * std::strlen(text) + 1;
  char* converted = static_cast<char*>(std::malloc(size));
  bool converts = converted && convert_to_utf8(text, converted, size, false);
  std::free(converted);
  return converts;
}

bool is_single_name(const char* text) {
  if (!text || !text[0] || std::strcmp(text, ".") == 0 || std::strcmp(text, "..") == 0) return false;
  return !std::strpbrk(text, "/\\") && has_host_form(text);
}

bool is_windows_device_name(const char* text) {
  if (!text) return false;
  size_t length = 0;
  while (text[length] && text[length] != '.') length++;
  while (length > 0 && text[length - 1] == ' ') length--;
  if (length < 3 || length > 7) return false;
  char upper[8];
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    upper[i] = c < 0x80 ? (char)std::toupper(c) : '?';  // no device name holds more than ASCII but its number
  }
  upper[length] = 0;
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (std::strcmp(upper, device) == 0) return true;
  // COM and LPT with a digit, or a superscript one, two or three (Latin-1 0xB9, 0xB2, 0xB3).
  unsigned char number = static_cast<unsigned char>(text[3]);
  return length == 4 && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0) &&
         ((number >= '0' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3);
}
