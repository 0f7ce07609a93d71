#include "ui/qt/kept_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace lab {

namespace {

// Folder names: 20261207-055801-000-series-series-scenario-2.
constexpr char kPart[] = ".part";
constexpr char kTitleFile[] = "title.txt";

QString Slug(const QString& title) {
  QString slug;
  for (const QChar c : title) {
    if (c.isLetterOrNumber() || c == QLatin1Char('.')) {
      slug += c;
    } else if (!slug.endsWith(QLatin1Char('-'))) {
      slug += QLatin1Char('-');
    }
  }
  while (slug.endsWith(QLatin1Char('-'))) slug.chop(1);
  return slug.left(60);
}

bool WriteFile(const QString& path, const QByteArray& data) {
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

// The kept folders, oldest first (their names begin with the time).
QStringList KeptNames(const QDir& dir) {
  QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  names.removeIf([](const QString& n) { return n.endsWith(QLatin1String(kPart)); });
  return names;
}

}  // namespace

QString KeptFolder() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.local/share";
  return base + "/encounterlab";
}

QString KeptResult::Csv() const {
  return path + (map ? "/map.csv" : "/series.csv");
}

bool KeepResult(const QString& title, bool map, const std::vector<KeptFile>& files, QString* error) {
  QDir dir(KeptFolder());
  if (!dir.mkpath(QStringLiteral("."))) {
    *error = QStringLiteral("The folder %1 could not be made.").arg(dir.path());
    return false;
  }
  // The time, then a number counting the results of that second, so that
  // the names sort as the results were made.
  const QString second = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  const QStringList same = dir.entryList({second + "-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
  const QString name = QStringLiteral("%1-%2-%3-%4")
                           .arg(second)
                           .arg(same.size(), 3, 10, QLatin1Char('0'))
                           .arg(map ? QStringLiteral("map") : QStringLiteral("series"), Slug(title));
  // Written under a temporary name and renamed once whole.
  const QString part = dir.filePath(name + kPart);
  bool written = dir.mkdir(name + kPart) && WriteFile(part + '/' + kTitleFile, title.toUtf8());
  for (const KeptFile& f : files) written = written && WriteFile(part + '/' + f.name, f.data);
  if (!written || !dir.rename(name + kPart, name)) {
    QDir(part).removeRecursively();
    *error = QStringLiteral("The %1 could not be kept in %2.")
                 .arg(map ? QStringLiteral("map") : QStringLiteral("series"), dir.path());
    return false;
  }
  const QStringList names = KeptNames(dir);
  for (qsizetype k = 0; k + kKeptResults < names.size(); ++k)
    QDir(dir.filePath(names[k])).removeRecursively();
  return true;
}

std::vector<KeptResult> KeptResultsList() {
  const QDir dir(KeptFolder());
  std::vector<KeptResult> list;
  const QStringList names = KeptNames(dir);
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    KeptResult r;
    r.path = dir.filePath(*it);
    r.map = QFile::exists(r.path + "/map.csv");
    QFile title(r.path + '/' + kTitleFile);
    r.title = title.open(QIODevice::ReadOnly) ? QString::fromUtf8(title.readAll()) : *it;
    const QDateTime made = QDateTime::fromString(it->left(15), QStringLiteral("yyyyMMdd-HHmmss"));
    r.title = made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss  ")) + r.title;
    list.push_back(r);
  }
  return list;
}

}  // namespace lab
