#include "processor-sim/stop_command.h"

#include <algorithm>
#include <utility>

#include "processor-sim/visible_text.h"

namespace meterstation::sim {

namespace {

// Length of the longest tail of text[from..] that could still grow into the
// header.
std::size_t heldTail(const std::string& text, std::size_t from) {
  const std::size_t longest = std::min(kStopHeader.size() - 1, text.size() - from);
  for (std::size_t length = longest; length > 0; --length) {
    if (std::string_view(text).substr(text.size() - length) == kStopHeader.substr(0, length))
      return length;
  }
  return 0;
}

}  // namespace

DecodedInput StopCommandDecoder::feed(std::string_view bytes) {
  pending_.append(bytes);
  DecodedInput out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = pending_.find(kStopHeader, from);
    if (at == std::string::npos) {
      const std::size_t keep = heldTail(pending_, from);
      out.ignored += pending_.substr(from, pending_.size() - keep - from);
      pending_.erase(0, pending_.size() - keep);
      return out;
    }
    if (pending_.size() - at < kStopCommandSize) {
      out.ignored += pending_.substr(from, at - from);
      pending_.erase(0, at);
      return out;
    }
    if (pending_[at + 12] == '\r' && pending_[at + 13] == '\n') {
      out.ignored += pending_.substr(from, at - from);
      out.stop = StopCommand{static_cast<unsigned char>(pending_[at + 11]),
                             pending_.substr(at, kStopCommandSize)};
      pending_.erase(0, at + kStopCommandSize);
      return out;
    }
    // A header without its line end: its first byte is noise, and a real
    // command may still start inside the rest.
    out.ignored += pending_.substr(from, at + 1 - from);
    from = at + 1;
  }
}

std::string StopCommandDecoder::discardPending() { return std::exchange(pending_, std::string()); }

std::string describeStopCommand(const StopCommand& command) {
  return "stop command received: count " + std::to_string(command.count) +
         " (bytes: " + hexBytes(command.bytes) + ")";
}

}  // namespace meterstation::sim
