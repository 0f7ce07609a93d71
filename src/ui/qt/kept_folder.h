// Every series the windows run to its end and every map is kept in the
// user's data folder ($XDG_DATA_HOME/encounterlab, by default
// ~/.local/share/encounterlab), one folder per result holding its CSV, its
// record and its picture, so that nothing is lost when the program ends.
// The newest kKeptResults are kept; older ones are removed.
#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace lab {

inline constexpr int kKeptResults = 50;

// The folder the results are kept in (not made).
QString KeptFolder();

struct KeptFile {
  QString name;  // "series.csv", "record.json", "picture.png", ...
  QByteArray data;
};

struct KeptResult {
  QString path;   // the result's folder
  QString title;  // what it was: "series, scenario 2", "map, scenario 2 by dist2_au"
  bool map = false;
  QString Csv() const;  // its CSV file
};

// Writes the files into a new folder named by the time and the title, whole
// or not at all, and removes the oldest results beyond kKeptResults. False
// (and *error says why) when it could not be written.
bool KeepResult(const QString& title, bool map, const std::vector<KeptFile>& files, QString* error);

// The kept results, newest first.
std::vector<KeptResult> KeptResultsList();

}  // namespace lab
