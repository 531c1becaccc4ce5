// Fault kinds: what went wrong where a fault is recorded, with the details its
// explanation needs. The interpreter only records them (state.h's Fault); the
// shell turns them into words after the run.
#pragma once
#include <cstdint>

#include "core/memory.h"

namespace vorla {

enum class FaultKind : uint8_t {
  None,
  // The expression evaluator.
  OperandExpected,       // a character that begins no operand, or nothing after an operator
  OperatorExpected,      // where an operator or the end of the expression stands, a character that is none
  ValueExpected,         // a whole expression that leaves no Value: x = ;, if (), a[]
  CloseParenExpected,    // origin: the '('
  CloseBracketExpected,  // origin: the '['
  LiteralNotClosed,      // the text ends inside a string or character literal; origin: its quote
  BadCharacterLiteral,   // an apostrophe that opens no 'c'
  AddressOutside,        // origin: the name; number: the address; extra: the variable's Value
  OperandsFull,          // number: kMaxOperands
  NestingTooDeep,        // number: NestingLimit
  // Names and calls.
  UnknownName,            // neither a variable nor a routine; number, extra: the top and the base of
                          // the slots it could have meant (names.h's Visible), below both the globals
  ProcedureInExpression,  // row
  FunctionAsStatement,    // row
  CallsTooDeep,           // row; number: CallDepthLimit
  InputInTypedLine,       // row: Input_ called from the line typed for it
  NameAtEndOfText,        // a call's name with nothing after it
  ArgumentExpected,       // a built-in's argument that leaves no Value
  ArgumentCount,          // a list that did not end after as many arguments as row takes:
                          // number: the arguments it takes; extra: those read
  ArgumentsNotClosed,     // the text ends inside an argument list
  ParameterListBroken,    // row: its definition's parameter list does not end at ')'
  VariablesFull,          // number: kMaxVariables
  // Statements.
  ConditionNotClosed,    // origin: where the condition begins, after "if (" or "while ("
  ForHeaderNotClosed,    // origin: just after "for ("
  BodyNotClosed,         // origin: where the body begins; row: the routine whose body it is, or -1
  WhileExpected,         // origin: just after "do "
  AssignExpected,        // origin: the variable's name
  RightSideFailed,       // origin: the variable's name; only ever re-points an earlier fault
  StatementExpected,     // origin: the '{' of the block
  // Declarations and definitions.
  NameExpected,              // a list item that does not begin with a name character
  DuplicateVariable,         // number: the slot that has the name
  CommaOrSemicolonExpected,  // after a name of a list
  RoutineNameExpected,       // after "func " or "proc ", no name character
  RoutineNameTaken,          // row: the routine whose name begins the new one
  RoutinesFull,              // number: the rows left for the script's routines
  ParenExpectedAfterName,    // origin: the routine's name
  ParameterListNotClosed,    // origin: the routine's name
  // Found only by a check of the script without running it (vorla --check).
  DefinitionsEnd,            // reading the definitions stops here, and the text after it is never read
  // Traps: text that runs, but not as it reads. A run never records them; a
  // check warns of them.
  NameRunsOn,                // row: the routine that a longer name calls
  BitwiseMixed,              // number: the other operator; origin: where it stands
  ComparisonWithBitwise,     // number: the comparison's first character; origin: where it stands
  StrayBody,                 // a character that stands as a body of one statement
  StatementAfterBody,        // origin: the body of one statement that it looks meant for
  ConstantZeroDivisor,       // at the '/' or '%' whose right operand is the constant 0
  Count
};

// Whether a finding of the kind is a trap, which a check reports as a
// warning, rather than a fault.
inline constexpr bool IsTrap(FaultKind kind) { return kind >= FaultKind::NameRunsOn && kind < FaultKind::Count; }

// What a kind's explanation needs besides the position; each kind says above
// which fields it sets.
struct FaultDetails {
  TextPosition origin = 0;  // where the construct began
  int32_t row = -1;         // a RoutineTable row
  int32_t number = 0;       // a limit, a count, an address, a slot
  int32_t extra = 0;        // a second count, the Value an address came from
};

struct FaultRecord {
  TextPosition at = 0;
  FaultKind kind = FaultKind::None;
  // A fault was pending: this one only names where a statement's own reading
  // stopped, and the first fault of the run is kept apart (FirstFault).
  bool repointed = false;
  int32_t callDepth = 0;  // script routine calls running then
  FaultDetails details;
};

}  // namespace vorla
