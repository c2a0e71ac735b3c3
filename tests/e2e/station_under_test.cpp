#include "e2e/station_under_test.h"

#include "support/burst_log_text.h"

namespace meterstation::e2e {

std::vector<std::string> Simulator::sent(const std::string& kind) const {
  std::vector<std::string> out;
  for (const testsupport::LoggedBurst& burst : testsupport::loggedBursts(readFile(log))) {
    if (burst.kind == kind) out.push_back(burst.text);
  }
  return out;
}

::testing::AssertionResult Simulator::finishes(int timeoutMs) {
  // waitForFinished says false for a process that already ended, which the
  // event loop may have noticed while the test waited for the station.
  if (process.state() == QProcess::NotRunning || process.waitForFinished(timeoutMs))
    return ::testing::AssertionSuccess();
  const std::string whole = readFile(log);
  std::size_t from = whole.size();
  for (int lines = 0; lines <= 25 && from > 0; ++lines) {
    const std::size_t end = whole.rfind('\n', from - 1);
    from = end == std::string::npos ? 0 : end;
  }
  return ::testing::AssertionFailure()
         << "processor-sim still running after " << timeoutMs << " ms; its log ends:\n"
         << whole.substr(from) << "\nstandard error:\n"
         << process.readAllStandardError().toStdString();
}

IsolatedUser::IsolatedUser(const QString& root)
    // Hidden, so that the directory list shows only the test's own.
    : config(root + "/.user/config"),
      data(root + "/.user/share"),
      home(root + "/.user/home"),
      cache(root + "/.user/cache") {
  const std::pair<const char*, QString> moved[] = {{"XDG_CONFIG_HOME", config},
                                                   {"XDG_DATA_HOME", data},
                                                   {"XDG_CACHE_HOME", cache},
                                                   {"HOME", home}};
  for (const auto& [name, dir] : moved) {
    QDir().mkpath(dir);
    saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
    qputenv(name, dir.toLocal8Bit());
  }
  oldName_ = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(QStringLiteral("meterstation"));
}

IsolatedUser::~IsolatedUser() {
  for (const Saved& old : saved_) {
    if (old.set) {
      qputenv(old.name, old.value);
    } else {
      qunsetenv(old.name);
    }
  }
  QCoreApplication::setApplicationName(oldName_);
}

std::string readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

}  // namespace meterstation::e2e
