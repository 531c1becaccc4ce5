// The rules of the notes: what vorla says about a slip besides the reason of
// the fault it caused — the C habit behind it, the keyword's spacing, the name
// that was meant, the limit passed. One table, one row a rule: the kind of
// fault it is about, what it matches in the text and the fault's details
// there, and what it says. Adding a note is adding a row, and a case to the
// test that every row has one.
#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fault.h"
#include "shell/text_reader.h"

namespace vorla {

// A place the rules are asked about: the fault found there and the text
// around it. A FaultKind::None record is the place where reading the
// definitions stopped without a fault, when no `main` was read.
class Spot {
 public:
  Spot(const TextReader& text, const FaultRecord& fault) : text(text), fault(fault) {}

  // The byte k places from the fault.
  uint8_t At(int k) const { return text.Byte(fault.at + TextPosition(k)); }
  // The name at the fault, unquoted.
  std::string Word() const { return text.NameAt(fault.at); }
  // `words` with every {placeholder} filled from the fault and the text; the
  // reasons of faults are filled the same way.
  std::string Say(std::string_view words) const;

  const TextReader& text;
  const FaultRecord& fault;

 private:
  std::string Fill(std::string_view key) const;
};

// A row of the table. Its `name` tells the rules apart in tests, and will in
// the findings of a check that reads a script without running it.
struct Rule {
  const char* name;
  FaultKind kind;                 // the fault it is about, or kAnyFault
  bool (*matches)(const Spot&);   // what it looks for at the spot
  const char* says;               // its words, placeholders as in Spot::Say
};
inline constexpr FaultKind kAnyFault = FaultKind::Count;

// Every rule, in the order their notes are printed.
std::span<const Rule> Rules();

// The notes of every rule that matches at the spot, in the table's order.
std::vector<std::string> NotesAt(const Spot& spot);

}  // namespace vorla
