// Routine calls: built-ins and script routines, as functions inside
// expressions and as procedures at the start of a statement.
#pragma once
#include "core/decode.h"
#include "core/state.h"

namespace vorla {

// The name at p is no visible variable: call it as a function, with the form
// decoded for the call at p (nullptr: none, the text is read). On success one
// Value is pushed and p stands just past the call's ')'. A name that is no
// function is a fault at the name, with p left on it.
void CallFunction(TextPosition& p, Scope scope, const CallForm* form);

// The statement at p begins with a name that is no visible variable: call it
// as a procedure, with the form decoded for the call at p (or nullptr); p
// ends just past the call's ')'.
void CallProcedure(TextPosition& p, Scope scope, const CallForm* form);

}  // namespace vorla
