// The command line: one script path to run, or an option answered at once.
#include "shell/command_line.h"

#include <cstdio>
#include <string_view>

#include "builtins/output.h"
#include "core/state.h"
#include "platform/console.h"

namespace vorla {

namespace {

constexpr int kAnsweredStatus = 0;
constexpr int kUsageStatus = 2;

constexpr std::string_view kUsage =
    "usage: vorla SCRIPT        run the script file SCRIPT\n"
    "       vorla --help | -h   print this help\n"
    "       vorla --version     print the version line\n"
    "Write a SCRIPT name that begins with - as ./NAME.\n";

constexpr std::string_view kKeysAndStatus =
    "keys: space pauses the script at an output, ESC stops it, Ctrl-C ends vorla\n"
    "exit status: 0 done or stopped, 1 load failure, error or write error, 2 usage\n"
    "manual: man vorla\n";

bool IsOption(std::string_view argument) {
  return argument.size() > 1 && argument[0] == '-';
}

}  // namespace

std::optional<int> AnswerCommandLine(int argc, char** argv) {
  std::string_view argument = argc == 2 ? argv[1] : "";
  if (argc == 2 && (argument == "--help" || argument == "-h")) {
    PrintConstant(kUsage);
    PrintConstant(kKeysAndStatus);
    return kAnsweredStatus;
  }
  if (argc == 2 && argument == "--version") return kAnsweredStatus;
  if (argc == 2 && !IsOption(argument)) return std::nullopt;
  ActiveConsole->Flush();  // the banner before the usage, where both show
  std::fwrite(kUsage.data(), 1, kUsage.size(), stderr);
  return kUsageStatus;
}

}  // namespace vorla
