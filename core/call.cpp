// Routine calls. A script routine's frame is a run of VariableTable slots from
// VariableCount up: the result variable "return" first for a function, then the
// parameters, then the body's locals. Arguments are evaluated with the frame
// under construction invisible, and the frame is released on every way out.
#include "core/call.h"

#include <algorithm>

#include "core/code.h"
#include "core/declare.h"
#include "core/exec.h"
#include "core/expr.h"
#include "core/names.h"

namespace vorla {

namespace {

// The scope that arguments are evaluated in: every live variable below the
// new frame at `base` (none at all for a line typed into Input_).
Scope ArgumentScope(Scope caller, int32_t base) {
  return {0, caller.Top == kLiveTop ? base : std::min(caller.Top, base)};
}

// Moves the cursor from where an argument list stopped to just past its ')'.
void SkipArguments(TextPosition& p) {
  if (!SkipToCloseParen(p)) Fault(p, FaultKind::ArgumentsNotClosed);
}

// The form decoded for the argument that begins at p, while `call` holds.
const EvalForm* ArgumentForm(const CallForm* call, int k, TextPosition p) {
  if (call == nullptr || k >= call->arguments) return nullptr;
  const EvalForm& argument = ArgumentOf(*call, k);
  return argument.key == p ? &argument : nullptr;
}

// Takes one argument of a built-in; a missing Value is a fault where the
// argument should have begun. Answers whether the argument is complete: when
// not, no call may be made.
[[nodiscard]] bool TakeArgument(TextPosition& p, Scope scope, Value& out, const EvalForm* form) {
  if (!TakeRequiredValue(p, scope, form, out, FaultKind::ArgumentExpected)) return false;
  // A fault at the cursor is the evaluator's own stop only at the ',' that
  // ends this argument; at any other character the argument failed.
  return ErrorPosition == kNoError || (StoppedAt(p) && PeekText(p) == ',');
}

// A built-in: as many arguments as its ArgCount, then the call; a function's
// list is passed over before the call, a procedure's after it. The first of
// two arguments must stop at its ','; anywhere else the fault is where it
// stopped, also when one was raised inside it, and no call is made. Answers
// whether the call was made.
[[nodiscard]] bool TakeBuiltinCall(TextPosition& p, Scope scope, const RoutineEntry& e, const CallForm* form,
                                   Value& result) {
  const bool function = e.kind == Kind::Function;
  const int32_t row = int32_t(&e - RoutineTable);
  const uint64_t generation = ScriptMemory::Generation();
  Value args[2] = {0, 0};
  for (int k = 0; k < e.ArgCount; k++) {
    form = StillCurrent(form, generation);
    bool complete = TakeArgument(p, scope, args[k], ArgumentForm(form, k, p));
    if (k + 1 == e.ArgCount) {
      if (!complete) return false;
      break;
    }
    if (!complete || PeekText(p) != ',') {
      const TextPosition stopped = p;
      SkipArguments(p);
      Fault(stopped, FaultKind::ArgumentCount, {.row = row, .number = e.ArgCount, .extra = k + 1});
      return false;
    }
    ClearStopAt(p);  // the ',' between the two arguments
    p++;
  }
  // A ',' after the last argument: the evaluator's stop there stays, and
  // says that the list holds more arguments than the built-in takes.
  if (StoppedAt(p)) Fault(p, FaultKind::ArgumentCount, {.row = row, .number = e.ArgCount, .extra = e.ArgCount});
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

// Declares the parameters of `row` from just past the '(' of its definition.
// Answers the number declared, or -1 when the list did not end at ')'; `at`
// is left where the list stopped (just past the ')' on success).
[[nodiscard]] int32_t DeclareParameters(const RoutineEntry& row, TextPosition& at) {
  at = row.Name + TextPosition(row.NameLength) + 1;
  const NameListForm* list = NameListAt(at);
  if (list != nullptr && list->endsAt == ')' && VariableCount + list->count <= kMaxVariables && !HasError()) {
    for (int k = 0; k < list->count; k++) PushSlot(NameOf(*list, k).at, NameOf(*list, k).length);
    at = list->end + 1;
    return list->count;
  }
  int32_t n = DeclareVariables(at, true);
  if (PeekText(at) != ')' || ErrorPosition != at) return -1;
  ClearStopAt(at);  // the ')' that a parameter list stops at
  at++;
  return n;
}

// Binds one argument per parameter, left to right, into the slots from `first`.
// Fewer arguments than parameters is a fault where the list ended; more is a
// fault at the ',' after the last one.
void BindArguments(TextPosition& p, Scope argScope, int32_t first, int32_t n, const CallForm* form, int32_t row) {
  if (n == 0) {
    SkipArguments(p);
    return;
  }
  const uint64_t generation = ScriptMemory::Generation();
  for (int32_t k = 0; k < n; k++) {
    form = StillCurrent(form, generation);
    Value v;
    if (!TakeRequiredValue(p, argScope, ArgumentForm(form, k, p), v)) return;
    uint8_t stop = PeekText(p);
    if (stop == ',') ClearStopAt(p);
    if (HasError()) return;  // a fault inside the argument is the one reported
    uint8_t expected = k + 1 < n ? ',' : ')';
    if (stop != expected) {
      // too few or too many arguments, or the evaluator's own fault
      Fault(p, FaultKind::ArgumentCount, {.row = row, .number = n, .extra = k + 1});
      return;
    }
    p++;
    VariableTable[first + k].value = v;
  }
}

// Names the next slot "return", the result variable of a function's frame,
// with the Value 0.
void OpenResultSlot() {
  VariableTable[VariableCount].value = 0;
  PushSlot(ReturnName, 6);
}

// Runs a script routine's body one call deeper in the frame that begins at
// `base`, then releases the frame. Answers the result variable's Value for a
// function, 0 for a procedure.
Value RunInFrame(TextPosition body, int32_t base, bool function) {
  CallDepth++;
  ExecBody(body, Scope{base, kLiveTop});
  CallDepth--;
  const Value result = function ? VariableTable[base].value : 0;
  ReleaseSlots(base);
  return result;
}

// A script routine: frame, parameters, arguments, body, release. Answers
// whether the body ran; `result` is then the result variable's Value for a
// function. A call that failed before its body yields no Value at all.
[[nodiscard]] bool TakeScriptCall(TextPosition name, TextPosition& p, Scope scope, const RoutineEntry& row,
                                  const CallForm* form, Value& result) {
  bool function = row.kind == Kind::Function;
  int32_t base = VariableCount;
  result = 0;
  if (function) {
    if (base >= kMaxVariables) {
      Fault(name, FaultKind::VariablesFull, {.number = kMaxVariables});
      return false;
    }
    OpenResultSlot();
  }
  TextPosition body;
  int32_t n = DeclareParameters(row, body);
  if (n < 0) {
    // A list that stopped elsewhere is a fault in the call's text for a
    // function and in the definition's text for a procedure; a full
    // VariableTable keeps its fault at the parameter's name.
    const FaultDetails routine{.row = int32_t(&row - RoutineTable)};
    if (function && !(VariableCount == kMaxVariables && ErrorPosition == body)) {
      Fault(p, FaultKind::ParameterListBroken, routine);
    }
    if (!HasError()) Fault(body, FaultKind::ParameterListBroken, routine);
    ReleaseSlots(base);
    return false;
  }
  int32_t first = VariableCount - n;
  BindArguments(p, ArgumentScope(scope, base), first, n, form, int32_t(&row - RoutineTable));
  if (HasError()) {
    ReleaseSlots(base);
    return false;
  }
  result = RunInFrame(body, base, function);
  return true;
}

// A call of a script routine whose arguments all have decoded code, made as
// TakeScriptCall makes it: the arguments are evaluated first, as they
// would be with the frame under construction, which they cannot see; then
// the frame, the body and the release. False, with nothing done, where the
// walker would do anything else before the body.
[[nodiscard]] bool TryCallWithCode(const CallForm& form, TextPosition& p, Scope scope, const RoutineEntry& row,
                                   Value& result) {
  const NameListForm& list = NameLists.items[form.parameters];
  const bool function = row.kind == Kind::Function;
  const int32_t base = VariableCount;
  if (base + (function ? 1 : 0) + list.count > kMaxVariables) return false;
  const Scope argScope = ArgumentScope(scope, base);
  const Value modulo = Modulo();
  Value args[kMaxVariables];
  for (int k = 0; k < list.count; k++) {
    const EvalForm& argument = ArgumentOf(form, k);
    if (argument.pure < 0 || !TryExpressionCode(argument.pure, argScope, 1, args[k])) {
      Modulo() = modulo;
      return false;
    }
  }
  if (function) OpenResultSlot();
  for (int k = 0; k < list.count; k++) {
    VariableTable[VariableCount].value = args[k];
    PushSlot(NameOf(list, k).at, NameOf(list, k).length);
  }
  p = form.end;
  result = RunInFrame(list.end + 1, base, function);
  return true;
}

// Why the call of `kind` at p, whose name finds `row`, cannot be made, or
// FaultKind::None when it can.
FaultKind CalleeFault(TextPosition p, int row, Kind kind) {
  if (row < 0) return FaultKind::UnknownName;
  if (RoutineTable[row].kind != kind) {
    return kind == Kind::Function ? FaultKind::ProcedureInExpression : FaultKind::FunctionAsStatement;
  }
  if (CallDepth >= kMaxCallDepth) return FaultKind::CallsTooDeep;
  if (row == InstalledLibrary.LineInputRow && EvaluatingInputLine) return FaultKind::InputInTypedLine;
  if (PeekText(p + TextPosition(RoutineTable[row].NameLength)) == kNul) return FaultKind::NameAtEndOfText;
  return FaultKind::None;
}

// Common head of both kinds of call: the routine must exist, be of the right
// kind, and the call must not nest deeper than kMaxCallDepth. A name that is
// no routine keeps the slots it could have meant, for the names suggested.
int FindCallee(TextPosition p, Kind kind, const CallForm* form, Scope scope) {
  if (HasError()) return -1;
  int row = form != nullptr ? form->row : RoutineAt(p);
  if (FaultKind refused = CalleeFault(p, row, kind); refused != FaultKind::None) {
    const Visible visible(scope);
    Fault(p, refused, refused == FaultKind::UnknownName ? FaultDetails{.number = visible.top, .extra = visible.base}
                                                         : FaultDetails{.row = row, .number = kMaxCallDepth});
    return -1;
  }
  return row;
}

// name(args) of either kind: the character after the name is taken as '('.
// Answers whether the call was made; `result` is then its Value (0 for a
// procedure).
[[nodiscard]] bool TakeCall(TextPosition& p, Scope scope, Kind kind, const CallForm* form, Value& result) {
  int row = FindCallee(p, kind, form, scope);
  if (row < 0) return false;
  const RoutineEntry& e = RoutineTable[row];
  TextPosition name = p;
  p += TextPosition(e.NameLength) + 1;
  if (e.NativeFlag & 0x80) return TakeBuiltinCall(p, scope, e, form, result);
  if (form != nullptr && form->parameters >= 0 && TryCallWithCode(*form, p, scope, e, result)) return true;
  return TakeScriptCall(name, p, scope, e, form, result);
}

}  // namespace

void CallFunction(TextPosition& p, Scope scope, const CallForm* form) {
  TextPosition name = p;
  Value result;
  if (TakeCall(p, scope, Kind::Function, form, result)) Push(result, name);
}

void CallProcedure(TextPosition& p, Scope scope, const CallForm* form) {
  Value none;
  (void)TakeCall(p, scope, Kind::Procedure, form, none);  // a procedure gives nothing to take
}

}  // namespace vorla
