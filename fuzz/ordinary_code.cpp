// Ordinary code for generated programs: the expression, statement and routine
// writers. Every loop counts a counter that nothing else assigns, every
// recursion counts down a parameter that callers start at 0 to 3, and every
// index is masked into the memory it reads, so ordinary code always ends and
// never faults by itself; what it prints makes the two ways' runs comparable.
#include "fuzz/ordinary_code.h"

namespace vorla::fuzz {

namespace {

// Binary operators, the common ones more than once.
constexpr const char* kOperators[] = {"+", "-", "*", "+", "-", "*", "&", "|", "^", "<",
                                      ">", "=", "<>", "<=", ">=", "/", "%"};
constexpr const char* kPrefixes[] = {"-", "~", "+", "-~"};
constexpr const char* kBigNumbers[] = {"2147483647", "65536", "1000", "4096", "123456", "2147483648"};
constexpr const char* kHexDigits[] = {"ff", "7F", "10", "FFFFFFFF", "80000000", "0"};
constexpr const char* kWords[] = {"ab", "x y", "z\\n", "Q-1", "", "hello"};
// Block locals: two of their own and two that hide globals.
constexpr const char* kBlockLocals[] = {"v0", "v1", "g0", "g1"};
constexpr const char* kParameters[] = {"a", "b", "c"};

}  // namespace

std::string Indent(int n) { return std::string(size_t(n), ' '); }

Context InsideLoop(Context at, const std::string& counter) {
  std::erase(at.counters, counter);
  at.reads.push_back(counter);
  at.loops++;
  return at;
}

OrdinaryCode::OrdinaryCode(Program& program, Choices& choices) : program_(program), c_(choices) {}

void OrdinaryCode::Prologue() {
  const int count = c_.Between(2, 5);
  for (int i = 0; i < count; i++) globals_.push_back("g" + std::to_string(i));
  program_.globals.insert(program_.globals.end(), globals_.begin(), globals_.end());
  program_.globals.push_back("_p");  // bytes of the array memory
  program_.globals.push_back("w");   // words of the array memory
  program_.mainLocals = {"i0", "i1", "i2", "i3", "m0", "m1"};
  program_.main << "  _p = Array_ + 4000;\n  w = Array_(1200);\n";
}

Context OrdinaryCode::MainContext() const {
  Context at;
  at.reads = globals_;
  at.reads.insert(at.reads.end(), {"m0", "m1", "Modulo_", "Timer_"});
  at.writes = globals_;
  at.writes.insert(at.writes.end(), {"m0", "m1"});
  at.counters = {"i0", "i1", "i2", "i3"};
  at.callable = routines_.size();
  return at;
}

void OrdinaryCode::Expression(Piece& out, const Context& at, int depth, Targets* targets) {
  if (depth >= 3 || !c_.Chance(55)) {
    Operand(out, at, depth, targets);
    return;
  }
  switch (c_.Below(5)) {
    case 0:
      out << '(';
      Expression(out, at, depth + 1, targets);
      out << ')';
      return;
    case 1:
      program_.Put(out, c_.Pick(kPrefixes), Part::Operator, targets);
      Operand(out, at, depth + 1, targets);
      return;
    default: {
      Expression(out, at, depth + 1, targets);
      out << ' ';
      bool divides;
      Operator(out, targets, divides);
      out << ' ';
      if (divides && c_.Chance(85)) {
        program_.Put(out, std::to_string(c_.Between(1, 9)), Part::Digit, targets);
      } else {
        Expression(out, at, depth + 1, targets);
      }
    }
  }
}

void OrdinaryCode::Operator(Piece& out, Targets* targets, bool& divides) {
  std::string_view op = c_.Pick(kOperators);
  divides = op == "/" || op == "%";
  program_.Put(out, op, Part::Operator, targets);
}

void OrdinaryCode::Operand(Piece& out, const Context& at, int depth, Targets* targets) {
  const uint32_t kind = c_.Below(20);
  if (kind < 7 || (kind < 13 && at.reads.empty())) {
    Literal(out, targets);
  } else if (kind < 13) {
    program_.Put(out, c_.Pick(at.reads), Part::Name, targets);
  } else if (kind < 15) {
    static const std::pair<const char*, int> kIndexed[] = {{"Array_", 63}, {"_p", 255}, {"w", 31}};
    const auto& [name, mask] = c_.Pick(kIndexed);
    program_.Put(out, name, Part::Name, targets);
    Index(out, at, depth, targets, mask);
  } else if (kind < 17) {
    switch (c_.Below(3)) {
      case 0:
        program_.Put(out, "Rand_", Part::Routine, targets);
        out << '(';
        Expression(out, at, depth + 1, targets);
        out << ')';
        break;
      case 1:
        program_.Put(out, "Array_", Part::Routine, targets);
        out << "((";
        Expression(out, at, depth + 1, targets);
        out << ") & 63)";
        break;
      default: program_.Put(out, "InpChk_()", Part::Routine, targets); break;
    }
  } else if (!Call(out, at, true, depth + 1, targets)) {
    Literal(out, targets);
  }
}

void OrdinaryCode::Literal(Piece& out, Targets* targets) {
  switch (c_.Below(8)) {
    case 5: program_.Put(out, c_.Pick(kBigNumbers), Part::Digit, targets); break;
    case 6:
      out << '$';
      program_.Put(out, c_.Pick(kHexDigits), Part::Digit, targets);
      break;
    case 7:
      out << '\'';
      program_.Put(out, std::string(1, char('A' + c_.Below(26))), Part::Text, targets);
      out << '\'';
      break;
    default: program_.Put(out, std::to_string(c_.Below(100)), Part::Digit, targets); break;
  }
}

// [(index) & mask]: always inside the memory the variable points into.
void OrdinaryCode::Index(Piece& out, const Context& at, int depth, Targets* targets, int mask) {
  out << "[(";
  Expression(out, at, depth + 1, targets);
  out << ") & " << mask << ']';
}

bool OrdinaryCode::Call(Piece& out, const Context& at, bool function, int depth, Targets* targets) {
  std::vector<const RoutineInfo*> fitting;
  for (size_t i = 0; i < at.callable && i < routines_.size(); i++) {
    if (routines_[i].function == function) fitting.push_back(&routines_[i]);
  }
  if (fitting.empty()) return false;
  const RoutineInfo& r = *c_.Pick(fitting);
  program_.Put(out, r.name, Part::Routine, targets);
  out << '(';
  Arguments(out, at, r, depth, targets);
  out << ')';
  return true;
}

void OrdinaryCode::Arguments(Piece& out, const Context& at, const RoutineInfo& r, int depth, Targets* targets) {
  for (int k = 0; k < r.params; k++) {
    if (k > 0) out << ", ";
    if (k == 0 && r.recursive) {
      out << '(';
      Expression(out, at, 3, targets);
      out << ") & 3";
    } else {
      Expression(out, at, depth < 2 ? 2 : depth + 1, targets);
    }
  }
}

void OrdinaryCode::Assignment(Piece& out, const Context& at, Targets* targets) {
  if (at.function && (at.writes.empty() || c_.Chance(35))) {
    program_.Put(out, "return", Part::Name, targets);
  } else if (!at.writes.empty()) {
    program_.Put(out, c_.Pick(at.writes), Part::Name, targets);
  } else {
    out << "Timer_";
  }
  out << " = ";
  Expression(out, at, 0, targets);
  out << ';';
}

void OrdinaryCode::Output(Piece& out, const Context& at, Targets* targets) {
  switch (c_.Below(6)) {
    case 0:
      program_.Put(out, "PrnStr_", Part::Routine, targets);
      out << "(\"";
      program_.Put(out, c_.Pick(kWords), Part::Text, targets);
      out << "\");";
      return;
    case 1:
      out << "PrnChar_(32 + ((";
      Expression(out, at, 1, targets);
      out << ") & 63));";
      return;
    case 2:
      out << "PrnHexB_(";
      Expression(out, at, 1, targets);
      out << ");";
      return;
    case 3:
      out << "PrnDecF_(";
      Expression(out, at, 1, targets);
      out << ", (";
      Expression(out, at, 2, targets);
      out << ") & 7);";
      return;
    default:
      program_.Put(out, "PrnDec_", Part::Routine, targets);
      out << '(';
      Expression(out, at, 0, targets);
      out << ");";
      return;
  }
}

void OrdinaryCode::Simple(Piece& out, const Context& at, Targets* targets) {
  const uint32_t kind = c_.Below(100);
  if (kind < 35) {
    Assignment(out, at, targets);
  } else if (kind < 47) {
    static const std::pair<const char*, int> kStored[] = {{"Array_", 63}, {"_p", 255}, {"w", 31}};
    const auto& [name, mask] = c_.Pick(kStored);
    out << name;
    Index(out, at, 1, targets, mask);
    out << " = ";
    Expression(out, at, 0, targets);
    out << ';';
  } else if (kind < 72) {
    Output(out, at, targets);
  } else {
    if (!Call(out, at, false, 1, targets)) {
      if (c_.Chance(50)) {
        out << "Call_(";
        Expression(out, at, 1, targets);
        out << ", ";
        Expression(out, at, 1, targets);
      } else {
        out << "Seed_(";
        Expression(out, at, 1, targets);
      }
      out << ')';
    }
    out << ';';
  }
}

void OrdinaryCode::Statement(Piece& out, const Context& at, int indent, Targets* targets) {
  const bool compound = indent < 10;
  const bool loop = compound && at.loops < 2 && !at.counters.empty();
  const uint32_t kind = c_.Below(100);
  out << Indent(indent);
  if (kind < 12 && compound) {
    If(out, at, indent, targets);
  } else if (kind < 20 && loop) {
    For(out, at, indent, targets);
  } else if (kind < 25 && loop) {
    Do(out, at, indent, targets);
  } else if (kind < 29) {
    out << "# note " << int(c_.Below(1000));
  } else if (kind < 31) {
    out << ';';
  } else {
    Simple(out, at, targets);
  }
  out << '\n';
}

void OrdinaryCode::Statements(Piece& out, const Context& at, int count, int indent, Targets* targets) {
  for (int i = 0; i < count; i++) Statement(out, at, indent, targets);
}

void OrdinaryCode::If(Piece& out, const Context& at, int indent, Targets* targets) {
  program_.Put(out, "if (", Part::Keyword, targets);
  Expression(out, at, 0, targets);
  out << ") ";
  Body(out, at, indent, targets);
  if (c_.Chance(40)) {
    out << ' ';
    program_.Put(out, "else", Part::Keyword, targets);
    out << ' ';
    Body(out, at, indent, targets);
  }
}

void OrdinaryCode::For(Piece& out, const Context& at, int indent, Targets* targets) {
  const std::string counter = c_.Pick(at.counters);
  const Context inside = InsideLoop(at, counter);
  const int passes = c_.Between(0, 4);
  program_.Put(out, "for (", Part::Keyword, targets);
  if (c_.Chance(70)) {
    out << counter << " = 0; " << counter << ' ';
    program_.Put(out, "<", Part::Operator, targets);
    out << ' ';
    program_.Put(out, std::to_string(passes), Part::Digit, targets);
    out << "; " << counter << " = " << counter << " + 1) ";
  } else {
    out << counter << " = " << passes << "; " << counter << " > 0; " << counter << " = " << counter << ' ';
    program_.Put(out, "-", Part::Operator, targets);
    out << " 1) ";
  }
  Body(out, inside, indent, targets);
}

void OrdinaryCode::Do(Piece& out, const Context& at, int indent, Targets* targets) {
  const std::string counter = c_.Pick(at.counters);
  const Context inside = InsideLoop(at, counter);
  out << counter << " = 0;\n" << Indent(indent);
  program_.Put(out, "do ", Part::Keyword, targets);
  out << "{\n";
  Statements(out, inside, c_.Between(1, 2), indent + 2, targets);
  out << Indent(indent + 2) << counter << " = " << counter << " + 1;\n" << Indent(indent) << "} ";
  program_.Put(out, "while (", Part::Keyword, targets);
  out << counter << " < " << c_.Between(1, 4) << ");";
}

void OrdinaryCode::Body(Piece& out, const Context& at, int indent, Targets* targets) {
  if (c_.Chance(55)) {
    Block(out, at, indent, targets);
  } else {
    Simple(out, at, targets);  // its ';' follows its last character at once
  }
}

void OrdinaryCode::Block(Piece& out, const Context& at, int indent, Targets* targets) {
  Context inside = at;
  out << "{\n";
  if (c_.Chance(30)) {
    std::vector<std::string> locals = {c_.Pick(kBlockLocals)};
    if (c_.Chance(50)) locals.push_back(c_.Pick(kBlockLocals));
    out << Indent(indent + 2);
    program_.Put(out, "var", Part::Keyword, targets);
    out << ' ';
    for (size_t k = 0; k < locals.size(); k++) {
      if (k > 0) out << ", ";
      program_.Put(out, locals[k], Part::Name, targets);
      inside.reads.push_back(locals[k]);
      inside.writes.push_back(locals[k]);
    }
    out << ";\n";
  }
  Statements(out, inside, c_.Between(1, 3), indent + 2, targets);
  out << Indent(indent) << '}';
}

void OrdinaryCode::DefineRoutines(int count) {
  for (int i = 0; i < count && program_.RoutinesLeft() > 0; i++) DefineRoutine();
}

namespace {

// "func NAME(a, b) ": the head of a definition up to its body.
void Head(Piece& out, const RoutineInfo& r) {
  out << (r.function ? "func " : "proc ") << r.name << '(';
  for (int k = 0; k < r.params; k++) out << (k > 0 ? ", " : "") << kParameters[k];
  out << ") ";
}

}  // namespace

Context OrdinaryCode::RoutineContext(const RoutineInfo& r, bool locals) const {
  Context at;
  at.reads = globals_;
  at.reads.push_back("w");
  at.writes = globals_;
  if (locals) {
    at.reads.insert(at.reads.end(), {"t", "u"});
    at.writes.insert(at.writes.end(), {"t", "u"});
    at.counters = {"j0"};
  }
  for (int k = 0; k < r.params; k++) {
    at.reads.push_back(kParameters[k]);
    if (k > 0 || !r.recursive) at.writes.push_back(kParameters[k]);
  }
  at.function = r.function;
  at.callable = routines_.size();
  return at;
}

Context OrdinaryCode::OpenRoutine(Piece& out, const RoutineInfo& r) {
  Head(out, r);
  out << "{\n  var t, u, j0;\n";
  return RoutineContext(r, true);
}

void OrdinaryCode::DefineRoutine() {
  RoutineInfo r{program_.NewRoutineName(), c_.Chance(50), c_.Between(0, 3), false};
  r.recursive = r.params > 0 && c_.Chance(40);
  Piece definition;
  if (!r.recursive && c_.Chance(25)) {
    Head(definition, r);
    Body(definition, RoutineContext(r, false), 0, nullptr);
    definition << '\n';
  } else {
    Context at = OpenRoutine(definition, r);
    Statements(definition, at, c_.Between(1, 3), 2);
    if (r.recursive) {
      // The call of itself, one level down: the countdown goes first.
      Piece self;
      self << r.name << "(a - 1";
      for (int k = 1; k < r.params; k++) {
        self << ", ";
        Expression(self, at, 2);
      }
      self << ')';
      definition << "  if (a > 0) ";
      if (!r.function) {
        definition << self << ";\n";
      } else {
        definition << (c_.Chance(50) ? "return" : "t") << " = ";
        if (c_.Chance(60)) {
          Expression(definition, at, 2);
          bool divides;
          definition << ' ';
          Operator(definition, nullptr, divides);
          definition << ' ';
        }
        definition << self << ";\n";
      }
    }
    Statements(definition, at, c_.Between(0, 2), 2);
    definition << "}\n";
  }
  routines_.push_back(r);
  program_.definitions.push_back(definition);
}

}  // namespace vorla::fuzz
