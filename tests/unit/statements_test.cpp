// The statement executor in-process: where each statement leaves the cursor and
// records its fault, how bodies and blocks step on, and what a stop request at
// an output poll does to loops and blocks (polls that a pipe never makes, so
// the golden scripts cannot reach them).
#include "core/exec.h"
#include "run_script.h"

namespace vorla::test {
namespace {

class StatementTest : public ScriptTest {
 protected:
  // Where a statement or body left things, as the text that remains from the
  // cursor and from the fault.
  struct Stop {
    std::string cursor;
    std::string error;  // "-" for no fault
  };

  template <typename Exec>
  Stop RunText(std::string_view text, Exec exec) {
    Prepare(text, "var x, y, z; ");
    TextPosition p = exprStart_;
    exec(p, Scope{VariableCount, kLiveTop});
    return {Rest(p), ErrorPosition == kNoError ? "-" : Rest(ErrorPosition)};
  }

  std::string Rest(TextPosition p) const {
    return std::string(reinterpret_cast<const char*>(ScriptMemory::View(p)), End() - p);
  }
};

TEST_F(StatementTest, WhereEachStatementLeavesTheCursor) {
  struct Case {
    const char* text;
    const char* cursor;
    const char* error;
  } cases[] = {
      {"x = 1 + 2 ;", ";", "-"},
      {"PrnDec_(1) ;", " ;", "-"},
      {"if (1) x = 1;  y = 2;", "  y = 2;", "-"},
      {"if (0) x = 1;  y = 2;", "  y = 2;", "-"},
      {"if (1) x = 1; else y = 2;  z = 3;", "  z = 3;", "-"},
      {"if (0) { x = 1; } else { y = 2; }  z = 3;", "  z = 3;", "-"},
      {"if (1) x = 1;\r  elsewhere = 1;", "\r  elsewhere = 1;", "-"},
      {"for (x = 0; x < 3; x = x + 1) y = y + x;  z = 3;", "  z = 3;", "-"},
      {"for (x = 0; x < 0; x = x + 1) { y = 1; }  z = 3;", "  z = 3;", "-"},
      {"do x = x + 1; while (x < 3)  ;", "  ;", "-"},
      {";", ";", "-"},
      {"} x = 1;", "} x = 1;", "-"},
      {"x [1] = 2;", "[1] = 2;", "[1] = 2;"},
      {"x 1;", "1;", "1;"},
      {"x = ;", ";", ";"},
      {"x = 1 }", "}", "}"},
      {"if (1 x = 1;", "x = 1;", "x = 1;"},
      {"do x = 1; y = 2;", "y = 2;", "y = 2;"},
      {"do x = x + 1; while (x < 3 ;", ";", ";"},
      {"Array_[1 = 2;", "", ";"},
      {"zz(1);", "zz(1);", "zz(1);"},
      // an unclosed index keeps its Value as the operand: the ')' after it is passed
      {"x = (y[1;);", ";", ";"},
      {"if (y[1;) x = 1;", " x = 1;", ";) x = 1;"},
      {"if (x y) z = 1;", "y) z = 1;", "y) z = 1;"},
      {"for (x = 0; x y; x = x + 1) z = 1;", "y; x = x + 1) z = 1;", "y; x = x + 1) z = 1;"},
      {"if  (1) x = 1;", "if  (1) x = 1;", "if  (1) x = 1;"},
      // cut off by the end of the text: a fault there, and nothing passes it
      {"x = 1", "", ""},
      {"if (1", "", ""},
      {"if (0) x = 1", "", ""},
      {"if (1) x = 1; else y = 2", "", ""},
      {"for (x = 0; x < 3; x = x + 1", "", ""},
      {"for (x = 0; x < 0; x = x + 1", "", ""},
      {"for (x = 0; x < 0; x = x + 1) y = 1", "", ""},
      {"do x = x + 1;", "", ""},
  };
  for (const Case& c : cases) {
    Stop s = RunText(c.text, ExecStatement);
    EXPECT_EQ(s.cursor, c.cursor) << c.text;
    EXPECT_EQ(s.error, c.error) << c.text;
  }
}

TEST_F(StatementTest, BodiesStepOnOneCharacterAndBlocksReleaseTheirLocals) {
  struct Case {
    const char* text;
    const char* cursor;
    const char* error;
  } cases[] = {
      {"x = 1;y", "y", "-"},
      {"PrnDec_(1) ;", ";", "-"},  // the step passes the blank and leaves the ';'
      {"{ var t; t = 5; x = t; } y", " y", "-"},
      {"{ var a, b; var\tc;\r a = 1; } y", " y", "-"},
      {"{ } y", " y", "-"},
      {"{ ; ; } y", " y", "-"},
      {"{ x = 1 } y", " y", "} y"},
      {"{ var ; x = 1; }", " x = 1; }", "; x = 1; }"},
      {"{ var t; x = 1; + }", " }", "+ }"},
      {"{ var t; x = 1;", "", ""},
  };
  for (const Case& c : cases) {
    Stop s = RunText(c.text, ExecBody);
    EXPECT_EQ(s.cursor, c.cursor) << c.text;
    EXPECT_EQ(s.error, c.error) << c.text;
    EXPECT_EQ(VariableCount, GlobalCount) << c.text;
  }
}

TEST_F(StatementTest, BlockLocalsKeepTheSlotsValue) {
  Prepare("{ var t; x = t; t = t + 7; }", "var x; ");
  for (Value want : {0, 7, 14}) {
    TextPosition p = exprStart_;
    ExecBody(p, Scope{VariableCount, kLiveTop});
    EXPECT_EQ(Var("x"), want);
  }
}

// ESC waiting at an output poll: a do loop ends after the pass that printed.
TEST_F(StatementTest, StopAtAPollEndsADoLoopAfterThatPass) {
  Console().AddKeyAtPoll(27, 2);
  RunOutcome outcome = Run("var n; proc main() { do { n = n + 1; PrnDec_(n); } while (n < 10); PrnStr_(\"after\"); }");
  EXPECT_EQ(outcome, RunOutcome::Stopped);
  EXPECT_EQ(ExitStatus(outcome), 0);
  EXPECT_EQ(Out(), "12");
  EXPECT_EQ(Var("n"), 2);
}

// A for loop stopped in its body runs nothing more, its step included.
TEST_F(StatementTest, StopAtAPollEndsAForLoopWithoutItsStep) {
  Console().AddKeyAtPoll(27, 5);
  RunOutcome outcome =
      Run("var i; proc main() { for (i = 0; i < 9; PrnStr_(\"s\")) { PrnDec_(i); i = i + 1; } }");
  EXPECT_EQ(outcome, RunOutcome::Stopped);
  EXPECT_EQ(Out(), "0s1s2");
  EXPECT_EQ(Var("i"), 2);
}

// Space pauses until the next key; ESC as that key stops, any other resumes.
TEST_F(StatementTest, SpacePausesAndTheNextKeyDecides) {
  Console().AddKeyAtPoll(' ', 1);
  Console().AddKeyAtPoll('x', 1);
  Console().AddKeyAtPoll(' ', 3);
  Console().AddKeyAtPoll(27, 3);
  RunOutcome outcome = Run("var i; proc main() { for (i = 1; i < 9; i = i + 1) PrnDec_(i); }");
  EXPECT_EQ(outcome, RunOutcome::Stopped);
  EXPECT_EQ(Out(), "123");
  EXPECT_EQ(Console().KeysLeft(), 0u);
}

// A stop raised deep inside blocks, calls and an index releases every frame
// and local, and ends the run without a report.
TEST_F(StatementTest, StopInsideNestedFramesLeavesNoReport) {
  Console().AddKeyAtPoll(27, 1);
  RunOutcome outcome = Run(
      "var x;\r"
      "func f(a) { var t; t = a; PrnStr_(\"f\"); return = t; }\r"
      "proc main() { if (1) { var u, w; Array_[f(1)] = 2; x = 1; } }");
  EXPECT_EQ(outcome, RunOutcome::Stopped);
  EXPECT_EQ(Out(), "f");
  EXPECT_EQ(VariableCount, GlobalCount);
  EXPECT_EQ(Var("x"), 0);
  EXPECT_EQ(ReadWord(kArrayBase + 4), 0) << "nothing is stored after the stop";
}

// Every way out of a run gives back the slots of blocks and frames.
TEST_F(StatementTest, EveryWayOutReleasesLocalsAndFrames) {
  const char* scripts[] = {
      "var g; func f(a, b) { var t; return = a + b; } proc main() { if (1) { var u; g = f(1, 2); } }",
      "var g; proc main() { if (1) { var u, w; if (1) { var v; g = 1 + zz; } } }",
      "var g; func f(a) { var t; return = a + zz; } proc main() { if (1) { var u; g = f(f(1)); } }",
      "var g; proc p(a, b) { var t; } proc main() { if (1) { var u; p(1, 2, 3); } }",
      "var g; proc main() { if (1) { var u; g = InpChar_(); } }",
  };
  for (const char* script : scripts) {
    Keys("", false);
    RunOutcome outcome = Run(script);
    EXPECT_NE(outcome, RunOutcome::MissingMain) << script;
    EXPECT_EQ(VariableCount, GlobalCount) << script;
    EXPECT_EQ(GlobalCount, 4) << script;
  }
}

// The report's line number is printed like PrnDec_ output, so its poll takes a
// key typed ahead; the report is printed whole all the same.
TEST_F(StatementTest, TheReportIsPrintedWholeWhateverKeyWaits) {
  Keys("\x1b");
  RunOutcome outcome = Run("proc main() {\r  zz();\r}");
  EXPECT_EQ(outcome, RunOutcome::Error);
  EXPECT_EQ(ExitStatus(outcome), 1);
  EXPECT_EQ(Out(), "\nerr at 2:zz();\r");
  EXPECT_EQ(Console().KeysLeft(), 0u);
}

}  // namespace
}  // namespace vorla::test
