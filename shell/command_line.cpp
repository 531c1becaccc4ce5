// The command line: the banner, then one script path to run, or an option
// answered at once.
#include "shell/command_line.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/output.h"
#include "core/state.h"
#include "platform/console.h"

namespace vorla {

namespace {

constexpr int kAnsweredStatus = 0;
constexpr int kUsageStatus = 2;

constexpr std::string_view kBanner = "vorla Ver0.01a 2016/01/31 by quillmar\n";

constexpr std::string_view kUsage =
    "usage: vorla [-q] [--] SCRIPT   run the script file SCRIPT\n"
    "       vorla --check SCRIPT... read the scripts without running them and report\n"
    "                               every place certain to fault, and the traps\n"
    "       vorla --help | -h       print this help\n"
    "       vorla --version         print the version line\n"
    "options: -q, --quiet   leave out the banner line\n"
    "         --            end the options: a SCRIPT after it may begin with -\n";

constexpr std::string_view kKeysAndStatus =
    "keys: space pauses the script at an output, ESC stops it, Ctrl-C ends vorla\n"
    "exit status: 0 done or stopped, 1 load failure, error or write error, 2 usage\n"
    "manual: man vorla\n";

enum class Asked { Run, Check, Help, Version };

bool IsOption(std::string_view argument) { return argument.size() > 1 && argument[0] == '-'; }

// What the arguments ask for, and what is wrong with them, if anything.
struct Reading {
  Asked asked = Asked::Run;
  std::string_view option;  // the option that asked for help or the version
  bool quiet = false;
  std::vector<const char*> named;
  std::string wrong;

  void Take(const char* argument, bool optionsEnded) {
    const std::string_view a = argument;
    if (optionsEnded || !IsOption(a)) {
      named.push_back(argument);
    } else if (a == "-q" || a == "--quiet") {
      quiet = true;
    } else if (a == "-h" || a == "--help" || a == "--version" || a == "--check") {
      if (asked == Asked::Run) {  // the first of them is answered
        option = a;
        asked = a == "--version" ? Asked::Version : a == "--check" ? Asked::Check : Asked::Help;
      }
    } else if (wrong.empty()) {
      wrong = "unknown option '" + std::string(a) + "'";
    }
  }

  // The first thing wrong, in the order a reader would look for it.
  void Judge() {
    if (!wrong.empty()) return;
    const size_t scripts = named.size();
    if (asked == Asked::Check && scripts == 0) wrong = "no script to check";
    if ((asked == Asked::Help || asked == Asked::Version) && scripts > 0) {
      wrong = "'" + std::string(option) + "' takes no script";
    }
    if (asked == Asked::Run && scripts > 1) wrong = "one script at a time";
    if (asked == Asked::Run && scripts == 0) wrong = "no script to run";
  }
};

}  // namespace

CommandLine AnswerCommandLine(int argc, char** argv) {
  Reading r;
  bool optionsEnded = false;
  for (int i = 1; i < argc; i++) {
    if (!optionsEnded && std::string_view(argv[i]) == "--") {
      optionsEnded = true;
    } else {
      r.Take(argv[i], optionsEnded);
    }
  }
  r.Judge();
  if ((!r.quiet && r.asked != Asked::Check) || r.asked == Asked::Version) PrintConstant(kBanner);
  if (!r.wrong.empty()) {
    ActiveConsole->Flush();  // the banner before the usage, where both show
    const std::string text = "vorla: " + r.wrong + "\n" + std::string(kUsage) + "Try 'vorla --help'.\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    return {nullptr, kUsageStatus, false, {}};
  }
  if (r.asked == Asked::Help) {
    PrintConstant(kUsage);
    PrintConstant(kKeysAndStatus);
  }
  if (r.asked == Asked::Check) return {nullptr, std::nullopt, true, r.named};
  if (r.asked != Asked::Run) return {nullptr, kAnsweredStatus, false, {}};
  return {r.named[0], std::nullopt, false, {}};
}

}  // namespace vorla
