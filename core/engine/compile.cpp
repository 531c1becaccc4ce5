// The compiler: reads every routine body of the script once, when a run
// begins, exactly as the walker reads it, and builds its nodes. Names are
// bound as the scope rule finds them: a slot of the routine's own frame, whose
// layout (result, parameters, then the locals of each block in declaration
// order) is known here, or a global; in an argument list, where every live
// frame is seen, a name no frame of the routine holds is looked up when it
// runs if a caller's frame may hold it. What is not well formed (what would
// fault, or reads differently on different paths) becomes a part the walker
// runs. A string literal's characters are marked in the memory as text the
// code does not read (memory.h).
#include <algorithm>
#include <bit>

#include "core/engine/engine.h"
#include "core/engine/nodes.h"
#include "core/exec.h"
#include "core/names.h"
#include "core/scan.h"

namespace vorla::engine {

uint64_t CompiledGeneration = 0;

namespace {

// Deeper nesting than this in one statement is left to the walker, which
// keeps the compiler's own recursion and the engine's frames small.
constexpr int kMaxCompileDepth = 160;
// Binary operators one evaluation applies, and parts of one block.
constexpr int kMaxSteps = 64;
constexpr int kMaxBlockStatements = 256;

template <typename T, int kCapacity>
struct Pool {
  T items[kCapacity];
  int count;
  // `n` consecutive items, or nullptr when they do not fit.
  T* Take(int n = 1) {
    if (count + n > kCapacity) return nullptr;
    T* first = &items[count];
    count += n;
    return first;
  }
};

Pool<Pure, 2 * kSourceSize> pures;
Pool<Eval, kSourceSize> evals;
Pool<Step, kSourceSize> steps;
Pool<Argument, kSourceSize> arguments;
Pool<Call, kSourceSize / 2> calls;
Pool<Stmt, kSourceSize> statements;
Pool<Body, kSourceSize> bodies;
Pool<const Stmt*, 2 * kSourceSize> lists;
Pool<NameSlot, 2 * kSourceSize> names;
Routine callees[kMaxRoutines];  // by row
Routine mainEntry;              // main as the run driver runs it: no frame of its own
EngineCounts counts;  // of the last compilation

constexpr TextPosition kUnknown = 0;  // a position the compiler cannot tell

// ---- One routine's compilation ----

// (Plain data: a block of pending steps costs nothing until it is filled.)
struct Expr {
  bool ok;
  bool empty;
  TextPosition stop;
  PureRoot pure;
  const Eval* eval;
  int need;  // the most Values the walker holds for it at once
};

struct OperandForm {
  bool ok = false;
  OperandKind kind = OperandKind::Pure;
  PureRoot pure{};
  const Call* call = nullptr;
  const Eval* inner = nullptr;
  VarRef var{};
  bool bytes = false;
  uint8_t prefix = 0;
  TextPosition open = 0;
  TextPosition end = 0;
  int need = 1;
};

struct Compiler {
  Routine& routine;
  NameSlot frame[kMaxVariables];
  int32_t frameCount = 0;
  int depth = 0;
  bool fits = true;

  explicit Compiler(Routine& r) : routine(r) {
    for (int32_t i = 0; i < r.frameSize; i++) frame[frameCount++] = r.frame[i];
  }

  template <typename T>
  T* Fit(T* item) {
    if (item == nullptr) fits = false;
    return item;
  }
  void Level(int level) { routine.maxLevel = std::max(routine.maxLevel, level); }

  // ---- Names ----

  // The variable the name at p means where the frame holds frameCount
  // names, in the walker's order: the frame from its newest slot, then the
  // globals. `length` gets its name's length. In an argument list a name
  // the frame does not hold may be a caller's.
  bool Bind(TextPosition p, bool argument, VarRef& ref, int32_t& length) {
    for (int32_t i = frameCount - 1; i >= 0; i--) {
      if (VariableNamedAt(p, frame[i].name, frame[i].length)) {
        ref = {VarKind::Frame, 0, int16_t(i), p};
        length = frame[i].length;
        return true;
      }
    }
    int16_t global = -1;
    for (int32_t g = GlobalCount - 1; g >= 0; g--) {
      if (VariableNamedAt(p, VariableTable[g].Name, VariableTable[g].NameLength)) {
        global = int16_t(g);
        break;
      }
    }
    length = global >= 0 ? VariableTable[global].NameLength : NameLengthAt(p);
    if (argument && PeekText(p + TextPosition(length)) != '(') {
      const uint64_t bit = NameBit(p, length);
      ref = {VarKind::Dynamic, uint8_t(std::countr_zero(bit)), global, p};
      return true;
    }
    if (global < 0) return false;
    ref = {VarKind::Global, 0, global, p};
    return true;
  }

  void Declare(TextPosition name, int32_t length) {
    frame[frameCount++] = {name, length};
    routine.bits |= NameBit(name, length);
    routine.maxLocals = std::max(routine.maxLocals, frameCount - routine.frameSize);
  }

  // ---- Pure nodes ----

  const Pure* NewPure(const Pure& n) {
    Pure* p = Fit(pures.Take());
    if (p == nullptr) return nullptr;
    *p = n;
    return p;
  }

  const Pure* Constant(Value v) { return NewPure({PureRoutines::Constant(), nullptr, nullptr, v, {}, {}, 0}); }

  static bool Fusable(const Pure* n) { return n != nullptr && PureRoutines::IsVariable(n->run); }

  // l op r, read with as few nodes as its operands allow.
  const Pure* Binary(Op op, const Pure* l, const Pure* r) {
    if (l == nullptr || r == nullptr) return nullptr;
    if (PureRoutines::IsConstant(r->run)) {
      if (Fusable(l)) return NewPure({PureRoutines::VariableWithConstant(op, l->var.kind), nullptr, nullptr, r->value, l->var, {}, 0});
      return NewPure({PureRoutines::WithConstant(op), l, nullptr, r->value, {}, {}, 0});
    }
    if (Fusable(l) && Fusable(r)) {
      return NewPure({PureRoutines::VariableWithVariable(op, l->var.kind, r->var.kind), nullptr, nullptr, 0, l->var, r->var, 0});
    }
    return NewPure({PureRoutines::Binary(op), l, r, 0, {}, {}, 0});
  }

  // ---- Expressions ----

  // A call of `row` whose name is at `at`, as a function or as a procedure;
  // its arguments are read in the scope its place gives them.
  const Call* CompileCall(TextPosition at, int row, int level, bool argument, bool function, TextPosition& end) {
    const RoutineEntry& e = RoutineTable[row];
    const bool builtin = (e.NativeFlag & 0x80) != 0;
    const Routine* callee = builtin ? nullptr : CalleeCode(row);
    if (!builtin && callee == nullptr) return nullptr;  // its parameter list does not end at ')'
    const int count = builtin ? e.ArgCount : callee->parameters;
    TextPosition cursor = at + TextPosition(e.NameLength) + 1;
    Argument* args = count > 0 ? Fit(arguments.Take(count)) : nullptr;
    if (count > 0 && args == nullptr) return nullptr;
    const bool argumentsSeeAll = argument || !builtin;
    int need = 1;
    if (count == 0) {
      if (!SkipToCloseParen(cursor)) return nullptr;
    }
    for (int k = 0; k < count; k++) {
      Expr arg = Evaluation(cursor, 0, level + 1, argumentsSeeAll);
      if (!arg.ok || arg.empty || PeekText(arg.stop) != (k + 1 < count ? ',' : ')')) return nullptr;
      args[k] = {arg.pure, arg.eval, cursor};
      need = std::max(need, arg.need);
      cursor = arg.stop + 1;
    }
    Call* c = Fit(calls.Take());
    if (c == nullptr) return nullptr;
    *c = {int16_t(row), function, builtin, argument, uint8_t(count), int16_t(level), at, cursor, args, callee};
    end = cursor;
    callNeed = need;
    return c;
  }
  int callNeed = 1;

  OperandForm Operand(TextPosition at, int level, bool argument) {
    OperandForm o;
    const uint8_t c = PeekText(at);
    if (IsDigit(c) || c == '$') {
      const Value v = c == '$' ? HexAt(at, o.end) : DecimalAt(at, o.end);
      o.pure.node = Constant(v);
      o.ok = true;
      return o;
    }
    if (c == kQuote) {
      const TextPosition close = StringEnd(at);
      if (PeekText(close) == kNul) return o;
      ScriptMemory::MarkLiteral(at + 1, close);
      o.pure.node = Constant(Value(at + 1));
      o.end = close + 1;
      o.ok = true;
      return o;
    }
    if (c == kApostrophe) {
      if (!CharacterAt(at)) return o;
      o.pure.node = Constant(SignExtend(PeekText(at + 1)));
      o.end = at + 3;
      o.ok = true;
      return o;
    }
    if (c == '(' || c == '-' || c == '+' || c == '~') {
      const bool parenthesised = c == '(';
      Expr inner = Evaluation(at + 1, parenthesised ? 0 : 5, level + 1, argument);
      if (!inner.ok || inner.empty || (parenthesised && PeekText(inner.stop) != ')')) return o;
      o.end = parenthesised ? inner.stop + 1 : inner.stop;
      o.need = inner.need;
      o.open = at;
      o.prefix = c;
      if (inner.eval != nullptr) {
        o.kind = parenthesised ? OperandKind::Parenthesised : OperandKind::Prefixed;
        o.inner = inner.eval;
      } else if (parenthesised) {
        o.pure = inner.pure;
      } else {
        o.pure = {NewPure({PureRoutines::Prefix(), inner.pure.node, nullptr, 0, {}, {}, c}), inner.pure.divides};
      }
      o.ok = true;
      return o;
    }
    if (!IsNameChar(c)) return o;
    VarRef ref;
    int32_t length;
    if (Bind(at, argument, ref, length)) {
      const TextPosition after = at + TextPosition(length);
      if (PeekText(after) != '[') {
        o.pure.node = NewPure({PureRoutines::Variable(ref.kind), nullptr, nullptr, 0, ref, {}, 0});
        o.end = after;
        o.ok = true;
        return o;
      }
      Expr index = Evaluation(after + 1, 0, level + 1, argument);
      if (!index.ok || index.empty || PeekText(index.stop) != ']') return o;
      o.end = index.stop + 1;
      o.need = index.need;
      o.bytes = c == '_';
      o.var = ref;
      o.open = after;
      if (index.eval != nullptr) {
        o.kind = OperandKind::Indexed;
        o.inner = index.eval;
      } else {
        o.pure = {NewPure({PureRoutines::Indexed(ref.kind), index.pure.node, nullptr, 0, ref, {}, uint8_t(o.bytes)}),
                  index.pure.divides};
      }
      o.ok = true;
      return o;
    }
    const int row = FindRoutine(at);
    if (row < 0 || RoutineTable[row].kind != Kind::Function ||
        PeekText(at + TextPosition(RoutineTable[row].NameLength)) != '(') {
      return o;
    }
    o.call = CompileCall(at, row, level, argument, true, o.end);
    if (o.call == nullptr) return o;
    o.kind = OperandKind::Call;
    o.need = callNeed;
    o.ok = true;
    return o;
  }

  struct PendingStep {
    Op op;
    uint8_t level;
    TextPosition rightStart;
    Expr right;
  };

  // EvalExpression(key, minLevel) as the walker reads it where nothing
  // faults, up to where it stops: a ';' or ')', an operator left to the
  // caller, or any other character, which the construct judges.
  Expr Evaluation(TextPosition key, int minLevel, int level, bool argument) {
    Expr r{};
    if (++depth > kMaxCompileDepth) {
      depth--;
      return r;
    }
    r = ReadEvaluation(key, minLevel, level, argument);
    depth--;
    return r;
  }

  Expr ReadEvaluation(TextPosition key, int minLevel, int level, bool argument) {
    Expr r{};
    Level(level);
    TextPosition first = key;
    SkipBlanks(first);
    if (PeekText(first) == ';' || PeekText(first) == ')') {
      r.ok = r.empty = true;
      r.stop = first;
      return r;
    }
    const OperandForm o = Operand(first, level, argument);
    if (!o.ok || !fits) return r;
    PendingStep pending[kMaxSteps];
    int count = 0;
    bool pure = o.kind == OperandKind::Pure;
    r.need = o.need;
    TextPosition q = o.end;
    SkipBlanks(q);
    for (;;) {
      if (PeekText(q) == ';' || PeekText(q) == ')') break;
      const Operator op = Classify(q);
      if (op.op == Op::None || minLevel >= op.level) break;
      if (count == kMaxSteps) return r;
      PendingStep& s = pending[count++];
      s = {op.op, op.level, q + op.length, Evaluation(q + op.length, op.level, level + 1, argument)};
      if (!s.right.ok || s.right.empty || !fits) return r;
      pure = pure && s.right.eval == nullptr;
      r.need = std::max(r.need, 1 + s.right.need);
      q = s.right.stop;
    }
    r.stop = q;
    r.ok = true;
    if (pure) {
      r.pure = o.pure;
      for (int i = 0; i < count; i++) {
        const PendingStep& s = pending[i];
        r.pure.node = Binary(s.op, r.pure.node, s.right.pure.node);
        r.pure.divides = r.pure.divides || s.right.pure.divides || s.op == Op::Div || s.op == Op::Rem;
      }
      r.ok = fits;
      return r;
    }
    Eval* e = Fit(evals.Take());
    Step* list = count > 0 ? Fit(steps.Take(count)) : nullptr;
    if (!fits) return Expr{};
    *e = {o.kind, uint8_t(minLevel), o.prefix, argument, uint16_t(count), int16_t(level), first, o.end, o.open,
          o.pure, o.call, o.inner, o.var, o.bytes, list};
    for (int i = 0; i < count; i++) {
      const PendingStep& s = pending[i];
      list[i] = {s.op, s.level, s.rightStart, s.right.stop, s.right.pure, s.right.eval};
    }
    r.eval = e;
    return r;
  }

  // ---- Statements ----

  Stmt* NewStatement(TextPosition start, int level) {
    Stmt* s = Fit(statements.Take());
    if (s == nullptr) return nullptr;
    *s = Stmt{};
    s->start = s->end = start;
    s->level = int16_t(level);
    Level(level);
    return s;
  }

  // A statement the walker runs: its end is not known here.
  Stmt* Walked(Stmt* s) {
    s->run = StatementRoutines::Walker();
    s->end = s->next = kUnknown;
    counts.walkerStatements++;
    return s;
  }

  // A whole expression of a statement (minimum level 0) that must give a
  // Value and stop at `stop` (any of ';' and ')' when 0).
  bool Whole(TextPosition at, int level, uint8_t stop, Expr& out) {
    out = Evaluation(at, 0, level + 1, false);
    if (!out.ok || out.empty) return false;
    const uint8_t c = PeekText(out.stop);
    return stop != 0 ? c == stop : (c == ';' || c == ')');
  }

  void Need(int need) { routine.maxOperands = std::max(routine.maxOperands, need); }

  Stmt* Assignment(Stmt* s, const VarRef& target, int32_t length, int level) {
    TextPosition p = s->start + TextPosition(length);
    s->target = target;
    s->bytes = PeekText(s->start) == '_';
    Expr index{}, value{};
    const bool indexed = PeekText(p) == '[';
    if (indexed) {
      s->open = p;
      if (!Whole(p + 1, level, ']', index)) return Walked(s);
      p = index.stop + 1;
    }
    SkipBlanks(p);
    if (PeekText(p) != '=') return Walked(s);
    s->valueStart = ++p;
    if (!Whole(p, level, 0, value)) return Walked(s);
    s->index = index.pure;
    s->indexEval = index.eval;
    s->value = value.pure;
    s->valueEval = value.eval;
    s->end = value.stop;
    Need(std::max(index.need, value.need));
    const bool pure = index.eval == nullptr && value.eval == nullptr;
    s->run = StatementRoutines::Assign(indexed, pure, target.kind);
    return s;
  }

  Stmt* CallStatement(Stmt* s, int level) {
    const int row = FindRoutine(s->start);
    if (row < 0 || RoutineTable[row].kind != Kind::Procedure ||
        PeekText(s->start + TextPosition(RoutineTable[row].NameLength)) != '(') {
      return Walked(s);
    }
    s->call = CompileCall(s->start, row, level, false, false, s->end);
    if (s->call == nullptr) return Walked(s);
    Need(callNeed);
    s->run = StatementRoutines::CallStatement();
    return s;
  }

  // if (condition) first [else second]: each way through may end elsewhere.
  Stmt* If(Stmt* s, int level) {
    Expr condition{};
    s->open = s->start + 4;
    if (!Whole(s->open, level, ')', condition)) return Walked(s);
    const TextPosition branch = condition.stop + 1;
    TextPosition skipped = branch;
    if (!SkipStatement(skipped)) return Walked(s);
    s->first = CompileBody(branch, level);
    if (s->first == nullptr) return Walked(s);
    s->firstEnd = s->first->end;
    // Run: the else branch, if one follows, is passed over.
    TextPosition q = s->firstEnd;
    SkipBlanks(q);
    s->endTrue = s->firstEnd;
    if (s->firstEnd != kUnknown && AcceptKeywordAndBlank(q, "else")) {
      if (!SkipStatement(q)) return Walked(s);
      s->endTrue = q;
    }
    // Passed over: the else branch, if one follows, is run.
    q = skipped;
    SkipBlanks(q);
    s->end = skipped;
    if (AcceptKeywordAndBlank(q, "else")) {
      s->second = CompileBody(q, level);
      if (s->second == nullptr || s->second->end == kUnknown) return Walked(s);
      s->end = s->second->end;
    }
    s->value = condition.pure;
    s->valueEval = condition.eval;
    Need(condition.need);
    s->run = StatementRoutines::If(condition.eval == nullptr);
    return s;
  }

  // for (init; condition; step) body: the header found as the walker finds
  // it on every pass.
  Stmt* For(Stmt* s, int level) {
    s->header = s->start + 5;
    s->init = CompileBody(s->header, level);
    if (s->init == nullptr || s->init->end == kUnknown) return Walked(s);
    s->conditionStart = s->init->end;
    Expr condition = Evaluation(s->conditionStart, 0, level + 1, false);
    if (!condition.ok || PeekText(condition.stop) != ';') return Walked(s);
    s->hasCondition = !condition.empty;
    s->stepStart = condition.stop + 1;
    TextPosition body = s->stepStart;
    if (!SkipToCloseParen(body)) return Walked(s);
    TextPosition exit = body;
    if (!SkipStatement(exit)) return Walked(s);
    s->end = exit;
    s->first = CompileBody(body, level);
    s->third = CompileBody(s->stepStart, level);
    if (s->first == nullptr || s->third == nullptr) return Walked(s);
    s->value = condition.pure;
    s->valueEval = condition.eval;
    Need(condition.need);
    s->run = StatementRoutines::For(condition.eval == nullptr);
    return s;
  }

  // do body while (condition)
  Stmt* Do(Stmt* s, int level) {
    s->header = s->start + 3;
    s->first = CompileBody(s->header, level);
    if (s->first == nullptr || s->first->end == kUnknown) return Walked(s);
    s->firstEnd = s->first->end;
    TextPosition q = s->firstEnd;
    SkipBlanks(q);
    if (!AcceptKeyword(q, "while (")) return Walked(s);
    s->open = q;
    Expr condition{};
    if (!Whole(q, level, ')', condition)) return Walked(s);
    s->end = condition.stop + 1;
    s->value = condition.pure;
    s->valueEval = condition.eval;
    Need(condition.need);
    s->run = StatementRoutines::Do(condition.eval == nullptr);
    return s;
  }

  // ExecStatement at `start`, its first character, inside a body at `level`.
  Stmt* Statement(TextPosition start, int level) {
    Stmt* s = NewStatement(start, level);
    if (s == nullptr) return nullptr;
    if (++depth > kMaxCompileDepth) {
      depth--;
      return Walked(s);
    }
    s = ReadStatement(s, level);
    depth--;
    return s;
  }

  Stmt* ReadStatement(Stmt* s, int level) {
    const TextPosition start = s->start;
    const uint8_t c = PeekText(start);
    if (c == 'i' && MatchKeyword(start, "if (")) return If(s, level);
    if (c == 'f' && MatchKeyword(start, "for (")) return For(s, level);
    if (c == 'd' && MatchKeyword(start, "do ")) return Do(s, level);
    if (!IsNameChar(c)) {
      s->run = StatementRoutines::Empty();
      return s;
    }
    VarRef target;
    int32_t length;
    if (Bind(start, false, target, length)) return Assignment(s, target, length, level);
    return CallStatement(s, level);
  }

  // ---- Bodies ----

  // The statements of a block from just past its '{'.
  bool Block(Body& b, TextPosition p) {
    const int32_t saved = frameCount;
    b.localBase = frameCount;
    for (;;) {
      SkipBlanks(p);
      if (!AcceptKeywordAndBlank(p, "var")) break;
      for (;;) {  // name {, name} ;
        SkipBlanks(p);
        if (!IsNameChar(PeekText(p)) || frameCount == kMaxVariables) return false;
        const int32_t length = NameLengthAt(p);
        Declare(p, length);
        p += TextPosition(length);
        SkipBlanks(p);
        if (PeekText(p) == ';') break;
        if (PeekText(p) != ',') return false;
        p++;
      }
      p++;
    }
    b.locals = uint16_t(frameCount - saved);
    NameSlot* locals = b.locals > 0 ? Fit(names.Take(b.locals)) : nullptr;
    if (!fits) return false;
    std::copy(frame + saved, frame + frameCount, locals);
    b.names = locals;
    const Stmt* list[kMaxBlockStatements];
    int count = 0;
    for (;;) {
      SkipBlanks(p);
      if (count == kMaxBlockStatements) return false;
      Stmt* s = Statement(p, b.level);
      if (s == nullptr) return false;
      list[count++] = s;
      if (s->end == kUnknown) break;  // the walker goes on after it
      TextPosition next = s->end;
      if (PeekText(next) == ';') next++;
      SkipBlanks(next);
      if (PeekText(next) == '}') {
        s->next = next;
        b.end = next + 1;
        break;
      }
      if (next == p) {
        // It consumed nothing: the walker faults there.
        Walked(s);
        break;
      }
      s->next = next;
      p = next;
    }
    const Stmt** kept = Fit(lists.Take(count));
    if (kept == nullptr) return false;
    std::copy(list, list + count, kept);
    b.statements = kept;
    b.count = uint16_t(count);
    frameCount = saved;
    return true;
  }

  // ExecBody from p, run by a statement at `level`.
  const Body* CompileBody(TextPosition p, int level) {
    Body* b = Fit(bodies.Take());
    if (b == nullptr) return nullptr;
    *b = Body{};
    b->start = p;
    b->level = int16_t(level + 1);
    b->end = kUnknown;
    Level(level + 1);
    TextPosition first = p;
    SkipBlanks(first);
    if (PeekText(first) == '{') {
      b->block = true;
      b->open = first;
      const int32_t saved = frameCount;
      if (++depth > kMaxCompileDepth || !Block(*b, first + 1)) {
        frameCount = saved;
        b->walker = true;
        b->end = kUnknown;
      }
      depth--;
    } else {
      b->statement = Statement(first, level + 1);
      if (b->statement == nullptr) return nullptr;
      if (b->statement->end != kUnknown) {
        b->end = b->statement->end;
        StepOne(b->end);
      }
    }
    b->run = StatementRoutines::Body(b->walker, b->block);
    if (b->end == kUnknown) {
      // Where it ends on a way the walker runs: as it is passed over.
      TextPosition skipped = p;
      b->end = SkipStatement(skipped) ? skipped : kUnknown;
    }
    return b;
  }
};

// The frame of a script routine's call: "return" for a function, then the
// parameters as DeclareVariables reads them up to the list's ')'. False when
// the list does not end there.
bool ReadFrame(int row, Routine& r) {
  const RoutineEntry& e = RoutineTable[row];
  r = Routine{};
  NameSlot layout[kMaxVariables + 1];
  int32_t count = 0;
  if (e.kind == Kind::Function) layout[count++] = {ReturnName, 6};
  TextPosition at = e.Name + TextPosition(e.NameLength) + 1;
  for (;;) {
    SkipBlanks(at);
    if (!IsNameChar(PeekText(at))) break;
    if (count == kMaxVariables) return false;
    const int32_t length = NameLengthAt(at);
    layout[count++] = {at, length};
    at += TextPosition(length);
    SkipBlanks(at);
    if (PeekText(at) != ',') break;
    at++;
  }
  if (PeekText(at) != ')') return false;
  NameSlot* frame = names.Take(count);
  if (frame == nullptr && count > 0) return false;
  std::copy(layout, layout + count, frame);
  r.frame = frame;
  r.frameSize = count;
  r.parameters = count - (e.kind == Kind::Function ? 1 : 0);
  r.bodyStart = at + 1;
  r.valid = true;
  for (int32_t i = 0; i < count; i++) r.bits |= NameBit(layout[i].name, layout[i].length);
  return true;
}

void CompileRoutine(Routine& r) {
  Compiler c(r);
  r.body = c.CompileBody(r.bodyStart, 0);
  r.compiled = c.fits && r.body != nullptr;
  r.nestingLimit = r.operandLimit = r.slotLimit = -1;
  if (!r.compiled) return;
  counts.routinesCompiled++;
  r.nestingLimit = kMaxNesting - r.maxLevel;
  r.operandLimit = kMaxOperands - r.maxOperands;
  r.slotLimit = kMaxVariables - r.maxLocals;
}

void CompileProgram(TextPosition mainBody) {
  pures.count = evals.count = steps.count = arguments.count = calls.count = 0;
  statements.count = bodies.count = lists.count = names.count = 0;
  counts = {};
  CompiledGeneration = ScriptMemory::Generation();
  const int32_t first = InstalledLibrary.BuiltinCount;
  for (int32_t row = first; row < RoutineCount; row++) {
    if (!ReadFrame(row, callees[row])) callees[row] = Routine{};
  }
  mainEntry = Routine{};
  mainEntry.valid = true;
  mainEntry.bodyStart = mainBody;
  for (int32_t row = first; row < RoutineCount; row++) {
    if (callees[row].valid) CompileRoutine(callees[row]);
  }
  CompileRoutine(mainEntry);
}

}  // namespace

const Routine* CalleeCode(int row) {
  const Routine& r = callees[row];
  return r.valid ? &r : nullptr;
}

}  // namespace vorla::engine

namespace vorla {

void RunMainCompiled(TextPosition& p, Scope scope) {
  engine::CompileProgram(p);
  // A fault in the definitions is pending as main begins: its body runs nothing.
  if (HasError()) {
    ExecBody(p, scope);
    return;
  }
  p = engine::RunRoutine(&engine::mainEntry, p, scope.ScopeBase, 0);
}

EngineCounts LastCompile() {
  EngineCounts c = engine::counts;
  c.generation = engine::CompiledGeneration;
  c.tableBytes = sizeof engine::pures + sizeof engine::evals + sizeof engine::steps + sizeof engine::arguments +
                 sizeof engine::calls + sizeof engine::statements + sizeof engine::bodies + sizeof engine::lists +
                 sizeof engine::names + sizeof engine::callees + sizeof engine::mainEntry;
  return c;
}

}  // namespace vorla
