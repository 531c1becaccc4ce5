// ScriptedConsole: a console for tests and the fuzzer. Keys come from a list,
// each ready from a given keyboard poll on; output bytes are captured.
#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "platform/console.h"

namespace vorla {

class ScriptedConsole : public Console {
 public:
  // Keys typed ahead: each one is waiting from the start. Not `interactive`,
  // they come as from a pipe.
  explicit ScriptedConsole(std::string keys = "", bool interactive = true);

  // A key that starts to wait at the given KeyWaiting() call (1 = the first),
  // as if typed while the script runs. A ReadKey before then still gets it.
  void AddKeyAtPoll(uint8_t key, int poll);
  void AddKeys(const std::string& keys);
  // Once the keys are used up, the next look at or read of them fails, as a
  // read of an unreadable input does, instead of finding their end.
  void FailAfterKeys() { failAfterKeys_ = true; }

  const std::string& Output() const { return output_; }
  size_t OutputSize() const { return outputSize_; }  // bytes written, captured or not
  int Polls() const { return polls_; }
  size_t KeysLeft() const { return keys_.size(); }
  void ClearOutput() { output_.clear(); outputSize_ = 0; }
  // Bytes beyond this many are counted but not kept.
  void SetOutputCap(size_t cap) { cap_ = cap; }

  void Write(const uint8_t* bytes, size_t count) override;
  void WriteRepeated(uint8_t byte, size_t count) override;
  void EndOfOutput() override {}
  bool OutputFailed() override { return false; }
  bool KeysAreTyped() override { return interactive_; }
  bool KeyWaiting() override;
  int ReadKey() override;
  bool KeysFailed() override { return keysFailed_; }
  void Flush() override {}
  void EndLastLine() override {}  // captured output is a pipe's: nothing is added

 private:
  struct Key {
    uint8_t code;
    int readyAtPoll;
  };
  std::deque<Key> keys_;
  std::string output_;
  size_t outputSize_ = 0;
  size_t cap_ = 1 << 20;
  int polls_ = 0;
  bool interactive_;
  bool failAfterKeys_ = false;
  bool keysFailed_ = false;
};

}  // namespace vorla
