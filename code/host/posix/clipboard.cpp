// The text clipboard on Linux: a clipboard private to this process. The X selection would need a
// window serving requests from its event loop, which a headless run does not have.
#include <cstring>
#include <string>

#include "shell.h"

static std::string clipboard_text;
static bool clipboard_holds_text = false;

bool clipboard_has_text() {
  return clipboard_holds_text;
}

INT_U32 get_clipboard_text(char* buffer, INT_U32 size) {
  if (!buffer || size < 1 || !clipboard_holds_text)
    return 0;
  size_t count = clipboard_text.size();
  if (count > size - 1)
    count = size - 1;
  memcpy(buffer, clipboard_text.data(), count);
  buffer[count] = 0;
  return 1;
}

void set_clipboard_text(const char* text) {
  if (!text)
    return;
  clipboard_text = text;
  clipboard_holds_text = true;
}
