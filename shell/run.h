// The run driver: one loaded script from its declarations to its end.
#pragma once

namespace vorla {

enum class RunOutcome { Finished, Stopped, MissingMain, Error };

// Resets the interpreter, reads the globals and definitions, runs `main`, and
// reports a missing `main` or the first error with its line.
RunOutcome RunProgram();

// Whether the interpreter reads the text's decoded form, from the setting of
// VORLA_DECODE: only "0" turns it off, so that every run can be compared with
// the text read as it stands.
bool DecodingWanted(const char* setting);

// The exit status of a run that ended this way.
int ExitStatus(RunOutcome outcome);

}  // namespace vorla
