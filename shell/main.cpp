// Program entry: the banner, the command line, loading, and the run on a thread
// whose stack holds the deepest nesting the interpreter allows. Every way out
// after the banner passes Finish, which settles the exit status.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "builtins/output.h"
#include "builtins/table.h"
#include "core/state.h"
#include "platform/host.h"
#include "shell/command_line.h"
#include "shell/diagnostic.h"
#include "shell/load.h"
#include "shell/run.h"

namespace {

// The script cannot be loaded, the stack cannot be had, output cannot be
// written, or keys cannot be read.
constexpr int kFailedStatus = 1;

struct Run {
  vorla::HostConsole* console;
  vorla::RunOutcome outcome;
};

// On the interpreter's own thread: the terminal is the run's from here on.
void RunScript(void* run) {
  Run& r = *static_cast<Run*>(run);
  r.console->TakeTerminal();
  r.outcome = vorla::RunProgram();
}

// Ends the output's last line on a terminal and writes out the output, then
// the diagnostic, if any, and puts the terminal back: colour set up for the
// diagnostic lasts until it is written. A write that failed on the way, or
// fails now, and a read of the keys that failed make any run end with status
// 1 and their reasons.
int Finish(vorla::HostConsole& console, int status, const std::string& diagnostic = "") {
  console.EndLastLine();
  console.Flush();
  std::fwrite(diagnostic.data(), 1, diagnostic.size(), stderr);
  if (int error = console.ReadError(); error != 0) {
    std::fprintf(stderr, "vorla: cannot read keys: %s\n", vorla::SystemErrorText(error).c_str());
    status = kFailedStatus;
  }
  int error = console.WriteError();
  if (error != 0) {
    std::fprintf(stderr, "vorla: write error: %s\n", vorla::SystemErrorText(error).c_str());
  }
  console.Restore();
  return error != 0 ? kFailedStatus : status;
}

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<vorla::HostConsole> host = vorla::OpenHostConsole();
  vorla::HostConsole& console = *host;
  vorla::ResetProgramState(&console);
  vorla::InstallBuiltins();
  vorla::DecodeText = vorla::DecodingWanted(std::getenv("VORLA_DECODE"));
  vorla::PrintConstant("vorla Ver0.01a 2016/01/31 by quillmar\n");
  if (std::optional<int> status = vorla::AnswerCommandLine(argc, argv)) {
    return Finish(console, *status);
  }
  switch (vorla::LoadScript(argv[1])) {
    case vorla::LoadResult::CannotOpen:
      vorla::PrintConstant(std::string("cann't open ") + argv[1] + "\n");
      return Finish(console, kFailedStatus);
    case vorla::LoadResult::TooLarge:
      vorla::PrintConstant(std::string("file too large: ") + argv[1] + "\n");
      return Finish(console, kFailedStatus);
    case vorla::LoadResult::Loaded: break;
  }
  Run run{&console, vorla::RunOutcome::Error};
  // The script never runs on a smaller stack, and the terminal is then left untouched.
  if (int error = vorla::RunOnStack(vorla::kInterpreterStackBytes, RunScript, &run); error != 0) {
    return Finish(console, kFailedStatus,
                  "vorla: cannot get a " + std::to_string(vorla::kInterpreterStackBytes >> 20) +
                      " MiB stack for the interpreter: " + vorla::SystemErrorText(error) + "\n");
  }
  // Colour only for a person reading a terminal who has not asked for none.
  const bool colour = console.ErrorsShowColour() && std::getenv("NO_COLOR") == nullptr;
  return Finish(console, vorla::ExitStatus(run.outcome),
                vorla::ComposeDiagnostic(vorla::LastRunEnd(), argv[1], colour));
}
