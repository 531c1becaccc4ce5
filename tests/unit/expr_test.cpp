// The expression evaluator: each case checks the Values pushed, the fault and
// where the cursor stopped together (offsets from the expression's first
// character), since statements and calls depend on all three.
#include "shell/run.h"
#include "test_support.h"

namespace vorla::test {
namespace {

class ExprTest : public VorlaTest {
 protected:
  // A well-formed expression ended by its ';': one Value, no fault, the
  // cursor on the ';'.
  void ExpectValue(std::string_view expr, Value value) {
    EXPECT_EQ(Eval(expr), (Outcome{1, value, kNone, long(expr.size()) - 1})) << expr;
  }
  // A fault: where it stands and where the cursor stopped. What the stack
  // holds then is of no use to anyone, as long as it stays inside its slots.
  void ExpectFault(std::string_view expr, long error, long cursor) {
    Outcome o = Eval(expr);
    EXPECT_EQ(o.error, error) << expr;
    EXPECT_EQ(o.cursor, cursor) << expr;
    EXPECT_GE(o.pushed, 0) << expr;
    EXPECT_LE(OperandDepth, kMaxOperands) << expr;
  }
};

TEST_F(ExprTest, BindingLevels) {
  ExpectValue("2 + 3 * 4;", 14);
  ExpectValue("(2 + 3) * 4;", 20);
  ExpectValue("10 - 4 - 3;", 3);
  ExpectValue("1 - 2 + 3;", 2);
  ExpectValue("100 / 10 / 5;", 2);
  ExpectValue("2 * 3 % 4;", 2);
  ExpectValue("1 | 2 & 4;", 0);
  ExpectValue("1 & 3 | 4 ^ 1;", 4);
  ExpectValue("5 & 1 = 1;", 1);
  ExpectValue("3 < 5 = 1;", 1);
  ExpectValue("3 > 2 > 1;", 0);
  ExpectValue("2 <> 2;", 0);
  ExpectValue("0 - 1 < 1;", 1);
  ExpectValue("1 + 2 * 3 = 7;", 1);
  ExpectValue("-2 * 3;", -6);
  ExpectValue("-2 - -3;", 1);
}

TEST_F(ExprTest, SignedComparisons) {
  ExpectValue("$FFFFFFFF < 0;", 1);
  ExpectValue("$80000000 > 1;", 0);
  ExpectValue("1 <= 1;", 1);
  ExpectValue("2 >= 3;", 0);
  ExpectValue("1 > 0;", 1);
  ExpectValue("4 = 4;", 1);
  ExpectValue("4 <> 5;", 1);
}

TEST_F(ExprTest, LiteralsWrap) {
  ExpectValue("2147483647 + 1;", INT32_MIN);
  ExpectValue("65536 * 65536;", 0);
  ExpectValue("$7FFFFFFF * 2;", -2);
  ExpectValue("2147483648;", INT32_MIN);
  ExpectValue("4294967296;", 0);
  ExpectValue("99999999999;", 1215752191);
  ExpectValue("007;", 7);
  ExpectValue("$ff;", 255);
  ExpectValue("$FF;", 255);
  ExpectValue("$123456789;", 0x23456789);
  ExpectValue("$ ;", 0);
  ExpectFault("$g;", 1, 1);  // no digit gives 0; the 'g' is no operator
}

TEST_F(ExprTest, PrefixOperatorsNest) {
  ExpectValue("--5;", 5);
  ExpectValue("-~0;", 1);
  ExpectValue("~-1;", 0);
  ExpectValue("+-5;", 5);
  ExpectValue("- - 5;", 5);
  ExpectValue("-(-5);", 5);
  ExpectValue("+(0 - 5);", 5);
  ExpectValue("~0;", -1);
  ExpectValue("-2147483648;", INT32_MIN);
  ExpectValue("+-2147483648;", INT32_MIN);
}

TEST_F(ExprTest, BlanksAndCommentsBetweenOperatorAndOperand) {
  ExpectValue("1 + # a comment\r 2;", 3);
  ExpectValue("\t1\x01+\x1f\r2;", 3);
}

TEST_F(ExprTest, DivisionAndModulo) {
  struct Case {
    const char* expr;
    Value value;
    Value modulo;
  } cases[] = {
      {"-7 / 2;", -3, -1},  {"7 % -2;", 1, 1},     {"-7 % 2;", -1, -1},
      {"7 / 7;", 1, 0},     {"8 / 3 * 3 + 8 % 3;", 8, 2},
      {"-2147483648 / -1;", INT32_MIN, 0},       {"-2147483648 % -1;", 0, 0},
      {"-2147483648 / 1;", INT32_MIN, 0},
  };
  for (const Case& c : cases) {
    Modulo() = 55;
    ExpectValue(c.expr, c.value);
    EXPECT_EQ(Modulo(), c.modulo) << c.expr;
  }
}

TEST_F(ExprTest, DivisionByZeroPrintsAndGoesOn) {
  Modulo() = 9;
  ExpectValue("7 / 0 + 1;", 1);
  ExpectValue("7 % 0;", 9);
  EXPECT_EQ(Modulo(), 9);
  EXPECT_EQ(Out(), " Divided by 0  Divided by 0 ");
  EXPECT_EQ(Console().Polls(), 2);
}

TEST_F(ExprTest, EscAtTheDivisionByZeroPollStops) {
  Console().AddKeys(" \x1b");
  Outcome o = Eval("7 / 0 + 1;");
  EXPECT_EQ(o.error, kStop);
  EXPECT_EQ(Out(), " Divided by 0 ");
}

TEST_F(ExprTest, StringLiteralIsTheAddressOfItsText) {
  // exprStart_ is the same for every text, as the globals before it are.
  Prepare("\"AB\"x;");
  EXPECT_EQ(Evaluate(), (Outcome{1, Value(exprStart_ + 1), 4, 4})) << "cursor just past the quote";
  ExpectValue("\"\";", Value(exprStart_ + 1));  // the address of its own closing quote
  ExpectValue("\"a;b)\" + 1;", Value(exprStart_ + 2));
  ExpectFault("\"abc", 4, 4);  // an unclosed string stops at the NUL
}

TEST_F(ExprTest, CharacterLiterals) {
  ExpectValue("'A';", 65);
  ExpectValue("'\xC8';", -56);
  ExpectValue("''';", 39);
  ExpectValue("' ' + 1;", 33);
  ExpectFault("'AB';", 0, 0);  // a malformed literal is a fault at its apostrophe
  ExpectFault("'A", 2, 0);  // the fault is at the end of the text
  ExpectFault("'", 1, 0);
}

TEST_F(ExprTest, EmptyExpressions) {
  EXPECT_EQ(Eval(";"), (Outcome{0, 0, kNone, 0}));
  EXPECT_EQ(Eval(")"), (Outcome{0, 0, kNone, 0}));
  EXPECT_EQ(Eval("  # note\r ;"), (Outcome{0, 0, kNone, 10}));
}

TEST_F(ExprTest, StopCharacters) {
  EXPECT_EQ(Eval("5,"), (Outcome{1, 5, 1, 1}));
  EXPECT_EQ(Eval("5)"), (Outcome{1, 5, kNone, 1}));
  EXPECT_EQ(Eval("5 ]"), (Outcome{1, 5, 2, 2}));
  EXPECT_EQ(Eval("1 + 2 , 3;"), (Outcome{1, 3, 6, 6}));
  ExpectFault("(1,2);", 2, 3);  // a missing ')' steps past the character found
  ExpectFault("(1, 2);", 2, 4);  // and blanks after it, as after any operand
  ExpectFault("(1;", 2, 3);
  ExpectFault("1 + 2", 5, 5);  // the end of the text ends no expression
}

TEST_F(ExprTest, FaultsWhereAnOperatorIsExpected) {
  ExpectFault("a != b;", 2, 2);
  ExpectFault("a [1];", 2, 2);  // a blank before '[' makes no index
  ExpectFault("1 < > 2;", 4, 4);
  ExpectFault("1 2;", 2, 2);
  ExpectFault("1 && 2;", 3, 3);
}

// Operands that leave no Value: nothing below the Values already pending is
// read or changed, and the fault stands where the operand should begin.
TEST_F(ExprTest, MissingOperandsNeverReachBelowTheStack) {
  struct Case {
    const char* expr;
    long error;
    long cursor;
  } cases[] = {
      {"1 + ;", 4, 4}, {"();", 1, 1},    {"-;", 1, 1}, {"~)", 1, 1},          {"a[];", 2, 2},
      {"1 == 1;", 3, 3}, {"-", 1, 1},    {"2 * (3 + );", 9, 10}, {"-();", 2, 2}, {"1 + ,", 4, 4},
      {"a[1 + ];", 6, 6}, {"a[2 * 3 - ];", 10, 10}, {"a[1 + 2 * ];", 10, 10}, {"a[1 + -];", 7, 7},
  };
  for (int start : {0, 2}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.expr);
      Prepare(c.expr);
      Var("a") = Value(kArrayBase);
      OperandStack[0] = 111;
      OperandStack[1] = 222;
      Outcome o = Evaluate(start);
      EXPECT_EQ(o.error, c.error);
      EXPECT_EQ(o.cursor, c.cursor);
      EXPECT_GE(OperandDepth, start);
      if (start == 2) {
        EXPECT_EQ(OperandStack[0], 111);
        EXPECT_EQ(OperandStack[1], 222);
      }
    }
  }
}

// A right operand that is missing before the ',' or ']' its construct expects
// leaves no Value, so the construct cannot take the fault for its own stop.
TEST_F(ExprTest, MissingOperandBeforeACommaLeavesNoValue) {
  Prepare("1 + , 2);");
  TextPosition p = exprStart_;
  Value v = 99;
  EXPECT_FALSE(TakeRequiredValue(p, Scope{VariableCount, kLiveTop}, v));
  EXPECT_EQ(Offset(ErrorPosition), 4);
  EXPECT_EQ(OperandDepth, 0);

  Prepare("2 * 3 - ,");
  EXPECT_EQ(Evaluate().pushed, 0);
}

// A construct takes the Value of its whole expression; one that expects a
// closing character and finds another takes nothing, and the Value stays on
// the stack as the operand of the construct that failed.
TEST_F(ExprTest, TakeValueLeavesTheStopAndAMissingValueToTheCaller) {
  Value v = 0;
  Prepare("4 + 5]");
  TextPosition p = exprStart_;
  EXPECT_TRUE(TakeValue(p, Scope{VariableCount, kLiveTop}, v, ']'));
  EXPECT_EQ(v, 9);
  EXPECT_EQ(OperandDepth, 0);
  EXPECT_EQ(Offset(p), 5);
  EXPECT_EQ(Offset(ErrorPosition), 5) << "the evaluator's stop at the ']' is the caller's to clear";

  Prepare("4 + 5;");
  p = exprStart_;
  EXPECT_FALSE(TakeValue(p, Scope{VariableCount, kLiveTop}, v, ']'));
  EXPECT_EQ(OperandDepth, 1);
  EXPECT_EQ(OperandStack[0], 9);
  EXPECT_EQ(Offset(p), 5);
  EXPECT_FALSE(HasError());

  Prepare(" ;");
  p = exprStart_;
  EXPECT_FALSE(TakeValue(p, Scope{VariableCount, kLiveTop}, v));
  EXPECT_EQ(Offset(p), 1);
  EXPECT_FALSE(HasError()) << "an empty expression is no fault of its own";
}

TEST_F(ExprTest, The33rdOperandIsAFaultAtIt) {
  std::string fits, full;
  for (int i = 0; i < 31; i++) fits += "1+(";
  fits += "7" + std::string(31, ')') + ";";
  ExpectValue(fits, 38);

  for (int i = 0; i < 32; i++) full += "1+(";
  full += "7" + std::string(32, ')') + ";";
  Outcome o = Eval(full);
  EXPECT_EQ(o.error, 96);
  EXPECT_LE(OperandDepth, kMaxOperands);

  Prepare("1+2;");
  EXPECT_EQ(Evaluate(30), (Outcome{1, 3, kNone, 3})) << "30 pending Values leave room for two";
  Prepare("1+(2+3);");
  EXPECT_EQ(Evaluate(30).error, 5);
}

TEST_F(ExprTest, WordAndByteIndexing) {
  Prepare("a[2] + a[1+1] * 0 + _s[1] * 1000;\"AB\"");
  Var("a") = Value(kArrayBase);
  Var("_s") = Value(Pos("AB"));
  ScriptMemory::StoreWord(kArrayBase + 8, 1234);
  EXPECT_EQ(Evaluate().value, 1234 + 66 * 1000);

  Prepare("_s[2];\"AB\xC8\"");
  Var("_s") = Value(Pos("AB"));
  EXPECT_EQ(Evaluate(), (Outcome{1, -56, kNone, 5}));
}

TEST_F(ExprTest, IndexAddressesWrap) {
  Prepare("a[$3FFFFFFF];");
  Var("a") = Value(kArrayBase + 4);
  ScriptMemory::StoreWord(kArrayBase, -9);
  EXPECT_EQ(Evaluate().value, -9);

  Prepare("_s[$1001];");
  Var("_s") = -1;
  EXPECT_EQ(Evaluate().value, 'v') << "the first byte of the loaded text";
}

TEST_F(ExprTest, IndexedReadOutsideMemoryIsAFaultAtTheName) {
  struct Case {
    const char* expr;
    uint32_t base;
    bool inside;
  } cases[] = {
      {"a[0];", kArrayBase + kArraySize - 4, true}, {"a[1];", kArrayBase + kArraySize - 4, false},
      {"a[0];", kArrayBase + kArraySize - 2, false}, {"_s[0];", kArrayBase + kArraySize - 1, true},
      {"_s[1];", kArrayBase + kArraySize - 1, false}, {"a[0];", 0, false},
      {"a[-1];", kArrayBase, false},                {"a[0];", kInputBase + kInputSize - 4, true},
      {"_s[0];", kConstantBase, false},             {"_s[0];", StopRequested, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.expr) + " at " + std::to_string(c.base));
    Prepare(c.expr);
    Var("a") = Value(c.base);
    Var("_s") = Value(c.base);
    Outcome o = Evaluate();
    EXPECT_EQ(o.error, c.inside ? kNone : 0);
    if (c.inside) {
      EXPECT_EQ(o.pushed, 1);
    }
  }
}

TEST_F(ExprTest, IndexStopsAtItsBracket) {
  ExpectFault("a[1;", 3, 4);
  ExpectFault("a[1,2];", 3, 4);
  Prepare("a[1]],");
  Var("a") = Value(kArrayBase);
  EXPECT_EQ(Evaluate(), (Outcome{1, 0, 4, 4}));
}

TEST_F(ExprTest, NameThatIsNoVariableIsACall) {
  EXPECT_EQ(Eval("x;"), (Outcome{0, 0, 0, 0}));
  EXPECT_EQ(Eval("PrnDec_(1);"), (Outcome{0, 0, 0, 0})) << "a procedure inside an expression";
  ExpectValue("Array_(2);", Value(kArrayBase + 8));
  ExpectFault("Array_ (2);", 7, 7);  // the variable, then a stray '('

  EXPECT_EQ(Eval("a(1);"), (Outcome{0, 0, 0, 0})) << "a name directly followed by '(' is no variable";
}

TEST_F(ExprTest, NothingIsReadAfterAnEarlierFault) {
  Prepare("1 + 2;");
  ErrorPosition = kSourceBase + 1;
  EXPECT_EQ(Evaluate(), (Outcome{0, 0, Offset(kSourceBase + 1), 0}));
}

TEST_F(ExprTest, IndexedVariableIsReadAfterItsIndex) {
  Load(
      "var a;\n"
      "func f() { a = a + 4; return = 1; }\n"
      "proc main() { a = Array_; Array_[1] = 20; Array_[2] = 30; PrnDec_(a[f()]); }\n");
  EXPECT_EQ(RunProgram(), RunOutcome::Finished);
  EXPECT_EQ(Out(), "30");
}

}  // namespace
}  // namespace vorla::test
