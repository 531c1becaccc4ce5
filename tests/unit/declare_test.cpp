// Declarations: name lists with their three endings and the duplicate test,
// the global section, routine headers with their taken-name and '(' rules,
// and both capacities at the limit and one past it.
#include <string>

#include "test_support.h"

namespace vorla::test {
namespace {

class DeclareTest : public VorlaTest {
 protected:
  // Declares the list at the start of `text`; answers the names appended.
  int32_t List(std::string_view text, bool allowDuplicates) {
    Load(text);
    cursor_ = SourceStart;
    return DeclareVariables(cursor_, allowDuplicates);
  }
  // Reads the global section of `text`.
  void Globals(std::string_view text) {
    Load(text);
    cursor_ = SourceStart;
    DeclareGlobals(cursor_);
  }
  static std::string SlotName(int slot) {
    const Variable& v = VariableTable[slot];
    return std::string(reinterpret_cast<const char*>(ScriptMemory::View(v.Name)), size_t(v.NameLength));
  }

  TextPosition cursor_ = 0;
};

TEST_F(DeclareTest, GlobalSectionOfSeveralStatements) {
  Globals("var a, b;\rvar c;\r\rproc main() ;");
  EXPECT_EQ(VariableCount, 6);
  EXPECT_EQ(GlobalCount, 6);
  EXPECT_EQ(SlotName(3), "a");
  EXPECT_EQ(SlotName(5), "c");
  EXPECT_EQ(cursor_, Pos("proc"));
  EXPECT_EQ(ErrorPosition, kNoError);
}

TEST_F(DeclareTest, ListsWithAndWithoutBlanks) {
  EXPECT_EQ(List("a,b;x", false), 2);
  EXPECT_EQ(cursor_, Pos("x")) << "just past the ';'";
  EXPECT_EQ(List("a ,\t# note\r b ;", false), 2);
  EXPECT_EQ(ErrorPosition, kNoError);
}

TEST_F(DeclareTest, DeclarationKeepsTheSlotValue) {
  VariableTable[3].value = 77;
  EXPECT_EQ(List("k;", false), 1);
  EXPECT_EQ(VariableTable[3].value, 77);
}

TEST_F(DeclareTest, LeadingDigitNamesAndLongNames) {
  Globals("var 1st, a_very_long_name_9;");
  EXPECT_EQ(SlotName(3), "1st");
  EXPECT_EQ(SlotName(4), "a_very_long_name_9");
}

TEST_F(DeclareTest, ItemThatIsNoName) {
  struct Case {
    const char* text;
    int32_t count;
    const char* at;  // where the fault and the cursor stand
  } cases[] = {{";", 0, ";"}, {"a, ;", 1, ";"}, {"a,,b;", 1, ",b"}, {"a b;", 1, "b;"},
               {"a);", 1, ");"}, {"+", 0, "+"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(List(c.text, true), c.count);
    EXPECT_EQ(ErrorPosition, Pos(c.at));
    EXPECT_EQ(cursor_, Pos(c.at));
    EXPECT_EQ(VariableCount, 3 + c.count);
  }
}

TEST_F(DeclareTest, ListAtTheEndOfTheText) {
  EXPECT_EQ(List("a, b", true), 2);
  EXPECT_EQ(ErrorPosition, End());
  EXPECT_EQ(cursor_, End());
}

TEST_F(DeclareTest, ParameterListsStopAtTheirParenthesis) {
  EXPECT_EQ(List("a, b) body", true), 2);
  EXPECT_EQ(ErrorPosition, Pos(")"));
  EXPECT_EQ(cursor_, Pos(")"));
  EXPECT_EQ(List(") body", true), 0);
  EXPECT_EQ(ErrorPosition, SourceStart);
}

TEST_F(DeclareTest, DuplicatesOnlyWhereTheTestIsOn) {
  EXPECT_EQ(List("x, x;", true), 2);
  EXPECT_EQ(List("x, x;", false), 1);
  EXPECT_EQ(ErrorPosition, Pos("x;"));
  EXPECT_EQ(cursor_, Pos("x;"));
  EXPECT_EQ(List("Array_;", false), 0);
  EXPECT_EQ(ErrorPosition, SourceStart);
  EXPECT_EQ(List("Modulo_, Modulo_x;", true), 2);
}

TEST_F(DeclareTest, NothingHappensAfterAnEarlierFault) {
  Load("a, b;");
  ErrorPosition = kSourceBase + 3;
  TextPosition p = SourceStart;
  EXPECT_EQ(DeclareVariables(p, true), 0);
  EXPECT_EQ(p, SourceStart);
  EXPECT_EQ(ErrorPosition, kSourceBase + 3);
  EXPECT_EQ(VariableCount, 3);
}

TEST_F(DeclareTest, GlobalSectionEndingOnAFaultKeepsItsGlobals) {
  Globals("var a;\rvar b c;\rvar d;");
  EXPECT_EQ(GlobalCount, 5);
  EXPECT_EQ(ErrorPosition, Pos("c;"));
  EXPECT_EQ(cursor_, Pos("c;"));
  Globals("var x, x;");
  EXPECT_EQ(GlobalCount, 4);
  EXPECT_EQ(ErrorPosition, Pos("x;"));
}

TEST_F(DeclareTest, WhatStartsAVarStatement) {
  for (const char* text : {"var\tx;", "var\rx;", "var\x01x;", "  # note\r var x;"}) {
    Globals(text);
    EXPECT_EQ(GlobalCount, 4) << text;
  }
  for (const char* text : {"varx;", "var(x);", "Var x;", "var"}) {
    Globals(text);
    EXPECT_EQ(GlobalCount, 3) << text;
    EXPECT_EQ(ErrorPosition, kNoError) << text;
    EXPECT_EQ(cursor_, SourceStart) << text;
  }
}

TEST_F(DeclareTest, The129thLiveVariableIsAFaultAtItsName) {
  std::string names = "v0";
  for (int i = 1; i < 125; i++) names += ", v" + std::to_string(i);
  Globals("var " + names + ";");
  EXPECT_EQ(VariableCount, kMaxVariables);
  EXPECT_EQ(ErrorPosition, kNoError);

  Globals("var " + names + ", v125;");
  EXPECT_EQ(VariableCount, kMaxVariables);
  EXPECT_EQ(GlobalCount, kMaxVariables);
  EXPECT_EQ(ErrorPosition, Pos("v125"));
  EXPECT_EQ(cursor_, Pos("v125"));

  EXPECT_EQ(List(names + ", w, w;", true), 125);
  EXPECT_EQ(ErrorPosition, Pos("w,"));
}

class DefineTest : public DeclareTest {
 protected:
  bool Define(std::string_view text) {
    Load(text);
    cursor_ = SourceStart;
    return DefineRoutine(cursor_);
  }
};

TEST_F(DefineTest, HeadersAndTheirBodies) {
  Load("proc main() { x = 1; }\rfunc f(a, b) a = b;\r  rest");
  TextPosition p = SourceStart;
  ASSERT_TRUE(DefineRoutine(p));
  const RoutineEntry& main = RoutineTable[13];
  EXPECT_EQ(main.kind, Kind::Procedure);
  EXPECT_EQ(main.Name, Pos("main"));
  EXPECT_EQ(main.NameLength, 4);
  EXPECT_EQ(main.Target, Pos(" { x"));
  EXPECT_EQ(main.NativeFlag, 0);
  EXPECT_EQ(p, Pos("\rfunc"));

  ASSERT_TRUE(DefineRoutine(p));
  const RoutineEntry& f = RoutineTable[14];
  EXPECT_EQ(f.kind, Kind::Function);
  EXPECT_EQ(f.NameLength, 1);
  EXPECT_EQ(f.Target, Pos(" a = b"));
  EXPECT_EQ(p, Pos("\r  rest"));

  EXPECT_FALSE(DefineRoutine(p));
  EXPECT_EQ(p, Pos("rest"));
  EXPECT_EQ(RoutineCount, 15);
  EXPECT_EQ(ErrorPosition, kNoError);
}

TEST_F(DefineTest, TextThatIsNoDefinition) {
  for (const char* text : {"proc\tf() ;", "func(x) ;", "procedure f() ;", "x = 1;", "var a;", ""}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(Define(text));
    EXPECT_EQ(ErrorPosition, kNoError);
    EXPECT_EQ(cursor_, SourceStart);
    EXPECT_EQ(RoutineCount, 13);
  }
}

TEST_F(DefineTest, FailedHeaders) {
  struct Case {
    const char* text;
    const char* at;  // the fault; "" for the end of the text
  } cases[] = {
      {"func f (x) ;", " (x"},         // a blank between name and '('
      {"proc PrnDec_x() ;", "PrnDec_x"},  // begins with a built-in's name
      {"proc  f() ;", " f()"},         // the name must begin with a name character
      {"func f", ""},                  {"proc f(a, (b) ;", ""},
      {"proc f() { x; { y; }", ""},    {"proc f()", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_FALSE(Define(c.text));
    TextPosition at = c.at[0] != 0 ? Pos(c.at) : End();
    EXPECT_EQ(ErrorPosition, at);
    EXPECT_EQ(cursor_, at);
  }
}

TEST_F(DefineTest, TakenNames) {
  Load("func abc() ; func ab() ; proc ab2() ;");
  TextPosition p = SourceStart;
  EXPECT_TRUE(DefineRoutine(p));
  EXPECT_TRUE(DefineRoutine(p)) << "ab does not begin with abc";
  EXPECT_FALSE(DefineRoutine(p)) << "ab2 begins with ab";
  EXPECT_EQ(ErrorPosition, Pos("ab2"));
  EXPECT_EQ(RoutineCount, 15);
}

TEST_F(DefineTest, The52ndScriptRoutineIsAFaultAtItsName) {
  std::string text;
  for (int i = 0; i < 52; i++) text += "proc r" + std::to_string(100 + i) + "() ;\r";
  Load(text);
  TextPosition p = SourceStart;
  int defined = 0;
  while (DefineRoutine(p)) defined++;
  EXPECT_EQ(defined, 51);
  EXPECT_EQ(RoutineCount, kMaxRoutines);
  EXPECT_EQ(ErrorPosition, Pos("r151"));
  EXPECT_EQ(p, Pos("r151"));
}

}  // namespace
}  // namespace vorla::test
