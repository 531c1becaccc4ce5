// The statement executor: if/else, for, do...while, assignments, procedure
// calls, the empty statement, and brace blocks with local variables. Loops find
// their condition, step and body in the text on every pass (the text's decoded
// form remembers where they end, see decode.h).
#include "core/exec.h"

#include "core/call.h"
#include "core/code.h"
#include "core/declare.h"
#include "core/expr.h"
#include "core/names.h"

namespace vorla {

namespace {

// Passes over a body that is not run; a body cut off by the end of the text is
// a fault there. Answers whether ErrorPosition is set.
bool SkipBody(TextPosition& p) {
  const TextPosition start = p;
  if (!SkipStatement(p)) Fault(p, FaultKind::BodyNotClosed, {.origin = start});
  return HasError();
}

// A condition in parentheses: it must stop at ')' and give a Value. Answers
// whether it took one with no fault pending; the cursor is then past the ')'.
[[nodiscard]] bool TakeCondition(TextPosition& p, Scope scope, Value& out) {
  const TextPosition start = p;
  const bool taken = TakeValue(p, scope, nullptr, out, ')');
  if (PeekText(p) != ')') {
    Fault(p, FaultKind::ConditionNotClosed, {.origin = start});
    return false;
  }
  if (!taken) {
    if (!HasError()) Fault(p, FaultKind::ValueExpected);  // if () holds no condition
    return false;
  }
  p++;
  return !HasError();
}

}  // namespace

// if (condition) branch [else branch] — the else belongs to the if whose first
// branch has just been run or passed over.
static void ExecIf(TextPosition& p, Scope scope) {
  Value condition;
  if (!TakeCondition(p, scope, condition)) return;
  IfBranches(p, scope, condition);
}

void IfBranches(TextPosition& p, Scope scope, Value condition) {
  if (condition != 0 ? ExecBody(p, scope) : SkipBody(p)) return;
  TextPosition afterBranch = p;
  SkipBlanks(p);
  if (!AcceptKeywordAndBlank(p, "else")) {
    p = afterBranch;
    return;
  }
  if (condition != 0) {
    SkipBody(p);
  } else {
    ExecBody(p, scope);
  }
}

// for (init; condition; step) body — the header is found again by counting
// parentheses on every pass; an empty condition is true; a fault in the body
// ends the loop after the step.
static void ExecFor(TextPosition& p, Scope scope) {
  const TextPosition header = p;
  if (ExecBody(p, scope)) return;
  ForPasses(p, scope, header);
}

void ForPasses(TextPosition& p, Scope scope, TextPosition header) {
  const TextPosition conditionStart = p;
  for (;;) {
    TextPosition c = conditionStart;
    Value condition;
    if (!TakeValue(c, scope, nullptr, condition)) condition = 1;  // an empty condition is true
    if (HasError()) {
      p = c;
      return;
    }
    if (condition == 0) {
      p = c;
      if (!SkipToCloseParen(p)) {
        Fault(p, FaultKind::ForHeaderNotClosed, {.origin = header});
        return;
      }
      SkipBody(p);
      return;
    }
    TextPosition step = c;
    StepOne(step);
    TextPosition body = step;
    if (!SkipToCloseParen(body)) {
      Fault(body, FaultKind::ForHeaderNotClosed, {.origin = header});
      p = body;
      return;
    }
    ExecBody(body, scope);
    if (HasError()) {
      p = body;
      return;
    }
    ExecBody(step, scope);
    if (HasError()) {
      p = step;
      return;
    }
  }
}

// do body while (condition) — the body runs at least once.
static void ExecDo(TextPosition& p, Scope scope) { DoPasses(p, scope, p); }

void DoPasses(TextPosition& p, Scope scope, TextPosition bodyStart) {
  for (;;) {
    p = bodyStart;
    if (ExecBody(p, scope)) return;
    if (!DoConditionHolds(p, scope, bodyStart)) return;
  }
}

bool DoConditionHolds(TextPosition& p, Scope scope, TextPosition bodyStart) {
  SkipBlanks(p);
  if (!AcceptKeyword(p, "while (")) {
    Fault(p, FaultKind::WhileExpected, {.origin = bodyStart});
    return false;
  }
  Value condition;
  return TakeCondition(p, scope, condition) && condition != 0;
}

namespace {

// name = expression  |  name[index] = expression — the target is computed
// after the index and before the right-hand side; a target outside script
// memory is a fault at the name when the store is made, after the right-hand
// side.
void ExecAssignment(TextPosition& p, Scope scope, int slot) {
  const TextPosition name = p;
  p += TextPosition(VariableTable[slot].NameLength);
  bool indexed = PeekText(p) == '[';
  uint32_t address = 0, width = 4;
  Value base = 0;
  bool inMemory = true;
  if (indexed) {
    Value index;
    if (!TakeIndex(p, scope, index, nullptr)) return;
    base = VariableTable[slot].value;
    inMemory = IndexedAddress(name, base, index, address, width);
  }
  SkipBlanks(p);
  if (PeekText(p) != '=') {
    Fault(p, FaultKind::AssignExpected, {.origin = name});
    return;
  }
  p++;
  Value v;
  if (!TakeRequiredValue(p, scope, nullptr, v) || HasError()) {
    Fault(p, FaultKind::RightSideFailed, {.origin = name});  // reported where the right-hand side stopped
    return;
  }
  if (!inMemory) {
    FaultOutside(name, address, base);
    return;
  }
  if (!indexed) {
    VariableTable[slot].value = v;
    return;
  }
  if (width == 1) {
    ScriptMemory::StoreByte(address, uint8_t(Bits(v)));
  } else {
    ScriptMemory::StoreWord(address, v);
  }
}

}  // namespace

// Selects the statement by its first character: "if (", "for (", "do ", a
// variable (assignment), another name (procedure call), or the empty statement.
[[gnu::always_inline]] inline bool RunStatement(TextPosition& p, Scope scope, const StatementForm* form) {
  if (form != nullptr) {
    p = form->first;
  } else {
    SkipBlanks(p);
  }
  if (HasError()) return true;
  StatementCount++;
  if (StepBudget >= 0 && StepBudget-- == 0) {
    RequestStop();
    return true;
  }
  uint8_t c = PeekText(p);
  const StatementKind kind = form != nullptr ? form->kind
                             : c == 'i' && MatchKeyword(p, "if (")   ? StatementKind::If
                             : c == 'f' && MatchKeyword(p, "for (")  ? StatementKind::For
                             : c == 'd' && MatchKeyword(p, "do ")    ? StatementKind::Do
                             : IsNameChar(c)                         ? StatementKind::Name
                                                                     : StatementKind::Empty;
  const StatementCode* code = form != nullptr && form->code >= 0 ? &StatementCodeOf(form->code) : nullptr;
  switch (kind) {
    case StatementKind::If:
      AcceptKeyword(p, "if (");
      if (code == nullptr || !TryStatementCode(*code, p, scope, -1)) ExecIf(p, scope);
      break;
    case StatementKind::For:
      AcceptKeyword(p, "for (");
      if (code == nullptr || !TryStatementCode(*code, p, scope, -1)) ExecFor(p, scope);
      break;
    case StatementKind::Do:
      AcceptKeyword(p, "do ");
      if (code == nullptr || !TryStatementCode(*code, p, scope, -1)) ExecDo(p, scope);
      break;
    case StatementKind::Name: {
      int slot = FindVariable(p, scope);
      if (slot < 0) {
        CallProcedure(p, scope, form != nullptr && form->call >= 0 ? &CallFormOf(form->call) : nullptr);
      } else if (code == nullptr || !TryStatementCode(*code, p, scope, slot)) {
        ExecAssignment(p, scope, slot);
      }
      break;
    }
    case StatementKind::Empty: break;
  }
  return HasError();
}

bool ExecStatement(TextPosition& p, Scope scope) { return RunStatement(p, scope, StatementFormAt(p)); }

// { var lines; statements } — locals are released on every way out; a
// statement that consumes nothing (a stray character, the end of the text) is
// a fault at that character.
static bool ExecBlock(TextPosition& p, Scope scope) {
  const int32_t saved = VariableCount;
  const TextPosition open = p++;
  for (;;) {
    SkipBlanks(p);
    if (!AcceptKeywordAndBlank(p, "var")) break;
    if (DeclareVariables(p, true) <= 0 || HasError()) break;
  }
  while (!HasError()) {
    SkipBlanks(p);
    const TextPosition start = p;
    if (ExecStatement(p, scope)) break;
    if (PeekText(p) == ';') p++;
    SkipBlanks(p);
    if (PeekText(p) == '}') break;
    if (p == start) Fault(p, FaultKind::StatementExpected, {.origin = open});
  }
  StepOne(p);
  ReleaseSlots(saved);
  return HasError();
}

bool ExecBody(TextPosition& p, Scope scope) {
  TextPosition first = p;
  SkipBlanks(first);
  // The form of a one-statement body is looked up once, for its code and its run.
  const StatementForm* form = PeekText(first) == '{' ? nullptr : StatementFormAt(first);
  if (form != nullptr && TryAssignmentBody(*form, p, scope)) return false;
  NestingLevel level(p);
  if (!level.Entered()) return true;
  p = first;
  if (PeekText(p) == '{') return ExecBlock(p, scope);
  RunStatement(p, scope, form);
  StepOne(p);
  return HasError();
}

}  // namespace vorla
