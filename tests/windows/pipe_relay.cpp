// Test helper for the Windows build: runs a program with a Windows pipe as its
// standard input and passes on to that pipe whatever comes on the helper's own
// standard input, as it comes; ends with the program's exit status. Under Wine
// a pipe from a POSIX parent cannot be looked into, so the console tests need
// this to give vorla.exe the pipe a Windows parent gives.
//
// usage: pipe_relay.exe PROGRAM [ARGUMENTS...]
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  std::string command;
  for (int i = 1; i < argc; i++) command += std::string(i > 1 ? " \"" : "\"") + argv[i] + "\"";
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE pipeIn, pipeOut;
  if (argc < 2 || !CreatePipe(&pipeIn, &pipeOut, &inherited, 0)) return 127;
  SetHandleInformation(pipeOut, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = pipeIn;
  start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION child;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child)) return 127;
  CloseHandle(pipeIn);
  char buffer[4096];
  DWORD got, written;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    if (!WriteFile(pipeOut, buffer, got, &written, nullptr)) break;
  }
  CloseHandle(pipeOut);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 127;
  GetExitCodeProcess(child.hProcess, &status);
  return int(status);
}
