// The run driver: reset, globals, definitions, `main`, and the error report
// "err at LINE:rest of the line".
#include "shell/run.h"

#include <string_view>

#include "builtins/output.h"
#include "core/chars.h"
#include "core/declare.h"
#include "core/exec.h"
#include "core/names.h"
#include "core/state.h"

namespace vorla {

namespace {

// 1 plus the CRs of the loaded text before the fault; a fault outside the text
// (in a typed input line) is on line 1.
Value LineOf(TextPosition at) {
  Value line = 1;
  if (at < SourceStart || at >= kSourceBase + kSourceSize) return line;
  for (TextPosition p = SourceStart; p < at; p++) {
    if (PeekText(p) == kCR) line++;
  }
  return line;
}

// A fault in a typed line is printed from a copy taken first: the line
// number's digits are built in the tail of InputLine, which a full typed line
// reaches.
void ReportError(TextPosition at) {
  char typed[kInputSize + 1] = {};
  const bool inTypedLine = at >= kInputBase && at < kInputBase + kInputSize;
  if (inTypedLine) {
    size_t n = 0;
    for (TextPosition p = at; p < kInputBase + kInputSize && PeekText(p) != kNul; p++) {
      typed[n++] = char(PeekText(p));
      if (PeekText(p) == kCR) break;
    }
  }
  PrintConstant("\nerr at ");
  FormatDecimal(LineOf(at), 0);
  PrintConstant(":");
  if (inTypedLine) {
    PrintConstant(typed);
  } else {
    PrintLine(at);
  }
}

}  // namespace

RunOutcome RunProgram() {
  ResetForRun();
  TextPosition p = SourceStart;
  DeclareGlobals(p);
  while (DefineRoutine(p)) {
  }
  int main = FindRoutine(MainName);
  if (main < 0) {
    PrintConstant("\nmain() ?");
    return RunOutcome::MissingMain;
  }
  TextPosition body = RoutineTable[main].Target;
  ExecBody(body, Scope{VariableCount, kLiveTop});
  RunCursor = body;
  TextPosition fault = ErrorPosition;
  if (fault == kNoError) return RunOutcome::Finished;
  if (fault == StopRequested) return RunOutcome::Stopped;
  ReportError(fault);
  return RunOutcome::Error;
}

bool DecodingWanted(const char* setting) { return setting == nullptr || std::string_view(setting) != "0"; }

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Finished:
    case RunOutcome::Stopped: return 0;
    case RunOutcome::MissingMain:
    case RunOutcome::Error: return 1;
  }
  return 1;
}

}  // namespace vorla
