#pragma once

#include <windows.h>

namespace velmora {

// Asks, after an upgrade, whether to keep or reset the user's custom settings.
void HandleUpgrade(HKEY productKey);

}  // namespace velmora
