// Limits at their edges, as whole scripts: a full 4095-byte text of nested
// parentheses, blocks and calls; the last variable slot, routine row and
// operand and one more; recursion of every kind ending in an error report; and
// the deepest nesting the interpreter allows, with the stack it takes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "fuzz/run_input.h"

namespace vorla::fuzz {
namespace {

// Enough statements for every script here; a runaway loop stops instead.
constexpr int64_t kTestBudget = 10'000'000;
// The built-in rows that come before a script's own routines.
constexpr int kBuiltinRows = 13;

InputRun RunScript(std::string_view script, std::string_view keys = "") {
  static LargeStack stack;
  std::string input = JoinInput(script, keys);
  InputRun run = RunInput(reinterpret_cast<const uint8_t*>(input.data()), input.size(), stack, kTestBudget);
  EXPECT_TRUE(run.loaded);
  EXPECT_TRUE(RunEndedInShape(run)) << script.substr(0, 200);
  return run;
}

// What the script printed, reports included (the banner is the program's own).
std::string Output(std::string_view script, std::string_view keys = "") { return RunScript(script, keys).output; }

// `text` followed by a comment that fills it up to exactly the largest script.
std::string FillToLimit(std::string text) {
  EXPECT_LT(text.size() + 1, kMaxSourceLength);
  text += '\n';
  text.append(kMaxSourceLength - text.size(), '#');
  return text;
}

std::string Repeat(std::string_view unit, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; i++) s += unit;
  return s;
}

// As many nesting units as fit in a full script around `head` ... `tail`.
size_t Fit(std::string_view head, std::string_view tail, size_t unitBytes) {
  return (kMaxSourceLength - head.size() - tail.size() - 2) / unitBytes;
}

TEST(Limits, FullScriptOfNestedParenthesesAndPrefixes) {
  const std::string head = "proc main() { PrnDec_(", tail = "); }";
  size_t n = Fit(head, tail + "7", 2);
  std::string parens = FillToLimit(head + Repeat("(", n) + "7" + Repeat(")", n) + tail);
  ASSERT_EQ(parens.size(), kMaxSourceLength);
  EXPECT_EQ(Output(parens), "7");

  n = Fit(head, tail + "7", 2);
  std::string prefixes = FillToLimit(head + Repeat("-~", n) + "7" + tail);  // -~x is x + 1
  EXPECT_EQ(Output(prefixes), std::to_string(7 + n));
}

TEST(Limits, FullScriptOfNestedBlocks) {
  const std::string head = "var n;\nproc main() ", inner = "n = n + 1; PrnDec_(n);";
  size_t n = Fit(head, inner, 9);
  EXPECT_EQ(Output(FillToLimit(head + Repeat("if (1) {", n) + inner + Repeat("}", n))), "1");
  // An unbraced chain of branches nests as deep. (On the way out each branch
  // steps one character on, eating the text after the innermost statement.)
  n = Fit(head, "PrnDec_(7);", 7);
  EXPECT_EQ(Output(FillToLimit(head + Repeat("if (1) ", n) + "PrnDec_(7);")), "7");
}

TEST(Limits, FullScriptOfNestedCalls) {
  // Built-in functions take no slot: nesting is bounded by the text alone.
  const std::string head = "proc main() PrnDec_(", tail = ");";
  size_t n = Fit(head, tail + "1", 8);
  uint32_t expected = 1;
  for (size_t i = 0; i < n; i++) expected = kArrayBase + 4 * expected;
  EXPECT_EQ(Output(FillToLimit(head + Repeat("Array_(", n) + "1" + Repeat(")", n) + tail)),
            std::to_string(Value(expected)));

  // A script function's frames stay live while its argument is evaluated:
  // the parameter that finds no slot left is the error, in the definition.
  const std::string defs = "func f(x) return = x + 1;\nproc main() PrnDec_(";
  n = Fit(defs, tail + "0", 3);
  std::string out = Output(FillToLimit(defs + Repeat("f(", n) + "0" + Repeat(")", n) + tail));
  EXPECT_EQ(out, "\nerr at 1:x) return = x + 1;\r");
}

// `count` globals; with the three predefined variables that many plus three
// slots are live while main runs.
std::string Globals(int count) {
  std::string s = "var g0";
  for (int i = 1; i < count; i++) s += ", g" + std::to_string(i);
  return s + ";\n";
}

TEST(Limits, LastVariableSlotAndOneMore) {
  // 117 globals, a result variable, two parameters and five locals.
  const std::string routines =
      "func f(a, b) { var c, d, e, h, i; c = 1; d = 2; e = 3; h = 4; i = 5; return = a + b + c + d + e + h + i; }\n";
  EXPECT_EQ(Output(Globals(117) + routines + "proc main() PrnDec_(f(10, 20));"), "45");
  const std::string over =
      "func f(a, b) { var c, d, e, h, i, j; return = a + b; }\n";
  EXPECT_EQ(Output(Globals(117) + over + "proc main() PrnDec_(f(10, 20));"),
            "\nerr at 2:j; return = a + b; }\r");

  // Nested blocks, one local each: 125 of them fill the table.
  std::string blocks = "proc main() ";
  for (int i = 0; i < 125; i++) blocks += "if (1) { var v" + std::to_string(i) + "; ";
  EXPECT_EQ(Output(blocks + "v0 = 1; PrnDec_(v0);" + Repeat("}", 125)), "1");
  EXPECT_EQ(Output(blocks + "if (1) { var last; last = 1; }" + Repeat("}", 125)),
            "\nerr at 1:last; last = 1; }" + Repeat("}", 125));
}

// `count` script routines, one per line: main first, calling the last one,
// then r01, r02, ... (names of equal length, so none begins another).
std::string Routines(int count) {
  char name[16];
  std::snprintf(name, sizeof name, "r%02d", count - 1);
  std::string s = std::string("proc main() ") + name + "();\n";
  for (int i = 1; i < count; i++) {
    std::snprintf(name, sizeof name, "r%02d", i);
    s += std::string("proc ") + name + "() PrnDec_(" + std::to_string(i) + ");\n";
  }
  return s;
}

TEST(Limits, LastRoutineRowAndOneMore) {
  EXPECT_EQ(Output(Routines(kMaxRoutines - kBuiltinRows)), "50");
  // The 52nd definition fails at its name; main is found but runs nothing.
  EXPECT_EQ(Output(Routines(kMaxRoutines - kBuiltinRows + 1)), "\nerr at 52:r51() PrnDec_(51);\r");
}

TEST(Limits, LastOperandAndOneMore) {
  auto sum = [](int operands) {
    return "proc main() PrnDec_(" + Repeat("1+(", operands - 1) + "1" + Repeat(")", operands - 1) + ");";
  };
  EXPECT_EQ(Output(sum(kMaxOperands)), "32");
  EXPECT_EQ(Output(sum(kMaxOperands + 1)), "\nerr at 1:1" + Repeat(")", kMaxOperands) + ");");
}

TEST(Limits, RecursionOfEveryKindEndsInAnErrorReport) {
  const char* scripts[] = {
      "proc r() r();\nproc main() r();",
      "proc a() b();\nproc b() { a(); }\nproc main() a();",
      "proc r() { var t; r(); }\nproc main() r();",
      "func f() return = f();\nproc main() PrnDec_(f());",
      "func f(n) return = f(n + 1);\nproc main() PrnDec_(f(0));",
      "func g(v) return = v;\nfunc f(x) return = g(f(x));\nproc main() PrnDec_(f(1));",
      "func f(x) return = Array_[f(x)];\nproc main() PrnDec_(f(1));",
      "var _b;\nfunc f() return = _b[f()];\nproc main() { _b = Array_; PrnDec_(f()); }",
      "func f() Array_[f()] = 1;\nproc main() PrnDec_(f());",
      "func f() { if (f()) ; }\nproc main() PrnDec_(f());",
      "func f() { for (; f(); ) ; }\nproc main() PrnDec_(f());",
      "func f() { do ; while (f()); }\nproc main() PrnDec_(f());",
      "func f() PrnDec_(f());\nproc main() PrnDec_(f());",
      "proc r() PrnDec_(Rand_(Array_(g())));\nfunc g() r();\nproc main() r();",
      "func f() return = 1 + f();\nproc main() PrnDec_(f());",
  };
  for (const char* script : scripts) {
    InputRun run = RunScript(script);
    EXPECT_EQ(run.outcome, RunOutcome::Error) << script;
    EXPECT_NE(run.output.find("\nerr at "), std::string::npos) << script;
  }
  // Recursion started from a typed line.
  InputRun typed = RunScript("func f() return = f();\nproc main() PrnDec_(Input_());", "f()\r");
  EXPECT_EQ(typed.outcome, RunOutcome::Error);
  EXPECT_EQ(typed.output, "f()\r\nerr at 1:;\r");
}

// Recursion runs the same text again, so the innermost call's fault can stand
// on the very ']' or ',' where the caller's index or argument stops; it must
// survive that stop instead of being taken for it.
TEST(Limits, FaultInsideRecursionSurvivesTheCallersStop) {
  EXPECT_EQ(Output("var _b;\nfunc f() return = _b[f()];\nproc main() { _b = Array_; PrnDec_(f()); }"),
            "\nerr at 2:;\r");
  // The second level's PrnDec_ prints, then leaves its fault at its ','; the
  // first level must not print again.
  EXPECT_EQ(Output("var n;\nfunc g() { n = n + 1; if (n < 3) PrnDec_(g(), 1); }\nproc main() PrnDec_(g());"),
            "0\nerr at 2:, 1); }\r");
}

// A procedure without parameters recursing `calls` deep, each call `blocks`
// braced branches deep before it calls itself again.
std::string Dive(int calls, int blocks) {
  return "var n, deepest;\nproc r() { n = n + 1; if (n > deepest) deepest = n; " + Repeat("if (1) { ", blocks) +
         "if (n < " + std::to_string(calls) + ") r();" + Repeat(" }", blocks) +
         " n = n - 1; }\nproc main() { r(); PrnDec_(deepest); PrnStr_(\" \"); PrnDec_(n); }";
}

// The program runs scripts on kInterpreterStackBytes of stack and nothing
// else keeps a script from outgrowing it: the nesting limits are fixed. So
// this test is what keeps the program safe when the evaluator or the executor
// changes. It runs the deepest shapes of nesting on a stack twice that size
// and fails once any took more than half of the program's stack, the other
// half being the margin for shapes not measured; in the sanitizer build too,
// whose frames are the largest.
TEST(Limits, DeepestNestingFitsTheStack) {
  // Four levels a call (body, two blocks, the branch that calls): the call
  // depth limit is reached first.
  LargeStack stack(2 * kInterpreterStackBytes);
  auto run = [&stack](const std::string& script) {
    std::string input = JoinInput(script, "");
    return RunInput(reinterpret_cast<const uint8_t*>(input.data()), input.size(), stack, kTestBudget);
  };
  EXPECT_EQ(run(Dive(kMaxCallDepth, 2)).output, std::to_string(kMaxCallDepth) + " 0");

  // Five levels a call: the nesting limit is reached first, just before the
  // last call, inside the condition that would make it.
  InputRun deepest = run(Dive(kMaxCallDepth, 3));
  EXPECT_EQ(deepest.outcome, RunOutcome::Error);
  EXPECT_TRUE(RunEndedInShape(deepest));
  EXPECT_NE(deepest.output.find("\nerr at 2:"), std::string::npos) << deepest.output;

  // Recursion inside nested built-in calls, five host frames a level, the
  // most stack a nesting level can take; and inside nested prefix operators.
  // The nesting limit ends both.
  for (std::string_view unit : {"Array_(", "-"}) {
    std::string closing = unit == "-" ? "" : Repeat(")", 170);
    InputRun nested = run("func f() return = " + Repeat(unit, 170) + "f()" + closing + ";\nproc main() PrnDec_(f());");
    EXPECT_EQ(nested.outcome, RunOutcome::Error) << unit;
    EXPECT_TRUE(RunEndedInShape(nested)) << unit;
  }

  size_t peak = stack.PeakBytes();
  std::printf("deepest nesting took %zu KiB of stack\n", peak >> 10);
  RecordProperty("PeakStackBytes", std::to_string(peak));
  EXPECT_GT(peak, size_t(1) << 20) << "the measurement found no deep nesting";
  EXPECT_LE(peak, kInterpreterStackBytes / 2);
}

}  // namespace
}  // namespace vorla::fuzz
