#include "platform/qt/qt_host.h"

#include <QDir>
#include <QStandardPaths>

#include <cstdio>

namespace meterstation {

std::string QtHost::dataDirectory() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (dir.isEmpty() || !QDir().mkpath(dir)) return {};
  return QDir::toNativeSeparators(dir).toStdString();
}

void QtHost::printError(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

LockOutcome QtHost::lock(const std::string& path) { return locks_.lock(path); }

void QtHost::unlock(const std::string& path) { locks_.unlock(path); }

int QtHost::processId() { return currentProcessId(); }

bool QtHost::processRunning(int pid) { return meterstation::processRunning(pid); }

// The separator of the paths the window shows and dataDirectory() gives.
char QtHost::pathSeparator() const { return QDir::separator().toLatin1(); }

}  // namespace meterstation
