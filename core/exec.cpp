// The statement executor: if/else, for, do...while, assignments, procedure
// calls, the empty statement, and brace blocks with local variables. Loops find
// their condition, step and body in the text on every pass. Each statement is
// written as the phases between its inner evaluations and bodies, so that the
// engine can hand a statement over after any of them (resume.h).
#include "core/exec.h"

#include "core/call.h"
#include "core/declare.h"
#include "core/expr.h"
#include "core/names.h"
#include "core/operators.h"
#include "core/resume.h"
#include "core/scan.h"

namespace vorla {

namespace {

// Passes over a body that is not run; a body cut off by the end of the text is
// a fault there. Answers whether ErrorPosition is set.
bool SkipBody(TextPosition& p) {
  const TextPosition start = p;
  if (!SkipStatement(p)) Fault(p, FaultKind::BodyNotClosed, {.origin = start});
  return HasError();
}

// A condition in parentheses, begun at `start` with OperandDepth `depth`, has
// stopped at p: it must stop at ')' and give a Value. Answers whether it took
// one with no fault pending; the cursor is then past the ')'.
[[nodiscard]] bool FinishCondition(TextPosition& p, TextPosition start, int32_t depth, Value& out) {
  const bool taken = FinishTakeValue(p, depth, out, ')');
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

[[nodiscard]] bool TakeCondition(TextPosition& p, Scope scope, Value& out) {
  const TextPosition start = p;
  const int32_t depth = OperandDepth;
  EvalExpression(p, scope, 0);
  return FinishCondition(p, start, depth, out);
}

// ---- if (condition) branch [else branch] ----

// After the first branch: the else belongs to the if whose first branch has
// just been run or passed over.
void AfterFirstBranch(TextPosition& p, Scope scope, Value condition) {
  const TextPosition afterBranch = p;
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

void IfBranches(TextPosition& p, Scope scope, Value condition) {
  if (condition != 0 ? ExecBody(p, scope) : SkipBody(p)) return;
  AfterFirstBranch(p, scope, condition);
}

void ExecIf(TextPosition& p, Scope scope) {
  Value condition;
  if (TakeCondition(p, scope, condition)) IfBranches(p, scope, condition);
}

// ---- for (init; condition; step) body ----
// The header is found again by counting parentheses on every pass; an empty
// condition is true; a fault in the body ends the loop after the step.

// After the step, run from `step`: answers whether the loop goes on.
[[nodiscard]] bool ForAfterStep(TextPosition& p, TextPosition step) {
  if (!HasError()) return true;
  p = step;
  return false;
}

// After the body, run from `body`: the step.
[[nodiscard]] bool ForAfterBody(TextPosition& p, Scope scope, TextPosition body, TextPosition step) {
  if (HasError()) {
    p = body;
    return false;
  }
  ExecBody(step, scope);
  return ForAfterStep(p, step);
}

// After the condition, begun with OperandDepth `depth`, stopped at c: the
// body and the step, or the end of the loop.
[[nodiscard]] bool ForAfterCondition(TextPosition& p, Scope scope, TextPosition c, TextPosition header,
                                     int32_t depth) {
  Value condition;
  if (!FinishTakeValue(c, depth, condition, 0)) condition = 1;  // an empty condition is true
  if (HasError()) {
    p = c;
    return false;
  }
  if (condition == 0) {
    p = c;
    if (!SkipToCloseParen(p)) {
      Fault(p, FaultKind::ForHeaderNotClosed, {.origin = header});
      return false;
    }
    SkipBody(p);
    return false;
  }
  TextPosition step = c;
  StepOne(step);
  TextPosition body = step;
  if (!SkipToCloseParen(body)) {
    Fault(body, FaultKind::ForHeaderNotClosed, {.origin = header});
    p = body;
    return false;
  }
  ExecBody(body, scope);
  return ForAfterBody(p, scope, body, step);
}

void ExecFor(TextPosition& p, Scope scope) {
  const TextPosition header = p;
  if (ExecBody(p, scope)) return;
  ResumeForPasses(p, scope, header);
}

// ---- do body while (condition) — the body runs at least once ----

void DoPasses(TextPosition& p, Scope scope, TextPosition bodyStart);

// After the body, up to p: the "while (" and the condition. Answers whether
// the loop goes on.
[[nodiscard]] bool DoConditionHolds(TextPosition& p, Scope scope, TextPosition bodyStart) {
  SkipBlanks(p);
  if (!AcceptKeyword(p, "while (")) {
    Fault(p, FaultKind::WhileExpected, {.origin = bodyStart});
    return false;
  }
  Value condition;
  return TakeCondition(p, scope, condition) && condition != 0;
}

void DoPasses(TextPosition& p, Scope scope, TextPosition bodyStart) {
  for (;;) {
    p = bodyStart;
    if (ExecBody(p, scope)) return;
    if (!DoConditionHolds(p, scope, bodyStart)) return;
  }
}

// ---- name = expression  |  name[index] = expression ----
// The target is computed after the index and before the right-hand side; a
// target outside script memory is a fault at the name when the store is
// made, after the right-hand side.

void AssignmentValue(TextPosition& p, Scope scope, TextPosition name, int slot, const StoreTarget& target) {
  SkipBlanks(p);
  if (PeekText(p) != '=') {
    Fault(p, FaultKind::AssignExpected, {.origin = name});
    return;
  }
  p++;
  const int32_t depth = OperandDepth;
  EvalExpression(p, scope, 0);
  ResumeAssignmentValue(p, name, slot, target, depth);
}

void ExecAssignment(TextPosition& p, Scope scope, int slot) {
  const TextPosition name = p;
  p += TextPosition(VariableTable[slot].NameLength);
  if (PeekText(p) == '[') {
    const TextPosition open = p++;
    const int32_t depth = OperandDepth;
    EvalExpression(p, scope, 0);
    ResumeAssignmentIndex(p, scope, name, slot, open, depth);
    return;
  }
  AssignmentValue(p, scope, name, slot, StoreTarget{});
}

// ---- { var lines; statements } ----
// Locals are released on every way out; a statement that consumes nothing (a
// stray character, the end of the text) is a fault at that character.

// After a statement of the block that began at `start`: answers whether
// another statement follows.
[[nodiscard]] bool AfterBlockStatement(TextPosition& p, TextPosition start, TextPosition open) {
  if (PeekText(p) == ';') p++;
  SkipBlanks(p);
  if (PeekText(p) == '}') return false;
  if (p != start) return true;
  Fault(p, FaultKind::StatementExpected, {.origin = open});
  return false;
}

void BlockStatements(TextPosition& p, Scope scope, TextPosition open) {
  while (!HasError()) {
    SkipBlanks(p);
    const TextPosition start = p;
    if (ExecStatement(p, scope)) return;
    if (!AfterBlockStatement(p, start, open)) return;
  }
}

void FinishBlock(TextPosition& p, int32_t saved) {
  StepOne(p);
  ReleaseSlots(saved);
}

bool ExecBlock(TextPosition& p, Scope scope) {
  const int32_t saved = VariableCount;
  const TextPosition open = p++;
  for (;;) {
    SkipBlanks(p);
    if (!AcceptKeywordAndBlank(p, "var")) break;
    if (DeclareVariables(p, true) <= 0 || HasError()) break;
  }
  BlockStatements(p, scope, open);
  FinishBlock(p, saved);
  return HasError();
}

}  // namespace

// Selects the statement by its first character: "if (", "for (", "do ", a
// variable (assignment), another name (procedure call), or the empty statement.
void RunCountedStatement(TextPosition& p, Scope scope) {
  const uint8_t c = PeekText(p);
  if (c == 'i' && AcceptKeyword(p, "if (")) {
    ExecIf(p, scope);
  } else if (c == 'f' && AcceptKeyword(p, "for (")) {
    ExecFor(p, scope);
  } else if (c == 'd' && AcceptKeyword(p, "do ")) {
    DoPasses(p, scope, p);
  } else if (IsNameChar(c)) {
    const int slot = FindVariable(p, scope);
    if (slot < 0) {
      CallProcedure(p, scope);
    } else {
      ExecAssignment(p, scope, slot);
    }
  }
}

bool ExecStatement(TextPosition& p, Scope scope) {
  SkipBlanks(p);
  if (HasError()) return true;
  if (StepBudget == 0 && !RefillStepBudget()) {
    RequestStop();
    return true;
  }
  StepBudget--;
  RunCountedStatement(p, scope);
  return HasError();
}

bool ExecBody(TextPosition& p, Scope scope) {
  NestingLevel level(p);
  if (!level.Entered()) return true;
  SkipBlanks(p);
  if (PeekText(p) == '{') return ExecBlock(p, scope);
  ExecStatement(p, scope);
  StepOne(p);
  return HasError();
}

// ---- Where the engine hands a statement over ----

void ContinueBlock(TextPosition& p, Scope scope, TextPosition start, TextPosition open, int32_t saved) {
  if (!HasError() && AfterBlockStatement(p, start, open)) BlockStatements(p, scope, open);
  FinishBlock(p, saved);
}

void ResumeIfCondition(TextPosition& p, Scope scope, TextPosition start, int32_t depth) {
  Value condition;
  if (FinishCondition(p, start, depth, condition)) IfBranches(p, scope, condition);
}

void ResumeIfBranch(TextPosition& p, Scope scope, Value condition) {
  if (!HasError()) AfterFirstBranch(p, scope, condition);
}

void ResumeForPasses(TextPosition& p, Scope scope, TextPosition header) {
  const TextPosition conditionStart = p;
  for (;;) {
    TextPosition c = conditionStart;
    const int32_t depth = OperandDepth;
    EvalExpression(c, scope, 0);
    if (!ForAfterCondition(p, scope, c, header, depth)) return;
  }
}

void ResumeForCondition(TextPosition& p, Scope scope, TextPosition c, TextPosition header,
                        TextPosition conditionStart, int32_t depth) {
  if (!ForAfterCondition(p, scope, c, header, depth)) return;
  p = conditionStart;
  ResumeForPasses(p, scope, header);
}

void ResumeForBody(TextPosition& p, Scope scope, TextPosition body, TextPosition step, TextPosition header,
                   TextPosition conditionStart) {
  if (!ForAfterBody(p, scope, body, step)) return;
  p = conditionStart;
  ResumeForPasses(p, scope, header);
}

void ResumeForStep(TextPosition& p, Scope scope, TextPosition step, TextPosition header,
                   TextPosition conditionStart) {
  if (!ForAfterStep(p, step)) return;
  p = conditionStart;
  ResumeForPasses(p, scope, header);
}

void ResumeDoBody(TextPosition& p, Scope scope, TextPosition bodyStart) {
  if (!HasError() && DoConditionHolds(p, scope, bodyStart)) DoPasses(p, scope, bodyStart);
}

void ResumeDoCondition(TextPosition& p, Scope scope, TextPosition bodyStart, TextPosition start, int32_t depth) {
  Value condition;
  if (FinishCondition(p, start, depth, condition) && condition != 0) DoPasses(p, scope, bodyStart);
}

void ResumeAssignmentIndex(TextPosition& p, Scope scope, TextPosition name, int slot, TextPosition open,
                           int32_t depth) {
  Value index;
  if (!FinishIndex(p, open, depth, index)) return;
  StoreTarget target{.indexed = true, .base = VariableTable[slot].value};
  target.inMemory = IndexedAddress(PeekText(name) == '_', target.base, index, target.address, target.width);
  AssignmentValue(p, scope, name, slot, target);
}

void ResumeAssignmentValue(TextPosition& p, TextPosition name, int slot, const StoreTarget& target, int32_t depth) {
  Value v;
  if (!FinishRequiredValue(p, depth, v) || HasError()) {
    Fault(p, FaultKind::RightSideFailed, {.origin = name});  // reported where the right-hand side stopped
    return;
  }
  if (!target.indexed) {
    VariableTable[slot].value = v;
  } else if (!target.inMemory) {
    FaultOutside(name, target.address, target.base);
  } else {
    StoreIndexedValue(target.address, target.width, v);
  }
}

}  // namespace vorla
