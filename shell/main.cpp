// Program entry: the command line and the banner, loading, and the run on a thread
// whose stack holds the deepest nesting the interpreter allows. Every way out
// after the banner passes Finish, which settles the exit status.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "builtins/output.h"
#include "builtins/table.h"
#include "core/state.h"
#include "platform/terminal_console.h"
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
  vorla::TerminalConsole* console;
  vorla::RunOutcome outcome;
};

// The run thread takes every signal, so that the console's handlers run where
// the script runs; the terminal is the run's from here on.
void* RunThread(void* run) {
  sigset_t none;
  sigemptyset(&none);
  pthread_sigmask(SIG_SETMASK, &none, nullptr);
  Run& r = *static_cast<Run*>(run);
  r.console->TakeTerminal();
  r.outcome = vorla::RunProgram();
  return nullptr;
}

// Runs the loaded script on a thread with kInterpreterStackBytes of stack.
// Answers 0, or why no such thread could be had (an errno value): the script
// never runs on a smaller stack, and the terminal is then left untouched.
int RunOnInterpreterStack(Run& run) {
  pthread_attr_t attr;
  int error = pthread_attr_init(&attr);
  if (error != 0) return error;
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old);
  pthread_t thread;
  error = pthread_attr_setstacksize(&attr, vorla::kInterpreterStackBytes);
  if (error == 0) error = pthread_create(&thread, &attr, RunThread, &run);
  if (error == 0) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return error;
}

// Writes `text` to standard error after the output so far, on a line of its
// own where both go to one file or pipe; the output's bytes stay as they are.
void WriteErrors(vorla::TerminalConsole& console, const std::string& text) {
  if (text.empty()) return;
  console.Flush();
  if (console.ErrorsContinueOutputLine()) std::fputc('\n', stderr);
  std::fwrite(text.data(), 1, text.size(), stderr);
}

// Ends the output's last line on a terminal, writes out the output and puts
// the terminal back, then writes the diagnostic, if any. A write that failed
// on the way, or fails now, and a read of the keys that failed make any run
// end with status 1 and their reasons.
int Finish(vorla::TerminalConsole& console, int status, const std::string& diagnostic = "") {
  console.EndLastLine();
  console.Restore();
  std::string errors = diagnostic;
  if (int error = console.ReadError(); error != 0) {
    errors += "vorla: cannot read keys: " + std::string(std::strerror(error)) + "\n";
    status = kFailedStatus;
  }
  WriteErrors(console, errors);
  if (int error = console.WriteError(); error != 0) {
    std::fprintf(stderr, "vorla: write error: %s\n", std::strerror(error));
    return kFailedStatus;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  vorla::TerminalConsole console;
  vorla::ResetProgramState(&console);
  vorla::InstallBuiltins();
  vorla::UseEngine = vorla::EngineWanted(std::getenv("VORLA_DECODE"));
  const vorla::CommandLine line = vorla::AnswerCommandLine(argc, argv);
  if (line.answered) return Finish(console, *line.answered);
  const char* script = line.script;
  // Colour only for a person reading a terminal that shows it, who has not asked for none.
  const bool colour =
      console.ErrorsAreTerminal() && vorla::ColourWanted(std::getenv("NO_COLOR"), std::getenv("TERM"));
  if (line.check) return vorla::CheckScripts(line.scripts, colour);
  const vorla::Loading loading = vorla::LoadScript(script);
  if (loading.result != vorla::LoadResult::Loaded) {
    const char* said = loading.result == vorla::LoadResult::CannotOpen ? "cann't open " : "file too large: ";
    vorla::PrintConstant(said + std::string(script) + "\n");
    return Finish(console, kFailedStatus, vorla::LoadFailure(loading, script));
  }
  if (loading.unread > 0) WriteErrors(console, vorla::ComposeTextEnd(script, loading.unread, colour));
  Run run{&console, vorla::RunOutcome::Error};
  if (int error = RunOnInterpreterStack(run); error != 0) {
    return Finish(console, kFailedStatus,
                  "vorla: cannot get a " + std::to_string(vorla::kInterpreterStackBytes >> 20) +
                      " MiB stack for the interpreter: " + std::strerror(error) + "\n");
  }
  return Finish(console, vorla::ExitStatus(run.outcome),
                vorla::ComposeDiagnostic(vorla::LastRunEnd(), script, colour));
}
