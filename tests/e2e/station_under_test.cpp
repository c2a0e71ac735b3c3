#include "e2e/station_under_test.h"

#include <QTextStream>

namespace meterstation::e2e {

namespace {

std::string unescape(const std::string& shown) {
  std::string out;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] != '\\' || i + 1 >= shown.size()) {
      out += shown[i];
      continue;
    }
    const char c = shown[++i];
    if (c == 'r') {
      out += '\r';
    } else if (c == 'n') {
      out += '\n';
    } else if (c == 't') {
      out += '\t';
    } else if (c == 'x' && i + 2 < shown.size()) {
      out += static_cast<char>(std::stoi(shown.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> Simulator::sent(const std::string& kind) const {
  std::vector<std::string> out;
  QFile file(log);
  if (!file.open(QIODevice::ReadOnly)) return out;
  const std::string prefix = kind + " ";
  while (!file.atEnd()) {
    std::string line = file.readLine().toStdString();
    if (!line.empty() && line.back() == '\n') line.pop_back();
    // "<seconds> <kind> <text>"
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string rest = line.substr(space + 1);
    if (rest.rfind(prefix, 0) == 0) out.push_back(unescape(rest.substr(prefix.size())));
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

std::string readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

}  // namespace meterstation::e2e
