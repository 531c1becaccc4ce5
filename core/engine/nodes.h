// The engine's compiled code: one tree of nodes per routine body, in fixed
// pools filled when a run begins. Pure nodes compute a Value without calls in
// registers; evaluation nodes mirror the walker's evaluations one for one
// (each pushes its Value on OperandStack as the walker does), so that any of
// them can hand the rest over to the walker at its exact state; statement
// and body nodes mirror ExecStatement and ExecBody with every position the
// walker's cursor takes. Internal to core/engine.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/names.h"
#include "core/operators.h"
#include "core/resume.h"
#include "core/state.h"

namespace vorla::engine {

// ---- Variables as compiled ----

// Where a name's variable lies: a slot of the running frame (from its first
// slot), a global slot, or, in an argument list, a name that the frames of
// the callers may hold (found when it runs; `slot` is then the answer when
// none of them does: a global, or -1).
enum class VarKind : uint8_t { Frame, Global, Dynamic };
struct VarRef {
  VarKind kind;
  uint8_t bit;       // Dynamic: the name's bit in the frames' name masks
  int16_t slot;
  TextPosition at;   // Dynamic: the name in the text
};

// The bit of the name of `length` characters at `name` in a frame's mask.
inline uint64_t NameBit(TextPosition name, int32_t length) {
  const uint32_t h = uint32_t(PeekText(name)) * 31u + uint32_t(length) * 7u +
                     uint32_t(PeekText(name + TextPosition(length) - 1));
  return uint64_t(1) << (h & 63u);
}

struct Routine;

// One running body: the frame it sees and what a hand-over needs.
struct Activation {
  Variable* frame;         // VariableTable from the frame's first slot
  int32_t base;            // the frame's first slot: ScopeBase
  int32_t nesting;         // NestingDepth before the body's own level
  int32_t argTop;          // in an argument list: the slots its names may see end here
  uint64_t outer;          // the name bits of every frame below this one
  const Routine* routine;
  TextPosition cursor;     // after a hand-over: where the walker left the construct
  bool gaveUp;             // a pure node met what only the walker does
  Scope BodyScope() const { return {base, kLiveTop}; }
  Scope ArgumentScope() const { return {0, argTop}; }
};

// The slot of a name in an argument list that a caller's frame may hold:
// looked up among every slot the argument sees when one of the frames below
// has its bit; -1 when it names no variable there.
inline int DynamicSlot(const VarRef& v, const Activation& a) {
  return (a.outer >> v.bit & 1) == 0 ? v.slot : FindVariable(v.at, a.ArgumentScope());
}

// ---- Pure expressions ----

struct Pure;
using PureRun = Value (*)(const Pure&, Activation&);
struct Pure {
  PureRun run;
  const Pure* left;
  const Pure* right;
  Value value;   // a constant; the constant right operand of a fused node
  VarRef var;    // the variable a leaf or an indexed read reads; a fused node's left variable
  VarRef var2;   // a fused node's right variable
  uint8_t op;    // a prefix operator
};

// A pure expression as a construct takes it: its top node, and whether it
// may write Modulo_, which a give-up puts back.
struct PureRoot {
  const Pure* node;
  bool divides;
};

// ---- Evaluations with calls ----

struct Eval;
struct Routine;

// One argument as a call reads it: pure or an evaluation, and where it
// begins (just past the '(' or ',') and stops.
struct Argument {
  PureRoot pure;
  const Eval* eval;
  TextPosition start;
};

struct Call {
  int16_t row;
  bool function;
  bool builtin;
  bool inArgument;     // the call stands in an argument list itself
  uint8_t count;       // arguments read
  int16_t level;       // NestingDepth at the call, less the activation's
  TextPosition name;
  TextPosition end;    // just past its ')'
  const Argument* args;
  const Routine* callee;
};

enum class OperandKind : uint8_t { Pure, Walker, Call, Parenthesised, Prefixed, Indexed };

// A binary operator an evaluation applies, with its right operand.
struct Step {
  Op op;
  uint8_t level;             // the operator's level: the right operand's minimum level
  TextPosition rightStart;   // just past the operator
  TextPosition rightStop;    // where the right operand stops
  PureRoot pure;
  const Eval* eval;
};

// EvalExpression(first, minLevel) as the walker makes it.
struct Eval {
  OperandKind kind;
  uint8_t minLevel;
  uint8_t prefix;
  bool inArgument;
  uint16_t count;           // steps
  int16_t level;            // NestingDepth inside it, less the activation's
  TextPosition first;       // its operand's first character
  TextPosition operandEnd;  // just past the operand
  TextPosition open;        // Parenthesised, Indexed: the '(' or '['
  PureRoot pure;            // Pure: the operand
  const Call* call;         // Call
  const Eval* inner;        // Parenthesised, Prefixed, Indexed (the index)
  VarRef var;               // Indexed: the variable
  bool bytes;               // Indexed: a name beginning with '_'
  const Step* steps;
};

// ---- Statements and bodies ----

struct Body;
struct Stmt;
using StmtRun = bool (*)(const Stmt&, Activation&);

// A name a block's `var` line or a frame declares.
struct NameSlot {
  TextPosition name;
  int32_t length;
};

// One statement, as ExecStatement runs it from `start` (its first
// character). Each kind uses its own fields.
struct Stmt {
  StmtRun run;
  TextPosition start;
  TextPosition end;       // where ExecStatement leaves the cursor when all goes well
  TextPosition next;      // in a block: where the next statement begins, or the '}'
  int16_t level;          // NestingDepth at the statement, less the activation's
  // assignment
  VarRef target;
  bool bytes;
  TextPosition open;      // the '[' of an index; the condition's start of if and do
  TextPosition valueStart;
  PureRoot index, value;  // or the condition
  const Eval* indexEval;
  const Eval* valueEval;  // or the condition
  // call
  const Call* call;
  // if, for, do
  const Body* first;      // if: the first branch; for, do: the body
  const Body* second;     // if: the else branch, run when the condition is 0
  const Body* third;      // for: the step
  const Body* init;       // for: the initial statement
  TextPosition endTrue;   // if: where it ends after running the first branch
  TextPosition firstEnd;  // if: where the first branch ends; do: where the body ends
  TextPosition header;    // for: just after "for ("; do: just after "do "
  TextPosition conditionStart;
  TextPosition stepStart;
  bool hasCondition;
};

// ExecBody from `start`: one statement with the step past the character
// after it, or a block with its `var` lines.
struct Body;
using BodyRun = bool (*)(const Body&, Activation&);
struct Body {
  BodyRun run;            // as a block, as one statement, or by the walker
  bool walker;            // not compiled: the walker runs it
  bool block;
  int16_t level;          // NestingDepth inside it, less the activation's
  uint16_t locals;
  uint16_t count;
  int32_t localBase;      // the frame slot of its first local
  TextPosition start;     // where ExecBody begins (before the blanks)
  TextPosition end;       // where ExecBody leaves the cursor when all goes well
  TextPosition open;      // block: the '{'
  const Stmt* statement;  // one statement
  const NameSlot* names;  // the block's locals
  const Stmt* const* statements;
};

// A routine's body compiled for one frame layout.
// (Plain data without initializers, so that the tables cost nothing before
// a run: a cleared Routine is one that holds nothing.)
struct Routine {
  bool valid;             // its frame could be read: the parameter list ends at ')'
  bool compiled;          // its body is compiled
  const Body* body;
  TextPosition bodyStart;
  const NameSlot* frame;  // the frame's names: "return" for a function, then the parameters
  int32_t frameSize;
  int32_t parameters;
  uint64_t bits;          // the name bits of every name the frame may hold
  int32_t maxLevel;       // the deepest NestingDepth inside it, less the activation's
  int32_t maxOperands;    // the most Values its statements hold on OperandStack at once
  int32_t maxLocals;      // the most slots its blocks' locals take at once
  // The guards a call checks once: the code runs when NestingDepth,
  // OperandDepth and VariableCount are at most these as the body begins
  // (all -1 when it is not compiled), so that no limit is reached inside.
  int32_t nestingLimit;
  int32_t operandLimit;
  int32_t slotLimit;
};

// ---- Running ----

// The generation of the text the code was compiled for; it holds while the
// memory's generation is the same.
extern uint64_t CompiledGeneration;
inline bool TextStands() { return ScriptMemory::Generation() == CompiledGeneration; }

// After the walker ran a part: whether the engine may go on at `expected`.
inline bool Clean(TextPosition at, TextPosition expected) {
  return at == expected && !HasError() && TextStands();
}

// A Value pushed as the walker pushes it; a routine's guards leave room.
inline void PushValue(Value v) { OperandStack[OperandDepth++] = v; }

// The Value of a pure expression; false, with Modulo_ as it was and nothing
// else changed, where the walker must evaluate it instead.
[[nodiscard]] [[gnu::always_inline]] inline bool EvalPure(const PureRoot& root, Activation& a, Value& out) {
  if (!root.divides) {
    out = root.node->run(*root.node, a);
    if (!a.gaveUp) return true;
    a.gaveUp = false;
    return false;
  }
  const Value modulo = Modulo();
  out = root.node->run(*root.node, a);
  if (!a.gaveUp) return true;
  a.gaveUp = false;
  Modulo() = modulo;
  return false;
}

// Runs an evaluation: answers false when it pushed its Value as the walker
// would, true when the walker took the rest over (a.cursor is where it
// stopped; its Value, if any, is on OperandStack).
bool RunEval(const Eval& e, Activation& a);
// Runs a call as an operand (function) or a statement (procedure); the same
// answer, with a.cursor just past the call when all went well.
bool RunCall(const Call& c, Activation& a);
// Runs a body; answers false when it ended at body.end with nothing for the
// walker to do, true when a.cursor says where it ended.
inline bool RunBody(const Body& b, Activation& a) { return b.run(b, a); }
// Runs a routine's body in the frame at `base`, compiled or else by the
// walker, after its frame is built; answers where the body ended.
TextPosition RunRoutine(const Routine* r, TextPosition bodyStart, int32_t base, uint64_t outer);

// The routines of the pure nodes, chosen by the compiler.
struct PureRoutines {
  static PureRun Constant();
  static PureRun Variable(VarKind kind);
  static PureRun Indexed(VarKind kind);
  static PureRun Prefix();
  static PureRun Binary(Op op);
  static PureRun WithConstant(Op op);
  static PureRun VariableWithConstant(Op op, VarKind kind);
  static PureRun VariableWithVariable(Op op, VarKind left, VarKind right);
  static bool IsConstant(PureRun run);
  static bool IsVariable(PureRun run);
};

// The statement routines, chosen by the compiler.
struct StatementRoutines {
  static StmtRun Empty();
  static StmtRun Walker();
  static StmtRun Assign(bool indexed, bool pure, VarKind kind);
  static StmtRun CallStatement();
  static StmtRun If(bool pure);
  static StmtRun For(bool pure);
  static StmtRun Do(bool pure);
  static BodyRun Body(bool walker, bool block);
};

// The compiled code of script routine `row` as a callee, or nullptr.
const Routine* CalleeCode(int row);

}  // namespace vorla::engine
