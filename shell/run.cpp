// The run driver: reset, globals, definitions, `main`, and the error report
// "err at LINE:rest of the line".
#include "shell/run.h"

#include <cstring>
#include <string_view>

#include "builtins/output.h"
#include "core/chars.h"
#include "core/declare.h"
#include "core/engine/engine.h"
#include "core/exec.h"
#include "core/names.h"
#include "core/state.h"

namespace vorla {

namespace {

RunEnd lastRun;

// A fault in a typed line is printed from the copy the run's end took: the
// line number's digits are built in the tail of InputLine, which a full typed
// line reaches.
void ReportError(TextPosition at) {
  PrintConstant("\nerr at ");
  FormatDecimal(LineOf(at), 0);
  PrintConstant(":");
  if (!InInput(at)) {
    PrintLine(at);
    return;
  }
  const uint8_t* typed = lastRun.typedLine;
  size_t from = at - kInputBase, to = from;
  while (to < kInputSize && typed[to] != kNul && typed[to] != kCR) to++;
  if (to < kInputSize && typed[to] == kCR) to++;
  PrintConstant(std::string_view(reinterpret_cast<const char*>(typed + from), to - from));
}

// The run as it ended, kept for LastRunEnd.
RunOutcome Ended(RunOutcome outcome) {
  lastRun.outcome = outcome;
  std::memcpy(lastRun.typedLine, ScriptMemory::View(kInputBase), kInputSize);
  return outcome;
}

}  // namespace

Value LineOf(TextPosition at) {
  Value line = 1;
  if (at < SourceStart || at >= kSourceBase + kSourceSize) return line;
  for (TextPosition p = SourceStart; p < at; p++) {
    if (PeekText(p) == kCR) line++;
  }
  return line;
}

TextPosition ReadDefinitions() {
  ResetForRun();
  TextPosition p = SourceStart;
  DeclareGlobals(p);
  while (DefineRoutine(p)) {
  }
  return p;
}

void ReadHead(RunEnd& head) {
  head.definitionsEnd = ReadDefinitions();
  head.definitionsFault = HasError() ? CurrentFault : FaultRecord{};
}

RunOutcome RunProgram() {
  ReadHead(lastRun);
  int main = FindRoutine(MainName);
  if (main < 0) {
    PrintConstant("\nmain() ?");
    return Ended(RunOutcome::MissingMain);
  }
  TextPosition body = RoutineTable[main].Target;
  if (UseEngine) {
    RunMainCompiled(body, Scope{VariableCount, kLiveTop});
  } else {
    ExecBody(body, Scope{VariableCount, kLiveTop});
  }
  RunCursor = body;
  TextPosition fault = ErrorPosition;
  if (fault == kNoError) return Ended(RunOutcome::Finished);
  if (fault == StopRequested) return Ended(RunOutcome::Stopped);
  Ended(RunOutcome::Error);
  ReportError(fault);
  return RunOutcome::Error;
}

const RunEnd& LastRunEnd() { return lastRun; }

bool EngineWanted(const char* setting) { return setting == nullptr || std::string_view(setting) != "0"; }

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
