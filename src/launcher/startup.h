#pragma once

#include <windows.h>

namespace velmora {

// Runs the whole start in its order and gives the process exit code.
int RunStarter(HINSTANCE starter, int showCommand);

}  // namespace velmora
