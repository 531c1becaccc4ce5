// StreamConsole: buffered output, piped keys and the flush rule that every
// platform's console on its standard streams shares (see the header).
#include "platform/stream_console.h"

#include <cstring>

#include "core/chars.h"

namespace vorla {

void StreamConsole::SetStreams(bool inputIsTerminal, bool outputIsTerminal, bool errorIsOutput, bool inputUnseen) {
  inputIsTerminal_ = inputIsTerminal;
  inputUnseen_ = inputUnseen;
  outputIsTerminal_ = outputIsTerminal;
  errorIsOutput_ = errorIsOutput;
}

// ---- Output ----

void StreamConsole::Send(const uint8_t* bytes, size_t count) {
  if (count > 0 && writeError_ == 0) writeError_ = WriteOut(bytes, count);
}

void StreamConsole::Flush() {
  Send(out_.Bytes(), out_.Length());
  out_.Clear();
}

void StreamConsole::Write(const uint8_t* bytes, size_t count) {
  if (count > 0) lastByte_ = bytes[count - 1];
  while (count > 0 && writeError_ == 0) {
    if (out_.Full()) Flush();
    if (out_.Empty() && count >= OutputBuffer::kSize) {
      Send(bytes, count);
      return;
    }
    const size_t n = out_.Put(bytes, count);
    bytes += n;
    count -= n;
  }
}

void StreamConsole::WriteRepeated(uint8_t byte, size_t count) {
  if (count > 0) lastByte_ = byte;
  while (count > 0 && writeError_ == 0) {
    if (out_.Full()) Flush();
    count -= out_.PutRepeated(byte, count);
  }
}

void StreamConsole::EndOfOutput() {
  if (outputIsTerminal_) Flush();
}

// The terminal turns the line feed into its line end, as every other one.
void StreamConsole::EndLastLine() {
  if (outputIsTerminal_ && lastByte_ != kLF) Write(&kLF, 1);
}

// ---- Input ----

// Output goes out before the keys are consulted whenever someone may be
// answering it: before every look at a terminal's keys and every read of
// them, and before a read that waits for an empty pipe. Keys already in a
// pipe or file cost no write each. A terminal out of reach has no keys.
bool StreamConsole::KeyWaiting() {
  if (inputIsTerminal_) {
    if (!TerminalInReach()) return false;
    Flush();
  }
  if (pushedKey_ == kNoKey) pushedKey_ = TakeKey(false);
  return pushedKey_ != kNoKey;
}

// A read waits for the terminal to come within reach (TerminalInReach may
// take it back on the way).
int StreamConsole::ReadKey() {
  if (inputIsTerminal_) {
    TerminalInReach();
    Flush();
  } else if (pushedKey_ == kNoKey && inStart_ == inEnd_ && !inputEnded_ && !InputReady(0)) {
    Flush();
  }
  int key = pushedKey_;
  pushedKey_ = kNoKey;
  return key != kNoKey ? key : TakeKey(true);
}

// Appends what one ReadIn brings; false once input has ended, at its end or
// at a read that failed (kept in readError_).
bool StreamConsole::ReadMore() {
  if (inStart_ == inEnd_) {
    inStart_ = inEnd_ = 0;
  } else if (inEnd_ == kInputBufferSize) {
    std::memmove(in_, in_ + inStart_, inEnd_ - inStart_);
    inEnd_ -= inStart_;
    inStart_ = 0;
  }
  if (inEnd_ == kInputBufferSize) return true;  // full already: nothing to add
  if (inputUnseen_) Flush();  // the read may wait, and someone may be answering the output
  size_t n = 0;
  if (int error = ReadIn(in_ + inEnd_, kInputBufferSize - inEnd_, n); error != 0) readError_ = error;
  inEnd_ += n;
  inputEnded_ = n == 0;
  return !inputEnded_;
}

bool StreamConsole::ByteWithin(size_t offset, int timeoutMs) {
  while (inEnd_ - inStart_ <= offset) {
    if (inputEnded_ || !InputReady(timeoutMs) || !ReadMore()) return false;
  }
  return true;
}

// The next key, waiting for it when `wait`; kNoKey when none is ready and
// not `wait`; kNoMoreKeys once input has ended.
int StreamConsole::TakeKey(bool wait) {
  for (;;) {
    if (inStart_ == inEnd_) {
      if (inputEnded_) return kNoMoreKeys;
      if (!wait && !InputReady(0)) return kNoKey;
      if (!ReadMore()) return kNoMoreKeys;
    }
    uint8_t byte = in_[inStart_++];
    if (!inputIsTerminal_) {
      if (byte == kLF) {
        bool endsCRLF = afterCR_;
        afterCR_ = false;
        if (endsCRLF) continue;
        return kCR;
      }
      afterCR_ = byte == kCR;
      return byte;
    }
    if (int key = TerminalKey(byte); key != kNoKey) return key;
  }
}

}  // namespace vorla
