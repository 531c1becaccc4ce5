// Scanning primitives: blanks, comments, name characters, keyword literals and
// the walks that pass over statements and parenthesised lists unexecuted.
// None of them executes anything or records a fault, and none passes the NUL
// that ends the text.
#pragma once
#include <array>
#include <string_view>

#include "core/memory.h"

namespace vorla {

// Letters, digits and '_' (on bytes, independent of any locale).
inline constexpr std::array<bool, 256> kNameChars = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; c++) {
    table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return table;
}();
inline bool IsNameChar(uint8_t c) { return kNameChars[c]; }

// Every byte from 1 to 32 is a blank; NUL ends the text.
inline bool IsBlank(uint8_t c) { return c >= 1 && c <= 32; }

// Moves over blanks and '#' comments (a comment runs to its CR). Most calls
// stand on a character that is neither, or on one space before one, and are
// done at once.
void SkipBlanksAndComments(TextPosition& p);
inline bool EndsBlanks(uint8_t c) { return c > 32 && c != '#'; }
inline void SkipBlanks(TextPosition& p) {
  uint8_t c = PeekText(p);
  if (EndsBlanks(c)) return;
  if (c == ' ' && EndsBlanks(PeekText(p + 1))) {
    p++;
    return;
  }
  SkipBlanksAndComments(p);
}

// Whether the text at p spells the whole literal; the caller has already seen
// its first character. The position does not move.
bool MatchKeyword(TextPosition p, std::string_view literal);

// "var" or "else" followed by one blank byte.
bool MatchKeywordAndBlank(TextPosition p, std::string_view literal);

// Passes over one statement (up to its first ';') or one brace block. Answers
// false when the text ended first; p then stands on the NUL.
bool SkipStatement(TextPosition& p);

// From just inside an opened '(', moves just past the ')' that closes it.
// Answers false when the text ended first; p then stands on the NUL.
bool SkipToCloseParen(TextPosition& p);

// Moves one character on, but never past the NUL.
inline void StepOne(TextPosition& p) {
  if (PeekText(p) != 0) p++;
}

}  // namespace vorla
