// The platform under the program entry: the console on the process's own
// standard streams, the thread the interpreter runs on, and the text of a
// system error. Each platform gives these once, in its console and a short
// PLATFORM_host.cpp beside it, and the build picks one; shell/main.cpp is the
// same on every platform.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

#include "platform/console.h"

namespace vorla {

// The console the entry owns: the interpreter's Console, and what the entry
// does with it before and after the run.
class HostConsole : public Console {
 public:
  // The run begins: keys from a terminal come raw, and the ways out that skip
  // the exit handlers (signals, a console's Ctrl-C or close) put the terminal
  // back first. Called once, on the thread that runs the script, after the
  // script is loaded.
  virtual void TakeTerminal() = 0;
  // Writes out what is buffered and puts the terminal back as it was found.
  // Later calls, and every other way out afterwards, leave it alone.
  virtual void Restore() = 0;
  // The system's code for why the first failed write failed, or 0.
  virtual int WriteError() const = 0;
  // The system's code for why a read of the keys failed, or 0.
  virtual int ReadError() const = 0;
  // Whether a diagnostic on standard error may be coloured: standard error is
  // a terminal that shows colour, never a pipe or a file.
  virtual bool ErrorsShowColour() const = 0;
  // Whether standard error is the very file or pipe that standard output is
  // (as with 2>&1) and the output written so far has not ended its last line:
  // what standard error gets now would run on in that line.
  virtual bool ErrorsContinueOutputLine() const = 0;
};

// The platform's console on standard input, output and error; one per process.
std::unique_ptr<HostConsole> OpenHostConsole();

// Runs body(data) on a thread of its own with `stackBytes` of stack, on which
// the console's ways out also act, and waits for it. Answers 0, or the
// system's code for why no such thread could be had: the script never runs on
// a smaller stack.
int RunOnStack(size_t stackBytes, void (*body)(void*), void* data);

// The system's text for an error code from WriteError, ReadError or
// RunOnStack, without a line end.
std::string SystemErrorText(int code);

// Whether `path` names a folder, which is no script on any system (some open
// one and fail at the read, some refuse to open it).
bool IsFolder(const char* path);

}  // namespace vorla
