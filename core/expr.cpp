// The expression evaluator. Operands are read by their first character, binary
// operators are applied by level (comparisons 1, '&' '|' '^' 2, '+' '-' 3,
// '*' '/' '%' 4), and every fault is recorded at its character.
#include "core/expr.h"

#include "builtins/output.h"
#include "core/call.h"
#include "core/names.h"
#include "core/scan.h"
#include "core/textcache.h"

namespace vorla {

namespace {

enum class Op { None, Mul, Div, Rem, Add, Sub, And, Or, Xor, Eq, Lt, Gt, Ne, Le, Ge };

struct Operator {
  Op op;
  int level;
  int length;
};

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

// L / R and L % R; a zero divisor prints its notice and polls the keyboard,
// and yields 0 for '/' and the current Modulo_ for '%'.
Value Divide(Op op, Value l, Value r) {
  if (r == 0) {
    PrintDividedByZero();
    return op == Op::Div ? 0 : Modulo();
  }
  Modulo() = Remainder(l, r);
  return op == Op::Div ? Quotient(l, r) : Modulo();
}

[[gnu::always_inline]] inline Value Apply(Op op, Value l, Value r) {
  switch (op) {
    case Op::Mul: return Mul(l, r);
    case Op::Div:
    case Op::Rem: return Divide(op, l, r);
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

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal digits, each step times 10 plus the digit, wrapping.
void ReadDecimal(TextPosition& p) {
  TextPosition start = p;
  uint32_t v = 0;
  while (IsDigit(PeekText(p))) v = v * 10 + uint32_t(PeekText(p++) - '0');
  Push(Wrap(v), start);
}

// '$' and hexadecimal digits; only the last eight count, none gives 0.
void ReadHex(TextPosition& p) {
  TextPosition start = p++;
  uint32_t v = 0;
  for (int d; (d = HexDigit(PeekText(p))) >= 0; p++) v = v << 4 | uint32_t(d);
  Push(Wrap(v), start);
}

// "text": the address of its first character; the cursor passes the closing quote.
void ReadString(TextPosition& p) {
  TextPosition start = p++;
  TextPosition text = p;
  while (PeekText(p) != '"') {
    if (PeekText(p) == 0) {
      Fault(p);
      return;
    }
    p++;
  }
  p++;
  Push(Value(text), start);
}

// 'c': the character sign-extended; anything else is a fault at the apostrophe.
void ReadCharacter(TextPosition& p) {
  if (PeekText(p + 1) == 0 || PeekText(p + 2) == 0) {
    Fault(PeekText(p + 1) == 0 ? p + 1 : p + 2);
    return;
  }
  if (PeekText(p + 2) != '\'') {
    Fault(p);
    return;
  }
  Push(SignExtend(PeekText(p + 1)), p);
  p += 3;
}

// ( expression ) — a missing ')' is a fault at the character found instead.
void ReadParenthesised(TextPosition& p, Scope scope) {
  int depth = OperandDepth;
  p++;
  EvalExpression(p, scope, 0);
  if (PeekText(p) != ')') {
    Fault(p);
    StepOne(p);
    return;
  }
  if (OperandDepth == depth) {
    // The content left no Value (it was empty, or a fault inside it left
    // nothing): the cursor stays on the ')', where the operand is missing.
    if (!HasError()) Fault(p);
    return;
  }
  p++;
}

void ReadOperand(TextPosition& p, Scope scope);

// -x, +x (absolute value), ~x: one primary operand, which may itself be prefixed.
void ReadPrefixed(TextPosition& p, Scope scope) {
  uint8_t op = PeekText(p);
  int depth = OperandDepth;
  p++;
  EvalExpression(p, scope, 5);
  if (OperandDepth == depth) {
    if (!HasError()) Fault(p);  // the operand is missing
    return;
  }
  if (!OnlyStoppedAt(p)) return;
  Value& top = OperandStack[OperandDepth - 1];
  top = op == '-' ? Neg(top) : op == '+' ? Abs(top) : ~top;
}

// name[index]: the index first, then the variable's Value, so a change that a
// function called inside the index made to the variable is seen. Bytes outside
// script memory are a fault at the name, and the cursor goes back to it.
void ReadIndexed(TextPosition& p, Scope scope, TextPosition name, int slot) {
  Value index;
  uint32_t address, width;
  if (!EvalIndex(p, scope, index)) return;
  if (!IndexedTarget(name, VariableTable[slot].value, index, address, width)) {
    p = name;
    return;
  }
  Push(width == 1 ? SignExtend(Memory[address]) : ReadWord(address), name);
}

// A variable, an indexed variable, or else a function call.
void ReadName(TextPosition& p, Scope scope) {
  int slot = FindVariable(p, scope);
  if (slot < 0) {
    CallFunction(p, scope);
    return;
  }
  TextPosition name = p;
  p += TextPosition(VariableTable[slot].NameLength);
  if (PeekText(p) == '[') {
    ReadIndexed(p, scope, name, slot);
  } else {
    Push(VariableTable[slot].value, name);
  }
}

// One operand by its first character; it pushes one Value or records a fault.
void ReadOperand(TextPosition& p, Scope scope) {
  uint8_t c = PeekText(p);
  if (IsDigit(c)) {
    ReadDecimal(p);
  } else if (c == '$') {
    ReadHex(p);
  } else if (IsNameChar(c)) {
    ReadName(p, scope);
  } else if (c == '"') {
    ReadString(p);
  } else if (c == '\'') {
    ReadCharacter(p);
  } else if (c == '(') {
    ReadParenthesised(p, scope);
  } else if (c == '-' || c == '+' || c == '~') {
    ReadPrefixed(p, scope);
  } else {
    Fault(p);
  }
}

// Reads a term of a shape from the text at p: a decimal or hexadecimal
// number, a character, or a name with no '(' after it.
bool ReadShapeTerm(TextPosition& p, ShapeTerm& term) {
  const TextPosition at = p;
  uint8_t c = PeekText(p);
  if (IsDigit(c)) {
    uint32_t v = 0;
    while (IsDigit(PeekText(p))) v = v * 10 + uint32_t(PeekText(p++) - '0');
    term = {true, false, Wrap(v), at, 0};
  } else if (c == '$') {
    uint32_t v = 0;
    for (int d; (d = HexDigit(PeekText(++p))) >= 0;) v = v << 4 | uint32_t(d);
    term = {true, false, Wrap(v), at, 0};
  } else if (c == '\'' && PeekText(p + 1) != 0 && PeekText(p + 2) == '\'') {
    term = {true, false, SignExtend(PeekText(p + 1)), at, 0};
    p += 3;
  } else if (IsNameChar(c)) {
    int32_t n = 0;
    while (IsNameChar(PeekText(p + TextPosition(n)))) n++;
    p += TextPosition(n);
    if (PeekText(p) == '(') return false;
    term = {false, false, 0, at, n};
  } else {
    return false;
  }
  return true;
}

// Reads one operand of a shape, and the blanks after it: a term, or a name
// with a term in brackets as its index.
bool ReadShapeOperand(TextPosition& p, ShapeOperand& operand) {
  if (!ReadShapeTerm(p, operand)) return false;
  if (!operand.constant && PeekText(p) == '[') {
    p++;
    SkipBlanks(p);
    if (!ReadShapeTerm(p, operand.index)) return false;
    SkipBlanks(p);
    if (PeekText(p) != ']') return false;
    p++;
    operand.indexed = true;
  }
  SkipBlanks(p);
  return true;
}

// The shape of the expression at p, found from the text alone. The order of
// evaluation is the one the levels give: an operator is applied as soon as
// the operator after its right operand binds no tighter.
ExpressionShape FindShape(TextPosition p) {
  ExpressionShape shape{};
  shape.generation = TextAnswerGeneration;
  Operator pending[kShapeOperands];
  int npending = 0, n = 0, steps = 0;
  SkipBlanks(p);
  for (;;) {
    if (n == kShapeOperands || !ReadShapeOperand(p, shape.operand[n])) return shape;
    shape.indexed |= shape.operand[n].indexed;
    shape.program[steps++] = uint8_t(n++);
    Operator op{Op::None, 0, 0};
    uint8_t c = PeekText(p);
    bool end = c == ';' || c == ')' || c == ']' || c == ',';
    if (!end) {
      op = Classify(p);
      if (op.op == Op::None) return shape;
    }
    while (npending > 0 && (end || pending[npending - 1].level >= op.level)) {
      shape.program[steps++] = uint8_t(kShapeOperator | uint8_t(pending[--npending].op));
    }
    if (end) break;
    pending[npending++] = op;
    p += TextPosition(op.length);
    SkipBlanks(p);
  }
  shape.operands = uint8_t(n);
  shape.steps = uint8_t(steps);
  shape.end = p;
  return shape;
}

// The slot a term's name means here; false when it means no variable of
// that length.
bool ShapeSlot(const ShapeTerm& term, Scope scope, int& slot) {
  slot = FindVariable(term.at, scope);
  return slot >= 0 && VariableTable[slot].NameLength == term.nameLength;
}

// name[index] read as the evaluator reads it; false when the bytes lie
// outside script memory (the evaluator's fault is left to it).
bool ShapeIndexed(const ShapeTerm& name, Value base, Value index, Value& v) {
  uint32_t address, width;
  if (!IndexedAddress(name.at, base, index, address, width)) return false;
  v = width == 1 ? SignExtend(Memory[address]) : ReadWord(address);
  return true;
}

// The cursor goes to the shape's end; a ']' or ',' there is the evaluator's
// own stop, recorded as the full evaluation records it.
void EndShape(TextPosition& p, const ExpressionShape& shape) {
  p = shape.end;
  if (PeekText(p) == ']' || PeekText(p) == ',') Fault(p);
}

// A term's Value as the evaluator would read it; false when its name means
// no variable of that length.
bool ShapeValue(const ShapeTerm& term, Scope scope, Value& v) {
  if (term.constant) {
    v = term.value;
    return true;
  }
  int slot;
  if (!ShapeSlot(term, scope, slot)) return false;
  v = VariableTable[slot].value;
  return true;
}

// EvalShape for one operand, or two with one operator, none indexed.
bool EvalShortShape(TextPosition& p, Scope scope, const ExpressionShape& shape) {
  Value l, r = 0;
  if (!ShapeValue(shape.operand[0], scope, l)) return false;
  if (shape.operands == 2) {
    if (!ShapeValue(shape.operand[1], scope, r)) return false;
    Op op = Op(shape.program[2] & ~kShapeOperator);
    if ((op == Op::Div || op == Op::Rem) && r == 0) return false;
    l = Apply(op, l, r);
  }
  Push(l, shape.operand[0].at);
  EndShape(p, shape);
  return true;
}

// EvalShape for three operands or more, or any with an indexed one, in the
// order of the program.
template <bool kIndexed>
[[gnu::noinline]] bool EvalLongShape(TextPosition& p, Scope scope, const ExpressionShape& shape) {
  int slots[kShapeOperands], indexSlots[kShapeOperands];
  for (int i = 0; i < shape.operands; i++) {
    const ShapeOperand& operand = shape.operand[i];
    if (!operand.constant && !ShapeSlot(operand, scope, slots[i])) return false;
    if constexpr (kIndexed) {
      if (operand.indexed && !operand.index.constant && !ShapeSlot(operand.index, scope, indexSlots[i])) return false;
    }
  }
  Value stack[kShapeOperands];
  int depth = 0;
  Value modulo = Modulo();
  bool divided = false;
  auto value = [&](const ShapeTerm& term, int slot) {
    return term.constant ? term.value : slot == kModuloSlot ? modulo : VariableTable[slot].value;
  };
  for (int s = 0; s < shape.steps; s++) {
    uint8_t step = shape.program[s];
    if (!(step & kShapeOperator)) {
      const ShapeOperand& operand = shape.operand[step];
      Value& v = stack[depth++];
      v = value(operand, slots[step]);
      if constexpr (kIndexed) {
        if (operand.indexed && !ShapeIndexed(operand, v, value(operand.index, indexSlots[step]), v)) return false;
      }
      continue;
    }
    Op op = Op(step & ~kShapeOperator);
    Value r = stack[--depth];
    Value& l = stack[depth - 1];
    if (op == Op::Div || op == Op::Rem) {
      if (r == 0) return false;
      modulo = Remainder(l, r);
      divided = true;
      l = op == Op::Div ? Quotient(l, r) : modulo;
    } else {
      l = Apply(op, l, r);
    }
  }
  if (divided) Modulo() = modulo;
  Push(stack[0], shape.operand[0].at);
  EndShape(p, shape);
  return true;
}

// A whole expression read from its remembered shape, with the Value, the
// cursor and the Modulo_ the full evaluation would give; false (with nothing
// done) when the expression has no shape or the full evaluation could do
// anything else: a name that is no variable, a division by zero (its notice
// and keyboard poll), an index outside script memory, a nesting or operand
// limit (the full evaluation of a shape nests and pushes less than twice
// kShapeOperands deep), a pending fault.
bool EvalShape(TextPosition& p, Scope scope) {
  uint32_t offset = p - kSourceBase;
  if (offset >= kSourceSize || NestingDepth + 2 * kShapeOperands > kMaxNesting ||
      OperandDepth + 2 * kShapeOperands > kMaxOperands || HasError()) {
    return false;
  }
  ExpressionShape& shape = ExpressionShapes[offset];
  if (shape.generation != TextAnswerGeneration) shape = FindShape(p);
  if (shape.operands == 0) return false;
  if (shape.indexed) return EvalLongShape<true>(p, scope, shape);
  return shape.operands <= 2 ? EvalShortShape(p, scope, shape) : EvalLongShape<false>(p, scope, shape);
}

}  // namespace

// operand { operator operand } — operators at or below minLevel are left to
// the caller; a fault stops every level at its next check.
bool EvalExpression(TextPosition& p, Scope scope, int minLevel) {
  if (minLevel == 0 && EvalShape(p, scope)) return HasError();
  NestingLevel level(p);
  if (!level.Entered()) return true;
  SkipBlanks(p);
  if (PeekText(p) == ';' || PeekText(p) == ')') return HasError();
  if (HasError()) return true;
  const int entryDepth = OperandDepth;
  ReadOperand(p, scope);
  SkipBlanks(p);
  while (PeekText(p) != ';' && PeekText(p) != ')' && !HasError()) {
    Operator op = Classify(p);
    if (op.op == Op::None) {
      Fault(p);
      break;
    }
    if (minLevel >= op.level) break;
    int depth = OperandDepth;
    p += TextPosition(op.length);
    EvalExpression(p, scope, op.level);
    if (OperandDepth == depth) {
      // The right operand is missing. When its fault stands on a ',' or ']',
      // the expression leaves no Value, so that the argument list or index
      // that expects that character cannot take the fault for its own stop.
      if (!HasError()) {
        Fault(p);
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
  return HasError();
}

bool EvalIndex(TextPosition& p, Scope scope, Value& index) {
  int depth = OperandDepth;
  p++;
  EvalExpression(p, scope, 0);
  if (PeekText(p) != ']') {
    Fault(p);  // the index Value, if any, stays on the stack as the operand
    StepOne(p);
    return false;
  }
  if (StoppedAt(p)) ErrorPosition = kNoError;  // the ']' the index stops at
  if (OperandDepth == depth) {
    Fault(p);  // [] holds no index
    return false;
  }
  index = OperandStack[OperandDepth - 1];
  OperandDepth = depth;
  p++;
  return !HasError();
}

bool IndexedAddress(TextPosition name, Value base, Value index, uint32_t& address, uint32_t& width) {
  width = PeekText(name) == '_' ? 1 : 4;
  address = Bits(width == 1 ? Add(base, index) : Add(base, Mul(index, 4)));
  return InScriptMemory(address, width);
}

bool IndexedTarget(TextPosition name, Value base, Value index, uint32_t& address, uint32_t& width) {
  if (IndexedAddress(name, base, index, address, width)) return true;
  Fault(name);
  return false;
}

bool EvalValue(TextPosition& p, Scope scope, Value& out) {
  int depth = OperandDepth;
  EvalExpression(p, scope, 0);
  if (OperandDepth > depth) {
    out = OperandStack[OperandDepth - 1];
    OperandDepth = depth;
    return true;
  }
  if (!HasError()) Fault(p);
  return false;
}

}  // namespace vorla
