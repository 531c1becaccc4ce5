// StreamConsole: the console on the process's own standard streams as every
// platform has it. Output is buffered and made visible by one rule; keys from
// a pipe or file are plain bytes; a one-key push-back lets "is a key waiting"
// look without consuming. A platform supplies the calls that move the bytes,
// and what its terminal's bytes mean as keys.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/host.h"
#include "platform/output_buffer.h"

namespace vorla {

// Standard input not a terminal: bytes in order, LF and CR LF each as one 13,
// then kNoMoreKeys for ever; KeysAreTyped() is false. A terminal's bytes go
// through the platform's TerminalKey. A read that fails with an error (a
// directory, a closed or unreadable input) ends the keys too, and is kept as
// ReadError(): KeysFailed() is then true.
//
// Output is buffered and written when the buffer fills, in Flush(), at
// EndOfOutput() when standard output is a terminal, before every look at or
// read of keys from a terminal, and before a read that waits for an empty
// pipe (keys at hand in a pipe or file cost no write each). A failed write is
// kept as WriteError(): from then on OutputFailed() is true and output is
// dropped.
class StreamConsole : public HostConsole {
 public:
  static constexpr size_t kInputBufferSize = 4096;

  int WriteError() const override { return writeError_; }
  int ReadError() const override { return readError_; }

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
  bool ErrorsContinueOutputLine() const override { return errorIsOutput_ && lastByte_ != '\n'; }

 protected:
  static constexpr int kNoKey = -2;  // nothing ready without waiting; a byte that makes no key

  // What the platform found standard input and output to be, whether
  // standard error is the very file or pipe that standard output is, and
  // whether input is a pipe that cannot be looked into without reading it
  // (InputReady then answers true, and output goes out before every read).
  void SetStreams(bool inputIsTerminal, bool outputIsTerminal, bool errorIsOutput, bool inputUnseen = false);

  // ---- The platform's calls ----
  // Writes all `count` bytes to standard output; answers 0, or the system's
  // code for why not.
  virtual int WriteOut(const uint8_t* bytes, size_t count) = 0;
  // Waits for bytes of standard input and stores what is there, at most
  // `room`, setting `count` to how many: 0 at the end of input. Answers 0, or
  // the system's code for why the read failed.
  virtual int ReadIn(uint8_t* to, size_t room, size_t& count) = 0;
  // Whether ReadIn would answer without waiting longer than timeoutMs (-1: as
  // long as it takes): a byte, the end of input or an error is there.
  virtual bool InputReady(int timeoutMs) = 0;
  // The key that a byte taken from a terminal makes, or kNoKey to drop it;
  // it may take the bytes that follow it with TakeBytes.
  virtual int TerminalKey(uint8_t byte) = 0;
  // Whether the terminal's keys are this process's now; a platform whose
  // terminal can be another's (a background job) may take it back here.
  virtual bool TerminalInReach() { return true; }

  // For TerminalKey: whether the byte `offset` places past the next one taken
  // is buffered, or arrives within timeoutMs; that byte; dropping `count`.
  bool ByteWithin(size_t offset, int timeoutMs);
  uint8_t PeekByte(size_t offset) const { return in_[inStart_ + offset]; }
  void TakeBytes(size_t count) { inStart_ += count; }

 private:
  int TakeKey(bool wait);
  bool ReadMore();
  void Send(const uint8_t* bytes, size_t count);

  bool inputIsTerminal_ = false;
  bool outputIsTerminal_ = false;
  bool errorIsOutput_ = false;
  bool inputUnseen_ = false;
  uint8_t lastByte_ = '\n';  // the last output byte; the start counts as a line's
  int writeError_ = 0;       // the first failed write's code: drop everything
  bool inputEnded_ = false;
  int readError_ = 0;        // the code of the read that failed, which also ended the input
  bool afterCR_ = false;     // piped input: an LF right after a CR is part of it
  int pushedKey_ = kNoKey;   // a key KeyWaiting took and ReadKey has not
  size_t inStart_ = 0;
  size_t inEnd_ = 0;
  OutputBuffer out_;
  uint8_t in_[kInputBufferSize];
};

}  // namespace vorla
