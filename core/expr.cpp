// The expression evaluator. Operands are read by their first character, binary
// operators are applied by level (comparisons 1, '&' '|' '^' 2, '+' '-' 3,
// '*' '/' '%' 4), and every fault is recorded at its character. Where the
// text has a decoded form, the evaluator takes its reading from there instead
// of reading the characters again, and runs an expression without calls from
// its decoded code (code.h); either way every step is the one below.
#include "core/expr.h"

#include "core/call.h"
#include "core/code.h"
#include "core/names.h"

namespace vorla {

namespace {

// L / R and L % R; a zero divisor prints its notice and polls the keyboard,
// and yields 0 for '/' and the current Modulo_ for '%'.
Value Divide(Op op, Value, Value) {
  InstalledLibrary.DivisionNotice();
  return op == Op::Div ? 0 : Modulo();
}

[[gnu::always_inline]] inline Value Apply(Op op, Value l, Value r) {
  if ((op == Op::Div || op == Op::Rem) && r == 0) return Divide(op, l, r);
  return ApplyOperator(op, l, r);
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
void ReadParenthesised(TextPosition& p, Scope scope, const EvalForm* inner) {
  int depth = OperandDepth;
  const TextPosition open = p++;
  Evaluate(p, scope, 0, inner != nullptr ? inner : EvalFormAt(p, 0));
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

// -x, +x (absolute value), ~x: one primary operand, which may itself be prefixed.
void ReadPrefixed(TextPosition& p, Scope scope, const EvalForm* inner) {
  uint8_t op = PeekText(p);
  int depth = OperandDepth;
  p++;
  Evaluate(p, scope, 5, inner != nullptr ? inner : EvalFormAt(p, 5));
  if (OperandDepth == depth) {
    if (!HasError()) Fault(p, FaultKind::OperandExpected);  // the operand is missing
    return;
  }
  if (!OnlyStoppedAt(p)) return;
  Value& top = OperandStack[OperandDepth - 1];
  top = ApplyPrefix(op, top);
}

// name[index]: the index first, then the variable's Value, so a change that a
// function called inside the index made to the variable is seen. Bytes outside
// script memory are a fault at the name, and the cursor goes back to it.
void ReadIndexed(TextPosition& p, Scope scope, TextPosition name, int slot, const EvalForm* index) {
  Value i;
  uint32_t address, width;
  if (!TakeIndex(p, scope, i, index)) return;
  const Value base = VariableTable[slot].value;
  if (!IndexedAddress(name, base, i, address, width)) {
    FaultOutside(name, address, base);
    p = name;
    return;
  }
  Push(ReadIndexedValue(address, width), name);
}

// A variable, an indexed variable, or else a function call.
void ReadName(TextPosition& p, Scope scope, const OperandForm* form) {
  int slot = FindVariable(p, scope);
  if (slot < 0) {
    CallFunction(p, scope, form != nullptr && form->call >= 0 ? &CallFormOf(form->call) : nullptr);
    return;
  }
  TextPosition name = p;
  p += TextPosition(VariableTable[slot].NameLength);
  if (PeekText(p) == '[') {
    bool decoded = form != nullptr && form->inner >= 0 && p == name + form->nameLength;
    ReadIndexed(p, scope, name, slot, decoded ? &EvalFormOf(form->inner) : nullptr);
  } else {
    Push(VariableTable[slot].value, name);
  }
}

// One operand by its first character; it pushes one Value or records a fault.
void ReadOperand(TextPosition& p, Scope scope, const OperandForm* form) {
  if (form != nullptr) {
    switch (form->kind) {
      case OperandKind::Constant:
        Push(form->value, p);
        p = form->end;
        return;
      case OperandKind::Name: ReadName(p, scope, form); return;
      case OperandKind::Parenthesised: ReadParenthesised(p, scope, &EvalFormOf(form->inner)); return;
      case OperandKind::Prefixed: ReadPrefixed(p, scope, &EvalFormOf(form->inner)); return;
    }
  }
  uint8_t c = PeekText(p);
  const TextPosition start = p;
  if (IsDigit(c)) {
    Value v = DecimalAt(start, p);
    Push(v, start);
  } else if (c == '$') {
    Value v = HexAt(start, p);
    Push(v, start);
  } else if (IsNameChar(c)) {
    ReadName(p, scope, nullptr);
  } else if (c == kQuote) {
    ReadString(p);
  } else if (c == kApostrophe) {
    ReadCharacter(p);
  } else if (c == '(') {
    ReadParenthesised(p, scope, nullptr);
  } else if (c == '-' || c == '+' || c == '~') {
    ReadPrefixed(p, scope, nullptr);
  } else {
    Fault(p, FaultKind::OperandExpected);
  }
}

// { operator operand } after the first operand, from p, with the steps of
// `form` where it still applies.
void ApplyOperators(TextPosition& p, Scope scope, int minLevel, int entryDepth, const EvalForm* form) {
  const uint64_t generation = ScriptMemory::Generation();
  int32_t step = form != nullptr ? form->firstStep : -1;
  while (PeekText(p) != ';' && PeekText(p) != ')' && !HasError()) {
    const StepForm* decoded = nullptr;
    if (form != nullptr && step >= 0 && StepOf(step).at == p) {
      decoded = &StepOf(step);
      step = decoded->next;
    } else {
      form = nullptr;
    }
    Operator op = decoded != nullptr ? decoded->op : Classify(p);
    if (op.op == Op::None) {
      FaultNoOperator(p);
      break;
    }
    if (minLevel >= op.level) break;
    int depth = OperandDepth;
    p += TextPosition(op.length);
    Evaluate(p, scope, op.level, decoded != nullptr ? &EvalFormOf(decoded->right) : EvalFormAt(p, op.level));
    form = StillCurrent(form, generation);
    if (OperandDepth == depth) {
      // The right operand is missing. When its fault stands on a ',' or ']',
      // the expression leaves no Value, so that the argument list or index
      // that expects that character cannot take the fault for its own stop.
      if (!HasError()) {
        Fault(p, FaultKind::OperandExpected);
      } else if (StoppedAt(p) && (PeekText(p) == ',' || PeekText(p) == ']') && OperandDepth > entryDepth) {
        OperandDepth--;
      }
      break;
    }
    if (!OnlyStoppedAt(p)) break;
    Value r = Pop();
    Value& l = OperandStack[OperandDepth - 1];
    l = Apply(op.op, l, r);
  }
}

}  // namespace

// operand { operator operand } — operators at or below minLevel are left to
// the caller; a fault stops every level at its next check.
bool Evaluate(TextPosition& p, Scope scope, int minLevel, const EvalForm* form) {
  NestingLevel level(p);
  if (!level.Entered()) return true;
  if (form != nullptr) {
    p = form->first;
  } else {
    SkipBlanks(p);
  }
  if (PeekText(p) == ';' || PeekText(p) == ')') return HasError();
  if (HasError()) return true;
  const int entryDepth = OperandDepth;
  Value v;
  if (form != nullptr && form->pure >= 0 && TryExpressionCode(form->pure, scope, 0, v)) {
    OperandStack[OperandDepth++] = v;
    p = form->stop;
    form = nullptr;
  } else {
    const uint64_t generation = ScriptMemory::Generation();
    ReadOperand(p, scope, form != nullptr ? &form->operand : nullptr);
    form = StillCurrent(form, generation);
    if (form != nullptr && p == form->operand.end) {
      p = form->afterOperand;
    } else {
      form = nullptr;
      SkipBlanks(p);
    }
  }
  ApplyOperators(p, scope, minLevel, entryDepth, form);
  return HasError();
}

bool EvalExpression(TextPosition& p, Scope scope, int minLevel) {
  return Evaluate(p, scope, minLevel, EvalFormAt(p, minLevel));
}

bool TakeValue(TextPosition& p, Scope scope, const EvalForm* form, Value& out, uint8_t close) {
  if (form == nullptr) form = EvalFormAt(p, 0);
  Value v;
  if (TryPureValue(form, scope, v)) {
    p = form->stop;
    if (form->faultAtStop) FaultNoOperator(p);
    if (close == 0 || PeekText(p) == close) {
      out = v;
      return true;
    }
    OperandStack[OperandDepth++] = v;  // the program's operand limit leaves room for it
    return false;
  }
  const int32_t depth = OperandDepth;
  Evaluate(p, scope, 0, form);
  if (close != 0 && PeekText(p) != close) return false;
  if (OperandDepth == depth) return false;
  out = OperandStack[OperandDepth - 1];
  OperandDepth = depth;
  return true;
}

bool TakeIndex(TextPosition& p, Scope scope, Value& index, const EvalForm* form) {
  const TextPosition open = p++;
  const bool taken = TakeValue(p, scope, form, index, ']');
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

bool IndexedAddress(TextPosition name, Value base, Value index, uint32_t& address, uint32_t& width) {
  width = PeekText(name) == '_' ? 1 : 4;
  address = Bits(width == 1 ? Add(base, index) : Add(base, Mul(index, 4)));
  return InScriptMemory(address, width);
}

void FaultOutside(TextPosition name, uint32_t address, Value base) {
  Fault(name, FaultKind::AddressOutside, {.origin = name, .number = Wrap(address), .extra = base});
}

bool TryPureValue(const EvalForm* form, Scope scope, Value& out) {
  return form != nullptr && form->pure >= 0 && TryExpressionCode(form->pure, scope, 1, out);
}

void FaultNoOperator(TextPosition p) { Fault(p, FaultKind::OperatorExpected); }

}  // namespace vorla
