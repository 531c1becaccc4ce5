// Line input. The editor echoes what it stores: printable keys and TAB, Enter
// as a lone CR; backspace and Ctrl-X erase with BS, space, BS per byte; ESC
// ends the line at once; a piped line keeps its first 125 bytes and its line
// end. The typed text is then evaluated with no variable visible; functions it
// calls get their frames above every live slot.
#include "builtins/input.h"

#include "builtins/output.h"
#include "core/chars.h"
#include "core/expr.h"
#include "core/names.h"
#include "platform/console.h"

namespace vorla {

namespace {

constexpr uint8_t kEnter = kCR;

void Echo(uint8_t b) {
  ActiveConsole->Write(&b, 1);
  EndOutput();
}

void EraseOne() {
  static constexpr uint8_t kErase[] = {kBackspace, kSpace, kBackspace};
  InputLength--;
  ActiveConsole->Write(kErase, 3);
  EndOutput();
}

// Stores and echoes an accepted byte; answers false when the line is full.
// A person sees a full line refuse its Enter and erases; keys from a pipe or
// file cannot, so there the last place is kept for the line end.
bool Accept(uint8_t b) {
  int32_t room = b == kEnter || ActiveConsole->KeysAreTyped() ? kMaxTypedLength : kMaxPipedLength;
  if (InputLength >= room) return false;
  Echo(b);
  ScriptMemory::StoreByte(kInputBase + InputLength++, b);
  return true;
}

}  // namespace

bool ReadLine() {
  InputLength = 0;
  for (;;) {
    if (ActiveConsole->OutputFailed()) return false;  // the echo failed: the run is stopping
    int key = ActiveConsole->ReadKey();
    if (key == kNoMoreKeys) {
      // The input ended mid-line: as ESC. A read that failed ends the run.
      if (InputLength > 0 && !ActiveConsole->KeysFailed()) return true;
      RequestStop();
      return false;
    }
    int code = static_cast<int8_t>(key);  // 128..255 are never accepted
    if (code == kBackspace) {
      if (InputLength > 0) EraseOne();
    } else if (code == kCtrlX) {
      while (InputLength > 0) EraseOne();
    } else if (code == kEsc) {
      return true;
    } else if (code == kEnter) {
      if (Accept(kEnter)) return true;
    } else if (code == kTab || (code >= 32 && code <= 126)) {
      Accept(uint8_t(code));
    }
  }
}

Value BuiltinInput(Value, Value) {
  if (!ReadLine()) return 0;
  const int32_t savedDepth = OperandDepth;
  const int32_t savedCount = VariableCount;
  ScriptMemory::StoreByte(kInputBase + InputLength, ';');
  // A NUL after the ';' keeps an error report of this line to the typed text.
  ScriptMemory::StoreByte(kInputBase + InputLength + 1, kNul);
  EvaluatingInputLine = true;
  TextPosition p = kInputBase;
  EvalExpression(p, Scope{0, 0}, 0);
  EvaluatingInputLine = false;
  Value result = OperandDepth == savedDepth + 1 ? OperandStack[savedDepth] : 0;
  OperandDepth = savedDepth;
  ReleaseSlots(savedCount);
  return result;
}

}  // namespace vorla
