// Ordinary code for generated programs: expressions, statements and routines
// of every kind the language has, valid and bounded (loops count down fixed
// counters, recursion counts down its first parameter), to surround the
// shapes under test. Where asked, it records its digits, operators and names
// as targets that a self-modifying shape may rewrite.
#pragma once
#include <string>
#include <vector>

#include "fuzz/choices.h"
#include "fuzz/program_text.h"

namespace vorla::fuzz {

struct RoutineInfo {
  std::string name;
  bool function;
  int params;
  bool recursive;  // its first parameter counts down; callers pass 0 to 3
};

// What code at one place may use.
struct Context {
  std::vector<std::string> reads;     // variables it may read
  std::vector<std::string> writes;    // variables it may assign
  std::vector<std::string> counters;  // loop counters no enclosing loop uses
  bool function = false;              // in a function's body: `return` may be assigned
  size_t callable = 0;                // ordinary routines [0, callable) may be called
  int loops = 0;                      // loops around this place
};

// The statements main runs before anything else: `_s = "";` and the two of
// the prologue.
inline constexpr int kPrologueStatements = 3;

class OrdinaryCode {
 public:
  OrdinaryCode(Program& program, Choices& choices);

  // The globals ordinary code uses, and main's locals and first statements.
  void Prologue();
  // Defines `count` routines, each of which may call those defined before it.
  void DefineRoutines(int count);
  // Everything main's top level may use.
  Context MainContext() const;
  // The head of a routine's definition with a block body, "func NAME(a, b) {"
  // and the var line of its locals t, u and j0; answers what its body may
  // use. A recursive routine's countdown, its first parameter, is not
  // assigned. The routine is not one that ordinary code calls.
  Context OpenRoutine(Piece& out, const RoutineInfo& r);
  const std::vector<RoutineInfo>& Routines() const { return routines_; }

  // An expression; `depth` counts the levels above it (the deepest is 3).
  void Expression(Piece& out, const Context& at, int depth, Targets* targets = nullptr);
  // One statement (with its ';' where it has one), at `indent` blanks.
  void Statement(Piece& out, const Context& at, int indent, Targets* targets = nullptr);
  // `count` statements, one a line.
  void Statements(Piece& out, const Context& at, int count, int indent, Targets* targets = nullptr);
  // A call of an ordinary routine of that kind, when there is one: name and
  // arguments, no ';'. Answers whether it wrote one.
  bool Call(Piece& out, const Context& at, bool function, int depth, Targets* targets = nullptr);
  // A statement that prints something short (and polls the keyboard, but
  // for PrnChar_), with its ';'.
  void Output(Piece& out, const Context& at, Targets* targets = nullptr);
  // An assignment, an indexed store, an output or a procedure call, with its
  // ';' right after its last character.
  void Simple(Piece& out, const Context& at, Targets* targets = nullptr);

 private:
  void Operand(Piece& out, const Context& at, int depth, Targets* targets);
  void Literal(Piece& out, Targets* targets);
  void Operator(Piece& out, Targets* targets, bool& divides);
  void Index(Piece& out, const Context& at, int depth, Targets* targets, int mask);
  void Arguments(Piece& out, const Context& at, const RoutineInfo& r, int depth, Targets* targets);
  void Assignment(Piece& out, const Context& at, Targets* targets);
  void If(Piece& out, const Context& at, int indent, Targets* targets);
  void For(Piece& out, const Context& at, int indent, Targets* targets);
  void Do(Piece& out, const Context& at, int indent, Targets* targets);
  // A body: one simple statement on the same line, or a block that may open
  // with locals of its own.
  void Body(Piece& out, const Context& at, int indent, Targets* targets);
  void Block(Piece& out, const Context& at, int indent, Targets* targets);
  void DefineRoutine();
  // What the body of `r` may use: the globals, its parameters, and with
  // `locals` its locals t, u and the counter j0.
  Context RoutineContext(const RoutineInfo& r, bool locals) const;

  Program& program_;
  Choices& c_;
  std::vector<RoutineInfo> routines_;
  std::vector<std::string> globals_;
};

// `n` blanks of indentation.
std::string Indent(int n);

// What the body of a loop that counts `counter` may use: the counter is
// read there, never assigned, and no inner loop counts it.
Context InsideLoop(Context at, const std::string& counter);

}  // namespace vorla::fuzz
