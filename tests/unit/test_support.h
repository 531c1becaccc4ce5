// Shared fixture of the unit tests: every test starts from the state of a
// fresh process with a ScriptedConsole, loads a small text and looks at
// positions in it as offsets, so cursor and fault checks read like the text.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "builtins/table.h"
#include "core/expr.h"
#include "core/declare.h"
#include "core/state.h"
#include "platform/scripted_console.h"
#include "shell/load.h"

namespace vorla::test {

// Offsets that stand for ErrorPosition values other than a text position.
inline constexpr long kNone = -1;
inline constexpr long kStop = -2;

// What one evaluation left behind: how many Values it pushed, the top Value,
// and where the fault and the cursor ended, as offsets from the expression.
struct Outcome {
  int pushed;
  Value value;
  long error;
  long cursor;
  bool operator==(const Outcome&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "{pushed " << o.pushed << ", value " << o.value << ", error " << o.error << ", cursor "
            << o.cursor << "}";
}

class VorlaTest : public ::testing::Test {
 protected:
  void SetUp() override { UseConsole("", true); }

  // Starts again from a fresh process, with a console that holds `keys`.
  void UseConsole(std::string keys, bool interactive) {
    console_ = std::make_unique<ScriptedConsole>(std::move(keys), interactive);
    ResetProgramState(console_.get());
    InstallBuiltins();
  }

  ScriptedConsole& Console() { return *console_; }
  std::string Out() const { return console_->Output(); }

  // Loads `text` as the script and resets for a run, as RunProgram does.
  TextPosition Load(std::string_view text) {
    EXPECT_TRUE(LoadText(text));
    ResetForRun();
    return SourceStart;
  }

  // The position of the nth occurrence of `needle` in the loaded text.
  TextPosition Pos(std::string_view needle, int nth = 0) const {
    std::string_view text(reinterpret_cast<const char*>(ScriptMemory::View(SourceStart)), SourceLength);
    size_t at = text.find(needle);
    for (int i = 0; i < nth && at != std::string_view::npos; i++) at = text.find(needle, at + 1);
    EXPECT_NE(at, std::string_view::npos) << "no " << needle;
    return SourceStart + TextPosition(at);
  }

  // The end of the loaded text: where its NUL stands.
  TextPosition End() const { return SourceStart + SourceLength; }

  // Copies bytes into script memory at `address`.
  static void Put(uint32_t address, std::string_view bytes) {
    ScriptMemory::StoreBytes(address, bytes.data(), bytes.size());
  }

  // The live variable slot whose name is `name`.
  static Value& Var(std::string_view name) {
    for (int i = VariableCount - 1; i >= 0; i--) {
      const Variable& v = VariableTable[i];
      if (size_t(v.NameLength) == name.size() && std::memcmp(ScriptMemory::View(v.Name), name.data(), name.size()) == 0) {
        return VariableTable[i].value;
      }
    }
    ADD_FAILURE() << "no variable " << name;
    static Value none;
    return none;
  }

  // Loads `globals` and then `expr`, and declares the globals; the expression
  // is evaluated by Evaluate() with exactly the globals visible.
  void Prepare(std::string_view expr, std::string_view globals = "var a, _s; ") {
    Load(std::string(globals) + std::string(expr));
    TextPosition p = SourceStart;
    DeclareGlobals(p);
    EXPECT_FALSE(HasError());
    exprStart_ = SourceStart + TextPosition(globals.size());
  }

  // Evaluates the prepared expression on top of `startDepth` pending Values.
  Outcome Evaluate(int startDepth = 0) {
    OperandDepth = startDepth;
    TextPosition p = exprStart_;
    EvalExpression(p, Scope{VariableCount, kLiveTop}, 0);
    Outcome o{OperandDepth - startDepth, 0, Offset(ErrorPosition), Offset(p)};
    if (OperandDepth > startDepth) o.value = OperandStack[OperandDepth - 1];
    return o;
  }

  Outcome Eval(std::string_view expr) {
    Prepare(expr);
    return Evaluate();
  }

  // A position as an offset from the prepared expression's first character.
  long Offset(TextPosition p) const {
    if (p == kNoError) return kNone;
    if (p == StopRequested) return kStop;
    return long(p) - long(exprStart_);
  }

  std::unique_ptr<ScriptedConsole> console_;
  TextPosition exprStart_ = 0;
};

}  // namespace vorla::test
