// The statement executor: runs statements and bodies straight from the text.
#pragma once
#include "core/state.h"

namespace vorla {

// Runs the one statement that begins at the first non-blank character at p and
// leaves p at its end. Answers whether ErrorPosition is set.
bool ExecStatement(TextPosition& p, Scope scope);

// Runs one statement, followed by a one-character step, or one brace block with
// its leading `var` lines. Answers whether ErrorPosition is set.
bool ExecBody(TextPosition& p, Scope scope);

}  // namespace vorla
