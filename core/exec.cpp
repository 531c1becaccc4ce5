// The statement executor: if/else, for, do...while, assignments, procedure
// calls, the empty statement, and brace blocks with local variables. Loops find
// their condition, step and body in the text on every pass (the walks over the
// text remember their ends, see textcache.h).
#include "core/exec.h"

#include "core/call.h"
#include "core/declare.h"
#include "core/expr.h"
#include "core/names.h"
#include "core/scan.h"
#include "core/textcache.h"

namespace vorla {

namespace {

// Passes over a body that is not run; a body cut off by the end of the text is
// a fault there.
bool SkipBody(TextPosition& p) {
  if (SkipStatement(p)) return true;
  Fault(p);
  return false;
}

// A condition in parentheses: it must stop at ')' and leave a Value.
bool Condition(TextPosition& p, Scope scope, Value& out) {
  int depth = OperandDepth;
  EvalExpression(p, scope, 0);
  if (PeekText(p) != ')') {
    Fault(p);
    return false;
  }
  if (OperandDepth == depth) {
    if (!HasError()) Fault(p);  // if () holds no condition
    return false;
  }
  out = OperandStack[OperandDepth - 1];
  OperandDepth = depth;
  p++;
  return !HasError();
}

// if (condition) branch [else branch] — the else belongs to the if whose first
// branch has just been run or passed over.
void ExecIf(TextPosition& p, Scope scope) {
  p += 4;
  Value condition;
  if (!Condition(p, scope, condition)) return;
  if (condition != 0 ? ExecBody(p, scope) : !SkipBody(p)) return;
  TextPosition afterBranch = p;
  SkipBlanks(p);
  if (!MatchKeywordAndBlank(p, "else")) {
    p = afterBranch;
    return;
  }
  p += 5;
  if (condition != 0) {
    SkipBody(p);
  } else {
    ExecBody(p, scope);
  }
}

// for (init; condition; step) body — the header is found again by counting
// parentheses on every pass; an empty condition is true; a fault in the body
// ends the loop after the step.
void ExecFor(TextPosition& p, Scope scope) {
  p += 5;
  if (ExecBody(p, scope)) return;
  const TextPosition conditionStart = p;
  for (;;) {
    TextPosition c = conditionStart;
    int depth = OperandDepth;
    EvalExpression(c, scope, 0);
    if (HasError()) {
      p = c;
      return;
    }
    Value condition = 1;
    if (OperandDepth > depth) condition = OperandStack[OperandDepth - 1];
    OperandDepth = depth;
    if (condition == 0) {
      p = c;
      if (!SkipToCloseParen(p)) {
        Fault(p);
        return;
      }
      SkipBody(p);
      return;
    }
    TextPosition step = c;
    StepOne(step);
    TextPosition body = step;
    if (!SkipToCloseParen(body)) {
      Fault(body);
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
void ExecDo(TextPosition& p, Scope scope) {
  const TextPosition bodyStart = p + 3;
  for (;;) {
    p = bodyStart;
    if (ExecBody(p, scope)) return;
    SkipBlanks(p);
    if (!(PeekText(p) == 'w' && MatchKeyword(p, "while ("))) {
      Fault(p);
      return;
    }
    p += 7;
    Value condition;
    if (!Condition(p, scope, condition) || condition == 0) return;
  }
}

// name = expression  |  name[index] = expression — the target is computed
// after the index and before the right-hand side; a target outside script
// memory is a fault at the name when the store is made, after the right-hand
// side.
void ExecAssignment(TextPosition& p, Scope scope, int slot) {
  const TextPosition name = p;
  p += TextPosition(VariableTable[slot].NameLength);
  bool indexed = PeekText(p) == '[';
  uint32_t address = 0, width = 4;
  bool inMemory = true;
  if (indexed) {
    Value index;
    if (!EvalIndex(p, scope, index)) return;
    inMemory = IndexedAddress(name, VariableTable[slot].value, index, address, width);
  }
  SkipBlanks(p);
  if (PeekText(p) != '=') {
    Fault(p);
    return;
  }
  p++;
  Value v;
  bool hasValue = EvalValue(p, scope, v);
  if (HasError()) {
    Fault(p);  // reported where the right-hand side stopped
    return;
  }
  if (!hasValue) return;
  if (!inMemory) {
    Fault(name);
    return;
  }
  if (!indexed) {
    VariableTable[slot].value = v;
    return;
  }
  if (width == 1) {
    Memory[address] = uint8_t(Bits(v));
  } else {
    WriteWord(address, v);
  }
  NoteStore(address);
}

}  // namespace

// Selects the statement by its first character: "if (", "for (", "do ", a
// variable (assignment), another name (procedure call), or the empty statement.
bool ExecStatement(TextPosition& p, Scope scope) {
  SkipBlanks(p);
  if (HasError()) return true;
  if (StepBudget >= 0 && StepBudget-- == 0) {
    RequestStop();
    return true;
  }
  uint8_t c = PeekText(p);
  if (c == 'i' && MatchKeyword(p, "if (")) {
    ExecIf(p, scope);
  } else if (c == 'f' && MatchKeyword(p, "for (")) {
    ExecFor(p, scope);
  } else if (c == 'd' && MatchKeyword(p, "do ")) {
    ExecDo(p, scope);
  } else if (IsNameChar(c)) {
    int slot = FindVariable(p, scope);
    if (slot >= 0) {
      ExecAssignment(p, scope, slot);
    } else {
      CallProcedure(p, scope);
    }
  }
  return HasError();
}

// { var lines; statements } — locals are released on every way out; a
// statement that consumes nothing (a stray character, the end of the text) is
// a fault at that character.
static bool ExecBlock(TextPosition& p, Scope scope) {
  const int32_t saved = VariableCount;
  p++;
  for (;;) {
    SkipBlanks(p);
    if (!MatchKeywordAndBlank(p, "var")) break;
    p += 4;
    if (DeclareVariables(p, true) <= 0 || HasError()) break;
  }
  while (!HasError()) {
    SkipBlanks(p);
    const TextPosition start = p;
    if (ExecStatement(p, scope)) break;
    if (PeekText(p) == ';') p++;
    SkipBlanks(p);
    if (PeekText(p) == '}') break;
    if (p == start) Fault(p);
  }
  StepOne(p);
  VariableCount = saved;
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

}  // namespace vorla
