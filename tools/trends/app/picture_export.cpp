#include "trends/app/picture_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSvgGenerator>
#include <cstdio>

#include "trends/core/db_file_tail.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {

namespace {

QString titleOf(const QString& path, int field, const TimeRange& range, std::size_t sets) {
  return QFileInfo(path).fileName() + QString("   field %1   %2  to  %3   %L4 sets")
                                          .arg(field)
                                          .arg(QString::fromStdString(timeText(range.from)))
                                          .arg(QString::fromStdString(timeText(range.to)))
                                          .arg(sets);
}

std::string sideFile(const QString& database, const char* name, bool& found) {
  QFile file(QFileInfo(database).dir().filePath(name));
  found = file.open(QIODevice::ReadOnly);
  const QByteArray bytes = found ? file.read(64 << 20) : QByteArray();
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

void printError(const std::string& text) {
  const std::string line = "meterstation-trends: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

TimeRange rangeOf(const TrendOptions& options, const TrendData& data) {
  TimeRange range{data.firstTime(), data.lastTime()};
  if (options.from) range.from = *options.from;
  if (options.to) range.to = *options.to;
  if (range.to <= range.from) range.to = range.from + 60;
  return range;
}

}  // namespace

TrendScene sceneOf(const TrendsDocument& document, const TimeRange& range, int meter) {
  TrendScene scene;
  scene.data = &document.data();
  scene.limits = document.limits().found ? &document.limits() : nullptr;
  scene.alarms = &document.alarms();
  scene.range = range;
  scene.meter = meter;
  scene.breakGap = breakGapOf(document.data());
  scene.title = titleOf(document.path(), document.field(), range, document.data().size());
  return scene;
}

QString writePicture(const QString& path, const TrendScene& scene, int width, int height) {
  if (path.endsWith(".svg", Qt::CaseInsensitive)) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(width, height));
    svg.setViewBox(QRect(0, 0, width, height));
    svg.setTitle(scene.title);
    QPainter painter;
    if (!painter.begin(&svg)) return "cannot write " + path;
    paintTrends(painter, width, height, scene);
    painter.end();
    return QFileInfo(path).size() > 0 ? QString() : "cannot write " + path;
  }
  QImage image(width, height, QImage::Format_RGB32);
  QPainter painter(&image);
  paintTrends(painter, width, height, scene);
  painter.end();
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return "cannot write " + path + ": " + file.errorString();
  if (!image.save(&file, "PNG")) return "cannot write " + path + ": " + file.errorString();
  return {};
}

int runExport(const TrendOptions& options) {
  const std::string input = options.inputPath;
  TrendReader reader(options.field,
                     [&input](const OddLine& odd) { printError(input + ": " + reportText(odd)); });
  DbFileTail tail(input);
  const TailOutcome outcome = tail.readMore(reader);
  if (!outcome.ok) {
    printError("cannot read " + input + ": " + outcome.error);
    return 2;
  }
  if (const auto pending = reader.pendingOdd()) printError(input + ": " + reportText(*pending));
  const QString path = QFile::decodeName(input.c_str());
  bool found = false;
  const std::string table = sideFile(path, "ct.dat", found);
  const LimitTable limits = found ? limitsFromMeterTable(table) : LimitTable{};
  const AlarmLog alarms = parseAlarmLog(sideFile(path, "alarmlog.txt", found));

  TrendScene scene;
  scene.data = &reader.data();
  scene.limits = limits.found ? &limits : nullptr;
  scene.alarms = &alarms;
  scene.range = rangeOf(options, reader.data());
  scene.meter = options.meter;
  scene.breakGap = breakGapOf(reader.data());
  scene.title = titleOf(path, options.field, scene.range, reader.data().size());
  const QString error = writePicture(QString::fromStdString(options.exportPath), scene,
                                     options.width, options.height);
  if (!error.isEmpty()) {
    printError(error.toStdString());
    return 2;
  }
  return 0;
}

}  // namespace meterstation::trends
