// Name resolution: variables under the scope rule, routines in table order.
#include "core/names.h"

#include <algorithm>
#include <cstring>

#include "core/scan.h"

namespace vorla {

uint64_t NamesEpoch = 1;
uint64_t NamesKey = 0;

namespace {

// VariableCount fits in the low byte: kMaxVariables is 128.
void RenewNamesKey() { NamesKey = NamesEpoch << 8 | uint64_t(VariableCount); }

// Whether the first `length` characters at `name` stand at p.
bool NamePresent(TextPosition p, TextPosition name, int32_t length) {
  if (PeekText(p) != PeekText(name)) return false;
  for (int32_t i = 1; i < length; i++) {
    if (PeekText(p + TextPosition(i)) != PeekText(name + TextPosition(i))) return false;
  }
  return true;
}

bool VariableAt(TextPosition p, const Variable& v) {
  if (!NamePresent(p, v.Name, v.NameLength)) return false;
  uint8_t next = PeekText(p + TextPosition(v.NameLength));
  return !IsNameChar(next) && next != '(';
}

// Links slot s in at the head of its bucket.
void IndexSlot(int32_t s) {
  Variable& v = VariableTable[s];
  v.Bucket = NameBucket(PeekText(v.Name), v.NameLength);
  v.Older = NameIndex[v.Bucket];
  NameIndex[v.Bucket] = int16_t(s);
}

// A slot's name lies in the text, whose bytes a script may change: after any
// change the live slots are indexed anew by the names they now have.
void IndexLiveSlots() {
  NamesEpoch++;
  std::fill(std::begin(NameIndex), std::end(NameIndex), int16_t(-1));
  BrokenNames = 0;
  for (int32_t s = 0; s < VariableCount; s++) {
    Variable& v = VariableTable[s];
    v.Broken = v.NameLength < 1 || NameLengthAt(v.Name) < v.NameLength;
    BrokenNames += v.Broken;
    IndexSlot(s);
  }
  NameIndexGeneration = ScriptMemory::Generation();
  RenewNamesKey();
}

}  // namespace

void PushSlot(TextPosition name, int32_t length) {
  if (NameIndexGeneration != ScriptMemory::Generation()) IndexLiveSlots();
  Variable& v = VariableTable[VariableCount];
  if (v.Name != name || v.NameLength != length) NamesEpoch++;
  v.Name = name;
  v.NameLength = length;
  v.Broken = false;
  IndexSlot(VariableCount++);
  RenewNamesKey();
}

void ReleaseSlots(int32_t count) {
  if (NameIndexGeneration != ScriptMemory::Generation()) {
    VariableCount = count;
    IndexLiveSlots();
    return;
  }
  while (VariableCount > count) {
    const Variable& v = VariableTable[--VariableCount];
    NameIndex[v.Bucket] = v.Older;
    BrokenNames -= v.Broken;
  }
  RenewNamesKey();
}

NameAnswer NameAnswers[kSourceSize];

void SetGlobalCount(int32_t count) {
  GlobalCount = count;
  NamesEpoch++;
  RenewNamesKey();
}

// Slots are only ever named at the top and released from the top, so each
// bucket runs from the newest slot to the oldest, the order the scope rule
// searches in. With whole names, a slot means the name at p exactly when its
// name is the run of name characters there and no '(' follows.
int LookUpVariable(TextPosition p, Scope scope) {
  if (!DecodeText) return SearchVariable(p, scope);
  const uint64_t generation = ScriptMemory::Generation();
  if (NameIndexGeneration != generation) IndexLiveSlots();
  if (BrokenNames > 0) return SearchVariable(p, scope);
  const Visible visible(scope);
  const uint32_t offset = p - kSourceBase;
  NameAnswer* a = offset < kSourceSize ? &NameAnswers[offset] : nullptr;
  const int32_t length = NameLengthAt(p);
  const uint16_t bucket = NameBucket(PeekText(p), length);
  const bool call = PeekText(p + TextPosition(length)) == '(';
  int32_t slot = -1;
  if (!call && length > 0) {
    for (int32_t s = NameIndex[bucket]; s >= 0; s = VariableTable[s].Older) {
      const Variable& v = VariableTable[s];
      if (visible.Contains(s) && v.NameLength == length &&
          std::memcmp(ScriptMemory::View(p), ScriptMemory::View(v.Name), size_t(length)) == 0) {
        slot = s;
        break;
      }
    }
  }
  if (a != nullptr) {
    // A global counts from zero; a slot of the running frame from ScopeBase;
    // any other slot an argument sees, from the top of the slots it sees.
    const uint8_t anchor = slot < 0 || slot < GlobalCount || slot < visible.base ? kFromZero
                           : scope.Top != kLiveTop ? kFromTop
                                                   : kFromBase;
    const int32_t counted = anchor == kFromBase ? slot - scope.ScopeBase : anchor == kFromTop ? visible.top - slot : slot;
    NamesStamp stamp{};
    stamp.Take(scope);
    *a = {generation, stamp, slot, length, bucket, call, anchor, counted,
          slot >= 0 ? VariableTable[slot].Name : 0};
  }
  return slot;
}

int SearchVariable(TextPosition p, Scope scope) {
  const Visible visible(scope);
  for (int32_t s = visible.top - 1; s >= visible.base; s--) {
    if (VariableAt(p, VariableTable[s])) return s;
  }
  for (int32_t s = visible.GlobalTop() - 1; s >= 0; s--) {
    if (VariableAt(p, VariableTable[s])) return s;
  }
  return -1;
}

int FindRoutine(TextPosition p) {
  for (int row = 0; row < RoutineCount; row++) {
    if (NamePresent(p, RoutineTable[row].Name, RoutineTable[row].NameLength)) return row;
  }
  return -1;
}

}  // namespace vorla
