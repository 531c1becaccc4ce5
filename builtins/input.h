// Console line input: the line editor and Input_, which evaluates the typed
// line as an expression.
#pragma once
#include "core/state.h"

namespace vorla {

// The longest line the editor stores, so that the ';' added after it still
// fits in front of the number scratch's last byte.
inline constexpr int32_t kMaxTypedLength = 126;
// Keys from a pipe or file: the most bytes a line keeps before its line end,
// so that the line end always fits and ends the line.
inline constexpr int32_t kMaxPipedLength = kMaxTypedLength - 1;

// Reads one edited line into InputLine and InputLength. Answers false when the
// keys ended before anything was typed or a read of them failed (the run is
// then asked to stop), or when the echo could not be written (the run is
// stopping).
[[nodiscard]] bool ReadLine();

// Input_(): reads a line and answers the Value of the expression typed in it.
Value BuiltinInput(Value, Value);

}  // namespace vorla
