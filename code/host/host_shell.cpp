// The shell, the part both hosts share: the library's texts copied to and from the clipboard and the
// random strings that may go there. The hosts keep the clipboard itself.
#include "shell.h"

#include "random.h"
#include "velk_string.h"

void copy_to_clipboard(const VELK_STRING& text) { set_clipboard_text(text.text); }

void paste_from_clipboard(VELK_STRING* text) {
  if (!text || !clipboard_has_text()) return;
  char pasted[1024];
  if (!get_clipboard_text(pasted, sizeof pasted)) return;
  pasted[sizeof pasted - 1] = 0;
  text->clear();
  text->assign(pasted);
}

char* make_random_string(INT_S16 minimum_length, INT_S32 maximum_length, INT_U8 flags, char* out) {
  static char buffer[257];
  if (maximum_length > 256) maximum_length = 256;
  if (minimum_length < 4 || minimum_length > maximum_length) return nullptr;
  if ((flags & RANDOM_STRING_NEED_UPPER) && !(flags & RANDOM_STRING_UPPER)) return nullptr;
  if ((flags & RANDOM_STRING_NEED_DIGIT) && !(flags & RANDOM_STRING_DIGITS)) return nullptr;
  if (!out) out = buffer;

  INT_S32 length = random_range(minimum_length, maximum_length + 1);
  for (;;) {
    bool has_upper = false, has_digit = false;
    for (INT_S32 i = 0; i < length; ++i) {
      for (;;) {
        INT_S32 c = random_range(32, 127);
        bool lower = c >= 'a' && c <= 'z';
        bool upper = c >= 'A' && c <= 'Z';
        bool digit = c >= '0' && c <= '9';
        if (lower || (upper && (flags & RANDOM_STRING_UPPER)) || (digit && (flags & RANDOM_STRING_DIGITS))) {
          has_upper = has_upper || upper;
          has_digit = has_digit || digit;
          out[i] = static_cast<char>(c);
          break;
        }
      }
    }
    if ((flags & RANDOM_STRING_NEED_UPPER) && !has_upper) continue;
    if ((flags & RANDOM_STRING_NEED_DIGIT) && !has_digit) continue;
    break;
  }
  out[length] = 0;
  if (flags & RANDOM_STRING_CLIPBOARD) set_clipboard_text(out);
  return out;
}
