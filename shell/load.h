// Loading a script file into SourceBuffer.
#pragma once
#include <cstdio>
#include <string_view>

namespace vorla {

enum class LoadResult { Loaded, CannotOpen, TooLarge };

// Stores the bytes of `text` as the loaded script: every LF and every CR LF
// pair becomes one CR, and a NUL follows the last byte. Answers false when the
// text does not fit.
bool LoadText(std::string_view text);

// Reads the file at `path` and loads it as above. A file that cannot be
// opened or read to its end (a directory) is CannotOpen.
LoadResult LoadScript(const char* path);

}  // namespace vorla
