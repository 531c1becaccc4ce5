// The platform under the program entry in the WebAssembly build for Node.js:
// the console on Node's standard streams, the interpreter on Node's own
// thread.
#include "platform/host.h"
#include "platform/node_console.h"

namespace vorla {

std::unique_ptr<HostConsole> OpenHostConsole() { return std::make_unique<NodeConsole>(); }

// WebAssembly has no threads to start here: the interpreter runs on Node's
// main thread, whose stack is what the command that starts Node gives it
// (tests/web/vorla-node.sh: the stack limit, and V8's --stack-size to match).
// There the nesting limits are the native ones; on a smaller stack, V8 ends
// the program with a RangeError where a script would outgrow it.
int RunOnStack(size_t, void (*body)(void*), void* data) {
  body(data);
  return 0;
}

}  // namespace vorla
