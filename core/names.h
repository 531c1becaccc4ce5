// Name resolution: which variable slot or routine row a name in the text means,
// and the one way slots are named and released. Both lookups work on the text
// in place and record no fault.
#pragma once
#include <algorithm>

#include "core/state.h"

namespace vorla {

// Names slot VariableCount (its Value is kept as it was) and makes it live.
// The caller has checked that a slot is free.
inline void PushSlot(TextPosition name, int32_t length) {
  Variable& v = VariableTable[VariableCount++];
  v.Name = name;
  v.NameLength = length;
}

// Releases the live slots from `count` up: VariableCount goes back to count.
inline void ReleaseSlots(int32_t count) { VariableCount = count; }

// The slots visible from `scope`: the frame from ScopeBase up to Top (or
// VariableCount), then the globals below both.
struct Visible {
  int32_t top, base;
  explicit Visible(Scope scope) : top(std::min(scope.Top, VariableCount)), base(std::max(scope.ScopeBase, 0)) {}
  // The visible globals are the slots below this.
  int32_t GlobalTop() const { return std::min({GlobalCount, base, top}); }
};

// Whether a variable named by the `length` characters at `name` is meant by
// the text at p: its whole name stands there, and the byte after it is
// neither a name character nor '('.
bool VariableNamedAt(TextPosition p, TextPosition name, int32_t length);

// The newest visible slot whose name stands at p, or -1: the running frame
// from its newest slot down, then the globals from the newest down.
int FindVariable(TextPosition p, Scope scope);

// Whether the first `length` characters at `name` stand at p (nothing after
// them is tested).
bool NamePresent(TextPosition p, TextPosition name, int32_t length);

// The first row whose whole name begins the text at p, or -1. Nothing after the
// name is tested, so a longer name finds a routine whose name begins it.
int FindRoutine(TextPosition p);

}  // namespace vorla
