// Declarations: `var` name lists, the global section and routine headers.
#include "core/declare.h"

#include "core/names.h"
#include "core/scan.h"

namespace vorla {

static int32_t NameLengthAt(TextPosition p) {
  int32_t n = 0;
  while (IsNameChar(PeekText(p + TextPosition(n)))) n++;
  return n;
}

// name {, name} ;  — a fault leaves the cursor on the offending character.
int32_t DeclareVariables(TextPosition& p, bool allowDuplicates) {
  if (HasError()) return 0;
  int32_t count = 0;
  for (;;) {
    SkipBlanks(p);
    if (!IsNameChar(PeekText(p))) {
      Fault(p);
      return count;
    }
    if (!allowDuplicates && FindVariable(p, kEveryLiveVariable) >= 0) {
      Fault(p);
      return count;
    }
    if (VariableCount >= kMaxVariables) {
      Fault(p);
      return count;
    }
    int32_t length = NameLengthAt(p);
    NameSlot(VariableCount++, p, length);  // its Value is kept as it was
    count++;
    p += TextPosition(length);
    SkipBlanks(p);
    if (PeekText(p) == ';') {
      p++;
      return count;
    }
    if (PeekText(p) != ',') {
      Fault(p);
      return count;
    }
    p++;
  }
}

void DeclareGlobals(TextPosition& p) {
  for (;;) {
    SkipBlanks(p);
    if (!MatchKeywordAndBlank(p, "var")) break;
    p += 4;
    if (DeclareVariables(p, false) <= 0 || HasError()) break;
  }
  SetGlobalCount(VariableCount);
}

// func name(params) body  |  proc name(params) body
bool DefineRoutine(TextPosition& p) {
  SkipBlanks(p);
  Kind kind;
  if (PeekText(p) == 'f' && MatchKeyword(p, "func ")) {
    kind = Kind::Function;
  } else if (PeekText(p) == 'p' && MatchKeyword(p, "proc ")) {
    kind = Kind::Procedure;
  } else {
    return false;
  }
  TextPosition name = p + 5;
  // A name must begin with a name character, or the routine could never be called.
  if (!IsNameChar(PeekText(name)) || FindRoutine(name) >= 0 || RoutineCount >= kMaxRoutines) {
    Fault(name);
    p = name;
    return false;
  }
  int32_t length = 1 + NameLengthAt(name + 1);
  TextPosition after = name + TextPosition(length);
  if (PeekText(after) != '(') {
    Fault(after);
    p = after;
    return false;
  }
  RoutineEntry& row = RoutineTable[RoutineCount];
  row = {kind, 0, 0, name, length, 0, nullptr};
  RoutineCount++;
  p = after + 1;
  bool closed = SkipToCloseParen(p);
  row.Target = p;
  if (!closed) {
    Fault(p);
    return false;
  }
  if (!SkipStatement(p)) {
    Fault(p);
    return false;
  }
  return true;
}

}  // namespace vorla
