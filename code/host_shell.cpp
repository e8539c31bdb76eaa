// The shell, the part both hosts share: the library's texts copied to and from the clipboard and the
// random strings that may go there. The hosts keep the clipboard itself.
#include "shell.h"

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
