// The built-in routine table: thirteen rows that every script finds ready-made
// before its own routines, in a fixed order that scripts can observe.
#pragma once
#include <cstdint>

#include "core/state.h"

namespace vorla {

struct BuiltinRow {
  const char* Name;
  Kind kind;
  uint8_t ArgCount;
  NativeRoutine Native;
};

inline constexpr int kArrayRow = 6;
extern const BuiltinRow BuiltinRows[kBuiltinCount];

// The small built-ins.
Value BuiltinArray(Value index, Value);
Value BuiltinInpChk(Value, Value);
Value BuiltinInpChar(Value, Value);
Value BuiltinRand(Value limit, Value);
Value BuiltinSeed(Value seed, Value);
Value BuiltinCall(Value, Value);

}  // namespace vorla
