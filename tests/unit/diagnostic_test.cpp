// Diagnostics in-process: the reason that every kind of fault is explained
// by, the layout of the source line and caret, colour, and the typed line
// shown as it was typed. The golden scripts in tests/golden/diagnostics show
// whole diagnostics of the common slips through the program.
#include "shell/diagnostic.h"

#include "core/engine/engine.h"
#include "platform/terminal_console.h"
#include "shell/rules.h"

#include "run_script.h"

namespace vorla::test {
namespace {

class DiagnosticTest : public ScriptTest {
 protected:
  std::string Explain(std::string_view text, std::string keys = "", bool colour = false) {
    Keys(std::move(keys));
    Run(text);
    return ComposeDiagnostic(LastRunEnd(), "t.vl", colour);
  }
  std::string FirstLine(std::string_view text, std::string keys = "") {
    std::string all = Explain(text, std::move(keys));
    return all.substr(0, all.find('\n'));
  }
};

TEST_F(DiagnosticTest, EveryKindOfFaultHasItsReason) {
  const std::string routines = [] {
    std::string text;
    for (int i = 0; i < 52; i++) text += "proc p" + std::to_string(10 + i) + "() ;\n";
    return text + "proc main() ;\n";
  }();
  struct Case {
    std::string script, keys, first;
  } cases[] = {
      {"var x;\nproc main() x = 1 + ;\n", "", "t.vl:2:21: error: expected an operand, found ';'"},
      {"var x;\nproc main() x = 1 2;\n", "", "t.vl:2:19: error: expected an operator, found '2'"},
      {"var x;\nproc main() x = ;\n", "", "t.vl:2:17: error: expected an expression, found ';'"},
      {"proc main() PrnDec_((1;);\n", "", "t.vl:1:23: error: expected ')' to close the '(' on line 1, found ';'"},
      {"proc main() PrnDec_(Array_[1);\n", "",
       "t.vl:1:29: error: expected ']' to close the index of 'Array_[...]', found ')'"},
      {"proc main() PrnStr_(\"abc;", "", "t.vl:1:26: error: the text ends inside the string begun on line 1"},
      {"var x;\nproc main() x = 'ab';\n", "",
       "t.vl:2:17: error: expected one character between two apostrophes, as in 'A'"},
      {"var x;\nproc main() x = Array_[4096];\n", "",
       "t.vl:2:17: error: 'Array_[...]' reaches the bytes 32768 to 32771, outside script memory"},
      {"proc main() zz();\n", "", "t.vl:1:13: error: 'zz' is neither a variable nor a routine"},
      {"var x;\nproc main() x = PrnDec_(1);\n", "",
       "t.vl:2:17: error: 'PrnDec_' is a procedure: it gives no value, so it cannot stand in an expression"},
      {"proc main() Rand_(6);\n", "",
       "t.vl:1:13: error: 'Rand_' is a function: its call belongs in an expression, not at the start of a "
       "statement"},
      {"proc r() r();\nproc main() r();\n", "",
       "t.vl:1:10: error: calls nested too deeply: more than 4000 calls of script routines at once"},
      {"proc main() PrnDec_(Input_());\n", "1 + Input_()\r",
       "typed line:1:5: error: 'Input_' cannot be called from the line typed for it"},
      {"proc main() PrnDec_();\n", "", "t.vl:1:21: error: expected an argument, found ')'"},
      {"proc main() PrnDecF_(5);\n", "", "t.vl:1:23: error: 'PrnDecF_' takes two arguments, found ')' after the first"},
      {"proc p(a) ;\nproc main() p(1, 2);\n", "",
       "t.vl:2:16: error: 'p' takes one argument, found ',' after the first"},
      {"var x;\nproc main() { x = InpChk_(; }\n", "",
       "t.vl:3:1: error: the text ends before the ')' that closes the argument list"},
      {"func f(a b) return = a;\nproc main() PrnDec_(f(1));\n", "",
       "t.vl:2:23: error: the call of 'f' stopped here: its parameter list on line 1 does not end at ')'"},
      {"proc p(a; b) ;\nproc main() p(1);\n", "",
       "t.vl:1:10: error: the parameter list of 'p' on line 1 does not end at ')'"},
      {"func f() return = f();\nproc main() PrnDec_(f());\n", "",
       "t.vl:1:22: error: the right-hand side of the assignment to 'return' stopped here"},
      {"var x;\nproc main() if (x > 1 x = 1;\n", "",
       "t.vl:2:23: error: expected ')' to close the condition of 'if (' on line 2, found 'x'"},
      {"var x;\nproc main() { do x = 1; while (x = 2 ; }\n", "",
       "t.vl:2:38: error: expected ')' to close the condition of 'while (' on line 2, found ';'"},
      {"var x;\nproc main() for (x = 0; x < 0; x = x + 1", "",
       "t.vl:2:41: error: the text ends before the ')' that closes the header of 'for (' on line 2"},
      {"proc main() {\n  PrnStr_(\"a\");\n", "",
       "t.vl:3:1: error: the text ends inside the body of 'main' begun on line 1"},
      {"var x, y;\nproc main() { do x = 1; y = 2; }\n", "",
       "t.vl:2:25: error: expected 'while (' after the body of 'do ' on line 2, found 'y'"},
      {"var x;\nproc main() x 1;\n", "", "t.vl:2:15: error: expected '=' after 'x', found '1'"},
      {"proc main() { + }\n", "",
       "t.vl:1:15: error: expected a statement or the '}' that closes the block begun on line 1, found '+'"},
      {"var ;\nproc main() ;\n", "", "t.vl:1:5: error: expected a name, found ';'"},
      {"var Array_;\nproc main() ;\n", "", "t.vl:1:5: error: 'Array_' is already a predefined variable"},
      {"proc main() { var a b; }\n", "", "t.vl:1:21: error: expected ',' or ';' after the name 'a', found 'b'"},
      {"proc  main() ;\n", "", "t.vl:1:6: error: expected a name right after 'proc ', found a blank"},
      {"proc PrnDec_x() ;\n", "",
       "t.vl:1:6: error: the name 'PrnDec_x' is taken: it begins with the name of the built-in 'PrnDec_'"},
      {routines, "", "t.vl:52:6: error: more than 51 routines: the table holds 51 besides the built-ins"},
      {"proc main{}\n", "", "t.vl:1:10: error: expected '(' right after the name 'main', found '{'"},
      {"proc main(", "", "t.vl:1:11: error: the text ends before the ')' that closes the parameter list of 'main'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FirstLine(c.script, c.keys), "vorla: " + c.first) << c.script;
  }
}

TEST_F(DiagnosticTest, LimitsAreNamedWithTheirNumbers) {
  EXPECT_NE(Explain("func f() return = f();\nproc main() PrnDec_(f());\n")
                .find("note: the first fault: too many variables alive at once: the table holds 128\n"),
            std::string::npos);
  EXPECT_NE(Explain("func f(x) return = 1 + f(x);\nproc main() PrnDec_(f(1));\n")
                .find("note: the first fault: the expression needs more than 32 pending operands\n"),
            std::string::npos);
  std::string deep = "func f() return = " + std::string(300, '-') + "f();\nproc main() PrnDec_(f());\n";
  EXPECT_NE(Explain(deep).find("note: the first fault: nesting too deep: more than 20000 levels"), std::string::npos);
}

// The caret stands under the column: a tab stays a tab, and the bytes that
// continue a UTF-8 character take no place of their own.
TEST_F(DiagnosticTest, TheCaretLinesUpUnderTabsAndUtf8) {
  EXPECT_EQ(Explain("proc main() {\n\tPrnStr_(\"\xC3\xA9\"); zz();\n}\n"),
            "vorla: t.vl:2:17: error: 'zz' is neither a variable nor a routine\n"
            "    2 | \tPrnStr_(\"\xC3\xA9\"); zz();\n"
            "      | \t              ^\n");
}

TEST_F(DiagnosticTest, ColourMarksOnlyErrorNoteAndTheCaret) {
  EXPECT_EQ(Explain("var x;\nproc main() {\n  x = 1 == 1;\n}\n", "", true),
            "vorla: t.vl:3:10: \033[1;31merror\033[0m: expected an operand, found '='\n"
            "    3 |   x = 1 == 1;\n"
            "      |          \033[1;32m^\033[0m\n"
            "\033[1;36mnote\033[0m: vorla compares with a single '=': write 'a = b', not 'a == b'\n");
}

// The report's line number is built in the tail of the input line, over the
// end of a long typed line; the diagnostic shows the line as it was typed.
TEST_F(DiagnosticTest, ATypedLineIsShownAsItWasTyped) {
  std::string typed = "1";
  while (typed.size() < 122) typed += "+1";
  typed += "+x";
  std::string script = std::string(99, '\n') + "var v;\nproc main() v = Input_();\n";
  EXPECT_EQ(Explain(script, typed + "\n", false),
            "vorla: t.vl:101:25: error: the right-hand side of the assignment to 'v' stopped here\n"
            "  101 | proc main() v = Input_();\n"
            "      |                         ^\n"
            "vorla: typed line:1:125: note: the first fault: 'x' is neither a variable nor a routine\n"
            "    1 | " + typed + "\n"
            "      | " + std::string(124, ' ') + "^\n"
            "note: a line typed for 'Input_' sees no variables, only routines such as 'Rand_'\n");
}

// Every rule of the notes says its words where its slip is made: one case a
// row, and a row without a case fails.
TEST_F(DiagnosticTest, EveryRuleSaysItsNote) {
  auto names = [](std::string prefix, int n) {
    std::string list;
    for (int i = 0; i < n; i++) list += (i > 0 ? ", " : "") + prefix + std::to_string(i);
    return list;
  };
  struct Case {
    const char* rule;
    std::string script, keys, note;
  } cases[] = {
      {"double-equals", "var a, b;\nproc main() if (a == b) ;\n", "",
       "vorla compares with a single '=': write 'a = b', not 'a == b'"},
      {"not", "var a;\nproc main() a = !a;\n", "", "vorla has no '!': write 'a <> b' for 'a != b', and 'x = 0' for '!x'"},
      {"double-and", "var a;\nproc main() a = 1 && 2;\n", "", "vorla has no '&&': write '(a > 0) & (b > 0)'"},
      {"double-or", "var a;\nproc main() a = 1 || 2;\n", "", "vorla has no '||': write '(a > 0) | (b > 0)'"},
      {"shift", "var a;\nproc main() a = 1 << 2;\n", "", "vorla has no shift operators"},
      {"increment", "var x;\nproc main() x++;\n", "", "vorla has no '++' or '--': write 'x = x + 1;'"},
      {"compound-assignment", "var x;\nproc main() x *= 2;\n", "", "vorla has no '*=': write 'x = x * ...;'"},
      {"slash-comment", "proc main() {\n  // hello\n}\n", "", "comments begin with '#'"},
      {"blank-before-index", "var a;\nproc main() a [1] = 2;\n", "",
       "no blank may stand between a name and the '[' of its index"},
      {"return-assigned", "func f() return 1;\nproc main() PrnDec_(f());\n", "",
       "a function's result is its variable 'return', assigned as any variable"},
      {"keyword-spacing", "var x;\nproc main() for(x = 0; x < 1; x = 1) ;\n", "",
       "the keyword is 'for (', with exactly one space before the '('"},
      {"while", "var x;\nproc main() while (x) x = 0;\n", "", "vorla has no while loop of its own"},
      {"do-spacing", "var x;\nproc main() { do{ x = 1; } while (x = 0); }\n", "",
       "the keyword is 'do ' with one space after it"},
      {"else-brace", "var x;\nproc main() { if (x) x = 1; else{ x = 2; } }\n", "",
       "'else' must be followed by a blank: write 'else {'"},
      {"else-after-call", "proc main() { if (1) PrnStr_(\"a\") ; else PrnStr_(\"b\"); }\n", "",
       "the 'if' before this 'else' has ended"},
      {"else-without-if", "var x;\nproc main() { x = 1; else x = 2; }\n", "",
       "this 'else' follows no 'if' whose first branch has just ended"},
      {"var-in-body", "var x;\nproc main() { x = 1; var y; }\n", "", "'var' lines stand only at the head of a block"},
      {"return-statement", "proc main() { return; }\n", "", "there is no return statement"},
      {"no-break", "proc main() { break; }\n", "", "vorla has no 'break': a loop ends when its condition is 0"},
      {"did-you-mean", "var total;\nproc main() PrnDec_(totl);\n", "", "did you mean 'total'?"},
      {"declare-it", "proc main() count = 0;\n", "", "declare it with 'var count;'"},
      {"declared-out-of-sight", "proc p() { var secret; secret = 1; }\nproc main() { p(); secret = 2; }\n", "",
       "'secret' is declared on line 1, out of sight here"},
      {"input-in-called-routine", "func ask() return = Input_();\nproc main() PrnDec_(Input_());\n", "ask()\r",
       "this code runs for a call in a line typed for 'Input_'"},
      {"typed-line-variables", "var total;\nproc main() PrnDec_(Input_());\n", "total\r",
       "a line typed for 'Input_' sees no variables"},
      {"character-escape", "var c;\nproc main() c = '\\n';\n", "", "a character literal has no escapes"},
      {"var-array", "var a[10];\nproc main() ;\n", "", "a 'var' line declares plain names; an array is memory"},
      {"var-value", "var count = 5;\nproc main() ;\n", "", "a 'var' line gives no value: declare 'var count;'"},
      {"semicolon-before-brace", "var x;\nproc main() { x = 1 }\n", "", "an assignment ends with ';'"},
      {"semicolon-line-before", "var x, y;\nproc main() {\n  x = 1\n  y = 2;\n}\n", "",
       "the line before may lack its ';'"},
      {"do-body-semicolon", "proc main() do PrnStr_(\"a\") ; while (0);\n", "",
       "a body that is one procedure call ends just past its ')'"},
      {"block-out-of-place", "proc main() { PrnStr_(\"a\"); { } }\n", "", "a brace block stands only where a body stands"},
      {"definer-spacing", "proc  main() ;\n", "", "'func' and 'proc' are followed by exactly one space"},
      {"blank-before-parameters", "proc main () ;\n", "", "no blank may stand between a routine's name and its '('"},
      {"parameters-required", "proc main {}\n", "", "a routine without parameters is still written with '()'"},
      {"name-taken", "proc draw() ;\nproc drawAll() ;\nproc main() ;\n", "",
       "a call of 'drawAll' would reach 'draw'"},
      {"definition-words", "void main() {}\n", "", "a definition begins with 'func ' for a function"},
      {"else-after-definitions", "var x;\nproc p() if (x) x = 1;\nelse x = 2;\nproc main() ;\n", "",
       "a body that is one statement ends at its first ';'"},
      {"variables-of-globals", "var " + names("v", 126) + ";\nproc main() ;\n", "",
       "the globals, the three predefined variables included, take 128 of them"},
      {"variables-of-calls", "func f() return = f();\nproc main() PrnDec_(f());\n", "",
       "each call of a function takes one slot plus its parameters and locals, a procedure's call its parameters "
       "and locals; 125 calls of script routines were running"},
      {"pending-operands", "func f(x) return = 1 + f(x);\nproc main() PrnDec_(f(1));\n", "",
       "an operand that waits for the right side of its operator takes a slot until the operator is applied, also "
       "while a function called there runs; 32 calls of script routines were running"},
      {"recursion", "proc r() r();\nproc main() r();\n", "", "a routine that calls itself needs a case"},
      {"nesting-in-calls", "func f() return = " + std::string(300, '-') + "f();\nproc main() PrnDec_(f());\n", "",
       "67 calls of script routines were running"},
      {"address-area", "var x;\nproc main() x = Array_[4096];\n", "",
       "'Array_' holds 16384, an address in the array memory, which runs from 16384 to 32767"},
  };
  for (const Rule& rule : Rules()) {
    if (IsTrap(rule.kind)) continue;  // a check's, below
    const Case* found = nullptr;
    for (const Case& c : cases) {
      if (c.rule == std::string_view(rule.name)) found = &c;
    }
    if (found == nullptr) {
      ADD_FAILURE() << "no case shows the rule " << rule.name;
      continue;
    }
    const std::string all = Explain(found->script, found->keys);
    EXPECT_NE(all.find("note: " + found->note), std::string::npos) << rule.name << "\n" << all;
  }
  for (const Case& c : cases) {
    bool known = false;
    for (const Rule& rule : Rules()) known = known || c.rule == std::string_view(rule.name);
    EXPECT_TRUE(known) << "a case for no rule: " << c.rule;
  }
}

// Every trap is warned of by a check where it is set, with the note of its
// rule, and with nothing else: the check finds only what it is about.
TEST_F(DiagnosticTest, EveryTrapIsWarnedOfByTheCheck) {
  struct Collector : Findings {
    std::string said;
    void Found(const FaultRecord& f) override { said += ComposeFinding(f, "t.vl", false); }
  };
  const std::pair<FaultKind, std::string> cases[] = {
      {FaultKind::NameRunsOn, "proc show(n) ;\nproc main() showAll(1);\n"},
      {FaultKind::BitwiseMixed, "var a;\nproc main() a = a & 1 | 2;\n"},
      {FaultKind::ComparisonWithBitwise, "var a;\nproc main() if (a & 1 = 1) ;\n"},
      {FaultKind::StrayBody, "var a;\nproc main() if (a) ) a = 1;\n"},
      {FaultKind::StatementAfterBody, "var a;\nproc main() {\n  if (a)\n    a = 1;\n    a = 2;\n}\n"},
      {FaultKind::ConstantZeroDivisor, "var a;\nproc main() a = a % 0;\n"},
  };
  for (const Rule& rule : Rules()) {
    if (!IsTrap(rule.kind)) continue;
    const std::string* script = nullptr;
    for (const auto& [kind, text] : cases) {
      if (kind == rule.kind) script = &text;
    }
    ASSERT_NE(script, nullptr) << "no case sets the trap of " << rule.name;
    ASSERT_TRUE(LoadText(*script));
    ReadDefinitions();
    Collector found;
    CheckProgram(found);
    EXPECT_EQ(found.said.find("warning: "), found.said.rfind("warning: ")) << rule.name << ": one warning\n"
                                                                          << found.said;
    EXPECT_NE(found.said.find("note: " + std::string(rule.says).substr(0, 20)), std::string::npos)
        << rule.name << "\n" << found.said;
    EXPECT_EQ(found.said.find("error: "), std::string::npos) << found.said;
  }
}

// A name is suggested only from the names the faulting code could see.
TEST_F(DiagnosticTest, SuggestionsComeFromWhatTheFaultCouldSee) {
  const std::string helperCannotSee =
      "proc helper() PrnDec_(secrt);\nproc main() { var secret; secret = 1; helper(); }\n";
  EXPECT_EQ(Explain(helperCannotSee).find("did you mean"), std::string::npos);
  // An argument of a script routine sees every live variable, the caller's too.
  const std::string argumentSees =
      "proc show(v) PrnDec_(v);\nproc helper() show(secrt);\nproc main() { var secret; helper(); }\n";
  EXPECT_NE(Explain(argumentSees).find("note: did you mean 'secret'?"), std::string::npos);
  EXPECT_EQ(Explain("var total;\nproc main() PrnDec_(Input_());\n", "totl\r").find("did you mean"),
            std::string::npos);
  EXPECT_NE(Explain("proc main() PrnDec_(Input_());\n", "rnd_(6)\r").find("note: did you mean 'Rand_'?"),
            std::string::npos);
  // The same letters in another case; a routine only where a '(' follows.
  EXPECT_NE(Explain("var Total;\nproc main() total = 1;\n").find("note: did you mean 'Total'?"), std::string::npos);
  EXPECT_NE(Explain("var prnstr;\nproc main() prnstr_(\"a\");\n").find("note: did you mean 'PrnStr_'?"),
            std::string::npos);
  // Too far: two slips in a name of five letters.
  EXPECT_EQ(Explain("var total;\nproc main() PrnDec_(tatol);\n").find("did you mean"), std::string::npos);
}

TEST_F(DiagnosticTest, OrdinalsHaveTheirSuffixes) {
  for (int n : {11, 12, 13, 21, 22, 23, 101, 111}) {
    std::string parameters, arguments = "0";
    for (int i = 0; i < n; i++) {
      parameters += (i > 0 ? ", a" : "a") + std::to_string(i);
      arguments += ", 0";
    }
    const std::string suffix = n % 100 / 10 == 1 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : "rd";
    EXPECT_NE(FirstLine("proc p(" + parameters + ") ;\nproc main() p(" + arguments + ");\n")
                  .find("found ',' after the " + std::to_string(n) + suffix),
              std::string::npos)
        << n;
  }
}

TEST_F(DiagnosticTest, ColourOnlyForATerminalThatShowsIt) {
  EXPECT_TRUE(ColourWanted(nullptr));
  EXPECT_TRUE(ColourWanted(""));
  EXPECT_FALSE(ColourWanted("1"));
  EXPECT_TRUE(TerminalConsole::TermShowsColour("xterm-256color"));
  EXPECT_FALSE(TerminalConsole::TermShowsColour("dumb"));
  EXPECT_FALSE(TerminalConsole::TermShowsColour(nullptr));
  EXPECT_FALSE(TerminalConsole::TermShowsColour(""));
}

TEST_F(DiagnosticTest, ARunThatEndedNormallyOrWasStoppedHasNone) {
  EXPECT_EQ(Explain("proc main() PrnStr_(\"hi\");\n"), "");
  EXPECT_EQ(Explain("proc main() { PrnStr_(\"a\"); zz(); }\n", "\x1b"), "");
}

}  // namespace
}  // namespace vorla::test
