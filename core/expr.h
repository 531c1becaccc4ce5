// The expression evaluator: computes one expression straight from the text
// onto OperandStack, by recursive descent over four binary levels, reading
// the text's decoded form where it has one.
#pragma once
#include "core/decode.h"
#include "core/state.h"

namespace vorla {

// Evaluates from p, applying only operators whose level is above minLevel, and
// leaves the cursor on the character that ended the evaluation (a ';' or ')',
// an operator left to an enclosing level, or a fault). A non-empty expression
// pushes one Value; ';' or ')' at once is the empty expression and pushes
// nothing. Any other stop character is recorded in ErrorPosition. Answers
// whether ErrorPosition is set.
bool EvalExpression(TextPosition& p, Scope scope, int minLevel);

// The binary operators on L and R, for any divisor but zero: '/' and '%'
// store the remainder into Modulo_.
[[gnu::always_inline]] inline Value ApplyOperator(Op op, Value l, Value r) {
  switch (op) {
    case Op::Mul: return Mul(l, r);
    case Op::Div: Modulo() = Remainder(l, r); return Quotient(l, r);
    case Op::Rem: return Modulo() = Remainder(l, r);
    case Op::Add: return Add(l, r);
    case Op::Sub: return Sub(l, r);
    case Op::And: return l & r;
    case Op::Or: return l | r;
    case Op::Xor: return l ^ r;
    case Op::Eq: return l == r;
    case Op::Lt: return l < r;
    case Op::Gt: return l > r;
    case Op::Ne: return l != r;
    case Op::Le: return l <= r;
    case Op::Ge: return l >= r;
    case Op::None: break;
  }
  return 0;
}

// The prefix operators: '-' negation, '+' absolute value, '~' complement.
inline Value ApplyPrefix(uint8_t op, Value v) { return op == '-' ? Neg(v) : op == '+' ? Abs(v) : ~v; }

// The byte or Value that name[index] reads at `address`.
inline Value ReadIndexedValue(uint32_t address, uint32_t width) {
  return width == 1 ? SignExtend(PeekText(address)) : ReadWord(address);
}

// EvalExpression with the form decoded for p (nullptr: none, the text is read).
bool Evaluate(TextPosition& p, Scope scope, int minLevel, const EvalForm* form);

// The Value of a whole expression (minimum level 0) from its form's decoded
// code, as EvalExpression at the form's key gives it before the stop
// character is looked at: false, with nothing changed, where the program
// cannot give it (no form or no program, a pending fault, or the evaluation
// would do anything else); the cursor is then the caller's to move, to the
// form's stop.
[[nodiscard]] bool TryPureValue(const EvalForm* form, Scope scope, Value& out);

// The fault of an expression that stops at p, where an operator is expected
// and the character there is none.
void FaultNoOperator(TextPosition p);

// Every construct that needs the Value of one whole expression takes it here:
// evaluates from p (with the form decoded for p, if any), leaves the cursor
// where the evaluation stopped, and takes the Value it gave off OperandStack
// into `out`. Answers whether a Value was taken. With `close` set, an
// evaluation that stops at any other character takes nothing: OperandStack
// stays as the evaluation left it, its Value the operand of the construct
// that failed. The stop character and a missing Value are the caller's to
// judge, each by its own rule.
[[nodiscard]] bool TakeValue(TextPosition& p, Scope scope, const EvalForm* form, Value& out, uint8_t close = 0);

// TakeValue for an expression that must give a Value: one that gives none is
// a fault of `missing` where it stopped, unless a fault is pending already.
[[nodiscard]] inline bool TakeRequiredValue(TextPosition& p, Scope scope, const EvalForm* form, Value& out,
                                            FaultKind missing = FaultKind::ValueExpected) {
  if (TakeValue(p, scope, form, out)) return true;
  if (!HasError()) Fault(p, missing);
  return false;
}

// [index] after a variable's name, from the '[': takes the index (with the
// form decoded for just past the '[', if any) and steps over the ']'. A
// missing ']' is a fault at the character found instead (the cursor goes one
// past it, and the index Value stays on the stack); an empty index is a fault
// at the ']'. Answers whether the index was taken with no fault pending.
[[nodiscard]] bool TakeIndex(TextPosition& p, Scope scope, Value& index, const EvalForm* form);

// Where name[index] reaches from the variable's Value `base`: one byte at
// base + index for a name beginning with '_', else the Value at base + 4 *
// index. Answers whether those bytes lie inside script memory.
[[nodiscard]] bool IndexedAddress(TextPosition name, Value base, Value index, uint32_t& address, uint32_t& width);

// The fault of name[index] reaching `address`, outside script memory, from
// the variable's Value `base`: at the name.
void FaultOutside(TextPosition name, uint32_t address, Value base);

// A decoded form holds while the text generation it was read in stands; after
// anything that may have run a script's store, the caller keeps it only then.
template <typename Form>
inline const Form* StillCurrent(const Form* form, uint64_t generation) {
  return form != nullptr && ScriptMemory::Generation() == generation ? form : nullptr;
}

}  // namespace vorla
