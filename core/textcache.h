// Text answers: where a statement, a block or a parenthesised list ends and
// which routine row a name means, remembered per SourceBuffer offset. They are
// pure functions of the text (and of RoutineCount), so every store that reaches
// SourceBuffer forgets them all; positions elsewhere are never remembered.
#pragma once
#include <cstdint>

#include "core/memory.h"

namespace vorla {

enum class TextAnswer : int { StatementEnd, CloseParenEnd, RoutineRow, Count };

// Forgets every answer: a new text was loaded.
void ForgetTextAnswersOnLoad();

// Forgets every answer and remembers that the loaded text was written.
void ForgetTextAnswersOnStore();

// A script's store at `address`, which lies inside one script area: forgets
// every answer when that area is SourceBuffer.
inline void NoteStore(uint32_t address) {
  if (address - kSourceBase < kSourceSize) ForgetTextAnswersOnStore();
}

// Whether a script has stored into SourceBuffer since the text was loaded.
extern bool SourceWritten;
inline bool TextWritten() { return SourceWritten; }

// The answer remembered for `which` at p (with `key` equal to the one it was
// remembered with), or false.
bool RecallAnswer(TextAnswer which, TextPosition p, uint32_t key, uint32_t& answer);
void RememberAnswer(TextAnswer which, TextPosition p, uint32_t key, uint32_t answer);

}  // namespace vorla
