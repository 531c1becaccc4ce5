// The unit tests use the text's decoded form, or read the text as it stands
// when VORLA_DECODE=0, as the program does; the suite runs both ways.
#include <cstdlib>

#include "core/state.h"
#include "shell/run.h"

namespace {

const bool kDecodeSetting = (vorla::UseEngine = vorla::EngineWanted(std::getenv("VORLA_DECODE")));

}  // namespace
