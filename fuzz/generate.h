// The program generator of fuzz_programs and of the generated-programs test:
// turns a string of choice bytes into a script and the keys typed ahead,
// deterministically. Its programs go where a faster engine must hand over to
// the walker or keep the walker's limits: scripts that rewrite their own text
// in the middle of a construct, and scripts that reach the interpreter's
// limits through calls, exactly, one below and one past.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/fault.h"

namespace vorla::fuzz {

struct InputRun;

// The first byte of an input chooses the family.
enum class Family : uint8_t { SelfModifying, Limits };
inline constexpr int kFamilies = 2;

// What a program is built to end with. A limit program is computed from how
// the walker counts the limit; a run that ends otherwise means the limit
// moved, or the generator's count is wrong.
enum class Expect : uint8_t {
  Anything,
  WithinLimit,  // it comes back from its limit and prints `doneMark`
  PastLimit,    // it ends with a fault of the kind `limit`, or, for the step budget, stopped
};

struct GeneratedProgram {
  std::string script;  // at most kMaxSourceLength bytes; its line ends are LF
  std::string keys;    // typed ahead, at most kMaxKeys
  Family family = Family::SelfModifying;
  std::string shapes;  // the shapes it is made of, by name, e.g. "loop-condition call-rewrites-rest"
  Expect expect = Expect::Anything;
  FaultKind limit = FaultKind::None;  // PastLimit: the fault; None for the step budget
  std::string doneMark;               // printed when the program comes back from its limit
  int overLimit = 0;                  // a limit program: -1 one below its limit, 0 at it, 1 one past, ...
  // The bytes of the script (by offset) that its stores into its own text
  // aim at; nothing else in the text can change.
  std::vector<uint32_t> storesAimAt;
};

// The family is the first choice.
GeneratedProgram GenerateProgram(const uint8_t* choices, size_t size);
GeneratedProgram GenerateProgram(Family family, const uint8_t* choices, size_t size);

// The program as a fuzz_script input: the script, then a NUL and the keys.
std::string ProgramInput(const GeneratedProgram& program);

// Whether a run of the program (the interpreter's state still as it left
// it) ended as the program was built to end. Empty when it did, else why not.
std::string MissedExpectation(const GeneratedProgram& program, const InputRun& run);

}  // namespace vorla::fuzz
