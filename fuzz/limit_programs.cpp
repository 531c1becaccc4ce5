// The limit shapes: programs that reach a limit through calls, exactly at it,
// one below or one past, counted the way the walker counts it: the variable
// slots (globals, frames of nested calls and of calls made inside arguments,
// parameters, block locals), the operand slots (left operands pending across
// recursive calls), the call depth, the nesting depth and the step budget.
// Besides them, calls with the wrong number of arguments, empty arguments and
// faults inside arguments after the same call ran clean, and ESC keys typed
// ahead that stop the run at an output in the middle of a call.
//
// Each limit program runs its limit first in main, right after the
// prologue, and prints kDone when it comes back; ordinary code follows.
#include <algorithm>

#include "core/state.h"
#include "fuzz/run_input.h"
#include "fuzz/shapes.h"

namespace vorla::fuzz {

namespace {

constexpr const char* kDone = "<done>";

// -1: one below the limit, 0: at it, 1: one past; now and then up to `far`
// past.
int ChooseEdge(Choices& c, int far = 5) { return c.Chance(10) ? c.Between(2, far) : c.Between(-1, 1); }

void Plan(Build& b, int edge, FaultKind limit) {
  b.result.expect = edge > 0 ? Expect::PastLimit : Expect::WithinLimit;
  b.result.limit = limit;
  b.result.doneMark = kDone;
  b.result.overLimit = edge;
}

std::string Done() { return std::string("  PrnStr_(\"") + kDone + "\");\n"; }

std::string Names(std::string_view stem, int count) {
  std::string s;
  for (int i = 0; i < count; i++) s += (i > 0 ? ", " : "") + std::string(stem) + std::to_string(i);
  return s;
}

// The slots live before the limit program's own: the predefined variables,
// the globals and main's locals.
int LiveSlots(const Program& p) { return kPredefinedCount + int(p.globals.size() + p.mainLocals.size()); }

// A recursive routine whose frames, the frames of a function called inside
// its arguments, and block locals at the bottom and around the first call
// fill VariableTable to its last slot, one below it, or one past it.
void ReachVariableSlots(Build& b) {
  const int edge = ChooseEdge(b.c);
  Plan(b, edge, FaultKind::VariablesFull);
  const bool function = b.c.Chance(60);
  const int params = b.c.Between(1, 3), locals = b.c.Between(0, 3), bottom = b.c.Between(0, 3);
  const int around = b.c.Between(0, 2);
  const bool helper = params > 1 && b.c.Chance(50);
  const int helperLocals = b.c.Between(0, 2);
  const int frame = (function ? 1 : 0) + params + locals;
  const int helperFrame = 2 + helperLocals;  // result, parameter, locals
  // The most slots alive at once, with `depth` recursive calls below the first.
  auto peak = [&](int depth) {
    int most = (depth + 1) * frame + bottom;
    if (helper) most = std::max(most, depth * frame + (function ? 1 : 0) + params + helperFrame);
    return LiveSlots(b.program) + around + most;
  };
  const int target = kMaxVariables + edge;
  int depth = b.c.Between(0, 30);
  while (depth > 0 && peak(depth) > target) depth--;
  // Globals of its own make up the rest; when the program's own slots leave
  // no room for them, the program ends wherever its peak lies.
  const int padding = std::max(target - peak(depth), 0);
  for (int i = 0; i < padding; i++) b.program.globals.push_back("x" + std::to_string(i));
  b.result.overLimit = peak(depth) - kMaxVariables;
  b.result.expect = b.result.overLimit > 0 ? Expect::PastLimit : Expect::WithinLimit;

  const std::string name = b.program.NewRoutineName(), helperName = helper ? b.program.NewRoutineName() : "";
  Piece definition;
  definition << (function ? "func " : "proc ") << name << '(' << Names("a", params) << ") {\n";
  if (locals > 0) definition << "  var " << Names("l", locals) << ";\n";
  std::string call = name + "(a0 - 1";
  for (int k = 1; k < params; k++) call += k == 1 && helper ? ", " + helperName + "(a1)" : ", a" + std::to_string(k);
  call += ')';
  definition << "  if (a0 > 0) " << (function ? "return = 1 + " : "") << call << "; else ";
  const std::string last = function ? "return = a0;" : "PrnDec_(a0);";
  if (bottom > 0) {
    definition << "{ var " << Names("e", bottom) << "; " << last << " }\n}\n";
  } else {
    definition << last << "\n}\n";
  }
  b.program.definitions.push_back(definition);
  if (helper) {
    Piece h;
    h << "func " << helperName << "(h) {\n";
    if (helperLocals > 0) h << "  var " << Names("k", helperLocals) << ";\n";
    h << "  return = h + 1;\n}\n";
    b.program.definitions.push_back(h);
  }
  std::string first = name + '(' + std::to_string(depth);
  for (int k = 1; k < params; k++) first += k == 1 && helper ? ", " + helperName + "(2)" : ", " + std::to_string(k);
  first += ')';
  Piece& out = b.program.main;
  out << "  if (1) {\n";
  if (around > 0) out << "    var " << Names("o", around) << ";\n";
  out << (function ? "    PrnDec_(" + first + ");\n" : "    " + first + ";\n") << "  }\n" << Done();
}

// Operators on the levels 1 to 4, the binding levels of the evaluator.
constexpr const char* kLevelOperators[4][3] = {{"=", "<>", ">="}, {"&", "|", "^"}, {"+", "-", "+"}, {"*", "*", "*"}};

// The text before and after an operand that leaves exactly `pending` left
// operands on OperandStack while that operand is evaluated: runs of
// operators of rising levels, each run closed by an opening parenthesis or a
// built-in's argument list, after which the levels start again. With
// `function` (a script function of two or three parameters), the operand
// goes into its last argument once: the arguments before it are taken into
// the frame under construction, not left on OperandStack.
std::pair<std::string, std::string> PendingChain(Choices& c, int pending, const std::string& function = "",
                                                 int params = 0) {
  std::vector<std::string> opens;  // each closed by one ')'
  while (pending > 0) {
    // `run` of the four levels, rising.
    const int run = std::min(pending, c.Between(1, 3));
    std::vector<int> levels = {0, 1, 2, 3};
    while (int(levels.size()) > run) levels.erase(levels.begin() + c.Below(uint32_t(levels.size())));
    std::string open;
    for (int level : levels) open += std::to_string(c.Between(1, 9)) + ' ' + c.Pick(kLevelOperators[level]) + ' ';
    opens.push_back(open + (c.Chance(25) ? "Array_(" : "("));
    pending -= run;
  }
  if (!function.empty()) {
    std::string head = function + '(';
    for (int k = 1; k < params; k++) head += std::to_string(c.Between(1, 9)) + ", ";
    opens.insert(opens.begin() + c.Below(uint32_t(opens.size() + 1)), head);
  }
  std::string open;
  for (const std::string& o : opens) open += o;
  return {open, std::string(opens.size(), ')')};
}

// A recursion that leaves `perLevel` left operands pending at every level,
// called from an expression that leaves more: the operand that does not fit
// in OperandStack is the one past the limit. The recursive call may stand in
// a script function's last argument, or in Call_'s second one.
void ReachOperandSlots(Build& b) {
  const int edge = ChooseEdge(b.c);
  Plan(b, edge, FaultKind::OperandsFull);
  // At the bottom the condition a > 0 takes two slots above everything
  // pending, as the argument a - 1 does at the level above it; the last
  // level's result, an expression without calls, may take more.
  const int last = b.c.Between(1, 6);
  const int target = kMaxOperands + edge - std::max(2, last);
  const int perLevel = b.c.Between(1, 3);
  const int mainPending = b.c.Between(0, std::min(8, target));
  const int depth = (target - mainPending) / perLevel;
  // A function around the recursive call takes its frame at every level:
  // only where the variable slots leave room for that.
  const int params = b.c.Between(2, 3);
  const bool wrapped = b.c.Chance(40) && LiveSlots(b.program) + depth * (3 + params) + 8 < kMaxVariables;
  const std::string name = b.program.NewRoutineName(), wrapper = wrapped ? b.program.NewRoutineName() : "";
  if (wrapped) {
    b.program.definitions.push_back(Piece() << "func " << wrapper << '(' << (params == 3 ? "x, y, z" : "x, y")
                                            << ") return = x - y;\n");
  }
  const auto [levelOpen, levelClose] = PendingChain(b.c, perLevel, wrapper, params);
  const auto [mainOpen, mainClose] = PendingChain(b.c, target - depth * perLevel);
  const auto [lastOpen, lastClose] = PendingChain(b.c, last - 1);
  Piece definition;
  definition << "func " << name << "(a) { if (a > 0) ";
  const std::string call = levelOpen + name + "(a - 1)" + levelClose;
  if (b.c.Chance(25)) {
    definition << "{ Call_(" << b.c.Between(0, 9) << ", " << call << "); return = a; }";
  } else {
    definition << "return = " << call << ';';
  }
  definition << " else return = " << lastOpen << 'a' << lastClose << "; }\n";
  b.program.definitions.push_back(definition);
  b.program.main << "  PrnDec_(" << mainOpen << name << '(' << depth << ')' << mainClose << ");\n" << Done();
}


// Parameterless procedures without locals take no slot, so they reach the
// call depth: one recursion, or two procedures that call each other,
// counting the calls in a global.
void ReachCallDepth(Build& b) {
  const int edge = ChooseEdge(b.c);
  Plan(b, edge, FaultKind::CallsTooDeep);
  const std::string counter = b.NewGlobal("kd");
  const std::string first = b.program.NewRoutineName();
  const bool mutual = b.c.Chance(40);
  const std::string second = mutual ? b.program.NewRoutineName() : first;
  const std::string calls = std::to_string(CallDepthLimit + edge);
  // %c the counter, %n the calls, %r the routine called.
  static const char* kForms[] = {"if (%c < %n) %r();", "if (%c < %n) { %r(); }", "if (%c >= %n) ; else %r();",
                                 "do { if (%c < %n) %r(); } while (0);"};
  auto body = [&](const std::string& callee) {
    const std::string form = b.c.Pick(kForms);
    std::string out;
    for (size_t i = 0; i < form.size(); i++) {
      if (form[i] != '%') {
        out += form[i];
        continue;
      }
      const char key = form[++i];
      out += key == 'c' ? counter : key == 'n' ? calls : callee;
    }
    return "{ " + counter + " = " + counter + " + 1; " + out + " }\n";
  };
  b.program.definitions.push_back(Piece() << "proc " << first << "() " << body(second));
  if (mutual) b.program.definitions.push_back(Piece() << "proc " << second << "() " << body(first));
  b.program.main << "  " << counter << " = 0;\n  " << first << "();\n" << Done();
}

// Nesting levels of bodies and expressions: a recursive function whose
// recursive call stands inside parentheses, calls of Array_ and prefix
// operators (and blocks), and whose last level evaluates one parenthesised
// expression deep enough to reach the limit exactly. The walker counts a
// level for main's body, the argument of PrnDec_, and per call the body, the
// branch, each block and the right-hand side, besides one per parenthesis or
// call of Array_ and two per "-~".
void ReachNesting(Build& b) {
  const int edge = ChooseEdge(b.c);
  Plan(b, edge, FaultKind::NestingTooDeep);
  // Two slots a level (the result and the parameter).
  const int most = (kMaxVariables - LiveSlots(b.program)) / 2 - 1;
  int depth = b.c.Between(std::min(most, 30), std::min(most, 50));
  const int blocks = b.c.Between(0, 3);
  const int calls = b.c.Between(0, 4), prefixes = b.c.Between(0, 12);
  const int target = NestingLimit + edge;
  const int perLevel = 3 + blocks + calls + 2 * prefixes;
  // Under a low limit, fewer levels of the recursion, each with a parenthesis.
  depth = std::min(depth, std::max(1, (target - 5) / (perLevel + 1)));
  // The last level reaches the limit in parentheses, or in blocks (fewer:
  // they take more text), where the body of an empty do loop and its
  // condition stand as deep as the right-hand side.
  const bool blocksAtBottom = b.c.Chance(30);
  const int parens =
      std::max(0, (target - 5 - depth * perLevel) / depth - int(blocksAtBottom ? 0 : b.c.Below(3)));
  const int last = target - 5 - depth * (perLevel + parens);
  // Parentheses, with the calls and prefixes among them.
  std::vector<int> units(size_t(std::max(parens, 0)), 0);
  for (int i = 0; i < calls + prefixes; i++) {
    units.insert(units.begin() + b.c.Below(uint32_t(units.size() + 1)), i < calls ? 1 : 2);
  }
  std::string open, close;
  for (int unit : units) {
    static const char* kOpen[] = {"(", "Array_(", "-~"};
    open += kOpen[unit];
    if (unit < 2) close += ')';
  }
  const std::string name = b.program.NewRoutineName();
  Piece definition;
  definition << "func " << name << "(a) { if (a > 0) ";
  for (int i = 0; i < blocks; i++) definition << "{ if (1) ";
  definition << "{ return = " << open << name << "(a - 1)" << close << "; }";
  for (int i = 0; i < blocks; i++) definition << " }";
  const size_t extra = size_t(std::max(last, 0));
  if (blocksAtBottom) {
    definition << " else { ";
    for (size_t i = 0; i < extra; i++) definition << "if (1) { ";
    definition << "return = a; do ; while (0);";
    for (size_t i = 0; i < extra; i++) definition << " }";
    definition << " } }\n";
  } else {
    definition << " else return = " << std::string(extra, '(') << '1' << std::string(extra, ')') << "; }\n";
  }
  b.program.definitions.push_back(definition);
  b.program.main << "  PrnDec_(" << name << '(' << depth << "));\n" << Done();
}

// Statements counted up to the step budget: a loop of calls of recursive
// routines, or of assignments that run from code, then empty statements or
// outputs to make up the count, then kDone, the budget's last statement, one
// before it, or one past it (or further past, stopping inside the loop).
// Every statement begun counts, empty ones too; conditions and blocks do not.
void ReachStepBudget(Build& b) {
  const int edge = ChooseEdge(b.c, 60);  // far past, the stop comes inside the loop
  Plan(b, edge, FaultKind::None);
  const int64_t target = kStepBudget + edge;
  int64_t before = kPrologueStatements + 2;  // statements before the first pass: the loop's two here
  int64_t pass = 2;                          // statements a pass takes
  std::string loop;                          // %N stands for the number of passes
  switch (b.c.Below(4)) {
    case 0: {
      const std::string f = b.program.NewRoutineName(), p = b.program.NewRoutineName();
      b.program.definitions.push_back(Piece() << "func " << f << "(a) { if (a > 0) return = a + " << f
                                              << "(a - 1); else return = 1; }\n");
      b.program.definitions.push_back(Piece() << "proc " << p << "(a) { if (a > 0) " << p << "(a - 1); }\n");
      const int x = b.c.Between(0, 4), y = b.c.Between(0, 4);
      // m0 = f(x): 1 + 2 (x + 1); p(y): 1 + 2 y + 1; the step: 1.
      pass = 1 + 2 * (x + 1) + 2 * y + 2 + 1;
      loop = "for (i0 = 0; i0 < %N; i0 = i0 + 1) { m0 = " + f + '(' + std::to_string(x) + "); " + p + '(' +
             std::to_string(y) + "); }";
      break;
    }
    case 1:
      loop = b.c.Chance(50) ? "for (i0 = 0; i0 < %N; i0 = i0 + 1) m0 = m0 + i0 * 3;"
                            : "for (i0 = 0; i0 < %N; i0 = i0 + 1) ;";  // an empty statement counts too
      break;
    case 2: {
      const int assignments = b.c.Between(1, 3);
      const bool branches = b.c.Chance(50);
      pass = assignments + (branches ? 2 : 0) + 1;
      loop = "for (i0 = 0; i0 < %N; i0 = i0 + 1) {";
      for (int i = 0; i < assignments; i++) loop += i % 2 == 0 ? " m0 = m0 + i0;" : " m1 = m1 ^ m0;";
      if (branches) loop += " if (i0 % 3 = 0) m1 = m1 + 1; else m1 = m1 - 1;";
      loop += " }";
      break;
    }
    default: loop = "i0 = 0; do { m0 = m0 - i0; i0 = i0 + 1; } while (i0 < %N);"; break;
  }
  const int64_t passes = std::max<int64_t>((target - before - 1) / pass - b.c.Below(4), 1);
  const int64_t fill = target - before - 1 - passes * pass;
  loop.replace(loop.find("%N"), 2, std::to_string(passes));
  Piece& out = b.program.main;
  out << "  " << loop << "\n  ";
  for (int64_t i = 0; i < fill; i++) out << (b.c.Chance(20) ? "PrnChar_(46); " : "; ");
  out << '\n' << Done();
}

// A call that ran clean for some passes goes wrong at a chosen pass: too few
// or too many arguments, an empty one, a fault inside an argument of a
// built-in or of a script routine, an index that leaves the array memory.
void ArgumentFaults(Build& b) {
  const Context at = InsideLoop(b.code.MainContext(), "i0");
  const std::string f = b.program.NewRoutineName(), p = b.program.NewRoutineName();
  b.program.definitions.push_back(Piece() << "func " << f << "(a, b) { var t; t = a * 3; return = t + b; }\n");
  b.program.definitions.push_back(Piece() << "proc " << p << "(a) { PrnDec_(a); PrnChar_(32); }\n");
  const int passes = b.c.Between(2, 20), pass = b.c.Between(1, passes - 1);
  // The pass from which the index leaves the array memory (none when it is the last).
  const std::string step = std::to_string(4096 / b.c.Between(1, passes) + 1);
  const std::string faults[] = {
      "m0 = " + f + "(i0);",
      p + "();",
      "PrnDecF_(5);",
      "Call_(1);",
      "m0 = " + f + "(1, 2, 3);",
      p + "(1, 2);",
      "PrnDec_(1, 2);",
      "m0 = Rand_(1, 2);",
      "m0 = " + f + "(, 2);",
      "m0 = " + f + "(1, );",
      "PrnDec_();",
      "m0 = Rand_();",
      "Seed_();",
      "PrnDec_(" + f + "(i0, nosuch));",
      "m0 = " + f + "(i0, " + p + "(1));",
      p + "((1 + 2);",
      "m0 = " + f + "(1 2);",
      "PrnDecF_(1 / 0, 3);",
      "PrnDecF_(" + f + "(1, 2), " + f + "(3));",
      p + "(" + f + "(i0, Array_[i0 * 5000]));",
      "Call_(" + f + "(1, 1), Array_[i0 * 5000]);",
  };
  const std::string& fault = b.c.Pick(faults);
  Piece& out = b.program.main;
  out << "  for (i0 = 0; i0 < " << passes << "; i0 = i0 + 1) {\n";
  b.code.Statements(out, at, b.c.Between(0, 1), 4);
  out << "    PrnDec_(" << f << "(i0, Array_[i0 * " << step << "])); PrnChar_(32);\n";
  out << "    " << p << "(" << f << "(i0, 1));\n";
  out << "    if (i0 = " << pass << ") " << fault << "\n  }\n";
}

// Keys typed ahead, the last an ESC, stop the run at an output made inside
// a call in the middle of an expression (or at a division's notice, or at a
// line typed for Input_ that calls the function too).
void EscInCall(Build& b) {
  const Context at = InsideLoop(b.code.MainContext(), "i0");
  const std::string f = b.program.NewRoutineName();
  const int divisor = b.c.Between(0, 6);
  b.program.definitions.push_back(Piece() << "func " << f << "(a) {\n  PrnDec_(a);\n  return = a + 100 / (a - "
                                          << divisor << ");\n}\n");
  std::string keys;
  const bool typed = b.c.Chance(25);
  if (typed) keys = f + "(7)\r";  // a line typed for Input_
  const int before = b.c.Between(0, 12);
  for (int i = 0; i < before && keys.size() < kMaxKeys - 2; i++) keys += b.c.Chance(15) ? ' ' : char('a' + b.c.Below(26));
  keys += b.c.Chance(20) ? " \x1b" : "\x1b";
  if (b.c.Chance(30)) keys += "q";
  b.program.keys = keys.substr(0, kMaxKeys);
  Piece& out = b.program.main;
  out << "  for (i0 = 0; i0 < " << b.c.Between(2, 12) << "; i0 = i0 + 1) {\n";
  switch (b.c.Below(4)) {
    case 0: out << "    m0 = g0 + " << f << "(i0) * 3;\n    PrnChar_(32);\n"; break;
    case 1: out << "    PrnDec_(1 + " << f << '(' << f << "(i0)));\n"; break;
    case 2: out << "    if (" << f << "(i0) > 50) PrnChar_(43); else PrnChar_(45);\n"; break;
    default: out << "    m1 = " << (typed ? "Input_() + " : "InpChk_() + ") << f << "(i0);\n"; break;
  }
  b.code.Statements(out, at, b.c.Between(0, 1), 4);
  out << "  }\n";
}

constexpr Shape kLimitShapes[] = {
    {"variable-slots", ReachVariableSlots},
    {"operand-slots", ReachOperandSlots},
    {"call-depth", ReachCallDepth},
    {"nesting-depth", ReachNesting},
    {"step-budget", ReachStepBudget},
    {"argument-faults", ArgumentFaults},
    {"esc-in-call", EscInCall},
};

}  // namespace

std::span<const Shape> LimitShapes() { return kLimitShapes; }

}  // namespace vorla::fuzz
