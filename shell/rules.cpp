// The rules of the notes, one row each: the kind of fault, what is matched at
// the place, what is said. Placeholders in braces are filled from the fault's
// record and the text, for the rules and for the reasons of faults alike.
#include "shell/rules.h"

#include "core/chars.h"
#include "core/scan.h"
#include "shell/run.h"
#include "shell/suggest.h"

namespace vorla {

namespace {

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

// "two arguments", "the second", "the 21st": small numbers in words, as
// people say them.
std::string Count(int32_t n, std::string_view noun) {
  std::string number = n >= 0 && n < 10 ? kWords[n] : std::to_string(n);
  return number + " " + std::string(noun) + (n == 1 ? "" : "s");
}
std::string Ordinal(int32_t n) {
  if (n > 0 && n < 10) return kOrdinals[n];
  const int32_t last = n % 10, tens = n % 100;
  const char* suffix = tens >= 11 && tens <= 13 ? "th" : last == 1 ? "st" : last == 2 ? "nd" : last == 3 ? "rd" : "th";
  return std::to_string(n) + suffix;
}

// Where the value of the variable at an AddressOutside fault pointed.
std::string AreaOf(Value value) {
  for (const Area& area : kAreas) {
    if (Bits(value) - area.base < area.size) {
      return std::string("an address in ") + area.name + ", which runs from " + std::to_string(area.base) + " to " +
             std::to_string(area.base + area.size - 1);
    }
  }
  std::string areas;
  for (const Area& area : kAreas) {
    areas += std::string(areas.empty() ? "" : ", ") + area.name + " " + std::to_string(area.base) + " to " +
             std::to_string(area.base + area.size - 1);
  }
  return "which lies in no area of script memory: " + areas;
}

// ---- What the rules match ----

bool IsOneOf(const std::string& word, std::initializer_list<std::string_view> words) {
  for (std::string_view w : words) {
    if (word == w) return true;
  }
  return false;
}

// x++; stops at its first '+', y = x++; after the second.
bool Increment(const Spot& s) {
  const TextPosition before = s.text.BackOverBlanks(s.fault.at);
  const uint8_t last = s.text.Byte(before - 1);
  return (s.fault.kind == FaultKind::AssignExpected && (s.At(0) == '+' || s.At(0) == '-') && s.At(1) == s.At(0)) ||
         (s.fault.kind == FaultKind::OperandExpected && (last == '+' || last == '-') &&
          s.text.Byte(before - 2) == last);
}

bool CompoundAssignment(const Spot& s) {
  return std::string_view("+-*/%&|^").find(char(s.At(0))) != std::string_view::npos && s.At(1) == '=';
}

// The name at the fault is followed by `next`.
bool NameThen(const Spot& s, std::string_view next) {
  return s.text.Spells(s.fault.at + TextPosition(s.Word().size()), next);
}

// "PrnStr_(x) ; else": the step after a branch of one call took the blank.
bool ElseAfterCallBranch(const Spot& s) {
  const TextPosition semicolon = s.text.BackOverBlanks(s.fault.at) - 1;
  const TextPosition call = s.text.BackOverBlanks(semicolon);
  return s.text.Byte(semicolon) == ';' && call < semicolon && s.text.Byte(call - 1) == ')';
}

bool MeantAVariable(const Spot& s) { return !NameThen(s, "(") && !InInput(s.fault.at); }

bool HasClosestName(const Spot& s) { return !ClosestName(s.text, s.fault).empty(); }

// An assignment to the name (or a comparison with it, in a condition): a '='
// after it, not the '==' that another rule explains.
bool Assigned(const Spot& s) {
  const TextPosition after = s.text.AfterBlanks(s.fault.at + TextPosition(s.Word().size()));
  return s.text.Byte(after) == '=' && s.text.Byte(after + 1) != '=';
}

bool DeclaredNowhere(const Spot& s) {
  return MeantAVariable(s) && Assigned(s) && !HasClosestName(s) && DeclarationOf(s.text, s.Word()) == 0;
}

bool DeclaredOutOfSight(const Spot& s) { return MeantAVariable(s) && DeclarationOf(s.text, s.Word()) != 0; }

bool DefinitionWords(const Spot& s) {
  for (std::string_view w : {"function", "void ", "int ", "procedure"}) {
    if (s.text.Spells(s.fault.at, w)) return true;
  }
  return false;
}

// "func" or "proc" not followed by exactly one space and the name.
bool DefinerSpacing(const Spot& s) {
  if (s.fault.kind == FaultKind::RoutineNameExpected) return s.At(0) == ' ';
  return s.fault.kind == FaultKind::None && (s.text.Spells(s.fault.at, "func") || s.text.Spells(s.fault.at, "proc")) &&
         s.At(4) != ' ' && !IsNameChar(s.At(4));
}

bool ElseAfterDefinitions(const Spot& s) {
  return s.text.Spells(s.fault.at, "else") && !IsNameChar(s.At(4)) && RoutineCount > InstalledLibrary.BuiltinCount;
}

bool Always(const Spot&) { return true; }

using K = FaultKind;

constexpr Rule kRules[] = {
    // The operators of C at the fault.
    {"double-equals", kAnyFault, [](const Spot& s) { return s.At(0) == '=' && s.At(-1) == '='; },
     "vorla compares with a single '=': write 'a = b', not 'a == b'"},
    {"not", kAnyFault, [](const Spot& s) { return s.At(0) == '!'; },
     "vorla has no '!': write 'a <> b' for 'a != b', and 'x = 0' for '!x'"},
    {"double-and", kAnyFault, [](const Spot& s) { return s.At(0) == '&' && s.At(-1) == '&'; },
     "vorla has no '&&': write '(a > 0) & (b > 0)', each comparison in parentheses, as '&' binds more tightly"},
    {"double-or", kAnyFault, [](const Spot& s) { return s.At(0) == '|' && s.At(-1) == '|'; },
     "vorla has no '||': write '(a > 0) | (b > 0)', each comparison in parentheses, as '|' binds more tightly"},
    {"shift", kAnyFault,
     [](const Spot& s) { return (s.At(0) == '>' && s.At(-1) == '>') || (s.At(0) == '<' && s.At(-1) == '<'); },
     "vorla has no shift operators: multiply or divide by a power of two"},
    {"increment", kAnyFault, Increment, "vorla has no '++' or '--': write 'x = x + 1;'"},
    {"compound-assignment", K::AssignExpected, CompoundAssignment, "vorla has no '{op}=': write 'x = x {op} ...;'"},
    {"slash-comment", kAnyFault, [](const Spot& s) { return s.At(0) == '/' && (s.At(1) == '/' || s.At(1) == '*'); },
     "comments begin with '#' and run to the end of the line"},
    {"blank-before-index", kAnyFault,
     [](const Spot& s) {
       return s.At(0) == '[' && IsBlank(s.At(-1)) &&
              (s.fault.kind == K::OperatorExpected || s.fault.kind == K::AssignExpected);
     },
     "no blank may stand between a name and the '[' of its index"},

    // Names: a keyword written another way, a statement vorla does not have,
    // the name that was meant.
    {"return-assigned", K::AssignExpected,
     [](const Spot& s) { return s.text.NameAt(s.fault.details.origin) == "return"; },
     "a function's result is its variable 'return', assigned as any variable: write 'return = ...;'"},
    {"keyword-spacing", K::UnknownName,
     [](const Spot& s) { return IsOneOf(s.Word(), {"if", "for"}) && !NameThen(s, " ("); },
     "the keyword is '{word} (', with exactly one space before the '('"},
    {"while", K::UnknownName, [](const Spot& s) { return s.Word() == "while"; },
     "vorla has no while loop of its own: write 'for (; condition; ) body', or 'do body while (condition)' to run "
     "the body first"},
    {"do-spacing", K::UnknownName, [](const Spot& s) { return s.Word() == "do"; },
     "the keyword is 'do ' with one space after it, as in 'do {'"},
    {"else-brace", K::UnknownName, [](const Spot& s) { return s.Word() == "else" && NameThen(s, "{"); },
     "'else' must be followed by a blank: write 'else {'"},
    {"else-after-call", K::UnknownName,
     [](const Spot& s) { return s.Word() == "else" && !NameThen(s, "{") && ElseAfterCallBranch(s); },
     "the 'if' before this 'else' has ended: a branch that is one call ends just past its ')', so write the ';' "
     "directly after it"},
    {"else-without-if", K::UnknownName,
     [](const Spot& s) { return s.Word() == "else" && !NameThen(s, "{") && !ElseAfterCallBranch(s); },
     "this 'else' follows no 'if' whose first branch has just ended"},
    {"var-in-body", K::UnknownName, [](const Spot& s) { return s.Word() == "var" && IsBlank(s.At(3)); },
     "'var' lines stand only at the head of a block, before its first statement"},
    {"return-statement", K::UnknownName, [](const Spot& s) { return s.Word() == "return"; },
     "there is no return statement: a function assigns its result to its variable, 'return = ...;', and a "
     "procedure has none"},
    {"no-break", K::UnknownName,
     [](const Spot& s) { return IsOneOf(s.Word(), {"break", "continue", "goto", "switch"}); },
     "vorla has no '{word}': a loop ends when its condition is 0"},
    {"did-you-mean", K::UnknownName, HasClosestName, "did you mean {closest}?"},
    {"declare-it", K::UnknownName, DeclaredNowhere, "declare it with 'var {word};'"},
    {"declared-out-of-sight", K::UnknownName, DeclaredOutOfSight,
     "{here} is declared {declared}, out of sight here: a routine sees only its own parameters and variables, and "
     "the globals"},
    {"input-in-called-routine", K::InputInTypedLine, [](const Spot& s) { return !InInput(s.fault.at); },
     "this code runs for a call in a line typed for 'Input_', which is still being read: no other line can be read "
     "until it ends"},
    {"typed-line-variables", K::UnknownName, [](const Spot& s) { return InInput(s.fault.at); },
     "a line typed for 'Input_' sees no variables, only routines such as 'Rand_'"},

    // Slips in declarations, definitions and statements.
    {"character-escape", K::BadCharacterLiteral, [](const Spot& s) { return s.At(1) == kBackslash; },
     "a character literal has no escapes: write the code 10 for '\\n' and 9 for '\\t'; '\\n' is a line break only "
     "inside a string that 'PrnStr_' prints"},
    {"var-array", K::CommaOrSemicolonExpected, [](const Spot& s) { return s.At(0) == '['; },
     "a 'var' line declares plain names; an array is memory: declare 'var a;', set 'a = Array_(0);' and index it "
     "as 'a[i]'"},
    {"var-value", K::CommaOrSemicolonExpected,
     [](const Spot& s) { return s.At(0) == '=' && s.text.ParameterListAt(s.fault.at) < 0; },
     "a 'var' line gives no value: declare 'var {before};' and assign the value in a routine"},
    {"semicolon-before-brace", K::OperatorExpected, [](const Spot& s) { return s.At(0) == '}'; },
     "an assignment ends with ';', also the last before '}'"},
    {"semicolon-line-before", K::OperatorExpected,
     [](const Spot& s) { return IsNameChar(s.At(0)) && s.text.FirstOnLine(s.fault.at) && LineOf(s.fault.at) > 1; },
     "the line before may lack its ';'"},
    {"do-body-semicolon", K::WhileExpected, [](const Spot& s) { return s.At(0) == ';'; },
     "a body that is one procedure call ends just past its ')': write the ';' directly after it"},
    {"block-out-of-place", K::StatementExpected, [](const Spot& s) { return s.At(0) == '{'; },
     "a brace block stands only where a body stands: after 'if (...)', 'else', 'for (...)', 'do ' or a routine's "
     "parameter list"},
    {"definer-spacing", kAnyFault, DefinerSpacing, "'func' and 'proc' are followed by exactly one space, then the name"},
    {"blank-before-parameters", K::ParenExpectedAfterName,
     [](const Spot& s) { return s.text.Byte(s.text.AfterBlanks(s.fault.at)) == '('; },
     "no blank may stand between a routine's name and its '('"},
    {"parameters-required", K::ParenExpectedAfterName,
     [](const Spot& s) { return s.text.Byte(s.text.AfterBlanks(s.fault.at)) == '{'; },
     "a routine without parameters is still written with '()', as in 'proc main() {'"},
    {"name-taken", K::RoutineNameTaken, Always,
     "a call of {here} would reach {routine}: no routine's name may begin with the whole name of an earlier one"},

    // Where reading the definitions stopped without a fault.
    {"definition-words", K::None, DefinitionWords,
     "a definition begins with 'func ' for a function or 'proc ' for a procedure"},
    {"else-after-definitions", K::None, ElseAfterDefinitions,
     "a body that is one statement ends at its first ';': write an 'if' with an 'else' in braces"},

    // The limits passed.
    {"variables-of-globals", K::VariablesFull, [](const Spot& s) { return s.fault.callDepth == 0; },
     "the globals, the three predefined variables included, take {globals} of them"},
    {"variables-of-calls", K::VariablesFull, [](const Spot& s) { return s.fault.callDepth > 0; },
     "each call of a function takes one slot plus its parameters and locals, a procedure's call its parameters "
     "and locals{running}"},
    {"pending-operands", K::OperandsFull, Always,
     "an operand that waits for the right side of its operator takes a slot until the operator is applied, also "
     "while a function called there runs{running}"},
    {"recursion", K::CallsTooDeep, Always,
     "a routine that calls itself needs a case in which it does not"},
    {"nesting-in-calls", K::NestingTooDeep, [](const Spot& s) { return s.fault.callDepth > 0; },
     "{calls} calls of script routines were running"},
    {"address-area", K::AddressOutside, Always, "{name} holds {value}, {area}"},

    // The traps a check warns of.
    {"name-runs-on", K::NameRunsOn, Always,
     "a name that begins with the whole name of a routine calls that routine: rename one of them"},
    {"bitwise-mixed", K::BitwiseMixed, Always,
     "'&', '|' and '^' share one level, unlike C: write parentheses, as in '(a & b) | c'"},
    {"comparison-with-bitwise", K::ComparisonWithBitwise, Always,
     "comparisons bind more loosely than '&', '|' and '^', unlike C: write parentheses, as in '(a & 1) = 1'"},
    {"stray-body", K::StrayBody, Always, "remove it, or write the body in braces"},
    {"statement-after-body", K::StatementAfterBody, Always,
     "to make both the body, write them in braces: '{ ...; ...; }'"},
    {"constant-zero-divisor", K::ConstantZeroDivisor, Always,
     "'/' by 0 gives 0 and '%' by 0 gives the Value of 'Modulo_', without a fault"},
};

}  // namespace

std::span<const Rule> Rules() { return kRules; }

std::vector<std::string> NotesAt(const Spot& spot) {
  std::vector<std::string> notes;
  for (const Rule& rule : kRules) {
    if ((rule.kind == kAnyFault || rule.kind == spot.fault.kind) && rule.matches(spot)) {
      notes.push_back(spot.Say(rule.says));
    }
  }
  return notes;
}

std::string Spot::Say(std::string_view words) const {
  std::string out;
  for (size_t i = 0; i < words.size(); i++) {
    size_t close = words[i] == '{' ? words.find('}', i) : std::string_view::npos;
    if (close == std::string_view::npos) {
      out += words[i];
      continue;
    }
    out += Fill(words.substr(i + 1, close - i - 1));
    i = close;
  }
  return out;
}

std::string Spot::Fill(std::string_view key) const {
  const FaultRecord& r = fault;
  const FaultDetails& d = r.details;
  if (key == "found") return text.Found(r.at);
  if (key == "here") return Quote(Word());
  if (key == "word") return Word();
  if (key == "op") return std::string(1, char(At(0)));
  if (key == "name") return Quote(text.NameAt(d.origin));
  if (key == "target") return text.Target(d.origin);
  if (key == "indexed") return Quote(text.NameBefore(d.origin) + "[...]");
  if (key == "routine") return Quote(text.RoutineName(d.row));
  if (key == "defined") return text.Defined(d.row);
  if (key == "definition") return d.row >= 0 && d.row < RoutineCount ? text.OnLine(RoutineTable[d.row].Name) : "";
  if (key == "reach") {
    if (text.Byte(d.origin) == '_') return "address " + std::to_string(d.number);
    return "the bytes " + std::to_string(d.number) + " to " + std::to_string(Add(d.number, 3));
  }
  if (key == "origin") return text.OnLine(text.AfterBlanks(d.origin));
  if (key == "keyword") return text.KeywordBefore(d.origin);
  if (key == "number") return std::to_string(d.number);
  if (key == "other") return std::string(1, char(d.number));
  if (key == "count") return Count(d.number, "argument");
  if (key == "ordinal") return Ordinal(d.extra);
  if (key == "literal") return text.Byte(d.origin) == kQuote ? "string" : "character literal";
  if (key == "body") return d.row >= 0 ? "the body of " + Quote(text.RoutineName(d.row)) : "the body";
  if (key == "definer") return Quote(r.at >= 5 && text.Spells(r.at - 5, "func ") ? "func " : "proc ");
  if (key == "list") return text.ParameterListAt(r.at) >= 0 ? "',' or ')'" : "',' or ';'";
  if (key == "previous") {
    std::string name = text.NameBefore(r.at);
    if (name.empty()) return "";
    return (text.ParameterListAt(r.at) >= 0 ? " after the parameter " : " after the name ") + Quote(name);
  }
  if (key == "before") {
    std::string name = text.NameBefore(r.at);
    return name.empty() ? "x" : name;
  }
  if (key == "variable") {
    if (d.number >= 0 && d.number < kPredefinedCount) return "a predefined variable";
    if (d.number >= 0 && d.number < kMaxVariables && InSource(VariableTable[d.number].Name)) {
      return "a variable, declared " + text.OnLine(VariableTable[d.number].Name);
    }
    return "a variable";
  }
  if (key == "taker") {
    if (d.row >= 0 && d.row < InstalledLibrary.BuiltinCount) return "the built-in " + Quote(text.RoutineName(d.row));
    return "the routine " + Quote(text.RoutineName(d.row)) + text.Defined(d.row);
  }
  if (key == "globals") return std::to_string(GlobalCount);
  if (key == "calls") return std::to_string(r.callDepth);
  if (key == "running") return r.callDepth > 0 ? "; " + std::to_string(r.callDepth) + " calls of script routines were running" : "";
  if (key == "value") return std::to_string(d.extra);
  if (key == "area") return AreaOf(d.extra);
  if (key == "closest") return Quote(ClosestName(text, r));
  if (key == "declared") return text.OnLine(DeclarationOf(text, Word()));
  return "{" + std::string(key) + "}";
}

}  // namespace vorla
