// The built-in routine table and the small built-ins: array addressing, keys,
// pseudo-random numbers and the do-nothing Call_. The library installs its
// own rows, so the interpreter core knows built-ins only as table rows.
#include "builtins/table.h"

#include <cstring>
#include <iterator>

#include "builtins/input.h"
#include "builtins/output.h"
#include "platform/console.h"

namespace vorla {

namespace {

// One row per line, in the order scripts find them; the count and every row
// the interpreter names follow from this list.
constexpr BuiltinRow kBuiltinRows[] = {
    {"PrnDec_", Kind::Procedure, 1, BuiltinPrnDec},
    {"PrnStr_", Kind::Procedure, 1, BuiltinPrnStr},
    {"PrnDecF_", Kind::Procedure, 2, BuiltinPrnDecF},
    {"PrnChar_", Kind::Procedure, 1, BuiltinPrnChar},
    {"PrnHex_", Kind::Procedure, 1, BuiltinPrnHex},
    {"PrnHexB_", Kind::Procedure, 1, BuiltinPrnHexB},
    {"Array_", Kind::Function, 1, BuiltinArray},
    {"InpChk_", Kind::Function, 0, BuiltinInpChk},
    {"InpChar_", Kind::Function, 0, BuiltinInpChar},
    {"Input_", Kind::Function, 0, BuiltinInput},
    {"Rand_", Kind::Function, 1, BuiltinRand},
    {"Seed_", Kind::Procedure, 1, BuiltinSeed},
    {"Call_", Kind::Procedure, 2, BuiltinCall},
};
constexpr int32_t kBuiltinCount = int32_t(std::size(kBuiltinRows));
static_assert(kBuiltinCount < kMaxRoutines, "room for the script's own routines");

}  // namespace

void InstallBuiltins() {
  for (int32_t row = 0; row < kBuiltinCount; row++) {
    const BuiltinRow& b = kBuiltinRows[row];
    RoutineTable[row] = {b.kind, b.ArgCount, 0xFF, StoreConstant(b.Name), int32_t(std::strlen(b.Name)), 0, b.Native};
    if (b.Native == BuiltinInput) InstalledLibrary.LineInputRow = row;
  }
  InstalledLibrary.BuiltinCount = kBuiltinCount;
  InstalledLibrary.DivisionNotice = PrintDividedByZero;
  RoutineCount = kBuiltinCount;
}

// Array_(i): the address of the i-th Value from the current value of Array_.
Value BuiltinArray(Value index, Value) {
  return Add(VariableTable[kArraySlot].value, Mul(index, 4));
}

// InpChk_(): whether a key is waiting; keys that can no longer be read stop
// the run, as at InpChar_.
Value BuiltinInpChk(Value, Value) {
  const bool waiting = ActiveConsole->KeyWaiting();
  if (!ActiveConsole->KeysFailed()) return waiting ? 1 : 0;
  RequestStop();
  return 0;
}

// InpChar_(): waits for a key; when no key will ever come, the run stops.
Value BuiltinInpChar(Value, Value) {
  int key = ActiveConsole->ReadKey();
  if (key == kNoMoreKeys) {
    RequestStop();
    return 0;
  }
  return key;
}

// Rand_(n): halve the state keeping its sign, times 14037 plus 1537; the draw
// is the state modulo n, both taken unsigned. n = 0 acts as the divisor 2^32.
Value BuiltinRand(Value limit, Value) {
  RandomSeed = Add(Mul(HalveKeepingSign(RandomSeed), 14037), 1537);
  if (limit == 0) return RandomSeed;
  return Wrap(Bits(RandomSeed) % Bits(limit));
}

Value BuiltinSeed(Value seed, Value) {
  RandomSeed = seed;
  return 0;
}

Value BuiltinCall(Value, Value) { return 0; }

}  // namespace vorla
