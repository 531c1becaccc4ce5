// The language's operators and addressing on Values: the binary operators by
// their Op, the prefix operators, and where name[index] reaches. Shared by
// the walker and the engine, so both compute exactly the same.
#pragma once
#include "core/scan.h"
#include "core/state.h"

namespace vorla {

// The binary operators on L and R, for any divisor but zero: '/' and '%'
// store the remainder into Modulo_.
[[gnu::always_inline]] inline Value ApplyOperator(Op op, Value l, Value r) {
  switch (op) {
    case Op::Mul: return Mul(l, r);
    case Op::Div: Modulo() = Remainder(l, r); return Quotient(l, r);
    case Op::Rem: return Modulo() = Remainder(l, r);
    case Op::Add: return Add(l, r);
    case Op::Sub: return Sub(l, r);
    case Op::And: return l & r;
    case Op::Or: return l | r;
    case Op::Xor: return l ^ r;
    case Op::Eq: return l == r;
    case Op::Lt: return l < r;
    case Op::Gt: return l > r;
    case Op::Ne: return l != r;
    case Op::Le: return l <= r;
    case Op::Ge: return l >= r;
    case Op::None: break;
  }
  return 0;
}

// Whether applying `op` to R needs the division-by-zero notice.
inline bool DividesByZero(Op op, Value r) { return r == 0 && (op == Op::Div || op == Op::Rem); }

// The prefix operators: '-' negation, '+' absolute value, '~' complement.
inline Value ApplyPrefix(uint8_t op, Value v) { return op == '-' ? Neg(v) : op == '+' ? Abs(v) : ~v; }

// Where name[index] reaches from the variable's Value `base`: one byte at
// base + index for a name beginning with '_', else the Value at base + 4 *
// index. Answers whether those bytes lie inside script memory.
[[nodiscard]] inline bool IndexedAddress(bool bytes, Value base, Value index, uint32_t& address, uint32_t& width) {
  width = bytes ? 1 : 4;
  address = Bits(bytes ? Add(base, index) : Add(base, Mul(index, 4)));
  return InScriptMemory(address, width);
}

// The byte or Value that name[index] reads at `address`.
inline Value ReadIndexedValue(uint32_t address, uint32_t width) {
  return width == 1 ? SignExtend(PeekText(address)) : ReadWord(address);
}

// Stores v as name[index] = v does at `address`: its low byte, or all of it.
inline void StoreIndexedValue(uint32_t address, uint32_t width, Value v) {
  if (width == 1) {
    ScriptMemory::StoreByte(address, uint8_t(Bits(v)));
  } else {
    ScriptMemory::StoreWord(address, v);
  }
}

}  // namespace vorla
