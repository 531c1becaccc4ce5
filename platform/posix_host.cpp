// The POSIX platform under the program entry: the terminal console, and the
// interpreter's thread from pthreads, which takes the signals the console
// catches.
#include <pthread.h>
#include <signal.h>

#include "platform/host.h"
#include "platform/terminal_console.h"

namespace vorla {

namespace {

struct Call {
  void (*body)(void*);
  void* data;
};

// Every signal reaches this thread, so that the console's handlers run where
// the script runs.
void* RunCall(void* call) {
  sigset_t none;
  sigemptyset(&none);
  pthread_sigmask(SIG_SETMASK, &none, nullptr);
  Call& c = *static_cast<Call*>(call);
  c.body(c.data);
  return nullptr;
}

}  // namespace

std::unique_ptr<HostConsole> OpenHostConsole() { return std::make_unique<TerminalConsole>(); }

// The calling thread holds every signal off while the run thread exists, so
// that signals sent to the process reach the run thread.
int RunOnStack(size_t stackBytes, void (*body)(void*), void* data) {
  pthread_attr_t attr;
  int error = pthread_attr_init(&attr);
  if (error != 0) return error;
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old);
  Call call{body, data};
  pthread_t thread;
  error = pthread_attr_setstacksize(&attr, stackBytes);
  if (error == 0) error = pthread_create(&thread, &attr, RunCall, &call);
  if (error == 0) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return error;
}

}  // namespace vorla
