// Diagnostics: the explanation of a failed run, composed after the run from
// the fault records (core/fault.h) and from reading the text again. One table
// turns fault kinds into reasons; notes name C habits that are the likely
// cause, the limits passed, the first fault when a statement re-pointed it,
// and why no `main` was read.
#include "shell/diagnostic.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "core/chars.h"
#include "core/scan.h"

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
};
static_assert(std::size(kReasons) == size_t(FaultKind::Count), "a reason for every kind of fault");
constexpr bool InKindOrder() {
  for (size_t k = 0; k < std::size(kReasons); k++) {
    if (kReasons[k].kind != FaultKind(k)) return false;
  }
  return true;
}
static_assert(InKindOrder(), "the reasons follow the order of FaultKind");

// The areas of script memory, as the manual names them.
struct Area {
  const char* name;
  uint32_t base, size;
};
constexpr Area kAreas[] = {
    {"the script text", kSourceBase, kSourceSize},
    {"the input line", kInputBase, kInputSize},
    {"the array memory", kArrayBase, kArraySize},
};

constexpr const char* kWords[] = {"no", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"};
constexpr const char* kOrdinals[] = {"", "first", "second", "third", "fourth", "fifth",
                                     "sixth", "seventh", "eighth", "ninth"};

std::string Quote(std::string_view s) { return "'" + std::string(s) + "'"; }

// "two arguments", "the second": small numbers in words, as people say them.
std::string Count(int32_t n, std::string_view noun) {
  std::string number = n >= 0 && n < 10 ? kWords[n] : std::to_string(n);
  return number + " " + std::string(noun) + (n == 1 ? "" : "s");
}
std::string Ordinal(int32_t n) { return n > 0 && n < 10 ? kOrdinals[n] : std::to_string(n) + "th"; }

// Whether a and b spell the same letters, whatever their case.
bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One diagnostic being composed: the run, how places are named, and the text.
class Explainer {
 public:
  Explainer(const RunEnd& run, std::string_view file, bool colour) : run_(run), file_(file), colour_(colour) {}

  std::string Compose();

 private:
  // ---- The text as the run left it ----

  // A typed line is read from the copy the run's end took.
  uint8_t Byte(TextPosition p) const {
    return InInput(p) ? run_.typedLine[p - kInputBase] : Peek(p);
  }
  // Where the typed text ends: its line end, or the ';' that Input_ added.
  TextPosition TypedEnd() const {
    TextPosition end = kInputBase + TextPosition(InputLength < int32_t(kInputSize) ? InputLength : kInputSize);
    for (TextPosition p = kInputBase; p < end; p++) {
      if (Byte(p) == kCR) return p;
    }
    return end;
  }
  bool AtTypedEnd(TextPosition p) const { return InInput(p) && p >= TypedEnd(); }
  bool Spells(TextPosition p, std::string_view text) const {
    for (size_t i = 0; i < text.size(); i++) {
      if (Byte(p + TextPosition(i)) != uint8_t(text[i])) return false;
    }
    return true;
  }
  std::string NameAt(TextPosition p) const {
    std::string name;
    while (IsNameChar(Byte(p)) && name.size() < 64) name += char(Byte(p++));
    return name;
  }
  std::string RoutineName(int32_t row) const {
    if (row < 0 || row >= RoutineCount) return "?";
    std::string name;
    for (int32_t i = 0; i < RoutineTable[row].NameLength && i < 64; i++) {
      name += char(Byte(RoutineTable[row].Name + TextPosition(i)));
    }
    return name;
  }
  // Past blanks and '#' comments, as the interpreter reads them.
  TextPosition AfterBlanks(TextPosition p) const {
    for (int guard = 0; guard < int(kSourceSize) && Byte(p) != kNul; guard++) {
      if (IsBlank(Byte(p))) {
        p++;
      } else if (Byte(p) == '#') {
        while (Byte(p) != kCR && Byte(p) != kNul) p++;
      } else {
        break;
      }
    }
    return p;
  }
  // The first byte of the line that p stands in.
  TextPosition LineStart(TextPosition p) const {
    TextPosition start = InInput(p) ? kInputBase : SourceStart;
    TextPosition s = p;
    while (s > start && Byte(s - 1) != kCR) s--;
    return s;
  }
  // Back from p over blanks, not past the start of its text.
  TextPosition BackOverBlanks(TextPosition p) const {
    const TextPosition start = InInput(p) ? kInputBase : SourceStart;
    while (p > start && IsBlank(Byte(p - 1))) p--;
    return p;
  }
  bool FirstOnLine(TextPosition p) const {
    for (TextPosition s = LineStart(p); s < p; s++) {
      if (!IsBlank(Byte(s))) return false;
    }
    return true;
  }

  // What stands at p, in words.
  std::string Found(TextPosition p) const {
    uint8_t c = Byte(p);
    if (AtTypedEnd(p)) return "the end of the typed line";
    if (c == kNul) return "the end of the text";
    if (c == kCR) return "the end of the line";
    if (c == ' ') return "a blank";
    if (c == kTab) return "a tab";
    if (IsNameChar(c)) return Quote(NameAt(p));
    if (c > 32 && c < 127) return Quote(std::string(1, char(c)));
    static const char kHex[] = "0123456789ABCDEF";
    return std::string("the byte 0x") + kHex[c >> 4] + kHex[c & 15];
  }
  // "on line N" for a place in the text, "in the typed line" for one there.
  std::string OnLine(TextPosition p) const {
    if (InInput(p)) return "in the typed line";
    return "on line " + std::to_string(LineOf(p));
  }
  std::string Defined(int32_t row) const {
    if (row < 0 || row >= RoutineCount || !InSource(RoutineTable[row].Name)) return "";
    return ", defined " + OnLine(RoutineTable[row].Name);
  }
  // The parameter list of a script routine's definition that holds p, or -1.
  int32_t ParameterListAt(TextPosition p) const {
    for (int32_t row = InstalledLibrary.BuiltinCount; row < RoutineCount; row++) {
      const RoutineEntry& e = RoutineTable[row];
      if (p > e.Name + TextPosition(e.NameLength) && p < e.Target) return row;
    }
    return -1;
  }
  // The name that ends just before p, past blanks back to it.
  std::string NameBefore(TextPosition p) const {
    const TextPosition start = InInput(p) ? kInputBase : SourceStart;
    if (p < start) return "";
    p = BackOverBlanks(p);
    TextPosition end = p;
    while (p > start && IsNameChar(Byte(p - 1))) p--;
    return p < end ? NameAt(p) : "";
  }
  // The keyword literal that ends at p.
  std::string KeywordBefore(TextPosition p) const {
    for (std::string_view k : {"while (", "for (", "if (", "do "}) {
      if (p >= k.size() && Spells(p - TextPosition(k.size()), k)) return Quote(k);
    }
    return "the statement";
  }
  // name or name[...], the variable that begins at p.
  std::string Target(TextPosition p) const {
    std::string name = NameAt(p);
    return Quote(Byte(p + TextPosition(name.size())) == '[' ? name + "[...]" : name);
  }

  std::string Fill(std::string_view key, const FaultRecord& r) const;
  std::string ReasonFor(const FaultRecord& r, bool repointed) const;

  // ---- Notes ----

  // Every note that the text at the fault and its kind call for.
  void Hints(const FaultRecord& r);
  void OperatorHints(const FaultRecord& r);
  void NameHints(const FaultRecord& r);
  void SyntaxHints(const FaultRecord& r);
  void LimitNotes(const FaultRecord& r);
  void AddressNote(const FaultRecord& r);
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
    return std::string(file_) + ":" + std::to_string(LineOf(p)) + ":" + std::to_string(p - LineStart(p) + 1) + ": ";
  }
  void Line(TextPosition p, bool error, const std::string& text);
  void Snippet(TextPosition p);
  void Note(const std::string& text) {
    if (std::find(notes_.begin(), notes_.end(), text) == notes_.end()) notes_.push_back(text);
  }
  void PlaceNote(TextPosition p, const std::string& text) {
    Flush();
    Line(p, false, text);
  }
  void Flush() {
    for (const std::string& n : notes_) out_ += Paint("note", "1;36") + ": " + n + "\n";
    notes_.clear();
  }

  const RunEnd& run_;
  std::string_view file_;
  bool colour_;
  std::string out_;
  std::vector<std::string> notes_;
};

std::string Explainer::Fill(std::string_view key, const FaultRecord& r) const {
  const FaultDetails& d = r.details;
  if (key == "found") return Found(r.at);
  if (key == "here") return Quote(NameAt(r.at));
  if (key == "name") return Quote(NameAt(d.origin));
  if (key == "target") return Target(d.origin);
  if (key == "indexed") return Quote(NameBefore(d.origin) + "[...]");
  if (key == "routine") return Quote(RoutineName(d.row));
  if (key == "defined") return Defined(d.row);
  if (key == "definition") return d.row >= 0 && d.row < RoutineCount ? OnLine(RoutineTable[d.row].Name) : "";
  if (key == "reach") {
    if (Byte(d.origin) == '_') return "address " + std::to_string(d.number);
    return "the bytes " + std::to_string(d.number) + " to " + std::to_string(Add(d.number, 3));
  }
  if (key == "origin") return OnLine(AfterBlanks(d.origin));
  if (key == "keyword") return KeywordBefore(d.origin);
  if (key == "number") return std::to_string(d.number);
  if (key == "count") return Count(d.number, "argument");
  if (key == "ordinal") return Ordinal(d.extra);
  if (key == "literal") return Byte(d.origin) == kQuote ? "string" : "character literal";
  if (key == "body") return d.row >= 0 ? "the body of " + Quote(RoutineName(d.row)) : "the body";
  if (key == "definer") return Quote(r.at >= 5 && Spells(r.at - 5, "func ") ? "func " : "proc ");
  if (key == "list") return ParameterListAt(r.at) >= 0 ? "',' or ')'" : "',' or ';'";
  if (key == "previous") {
    std::string name = NameBefore(r.at);
    if (name.empty()) return "";
    return (ParameterListAt(r.at) >= 0 ? " after the parameter " : " after the name ") + Quote(name);
  }
  if (key == "variable") {
    if (d.number >= 0 && d.number < kPredefinedCount) return "a predefined variable";
    if (d.number >= 0 && d.number < kMaxVariables && InSource(VariableTable[d.number].Name)) {
      return "a variable, declared " + OnLine(VariableTable[d.number].Name);
    }
    return "a variable";
  }
  if (key == "taker") {
    if (d.row >= 0 && d.row < InstalledLibrary.BuiltinCount) return "the built-in " + Quote(RoutineName(d.row));
    return "the routine " + Quote(RoutineName(d.row)) + Defined(d.row);
  }
  return "{" + std::string(key) + "}";
}

std::string Explainer::ReasonFor(const FaultRecord& r, bool repointed) const {
  const Reason& reason = kReasons[size_t(r.kind) < std::size(kReasons) ? size_t(r.kind) : 0];
  std::string_view text = repointed && reason.repointed != nullptr ? reason.repointed : reason.found;
  std::string out;
  for (size_t i = 0; i < text.size(); i++) {
    size_t close = text[i] == '{' ? text.find('}', i) : std::string_view::npos;
    if (close == std::string_view::npos) {
      out += text[i];
      continue;
    }
    out += Fill(text.substr(i + 1, close - i - 1), r);
    i = close;
  }
  return out;
}

// The C habits that the operators at the fault point to.
void Explainer::OperatorHints(const FaultRecord& r) {
  auto b = [&](int k) { return Byte(r.at + TextPosition(k)); };
  const FaultKind kind = r.kind;
  if (b(0) == '=' && b(-1) == '=') Note("vorla compares with a single '=': write 'a = b', not 'a == b'");
  if (b(0) == '!') Note("vorla has no '!': write 'a <> b' for 'a != b', and 'x = 0' for '!x'");
  if (b(0) == '&' && b(-1) == '&') {
    Note("vorla has no '&&': write '(a > 0) & (b > 0)', each comparison in parentheses, as '&' binds more "
         "tightly");
  }
  if (b(0) == '|' && b(-1) == '|') {
    Note("vorla has no '||': write '(a > 0) | (b > 0)', each comparison in parentheses, as '|' binds more "
         "tightly");
  }
  if ((b(0) == '>' && b(-1) == '>') || (b(0) == '<' && b(-1) == '<')) {
    Note("vorla has no shift operators: multiply or divide by a power of two");
  }
  // x++; stops at its first '+', y = x++; after the second.
  const TextPosition before = BackOverBlanks(r.at);
  const uint8_t last = Byte(before - 1);
  if ((kind == FaultKind::AssignExpected && (b(0) == '+' || b(0) == '-') && b(1) == b(0)) ||
      (kind == FaultKind::OperandExpected && (last == '+' || last == '-') && Byte(before - 2) == last)) {
    Note("vorla has no '++' or '--': write 'x = x + 1;'");
  }
  const bool compound = std::string_view("+-*/%&|^").find(char(b(0))) != std::string_view::npos;
  if (kind == FaultKind::AssignExpected && compound && b(1) == '=') {
    const std::string op(1, char(b(0)));
    Note("vorla has no '" + op + "=': write 'x = x " + op + " ...;'");
  }
  if (b(0) == '/' && (b(1) == '/' || b(1) == '*')) Note("comments begin with '#' and run to the end of the line");
  if (b(0) == '[' && IsBlank(b(-1)) && (kind == FaultKind::OperatorExpected || kind == FaultKind::AssignExpected)) {
    Note("no blank may stand between a name and the '[' of its index");
  }
}

// A name that is no variable and no routine: a keyword written another way,
// a statement that vorla does not have.
void Explainer::NameHints(const FaultRecord& r) {
  if (r.kind == FaultKind::AssignExpected && NameAt(r.details.origin) == "return") {
    Note("a function's result is its variable 'return', assigned as any variable: write 'return = ...;'");
  }
  if (r.kind != FaultKind::UnknownName) return;
  const std::string name = NameAt(r.at);
  const TextPosition after = r.at + TextPosition(name.size());
  if ((name == "if" || name == "for") && !Spells(after, " (")) {
    Note("the keyword is '" + name + " (', with exactly one space before the '('");
  } else if (name == "while") {
    Note("vorla has no while loop of its own: write 'for (; condition; ) body', or 'do body while (condition)' "
         "to run the body first");
  } else if (name == "do") {
    Note("the keyword is 'do ' with one space after it, as in 'do {'");
  } else if (name == "else" && Byte(after) == '{') {
    Note("'else' must be followed by a blank: write 'else {'");
  } else if (name == "else") {
    // "PrnStr_(x) ; else": the step after a branch of one call took the blank.
    const TextPosition semicolon = BackOverBlanks(r.at) - 1;
    const TextPosition call = BackOverBlanks(semicolon);
    Note(Byte(semicolon) == ';' && call < semicolon && Byte(call - 1) == ')'
             ? "the 'if' before this 'else' has ended: a branch that is one call ends just past its ')', so write "
               "the ';' directly after it"
             : "this 'else' follows no 'if' whose first branch has just ended");
  } else if (name == "var" && IsBlank(Byte(after))) {
    Note("'var' lines stand only at the head of a block, before its first statement");
  } else if (name == "return") {
    Note("there is no return statement: a function assigns its result to its variable, 'return = ...;', and a "
         "procedure has none");
  } else if (name == "break" || name == "continue" || name == "goto" || name == "switch") {
    Note("vorla has no '" + name + "': a loop ends when its condition is 0");
  }
  if (InInput(r.at)) Note("a line typed for 'Input_' sees no variables, only routines such as 'Rand_'");
}

// Slips in declarations, definitions and statements.
void Explainer::SyntaxHints(const FaultRecord& r) {
  auto b = [&](int k) { return Byte(r.at + TextPosition(k)); };
  switch (r.kind) {
    case FaultKind::BadCharacterLiteral:
      if (b(1) == kBackslash) {
        Note("a character literal has no escapes: write the code 10 for '\\n' and 9 for '\\t'; '\\n' is a line "
             "break only inside a string that 'PrnStr_' prints");
      }
      break;
    case FaultKind::CommaOrSemicolonExpected:
      if (b(0) == '[') {
        Note("a 'var' line declares plain names; an array is memory: declare 'var a;', set 'a = Array_(0);' and "
             "index it as 'a[i]'");
      } else if (b(0) == '=' && ParameterListAt(r.at) < 0) {
        const std::string name = NameBefore(r.at);
        Note("a 'var' line gives no value: declare 'var " + (name.empty() ? std::string("x") : name) +
             ";' and assign the value in a routine");
      }
      break;
    case FaultKind::OperatorExpected:
      if (b(0) == '}') Note("an assignment ends with ';', also the last before '}'");
      if (IsNameChar(b(0)) && FirstOnLine(r.at) && LineOf(r.at) > 1) Note("the line before may lack its ';'");
      break;
    case FaultKind::WhileExpected:
      if (b(0) == ';') {
        Note("a body that is one procedure call ends just past its ')': write the ';' directly after it");
      }
      break;
    case FaultKind::StatementExpected:
      if (b(0) == '{') {
        Note("a brace block stands only where a body stands: after 'if (...)', 'else', 'for (...)', 'do ' or a "
             "routine's parameter list");
      }
      break;
    case FaultKind::RoutineNameExpected:
      if (b(0) == ' ') Note("'func' and 'proc' are followed by exactly one space, then the name");
      break;
    case FaultKind::ParenExpectedAfterName:
      if (Byte(AfterBlanks(r.at)) == '(') Note("no blank may stand between a routine's name and its '('");
      if (Byte(AfterBlanks(r.at)) == '{') {
        Note("a routine without parameters is still written with '()', as in 'proc main() {'");
      }
      break;
    case FaultKind::RoutineNameTaken:
      Note("a call of " + Quote(NameAt(r.at)) + " would reach " + Quote(RoutineName(r.details.row)) +
           ": no routine's name may begin with the whole name of an earlier one");
      break;
    default: break;
  }
}

void Explainer::Hints(const FaultRecord& r) {
  OperatorHints(r);
  NameHints(r);
  SyntaxHints(r);
  LimitNotes(r);
  AddressNote(r);
}

void Explainer::LimitNotes(const FaultRecord& r) {
  std::string running;
  if (r.callDepth > 0) running = "; " + std::to_string(r.callDepth) + " calls of script routines were running";
  switch (r.kind) {
    case FaultKind::VariablesFull:
      if (running.empty()) {
        Note("the globals, the three predefined variables included, take " + std::to_string(GlobalCount) +
             " of them");
      } else {
        Note("each call of a function takes one slot plus its parameters and locals, a procedure's call its "
             "parameters and locals" + running);
      }
      break;
    case FaultKind::OperandsFull:
      Note("an operand that waits for the right side of its operator takes a slot until the operator is applied, "
           "also while a function called there runs" + running);
      break;
    case FaultKind::CallsTooDeep: Note("a routine that calls itself needs a case in which it does not"); break;
    case FaultKind::NestingTooDeep:
      if (!running.empty()) Note(running.substr(2));
      break;
    default: break;
  }
}

// Which area the variable's Value pointed into, and its bounds.
void Explainer::AddressNote(const FaultRecord& r) {
  if (r.kind != FaultKind::AddressOutside) return;
  const uint32_t base = Bits(r.details.extra);
  const std::string name = Quote(NameAt(r.details.origin));
  for (const Area& area : kAreas) {
    if (base - area.base < area.size) {
      Note(name + " holds " + std::to_string(r.details.extra) + ", an address in " + area.name + ", which runs from " +
           std::to_string(area.base) + " to " + std::to_string(area.base + area.size - 1));
      return;
    }
  }
  std::string areas;
  for (const Area& area : kAreas) {
    areas += std::string(areas.empty() ? "" : ", ") + area.name + " " + std::to_string(area.base) + " to " +
             std::to_string(area.base + area.size - 1);
  }
  Note(name + " holds " + std::to_string(r.details.extra) + ", which lies in no area of script memory: " + areas);
}

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
    if ((Spells(p, "proc main") || Spells(p, "func main")) && !IsNameChar(Byte(p + 9)) && FirstOnLine(p)) {
      PlaceNote(p + 5, "'main' is defined here, after the place where reading the definitions stopped");
      return;
    }
  }
  for (int32_t row = InstalledLibrary.BuiltinCount; row < RoutineCount; row++) {
    std::string name = RoutineName(row);
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
    why = "no routine 'main' was read: the definitions end at " + Found(at) +
          ", which begins no 'func ' or 'proc ' definition";
    Note("text after the definitions is never read: statements stand only in bodies");
    if (Spells(at, "else") && !IsNameChar(Byte(at + 4))) {
      Note("a body that is one statement ends at its first ';': write an 'if' with an 'else' in braces");
    }
    if (RoutineTable[RoutineCount - 1].NativeFlag == 0) lastBody = RoutineTable[RoutineCount - 1].Target;
  } else {
    why = "no routine 'main' was read: expected a 'var' line or a 'func ' or 'proc ' definition, found " + Found(at);
  }
  OperatorHints(FaultRecord{at, FaultKind::None, false, 0, {}});
  if (Spells(at, "function") || Spells(at, "void ") || Spells(at, "int ") || Spells(at, "procedure")) {
    Note("a definition begins with 'func ' for a function or 'proc ' for a procedure");
  } else if ((Spells(at, "func") || Spells(at, "proc")) && !Spells(at + 4, " ") && !IsNameChar(Byte(at + 4))) {
    Note("'func' and 'proc' are followed by exactly one space, then the name");
  }
  Line(at, true, why);
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
  Line(current.at, true, ReasonFor(explained, !samePlace && current.repointed));
  Hints(explained);
  if (!samePlace) {
    PlaceNote(first.at, "the first fault: " + ReasonFor(first, false));
    Hints(first);
  }
}

void Explainer::Line(TextPosition p, bool error, const std::string& text) {
  out_ += "vorla: " + PlaceOf(p) + (error ? Paint("error", "1;31") : Paint("note", "1;36")) + ": " + text + "\n";
  if (InSource(p) || InInput(p)) Snippet(p);
}

// "    4 |   PrnDec_(totl);" and a caret under the column. Tabs are kept, the
// bytes that continue a UTF-8 character take no column, and other control
// bytes show as '?'.
void Explainer::Snippet(TextPosition p) {
  const TextPosition start = LineStart(p);
  TextPosition end = start;
  const TextPosition limit = InInput(p) ? TypedEnd() : kSourceBase + kSourceSize;
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

}  // namespace vorla
