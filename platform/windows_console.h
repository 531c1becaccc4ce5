// WindowsConsole: the Windows console on the process's own standard handles,
// keys from the console's input events or plain bytes from a pipe or file.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/stream_console.h"

namespace vorla {

// Standard input a console: keys come from its input events (ReadConsoleInput)
// rather than _kbhit and _getch. Those two read the console of their own
// ("CONIN$") whatever standard input is, and _getch turns the console's mode
// to nothing while it waits, so Ctrl-C would arrive as a key instead of
// interrupting; with the events the console keeps its mode, a special key is
// recognised as a whole instead of a prefix byte (0 or 0xE0) and its code,
// and "is a key waiting" looks at the events without taking a key. From
// TakeTerminal on, the console's input mode has line input, echo, mouse and
// window events and virtual-terminal input turned off (so arrows are events,
// not escape sequences); Ctrl-C and Ctrl-Break still interrupt. Keys come one
// at a time:
//   - a key that types a character gives its bytes in the console's input
//     code page, once for each time the key repeated; Enter is 13, ESC 27;
//   - keys that type nothing (arrows, function keys, Home, Shift alone, ...)
//     are dropped entirely, so they never count as ESC and never reach the
//     script; neither do key releases, mouse, focus or size events;
//   - a character entered with Alt and the number pad comes when Alt is let go;
//   - DEL (127, Ctrl-Backspace) reads as 8, the backspace the line editor
//     erases with, as the Backspace key does.
// Standard input a pipe (ReadFile, with PeekNamedPipe for "is a key waiting")
// or a file (ReadFile): as StreamConsole. A pipe that PeekNamedPipe cannot look
// into (a socket; under Wine, a pipe from a POSIX parent) is read like a file:
// asking whether a key is waiting waits for the next byte or the end, and
// since any read may wait, the output is written before each read.
//
// WriteError() and ReadError() hold the codes that GetLastError gave.
//
// Output goes to the standard output handle with WriteFile, byte for byte;
// standard input, output and error are in binary mode for the C library too,
// so the interpreter's messages on standard error end in LF as elsewhere. A
// console for output gets virtual-terminal processing where it has it, so
// that a script's escape sequences act as on other terminals, and so does a
// console for standard error, which then shows coloured diagnostics. A closed
// pipe is a write error like any other.
//
// The console's modes are put back once, on whichever way out comes first:
// Restore() or the destructor, exit(), Ctrl-C, Ctrl-Break, closing the
// console, logging off or shutting down (the process then ends at once with
// STATUS_CONTROL_C_EXIT, 0xC000013A, as console programs do), or a fault that
// nothing handles (the run thread keeps stack for it even after its own has
// run out; the fault then goes on as it would have). One WindowsConsole at a
// time; it allocates nothing after construction.
class WindowsConsole final : public StreamConsole {
 public:
  // Room left on the run thread's stack for putting the modes back after a
  // stack overflow.
  static constexpr unsigned long kFaultStackBytes = 64 * 1024;

  WindowsConsole();
  ~WindowsConsole() override;  // Restore()
  WindowsConsole(const WindowsConsole&) = delete;
  WindowsConsole& operator=(const WindowsConsole&) = delete;

  // The run begins: a console on standard input gets the input mode above.
  void TakeTerminal() override;
  void Restore() override;
  bool ErrorsShowColour() const override { return errorShowsColour_; }

 protected:
  int WriteOut(const uint8_t* bytes, size_t count) override;
  int ReadIn(uint8_t* to, size_t room, size_t& count) override;
  bool InputReady(int timeoutMs) override;
  int TerminalKey(uint8_t byte) override;

 private:
  enum class Source { Console, Pipe, UnseenPipe, File };

  int ReadConsoleKeys(uint8_t* to, size_t room, size_t& count);

  Source source_ = Source::File;
  bool errorShowsColour_ = false;
  wchar_t highSurrogate_ = 0;  // the first half of a character typed in two events
};

}  // namespace vorla
