// The program generator of fuzz_programs as an always-on differential check:
// a fixed set of programs from fixed seeds, self-modifying ones and ones that
// reach the limits through calls, each run from compiled code and by the
// walker alone. Both runs must end in shape and be the same
// run, and every limit program must end as it was built to: within its limit
// when it stays at or below it, with that limit's fault one past it.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/generate.h"
#include "fuzz/run_input.h"
#include "fuzz/shapes.h"

namespace vorla::fuzz {
namespace {

// Programs of each family in the fixed set.
constexpr int kSelfModifyingPrograms = 1500;
constexpr int kLimitPrograms = 840;
// Choice bytes a program gets: more than any program reads.
constexpr size_t kChoiceBytes = 1200;

// The choices of seed `seed` (splitmix64), the same on every machine.
std::vector<uint8_t> Seeded(uint64_t seed) {
  std::vector<uint8_t> bytes(kChoiceBytes);
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  for (size_t i = 0; i < bytes.size(); i += 8) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (size_t k = 0; k < 8 && i + k < bytes.size(); k++) bytes[i + k] = uint8_t(z >> (8 * k));
  }
  return bytes;
}

// What a family's set showed.
struct Tally {
  std::map<std::string, int> shapes;                          // programs per shape
  std::map<std::string, std::map<RunOutcome, int>> outcomes;  // programs per shape and outcome
  std::map<std::string, std::set<int>> overLimit;             // limit shape: how far past its limit programs went
  int textChanged = 0;                                        // programs whose text differed at the end
};

// The text as loaded: every LF is a CR.
std::string Loaded(std::string script) {
  for (char& c : script) {
    if (c == '\n') c = '\r';
  }
  return script;
}

// Runs the program both ways and checks the two runs against each other and
// against what the program was built to do.
void Check(const GeneratedProgram& program, LargeStack& stack, Tally& tally) {
  SCOPED_TRACE(program.shapes + "\n" + program.script);
  ASSERT_LE(program.script.size(), kMaxSourceLength);
  ASSERT_FALSE(program.shapes.empty()) << "no program fitted";
  const std::string input = ProgramInput(program);
  InputRun compiled, read;
  RunInputBothWays(reinterpret_cast<const uint8_t*>(input.data()), input.size(), stack, compiled, read);
  ASSERT_TRUE(read.loaded);
  EXPECT_TRUE(RunEndedInShape(compiled)) << Describe(compiled);
  EXPECT_TRUE(RunEndedInShape(read)) << Describe(read);
  EXPECT_TRUE(compiled.SameAs(read)) << "compiled: " << Describe(compiled) << "\n" << compiled.output
                                    << "\nwalker: " << Describe(read) << "\n" << read.output;
  EXPECT_EQ(MissedExpectation(program, read), "") << read.output << "\n" << read.diagnostic;
  // The text changed only where the program's stores aim: the offsets in
  // its stores are right.
  const std::string loaded = Loaded(program.script);
  const std::set<uint32_t> aimed(program.storesAimAt.begin(), program.storesAimAt.end());
  bool changed = false;
  for (uint32_t i = 0; i < loaded.size(); i++) {
    if (ScriptMemory::View(kSourceBase)[i] == uint8_t(loaded[i])) continue;
    changed = true;
    EXPECT_TRUE(aimed.count(i)) << "a store changed offset " << i << ", where none aims";
  }
  tally.textChanged += changed ? 1 : 0;
  tally.shapes[program.shapes]++;
  tally.outcomes[program.shapes][read.outcome]++;
  if (program.expect != Expect::Anything) tally.overLimit[program.shapes].insert(program.overLimit);
}

Tally RunFamily(Family family, int count, uint64_t firstSeed) {
  LargeStack stack;
  Tally tally;
  for (int i = 0; i < count; i++) {
    const std::vector<uint8_t> choices = Seeded(firstSeed + uint64_t(i));
    Check(GenerateProgram(family, choices.data(), choices.size()), stack, tally);
    if (::testing::Test::HasFatalFailure()) break;
  }
  return tally;
}

// How many programs of the set the shape `name` went into.
int Programs(const Tally& tally, const std::string& name) {
  int programs = 0;
  for (const auto& [shapes, n] : tally.shapes) {
    if ((" " + shapes + " ").find(" " + name + " ") != std::string::npos) programs += n;
  }
  return programs;
}

TEST(GeneratedPrograms, SelfModifyingProgramsRunTheSameBothWays) {
  const Tally tally = RunFamily(Family::SelfModifying, kSelfModifyingPrograms, 1);
  // Every shape is made; most programs end with their text changed, and
  // many of them still end normally: most changes keep the code valid.
  int finished = 0;
  for (const Shape& shape : SelfModifyingShapes()) EXPECT_GE(Programs(tally, shape.name), 20) << shape.name;
  for (const auto& [shapes, outcomes] : tally.outcomes) {
    finished += outcomes.count(RunOutcome::Finished) ? outcomes.at(RunOutcome::Finished) : 0;
  }
  EXPECT_GE(tally.textChanged, kSelfModifyingPrograms / 2);
  EXPECT_GE(finished, kSelfModifyingPrograms * 2 / 5);
}

TEST(GeneratedPrograms, LimitProgramsRunTheSameBothWaysAndEndAsBuilt) {
  const Tally tally = RunFamily(Family::Limits, kLimitPrograms, 1'000'000);
  for (const Shape& shape : LimitShapes()) {
    EXPECT_GE(tally.shapes.count(shape.name) ? tally.shapes.at(shape.name) : 0, 20) << shape.name;
  }
  // The keys typed ahead stop most runs of their programs, and most calls
  // that go wrong end theirs with a fault.
  auto share = [&](const char* shape, RunOutcome outcome) {
    const auto& outcomes = tally.outcomes.at(shape);
    return double(outcomes.count(outcome) ? outcomes.at(outcome) : 0) / tally.shapes.at(shape);
  };
  EXPECT_GE(share("esc-in-call", RunOutcome::Stopped), 0.5);
  EXPECT_GE(share("argument-faults", RunOutcome::Error), 0.5);
  // Every limit is reached exactly, and missed by one on either side; each
  // of those programs ended as built (checked above).
  for (const char* limit : {"variable-slots", "operand-slots", "call-depth", "nesting-depth", "step-budget"}) {
    ASSERT_TRUE(tally.overLimit.count(limit)) << limit;
    for (int over : {-1, 0, 1}) EXPECT_TRUE(tally.overLimit.at(limit).count(over)) << limit << " " << over;
  }
}

// A platform whose stack is small lowers the depth limits (as the page does):
// both ways keep the lowered ones, exactly, one below and one past.
TEST(GeneratedPrograms, LimitProgramsKeepLoweredDepthLimits) {
  SetDepthLimits(250, 800);
  const Tally tally = RunFamily(Family::Limits, kLimitPrograms / 2, 2'000'000);
  SetDepthLimits(kMaxCallDepth, kMaxNesting);
  for (const char* limit : {"call-depth", "nesting-depth"}) {
    ASSERT_TRUE(tally.overLimit.count(limit)) << limit;
    for (int over : {-1, 0, 1}) EXPECT_TRUE(tally.overLimit.at(limit).count(over)) << limit << " " << over;
  }
}

TEST(GeneratedPrograms, TheSameChoicesMakeTheSameProgram) {
  for (uint64_t seed = 0; seed < 50; seed++) {
    const std::vector<uint8_t> choices = Seeded(seed);
    const GeneratedProgram a = GenerateProgram(choices.data(), choices.size());
    const GeneratedProgram b = GenerateProgram(choices.data(), choices.size());
    EXPECT_EQ(a.script, b.script);
    EXPECT_EQ(a.keys, b.keys);
    EXPECT_EQ(a.shapes, b.shapes);
  }
  // Choices that run out read as the plainest ones: even no choices make a
  // program of each family.
  for (int family = 0; family < kFamilies; family++) {
    const GeneratedProgram empty = GenerateProgram(Family(family), nullptr, 0);
    EXPECT_NE(empty.script.find("proc main()"), std::string::npos);
    EXPECT_FALSE(empty.shapes.empty());
  }
}

// A hole holds the offset from the anchor, the address `_s` holds, to its
// mark, whichever comes first in the text: a store through it changes the
// byte the mark stands before, and nothing else.
TEST(GeneratedPrograms, StoresReachTheByteTheirMarkStandsBefore) {
  Program program;
  const int early = program.NewMark(), late = program.NewMark();
  Piece definition;
  definition << "func r01() return = ";
  definition.Mark(early) << "1;\n";
  program.definitions.push_back(definition);
  program.main << "  _s[";
  program.main.Offset(program.anchor, early);
  program.main << "] = '4'; _s[";
  program.main.Offset(program.anchor, late);
  program.main << "] = '7';\n  PrnDec_(r01()); PrnDec_(";
  program.main.Mark(late) << "2);\n";
  for (size_t at = 0; at <= 1; at++) {
    program.mainAt = at;
    const std::string input = JoinInput(program.Assemble(), "");
    LargeStack stack;
    InputRun run = RunInput(reinterpret_cast<const uint8_t*>(input.data()), input.size(), stack);
    EXPECT_EQ(run.output, "47") << program.Assemble();
  }
}

}  // namespace
}  // namespace vorla::fuzz
