#include "ui/qt/trajectory_display.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>

#include "ui/qt/program_identity.h"

namespace lab {

namespace {

// Client size of the window (twips).
constexpr double kClientWidth = 4680;
constexpr double kClientHeight = 4290;

// The largest screen in the window's pixels; without a screen, a generous one.
QSize LargestScreen() {
  QSize largest(0, 0);
  for (const QScreen* screen : QGuiApplication::screens())
    largest = largest.expandedTo(screen->geometry().size());
  return largest.isEmpty() ? QSize(3840, 2160) : largest;
}

}  // namespace

Form2::Form2(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Trajectory Display"));
  setWindowIcon(ProgramIcon());
  scale_ = TwipScaleOf(*this);
  // The image is painted over the whole client area.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(PixelsAcross(kClientWidth, scale_), PixelsDown(kClientHeight, scale_));
  FitImage();

  save_picture_ = new QAction(QStringLiteral("Save picture as PNG…"), this);
  save_picture_->setShortcut(QKeySequence::Save);
  save_picture_->setShortcutContext(Qt::WindowShortcut);
  addAction(save_picture_);
  menu_ = new QMenu(this);
  menu_->addAction(save_picture_);
}

void Form2::ClearImage() {
  image_.fill(palette().window().color());
  dirty_ = true;
}

// The image grows with the window and never shrinks, so what was drawn
// survives a window made smaller and then larger again. When the memory for a
// larger image cannot be had, the old one stays and the drawing area ends
// where it ends.
void Form2::FitImage() {
  const QSize cap = LargestScreen();
  const int w = std::min(std::max(image_.width(), width()), std::max(cap.width(), image_.width()));
  const int h =
      std::min(std::max(image_.height(), height()), std::max(cap.height(), image_.height()));
  if (w != image_.width() || h != image_.height()) {
    QImage grown(w, h, QImage::Format_RGB32);
    if (!grown.isNull()) {
      grown.fill(palette().window().color());
      if (!image_.isNull()) {
        QPainter p(&grown);
        p.drawImage(0, 0, image_);
      }
      image_ = std::move(grown);
    }
  }
  limit_x_ = std::min(width(), image_.width());
  limit_y_ = std::min(height(), image_.height());
}

QImage Form2::Picture() const {
  return image_.copy(0, 0, static_cast<int>(limit_x_), static_cast<int>(limit_y_));
}

void Form2::resizeEvent(QResizeEvent* event) {
  FitImage();
  QWidget::resizeEvent(event);
}

void Form2::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.drawImage(event->rect(), image_, event->rect());
  // Beyond the image the window shows its face.
  const QRegion beyond = QRegion(event->rect()) - QRegion(image_.rect());
  for (const QRect& r : beyond) p.fillRect(r, palette().window());
}

// Not modal: the series goes on drawing while the menu is open.
void Form2::contextMenuEvent(QContextMenuEvent* event) { menu_->popup(event->globalPos()); }

}  // namespace lab
