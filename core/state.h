// Interpreter state: every table the interpreter shares, with its capacity.
// All of it is plain global data; ResetProgramState puts it back to the state
// of a fresh process, so tests and the fuzzer can run many scripts in one.
#pragma once
#include <cstdint>

#include "core/fault.h"
#include "core/memory.h"
#include "core/value.h"

namespace vorla {

class Console;

// Capacities of the fixed tables.
inline constexpr int kMaxVariables = 128;   // VariableTable slots, the predefined three included
inline constexpr int kMaxRoutines = 64;     // RoutineTable rows: the built-ins, then the script's routines
inline constexpr int kMaxOperands = 32;     // OperandStack slots
// Nested script routine calls: deep enough for real recursion, shallow enough
// that the host stack never runs out.
inline constexpr int kMaxCallDepth = 4000;
// Nesting of bodies and expressions in all: bounds the host recursion.
inline constexpr int kMaxNesting = 20000;
// StepBudget when no budget is set: more statements than any run begins.
inline constexpr int64_t kNoStepLimit = INT64_MAX;

// ErrorPosition values besides a text position.
inline constexpr TextPosition kNoError = 0;
inline constexpr TextPosition StopRequested = 0xFFFFFFFFu;  // the user pressed ESC

enum class Kind : int32_t { Procedure = 1, Function = 2 };

using NativeRoutine = Value (*)(Value first, Value second);

struct Variable {
  TextPosition Name;   // first character of the name, in the text or the constant area
  int32_t NameLength;
  Value value;
};

struct RoutineEntry {
  Kind kind;
  uint8_t ArgCount;    // arguments of a built-in: 0, 1 or 2
  uint8_t NativeFlag;  // 0xFF for a built-in, 0 for a script routine
  TextPosition Name;
  int32_t NameLength;
  TextPosition Target;  // script routine: where its body begins (just past the ')')
  NativeRoutine Native; // built-in: the routine that carries it out
};

// Which variables a name may mean: the slots from ScopeBase up to Top (newest
// first), then the globals below both. Top kLiveTop means up to VariableCount.
inline constexpr int32_t kLiveTop = INT32_MAX;
struct Scope {
  int32_t ScopeBase;
  int32_t Top;
};
inline constexpr Scope kEveryLiveVariable{0, kLiveTop};

// What the built-in library installs besides its rows (builtins/table.cpp).
struct Library {
  int32_t BuiltinCount;      // rows 0 .. BuiltinCount-1 of RoutineTable
  int32_t LineInputRow;      // Input_, which a typed line may not call
  void (*DivisionNotice)();  // prints " Divided by 0 " and polls the keyboard
};

extern TextPosition SourceStart;                 // first byte of the loaded text
extern uint32_t SourceLength;                    // bytes loaded, NUL not counted
extern Variable VariableTable[kMaxVariables];
extern int32_t VariableCount;                    // slots 0..VariableCount-1 are live
extern int32_t GlobalCount;                      // VariableCount right after the global section
extern RoutineEntry RoutineTable[kMaxRoutines];
extern int32_t RoutineCount;
extern Library InstalledLibrary;
extern Value OperandStack[kMaxOperands];
extern int32_t OperandDepth;
extern TextPosition ErrorPosition;               // kNoError, StopRequested, or the first fault
extern int32_t InputLength;                      // bytes typed into InputLine
extern Value RandomSeed;                         // state of Rand_
extern bool EvaluatingInputLine;                 // Input_ is evaluating a typed line: numbers go to the spare scratch
extern int32_t CallDepth;                        // script routine calls now running
extern int32_t FaultCallDepth;                   // CallDepth when ErrorPosition was last set
extern FaultRecord CurrentFault;                 // what the fault at ErrorPosition is
extern FaultRecord FirstFault;                   // the fault that a statement re-pointed first
extern int32_t NestingDepth;                     // bodies and expressions now running
extern int64_t StepBudget;                       // statements left before a stop (kNoStepLimit: none)
extern void (*StepBudgetSpent)();                // may refill a spent StepBudget (see RefillStepBudget)
extern bool StepBudgetRefused;                   // StepBudgetSpent set no new budget in this run
extern int32_t CallDepthLimit;                   // nested calls a run allows (see SetDepthLimits)
extern int32_t NestingLimit;                     // nesting levels a run allows (see SetDepthLimits)
extern Console* ActiveConsole;                   // where output goes and keys come from
extern bool UseEngine;                           // run bodies compiled (a process setting, not reset)
extern TextPosition RunCursor;                   // where main's body left the cursor

// Predefined variable slots and constant names.
inline constexpr int kArraySlot = 0;
inline constexpr int kModuloSlot = 1;
inline constexpr int kTimerSlot = 2;
inline constexpr int kPredefinedCount = 3;
extern TextPosition ReturnName;                  // "return", the result variable
extern TextPosition MainName;                    // "main", the routine a run starts with

inline Value& Modulo() { return VariableTable[kModuloSlot].value; }

// Back to the state of a fresh process: memory zeroed, no routine rows; the
// built-in library installs its rows afterwards.
void ResetProgramState(Console* console);
// The reset a run starts with: counts, error, predefined variables.
void ResetForRun();
// Copies a name into the constant area and answers where it stands.
TextPosition StoreConstant(const char* text);

// The depth limits of every later run: kMaxCallDepth and kMaxNesting where
// the host's stack holds them, lower where it is smaller (clamped to 1 ..
// those). The walker and the engine check both where they check the
// constants' values, with the same faults. A process setting, not reset.
void SetDepthLimits(int32_t calls, int32_t nesting);

// The statement about to run finds StepBudget spent. StepBudgetSpent, when
// set, may set a new budget (and do what it must between slices of a run,
// such as letting a host's event loop go on); answers whether it did, and the
// run goes on. Otherwise the run stops there, as without a hook, and the hook
// is not asked again in this run. Both executors ask at the same statements,
// so they pace a run alike. The hook is a process setting, not reset; the
// per-statement cost stays one compare.
[[nodiscard]] bool RefillStepBudget();

// Errors go through one door. Fault records a fault position with its kind,
// but never replaces a stop request with an error. A fault recorded while one
// is pending re-points it (a statement names where its own reading stopped);
// the first fault before it is kept in FirstFault. Not inline: its record
// would otherwise take room in the frame of every recursive routine.
//
// A routine that may record a fault answers nothing, or whether ErrorPosition
// is set when it returns, as ExecBody and EvalExpression do. The few that
// answer anything else are [[nodiscard]] and say what they answer in their
// names: Take... and Finish... answer whether they took a Value (or made a
// call). Expected stops are cleared only by ClearStopAt.
inline bool HasError() { return ErrorPosition != kNoError; }
void Fault(TextPosition at, FaultKind kind, FaultDetails details = {});
inline void RequestStop() { ErrorPosition = StopRequested; }
// The pending fault is the evaluator's own stop at the character at `at` (a
// ',' or ']' that the enclosing construct expects). A fault recorded inside a
// routine called from here is never that stop, even when it stands at the
// same character because the routine runs this very text.
inline bool StoppedAt(TextPosition at) { return ErrorPosition == at && FaultCallDepth == CallDepth; }
// No fault, or only the evaluator's own stop at `at`: the Value is complete.
inline bool OnlyStoppedAt(TextPosition at) { return ErrorPosition == kNoError || StoppedAt(at); }
// The construct that expects the ',' or ']' at `at` takes the evaluator's stop
// there; any other fault stays.
inline void ClearStopAt(TextPosition at) {
  if (StoppedAt(at)) ErrorPosition = kNoError;
}

// OperandStack; a full stack is a fault at `at`, unless a fault is already
// recorded (a call's result after its body failed): that one is reported.
inline void Push(Value v, TextPosition at) {
  if (OperandDepth >= kMaxOperands) {
    if (!HasError()) Fault(at, FaultKind::OperandsFull, {.number = kMaxOperands});
    return;
  }
  OperandStack[OperandDepth++] = v;
}
inline Value Pop() { return OperandStack[--OperandDepth]; }

// Every recursive routine enters one nesting level; past NestingLimit the
// construct at `at` is a fault instead of a deeper host recursion.
class NestingLevel {
 public:
  explicit NestingLevel(TextPosition at) : entered_(NestingDepth < NestingLimit) {
    if (entered_) {
      NestingDepth++;
    } else {
      Fault(at, FaultKind::NestingTooDeep, {.number = NestingLimit});
    }
  }
  ~NestingLevel() {
    if (entered_) NestingDepth--;
  }
  bool Entered() const { return entered_; }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;

 private:
  bool entered_;
};

}  // namespace vorla
