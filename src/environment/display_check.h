#pragma once

namespace velmora {

// The application needs at least 256 colours: more than 4 bits per pixel.
constexpr bool DisplayDepthSupported(int bitsPerPixel) { return bitsPerPixel > 4; }

// Ends the process with the unsupported-display report when the screen has too few colours.
void CheckDisplayDepth();

}  // namespace velmora
