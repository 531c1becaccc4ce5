// The text read again after a run, to explain it: the loaded script and the
// line typed for Input_ as the run left them, and what stands at a place, in
// the words the diagnostics use.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "core/state.h"

namespace vorla {

std::string Quote(std::string_view s);

class TextReader {
 public:
  // `typedLine` is the copy of InputLine that the run's end took (kInputSize
  // bytes): the report's line number has been built in its tail since.
  explicit TextReader(const uint8_t* typedLine) : typed_(typedLine) {}

  uint8_t Byte(TextPosition p) const { return InInput(p) ? typed_[p - kInputBase] : Peek(p); }
  bool Spells(TextPosition p, std::string_view text) const;
  // The run of name characters at p.
  std::string NameAt(TextPosition p) const;
  // The name that ends just before p, past blanks back to it, or "".
  std::string NameBefore(TextPosition p) const;
  std::string RoutineName(int32_t row) const;
  std::string VariableName(int32_t slot) const;

  // Where the typed text ends: its line end, or the ';' that Input_ added.
  TextPosition TypedEnd() const;
  bool AtTypedEnd(TextPosition p) const { return InInput(p) && p >= TypedEnd(); }
  // The first byte of the text that p stands in: the script or the typed line.
  TextPosition TextStart(TextPosition p) const { return InInput(p) ? kInputBase : SourceStart; }
  TextPosition LineStart(TextPosition p) const;
  bool FirstOnLine(TextPosition p) const;
  // Past blanks and '#' comments, as the interpreter reads them.
  TextPosition AfterBlanks(TextPosition p) const;
  // Back from p over blanks, not past the start of its text.
  TextPosition BackOverBlanks(TextPosition p) const;
  // The parameter list of a script routine's definition that holds p, or -1.
  int32_t ParameterListAt(TextPosition p) const;

  // What stands at p, in words: 'name', ';', the end of the line, a blank...
  std::string Found(TextPosition p) const;
  // "on line N" for a place in the text, "in the typed line" for one there.
  std::string OnLine(TextPosition p) const;
  // ", defined on line N" for a script routine.
  std::string Defined(int32_t row) const;
  // The keyword literal that ends at p, quoted, or "the statement".
  std::string KeywordBefore(TextPosition p) const;
  // 'name' or 'name[...]', the variable that begins at p.
  std::string Target(TextPosition p) const;

 private:
  // The `length` characters of the name at `name`, cut at kLongestNameShown.
  std::string Spelled(TextPosition name, int32_t length) const;

  const uint8_t* typed_;
};

}  // namespace vorla
