// The console as the interpreter sees it: output bytes go out through one
// object and keys come in through it. Each platform's console (platform/host.h)
// serves a real terminal or a pipe; ScriptedConsole feeds keys and captures
// output for tests.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vorla {

// What ReadKey answers when no key will ever come (end of piped input, or a
// read that failed).
inline constexpr int kNoMoreKeys = -1;

class Console {
 public:
  virtual ~Console() = default;
  // Output bytes, in order. Implementations may buffer them.
  virtual void Write(const uint8_t* bytes, size_t count) = 0;
  virtual void WriteRepeated(uint8_t byte, size_t count) = 0;
  // One output routine has finished: a person watching must see its bytes now.
  virtual void EndOfOutput() = 0;
  // Output can no longer be written (a full disk, a closed descriptor): every
  // later byte is dropped, and the run should end.
  virtual bool OutputFailed() = 0;
  // Whether a person types the keys (a terminal) rather than a pipe or file
  // holding them. Only a person can answer the pause/stop poll after outputs,
  // or see a full line refuse its Enter and erase.
  virtual bool KeysAreTyped() = 0;
  // Is a key waiting? It stays waiting.
  virtual bool KeyWaiting() = 0;
  // Waits for one key and answers its code 0..255, or kNoMoreKeys. Pending
  // output is visible before the read waits.
  virtual int ReadKey() = 0;
  // A read of the keys failed with an error (an unreadable or closed input),
  // which is not their end: from then on no key comes, KeyWaiting() is true
  // and ReadKey() answers kNoMoreKeys, and the run should end.
  virtual bool KeysFailed() = 0;
  // Makes every byte written so far visible.
  virtual void Flush() = 0;
  // The output is complete: on a terminal whose last byte written was not a
  // line feed, one follows, so that whatever comes next (a diagnostic, the
  // shell's prompt) starts a line of its own. Pipes and files get nothing.
  virtual void EndLastLine() = 0;
};

}  // namespace vorla
