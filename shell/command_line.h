// The command line: one script path to run, or an option answered at once.
#pragma once
#include <optional>

namespace vorla {

// Answers a command line that asks for no run, after the banner: --help and -h
// print the usage, the keys and the exit statuses on standard output, status 0;
// --version adds nothing to the banner, status 0; anything but exactly one
// script path (an argument that begins with '-' is an option, except "-"
// itself) prints the usage on standard error, status 2. Answers nothing when
// argv[1] is the script to run.
std::optional<int> AnswerCommandLine(int argc, char** argv);

}  // namespace vorla
