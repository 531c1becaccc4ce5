// The Windows platform under the program entry: the Windows console, the
// interpreter's thread from CreateThread with its stack reserved, and the
// system's own texts for its error codes.
#include <windows.h>

#include "platform/host.h"
#include "platform/windows_console.h"

namespace vorla {

namespace {

struct Call {
  void (*body)(void*);
  void* data;
};

DWORD WINAPI RunCall(void* call) {
  Call& c = *static_cast<Call*>(call);
  c.body(c.data);
  return 0;
}

}  // namespace

std::unique_ptr<HostConsole> OpenHostConsole() { return std::make_unique<WindowsConsole>(); }

// The stack is reserved whole and committed as it is used, as the program's
// own main thread is.
int RunOnStack(size_t stackBytes, void (*body)(void*), void* data) {
  Call call{body, data};
  HANDLE thread = CreateThread(nullptr, stackBytes, RunCall, &call, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return int(GetLastError());
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  return 0;
}

// The text as the system words it, without its line end and final full stop,
// like the C library's texts.
bool IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string SystemErrorText(int code) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code),
                                0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.' ||
                        text[length - 1] == ' ')) {
    length--;
  }
  if (length == 0) return "error " + std::to_string(code);
  return std::string(text, length);
}

}  // namespace vorla
