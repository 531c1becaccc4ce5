// Loading: the script file goes into SourceBuffer with every line end turned
// into one CR and a NUL after its last byte; longer files are refused, with
// their length.
#include "shell/load.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/chars.h"
#include "core/state.h"
#include "platform/host.h"

namespace vorla {

namespace {

// An LF right after a CR is part of one line end, which is stored as the CR.
bool JoinsLineEnd(uint8_t byte, int previous) { return byte == kLF && previous == kCR; }

// Appends one byte of the file; `previous` is the byte read before it.
bool Store(uint8_t byte, int previous) {
  if (JoinsLineEnd(byte, previous)) return true;
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

Loading LoadScript(const char* path) {
  // A folder is refused in the same words on every system.
  if (IsFolder(path)) return {.result = LoadResult::CannotOpen, .error = EISDIR};
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return {.result = LoadResult::CannotOpen, .error = errno};
  std::string text;  // as much as any text that fits takes, whatever its line ends
  uint64_t length = 0, read = 0;
  int previous = -1, error = 0;
  char block[4096];
  // A short block is the end (or a failure): a terminal must not be read on
  // after its end-of-file key.
  size_t n = sizeof block;
  while (n == sizeof block && read < kMostBytesRead) {
    n = std::fread(block, 1, sizeof block, file);
    if (n < sizeof block && std::ferror(file)) error = errno != 0 ? errno : EIO;
    read += n;
    for (size_t i = 0; i < n; i++) {
      length += JoinsLineEnd(uint8_t(block[i]), previous) ? 0 : 1;
      previous = uint8_t(block[i]);
    }
    if (text.size() < 2 * kSourceSize) text.append(block, n);
  }
  const bool longer = n == sizeof block && std::fgetc(file) != EOF;  // there is more than was read
  std::fclose(file);
  // A read that failed (a directory, a device error) is a file that cannot
  // be opened, not a shorter script.
  if (error != 0) return {.result = LoadResult::CannotOpen, .error = error};
  if (length > kMaxSourceLength || !LoadText(text)) {
    return {.result = LoadResult::TooLarge, .length = length, .longer = longer};
  }
  const size_t nul = text.find('\0');
  return {.unread = nul == std::string::npos ? 0 : text.size() - nul - 1};
}

std::string LoadFailure(const Loading& loading, std::string_view path) {
  const std::string name = "'" + std::string(path) + "'";
  switch (loading.result) {
    case LoadResult::CannotOpen: return "vorla: cannot open " + name + ": " + std::strerror(loading.error) + "\n";
    case LoadResult::TooLarge:
      return "vorla: " + name + " holds " + (loading.longer ? "more than " : "") + std::to_string(loading.length) +
             " bytes after line ends are read; a script holds at most " + std::to_string(kMaxSourceLength) + "\n";
    case LoadResult::Loaded: break;
  }
  return "";
}

}  // namespace vorla
