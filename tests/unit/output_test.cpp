// Console output: texts with their one escape, the keyboard poll after every
// text and number, decimal fields, hexadecimal digits in the InputLine
// scratch, single bytes and PrintLine.
#include "builtins/output.h"

#include "test_support.h"

namespace vorla::test {
namespace {

constexpr uint32_t kText = kArrayBase + 100;
constexpr uint8_t kEsc = 27;

class OutputTest : public VorlaTest {
 protected:
  std::string Decimal(Value v, int32_t width) {
    Console().ClearOutput();
    FormatDecimal(v, width);
    return Out();
  }
  std::string Hex(Value v, bool byte) {
    Console().ClearOutput();
    if (byte) {
      BuiltinPrnHexB(v, 0);
    } else {
      BuiltinPrnHex(v, 0);
    }
    return Out();
  }
};

TEST_F(OutputTest, PrnStrEndsAtTheQuoteAndKnowsOneEscape) {
  Put(kText, "ab\\ncd\\x\\\\n\\\"rest\"");
  PrnStr(Value(kText));
  EXPECT_EQ(Out(), "ab\r\ncd\\x\\\r\n\\");
  EXPECT_EQ(Console().Polls(), 1);
}

TEST_F(OutputTest, PrnStrPrintsNulBytes) {
  Put(kText, std::string("a\0b\r\"", 5));
  PrnStr(Value(kText));
  EXPECT_EQ(Out(), std::string("a\0b\r", 4));
}

TEST_F(OutputTest, EmptyTextPrintsNothingButPolls) {
  Console().AddKeys("\x1b");
  Put(kText, "\"");
  PrnStr(Value(kText));
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(ErrorPosition, StopRequested);
}

TEST_F(OutputTest, AddressOutsideScriptMemoryPrintsNothing) {
  ScriptMemory::StoreByte(kConstantBase + 200, 'c');
  for (uint32_t address : {0u, 0xFFFFFFFFu, kConstantBase + 200, kInputBase + kInputSize, kMemorySize}) {
    PrnStr(Value(address));
  }
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Console().Polls(), 5);
}

TEST_F(OutputTest, TextStopsAtTheEndOfItsArea) {
  Put(kArrayBase + kArraySize - 3, "xy\\");  // a backslash in the last byte
  PrnStr(Value(kArrayBase + kArraySize - 3));
  EXPECT_EQ(Out(), "xy\\");

  Console().ClearOutput();
  Put(kInputBase + kInputSize - 2, "\\n");  // the pair fits, then the area ends
  Put(kArrayBase, "not reached\"");
  PrnStr(Value(kInputBase + kInputSize - 2));
  EXPECT_EQ(Out(), "\r\n");

  Console().ClearOutput();
  Load("ab");  // a text without its quote runs through the NULs to the end
  PrnStr(Value(kSourceBase));
  EXPECT_EQ(Console().OutputSize(), kSourceSize);
}

TEST_F(OutputTest, PollSpacePausesUntilTheNextKey) {
  Console().AddKeys("  \x1b");
  Put(kText, "t\"");
  PrnStr(Value(kText));
  EXPECT_EQ(ErrorPosition, kNoError) << "the key after a pause is not a pause again";
  EXPECT_EQ(Console().KeysLeft(), 1u);
  PrnStr(Value(kText));
  EXPECT_EQ(ErrorPosition, StopRequested);
  EXPECT_EQ(Out(), "tt");
}

TEST_F(OutputTest, PollSpaceThenEscStops) {
  Console().AddKeys(" \x1bx");
  ErrorPosition = kSourceBase + 4;  // a stop replaces whatever was held
  Put(kText, "whole text\"");
  PrnStr(Value(kText));
  EXPECT_EQ(Out(), "whole text");
  EXPECT_EQ(ErrorPosition, StopRequested);
  EXPECT_EQ(Console().KeysLeft(), 1u);
}

TEST_F(OutputTest, PollLosesOtherKeys) {
  Console().AddKeys("xy");
  Put(kText, "\"");
  PrnStr(Value(kText));
  EXPECT_EQ(ErrorPosition, kNoError);
  EXPECT_EQ(Console().KeysLeft(), 1u) << "one key per poll";
  PrnStr(Value(kText));
  EXPECT_EQ(Console().KeysLeft(), 0u);
}

TEST_F(OutputTest, KeyArrivingLaterStopsAtThatPoll) {
  Console().AddKeyAtPoll(kEsc, 3);
  Put(kText, "\"");
  FormatDecimal(1, 0);
  BuiltinPrnHexB(2, 0);
  EXPECT_EQ(ErrorPosition, kNoError);
  BuiltinPrnStr(Value(kText), 0);
  EXPECT_EQ(ErrorPosition, StopRequested);
  EXPECT_EQ(Out(), "102");
}

TEST_F(OutputTest, NonInteractiveConsoleNeverPolls) {
  UseConsole("\x1b \x1b", false);
  Put(kText, "a\"");
  PrnStr(Value(kText));
  FormatDecimal(5, 3);
  PrintDividedByZero();
  EXPECT_EQ(Out(), "a  5 Divided by 0 ");
  EXPECT_EQ(ErrorPosition, kNoError);
  EXPECT_EQ(Console().KeysLeft(), 3u);
  EXPECT_EQ(Console().Polls(), 0);
}

TEST_F(OutputTest, DividedByZeroMessageAndItsPoll) {
  Console().AddKeys("\x1b");
  PrintDividedByZero();
  EXPECT_EQ(Out(), " Divided by 0 ");
  EXPECT_EQ(ErrorPosition, StopRequested);
}

TEST_F(OutputTest, DecimalLeavesTheLeadingDigitInModulo) {
  struct Case {
    Value v;
    std::string text;
    Value modulo;
  } cases[] = {{0, "0", 0},         {-42, "-42", 4},          {1234, "1234", 1},
               {7, "7", 7},         {INT32_MIN, "-2147483648", 2}, {INT32_MAX, "2147483647", 2},
               {-1, "-1", 1},       {900, "900", 9}};
  for (const Case& c : cases) {
    Modulo() = 55;
    EXPECT_EQ(Decimal(c.v, 0), c.text);
    EXPECT_EQ(Modulo(), c.modulo) << c.v;
  }
}

TEST_F(OutputTest, DecimalFields) {
  struct Case {
    Value v;
    int32_t width;
    std::string text;
  } cases[] = {
      {42, 5, "   42"},  {-42, 3, "-42"},  {-42, 2, "#2"},      {12345, 3, "#45"},
      {12, 1, "#"},      {5, 1, "5"},      {-42, 4, " -42"},     {5, 0, "5"},
      {-5, -3, "-5"},    {7, INT32_MIN, "7"}, {INT32_MIN, 11, "-2147483648"}, {INT32_MIN, 10, "#147483648"},
  };
  for (const Case& c : cases) EXPECT_EQ(Decimal(c.v, c.width), c.text) << c.v << " in " << c.width;
}

TEST_F(OutputTest, WideFieldsTakeExactlyTheirWidth) {
  EXPECT_EQ(Decimal(5, 127), std::string(126, ' ') + "5");
  EXPECT_EQ(Decimal(5, 128), std::string(127, ' ') + "5");
  EXPECT_EQ(Decimal(5, 130), std::string(129, ' ') + "5");
  EXPECT_EQ(Decimal(-3, 1000), std::string(998, ' ') + "-3");
  EXPECT_EQ(Console().Polls(), 4) << "one poll per number, however wide";
}

TEST_F(OutputTest, DecimalScratchIsTheTailOfInputLine) {
  Put(kInputBase, std::string(kInputSize, 'Q'));
  FormatDecimal(42, 5);
  std::string tail(reinterpret_cast<const char*>(ScriptMemory::View(kInputBase + 120)), 8);
  EXPECT_EQ(tail, "QQ   42\"");
}

TEST_F(OutputTest, HexDigits) {
  EXPECT_EQ(Hex(-1, false), "FFFFFFFF");
  EXPECT_EQ(Hex(255, false), "000000FF");
  EXPECT_EQ(Hex(Value(0xABCDEF01), false), "ABCDEF01");
  EXPECT_EQ(Hex(4660, true), "34");
  EXPECT_EQ(Hex(-1, true), "FF");
  EXPECT_EQ(Hex(10, true), "0A");
  EXPECT_EQ(Console().Polls(), 6);
}

TEST_F(OutputTest, HexScratchBytes) {
  Put(kInputBase, std::string(kInputSize, 'Q'));
  BuiltinPrnHex(0x12345678, 0);
  std::string tail(reinterpret_cast<const char*>(ScriptMemory::View(kInputBase + 118)), 10);
  EXPECT_EQ(tail, "Q12345678\"") << "indexes 119 to 127";

  Put(kInputBase, std::string(kInputSize, 'Q'));
  BuiltinPrnHexB(0xAB, 0);
  tail.assign(reinterpret_cast<const char*>(ScriptMemory::View(kInputBase + 124)), 4);
  EXPECT_EQ(tail, "QAB\"") << "indexes 125 to 127";
}

TEST_F(OutputTest, PrnCharWritesTheLowByteWithoutPolling) {
  Console().AddKeys("\x1b");
  BuiltinPrnChar(321, 0);
  BuiltinPrnChar(-1, 0);
  BuiltinPrnChar(256, 0);
  EXPECT_EQ(Out(), std::string("A\xff\0", 3));
  EXPECT_EQ(Console().Polls(), 0);
  EXPECT_EQ(ErrorPosition, kNoError);
}

TEST_F(OutputTest, PrintLineUpToAndIncludingTheCr) {
  Console().AddKeys("\x1b");
  Load("first line\rsecond");
  PrintLine(SourceStart);
  EXPECT_EQ(Out(), "first line\r");
  Console().ClearOutput();
  PrintLine(Pos("second"));
  EXPECT_EQ(Out(), "second");
  Console().ClearOutput();
  PrintLine(End());
  PrintLine(0xFFFFFFF0u);
  EXPECT_EQ(Out(), "");
  Put(kMemorySize - 2, "zz");
  PrintLine(kMemorySize - 2);
  EXPECT_EQ(Out(), "zz") << "the end of the memory ends the line";
  EXPECT_EQ(Console().Polls(), 0);
}

}  // namespace
}  // namespace vorla::test
