// Texts in every script that the wizard's fonts hold, each with the lines a reader expects of it in a box
// of the width given (DejaVu Sans at SCRIPT_TEXT_SIZE): the table of the tests of every line breaker.
// Texts are written as characters and stored as the system stores them (Latin-1 bytes, the others in
// runs, a character above U+FFFF as two groups).
#pragma once
#include <string>
#include <vector>

#include "types.h"

const INT_S16 SCRIPT_TEXT_SIZE = 20;

struct SCRIPT_TEXT {
  const char* script;
  std::u32string text;
  INT_S32 box;  // pixels
  std::vector<std::u32string> lines;
};

// Sentences in Latin-1, Greek, Cyrillic, Armenian and Georgian, a mixed line, and words of characters
// beyond U+FFFF, each broken at its spaces alone.
const std::vector<SCRIPT_TEXT>& script_texts();

// Words longer than their box (Cyrillic, and characters beyond U+FFFF), which a breaker cuts between
// characters (no lines given).
const std::vector<SCRIPT_TEXT>& long_words();

// The system's text of the characters.
std::string stored_text(const std::u32string& characters);
// The characters that text reads as (a run open at its start when in_run), at most count (-1: all).
std::u32string characters_read(const char* text, bool in_run, INT_S32 count = -1);
// UTF-8 of the characters, for messages.
std::string utf8_of(const std::u32string& characters);
// The width of the characters in DejaVu Sans (font id font) at SCRIPT_TEXT_SIZE.
INT_S32 script_width(INT_S8 font, const std::u32string& characters);
// Checks that each line but the last is as long as the box allows: the next word (after a space) makes
// it as wide as the box or wider, while every line is narrower. Fails the test where the table does not
// hold for the fonts at hand.
void check_script_table(INT_S8 font, const SCRIPT_TEXT& entry);
