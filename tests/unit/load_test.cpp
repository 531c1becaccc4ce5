// Loading: line ends folded into one CR, the NUL right after the last byte,
// the size limit of SourceBuffer, and files that cannot be opened.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
  EXPECT_EQ(LoadScript(File(std::string(4095, 'x')).c_str()).result, LoadResult::Loaded);
  EXPECT_EQ(SourceLength, 4095u);
  EXPECT_EQ(PeekText(kSourceBase + 4095), 0);
  const Loading over = LoadScript(File(std::string(4096, 'y')).c_str());
  EXPECT_EQ(over.result, LoadResult::TooLarge);
  EXPECT_EQ(LoadFailure(over, "y.vl"),
            "vorla: 'y.vl' holds 4096 bytes after line ends are read; a script holds at most 4095\n");
  const Loading far = LoadScript(File(std::string(100000, 'z') + "\r\n").c_str());
  EXPECT_EQ(far.result, LoadResult::TooLarge);
  EXPECT_EQ(far.length, 100001u);
  EXPECT_FALSE(far.longer);
  // A file is read to its end up to a limit; a device without end only so far.
  const Loading most = LoadScript(File(std::string(kMostBytesRead, 'm')).c_str());
  EXPECT_EQ(most.length, kMostBytesRead);
  EXPECT_FALSE(most.longer);
  const Loading endless = LoadScript("/dev/zero");
  EXPECT_EQ(endless.result, LoadResult::TooLarge);
  EXPECT_TRUE(endless.longer);
  EXPECT_NE(LoadFailure(endless, "/dev/zero").find("holds more than "), std::string::npos);
}

TEST_F(LoadTest, CrLfFileWhoseFoldedTextFitsLoads) {
  // 4190 bytes in the file, 4095 once every CR LF is one CR.
  std::string text(4000, 'a');
  for (int i = 0; i < 95; i++) text += "\r\n";
  EXPECT_EQ(LoadScript(File(text).c_str()).result, LoadResult::Loaded);
  EXPECT_EQ(SourceLength, 4095u);
  EXPECT_EQ(PeekText(kSourceBase + 4094), 13);
  EXPECT_EQ(PeekText(kSourceBase + 4095), 0);

  text.back() = 'q';  // the last pair is now a CR and a byte: 4096
  EXPECT_EQ(LoadScript(File(text).c_str()).result, LoadResult::TooLarge);
}

TEST_F(LoadTest, FileLoadsLikeItsText) {
  EXPECT_EQ(LoadScript(File("var a;\r\nproc main() ;\nx").c_str()).result, LoadResult::Loaded);
  EXPECT_EQ(Loaded(), std::string("var a;\rproc main() ;\rx\0", 23));
}

TEST_F(LoadTest, MissingFileOrDirectoryCannotBeOpenedAndSaysWhy) {
  std::string path = ::testing::TempDir() + "vorla_no_such_dir/none.vl";
  EXPECT_EQ(LoadScript(path.c_str()).error, ENOENT);
  const Loading folder = LoadScript(::testing::TempDir().c_str());  // it opens, but fails to read
  EXPECT_EQ(folder.result, LoadResult::CannotOpen);
  EXPECT_EQ(LoadFailure(folder, "d"), "vorla: cannot open 'd': " + std::string(std::strerror(EISDIR)) + "\n");
  const std::string loop = OwnPath("loop");
  std::remove(loop.c_str());
  ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
  paths_.push_back(loop);
  const Loading looped = LoadScript(loop.c_str());
  EXPECT_EQ(looped.result, LoadResult::CannotOpen);
  EXPECT_EQ(looped.error, ELOOP);
}

// A NUL in the file ends the text; the bytes of the file after it are counted.
TEST_F(LoadTest, ANulEndsTheTextAndTheBytesAfterItAreCounted) {
  const Loading loading = LoadScript(File(std::string("PrnDec_(1);\0PrnDec_(2);\r\n", 25)).c_str());
  EXPECT_EQ(loading.result, LoadResult::Loaded);
  EXPECT_EQ(loading.unread, 13u);
  EXPECT_EQ(LoadScript(File("proc main() ;\n").c_str()).unread, 0u);
}

}  // namespace
}  // namespace vorla::test
