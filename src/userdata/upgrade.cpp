#include "userdata/upgrade.h"

namespace velmora {

// Not built yet: a start after an upgrade goes on as any other start.
void HandleUpgrade(HKEY) {}

}  // namespace velmora
