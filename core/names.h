// Name resolution: which variable slot or routine row a name in the text means,
// and the one way slots are named and released. Both lookups work on the text
// in place and record no fault.
#pragma once
#include <algorithm>

#include "core/state.h"

namespace vorla {

// Names slot VariableCount (its Value is kept as it was) and makes it live.
// The caller has checked that a slot is free. The name is the run of name
// characters at `name`, as every declaration reads it.
void PushSlot(TextPosition name, int32_t length);

// Releases the live slots from `count` up: VariableCount goes back to count.
void ReleaseSlots(int32_t count);

// The newest visible slot whose name stands at p, not directly followed by a
// name character or '(', or -1.
//
// Every live slot is kept in NameIndex by its name's first byte and length,
// so a lookup at any recursion depth meets only the slots whose names could
// be the one at p, newest first. Each name in SourceBuffer remembers its last
// answer, relative to ScopeBase when it was a slot of the running frame or to
// the scope's top for an argument (which sees every slot below a new frame),
// that answer is taken again when it is still exactly right: the slot is the
// newest of its bucket, visible, and named from the same place. All of this
// holds while every live slot's name is a run of name characters, as it is
// when the slot is named; a script that breaks one by storing into its own
// text is answered by SearchVariable until the slot is released.
inline int FindVariable(TextPosition p, Scope scope);

// Advances whenever a slot gets another name than it had, the slots are
// indexed anew, or GlobalCount changes.
extern uint64_t NamesEpoch;
// NamesEpoch and VariableCount as one key: every live slot has the name it
// had when the key was the same.
extern uint64_t NamesKey;

inline uint64_t ScopeKey(Scope scope) { return uint64_t(uint32_t(scope.Top)) << 32 | uint32_t(scope.ScopeBase); }

// The names that something was last found with: under the same names key and
// in the same scope, a name means the same slot.
struct NamesStamp {
  uint64_t names;  // zero (never a names key) in a stamp that holds nothing yet
  uint64_t scope;
  bool Holds(Scope s) const { return names == NamesKey && scope == ScopeKey(s); }
  void Take(Scope s) {
    names = NamesKey;
    scope = ScopeKey(s);
  }
};

// The answer remembered for the name at one position of SourceBuffer. It is
// kept only while every live name is whole, and that stays so for the rest of
// the text generation it was found in.
struct NameAnswer {
  uint64_t generation;   // the text generation it was found in
  NamesStamp stamp;      // the names and scope `answer` was last found right in
  int32_t answer;        // the slot it was then, or -1
  int32_t length;        // the name characters at the position
  uint16_t bucket;
  bool call;             // a '(' follows the name: it means no variable
  uint8_t anchor;        // what `slot` counts from: kFromZero, kFromBase or kFromTop
  int32_t slot;          // the answer, or -1
  TextPosition named;    // where the answer's name was declared
};
extern NameAnswer NameAnswers[kSourceSize];
inline constexpr uint8_t kFromZero = 0;  // a global: the slot itself
inline constexpr uint8_t kFromBase = 1;  // ScopeBase plus slot
inline constexpr uint8_t kFromTop = 2;   // the scope's top less slot

// GlobalCount = count.
void SetGlobalCount(int32_t count);

// FindVariable when the answer remembered at p does not hold.
int LookUpVariable(TextPosition p, Scope scope);

// The slots visible from `scope`: the frame from ScopeBase up to Top (or
// VariableCount), then the globals below both.
struct Visible {
  int32_t top, base;
  explicit Visible(Scope scope) : top(std::min(scope.Top, VariableCount)), base(std::max(scope.ScopeBase, 0)) {}
  bool Contains(int32_t s) const { return s < top && (s >= base || s < GlobalCount); }
  // The visible globals are the slots below this.
  int32_t GlobalTop() const { return std::min({GlobalCount, base, top}); }
};

// With every name whole, a slot that is the newest of its bucket and visible
// has no newer slot that could mean the same name.
inline int FindVariable(TextPosition p, Scope scope) {
  const uint32_t offset = p - kSourceBase;
  if (offset < kSourceSize) {
    NameAnswer& a = NameAnswers[offset];
    if (a.generation == ScriptMemory::Generation()) {
      if (a.stamp.Holds(scope)) return a.answer;
      if (a.call) return -1;
      // The newest slot of the bucket below the scope's top: slots above it,
      // a frame under construction, cannot be seen.
      const Visible visible(scope);
      int32_t newest = NameIndex[a.bucket];
      while (newest >= visible.top) newest = VariableTable[newest].Older;
      int32_t slot = -1;
      if (a.slot < 0) {
        if (newest >= 0) return LookUpVariable(p, scope);
      } else {
        slot = a.anchor == kFromBase ? scope.ScopeBase + a.slot : a.anchor == kFromTop ? visible.top - a.slot : a.slot;
        if (slot < 0 || newest != slot || !visible.Contains(slot) || VariableTable[slot].Name != a.named ||
            VariableTable[slot].NameLength != a.length) {
          return LookUpVariable(p, scope);
        }
      }
      a.stamp.Take(scope);
      a.answer = slot;
      return slot;
    }
  }
  return LookUpVariable(p, scope);
}

// The same answer by walking every visible slot, newest first: what the
// interpreter uses when it reads the text without its decoded form.
int SearchVariable(TextPosition p, Scope scope);

// The first row whose whole name begins the text at p, or -1. Nothing after the
// name is tested, so a longer name finds a routine whose name begins it.
int FindRoutine(TextPosition p);

}  // namespace vorla
