// The run driver: one loaded script from its declarations to its end.
#pragma once
#include <cstddef>

#include "core/state.h"

namespace vorla {

// The stack the program runs RunProgram on. The native depth limits
// (kMaxNesting, kMaxCallDepth; a platform with less stack lowers them) are
// fixed, so the deepest nesting a script can reach takes a known amount of
// stack: about 10 MiB measured, 23 MiB under the sanitizers.
// Half of this is the margin for shapes of nesting not measured.
// tests/unit/limits_test.cpp measures the deepest shapes in every build and
// fails once they take more than half: a change that makes the evaluator's or
// the executor's frames larger must raise this, or the limits must come down.
inline constexpr size_t kInterpreterStackBytes = size_t(64) << 20;

enum class RunOutcome { Finished, Stopped, MissingMain, Error };

// Resets the interpreter, reads the globals and definitions, runs `main`, and
// reports a missing `main` or the first error with its line.
RunOutcome RunProgram();

// The head of a run: resets the interpreter and reads the globals and the
// definitions. Answers where reading them stopped; a fault that ended it is
// pending.
TextPosition ReadDefinitions();

// What the last run left for its explanation besides the interpreter's state.
struct RunEnd {
  RunOutcome outcome;
  TextPosition definitionsEnd;    // where reading the definitions stopped
  FaultRecord definitionsFault;   // the fault pending there; kind None when there was none
  uint8_t typedLine[kInputSize];  // InputLine before the report's line number was built in its tail
};
const RunEnd& LastRunEnd();

// ReadDefinitions, keeping in `head` where reading stopped and the fault
// pending there, as a run and a check both need them.
void ReadHead(RunEnd& head);

// 1 plus the line ends of the loaded text before `at`; a position outside the
// text (in a typed input line) is on line 1.
Value LineOf(TextPosition at);

// Whether the interpreter runs compiled code, from the setting of
// VORLA_DECODE: only "0" turns it off and runs the walker alone, so that every
// run can be compared with
// the text read as it stands.
bool EngineWanted(const char* setting);

// The exit status of a run that ended this way.
int ExitStatus(RunOutcome outcome);

}  // namespace vorla
