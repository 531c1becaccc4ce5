// Line input in-process: every row of the line editor's key table, the
// 126-byte limit (125 for piped keys), the end of the keys, and Input_
// evaluating the typed line with no variable visible while the caller's
// variables and pending Values stay as they were, after a fault in the typed
// text too.
#include <string>

#include "builtins/input.h"
#include "core/names.h"
#include "run_script.h"

namespace vorla::test {
namespace {

constexpr char kBs = 8;
constexpr char kCtrlX = 24;
constexpr char kEsc = 27;
const std::string kErase = "\b \b";

class InputTest : public ScriptTest {
 protected:
  // Types `keys` into the line editor.
  void Type(std::string keys, bool interactive = true) {
    Keys(std::move(keys), interactive);
    EXPECT_TRUE(ReadLine());
  }

  static std::string Line() { return std::string(reinterpret_cast<const char*>(ScriptMemory::View(kInputBase)), InputLength); }

  // What a typed line yields: the Value, and where its fault stands as an
  // offset into InputLine (-1: none).
  struct Typed {
    Value value;
    long error;
    bool operator==(const Typed&) const = default;
  };

  // Calls Input_ on top of two pending Values and a live frame of two slots,
  // and checks that both are as they were afterwards.
  Typed Enter(std::string keys) {
    Keys(std::move(keys));
    Load("var g; func sq(v) { var t; t = v * v; return = t + g; }\rfunc bad() return = zz;\rproc main() ;");
    TextPosition p = SourceStart;
    DeclareGlobals(p);
    while (DefineRoutine(p)) {
    }
    Var("g") = 1;
    EXPECT_EQ(VariableCount, 4);
    PushSlot(SourceStart, 1);
    PushSlot(SourceStart, 1);
    VariableTable[4].value = 444;
    VariableTable[5].value = 555;
    OperandStack[0] = 111;
    OperandStack[1] = 222;
    OperandDepth = 2;
    Value v = BuiltinInput(0, 0);
    EXPECT_EQ(OperandDepth, 2);
    EXPECT_EQ(OperandStack[0], 111);
    EXPECT_EQ(OperandStack[1], 222);
    EXPECT_EQ(VariableCount, 6);
    EXPECT_EQ(VariableTable[4].value, 444);
    EXPECT_EQ(VariableTable[5].value, 555);
    EXPECT_EQ(VariableTable[0].value, Value(kArrayBase));
    EXPECT_EQ(PeekText(VariableTable[1].Name), 'M');
    EXPECT_EQ(VariableTable[2].NameLength, 6);
    long error = -1;
    if (ErrorPosition != kNoError) error = long(ErrorPosition) - long(kInputBase);
    return {v, error};
  }
};

// Each key code alone, followed by ESC: what is echoed, stored, and whether
// the key itself ended the line (the ESC is then still waiting).
TEST_F(InputTest, EveryKeyCode) {
  for (int code = 0; code < 256; code++) {
    SCOPED_TRACE(code);
    Type(std::string(1, char(code)) + kEsc);
    bool printable = code == 9 || (code >= 32 && code <= 126);
    if (printable) {
      EXPECT_EQ(Out(), std::string(1, char(code)));
      EXPECT_EQ(Line(), std::string(1, char(code)));
      EXPECT_EQ(Console().KeysLeft(), 0u);
    } else if (code == 13) {
      EXPECT_EQ(Out(), "\r");
      EXPECT_EQ(Line(), "\r");
      EXPECT_EQ(Console().KeysLeft(), 1u);
    } else if (code == 27) {
      EXPECT_EQ(Out(), "");
      EXPECT_EQ(InputLength, 0);
      EXPECT_EQ(Console().KeysLeft(), 1u);
    } else {  // erase keys on an empty line, and every key that is dropped
      EXPECT_EQ(Out(), "");
      EXPECT_EQ(InputLength, 0);
      EXPECT_EQ(Console().KeysLeft(), 0u);
    }
  }
}

TEST_F(InputTest, EraseKeys) {
  Type(std::string("ab") + kBs + kBs + kBs + "c\r");
  EXPECT_EQ(Out(), "ab" + kErase + kErase + "c\r");
  EXPECT_EQ(Line(), "c\r");

  Type(std::string("a\tb") + kCtrlX + kCtrlX + "7" + kBs + "8" + kEsc);
  EXPECT_EQ(Out(), "a\tb" + kErase + kErase + kErase + "7" + kErase + "8");
  EXPECT_EQ(Line(), "8");
}

TEST_F(InputTest, AtMost126BytesAnd125Piped) {
  std::string full(126, 'x');
  Type(full + "yz\r" + kBs + "\r");
  EXPECT_EQ(Out(), full + kErase + "\r") << "Enter and keys past the limit are dropped";
  EXPECT_EQ(Line(), std::string(125, 'x') + "\r");

  Type(full + "y" + kEsc);
  EXPECT_EQ(Line(), full) << "ESC works on a full line";

  Type(full + kCtrlX + "5\r");
  std::string erased;
  for (int i = 0; i < 126; i++) erased += kErase;
  EXPECT_EQ(Out(), full + erased + "5\r");
  EXPECT_EQ(Line(), "5\r");

  // Keys from a pipe keep the last place for the line end.
  Type(full + "yz\r", false);
  EXPECT_EQ(Out(), std::string(125, 'x') + "\r");
  EXPECT_EQ(Line(), std::string(125, 'x') + "\r");
  Type(full + kBs + kBs + "y" + kEsc, false);
  EXPECT_EQ(Line(), std::string(123, 'x') + "y");
}

// When the keys run out, a line with bytes in it ends as with ESC; a line with
// none asks the run to stop. A read that fails is no end of the keys: the run
// stops, and nothing typed before it is evaluated.
TEST_F(InputTest, TheEndOfTheKeys) {
  Type("12", false);
  EXPECT_EQ(Line(), "12");
  EXPECT_FALSE(HasError());

  Keys("", false);
  EXPECT_FALSE(ReadLine());
  EXPECT_EQ(ErrorPosition, StopRequested);
  EXPECT_EQ(Out(), "");

  Keys("12", false);
  Console().FailAfterKeys();
  EXPECT_EQ(Run("var a;\rproc main() { a = 1 + Input_(); a = 7; }"), RunOutcome::Stopped);
  EXPECT_EQ(Var("a"), 0);
  EXPECT_EQ(Out(), "12");
}

TEST_F(InputTest, TheTypedLineIsAnExpression) {
  struct Case {
    const char* keys;
    Typed typed;
  } cases[] = {
      {"6*7\r", {42, -1}},
      {"$FF\r", {255, -1}},
      {"'A'\r", {65, -1}},
      {"\r", {0, -1}},
      {"# only a comment\r", {0, -1}},
      {"3;4\r", {3, -1}},
      {"12\x1b", {12, -1}},
      {"\t1 +\t2\r", {3, -1}},
      {"Array_(1) - Array_(0)\r", {4, -1}},
      {"Rand_(100)\r", {37, -1}},
      {"sq(3) + 1\r", {11, -1}},
      {"g + 1\r", {0, 0}},
      {"Array_\r", {0, 7}},  // the CR is taken for its '('; no argument follows
      {"1 2\r", {1, 2}},
      {"PrnDec_(1)\r", {0, 0}},
      {"Input_()\r", {0, 0}},
      {"2 * (3 + Input_())\r", {0, 9}},
      {"!\r", {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Enter(c.keys), c.typed) << c.keys;
  }
}

TEST_F(InputTest, AFaultInAFunctionTheLineCallsStaysInTheScript) {
  Typed typed = Enter("bad()\r");
  EXPECT_EQ(ErrorPosition, Pos("zz;"));
  EXPECT_EQ(typed.value, 0);
}

TEST_F(InputTest, ASemicolonAndANulFollowTheTypedBytes) {
  Enter("6*7\r");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ScriptMemory::View(kInputBase)), 6), std::string("6*7\r;\0", 6));
  EXPECT_EQ(InputLength, 4);
}

// Numbers printed by a routine the typed line calls are built aside, so a
// full line is read to its end as typed; after the line, the tail of
// InputLine is the number scratch again.
TEST_F(InputTest, NumbersPrintedFromTheTypedLineLeaveItAlone) {
  const std::string typed = "p(4)" + std::string(117, ' ') + "+ 38";  // 125 bytes, then the CR
  Keys(typed + "\r");
  EXPECT_EQ(Run("func p(v) { PrnDecF_(v, 127); PrnDec_(-1234567890); PrnHex_(v); PrnHexB_(v); return = v; }\r"
                "proc main() { PrnDec_(Input_() + Modulo_); }"),
            RunOutcome::Finished);
  EXPECT_EQ(Out(), typed + "\r" + std::string(126, ' ') + "4-1234567890" + "0000000404" + "43");
  const std::string line(reinterpret_cast<const char*>(ScriptMemory::View(kInputBase)), kInputSize);
  EXPECT_EQ(line, typed + "43\"");
}

// ESC ends the typed line; it does not stop the run.
TEST_F(InputTest, EscWhileTypingDoesNotStop) {
  Keys(std::string("12") + kEsc + "3\r", false);
  EXPECT_EQ(Run("proc main() { PrnDec_(Input_()); PrnStr_(\"|\"); PrnDec_(Input_()); }"), RunOutcome::Finished);
  EXPECT_EQ(Out(), "1212|3\r3");
}

// A fault in a full line ended without Enter is reported with the typed text
// and the ';' after it, whatever the line number's output wrote in the tail
// of InputLine.
TEST_F(InputTest, AFaultInAFullTypedLineIsReportedAsTyped) {
  std::string typed = "zz" + std::string(124, ' ');
  Keys(typed + kEsc);
  EXPECT_EQ(Run("proc main() PrnDec_(Input_());"), RunOutcome::Error);
  EXPECT_EQ(Out(), typed + "\nerr at 1:" + typed + ";");
}

}  // namespace
}  // namespace vorla::test
