// WebConsole: the console of the page (web/): output to the page's terminal,
// keys that the page pushes, and pauses of a run that give the browser back
// its event loop, so that the page stays responsive while a script runs.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/host.h"
#include "platform/output_buffer.h"

namespace vorla {

// The page's side is the object Module.vorlaPage (web/run.js): it takes the
// output, holds the keys typed into the terminal (already mapped as a
// terminal maps them: Enter 13, Backspace 8, ESC 27, special keys never),
// answers whether Stop was pressed, and gives the pauses.
//
// A run pauses, going back to the browser until the page resumes it, when it
// waits for a key, when its output is more than the terminal has drawn by
// kBacklogBytes, and between slices of kSliceMs of work: the step budget is a
// few thousand statements, and each time it is spent the hook looks at the
// clock. Output is handed to the page before every pause and when the buffer
// fills: the page draws only while a run pauses, so a person sees every byte
// as soon as it can be seen.
//
// Keys are typed (KeysAreTyped() is true): after every text or number, a
// waiting space pauses and a waiting ESC stops the run, as in a terminal. A
// run that reads no keys is stopped by an ESC that waits through a slice:
// where a terminal's user would press Ctrl-C, the page's presses ESC or Stop.
// Stop ends the keys: every look at them finds one waiting, every read finds
// their end, and the step budget runs out at once, so the run stops at its
// next statement or read, whichever comes first.
//
// Nothing fails: OutputFailed(), KeysFailed(), WriteError() and ReadError()
// stay false and 0. One WebConsole at a time.
class WebConsole final : public HostConsole {
 public:
  static constexpr double kSliceMs = 15;
  static constexpr int64_t kStepsBetweenLooks = 4096;  // statements between two looks at the clock
  static constexpr size_t kBacklogBytes = 64 * 1024;

  WebConsole();
  ~WebConsole() override;
  WebConsole(const WebConsole&) = delete;
  WebConsole& operator=(const WebConsole&) = delete;

  void Write(const uint8_t* bytes, size_t count) override;
  void WriteRepeated(uint8_t byte, size_t count) override;
  void EndOfOutput() override {}
  bool OutputFailed() override { return false; }
  bool KeysAreTyped() override { return true; }
  bool KeyWaiting() override;
  int ReadKey() override;
  bool KeysFailed() override { return false; }
  void Flush() override;
  void EndLastLine() override;

  // The run begins: the step budget and its hook pace it in slices.
  void TakeTerminal() override;
  // The output goes to the page; the run's pacing ends.
  void Restore() override;
  int WriteError() const override { return 0; }
  int ReadError() const override { return 0; }
  bool ErrorsShowColour() const override { return false; }
  bool ErrorsContinueOutputLine() const override { return false; }

 private:
  static void SliceSpent();
  // Gives the buffered output to the page; answers how many bytes of output
  // the terminal has still to draw.
  double HandOver();
  void Pause();
  void Stop();

  bool stopping_ = false;      // Stop was pressed, or ESC waited through a slice
  double sliceStart_ = 0;      // when the run last came back from the browser, in ms
  uint8_t lastByte_ = '\n';    // the last output byte; the start counts as a line's
  OutputBuffer out_;
};

}  // namespace vorla
