#pragma once

#include <string>

#include "platform/result.h"

namespace meterstation::sim {

// The simulator's end of the serial line: a pseudo-terminal's master or a
// real serial device, always non-blocking.
class Line {
 public:
  virtual ~Line() = default;

  // Opens the line anew (after a hang-up, a new pseudo-terminal).
  virtual Result open() = 0;
  virtual void close() = 0;
  // -1 while closed.
  virtual int fd() const = 0;
  // The path the station opens.
  virtual std::string name() const = 0;

  // Whether the line can tell that nobody is at the far end. A
  // pseudo-terminal can: the station's closing shows as a hang-up on the
  // master and the line stays ours to wait on. A real device cannot, so a
  // failing device is closed and opened again instead.
  virtual bool seesFarEnd() const = 0;
  virtual bool farEndOpen() = 0;
  // Throws away what was written and not yet read by the far end, so that
  // a station opening the line later does not start in a torn burst.
  virtual void dropUnread() = 0;
};

}  // namespace meterstation::sim
