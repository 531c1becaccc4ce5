// Loading a script file into SourceBuffer.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vorla {

enum class LoadResult { Loaded, CannotOpen, TooLarge };

// The most of a file read to learn its length; a longer file, or a device
// without end, is only said to be longer.
inline constexpr uint64_t kMostBytesRead = uint64_t(16) << 20;

// What loading a file came to.
struct Loading {
  LoadResult result = LoadResult::Loaded;
  int error = 0;        // CannotOpen: why, as an errno value
  uint64_t length = 0;  // TooLarge: the bytes of the text once its line ends are read...
  bool longer = false;  // ...or more: the file was not read to its end
  uint64_t unread = 0;  // Loaded: the bytes of the file after a NUL, where the text ends
};

// Stores the bytes of `text` as the loaded script: every LF and every CR LF
// pair becomes one CR, and a NUL follows the last byte. Answers false when the
// text does not fit.
bool LoadText(std::string_view text);

// Reads the file at `path` and loads it as above. A file that cannot be
// opened or read to its end (a directory) is CannotOpen.
Loading LoadScript(const char* path);

// The line for standard error that says why a file was not loaded, beside
// "cann't open NAME" and "file too large: NAME" on standard output:
// "vorla: cannot open 'NAME': REASON" in the system's words, or "vorla: 'NAME'
// holds N bytes after line ends are read; a script holds at most 4095".
std::string LoadFailure(const Loading& loading, std::string_view path);

}  // namespace vorla
