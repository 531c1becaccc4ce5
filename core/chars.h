// The character codes the interpreter gives a meaning: the text's line end
// and terminator, the keys of the pause/stop poll and of the line editor.
#pragma once
#include <cstdint>

namespace vorla {

inline constexpr uint8_t kNul = 0;          // ends every text the interpreter walks
inline constexpr uint8_t kBackspace = 8;    // erases the last typed byte
inline constexpr uint8_t kTab = 9;
inline constexpr uint8_t kLF = 10;
inline constexpr uint8_t kCR = 13;          // the line end of a loaded text; Enter
inline constexpr uint8_t kCtrlX = 24;       // erases the whole typed line
inline constexpr uint8_t kEsc = 27;         // stops a run at an output; ends a typed line
inline constexpr uint8_t kSpace = 32;       // pauses a run at an output
inline constexpr uint8_t kQuote = 34;       // ends a text that PrnStr_ prints
inline constexpr uint8_t kApostrophe = 39;  // opens and closes a character literal
inline constexpr uint8_t kBackslash = 92;   // with 'n', the line break of a text
inline constexpr uint8_t kDelete = 127;

}  // namespace vorla
