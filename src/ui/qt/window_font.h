// The font of the three windows. The layout gives fields and labels a height
// of 200 twips after start-up (13 pixels at 96 dpi), so the font is set in
// pixels, small and narrow enough that every text fits in full.
#pragma once

#include <QFont>

namespace lab {

inline QFont WindowFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(10);
  font.setStretch(QFont::Condensed);
  return font;
}

}  // namespace lab
