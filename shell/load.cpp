// Loading: the script file goes into SourceBuffer with every line end turned
// into one CR and a NUL after its last byte; longer files are refused.
#include "shell/load.h"

#include <string>

#include "core/chars.h"
#include "core/state.h"

namespace vorla {

namespace {

// Appends one byte of the file; `previous` is the byte read before it.
bool Store(uint8_t byte, int previous) {
  if (byte == kLF && previous == kCR) return true;  // CR LF is one line end
  if (SourceLength >= kMaxSourceLength) return false;
  ScriptMemory::StoreByte(kSourceBase + SourceLength++, byte == kLF ? kCR : byte);
  return true;
}

}  // namespace

bool LoadText(std::string_view text) {
  ScriptMemory::AdvanceGeneration();
  SourceStart = kSourceBase;
  SourceLength = 0;
  int previous = -1;
  for (char c : text) {
    if (!Store(uint8_t(c), previous)) return false;
    previous = uint8_t(c);
  }
  ScriptMemory::StoreByte(kSourceBase + SourceLength, kNul);
  return true;
}

LoadResult LoadScript(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return LoadResult::CannotOpen;
  std::string text;
  char block[4096];
  bool tooLarge = false;
  // A short block is the end (or a failure): a terminal must not be read on
  // after its end-of-file key.
  for (size_t n = sizeof block; n == sizeof block && !tooLarge;) {
    n = std::fread(block, 1, sizeof block, file);
    text.append(block, n);
    tooLarge = text.size() > 2 * kSourceSize;  // far too long, whatever its line ends
  }
  // A read that failed (a directory, a device error) is a file that cannot
  // be opened, not a shorter script.
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return LoadResult::CannotOpen;
  if (tooLarge || !LoadText(text)) return LoadResult::TooLarge;
  return LoadResult::Loaded;
}

}  // namespace vorla
