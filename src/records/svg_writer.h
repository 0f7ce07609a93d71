// A small SVG writer: rectangles, lines and text in user units (pixels), the
// text escaped for XML. Enough for a plot with axes, labels and a legend that
// every browser shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/map_picture.h"

namespace lab {

class SvgWriter {
 public:
  SvgWriter(double width, double height, std::string_view title);

  void Rect(double x, double y, double w, double h, const RgbColour& fill);
  void Frame(double x, double y, double w, double h);  // a black outline
  void Line(double x1, double y1, double x2, double y2);
  // An open path through the points (x, y, x, y, ...) and a filled circle.
  void Polyline(const std::vector<double>& xy, const RgbColour& stroke, double width);
  void Circle(double x, double y, double r, const RgbColour& fill);
  enum class Anchor { kStart, kMiddle, kEnd };
  // Text with its baseline at y; turned by -90 degrees (reading upwards) when up.
  void Text(double x, double y, std::string_view text, double size, Anchor anchor,
            bool up = false, bool bold = false);
  // Starts and ends a group whose rectangles have no smoothed edges.
  void BeginCrisp();
  void End();
  // Hatching: the pattern defined once, then rectangles filled with it
  // (thin black and white diagonal stripes, seen on any colour).
  void DefineHatching();
  void HatchedRect(double x, double y, double w, double h);

  std::string Finish();  // the whole document

 private:
  std::string out_;
};

// How wide a text is drawn (pixels) in the font the writer names, DejaVu
// Sans, at the size: from the advance widths of its classes of characters,
// rounded up, so that a text laid out by it is never wider than said.
double TextWidth(std::string_view text, double size, bool bold = false);

// The text broken after each `separator` (kept at the line's end, its
// blanks dropped) into lines no wider than `width`; a part wider than that
// stands alone on its line.
std::vector<std::string> WrappedLines(std::string_view text, double size, bool bold, double width,
                                      std::string_view separator = " ");

// The text with & < > " escaped, control characters left out and bytes
// that are not UTF-8 shown as U+FFFD: always well-formed XML text.
std::string XmlEscaped(std::string_view text);

}  // namespace lab
