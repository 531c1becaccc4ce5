// Console output. Numbers are built backwards in a scratch that ends in a
// double quote, the tail of InputLine, and printed from there as a text, so
// every number output ends in the same keyboard poll as PrnStr_.
#include "builtins/output.h"

#include <cstring>

#include "core/chars.h"
#include "platform/console.h"

namespace vorla {

namespace {

constexpr int32_t kLongestField = 127;  // characters in front of the scratch's closing quote
static_assert(kInputSize == kLongestField + 1 && kSpareScratchSize == kInputSize);

void Write(const uint8_t* bytes, size_t count) {
  if (count > 0) ActiveConsole->Write(bytes, count);
}

// The first `byte` in [from, to), or `to`.
uint32_t Find(uint8_t byte, uint32_t from, uint32_t to) {
  const void* found = std::memchr(ScriptMemory::View(from), byte, to - from);
  return found != nullptr ? from + uint32_t(static_cast<const uint8_t*>(found) - ScriptMemory::View(from)) : to;
}

// Begins a number: stores the closing quote in the last byte of the number
// scratch and answers where that is; the characters go in front of it. The
// scratch is the tail of InputLine, as scripts know it; but while a typed line
// in InputLine is evaluated, it is the spare scratch, so that number output
// from the routines the line calls leaves the text being read alone.
TextPosition BeginNumber() {
  const TextPosition end = (EvaluatingInputLine ? kSpareScratchBase + kSpareScratchSize : kInputBase + kInputSize) - 1;
  ScriptMemory::StoreByte(end, kQuote);
  return end;
}

// Prints the text from p up to its closing quote or `end`; each \n in it goes
// out as CR LF, every other byte unchanged. Then polls.
void PrintText(uint32_t p, uint32_t end) {
  if (end > p) {
    const uint32_t stop = Find(kQuote, p, end);
    uint32_t run = p;  // bytes from here on go out unchanged
    for (uint32_t b; (b = Find(kBackslash, p, stop)) < stop;) {
      p = b + 1;
      if (p < stop && PeekText(p) == 'n') {
        Write(ScriptMemory::View(run), b - run);
        static constexpr uint8_t kLineBreak[] = {kCR, kLF};
        Write(kLineBreak, 2);
        run = ++p;
      }
    }
    Write(ScriptMemory::View(run), stop - run);
  }
  EndOutput();
  KeyboardPoll();
}

// Prints `digits` hexadecimal digits of v, then polls.
void PrintHex(Value v, int digits) {
  const TextPosition end = BeginNumber();
  TextPosition at = end;
  uint32_t bits = Bits(v);
  for (int i = 0; i < digits; i++, bits >>= 4) ScriptMemory::StoreByte(--at, uint8_t("0123456789ABCDEF"[bits & 15]));
  PrintText(at, end + 1);
}

}  // namespace

// The text runs to its closing quote or the end of its area (AreaEnd is 0
// outside every area: nothing is printed).
void PrnStr(Value start) {
  uint32_t p = Bits(start);
  PrintText(p, AreaEnd(p, 1));
}

void EndOutput() {
  ActiveConsole->EndOfOutput();
  if (ActiveConsole->OutputFailed()) RequestStop();
}

// Output that cannot be written has stopped the run already; nobody would see a pause.
void KeyboardPoll() {
  if (!ActiveConsole->KeysAreTyped() || ActiveConsole->OutputFailed() || !ActiveConsole->KeyWaiting()) return;
  int key = ActiveConsole->ReadKey();
  if (key == kSpace) key = ActiveConsole->ReadKey();
  if (key == kEsc || key == kNoMoreKeys) RequestStop();
}

void FormatDecimal(Value v, int32_t width) {
  if (width > kLongestField) {
    ActiveConsole->WriteRepeated(kSpace, size_t(width - kLongestField));
    width = kLongestField;
  }
  const TextPosition end = BeginNumber();
  TextPosition at = end;
  uint32_t magnitude = v < 0 ? 0u - Bits(v) : Bits(v);
  do {
    Modulo() = Value(magnitude % 10);
    ScriptMemory::StoreByte(--at, uint8_t('0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (v < 0) ScriptMemory::StoreByte(--at, '-');
  int32_t n = int32_t(end - at);
  if (width >= 1 && n > width) {
    at += TextPosition(n - width);
    ScriptMemory::StoreByte(at, '#');
  } else if (width >= 1 && n < width) {
    for (; n < width; n++) ScriptMemory::StoreByte(--at, kSpace);
  }
  PrintText(at, end + 1);
}

void PrintLine(TextPosition p) {
  TextPosition end = p;
  while (Peek(end) != kNul && Peek(end) != kCR) end++;
  if (Peek(end) == kCR) end++;
  if (end > p) Write(ScriptMemory::View(p), end - p);  // Peek is NUL past the memory, so end stays inside
  EndOutput();
}

void PrintConstant(std::string_view text) {
  Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  EndOutput();
}

void PrintDividedByZero() {
  PrintConstant(" Divided by 0 ");
  KeyboardPoll();
}

Value BuiltinPrnDec(Value v, Value) {
  FormatDecimal(v, 0);
  return 0;
}

Value BuiltinPrnStr(Value p, Value) {
  PrnStr(p);
  return 0;
}

Value BuiltinPrnDecF(Value v, Value width) {
  FormatDecimal(v, width);
  return 0;
}

Value BuiltinPrnChar(Value v, Value) {
  uint8_t b = uint8_t(Bits(v));
  Write(&b, 1);
  EndOutput();
  return 0;
}

Value BuiltinPrnHex(Value v, Value) {
  PrintHex(v, 8);
  return 0;
}

Value BuiltinPrnHexB(Value v, Value) {
  PrintHex(v, 2);
  return 0;
}

}  // namespace vorla
