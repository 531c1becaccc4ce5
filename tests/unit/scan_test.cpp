// Scanning primitives: character classes, blanks and comments, keyword
// literals, and the walks over statements, blocks and parenthesised lists —
// including texts that never close, where every walk must stop at the NUL.
#include "core/scan.h"

#include "test_support.h"

namespace vorla::test {
namespace {

using ScanTest = VorlaTest;

TEST_F(ScanTest, CharacterClassesOnEveryByte) {
  for (int c = 0; c < 256; c++) {
    bool name = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    EXPECT_EQ(IsNameChar(uint8_t(c)), name) << c;
    EXPECT_EQ(IsBlank(uint8_t(c)), c >= 1 && c <= 32) << c;
  }
}

TEST_F(ScanTest, SkipBlanksPassesControlCharactersAndComments) {
  Load("\x01\t\x1f \r# first\r  # second # still\r\t x\x7f");
  TextPosition p = SourceStart;
  SkipBlanks(p);
  EXPECT_EQ(p, Pos("x"));
  p++;
  SkipBlanks(p);
  EXPECT_EQ(p, Pos("\x7f")) << "127 is no blank";
}

TEST_F(ScanTest, SkipBlanksStopsAtHighBytesAndOperators) {
  Load(" \x80 ");
  TextPosition p = SourceStart;
  SkipBlanks(p);
  EXPECT_EQ(p, Pos("\x80"));
  Load("  +");
  p = SourceStart;
  SkipBlanks(p);
  EXPECT_EQ(p, Pos("+"));
}

TEST_F(ScanTest, CommentAtLineEndAndOnTheLastLine) {
  Load("a # note } \" '\nb # last line without a line end");
  TextPosition p = Pos("a") + 1;
  SkipBlanks(p);
  EXPECT_EQ(p, Pos("b"));
  p++;
  SkipBlanks(p);
  EXPECT_EQ(p, End());
  EXPECT_EQ(Peek(p), 0);
}

TEST_F(ScanTest, SkipBlanksOnCommentDirectlyFollowedByComment) {
  Load("#\r#\r#x\ry");
  TextPosition p = SourceStart;
  SkipBlanks(p);
  EXPECT_EQ(p, Pos("y"));
}

// AcceptKeywordAndBlank on a copy of p.
bool AcceptsWithBlank(TextPosition p, std::string_view literal) { return AcceptKeywordAndBlank(p, literal); }

TEST_F(ScanTest, KeywordLiterals) {
  Load("var\tx var(x varx var\rx var");
  EXPECT_TRUE(AcceptsWithBlank(Pos("var\t"), "var"));
  EXPECT_TRUE(AcceptsWithBlank(Pos("var\r"), "var")) << "a line end is a blank";
  EXPECT_FALSE(AcceptsWithBlank(Pos("var("), "var"));
  EXPECT_FALSE(AcceptsWithBlank(Pos("varx"), "var"));
  EXPECT_FALSE(AcceptsWithBlank(End() - 3, "var")) << "the NUL after var is no blank";

  Load("if (a) if(a) if  (a) do {} do{} else{ else x");
  EXPECT_TRUE(MatchKeyword(Pos("if ("), "if ("));
  EXPECT_FALSE(MatchKeyword(Pos("if("), "if ("));
  EXPECT_FALSE(MatchKeyword(Pos("if  ("), "if ("));
  EXPECT_TRUE(MatchKeyword(Pos("do {"), "do "));
  EXPECT_FALSE(MatchKeyword(Pos("do{"), "do "));
  EXPECT_FALSE(AcceptsWithBlank(Pos("else{"), "else"));
  EXPECT_TRUE(AcceptsWithBlank(Pos("else x"), "else"));
}

TEST_F(ScanTest, MatchKeywordStopsAtNul) {
  // A NUL inside the literal's span never matches, even when the bytes after
  // it would: the comparison must not look past the end of the text.
  Load(std::string("fu\0c ", 5));
  EXPECT_FALSE(MatchKeyword(SourceStart, "func "));
  Load("whil");
  EXPECT_FALSE(MatchKeyword(SourceStart, "while ("));
  Load("while (");
  EXPECT_TRUE(MatchKeyword(SourceStart, "while ("));
}

TEST_F(ScanTest, SkipStatementOverNestedBlock) {
  Load("  { a = 1; { b = 2; } c = 3; } d = 4;");
  TextPosition p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos(" d = 4"));
}

TEST_F(ScanTest, SkipStatementOverOneStatement) {
  Load("x = (1; 2); y;");
  TextPosition p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos(" 2)")) << "the first ';' ends it, whatever encloses it";
  Load("PrnStr_(\"a;b\"); z;");
  p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos("b\""));
}

TEST_F(ScanTest, SkipStatementJumpsOverStringsAndCharacters) {
  Load("{ PrnStr_(\"} {\"); } after");
  TextPosition p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos(" after"));

  Load("{ c = '}'; d = '{'; } after");
  p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos(" after"));

  // The apostrophe jumps two bytes whatever they are: here over "'" and "}".
  Load("{ c = ''}'; } after");
  p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos(" after"));
}

TEST_F(ScanTest, SkipStatementDoesNotKnowComments) {
  Load("{ # a } in a comment\r x; } after");
  TextPosition p = SourceStart;
  EXPECT_TRUE(SkipStatement(p));
  EXPECT_EQ(p, Pos(" in a comment"));
}

// Every walk over a text that never closes ends on the NUL, never past it.
TEST_F(ScanTest, UnclosedTextsStopAtTheNul) {
  const char* texts[] = {"{ a; { b; }", "{ \"abc }", "{ \"", "{ '", "{ 'a", "{ '}", "{", "x = 1", "",
                         "   # only a comment"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    Load(text);
    ScriptMemory::StoreByte(End() + 1, '}');  // bytes after the NUL must never be looked at
    ScriptMemory::StoreByte(End() + 2, ';');
    TextPosition p = SourceStart;
    EXPECT_FALSE(SkipStatement(p));
    EXPECT_EQ(p, End());
  }
}

TEST_F(ScanTest, SkipToCloseParenCountsNesting) {
  Load("f(a, (b + (c)), d) rest");
  TextPosition p = Pos("(") + 1;
  EXPECT_TRUE(SkipToCloseParen(p));
  EXPECT_EQ(p, Pos(" rest"));

  Load("(\")\") rest");  // literals are not recognised: the ')' inside counts
  p = SourceStart + 1;
  EXPECT_TRUE(SkipToCloseParen(p));
  EXPECT_EQ(p, Pos("\") rest"));
}

TEST_F(ScanTest, SkipToCloseParenStopsAtTheNul) {
  for (const char* text : {"(a, (b)", "", "((("}) {
    SCOPED_TRACE(text);
    Load(text);
    ScriptMemory::StoreByte(End() + 1, ')');
    TextPosition p = SourceStart + (text[0] != 0 ? 1 : 0);
    EXPECT_FALSE(SkipToCloseParen(p));
    EXPECT_EQ(p, End());
  }
}

TEST_F(ScanTest, StepOneNeverPassesTheNul) {
  Load("a");
  TextPosition p = SourceStart;
  StepOne(p);
  StepOne(p);
  EXPECT_EQ(p, End());
}

}  // namespace
}  // namespace vorla::test
