// Whole scripts run in-process for the statement, call and line-input tests.
// The run happens on a thread with a stack as large as the program's own, which
// the deepest nesting the interpreter allows fits in a sanitizer build too.
#pragma once

#include <pthread.h>

#include <string_view>

#include "shell/run.h"
#include "test_support.h"

namespace vorla::test {

class ScriptTest : public VorlaTest {
 protected:
  // Loads `text` as the script and runs it as the program does, with the keys
  // of the current console.
  RunOutcome Run(std::string_view text) {
    EXPECT_TRUE(LoadText(text));
    RunOutcome outcome = RunOutcome::Error;
    pthread_attr_t attr;
    pthread_t thread;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kInterpreterStackBytes);
    if (pthread_create(&thread, &attr, RunThread, &outcome) == 0) {
      pthread_join(thread, nullptr);
    } else {
      ADD_FAILURE() << "no thread for the run";
    }
    pthread_attr_destroy(&attr);
    return outcome;
  }

  // Starts again from a fresh process whose console holds `keys`, typed ahead.
  void Keys(std::string keys, bool interactive = true) { UseConsole(std::move(keys), interactive); }

 private:
  static void* RunThread(void* outcome) {
    *static_cast<RunOutcome*>(outcome) = RunProgram();
    return nullptr;
  }
};

}  // namespace vorla::test
