// One fuzz input run in-process: its bytes are split into a script and the keys
// typed ahead, the script goes through LoadText and the run driver with the
// ScriptedConsole, on a thread with a large stack. Shared by the
// fuzz target and the tests that replay fuzz/regressions.
#pragma once
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/table.h"
#include "core/state.h"
#include "platform/scripted_console.h"
#include "shell/diagnostic.h"
#include "shell/load.h"
#include "shell/run.h"

namespace vorla::fuzz {

// Keys are the bytes after the last NUL of the input when that NUL is one of
// its last kMaxKeys + 1 bytes; everything before it is the script. An input
// without such a NUL is all script, with no keys.
inline constexpr size_t kMaxKeys = 32;
// Statements a fuzz run may execute before it is stopped: bounds `for (;;) ;`.
inline constexpr int64_t kStepBudget = 20000;
// Output bytes kept by the console; the rest is counted only.
inline constexpr size_t kOutputCap = 1 << 16;
// The interpreter's stack: the program's own, so that a script that would
// outgrow it there crashes here, where the fuzzer finds it.
inline constexpr size_t kRunStack = kInterpreterStackBytes;

struct Input {
  std::string_view script;
  std::string_view keys;
};

inline Input SplitInput(const uint8_t* data, size_t size) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  size_t nul = all.rfind('\0');
  if (nul == std::string_view::npos || size - nul - 1 > kMaxKeys) return {all, {}};
  return {all.substr(0, nul), all.substr(nul + 1)};
}

// Makes a fuzz input from a script and its keys (the seed corpus, tests).
inline std::string JoinInput(std::string_view script, std::string_view keys) {
  std::string input(script);
  if (!keys.empty() || script.find('\0') != std::string_view::npos) {
    input += '\0';
    input += keys.substr(0, kMaxKeys);
  }
  return input;
}

// A stack of fresh memory with a guard page below, and one thread that runs on
// it the bodies handed to Run, one at a time. (A new thread per run would do,
// but AddressSanitizer keeps a little memory for every thread that ever
// lived.) The memory stays mapped, so the deepest any run went can be read off
// afterwards.
class LargeStack {
 public:
  explicit LargeStack(size_t size = kRunStack) : size_(size), page_(size_t(sysconf(_SC_PAGESIZE))) {
    void* region = mmap(nullptr, size_ + page_, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (region == MAP_FAILED) return;
    region_ = static_cast<uint8_t*>(region);
    mprotect(region_, page_, PROT_NONE);
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return;
    pthread_attr_setstack(&attr, region_ + page_, size_);
    threadStarted_ = pthread_create(&thread_, &attr, Worker, this) == 0;
    pthread_attr_destroy(&attr);
  }
  ~LargeStack() {
    if (threadStarted_) {
      {
        std::lock_guard lock(mutex_);
        quit_ = true;
      }
      wake_.notify_all();
      pthread_join(thread_, nullptr);
    }
    if (region_ != nullptr) munmap(region_, size_ + page_);
  }
  LargeStack(const LargeStack&) = delete;
  LargeStack& operator=(const LargeStack&) = delete;

  // Runs `body` on this stack's thread and waits for it, or runs it here when
  // no thread could be made.
  template <typename Body>
  void Run(Body& body) {
    if (!threadStarted_) {
      body();
      return;
    }
    std::unique_lock lock(mutex_);
    job_ = [](void* b) { (*static_cast<Body*>(b))(); };
    jobBody_ = &body;
    wake_.notify_all();
    done_.wait(lock, [this] { return job_ == nullptr; });
  }

  // Bytes of the stack that any run has touched: the stack grows down, so the
  // lowest resident page marks the deepest point.
  size_t PeakBytes() const {
    if (region_ == nullptr) return 0;
    std::vector<unsigned char> resident(size_ / page_);
    if (mincore(region_ + page_, size_, resident.data()) != 0) return 0;
    for (size_t i = 0; i < resident.size(); i++) {
      if (resident[i] & 1) return size_ - i * page_;
    }
    return 0;
  }

 private:
  static void* Worker(void* self) {
    LargeStack& stack = *static_cast<LargeStack*>(self);
    std::unique_lock lock(stack.mutex_);
    for (;;) {
      stack.wake_.wait(lock, [&stack] { return stack.job_ != nullptr || stack.quit_; });
      if (stack.quit_) return nullptr;
      lock.unlock();
      stack.job_(stack.jobBody_);
      lock.lock();
      stack.job_ = nullptr;
      stack.done_.notify_all();
    }
  }

  size_t size_;
  size_t page_;
  uint8_t* region_ = nullptr;
  pthread_t thread_{};
  bool threadStarted_ = false;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  void (*job_)(void*) = nullptr;
  void* jobBody_ = nullptr;
  bool quit_ = false;
};

struct InputRun {
  bool loaded = false;   // false: the script did not fit (as "file too large")
  RunOutcome outcome = RunOutcome::Finished;
  std::string output;    // the first kOutputCap bytes
  bool wholeOutput = true;  // false: more was written than the console kept
  size_t outputSize = 0;    // bytes written, kept or not
  // Where the run ended, as the interpreter's state shows it.
  TextPosition errorPosition = kNoError;
  TextPosition cursor = 0;
  int32_t variableCount = 0;
  int32_t operandDepth = 0;
  int32_t nestingDepth = 0;
  int32_t callDepth = 0;
  int32_t routineCount = 0;
  bool evaluatingInputLine = false;
  std::string diagnostic;  // what standard error would explain

  // The same run in every way a script or its user can tell, and in the
  // interpreter's own state at the end.
  bool SameAs(const InputRun& o) const {
    return loaded == o.loaded && outcome == o.outcome && output == o.output && outputSize == o.outputSize &&
           errorPosition == o.errorPosition && cursor == o.cursor && variableCount == o.variableCount &&
           operandDepth == o.operandDepth && diagnostic == o.diagnostic;
  }
};

// Loads and runs one fuzz input with the step budget, interactive (so every
// output polls the keyboard), the keys typed ahead.
inline InputRun RunInput(const uint8_t* data, size_t size, LargeStack& stack, int64_t stepBudget = kStepBudget) {
  Input input = SplitInput(data, size);
  InputRun run;
  ScriptedConsole console(std::string(input.keys), /*interactive=*/true);
  console.SetOutputCap(kOutputCap);
  ResetProgramState(&console);
  InstallBuiltins();
  StepBudget = stepBudget;
  if (!LoadText(input.script)) return run;
  run.loaded = true;
  auto body = [&run] { run.outcome = RunProgram(); };
  stack.Run(body);
  run.output = console.Output();
  run.outputSize = console.OutputSize();
  run.wholeOutput = console.OutputSize() == run.output.size();
  run.errorPosition = ErrorPosition;
  run.cursor = RunCursor;
  run.variableCount = VariableCount;
  run.operandDepth = OperandDepth;
  run.nestingDepth = NestingDepth;
  run.callDepth = CallDepth;
  run.routineCount = RoutineCount;
  run.evaluatingInputLine = EvaluatingInputLine;
  run.diagnostic = ComposeDiagnostic(LastRunEnd(), "fuzz.vl", false);
  ActiveConsole = nullptr;
  return run;
}

// Whether a run ended in one of the defined outcomes with the interpreter's
// tables back in shape: no nesting or call left open, the counts within their
// tables, the output (when all of it was kept) ending as the outcome says, and
// a diagnostic exactly for a run that failed, as the run's record shows them.
inline bool RunEndedInShape(const InputRun& run);

// The input run twice: from compiled code, and by the walker alone.
// `compiled` and `read` get the two runs.
inline void RunInputBothWays(const uint8_t* data, size_t size, LargeStack& stack, InputRun& compiled, InputRun& read,
                             int64_t stepBudget = kStepBudget) {
  const bool setting = UseEngine;
  UseEngine = true;
  compiled = RunInput(data, size, stack, stepBudget);
  UseEngine = false;
  read = RunInput(data, size, stack, stepBudget);
  UseEngine = setting;
}

// One line on how a run ended, for a report.
inline std::string Describe(const InputRun& run) {
  return "outcome " + std::to_string(int(run.outcome)) + ", error at " + std::to_string(run.errorPosition) +
         ", cursor " + std::to_string(run.cursor) + ", variables " + std::to_string(run.variableCount) +
         ", operands " + std::to_string(run.operandDepth) + ", " + std::to_string(run.outputSize) + " bytes out";
}

inline bool RunEndedInShape(const InputRun& run) {
  const bool failed = run.outcome == RunOutcome::MissingMain || run.outcome == RunOutcome::Error;
  bool ok = run.nestingDepth == 0 && run.callDepth == 0 && run.operandDepth >= 0 &&
            run.operandDepth <= kMaxOperands && run.variableCount >= 0 && run.variableCount <= kMaxVariables &&
            run.routineCount <= kMaxRoutines && !run.evaluatingInputLine && run.diagnostic.starts_with("vorla: ") == failed &&
            (run.diagnostic.find(": error: ") != std::string::npos) == failed;
  switch (run.outcome) {
    case RunOutcome::Finished: return ok && run.errorPosition == kNoError;
    case RunOutcome::Stopped: return ok && run.errorPosition == StopRequested;
    case RunOutcome::MissingMain: return ok && (!run.wholeOutput || run.output.ends_with("\nmain() ?"));
    // The report's line number polls the keyboard like any number output, so
    // an ESC typed ahead may turn ErrorPosition into a stop request there.
    case RunOutcome::Error: return ok && (!run.wholeOutput || run.output.find("\nerr at ") != std::string::npos);
  }
  return false;
}

}  // namespace vorla::fuzz
