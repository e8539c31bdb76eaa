// The table of texts in every script the wizard's fonts hold, with the lines a reader expects of each.
#include "script_texts.h"

#include <gtest/gtest.h>

#include "text_draw.h"
#include "velk_string.h"

const std::vector<SCRIPT_TEXT>& script_texts() {
  static const std::vector<SCRIPT_TEXT> table = {
      {"Latin-1",
       U"Lizenz: Die Software ist frei, Sie dürfen sie kopieren, ändern und weitergeben, ohne Gewähr.",
       300,
       {U"Lizenz: Die Software ist frei, Sie", U"dürfen sie kopieren, ändern und", U"weitergeben, ohne Gewähr."}},
      {"Greek",
       U"Άδεια: το πρόγραμμα είναι ελεύθερο, μπορείτε να το αντιγράψετε και να το αλλάξετε χωρίς εγγύηση.",
       300,
       {U"Άδεια: το πρόγραμμα είναι ελεύθερο,", U"μπορείτε να το αντιγράψετε και να το", U"αλλάξετε χωρίς εγγύηση."}},
      {"Cyrillic",
       U"Лицензия: программа свободна, её можно копировать, менять и распространять, без гарантий.",
       300,
       {U"Лицензия: программа свободна, её", U"можно копировать, менять и", U"распространять, без гарантий."}},
      {"Armenian",
       U"Արտոնագիր. ծրագիրը ազատ է, այն կարելի է պատճենել, փոխել և տարածել առանց երաշխիքի։",
       300,
       {U"Արտոնագիր. ծրագիրը ազատ է, այն", U"կարելի է պատճենել, փոխել և", U"տարածել առանց երաշխիքի։"}},
      {"Georgian",
       U"ლიცენზია: პროგრამა თავისუფალია, მისი კოპირება, შეცვლა და გავრცელება შეიძლება გარანტიის გარეშე.",
       300,
       {U"ლიცენზია: პროგრამა თავისუფალია,", U"მისი კოპირება, შეცვლა და", U"გავრცელება შეიძლება გარანტიის",
        U"გარეშე."}},
      {"mixed",
       U"Ελληνικά, русский, Հայերեն, ქართული und Grüße: 𝔸 — всё вместе.",
       300,
       {U"Ελληνικά, русский, Հայերեն,", U"ქართული und Grüße: 𝔸 — всё", U"вместе."}},
      {"beyond U+FFFF", U"𝔸𝔹 𐌀𐌁𐌂 𝔸 𐌃𐌄 𝔹𝔸𝔹", 60, {U"𝔸𝔹 𐌀𐌁𐌂", U"𝔸 𐌃𐌄", U"𝔹𝔸𝔹"}},
  };
  return table;
}

const std::vector<SCRIPT_TEXT>& long_words() {
  static const std::vector<SCRIPT_TEXT> table = {
      {"Cyrillic word", U"Достопримечательность", 80, {}},
      {"word beyond U+FFFF", U"𝔸𝔹𝔸𝔹𝔸𝔹𝔸𝔹𝔸𝔹", 40, {}},
  };
  return table;
}

std::string stored_text(const std::u32string& characters) {
  std::vector<char> out(characters.size() * 12 + 2);
  WIDE_RUN_WRITER writer(out.data(), out.size());
  for (char32_t character : characters) writer.add((INT_U32)character);
  EXPECT_TRUE(writer.finish());
  return out.data();
}

std::u32string characters_read(const char* text, bool in_run, INT_S32 count) {
  std::u32string characters;
  WIDE_RUN_READER reader(text, in_run);
  INT_U32 character;
  while ((count < 0 || (INT_S32)characters.size() < count) && reader.next_character(&character))
    characters += (char32_t)character;
  return characters;
}

std::string utf8_of(const std::u32string& characters) {
  std::string text = stored_text(characters);
  std::string utf8(text.size() * 2 + 1, '\0');
  if (!text_to_utf8(text.c_str(), &utf8[0], utf8.size())) return "(no UTF-8)";
  return utf8.c_str();
}

INT_S32 script_width(INT_S8 font, const std::u32string& characters) {
  return text_width(nullptr, font, SCRIPT_TEXT_SIZE, SCRIPT_TEXT_SIZE, stored_text(characters).c_str(), -1, false);
}

void check_script_table(INT_S8 font, const SCRIPT_TEXT& entry) {
  for (size_t k = 0; k < entry.lines.size(); k++) {
    const std::u32string& line = entry.lines[k];
    EXPECT_LT(script_width(font, line), entry.box) << entry.script << ": line " << k << " is too wide for the table";
    if (k + 1 == entry.lines.size()) break;
    const std::u32string& next = entry.lines[k + 1];
    std::u32string word = next.substr(0, next.find(U' '));
    EXPECT_GE(script_width(font, line + U" " + word), entry.box)
        << entry.script << ": line " << k << " could take a word more";
  }
}
