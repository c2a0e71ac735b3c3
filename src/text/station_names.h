#pragma once

// The station's shared constants, at the bottom of the layers so that
// every layer above can name them without reaching upwards.
namespace meterstation {

// Per-meter tables have entries 0 to 17; meters use 1 to 16.
inline constexpr int kMeterSlots = 18;

// The files of the working directory.
inline constexpr const char* kDatabaseFile = "qn.db1";
inline constexpr const char* kSnapshotFile = "ct.tsr";
inline constexpr const char* kUsageFile = "usage.tsr";
inline constexpr const char* kTimesFile = "quell2.tsr";
inline constexpr const char* kScratchFile = "cp.txt";
inline constexpr const char* kAlarmLogFile = "alarmlog.txt";
inline constexpr const char* kRejectsFile = "rejects.txt";
inline constexpr const char* kDefaultsFile = "quell.dat";
inline constexpr const char* kMeterTableFile = "ct.dat";
inline constexpr const char* kBillTemplateFile = "quell.txt";
inline constexpr const char* kJournalFile = "set-in-progress.jnl";
inline constexpr const char* kIncompleteSetsFile = "incomplete-sets.txt";

}  // namespace meterstation
