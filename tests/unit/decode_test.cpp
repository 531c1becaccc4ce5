// The decoded form's own edge cases: what it reads from the text, where it
// declines, that a store into the text makes it read the text again, and
// that the index of live names answers as the plain search does. Whole runs
// are compared both ways by the corpus test (fuzz_regressions_test.cpp).
#include "core/decode.h"

#include <random>
#include <string>

#include "core/code.h"
#include "core/names.h"
#include "test_support.h"

namespace vorla::test {
namespace {

class DecodeTest : public VorlaTest {
 protected:
  void SetUp() override {
    VorlaTest::SetUp();
    DecodeText = true;
  }
  void TearDown() override { DecodeText = DecodingWanted(); }
  static bool DecodingWanted() {
    const char* setting = std::getenv("VORLA_DECODE");
    return setting == nullptr || std::string_view(setting) != "0";
  }
};

TEST_F(DecodeTest, FormsReadTheTextAsTheWalkerDoes) {
  Load("a + 2 * (b - 1);|f(x, 3)|1 +  ;|(a|'ab'|1 == 2;|if (a) ;|for (;;) ;|do x;|x = 1;|;");
  const EvalForm* f = EvalFormAt(SourceStart, 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->first, Pos("a + 2"));
  EXPECT_EQ(f->stop, Pos(";"));
  EXPECT_TRUE(f->callFree);
  EXPECT_GE(f->pure, 0);
  const StepForm& plus = StepOf(f->firstStep);
  EXPECT_EQ(plus.at, Pos("+ 2"));
  EXPECT_EQ(plus.next, -1) << "'*' belongs to the right operand's level";
  const EvalForm& right = EvalFormOf(plus.right);
  EXPECT_EQ(right.operand.value, 2);
  EXPECT_EQ(StepOf(right.firstStep).at, Pos("* ("));
  EXPECT_EQ(EvalFormOf(StepOf(right.firstStep).right).operand.kind, OperandKind::Parenthesised);

  // A call: its row and its arguments; the name has no program of its own.
  Load("func f(p, q) ; f(x, 3)");
  TextPosition p = SourceStart;
  ASSERT_TRUE(DefineRoutine(p));
  const EvalForm* call = EvalFormAt(Pos("f(x"), 0);
  ASSERT_NE(call, nullptr);
  ASSERT_GE(call->operand.call, 0);
  const CallForm& c = CallFormOf(call->operand.call);
  EXPECT_EQ(c.row, RoutineCount - 1);
  EXPECT_EQ(c.arguments, 2);
  EXPECT_EQ(ArgumentOf(c, 1).key, Pos(" 3)"));
  EXPECT_EQ(c.end, End());
  EXPECT_FALSE(call->callFree);

  // Text that is not well formed is left to the walker.
  for (const char* bad : {"1 +  ;", "(a", "'ab'", "1 == 2;"}) {
    Load(bad);
    EXPECT_EQ(EvalFormAt(SourceStart, 0), nullptr) << bad;
  }

  // Statements: the keyword forms and a name, each with its code.
  const std::pair<const char*, StatementKind> statements[] = {
      {"if (a) ;", StatementKind::If}, {"for (;;) ;", StatementKind::For}, {"do x;", StatementKind::Do},
      {"x = 1;", StatementKind::Name}, {";", StatementKind::Empty}};
  for (const auto& [text, kind] : statements) {
    Load(std::string("var a, x; ") + text);
    const StatementForm* s = StatementFormAt(Pos(text));
    ASSERT_NE(s, nullptr) << text;
    EXPECT_EQ(s->kind, kind) << text;
  }
}

TEST_F(DecodeTest, OnlyAStoreThatChangesTheTextMakesItReadAgain) {
  Load("var _t; _t = \"\"; 1 + 2;");
  const TextPosition at = Pos("1 + 2");
  const EvalForm* before = EvalFormAt(at, 0);
  ASSERT_NE(before, nullptr);
  uint64_t generation = ScriptMemory::Generation();
  ScriptMemory::StoreWord(kArrayBase, 7);
  ScriptMemory::StoreByte(at, '1');
  EXPECT_EQ(ScriptMemory::Generation(), generation) << "nothing in the text changed";
  ScriptMemory::StoreByte(at + 2, '-');
  EXPECT_NE(ScriptMemory::Generation(), generation);
  const EvalForm* after = EvalFormAt(at, 0);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(StepOf(after->firstStep).op.op, Op::Sub);
  OperandDepth = 0;
  TextPosition p = at;
  EXPECT_FALSE(EvalExpression(p, Scope{VariableCount, kLiveTop}, 0));
  EXPECT_EQ(OperandStack[0], -1);
}

// Random frames of names from a small set, released and pushed again, looked
// up from random scopes, with a store into the text that breaks a name:
// the index answers as the plain search does.
TEST_F(DecodeTest, NameIndexAnswersAsTheSearchDoes) {
  Load("a ab b ba a( ab[ b; |a|ab|b|ba|a(|ab[|");
  const TextPosition declared[] = {Pos("a ab"), Pos("ab b"), Pos("b ba"), Pos("ba a(")};
  std::mt19937 random(7);
  for (int round = 0; round < 400; round++) {
    ReleaseSlots(3);
    const int count = int(random() % 12);
    for (int i = 0; i < count; i++) {
      int k = int(random() % 4);
      PushSlot(declared[k], NameLengthAt(declared[k]));  // as every declaration names a slot
    }
    SetGlobalCount(3 + int(random() % (count + 1)));
    // "ab" becomes "a(": the live slots named there now have a broken name.
    if (round == 300) ScriptMemory::StoreByte(declared[1] + 1, '(');
    for (const char* name : {"|a|", "|ab|", "|b|", "|ba|", "|a(|", "|ab[|"}) {
      const TextPosition at = Pos(name) + 1;
      const int32_t base = int32_t(random() % (VariableCount + 2)) - 1;
      const int32_t top = random() % 3 == 0 ? kLiveTop : int32_t(random() % (VariableCount + 1));
      const Scope scope{base, top};
      EXPECT_EQ(FindVariable(at, scope), SearchVariable(at, scope)) << name << " round " << round;
    }
  }
}

}  // namespace
}  // namespace vorla::test
