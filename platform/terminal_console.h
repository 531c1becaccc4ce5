// TerminalConsole: the console on the process's own standard input and output,
// raw keys from a terminal or plain bytes from a pipe or file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/console.h"

namespace vorla {

// Standard input a terminal: the terminal is left as it is until TakeTerminal,
// and from then on it is raw (no echo, no line buffering, Enter reads as 13,
// Ctrl-C still interrupts, output post-processing as it was) whenever the
// process is in the terminal's foreground process group. A background job
// (`vorla script.vl &`) leaves the settings alone and sees no key waiting; a
// key read there stops the job, as for any program, and once it is brought to
// the foreground the terminal goes raw and the read goes on. Keys come one at
// a time:
//   - every byte a key sends is its code, 0..255 (UTF-8 text arrives byte by byte);
//   - ESC with no further byte within kEscapeWaitMs is 27;
//   - the escape sequences of special keys (arrows, function keys, Home, ...:
//     ESC [ ... final byte, ESC O ... final byte, ESC [ [ x) are dropped
//     entirely, so they never count as ESC and never reach the script;
//   - ESC followed at once by any other byte is 27 and then that byte;
//   - the Backspace key (DEL, 127, or whatever the terminal's erase key is)
//     reads as 8, the backspace the line editor erases with.
// Standard input not a terminal: bytes in order, LF and CR LF each as one 13,
// then kNoMoreKeys for ever; KeysAreTyped() is false. A read that fails with
// an error (a directory, a closed descriptor, one open for writing only) ends
// the keys too, and is kept as ReadError(): KeysFailed() is then true.
//
// Output is buffered and written when the buffer fills, in Flush(), at
// EndOfOutput() when standard output is a terminal, before every look at or
// read of keys from a terminal, and before a read that waits for an empty
// pipe (keys at hand in a pipe or file cost no write each). A closed pipe raises SIGPIPE, which ends the process (after the
// terminal settings are put back). Any other failed write (a full disk, a
// closed descriptor; a closed pipe too when SIGPIPE is ignored) is kept as
// WriteError(): from then on OutputFailed() is true and output is dropped.
//
// The terminal settings are put back once, on whichever way out comes first:
// Restore() or the destructor, exit(), or any signal whose default action
// ends the process: every signal the system defines, real-time ones included,
// but those it ignores by default, SIGCONT, the background job's SIGTTIN and
// SIGTTOU, and the uncatchable ones. A fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL)
// is handled on a stack of its own, so a thread whose stack ran out still gets
// there. The signal paths put them back without waiting for output the
// terminal has not taken yet, then the signal takes the action it had before;
// a signal the parent ignored stays ignored. Ctrl-Z puts them back while the
// process is stopped; it goes raw again when continued in the foreground. One
// TerminalConsole at a time; it allocates nothing after construction.
class TerminalConsole final : public Console {
 public:
  static constexpr int kEscapeWaitMs = 40;
  static constexpr size_t kOutputBufferSize = 64 * 1024;
  static constexpr size_t kInputBufferSize = 4096;

  TerminalConsole();
  ~TerminalConsole() override;  // Restore()
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  // The run begins: a terminal on standard input goes raw (in the foreground)
  // and the signals above are caught. Called once, on the thread that runs the
  // script, after the script is loaded.
  void TakeTerminal();
  // Writes out what is buffered and puts the terminal settings back. Later
  // calls, and every other way out afterwards, leave the terminal alone.
  void Restore();
  // The errno value of the first failed write, or 0.
  int WriteError() const { return writeError_; }
  // The errno value of the read of the keys that failed, or 0.
  int ReadError() const { return readError_; }
  // Whether standard error is a terminal, where diagnostics may be coloured.
  bool ErrorsAreTerminal() const { return errorIsTerminal_; }
  // Whether standard error is the very file or pipe that standard output is
  // (as with 2>&1) and the output written so far has not ended its last line:
  // what standard error gets now would run on in that line.
  bool ErrorsContinueOutputLine() const;

  void Write(const uint8_t* bytes, size_t count) override;
  void WriteRepeated(uint8_t byte, size_t count) override;
  void EndOfOutput() override;
  bool OutputFailed() override { return writeError_ != 0; }
  bool KeysAreTyped() override { return inputIsTerminal_; }
  bool KeyWaiting() override;
  int ReadKey() override;
  bool KeysFailed() override { return readError_ != 0; }
  void Flush() override;
  void EndLastLine() override;

 private:
  static constexpr int kNoKey = -2;  // nothing ready without waiting

  int TakeKey(bool wait);
  bool SkipEscapeSequence();
  bool ByteWithin(size_t offset, int timeoutMs);
  bool ReadMore();
  void WriteOut(const uint8_t* bytes, size_t count);

  bool inputIsTerminal_ = false;
  bool outputIsTerminal_ = false;
  bool errorIsTerminal_ = false;
  bool errorIsOutput_ = false;  // standard error and output are one file or pipe
  uint8_t lastByte_ = '\n';  // the last output byte; the start counts as a line's
  int writeError_ = 0;       // errno of the first failed write: drop everything
  bool inputEnded_ = false;
  int readError_ = 0;        // errno of the read that failed, which also ended the input
  bool afterCR_ = false;     // piped input: an LF right after a CR is part of it
  int pushedKey_ = kNoKey;   // a key KeyWaiting took and ReadKey has not
  size_t outLength_ = 0;
  size_t inStart_ = 0;
  size_t inEnd_ = 0;
  uint8_t out_[kOutputBufferSize];
  uint8_t in_[kInputBufferSize];
};

}  // namespace vorla
