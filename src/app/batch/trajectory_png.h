// The Trajectory Display as a PNG picture, drawn without a display.
#pragma once

#include <string>

#include "app/batch/pixel_layer.h"

namespace lab {

// The bytes of a PNG file showing the picture on the window face colour;
// empty when it cannot be encoded. Files are the caller's business
// (ReplacingFile).
std::string EncodePng(const PixelLayer& picture);

}  // namespace lab
