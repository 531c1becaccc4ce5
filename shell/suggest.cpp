// Names suggested for a name that means nothing where it stands: the closest
// name in sight, by the slips people make in typing, and the declarations the
// script holds out of sight.
#include "shell/suggest.h"

#include <algorithm>
#include <vector>

#include "core/chars.h"
#include "core/scan.h"

namespace vorla {

namespace {

uint8_t Folded(char c) { return c >= 'A' && c <= 'Z' ? uint8_t(c - 'A' + 'a') : uint8_t(c); }

// Letters added, dropped, changed, and pairs of neighbours swapped, to turn a
// into b; with `foldCase`, a letter in another case is the same letter.
int Slips(std::string_view a, std::string_view b, bool foldCase) {
  auto same = [&](size_t i, size_t j) { return foldCase ? Folded(a[i]) == Folded(b[j]) : a[i] == b[j]; };
  const size_t w = b.size() + 1;
  std::vector<int> d((a.size() + 1) * w);
  for (size_t i = 0; i <= a.size(); i++) d[i * w] = int(i);
  for (size_t j = 0; j <= b.size(); j++) d[j] = int(j);
  for (size_t i = 1; i <= a.size(); i++) {
    for (size_t j = 1; j <= b.size(); j++) {
      int best = std::min({d[(i - 1) * w + j] + 1, d[i * w + j - 1] + 1,
                           d[(i - 1) * w + j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
      if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1)) best = std::min(best, d[(i - 2) * w + j - 2] + 1);
      d[i * w + j] = best;
    }
  }
  return d[a.size() * w + b.size()];
}

// The best candidate so far; candidates come in the order that wins ties.
struct Closest {
  Closest(std::string_view name, int slipsAllowed) : name(name), slipsAllowed(slipsAllowed) {}

  std::string_view name;
  int slipsAllowed;
  std::string best;
  int bestSlips = 0, bestCase = 0;

  void Consider(const std::string& candidate) {
    if (candidate.empty() || candidate == name) return;
    const int slips = Slips(name, candidate, true);
    if (slips > slipsAllowed) return;
    const int cased = Slips(name, candidate, false);
    if (best.empty() || slips < bestSlips || (slips == bestSlips && cased < bestCase)) {
      best = candidate;
      bestSlips = slips;
      bestCase = cased;
    }
  }
};

// Past a string, a character literal or a comment (with the blanks after it)
// at p, or p itself. Only positions in the script's text come here.
TextPosition PastLiteral(TextPosition p) {
  const uint8_t c = PeekText(p);
  if (c == '#') {
    SkipLongBlanks(p);
  } else if (c == kQuote) {
    p = StringEnd(p);
    if (PeekText(p) == kQuote) p++;
  } else if (c == kApostrophe && CharacterAt(p)) {
    p += 3;
  }
  return p;
}

// The place of `name` in the list of names at p ("a, b, c"), or 0.
TextPosition InNameList(const TextReader& text, TextPosition p, std::string_view name) {
  for (;;) {
    p = text.AfterBlanks(p);
    const std::string item = text.NameAt(p);
    if (item.empty()) return 0;
    if (item == name) return p;
    p = text.AfterBlanks(p + TextPosition(item.size()));
    if (text.Byte(p) != ',') return 0;
    p++;
  }
}

// A slot's name is still a run of name characters: a script can break one
// by storing into the text it stands in.
bool NameIsWhole(const Variable& v) { return v.NameLength > 0 && NameLengthAt(v.Name) >= v.NameLength; }

}  // namespace

std::string ClosestName(const TextReader& text, const FaultRecord& fault) {
  const std::string name = text.NameAt(fault.at);
  Closest closest{name, int(name.size() / 3)};
  if (text.Byte(fault.at + TextPosition(name.size())) == '(') {
    for (int32_t row = 0; row < RoutineCount; row++) closest.Consider(text.RoutineName(row));
    return closest.best;
  }
  // The frame from its top down, then the globals below it, as a lookup
  // searches them.
  const int32_t top = std::clamp(fault.details.number, 0, kMaxVariables);
  const int32_t base = std::clamp(fault.details.extra, 0, kMaxVariables);
  for (int32_t s = top - 1; s >= base; s--) {
    if (NameIsWhole(VariableTable[s])) closest.Consider(text.VariableName(s));
  }
  for (int32_t s = std::min({GlobalCount, base, top}) - 1; s >= 0; s--) {
    if (NameIsWhole(VariableTable[s])) closest.Consider(text.VariableName(s));
  }
  return closest.best;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) { return Folded(x) == Folded(y); });
}

TextPosition DeclarationOf(const TextReader& text, std::string_view name) {
  TextPosition p = SourceStart;
  while (InSource(p) && text.Byte(p) != kNul) {
    if (TextPosition past = PastLiteral(p); past != p) {
      p = past;
      continue;
    }
    const std::string word = text.NameAt(p);
    if (word.empty()) {
      p++;
      continue;
    }
    const TextPosition after = p + TextPosition(word.size());
    TextPosition found = 0;
    if (word == "var" && IsBlank(text.Byte(after))) found = InNameList(text, after, name);
    if ((word == "func" || word == "proc") && text.Byte(after) == ' ') {
      const TextPosition open = after + 1 + TextPosition(text.NameAt(after + 1).size());
      if (text.Byte(open) == '(') found = InNameList(text, open + 1, name);
    }
    if (found != 0) return found;
    p = after;
  }
  return 0;
}

}  // namespace vorla
