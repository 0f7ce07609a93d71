#include "ui/qt/window_layout.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QWidget>

namespace lab {

namespace {

// The settings file: $XDG_CONFIG_HOME/encounterlab/encounter.conf.
constexpr char kOrganisation[] = "encounterlab";
constexpr char kApplication[] = "encounter";

QString KeyOf(LayoutWindow which) {
  switch (which) {
    case LayoutWindow::kControl: return QStringLiteral("ControlDisplay/geometry");
    case LayoutWindow::kTrajectory: return QStringLiteral("TrajectoryDisplay/geometry");
    case LayoutWindow::kData: return QStringLiteral("DataDisplay/geometry");
  }
  return {};
}

}  // namespace

bool RestoreWindow(QWidget& window, LayoutWindow which) {
  const QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
  const QByteArray kept = settings.value(KeyOf(which)).toByteArray();
  return !kept.isEmpty() && window.restoreGeometry(kept);
}

void KeepWindow(const QWidget& window, LayoutWindow which) {
  QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
  settings.setValue(KeyOf(which), window.saveGeometry());
}

void ForgetLayout() {
  QSettings settings(QString::fromLatin1(kOrganisation), QString::fromLatin1(kApplication));
  settings.clear();
  settings.sync();
}

}  // namespace lab
