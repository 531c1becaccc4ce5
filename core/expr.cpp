// The expression evaluator. Operands are read by their first character, binary
// operators are applied by level (comparisons 1, '&' '|' '^' 2, '+' '-' 3,
// '*' '/' '%' 4), and every fault is recorded at its character. Each construct
// that waits for an inner evaluation is written as its start and its finish;
// the finishes are where the engine hands a construct over (resume.h).
#include "core/expr.h"

#include "core/call.h"
#include "core/names.h"
#include "core/operators.h"
#include "core/resume.h"

namespace vorla {

namespace {

// L op R; a zero divisor prints its notice and polls the keyboard, and yields
// 0 for '/' and the current Modulo_ for '%'.
Value Apply(Op op, Value l, Value r) {
  if (!DividesByZero(op, r)) return ApplyOperator(op, l, r);
  InstalledLibrary.DivisionNotice();
  return op == Op::Div ? 0 : Modulo();
}

// "text": the address of its first character; the cursor passes the closing quote.
void ReadString(TextPosition& p) {
  const TextPosition start = p;
  p = StringEnd(start);
  if (PeekText(p) == kNul) {
    Fault(p, FaultKind::LiteralNotClosed, {.origin = start});
    return;
  }
  p++;
  Push(Value(start + 1), start);
}

// 'c': the character sign-extended; anything else is a fault at the apostrophe.
void ReadCharacter(TextPosition& p) {
  if (PeekText(p + 1) == kNul || PeekText(p + 2) == kNul) {
    Fault(PeekText(p + 1) == kNul ? p + 1 : p + 2, FaultKind::LiteralNotClosed, {.origin = p});
    return;
  }
  if (!CharacterAt(p)) {
    Fault(p, FaultKind::BadCharacterLiteral);
    return;
  }
  Push(SignExtend(PeekText(p + 1)), p);
  p += 3;
}

// ( expression ) — a missing ')' is a fault at the character found instead.
void ReadParenthesised(TextPosition& p, Scope scope) {
  const int32_t depth = OperandDepth;
  const TextPosition open = p++;
  EvalExpression(p, scope, 0);
  FinishParenthesised(p, open, depth);
}

// -x, +x (absolute value), ~x: one primary operand, which may itself be prefixed.
void ReadPrefixed(TextPosition& p, Scope scope) {
  const uint8_t op = PeekText(p);
  const int32_t depth = OperandDepth;
  p++;
  EvalExpression(p, scope, 5);
  FinishPrefixed(p, op, depth);
}

// name[index], the index taken: the variable's Value is read now, so a change
// that a function called inside the index made to it is seen. Bytes outside
// script memory are a fault at the name, and the cursor goes back to it.
void FinishIndexedRead(TextPosition& p, TextPosition name, int slot, Value index) {
  uint32_t address, width;
  const Value base = VariableTable[slot].value;
  if (!IndexedAddress(PeekText(name) == '_', base, index, address, width)) {
    FaultOutside(name, address, base);
    p = name;
    return;
  }
  Push(ReadIndexedValue(address, width), name);
}

// A variable, an indexed variable, or else a function call.
void ReadName(TextPosition& p, Scope scope) {
  const int slot = FindVariable(p, scope);
  if (slot < 0) {
    CallFunction(p, scope);
    return;
  }
  const TextPosition name = p;
  p += TextPosition(VariableTable[slot].NameLength);
  if (PeekText(p) != '[') {
    Push(VariableTable[slot].value, name);
    return;
  }
  Value index;
  if (TakeIndex(p, scope, index)) FinishIndexedRead(p, name, slot, index);
}

// After the right operand of `op`, begun at OperandDepth `depth`: answers
// whether the operator was applied and the evaluation goes on.
[[nodiscard]] bool FinishRightOperand(TextPosition p, Op op, int32_t depth, int32_t entryDepth) {
  if (OperandDepth == depth) {
    // The right operand is missing. When its fault stands on a ',' or ']',
    // the expression leaves no Value, so that the argument list or index
    // that expects that character cannot take the fault for its own stop.
    if (!HasError()) {
      Fault(p, FaultKind::OperandExpected);
    } else if (StoppedAt(p) && (PeekText(p) == ',' || PeekText(p) == ']') && OperandDepth > entryDepth) {
      OperandDepth--;
    }
    return false;
  }
  if (!OnlyStoppedAt(p)) return false;
  const Value r = Pop();
  Value& l = OperandStack[OperandDepth - 1];
  l = Apply(op, l, r);
  return true;
}

}  // namespace

// One operand by its first character; it pushes one Value or records a fault.
void ReadOperand(TextPosition& p, Scope scope) {
  const uint8_t c = PeekText(p);
  const TextPosition start = p;
  if (IsDigit(c)) {
    const Value v = DecimalAt(start, p);
    Push(v, start);
  } else if (c == '$') {
    const Value v = HexAt(start, p);
    Push(v, start);
  } else if (IsNameChar(c)) {
    ReadName(p, scope);
  } else if (c == kQuote) {
    ReadString(p);
  } else if (c == kApostrophe) {
    ReadCharacter(p);
  } else if (c == '(') {
    ReadParenthesised(p, scope);
  } else if (c == '-' || c == '+' || c == '~') {
    ReadPrefixed(p, scope);
  } else {
    Fault(p, FaultKind::OperandExpected);
  }
}

// { operator operand } after the first operand — operators at or below
// minLevel are left to the caller; a fault stops every level at its next check.
void ContinueOperators(TextPosition& p, Scope scope, int minLevel, int32_t entryDepth) {
  SkipBlanks(p);
  while (PeekText(p) != ';' && PeekText(p) != ')' && !HasError()) {
    const Operator op = Classify(p);
    if (op.op == Op::None) {
      FaultNoOperator(p);
      return;
    }
    if (minLevel >= op.level) return;
    const int32_t depth = OperandDepth;
    p += TextPosition(op.length);
    EvalExpression(p, scope, op.level);
    if (!FinishRightOperand(p, op.op, depth, entryDepth)) return;
  }
}

void ResumeAfterRightOperand(TextPosition& p, Scope scope, Op op, int minLevel, int32_t depth, int32_t entryDepth) {
  if (FinishRightOperand(p, op, depth, entryDepth)) ContinueOperators(p, scope, minLevel, entryDepth);
}

void FinishParenthesised(TextPosition& p, TextPosition open, int32_t depth) {
  if (PeekText(p) != ')') {
    Fault(p, FaultKind::CloseParenExpected, {.origin = open});
    StepOne(p);
    return;
  }
  if (OperandDepth == depth) {
    // The content left no Value (it was empty, or a fault inside it left
    // nothing): the cursor stays on the ')', where the operand is missing.
    if (!HasError()) Fault(p, FaultKind::ValueExpected);
    return;
  }
  p++;
}

void FinishPrefixed(TextPosition& p, uint8_t op, int32_t depth) {
  if (OperandDepth == depth) {
    if (!HasError()) Fault(p, FaultKind::OperandExpected);  // the operand is missing
    return;
  }
  if (!OnlyStoppedAt(p)) return;
  Value& top = OperandStack[OperandDepth - 1];
  top = ApplyPrefix(op, top);
}

void ResumeIndexedRead(TextPosition& p, TextPosition name, int slot, TextPosition open, int32_t depth) {
  Value index;
  if (FinishIndex(p, open, depth, index)) FinishIndexedRead(p, name, slot, index);
}

// operand { operator operand }
bool EvalExpression(TextPosition& p, Scope scope, int minLevel) {
  NestingLevel level(p);
  if (!level.Entered()) return true;
  SkipBlanks(p);
  if (PeekText(p) == ';' || PeekText(p) == ')') return HasError();
  if (HasError()) return true;
  const int32_t entryDepth = OperandDepth;
  ReadOperand(p, scope);
  ContinueOperators(p, scope, minLevel, entryDepth);
  return HasError();
}

bool TakeValue(TextPosition& p, Scope scope, Value& out, uint8_t close) {
  const int32_t depth = OperandDepth;
  EvalExpression(p, scope, 0);
  return FinishTakeValue(p, depth, out, close);
}

bool FinishTakeValue(TextPosition p, int32_t depth, Value& out, uint8_t close) {
  if (close != 0 && PeekText(p) != close) return false;
  if (OperandDepth == depth) return false;
  out = OperandStack[OperandDepth - 1];
  OperandDepth = depth;
  return true;
}

bool TakeRequiredValue(TextPosition& p, Scope scope, Value& out, FaultKind missing) {
  const int32_t depth = OperandDepth;
  EvalExpression(p, scope, 0);
  return FinishRequiredValue(p, depth, out, missing);
}

bool FinishRequiredValue(TextPosition p, int32_t depth, Value& out, FaultKind missing) {
  if (FinishTakeValue(p, depth, out, 0)) return true;
  if (!HasError()) Fault(p, missing);
  return false;
}

bool TakeIndex(TextPosition& p, Scope scope, Value& index) {
  const TextPosition open = p++;
  const int32_t depth = OperandDepth;
  EvalExpression(p, scope, 0);
  return FinishIndex(p, open, depth, index);
}

bool FinishIndex(TextPosition& p, TextPosition open, int32_t depth, Value& index) {
  const bool taken = FinishTakeValue(p, depth, index, ']');
  if (PeekText(p) != ']') {
    Fault(p, FaultKind::CloseBracketExpected, {.origin = open});
    StepOne(p);
    return false;
  }
  ClearStopAt(p);  // the ']' the index stops at
  if (!taken) {
    Fault(p, FaultKind::ValueExpected);  // [] holds no index
    return false;
  }
  p++;
  return !HasError();
}

void FaultOutside(TextPosition name, uint32_t address, Value base) {
  Fault(name, FaultKind::AddressOutside, {.origin = name, .number = Wrap(address), .extra = base});
}

void FaultNoOperator(TextPosition p) { Fault(p, FaultKind::OperatorExpected); }

}  // namespace vorla
