// Scanning primitives: blanks, comments, keyword literals, operators and
// literals, and the walks that pass over a statement, a block or a
// parenthesised list without running it.
#include "core/scan.h"

namespace vorla {

void SkipLongBlanks(TextPosition& p) {
  for (;;) {
    uint8_t c = PeekText(p);
    if (IsBlank(c)) {
      p++;
    } else if (c == '#') {
      while (PeekText(p) != kCR && PeekText(p) != kNul) p++;
    } else {
      return;
    }
  }
}

int32_t NameLengthAt(TextPosition p) {
  int32_t n = 0;
  while (IsNameChar(PeekText(p + TextPosition(n)))) n++;
  return n;
}

bool MatchKeyword(TextPosition p, std::string_view literal) {
  for (size_t i = 0; i < literal.size(); i++) {
    if (PeekText(p + TextPosition(i)) != uint8_t(literal[i])) return false;  // a NUL differs too
  }
  return true;
}

bool AcceptKeyword(TextPosition& p, std::string_view literal) {
  if (!MatchKeyword(p, literal)) return false;
  p += TextPosition(literal.size());
  return true;
}

bool AcceptKeywordAndBlank(TextPosition& p, std::string_view literal) {
  if (!MatchKeyword(p, literal) || !IsBlank(PeekText(p + TextPosition(literal.size())))) return false;
  p += TextPosition(literal.size() + 1);
  return true;
}

// A block is walked brace by brace; a double quote jumps to just past the next
// one and an apostrophe jumps over the character and its closing apostrophe.
// Comments are not recognised inside the walk.
static bool WalkBlock(TextPosition& p) {
  int depth = 0;
  for (;;) {
    uint8_t c = PeekText(p);
    if (c == kNul) return false;
    p++;
    if (c == '{') {
      depth++;
    } else if (c == '}') {
      if (--depth == 0) return true;
    } else if (c == kQuote) {
      while (PeekText(p) != kQuote) {
        if (PeekText(p) == kNul) return false;
        p++;
      }
      p++;
    } else if (c == kApostrophe) {
      for (int i = 0; i < 2; i++) {
        if (PeekText(p) == kNul) return false;
        p++;
      }
    }
  }
}

bool SkipStatement(TextPosition& p) {
  SkipBlanks(p);
  if (PeekText(p) == '{') return WalkBlock(p);
  for (;;) {
    uint8_t c = PeekText(p);
    if (c == kNul) return false;
    p++;
    if (c == ';') return true;
  }
}

bool SkipToCloseParen(TextPosition& p) {
  int depth = 1;
  for (;;) {
    uint8_t c = PeekText(p);
    if (c == kNul) return false;
    p++;
    if (c == '(') {
      depth++;
    } else if (c == ')' && --depth == 0) {
      return true;
    }
  }
}

Operator Classify(TextPosition p) {
  switch (PeekText(p)) {
    case '*': return {Op::Mul, 4, 1};
    case '/': return {Op::Div, 4, 1};
    case '%': return {Op::Rem, 4, 1};
    case '+': return {Op::Add, 3, 1};
    case '-': return {Op::Sub, 3, 1};
    case '&': return {Op::And, 2, 1};
    case '|': return {Op::Or, 2, 1};
    case '^': return {Op::Xor, 2, 1};
    case '=': return {Op::Eq, 1, 1};
    case '<':
      if (PeekText(p + 1) == '>') return {Op::Ne, 1, 2};
      if (PeekText(p + 1) == '=') return {Op::Le, 1, 2};
      return {Op::Lt, 1, 1};
    case '>':
      if (PeekText(p + 1) == '=') return {Op::Ge, 1, 2};
      return {Op::Gt, 1, 1};
    default: return {Op::None, 0, 0};
  }
}

static int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Value DecimalAt(TextPosition p, TextPosition& end) {
  uint32_t v = 0;
  while (IsDigit(PeekText(p))) v = v * 10 + uint32_t(PeekText(p++) - '0');
  end = p;
  return Wrap(v);
}

Value HexAt(TextPosition p, TextPosition& end) {
  uint32_t v = 0;
  for (int d; (d = HexDigit(PeekText(++p))) >= 0;) v = v << 4 | uint32_t(d);
  end = p;
  return Wrap(v);
}

TextPosition StringEnd(TextPosition p) {
  for (p++; PeekText(p) != kQuote && PeekText(p) != kNul;) p++;
  return p;
}

bool CharacterAt(TextPosition p) {
  return PeekText(p + 1) != kNul && PeekText(p + 2) == kApostrophe;
}

}  // namespace vorla
