// Name resolution: variables under the scope rule, routines in table order.
#include "core/names.h"

#include "core/scan.h"

namespace vorla {

bool NamePresent(TextPosition p, TextPosition name, int32_t length) {
  if (PeekText(p) != PeekText(name)) return false;
  for (int32_t i = 1; i < length; i++) {
    if (PeekText(p + TextPosition(i)) != PeekText(name + TextPosition(i))) return false;
  }
  return true;
}

bool VariableNamedAt(TextPosition p, TextPosition name, int32_t length) {
  if (!NamePresent(p, name, length)) return false;
  uint8_t next = PeekText(p + TextPosition(length));
  return !IsNameChar(next) && next != '(';
}

int FindVariable(TextPosition p, Scope scope) {
  const Visible visible(scope);
  for (int32_t s = visible.top - 1; s >= visible.base; s--) {
    if (VariableNamedAt(p, VariableTable[s].Name, VariableTable[s].NameLength)) return s;
  }
  for (int32_t s = visible.GlobalTop() - 1; s >= 0; s--) {
    if (VariableNamedAt(p, VariableTable[s].Name, VariableTable[s].NameLength)) return s;
  }
  return -1;
}

int FindRoutine(TextPosition p) {
  for (int row = 0; row < RoutineCount; row++) {
    if (NamePresent(p, RoutineTable[row].Name, RoutineTable[row].NameLength)) return row;
  }
  return -1;
}

}  // namespace vorla
