#pragma once

#include "environment/process_environment.h"

namespace velmora {

// Fixed when the starter executable is built (see cmake/StarterExecutable.cmake).
extern const BuiltinStrings kBuiltinStrings;

}  // namespace velmora
