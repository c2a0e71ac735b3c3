#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace meterstation::dbline {

// One line as the cutter hands it on, valid only during the call.
struct LineView {
  std::size_t number = 0;  // 1-based
  std::string_view text;   // without CR LF; at most the cutter's limit
  bool torn = false;       // the bytes so far end before its CR LF
  std::size_t length = 0;  // its whole length, also past the limit
};

// Cuts bytes that arrive in pieces at CR LF, exactly as splitLines cuts a
// whole file, so a file can be read in chunks, or followed while it grows,
// without holding all of it. Only an unfinished line is copied; beyond
// keepLimit bytes of it only its length is counted, so garbage without a
// line end cannot fill the memory.
class LineCutter {
 public:
  using Sink = std::function<void(const LineView&)>;

  explicit LineCutter(std::size_t keepLimit = std::numeric_limits<std::size_t>::max())
      : keepLimit_(keepLimit) {}

  void feed(std::string_view bytes, const Sink& sink);

  // The unfinished last line, torn as far as the bytes so far go.
  std::optional<LineView> pending() const;

  // Forgets the unfinished line and returns how many bytes it had, so that
  // a reader can read them again from the file (which may have changed).
  std::size_t dropPending();

 private:
  void hold(std::string_view bytes);
  void emitHeld(const Sink& sink);

  std::size_t keepLimit_;
  std::size_t nextNumber_ = 1;
  std::string held_;
  std::size_t heldLength_ = 0;
  bool heldEndsInCr_ = false;
};

}  // namespace meterstation::dbline
