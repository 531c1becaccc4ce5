// Interpreter state: the one definition of every shared table (see state.h).
#include "core/state.h"

#include <cstring>

#include "builtins/table.h"
#include "core/textcache.h"

namespace vorla {

uint8_t Memory[kMemorySize + kGuardSize];
TextPosition SourceStart = kSourceBase;
uint32_t SourceLength = 0;
Variable VariableTable[kMaxVariables];
int32_t VariableCount = 0;
int32_t GlobalCount = 0;
RoutineEntry RoutineTable[kMaxRoutines];
int32_t RoutineCount = 0;
Value OperandStack[kMaxOperands];
int32_t OperandDepth = 0;
TextPosition ErrorPosition = kNoError;
int32_t InputLength = 0;
Value RandomSeed = 0;
bool EvaluatingInputLine = false;
int32_t CallDepth = 0;
int32_t FaultCallDepth = 0;
int32_t NestingDepth = 0;
int64_t StepBudget = -1;
Console* ActiveConsole = nullptr;
uint32_t SlotNamesVersion = 0;
TextPosition ReturnName = 0;
TextPosition MainName = 0;

namespace {

TextPosition nextConstant;
TextPosition moduloName;
TextPosition timerName;

// Copies a constant name into the constant area and answers its position.
TextPosition StoreConstant(const char* text) {
  TextPosition at = nextConstant;
  size_t n = std::strlen(text);
  std::memcpy(&Memory[at], text, n);
  nextConstant += TextPosition(n + 1);  // a NUL after each name
  return at;
}

void SetVariable(int slot, TextPosition name, int32_t length, Value v) {
  NameSlot(slot, name, length);
  VariableTable[slot].value = v;
}

}  // namespace

// A version that comes round again could make an old answer look current.
void SlotNamesChanged() {
  if (++SlotNamesVersion == 0) ForgetTextAnswers();
}

void ResetProgramState(Console* console) {
  std::memset(Memory, 0, sizeof Memory);
  ForgetTextAnswers();
  std::memset(VariableTable, 0, sizeof VariableTable);
  std::memset(RoutineTable, 0, sizeof RoutineTable);
  std::memset(OperandStack, 0, sizeof OperandStack);
  VariableCount = GlobalCount = RoutineCount = OperandDepth = InputLength = 0;
  SourceStart = kSourceBase;
  SourceLength = 0;
  ErrorPosition = kNoError;
  RandomSeed = 0;
  EvaluatingInputLine = false;
  CallDepth = NestingDepth = 0;
  StepBudget = -1;
  ActiveConsole = console;

  nextConstant = kConstantBase;
  for (int row = 0; row < kBuiltinCount; row++) {
    const BuiltinRow& b = BuiltinRows[row];
    RoutineEntry& e = RoutineTable[row];
    e.kind = b.kind;
    e.ArgCount = b.ArgCount;
    e.NativeFlag = 0xFF;
    e.Name = StoreConstant(b.Name);
    e.NameLength = int32_t(std::strlen(b.Name));
    e.Target = 0;
    e.Native = b.Native;
  }
  ReturnName = StoreConstant("return");
  MainName = StoreConstant("main");
  moduloName = StoreConstant("Modulo_");
  timerName = StoreConstant("Timer_");
}

void ResetForRun() {
  OperandDepth = 0;
  ErrorPosition = kNoError;
  RoutineCount = kBuiltinCount;
  VariableCount = kPredefinedCount;
  CallDepth = NestingDepth = 0;
  EvaluatingInputLine = false;
  // The names of Array_ and the built-in Array_ are one constant.
  const RoutineEntry& arrayRow = RoutineTable[kArrayRow];
  SetVariable(kArraySlot, arrayRow.Name, 6, Value(kArrayBase));
  SetVariable(kModuloSlot, moduloName, 7, Modulo());
  SetVariable(kTimerSlot, timerName, 6, 0);
}

}  // namespace vorla
