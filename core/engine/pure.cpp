// Pure nodes: expressions without calls, computed in registers with the
// language's own operators. A node that meets what only the walker does — a
// zero divisor (its notice), bytes outside script memory (a fault), a name
// that means no variable — marks the evaluation as given up; nothing it
// computed is seen, and the walker evaluates the expression instead.
#include "core/engine/nodes.h"
#include "core/names.h"

namespace vorla::engine {

namespace {

template <VarKind K>
[[gnu::always_inline]] inline Value Read(const VarRef& v, Activation& a) {
  if constexpr (K == VarKind::Frame) {
    return a.frame[v.slot].value;
  } else if constexpr (K == VarKind::Global) {
    return VariableTable[v.slot].value;
  } else {
    const int slot = DynamicSlot(v, a);
    if (slot < 0) {
      a.gaveUp = true;
      return 0;
    }
    return VariableTable[slot].value;
  }
}

template <Op kOp>
[[gnu::always_inline]] inline Value Combine(Value l, Value r, Activation& a) {
  if constexpr (kOp == Op::Div || kOp == Op::Rem) {
    if (r == 0) {
      a.gaveUp = true;
      return 0;
    }
  }
  return ApplyOperator(kOp, l, r);
}

Value RunConstant(const Pure& n, Activation&) { return n.value; }

template <VarKind K>
Value RunVariable(const Pure& n, Activation& a) {
  return Read<K>(n.var, a);
}

// name[index]: the index first, then the variable's Value. A word inside
// ArrayMemory is one range test and one load.
template <VarKind K>
Value RunIndexed(const Pure& n, Activation& a) {
  const Value index = n.left->run(*n.left, a);
  const Value base = Read<K>(n.var, a);
  if (n.op == 0) {
    const uint32_t address = Bits(Add(base, Mul(index, 4)));
    if (ArrayWordAt(address)) return ReadWord(address);
  }
  uint32_t address, width;
  if (!IndexedAddress(n.op != 0, base, index, address, width)) {
    a.gaveUp = true;
    return 0;
  }
  return ReadIndexedValue(address, width);
}

Value RunPrefix(const Pure& n, Activation& a) { return ApplyPrefix(n.op, n.left->run(*n.left, a)); }

template <Op kOp>
Value RunBinary(const Pure& n, Activation& a) {
  const Value l = n.left->run(*n.left, a);
  const Value r = n.right->run(*n.right, a);
  return Combine<kOp>(l, r, a);
}

template <Op kOp>
Value RunWithConstant(const Pure& n, Activation& a) {
  return Combine<kOp>(n.left->run(*n.left, a), n.value, a);
}

template <Op kOp, VarKind K>
Value RunVariableWithConstant(const Pure& n, Activation& a) {
  return Combine<kOp>(Read<K>(n.var, a), n.value, a);
}

template <Op kOp, VarKind L, VarKind R>
Value RunVariableWithVariable(const Pure& n, Activation& a) {
  const Value l = Read<L>(n.var, a);
  return Combine<kOp>(l, Read<R>(n.var2, a), a);
}

// Tables of the routines by operator, each row indexed by Op.
template <template <Op> class Routine>
constexpr PureRun kByOp[] = {nullptr,
                             Routine<Op::Mul>::kRun, Routine<Op::Div>::kRun, Routine<Op::Rem>::kRun,
                             Routine<Op::Add>::kRun, Routine<Op::Sub>::kRun, Routine<Op::And>::kRun,
                             Routine<Op::Or>::kRun,  Routine<Op::Xor>::kRun, Routine<Op::Eq>::kRun,
                             Routine<Op::Lt>::kRun,  Routine<Op::Gt>::kRun,  Routine<Op::Ne>::kRun,
                             Routine<Op::Le>::kRun,  Routine<Op::Ge>::kRun};

template <Op kOp>
struct BinaryOf {
  static constexpr PureRun kRun = RunBinary<kOp>;
};
template <Op kOp>
struct WithConstantOf {
  static constexpr PureRun kRun = RunWithConstant<kOp>;
};
template <VarKind K>
struct VariableWithConstantIn {
  template <Op kOp>
  struct Of {
    static constexpr PureRun kRun = RunVariableWithConstant<kOp, K>;
  };
};
template <VarKind L, VarKind R>
struct VariableWithVariableIn {
  template <Op kOp>
  struct Of {
    static constexpr PureRun kRun = RunVariableWithVariable<kOp, L, R>;
  };
};

}  // namespace

PureRun PureRoutines::Constant() { return RunConstant; }

PureRun PureRoutines::Variable(VarKind kind) {
  switch (kind) {
    case VarKind::Frame: return RunVariable<VarKind::Frame>;
    case VarKind::Global: return RunVariable<VarKind::Global>;
    case VarKind::Dynamic: break;
  }
  return RunVariable<VarKind::Dynamic>;
}

PureRun PureRoutines::Indexed(VarKind kind) {
  switch (kind) {
    case VarKind::Frame: return RunIndexed<VarKind::Frame>;
    case VarKind::Global: return RunIndexed<VarKind::Global>;
    case VarKind::Dynamic: break;
  }
  return RunIndexed<VarKind::Dynamic>;
}

PureRun PureRoutines::Prefix() { return RunPrefix; }
PureRun PureRoutines::Binary(Op op) { return kByOp<BinaryOf>[int(op)]; }
PureRun PureRoutines::WithConstant(Op op) { return kByOp<WithConstantOf>[int(op)]; }

PureRun PureRoutines::VariableWithConstant(Op op, VarKind kind) {
  return kind == VarKind::Frame ? kByOp<VariableWithConstantIn<VarKind::Frame>::Of>[int(op)]
                                : kByOp<VariableWithConstantIn<VarKind::Global>::Of>[int(op)];
}

PureRun PureRoutines::VariableWithVariable(Op op, VarKind left, VarKind right) {
  if (left == VarKind::Frame) {
    return right == VarKind::Frame ? kByOp<VariableWithVariableIn<VarKind::Frame, VarKind::Frame>::Of>[int(op)]
                                   : kByOp<VariableWithVariableIn<VarKind::Frame, VarKind::Global>::Of>[int(op)];
  }
  return right == VarKind::Frame ? kByOp<VariableWithVariableIn<VarKind::Global, VarKind::Frame>::Of>[int(op)]
                                 : kByOp<VariableWithVariableIn<VarKind::Global, VarKind::Global>::Of>[int(op)];
}

bool PureRoutines::IsConstant(PureRun run) { return run == RunConstant; }

bool PureRoutines::IsVariable(PureRun run) {
  return run == RunVariable<VarKind::Frame> || run == RunVariable<VarKind::Global>;
}

}  // namespace vorla::engine
