#pragma once

#include <cstdint>

namespace velmora {

// Prepares the start screen's workspace and starts it; gives the identifier of its main thread,
// 0 when none was started.
std::uint32_t LaunchStartScreen();

}  // namespace velmora
