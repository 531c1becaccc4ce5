// Pieces of generated script text with their marks and holes, and the
// assembly of a whole program from its parts.
#include "fuzz/program_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/state.h"

namespace vorla::fuzz {

Piece& Piece::operator<<(const Piece& other) {
  const size_t base = text_.size();
  text_ += other.text_;
  for (const auto& [id, at] : other.marks_) marks_.emplace_back(id, base + at);
  for (const Hole& h : other.holes_) holes_.push_back({base + h.at, h.anchor, h.target, h.delta});
  return *this;
}

Piece& Piece::Offset(int anchor, int target, int delta) {
  holes_.push_back({text_.size(), anchor, target, delta});
  text_.append(kHoleWidth, '?');
  return *this;
}

long Piece::Where(int id) const {
  for (const auto& [mark, at] : marks_) {
    if (mark == id) return long(at);
  }
  return -1;
}

std::string Piece::Resolve() const {
  std::string text = text_;
  for (const Hole& h : holes_) {
    const long anchor = Where(h.anchor), target = Where(h.target);
    if (anchor < 0 || target < 0) {
      std::fprintf(stderr, "generate: a hole names a mark that stands nowhere (%d, %d)\n", h.anchor, h.target);
      std::abort();
    }
    const long offset = target + h.delta - anchor;
    char digits[24];
    std::snprintf(digits, sizeof digits, "%c%04ld", offset < 0 ? '-' : ' ', offset < 0 ? -offset : offset);
    text.replace(h.at, kHoleWidth, digits, kHoleWidth);
  }
  return text;
}

Program::Program() {
  anchor = NewMark();
  globals.push_back("_s");
}

void Program::Put(Piece& out, std::string_view text, Part part, Targets* targets) {
  for (char c : text) {
    const int mark = NewMark();
    out.Mark(mark) << c;
    if (targets != nullptr) targets->push_back({mark, c, part});
  }
}

Targets Program::MarkGlobal(const std::string& name) {
  for (const auto& [marked, targets] : markedGlobals_) {
    if (marked == name) return targets;
  }
  Targets targets;
  for (char c : name) targets.push_back({NewMark(), c, Part::Name});
  markedGlobals_.emplace_back(name, targets);
  return targets;
}

std::string Program::NewRoutineName() {
  char name[16];
  std::snprintf(name, sizeof name, "r%02d", ++routines_);
  return name;
}

// The script's routines besides main.
int Program::RoutinesLeft() const { return kMaxRoutines - 13 - 1 - routines_; }

Piece Program::Whole() const {
  Piece whole;
  // Ten names a line keeps the lines short enough to read in a report.
  for (size_t i = 0; i < globals.size(); i += 10) {
    whole << "var ";
    for (size_t k = i; k < globals.size() && k < i + 10; k++) {
      whole << (k > i ? ", " : "");
      auto marked = std::find_if(markedGlobals_.begin(), markedGlobals_.end(),
                                 [&](const auto& m) { return m.first == globals[k]; });
      if (marked == markedGlobals_.end()) {
        whole << globals[k];
        continue;
      }
      for (const Target& t : marked->second) whole.Mark(t.mark) << t.original;
    }
    whole << ";\n";
  }
  Piece mainDefinition;
  mainDefinition << "proc main() {\n";
  if (!mainLocals.empty()) {
    mainDefinition << "  var ";
    for (size_t k = 0; k < mainLocals.size(); k++) mainDefinition << (k > 0 ? ", " : "") << mainLocals[k];
    mainDefinition << ";\n";
  }
  mainDefinition << "  _s = \"";
  mainDefinition.Mark(anchor) << "\";\n" << main << "}\n";
  for (size_t i = 0; i <= definitions.size(); i++) {
    if (i == mainAt) whole << mainDefinition;
    if (i < definitions.size()) whole << definitions[i];
  }
  return whole;
}

std::string ByteLiteral(char c) {
  const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     std::string_view("+-*/%&|^<>=_ ,.").find(c) != std::string_view::npos;
  if (plain) return std::string{'\'', c, '\''};
  return std::to_string(int(uint8_t(c)));
}

}  // namespace vorla::fuzz
