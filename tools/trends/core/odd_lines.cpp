#include "trends/core/odd_lines.h"

namespace meterstation::trends {

std::string reportText(const OddLine& odd) {
  return "line " + std::to_string(odd.number) + ": " + odd.why +
         (odd.wholeLine ? " (skipped)" : " (value skipped)");
}

void OddLineList::add(OddLine odd) {
  ++count_;
  if (kept_.size() < keep_) kept_.push_back(std::move(odd));
}

}  // namespace meterstation::trends
