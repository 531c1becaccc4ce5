// Name resolution: the scope rule with hiding and hidden caller frames, the
// byte after a variable's name, and the prefix rule and table order of
// routine lookup.
#include "core/names.h"

#include "test_support.h"

namespace vorla::test {
namespace {

class NamesTest : public VorlaTest {
 protected:
  // Globals g, h, xy, pqr (slots 3-6); a caller frame a, g (7, 8); a callee
  // frame g, b (9, 10). The queries follow, each between bars.
  void SetUp() override {
    VorlaTest::SetUp();
    Load("g, h, xy, pqr; a, g; g, b; |g|a|h|b|Array_|Modulo_(|g (|gx|xyz|pq|Timer_[|");
    TextPosition p = SourceStart;
    EXPECT_EQ(DeclareVariables(p, false), 4);
    GlobalCount = VariableCount;
    EXPECT_EQ(DeclareVariables(p, true), 2);
    EXPECT_EQ(DeclareVariables(p, true), 2);
    EXPECT_EQ(VariableCount, 11);
  }

  static int Find(std::string_view name, Scope scope) {
    std::string bar(1, '|');  // built by appends: GCC 12 misreads "|" + string as overlapping
    bar.append(name).push_back('|');
    std::string_view text(reinterpret_cast<const char*>(ScriptMemory::View(SourceStart)), SourceLength);
    size_t at = text.find(bar);
    EXPECT_NE(at, std::string_view::npos) << name;
    return FindVariable(SourceStart + TextPosition(at + 1), scope);
  }
};

TEST_F(NamesTest, CalleeSeesItsFrameAndTheGlobals) {
  Scope callee{9, kLiveTop};
  EXPECT_EQ(Find("g", callee), 9) << "the local hides the global";
  EXPECT_EQ(Find("b", callee), 10);
  EXPECT_EQ(Find("a", callee), -1) << "the caller's frame is hidden";
  EXPECT_EQ(Find("h", callee), 4);
  EXPECT_EQ(Find("Array_", callee), 0);
}

TEST_F(NamesTest, CallerFrameBelowTheCallee) {
  Scope caller{7, 9};
  EXPECT_EQ(Find("g", caller), 8);
  EXPECT_EQ(Find("a", caller), 7);
  EXPECT_EQ(Find("b", caller), -1);
}

TEST_F(NamesTest, GlobalFoundAgainAfterTheFrameEnds) {
  ReleaseSlots(7);
  EXPECT_EQ(Find("g", Scope{7, kLiveTop}), 3);
  EXPECT_EQ(Find("a", Scope{7, kLiveTop}), -1);
}

TEST_F(NamesTest, EmptyFrameSeesOnlyTheGlobals) {
  Scope empty{11, kLiveTop};
  EXPECT_EQ(Find("g", empty), 3);
  EXPECT_EQ(Find("a", empty), -1);
  EXPECT_EQ(Find("b", empty), -1);
  EXPECT_EQ(Find("Timer_[", empty), 2);
}

TEST_F(NamesTest, EveryLiveSlotNewestFirst) {
  for (Scope all : {Scope{-1, kLiveTop}, kEveryLiveVariable}) {
    EXPECT_EQ(Find("g", all), 9);
    EXPECT_EQ(Find("a", all), 7);
  }
}

TEST_F(NamesTest, ArgumentsSeeEveryLiveVariableButTheNewFrame) {
  Scope arguments{0, 9};
  EXPECT_EQ(Find("b", arguments), -1);
  EXPECT_EQ(Find("g", arguments), 8);
  EXPECT_EQ(Find("a", arguments), 7);
}

TEST_F(NamesTest, OnlyTheByteRightAfterTheNameIsTested) {
  Scope all{-1, kLiveTop};
  EXPECT_EQ(Find("Modulo_(", all), -1) << "a name directly followed by '(' is never a variable";
  EXPECT_EQ(Find("g (", all), 9);
  EXPECT_EQ(Find("gx", all), -1) << "a longer name does not match a shorter variable";
  EXPECT_EQ(Find("pq", all), -1) << "the variable's whole name must be present";
  EXPECT_EQ(Find("xyz", all), -1);
}

// A store into the text cuts the caller's local `xy` to the name "x(". The
// callee, which cannot see it, finds no variable at "x(", but the text is no
// call's name everywhere: in the caller's scope it is that local.
using CutNamesTest = VorlaTest;

TEST_F(CutNamesTest, CallNameSeenFromAScopeWithACutName) {
  Load("c; xy; d; |x(|");
  TextPosition p = SourceStart;
  EXPECT_EQ(DeclareVariables(p, false), 1);
  GlobalCount = VariableCount;
  EXPECT_EQ(DeclareVariables(p, true), 1);
  EXPECT_EQ(DeclareVariables(p, true), 1);
  const TextPosition cut = SourceStart + 4;
  ASSERT_EQ(PeekText(cut), 'y');
  ScriptMemory::StoreByte(cut, '(');
  const TextPosition at = SourceStart + 11;
  ASSERT_EQ(PeekText(at), 'x');
  EXPECT_EQ(FindVariable(at, Scope{5, kLiveTop}), -1);
  EXPECT_EQ(FindVariable(at, Scope{4, 5}), 4);
}

using RoutineNamesTest = VorlaTest;

TEST_F(RoutineNamesTest, FirstRowWhoseWholeNameBeginsTheText) {
  Load("proc abc() ; proc ab() ; func m() ; |PrnDec_x|PrnDecF_(|PrnHexB_|Array_[|abcd|ab(|a|Rand|");
  TextPosition p = SourceStart;
  while (DefineRoutine(p)) {
  }
  ASSERT_EQ(RoutineCount, 16);
  EXPECT_EQ(FindRoutine(Pos("PrnDec_x")), 0) << "nothing after the name is tested";
  EXPECT_EQ(FindRoutine(Pos("PrnDecF_")), 2);
  EXPECT_EQ(FindRoutine(Pos("PrnHexB_")), 5);
  EXPECT_EQ(FindRoutine(Pos("Array_[")), 6);
  EXPECT_EQ(FindRoutine(Pos("abcd")), 13);
  EXPECT_EQ(FindRoutine(Pos("ab(")), 14);
  EXPECT_EQ(FindRoutine(Pos("|a|") + 1), -1);
  EXPECT_EQ(FindRoutine(Pos("Rand|")), -1);
  EXPECT_EQ(FindRoutine(MainName), 15) << "m begins the text \"main\"";
}

}  // namespace
}  // namespace vorla::test
