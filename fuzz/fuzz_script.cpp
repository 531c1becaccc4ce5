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
  vorla::fuzz::RunInputBothWays(data, size, *runStack, compiled, read);
  if (!compiled.loaded) return -1;  // too large to load: not worth keeping
  for (const vorla::fuzz::InputRun* run : {&compiled, &read}) {
    if (vorla::fuzz::RunEndedInShape(*run)) continue;
    std::fprintf(stderr, "run ended out of shape %s: %s, nesting %d, calls %d\n",
                 run == &compiled ? "from compiled code" : "in the walker", vorla::fuzz::Describe(*run).c_str(),
                 int(run->nestingDepth), int(run->callDepth));
    std::abort();
  }
  if (!compiled.SameAs(read)) {
    std::fprintf(stderr, "from compiled code: %s\nin the walker: %s\n", vorla::fuzz::Describe(compiled).c_str(),
                 vorla::fuzz::Describe(read).c_str());
    std::abort();
  }
  return 0;
}
