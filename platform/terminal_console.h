// TerminalConsole: the POSIX console on the process's own standard input and
// output, raw keys from a terminal (termios) or plain bytes from a pipe or file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/stream_console.h"

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
// Standard input not a terminal, and output: as StreamConsole; ReadError()
// and WriteError() are errno values. A closed pipe raises SIGPIPE, which ends
// the process (after the terminal settings are put back); any other failed
// write (a full disk, a closed descriptor; a closed pipe too when SIGPIPE is
// ignored) is a write error.
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
class TerminalConsole final : public StreamConsole {
 public:
  static constexpr int kEscapeWaitMs = 40;

  TerminalConsole();
  ~TerminalConsole() override;  // Restore()
  TerminalConsole(const TerminalConsole&) = delete;
  TerminalConsole& operator=(const TerminalConsole&) = delete;

  // The run begins: a terminal on standard input goes raw (in the foreground)
  // and the signals above are caught.
  void TakeTerminal() override;
  void Restore() override;
  // Standard error is a terminal.
  bool ErrorsShowColour() const override { return errorShowsColour_; }
  // Whether a terminal of the type TERM names shows colour: not when it is
  // unset, empty or "dumb".
  static bool TermShowsColour(const char* term);

 protected:
  int WriteOut(const uint8_t* bytes, size_t count) override;
  int ReadIn(uint8_t* to, size_t room, size_t& count) override;
  bool InputReady(int timeoutMs) override;
  int TerminalKey(uint8_t byte) override;
  bool TerminalInReach() override;

 private:
  bool SkipEscapeSequence();

  bool errorShowsColour_ = false;  // standard error is a terminal that shows colour
};

}  // namespace vorla
