// The Trajectory Display as a PNG picture, drawn without a display.
#pragma once

#include <string>

#include "app/batch/pixel_layer.h"

namespace lab {

// Writes the picture on the window face colour. The file appears whole or not
// at all. Returns an error text, empty on success.
std::string WriteTrajectoryPng(const PixelLayer& picture, const std::string& path);

// Whether a file can be written at path (nothing is left there).
bool CanWriteFile(const std::string& path);

}  // namespace lab
