// Declarations: `var` name lists, the global section and routine headers.
#include "core/declare.h"

#include "core/scan.h"
#include "core/names.h"

namespace vorla {

// name {, name} ;  — a fault leaves the cursor on the offending character.
int32_t DeclareVariables(TextPosition& p, bool allowDuplicates) {
  if (HasError()) return 0;
  int32_t count = 0;
  for (;;) {
    SkipBlanks(p);
    if (!IsNameChar(PeekText(p))) {
      Fault(p, FaultKind::NameExpected);
      return count;
    }
    if (int slot; !allowDuplicates && (slot = FindVariable(p, kEveryLiveVariable)) >= 0) {
      Fault(p, FaultKind::DuplicateVariable, {.number = slot});
      return count;
    }
    if (VariableCount >= kMaxVariables) {
      Fault(p, FaultKind::VariablesFull, {.number = kMaxVariables});
      return count;
    }
    int32_t length = NameLengthAt(p);
    PushSlot(p, length);  // its Value is kept as it was
    count++;
    p += TextPosition(length);
    SkipBlanks(p);
    if (PeekText(p) == ';') {
      p++;
      return count;
    }
    if (PeekText(p) != ',') {
      Fault(p, FaultKind::CommaOrSemicolonExpected);
      return count;
    }
    p++;
  }
}

void DeclareGlobals(TextPosition& p) {
  for (;;) {
    SkipBlanks(p);
    if (!AcceptKeywordAndBlank(p, "var")) break;
    if (DeclareVariables(p, false) <= 0 || HasError()) break;
  }
  GlobalCount = VariableCount;
}

// func name(params) body  |  proc name(params) body
bool DefineRoutine(TextPosition& p) {
  SkipBlanks(p);
  Kind kind;
  TextPosition name = p;
  if (AcceptKeyword(name, "func ")) {
    kind = Kind::Function;
  } else if (AcceptKeyword(name, "proc ")) {
    kind = Kind::Procedure;
  } else {
    return false;
  }
  // A name must begin with a name character, or the routine could never be called.
  const bool named = IsNameChar(PeekText(name));
  const int taken = named ? FindRoutine(name) : -1;
  if (!named || taken >= 0 || RoutineCount >= kMaxRoutines) {
    const FaultKind kind = !named ? FaultKind::RoutineNameExpected
                           : taken >= 0 ? FaultKind::RoutineNameTaken
                                        : FaultKind::RoutinesFull;
    Fault(name, kind, {.row = taken, .number = kMaxRoutines - InstalledLibrary.BuiltinCount});
    p = name;
    return false;
  }
  int32_t length = 1 + NameLengthAt(name + 1);
  TextPosition after = name + TextPosition(length);
  if (PeekText(after) != '(') {
    Fault(after, FaultKind::ParenExpectedAfterName, {.origin = name});
    p = after;
    return false;
  }
  RoutineEntry& row = RoutineTable[RoutineCount];
  row = {kind, 0, 0, name, length, 0, nullptr};
  RoutineCount++;
  ScriptMemory::AdvanceGeneration();  // a name in the text may now find this row
  p = after + 1;
  bool closed = SkipToCloseParen(p);
  row.Target = p;
  if (!closed) {
    Fault(p, FaultKind::ParameterListNotClosed, {.origin = name});
    return false;
  }
  if (!SkipStatement(p)) {
    Fault(p, FaultKind::BodyNotClosed, {.origin = row.Target, .row = RoutineCount - 1});
    return false;
  }
  return true;
}

}  // namespace vorla
