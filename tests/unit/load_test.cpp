// Loading: line ends folded into one CR, the NUL right after the last byte,
// the size limit of SourceBuffer, and files that cannot be opened.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace vorla::test {
namespace {

class LoadTest : public VorlaTest {
 protected:
  // The loaded text with its NUL.
  static std::string Loaded() {
    return std::string(reinterpret_cast<const char*>(ScriptMemory::View(SourceStart)), SourceLength + 1);
  }

  // A path of this test's own in this process: the suite runs each test twice
  // at once (NAME and NAME.read).
  static std::string OwnPath(const std::string& what) {
    return ::testing::TempDir() + "vorla_load_" + std::to_string(getpid()) + "_" + what + ".vl";
  }

  // Writes `bytes` to a file of this test's own and answers its path.
  std::string File(const std::string& bytes) {
    std::string path = OwnPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    paths_.push_back(path);
    return path;
  }

  void TearDown() override {
    for (const std::string& path : paths_) std::remove(path.c_str());
  }

  std::vector<std::string> paths_;
};

TEST_F(LoadTest, LineEndsBecomeOneCr) {
  ASSERT_TRUE(LoadText("a\nb\r\nc\n"));
  std::string lf = Loaded();
  EXPECT_EQ(lf, std::string("a\rb\rc\r\0", 7));
  ASSERT_TRUE(LoadText("a\r\nb\r\nc\r\n"));
  EXPECT_EQ(Loaded(), lf);
}

TEST_F(LoadTest, LoneCrAndOtherBytesStayAsRead) {
  ASSERT_TRUE(LoadText("a\rb\r\r\nc\n\r\t\xff"));
  EXPECT_EQ(Loaded(), std::string("a\rb\r\rc\r\r\t\xff\0", 11));
}

TEST_F(LoadTest, LastLineWithoutLineEndGetsTheNulRightAfter) {
  ASSERT_TRUE(LoadText("proc main() { x; }\nzzzzzzzzzzzzzzzzzzzz"));
  ASSERT_TRUE(LoadText("ab\ncd"));  // a shorter text over a longer one
  EXPECT_EQ(SourceLength, 5u);
  EXPECT_EQ(PeekText(kSourceBase + 4), 'd');
  EXPECT_EQ(PeekText(kSourceBase + 5), 0);
  EXPECT_EQ(SourceStart, kSourceBase);
}

TEST_F(LoadTest, EmptyTextIsOneNul) {
  ASSERT_TRUE(LoadText(""));
  EXPECT_EQ(SourceLength, 0u);
  EXPECT_EQ(PeekText(kSourceBase), 0);
}

TEST_F(LoadTest, FileOf4095BytesLoadsAnd4096IsTooLarge) {
  EXPECT_EQ(LoadScript(File(std::string(4095, 'x')).c_str()), LoadResult::Loaded);
  EXPECT_EQ(SourceLength, 4095u);
  EXPECT_EQ(PeekText(kSourceBase + 4095), 0);
  EXPECT_EQ(LoadScript(File(std::string(4096, 'y')).c_str()), LoadResult::TooLarge);
  EXPECT_EQ(LoadScript(File(std::string(100000, 'z')).c_str()), LoadResult::TooLarge);
}

TEST_F(LoadTest, CrLfFileWhoseFoldedTextFitsLoads) {
  // 4190 bytes in the file, 4095 once every CR LF is one CR.
  std::string text(4000, 'a');
  for (int i = 0; i < 95; i++) text += "\r\n";
  EXPECT_EQ(LoadScript(File(text).c_str()), LoadResult::Loaded);
  EXPECT_EQ(SourceLength, 4095u);
  EXPECT_EQ(PeekText(kSourceBase + 4094), 13);
  EXPECT_EQ(PeekText(kSourceBase + 4095), 0);

  text.back() = 'q';  // the last pair is now a CR and a byte: 4096
  EXPECT_EQ(LoadScript(File(text).c_str()), LoadResult::TooLarge);
}

TEST_F(LoadTest, FileLoadsLikeItsText) {
  EXPECT_EQ(LoadScript(File("var a;\r\nproc main() ;\nx").c_str()), LoadResult::Loaded);
  EXPECT_EQ(Loaded(), std::string("var a;\rproc main() ;\rx\0", 23));
}

TEST_F(LoadTest, MissingFileOrDirectoryCannotBeOpened) {
  std::string path = ::testing::TempDir() + "vorla_no_such_dir/none.vl";
  EXPECT_EQ(LoadScript(path.c_str()), LoadResult::CannotOpen);
  EXPECT_EQ(LoadScript(::testing::TempDir().c_str()), LoadResult::CannotOpen);  // it opens, but fails to read
}

}  // namespace
}  // namespace vorla::test
