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
#include <vector>

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
// String literals the code holds, and where compiled statements, bodies and
// evaluations begin: a literal's characters are text the code does not read
// only where no compiled construct begins inside it (a body passed over up to
// a ';' inside a literal makes the walker run the rest of it as statements).
struct Span {
  TextPosition from, to;
};
Pool<Span, kSourceSize / 2> literals;
uint64_t starts[kSourceSize / 64];
void Started(TextPosition p) {
  if (InSource(p)) starts[(p - kSourceBase) / 64] |= uint64_t(1) << ((p - kSourceBase) % 64);
}
bool StartsWithin(const Span& s) {
  for (TextPosition p = s.from; p < s.to; p++) {
    if (starts[(p - kSourceBase) / 64] >> ((p - kSourceBase) % 64) & 1) return true;
  }
  return false;
}
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
  // For a check: the operators '&', '|', '^' and the comparisons that it
  // applies outside parentheses, each with where it first stands.
  uint8_t mix;
  TextPosition mixAt[4];
};
constexpr uint8_t kMixComparison = 8;

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

// What a check collects besides what it reports at once: the names in
// argument lists that no frame of their routine holds and no global is, and
// every name any frame may hold.
struct CheckNotes {
  std::vector<NameSlot> unsure;
  std::vector<NameSlot> declared;
};

struct Compiler {
  Routine& routine;
  Findings* findings = nullptr;  // a check's, which reports what it finds
  CheckNotes* notes = nullptr;
  const Body* trailing = nullptr;  // the body of one statement that the last statement ended with
  bool unsure = false;  // where the text runs on depends on the values: a check reports nothing
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

  // ---- What a check finds ----

  // Reports a place certain to fault, or a trap, with the frame as it
  // stands there in VariableTable after the globals.
  void Find(FaultKind kind, TextPosition at, FaultDetails details = {}) {
    if (findings == nullptr || unsure) return;
    VariableCount = GlobalCount;
    for (int32_t i = 0; i < frameCount && VariableCount < kMaxVariables; i++) PushSlot(frame[i].name, frame[i].length);
    findings->Found(FaultRecord{at, kind, false, 0, details});
  }
  // A name that is neither a variable nor a routine, with the slots it could
  // have meant: the frame, then the globals; in an argument list every slot.
  void FindUnknownName(TextPosition at, bool argument) {
    Find(FaultKind::UnknownName, at, {.number = GlobalCount + frameCount, .extra = argument ? 0 : GlobalCount});
  }
  // An evaluation that a construct reads up to `close` (';' or ')' for 0)
  // stopped elsewhere or gave no Value: the fault the walker records first.
  // Answers whether it is whole.
  bool Closed(const Expr& e, uint8_t close, FaultKind notClosed, TextPosition origin) {
    if (!e.ok) return false;  // reported where it failed
    const uint8_t c = PeekText(e.stop);
    const bool closed = close != 0 ? c == close : (c == ';' || c == ')');
    if (closed && !e.empty) return true;
    if (closed) {
      Find(FaultKind::ValueExpected, e.stop);
    } else if (c == ';' || c == ')') {
      Find(notClosed, e.stop, {.origin = origin});
    } else {
      Find(FaultKind::OperatorExpected, e.stop);
    }
    return false;
  }
  // A whole expression's operators: '&', '|' and '^' mixed, or one of them
  // with a comparison, outside parentheses.
  void FindMixedOperators(const Expr& e) {
    static constexpr char kBitwise[] = {'&', '|', '^'};
    int first = -1, second = -1;
    for (int b = 0; b < 3; b++) {
      if ((e.mix & (1 << b)) == 0) continue;
      if (first < 0 || e.mixAt[b] < e.mixAt[first]) {
        second = first;
        first = b;
      } else if (second < 0 || e.mixAt[b] < e.mixAt[second]) {
        second = b;
      }
    }
    if (second >= 0) {
      Find(FaultKind::BitwiseMixed, e.mixAt[second], {.origin = e.mixAt[first], .number = kBitwise[first]});
    } else if (first >= 0 && (e.mix & kMixComparison) != 0) {
      Find(FaultKind::ComparisonWithBitwise, e.mixAt[first], {.origin = e.mixAt[3], .number = PeekText(e.mixAt[3])});
    }
  }
  // The line a position stands on begins here.
  static TextPosition LineStart(TextPosition p) {
    while (p > SourceStart && PeekText(p - 1) != kCR) p--;
    return p;
  }
  // A body of one statement that begins on a line after `keyword`, and a
  // statement at `next` on the line after it, indented as the body: it looks
  // meant for the body.
  void FindStatementAfterBody(const Body* body, TextPosition keyword, TextPosition next) {
    if (findings == nullptr || body == nullptr || body->block || body->statement == nullptr) return;
    const TextPosition first = body->statement->start;
    const TextPosition bodyLine = LineStart(first), nextLine = LineStart(next);
    if (bodyLine == LineStart(keyword) || nextLine == bodyLine || next - nextLine != first - bodyLine) return;
    TextPosition between = body->end;
    while (between < nextLine && PeekText(between) != kCR) between++;
    if (between + 1 != nextLine) return;  // a line of its own comes between
    Find(FaultKind::StatementAfterBody, next, {.origin = first});
  }
  // A character other than ';' standing as a body of one statement.
  void FindStrayBody(const Body* body) {
    if (body == nullptr || body->block || body->statement == nullptr) return;
    const TextPosition at = body->statement->start;
    const uint8_t c = PeekText(at);
    if (!IsNameChar(c) && c != ';' && c != kNul && !MatchKeyword(at, "if (") && !MatchKeyword(at, "for (") &&
        !MatchKeyword(at, "do ")) {
      Find(FaultKind::StrayBody, at);
    }
  }

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
    const int16_t global = int16_t(FindVariable(p, Scope{GlobalCount, GlobalCount}));  // the globals alone
    length = global >= 0 ? VariableTable[global].NameLength : NameLengthAt(p);
    if (argument && PeekText(p + TextPosition(length)) != '(') {
      if (global < 0 && notes != nullptr) notes->unsure.push_back({p, length});
      const uint64_t bit = NameBit(p, length);
      ref = {VarKind::Dynamic, uint8_t(std::countr_zero(bit)), global, p};
      return true;
    }
    if (global < 0) return false;
    ref = {VarKind::Global, 0, global, p};
    return true;
  }

  void Declare(TextPosition name, int32_t length) {
    if (notes != nullptr) notes->declared.push_back({name, length});
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

  // Whether the routine `row`, whose name begins the text at `at`, is called
  // with its '(' right after its name; a longer name that runs on past it is
  // a trap.
  bool CalledRightAfterName(TextPosition at, int row) {
    const TextPosition after = at + TextPosition(RoutineTable[row].NameLength);
    if (PeekText(after) == '(') return true;
    if (IsNameChar(PeekText(after))) Find(FaultKind::NameRunsOn, at, {.row = row});
    return false;
  }

  // A call of `row` whose name is at `at`, as a function or as a procedure;
  // its arguments are read in the scope its place gives them.
  const Call* CompileCall(TextPosition at, int row, int level, bool argument, bool function, TextPosition& end) {
    const RoutineEntry& e = RoutineTable[row];
    const bool builtin = (e.NativeFlag & 0x80) != 0;
    const Routine* callee = builtin ? nullptr : CalleeCode(row);
    if (!builtin && callee == nullptr) {
      Find(FaultKind::ParameterListBroken, at, {.row = row});
      return nullptr;
    }
    const int count = builtin ? e.ArgCount : callee->parameters;
    TextPosition cursor = at + TextPosition(e.NameLength) + 1;
    Argument* args = count > 0 ? Fit(arguments.Take(count)) : nullptr;
    if (count > 0 && args == nullptr) return nullptr;
    const bool argumentsSeeAll = argument || !builtin;
    int need = 1;
    if (count == 0 && !SkipToCloseParen(cursor)) {
      Find(FaultKind::ArgumentsNotClosed, cursor);
      return nullptr;
    }
    for (int k = 0; k < count; k++) {
      Expr arg = Evaluation(cursor, 0, level + 1, argumentsSeeAll);
      if (!arg.ok) return nullptr;
      const uint8_t stop = PeekText(arg.stop), expected = k + 1 < count ? ',' : ')';
      if (arg.empty) {
        Find(builtin ? FaultKind::ArgumentExpected : FaultKind::ValueExpected, arg.stop);
        return nullptr;
      }
      if (stop != expected) {
        if (stop == ',' || stop == ')') {
          Find(FaultKind::ArgumentCount, arg.stop, {.row = row, .number = count, .extra = k + 1});
        } else {
          Find(FaultKind::OperatorExpected, arg.stop);
        }
        return nullptr;
      }
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
      if (PeekText(close) == kNul) {
        Find(FaultKind::LiteralNotClosed, close, {.origin = at});
        return o;
      }
      if (Span* span = literals.Take()) *span = {at + 1, close};
      o.pure.node = Constant(Value(at + 1));
      o.end = close + 1;
      o.ok = true;
      return o;
    }
    if (c == kApostrophe) {
      if (PeekText(at + 1) == kNul || PeekText(at + 2) == kNul) {
        Find(FaultKind::LiteralNotClosed, PeekText(at + 1) == kNul ? at + 1 : at + 2, {.origin = at});
        return o;
      }
      if (!CharacterAt(at)) {
        Find(FaultKind::BadCharacterLiteral, at);
        return o;
      }
      o.pure.node = Constant(SignExtend(PeekText(at + 1)));
      o.end = at + 3;
      o.ok = true;
      return o;
    }
    if (c == '(' || c == '-' || c == '+' || c == '~') {
      const bool parenthesised = c == '(';
      Expr inner = Evaluation(at + 1, parenthesised ? 0 : 5, level + 1, argument);
      if (parenthesised ? !Closed(inner, ')', FaultKind::CloseParenExpected, at) : !inner.ok) return o;
      if (inner.empty) {
        Find(FaultKind::OperandExpected, inner.stop);
        return o;
      }
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
    if (!IsNameChar(c)) {
      Find(FaultKind::OperandExpected, at);
      return o;
    }
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
      if (!Closed(index, ']', FaultKind::CloseBracketExpected, after)) return o;
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
    if (row < 0) {
      FindUnknownName(at, argument);
      return o;
    }
    if (RoutineTable[row].kind != Kind::Function) {
      Find(FaultKind::ProcedureInExpression, at, {.row = row});
      return o;
    }
    if (!CalledRightAfterName(at, row)) return o;
    o.call = CompileCall(at, row, level, argument, true, o.end);
    if (o.call == nullptr) return o;
    o.kind = OperandKind::Call;
    o.need = callNeed;
    o.ok = true;
    return o;
  }

  // Adds an operator to an evaluation's mix, or the mix of its right operand.
  static void Mix(Expr& r, Op op, TextPosition at) {
    const int bit = op == Op::And ? 0 : op == Op::Or ? 1 : op == Op::Xor ? 2 : op >= Op::Eq ? 3 : -1;
    if (bit < 0 || (r.mix & (1 << bit)) != 0) return;
    r.mix |= uint8_t(1 << bit);
    r.mixAt[bit] = at;
  }
  static void Mix(Expr& r, const Expr& right) {
    for (int bit = 0; bit < 4; bit++) {
      if ((right.mix & (1 << bit)) != 0 && ((r.mix & (1 << bit)) == 0 || right.mixAt[bit] < r.mixAt[bit])) {
        r.mix |= uint8_t(1 << bit);
        r.mixAt[bit] = right.mixAt[bit];
      }
    }
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
    Started(first);
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
      if (s.right.ok && s.right.empty) Find(FaultKind::OperandExpected, s.right.stop);
      if (!s.right.ok || s.right.empty || !fits) return r;
      if ((op.op == Op::Div || op.op == Op::Rem) && s.right.eval == nullptr && s.right.pure.node != nullptr &&
          PureRoutines::IsConstant(s.right.pure.node->run) && s.right.pure.node->value == 0) {
        Find(FaultKind::ConstantZeroDivisor, q);
      }
      Mix(r, op.op, q);
      Mix(r, s.right);
      pure = pure && s.right.eval == nullptr;
      r.need = std::max(r.need, 1 + s.right.need);
      q = s.right.stop;
    }
    r.stop = q;
    r.ok = true;
    if (minLevel == 0) FindMixedOperators(r);
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
    Started(start);
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
  // Value and stop at `close` (any of ';' and ')' when 0); a check reports
  // where it does not.
  bool Whole(TextPosition at, int level, uint8_t close, Expr& out, FaultKind notClosed = FaultKind::None,
             TextPosition origin = 0) {
    out = Evaluation(at, 0, level + 1, false);
    return Closed(out, close, notClosed, origin);
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
      if (!Whole(p + 1, level, ']', index, FaultKind::CloseBracketExpected, p)) return Walked(s);
      p = index.stop + 1;
    }
    SkipBlanks(p);
    if (PeekText(p) != '=') {
      Find(FaultKind::AssignExpected, p, {.origin = s->start});
      return Walked(s);
    }
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
    if (row < 0) {
      FindUnknownName(s->start, false);
      return Walked(s);
    }
    if (RoutineTable[row].kind != Kind::Procedure) {
      Find(FaultKind::FunctionAsStatement, s->start, {.row = row});
      return Walked(s);
    }
    if (!CalledRightAfterName(s->start, row)) return Walked(s);
    s->call = CompileCall(s->start, row, level, false, false, s->end);
    if (s->call == nullptr) return Walked(s);
    Need(callNeed);
    s->run = StatementRoutines::CallStatement();
    return s;
  }

  // A body that a loop or a branch runs: a character other than ';' that
  // stands as the whole of it is a trap.
  const Body* BranchBody(TextPosition p, int level) {
    const Body* b = CompileBody(p, level);
    if (findings != nullptr) FindStrayBody(b);
    return b;
  }

  // Passes over the body at p as a branch not taken or a finished loop does;
  // the text ending inside it is certain to fault.
  bool Skipped(TextPosition& p) {
    const TextPosition start = p;
    if (SkipStatement(p)) return true;
    Find(FaultKind::BodyNotClosed, p, {.origin = start});
    return false;
  }

  // A statement with its condition, which runs as `run` does.
  Stmt* Conditioned(Stmt* s, const Expr& condition, StmtRun run) {
    s->value = condition.pure;
    s->valueEval = condition.eval;
    Need(condition.need);
    s->run = run;
    return s;
  }

  // if (condition) first [else second]: each way through may end elsewhere.
  Stmt* If(Stmt* s, int level) {
    Expr condition{};
    s->open = s->start + 4;
    const bool whole = Whole(s->open, level, ')', condition, FaultKind::ConditionNotClosed, s->open);
    // A check reads the branches of a condition that closes but gives no Value.
    if (!whole && !(findings != nullptr && condition.ok && PeekText(condition.stop) == ')')) return Walked(s);
    const TextPosition branch = condition.stop + 1;
    TextPosition skipped = branch;
    s->first = BranchBody(branch, level);
    if (!Skipped(skipped) || s->first == nullptr) return Walked(s);
    s->firstEnd = s->first->end;
    // Run: the else branch, if one follows, is passed over.
    TextPosition q = s->firstEnd;
    SkipBlanks(q);
    s->endTrue = s->firstEnd;
    if (s->firstEnd != kUnknown && AcceptKeywordAndBlank(q, "else")) {
      if (!Skipped(q)) return Walked(s);
      s->endTrue = q;
    }
    // Passed over: the else branch, if one follows, is run.
    q = skipped;
    SkipBlanks(q);
    s->end = skipped;
    trailing = s->first;
    if (AcceptKeywordAndBlank(q, "else")) {
      s->second = BranchBody(q, level);
      trailing = s->second;
      if (s->second == nullptr || s->second->end == kUnknown) return Walked(s);
      s->end = s->second->end;
    }
    if (!whole) return Walked(s);
    return Conditioned(s, condition, StatementRoutines::If(condition.eval == nullptr));
  }

  // for (init; condition; step) body: the header found as the walker finds
  // it on every pass.
  Stmt* For(Stmt* s, int level) {
    s->header = s->start + 5;
    s->init = CompileBody(s->header, level);
    if (s->init == nullptr || s->init->end == kUnknown) return Walked(s);
    s->conditionStart = s->init->end;
    Expr condition = Evaluation(s->conditionStart, 0, level + 1, false);
    if (!condition.ok) return Walked(s);
    if (PeekText(condition.stop) != ';') {
      // A condition ended by ')' reads the header otherwise, but it runs.
      if (PeekText(condition.stop) != ')') Find(FaultKind::OperatorExpected, condition.stop);
      return Walked(s);
    }
    s->hasCondition = !condition.empty;
    s->stepStart = condition.stop + 1;
    TextPosition body = s->stepStart;
    if (!SkipToCloseParen(body)) {
      Find(FaultKind::ForHeaderNotClosed, body, {.origin = s->header});
      return Walked(s);
    }
    TextPosition exit = body;
    s->first = BranchBody(body, level);
    s->third = CompileBody(s->stepStart, level);
    if (!Skipped(exit) || s->first == nullptr || s->third == nullptr) return Walked(s);
    s->end = exit;
    trailing = s->first;
    return Conditioned(s, condition, StatementRoutines::For(condition.eval == nullptr));
  }

  // do body while (condition)
  Stmt* Do(Stmt* s, int level) {
    s->header = s->start + 3;
    s->first = BranchBody(s->header, level);
    if (s->first == nullptr || s->first->end == kUnknown) return Walked(s);
    s->firstEnd = s->first->end;
    TextPosition q = s->firstEnd;
    SkipBlanks(q);
    if (!AcceptKeyword(q, "while (")) {
      Find(FaultKind::WhileExpected, q, {.origin = s->header});
      return Walked(s);
    }
    s->open = q;
    Expr condition{};
    if (!Whole(q, level, ')', condition, FaultKind::ConditionNotClosed, q)) return Walked(s);
    s->end = condition.stop + 1;
    return Conditioned(s, condition, StatementRoutines::Do(condition.eval == nullptr));
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
    trailing = nullptr;
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
  // Where a check reads on after a statement it could not read whole: past
  // the statement as it is passed over, and past the "while (...)" of a do.
  static bool Resync(TextPosition start, TextPosition& next) {
    next = start;
    if (!SkipStatement(next)) return false;
    if (!MatchKeyword(start, "do ")) return true;
    TextPosition q = next;
    SkipBlanks(q);
    if (!AcceptKeyword(q, "while (") || !SkipToCloseParen(q)) return true;
    next = q;
    return true;
  }

  // Whether the statements that begin after `from` lead to `to`, where the
  // block goes on another way; a check reads them.
  bool Converges(TextPosition from, TextPosition to, int level) {
    TextPosition p = from;
    if (PeekText(p) == ';') p++;
    SkipBlanks(p);
    for (int guard = 0; p < to && guard < kMaxBlockStatements; guard++) {
      const Stmt* s = Statement(p, level);
      if (s == nullptr || s->end == kUnknown || s->end <= p) return false;
      p = s->end;
      if (PeekText(p) == ';') p++;
      SkipBlanks(p);
    }
    return p == to;
  }

  bool Block(Body& b, TextPosition p) {
    const bool wasUnsure = unsure;
    const bool whole = ReadBlock(b, p);
    unsure = wasUnsure;
    return whole;
  }

  bool ReadBlock(Body& b, TextPosition p) {
    const int32_t saved = frameCount;
    b.localBase = frameCount;
    for (;;) {
      SkipBlanks(p);
      if (!AcceptKeywordAndBlank(p, "var")) break;
      for (;;) {  // name {, name} ;
        SkipBlanks(p);
        if (!IsNameChar(PeekText(p))) {
          Find(FaultKind::NameExpected, p);
          return false;
        }
        if (frameCount == kMaxVariables) {
          Find(FaultKind::VariablesFull, p, {.number = kMaxVariables});
          return false;
        }
        const int32_t length = NameLengthAt(p);
        Declare(p, length);
        p += TextPosition(length);
        SkipBlanks(p);
        if (PeekText(p) == ';') break;
        if (PeekText(p) != ',') {
          Find(FaultKind::CommaOrSemicolonExpected, p);
          return false;
        }
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
      TextPosition next = s->end;
      if (s->end == kUnknown) {
        // The walker goes on after it; a check reads on from where it
        // guesses the statement ends.
        if (findings == nullptr || !Resync(p, next)) break;
      }
      if (PeekText(next) == ';') next++;
      SkipBlanks(next);
      FindStatementAfterBody(trailing, p, next);
      // An if whose ways through end at different places: what runs after
      // it depends on its condition, unless the statements after the first
      // way lead to where the other goes on.
      if (findings != nullptr && s->end != kUnknown && s->endTrue != 0 && s->endTrue != s->end) {
        unsure = unsure || !Converges(s->endTrue, next, b.level);
      }
      if (PeekText(next) == '}') {
        s->next = next;
        b.end = next + 1;
        break;
      }
      if (next == p) {
        // It consumed nothing: the walker faults there.
        Find(FaultKind::StatementExpected, p, {.origin = b.open});
        Walked(s);
        if (findings == nullptr || PeekText(p) == kNul) break;
        next = p + 1;
        if (PeekText(p) == '{' && !SkipStatement(next = p)) break;  // a block standing as a statement
      }
      s->next = s->end == kUnknown ? kUnknown : next;
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
    Started(first);
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
  r.nestingLimit = NestingLimit - r.maxLevel;
  r.operandLimit = kMaxOperands - r.maxOperands;
  r.slotLimit = kMaxVariables - r.maxLocals;
}

void ResetPools() {
  pures.count = evals.count = steps.count = arguments.count = calls.count = 0;
  statements.count = bodies.count = lists.count = names.count = literals.count = 0;
  std::fill(std::begin(starts), std::end(starts), 0);
  counts = {};
  CompiledGeneration = ScriptMemory::Generation();
}

void CompileProgram(TextPosition mainBody) {
  ResetPools();
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
  for (int i = 0; i < literals.count; i++) {
    if (!StartsWithin(literals.items[i])) ScriptMemory::MarkLiteral(literals.items[i].from, literals.items[i].to);
  }
}

}  // namespace

void CheckRoutines(Findings& findings) {
  ResetPools();
  CheckNotes notes;
  const int32_t first = InstalledLibrary.BuiltinCount;
  for (int32_t row = first; row < RoutineCount; row++) {
    if (!ReadFrame(row, callees[row])) callees[row] = Routine{};
  }
  const int main = FindRoutine(MainName);
  for (int32_t row = first; row < RoutineCount; row++) {
    Routine& r = callees[row];
    if (!r.valid) continue;
    for (int32_t i = 0; i < r.frameSize; i++) notes.declared.push_back(r.frame[i]);
    // main is read as the run reads it, with no frame of its own.
    Routine entry{};
    entry.valid = true;
    entry.bodyStart = r.bodyStart;
    Routine& read = row == main ? entry : r;
    Compiler c(read);
    c.findings = &findings;
    c.notes = &notes;
    read.body = c.CompileBody(read.bodyStart, 0);
  }
  // A name in an argument list that no frame of any routine holds is no
  // variable wherever the routine is called from.
  for (const NameSlot& name : notes.unsure) {
    bool declared = false;
    for (const NameSlot& d : notes.declared) {
      declared = declared || (d.length == name.length && NamePresent(name.name, d.name, d.length));
    }
    if (declared) continue;
    VariableCount = GlobalCount;
    findings.Found(FaultRecord{name.name, FaultKind::UnknownName, false, 0, {.number = GlobalCount, .extra = 0}});
  }
  VariableCount = GlobalCount;
}

const Routine* CalleeCode(int row) {
  const Routine& r = callees[row];
  return r.valid ? &r : nullptr;
}

}  // namespace vorla::engine

namespace vorla {

void CheckProgram(Findings& findings) { engine::CheckRoutines(findings); }

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
