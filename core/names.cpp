// Name resolution: variables under the scope rule, routines in table order.
#include "core/names.h"

#include <algorithm>

#include "core/scan.h"
#include "core/textcache.h"

namespace vorla {

// Whether the first `length` characters at `name` stand at p.
static bool NamePresent(TextPosition p, TextPosition name, int32_t length) {
  if (PeekText(p) != PeekText(name)) return false;
  for (int32_t i = 1; i < length; i++) {
    if (PeekText(p + TextPosition(i)) != PeekText(name + TextPosition(i))) return false;
  }
  return true;
}

static bool VariableAt(TextPosition p, const Variable& v) {
  if (!NamePresent(p, v.Name, v.NameLength)) return false;
  uint8_t next = PeekText(p + TextPosition(v.NameLength));
  return !IsNameChar(next) && next != '(';
}

// The frame's slots from Top (or VariableCount) down to ScopeBase, newest
// first; then the globals below the frame.
static int SearchSlots(TextPosition p, Scope scope) {
  int top = std::min(scope.Top, VariableCount);
  int base = std::max(scope.ScopeBase, 0);
  for (int i = top - 1; i >= base; i--) {
    if (VariableAt(p, VariableTable[i])) return i;
  }
  for (int i = std::min({GlobalCount, base, top}) - 1; i >= 0; i--) {
    if (VariableAt(p, VariableTable[i])) return i;
  }
  return -1;
}

// Whether every live slot's name is a run of name characters. Each name is
// one when its slot is named, and only a store into the text can break one
// up, so this is checked once per text generation: slots named later in it
// are named from the text as it stands.
static bool LiveNamesWhole() {
  if (WholeNamesGeneration == TextAnswerGeneration) return true;
  for (int i = 0; i < VariableCount; i++) {
    const Variable& v = VariableTable[i];
    for (int32_t k = 0; k < v.NameLength; k++) {
      if (!IsNameChar(PeekText(v.Name + TextPosition(k)))) return false;
    }
  }
  WholeNamesGeneration = TextAnswerGeneration;
  return true;
}

// Whether the name at p is directly followed by '(' while the live names are
// whole: then no slot can mean it in any scope, since a name of its length is
// followed by the '(' and a longer one would have to hold the '('.
static bool NameOfCall(TextPosition p) {
  TextPosition end = p;
  while (IsNameChar(PeekText(end))) end++;
  return PeekText(end) == '(' && LiveNamesWhole();
}

int SearchVariable(TextPosition p, Scope scope) {
  uint32_t offset = p - kSourceBase;
  if (offset < kSourceSize && CallNames[offset] == TextAnswerGeneration) return -1;
  int slot = SearchSlots(p, scope);
  if (offset < kSourceSize) {
    VariableAnswers[offset] = {TextAnswerGeneration, SlotNamesVersion, scope.ScopeBase, scope.Top, VariableCount, slot};
    if (slot < 0 && NameOfCall(p)) CallNames[offset] = TextAnswerGeneration;
  }
  return slot;
}

[[gnu::noinline]] static int SearchRoutine(TextPosition p) {
  for (int row = 0; row < RoutineCount; row++) {
    if (NamePresent(p, RoutineTable[row].Name, RoutineTable[row].NameLength)) return row;
  }
  return -1;
}

// The answer at a text position holds while no row is added or removed.
int FindRoutine(TextPosition p) {
  uint32_t row;
  if (RecallAnswer(TextAnswer::RoutineRow, p, uint32_t(RoutineCount), row)) return int(row);
  row = uint32_t(SearchRoutine(p));
  RememberAnswer(TextAnswer::RoutineRow, p, uint32_t(RoutineCount), row);
  return int(row);
}

}  // namespace vorla
