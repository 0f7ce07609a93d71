// The windows' pictures compared with those kept in tests/data/windows:
// equal but for a few edge pixels of smoothed text. LAB_UPDATE_GOLDEN=1 (as
// scripts/window-pictures sets it) writes the pictures shown instead.
#pragma once

#include <QDir>
#include <QImage>
#include <QtTest>
#include <cstdlib>

namespace window_test {

// Pixels whose colour differs clearly from the expected picture's. Smoothed
// text may differ in a few edge pixels where the font library differs.
inline int DifferingPixels(const QImage& a, const QImage& b) {
  int differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) > 48 || std::abs(qGreen(p) - qGreen(q)) > 48 ||
          std::abs(qBlue(p) - qBlue(q)) > 48)
        ++differing;
    }
  }
  return differing;
}

inline void CompareWithPicture(const QImage& shown, const QString& name) {
  const QString path = QStringLiteral(LAB_TEST_DATA "/windows/") + name + QStringLiteral(".png");
  if (qEnvironmentVariableIsSet("LAB_UPDATE_GOLDEN")) {
    QVERIFY2(shown.save(path), qPrintable(path));
    return;
  }
  const QImage expected = QImage(path).convertToFormat(QImage::Format_RGB32);
  QVERIFY2(!expected.isNull(), qPrintable(QStringLiteral("no picture ") + path));
  const QString seen = QDir::tempPath() + QStringLiteral("/shown-") + name + QStringLiteral(".png");
  shown.save(seen);
  QVERIFY2(shown.size() == expected.size(),
           qPrintable(QStringLiteral("size differs from %1; shown: %2").arg(path, seen)));
  // A few edge pixels of the text at most; a missing word or colour is hundreds.
  const int differing = DifferingPixels(shown, expected);
  QVERIFY2(differing <= 12, qPrintable(QStringLiteral("%1 pixels differ from %2; shown: %3")
                                           .arg(differing)
                                           .arg(path, seen)));
}

}  // namespace window_test
