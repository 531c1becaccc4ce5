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
[[gnu::noinline]] static int SearchVariable(TextPosition p, int top, int base) {
  for (int i = top - 1; i >= base; i--) {
    if (VariableAt(p, VariableTable[i])) return i;
  }
  for (int i = std::min({GlobalCount, base, top}) - 1; i >= 0; i--) {
    if (VariableAt(p, VariableTable[i])) return i;
  }
  return -1;
}

// The answer depends on the text, the names of the slots below `top`,
// GlobalCount and the bounds; it is remembered per text position with the
// bounds and SlotNamesVersion, which changes with any of those names.
int FindVariable(TextPosition p, Scope scope) {
  int top = std::min(scope.Top, VariableCount);
  int base = std::clamp(scope.ScopeBase, 0, kMaxVariables);
  uint32_t bounds = uint32_t(std::max(top, 0)) << 8 | uint32_t(base);
  uint32_t slot;
  if (RecallAnswer(TextAnswer::VariableSlot, p, SlotNamesVersion, slot, bounds)) return int(slot);
  slot = uint32_t(SearchVariable(p, top, base));
  RememberAnswer(TextAnswer::VariableSlot, p, SlotNamesVersion, slot, bounds);
  return int(slot);
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
