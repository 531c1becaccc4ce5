// The engine against the walker, where they part: every point where compiled
// code hands a construct over (a call that rewrites the rest of the text it
// was called from, a fault or a stop inside a call, a zero divisor, a limit
// reached through calls) and the names an argument list finds in a caller's
// frame. Each script runs both ways and must be the same run; its output
// shows that the case it is written for happened.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/engine/engine.h"
#include "fuzz/run_input.h"

namespace vorla::fuzz {
namespace {

// A script that writes into its own text. In `text`, `{c}` is the character c
// marked as the i-th target (counted from 0), and `%i` becomes the distance,
// in four characters (a '-' first when it lies before), from the anchor `_t = "";` (whose Value is the address of
// its closing quote) to the i-th target: `_t[%0] = '-';` rewrites target 0.
std::string SelfModifying(std::string_view text) {
  std::string out;
  std::vector<size_t> targets;
  std::vector<std::pair<size_t, int>> patches;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}') {
      targets.push_back(out.size());
      out += text[i + 1];
      i += 2;
    } else if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
      patches.emplace_back(out.size(), text[++i] - '0');
      out += "0000";
    } else {
      out += text[i];
    }
  }
  const size_t anchor = out.find("_t = \"\";");
  EXPECT_NE(anchor, std::string::npos);
  for (auto [at, target] : patches) {
    const long distance = long(targets.at(size_t(target))) - long(anchor + 6);
    const std::string digits = std::to_string(distance < 0 ? -distance : distance);
    out.replace(at, 4, (distance < 0 ? "-" : "") + std::string(4 - digits.size() - (distance < 0), '0') + digits);
  }
  return out;
}

struct Case {
  const char* name;
  std::string script;
  std::string keys;
  std::string output;  // what the run prints (reports included)
};

// Runs each case both ways: the same run, ending in shape, printing `output`.
void RunBothWays(const std::vector<Case>& cases, int64_t budget = kStepBudget) {
  LargeStack stack;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string input = JoinInput(c.script, c.keys);
    InputRun compiled, walked;
    RunInputBothWays(reinterpret_cast<const uint8_t*>(input.data()), input.size(), stack, compiled, walked, budget);
    EXPECT_TRUE(RunEndedInShape(compiled));
    EXPECT_TRUE(compiled.SameAs(walked)) << "compiled: " << compiled.output << " (error " << compiled.errorPosition
                                         << ", cursor " << compiled.cursor << ")\nwalked:   " << walked.output
                                         << " (error " << walked.errorPosition << ", cursor " << walked.cursor << ")";
    EXPECT_EQ(compiled.output, c.output) << c.script;
  }
}

// A routine called from the middle of a construct rewrites the text that the
// rest of the construct is read from: each point the code hands over at.
TEST(Engine, CallsThatRewriteTheRestOfTheirConstruct) {
  const std::string head = "var _t, x, i;\nfunc zap() { _t[%0] = '";
  auto with = [&head](const char* replacement, const char* rest) {
    return SelfModifying(head + replacement + "'; return = 1; }\n" + rest);
  };
  RunBothWays({
      {"after a right operand", with("-", "proc main() { _t = \"\"; x = zap() {+} 12 * 3; PrnDec_(x); }"), "", "-35"},
      {"inside parentheses", with("5", "proc main() { _t = \"\"; x = (zap() + 1) * {2}; PrnDec_(x); }"), "", "10"},
      {"after a prefix", with("7", "proc main() { _t = \"\"; x = -zap() + {1}; PrnDec_(x); }"), "", "6"},
      {"in an index", with("9", "proc main() { _t = \"\"; x = Array_[zap()] + {1}; PrnDec_(x); }"), "", "9"},
      {"a built-in's argument", with("6", "proc main() { _t = \"\"; PrnDecF_(zap(), {3}); PrnChar_(46); }"), "",
       "     1."},
      {"a routine's argument",
       with("7", "proc p(a, b) PrnDec_(a * 10 + b);\nproc main() { _t = \"\"; p(zap(), {3}); }"), "", "17"},
      {"an assignment's index", with("8", "proc main() { _t = \"\"; Array_[zap()] = {4}; PrnDec_(Array_[1]); }"), "",
       "8"},
      {"an if's condition",
       with("0", "proc main() { _t = \"\"; if (zap() = {1}) PrnDec_(1); else PrnDec_(2); }"), "", "2"},
      {"an if's branch", with("3", "proc main() { _t = \"\"; if (1) { x = zap(); PrnDec_({5}); } }"), "", "3"},
      {"a for's condition",
       with("3", "proc main() { _t = \"\"; for (i = 0; i < zap() * {9}; i = i + 1) PrnDec_(i); }"), "", "012"},
      {"a for's body",
       with("2", "proc main() { _t = \"\"; for (i = 0; i < {6}; i = i + 1) { x = zap(); PrnDec_(i); } }"), "", "01"},
      {"a for's step",
       with("3", "proc main() { _t = \"\"; for (i = 0; i < 9; i = i + zap() * {1}) PrnDec_(i); }"), "", "036"},
      {"a do's body", with("2", "proc main() { _t = \"\"; do { i = i + zap(); PrnDec_(i); } while (i < {5}); }"),
       "", "12"},
      {"a block's next statement", with("4", "proc main() { _t = \"\"; x = zap(); PrnDec_({1}); PrnDec_(2); }"), "",
       "42"},
      {"a function's own caller", with("0", "func f() return = zap() + {5};\nproc main() { _t = \"\"; PrnDec_(f()); }"),
       "", "1"},
  });
}

// A store into the text made by a statement of the compiled code itself, and
// a store that changes only the characters of a string literal, which leaves
// the code compiled from the text standing.
TEST(Engine, StoresIntoTheText) {
  RunBothWays({
      {"the next statement",
       SelfModifying("var _t;\nproc main() { _t = \"\"; _t[%0] = '7'; PrnDec_({3}); PrnDec_(4); }"), "", "74"},
      {"statements that stand in a string literal",
       SelfModifying("var _t, x, i;\nproc main() { _t = \"\"; for (i = 0; i < 2; i = i + 1) {\n"
                     "  if (0) PrnStr_(\"a; x = {5}; PrnDec_(x); #\");\n  _t[%0] = '7';\n} }"),
       "", "57"},
      {"a loop's own condition",
       SelfModifying("var _t, i;\nproc main() { _t = \"\"; for (i = 0; i < {8}; i = i + 1) { PrnDec_(i);"
                     " if (i = 2) _t[%0] = '4'; } }"),
       "", "0123"},
  });
  LargeStack stack;
  const std::string script =
      "var _s, i;\nproc main() { _s = \"hello\"; for (i = 0; i < 3; i = i + 1) { _s[i] = 'J' + i; PrnStr_(_s); } }";
  InputRun compiled, walked;
  RunInputBothWays(reinterpret_cast<const uint8_t*>(script.data()), script.size(), stack, compiled, walked);
  EXPECT_EQ(compiled.output, "JelloJKlloJKLlo");
  EXPECT_TRUE(compiled.SameAs(walked));
  UseEngine = true;
  RunInput(reinterpret_cast<const uint8_t*>(script.data()), script.size(), stack);
  EXPECT_EQ(LastCompile().generation, ScriptMemory::Generation()) << "a literal's characters changed the text";
}

// Faults and stops that happen inside calls, zero divisors, and the names an
// argument list sees in the frames of the callers.
TEST(Engine, FaultsStopsAndCallersNames) {
  RunBothWays({
      {"a fault inside a call", "func f() return = zz;\nproc main() { PrnDec_(1 + f() * 2); }", "",
       "\nerr at 1:zz;\r"},
      {"ESC at an output inside a call",
       "func f() { PrnDec_(7); return = 1; }\nproc main() { PrnDec_(f() + f()); PrnDec_(9); }", "\x1b", "7"},
      {"a zero divisor after a call", "func f() return = 4;\nproc main() { PrnDec_(f() + 8 / (f() - 4)); }", "",
       " Divided by 0 4"},
      {"a zero divisor in a condition", "var x;\nproc main() { if (x / 0 = 0) PrnDec_(1); PrnDec_(2); }", "",
       " Divided by 0 12"},
      {"a caller's local in an argument",
       "proc q(v) PrnDec_(v);\nproc p() q(y);\nproc r() { var y; y = 5; p(); }\nproc main() r();", "", "5"},
      {"a caller's local hides a global",
       "var y;\nproc q(v) PrnDec_(v);\nproc p() q(y + 1);\nproc r(y) p();\nproc main() { y = 1; p(); r(7); }", "",
       "28"},
      {"a typed line's call rewrites the caller",
       SelfModifying("var _t;\nfunc zap() { _t[%0] = '5'; return = 2; }\nproc main() { _t = \"\"; "
                     "PrnDec_(Input_() + {1}); }"),
       "zap()\r", "zap()\r7"},
  });
}

// Limits reached through calls: the operands pending across a recursion, the
// slots of frames under construction, the call depth, and the step budget.
TEST(Engine, LimitsReachedThroughCalls) {
  RunBothWays({
      {"operands pending across calls", "func f(n) { if (n > 0) return = 1 + f(n - 1); }\nproc main() PrnDec_(f(40));",
       "", "\nerr at 1:; }\r"},
      {"frames under construction",
       "func f(a, b, c, d) return = a;\nproc main() PrnDec_(f(f(f(f(1, 2, 3, 4), 2, 3, 4), 2, 3, 4), 2, 3, 4));", "",
       "1"},
      {"the call depth", "var n;\nproc r() { n = n + 1; r(); }\nproc main() r();", "",
       "\nerr at 2:r(); }\r"},
  });
  RunBothWays({{"the step budget in a call", "proc f() PrnDec_(1);\nproc main() { for (;;) f(); }",
                "", std::string(333, '1')}},
              1000);
}

// A host's hook on the spent step budget: it marks the output where it was
// asked, and sets a new budget of five statements nine times, then none.
int hookCalls = 0;
void MarkAndRefill() {
  static constexpr uint8_t kMark = '|';
  ActiveConsole->Write(&kMark, 1);
  if (++hookCalls <= 9) StepBudget = 5;
}

// The hook is asked at the same statements both ways, and the run goes on
// while it refills: through loops, calls, a recursion and a hand-over to the
// walker; once it refills nothing, the run stops there.
TEST(Engine, StepBudgetHookPacesBothWaysAlike) {
  LargeStack stack;
  StepBudgetSpent = MarkAndRefill;
  auto hooked = [&stack](const char* name, const std::string& script, const std::string& output) {
    SCOPED_TRACE(name);
    InputRun runs[2];
    for (bool engine : {true, false}) {
      UseEngine = engine;
      hookCalls = 0;
      runs[engine] = RunInput(reinterpret_cast<const uint8_t*>(script.data()), script.size(), stack, 3);
      EXPECT_EQ(runs[engine].output, output) << (engine ? "compiled" : "walked");
    }
    UseEngine = true;
    EXPECT_TRUE(runs[0].SameAs(runs[1])) << Describe(runs[0]) << "\n" << Describe(runs[1]);
  };
  hooked("a loop", "var i;\nproc main() for (i = 0; i < 40; i = i + 1) PrnDec_(i % 10);",
         "0|12|345|67|890|12|345|67|890|12|");
  hooked("calls and a recursion",
         "var n;\nproc r(k) { if (k > 0) { PrnDec_(k); r(k - 1); } }\nproc main() for (n = 0; n < 9; n = n + 1) r(3);",
         "|32|1|3|21||32|1|3|21|");
  hooked("a hand-over to the walker",
         SelfModifying("var _t, i;\nfunc zap() { _t[%0] = '3'; return = 1; }\n"
                       "proc main() { _t = \"\"; for (i = 0; i < 9 * {9}; i = i + zap()) PrnDec_(i); }"),
         "|01|2|3|4|56|7|8|9|1011|");
  hooked("the end within the budget", "proc main() { PrnDec_(1); PrnDec_(2); }", "12");
  StepBudgetSpent = nullptr;
}

}  // namespace
}  // namespace vorla::fuzz
