// libFuzzer target: arbitrary bytes as a script and its keys, run through
// LoadText, the run driver and the ScriptedConsole (see run_input.h), with the
// step budget. Every run must end in one of the defined outcomes with the
// interpreter's tables back in shape; the sanitizers catch everything else.
#include <cstdio>
#include <cstdlib>

#include "fuzz/run_input.h"

namespace {

vorla::fuzz::LargeStack* runStack = nullptr;

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
  if (!vorla::fuzz::RunEndedInShape(run)) {
    std::fprintf(stderr, "run ended out of shape: outcome %d, nesting %d, calls %d, operands %d\n",
                 int(run.outcome), vorla::NestingDepth, vorla::CallDepth, vorla::OperandDepth);
    std::abort();
  }
  return 0;
}
