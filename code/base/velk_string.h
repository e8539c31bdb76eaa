// The library's growable 8-bit text (VELK_STRING, stored as a u32 length and the bytes) and the free
// text helpers: conversions, case-insensitive compare and find, accent folding, base64.
#pragma once
#include "types.h"
#include "data_device.h"

// The smallest buffer a string allocates.
const INT_S32 VELK_STRING_MINIMUM_ALLOCATION = 50;

class VELK_STRING : public DATA_DEVICE_CLIENT {
public:
  // The text, or null; null and "" both count as empty. Held with malloc/realloc/free.
  char* text = nullptr;
  INT_S32 capacity = 0;
  INT_S32 minimum_allocation = VELK_STRING_MINIMUM_ALLOCATION;

  VELK_STRING() {}
  // Copies own their text.
  VELK_STRING(const VELK_STRING& other);
  VELK_STRING& operator=(const VELK_STRING& other);
  ~VELK_STRING() override;

  // Length of the text (0 when empty or null).
  INT_S32 length() const;

  // Copies source in; null (or no memory) empties the string.
  VELK_STRING& assign(const char* source);
  // Appends source; a string without a buffer takes it as in assign; null changes nothing.
  VELK_STRING& append(const char* source);
  VELK_STRING& append_int(INT_S32 value);
  VELK_STRING& append_short(INT_S16 value);
  // The number's decimal text replaces the text.
  VELK_STRING& set_int(INT_S32 value);
  VELK_STRING& set_short(INT_S16 value);
  // Frees the buffer.
  void clear();
  // 1 when the buffer holds at least max(n, minimum allocation) bytes afterwards.
  INT_U32 reserve(INT_S32 n);
  // Remove white space at the end / the start; a byte of 0x80 or above stops either.
  void trim_right();
  void trim_left();

  // Index of the first occurrence of needle at or after start (counted from the text's start), or -1.
  INT_S32 find(const VELK_STRING& needle, INT_S32 start, INT_U8 case_sensitive) const;
  // Searches backwards from start (or from the last possible position when start is negative or too
  // large); the index, or -1.
  INT_S32 find_last(const VELK_STRING& needle, INT_S32 start, INT_U8 case_sensitive) const;
  // Replaces the first occurrence of what at or after start by with; 1 when replaced.
  INT_U32 replace(const VELK_STRING& what, const VELK_STRING& with, INT_S32 start);
  // Inserts other before position index (0..length).
  void insert(const VELK_STRING& other, INT_S32 index);
  // Removes characters first..last inclusive; 1 when done.
  INT_U32 delete_range(INT_S32 first, INT_S32 last);
  // Characters first..last inclusive (last -1: to the end); empty for a range outside the text.
  VELK_STRING substring(INT_S32 first, INT_S32 last) const;

  // The text becomes the base64 encoding of size bytes of data.
  void set_base64(const INT_U8* data, INT_S32 size);
  // Decodes the text as base64 into out; with out null or size < 1 only the decoded size.
  INT_S32 decode_base64(INT_U8* out, INT_S32 size) const;
  // Scrambles the text with the library's scrambler and stores it as base64, and back again.
  void scramble();
  void unscramble();

  // Stored form: u32 length (swapped when the device swaps), then the bytes without NUL. A length
  // larger than what is left on the device fails the read with a data error.
  bool get_from_data_device(DATA_DEVICE* device) override;
  bool put_to_data_device(DATA_DEVICE* device) override;

private:
  // Makes room for n bytes (growth rule); false when the buffer cannot be had.
  bool grow(INT_S32 n);
  // Used when an assignment cannot be carried out.
  void empty_out();
};

// Conversions with a default for a missing text.
INT_U32 string_to_unsigned(const char* text, INT_U32 default_value);
double string_to_double(const char* text, double default_value);
// Upper-cases in place.
void string_to_upper(char* text);
// Compares at most count characters ignoring case: 0, -1 or 1.
INT_S32 string_compare_no_case(const char* a, const char* b, INT_U16 count);
// First position of part in text ignoring case, or null.
const char* string_find_no_case(const char* text, const char* part);

// Accent folding of Latin-1 letters to plain ASCII spellings. fold_accented_char returns the folded
// text of c; single characters are written into buffer (a static one when null).
const char* fold_accented_char(INT_U8 c, char* buffer);
// Compares two texts through their folded forms; ignore_case compares the folded pieces ignoring case.
INT_S32 compare_folded(const char* a, const char* b, INT_U8 ignore_case);
// Writes the folded form of source into out (size bytes).
INT_S16 copy_folded(const char* source, char* out, INT_S16 size);

// Standard base64. Encoding returns the encoded length (only the length when out is too small);
// decoding returns the decoded size, -1 for a malformed text.
INT_S32 base64_encode(const INT_U8* data, INT_S32 size, char* out, INT_S32 out_size);
INT_S32 base64_decode(const char* text, INT_U8* out, INT_S32 out_size);

// Wide-character runs: characters above 0xFF travel in 8-bit text as a run: the mark, one group of ','
// and four upper-case hexadecimal digits per 16-bit unit, and the mark again (",%04X" per unit). A run
// still open where the text ends is closed by that end.
#define WIDE_RUN_MARK 0x01

// Reads 8-bit text with runs one 16-bit unit at a time, never past its terminator. Read loosely (as
// text files and the text drawer read it), the mark switches the run and a ',' right after it is
// skipped; inside a run four hexadecimal digits of either case are one unit, and a ',' right after
// them is skipped. Anything else inside a run is damaged: its digits and the first byte that is none
// (never a mark or the end) are passed over as one broken step. Read strictly (names), only the one
// spelling that WIDE_RUN_WRITER gives is taken: a run that is empty or left open, a broken or
// lower-case group, a group of a unit that plain text holds (0x02 to 0xFF, except ',' after another
// group of the run), a run right after a run or a ',' right after one ends the reading and sets bad.
struct WIDE_RUN_READER {
  const unsigned char* text;
  const unsigned char* at;             // the next byte
  const unsigned char* start = nullptr;  // the last unit's own bytes (in a run: its digits)
  bool run;                            // inside a run at the next byte
  bool unit_in_run = false;            // the last unit was a group
  bool strict;
  bool bad = false;                    // strict reading met another spelling
  bool after_comma = false;            // the last bytes read were a skipped ','
  bool later_group = false;            // the run has had a group

  explicit WIDE_RUN_READER(const char* t, bool in_run = false, bool strict_spelling = false)
      : text(reinterpret_cast<const unsigned char*>(t)), at(text), run(in_run), strict(strict_spelling) {}
  // The next unit; false at the end (or, strictly, at another spelling). A broken step yields no
  // unit: it is passed over, or, when broken is given, returned with *broken set.
  bool next(INT_U32* unit, bool* broken = nullptr);
  // The next character: a unit, or a surrogate pair of groups (nothing broken between them) as the one
  // character above 0xFFFF that it spells, its start that of the pair's first group. A layout takes
  // characters, so that it never parts a pair nor draws its halves.
  bool next_character(INT_U32* character) {
    // A plain byte outside a run is its own character: taken here, as most of most texts is.
    if (!run && !bad && *at > WIDE_RUN_MARK) {
      start = at;
      unit_in_run = false;
      *character = *at++;
      return true;
    }
    return next_character_read(character);
  }
  INT_S32 position() const { return (INT_S32)(at - text); }
  INT_S32 start_position() const { return (INT_S32)(start - text); }
  // Goes back or on to a byte of the text, inside a run or not.
  void seek(INT_S32 position, bool in_run) {
    at = text + position;
    run = in_run;
    after_comma = later_group = false;
  }

private:
  bool next_character_read(INT_U32* character);
};

// Writes 16-bit units as 8-bit text with runs in the one spelling into out (size bytes): a unit above
// 0xFF, the mark, and a ',' that would follow a group (which readers skip) go into runs; a character
// above 0xFFFF (up to 0x10FFFF) is two groups, its UTF-16 surrogate pair. Bytes that do not fit set
// full; finish closes an open run and terminates the text.
struct WIDE_RUN_WRITER {
  char* out;
  size_t size, length = 0;
  bool run = false, full = false;

  WIDE_RUN_WRITER(char* o, size_t s) : out(o), size(s) {}
  // Whether the unit goes into a run here (the writer's state decides for ',').
  bool in_run(INT_U32 unit) const { return unit > 0xFF || unit == WIDE_RUN_MARK || (unit == ',' && run); }
  void add(INT_U32 unit);
  // True when everything fitted.
  bool finish();
};

// Names between the system's 8-bit text (Latin-1 bytes, characters above 0xFF in wide-character runs)
// and the hosts' names: UTF-8 bytes on Linux, UTF-16 units on Windows. Each writes a terminated result
// into out (size bytes or units) and fails when it does not fit, or when the text is not the one
// spelling of its name that the conversions back write: a run is the mark 0x01, groups of ',' and four
// upper-case digits, and the mark; a run that is empty or left open, a broken group, a group of a
// character that plain text holds (0x02 to 0xFF, except ',' after another group of the run), a run
// right after another and a ',' right after a run (which text files skip) are refused. So separators,
// points, colons and NUL come only as plain bytes, which checks of names see: the host sees what the
// text shows. Characters above 0xFFFF are two groups (a UTF-16 surrogate pair). Bytes of a Linux name
// that are no UTF-8 each become the group 0xDC00 plus the byte (a lone low surrogate, which UTF-8 never
// holds), and turn back into the same byte; such bytes that together form UTF-8 have no UTF-8 form
// (that name is spelled in its characters). Bytes that form an overlong form of a character (C0 AF)
// turn back as they came from the file system, so that every name listed opens and goes again, but
// has_host_form refuses them. A lone surrogate of any other value has no UTF-8 form. UTF-16 units
// map one to one to bytes and groups.
bool text_to_utf8(const char* text, char* out, size_t size);
bool utf8_to_text(const char* utf8, char* out, size_t size);
bool text_to_utf16(const char* text, INT_U16* out, size_t size);
bool utf16_to_text(const INT_U16* wide, char* out, size_t size);
// Whether both hosts take the text as a name or path (it has a UTF-8 form, and so a UTF-16 one) that
// holds no second spelling of a character either (an overlong form, which a loose reader takes for the
// character: C0 AF for '/'): the check for what comes in (names of a package, typed names). Then a
// check of the text for separators, "." and ".." judges the name the host sees.
bool has_host_form(const char* text);
// A name of one component on both hosts: not empty, not "." or "..", without '/' or '\\', with a
// host form.
bool is_single_name(const char* text);
// Whether Windows takes the name for one of its devices (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM and
// LPT with a digit or a superscript one, two or three), which it opens in any folder: any capitals,
// whatever follows after a dot, spaces before the dot ignored. The name is the system's text.
bool is_windows_device_name(const char* text);
