// Values and their arithmetic: the script's only data type, a signed 32-bit
// integer that wraps modulo 2^32. Every operation on script Values is computed
// here in unsigned arithmetic, so no script can reach C++ overflow traps.
#pragma once
#include <cstdint>

namespace vorla {

using Value = int32_t;

inline Value Wrap(uint32_t bits) { return static_cast<Value>(bits); }
inline uint32_t Bits(Value v) { return static_cast<uint32_t>(v); }

inline Value Add(Value a, Value b) { return Wrap(Bits(a) + Bits(b)); }
inline Value Sub(Value a, Value b) { return Wrap(Bits(a) - Bits(b)); }
inline Value Mul(Value a, Value b) { return Wrap(Bits(a) * Bits(b)); }
inline Value Neg(Value a) { return Wrap(0u - Bits(a)); }
inline Value Abs(Value a) { return a < 0 ? Neg(a) : a; }
inline Value ShiftLeft(Value a, int n) { return Wrap(Bits(a) << n); }

// Arithmetic shift right by one bit (the sign is kept).
inline Value HalveKeepingSign(Value a) { return a >> 1; }

// Quotient truncated toward zero; the caller has excluded a zero divisor.
// The smallest Value divided by -1 gives itself instead of trapping.
inline Value Quotient(Value a, Value b) { return b == -1 ? Neg(a) : a / b; }

// Remainder with the sign of the dividend; a divisor of -1 always leaves 0.
inline Value Remainder(Value a, Value b) { return b == -1 ? 0 : a % b; }

// A byte read from memory, sign-extended as the language reads bytes.
inline Value SignExtend(uint8_t byte) { return static_cast<int8_t>(byte); }

}  // namespace vorla
