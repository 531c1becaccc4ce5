// Declarations: variable name lists, the global section, routine definitions.
// Nothing is evaluated and no variable gets a value.
#pragma once
#include "core/state.h"

namespace vorla {

// Appends one slot per name of a ','-separated list ended by ';'. A list that
// stops at any other character (a parameter list at its ')') leaves the cursor
// and a fault there. With allowDuplicates false, a name that already names a
// live variable is a fault. Answers the number of names appended.
[[nodiscard]] int32_t DeclareVariables(TextPosition& p, bool allowDuplicates);

// Reads the leading `var` statements and sets GlobalCount.
void DeclareGlobals(TextPosition& p);

// Reads one "func " or "proc " definition into RoutineTable and passes over its
// body. Answers whether it recorded a routine: false at text that is no
// definition, or when the definition failed.
[[nodiscard]] bool DefineRoutine(TextPosition& p);

}  // namespace vorla
