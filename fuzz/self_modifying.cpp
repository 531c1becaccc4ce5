// The self-modifying shapes: programs that take the address of their own text
// from the string literal `_s = "";` (main's first statement) and, while they
// run, store bytes over code that has already run unchanged several times:
// later statements, a loop's own condition, the rest of an expression after
// a call, the expression a recursion returns into, a routine's name and
// parameters, a var line, keywords, whole statements. Each store comes at a
// chosen pass, and some put the original byte back later.
#include <algorithm>
#include <cstdio>

#include "fuzz/shapes.h"

namespace vorla::fuzz {

namespace {

// One byte of the text to store over.
struct Change {
  int mark;
  char original;
  char replacement;
};
using Changes = std::vector<Change>;

// Bytes that break the code around them: a statement ends, a block closes,
// a token splits, a comment starts, a line ends.
constexpr char kBreaking[] = {';', '}', ' ', ')', '{', ',', '#', '\r', '('};
constexpr char kOperatorBytes[] = {'+', '-', '*', '/', '%', '&', '|', '^', '<', '>', '='};

constexpr char kKeywordBytes[] = {' ', '(', '_', 'x', '#', 'i', 'f'};
constexpr char kPunctuationBytes[] = {';', ')', '(', ',', ' ', ']'};
constexpr char kTextBytes[] = {'a', 'Z', ' ', '\\', 'n', '"', '-'};

bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }

// A byte of a name that makes the name of another variable of the same
// kind: g0 and m1 become g1 or m0, a parameter another parameter, a local
// another local (or the byte itself where there is no other).
char OtherNameByte(Choices& c, char original) {
  if (IsDigitByte(original)) return char('0' + c.Below(2));
  for (std::string_view kind : {"gm", "ab", "tu"}) {
    if (kind.find(original) != std::string_view::npos) return kind[c.Below(2)];
  }
  return original;
}

// A byte to store over `t`: mostly one that keeps the code valid (a digit
// for a digit, an operator for an operator, another variable's name),
// sometimes one that breaks it.
char Replacement(Choices& c, const Target& t) {
  if (c.Chance(7)) return c.Pick(kBreaking);
  switch (t.part) {
    case Part::Digit: return char('0' + c.Below(10));
    case Part::Operator: return c.Pick(kOperatorBytes);
    case Part::Name: return OtherNameByte(c, t.original);
    case Part::Routine: return IsDigitByte(t.original) ? char('0' + c.Below(10)) : t.original;
    case Part::Keyword: return c.Pick(kKeywordBytes);
    case Part::Punctuation: return c.Pick(kPunctuationBytes);
    case Part::Blank: return c.Pick(kBreaking);
    case Part::Text: return c.Pick(kTextBytes);
  }
  return ' ';
}

// How often a target of each part is chosen: digits and operators most,
// whose changes keep the code valid; bytes whose changes mostly break it
// (keywords, punctuation, routine names) least.
int Weight(Part part) {
  switch (part) {
    case Part::Digit:
    case Part::Operator: return 4;
    case Part::Name:
    case Part::Text: return 2;
    default: return 1;
  }
}

const Target& PickTarget(Choices& c, const Targets& targets) {
  uint32_t total = 0;
  for (const Target& t : targets) total += uint32_t(Weight(t.part));
  uint32_t at = c.Below(total);
  for (const Target& t : targets) {
    if (at < uint32_t(Weight(t.part))) return t;
    at -= uint32_t(Weight(t.part));
  }
  return targets.back();
}

// `count` changes over targets chosen among `targets`, each byte once.
Changes PickChanges(Build& b, const Targets& targets, int count) {
  Changes changes;
  for (int i = 0; i < count && !targets.empty(); i++) {
    const Target& t = PickTarget(b.c, targets);
    if (std::any_of(changes.begin(), changes.end(), [&](const Change& ch) { return ch.mark == t.mark; })) continue;
    changes.push_back({t.mark, t.original, Replacement(b.c, t)});
  }
  return changes;
}

// Where stores are made from: a variable that holds the address of the
// text at a mark (main's global `_s`, or a routine's own `_t`).
struct Anchor {
  std::string pointer;
  int mark;
};

// `pointer[OFFSET] = BYTE;` for each change (its replacement, or its
// original byte when `restore`).
Piece StoreBytes(Build& b, const Changes& changes, bool restore, const Anchor& anchor) {
  Piece out;
  for (const Change& ch : changes) {
    b.aims.emplace_back(ch.mark, 1);
    out << anchor.pointer << '[';
    out.Offset(anchor.mark, ch.mark);
    out << "] = " << ByteLiteral(restore ? ch.original : ch.replacement) << "; ";
  }
  return out;
}

// if (CONDITION) { stores } on a line of its own.
Piece StoresIf(Build& b, const std::string& condition, const Changes& changes, bool restore, int indent,
               const Anchor& anchor) {
  Piece out;
  out << Indent(indent) << "if (" << condition << ") { " << StoreBytes(b, changes, restore, anchor) << "}\n";
  return out;
}

// The stores under a condition, made on the spot or by a procedure of their
// own called there.
Piece Trigger(Build& b, const std::string& condition, const Changes& changes, bool restore, int indent,
              const Anchor& anchor) {
  if (anchor.pointer != "_s" || !b.c.Chance(35) || b.program.RoutinesLeft() == 0) {
    return StoresIf(b, condition, changes, restore, indent, anchor);
  }
  const std::string helper = b.program.NewRoutineName();
  Piece definition, out;
  definition << "proc " << helper << "() { " << StoreBytes(b, changes, restore, anchor) << "}\n";
  b.program.definitions.push_back(definition);
  out << Indent(indent) << "if (" << condition << ") " << helper << "();\n";
  return out;
}

std::string TakeCounter(Context& at) {
  std::string counter = at.counters.back();
  at.counters.pop_back();
  return counter;
}

// What the body of a loop of main may use, the loop counting `counter`.
Context MainLoop(Build& b, std::string& counter) {
  Context at = b.code.MainContext();
  counter = TakeCounter(at);
  return InsideLoop(at, counter);
}

std::string Equals(const std::string& counter, int pass) { return counter + " = " + std::to_string(pass); }

// The passes of a loop, the pass whose store changes the text, and the pass
// that puts the original back (after the last pass when it does not).
struct Timing {
  int passes, change, restore;
};

Timing ChooseTiming(Choices& c, int most) {
  Timing t;
  t.passes = c.Between(2, most);
  t.change = c.Between(c.Chance(70) ? 2 : 0, t.passes - 1);  // mostly after passes that ran unchanged
  t.restore = c.Chance(35) ? c.Between(t.change + 1, t.passes) : t.passes + 1;
  return t;
}

// for (COUNTER = 0; COUNTER < PASSES; COUNTER = COUNTER + 1) {
std::string LoopHead(const std::string& counter, int passes, int indent = 2) {
  return Indent(indent) + "for (" + counter + " = 0; " + counter + " < " + std::to_string(passes) + "; " + counter +
         " = " + counter + " + 1) {\n";
}

// A loop around `body` (one level deeper than `indent`), with the stores at
// the change pass, before or after the body, and the restore when the timing
// has one; without changes, the loop alone.
void LoopWithStores(Build& b, Piece& out, int indent, const std::string& counter, const Timing& t,
                    const Piece& body, const Changes& changes, const Anchor& anchor) {
  out << LoopHead(counter, t.passes, indent);
  if (changes.empty()) {  // the stores are made elsewhere
    out << body << Indent(indent) << "}\n";
    return;
  }
  const bool before = b.c.Chance(60);
  if (before) out << Trigger(b, Equals(counter, t.change), changes, false, indent + 2, anchor);
  out << body;
  if (!before) out << Trigger(b, Equals(counter, t.change), changes, false, indent + 2, anchor);
  if (t.restore <= t.passes) out << Trigger(b, Equals(counter, t.restore), changes, true, indent + 2, anchor);
  out << Indent(indent) << "}\n";
}

// Main's own text address.
Anchor MainAnchor(const Build& b) { return {"_s", b.program.anchor}; }

// Ordinary statements, and stores over their digits, operators, names and
// keywords, in a loop before or after them, or once just before them: in
// main, or in a procedure that main calls more than once (which may take
// the text's address from a string literal of its own).
void LaterStatements(Build& b) {
  const bool inRoutine = b.c.Chance(40) && b.program.RoutinesLeft() > 2;
  Piece definition;
  Context at;
  Anchor anchor = MainAnchor(b);
  RoutineInfo r{inRoutine ? b.program.NewRoutineName() : "", false, 0, false};
  if (inRoutine) {
    at = b.code.OpenRoutine(definition, r);
    if (b.c.Chance(50)) {
      anchor = {"_t", b.program.NewMark()};
      definition << "  var _t;\n  _t = \"";
      definition.Mark(anchor.mark) << "\";\n";
    }
  } else {
    at = b.code.MainContext();
  }
  const std::string counter = TakeCounter(at);
  at.reads.push_back(counter);
  at.loops = 1;
  Piece body;
  Targets targets;
  b.code.Statements(body, at, b.c.Between(1, 3), 4, &targets);
  if (targets.empty()) {
    const char* scratch = inRoutine ? "t" : "m0";
    body << "    " << scratch << " = ";
    b.program.Put(body, "12", Part::Digit, &targets);
    body << " + 3; PrnDec_(" << scratch << ");\n";
  }
  const Changes changes = PickChanges(b, targets, b.c.Between(1, 3));
  Piece& out = inRoutine ? definition : b.program.main;
  if (b.c.Chance(20)) {
    out << Trigger(b, "1", changes, false, 2, anchor) << body;
  } else {
    LoopWithStores(b, out, 2, counter, ChooseTiming(b.c, inRoutine ? 12 : 30), body, changes, anchor);
  }
  if (inRoutine) {
    definition << "}\n";
    b.program.definitions.push_back(definition);
    b.program.main << " ";
    for (int i = b.c.Between(1, 3); i > 0; i--) b.program.main << ' ' << r.name << "();";
    b.program.main << '\n';
  }
}

// A for or do loop that rewrites its own condition, step or start from
// inside its body (or from a procedure called there), in a loop that runs it
// again and may put the original back after each run.
void LoopCondition(Build& b) {
  Context at = b.code.MainContext();
  const std::string outer = TakeCounter(at), counter = TakeCounter(at);
  const Context inside = InsideLoop(InsideLoop(at, outer), counter);
  const Timing t = ChooseTiming(b.c, 12);
  Piece body, head, tail;
  Targets targets;
  b.code.Statements(body, inside, b.c.Between(0, 2), 6);
  auto put = [&](Piece& out, std::string_view text, Part part) { b.program.Put(out, text, part, &targets); };
  if (b.c.Chance(50)) {
    head << "    for (" << counter << " = ";
    put(head, "0", Part::Digit);  // read again when the outer loop runs this loop again
    head << "; " << counter << ' ';
    put(head, "<", Part::Operator);
    head << ' ';
    put(head, std::to_string(t.passes), Part::Digit);
    head << "; " << counter << " = " << counter << ' ';
    put(head, "+", Part::Operator);
    head << ' ';
    put(head, "1", Part::Digit);
    put(head, ")", Part::Punctuation);
    head << " {\n";
    tail << "    }\n";
  } else {
    head << "    " << counter << " = 0;\n    do {\n";
    body << "      " << counter << " = " << counter << " + 1;\n";
    tail << "    } ";
    put(tail, "w", Part::Keyword);
    tail << "hile (" << counter << ' ';
    put(tail, "<", Part::Operator);
    tail << ' ';
    put(tail, std::to_string(t.passes), Part::Digit);
    tail << ");\n";
  }
  const Changes changes = PickChanges(b, targets, b.c.Between(1, 2));
  body << Trigger(b, Equals(counter, t.change), changes, false, 6, MainAnchor(b));
  if (t.restore <= t.passes) body << Trigger(b, Equals(counter, t.restore), changes, true, 6, MainAnchor(b));
  // The outer loop runs the rewritten loop again, and prints how far it went.
  Piece& out = b.program.main;
  out << LoopHead(outer, b.c.Between(1, 3)) << head << body << tail << "    PrnDec_(" << counter << "); PrnChar_(32);\n";
  if (b.c.Chance(50)) out << StoresIf(b, "1", changes, true, 4, MainAnchor(b));
  out << "  }\n";
}

// A function that, at its k-th call, rewrites the expression it was called
// from: the part after the call (read at once) or before it (read on the
// next pass), in an assignment, a built-in's argument, a condition, Call_,
// an index before the right-hand side, a loop's condition or step, or the
// arguments of a script function or procedure.
void CallRewritesRest(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  const std::string calls = b.NewGlobal("k");
  RoutineInfo r{b.program.NewRoutineName(), true, b.c.Between(0, 2), false};
  Piece definition;
  Context inRoutine = b.code.OpenRoutine(definition, r);

  Targets before, after;
  Piece left, call, right;
  b.code.Expression(left, at, 1, &before);
  b.program.Put(call, r.name, Part::Routine, &before);
  call << '(';
  for (int k = 0; k < r.params; k++) {
    if (k > 0) call << ", ";
    b.code.Expression(call, at, 2, &before);
  }
  call << ')';
  const int form = int(b.c.Below(9));
  Piece op1, op2;
  if (form < 2) b.program.Put(op1, std::string(1, b.c.Pick(kOperatorBytes)), Part::Operator, &before);
  b.program.Put(op2, std::string(1, b.c.Pick(kOperatorBytes)), Part::Operator, &after);
  if (b.c.Chance(30)) {
    b.program.Put(right, std::to_string(b.c.Between(10, 99)), Part::Digit, &after);
    right << " * ";
    b.program.Put(right, std::to_string(b.c.Below(10)), Part::Digit, &after);
  } else {
    b.code.Expression(right, at, 1, &after);
  }
  Piece site;
  switch (form) {
    case 0: site << "    m0 = " << left << ' ' << op1 << ' ' << call << ' ' << op2 << ' ' << right << ";\n    PrnDec_(m0);\n"; break;
    case 1: site << "    PrnDec_(" << left << ' ' << op1 << ' ' << call << ' ' << op2 << ' ' << right << ");\n"; break;
    case 2:
      site << "    if (" << call << ' ' << op2 << ' ' << right << " > " << left << ") PrnDec_(1); else PrnDec_(0);\n";
      break;
    case 3: site << "    Call_(" << call << ' ' << op2 << ' ' << right << ", " << left << ");\n"; break;
    case 4:  // the index first, then the right-hand side
      site << "    w[(" << call << ' ' << op2 << ' ' << right << ") & 31] = " << left << ";\n    PrnHex_(w[3]);\n";
      break;
    case 5: {  // the condition of a loop, evaluated before every pass
      const std::string inner = TakeCounter(at);
      site << "    for (" << inner << " = 0; " << inner << " < (" << call << ' ' << op2 << ' ' << right << ") & 7; "
           << inner << " = " << inner << " + 1) PrnDec_(" << left << ");\n";
      break;
    }
    case 6: {  // the arguments of a script function, left to right
      const std::string helper = b.program.NewRoutineName();
      b.program.definitions.push_back(Piece() << "func " << helper << "(a, b) return = a - b * 2;\n");
      site << "    m1 = " << helper << '(' << call << ' ' << op2 << ' ' << right << ", " << left << ");\n    PrnDec_(m1);\n";
      break;
    }
    case 7: {  // the arguments of a script procedure, a statement of its own
      const std::string helper = b.program.NewRoutineName();
      b.program.definitions.push_back(Piece() << "proc " << helper << "(a, b) { PrnDec_(a - b); }\n");
      site << "    " << helper << '(' << call << ' ' << op2 << ' ' << right << ", " << left << ");\n";
      break;
    }
    default: {  // a loop's step, run after every pass
      const std::string inner = TakeCounter(at);
      site << "    for (" << inner << " = 0; " << inner << " < 3; " << inner << " = " << inner << " + 1 + 0 * (" << call
           << ' ' << op2 << ' ' << right << ")) PrnDec_(" << left << ");\n";
      break;
    }
  }
  site << "    PrnChar_(32);\n";

  const Timing t = ChooseTiming(b.c, 20);
  const Changes changes = PickChanges(b, b.c.Chance(70) ? after : before, b.c.Between(1, 3));
  definition << "  " << calls << " = " << calls << " + 1;\n";
  definition << StoresIf(b, Equals(calls, t.change + 1), changes, false, 2, MainAnchor(b));
  if (t.restore <= t.passes) definition << StoresIf(b, Equals(calls, t.restore + 1), changes, true, 2, MainAnchor(b));
  b.code.Statements(definition, inRoutine, b.c.Between(0, 2), 2);
  definition << "  return = ";
  b.code.Expression(definition, inRoutine, 1);
  definition << ";\n}\n";
  b.program.definitions.push_back(definition);
  b.program.main << LoopHead(counter, t.passes) << site << "  }\n";
}

// A recursive function whose k-th call rewrites the expression that the
// levels above it return into: the operator and operand after the recursive
// call, the else branch, the end of the statement.
void RecursionRewritesReturn(Build& b) {
  Context at = b.code.MainContext();
  const std::string counter = TakeCounter(at);
  const std::string calls = b.NewGlobal("k");
  RoutineInfo r{b.program.NewRoutineName(), true, 1, true};
  Piece definition;
  Context inRoutine = b.code.OpenRoutine(definition, r);
  const int depth = b.c.Between(1, 6);
  const Timing t = ChooseTiming(b.c, 12);
  const int change = b.c.Between(1, t.passes * (depth + 1));

  Targets targets;
  Piece body;
  body << "  if (a > 0) return = ";
  if (b.c.Chance(40)) {
    b.code.Expression(body, inRoutine, 2, &targets);
    body << ' ';
    b.program.Put(body, "-", Part::Operator, &targets);
    body << ' ';
  }
  body << r.name << "(a - 1) ";
  b.program.Put(body, std::string(1, b.c.Pick(kOperatorBytes)), Part::Operator, &targets);
  body << ' ';
  b.code.Expression(body, inRoutine, 2, &targets);
  b.program.Put(body, ";", Part::Punctuation, &targets);
  body << ' ';
  b.program.Put(body, "e", Part::Keyword, &targets);
  body << "lse return = ";
  b.program.Put(body, std::to_string(b.c.Between(1, 99)), Part::Digit, &targets);
  body << ";\n";

  const Changes changes = PickChanges(b, targets, b.c.Between(1, 2));
  definition << "  " << calls << " = " << calls << " + 1;\n";
  definition << StoresIf(b, Equals(calls, change), changes, false, 2, MainAnchor(b));
  if (b.c.Chance(35)) definition << StoresIf(b, Equals(calls, change + depth + 1), changes, true, 2, MainAnchor(b));
  definition << body << "}\n";
  b.program.definitions.push_back(definition);
  b.program.main << LoopHead(counter, t.passes) << "    PrnDec_(" << r.name << '(' << depth
                 << ")); PrnChar_(32);\n  }\n";
}

// A routine's name or parameter list rewritten, at its definition or at the
// call: from main's loop, from a function called earlier in the same
// expression or inside the call's arguments (after the frame was declared
// from the parameter list), or from inside the routine itself while it runs.
void RoutineHeader(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  RoutineInfo r{b.program.NewRoutineName(), b.c.Chance(70), 2, false};
  Targets name, params, callName;
  Piece definition;
  definition << (r.function ? "func " : "proc ");
  b.program.Put(definition, r.name, Part::Routine, &name);
  b.program.Put(definition, "(a, b)", Part::Name, &params);
  const Timing t = ChooseTiming(b.c, 16);
  Changes changes;
  switch (b.c.Below(6)) {
    case 0:
    case 1:  // the parameters swap places: valid, the arguments change roles
      changes = {{params[1].mark, 'a', 'b'}, {params[4].mark, 'b', 'a'}};
      break;
    case 2: {  // two parameters of one name: the second hides the first
      const Target& p = params[b.c.Chance(50) ? 1 : 4];
      changes = {{p.mark, p.original, p.original == 'a' ? 'b' : 'a'}};
      break;
    }
    case 3:  // another name: the calls no longer find it
      changes = {{name[2].mark, name[2].original, char('0' + b.c.Below(10))}};
      break;
    default: changes = PickChanges(b, b.c.Chance(70) ? params : name, b.c.Between(1, 2)); break;
  }
  const bool inside = b.c.Chance(30);
  definition << " {\n";
  if (inside) {
    const std::string calls = b.NewGlobal("k");
    definition << "  " << calls << " = " << calls << " + 1;\n"
               << StoresIf(b, Equals(calls, t.change + 1), changes, false, 2, MainAnchor(b));
  }
  definition << (r.function ? "  return = a * 10 + b;\n" : "  PrnDec_(a * 10 + b); PrnChar_(32);\n") << "}\n";
  b.program.definitions.push_back(definition);

  // The call, and where a helper function that makes the change stands:
  // nowhere, before the call in the same expression, or inside the call's
  // own arguments, after its frame has been declared from the text it
  // changes.
  const int helperAt = inside || b.program.RoutinesLeft() < 2 ? 0 : int(b.c.Below(4));
  const std::string helper = helperAt > 0 ? b.program.NewRoutineName() : "";
  const std::string second = std::to_string(b.c.Between(0, 9));
  Piece call;
  b.program.Put(call, r.name, Part::Routine, &callName);
  call << '(' << (helperAt == 2 ? helper + "()" : counter) << ", " << (helperAt == 3 ? helper + "()" : second) << ')';
  if (!inside && b.c.Chance(15)) changes = PickChanges(b, callName, 1);
  Piece body;
  if (helperAt > 0) {
    const std::string calls = b.NewGlobal("k");
    Piece definition;
    definition << "func " << helper << "() {\n  " << calls << " = " << calls << " + 1;\n"
               << StoresIf(b, Equals(calls, t.change + 1), changes, false, 2, MainAnchor(b)) << "  return = " << calls
               << ";\n}\n";
    b.program.definitions.push_back(definition);
    const std::string first = helperAt == 1 ? helper + "() + " : "";
    if (r.function) {
      body << "    m0 = " << first << call << ";\n    PrnDec_(m0); PrnChar_(32);\n";
    } else {
      if (helperAt == 1) body << "    Call_(" << helper << "(), 0);\n";
      body << "    " << call << ";\n";
    }
    b.program.main << LoopHead(counter, t.passes) << body << "  }\n";
    return;
  }
  if (r.function) {
    body << "    m0 = " << call << ";\n    PrnDec_(m0); PrnChar_(32);\n";
  } else {
    body << "    " << call << ";\n";
  }
  LoopWithStores(b, b.program.main, 2, counter, t, body, inside ? Changes() : changes, MainAnchor(b));
}

// A block's var line rewritten: blanked out (its names then mean the globals
// they hid), one name renamed, or broken; in main's loop or in a routine,
// between the block's runs or inside it, while the slots it declared live
// under the names it no longer spells.
void VarLine(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  std::vector<std::string> globals;
  for (const std::string& name : at.writes) {
    if (name[0] == 'g') globals.push_back(name);
  }
  const std::string first = b.c.Pick(globals), second = b.c.Pick(globals);
  Targets line;
  Piece block;
  block << "{\n      ";
  b.program.Put(block, "var " + first + ", " + second + ";", Part::Keyword, &line);
  block << '\n';
  Changes changes;
  if (b.c.Chance(40)) {
    for (const Target& t : line) changes.push_back({t.mark, t.original, ' '});
  } else if (b.c.Chance(50)) {
    changes = {{line[4].mark, line[4].original, second[0]}, {line[5].mark, line[5].original, second[1]}};
  } else {
    for (Target& t : line) t.part = t.original == ' ' ? Part::Blank : IsDigitByte(t.original) ? Part::Digit : t.part;
    changes = PickChanges(b, line, b.c.Between(1, 2));
  }
  const Timing t = ChooseTiming(b.c, 16);
  const bool live = b.c.Chance(40);
  if (live) {
    const std::string runs = b.NewGlobal("k");
    block << "      " << runs << " = " << runs << " + 1;\n"
          << StoresIf(b, Equals(runs, t.change + 1), changes, false, 6, MainAnchor(b));
    if (t.restore <= t.passes) block << StoresIf(b, Equals(runs, t.restore + 1), changes, true, 6, MainAnchor(b));
  }
  block << "      " << first << " = " << first << " + 3; " << second << " = " << second << " * 2 + 1;\n      PrnDec_("
        << first << " + " << second << "); PrnChar_(32);\n    }";
  Piece body;
  if (b.c.Chance(50)) {
    body << "    if (1) " << block << "\n";
  } else {
    // The block is a routine's body, run from main's loop.
    RoutineInfo r{b.program.NewRoutineName(), false, 0, false};
    Piece definition;
    definition << "proc " << r.name << "() " << block << "\n";
    b.program.definitions.push_back(definition);
    body << "    " << r.name << "();\n";
  }
  body << "    PrnDec_(" << first << "); PrnChar_(32);\n";
  LoopWithStores(b, b.program.main, 2, counter, t, body, live ? Changes() : changes, MainAnchor(b));
}

// A global renamed in the global var line while the program runs: its slot
// lives on under the new name. g1 becomes g0, whose older slot it then hides
// (or another name); the loop reads g0 and leaves g1 alone until it is put
// back.
void GlobalName(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  std::erase(at.reads, "g1");
  std::erase(at.writes, "g1");
  Targets name = b.program.MarkGlobal("g1");
  Changes changes = {{name[1].mark, '1', b.c.Chance(80) ? '0' : '2'}};
  if (b.c.Chance(20)) changes = {{name[0].mark, 'g', b.c.Chance(50) ? 'm' : 'x'}};
  Piece body;
  b.code.Statements(body, at, b.c.Between(1, 2), 4);
  body << "    PrnDec_(g0); PrnChar_(32);\n";
  LoopWithStores(b, b.program.main, 2, counter, ChooseTiming(b.c, 16), body, changes, MainAnchor(b));
}

// A digit counted up by a store of its own byte plus one, pass after pass:
// in a later statement, or in the store's own statement (which then adds
// more on every pass, until the digit is no digit and the statement fails).
void CountingDigit(Build& b) {
  Context at = b.code.MainContext();
  const std::string counter = TakeCounter(at);
  const int digit = b.program.NewMark();
  b.aims.emplace_back(digit, 1);
  const int start = b.c.Between(0, 8);
  Piece& out = b.program.main;
  out << LoopHead(counter, b.c.Between(2, 12 - start));
  auto store = [&](const std::string& step) {
    out << "    _s[";
    out.Offset(b.program.anchor, digit);
    out << "] = _s[";
    out.Offset(b.program.anchor, digit);
    out << "] + " << step;
  };
  if (b.c.Chance(30)) {
    store("");
    out.Mark(digit) << "1;\n    PrnDec_(" << counter << "); PrnChar_(32);\n";
  } else {
    out << "    m0 = 1";
    out.Mark(digit) << start << " * 3;\n    PrnDec_(m0); PrnChar_(32);\n";
    store("1;\n");
  }
  out << "  }\n";
}

// Keywords rewritten ("if (" to "if((", "else" to "xlse", "do " to "do(")
// and statements switched on and off by a '#' that starts or ends a
// comment.
void Keywords(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  Targets all, keywords;
  Piece body;
  b.code.Statements(body, at, b.c.Between(1, 2), 4, &all);
  for (const Target& t : all) {
    if (t.part == Part::Keyword) keywords.push_back(t);
  }
  // A statement that a '#' switches off, or one that waits behind a '#'.
  Piece simple;
  b.code.Simple(simple, at);
  const int toggle = b.program.NewMark();
  const bool on = b.c.Chance(50);
  body << "    ";
  body.Mark(toggle) << (on ? "" : "#") << simple << '\n';
  Changes changes;
  if (keywords.empty() || b.c.Chance(40)) {
    changes = {{toggle, on ? simple.Text()[0] : '#', on ? '#' : ' '}};
  } else {
    changes = PickChanges(b, keywords, b.c.Between(1, 2));
  }
  body << "    if (" << counter << " > " << int(b.c.Below(8)) << ") ";
  Targets ifTargets;
  body << "PrnDec_(1); ";
  b.program.Put(body, "else ", Part::Keyword, &ifTargets);
  body << "PrnDec_(2);\n";
  if (b.c.Chance(30)) changes = PickChanges(b, ifTargets, 1);
  LoopWithStores(b, b.program.main, 2, counter, ChooseTiming(b.c, 16), body, changes, MainAnchor(b));
}

// A whole statement replaced by another of the same length (or by blanks),
// copied byte by byte from a string literal, after its text was saved in the
// array memory; later copied back.
void StatementSwap(Build& b) {
  Context at = b.code.MainContext();
  const std::string counter = TakeCounter(at), copy = TakeCounter(at);
  at.reads.push_back(counter);
  Piece target;
  b.code.Simple(target, at);
  const std::string& text = target.Text();
  const size_t length = std::min<size_t>(text.size(), 80);  // a longer one is only partly replaced
  std::string donor;
  for (int attempt = 0; attempt < 3 && donor.empty(); attempt++) {
    Piece p;
    b.code.Simple(p, at);
    if (p.Text().size() <= length && p.Text().find('"') == std::string::npos) donor = p.Text();
  }
  donor.resize(length, ' ');
  const std::string saved = b.NewGlobal("_q"), from = b.NewGlobal("_d");
  const Timing t = ChooseTiming(b.c, 16);
  const int start = b.program.NewMark();
  b.aims.emplace_back(start, int(length));
  Piece& out = b.program.main;
  out << "  " << saved << " = Array_ + 8000;\n  " << from << " = \"" << donor << "\";\n" << LoopHead(counter, t.passes);
  const std::string each = "for (" + copy + " = 0; " + copy + " < " + std::to_string(length) + "; " + copy + " = " +
                           copy + " + 1) ";
  // The copying loops stand in braces: an unbraced loop as a skipped
  // branch would be passed over only up to the first ';' of its header.
  out << "    if (" << Equals(counter, t.change) << ") { " << each << "{ " << saved << '[' << copy << "] = _s[";
  out.Offset(b.program.anchor, start);
  out << " + " << copy << "]; _s[";
  out.Offset(b.program.anchor, start);
  out << " + " << copy << "] = " << from << '[' << copy << "]; } }\n    ";
  out.Mark(start) << target << "\n";
  if (t.restore <= t.passes) {
    out << "    if (" << Equals(counter, t.restore) << ") { " << each << "_s[";
    out.Offset(b.program.anchor, start);
    out << " + " << copy << "] = " << saved << '[' << copy << "]; }\n";
  }
  out << "  }\n";
}

// Four bytes at once: a word store through a variable that points into the
// text, over a statement's digits and operators.
void WordStore(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  const std::string pointer = b.NewGlobal("ww");
  const int start = b.program.NewMark();
  b.aims.emplace_back(start, 4);
  Piece target;
  target << "    m1 = ";
  target.Mark(start);
  target << b.c.Between(1000, 9999) << " + " << b.c.Between(10, 99) << ";\n    PrnDec_(m1); PrnChar_(32);\n";
  const std::string original = target.Text().substr(9, 4);
  std::string replaced = original;
  for (char& ch : replaced) {
    if (b.c.Chance(60)) ch = IsDigitByte(ch) ? char('0' + b.c.Below(10)) : b.c.Pick(kBreaking);
  }
  auto word = [](const std::string& bytes) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--) v = v << 8 | uint8_t(bytes[size_t(i)]);
    char hex[12];
    std::snprintf(hex, sizeof hex, "$%08X", v);
    return std::string(hex);
  };
  const Timing t = ChooseTiming(b.c, 16);
  Piece& out = b.program.main;
  out << "  " << pointer << " = _s + (";
  out.Offset(b.program.anchor, start);
  out << ");\n" << LoopHead(counter, t.passes) << "    if (" << Equals(counter, t.change) << ") " << pointer
      << "[0] = " << word(replaced) << ";\n"
      << target;
  if (t.restore <= t.passes) out << "    if (" << Equals(counter, t.restore) << ") " << pointer << "[0] = " << word(original) << ";\n";
  out << "  }\n";
}

// Statements that stand inside a string literal and run when the walker
// skips an unbraced body up to its first ';', which lies inside the literal
// (a false if, the else after a true one, a loop's body when the loop ends);
// a '#' after them comments out the rest of the line. Stores rewrite their
// digits and operators, which also changes the literal.
void LiteralCode(Build& b) {
  std::string counter;
  Context at = MainLoop(b, counter);
  // One statement with its ';' and no other: no quote, '#' or line end.
  auto fits = [](const std::string& text) {
    return text.find_first_of("\"#\r\n") == std::string::npos && text.find(';') + 1 == text.size();
  };
  Piece statement;
  Targets targets;
  for (int attempt = 0; attempt < 3 && (statement.Size() == 0 || !fits(statement.Text())); attempt++) {
    statement = Piece();
    targets.clear();
    b.code.Simple(statement, at, &targets);
  }
  if (!fits(statement.Text())) {
    statement = Piece();
    targets.clear();
    statement << "m0 = m0 ";
    b.program.Put(statement, "+", Part::Operator, &targets);
    statement << ' ';
    b.program.Put(statement, "1", Part::Digit, &targets);
    statement << ';';
  }
  std::erase_if(targets, [](const Target& t) { return t.part != Part::Digit && t.part != Part::Operator; });
  if (targets.empty()) b.program.Put(statement, " ", Part::Blank, &targets);
  Piece literal;
  literal << "PrnStr_(\"; " << statement << " #\");";
  Piece body;
  switch (b.c.Below(3)) {
    case 0: body << "    if (" << counter << " % " << b.c.Between(2, 3) << ") " << literal << '\n'; break;
    case 1:
      body << "    if (" << counter << " > " << int(b.c.Below(4)) << ") PrnChar_(43); else " << literal << '\n';
      break;
    default: {
      const std::string inner = TakeCounter(at);
      body << "    for (" << inner << " = 0; " << inner << " < " << b.c.Between(0, 2) << "; " << inner << " = " << inner
           << " + 1) " << literal << '\n';
    }
  }
  body << "    PrnDec_(m0); PrnChar_(32); PrnDec_(m1); PrnChar_(32);\n";
  LoopWithStores(b, b.program.main, 2, counter, ChooseTiming(b.c, 12), body,
                 PickChanges(b, targets, b.c.Between(1, 2)), MainAnchor(b));
}

constexpr Shape kSelfModifyingShapes[] = {
    {"later-statements", LaterStatements},
    {"loop-condition", LoopCondition},
    {"call-rewrites-rest", CallRewritesRest},
    {"recursion-rewrites-return", RecursionRewritesReturn},
    {"routine-header", RoutineHeader},
    {"var-line", VarLine},
    {"global-name", GlobalName},
    {"counting-digit", CountingDigit},
    {"keywords", Keywords},
    {"statement-swap", StatementSwap},
    {"word-store", WordStore},
    // Statements that stand in a string literal and run when the walker
    // skips an unbraced body up to a `;` inside it; a store changes one of
    // their digits into another, which leaves the text generation standing.
    {"literal-code", LiteralCode},
};

}  // namespace

std::span<const Shape> SelfModifyingShapes() { return kSelfModifyingShapes; }

}  // namespace vorla::fuzz
