#include "output/set_files.h"

#include "text/text_util.h"

namespace meterstation {

void restoreTailSpace(std::string& dbRecord) {
  overwrite(dbRecord, static_cast<std::int64_t>(dbRecord.size()) - 1, " ");
}

std::string snapshotFileText(const std::string& readingLog) {
  return piece(readingLog, 1, 320) + "\r\n";
}

std::string usageLine(const std::string& readingLog) { return piece(readingLog, 1, 318) + "\r\n"; }

std::string timesFileText(const std::string& timeLog) { return piece(timeLog, 1, 336) + "\r\n"; }

CountdownStep databaseCountdown(double countdown, double interval) {
  if (countdown > 0) return {false, countdown - 1};
  return {true, interval};
}

std::optional<std::size_t> tornLineStart(const std::string& bytes) {
  if (bytes.empty() || bytes.ends_with("\r\n")) return std::nullopt;
  const std::size_t lastEnd = bytes.rfind("\r\n");
  return lastEnd == std::string::npos ? 0 : lastEnd + 2;
}

}  // namespace meterstation
