#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meterstation::sim {

// "AT TESSARO:", the count byte, CR, LF: all the station ever sends.
inline constexpr std::string_view kStopHeader = "AT TESSARO:";
inline constexpr std::size_t kStopCommandSize = 14;

struct StopCommand {
  int count = 0;      // the count byte, 0..255
  std::string bytes;  // the 14 bytes as received
};

struct DecodedInput {
  // Bytes that cannot be part of a stop command, in arrival order.
  std::string ignored;
  std::optional<StopCommand> stop;
};

// Finds the stop command in what the station sends, however the reads cut
// it and whatever precedes it.
class StopCommandDecoder {
 public:
  // Takes the bytes of one read. A possible start of the command is held
  // back until later bytes settle it.
  DecodedInput feed(std::string_view bytes);
  // Gives up the held-back bytes, when the line is gone and they can no
  // longer be completed.
  std::string discardPending();

 private:
  std::string pending_;
};

// "stop command received: count 3 (bytes: 41 54 ... 0d 0a)"
std::string describeStopCommand(const StopCommand& command);

}  // namespace meterstation::sim
