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

int SearchVariable(TextPosition p, Scope scope) {
  int slot = SearchSlots(p, scope);
  uint32_t offset = p - kSourceBase;
  if (offset < kSourceSize) {
    VariableAnswers[offset] = {TextAnswerGeneration, SlotNamesVersion, scope.ScopeBase, scope.Top, VariableCount, slot};
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
