#include "ui/qt/trajectory_display.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace lab {

namespace {

// Client size of the window (twips).
constexpr double kClientWidth = 4680;
constexpr double kClientHeight = 4290;

}  // namespace

Form2::Form2(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Trajectory Display"));
  scale_ = TwipScaleOf(*this);
  // The image is painted over the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(PixelsAcross(kClientWidth, scale_), PixelsDown(kClientHeight, scale_));
  FitImage();
}

void Form2::ClearImage() {
  image_.fill(palette().window().color());
  dirty_ = true;
}

// The image grows with the window and never shrinks, so what was drawn
// survives a window made smaller and then larger again.
void Form2::FitImage() {
  const int w = std::max(image_.width(), width());
  const int h = std::max(image_.height(), height());
  if (w != image_.width() || h != image_.height()) {
    QImage grown(w, h, QImage::Format_RGB32);
    grown.fill(palette().window().color());
    if (!image_.isNull()) {
      QPainter p(&grown);
      p.drawImage(0, 0, image_);
    }
    image_ = std::move(grown);
  }
  limit_x_ = width();
  limit_y_ = height();
}

void Form2::resizeEvent(QResizeEvent* event) {
  FitImage();
  QWidget::resizeEvent(event);
}

void Form2::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.drawImage(event->rect(), image_, event->rect());
}

}  // namespace lab
