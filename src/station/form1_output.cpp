#include "output/set_files.h"
#include "station/form1.h"

namespace meterstation {

void Form1::WriteSetFiles() {
  restoreTailSpace(state_.dbRecord);
  const CountdownStep step = databaseCountdown(state_.dbCountdown, state_.dbInterval);
  const std::string line = state_.dbRecord + "\r\n";
  // The journal learns of the completion first: after a crash it tells a
  // set that reached its database from one that did not.
  journalCompletion(step.writeLine ? std::optional<std::string>(line) : std::nullopt);
  if (step.writeLine) appendLine(kDatabaseFile, line);
  publishSet(step.writeLine);
  state_.dbCountdown = step.countdownAfter;
  replaceFile(kSnapshotFile, snapshotFileText(state_.readingLog));
  appendLine(kUsageFile, usageLine(state_.readingLog));
  replaceFile(kTimesFile, timesFileText(state_.timeLog));
  // The set's line is in its file or safely waiting: the journal has done
  // its work.
  clearJournal();
}

}  // namespace meterstation
