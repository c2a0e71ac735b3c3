#pragma once

#include <string>
#include <utility>

namespace meterstation {

// Outcome of a platform operation. Failures come back as values with the
// system's reason; nothing throws across the platform boundary.
struct [[nodiscard]] Result {
  bool ok = true;
  std::string error;

  static Result success() { return {}; }
  static Result failure(std::string reason) { return {false, std::move(reason)}; }
  explicit operator bool() const { return ok; }
};

}  // namespace meterstation
