// ScriptedConsole: keys from a list, output into a string (see the header).
#include "platform/scripted_console.h"

namespace vorla {

ScriptedConsole::ScriptedConsole(std::string keys, bool interactive) : interactive_(interactive) {
  AddKeys(keys);
}

void ScriptedConsole::AddKeys(const std::string& keys) {
  for (unsigned char c : keys) keys_.push_back({c, 0});
}

void ScriptedConsole::AddKeyAtPoll(uint8_t key, int poll) { keys_.push_back({key, poll}); }

void ScriptedConsole::Write(const uint8_t* bytes, size_t count) {
  outputSize_ += count;
  if (output_.size() < cap_) {
    size_t room = cap_ - output_.size();
    output_.append(reinterpret_cast<const char*>(bytes), count < room ? count : room);
  }
}

void ScriptedConsole::WriteRepeated(uint8_t byte, size_t count) {
  outputSize_ += count;
  if (output_.size() < cap_) {
    size_t room = cap_ - output_.size();
    output_.append(count < room ? count : room, static_cast<char>(byte));
  }
}

bool ScriptedConsole::KeyWaiting() {
  polls_++;
  if (keys_.empty() && failAfterKeys_) keysFailed_ = true;
  if (keys_.empty() && (!interactive_ || keysFailed_)) return true;  // like a pipe whose input has ended or failed
  return !keys_.empty() && keys_.front().readyAtPoll <= polls_;
}

int ScriptedConsole::ReadKey() {
  if (keys_.empty()) {
    keysFailed_ = failAfterKeys_;
    return kNoMoreKeys;
  }
  int code = keys_.front().code;
  keys_.pop_front();
  return code;
}

}  // namespace vorla
