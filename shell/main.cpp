// Program entry: the banner, the command line, loading, and the run on a stack
// large enough for the deepest nesting the interpreter allows.
#include <pthread.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "builtins/output.h"
#include "builtins/table.h"
#include "core/state.h"
#include "platform/terminal_console.h"
#include "shell/command_line.h"
#include "shell/load.h"
#include "shell/run.h"

namespace {

constexpr int kLoadFailedStatus = 1;
// Room for kMaxNesting levels of nesting even in a sanitizer build.
constexpr size_t kInterpreterStack = size_t(512) << 20;

void* RunThread(void* outcome) {
  *static_cast<vorla::RunOutcome*>(outcome) = vorla::RunProgram();
  return nullptr;
}

// Runs the loaded script on its own thread with a large stack.
vorla::RunOutcome RunOnLargeStack() {
  vorla::RunOutcome outcome = vorla::RunOutcome::Error;
  pthread_attr_t attr;
  pthread_t thread;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kInterpreterStack);
  if (pthread_create(&thread, &attr, RunThread, &outcome) != 0) {
    RunThread(&outcome);  // no thread to be had: run on this stack
  } else {
    pthread_join(thread, nullptr);
  }
  pthread_attr_destroy(&attr);
  return outcome;
}

int Finish(vorla::Console& console, int status) {
  console.Flush();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  vorla::TerminalConsole console;
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
      return Finish(console, kLoadFailedStatus);
    case vorla::LoadResult::TooLarge:
      vorla::PrintConstant(std::string("file too large: ") + argv[1] + "\n");
      return Finish(console, kLoadFailedStatus);
    case vorla::LoadResult::Loaded: break;
  }
  vorla::RunOutcome outcome = RunOnLargeStack();
  return Finish(console, vorla::ExitStatus(outcome));
}
