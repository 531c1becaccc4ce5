// Replays every input in fuzz/regressions, each one a script (and keys) that
// once crashed or hung the interpreter, exactly as the fuzz target runs it:
// it must end in one of the defined outcomes with the tables back in shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/run_input.h"

namespace vorla::fuzz {
namespace {

std::filesystem::path RegressionDir() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz" / "regressions";
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FuzzRegressions, EveryInputEndsInADefinedOutcome) {
  ASSERT_TRUE(std::filesystem::is_directory(RegressionDir())) << RegressionDir();
  std::vector<std::filesystem::path> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(RegressionDir())) {
    if (entry.is_regular_file() && entry.path().filename() != "README.md") inputs.push_back(entry.path());
  }
  std::sort(inputs.begin(), inputs.end());
  LargeStack stack;
  for (const auto& path : inputs) {
    SCOPED_TRACE(path.filename().string());
    std::string bytes = ReadAll(path);
    InputRun run = RunInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), stack);
    EXPECT_TRUE(run.loaded);
    EXPECT_TRUE(RunEndedInShape(run)) << "outcome " << int(run.outcome) << ", output: " << run.output;
  }
}

}  // namespace
}  // namespace vorla::fuzz
