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

// Evaluates one whole expression and pops its Value into `out`. An expression
// that leaves no Value is a fault where it should have begun. Answers whether
// a Value was taken; the cursor stays where the evaluation stopped.
bool EvalValue(TextPosition& p, Scope scope, Value& out);

// [index] after a variable's name, from the '[': evaluates the index and steps
// over the ']'. A missing ']' is a fault at the character found instead (the
// cursor goes one past it, and the index Value stays on the stack); an empty
// index is a fault at the ']'.
bool EvalIndex(TextPosition& p, Scope scope, Value& index);

// Where name[index] reaches from the variable's Value `base`: one byte at
// base + index for a name beginning with '_', else the Value at base + 4 *
// index. Answers whether those bytes lie inside script memory.
bool IndexedAddress(TextPosition name, Value base, Value index, uint32_t& address, uint32_t& width);

// IndexedAddress, with bytes outside script memory a fault at the name.
bool IndexedTarget(TextPosition name, Value base, Value index, uint32_t& address, uint32_t& width);

}  // namespace vorla
