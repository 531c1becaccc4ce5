// Interpreter state: the one definition of every shared table (see state.h).
#include "core/state.h"

#include <algorithm>
#include <cstring>

#include "core/names.h"

namespace vorla {

TextPosition SourceStart = kSourceBase;
uint32_t SourceLength = 0;
Variable VariableTable[kMaxVariables];
int32_t VariableCount = 0;
int32_t GlobalCount = 0;
RoutineEntry RoutineTable[kMaxRoutines];
int32_t RoutineCount = 0;
Library InstalledLibrary;
Value OperandStack[kMaxOperands];
int32_t OperandDepth = 0;
TextPosition ErrorPosition = kNoError;
int32_t InputLength = 0;
Value RandomSeed = 0;
bool EvaluatingInputLine = false;
int32_t CallDepth = 0;
int32_t FaultCallDepth = 0;
FaultRecord CurrentFault;
FaultRecord FirstFault;
int32_t NestingDepth = 0;
int64_t StepBudget = kNoStepLimit;
void (*StepBudgetSpent)() = nullptr;
bool StepBudgetRefused = false;
int32_t CallDepthLimit = kMaxCallDepth;
int32_t NestingLimit = kMaxNesting;
Console* ActiveConsole = nullptr;
bool UseEngine = true;
TextPosition RunCursor = 0;
TextPosition ReturnName = 0;
TextPosition MainName = 0;

namespace {

TextPosition nextConstant;
TextPosition arrayName;
TextPosition moduloName;
TextPosition timerName;

}  // namespace

void Fault(TextPosition at, FaultKind kind, FaultDetails details) {
  if (ErrorPosition == StopRequested) return;
  const bool repointed = ErrorPosition != kNoError;
  if (repointed && !CurrentFault.repointed) FirstFault = CurrentFault;
  ErrorPosition = at;
  FaultCallDepth = CallDepth;
  CurrentFault = {at, kind, repointed, CallDepth, details};
}

TextPosition StoreConstant(const char* text) {
  TextPosition at = nextConstant;
  size_t n = std::strlen(text);
  ScriptMemory::StoreBytes(at, text, n);
  nextConstant += TextPosition(n + 1);  // a NUL after each name
  return at;
}

void SetDepthLimits(int32_t calls, int32_t nesting) {
  CallDepthLimit = std::clamp(calls, 1, kMaxCallDepth);
  NestingLimit = std::clamp(nesting, 1, kMaxNesting);
}

bool RefillStepBudget() {
  if (StepBudgetSpent != nullptr && !StepBudgetRefused) {
    StepBudgetSpent();
    StepBudgetRefused = StepBudget == 0;
  }
  return StepBudget > 0;
}

void ResetProgramState(Console* console) {
  ScriptMemory::Clear();
  std::memset(VariableTable, 0, sizeof VariableTable);
  std::memset(RoutineTable, 0, sizeof RoutineTable);
  std::memset(OperandStack, 0, sizeof OperandStack);
  VariableCount = GlobalCount = RoutineCount = OperandDepth = InputLength = 0;
  InstalledLibrary = {0, -1, nullptr};
  SourceStart = kSourceBase;
  SourceLength = 0;
  ErrorPosition = kNoError;
  CurrentFault = FirstFault = {};
  RandomSeed = 0;
  EvaluatingInputLine = false;
  CallDepth = NestingDepth = 0;
  StepBudget = kNoStepLimit;
  RunCursor = 0;
  ActiveConsole = console;

  nextConstant = kConstantBase;
  ReturnName = StoreConstant("return");
  MainName = StoreConstant("main");
  arrayName = StoreConstant("Array_");
  moduloName = StoreConstant("Modulo_");
  timerName = StoreConstant("Timer_");
  ReleaseSlots(0);
  GlobalCount = 0;
}

void ResetForRun() {
  OperandDepth = 0;
  StepBudgetRefused = false;
  ErrorPosition = kNoError;
  CurrentFault = FirstFault = {};
  RoutineCount = InstalledLibrary.BuiltinCount;
  CallDepth = NestingDepth = 0;
  EvaluatingInputLine = false;
  ReleaseSlots(0);
  Value modulo = Modulo();
  PushSlot(arrayName, 6);
  VariableTable[kArraySlot].value = Value(kArrayBase);
  PushSlot(moduloName, 7);
  Modulo() = modulo;
  PushSlot(timerName, 6);
  VariableTable[kTimerSlot].value = 0;
  ScriptMemory::AdvanceGeneration();
}

}  // namespace vorla
