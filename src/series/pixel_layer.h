// The Trajectory Display's drawing area as pixels, for pictures made without
// windows. A pixel holds a colour, or kUnpainted.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "port/colour.h"

namespace lab {

struct PixelLayer {
  static constexpr std::int32_t kUnpainted = -1;
  // The drawing area of the window at its first size: 4680 x 4290 twips.
  static constexpr int kWidth = 4680 / 15;
  static constexpr int kHeight = 4290 / 15;
  static constexpr double kTwipsPerPixel = 15;

  std::vector<std::int32_t> pixels = std::vector<std::int32_t>(kWidth * kHeight, kUnpainted);

  // As the window draws: pixel i covers the twips from 15 i to 15 (i + 1).
  void Plot(float x, float y, ColourNumber colour) {
    const double px = std::floor(x / kTwipsPerPixel);
    const double py = std::floor(y / kTwipsPerPixel);
    if (!(px >= 0 && px < kWidth && py >= 0 && py < kHeight)) return;
    pixels[static_cast<int>(py) * kWidth + static_cast<int>(px)] = colour;
  }
  void Clear() { pixels.assign(pixels.size(), kUnpainted); }
  // Paints what the other layer painted over this one.
  void Overlay(const PixelLayer& top) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      if (top.pixels[i] != kUnpainted) pixels[i] = top.pixels[i];
    }
  }
};

}  // namespace lab
