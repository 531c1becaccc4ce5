// TerminalConsole: raw keys from a POSIX terminal, reads and writes on the
// standard descriptors, and the terminal settings put back on every way out
// (see the header).
#include "platform/terminal_console.h"

#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string_view>

#include "core/chars.h"

namespace vorla {

namespace {

// The settings found when the terminal went raw and the raw copy, with what
// the signal handlers need besides; shared with them, which is why they live
// outside the object.
termios gSaved;
termios gRaw;
volatile sig_atomic_t gWantRaw = 0;    // the run has taken the terminal
volatile sig_atomic_t gRawActive = 0;  // raw settings in force, not yet put back
// Room for every signal number: 1..NSIG-1, and the real-time signals, which
// some systems number past NSIG (none past 128).
constexpr int kSignalSlots = NSIG > 129 ? NSIG : 129;
struct sigaction gPrevious[kSignalSlots];  // what each caught signal did before
TerminalConsole* gLive = nullptr;      // the console exit() must flush
bool gAtExitRegistered = false;

// Every other signal the system defines ends the process by default, and is
// caught. These are not: by default they are ignored, continue the process
// (SIGCONT has a handler of its own), or stop it for reading or changing the
// terminal from the background; or they cannot be caught. Ctrl-Z's SIGTSTP is
// caught like an ending signal, which then stops the process instead.
constexpr int kNotEnding[] = {SIGCHLD, SIGURG, SIGWINCH, SIGCONT, SIGTTIN, SIGTTOU, SIGKILL, SIGSTOP};
// Signals of the running code's own faults, which happen again when the handler returns.
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr size_t kSignalStackSize = 64 * 1024;
alignas(16) uint8_t gSignalStack[kSignalStackSize];
constexpr size_t kMaxSequence = 32;  // longer "escape sequences" are cut and dropped

// Safe in a signal handler: only tcsetattr and a flag. Nothing waits for
// output the terminal has not taken (a stalled terminal, flow control): the
// raw settings change input only.
void PutBackSettings() {
  if (!gRawActive) return;
  gRawActive = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &gSaved);
}

// Answers whether the process is in the terminal's foreground process group;
// there, once the run has taken the terminal, it puts the raw settings in
// force, keeping the settings found at that moment to put back. Safe in a
// signal handler; normal code calls it with signals blocked.
bool TakeIfForeground() {
  if (gRawActive) return true;
  if (tcgetpgrp(STDIN_FILENO) != getpgrp()) return false;
  if (!gWantRaw || tcgetattr(STDIN_FILENO, &gSaved) != 0) return true;
  gRaw = gSaved;
  // CR stays CR; Ctrl-S, Ctrl-Q, Ctrl-V and Ctrl-O reach the script; 8-bit keys.
  gRaw.c_iflag &= ~(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
  // No echo and no line buffering; ISIG stays so Ctrl-C interrupts, and the
  // output flags stay so "\n" still starts a new line.
  gRaw.c_lflag &= ~(ECHO | ICANON | IEXTEN);
  gRaw.c_cc[VMIN] = 1;
  gRaw.c_cc[VTIME] = 0;
  gRawActive = 1;  // before the change, so a signal during it still puts back
  if (tcsetattr(STDIN_FILENO, TCSANOW, &gRaw) != 0) gRawActive = 0;
  return true;
}

// TakeIfForeground for normal code: with every signal held off, so that no
// handler takes the terminal between the look and the change.
bool InForeground() {
  if (gRawActive) return true;
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old);
  bool foreground = TakeIfForeground();
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return foreground;
}

void Install(int sig, void (*handler)(int, siginfo_t*, void*)) {
  struct sigaction action {};
  action.sa_sigaction = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
  sigaction(sig, &action, nullptr);
}

// Catches `sig`, keeping what it did before for the handler to go back to. A
// signal the parent chose to ignore (nohup, background jobs) stays ignored.
void Catch(int sig, void (*handler)(int, siginfo_t*, void*)) {
  if (sigaction(sig, nullptr, &gPrevious[sig]) != 0 || gPrevious[sig].sa_handler == SIG_IGN) return;
  Install(sig, handler);
}

template <size_t N>
bool Among(int sig, const int (&signals)[N]) {
  for (int listed : signals) {
    if (sig == listed) return true;
  }
  return false;
}

// The highest signal number the system defines, real-time signals included.
int HighestSignal() {
  int highest = NSIG - 1;
#ifdef SIGRTMAX
  if (SIGRTMAX > highest) highest = SIGRTMAX;
#endif
  return highest < kSignalSlots ? highest : kSignalSlots - 1;
}

// A signal that ends or stops the process: the settings go back, then the
// signal does what it did before (the default action, or a sanitizer's
// report). A fault of the running code happens again when the handler
// returns; any other signal is raised again and takes effect at once. A
// process still here afterwards was stopped and continued (Ctrl-Z), or met a
// signal this system ignores by default: the signal is caught again, and the
// raw settings return in the foreground.
void OnSignal(int sig, siginfo_t* info, void*) {
  int savedErrno = errno;
  PutBackSettings();
  sigaction(sig, &gPrevious[sig], nullptr);
  if (Among(sig, kFaultSignals) && info != nullptr && info->si_code > 0) {
    errno = savedErrno;
    return;
  }
  raise(sig);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);  // the signal takes its action here
  Install(sig, OnSignal);
  TakeIfForeground();
  errno = savedErrno;
}

// Continued, after any stop (Ctrl-Z, a key read in the background, `fg`):
// raw again if now in the foreground.
void OnContinue(int, siginfo_t*, void*) {
  int savedErrno = errno;
  TakeIfForeground();
  errno = savedErrno;
}

// A handler must run even when what ran out is the thread's own stack.
void UseSignalStack() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;  // a sanitizer's
  stack_t own{};
  own.ss_sp = gSignalStack;
  own.ss_size = sizeof gSignalStack;
  sigaltstack(&own, nullptr);
}

void AtExit() {
  if (gLive != nullptr) gLive->Flush();
  gWantRaw = 0;
  PutBackSettings();
}

// Whether standard input has something for read(2): a byte, its end or an error.
bool StandardInputReady(int timeoutMs) {
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  for (;;) {
    int n = poll(&fd, 1, timeoutMs);
    if (n >= 0) return n > 0;
    if (errno != EINTR) return true;  // let read(2) report it
  }
}

}  // namespace

TerminalConsole::TerminalConsole() {
  struct stat out {}, err {};
  const bool errorIsOutput = fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 &&
                             out.st_dev == err.st_dev && out.st_ino == err.st_ino;
  SetStreams(isatty(STDIN_FILENO) == 1, isatty(STDOUT_FILENO) == 1, errorIsOutput);
  errorShowsColour_ = isatty(STDERR_FILENO) == 1 && TermShowsColour(std::getenv("TERM"));
  gLive = this;
  if (!gAtExitRegistered) {
    std::atexit(AtExit);
    gAtExitRegistered = true;
  }
}

bool TerminalConsole::TermShowsColour(const char* term) {
  return term != nullptr && term[0] != '\0' && std::string_view(term) != "dumb";
}

TerminalConsole::~TerminalConsole() {
  Restore();
  if (gLive == this) gLive = nullptr;
}

void TerminalConsole::TakeTerminal() {
  if (!KeysAreTyped() || gWantRaw) return;
  UseSignalStack();
  for (int sig = 1, highest = HighestSignal(); sig <= highest; sig++) {
    if (!Among(sig, kNotEnding)) Catch(sig, OnSignal);  // a number the system reserves is refused
  }
  Catch(SIGCONT, OnContinue);
  gWantRaw = 1;
  InForeground();
}

void TerminalConsole::Restore() {
  Flush();
  gWantRaw = 0;
  PutBackSettings();
}

// ---- Output ----

int TerminalConsole::WriteOut(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    ssize_t n = write(STDOUT_FILENO, bytes, count);
    if (n > 0) {
      bytes += n;
      count -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd fd{STDOUT_FILENO, POLLOUT, 0};
      poll(&fd, 1, -1);
    } else {
      return n < 0 ? errno : EIO;
    }
  }
  return 0;
}

// ---- Input ----

// A background job has no keys: it must not read the terminal, nor change it.
// A read there stops the job until it is brought to the foreground, where the
// terminal goes raw and the read goes on.
bool TerminalConsole::TerminalInReach() { return InForeground(); }

bool TerminalConsole::InputReady(int timeoutMs) { return StandardInputReady(timeoutMs); }

int TerminalConsole::ReadIn(uint8_t* to, size_t room, size_t& count) {
  for (;;) {
    ssize_t n = read(STDIN_FILENO, to, room);
    count = n > 0 ? static_cast<size_t>(n) : 0;
    if (n >= 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      StandardInputReady(-1);
      continue;
    }
    return errno;
  }
}

// After an ESC from the terminal: drops the escape sequence of a special key
// if one follows at once and answers true; false leaves a lone ESC.
bool TerminalConsole::SkipEscapeSequence() {
  if (!ByteWithin(0, kEscapeWaitMs)) return false;
  uint8_t lead = PeekByte(0);
  if (lead != '[' && lead != 'O') return false;
  size_t length = 1;
  while (length < kMaxSequence && ByteWithin(length, kEscapeWaitMs)) {
    uint8_t c = PeekByte(length);
    if (length == 1 && lead == '[' && c == '[') {  // ESC [ [ A: Linux console F1
      ++length;
      continue;
    }
    if (c >= 0x40 && c <= 0x7E) {  // the final byte
      ++length;
      break;
    }
    if (c < 0x20 || c > 0x3F) break;  // not part of it: a key of its own
    ++length;
  }
  TakeBytes(length);
  return true;
}

int TerminalConsole::TerminalKey(uint8_t byte) {
  if (byte == kEsc && SkipEscapeSequence()) return kNoKey;
  // The terminal's own erase key (DEL on most terminals) is the backspace
  // that the line editor knows.
  if (byte == kDelete || (gSaved.c_cc[VERASE] != _POSIX_VDISABLE && byte == gSaved.c_cc[VERASE])) {
    return kBackspace;
  }
  return byte;
}

}  // namespace vorla
