// The program generator's entry: the family, the ordinary routines, the
// shapes with ordinary statements between them, and a program that fits in
// SourceBuffer (with less ordinary code on each try until it does).
#include "fuzz/generate.h"

#include "fuzz/run_input.h"
#include "fuzz/shapes.h"

namespace vorla::fuzz {

std::string Build::NewGlobal(std::string_view stem) {
  std::string name = std::string(stem) + std::to_string(program.globals.size());
  program.globals.push_back(name);
  return name;
}

namespace {

// How much ordinary code a try adds: all the choices allow, half, none; the
// last try also makes only one shape.
constexpr int kTries = 4;

void Emit(Build& b, const Shape& shape) {
  b.shapes.push_back(shape.name);
  shape.emit(b);
}

GeneratedProgram Generate(Family family, const uint8_t* data, size_t size, int attempt) {
  Choices c(data, size);
  Program program;
  OrdinaryCode code(program, c);
  GeneratedProgram result;
  Build b(c, program, code, result);
  const int ordinary = attempt == 0 ? 2 : attempt == 1 ? 1 : 0;
  auto someStatements = [&](int most) {
    code.Statements(program.main, code.MainContext(), c.Between(0, most * ordinary / 2), 2);
  };
  code.Prologue();
  code.DefineRoutines(c.Between(0, 2 * ordinary));
  if (family != Family::Limits) {
    const int shapes = attempt + 1 == kTries ? 1 : c.Between(1, 3);
    for (int i = 0; i < shapes; i++) {
      someStatements(2);
      Emit(b, c.Pick(SelfModifyingShapes()));
    }
  } else {
    // The limit comes first, counted from the prologue on.
    Emit(b, c.Pick(LimitShapes()));
  }
  someStatements(3);
  program.mainAt = c.Below(uint32_t(program.definitions.size() + 1));

  const Piece whole = program.Whole();
  result.script = whole.Resolve();
  for (const auto& [mark, bytes] : b.aims) {
    for (int i = 0; i < bytes; i++) result.storesAimAt.push_back(uint32_t(whole.Where(mark) + i));
  }
  result.keys = program.keys;
  result.family = family;
  for (const std::string& name : b.shapes) result.shapes += (result.shapes.empty() ? "" : " ") + name;
  return result;
}

}  // namespace

GeneratedProgram GenerateProgram(Family family, const uint8_t* data, size_t size) {
  GeneratedProgram program;
  for (int attempt = 0; attempt < kTries; attempt++) {
    program = Generate(family, data, size, attempt);
    if (program.script.size() <= kMaxSourceLength) return program;
  }
  // No shape makes more text than fits alone, so this is never reached: a
  // program of no shape says so.
  program = GeneratedProgram();
  program.script = "proc main() PrnStr_(\"too long\");\n";
  return program;
}

GeneratedProgram GenerateProgram(const uint8_t* data, size_t size) {
  if (size == 0) return GenerateProgram(Family::SelfModifying, data, size);
  return GenerateProgram(Family(data[0] % kFamilies), data + 1, size - 1);
}

std::string ProgramInput(const GeneratedProgram& program) { return JoinInput(program.script, program.keys); }

std::string MissedExpectation(const GeneratedProgram& program, const InputRun& run) {
  const bool done = !program.doneMark.empty() && run.output.find(program.doneMark) != std::string::npos;
  switch (program.expect) {
    case Expect::Anything: return "";
    case Expect::WithinLimit: return done ? "" : "it was built to stay within its limit, but did not come back";
    case Expect::PastLimit: {
      if (done) return "it was built to pass its limit, but came back";
      if (program.limit == FaultKind::None) {
        return run.outcome == RunOutcome::Stopped ? "" : "it was built to pass the step budget, but was not stopped";
      }
      const FaultRecord& first = CurrentFault.repointed ? FirstFault : CurrentFault;
      if (run.outcome == RunOutcome::Error && first.kind == program.limit) return "";
      return "it was built to fail with fault kind " + std::to_string(int(program.limit)) + ", but ended with " +
             (run.outcome == RunOutcome::Error ? "fault kind " + std::to_string(int(first.kind))
                                               : "outcome " + std::to_string(int(run.outcome)));
    }
  }
  return "";
}

}  // namespace vorla::fuzz
