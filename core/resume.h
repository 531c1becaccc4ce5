// Where the engine hands a construct over to the walker. The engine runs a
// compiled body until something asks for the walker's own reading: a fault or
// a stop, a store that changed the text, a limit, or a part that it does not
// compile. It then hands the construct it is in to the walker at exactly the
// cursor, OperandStack, NestingDepth and VariableCount the walker would have
// there, through one of these points, and the walker reads the rest from the
// text as it stands. Each point is the second half of a walker routine, which
// the walker itself runs the same way; none of them knows the engine.
//
// Values an evaluation holds are on OperandStack as the walker holds them;
// `depth` is OperandDepth when the inner evaluation began, `entryDepth` when
// the enclosing evaluation began. `scope` is the scope the construct's names
// are read in.
#pragma once
#include "core/scan.h"
#include "core/state.h"

namespace vorla {

// ---- Whole constructs, from their start ----

// One operand, from its first character (after the blanks before it).
void ReadOperand(TextPosition& p, Scope scope);
// The statement whose first character is at p, already counted against the
// step budget.
void RunCountedStatement(TextPosition& p, Scope scope);
// (EvalExpression, expr.h; ExecStatement and ExecBody, exec.h.)

// ---- The rest of an expression ----

// The operators after an evaluation's first operand, from just past it.
void ContinueOperators(TextPosition& p, Scope scope, int minLevel, int32_t entryDepth);
// After the right operand of `op` stopped at p: the operator, then the rest.
void ResumeAfterRightOperand(TextPosition& p, Scope scope, Op op, int minLevel, int32_t depth, int32_t entryDepth);
// ( expression ) after the expression, the '(' at `open`.
void FinishParenthesised(TextPosition& p, TextPosition open, int32_t depth);
// A prefix operator `op` after its operand.
void FinishPrefixed(TextPosition& p, uint8_t op, int32_t depth);
// name[index] read, after the index that began past the '[' at `open`; the
// name at `name` means `slot`.
void ResumeIndexedRead(TextPosition& p, TextPosition name, int slot, TextPosition open, int32_t depth);
// The built-in in `row` after its argument k stopped at p (args holds the
// arguments before it): the rest of its list and the call. Answers whether
// the call was made; `result` is then what it gave.
[[nodiscard]] bool ResumeBuiltinCall(TextPosition& p, Scope scope, int row, int k, Value (&args)[2], int32_t depth,
                                     Value& result);
// The script routine in `row`, whose frame of n parameters begins at `base`
// and whose body begins at `body`, after its argument k stopped at p: the
// rest of the arguments, the body and the frame's release. Answers whether
// the body ran; `result` is then the result variable's Value.
[[nodiscard]] bool ResumeScriptCall(TextPosition& p, Scope argScope, int row, int32_t base, TextPosition body,
                                    int32_t n, int k, int32_t depth, Value& result);

// ---- The rest of a statement or a block ----

// After a statement that began at `start` in the block whose '{' is at
// `open` and which began with VariableCount `saved`: the rest of the block.
void ContinueBlock(TextPosition& p, Scope scope, TextPosition start, TextPosition open, int32_t saved);
// if: after the condition that began at `start`; after the first branch.
void ResumeIfCondition(TextPosition& p, Scope scope, TextPosition start, int32_t depth);
void ResumeIfBranch(TextPosition& p, Scope scope, Value condition);
// for, its header just after "for (" at `header`: every pass from the
// condition at p, after the initial statement; after a pass's condition
// stopped at c; after its body, run from `body`; after its step, run from
// `step`. p is left where the loop ends.
void ResumeForPasses(TextPosition& p, Scope scope, TextPosition header);
void ResumeForCondition(TextPosition& p, Scope scope, TextPosition c, TextPosition header,
                        TextPosition conditionStart, int32_t depth);
void ResumeForBody(TextPosition& p, Scope scope, TextPosition body, TextPosition step, TextPosition header,
                   TextPosition conditionStart);
void ResumeForStep(TextPosition& p, Scope scope, TextPosition step, TextPosition header,
                   TextPosition conditionStart);
// do, its body just after "do " at `bodyStart`: after the body ran up to p;
// after the condition that began at `start` stopped at p.
void ResumeDoBody(TextPosition& p, Scope scope, TextPosition bodyStart);
void ResumeDoCondition(TextPosition& p, Scope scope, TextPosition bodyStart, TextPosition start, int32_t depth);

// Where an assignment stores: the variable itself, or the bytes its index
// reaches from its Value `base`.
struct StoreTarget {
  bool indexed = false;
  bool inMemory = true;
  uint32_t address = 0;
  uint32_t width = 4;
  Value base = 0;
};
// An assignment to `slot`, named at `name`: after its index that began past
// the '[' at `open`; after its right-hand side.
void ResumeAssignmentIndex(TextPosition& p, Scope scope, TextPosition name, int slot, TextPosition open,
                           int32_t depth);
void ResumeAssignmentValue(TextPosition& p, TextPosition name, int slot, const StoreTarget& target, int32_t depth);

}  // namespace vorla
