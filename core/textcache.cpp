// Text answers (see textcache.h). Each entry carries the generation it was
// computed in; forgetting everything is one increment of the generation.
#include "core/textcache.h"

#include <cstring>

namespace vorla {

namespace {

struct Entry {
  uint32_t generation;  // 0: never remembered
  uint32_t key;
  uint32_t answer;
};

Entry answers[int(TextAnswer::Count)][kSourceSize];
uint32_t generation = 1;

void ForgetAll() {
  if (++generation == 0) {  // wrapped: no old entry may look current
    std::memset(answers, 0, sizeof answers);
    generation = 1;
  }
}

}  // namespace

void ForgetTextAnswersOnLoad() {
  ForgetAll();
  SourceWritten = false;
}

void ForgetTextAnswersOnStore() {
  ForgetAll();
  SourceWritten = true;
}

bool SourceWritten = false;

bool RecallAnswer(TextAnswer which, TextPosition p, uint32_t key, uint32_t& answer) {
  uint32_t offset = p - kSourceBase;
  if (offset >= kSourceSize) return false;
  const Entry& e = answers[int(which)][offset];
  if (e.generation != generation || e.key != key) return false;
  answer = e.answer;
  return true;
}

void RememberAnswer(TextAnswer which, TextPosition p, uint32_t key, uint32_t answer) {
  uint32_t offset = p - kSourceBase;
  if (offset < kSourceSize) answers[int(which)][offset] = {generation, key, answer};
}

}  // namespace vorla
