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

// The walker's statements from partway, where decoded code leaves them.
// if: the branches, after a condition that gave `condition`.
void IfBranches(TextPosition& p, Scope scope, Value condition);
// for: every pass from the condition at p on, after the initial statement;
// `header` is just after "for (".
void ForPasses(TextPosition& p, Scope scope, TextPosition header);
// do: every pass from the body at bodyStart on.
void DoPasses(TextPosition& p, Scope scope, TextPosition bodyStart);
// do: after the body, up to p, ran: the "while (" and the condition. Answers
// whether the loop goes on; `bodyStart` is just after "do ".
[[nodiscard]] bool DoConditionHolds(TextPosition& p, Scope scope, TextPosition bodyStart);

}  // namespace vorla
