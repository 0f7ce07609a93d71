// The Trajectory Display's drawing as a PNG picture, encoded with libpng: no
// window system is needed to make it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simulation/pixel_layer.h"
#include "state/colour.h"

namespace lab {

// The face colour of the desktop program's windows in their default style,
// (239, 239, 239): the drawing area shows it where nothing has been plotted,
// and so does the picture.
inline constexpr ColourNumber kWindowFace = Rgb(239, 239, 239);

// The screen resolution the window layout is drawn for, 96 dots per inch,
// recorded in the file so that the picture prints at the window's size.
inline constexpr unsigned kDotsPerMetre = 3780;

// The bytes of an 8-bit RGB PNG of the picture, unpainted pixels in the
// window face colour; empty when it cannot be encoded. Files are the
// caller's business (ReplacingFile).
std::string EncodePng(const PixelLayer& picture);

// The bytes of an 8-bit RGB PNG of any size: rgb holds the rows top to
// bottom, 3 bytes a pixel; a description not empty (Latin-1) goes into the
// file's text chunk "Description". Empty when it cannot be encoded.
std::string EncodeRgbPng(int width, int height, const std::vector<std::uint8_t>& rgb,
                         const std::string& description = "");

}  // namespace lab
