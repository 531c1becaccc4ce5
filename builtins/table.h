// The built-in routine table: the rows that every script finds ready-made
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

// Writes the built-in rows into RoutineTable and the library's part of the
// interpreter state; after ResetProgramState, before the first run.
void InstallBuiltins();

// The small built-ins.
Value BuiltinArray(Value index, Value);
Value BuiltinInpChk(Value, Value);
Value BuiltinInpChar(Value, Value);
Value BuiltinRand(Value limit, Value);
Value BuiltinSeed(Value seed, Value);
Value BuiltinCall(Value, Value);

}  // namespace vorla
