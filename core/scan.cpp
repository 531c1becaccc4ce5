// Scanning primitives: blanks, comments, keyword literals, and the walks that
// pass over a statement, a block or a parenthesised list without running it.
#include "core/scan.h"

#include "core/textcache.h"

namespace vorla {

// The walk's end is remembered per text position: line breaks and indents
// before most statements would be walked again on every pass.
void SkipBlanksAndComments(TextPosition& p) {
  uint32_t end;
  if (RecallAnswer(TextAnswer::BlanksEnd, p, 0, end)) {
    p = end;
    return;
  }
  const TextPosition start = p;
  for (;;) {
    uint8_t c = PeekText(p);
    if (IsBlank(c)) {
      p++;
    } else if (c == '#') {
      while (PeekText(p) != 13 && PeekText(p) != 0) p++;
    } else {
      RememberAnswer(TextAnswer::BlanksEnd, start, 0, p);
      return;
    }
  }
}

bool MatchKeyword(TextPosition p, std::string_view literal) {
  for (size_t i = 1; i < literal.size(); i++) {
    if (PeekText(p + TextPosition(i)) != uint8_t(literal[i])) return false;  // a NUL differs too
  }
  return true;
}

bool MatchKeywordAndBlank(TextPosition p, std::string_view literal) {
  return PeekText(p) == uint8_t(literal[0]) && MatchKeyword(p, literal) &&
         IsBlank(PeekText(p + TextPosition(literal.size())));
}

// A block is walked brace by brace; a double quote jumps to just past the next
// one and an apostrophe jumps over the character and its closing apostrophe.
// Comments are not recognised inside the walk.
static bool SkipBlock(TextPosition& p) {
  int depth = 0;
  for (;;) {
    uint8_t c = PeekText(p);
    if (c == 0) return false;
    p++;
    if (c == '{') {
      depth++;
    } else if (c == '}') {
      if (--depth == 0) return true;
    } else if (c == '"') {
      while (PeekText(p) != '"') {
        if (PeekText(p) == 0) return false;
        p++;
      }
      p++;
    } else if (c == '\'') {
      for (int i = 0; i < 2; i++) {
        if (PeekText(p) == 0) return false;
        p++;
      }
    }
  }
}

static bool WalkStatement(TextPosition& p) {
  SkipBlanks(p);
  if (PeekText(p) == '{') return SkipBlock(p);
  for (;;) {
    uint8_t c = PeekText(p);
    if (c == 0) return false;
    p++;
    if (c == ';') return true;
  }
}

// The walks are remembered by where they began; a walk that met the NUL is
// walked again (it ends the run anyway).
bool SkipStatement(TextPosition& p) {
  const TextPosition start = p;
  uint32_t end;
  if (RecallAnswer(TextAnswer::StatementEnd, start, 0, end)) {
    p = end;
    return true;
  }
  if (!WalkStatement(p)) return false;
  RememberAnswer(TextAnswer::StatementEnd, start, 0, p);
  return true;
}

static bool WalkToCloseParen(TextPosition& p) {
  int depth = 1;
  for (;;) {
    uint8_t c = PeekText(p);
    if (c == 0) return false;
    p++;
    if (c == '(') {
      depth++;
    } else if (c == ')' && --depth == 0) {
      return true;
    }
  }
}

bool SkipToCloseParen(TextPosition& p) {
  const TextPosition start = p;
  uint32_t end;
  if (RecallAnswer(TextAnswer::CloseParenEnd, start, 0, end)) {
    p = end;
    return true;
  }
  if (!WalkToCloseParen(p)) return false;
  RememberAnswer(TextAnswer::CloseParenEnd, start, 0, p);
  return true;
}

}  // namespace vorla
