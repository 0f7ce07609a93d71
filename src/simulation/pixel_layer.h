// The Trajectory Display's drawing area as pixels, for pictures made without
// windows. A pixel holds a colour, or kUnpainted.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "state/colour.h"
#include "port/display_port.h"

namespace lab {

struct PixelLayer {
  static constexpr std::int32_t kUnpainted = -1;
  // The drawing area of the window at its first size: 4680 x 4290 twips.
  static constexpr int kWidth = 4680 / 15;
  static constexpr int kHeight = 4290 / 15;
  static constexpr double kTwipsPerPixel = 15;
  // The frame of 4 pixels and the title bar of 23 pixels the headless
  // Trajectory Display reports around its drawing area (twips).
  static constexpr float kFrameAcross = 120;
  static constexpr float kFrameDown = 120 + 345;

  // A point drawn, for a layer that keeps its points in the order drawn.
  struct Point {
    std::int32_t index;
    ColourNumber colour;
  };

  int width = kWidth;
  int height = kHeight;
  std::vector<std::int32_t> pixels = std::vector<std::int32_t>(kWidth * kHeight, kUnpainted);
  // One test's share of a large picture keeps its points rather than every
  // pixel, until the list would outgrow the pixels.
  bool keeps_points = false;
  std::vector<Point> points;

  PixelLayer() = default;
  PixelLayer(int w, int h, bool points_first = false)
      : width(w), height(h), pixels(points_first ? 0 : std::size_t(w) * h, kUnpainted),
        keeps_points(points_first) {}

  // The outer size of a Trajectory Display whose drawing area is this layer.
  TrajectorySize WindowSize() const {
    return {static_cast<float>(width * kTwipsPerPixel) + kFrameAcross,
            static_cast<float>(height * kTwipsPerPixel) + kFrameDown};
  }

  // As the window draws: pixel i covers the twips from 15 i to 15 (i + 1).
  void Plot(float x, float y, ColourNumber colour) {
    const double px = std::floor(x / kTwipsPerPixel);
    const double py = std::floor(y / kTwipsPerPixel);
    if (!(px >= 0 && px < width && py >= 0 && py < height)) return;
    const std::int32_t index = static_cast<int>(py) * width + static_cast<int>(px);
    if (!keeps_points) {
      pixels[index] = colour;
      return;
    }
    points.push_back({index, colour});
    if (points.size() * sizeof(Point) > std::size_t(width) * height * sizeof(std::int32_t)) {
      pixels.assign(std::size_t(width) * height, kUnpainted);
      keeps_points = false;
      for (const Point& p : points) pixels[p.index] = p.colour;
      points = {};
    }
  }
  void Clear() {
    if (!pixels.empty()) pixels.assign(pixels.size(), kUnpainted);
    points.clear();
  }
  // Paints what the other layer (of the same size) painted over this one.
  void Overlay(const PixelLayer& top) {
    if (top.keeps_points) {
      for (const Point& p : top.points) pixels[p.index] = p.colour;
      return;
    }
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      if (top.pixels[i] != kUnpainted) pixels[i] = top.pixels[i];
    }
  }
};

}  // namespace lab
