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

TailRepair tailRepairOf(const std::string& bytes) {
  TailRepair repair;
  if (bytes.empty() || bytes.back() == '\n') return repair;
  const std::size_t lastLf = bytes.rfind('\n');
  repair.tailStart = lastLf == std::string::npos ? 0 : lastLf + 1;
  repair.tail = bytes.substr(repair.tailStart);
  repair.kind = bytes.back() == '\r' ? TailRepair::Kind::AddLf : TailRepair::Kind::CutTail;
  return repair;
}

std::string partialFileOf(const std::string& name) { return name + ".partial"; }

}  // namespace meterstation
