// libFuzzer target: arbitrary bytes as a script and its keys, run through
// LoadText, the run driver and the ScriptedConsole (see run_input.h), with the
// step budget, once with the text's decoded form and once reading the text as
// it stands. Every run must end in one of the defined outcomes with the
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

void Describe(const char* name, const vorla::fuzz::InputRun& run) {
  std::fprintf(stderr, "%s: outcome %d, error at %u, cursor %u, variables %d, operands %d, %zu bytes out\n", name,
               int(run.outcome), run.errorPosition, run.cursor, run.variableCount, run.operandDepth, run.outputSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vorla::fuzz::InputRun decoded, read;
  vorla::fuzz::RunInputBothWays(data, size, *runStack, decoded, read);
  if (!decoded.loaded) return -1;  // too large to load: not worth keeping
  if (!vorla::fuzz::RunEndedInShape(read)) {
    std::fprintf(stderr, "run ended out of shape: outcome %d, nesting %d, calls %d, operands %d\n",
                 int(read.outcome), vorla::NestingDepth, vorla::CallDepth, vorla::OperandDepth);
    std::abort();
  }
  if (!decoded.SameAs(read)) {
    Describe("with the decoded form", decoded);
    Describe("reading the text", read);
    std::abort();
  }
  return 0;
}
