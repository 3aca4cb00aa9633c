#include "environment/display_check.h"

#include <windows.h>

#include "launcher/fatal_error.h"

namespace velmora {
namespace {

// Bits per pixel of the screen; nothing when there is no screen to ask.
std::optional<int> ScreenDepth() {
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return std::nullopt;
  const int bitsPerPixel = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  return bitsPerPixel;
}

}  // namespace

void CheckDisplayDepth() {
  if (!DisplayDepthSupported(ScreenDepth())) ReportFatalError(FatalMessage::kUnsupportedDisplay);
}

}  // namespace velmora
