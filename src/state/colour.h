// Colours as the windows take them: a 24-bit number, red in the low byte,
// then green, then blue, and the 16-colour palette the program draws with.
#pragma once

#include <cstdint>

namespace lab {

using ColourNumber = std::int32_t;

constexpr ColourNumber Rgb(int r, int g, int b) { return r + g * 256 + b * 65536; }
constexpr int RedOf(ColourNumber c) { return c % 256; }
constexpr int GreenOf(ColourNumber c) { return (c / 256) % 256; }
constexpr int BlueOf(ColourNumber c) { return (c / 65536) % 256; }

inline constexpr ColourNumber kPalette[16] = {
    Rgb(0, 0, 0),     Rgb(0, 0, 128),     Rgb(0, 128, 0),   Rgb(0, 128, 128),
    Rgb(128, 0, 0),   Rgb(128, 0, 128),   Rgb(128, 128, 0), Rgb(192, 192, 192),
    Rgb(128, 128, 128), Rgb(0, 0, 255),   Rgb(0, 255, 0),   Rgb(0, 255, 255),
    Rgb(255, 0, 0),   Rgb(255, 0, 255),   Rgb(255, 255, 0), Rgb(255, 255, 255),
};

// The plain number 2 (red 2, green 0, blue 0): the near-black of speeds below
// their escape speed. It is not palette entry 2.
inline constexpr ColourNumber kNearBlack = 2;

}  // namespace lab
