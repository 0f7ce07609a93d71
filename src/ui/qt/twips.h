// Twips (1/1440 inch) and the pixels of the screen: the one place where the
// layout lengths of the windows and the drawing coordinates become pixels.
// At the usual 96 logical dots per inch a pixel is 15 twips.
#pragma once

#include <QRect>
#include <QWidget>
#include <cmath>

namespace lab {

inline constexpr double kTwipsPerInch = 1440;

// Twips per pixel across and down, from the logical resolution of the
// widget's screen.
struct TwipScale {
  double x = 15;
  double y = 15;
};

inline TwipScale TwipScaleOf(const QWidget& w) {
  return {kTwipsPerInch / w.logicalDpiX(), kTwipsPerInch / w.logicalDpiY()};
}

// A length or position of a control: the nearest pixel.
inline int PixelsAcross(double twips, const TwipScale& scale) {
  return static_cast<int>(std::lround(twips / scale.x));
}
inline int PixelsDown(double twips, const TwipScale& scale) {
  return static_cast<int>(std::lround(twips / scale.y));
}

inline QRect RectFromTwips(double left, double top, double width, double height,
                           const TwipScale& scale) {
  return {PixelsAcross(left, scale), PixelsDown(top, scale), PixelsAcross(width, scale),
          PixelsDown(height, scale)};
}

// A drawing position: pixel i covers the twips from i up to i + 1 pixels, so
// a position is cut downwards. The result stays a double so that a position
// far outside the window (or not a number) can be refused before it becomes
// an integer.
inline double PixelIndex(float twips, double twips_per_pixel) {
  return std::floor(static_cast<double>(twips) / twips_per_pixel);
}

// A size on the screen in twips.
inline float TwipsAcross(int pixels, const TwipScale& scale) {
  return static_cast<float>(pixels * scale.x);
}
inline float TwipsDown(int pixels, const TwipScale& scale) {
  return static_cast<float>(pixels * scale.y);
}

}  // namespace lab
