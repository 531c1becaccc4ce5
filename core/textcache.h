// Text answers: where a run of blanks, a statement, a block or a parenthesised
// list ends and which routine row or variable slot a name means, remembered
// per SourceBuffer offset. They are functions of the text and of keys the
// caller gives (the routine count; the frame bounds and SlotNamesVersion), so
// every store that reaches SourceBuffer forgets them all; positions elsewhere
// are never remembered.
#pragma once
#include <cstdint>

#include "core/memory.h"
#include "core/state.h"

namespace vorla {

enum class TextAnswer : int { BlanksEnd, StatementEnd, CloseParenEnd, RoutineRow, Count };

// Forgets every answer: a text was loaded or written, or a key came round.
void ForgetTextAnswers();

// A script's store at `address`, which lies inside one script area: forgets
// every answer when that area is SourceBuffer.
inline void NoteStore(uint32_t address) {
  if (address - kSourceBase < kSourceSize) ForgetTextAnswers();
}

// One remembered answer; it holds while its generation is the current one
// and its key equals the one asked with.
struct TextAnswerEntry {
  uint32_t generation;  // 0: never remembered
  uint32_t key;
  uint32_t answer;
};
extern TextAnswerEntry TextAnswers[int(TextAnswer::Count)][kSourceSize];
extern uint32_t TextAnswerGeneration;

// The answer remembered for `which` at p with the same key, or false.
inline bool RecallAnswer(TextAnswer which, TextPosition p, uint32_t key, uint32_t& answer) {
  uint32_t offset = p - kSourceBase;
  if (offset >= kSourceSize) return false;
  const TextAnswerEntry& e = TextAnswers[int(which)][offset];
  if (e.generation != TextAnswerGeneration || e.key != key) return false;
  answer = e.answer;
  return true;
}

inline void RememberAnswer(TextAnswer which, TextPosition p, uint32_t key, uint32_t answer) {
  uint32_t offset = p - kSourceBase;
  if (offset < kSourceSize) TextAnswers[int(which)][offset] = {TextAnswerGeneration, key, answer};
}

// A variable lookup remembered with everything its answer depends on besides
// the text: the scope, VariableCount and SlotNamesVersion.
struct VariableAnswer {
  uint32_t generation;
  uint32_t version;
  int32_t scopeBase;
  int32_t top;
  int32_t count;
  int32_t slot;
};
extern VariableAnswer VariableAnswers[kSourceSize];
// The generation in which the name at a position was found to be a call's
// name, which means no slot in any scope (see names.h); 0: never.
extern uint32_t CallNames[kSourceSize];
// The generation in which every live slot's name was last found to be a run of
// name characters (see names.cpp); 0: never.
extern uint32_t WholeNamesGeneration;

// The shape of a whole expression of at most kShapeOperands operands joined
// by binary operators, up to its ';', ')', ']' or ','; each operand a constant (a
// decimal or hexadecimal number, a character), a plain variable name (no
// call), or such a name with one constant or plain name as its index. The
// evaluator reads such an expression from its shape.
inline constexpr int kShapeOperands = 6;
struct ShapeTerm {
  bool constant;
  bool indexed;         // an operand's name[index]
  Value value;          // a constant's Value
  TextPosition at;      // where the term begins
  int32_t nameLength;   // a name's length
};
struct ShapeOperand : ShapeTerm {
  ShapeTerm index;
};
struct ExpressionShape {
  uint32_t generation;
  uint8_t operands;     // 0: the expression has no such shape
  uint8_t steps;
  bool indexed;         // an operand is indexed
  // The order of evaluation: an operand's index, or kShapeOperator plus the
  // evaluator's operator code.
  uint8_t program[2 * kShapeOperands - 1];
  ShapeOperand operand[kShapeOperands];
  TextPosition end;     // the ';', ')', ']' or ',' the expression stops at
};
inline constexpr uint8_t kShapeOperator = 0x80;
extern ExpressionShape ExpressionShapes[kSourceSize];

// A routine's parameter list of at most kRememberedParameters names, as the
// declaration of its parameters named the slots, per RoutineTable row. It
// holds while the generation is the current one and the row has the same name
// (the list follows the name in the text).
inline constexpr int kRememberedParameters = 8;
struct ParameterList {
  uint32_t generation;  // 0: never remembered
  TextPosition routineName;
  int32_t routineNameLength;
  int32_t count;
  TextPosition name[kRememberedParameters];
  int32_t nameLength[kRememberedParameters];
  TextPosition body;  // just past the ')'
};
extern ParameterList ParameterLists[kMaxRoutines];

}  // namespace vorla
