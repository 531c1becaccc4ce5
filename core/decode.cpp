// The decoded form of the text (see decode.h). Each SourceBuffer position has
// one record, stamped with the text generation it was filled in; the forms
// live in pools that are emptied when the generation changes. A form is
// decoded when the interpreter first asks for it, except after a generation
// that lasted only a few statements: then it is decoded the second time it
// is asked for, so a text that a script keeps rewriting is read as it stands
// instead of being decoded again and again.
#include "core/decode.h"

#include <algorithm>

#include "core/code.h"
#include "core/names.h"

namespace vorla {

PositionRecord DecodedRecords[kSourceSize];
Pool<EvalForm, kSourceSize> EvalForms;
Pool<StatementForm, kSourceSize / 2> StatementForms;
Pool<NameListForm, kSourceSize / 2> NameLists;

namespace {

// The decoder's own recursion; a deeper expression is decoded from further in.
constexpr int kMaxDecodeDepth = 48;
// The most arguments a call of a script routine can bind: one slot each.
constexpr int kMaxArguments = kMaxVariables;

Pool<StepForm, kSourceSize> steps;
Pool<CallForm, kSourceSize / 2> calls;
Pool<int32_t, kSourceSize> arguments;
Pool<NameForm, kSourceSize / 2> names;
uint64_t poolGeneration = 0;
// How long the last generations stood decides when forms are decoded.
constexpr uint64_t kSettledStatements = 64;
bool eager = true;
uint64_t generationBegan = 0;

// The record of p for the current generation, or nullptr where nothing is
// remembered (outside SourceBuffer, or with decoding off).
PositionRecord* RecordAt(TextPosition p) {
  uint32_t offset = p - kSourceBase;
  if (!DecodeText || offset >= kSourceSize) return nullptr;
  PositionRecord& r = DecodedRecords[offset];
  const uint64_t generation = ScriptMemory::Generation();
  if (r.generation != generation) r = {generation, 0, 0, 0, kRoutineUnknown, kUnseen, kUnseen, kUnseen};
  if (poolGeneration != generation) {
    // A text that stood for a while, or was only loaded or defined, is decoded
    // when first asked for; one that a script keeps rewriting, only where it
    // is asked for twice.
    const uint64_t stood = StatementCount - generationBegan;
    eager = stood == 0 || stood >= kSettledStatements;
    generationBegan = StatementCount;
    EvalForms.Clear();
    steps.Clear();
    calls.Clear();
    StatementForms.Clear();
    arguments.Clear();
    NameLists.Clear();
    names.Clear();
    ForgetCode();
    poolGeneration = generation;
  }
  return &r;
}

uint16_t EndOffset(TextPosition end) { return uint16_t(end - kSourceBase + 1); }
TextPosition FromOffset(uint16_t offset) { return kSourceBase + offset - 1; }

// A remembered walk from p: `end` holds its end once known.
template <bool (*kWalk)(TextPosition&)>
bool RememberedWalk(TextPosition& p, uint16_t PositionRecord::*end) {
  PositionRecord* r = RecordAt(p);
  if (r != nullptr && r->*end != 0) {
    p = FromOffset(r->*end);
    return true;
  }
  if (!kWalk(p)) return false;  // a walk that meets the NUL ends the run: not kept
  if (r != nullptr) r->*end = EndOffset(p);
  return true;
}

int32_t DecodeEval(TextPosition key, int minLevel, int depth);

// ---- Name lists ----

// name {, name} then ';' or ')', as DeclareVariables reads it without faults;
// `()` is the empty parameter list.
int32_t DecodeNames(TextPosition at) {
  PositionRecord* r = RecordAt(at);
  if (r == nullptr || r->names == kDeclined) return -1;
  if (r->names >= 0) return r->names;
  NameListForm list{0, 0, 0, names.count};
  TextPosition q = at;
  for (;;) {
    SkipBlanks(q);
    if (!IsNameChar(PeekText(q))) {
      if (list.count != 0 || PeekText(q) != ')') break;
      list.endsAt = ')';
      list.end = q;
      r->names = NameLists.Add(list);
      return r->names;
    }
    if (names.Full() || NameLists.Full()) return -1;
    int32_t length = NameLengthAt(q);
    names.Add({q, length});
    list.count++;
    q += TextPosition(length);
    SkipBlanks(q);
    uint8_t c = PeekText(q);
    if (c == ',') {
      q++;
      continue;
    }
    if (c != ';' && c != ')') break;
    list.endsAt = c;
    list.end = c == ';' ? q + 1 : q;
    r->names = NameLists.Add(list);
    return r->names;
  }
  r->names = kDeclined;
  return -1;
}

// ---- Expressions ----

// The arguments that a call of `row` reads from `cursor`, each ended by the
// ',' or ')' the call expects, as the call steps over them; `end` is left
// just past the call's ')'.
bool DecodeArguments(const RoutineEntry& row, TextPosition cursor, int depth, int32_t* args, int& n,
                     TextPosition& end, int32_t& list) {
  list = -1;
  if (row.NativeFlag & 0x80) {
    n = row.ArgCount;
  } else {
    list = DecodeNames(row.Name + TextPosition(row.NameLength) + 1);
    if (list < 0 || NameLists.items[list].endsAt != ')' || NameLists.items[list].count > kMaxArguments) return false;
    n = NameLists.items[list].count;
  }
  end = cursor;
  if (n == 0) return SkipToCloseParen(end);
  for (int k = 0; k < n; k++) {
    args[k] = DecodeEval(end, 0, depth + 1);
    if (args[k] < 0) return false;
    const EvalForm& argument = EvalForms.items[args[k]];
    if (argument.empty || PeekText(argument.stop) != (k + 1 < n ? ',' : ')')) return false;
    end = argument.stop + 1;
  }
  return true;
}

// A call at `at` of a routine of `kind`; `end` is left just past its ')'.
int32_t DecodeCall(TextPosition at, Kind kind, int depth, TextPosition& end) {
  int row = RoutineAt(at);
  if (row < 0) return -1;
  const RoutineEntry& e = RoutineTable[row];
  if (e.kind != kind || PeekText(at + TextPosition(e.NameLength)) == kNul) return -1;
  CallForm call{int16_t(row), 0, at + TextPosition(e.NameLength) + 1, 0, 0, -1};
  int32_t args[kMaxArguments];
  int n = 0;
  if (!DecodeArguments(e, call.argumentCursor, depth, args, n, end, call.parameters)) return -1;
  call.end = end;
  if (calls.Full() || arguments.count + n > int32_t(kSourceSize)) return -1;
  call.arguments = uint8_t(n);
  call.firstArgument = arguments.count;
  for (int k = 0; k < n; k++) arguments.Add(args[k]);
  return calls.Add(call);
}

bool DecodeOperand(TextPosition at, int depth, OperandForm& o) {
  o = {};
  o.inner = o.call = -1;
  uint8_t c = PeekText(at);
  if (IsDigit(c) || c == '$') {
    o.kind = OperandKind::Constant;
    o.value = c == '$' ? HexAt(at, o.end) : DecimalAt(at, o.end);
    return true;
  }
  if (c == kQuote) {
    const TextPosition q = StringEnd(at);
    if (PeekText(q) == kNul) return false;
    o.kind = OperandKind::Constant;
    o.value = Value(at + 1);
    o.end = q + 1;
    return true;
  }
  if (c == kApostrophe) {
    if (!CharacterAt(at)) return false;
    o.kind = OperandKind::Constant;
    o.value = SignExtend(PeekText(at + 1));
    o.end = at + 3;
    return true;
  }
  if (c == '(' || c == '-' || c == '+' || c == '~') {
    const bool parenthesised = c == '(';
    o.inner = DecodeEval(at + 1, parenthesised ? 0 : 5, depth + 1);
    if (o.inner < 0) return false;
    const EvalForm& inner = EvalForms.items[o.inner];
    if (inner.empty || (parenthesised && PeekText(inner.stop) != ')')) return false;
    o.kind = parenthesised ? OperandKind::Parenthesised : OperandKind::Prefixed;
    o.prefix = c;
    o.end = parenthesised ? inner.stop + 1 : inner.stop;
    return true;
  }
  if (!IsNameChar(c)) return false;
  int32_t length = NameLengthAt(at);
  if (length > 0xFFFF) return false;
  o.kind = OperandKind::Name;
  o.nameLength = uint16_t(length);
  const TextPosition after = at + TextPosition(length);
  if (PeekText(after) == '(') {
    o.call = DecodeCall(at, Kind::Function, depth, o.end);
    return o.call >= 0;
  }
  o.end = after;
  if (PeekText(after) != '[') return true;
  o.inner = DecodeEval(after + 1, 0, depth + 1);
  if (o.inner < 0) return false;
  const EvalForm& index = EvalForms.items[o.inner];
  if (index.empty || PeekText(index.stop) != ']') return false;
  o.end = index.stop + 1;
  return true;
}

bool OperandCallFree(const OperandForm& o) {
  if (o.kind == OperandKind::Constant) return true;
  if (o.call >= 0) return false;
  return o.inner < 0 || EvalForms.items[o.inner].callFree;
}

// EvalExpression(key, minLevel) as the evaluator reads it when no fault is
// raised: the first operand, then every operator above minLevel with its right
// operand, up to the first ';' or ')', an operator left to the caller, or a
// character that is no operator.
int32_t DecodeEval(TextPosition key, int minLevel, int depth) {
  if (depth > kMaxDecodeDepth) return -1;
  PositionRecord* r = RecordAt(key);
  if (r == nullptr || r->eval == kDeclined) return -1;
  if (r->eval >= 0) return EvalForms.items[r->eval].minLevel == minLevel ? r->eval : -1;
  EvalForm f{};
  f.key = key;
  f.minLevel = uint8_t(minLevel);
  f.firstStep = f.pure = -1;
  f.first = key;
  SkipBlanks(f.first);
  uint8_t c = PeekText(f.first);
  bool decoded = true;
  if (c == ';' || c == ')') {
    f.empty = true;
    f.stop = f.afterOperand = f.first;
  } else if ((decoded = DecodeOperand(f.first, depth, f.operand))) {
    f.callFree = OperandCallFree(f.operand);
    TextPosition q = f.afterOperand = f.operand.end;
    SkipBlanks(q);
    f.afterOperand = q;
    int32_t last = -1;
    for (;;) {
      Operator op = Classify(q);
      if (PeekText(q) == ';' || PeekText(q) == ')' || op.op == Op::None || minLevel >= op.level) break;
      int32_t right = DecodeEval(q + op.length, op.level, depth + 1);
      if (right < 0 || EvalForms.items[right].empty || steps.Full()) {
        decoded = false;
        break;
      }
      int32_t step = steps.Add({q, op, right, -1});
      (last < 0 ? f.firstStep : steps.items[last].next) = step;
      last = step;
      f.callFree = f.callFree && EvalForms.items[right].callFree;
      q = EvalForms.items[right].stop;
    }
    f.stop = q;
    f.faultAtStop = minLevel == 0 && PeekText(q) != ';' && PeekText(q) != ')';
  }
  if (!decoded || EvalForms.Full()) {
    if (depth <= kMaxDecodeDepth && !EvalForms.Full()) r->eval = kDeclined;
    return -1;
  }
  r->eval = EvalForms.Add(f);
  return r->eval;
}

// Compiles every largest part of the form that has no call: where a form has
// calls, its parts are looked at in turn.
void AssignPrograms(int32_t index) {
  EvalForm& f = EvalForms.items[index];
  if (f.pureAssigned || f.empty) return;
  f.pureAssigned = true;
  if (f.callFree) {
    f.pure = CompileExpression(f);
    return;
  }
  if (f.operand.inner >= 0) AssignPrograms(f.operand.inner);
  if (f.operand.call >= 0) {
    const CallForm& call = calls.items[f.operand.call];
    for (int k = 0; k < call.arguments; k++) AssignPrograms(arguments.items[call.firstArgument + k]);
  }
  for (int32_t s = f.firstStep; s >= 0; s = steps.items[s].next) AssignPrograms(steps.items[s].right);
}

// The form of a whole expression that a statement evaluates from `key`, with
// its programs, or -1.
int32_t DecodeWhole(TextPosition key) {
  int32_t index = DecodeEval(key, 0, 1);
  if (index >= 0) AssignPrograms(index);
  return index;
}

// ExecStatement from `key`: the keyword StatementForms, a name read both as an
// assignment and as a procedure call (which one it is depends on the scope),
// or the empty statement.
int32_t DecodeStatement(TextPosition key) {
  PositionRecord* r = RecordAt(key);
  if (r == nullptr || StatementForms.Full()) return -1;
  if (r->statement >= 0) return r->statement;
  StatementForm f{key, StatementKind::Empty, 0, -1, -1, -1, -1};
  SkipBlanks(f.first);
  const uint8_t c = PeekText(f.first);
  if (c == 'i' && MatchKeyword(f.first, "if (")) {
    f.kind = StatementKind::If;
  } else if (c == 'f' && MatchKeyword(f.first, "for (")) {
    f.kind = StatementKind::For;
  } else if (c == 'd' && MatchKeyword(f.first, "do ")) {
    f.kind = StatementKind::Do;
  } else if (IsNameChar(c)) {
    f.kind = StatementKind::Name;
    int32_t length = NameLengthAt(f.first);
    if (length > 0xFFFF) return -1;
    f.nameLength = uint16_t(length);
    TextPosition equals = f.first + TextPosition(length);
    bool target = true;
    if (PeekText(equals) == '[') {
      f.index = DecodeWhole(equals + 1);
      target = f.index >= 0 && !EvalForms.items[f.index].empty && PeekText(EvalForms.items[f.index].stop) == ']';
      if (target) equals = EvalForms.items[f.index].stop + 1;
    }
    SkipBlanks(equals);
    if (target && PeekText(equals) == '=') f.value = DecodeWhole(equals + 1);
    TextPosition end;
    f.call = DecodeCall(f.first, Kind::Procedure, 1, end);
    if (f.call >= 0) {
      const CallForm& call = calls.items[f.call];
      for (int k = 0; k < call.arguments; k++) AssignPrograms(arguments.items[call.firstArgument + k]);
    }
  }
  f.code = CompileStatement(f);
  r->statement = StatementForms.Add(f);
  return r->statement;
}

// Whether a form for p may be decoded now: the second time it is asked for in
// a generation, and not after it was found not to be well formed.
bool DecodeNow(int32_t& slot) {
  if (slot == kUnseen && !eager) {
    slot = kSeen;
    return false;
  }
  return slot == kSeen || slot == kUnseen;
}

}  // namespace

void SkipLongBlanks(TextPosition& p) {
  PositionRecord* r = RecordAt(p);
  if (r != nullptr && r->blanksEnd != 0) {
    p = FromOffset(r->blanksEnd);
    return;
  }
  WalkBlanks(p);
  if (r != nullptr) r->blanksEnd = EndOffset(p);
}

bool WalkStatementAt(TextPosition& p) { return RememberedWalk<WalkStatement>(p, &PositionRecord::statementEnd); }

bool SkipToCloseParen(TextPosition& p) {
  return RememberedWalk<WalkToCloseParen>(p, &PositionRecord::closeParenEnd);
}

int RoutineAt(TextPosition p) {
  PositionRecord* r = RecordAt(p);
  if (r == nullptr) return FindRoutine(p);
  if (r->routine == kRoutineUnknown) r->routine = int16_t(FindRoutine(p));
  return r->routine;
}

// The lookups of decode.h come here only when the current record holds no
// form yet.
const EvalForm* FindEvalForm(TextPosition p, int minLevel) {
  PositionRecord* r = RecordAt(p);
  if (r == nullptr || !DecodeNow(r->eval)) return nullptr;
  r->eval = kUnseen;  // DecodeEval records what it finds
  int32_t index = DecodeEval(p, minLevel, 0);
  if (index < 0) {
    if (r->eval == kUnseen) r->eval = kSeen;  // the decoder ran out of room: ask again later
    return nullptr;
  }
  AssignPrograms(index);
  return &EvalForms.items[index];
}

const StatementForm* FindStatementForm(TextPosition p) {
  PositionRecord* r = RecordAt(p);
  if (r == nullptr || !DecodeNow(r->statement)) return nullptr;
  if (DecodeStatement(p) < 0) {
    r->statement = kSeen;
    return nullptr;
  }
  return &StatementForms.items[r->statement];
}

const NameListForm* FindNameList(TextPosition p) {
  PositionRecord* r = RecordAt(p);
  if (r == nullptr || !DecodeNow(r->names)) return nullptr;
  r->names = kUnseen;
  if (DecodeNames(p) < 0) return nullptr;
  return &NameLists.items[r->names];
}

const StepForm& StepOf(int32_t index) { return steps.items[index]; }
const CallForm& CallFormOf(int32_t index) { return calls.items[index]; }
const EvalForm& ArgumentOf(const CallForm& call, int k) {
  return EvalForms.items[arguments.items[call.firstArgument + k]];
}
const NameForm& NameOf(const NameListForm& list, int k) { return names.items[list.firstName + k]; }
int32_t DecodeExpression(TextPosition key) { return RecordAt(key) != nullptr ? DecodeWhole(key) : -1; }

const StatementForm* StatementFormNow(TextPosition key) {
  int32_t index = DecodeStatement(key);
  return index >= 0 ? &StatementForms.items[index] : nullptr;
}

}  // namespace vorla
