// The command line: the banner, then one script path to run, or an option
// answered at once.
#pragma once
#include <optional>
#include <vector>

namespace vorla {

// What the command line asked for.
struct CommandLine {
  const char* script = nullptr;  // the script to run
  std::optional<int> answered;   // the exit status of a line that runs nothing
  bool check = false;            // --check: read `scripts` without running them
  std::vector<const char*> scripts;
};

// Reads `vorla [-q | --quiet] [--] SCRIPT`, `vorla --check SCRIPT...`,
// `--help` (-h) or `--version`, in any order, and prints the banner unless -q
// leaves it out or the line asks for a check (--version always prints it: it
// is the version line). --help prints the usage, the keys and
// the exit statuses on standard output, status 0; --version status 0. A line
// that is none of these says on standard error what was wrong, then the
// usage and "Try 'vorla --help'.", status 2. An argument that begins with '-'
// is an option, except "-" itself and every argument after "--".
CommandLine AnswerCommandLine(int argc, char** argv);

}  // namespace vorla
