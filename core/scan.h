// Scanning primitives: what the text spells at a position. Blanks, comments,
// name characters, keyword literals, operators and literals, and the walks
// that pass over a statement, a block or a parenthesised list unexecuted.
// None of them executes anything or records a fault, and none passes the NUL
// that ends the text.
#pragma once
#include <array>
#include <string_view>

#include "core/chars.h"
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
inline bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Every byte from 1 to 32 is a blank; NUL ends the text.
inline bool IsBlank(uint8_t c) { return c >= 1 && c <= 32; }
inline bool EndsBlanks(uint8_t c) { return c > 32 && c != '#'; }

// Moves over blanks and '#' comments; a comment runs to its CR. Most calls
// stand on a character that is neither, and are done at once.
void SkipLongBlanks(TextPosition& p);
inline void SkipBlanks(TextPosition& p) {
  if (!EndsBlanks(PeekText(p))) SkipLongBlanks(p);
}

// The number of name characters from p on.
int32_t NameLengthAt(TextPosition p);

// Whether the text at p spells the whole literal; the position does not move.
bool MatchKeyword(TextPosition p, std::string_view literal);

// The literal at p: moves past it. The keyword's spacing belongs to it.
bool AcceptKeyword(TextPosition& p, std::string_view literal);

// The literal at p followed by one blank byte ("var", "else"): moves past both.
bool AcceptKeywordAndBlank(TextPosition& p, std::string_view literal);

// Passes over one statement (up to its first ';') or one brace block. Answers
// false when the text ended first; p then stands on the NUL.
[[nodiscard]] bool SkipStatement(TextPosition& p);

// From just inside an opened '(', moves just past the ')' that closes it.
// Answers false when the text ended first; p then stands on the NUL.
[[nodiscard]] bool SkipToCloseParen(TextPosition& p);

// Moves one character on, but never past the NUL.
inline void StepOne(TextPosition& p) {
  if (PeekText(p) != kNul) p++;
}

// The binary operators, by level: comparisons 1, '&' '|' '^' 2, '+' '-' 3,
// '*' '/' '%' 4.
enum class Op : uint8_t { None, Mul, Div, Rem, Add, Sub, And, Or, Xor, Eq, Lt, Gt, Ne, Le, Ge };
struct Operator {
  Op op;
  uint8_t level;
  uint8_t length;
};
// The operator that the character at p begins (with the one after it), or Op::None.
Operator Classify(TextPosition p);

// Literals: their Value, and the position just past them.
Value DecimalAt(TextPosition p, TextPosition& end);  // digits, times 10 each, wrapping
Value HexAt(TextPosition p, TextPosition& end);      // '$' and up to any number of hex digits
// "text": the closing quote of the literal whose opening quote is at p, or the
// NUL that ends the text before it.
TextPosition StringEnd(TextPosition p);
// 'c': whether the apostrophe at p opens a character literal that the text
// closes: the character is the one after it, and the literal ends 3 on.
bool CharacterAt(TextPosition p);

}  // namespace vorla
