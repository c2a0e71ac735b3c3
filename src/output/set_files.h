#pragma once

#include <optional>
#include <string>

#include "text/station_names.h"

namespace meterstation {

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

// What an appended file needs before its first append of a run. Only the
// bytes after its last LF can be the torn tail of an append a power cut
// interrupted; everything up to that LF stays where it is, whatever its
// line ends or lengths.
struct TailRepair {
  enum class Kind {
    None,     // empty, or ends in LF
    AddLf,    // a whole line missing only its LF (it ends in CR)
    CutTail,  // a torn tail: kept aside in "<name>.partial" and cut off
  };
  Kind kind = Kind::None;
  std::size_t tailStart = 0;
  std::string tail;
};
TailRepair tailRepairOf(const std::string& bytes);

// "<name>.partial", where the torn tail of an appended file is kept.
std::string partialFileOf(const std::string& name);

}  // namespace meterstation
