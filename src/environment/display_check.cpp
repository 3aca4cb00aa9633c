#include "environment/display_check.h"

#include <windows.h>

#include "launcher/fatal_error.h"

namespace velmora {

void CheckDisplayDepth() {
  HDC screen = ::GetDC(nullptr);
  const int bitsPerPixel = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  if (!DisplayDepthSupported(bitsPerPixel)) ReportFatalError(FatalMessage::kUnsupportedDisplay);
}

}  // namespace velmora
