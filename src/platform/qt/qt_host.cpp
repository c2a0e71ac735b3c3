#include "platform/qt/qt_host.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>

namespace meterstation {

std::string QtHost::recoveryDirectory() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (dir.isEmpty() || !QDir().mkpath(dir)) return {};
  return QDir::toNativeSeparators(dir).toStdString();
}

void QtHost::printError(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace meterstation
