// Decoded code: the executor for the text's decoded form. An expression
// without calls becomes a small tree of nodes, each of which computes its
// Value with the evaluator's own arithmetic and index checks; the statements
// whose parts are such expressions (assignments, and the conditions of if,
// for and do) become code that runs them at once, with the loops' positions
// read from the form.
//
// Decoded code does only what the walker does on the path where nothing
// faults. Anything else it leaves to the walker before it has changed
// anything: an expression gives up on a name that means no variable of its
// decoded length, a division by zero (the notice and its keyboard poll are
// the walker's), an index outside script memory, a nesting or operand limit;
// a statement then runs as the walker runs it. A loop whose text changes
// while it runs goes on in the walker from its next pass.
#pragma once
#include <cstdint>

#include "core/decode.h"
#include "core/names.h"
#include "core/state.h"

namespace vorla {

// A whole expression without calls, compiled from its EvalForm.
struct ExpressionCode {
  int32_t root;            // its top node
  int32_t nestingLimit;    // kMaxNesting less the deepest evaluation inside it, counted from its own
  int32_t operandLimit;    // kMaxOperands less the most Values the walker holds for it at once
  mutable NamesStamp names;
};

// Compiles the form (which has no call) as an expression; -1 when there is no
// room for it.
int32_t CompileExpression(const EvalForm& form);

// The Value of the compiled expression, evaluated as an evaluation that nests
// `levels` deeper than the current one; false, with nothing changed, where
// the walker would do anything else than yield a Value.
[[nodiscard]] bool TryExpressionCode(int32_t code, Scope scope, int levels, Value& out);

// A body that a loop's code runs itself: the empty statement, or one
// assignment with code; any other body runs through ExecBody.
enum class BodyKind : uint8_t { Other, Empty, Assign };
struct BodyCode {
  BodyKind kind;
  int32_t code;          // Assign: its StatementCode
  TextPosition first;    // where the blanks before the statement end
};

// The statements decoded code runs at once.
enum class CodeKind : uint8_t { Assign, If, For, Do };
struct StatementCode {
  CodeKind kind;
  uint16_t nameLength;     // Assign: the target's name characters
  TextPosition name;       // Assign: the target's name
  int32_t index;           // Assign: the ExpressionCode of name[index], or -1
  int32_t value;           // Assign: the ExpressionCode of the right-hand side
  int32_t nestingLimit;    // Assign: the tighter limits of its expressions
  int32_t operandLimit;
  int32_t condition;       // If, For, Do: the ExpressionCode of the condition
  TextPosition stop;       // where the right-hand side or the condition stops
  TextPosition conditionAt;  // For: where the condition begins (after the initial statement)
  TextPosition bodyAt;     // For: just past the header's ')'; Do: just past "do "
  TextPosition stepAt;     // For: just past the condition's ';'
  TextPosition exitAt;     // For: just past the body, where the loop ends
  TextPosition bodyEnd;    // Do: where the body ends, before the blanks and "while ("
  BodyCode body, step;     // For: the body and the step; Do: the body
  mutable NamesStamp names;  // Assign: the names its target's slot was found with
  mutable int32_t slot;
};

// The code of the statement whose form begins at `form`, or -1.
int32_t CompileStatement(const StatementForm& form);

const StatementCode& StatementCodeOf(int32_t code);

// Runs the statement from its code, p just past its keyword, or at its name
// for an assignment, whose target is `slot`. Answers false when it left the
// statement to the walker before doing anything.
[[nodiscard]] bool TryStatementCode(const StatementCode& code, TextPosition& p, Scope scope, int slot);

// ExecBody at p for a body that is the statement of `form`, when that is one
// assignment with code, made at once; false, with nothing done, where
// anything stands in its way (a pending fault, the nesting or statement
// limits, a target that is no variable, or anything the assignment's code
// leaves to the walker).
[[nodiscard]] bool TryAssignmentBody(const StatementForm& form, TextPosition& p, Scope scope);

// Forgets all code: the text generation changed.
void ForgetCode();

}  // namespace vorla
