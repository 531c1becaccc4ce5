// Decoded code (see code.h). An expression is a tree of nodes, each with the
// routine that computes it; a node that cannot give the walker's Value marks
// the evaluation as given up, and the rest of the tree computes nothing that
// anyone sees before the evaluation is dropped.
#include "core/code.h"

#include <algorithm>

#include "core/exec.h"
#include "core/expr.h"
#include "core/names.h"

namespace vorla {

namespace {

// One evaluation of an expression's code.
struct Evaluation {
  Scope scope;
  bool resolved;  // every name node holds the slot of its name already
  bool gaveUp;
};

struct Node;
using NodeRoutine = Value (*)(const Node&, Evaluation&);

struct Node {
  NodeRoutine run;
  uint8_t op;            // a binary operator's Op, or a prefix operator's character
  uint16_t nameLength;   // a variable read by this node: its name's length
  TextPosition at;       // ... and where its name stands
  Value value;           // a constant
  int32_t left, right;   // the nodes this one reads; right may be a variable node read in place
  mutable int32_t slot;  // the slot the name at `at` meant when the code last ran
};

Pool<Node, 2 * kSourceSize> nodes;
Pool<ExpressionCode, kSourceSize / 2> expressions;
Pool<StatementCode, kSourceSize / 4> statementCodes;

Value Run(int32_t node, Evaluation& e) {
  const Node& n = nodes.items[node];
  return n.run(n, e);
}

// The slot of the variable a node reads, or -1 where the name means no
// variable of its decoded length.
[[gnu::always_inline]] inline int SlotOf(const Node& n, Evaluation& e) {
  if (!e.resolved) {
    int slot = FindVariable(n.at, e.scope);
    n.slot = slot >= 0 && VariableTable[slot].NameLength == n.nameLength ? slot : -1;
  }
  return n.slot;
}

[[gnu::always_inline]] inline Value ReadVariable(const Node& n, Evaluation& e) {
  int slot = SlotOf(n, e);
  if (slot < 0) {
    e.gaveUp = true;
    return 0;
  }
  return VariableTable[slot].value;
}

// A zero divisor is the walker's: it prints the notice.
template <Op kOp>
[[gnu::always_inline]] inline Value Combine(Value l, Value r, Evaluation& e) {
  if constexpr (kOp == Op::Div || kOp == Op::Rem) {
    if (r == 0) {
      e.gaveUp = true;
      return 0;
    }
  }
  return ApplyOperator(kOp, l, r);
}

Value RunConstant(const Node& n, Evaluation&) { return n.value; }
Value RunVariable(const Node& n, Evaluation& e) { return ReadVariable(n, e); }

// name[index]: the index first, then the variable's Value.
Value RunIndexed(const Node& n, Evaluation& e) {
  Value index = Run(n.left, e);
  int slot = SlotOf(n, e);
  uint32_t address, width;
  if (slot < 0 || !IndexedAddress(n.at, VariableTable[slot].value, index, address, width)) {
    e.gaveUp = true;
    return 0;
  }
  return ReadIndexedValue(address, width);
}

Value RunPrefix(const Node& n, Evaluation& e) { return ApplyPrefix(n.op, Run(n.left, e)); }

template <Op kOp>
Value RunBinary(const Node& n, Evaluation& e) {
  Value l = Run(n.left, e);
  Value r = Run(n.right, e);
  return Combine<kOp>(l, r, e);
}

// The right operand a constant: the node holds it.
template <Op kOp>
Value RunWithConstant(const Node& n, Evaluation& e) {
  return Combine<kOp>(Run(n.left, e), n.value, e);
}

// The right operand a variable: the node reads it, with its own slot.
template <Op kOp>
Value RunWithVariable(const Node& n, Evaluation& e) {
  Value l = Run(n.left, e);
  return Combine<kOp>(l, ReadVariable(n, e), e);
}

// A variable and a constant.
template <Op kOp>
Value RunVariableWithConstant(const Node& n, Evaluation& e) {
  return Combine<kOp>(ReadVariable(nodes.items[n.left], e), n.value, e);
}

// Two variables.
template <Op kOp>
Value RunVariableWithVariable(const Node& n, Evaluation& e) {
  Value l = ReadVariable(nodes.items[n.left], e);
  return Combine<kOp>(l, ReadVariable(n, e), e);
}

// The routines of the binary nodes by shape, each indexed by Op.
#define VORLA_BY_OP(routine)                                                                                 \
  {nullptr,           routine<Op::Mul>, routine<Op::Div>, routine<Op::Rem>, routine<Op::Add>,             \
   routine<Op::Sub>, routine<Op::And>, routine<Op::Or>,  routine<Op::Xor>, routine<Op::Eq>,              \
   routine<Op::Lt>,  routine<Op::Gt>,  routine<Op::Ne>,  routine<Op::Le>,  routine<Op::Ge>}
constexpr NodeRoutine kBinary[] = VORLA_BY_OP(RunBinary);
constexpr NodeRoutine kWithConstant[] = VORLA_BY_OP(RunWithConstant);
constexpr NodeRoutine kWithVariable[] = VORLA_BY_OP(RunWithVariable);
constexpr NodeRoutine kVariableWithConstant[] = VORLA_BY_OP(RunVariableWithConstant);
constexpr NodeRoutine kVariableWithVariable[] = VORLA_BY_OP(RunVariableWithVariable);
#undef VORLA_BY_OP

// ---- Compiling ----

struct Compiler {
  bool fits = true;
  int nesting = 0;

  int32_t Add(const Node& n) {
    if (nodes.Full()) {
      fits = false;
      return 0;
    }
    return nodes.Add(n);
  }
  bool IsConstant(int32_t n) const { return fits && nodes.items[n].run == RunConstant; }
  bool IsVariable(int32_t n) const { return fits && nodes.items[n].run == RunVariable; }

  // l op r, read with as few nodes as its operands allow.
  int32_t Binary(Op op, int32_t l, int32_t r) {
    const int k = int(op);
    if (IsConstant(r)) {
      if (IsVariable(l)) return Add({kVariableWithConstant[k], 0, 0, 0, nodes.items[r].value, l, -1, -1});
      return Add({kWithConstant[k], 0, 0, 0, nodes.items[r].value, l, -1, -1});
    }
    if (IsVariable(r)) {
      const Node& v = nodes.items[r];
      if (IsVariable(l)) return Add({kVariableWithVariable[k], 0, v.nameLength, v.at, 0, l, -1, -1});
      return Add({kWithVariable[k], 0, v.nameLength, v.at, 0, l, -1, -1});
    }
    return Add({kBinary[k], 0, 0, 0, 0, l, r, -1});
  }

  int32_t Operand(const OperandForm& o, TextPosition at, int depth) {
    switch (o.kind) {
      case OperandKind::Constant: return Add({RunConstant, 0, 0, 0, o.value, -1, -1, -1});
      case OperandKind::Name:
        if (o.inner < 0) return Add({RunVariable, 0, o.nameLength, at, 0, -1, -1, -1});
        return Add({RunIndexed, 0, o.nameLength, at, 0, Eval(EvalFormOf(o.inner), depth + 1), -1, -1});
      case OperandKind::Parenthesised: return Eval(EvalFormOf(o.inner), depth + 1);
      case OperandKind::Prefixed:
        return Add({RunPrefix, o.prefix, 0, 0, 0, Eval(EvalFormOf(o.inner), depth + 1), -1, -1});
    }
    return 0;
  }

  // The operand, then each operator once its right operand is read: the
  // order of evaluation.
  int32_t Eval(const EvalForm& f, int depth) {
    nesting = std::max(nesting, depth);
    int32_t node = Operand(f.operand, f.first, depth);
    for (int32_t s = f.firstStep; s >= 0; s = StepOf(s).next) {
      node = Binary(StepOf(s).op.op, node, Eval(EvalFormOf(StepOf(s).right), depth + 1));
    }
    return node;
  }
};

int StackFor(const EvalForm& f);

// The Values the walker holds at once while it evaluates an operand.
int StackForOperand(const OperandForm& o) {
  if (o.kind == OperandKind::Constant || (o.kind == OperandKind::Name && o.inner < 0)) return 1;
  return StackFor(EvalFormOf(o.inner));
}

// ... and a form: each left operand waits while its right operand is read.
int StackFor(const EvalForm& f) {
  int most = StackForOperand(f.operand);
  for (int32_t s = f.firstStep; s >= 0; s = StepOf(s).next) {
    most = std::max(most, 1 + StackFor(EvalFormOf(StepOf(s).right)));
  }
  return most;
}

// The expression form that begins at `key`, when it has code and stops where
// `stop` says; nullptr otherwise.
const EvalForm* ExpressionAt(TextPosition key, uint8_t stop) {
  int32_t index = DecodeExpression(key);
  if (index < 0) return nullptr;
  const EvalForm& f = EvalFormOf(index);
  return f.pure >= 0 && PeekText(f.stop) == stop ? &f : nullptr;
}

int32_t AddStatementCode(const StatementCode& code) {
  return statementCodes.Full() ? -1 : statementCodes.Add(code);
}

// The body that ExecBody runs from `at`, when it is one the loop's code can
// run itself.
BodyCode BodyAt(TextPosition at) {
  BodyCode body{BodyKind::Other, -1, at};
  SkipBlanks(body.first);
  if (PeekText(body.first) == ';') {
    body.kind = BodyKind::Empty;
  } else if (const StatementForm* form = StatementFormNow(body.first)) {
    if (form->code >= 0 && statementCodes.items[form->code].kind == CodeKind::Assign) {
      body.kind = BodyKind::Assign;
      body.code = form->code;
    }
  }
  return body;
}

// Just past the ';' of the assignment whose form begins at `at` (one without
// an index when `plainOnly`), or 0 where the decoder reads no such statement.
TextPosition AfterAssignment(TextPosition at, bool plainOnly) {
  const StatementForm* form = StatementFormNow(at);
  if (form == nullptr || form->value < 0 || (plainOnly && form->index >= 0)) return 0;
  const TextPosition stop = EvalFormOf(form->value).stop;
  return PeekText(stop) == ';' ? stop + 1 : 0;
}

// for (init; condition; step) body: the condition after an initial statement
// that is empty or an assignment, as the decoder reads them.
int32_t CompileFor(const StatementForm& form) {
  TextPosition init = form.first + 5;
  SkipBlanks(init);
  const TextPosition conditionAt = PeekText(init) == ';' ? init + 1 : AfterAssignment(init, true);
  if (conditionAt == 0) return -1;
  const EvalForm* condition = ExpressionAt(conditionAt, ';');
  if (condition == nullptr) return -1;
  TextPosition step = condition->stop + 1, body = step, exit = condition->stop;
  if (!SkipToCloseParen(body) || !SkipToCloseParen(exit) || !SkipStatement(exit)) return -1;
  StatementCode code{};
  code.kind = CodeKind::For;
  code.condition = condition->pure;
  code.stop = condition->stop;
  code.conditionAt = conditionAt;
  code.bodyAt = body;
  code.stepAt = step;
  code.exitAt = exit;
  code.body = BodyAt(body);
  code.step = BodyAt(step);
  return AddStatementCode(code);
}

// do body while (condition): a block or an assignment as the body, so that
// where it ends is known.
int32_t CompileDo(const StatementForm& form) {
  const TextPosition body = form.first + 3;
  TextPosition end = body;
  SkipBlanks(end);
  if (PeekText(end) == '{') {
    if (!SkipStatement(end)) return -1;
  } else {
    end = AfterAssignment(end, false);
    if (end == 0) return -1;
  }
  TextPosition condition = end;
  SkipBlanks(condition);
  if (!AcceptKeyword(condition, "while (")) return -1;
  const EvalForm* f = ExpressionAt(condition, ')');
  if (f == nullptr) return -1;
  StatementCode code{};
  code.kind = CodeKind::Do;
  code.condition = f->pure;
  code.stop = f->stop;
  code.bodyAt = body;
  code.bodyEnd = end;
  code.body = BodyAt(body);
  return AddStatementCode(code);
}

// ---- Running ----

// The Value of an expression's code; `gaveUp` is set where the walker would
// do anything else. The caller has checked the limits.
[[gnu::always_inline]] inline Value Evaluate(const ExpressionCode& c, Scope scope, bool& gaveUp) {
  Evaluation e{scope, c.names.Holds(scope), false};
  const Value v = Run(c.root, e);
  if (!e.resolved) {
    // Nodes found their slots again: the stamp is theirs only if all did.
    if (e.gaveUp) {
      c.names = NamesStamp{};
    } else {
      c.names.Take(scope);
    }
  }
  gaveUp |= e.gaveUp;
  return v;
}

// Whether an evaluation `levels` deeper than the current one stays inside the
// nesting and operand limits that `code` was compiled against.
[[gnu::always_inline]] inline bool WithinLimits(int32_t nestingLimit, int32_t operandLimit, int levels) {
  return !HasError() && NestingDepth + levels <= nestingLimit && OperandDepth <= operandLimit;
}

// The assignment's store into `slot`, its expressions evaluated `levels`
// deeper than the current evaluation; false, with nothing changed, where the
// walker would do anything else.
[[nodiscard]] bool TryAssign(const StatementCode& code, Scope scope, int slot, int levels) {
  if (!WithinLimits(code.nestingLimit, code.operandLimit, levels) ||
      VariableTable[slot].NameLength != code.nameLength) {
    return false;
  }
  const Value modulo = Modulo();
  bool gaveUp = false;
  if (code.index < 0) {
    const Value v = Evaluate(expressions.items[code.value], scope, gaveUp);
    if (gaveUp) {
      Modulo() = modulo;
      return false;
    }
    VariableTable[slot].value = v;
    return true;
  }
  const Value index = Evaluate(expressions.items[code.index], scope, gaveUp);
  uint32_t address, width;
  if (gaveUp || !IndexedAddress(code.name, VariableTable[slot].value, index, address, width)) {
    Modulo() = modulo;
    return false;
  }
  const Value v = Evaluate(expressions.items[code.value], scope, gaveUp);
  if (gaveUp) {
    Modulo() = modulo;
    return false;
  }
  if (width == 1) {
    ScriptMemory::StoreByte(address, uint8_t(Bits(v)));
  } else {
    ScriptMemory::StoreWord(address, v);
  }
  return true;
}

[[nodiscard]] bool TryAssignCode(const StatementCode& code, TextPosition& p, Scope scope, int slot) {
  if (!TryAssign(code, scope, slot, 1)) return false;
  p = code.stop;
  return true;
}

// The slot of an assignment's target, found again only when the names changed.
int TargetSlot(const StatementCode& code, Scope scope) {
  if (!code.names.Holds(scope)) {
    code.slot = FindVariable(code.name, scope);
    code.names.Take(scope);
  }
  return code.slot;
}

// A statement that code ran, counted as ExecStatement counts it (the caller
// has seen that the step budget is not spent).
void CountStatement() {
  StatementCount++;
  if (StepBudget > 0) StepBudget--;
}

// ExecBody at p for a body that is the one assignment `code`, run from its
// code, the cursor left past its ';'; false, with nothing done, where
// anything stands in its way.
[[nodiscard]] bool TryAssignBody(const StatementCode& code, TextPosition& p, Scope scope) {
  if (StepBudget == 0) return false;
  const int slot = TargetSlot(code, scope);
  // Two levels: the body's own, and the evaluation's.
  if (slot < 0 || !TryAssign(code, scope, slot, 2)) return false;
  CountStatement();
  p = code.stop + 1;
  return true;
}

// ExecBody(p) for a body that the loop's code runs itself, as ExecBody runs
// it; false, with nothing done, where anything stands in the way.
[[nodiscard]] bool TryBodyCode(const BodyCode& body, TextPosition& p, Scope scope) {
  if (body.kind == BodyKind::Assign) return TryAssignBody(statementCodes.items[body.code], p, scope);
  if (StepBudget == 0 || HasError() || NestingDepth >= kMaxNesting) return false;
  CountStatement();
  p = body.first + 1;
  return true;
}

// ExecBody(p), from the body's code where it can be. Answers whether
// ErrorPosition is set.
bool RunBody(const BodyCode& body, TextPosition& p, Scope scope) {
  if (body.kind != BodyKind::Other && TryBodyCode(body, p, scope)) return false;
  return ExecBody(p, scope);
}

[[nodiscard]] bool TryIfCode(const StatementCode& code, TextPosition& p, Scope scope) {
  Value condition;
  if (!TryExpressionCode(code.condition, scope, 1, condition)) return false;
  p = code.stop + 1;
  IfBranches(p, scope, condition);
  return true;
}

// The walker's passes of the loop, with the condition from its code and the
// body and step where the form says, while the text stays as it was decoded.
// Whatever the loop runs may end that text generation, and the code's pools
// with it: the code is read only while the generation stands, and what a
// pass needs after its body is taken from it before the body runs.
void RunFor(const StatementCode& code, TextPosition& p, Scope scope) {
  const uint64_t generation = ScriptMemory::Generation();
  const TextPosition header = p;
  if (ExecBody(p, scope)) return;
  const TextPosition conditionStart = p;
  for (;;) {
    p = conditionStart;
    Value condition;
    if (ScriptMemory::Generation() != generation || p != code.conditionAt ||
        !TryExpressionCode(code.condition, scope, 1, condition)) {
      ForPasses(p, scope, header);
      return;
    }
    if (condition == 0) {
      p = code.exitAt;
      return;
    }
    TextPosition body = code.bodyAt;
    TextPosition step = code.stepAt;
    if (RunBody(code.body, body, scope)) {
      p = body;
      return;
    }
    // A step whose code went with the generation is the walker's.
    static constexpr BodyCode kWalked{BodyKind::Other, -1, 0};
    if (RunBody(ScriptMemory::Generation() == generation ? code.step : kWalked, step, scope)) {
      p = step;
      return;
    }
  }
}

void RunDo(const StatementCode& code, TextPosition& p, Scope scope) {
  const uint64_t generation = ScriptMemory::Generation();
  const TextPosition bodyAt = code.bodyAt;
  for (;;) {
    p = bodyAt;
    if (RunBody(code.body, p, scope)) return;
    Value condition;
    if (ScriptMemory::Generation() != generation || p != code.bodyEnd ||
        !TryExpressionCode(code.condition, scope, 1, condition)) {
      if (DoConditionHolds(p, scope, bodyAt)) DoPasses(p, scope, bodyAt);
      return;
    }
    p = code.stop + 1;
    if (condition == 0) return;
  }
}

}  // namespace

void ForgetCode() {
  nodes.Clear();
  expressions.Clear();
  statementCodes.Clear();
}

int32_t CompileExpression(const EvalForm& form) {
  if (expressions.Full()) return -1;
  Compiler c;
  const int32_t root = c.Eval(form, 0);
  const int stack = StackFor(form);
  if (!c.fits || stack > kMaxOperands) return -1;
  return expressions.Add({root, kMaxNesting - c.nesting, kMaxOperands - stack, {}});
}

bool TryExpressionCode(int32_t code, Scope scope, int levels, Value& out) {
  const ExpressionCode& c = expressions.items[code];
  if (!WithinLimits(c.nestingLimit, c.operandLimit, levels)) return false;
  const Value modulo = Modulo();
  bool gaveUp = false;
  const Value v = Evaluate(c, scope, gaveUp);
  if (gaveUp) {
    Modulo() = modulo;
    return false;
  }
  out = v;
  return true;
}

int32_t CompileStatement(const StatementForm& form) {
  switch (form.kind) {
    case StatementKind::Name: {
      if (form.value < 0) return -1;
      const EvalForm& value = EvalFormOf(form.value);
      if (value.pure < 0 || value.faultAtStop) return -1;
      if (form.index >= 0 && EvalFormOf(form.index).pure < 0) return -1;
      StatementCode code{};
      code.kind = CodeKind::Assign;
      code.nameLength = form.nameLength;
      code.name = form.first;
      code.index = form.index >= 0 ? EvalFormOf(form.index).pure : -1;
      code.value = value.pure;
      code.stop = value.stop;
      code.nestingLimit = expressions.items[code.value].nestingLimit;
      code.operandLimit = expressions.items[code.value].operandLimit;
      if (code.index >= 0) {
        code.nestingLimit = std::min(code.nestingLimit, expressions.items[code.index].nestingLimit);
        code.operandLimit = std::min(code.operandLimit, expressions.items[code.index].operandLimit);
      }
      return AddStatementCode(code);
    }
    case StatementKind::If: {
      const EvalForm* condition = ExpressionAt(form.first + 4, ')');
      if (condition == nullptr) return -1;
      StatementCode code{};
      code.kind = CodeKind::If;
      code.condition = condition->pure;
      code.stop = condition->stop;
      return AddStatementCode(code);
    }
    case StatementKind::For: return CompileFor(form);
    case StatementKind::Do: return CompileDo(form);
    case StatementKind::Empty: break;
  }
  return -1;
}

const StatementCode& StatementCodeOf(int32_t code) { return statementCodes.items[code]; }

bool TryAssignmentBody(const StatementForm& form, TextPosition& p, Scope scope) {
  if (form.code < 0) return false;
  const StatementCode& code = statementCodes.items[form.code];
  return code.kind == CodeKind::Assign && TryAssignBody(code, p, scope);
}

bool TryStatementCode(const StatementCode& code, TextPosition& p, Scope scope, int slot) {
  switch (code.kind) {
    case CodeKind::Assign: return TryAssignCode(code, p, scope, slot);
    case CodeKind::If: return TryIfCode(code, p, scope);
    case CodeKind::For: RunFor(code, p, scope); return true;
    case CodeKind::Do: RunDo(code, p, scope); return true;
  }
  return false;
}

}  // namespace vorla
