// What the C library answers alike wherever it has POSIX files (a terminal,
// Node.js, the page's own file system): the text of an error code, and
// whether a path names a folder.
#include <sys/stat.h>

#include <cstring>

#include "platform/host.h"

namespace vorla {

std::string SystemErrorText(int code) { return std::strerror(code); }

bool IsFolder(const char* path) {
  struct stat status {};
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace vorla
