// The check (`vorla --check`): the head of each script is read as a run reads
// it, and every body by the engine's compiler, which a run uses too, so the
// check and the run agree on what is well formed. Nothing runs.
#include "shell/check.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "core/engine/engine.h"
#include "core/names.h"
#include "core/scan.h"
#include "shell/diagnostic.h"
#include "shell/load.h"
#include "shell/run.h"

namespace vorla {

namespace {

// What one script's check found, each with the place it is about.
class Report : public Findings {
 public:
  Report(const char* file, bool colour) : file_(file), colour_(colour) {}

  void Found(const FaultRecord& finding) override {
    Add(finding.at, IsTrap(finding.kind), ComposeFinding(finding, file_, colour_));
  }

  void Add(TextPosition at, bool warning, std::string text) {
    (warning ? warnings_ : errors_)++;
    found_.emplace_back(at, std::move(text));
  }

  // The findings in the order of the text, then "2 errors, 1 warning in s.vl".
  std::string Text() {
    std::stable_sort(found_.begin(), found_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text;
    for (const auto& f : found_) text += f.second;
    return text + Count(errors_, "error") + ", " + Count(warnings_, "warning") + " in " + file_ + "\n";
  }
  int errors() const { return errors_; }

 private:
  static std::string Count(int n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
  }

  const char* file_;
  bool colour_;
  int errors_ = 0;
  int warnings_ = 0;
  std::vector<std::pair<TextPosition, std::string>> found_;
};

// The head of the script as a run reads it: a fault in it, no `main`, or
// text after the place where reading the definitions stops.
void CheckHead(Report& report, const char* file, bool colour) {
  RunEnd run{};
  ReadHead(run);
  if (FindRoutine(MainName) < 0) {
    run.outcome = RunOutcome::MissingMain;
    report.Add(run.definitionsEnd, false, ComposeDiagnostic(run, file, colour));
  } else if (run.definitionsFault.kind != FaultKind::None) {
    report.Found(run.definitionsFault);
  } else {
    TextPosition after = run.definitionsEnd;
    SkipBlanks(after);
    if (PeekText(after) != kNul) report.Found(FaultRecord{.at = after, .kind = FaultKind::DefinitionsEnd, .details = {}});
  }
  ErrorPosition = kNoError;
}

}  // namespace

int CheckScripts(const std::vector<const char*>& scripts, bool colour) {
  int status = 0;
  for (const char* file : scripts) {
    const Loading loading = LoadScript(file);
    if (loading.result != LoadResult::Loaded) {
      const std::string failure = LoadFailure(loading, file);
      std::fwrite(failure.data(), 1, failure.size(), stderr);
      status = 1;
      continue;
    }
    Report report(file, colour);
    if (loading.unread > 0) report.Add(SourceStart, true, ComposeTextEnd(file, loading.unread, colour));
    CheckHead(report, file, colour);
    CheckProgram(report);
    const std::string text = report.Text();
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (report.errors() > 0) status = 1;
  }
  return status;
}

}  // namespace vorla
