#include "app/batch/trajectory_png.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QPalette>
#include <memory>

namespace lab {

namespace {

// The window face colour of the desktop program, from the same style.
// Qt's own notices (about its runtime folder, say) are no business of a
// batch run's standard error.
void Silent(QtMsgType, const QMessageLogContext&, const QString&) {}

QColor WindowFace() {
  if (QApplication::instance() == nullptr) {
    qInstallMessageHandler(Silent);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "encounter-batch";
    static char* argv[] = {name, nullptr};
    static auto app = std::make_unique<QApplication>(argc, argv);
  }
  return QApplication::palette().color(QPalette::Window);
}

}  // namespace

std::string EncodePng(const PixelLayer& picture) {
  const QColor face = WindowFace();
  QImage image(PixelLayer::kWidth, PixelLayer::kHeight, QImage::Format_RGB32);
  image.setDotsPerMeterX(3780);  // 96 dots per inch, the resolution the layout is drawn for
  image.setDotsPerMeterY(3780);
  image.fill(face);
  for (int y = 0; y < PixelLayer::kHeight; ++y) {
    for (int x = 0; x < PixelLayer::kWidth; ++x) {
      const ColourNumber c = picture.pixels[y * PixelLayer::kWidth + x];
      if (c != PixelLayer::kUnpainted) image.setPixel(x, y, qRgb(RedOf(c), GreenOf(c), BlueOf(c)));
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return "";
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace lab
