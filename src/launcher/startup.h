#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// Runs the whole start in its order and gives the process exit code. starterPath is the starter's
// own full path, empty when the loader could not give it.
int RunStarter(HINSTANCE starter, const std::wstring& starterPath, int showCommand);

}  // namespace velmora
