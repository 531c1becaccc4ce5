// Running compiled code: evaluations, calls, statements, bodies and routine
// activations. Every routine here either does what the walker does, or hands
// the rest of its construct to the walker at the walker's exact state through
// resume.h and answers true, so that its parent does the same: a hand-over
// goes up construct by construct to the statement, the block and the body.
// After anything that may have run a script's store (a call, an indexed
// store), the code goes on only while the text stands as it was compiled.
#include "core/engine/nodes.h"
#include "core/exec.h"
#include "core/expr.h"
#include "core/names.h"

namespace vorla::engine {

namespace {

Value PopValue() { return OperandStack[--OperandDepth]; }

Scope ScopeOf(bool inArgument, const Activation& a) { return inArgument ? a.ArgumentScope() : a.BodyScope(); }

// The slot of a variable as compiled, or -1 when a name in an argument list
// means no variable where it runs.
int SlotOf(const VarRef& v, const Activation& a) {
  switch (v.kind) {
    case VarKind::Frame: return a.base + v.slot;
    case VarKind::Global: return v.slot;
    case VarKind::Dynamic: break;
  }
  return DynamicSlot(v, a);
}

// ---- Evaluations ----

// The walker reads the operand of `e`; a.cursor is where it stopped.
bool WalkOperand(const Eval& e, Activation& a) {
  TextPosition p = e.first;
  NestingDepth = a.nesting + e.level;
  ReadOperand(p, ScopeOf(e.inArgument, a));
  a.cursor = p;
  return true;
}

// name[index] with calls in the index: the variable is found before the
// index runs, as the walker finds it; its Value is read after.
bool RunIndexedOperand(const Eval& e, Activation& a) {
  const int slot = SlotOf(e.var, a);
  if (slot < 0) return WalkOperand(e, a);
  const int32_t depth = OperandDepth;
  TextPosition p;
  if (RunEval(*e.inner, a)) {
    p = a.cursor;
  } else {
    const Value index = PopValue();
    uint32_t address, width;
    if (IndexedAddress(e.bytes, VariableTable[slot].value, index, address, width)) {
      PushValue(ReadIndexedValue(address, width));
      return false;
    }
    PushValue(index);  // the walker faults at the name
    p = e.operandEnd - 1;
  }
  NestingDepth = a.nesting + e.level;
  ResumeIndexedRead(p, e.first, slot, e.open, depth);
  a.cursor = p;
  return true;
}

bool RunOperand(const Eval& e, Activation& a) {
  switch (e.kind) {
    case OperandKind::Pure: {
      Value v;
      if (!EvalPure(e.pure, a, v)) return WalkOperand(e, a);
      PushValue(v);
      return false;
    }
    case OperandKind::Walker: return WalkOperand(e, a);
    case OperandKind::Call: return RunCall(*e.call, a);
    case OperandKind::Parenthesised:
    case OperandKind::Prefixed: {
      const int32_t depth = OperandDepth;
      if (RunEval(*e.inner, a)) {
        TextPosition p = a.cursor;
        if (e.kind == OperandKind::Parenthesised) {
          FinishParenthesised(p, e.open, depth);
        } else {
          FinishPrefixed(p, e.prefix, depth);
        }
        a.cursor = p;
        return true;
      }
      if (e.kind == OperandKind::Prefixed) {
        Value& top = OperandStack[OperandDepth - 1];
        top = ApplyPrefix(e.prefix, top);
      }
      return false;
    }
    case OperandKind::Indexed: return RunIndexedOperand(e, a);
  }
  return false;
}

// The walker takes the rest of `e` over after the right operand of step `s`
// stopped at p.
bool ResumeStep(const Eval& e, const Step& s, TextPosition p, int32_t depth, int32_t entryDepth, Activation& a) {
  NestingDepth = a.nesting + e.level;
  ResumeAfterRightOperand(p, ScopeOf(e.inArgument, a), s.op, e.minLevel, depth, entryDepth);
  a.cursor = p;
  return true;
}

}  // namespace

// operand { operator operand }, as the walker's evaluation at e.level.
bool RunEval(const Eval& e, Activation& a) {
  const int32_t entryDepth = OperandDepth;
  if (RunOperand(e, a) && !Clean(a.cursor, e.operandEnd)) {
    TextPosition p = a.cursor;
    NestingDepth = a.nesting + e.level;
    ContinueOperators(p, ScopeOf(e.inArgument, a), e.minLevel, entryDepth);
    a.cursor = p;
    return true;
  }
  for (uint16_t i = 0; i < e.count; i++) {
    const Step& s = e.steps[i];
    const int32_t depth = OperandDepth;
    Value r;
    if (s.eval != nullptr) {
      if (RunEval(*s.eval, a) && !Clean(a.cursor, s.rightStop)) return ResumeStep(e, s, a.cursor, depth, entryDepth, a);
      r = PopValue();
    } else if (!EvalPure(s.pure, a, r)) {
      TextPosition p = s.rightStart;
      NestingDepth = a.nesting + e.level;
      EvalExpression(p, ScopeOf(e.inArgument, a), s.level);
      if (!Clean(p, s.rightStop)) return ResumeStep(e, s, p, depth, entryDepth, a);
      r = PopValue();
    }
    if (DividesByZero(s.op, r)) {
      PushValue(r);  // the walker prints the notice
      return ResumeStep(e, s, s.rightStop, depth, entryDepth, a);
    }
    Value& l = OperandStack[OperandDepth - 1];
    l = ApplyOperator(s.op, l, r);
  }
  return false;
}

// ---- Calls ----

namespace {

// The walker makes the call from its name: a fault of the call itself (too
// deep, no room for its frame) is its to record.
bool WalkCall(const Call& c, Activation& a) {
  TextPosition p = c.name;
  NestingDepth = a.nesting + c.level;
  if (c.function) {
    ReadOperand(p, ScopeOf(c.inArgument, a));
  } else {
    RunCountedStatement(p, a.BodyScope());
  }
  a.cursor = p;
  return true;
}

// After the walker made the rest of a call: a function's Value is pushed.
bool Made(const Call& c, Activation& a, TextPosition p, bool made, Value result) {
  if (made && c.function) Push(result, c.name);
  a.cursor = p;
  return true;
}

// Takes argument k of a call into `out`; false when the walker must take the
// call over from there: p is then where the argument stopped, and `depth`
// OperandDepth as it began.
[[gnu::always_inline]] inline bool TakeArgument(const Call& c, int k, Scope scope, Activation& a, Value& out, TextPosition& p,
                                                int32_t& depth) {
  const Argument& arg = c.args[k];
  depth = OperandDepth;
  if (arg.eval != nullptr) {
    if (!RunEval(*arg.eval, a)) {
      out = PopValue();
      return true;
    }
    p = a.cursor;
  } else {
    Value v;
    if (EvalPure(arg.pure, a, v)) {
      out = v;
      return true;
    }
    p = arg.start;
    NestingDepth = a.nesting + c.level;
    EvalExpression(p, scope, 0);
  }
  NestingDepth = a.nesting + c.level;
  return false;
}

bool RunBuiltin(const Call& c, Activation& a) {
  const RoutineEntry& e = RoutineTable[c.row];
  const Scope scope = ScopeOf(c.inArgument, a);
  Value args[2] = {0, 0};
  for (int k = 0; k < c.count; k++) {
    TextPosition p;
    int32_t depth;
    if (TakeArgument(c, k, scope, a, args[k], p, depth)) continue;
    Value result = 0;
    const bool made = ResumeBuiltinCall(p, scope, c.row, k, args, depth, result);
    return Made(c, a, p, made, result);
  }
  const Value result = e.Native(args[0], args[1]);
  if (c.function) Push(result, c.name);
  // A procedure whose call stopped the run leaves the cursor on its ')'.
  a.cursor = !c.function && HasError() ? c.end - 1 : c.end;
  return HasError() || !TextStands();
}

bool RunScript(const Call& c, Activation& a) {
  const Routine& r = *c.callee;
  const int32_t base = VariableCount;
  if (base + r.frameSize > kMaxVariables) return WalkCall(c, a);
  Variable* frame = &VariableTable[base];
  for (int32_t i = 0; i < r.frameSize; i++) {
    frame[i].Name = r.frame[i].name;
    frame[i].NameLength = r.frame[i].length;
  }
  const int32_t first = c.function ? 1 : 0;
  if (c.function) frame[0].value = 0;
  VariableCount = base + r.frameSize;
  const int32_t savedTop = a.argTop;
  if (!c.inArgument) a.argTop = base;
  for (int k = 0; k < c.count; k++) {
    TextPosition p;
    int32_t depth;
    if (TakeArgument(c, k, a.ArgumentScope(), a, frame[first + k].value, p, depth)) continue;
    Value result = 0;
    const bool ran = ResumeScriptCall(p, a.ArgumentScope(), c.row, base, r.bodyStart, r.parameters, k, depth, result);
    a.argTop = savedTop;
    return Made(c, a, p, ran, result);
  }
  a.argTop = savedTop;
  CallDepth++;
  NestingDepth = a.nesting + c.level;
  RunRoutine(&r, r.bodyStart, base, a.outer | a.routine->bits);
  CallDepth--;
  const Value result = c.function ? frame[0].value : 0;
  VariableCount = base;
  // A fault in the body may have left the walker's operands on the stack, up
  // to its last slot: the result is then pushed only where there is room.
  if (c.function) Push(result, c.name);
  a.cursor = c.end;
  return HasError() || !TextStands();
}

}  // namespace

bool RunCall(const Call& c, Activation& a) {
  if (CallDepth >= CallDepthLimit) return WalkCall(c, a);
  return c.builtin ? RunBuiltin(c, a) : RunScript(c, a);
}

// ---- Statements ----

namespace {

// The walker runs the statement from its start (it is counted already):
// nothing of it has run yet.
bool WalkStatement(const Stmt& s, Activation& a) {
  TextPosition p = s.start;
  NestingDepth = a.nesting + s.level;
  RunCountedStatement(p, a.BodyScope());
  a.cursor = p;
  return true;
}

bool RunEmpty(const Stmt&, Activation&) { return false; }

template <VarKind K>
Value& Target(const VarRef& v, Activation& a) {
  if constexpr (K == VarKind::Frame) {
    return a.frame[v.slot].value;
  } else {
    return VariableTable[v.slot].value;
  }
}

// name = expression, without calls.
template <VarKind K>
bool RunAssign(const Stmt& s, Activation& a) {
  Value v;
  if (!EvalPure(s.value, a, v)) return WalkStatement(s, a);
  Target<K>(s.target, a) = v;
  return false;
}

// The store of name[index] = v once made: a store into the text ends the
// code's reading at the statement's end.
bool Stored(const Stmt& s, Activation& a, uint32_t address, uint32_t width, Value v) {
  StoreIndexedValue(address, width, v);
  if (TextStands()) return false;
  a.cursor = s.end;
  return true;
}

// name[index] = expression, without calls. A word inside ArrayMemory is one
// range test and one store.
template <VarKind K>
bool RunIndexedAssign(const Stmt& s, Activation& a) {
  const Value modulo = Modulo();
  Value index, v;
  uint32_t address, width;
  if (!EvalPure(s.index, a, index)) return WalkStatement(s, a);
  const Value base = Target<K>(s.target, a);
  if (!s.bytes) {
    address = Bits(Add(base, Mul(index, 4)));
    if (ArrayWordAt(address)) {
      if (!EvalPure(s.value, a, v)) {
        Modulo() = modulo;
        return WalkStatement(s, a);
      }
      ScriptMemory::StoreWord(address, v);
      return false;
    }
  }
  if (!IndexedAddress(s.bytes, base, index, address, width) || !EvalPure(s.value, a, v)) {
    Modulo() = modulo;
    return WalkStatement(s, a);
  }
  return Stored(s, a, address, width, v);
}

// An assignment with calls in its index or right-hand side.
bool RunAssignWithCalls(const Stmt& s, Activation& a) {
  const int slot = SlotOf(s.target, a);
  const Scope scope = a.BodyScope();
  StoreTarget target;
  if (s.open != 0) {
    const int32_t depth = OperandDepth;
    Value index;
    if (s.indexEval != nullptr) {
      if (RunEval(*s.indexEval, a)) {
        TextPosition p = a.cursor;
        NestingDepth = a.nesting + s.level;
        ResumeAssignmentIndex(p, scope, s.start, slot, s.open, depth);
        a.cursor = p;
        return true;
      }
      index = PopValue();
    } else if (!EvalPure(s.index, a, index)) {
      return WalkStatement(s, a);
    }
    target.indexed = true;
    target.base = VariableTable[slot].value;
    target.inMemory = IndexedAddress(s.bytes, target.base, index, target.address, target.width);
  }
  const int32_t depth = OperandDepth;
  TextPosition p;
  if (s.valueEval != nullptr) {
    if (RunEval(*s.valueEval, a)) {
      p = a.cursor;
      NestingDepth = a.nesting + s.level;
      ResumeAssignmentValue(p, s.start, slot, target, depth);
      a.cursor = p;
      return true;
    }
  } else {
    Value v;
    if (!EvalPure(s.value, a, v)) {
      if (s.indexEval == nullptr) return WalkStatement(s, a);
      p = s.valueStart;
      NestingDepth = a.nesting + s.level;
      EvalExpression(p, scope, 0);
      ResumeAssignmentValue(p, s.start, slot, target, depth);
      a.cursor = p;
      return true;
    }
    PushValue(v);
  }
  const Value v = PopValue();
  if (!target.indexed) {
    VariableTable[slot].value = v;
    return false;
  }
  if (target.inMemory) return Stored(s, a, target.address, target.width, v);
  PushValue(v);  // the walker faults at the name
  p = s.end;
  NestingDepth = a.nesting + s.level;
  ResumeAssignmentValue(p, s.start, slot, target, depth);
  a.cursor = p;
  return true;
}

bool RunCallStatement(const Stmt& s, Activation& a) { return RunCall(*s.call, a); }

// The Value of a statement's condition, taken as TakeCondition takes it:
// pure, or with calls; on a hand-over, `p` is where the condition stopped and
// `depth` where it began.
enum class Taken { Value, Walked, GaveUp };
template <bool kPure>
[[gnu::always_inline]] inline Taken TakeCondition(const Stmt& s, Activation& a, Value& out, TextPosition& p,
                                                  int32_t& depth) {
  if constexpr (kPure) {
    return EvalPure(s.value, a, out) ? Taken::Value : Taken::GaveUp;
  } else {
    depth = OperandDepth;
    if (RunEval(*s.valueEval, a)) {
      p = a.cursor;
      return Taken::Walked;
    }
    out = PopValue();
    return Taken::Value;
  }
}

// The walker evaluates a condition the code gave up on, from `at`.
TextPosition WalkCondition(const Stmt& s, Activation& a, TextPosition at) {
  NestingDepth = a.nesting + s.level;
  EvalExpression(at, a.BodyScope(), 0);
  return at;
}

template <bool kPure>
bool RunIf(const Stmt& s, Activation& a) {
  Value condition;
  TextPosition p = 0;
  int32_t depth = 0;
  switch (TakeCondition<kPure>(s, a, condition, p, depth)) {
    case Taken::GaveUp: return WalkStatement(s, a);
    case Taken::Walked:
      NestingDepth = a.nesting + s.level;
      ResumeIfCondition(p, a.BodyScope(), s.open, depth);
      a.cursor = p;
      return true;
    case Taken::Value: break;
  }
  if (condition != 0) {
    if (RunBody(*s.first, a) && !Clean(a.cursor, s.firstEnd)) {
      p = a.cursor;
      NestingDepth = a.nesting + s.level;
      ResumeIfBranch(p, a.BodyScope(), condition);
      a.cursor = p;
      return true;
    }
    a.cursor = s.endTrue;
    return s.endTrue != s.end;
  }
  return s.second != nullptr && RunBody(*s.second, a);
}

template <bool kPure>
bool RunFor(const Stmt& s, Activation& a) {
  const Scope scope = a.BodyScope();
  if (RunBody(*s.init, a) && !Clean(a.cursor, s.conditionStart)) {
    if (HasError()) return true;
    TextPosition p = a.cursor;
    NestingDepth = a.nesting + s.level;
    ResumeForPasses(p, scope, s.header);
    a.cursor = p;
    return true;
  }
  for (;;) {
    Value condition = 1;
    if (s.hasCondition) {
      TextPosition c = 0;
      int32_t depth = 0;
      const Taken taken = TakeCondition<kPure>(s, a, condition, c, depth);
      if (taken != Taken::Value) {
        if (taken == Taken::GaveUp) c = WalkCondition(s, a, s.conditionStart);
        TextPosition p;
        NestingDepth = a.nesting + s.level;
        ResumeForCondition(p, scope, c, s.header, s.conditionStart, depth);
        a.cursor = p;
        return true;
      }
    }
    if (condition == 0) return false;
    if (RunBody(*s.first, a) && (HasError() || !TextStands())) {
      if (HasError()) return true;
      const TextPosition body = a.cursor;
      TextPosition p;
      NestingDepth = a.nesting + s.level;
      ResumeForBody(p, scope, body, s.stepStart, s.header, s.conditionStart);
      a.cursor = p;
      return true;
    }
    if (RunBody(*s.third, a) && (HasError() || !TextStands())) {
      if (HasError()) return true;
      const TextPosition step = a.cursor;
      TextPosition p;
      NestingDepth = a.nesting + s.level;
      ResumeForStep(p, scope, step, s.header, s.conditionStart);
      a.cursor = p;
      return true;
    }
  }
}

template <bool kPure>
bool RunDo(const Stmt& s, Activation& a) {
  const Scope scope = a.BodyScope();
  for (;;) {
    if (RunBody(*s.first, a) && !Clean(a.cursor, s.firstEnd)) {
      TextPosition p = a.cursor;
      NestingDepth = a.nesting + s.level;
      ResumeDoBody(p, scope, s.header);
      a.cursor = p;
      return true;
    }
    Value condition;
    TextPosition p = 0;
    int32_t depth = 0;
    const Taken taken = TakeCondition<kPure>(s, a, condition, p, depth);
    if (taken != Taken::Value) {
      if (taken == Taken::GaveUp) p = WalkCondition(s, a, s.open);
      NestingDepth = a.nesting + s.level;
      ResumeDoCondition(p, scope, s.header, s.open, depth);
      a.cursor = p;
      return true;
    }
    if (condition == 0) return false;
  }
}

// The statement finds the step budget spent: it runs when the budget is
// refilled; otherwise it is the walker's, which stops the run there. Out of
// line, so that the statements of a body pay only the compare.
[[gnu::noinline, gnu::cold]] bool RunAfterSpentBudget(const Stmt& s, Activation& a) {
  if (RefillStepBudget()) {
    StepBudget--;
    return s.run(s, a);
  }
  TextPosition p = s.start;
  NestingDepth = a.nesting + s.level;
  ExecStatement(p, a.BodyScope());
  a.cursor = p;
  return true;
}

// One statement of a body: counted against the step budget as the walker
// counts it.
[[gnu::always_inline]] inline bool RunCounted(const Stmt& s, Activation& a) {
  if (StepBudget == 0) [[unlikely]] return RunAfterSpentBudget(s, a);
  StepBudget--;
  return s.run(s, a);
}

// Whether a block goes on after a statement that ended at p by a way of its
// own: it does when the next statement begins where the code expects it.
bool GoesOn(const Stmt& s, TextPosition p) {
  if (s.next == 0 || HasError() || !TextStands()) return false;
  if (p == s.end) return true;
  if (PeekText(p) == ';') p++;
  SkipBlanks(p);
  return p == s.next;
}

bool RunBlock(const Body& b, Activation& a) {
  const int32_t saved = VariableCount;
  Variable* locals = a.frame + b.localBase;
  for (uint16_t i = 0; i < b.locals; i++) {
    locals[i].Name = b.names[i].name;
    locals[i].NameLength = b.names[i].length;
  }
  VariableCount = saved + b.locals;
  for (uint16_t i = 0; i < b.count; i++) {
    const Stmt& s = *b.statements[i];
    if (RunCounted(s, a) && !GoesOn(s, a.cursor)) {
      TextPosition p = a.cursor;
      NestingDepth = a.nesting + b.level;
      ContinueBlock(p, a.BodyScope(), s.start, b.open, saved);
      a.cursor = p;
      return true;
    }
  }
  VariableCount = saved;
  return false;
}

// ExecBody of a body the code does not hold: the walker's.
bool RunWalkerBody(const Body& b, Activation& a) {
  TextPosition p = b.start;
  NestingDepth = a.nesting + b.level - 1;
  ExecBody(p, a.BodyScope());
  a.cursor = p;
  return true;
}

// One statement, then the step past the character after it.
bool RunStatementBody(const Body& b, Activation& a) {
  if (!RunCounted(*b.statement, a)) return false;
  TextPosition p = a.cursor;
  StepOne(p);
  a.cursor = p;
  return true;
}

}  // namespace

TextPosition RunRoutine(const Routine* r, TextPosition bodyStart, int32_t base, uint64_t outer) {
  const int32_t nesting = NestingDepth;
  if (nesting > r->nestingLimit || OperandDepth > r->operandLimit || VariableCount > r->slotLimit) {
    ExecBody(bodyStart, Scope{base, kLiveTop});
    return bodyStart;
  }
  Activation a{&VariableTable[base], base, nesting, base, outer, r, 0, false};
  const TextPosition end = RunBody(*r->body, a) ? a.cursor : r->body->end;
  NestingDepth = nesting;
  return end;
}

StmtRun StatementRoutines::Empty() { return RunEmpty; }
StmtRun StatementRoutines::Walker() { return WalkStatement; }
StmtRun StatementRoutines::CallStatement() { return RunCallStatement; }
StmtRun StatementRoutines::If(bool pure) { return pure ? RunIf<true> : RunIf<false>; }
StmtRun StatementRoutines::For(bool pure) { return pure ? RunFor<true> : RunFor<false>; }
StmtRun StatementRoutines::Do(bool pure) { return pure ? RunDo<true> : RunDo<false>; }

BodyRun StatementRoutines::Body(bool walker, bool block) {
  return walker ? RunWalkerBody : block ? RunBlock : RunStatementBody;
}

StmtRun StatementRoutines::Assign(bool indexed, bool pure, VarKind kind) {
  if (!pure) return RunAssignWithCalls;
  if (indexed) return kind == VarKind::Frame ? RunIndexedAssign<VarKind::Frame> : RunIndexedAssign<VarKind::Global>;
  return kind == VarKind::Frame ? RunAssign<VarKind::Frame> : RunAssign<VarKind::Global>;
}

}  // namespace vorla::engine
