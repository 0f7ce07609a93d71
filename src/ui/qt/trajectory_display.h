// The Trajectory Display (Form2): its whole client area is the drawing area.
// Points go into a backing image, so a covered part comes back as it was;
// the screen catches up when the port next runs the events.
//
// The image grows with the window up to the size of the largest screen and
// no further: a window enlarged beyond every screen would otherwise need
// gigabytes. Points beyond the image are not drawn.
#pragma once

#include <QImage>
#include <QWidget>

#include "ui/qt/twips.h"

class QAction;
class QContextMenuEvent;
class QMenu;
class QPaintEvent;
class QResizeEvent;

namespace lab {

class Form2 : public QWidget {
  Q_OBJECT

 public:
  explicit Form2(QWidget* parent = nullptr);

  const TwipScale& Scale() const { return scale_; }
  const QImage& Image() const { return image_; }

  // Sets one pixel; a pixel outside the drawing area is left alone.
  void SetPixel(double px, double py, QRgb colour) {
    if (!(px >= 0 && py >= 0 && px < limit_x_ && py < limit_y_)) return;
    reinterpret_cast<QRgb*>(image_.scanLine(static_cast<int>(py)))[static_cast<int>(px)] = colour;
    dirty_ = true;
  }
  // Fills the drawing area with the window face colour.
  void ClearImage();

  // Asks for a repaint when points were drawn since the last one.
  void RepaintIfDirty() {
    if (!dirty_) return;
    dirty_ = false;
    update();
  }

  // The drawing area as it is shown: the client area, as far as the image reaches.
  QImage Picture() const;
  // "Save picture as PNG…", in the context menu and on Ctrl+S.
  QAction* SavePictureAction() const { return save_picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void FitImage();

  TwipScale scale_;
  QImage image_;
  double limit_x_ = 0;  // the drawing area: the client area, within the image
  double limit_y_ = 0;
  bool dirty_ = false;
  QAction* save_picture_ = nullptr;
  QMenu* menu_ = nullptr;
};

}  // namespace lab
