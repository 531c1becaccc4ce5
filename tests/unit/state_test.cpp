// Interpreter state and script memory: the reset a run starts with, and the
// checks that keep every script address inside SourceBuffer, InputLine and
// ArrayMemory.
#include "builtins/table.h"
#include "test_support.h"

namespace vorla::test {
namespace {

using StateTest = VorlaTest;

TEST_F(StateTest, ResetForRunSetsCountsAndPredefinedVariables) {
  VariableCount = 40;
  RoutineCount = 20;
  OperandDepth = 7;
  ErrorPosition = kSourceBase + 3;
  Modulo() = 9;
  ResetForRun();
  EXPECT_EQ(VariableCount, 3);
  EXPECT_EQ(RoutineCount, 13);
  EXPECT_EQ(OperandDepth, 0);
  EXPECT_EQ(ErrorPosition, kNoError);
  EXPECT_EQ(Var("Array_"), Value(kArrayBase));
  EXPECT_EQ(Var("Modulo_"), 9) << "the run keeps the Value Modulo_ had";
  EXPECT_EQ(Var("Timer_"), 0);
  EXPECT_EQ(VariableTable[kArraySlot].NameLength, 6);
  EXPECT_EQ(VariableTable[kModuloSlot].NameLength, 7);
  EXPECT_EQ(VariableTable[kTimerSlot].NameLength, 6);
}

TEST_F(StateTest, ProgramStartClearsMemoryModuloAndSeed) {
  ScriptMemory::StoreByte(kArrayBase + 5, 1);
  ScriptMemory::StoreByte(kInputBase, 1);
  Modulo() = 3;
  RandomSeed = 77;
  UseConsole("", true);
  ResetForRun();
  EXPECT_EQ(PeekText(kArrayBase + 5), 0);
  EXPECT_EQ(PeekText(kInputBase), 0);
  EXPECT_EQ(Modulo(), 0);
  EXPECT_EQ(RandomSeed, 0);
}

TEST_F(StateTest, BuiltinRowsInTheirFixedOrder) {
  const char* names[] = {"PrnDec_", "PrnStr_", "PrnDecF_", "PrnChar_", "PrnHex_", "PrnHexB_", "Array_",
                         "InpChk_", "InpChar_", "Input_", "Rand_", "Seed_", "Call_"};
  ASSERT_EQ(InstalledLibrary.BuiltinCount, 13);
  for (int row = 0; row < InstalledLibrary.BuiltinCount; row++) {
    const RoutineEntry& e = RoutineTable[row];
    std::string name(reinterpret_cast<const char*>(ScriptMemory::View(e.Name)), size_t(e.NameLength));
    EXPECT_EQ(name, names[row]);
    EXPECT_EQ(e.NativeFlag & 0x80, 0x80);
    EXPECT_EQ(e.kind, row >= 6 && row <= 10 ? Kind::Function : Kind::Procedure) << name;
  }
}

TEST_F(StateTest, ScriptMemoryAreasAndTheirEdges) {
  // Address 0, the constant area, the gaps and StopRequested lie in no area.
  EXPECT_FALSE(InScriptMemory(0, 1));
  EXPECT_FALSE(InScriptMemory(kConstantBase, 1));
  EXPECT_FALSE(InScriptMemory(0xFFFFFFFFu, 1));
  EXPECT_FALSE(InScriptMemory(0xFFFFFFFEu, 4));  // wraps past 2^32
  EXPECT_FALSE(InScriptMemory(kSourceBase - 1, 1));
  EXPECT_FALSE(InScriptMemory(kSourceBase - 1, 4));  // starts in front, ends inside

  const uint32_t bases[] = {kSourceBase, kInputBase, kArrayBase};
  const uint32_t sizes[] = {kSourceSize, kInputSize, kArraySize};
  for (int i = 0; i < 3; i++) {
    uint32_t end = bases[i] + sizes[i];
    SCOPED_TRACE(i);
    EXPECT_TRUE(InScriptMemory(bases[i], 4));
    EXPECT_TRUE(InScriptMemory(end - 1, 1));
    EXPECT_TRUE(InScriptMemory(end - 4, 4));
    EXPECT_FALSE(InScriptMemory(end - 3, 4)) << "a word that straddles the end";
    EXPECT_FALSE(InScriptMemory(end - 1, 4));
    EXPECT_FALSE(InScriptMemory(end, 1));
    EXPECT_EQ(AreaEnd(end - 4, 4), end);
  }
}

TEST_F(StateTest, PeekReadsNulPastTheMemory) {
  ScriptMemory::StoreByte(kMemorySize - 1, 'z');
  EXPECT_EQ(Peek(kMemorySize - 1), 'z');
  EXPECT_EQ(Peek(kMemorySize), 0);
  EXPECT_EQ(Peek(0xFFFFFFFFu), 0);
}

TEST_F(StateTest, WordsAreLittleEndian) {
  ScriptMemory::StoreWord(kArrayBase, Value(0x81020304));
  EXPECT_EQ(PeekText(kArrayBase), 0x04);
  EXPECT_EQ(PeekText(kArrayBase + 3), 0x81);
  EXPECT_EQ(ReadWord(kArrayBase), Value(0x81020304));
}

TEST_F(StateTest, OperandStackFullIsAFaultAtTheOperand) {
  for (int i = 0; i < kMaxOperands; i++) Push(i, kSourceBase);
  EXPECT_FALSE(HasError());
  Push(99, kSourceBase + 7);
  EXPECT_EQ(OperandDepth, kMaxOperands);
  EXPECT_EQ(ErrorPosition, kSourceBase + 7);
  EXPECT_EQ(Pop(), kMaxOperands - 1);
}

TEST_F(StateTest, FaultNeverReplacesAStopRequest) {
  Fault(kSourceBase + 1, FaultKind::OperandExpected);
  EXPECT_EQ(ErrorPosition, kSourceBase + 1);
  RequestStop();
  Fault(kSourceBase + 2, FaultKind::OperandExpected);
  EXPECT_EQ(ErrorPosition, StopRequested);
  EXPECT_EQ(CurrentFault.at, kSourceBase + 1);
}

TEST_F(StateTest, AFaultThatRepointsKeepsTheFirstOne) {
  Fault(kSourceBase + 1, FaultKind::OperatorExpected);  // a stop that is taken again
  ClearStopAt(kSourceBase + 1);
  Fault(kSourceBase + 2, FaultKind::UnknownName);
  EXPECT_FALSE(CurrentFault.repointed);
  Fault(kSourceBase + 5, FaultKind::RightSideFailed, {.origin = kSourceBase});
  Fault(kSourceBase + 6, FaultKind::RightSideFailed, {.origin = kSourceBase});
  EXPECT_EQ(ErrorPosition, kSourceBase + 6);
  EXPECT_TRUE(CurrentFault.repointed);
  EXPECT_EQ(CurrentFault.kind, FaultKind::RightSideFailed);
  EXPECT_EQ(CurrentFault.details.origin, kSourceBase);
  EXPECT_EQ(FirstFault.at, kSourceBase + 2);
  EXPECT_EQ(FirstFault.kind, FaultKind::UnknownName);
}

}  // namespace
}  // namespace vorla::test
