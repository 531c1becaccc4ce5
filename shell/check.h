// The check: reads scripts as a run would, and every routine body whole,
// without running anything, and says on standard error where each is certain
// to fault and which traps it holds.
#pragma once
#include <vector>

namespace vorla {

// Checks each script in turn: its load, its globals and definitions, the
// search for `main`, then every body, every branch and loop body included.
// Each finding is a diagnostic in the run's form; a summary line per script
// counts them. Answers the exit status: 0 when no script holds an error
// (warnings aside), 1 otherwise.
int CheckScripts(const std::vector<const char*>& scripts, bool colour);

}  // namespace vorla
