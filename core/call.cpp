// Routine calls. A script routine's frame is a run of VariableTable slots from
// VariableCount up: the result variable "return" first for a function, then the
// parameters, then the body's locals. Arguments are evaluated with the frame
// under construction invisible, and the frame is released on every way out.
#include "core/call.h"

#include <algorithm>

#include "core/declare.h"
#include "core/exec.h"
#include "core/names.h"
#include "core/expr.h"
#include "core/scan.h"
#include "core/textcache.h"

namespace vorla {

namespace {

// The scope that arguments are evaluated in: every live variable below the
// new frame at `base` (none at all for a line typed into Input_).
Scope ArgumentScope(Scope caller, int32_t base) {
  return {0, caller.Top == kLiveTop ? base : std::min(caller.Top, base)};
}

// Moves the cursor from where an argument list stopped to just past its ')'.
void SkipArguments(TextPosition& p) {
  if (!SkipToCloseParen(p)) Fault(p);
}

// Evaluates one argument of a built-in; a missing Value is a fault where the
// argument should have begun. Answers false when no call may be made.
bool BuiltinArgument(TextPosition& p, Scope scope, Value& out) {
  int depth = OperandDepth;
  EvalExpression(p, scope, 0);
  if (OperandDepth == depth) {
    if (!HasError()) Fault(p);
    return false;
  }
  out = OperandStack[OperandDepth - 1];
  OperandDepth = depth;
  // A fault at the cursor is the evaluator's own stop only at the ',' that
  // ends this argument; at any other character the argument failed.
  return ErrorPosition == kNoError || (StoppedAt(p) && PeekText(p) == ',');
}

// Declares the parameters of `row` from just past the '(' of its definition.
// Answers the number declared, or -1 when the list did not end at ')'; `at`
// is left where the list stopped (just past the ')' on success). A list read
// once is declared again from its ParameterList while the whole of it fits.
int32_t DeclareParameters(const RoutineEntry& row, TextPosition& at) {
  ParameterList& list = ParameterLists[&row - RoutineTable];
  if (list.generation == TextAnswerGeneration && list.routineName == row.Name &&
      list.routineNameLength == row.NameLength && VariableCount + list.count <= kMaxVariables && !HasError()) {
    for (int32_t k = 0; k < list.count; k++) NameSlot(VariableCount++, list.name[k], list.nameLength[k]);
    at = list.body;
    return list.count;
  }
  at = row.Name + TextPosition(row.NameLength) + 1;
  int32_t n = DeclareVariables(at, true);
  if (PeekText(at) != ')' || ErrorPosition != at) return -1;
  ErrorPosition = kNoError;  // the ')' that a parameter list stops at
  at++;
  if (n <= kRememberedParameters) {
    list = {TextAnswerGeneration, row.Name, row.NameLength, n, {}, {}, at};
    for (int32_t k = 0; k < n; k++) {
      list.name[k] = VariableTable[VariableCount - n + k].Name;
      list.nameLength[k] = VariableTable[VariableCount - n + k].NameLength;
    }
  }
  return n;
}

// Binds one argument per parameter, left to right, into the slots from `first`.
// Fewer arguments than parameters is a fault where the list ended; more is a
// fault at the ',' after the last one.
void BindArguments(TextPosition& p, Scope argScope, int32_t first, int32_t n) {
  if (n == 0) {
    SkipArguments(p);
    return;
  }
  for (int32_t k = 0; k < n; k++) {
    Value v;
    if (!EvalValue(p, argScope, v)) return;
    uint8_t stop = PeekText(p);
    if (stop == ',' && StoppedAt(p)) ErrorPosition = kNoError;
    if (HasError()) return;  // a fault inside the argument is the one reported
    uint8_t expected = k + 1 < n ? ',' : ')';
    if (stop != expected) {
      Fault(p);  // too few or too many arguments, or the evaluator's own fault
      return;
    }
    p++;
    VariableTable[first + k].value = v;
  }
}

// A script routine: frame, parameters, arguments, body, release. Answers
// whether the body ran; `result` is then the result variable's Value for a
// function. A call that failed before its body yields no Value at all.
bool CallScriptRoutine(TextPosition name, TextPosition& p, Scope scope, const RoutineEntry& row, Value& result) {
  bool function = row.kind == Kind::Function;
  int32_t base = VariableCount;
  result = 0;
  if (function) {
    if (base >= kMaxVariables) {
      Fault(name);
      return false;
    }
    NameSlot(base, ReturnName, 6);
    VariableTable[base].value = 0;
    VariableCount = base + 1;
  }
  TextPosition body;
  int32_t n = DeclareParameters(row, body);
  if (n < 0) {
    // A list that stopped elsewhere is a fault in the call's text for a
    // function and in the definition's text for a procedure; a full
    // VariableTable keeps its fault at the parameter's name.
    if (function && !(VariableCount == kMaxVariables && ErrorPosition == body)) Fault(p);
    if (!HasError()) Fault(body);
    VariableCount = base;
    return false;
  }
  int32_t first = VariableCount - n;
  BindArguments(p, ArgumentScope(scope, base), first, n);
  bool runs = !HasError();
  if (runs) {
    CallDepth++;
    ExecBody(body, Scope{base, kLiveTop});
    CallDepth--;
    if (function) result = VariableTable[base].value;
  }
  VariableCount = base;
  return runs;
}

}  // namespace

// Common head of both kinds of call: the routine must exist, be of the right
// kind, and the call must not nest deeper than kMaxCallDepth.
static int FindCallee(TextPosition p, Kind kind) {
  if (HasError()) return -1;
  int row = FindRoutine(p);
  if (row < 0 || RoutineTable[row].kind != kind || CallDepth >= kMaxCallDepth ||
      (row == kInputRow && EvaluatingInputLine) || PeekText(p + TextPosition(RoutineTable[row].NameLength)) == 0) {
    Fault(p);
    return -1;
  }
  return row;
}

// name(args) inside an expression.
void CallFunction(TextPosition& p, Scope scope) {
  int row = FindCallee(p, Kind::Function);
  if (row < 0) return;
  const RoutineEntry& e = RoutineTable[row];
  TextPosition name = p;
  p += TextPosition(e.NameLength) + 1;  // the character after the name is taken as '('
  Value result = 0;
  if (e.NativeFlag & 0x80) {
    Value arg = 0;
    if (e.ArgCount == 0) {
      SkipArguments(p);
      if (HasError()) return;
    } else if (!BuiltinArgument(p, scope, arg)) {
      return;
    } else {
      SkipArguments(p);
    }
    result = e.Native(arg, 0);
  } else if (!CallScriptRoutine(name, p, scope, e, result)) {
    return;
  }
  Push(result, name);
}

// name(args) as a statement.
void CallProcedure(TextPosition& p, Scope scope) {
  int row = FindCallee(p, Kind::Procedure);
  if (row < 0) return;
  const RoutineEntry& e = RoutineTable[row];
  TextPosition name = p;
  p += TextPosition(e.NameLength) + 1;
  if (!(e.NativeFlag & 0x80)) {
    Value none;
    CallScriptRoutine(name, p, scope, e, none);
    return;
  }
  Value first = 0, second = 0;
  bool complete = BuiltinArgument(p, scope, first);
  if (e.ArgCount == 1) {
    if (!complete) return;
    e.Native(first, 0);
    if (!HasError() || StoppedAt(p)) SkipArguments(p);
    return;
  }
  if (!complete || PeekText(p) != ',') {
    // The first of two arguments did not stop at its ',': the fault is where
    // it stopped, also when one was raised inside it, and no call is made.
    const TextPosition stopped = p;
    SkipArguments(p);
    Fault(stopped);
    return;
  }
  ErrorPosition = kNoError;  // the ',' between the two arguments
  p++;
  if (!BuiltinArgument(p, scope, second)) return;
  e.Native(first, second);
  SkipArguments(p);
}

}  // namespace vorla
