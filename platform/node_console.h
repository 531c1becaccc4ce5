// NodeConsole: the console of the WebAssembly build that runs under Node.js,
// for its test suite: standard output and input through Node's own file
// calls, since the file layer Emscripten lays over them takes every standard
// stream for a terminal and cannot wait on one.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/stream_console.h"

namespace vorla {

// Keys are the bytes of standard input as from a pipe or file, whatever it is
// (KeysAreTyped() is false: Node has no raw terminal for a program that does
// not return to its event loop): LF and CR LF as one Enter, then the end.
// Standard input a regular file: read as it is. Anything else (a pipe, a
// terminal) cannot be looked into: asking whether a key is waiting waits for
// the next byte or the end, and since any read may wait, the output is
// written before each read.
//
// Output goes out with Node's writeSync, waiting while a non-blocking
// descriptor is full; on a terminal at the end of every output, as
// StreamConsole does. A closed pipe is a write error (Node ignores SIGPIPE).
// WriteError() and ReadError() are errno values of the C library here, for
// SystemErrorText. Standard error is never coloured.
class NodeConsole final : public StreamConsole {
 public:
  NodeConsole();

  void TakeTerminal() override {}
  void Restore() override { Flush(); }
  bool ErrorsShowColour() const override { return false; }

 protected:
  int WriteOut(const uint8_t* bytes, size_t count) override;
  int ReadIn(uint8_t* to, size_t room, size_t& count) override;
  bool InputReady(int) override { return true; }
  int TerminalKey(uint8_t byte) override { return byte; }  // input is never taken for a terminal
};

}  // namespace vorla
