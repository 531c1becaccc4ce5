// Diagnostics: the explanation of a failed run, composed after the run from
// the fault records (core/fault.h) and from reading the text again. One table
// turns fault kinds into reasons; the rules (shell/rules.cpp) add the notes
// on the likely cause and the limits passed; the notes placed here name the
// first fault when a statement re-pointed it, and why no `main` was read.
#include "shell/diagnostic.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "core/chars.h"
#include "core/scan.h"
#include "shell/rules.h"
#include "shell/suggest.h"
#include "shell/text_reader.h"

namespace vorla {

namespace {

// The reason of each kind where the fault was found, and the words for a
// statement that re-pointed an earlier fault to where its own reading stopped
// (nullptr: the same words). Placeholders in braces are filled from the
// record; the rows follow the order of FaultKind.
struct Reason {
  FaultKind kind;
  const char* found;
  const char* repointed;
};

constexpr Reason kReasons[] = {
    {FaultKind::None, "the run failed here", nullptr},
    {FaultKind::OperandExpected, "expected an operand, found {found}", nullptr},
    {FaultKind::OperatorExpected, "expected an operator, found {found}", nullptr},
    {FaultKind::ValueExpected, "expected an expression, found {found}", nullptr},
    {FaultKind::CloseParenExpected, "expected ')' to close the '(' {origin}, found {found}",
     "the expression in the '(' {origin} stopped here"},
    {FaultKind::CloseBracketExpected, "expected ']' to close the index of {indexed}, found {found}",
     "the index of {indexed} stopped here"},
    {FaultKind::LiteralNotClosed, "the text ends inside the {literal} begun {origin}", nullptr},
    {FaultKind::BadCharacterLiteral, "expected one character between two apostrophes, as in 'A'", nullptr},
    {FaultKind::AddressOutside, "{target} reaches {reach}, outside script memory", nullptr},
    {FaultKind::OperandsFull, "the expression needs more than {number} pending operands", nullptr},
    {FaultKind::NestingTooDeep, "nesting too deep: more than {number} levels of bodies and expressions", nullptr},
    {FaultKind::UnknownName, "{here} is neither a variable nor a routine", nullptr},
    {FaultKind::ProcedureInExpression,
     "{routine} is a procedure: it gives no value, so it cannot stand in an expression", nullptr},
    {FaultKind::FunctionAsStatement, "{routine} is a function: its call belongs in an expression, not at the start "
                                     "of a statement", nullptr},
    {FaultKind::CallsTooDeep, "calls nested too deeply: more than {number} calls of script routines at once", nullptr},
    {FaultKind::InputInTypedLine, "'Input_' cannot be called from the line typed for it", nullptr},
    {FaultKind::NameAtEndOfText, "the text ends right after the name {here}", nullptr},
    {FaultKind::ArgumentExpected, "expected an argument, found {found}", nullptr},
    {FaultKind::ArgumentCount, "{routine} takes {count}, found {found} after the {ordinal}",
     "the {ordinal} argument of {routine} stopped here"},
    {FaultKind::ArgumentsNotClosed, "the text ends before the ')' that closes the argument list", nullptr},
    {FaultKind::ParameterListBroken, "the parameter list of {routine} {definition} does not end at ')'",
     "the call of {routine} stopped here: its parameter list {definition} does not end at ')'"},
    {FaultKind::VariablesFull, "too many variables alive at once: the table holds {number}", nullptr},
    {FaultKind::ConditionNotClosed, "expected ')' to close the condition of {keyword} {origin}, found {found}",
     "the condition of {keyword} {origin} stopped here"},
    {FaultKind::ForHeaderNotClosed, "the text ends before the ')' that closes the header of 'for (' {origin}",
     nullptr},
    {FaultKind::BodyNotClosed, "the text ends inside {body} begun {origin}", nullptr},
    {FaultKind::WhileExpected, "expected 'while (' after the body of 'do ' {origin}, found {found}", nullptr},
    {FaultKind::AssignExpected, "expected '=' after {target}, found {found}", nullptr},
    {FaultKind::RightSideFailed, "the right-hand side of the assignment to {name} stopped here", nullptr},
    {FaultKind::StatementExpected, "expected a statement or the '}' that closes the block begun {origin}, "
                                   "found {found}", nullptr},
    {FaultKind::NameExpected, "expected a name, found {found}", nullptr},
    {FaultKind::DuplicateVariable, "{here} is already {variable}", nullptr},
    {FaultKind::CommaOrSemicolonExpected, "expected {list}{previous}, found {found}", nullptr},
    {FaultKind::RoutineNameExpected, "expected a name right after {definer}, found {found}", nullptr},
    {FaultKind::RoutineNameTaken, "the name {here} is taken: it begins with the name of {taker}", nullptr},
    {FaultKind::RoutinesFull, "more than {number} routines: the table holds {number} besides the built-ins",
     nullptr},
    {FaultKind::ParenExpectedAfterName, "expected '(' right after the name {name}, found {found}", nullptr},
    {FaultKind::ParameterListNotClosed, "the text ends before the ')' that closes the parameter list of {name}",
     nullptr},
    {FaultKind::DefinitionsEnd,
     "reading the definitions stops here: {found} begins no 'func ' or 'proc ' definition, and the text after it "
     "is never read", nullptr},
    {FaultKind::NameRunsOn, "{here} calls {routine}, whose name begins it: the character after that name is taken "
                            "as the '(' of the call", nullptr},
    {FaultKind::BitwiseMixed, "'{other}' {origin} and '{op}' share one level and apply from left to right", nullptr},
    {FaultKind::ComparisonWithBitwise,
     "'{op}' binds more tightly than the comparison '{other}' {origin}, which is made last", nullptr},
    {FaultKind::StrayBody, "{found} stands as the whole body: an empty statement, and what follows it runs anyway",
     nullptr},
    {FaultKind::StatementAfterBody, "this statement is not in the body of one statement {origin}, which ends at its "
                                    "first ';'", nullptr},
    {FaultKind::ConstantZeroDivisor, "'{op}' by the constant 0 prints ' Divided by 0 ' when it runs", nullptr},
};
static_assert(std::size(kReasons) == size_t(FaultKind::Count), "a reason for every kind of fault");
constexpr bool InKindOrder() {
  for (size_t k = 0; k < std::size(kReasons); k++) {
    if (kReasons[k].kind != FaultKind(k)) return false;
  }
  return true;
}
static_assert(InKindOrder(), "the reasons follow the order of FaultKind");

// One diagnostic being composed: the run, how places are named, and the text.
class Explainer {
 public:
  Explainer(const RunEnd& run, std::string_view file, bool colour)
      : run_(run), text_(run.typedLine), file_(file), colour_(colour) {}

  std::string Compose();
  // A finding of a check: an error where the text is certain to fault, or a
  // warning of a trap.
  std::string Finding(const FaultRecord& r) {
    Line(r.at, IsTrap(r.kind) ? Level::Warning : Level::Error, ReasonFor(r, false));
    Hints(r);
    Flush();
    return out_;
  }
  std::string TextEnd(TextPosition nul, uint64_t unread) {
    Line(nul, Level::Warning,
         "a NUL byte ends the text here: the " + std::to_string(unread) + " bytes after it are not read");
    return out_;
  }

 private:
  uint8_t Byte(TextPosition p) const { return text_.Byte(p); }
  bool Spells(TextPosition p, std::string_view s) const { return text_.Spells(p, s); }

  std::string ReasonFor(const FaultRecord& r, bool repointed) const {
    const Reason& reason = kReasons[size_t(r.kind) < std::size(kReasons) ? size_t(r.kind) : 0];
    return Spot(text_, r).Say(repointed && reason.repointed != nullptr ? reason.repointed : reason.found);
  }

  // ---- Notes ----

  // Every note that the rules say about the fault.
  void Hints(const FaultRecord& r) {
    for (const std::string& note : NotesAt(Spot(text_, r))) Note(note);
  }
  void MissingMainNotes(const FaultRecord& fault);
  void CommentNote(TextPosition from, TextPosition to);
  void MissingMainWithoutFault();
  void ExplainFault(const FaultRecord& current, const FaultRecord& first);

  // ---- Layout ----

  std::string Paint(std::string_view text, const char* code) const {
    return colour_ ? std::string("\033[") + code + "m" + std::string(text) + "\033[0m" : std::string(text);
  }
  std::string PlaceOf(TextPosition p) const {
    if (InInput(p)) return "typed line:1:" + std::to_string(p - kInputBase + 1) + ": ";
    if (!InSource(p)) return std::string(file_) + ": ";
    return std::string(file_) + ":" + std::to_string(LineOf(p)) + ":" +
           std::to_string(p - text_.LineStart(p) + 1) + ": ";
  }
  enum class Level { Error, Warning, Note };
  void Line(TextPosition p, Level level, const std::string& text);
  void Snippet(TextPosition p);
  void Note(const std::string& text) {
    if (std::find(notes_.begin(), notes_.end(), text) == notes_.end()) notes_.push_back(text);
  }
  void PlaceNote(TextPosition p, const std::string& text) {
    Flush();
    Line(p, Level::Note, text);
  }
  void Flush() {
    for (const std::string& n : notes_) out_ += Paint("note", kNoteColour) + ": " + n + "\n";
    notes_.clear();
  }

  static constexpr const char* kNoteColour = "1;36";

  const RunEnd& run_;
  TextReader text_;
  std::string_view file_;
  bool colour_;
  std::string out_;
  std::vector<std::string> notes_;
};

// A comment inside a body that the walk over the body reads as text: a double
// quote, a brace or an apostrophe in it counts.
void Explainer::CommentNote(TextPosition from, TextPosition to) {
  bool inString = false;
  for (TextPosition p = from; p < to && InSource(p) && Byte(p) != kNul; p++) {
    uint8_t c = Byte(p);
    if (c == kCR) inString = false;
    if (c == kQuote) inString = !inString;
    if (c != '#' || inString) continue;
    for (TextPosition q = p + 1; InSource(q) && Byte(q) != kCR && Byte(q) != kNul; q++) {
      uint8_t h = Byte(q);
      if (h == kQuote || h == '{' || h == '}' || h == kApostrophe) {
        PlaceNote(q, "a body is passed over without regard to its comments: this " + Quote(std::string(1, char(h))) +
                         " in a comment counts");
        return;
      }
    }
    while (Byte(p + 1) != kCR && Byte(p + 1) != kNul) p++;
  }
}

// Where "main" is defined after the place where reading stopped, or a routine
// whose name differs from it only in case.
void Explainer::MissingMainNotes(const FaultRecord& fault) {
  if (fault.kind == FaultKind::BodyNotClosed) CommentNote(fault.details.origin, SourceStart + SourceLength);
  for (TextPosition p = run_.definitionsEnd; InSource(p) && Byte(p) != kNul; p++) {
    if ((Spells(p, "proc main") || Spells(p, "func main")) && !IsNameChar(Byte(p + 9)) && text_.FirstOnLine(p)) {
      PlaceNote(p + 5, "'main' is defined here, after the place where reading the definitions stopped");
      return;
    }
  }
  for (int32_t row = InstalledLibrary.BuiltinCount; row < RoutineCount; row++) {
    std::string name = text_.RoutineName(row);
    if (SameIgnoringCase(name, "main")) {
      PlaceNote(RoutineTable[row].Name, Quote(name) + " differs from 'main' only in case: names are case-sensitive");
      return;
    }
  }
}

// "main() ?" after definitions that ended without a fault: at the end of the
// text, at a byte-order mark, at a `var` line or a statement after them.
void Explainer::MissingMainWithoutFault() {
  TextPosition at = run_.definitionsEnd;
  const bool atEnd = Byte(at) == kNul;
  // Reading that reached the end of the text stopped at the end of its last line.
  if (atEnd && at > SourceStart && Byte(at - 1) == kCR) at--;
  const bool defined = RoutineCount > InstalledLibrary.BuiltinCount;
  TextPosition lastBody = 0;  // the body of the last definition, which a comment may have cut short
  std::string why;
  if (at == SourceStart && Spells(at, "\xEF\xBB\xBF")) {
    why = "no routine 'main' was read: the text begins with a UTF-8 byte-order mark";
    Note("save the script as UTF-8 without a byte-order mark");
  } else if (atEnd) {
    why = defined ? "no routine is named 'main'" : "no routine is named 'main': the text defines no routine";
  } else if (Spells(at, "var") && IsBlank(Byte(at + 3))) {
    why = "no routine 'main' was read: a 'var' line after the first definition ends the definitions";
    Note("every global 'var' line comes before the first 'func' or 'proc'");
  } else if (defined) {
    why = "no routine 'main' was read: the definitions end at " + text_.Found(at) +
          ", which begins no 'func ' or 'proc ' definition";
    Note("text after the definitions is never read: statements stand only in bodies");
    if (RoutineTable[RoutineCount - 1].NativeFlag == 0) lastBody = RoutineTable[RoutineCount - 1].Target;
  } else {
    why = "no routine 'main' was read: expected a 'var' line or a 'func ' or 'proc ' definition, found " +
          text_.Found(at);
  }
  Hints(FaultRecord{.at = at, .details = {}});
  Line(at, Level::Error, why);
  if (lastBody != 0) CommentNote(lastBody, at);
  MissingMainNotes({});
}

// The fault that ended the run, where the definition's report puts it, and
// the first fault when a statement re-pointed it elsewhere. At the same place,
// the first fault's reason is the cause, unless it only says that the
// evaluator stopped at a character that the statement expected otherwise.
void Explainer::ExplainFault(const FaultRecord& current, const FaultRecord& first) {
  const bool samePlace = first.at == current.at;
  const bool statementSays = first.kind == FaultKind::OperatorExpected && current.kind != FaultKind::RightSideFailed;
  const FaultRecord& explained = samePlace && !statementSays ? first : current;
  Line(current.at, Level::Error, ReasonFor(explained, !samePlace && current.repointed));
  Hints(explained);
  if (!samePlace) {
    PlaceNote(first.at, "the first fault: " + ReasonFor(first, false));
    Hints(first);
  }
}

void Explainer::Line(TextPosition p, Level level, const std::string& text) {
  const std::string said = level == Level::Error     ? Paint("error", "1;31")
                           : level == Level::Warning ? Paint("warning", "1;35")
                                                     : Paint("note", kNoteColour);
  out_ += "vorla: " + PlaceOf(p) + said + ": " + text + "\n";
  if (InSource(p) || InInput(p)) Snippet(p);
}

// "    4 |   PrnDec_(totl);" and a caret under the column. Tabs are kept, the
// bytes that continue a UTF-8 character take no column, and other control
// bytes show as '?'.
void Explainer::Snippet(TextPosition p) {
  const TextPosition start = text_.LineStart(p);
  TextPosition end = start;
  const TextPosition limit = InInput(p) ? text_.TypedEnd() : kSourceBase + kSourceSize;
  while (end < limit && Byte(end) != kCR && Byte(end) != kNul) end++;
  std::string number = std::to_string(InInput(p) ? 1 : LineOf(p));
  std::string line = std::string(number.size() < 5 ? 5 - number.size() : 0, ' ') + number + " | ";
  std::string caret = "      | ";
  for (TextPosition q = start; q < end; q++) {
    uint8_t c = Byte(q);
    line += c == kTab || c >= 32 ? char(c) : '?';
    if (q < p && (c & 0xC0) != 0x80) caret += c == kTab ? '\t' : ' ';
  }
  out_ += line + "\n" + caret + Paint("^", "1;32") + "\n";
}

std::string Explainer::Compose() {
  if (run_.outcome == RunOutcome::MissingMain) {
    const FaultRecord& fault = run_.definitionsFault;
    if (fault.kind == FaultKind::None) {
      MissingMainWithoutFault();
    } else {
      ExplainFault(fault, fault.repointed ? FirstFault : fault);
      const bool declaration = fault.kind == FaultKind::NameExpected || fault.kind == FaultKind::DuplicateVariable ||
                               fault.kind == FaultKind::CommaOrSemicolonExpected ||
                               fault.kind == FaultKind::VariablesFull;
      Note(std::string("this failed ") + (declaration ? "global declaration" : "definition") +
           " ended the reading of the definitions, so no routine 'main' was read");
      MissingMainNotes(fault);
    }
  } else if (run_.outcome == RunOutcome::Error) {
    ExplainFault(CurrentFault, CurrentFault.repointed ? FirstFault : CurrentFault);
  }
  Flush();
  return out_;
}

}  // namespace

std::string ComposeDiagnostic(const RunEnd& run, std::string_view file, bool colour) {
  return Explainer(run, file, colour).Compose();
}

std::string ComposeFinding(const FaultRecord& finding, std::string_view file, bool colour) {
  const RunEnd noRun{};
  return Explainer(noRun, file, colour).Finding(finding);
}

std::string ComposeTextEnd(std::string_view file, uint64_t unread, bool colour) {
  for (TextPosition p = SourceStart; p < SourceStart + SourceLength; p++) {
    if (Peek(p) == kNul) {
      const RunEnd noRun{};
      return Explainer(noRun, file, colour).TextEnd(p, unread);
    }
  }
  return "";
}

bool ColourWanted(const char* noColour) { return noColour == nullptr || noColour[0] == '\0'; }

}  // namespace vorla
