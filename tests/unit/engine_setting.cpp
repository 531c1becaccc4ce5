// The unit tests run compiled code, or the walker alone when VORLA_DECODE=0,
// as the program does; the suite runs both ways.
#include <cstdlib>

#include "core/state.h"
#include "shell/run.h"

namespace {

const bool kEngineSetting = (vorla::UseEngine = vorla::EngineWanted(std::getenv("VORLA_DECODE")));

}  // namespace
