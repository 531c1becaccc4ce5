// WindowsConsole: keys from the console's input events or a pipe or file,
// WriteFile on the standard output handle, and the console's modes put back
// on every way out (see the header).
#include "platform/windows_console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "core/chars.h"

namespace vorla {

namespace {

// The standard handles, the modes found and whether each is changed now;
// shared with the console-event handler and the fault filter, which run on
// threads of their own, which is why they live outside the object.
HANDLE gInput = INVALID_HANDLE_VALUE;
HANDLE gOutput = INVALID_HANDLE_VALUE;
HANDLE gError = INVALID_HANDLE_VALUE;
DWORD gSavedInputMode = 0;
DWORD gSavedOutputMode = 0;
DWORD gSavedErrorMode = 0;
volatile LONG gInputChanged = 0;
volatile LONG gOutputChanged = 0;
volatile LONG gErrorChanged = 0;
volatile LONG gTaken = 0;  // the run has taken the console's input
LPTOP_LEVEL_EXCEPTION_FILTER gPreviousFilter = nullptr;
WindowsConsole* gLive = nullptr;  // the console exit() must flush
bool gHandlersInstalled = false;

// A pipe with nothing in it is looked at again after this long.
constexpr DWORD kPipePollMs = 10;

// Puts one handle's mode back if it is changed; safe on any thread, once.
void PutBack(HANDLE handle, DWORD mode, volatile LONG& changed) {
  if (InterlockedExchange(&changed, 0) != 0) SetConsoleMode(handle, mode);
}

// Every way out: standard error and output first, since they may share one
// screen buffer whose mode the output's change set.
void PutBackModes() {
  PutBack(gError, gSavedErrorMode, gErrorChanged);
  PutBack(gOutput, gSavedOutputMode, gOutputChanged);
  PutBack(gInput, gSavedInputMode, gInputChanged);
}

// Sets `mode` on a console handle, keeping the mode found to put back.
// Answers whether the handle then has that mode.
bool Change(HANDLE handle, DWORD mode, DWORD& saved, volatile LONG& changed) {
  DWORD found;
  if (!GetConsoleMode(handle, &found)) return false;
  if (found == mode) return true;
  saved = found;
  InterlockedExchange(&changed, 1);  // before the change, so a way out during it still puts back
  if (SetConsoleMode(handle, mode)) return true;
  InterlockedExchange(&changed, 0);
  return false;
}

// Wine's console takes virtual-terminal processing and reports it on, but
// shows the escape sequences as text.
bool ConsoleShowsEscapesAsText() {
  HMODULE system = GetModuleHandleW(L"ntdll.dll");
  return system != nullptr && GetProcAddress(system, "wine_get_version") != nullptr;
}

// Virtual-terminal processing on a console for output: answers whether it is on.
bool TurnOnEscapes(HANDLE handle, DWORD& saved, volatile LONG& changed) {
  DWORD mode;
  if (!GetConsoleMode(handle, &mode) || ConsoleShowsEscapesAsText()) return false;
  return Change(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING, saved, changed);
}

// Ctrl-C, Ctrl-Break, the console closed, log-off, shut-down: the modes go
// back and the process ends at once with the status every console program
// ends with there, without waiting for the run thread or its output.
BOOL WINAPI OnConsoleEvent(DWORD) {
  PutBackModes();
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

// A fault nothing handles: the modes go back, then the fault goes on to the
// filter that was there before, or to the system.
LONG WINAPI OnFault(EXCEPTION_POINTERS* fault) {
  PutBackModes();
  return gPreviousFilter != nullptr ? gPreviousFilter(fault) : EXCEPTION_CONTINUE_SEARCH;
}

void AtExit() {
  if (gLive != nullptr) gLive->Flush();
  InterlockedExchange(&gTaken, 0);
  PutBackModes();
}

// The UTF-16 unit a console input event types, or 0: a key pressed that
// makes a character, the ESC key (which some consoles send with no character),
// or the release of Alt that ends a character entered on the number pad.
wchar_t Typed(const INPUT_RECORD& record) {
  if (record.EventType != KEY_EVENT) return 0;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  if (!key.bKeyDown) return key.wVirtualKeyCode == VK_MENU ? key.uChar.UnicodeChar : 0;
  if (key.uChar.UnicodeChar == 0 && key.wVirtualKeyCode == VK_ESCAPE) return kEsc;
  return key.uChar.UnicodeChar;
}

// The bytes one input event types, in the console's input code page, stored
// at `to` as far as `room` goes: a character once for each repeat of its key,
// nothing for an event that types nothing. The first half of a character in
// two UTF-16 units waits in `highSurrogate` for the second.
size_t KeyBytes(const INPUT_RECORD& record, wchar_t& highSurrogate, uint8_t* to, size_t room) {
  wchar_t units[2] = {Typed(record), 0};
  if (units[0] == 0) return 0;
  int count = 1;
  if (units[0] >= 0xD800 && units[0] <= 0xDBFF) {
    highSurrogate = units[0];
    return 0;
  }
  if (units[0] >= 0xDC00 && units[0] <= 0xDFFF && highSurrogate != 0) {
    units[1] = units[0];
    units[0] = highSurrogate;
    count = 2;
  }
  highSurrogate = 0;
  char bytes[8];
  int length = WideCharToMultiByte(GetConsoleCP(), 0, units, count, bytes, sizeof bytes, nullptr, nullptr);
  size_t stored = 0;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  for (WORD repeat = key.bKeyDown ? key.wRepeatCount : 1; repeat > 0; repeat--) {
    if (length <= 0 || stored + size_t(length) > room) break;
    for (int i = 0; i < length; i++) to[stored++] = uint8_t(bytes[i]);
  }
  return stored;
}

// Whether the console's next input event types something. Events in front
// that type nothing are dropped on the way; a failed look answers true, so
// that the read reports it.
bool ConsoleKeyWaiting() {
  for (;;) {
    INPUT_RECORD record;
    DWORD count = 0;
    if (!PeekConsoleInputW(gInput, &record, 1, &count)) return true;
    if (count == 0) return false;
    if (Typed(record) != 0) return true;
    if (!ReadConsoleInputW(gInput, &record, 1, &count)) return true;
  }
}

// Whether a pipe holds a byte, or its end or an error is there to be read.
bool PipeReady() {
  DWORD available = 0;
  return !PeekNamedPipe(gInput, nullptr, 0, nullptr, &available, nullptr) || available > 0;
}

// Whether two handles reach the very same file or pipe.
bool SameFile(HANDLE a, HANDLE b) {
  if (a == b) return true;
  BY_HANDLE_FILE_INFORMATION x, y;
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

WindowsConsole::WindowsConsole() {
  gInput = GetStdHandle(STD_INPUT_HANDLE);
  gOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  gError = GetStdHandle(STD_ERROR_HANDLE);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  DWORD mode;
  if (GetConsoleMode(gInput, &mode)) {
    source_ = Source::Console;
  } else if (GetFileType(gInput) == FILE_TYPE_PIPE) {
    DWORD available;
    bool seen = PeekNamedPipe(gInput, nullptr, 0, nullptr, &available, nullptr) || GetLastError() == ERROR_BROKEN_PIPE;
    source_ = seen ? Source::Pipe : Source::UnseenPipe;
  }
  bool outputIsConsole = GetConsoleMode(gOutput, &mode) != 0;
  SetStreams(source_ == Source::Console, outputIsConsole, SameFile(gOutput, gError), source_ == Source::UnseenPipe);
  gLive = this;
  if (!gHandlersInstalled) {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    gPreviousFilter = SetUnhandledExceptionFilter(OnFault);
    std::atexit(AtExit);
    gHandlersInstalled = true;
  }
  if (outputIsConsole) TurnOnEscapes(gOutput, gSavedOutputMode, gOutputChanged);
  errorShowsColour_ = TurnOnEscapes(gError, gSavedErrorMode, gErrorChanged);
}

WindowsConsole::~WindowsConsole() {
  Restore();
  if (gLive == this) gLive = nullptr;
}

void WindowsConsole::TakeTerminal() {
  if (!KeysAreTyped() || InterlockedExchange(&gTaken, 1) != 0) return;
  ULONG guarantee = kFaultStackBytes;
  SetThreadStackGuarantee(&guarantee);
  DWORD mode;
  if (!GetConsoleMode(gInput, &mode)) return;
  mode &= ~DWORD(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_MOUSE_INPUT | ENABLE_WINDOW_INPUT |
                 ENABLE_VIRTUAL_TERMINAL_INPUT);
  Change(gInput, mode, gSavedInputMode, gInputChanged);
}

void WindowsConsole::Restore() {
  Flush();
  InterlockedExchange(&gTaken, 0);
  PutBackModes();
}

// ---- Output ----

int WindowsConsole::WriteOut(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    DWORD chunk = count < OutputBuffer::kSize ? DWORD(count) : DWORD(OutputBuffer::kSize);
    DWORD written = 0;
    if (!WriteFile(gOutput, bytes, chunk, &written, nullptr)) return int(GetLastError());
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    count -= written;
  }
  return 0;
}

// ---- Input ----

bool WindowsConsole::InputReady(int timeoutMs) {
  if (source_ == Source::File || source_ == Source::UnseenPipe) return true;
  auto ready = [&] { return source_ == Source::Console ? ConsoleKeyWaiting() : PipeReady(); };
  if (ready()) return true;
  if (timeoutMs == 0) return false;  // a look, as every poll of the keys is: no clock
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    ULONGLONG waited = GetTickCount64() - start;
    if (timeoutMs >= 0 && waited >= ULONGLONG(timeoutMs)) return false;
    DWORD wait = timeoutMs < 0 ? INFINITE : DWORD(ULONGLONG(timeoutMs) - waited);
    if (source_ == Source::Console) {
      WaitForSingleObject(gInput, wait);
    } else {
      Sleep(wait < kPipePollMs ? wait : kPipePollMs);  // an anonymous pipe cannot be waited on
    }
    if (ready()) return true;
  }
}

int WindowsConsole::ReadIn(uint8_t* to, size_t room, size_t& count) {
  count = 0;
  if (source_ == Source::Console) return ReadConsoleKeys(to, room, count);
  DWORD chunk = room < kInputBufferSize ? DWORD(room) : DWORD(kInputBufferSize);
  DWORD got = 0;
  if (ReadFile(gInput, to, chunk, &got, nullptr)) {
    count = got;
    return 0;
  }
  DWORD error = GetLastError();
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : int(error);  // the writer is done: the end
}

// Waits for input events until one types something.
int WindowsConsole::ReadConsoleKeys(uint8_t* to, size_t room, size_t& count) {
  for (;;) {
    INPUT_RECORD record;
    DWORD events = 0;
    if (!ReadConsoleInputW(gInput, &record, 1, &events)) return int(GetLastError());
    if (events > 0 && (count = KeyBytes(record, highSurrogate_, to, room)) > 0) return 0;
  }
}

int WindowsConsole::TerminalKey(uint8_t byte) { return byte == kDelete ? kBackspace : byte; }

}  // namespace vorla
