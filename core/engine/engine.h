// The engine: runs a script's routine bodies from code compiled once per text
// generation, and hands a construct over to the walker (core/resume.h) where
// the walker's own reading is needed. Everything a script can observe — its
// output, its variables and their slots, every fault and cursor, OperandStack,
// NestingDepth, CallDepth and the step budget — moves exactly as the walker
// moves it; VORLA_DECODE=0 runs the walker alone to compare.
#pragma once
#include "core/state.h"

namespace vorla {

// Compiles every routine body of the loaded script as the text now reads,
// and runs `main`'s body, which begins at p, as the run driver
// runs it, with the scope `scope`. p is left where the walker would leave it.
void RunMainCompiled(TextPosition& p, Scope scope);

// Where a check of a script without running it reports what it finds.
class Findings {
 public:
  virtual ~Findings() = default;
  // A place certain to fault when it runs, whatever the values, as the run
  // would record it first; or a trap (IsTrap). Called while VariableTable
  // holds, after the globals, the frame of the routine as it stands there.
  virtual void Found(const FaultRecord& finding) = 0;
};

// Compiles every routine body of the loaded script, whose globals and
// definitions are read, as a run would compile it, and reports to `findings`
// every place in any body, every branch and loop body included, that is
// certain to fault when it runs, and every trap. Runs nothing.
void CheckProgram(Findings& findings);

// What the engine compiled and the size of its fixed tables, for the
// internals page and the tests.
struct EngineCounts {
  int32_t routinesCompiled;  // bodies compiled whole, main's own included
  int32_t walkerStatements;  // statements left to the walker as they are not well formed
  size_t tableBytes;         // the fixed tables the compiled code lives in
  uint64_t generation;       // the text generation the code was compiled for
};
EngineCounts LastCompile();

}  // namespace vorla
