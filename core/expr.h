// The expression evaluator: computes one expression straight from the text
// onto OperandStack, by recursive descent over four binary levels.
#pragma once
#include "core/state.h"

namespace vorla {

// Evaluates from p, applying only operators whose level is above minLevel, and
// leaves the cursor on the character that ended the evaluation (a ';' or ')',
// an operator left to an enclosing level, or a fault). A non-empty expression
// pushes one Value; ';' or ')' at once is the empty expression and pushes
// nothing. Any other stop character is recorded in ErrorPosition. Answers
// whether ErrorPosition is set.
bool EvalExpression(TextPosition& p, Scope scope, int minLevel);

// The fault of an expression that stops at p, where an operator is expected
// and the character there is none.
void FaultNoOperator(TextPosition p);

// Every construct that needs the Value of one whole expression takes it here:
// evaluates from p, leaves the cursor where the evaluation stopped, and takes
// the Value it gave off OperandStack into `out`. Answers whether a Value was
// taken. With `close` set, an evaluation that stops at any other character
// takes nothing: OperandStack stays as the evaluation left it, its Value the
// operand of the construct that failed. The stop character and a missing
// Value are the caller's to judge, each by its own rule.
[[nodiscard]] bool TakeValue(TextPosition& p, Scope scope, Value& out, uint8_t close = 0);

// The second half of TakeValue, once the evaluation that began at
// OperandDepth `depth` has stopped at p.
[[nodiscard]] bool FinishTakeValue(TextPosition p, int32_t depth, Value& out, uint8_t close);

// TakeValue for an expression that must give a Value: one that gives none is
// a fault of `missing` where it stopped, unless a fault is pending already.
[[nodiscard]] bool TakeRequiredValue(TextPosition& p, Scope scope, Value& out,
                                     FaultKind missing = FaultKind::ValueExpected);
// ... its second half.
[[nodiscard]] bool FinishRequiredValue(TextPosition p, int32_t depth, Value& out,
                                       FaultKind missing = FaultKind::ValueExpected);

// [index] after a variable's name, from the '[': takes the index and steps
// over the ']'. A missing ']' is a fault at the character found instead (the
// cursor goes one past it, and the index Value stays on the stack); an empty
// index is a fault at the ']'. Answers whether the index was taken with no
// fault pending.
[[nodiscard]] bool TakeIndex(TextPosition& p, Scope scope, Value& index);
// ... its second half, once the index that began after the '[' at `open`
// with OperandDepth `depth` has stopped at p.
[[nodiscard]] bool FinishIndex(TextPosition& p, TextPosition open, int32_t depth, Value& index);

// The fault of name[index] reaching `address`, outside script memory, from
// the variable's Value `base`: at the name.
void FaultOutside(TextPosition name, uint32_t address, Value base);

}  // namespace vorla
