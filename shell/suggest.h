// Names suggested: for a name that is neither a visible variable nor a
// routine, the name that was likely meant, and where the script declares it
// when the faulting code could not see it.
#pragma once
#include <string>
#include <string_view>

#include "shell/text_reader.h"

namespace vorla {

// The name closest to the unknown name at `fault.at` (an UnknownName fault):
// with a '(' right after it, a routine's; otherwise a variable's that the
// faulting code could see (the slots the fault recorded, then the globals).
// Close is the same letters in another case, or one slip in every three
// letters: a letter added, dropped or changed, or two letters swapped. The
// fewest slips win, then the fewest changes of case, then the newest slot or
// the first routine. "" when no name is close.
std::string ClosestName(const TextReader& text, const FaultRecord& fault);

// Whether a and b spell the same letters, whatever their case.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// Where the script declares a variable named `name`, in a `var` line or a
// parameter list (strings and comments aside), or 0 when it declares none.
TextPosition DeclarationOf(const TextReader& text, std::string_view name);

}  // namespace vorla
