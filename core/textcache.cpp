// Text answers (see textcache.h). Each entry carries the generation it was
// computed in; forgetting everything is one increment of the generation.
#include "core/textcache.h"

#include <cstring>

namespace vorla {

TextAnswerEntry TextAnswers[int(TextAnswer::Count)][kSourceSize];
VariableAnswer VariableAnswers[kSourceSize];
uint32_t CallNames[kSourceSize];
uint32_t WholeNamesGeneration = 0;
ExpressionShape ExpressionShapes[kSourceSize];
ParameterList ParameterLists[kMaxRoutines];
uint32_t TextAnswerGeneration = 1;

void ForgetTextAnswers() {
  if (++TextAnswerGeneration == 0) {  // wrapped: no old entry may look current
    std::memset(TextAnswers, 0, sizeof TextAnswers);
    std::memset(VariableAnswers, 0, sizeof VariableAnswers);
    std::memset(CallNames, 0, sizeof CallNames);
    std::memset(ExpressionShapes, 0, sizeof ExpressionShapes);
    std::memset(ParameterLists, 0, sizeof ParameterLists);
    WholeNamesGeneration = 0;
    TextAnswerGeneration = 1;
  }
}

}  // namespace vorla
