// NodeConsole: standard input and output of the WebAssembly build under
// Node.js, through Node's fs and tty modules (see the header).
#include "platform/node_console.h"

#include <emscripten.h>

namespace vorla {

namespace {

// What descriptor `fd` is: 0 a regular file, 1 a terminal, 2 anything else
// (a pipe, a device), 3 none that can be looked at.
enum StreamKind { kRegularFile = 0, kTerminal = 1, kOtherStream = 2, kNoStream = 3 };

EM_JS(int, NodeStreamKind, (int fd), {
  try {
    if (require("tty").isatty(fd)) return 1;
    return require("fs").fstatSync(fd).isFile() ? 0 : 2;
  } catch (e) {
    return 3;
  }
});

// Whether descriptors `a` and `b` are the very same file or pipe.
EM_JS(int, NodeSameStream, (int a, int b), {
  try {
    const fs = require("fs");
    const x = fs.fstatSync(a), y = fs.fstatSync(b);
    return x.dev === y.dev && x.ino === y.ino ? 1 : 0;
  } catch (e) {
    return 0;
  }
});

// Writes all `count` bytes to standard output; answers 0 or an errno value. A
// full non-blocking descriptor is waited for a millisecond at a time.
EM_JS(int, NodeWriteOut, (const uint8_t* bytes, size_t count), {
  const fs = require("fs");
  while (count > 0) {
    try {
      const n = fs.writeSync(1, HEAPU8, bytes, count);
      bytes += n;
      count -= n;
    } catch (e) {
      if (e.code !== "EAGAIN") return ERRNO_CODES[e.code] || ERRNO_CODES.EIO;
      Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 1);
    }
  }
  return 0;
});

// Reads what standard input has, at most `room` bytes, waiting for them;
// stores how many in `*count` (0 at the end). Answers 0 or an errno value.
EM_JS(int, NodeReadIn, (uint8_t* to, size_t room, size_t* count), {
  const fs = require("fs");
  HEAPU32[count >> 2] = 0;
  for (;;) {
    try {
      HEAPU32[count >> 2] = fs.readSync(0, HEAPU8, to, room, null);
      return 0;
    } catch (e) {
      if (e.code === "EOF") return 0;
      if (e.code !== "EAGAIN") return ERRNO_CODES[e.code] || ERRNO_CODES.EIO;
      Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, 1);
    }
  }
});

}  // namespace

NodeConsole::NodeConsole() {
  SetStreams(false, NodeStreamKind(1) == kTerminal, NodeSameStream(1, 2) != 0, NodeStreamKind(0) != kRegularFile);
}

int NodeConsole::WriteOut(const uint8_t* bytes, size_t count) { return NodeWriteOut(bytes, count); }

int NodeConsole::ReadIn(uint8_t* to, size_t room, size_t& count) { return NodeReadIn(to, room, &count); }

}  // namespace vorla
