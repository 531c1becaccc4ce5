// Prints the program that fuzz_programs makes of an input, so that a failing
// input can be read and kept as a regression script.
//
// usage: print_program FILE          the script on standard output; its
//                                    shapes, expectation and keys on
//                                    standard error
//        print_program --input FILE  the fuzz_script input (script, NUL,
//                                    keys) on standard output, ready for
//                                    fuzz/regressions
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/generate.h"

int main(int argc, char** argv) {
  const bool asInput = argc == 3 && std::strcmp(argv[1], "--input") == 0;
  if (argc != 2 && !asInput) {
    std::fprintf(stderr, "usage: print_program [--input] FILE\n");
    return 2;
  }
  std::ifstream in(argv[argc - 1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "print_program: cannot read %s\n", argv[argc - 1]);
    return 1;
  }
  const std::string choices(std::istreambuf_iterator<char>(in), {});
  const vorla::fuzz::GeneratedProgram program =
      vorla::fuzz::GenerateProgram(reinterpret_cast<const uint8_t*>(choices.data()), choices.size());
  const std::string out = asInput ? vorla::fuzz::ProgramInput(program) : program.script;
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!asInput) {
    static const char* kExpect[] = {"anything", "within its limit", "past its limit"};
    std::fprintf(stderr, "shapes: %s\nexpected to end: %s\nkeys:", program.shapes.c_str(),
                 kExpect[int(program.expect)]);
    for (unsigned char key : program.keys) std::fprintf(stderr, " %d", key);
    std::fprintf(stderr, "\n");
  }
  return 0;
}
