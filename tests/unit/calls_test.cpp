// Routine calls in-process: the call depth at its limit and one past it, the
// frames given back after calls that fail at a capacity, the scope arguments
// are evaluated in, the argument cursor, and the key built-ins against a
// keyboard that a person types on while the script runs.
#include <string>

#include "run_script.h"

namespace vorla::test {
namespace {

class CallTest : public ScriptTest {
 protected:
  // A procedure without parameters that nests `levels` calls deep.
  static std::string Dive(int levels) {
    return "var n, deepest;\r"
           "proc r() { n = n + 1; if (n > deepest) deepest = n; if (n < " +
           std::to_string(levels) + ") r(); n = n - 1; }\r"
           "proc main() r();";
  }

  // `count` globals named v1, v2, ... in one var statement.
  static std::string Globals(int count) {
    std::string text = "var v1";
    for (int i = 2; i <= count; i++) text += ", v" + std::to_string(i);
    return text + ";\r";
  }
};

TEST_F(CallTest, CallsNestUpToTheDepthLimit) {
  EXPECT_EQ(Run(Dive(kMaxCallDepth)), RunOutcome::Finished);
  EXPECT_EQ(Var("deepest"), kMaxCallDepth);
  EXPECT_EQ(Var("n"), 0);
  EXPECT_EQ(Out(), "");
}

TEST_F(CallTest, OneCallPastTheDepthLimitIsAnErrorAtItsName) {
  EXPECT_EQ(Run(Dive(kMaxCallDepth + 1)), RunOutcome::Error);
  EXPECT_EQ(Var("deepest"), kMaxCallDepth);
  EXPECT_EQ(Out(), "\nerr at 2:r(); n = n - 1; }\r");
  EXPECT_EQ(VariableCount, GlobalCount);
  EXPECT_EQ(CallDepth, 0);
}

// A call that fails at a capacity gives back every slot it took.
TEST_F(CallTest, CallsFailingAtTheVariableLimitGiveBackTheirSlots) {
  struct Case {
    std::string script;
    const char* report;
  } cases[] = {
      {Globals(125) + "func f() return = 1;\rproc main() PrnDec_(f());", "\nerr at 3:f());"},
      {Globals(124) + "func g(x) return = x;\rproc main() PrnDec_(g(1));", "\nerr at 2:x) return = x;\r"},
      {Globals(124) + "proc p(a, b) PrnDec_(a);\rproc main() p(1, 2);", "\nerr at 2:b) PrnDec_(a);\r"},
      {Globals(124) + "func f() { var t; return = 1; }\rproc main() PrnDec_(f());", "\nerr at 2:t; return = 1; }\r"},
  };
  for (const Case& c : cases) {
    Keys("");
    EXPECT_EQ(Run(c.script), RunOutcome::Error) << c.script;
    EXPECT_EQ(Out(), c.report);
    EXPECT_EQ(VariableCount, GlobalCount);
    EXPECT_LE(VariableCount, kMaxVariables);
  }
}

// The frame under construction is invisible to its own arguments: `a` in the
// second argument is the global, not the parameter that the first one filled.
TEST_F(CallTest, ArgumentsDoNotSeeTheFrameUnderConstruction) {
  EXPECT_EQ(Run("var a;\r"
                "func f(a, b) return = a * 100 + b;\r"
                "proc p(a, b) PrnDec_(a * 100 + b);\r"
                "proc main() { a = 5; PrnDec_(f(1, a)); PrnStr_(\" \"); p(2, a); }"),
            RunOutcome::Finished);
  EXPECT_EQ(Out(), "105 205");
}

// The character after a routine's name is taken for its '(' unseen.
TEST_F(CallTest, TheCharacterAfterTheNameIsTakenForTheParenthesis) {
  EXPECT_EQ(Run("proc p(v) PrnDec_(v);\rproc main() { PrnDec_ 1); PrnDec_[2); p 3); }"), RunOutcome::Finished);
  EXPECT_EQ(Out(), "123");
}

// A built-in function given two arguments is still called with the first.
TEST_F(CallTest, ABuiltinFunctionIsCalledWithTheArgumentItRead) {
  EXPECT_EQ(Run("proc main() {\r  PrnDec_(Rand_(100, 5));\r}"), RunOutcome::Error);
  EXPECT_EQ(RandomSeed, 1537) << "Rand_ was called once";
  EXPECT_EQ(Out(), "\nerr at 2:, 5));\r") << "and PrnDec_ not at all";
}

TEST_F(CallTest, BuiltinRowsComeFirst) {
  EXPECT_EQ(Run("proc main() ;"), RunOutcome::Finished);
  EXPECT_EQ(RoutineCount, InstalledLibrary.BuiltinCount + 1);
  EXPECT_EQ(PeekText(RoutineTable[0].Name), 'P');
  EXPECT_EQ(RoutineTable[0].NameLength, 7);  // PrnDec_
  EXPECT_EQ(RoutineTable[12].NameLength, 5);  // Call_
  EXPECT_EQ(PeekText(RoutineTable[12].Name), 'C');
  EXPECT_EQ(RoutineTable[13].Name, SourceStart + 5);  // main
}

// InpChk_ looks without taking the key; InpChar_ takes it; a key that arrives
// later is seen when it arrives.
TEST_F(CallTest, InpChkLooksAndInpCharTakes) {
  Keys("k");
  EXPECT_EQ(Run("var a, b, c, d;\rproc main() { a = InpChk_(); b = InpChk_(); c = InpChar_(); d = InpChk_(); }"),
            RunOutcome::Finished);
  EXPECT_NE(Var("a"), 0);
  EXPECT_NE(Var("b"), 0);
  EXPECT_EQ(Var("c"), 'k');
  EXPECT_EQ(Var("d"), 0);

  Keys("");
  Console().AddKeyAtPoll('z', 3);
  EXPECT_EQ(Run("var n, c;\rproc main() { for (n = 0; InpChk_() = 0; n = n + 1) ; c = InpChar_(); }"),
            RunOutcome::Finished);
  EXPECT_EQ(Var("n"), 2);
  EXPECT_EQ(Var("c"), 'z');
}

// A key waiting when a text ends is taken by that text's poll.
TEST_F(CallTest, TheOutputPollTakesAWaitingKeyFirst) {
  Keys("k");
  EXPECT_EQ(Run("var a;\rproc main() { PrnStr_(\"x\"); a = InpChk_(); }"), RunOutcome::Finished);
  EXPECT_EQ(Var("a"), 0);
  EXPECT_EQ(Console().KeysLeft(), 0u);
}

// Keys that fail at a look or a read stop the run at once, wherever they are
// consulted.
TEST_F(CallTest, KeysThatFailStopTheRun) {
  for (const char* script : {"var a;\rproc main() { a = 1 + InpChk_(); a = 7; }",
                             "var a;\rproc main() { a = 1 + InpChar_(); a = 7; }",
                             "var a;\rproc main() { PrnStr_(\"x\"); a = 7; }"}) {
    Keys("");
    Console().FailAfterKeys();
    EXPECT_EQ(Run(script), RunOutcome::Stopped) << script;
    EXPECT_EQ(Var("a"), 0) << script;
  }
}

// InpChar_ with no key to come stops the run quietly.
TEST_F(CallTest, InpCharWithNoKeyToComeStops) {
  Keys("", false);
  EXPECT_EQ(Run("var a;\rproc main() { a = 1 + InpChar_(); a = 7; }"), RunOutcome::Stopped);
  EXPECT_EQ(Var("a"), 0);
  EXPECT_EQ(Out(), "");
}

}  // namespace
}  // namespace vorla::test
