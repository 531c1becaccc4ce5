// Routine calls: built-ins and script routines, as functions inside
// expressions and as procedures at the start of a statement.
#pragma once
#include "core/state.h"

namespace vorla {

// The name at p is no visible variable: call it as a function. On success one
// Value is pushed and p stands just past the call's ')'. A name that is no
// function is a fault at the name, with p left on it.
void CallFunction(TextPosition& p, Scope scope);

// The statement at p begins with a name that is no visible variable: call it
// as a procedure; p ends just past the call's ')'.
void CallProcedure(TextPosition& p, Scope scope);

// The scope that a script routine's arguments are evaluated in, when its new
// frame begins at `base`: every live variable below it (none at all for a
// line typed into Input_).
inline Scope ArgumentScope(Scope caller, int32_t base) {
  return {0, caller.Top == kLiveTop ? base : (caller.Top < base ? caller.Top : base)};
}

}  // namespace vorla
