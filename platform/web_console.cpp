// WebConsole: the page's terminal and keys, and the pauses that let the
// browser go on while a script runs (see the header).
#include "platform/web_console.h"

#include <emscripten.h>

#include "core/chars.h"
#include "core/state.h"

namespace vorla {

namespace {

WebConsole* gLive = nullptr;  // the console whose run the step budget's hook paces

// ---- The page's side (Module.vorlaPage, web/run.js) ----

// Hands output bytes to the page's terminal; answers how many bytes of output
// the terminal has still to draw.
EM_JS(double, PageWrite, (const uint8_t* bytes, size_t count), {
  return Module.vorlaPage.write(HEAPU8.slice(bytes, bytes + count));
});

// The first key waiting, taken when `take`; -1 when none waits.
EM_JS(int, PageKey, (int take), { return Module.vorlaPage.key(take != 0); });

// Whether an ESC is among the keys waiting.
EM_JS(int, PageEscWaiting, (), { return Module.vorlaPage.escWaiting() ? 1 : 0; });

// Whether Stop was pressed during the run.
EM_JS(int, PageStopRequested, (), { return Module.vorlaPage.stopRequested() ? 1 : 0; });

// Goes back to the browser, to come back at its next turn (a message, not a
// timer, whose delays the browser stretches to 4 ms and more) once the
// terminal has no more than `backlog` bytes of output still to draw.
EM_ASYNC_JS(void, PagePause, (double backlog), { await Module.vorlaPage.pause(backlog); });

// Goes back to the browser until a key is typed or Stop is pressed.
EM_ASYNC_JS(void, PageWaitForKey, (), { await Module.vorlaPage.waitForKey(); });

}  // namespace

WebConsole::WebConsole() { gLive = this; }

WebConsole::~WebConsole() {
  if (gLive == this) gLive = nullptr;
}

// ---- Pacing ----

void WebConsole::TakeTerminal() {
  stopping_ = false;
  sliceStart_ = emscripten_get_now();
  StepBudget = kStepsBetweenLooks;
  StepBudgetSpent = SliceSpent;
}

void WebConsole::Restore() {
  HandOver();
  StepBudgetSpent = nullptr;
  StepBudget = kNoStepLimit;
}

// The step budget's hook: a new budget until the slice is over; then, unless
// an ESC has waited through it, a pause. Sets none once the run is stopping.
void WebConsole::SliceSpent() {
  WebConsole* console = gLive;
  if (console == nullptr || console->stopping_) return;
  if (emscripten_get_now() - console->sliceStart_ >= kSliceMs) {
    // Keys come only while the run pauses, so this ESC came before the slice.
    if (PageEscWaiting()) {
      console->Stop();
      return;
    }
    console->Pause();
    if (console->stopping_) return;
  }
  StepBudget = kStepsBetweenLooks;
}

void WebConsole::Pause() {
  HandOver();
  PagePause(double(kBacklogBytes));
  sliceStart_ = emscripten_get_now();
  if (PageStopRequested()) Stop();
}

void WebConsole::Stop() {
  stopping_ = true;
  StepBudget = 0;
}

// ---- Output ----

double WebConsole::HandOver() {
  const double backlog = out_.Empty() ? 0 : PageWrite(out_.Bytes(), out_.Length());
  out_.Clear();
  return backlog;
}

// A terminal far behind the output makes the run wait for it: a script that
// prints without end fills no memory.
void WebConsole::Flush() {
  if (HandOver() > double(kBacklogBytes)) Pause();
}

void WebConsole::Write(const uint8_t* bytes, size_t count) {
  if (count > 0) lastByte_ = bytes[count - 1];
  while (count > 0) {
    if (out_.Full()) Flush();
    const size_t n = out_.Put(bytes, count);
    bytes += n;
    count -= n;
  }
}

void WebConsole::WriteRepeated(uint8_t byte, size_t count) {
  if (count > 0) lastByte_ = byte;
  while (count > 0) {
    if (out_.Full()) Flush();
    count -= out_.PutRepeated(byte, count);
  }
}

// The page's terminal turns the line feed into its line end, as others do.
void WebConsole::EndLastLine() {
  if (lastByte_ != kLF) Write(&kLF, 1);
}

// ---- Keys ----

bool WebConsole::KeyWaiting() { return stopping_ || PageKey(0) >= 0; }

// Output goes to the page before the run waits, so that the person answering
// sees what the script asked.
int WebConsole::ReadKey() {
  for (;;) {
    if (stopping_) return kNoMoreKeys;
    if (int key = PageKey(1); key >= 0) return key;
    HandOver();
    PageWaitForKey();
    sliceStart_ = emscripten_get_now();
    if (PageStopRequested()) Stop();
  }
}

}  // namespace vorla
