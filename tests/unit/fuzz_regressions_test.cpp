// Replays every input in fuzz/regressions, each one a script (and keys) that
// once crashed or hung the interpreter or ran differently from compiled code
// and in the walker, exactly as the fuzz target runs it: it must end in one of the
// defined outcomes with the tables back in shape, the same run both ways.
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
    InputRun run, read;
    RunInputBothWays(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), stack, run, read);
    EXPECT_TRUE(run.loaded);
    EXPECT_TRUE(RunEndedInShape(run)) << "outcome " << int(run.outcome) << ", output: " << run.output;
    EXPECT_TRUE(run.SameAs(read)) << "compiled output: " << run.output << "\nwalker output: " << read.output;
  }
}

// Every script the project keeps (the golden cases and examples with their
// keys, and the fuzz seeds) runs the same from compiled code as in the walker.
TEST(FuzzRegressions, EveryKeptScriptRunsTheSameBothWays) {
  const std::filesystem::path root = RegressionDir().parent_path().parent_path();
  std::vector<std::pair<std::filesystem::path, std::string>> inputs;
  for (const char* folder : {"tests/golden", "examples"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
      if (entry.path().extension() != ".vl") continue;
      std::filesystem::path keys = entry.path();
      keys.replace_extension(".keys");
      inputs.emplace_back(entry.path(), JoinInput(ReadAll(entry.path()),
                                                  std::filesystem::exists(keys) ? ReadAll(keys) : std::string()));
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(root / "fuzz" / "seeds")) {
    inputs.emplace_back(entry.path(), ReadAll(entry.path()));
  }
  ASSERT_GT(inputs.size(), 50u);
  LargeStack stack;
  for (const auto& [path, bytes] : inputs) {
    SCOPED_TRACE(path.string());
    InputRun compiled, read;
    RunInputBothWays(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), stack, compiled, read);
    EXPECT_TRUE(compiled.SameAs(read)) << "compiled: outcome " << int(compiled.outcome) << " error " << compiled.errorPosition
                                      << " cursor " << compiled.cursor << " output " << compiled.output
                                      << "\nwalker: outcome " << int(read.outcome) << " error " << read.errorPosition
                                      << " cursor " << read.cursor << " output " << read.output;
  }
}

}  // namespace
}  // namespace vorla::fuzz
