#pragma once

#include <optional>

namespace velmora {

// The application needs at least 256 colours: more than 4 bits per pixel. A depth that could not
// be measured (no screen to ask, as in a service or another non-interactive session) passes:
// only a display known to be too poor is refused.
constexpr bool DisplayDepthSupported(std::optional<int> bitsPerPixel) {
  return !bitsPerPixel.has_value() || *bitsPerPixel > 4;
}

// Bits per pixel of the screen; nothing when there is no screen to ask.
std::optional<int> ScreenDepth();

}  // namespace velmora
