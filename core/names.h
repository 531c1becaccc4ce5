// Name resolution: which variable slot or routine row a name in the text means.
// Both lookups work on the text in place and record no fault.
#pragma once
#include "core/state.h"
#include "core/textcache.h"

namespace vorla {

// The newest visible slot whose name stands at p (and is not directly followed
// by a name character or '('), or -1. The answer depends on the text, the
// scope, VariableCount, GlobalCount and the slots' names; it is remembered per
// text position with all but the text, which SlotNamesVersion stands for in
// part, and looked up again only when one of them differs. A name directly
// followed by '(' means no slot in any scope while the slots' names are whole
// (see names.cpp); that holds for the rest of the text generation.
int SearchVariable(TextPosition p, Scope scope);
inline int FindVariable(TextPosition p, Scope scope) {
  uint32_t offset = p - kSourceBase;
  if (offset < kSourceSize) {
    const VariableAnswer& e = VariableAnswers[offset];
    if (e.generation == TextAnswerGeneration && e.version == SlotNamesVersion && e.scopeBase == scope.ScopeBase &&
        e.top == scope.Top && e.count == VariableCount) {
      return e.slot;
    }
  }
  return SearchVariable(p, scope);
}

// The first row whose whole name begins the text at p, or -1. Nothing after the
// name is tested, so a longer name finds a routine whose name begins it.
int FindRoutine(TextPosition p);

}  // namespace vorla
