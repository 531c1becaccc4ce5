// libFuzzer target: arbitrary bytes as a script and its keys, run through
// LoadText, the run driver and the ScriptedConsole (see run_input.h), with the
// step budget. Every run must end in one of the defined outcomes with the
// interpreter's tables back in shape; the sanitizers catch everything else.
#include <cstdio>
#include <cstdlib>

#include "fuzz/run_input.h"

namespace {

vorla::fuzz::LargeStack* runStack = nullptr;

// The state a finished run must leave, whatever the script held.
void CheckEnd(const vorla::fuzz::InputRun& run) {
  using vorla::RunOutcome;
  bool ok = vorla::NestingDepth == 0 && vorla::CallDepth == 0 && vorla::OperandDepth >= 0 &&
            vorla::OperandDepth <= vorla::kMaxOperands && vorla::VariableCount >= 0 &&
            vorla::VariableCount <= vorla::kMaxVariables && vorla::RoutineCount <= vorla::kMaxRoutines &&
            !vorla::EvaluatingInputLine;
  switch (run.outcome) {
    case RunOutcome::Finished: ok = ok && vorla::ErrorPosition == vorla::kNoError; break;
    case RunOutcome::Stopped: ok = ok && vorla::ErrorPosition == vorla::StopRequested; break;
    case RunOutcome::MissingMain: ok = ok && run.output.ends_with("\nmain() ?"); break;
    case RunOutcome::Error: ok = ok && run.output.find("\nerr at ") != std::string::npos; break;
  }
  if (!ok) {
    std::fprintf(stderr, "run ended in a broken state: outcome %d, nesting %d, calls %d, operands %d\n",
                 int(run.outcome), vorla::NestingDepth, vorla::CallDepth, vorla::OperandDepth);
    std::abort();
  }
}

void ReportPeak() { std::fprintf(stderr, "peak interpreter stack: %zu bytes\n", runStack->PeakBytes()); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  runStack = new vorla::fuzz::LargeStack;
  std::atexit(ReportPeak);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorla::fuzz::InputRun run = vorla::fuzz::RunInput(data, size, *runStack);
  if (!run.loaded) return -1;  // too large to load: not worth keeping
  CheckEnd(run);
  return 0;
}
