// Program entry: the command line and the banner, loading, and the run on a
// thread whose stack holds the deepest nesting the interpreter allows, or the
// check of scripts without running them. Every way out of a run passes Finish,
// which settles the exit status. The same on every platform: platform/host.h
// gives the console and the thread.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "builtins/output.h"
#include "builtins/table.h"
#include "core/state.h"
#include "platform/host.h"
#include "shell/check.h"
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

// Writes `text` to standard error after the output so far, on a line of its
// own where both go to one file or pipe; the output's bytes stay as they are.
void WriteErrors(vorla::HostConsole& console, const std::string& text) {
  if (text.empty()) return;
  console.Flush();
  if (console.ErrorsContinueOutputLine()) std::fputc('\n', stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

// Ends the output's last line on a terminal and writes out the output, then
// the diagnostic, if any, and puts the terminal back: colour set up for the
// diagnostic lasts until it is written. A write that failed on the way, or
// fails now, and a read of the keys that failed make any run end with status
// 1 and their reasons.
int Finish(vorla::HostConsole& console, int status, const std::string& diagnostic = "") {
  console.EndLastLine();
  console.Flush();
  std::string errors = diagnostic;
  if (int error = console.ReadError(); error != 0) {
    errors += "vorla: cannot read keys: " + vorla::SystemErrorText(error) + "\n";
    status = kFailedStatus;
  }
  WriteErrors(console, errors);
  const int error = console.WriteError();
  if (error != 0) std::fprintf(stderr, "vorla: write error: %s\n", vorla::SystemErrorText(error).c_str());
  console.Restore();
  return error != 0 ? kFailedStatus : status;
}

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<vorla::HostConsole> host = vorla::OpenHostConsole();
  vorla::HostConsole& console = *host;
  vorla::ResetProgramState(&console);
  vorla::InstallBuiltins();
  vorla::UseEngine = vorla::EngineWanted(std::getenv("VORLA_DECODE"));
  const vorla::CommandLine line = vorla::AnswerCommandLine(argc, argv);
  if (line.answered) return Finish(console, *line.answered);
  // Colour only for a person reading a terminal that shows it, who has not asked for none.
  const bool colour = console.ErrorsShowColour() && vorla::ColourWanted(std::getenv("NO_COLOR"));
  if (line.check) return vorla::CheckScripts(line.scripts, colour);
  const char* script = line.script;
  const vorla::Loading loading = vorla::LoadScript(script);
  if (loading.result != vorla::LoadResult::Loaded) {
    const char* said = loading.result == vorla::LoadResult::CannotOpen ? "cann't open " : "file too large: ";
    vorla::PrintConstant(said + std::string(script) + "\n");
    return Finish(console, kFailedStatus, vorla::LoadFailure(loading, script));
  }
  if (loading.unread > 0) WriteErrors(console, vorla::ComposeTextEnd(script, loading.unread, colour));
  Run run{&console, vorla::RunOutcome::Error};
  // The script never runs on a smaller stack, and the terminal is then left untouched.
  if (int error = vorla::RunOnStack(vorla::kInterpreterStackBytes, RunScript, &run); error != 0) {
    return Finish(console, kFailedStatus,
                  "vorla: cannot get a " + std::to_string(vorla::kInterpreterStackBytes >> 20) +
                      " MiB stack for the interpreter: " + vorla::SystemErrorText(error) + "\n");
  }
  return Finish(console, vorla::ExitStatus(run.outcome),
                vorla::ComposeDiagnostic(vorla::LastRunEnd(), script, colour));
}
