// The platform under the program entry in the page (web/): the page's
// console, the interpreter on the browser's own stack with the depth limits
// that stack holds.
#include "core/state.h"
#include "platform/host.h"
#include "platform/web_console.h"

namespace vorla {

namespace {

// The browser runs WebAssembly on the stack of the page's own thread: about
// 1 MB in Chromium, where the native limits would need some 11 MB. Measured in
// Chromium 156, the walker's deepest shapes outgrow it at about 930 nested
// calls (a procedure that calls itself from a branch, about 1 KB a call) and
// at about 1900 levels (calls, branches and blocks nested in turn, up to
// 535 bytes a level); the engine goes twice as deep. The nesting limit keeps
// every shape within half of that, the rest being the margin for the page's
// own frames, for other browsers' compilers and for shapes not measured. The
// call limit is lower still, so that a recursion three levels deep a call
// meets it before the nesting limit, as it does natively.
// tests/web/test_page.mjs runs the deepest shapes against both.
constexpr int32_t kWebCallDepth = 250;
constexpr int32_t kWebNesting = 800;

}  // namespace

std::unique_ptr<HostConsole> OpenHostConsole() { return std::make_unique<WebConsole>(); }

// No thread can be had: the script runs on the page's thread, within the
// limits its stack holds.
int RunOnStack(size_t, void (*body)(void*), void* data) {
  SetDepthLimits(kWebCallDepth, kWebNesting);
  body(data);
  return 0;
}

}  // namespace vorla
