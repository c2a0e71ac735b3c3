#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace meterstation::trends {

// A line not drawn, or drawn without some of its values, and why: the
// same words db2csv uses, so both tools name the same fault the same way.
struct OddLine {
  std::size_t number = 0;
  std::string why;
  bool wholeLine = true;  // false: only values that are not numbers left out
};

// "line 7: torn: the file ends without CR LF (skipped)".
std::string reportText(const OddLine& odd);

// Every odd line is counted; the first `keep` are kept to be listed, so a
// file of garbage cannot fill the memory with reasons.
class OddLineList {
 public:
  explicit OddLineList(std::size_t keep = 10000) : keep_(keep) {}
  void add(OddLine odd);
  std::size_t count() const { return count_; }
  const std::vector<OddLine>& kept() const { return kept_; }

 private:
  std::size_t keep_;
  std::size_t count_ = 0;
  std::vector<OddLine> kept_;
};

}  // namespace meterstation::trends
