// The drawing of a map in its window: one block per cell, coloured as the
// map's pictures are (by end and v3_red, or by the ratio on a logarithmic
// scale), framed by axes with ticks in their units and a legend. Pointing at
// a cell asks for its tool tip; a click on a cell is reported.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "records/map_picture.h"

namespace lab {

struct MapAxes {
  std::vector<double> xs, ys;  // the value of each column and each row
  bool y_log = false;
  QString x_label, y_label;
};

class MapCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit MapCanvas(QWidget* parent = nullptr);

  void SetAxes(const MapAxes& axes, MapColouring colouring);
  // Paints the cells of the grid anew and schedules a repaint.
  void Show(const MapGrid& grid, MapColouring colouring);
  void Clear();
  // The cell under a point of the widget, or -1.
  std::int64_t CellAt(QPoint point) const;
  // The centre of a cell in the widget (for a click on it).
  QPoint CentreOf(std::int64_t cell) const;
  // The tool tip of a cell; empty: none.
  void SetTips(std::function<QString(std::int64_t)> tips) { tips_ = std::move(tips); }

 signals:
  void cellClicked(qint64 cell);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QRect Plot() const;
  void DrawAxes(QPainter& painter, const QRect& plot) const;
  void DrawLegend(QPainter& painter, const QRect& plot) const;
  void DrawUntrusted(QPainter& painter, const QRect& plot) const;
  void UntrustedSwatch(QPainter& painter, int x, int y) const;
  double Offset(double value, const std::vector<double>& values, bool log, int extent) const;

  MapAxes axes_;
  MapColouring colouring_ = MapColouring::kEnd;
  QImage cells_;  // one pixel per cell, the first y value at the bottom
  std::vector<bool> present_;  // outcomes in the legend
  std::vector<std::int64_t> untrusted_;  // the cells hatched
  RatioScale scale_;
  int rows_ = 0;
  std::int64_t columns_ = 0;
  std::function<QString(std::int64_t)> tips_;
};

}  // namespace lab
