// libFuzzer target: arbitrary bytes as a script and its keys, run through
// LoadText, the run driver and the ScriptedConsole (see run_input.h), with the
// step budget, once from compiled code and once by the walker alone. Every run must end in one of the defined outcomes with the
// interpreter's tables back in shape, and the two runs must be the same run,
// explained by the same diagnostic; the sanitizers catch everything else,
// also in composing the diagnostic.
#include <cstdio>
#include <cstdlib>

#include "fuzz/run_input.h"

namespace {

vorla::fuzz::LargeStack* runStack = nullptr;

void ReportPeak() { std::fprintf(stderr, "peak interpreter stack: %zu bytes\n", runStack->PeakBytes()); }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  runStack = new vorla::fuzz::LargeStack;
  std::atexit(ReportPeak);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorla::fuzz::InputRun compiled, read;
  bool compiledInShape = false;
  vorla::fuzz::RunInputBothWays(data, size, *runStack, compiled, read, vorla::fuzz::kStepBudget, &compiledInShape);
  if (!compiled.loaded) return -1;  // too large to load: not worth keeping
  if (!compiledInShape || !vorla::fuzz::RunEndedInShape(read)) {
    std::fprintf(stderr, "run ended out of shape%s: outcome %d, nesting %d, calls %d, operands %d\n",
                 compiledInShape ? "" : " from compiled code", int(read.outcome), vorla::NestingDepth,
                 vorla::CallDepth, vorla::OperandDepth);
    std::abort();
  }
  if (!compiled.SameAs(read)) {
    std::fprintf(stderr, "from compiled code: %s\nin the walker: %s\n", vorla::fuzz::Describe(compiled).c_str(),
                 vorla::fuzz::Describe(read).c_str());
    std::abort();
  }
  return 0;
}
