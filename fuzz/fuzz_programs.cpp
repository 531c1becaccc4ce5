// libFuzzer target: the input bytes are choices, from which the program
// generator (generate.h) makes a script and its keys: self-modifying programs
// and programs that reach the interpreter's limits through calls. Each runs
// once from compiled code and once by the walker alone;
// both runs must end in shape, be the same run, and end as the program was
// built to end. On a failure the target prints the program and aborts;
// print_program prints the program of any input.
#include <cstdio>
#include <cstdlib>

#include "fuzz/generate.h"
#include "fuzz/run_input.h"

namespace {

vorla::fuzz::LargeStack* runStack = nullptr;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  runStack = new vorla::fuzz::LargeStack;
  return 0;
}

[[noreturn]] void Fail(const char* why, const vorla::fuzz::GeneratedProgram& program,
                       const vorla::fuzz::InputRun& compiled, const vorla::fuzz::InputRun& read) {
  std::fprintf(stderr, "%s\nshapes: %s\nfrom compiled code: %s\nin the walker: %s\n", why,
               program.shapes.c_str(), vorla::fuzz::Describe(compiled).c_str(), vorla::fuzz::Describe(read).c_str());
  std::fprintf(stderr, "--- script (%zu bytes) ---\n%s\n--- keys (%zu) ---\n", program.script.size(),
               program.script.c_str(), program.keys.size());
  for (unsigned char key : program.keys) std::fprintf(stderr, " %d", key);
  std::fprintf(stderr, "\n--- output from compiled code ---\n%s\n--- output in the walker ---\n%s\n",
               compiled.output.c_str(), read.output.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorla::fuzz;
  const GeneratedProgram program = GenerateProgram(data, size);
  const std::string input = ProgramInput(program);
  InputRun compiled, read;
  RunInputBothWays(reinterpret_cast<const uint8_t*>(input.data()), input.size(), *runStack, compiled, read);
  if (!read.loaded) Fail("the generated script does not fit in SourceBuffer", program, compiled, read);
  if (!RunEndedInShape(compiled)) Fail("the run from compiled code ended out of shape", program, compiled, read);
  if (!RunEndedInShape(read)) Fail("the run in the walker ended out of shape", program, compiled, read);
  if (!compiled.SameAs(read)) Fail("the two ways ran differently", program, compiled, read);
  if (std::string why = MissedExpectation(program, read); !why.empty()) Fail(why.c_str(), program, compiled, read);
  return 0;
}
