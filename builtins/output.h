// Console output: texts, decimal and hexadecimal numbers, single bytes, and the
// keyboard poll after every text that lets the user pause or stop a script.
#pragma once
#include <string_view>

#include "core/state.h"

namespace vorla {

// Prints the text at address p up to its ending double quote, "\n" as CR LF,
// then polls the keyboard. An address outside script memory prints nothing; a
// text never runs past the end of its memory area.
void PrnStr(Value p);

// Ends every output routine: a person watching sees its bytes now. Output
// that can no longer be written stops the run, as ESC does; the program then
// reports the write error.
void EndOutput();

// After a text: a waiting space pauses until the next key, a waiting ESC (or
// ESC after the pause) requests the stop; any other waiting key is lost.
void KeyboardPoll();

// Prints a Value in decimal, right-aligned in a field of `width` characters
// when width is 1 or more ('#' marks a number cut to fit), then polls. Leaves
// the leading digit of the magnitude in Modulo_.
void FormatDecimal(Value v, int32_t width);

// Prints the text at p up to and including its first CR (or up to its NUL).
void PrintLine(TextPosition p);

// Prints fixed text of the interpreter's own, without polling.
void PrintConstant(std::string_view text);

// " Divided by 0 " followed by the keyboard poll.
void PrintDividedByZero();

// The output built-ins, as rows of the built-in table.
Value BuiltinPrnDec(Value v, Value);
Value BuiltinPrnStr(Value p, Value);
Value BuiltinPrnDecF(Value v, Value width);
Value BuiltinPrnChar(Value v, Value);
Value BuiltinPrnHex(Value v, Value);
Value BuiltinPrnHexB(Value v, Value);

}  // namespace vorla
