#include "environment/display_check.h"

#include <windows.h>

namespace velmora {

std::optional<int> ScreenDepth() {
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return std::nullopt;
  const int bitsPerPixel = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  return bitsPerPixel;
}

}  // namespace velmora
