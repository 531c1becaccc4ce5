// The remembered text answers stay invisible to scripts: most scripts here
// rewrite the text of a construct they run again (the end of a skipped
// statement or block, the close of a `for` header, a called name, a declared
// name, an expression) and must see the new text on the next pass; one looks
// a name up at the same place while the slots below it hold other names.
#include <cstdio>
#include <string>
#include <utility>

#include "run_script.h"

namespace vorla::test {
namespace {

class TextCacheTest : public ScriptTest {
 protected:
  // `script` with its placeholders "$$$1", "$$$2", ... replaced by the signed
  // offsets from the '@' of its string "@" to the targets: each target is a
  // text that occurs once and the index of the character meant within it.
  static std::string WithOffsets(std::string script, std::initializer_list<std::pair<const char*, int>> targets) {
    const size_t base = script.find('@');
    int k = 0;
    for (auto [text, at] : targets) {
      size_t target = script.find(text);
      EXPECT_NE(target, std::string::npos) << text;
      EXPECT_EQ(script.find(text, target + 1), std::string::npos) << text << " occurs twice";
      char number[8];
      std::snprintf(number, sizeof number, "%+04ld", long(target + size_t(at)) - long(base));
      script.replace(script.find("$$$" + std::to_string(++k)), 4, number);
    }
    return script;
  }
};

// The ';' that ends a skipped statement becomes a blank: the next skip runs
// on to the following ';' and passes over the PrnStr_ after it.
TEST_F(TextCacheTest, SkippedStatementEndsAtTheNewSemicolon) {
  std::string script = WithOffsets(
      "var _p, i;\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  for (i = 0; i < 3; i = i + 1) {\r"
      "    if (i = 1) _p[$$$1] = 32;\r"
      "    if (0) PrnStr_(\"A\"); PrnStr_(\"B\");\r"
      "    PrnDec_(i);\r"
      "  }\r"
      "}\r",
      {{"(\"A\");", 5}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "B012");
}

// A skipped block loses its first '}' and gains one after the next
// statement: the next skip passes over that statement too.
TEST_F(TextCacheTest, SkippedBlockEndsAtTheNewBrace) {
  std::string script = WithOffsets(
      "var _p, i;\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  for (i = 0; i < 3; i = i + 1) {\r"
      "    if (i = 1) { _p[$$$1] = 32; _p[$$$2] = 125; }\r"
      "    if (0) { PrnStr_(\"A\"); } PrnStr_(\"B\");  \r"
      "    PrnDec_(i);\r"
      "  }\r"
      "}\r",
      {{"(\"A\"); }", 7}, {"(\"B\");  ", 6}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "B012");
}

// A function in the condition rewrites the loop's own header while it runs:
// `i = i + 1) n = i  ;` becomes `i = i + 1+ n + i) ;`, so from that pass on
// the step is longer and the body is the empty statement.
TEST_F(TextCacheTest, ForHeaderEndsAtTheNewParenthesis) {
  std::string script = WithOffsets(
      "var _p, i, n;\r"
      "func g(k) {\r"
      "  if (k = 3) { _p[$$$1] = 43; _p[$$$2] = 43; _p[$$$3] = 41; }\r"
      "  return = k;\r"
      "}\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  for (i = 0; g(i) < 20; i = i + 1) n = i  ;\r"
      "  PrnDec_(i); PrnChar_(32); PrnDec_(n);\r"
      "}\r",
      {{"1) n = i  ;", 1}, {"1) n = i  ;", 5}, {"1) n = i  ;", 8}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "21 2");  // i: 3, then 3+1+2+3 = 9, then 9+1+2+9 = 21
}

// A call's name is rewritten from a() to b(): the next pass calls b.
TEST_F(TextCacheTest, RewrittenCallNameFindsTheOtherRoutine) {
  std::string script = WithOffsets(
      "var _p, i;\r"
      "proc a() PrnStr_(\"a\");\r"
      "proc b() PrnStr_(\"b\");\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  for (i = 0; i < 3; i = i + 1) { a(); _p[$$$1] = 98; }\r"
      "}\r",
      {{"{ a();", 2}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "abb");
}

// A declared name rewritten from "xy" to "x ": the text "x " now names that
// newer slot, since a name is compared with the text as it stands.
TEST_F(TextCacheTest, RewrittenDeclaredNameIsComparedAsItStands) {
  std::string script = WithOffsets(
      "var _p, x, xy;\r"
      "proc main() {\r"
      "  _p = \"@\"; x = 1; xy = 2;\r"
      "  PrnDec_(x + 0);\r"
      "  _p[$$$1] = 32;\r"
      "  PrnDec_(x + 0);\r"
      "  PrnDec_(x+0);\r"
      "}\r",
      {{"xy;", 1}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "121");
}

// Word stores reach the text as well as byte stores: the ';' of a skipped
// statement is overwritten by the low byte of a word.
TEST_F(TextCacheTest, WordStoresIntoTheTextAreSeen) {
  std::string script = WithOffsets(
      "var _p, w, i;\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  for (i = 0; i < 3; i = i + 1) {\r"
      "    if (i = 1) { w = _p + $$$1; w[0] = $20202020; }\r"
      "    if (0) PrnStr_(\"A\");    PrnStr_(\"B\");\r"
      "    PrnDec_(i);\r"
      "  }\r"
      "}\r",
      {{"(\"A\");", 5}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "B012");
}

// An expression read again after its operator and then an operand were
// rewritten: i + 5, then i - 5, then i - 7; and a character operand becomes
// a variable's name.
TEST_F(TextCacheTest, RewrittenExpressionIsReadAgain) {
  std::string script = WithOffsets(
      "var _p, i, x;\r"
      "proc main() {\r"
      "  _p = \"@\"; x = 9;\r"
      "  for (i = 0; i < 3; i = i + 1) {\r"
      "    PrnDec_(i + 5); PrnChar_(32); PrnDec_('y');\r"
      "    if (i = 0) _p[$$$1] = 45;\r"
      "    if (i = 1) { _p[$$$2] = 55; _p[$$$3] = 32; _p[$$$4] = 120; _p[$$$5] = 32; }\r"
      "    PrnChar_(32);\r"
      "  }\r"
      "}\r",
      {{"i + 5)", 2}, {"i + 5)", 4}, {"'y')", 0}, {"'y')", 1}, {"'y')", 2}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "5 121 -4 121 -5 9 ");
}

// Expressions read from their shapes apply operators in the order the levels
// give, left to right within a level, and read Modulo_ where it stands: before
// or after the '%' that sets it. A division by zero inside one still prints
// its notice; indexes and arguments stop at their ']' and ','. Each
// expression runs twice, the second time from its shape.
TEST_F(TextCacheTest, ShapesKeepTheOrderOfEvaluation) {
  EXPECT_EQ(Run("var a, b, i;\r"
                "proc main() {\r"
                "  a = 17; b = 5; Modulo_ = 0;\r"
                "  for (i = 0; i < 2; i = i + 1) {\r"
                "    PrnDec_(Modulo_ + a % b * 10 + Modulo_); PrnChar_(32);\r"
                "    PrnDec_(a - b - 3); PrnChar_(32);\r"
                "    PrnDec_(2 + 3 * 4 - 6 / 2 + Modulo_); PrnChar_(32);\r"
                "    PrnDec_(1 + 2 < 4 & 5 = 5 | 8); PrnChar_(32);\r"
                "    PrnDec_(a + b / 0 * 2); PrnChar_(32);\r"
                "    PrnDec_($10 * 'A' - $f); PrnChar_(32);\r"
                "    Array_[a - 16] = a * 3; PrnDec_(Array_[b - 4]); PrnDecF_(a - 13, b); PrnChar_(47);\r"
                "  }\r"
                "}\r"),
            RunOutcome::Finished);
  // Printing a number leaves its last digit in Modulo_: 4 + 20 + 2 on the second pass.
  EXPECT_EQ(Out(), "22 9 11 0  Divided by 0 17 1025 51    4/26 9 11 0  Divided by 0 17 1025 51    4/");
}

// An indent before a statement becomes a '#' on the second pass: from then on
// the walk over the blanks meets a comment that hides the statement.
TEST_F(TextCacheTest, RewrittenBlanksEndAtTheNewComment) {
  std::string script = WithOffsets(
      "var _p, i;\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  for (i = 0; i < 3; i = i + 1) {\r"
      "    if (i = 1) _p[$$$1] = 35;\r"
      "    PrnDec_(i);\r"
      "  }\r"
      "}\r",
      {{"    PrnDec_(i)", 2}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "0");
}

// The global `xy` is cut to the name "x(" after a call x() has been read:
// from then on the text `x()` means that variable, so PrnDec_ prints it and
// the second ')' is left over.
TEST_F(TextCacheTest, CallNameBecomesAVariable) {
  std::string script = WithOffsets(
      "var _p, i, xy;\r"
      "func x() return = 7;\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  xy = 5;\r"
      "  for (i = 0; i < 2; i = i + 1) {\r"
      "    PrnDec_(x()); PrnChar_(32);\r"
      "    _p[$$$1] = '(';\r"
      "  }\r"
      "}\r",
      {{"xy;", 1}});
  EXPECT_EQ(Run(script), RunOutcome::Error);
  EXPECT_EQ(Out(), "7 5\nerr at 7:); PrnChar_(32);\r");
}

// Arguments see every live variable, so the `x` in show's text means a slot
// of whichever routine called show: a's first parameter, then b's second, at
// the same frame bounds. The remembered slot must follow the slots' names.
TEST_F(TextCacheTest, NameLookupFollowsTheSlotsNames) {
  EXPECT_EQ(Run("func id(k) return = k;\r"
                "proc show() PrnDec_(id(x));\r"
                "proc a(x, y) show();\r"
                "proc b(y, x) show();\r"
                "proc main() { a(1, 2); b(3, 4); a(5, 6); }\r"),
            RunOutcome::Finished);
  EXPECT_EQ(Out(), "145");
}

// A parameter list is declared from memory after its first reading; the
// script shortens the parameter `bb` to `b` between calls, so that the `b` in
// the body means the global first and the parameter then.
TEST_F(TextCacheTest, RewrittenParameterListIsDeclaredAsItStands) {
  std::string script = WithOffsets(
      "var _p, i, b;\r"
      "func f(a, bb) return = a * 10 + b;\r"
      "proc main() {\r"
      "  _p = \"@\";\r"
      "  b = 5;\r"
      "  for (i = 0; i < 2; i = i + 1) {\r"
      "    PrnDec_(f(1, 2)); PrnChar_(32);\r"
      "    _p[$$$1] = 32;\r"
      "  }\r"
      "}\r",
      {{"bb)", 1}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "15 12 ");
}

// Indexed operands read from a shape: words and bytes, blanks in the
// brackets, Modulo_ as an index right after a division in the same
// expression, and an index that the script turns from `1` into `j`.
TEST_F(TextCacheTest, IndexedShapesReadAsTheEvaluatorDoes) {
  std::string script = WithOffsets(
      "var _p, _s, i, j;\r"
      "proc main() {\r"
      "  _s = \"AbC\";\r"
      "  _p = \"@\";\r"
      "  Array_[1] = 40; Array_[2] = 50; Array_[3] = 60;\r"
      "  j = 3;\r"
      "  for (i = 1; i < 3; i = i + 1) {\r"
      "    PrnDec_(Array_[i] + _s[i] * 2 + Array_[ i ]); PrnChar_(32);\r"
      "    PrnDec_(7 / 2 + Array_[Modulo_] - _s[0]); PrnChar_(32);\r"
      "    PrnDec_(Array_[$2] + Array_[1]); PrnChar_(47);\r"
      "    _p[$$$1] = 'j';\r"
      "  }\r"
      "}\r",
      {{"Array_[1]);", 7}});
  EXPECT_EQ(Run(script), RunOutcome::Finished);
  EXPECT_EQ(Out(), "276 -22 90/234 -22 110/");
}

}  // namespace
}  // namespace vorla::test
