#include "processor-sim/sim_options.h"

namespace meterstation::sim {

namespace {

const char* const kUsageAndLine = R"(Usage: processor-sim [options]

Plays the metering processor for the station: sixteen meters, one reading
per burst with silence between bursts, at 300 baud (300,N,8,1), on a
pseudo-terminal of its own or on a real serial port. It first sends one
synchronisation burst, which the station throws away, then the readings.
It ends with status 0 when the station sends its stop command
("AT TESSARO:", count byte, CR, LF), and prints the command on stdout.

Line:
  --link PATH         publish the pseudo-terminal as a symlink at PATH
                      (gone while a hang-up lasts, removed at exit)
  --device PATH       use a real serial device instead of a pseudo-terminal,
                      set to 300,N,8,1 raw (not with --link, --hangup-every)

Stream:
  --silence MS        silence between two bursts, default 3000; the station
                      needs more than its quiet interval (2000 by default)
  --sets N            send N sets of sixteen readings, then wait for the
                      stop command; default: endless
  --shuffle           send the meters of every set in a new random order
                      instead of 1..16
  --fast              write each burst at once instead of one character
                      every 33 1/3 ms
  --seed N            seed of the field values and faults, default 1; the
                      same seed gives the same stream
)";

const char* const kFaultsAndOutput = R"(
Faults (N counts meter readings; each is off unless given):
  --garbage-every N   after every N-th reading, a burst of random bytes
                      that is never a valid reading
  --nul-every N       every N-th reading carries NUL bytes inside it
  --short-every N     every N-th reading is cut short (fewer than seven
                      commas)
  --duplicate-every N every N-th reading reports the meter of the reading
                      before it in the set, so that meter comes twice
  --hangup-every N    after every N-th reading, close the pseudo-terminal so
                      the station loses the line, wait, and come back on a
                      new one (the --link symlink moves to it)
  --hangup-ms MS      how long the line stays away, default 3000
  When several faults fall on one reading, short goes before nul, and nul
  before duplicate.

Output:
  --log FILE          one line per burst: seconds since start, its kind
                      (sync reading garbage nul short duplicate hangup back)
                      and its text with control characters shown as \r \n
                      \t \xHH (NUL is \x00); a summary line with the counts
                      at exit
  --quiet             no progress lines on stderr (without --log, each burst
                      is reported there)
  --help              this text

Against the station, which opens port N from METERSTATION_COM<N>:
  processor-sim --link /tmp/ms/com1 &
  METERSTATION_COM1=/tmp/ms/com1 meterstation
then choose Com1 in the station. A quick run with faults:
  processor-sim --link /tmp/ms/com1 --sets 3 --shuffle --garbage-every 20 \
      --hangup-every 40 --log /tmp/ms/sim.log

Exit status: 0 after the stop command, 1 when the line cannot be opened,
2 for bad options, 128 + the signal number after SIGINT, SIGTERM or SIGHUP.
)";

}  // namespace

std::string helpText() { return std::string(kUsageAndLine) + kFaultsAndOutput; }

}  // namespace meterstation::sim
