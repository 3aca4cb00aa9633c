#include "startscreen/start_screen.h"

namespace velmora {

// Not built yet: no start screen is started.
std::uint32_t LaunchStartScreen() { return 0; }

}  // namespace velmora
