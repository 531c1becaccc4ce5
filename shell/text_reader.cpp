// The text read again after a run: bytes, names, lines and the words that
// say what stands at a place, for the diagnostics and their rules.
#include "shell/text_reader.h"

#include "core/chars.h"
#include "core/scan.h"
#include "shell/run.h"

namespace vorla {

namespace {

constexpr size_t kLongestNameShown = 64;

}  // namespace

std::string Quote(std::string_view s) { return "'" + std::string(s) + "'"; }

bool TextReader::Spells(TextPosition p, std::string_view text) const {
  for (size_t i = 0; i < text.size(); i++) {
    if (Byte(p + TextPosition(i)) != uint8_t(text[i])) return false;
  }
  return true;
}

std::string TextReader::NameAt(TextPosition p) const {
  std::string name;
  while (IsNameChar(Byte(p)) && name.size() < kLongestNameShown) name += char(Byte(p++));
  return name;
}

std::string TextReader::NameBefore(TextPosition p) const {
  const TextPosition start = TextStart(p);
  if (p < start) return "";
  p = BackOverBlanks(p);
  TextPosition end = p;
  while (p > start && IsNameChar(Byte(p - 1))) p--;
  return p < end ? NameAt(p) : "";
}

std::string TextReader::Spelled(TextPosition name, int32_t length) const {
  std::string spelled;
  for (int32_t i = 0; i < length && spelled.size() < kLongestNameShown; i++) spelled += char(Byte(name + TextPosition(i)));
  return spelled;
}

std::string TextReader::RoutineName(int32_t row) const {
  if (row < 0 || row >= RoutineCount) return "?";
  return Spelled(RoutineTable[row].Name, RoutineTable[row].NameLength);
}

std::string TextReader::VariableName(int32_t slot) const {
  return Spelled(VariableTable[slot].Name, VariableTable[slot].NameLength);
}

TextPosition TextReader::TypedEnd() const {
  TextPosition end = kInputBase + TextPosition(InputLength < int32_t(kInputSize) ? InputLength : kInputSize);
  for (TextPosition p = kInputBase; p < end; p++) {
    if (Byte(p) == kCR) return p;
  }
  return end;
}

TextPosition TextReader::LineStart(TextPosition p) const {
  const TextPosition start = TextStart(p);
  while (p > start && Byte(p - 1) != kCR) p--;
  return p;
}

bool TextReader::FirstOnLine(TextPosition p) const {
  for (TextPosition s = LineStart(p); s < p; s++) {
    if (!IsBlank(Byte(s))) return false;
  }
  return true;
}

TextPosition TextReader::AfterBlanks(TextPosition p) const {
  for (int guard = 0; guard < int(kSourceSize) && Byte(p) != kNul; guard++) {
    if (IsBlank(Byte(p))) {
      p++;
    } else if (Byte(p) == '#') {
      while (Byte(p) != kCR && Byte(p) != kNul) p++;
    } else {
      break;
    }
  }
  return p;
}

TextPosition TextReader::BackOverBlanks(TextPosition p) const {
  const TextPosition start = TextStart(p);
  while (p > start && IsBlank(Byte(p - 1))) p--;
  return p;
}

int32_t TextReader::ParameterListAt(TextPosition p) const {
  for (int32_t row = InstalledLibrary.BuiltinCount; row < RoutineCount; row++) {
    const RoutineEntry& e = RoutineTable[row];
    if (p > e.Name + TextPosition(e.NameLength) && p < e.Target) return row;
  }
  return -1;
}

std::string TextReader::Found(TextPosition p) const {
  uint8_t c = Byte(p);
  if (AtTypedEnd(p)) return "the end of the typed line";
  if (c == kNul) return "the end of the text";
  if (c == kCR) return "the end of the line";
  if (c == ' ') return "a blank";
  if (c == kTab) return "a tab";
  if (IsNameChar(c)) return Quote(NameAt(p));
  if (c > 32 && c < 127) return Quote(std::string(1, char(c)));
  static const char kHex[] = "0123456789ABCDEF";
  return std::string("the byte 0x") + kHex[c >> 4] + kHex[c & 15];
}

std::string TextReader::OnLine(TextPosition p) const {
  if (InInput(p)) return "in the typed line";
  return "on line " + std::to_string(LineOf(p));
}

std::string TextReader::Defined(int32_t row) const {
  if (row < 0 || row >= RoutineCount || !InSource(RoutineTable[row].Name)) return "";
  return ", defined " + OnLine(RoutineTable[row].Name);
}

std::string TextReader::KeywordBefore(TextPosition p) const {
  for (std::string_view k : {"while (", "for (", "if (", "do "}) {
    if (p >= k.size() && Spells(p - TextPosition(k.size()), k)) return Quote(k);
  }
  return "the statement";
}

std::string TextReader::Target(TextPosition p) const {
  std::string name = NameAt(p);
  return Quote(Byte(p + TextPosition(name.size())) == '[' ? name + "[...]" : name);
}

}  // namespace vorla
