#pragma once

#include <optional>
#include <string>

namespace meterstation {

inline constexpr const char* kDatabaseFile = "qn.db1";
inline constexpr const char* kTornLineFile = "qn.db1.partial";
inline constexpr const char* kSnapshotFile = "ct.tsr";
inline constexpr const char* kUsageFile = "usage.tsr";
inline constexpr const char* kTimesFile = "quell2.tsr";
inline constexpr const char* kScratchFile = "cp.txt";
inline constexpr const char* kAlarmLogFile = "alarmlog.txt";
inline constexpr const char* kRejectsFile = "rejects.txt";

// A reading moved into slot 16 brings its following comma into the tail;
// the line always ends in two spaces.
void restoreTailSpace(std::string& dbRecord);

// "ct.tsr": the set's reading log, cut at 320 characters, and CR LF.
std::string snapshotFileText(const std::string& readingLog);
// One "usage.tsr" append: the log cut at 318, so the write's own CR LF
// takes the place of the log's last one and sets join without a gap.
std::string usageLine(const std::string& readingLog);
// "quell2.tsr": the set's time log, cut at 336 characters, and CR LF.
std::string timesFileText(const std::string& timeLog);

struct CountdownStep {
  bool writeLine = false;
  double countdownAfter = 0;
};
// With the countdown above 0 the set only counts down; otherwise its line
// is written and the countdown starts again from the interval.
CountdownStep databaseCountdown(double countdown, double interval);

// Where a database file whose last line was torn (no CR LF at its end) must
// be cut: just after its last CR LF. nullopt when it is whole.
std::optional<std::size_t> tornLineStart(const std::string& bytes);

}  // namespace meterstation
