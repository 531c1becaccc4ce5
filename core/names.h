// Name resolution: which variable slot or routine row a name in the text means.
// Both lookups work on the text in place and record no fault.
#pragma once
#include "core/state.h"

namespace vorla {

// The newest visible slot whose name stands at p (and is not directly followed
// by a name character or '('), or -1.
int FindVariable(TextPosition p, Scope scope);

// The first row whose whole name begins the text at p, or -1. Nothing after the
// name is tested, so a longer name finds a routine whose name begins it.
int FindRoutine(TextPosition p);

}  // namespace vorla
