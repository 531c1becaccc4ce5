// The program shapes of the generator: small emitters, one per shape, in two
// tables (the self-modifying programs and the limit programs). Each writes
// its statements into main, its routines and globals into the program, and,
// for a limit program, what the run must end with. A new shape is a new
// function and one row.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/choices.h"
#include "fuzz/generate.h"
#include "fuzz/ordinary_code.h"
#include "fuzz/program_text.h"

namespace vorla::fuzz {

struct Build {
  Build(Choices& choices, Program& p, OrdinaryCode& ordinary, GeneratedProgram& r)
      : c(choices), program(p), code(ordinary), result(r) {}

  Choices& c;
  Program& program;
  OrdinaryCode& code;
  // What a limit shape says of how the run must end goes here directly; the
  // script, keys and shapes are filled in at the end.
  GeneratedProgram& result;
  std::vector<std::string> shapes;  // the names of the shapes used, in order
  // Where the program's stores into its text aim: a mark and the bytes from it.
  std::vector<std::pair<int, int>> aims;

  // Declares a global of a fresh name that begins with `stem`.
  std::string NewGlobal(std::string_view stem);
};

struct Shape {
  const char* name;
  void (*emit)(Build& b);
};

std::span<const Shape> SelfModifyingShapes();
std::span<const Shape> LimitShapes();

}  // namespace vorla::fuzz
