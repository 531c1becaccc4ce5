// Diagnostics: why a run did not end normally, explained on standard error
// beside the report on standard output, in the form people know from
// compilers: `vorla: FILE:LINE:COLUMN: error: REASON`, the line, a caret.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "shell/run.h"

namespace vorla {

// The explanation of the run that `run` describes, composed after it from the
// fault records and the text as the run left them: the error line, the source
// line with a caret under the column (columns count bytes from 1; tabs are
// kept so that the caret lines up), then `note:` lines. A fault in a line
// typed for Input_ names "typed line" instead of `file` and shows what was
// typed. Empty for a run that finished or was stopped. With `colour`, the
// words "error" and "note" and the caret are coloured for a terminal.
std::string ComposeDiagnostic(const RunEnd& run, std::string_view file, bool colour);

// What a check of the loaded text found at one place, in the same form: an
// error where it is certain to fault, or a warning of a trap (IsTrap).
std::string ComposeFinding(const FaultRecord& finding, std::string_view file, bool colour);

// The warning, in the same form, that the loaded text ends at a NUL byte the
// file holds, with the line and column where it stands and the `unread` bytes
// of the file after it; empty when the text holds no NUL.
std::string ComposeTextEnd(std::string_view file, uint64_t unread, bool colour);

// Whether the person reading a terminal that shows colour has not asked for
// none: NO_COLOR counts when it is set and not empty.
bool ColourWanted(const char* noColour);

}  // namespace vorla
