#include "dbline/line_cutter.h"

#include <algorithm>

namespace meterstation::dbline {

void LineCutter::feed(std::string_view bytes, const Sink& sink) {
  std::size_t pos = 0;
  if (heldLength_ > 0) {
    if (heldEndsInCr_ && !bytes.empty() && bytes.front() == '\n') {
      // The CR LF was split between two pieces.
      if (held_.size() == heldLength_) held_.pop_back();
      --heldLength_;
      emitHeld(sink);
      pos = 1;
    } else {
      const std::size_t end = bytes.find("\r\n");
      if (end == std::string_view::npos) {
        hold(bytes);
        return;
      }
      hold(bytes.substr(0, end));
      emitHeld(sink);
      pos = end + 2;
    }
  }
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string_view::npos) {
      hold(bytes.substr(pos));
      return;
    }
    const std::string_view text = bytes.substr(pos, end - pos);
    const std::size_t length = text.size();
    sink({nextNumber_++, text.substr(0, std::min(length, keepLimit_)), false, length});
    pos = end + 2;
  }
}

std::optional<LineView> LineCutter::pending() const {
  if (heldLength_ == 0) return std::nullopt;
  return LineView{nextNumber_, held_, true, heldLength_};
}

std::size_t LineCutter::dropPending() {
  const std::size_t dropped = heldLength_;
  held_.clear();
  heldLength_ = 0;
  heldEndsInCr_ = false;
  return dropped;
}

void LineCutter::hold(std::string_view bytes) {
  if (bytes.empty()) return;
  const std::size_t room = keepLimit_ > held_.size() ? keepLimit_ - held_.size() : 0;
  held_.append(bytes.substr(0, std::min(room, bytes.size())));
  heldLength_ += bytes.size();
  heldEndsInCr_ = bytes.back() == '\r';
}

void LineCutter::emitHeld(const Sink& sink) {
  sink({nextNumber_++, held_, false, heldLength_});
  dropPending();
}

}  // namespace meterstation::dbline
