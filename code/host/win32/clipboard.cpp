// The text clipboard on Windows: CF_TEXT through the system clipboard, opened and closed within
// each call.
#include <windows.h>
#include <cstring>

#include "shell.h"

bool clipboard_has_text() {
  return IsClipboardFormatAvailable(CF_TEXT) != 0;
}

INT_U32 get_clipboard_text(char* buffer, INT_U32 size) {
  if (!buffer || size < 1)
    return 0;
  if (!OpenClipboard(NULL))
    return 0;
  INT_U32 result = 0;
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data) {
    const char* text = (const char*)GlobalLock(data);
    if (text) {
      // The clipboard's block may be larger than the text; never read past either.
      SIZE_T available = GlobalSize(data);
      INT_U32 count = 0;
      while (count < size - 1 && count < available && text[count])
        count++;
      memcpy(buffer, text, count);
      buffer[count] = 0;
      GlobalUnlock(data);
      result = 1;
    }
  }
  CloseClipboard();
  return result;
}

void set_clipboard_text(const char* text) {
  if (!text)
    return;
  if (!OpenClipboard(NULL))
    return;
  if (EmptyClipboard()) {
    size_t length = strlen(text) + 1;
    // The clipboard takes moveable memory; it owns the block once SetClipboardData succeeds.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, length);
    if (memory) {
      void* target = GlobalLock(memory);
      bool handed_over = false;
      if (target) {
        memcpy(target, text, length);
        GlobalUnlock(memory);
        handed_over = SetClipboardData(CF_TEXT, memory) != NULL;
      }
      if (!handed_over)
        GlobalFree(memory);
    }
  }
  CloseClipboard();
}
