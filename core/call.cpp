// Routine calls. A script routine's frame is a run of VariableTable slots from
// VariableCount up: the result variable "return" first for a function, then the
// parameters, then the body's locals. Arguments are evaluated with the frame
// under construction invisible, and the frame is released on every way out.
// Each argument list is written as the evaluation of one argument and what
// follows it, so that the engine can hand over after any argument (resume.h).
#include "core/call.h"

#include "core/declare.h"
#include "core/exec.h"
#include "core/expr.h"
#include "core/names.h"
#include "core/resume.h"
#include "core/scan.h"

namespace vorla {

namespace {

// Moves the cursor from where an argument list stopped to just past its ')'.
void SkipArguments(TextPosition& p) {
  if (!SkipToCloseParen(p)) Fault(p, FaultKind::ArgumentsNotClosed);
}

// What comes after one argument of a built-in.
enum class ArgumentEnd { Next, Last, Failed };

// After argument k of the built-in `e`, evaluated from OperandDepth `depth`
// and stopped at p. A missing Value is a fault where the argument should have
// begun. The first of two arguments must stop at its ','; anywhere else the
// fault is where it stopped, also when one was raised inside it, and no call
// is made. At its ',' with a fault raised inside it, that fault stands.
ArgumentEnd AfterBuiltinArgument(TextPosition& p, const RoutineEntry& e, int k, Value (&args)[2], int32_t depth) {
  bool complete = FinishRequiredValue(p, depth, args[k], FaultKind::ArgumentExpected);
  // A fault at the cursor is the evaluator's own stop only at the ',' that
  // ends this argument; at any other character the argument failed.
  complete = complete && (ErrorPosition == kNoError || (StoppedAt(p) && PeekText(p) == ','));
  if (k + 1 == e.ArgCount) return complete ? ArgumentEnd::Last : ArgumentEnd::Failed;
  if (!complete && PeekText(p) == ',') return ArgumentEnd::Failed;
  if (!complete || PeekText(p) != ',') {
    const TextPosition stopped = p;
    SkipArguments(p);
    Fault(stopped, FaultKind::ArgumentCount,
          {.row = int32_t(&e - RoutineTable), .number = e.ArgCount, .extra = k + 1});
    return ArgumentEnd::Failed;
  }
  ClearStopAt(p);  // the ',' between the two arguments
  p++;
  return ArgumentEnd::Next;
}

// The call of the built-in `e` once its arguments are taken; a function's
// list is passed over before the call, a procedure's after it. Answers
// whether the call was made.
[[nodiscard]] bool MakeBuiltinCall(TextPosition& p, const RoutineEntry& e, Value (&args)[2], Value& result) {
  const bool function = e.kind == Kind::Function;
  // A ',' after the last argument: the evaluator's stop there stays, and
  // says that the list holds more arguments than the built-in takes.
  if (StoppedAt(p)) {
    Fault(p, FaultKind::ArgumentCount,
          {.row = int32_t(&e - RoutineTable), .number = e.ArgCount, .extra = e.ArgCount});
  }
  if (function) {
    SkipArguments(p);
    if (e.ArgCount == 0 && HasError()) return false;  // a list the text does not close
  }
  result = e.Native(args[0], args[1]);
  // A procedure's argument stopped at ',' keeps that fault, and the list is
  // still passed over.
  if (!function && (!HasError() || StoppedAt(p))) SkipArguments(p);
  return true;
}

// The arguments of the built-in `e` from argument k on, then the call.
[[nodiscard]] bool TakeBuiltinArguments(TextPosition& p, Scope scope, const RoutineEntry& e, int k,
                                        Value (&args)[2], Value& result) {
  for (; k < e.ArgCount; k++) {
    const int32_t depth = OperandDepth;
    EvalExpression(p, scope, 0);
    const ArgumentEnd end = AfterBuiltinArgument(p, e, k, args, depth);
    if (end == ArgumentEnd::Failed) return false;
    if (end == ArgumentEnd::Last) break;
  }
  return MakeBuiltinCall(p, e, args, result);
}

// Declares the parameters of `row` from just past the '(' of its definition.
// Answers the number declared, or -1 when the list did not end at ')'; `at`
// is left where the list stopped (just past the ')' on success).
[[nodiscard]] int32_t DeclareParameters(const RoutineEntry& row, TextPosition& at) {
  at = row.Name + TextPosition(row.NameLength) + 1;
  const int32_t n = DeclareVariables(at, true);
  if (PeekText(at) != ')' || ErrorPosition != at) return -1;
  ClearStopAt(at);  // the ')' that a parameter list stops at
  at++;
  return n;
}

// After argument k of a script routine of n parameters, evaluated from
// OperandDepth `depth` and stopped at p: binds it into slot first + k and
// answers whether binding goes on. Fewer arguments than parameters is a fault
// where the list ended; more is a fault at the ',' after the last one.
[[nodiscard]] bool AfterBoundArgument(TextPosition& p, int32_t first, int32_t n, int k, int32_t row,
                                      int32_t depth) {
  Value v;
  if (!FinishRequiredValue(p, depth, v)) return false;
  const uint8_t stop = PeekText(p);
  if (stop == ',') ClearStopAt(p);
  if (HasError()) return false;  // a fault inside the argument is the one reported
  const uint8_t expected = k + 1 < n ? ',' : ')';
  if (stop != expected) {
    // too few or too many arguments, or the evaluator's own fault
    Fault(p, FaultKind::ArgumentCount, {.row = row, .number = n, .extra = k + 1});
    return false;
  }
  p++;
  VariableTable[first + k].value = v;
  return true;
}

// Binds the arguments from argument k on, left to right.
void BindArguments(TextPosition& p, Scope argScope, int32_t first, int32_t n, int k, int32_t row) {
  if (n == 0) {
    SkipArguments(p);
    return;
  }
  for (; k < n; k++) {
    const int32_t depth = OperandDepth;
    EvalExpression(p, argScope, 0);
    if (!AfterBoundArgument(p, first, n, k, row, depth)) return;
  }
}

// Runs a script routine's body one call deeper in the frame that begins at
// `base`, then releases the frame, unless binding failed: then no body runs
// and the call yields no Value at all. Answers whether the body ran; `result`
// is then the result variable's Value for a function, 0 for a procedure.
[[nodiscard]] bool RunInFrame(TextPosition body, int32_t base, bool function, Value& result) {
  if (HasError()) {
    ReleaseSlots(base);
    return false;
  }
  CallDepth++;
  ExecBody(body, Scope{base, kLiveTop});
  CallDepth--;
  result = function ? VariableTable[base].value : 0;
  ReleaseSlots(base);
  return true;
}

// Names the next slot "return", the result variable of a function's frame,
// with the Value 0.
void OpenResultSlot() {
  VariableTable[VariableCount].value = 0;
  PushSlot(ReturnName, 6);
}

// A script routine: frame, parameters, arguments, body, release. Answers
// whether the body ran; `result` is then the result variable's Value for a
// function.
[[nodiscard]] bool TakeScriptCall(TextPosition name, TextPosition& p, Scope scope, const RoutineEntry& row,
                                  Value& result) {
  const bool function = row.kind == Kind::Function;
  const int32_t base = VariableCount;
  const int32_t rowIndex = int32_t(&row - RoutineTable);
  result = 0;
  if (function) {
    if (base >= kMaxVariables) {
      Fault(name, FaultKind::VariablesFull, {.number = kMaxVariables});
      return false;
    }
    OpenResultSlot();
  }
  TextPosition body;
  const int32_t n = DeclareParameters(row, body);
  if (n < 0) {
    // A list that stopped elsewhere is a fault in the call's text for a
    // function and in the definition's text for a procedure; a full
    // VariableTable keeps its fault at the parameter's name.
    const FaultDetails routine{.row = rowIndex};
    if (function && !(VariableCount == kMaxVariables && ErrorPosition == body)) {
      Fault(p, FaultKind::ParameterListBroken, routine);
    }
    if (!HasError()) Fault(body, FaultKind::ParameterListBroken, routine);
    ReleaseSlots(base);
    return false;
  }
  BindArguments(p, ArgumentScope(scope, base), VariableCount - n, n, 0, rowIndex);
  return RunInFrame(body, base, function, result);
}

// Why the call of `kind` at p, whose name finds `row`, cannot be made, or
// FaultKind::None when it can.
FaultKind CalleeFault(TextPosition p, int row, Kind kind) {
  if (row < 0) return FaultKind::UnknownName;
  if (RoutineTable[row].kind != kind) {
    return kind == Kind::Function ? FaultKind::ProcedureInExpression : FaultKind::FunctionAsStatement;
  }
  if (CallDepth >= CallDepthLimit) return FaultKind::CallsTooDeep;
  if (row == InstalledLibrary.LineInputRow && EvaluatingInputLine) return FaultKind::InputInTypedLine;
  if (PeekText(p + TextPosition(RoutineTable[row].NameLength)) == kNul) return FaultKind::NameAtEndOfText;
  return FaultKind::None;
}

// name(args) of either kind: the character after the name is taken as '('.
// The routine must exist, be of the right kind, and the call must not nest
// deeper than CallDepthLimit; a name that is no routine keeps the slots it
// could have meant, for the names suggested. Answers whether the call was
// made; `result` is then its Value (0 for a procedure).
[[nodiscard]] bool TakeCall(TextPosition& p, Scope scope, Kind kind, Value& result) {
  if (HasError()) return false;
  const int row = FindRoutine(p);
  if (FaultKind refused = CalleeFault(p, row, kind); refused != FaultKind::None) {
    const Visible visible(scope);
    Fault(p, refused, refused == FaultKind::UnknownName ? FaultDetails{.number = visible.top, .extra = visible.base}
                                                         : FaultDetails{.row = row, .number = CallDepthLimit});
    return false;
  }
  const RoutineEntry& e = RoutineTable[row];
  const TextPosition name = p;
  p += TextPosition(e.NameLength) + 1;
  if (e.NativeFlag & 0x80) {
    Value args[2] = {0, 0};
    return TakeBuiltinArguments(p, scope, e, 0, args, result);
  }
  return TakeScriptCall(name, p, scope, e, result);
}

}  // namespace

void CallFunction(TextPosition& p, Scope scope) {
  const TextPosition name = p;
  Value result;
  if (TakeCall(p, scope, Kind::Function, result)) Push(result, name);
}

void CallProcedure(TextPosition& p, Scope scope) {
  Value none;
  (void)TakeCall(p, scope, Kind::Procedure, none);  // a procedure gives nothing to take
}

bool ResumeBuiltinCall(TextPosition& p, Scope scope, int row, int k, Value (&args)[2], int32_t depth,
                       Value& result) {
  const RoutineEntry& e = RoutineTable[row];
  switch (AfterBuiltinArgument(p, e, k, args, depth)) {
    case ArgumentEnd::Failed: return false;
    case ArgumentEnd::Last: return MakeBuiltinCall(p, e, args, result);
    case ArgumentEnd::Next: break;
  }
  return TakeBuiltinArguments(p, scope, e, k + 1, args, result);
}

bool ResumeScriptCall(TextPosition& p, Scope argScope, int row, int32_t base, TextPosition body, int32_t n, int k,
                      int32_t depth, Value& result) {
  const bool function = RoutineTable[row].kind == Kind::Function;
  const int32_t first = base + (function ? 1 : 0);
  if (AfterBoundArgument(p, first, n, k, row, depth)) BindArguments(p, argScope, first, n, k + 1, row);
  return RunInFrame(body, base, function, result);
}

}  // namespace vorla
