// The decoded form of the text: for each position of SourceBuffer, what the
// walker finds there, remembered for one text generation. Where blanks,
// skipped statements and parenthesised lists end; which routine row a name
// finds; the names a declaration list or a parameter list declares; and the
// forms of expressions: an operand, the operators applied after it in the
// order the levels give, the calls with their arguments; and of statements.
// Expressions without calls and the statements built of them are compiled
// into decoded code as they are decoded (code.h).
//
// Everything here is a pure function of the text and the routine rows, both
// of which advance the memory's generation when they change, so it holds
// exactly while the generation stands; it is filled when the interpreter
// first asks and never sooner. The interpreter uses a form only at the
// position it was decoded for and checks the generation after anything that
// may have run a script's store, so a script that writes into its own text
// reads its change at once. Text that is not well formed is not decoded:
// the interpreter reads it as it stands. With DecodeText off, nothing is
// remembered and every answer is read from the text.
#pragma once
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define VORLA_POISON_POOLS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLA_POISON_POOLS 1
#endif
#endif
#ifdef VORLA_POISON_POOLS
#include <sanitizer/asan_interface.h>
#endif

#include "core/scan.h"
#include "core/state.h"

namespace vorla {

// ---- Forms ----

enum class OperandKind : uint8_t { Constant, Name, Parenthesised, Prefixed };

// One operand, at the position where the blanks before it end.
struct OperandForm {
  OperandKind kind;
  uint8_t prefix;          // Prefixed: '-', '+' or '~'
  uint16_t nameLength;     // Name: the name characters at its start
  TextPosition end;        // just past it; for a Name, past the name or the ']' of its index
  Value value;             // Constant: a number, a character, a string's address
  int32_t inner;           // Parenthesised, Prefixed: the form inside; Name: the form of its index or -1
  int32_t call;            // Name: the CallForm of the function that the name calls, or -1
};

// One evaluation with a minimum level, as EvalExpression makes it from `key`.
struct EvalForm {
  TextPosition key;          // where it begins
  TextPosition first;        // where the blanks at its start end
  TextPosition afterOperand; // where the blanks after its first operand end
  TextPosition stop;         // where it stops when no fault is raised in it
  uint8_t minLevel;
  bool empty;                // it begins at ';' or ')': nothing is evaluated
  bool callFree;             // no call in it: it can run as decoded code
  bool faultAtStop;          // a whole expression that stops at a character that is no operator
  bool pureAssigned;         // the code of it and its parts is settled
  int32_t firstStep;         // the first binary operator it applies, or -1
  int32_t pure;              // its ExpressionCode (code.h), or -1
  OperandForm operand;       // its first operand
};

// A binary operator that an evaluation applies, with its right operand.
struct StepForm {
  TextPosition at;    // the operator's first character
  Operator op;
  int32_t right;      // the EvalForm of the right operand, from just past the operator
  int32_t next;       // the evaluation's next operator, or -1
};

// A call of a routine inside an expression: the row, and the arguments that
// the call reads, each an EvalForm that begins just past the character that
// ended the one before.
struct CallForm {
  int16_t row;
  uint8_t arguments;
  TextPosition argumentCursor;  // just past the character after the routine's name
  int32_t firstArgument;        // into the argument list
  TextPosition end;             // just past the call's ')'
  int32_t parameters;           // a script routine's parameter list (NameListForm), or -1
};

// One statement, as ExecStatement reads it from `key`.
enum class StatementKind : uint8_t { If, For, Do, Name, Empty };
struct StatementForm {
  TextPosition first;     // where the blanks before it end
  StatementKind kind;
  uint16_t nameLength;    // Name: the name characters at its start
  int32_t index;          // Name read as an assignment: the EvalForm of its [index], or -1
  int32_t value;          // ... the EvalForm of its right-hand side, or -1 when it has none
  int32_t call;           // Name read as a procedure call: its CallForm, or -1
  int32_t code;           // its StatementCode (code.h), or -1
};

// The names that one list declares: `name, name;` of a `var` line, or a
// routine's parameters up to their ')'.
struct NameListForm {
  uint16_t count;
  uint8_t endsAt;       // ';' or ')'
  TextPosition end;     // just past the ';', or on the ')'
  int32_t firstName;
};
struct NameForm {
  TextPosition at;
  int32_t length;
};

// ---- What is remembered at one position of SourceBuffer ----

inline constexpr int32_t kUnseen = -1;    // a form slot: not asked for in this generation
inline constexpr int32_t kSeen = -2;      // asked for once: the walker read it
inline constexpr int32_t kDeclined = -3;  // not well formed: the walker reads it
inline constexpr int16_t kRoutineUnknown = -2;
struct PositionRecord {
  uint64_t generation;     // the text generation the rest belongs to
  uint16_t blanksEnd;      // offset from kSourceBase plus one; 0: not known yet
  uint16_t statementEnd;
  uint16_t closeParenEnd;
  int16_t routine;         // the row FindRoutine finds, -1, or kRoutineUnknown
  int32_t eval;            // the EvalForm that begins here, or a slot state
  int32_t names;           // the NameListForm that begins here, or a slot state
  int32_t statement;       // the StatementForm that begins here, or a slot state
};
extern PositionRecord DecodedRecords[kSourceSize];

// The forms of the current generation, in pools emptied when it changes.
// Under AddressSanitizer an emptied pool's items are poisoned until they are
// handed out again, so that reading a form or code of an ended generation
// is caught where it happens.
template <typename T, int32_t kCapacity>
struct Pool {
  T items[kCapacity];
  int32_t count;
  bool Full() const { return count >= kCapacity; }
  int32_t Add(const T& item) {
#ifdef VORLA_POISON_POOLS
    ASAN_UNPOISON_MEMORY_REGION(&items[count], sizeof(T));
#endif
    items[count] = item;
    return count++;
  }
  void Clear() {
#ifdef VORLA_POISON_POOLS
    ASAN_POISON_MEMORY_REGION(items, sizeof(T) * size_t(count));
#endif
    count = 0;
  }
};
extern Pool<EvalForm, kSourceSize> EvalForms;
extern Pool<StatementForm, kSourceSize / 2> StatementForms;
extern Pool<NameListForm, kSourceSize / 2> NameLists;

// The record of p when it is current, or nullptr.
inline const PositionRecord* CurrentRecord(TextPosition p) {
  uint32_t offset = p - kSourceBase;
  if (offset >= kSourceSize) return nullptr;
  const PositionRecord& r = DecodedRecords[offset];
  return r.generation == ScriptMemory::Generation() && DecodeText ? &r : nullptr;
}

// The lookups below answer from the record when it holds the answer, and
// otherwise ask these, which read the text and decode when it is time.
const EvalForm* FindEvalForm(TextPosition p, int minLevel);
const StatementForm* FindStatementForm(TextPosition p);
const NameListForm* FindNameList(TextPosition p);
void SkipLongBlanks(TextPosition& p);
[[nodiscard]] bool WalkStatementAt(TextPosition& p);

// The form of EvalExpression(p, minLevel), or nullptr when the walker reads it.
inline const EvalForm* EvalFormAt(TextPosition p, int minLevel) {
  const PositionRecord* r = CurrentRecord(p);
  if (r == nullptr || r->eval < 0) return FindEvalForm(p, minLevel);
  const EvalForm& f = EvalForms.items[r->eval];
  return f.minLevel == minLevel ? &f : nullptr;
}

// The form of ExecStatement(p), or nullptr when the walker reads it.
inline const StatementForm* StatementFormAt(TextPosition p) {
  const PositionRecord* r = CurrentRecord(p);
  return r != nullptr && r->statement >= 0 ? &StatementForms.items[r->statement] : FindStatementForm(p);
}

// The list that DeclareVariables reads from p, or nullptr.
inline const NameListForm* NameListAt(TextPosition p) {
  const PositionRecord* r = CurrentRecord(p);
  return r != nullptr && r->names >= 0 ? &NameLists.items[r->names] : FindNameList(p);
}

// ---- Remembered walks ----

// Moves over blanks and '#' comments. Most calls stand on a character that is
// neither, or on one space before one, and are done at once.
inline void SkipBlanks(TextPosition& p) {
  uint8_t c = PeekText(p);
  if (EndsBlanks(c)) return;
  if (c == ' ' && EndsBlanks(PeekText(p + 1))) {
    p++;
    return;
  }
  const PositionRecord* r = CurrentRecord(p);
  if (r != nullptr && r->blanksEnd != 0) {
    p = kSourceBase + r->blanksEnd - 1;
    return;
  }
  SkipLongBlanks(p);
}

// WalkStatement and WalkToCloseParen, remembered by where they begin.
[[nodiscard]] inline bool SkipStatement(TextPosition& p) {
  const PositionRecord* r = CurrentRecord(p);
  if (r != nullptr && r->statementEnd != 0) {
    p = kSourceBase + r->statementEnd - 1;
    return true;
  }
  return WalkStatementAt(p);
}
[[nodiscard]] bool SkipToCloseParen(TextPosition& p);

// FindRoutine at p, remembered.
int RoutineAt(TextPosition p);

// The tables the forms refer to each other through.
inline const EvalForm& EvalFormOf(int32_t index) { return EvalForms.items[index]; }
const StepForm& StepOf(int32_t index);
const CallForm& CallFormOf(int32_t index);
const EvalForm& ArgumentOf(const CallForm& call, int k);
const NameForm& NameOf(const NameListForm& list, int k);

// The form of a whole expression (minimum level 0) from `key`, decoded now
// with its code, or -1.
int32_t DecodeExpression(TextPosition key);
// The form of the statement at `key`, decoded now, or nullptr.
const StatementForm* StatementFormNow(TextPosition key);

}  // namespace vorla
