#pragma once

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/result.h"
#include "processor-sim/burst_plan.h"

namespace meterstation::sim {

// What the simulator tells: with a log file, one line per burst there
// ("12.345 reading 01,...\r\n"), notes as "12.345 # ..." lines and a
// summary at the end; without one, the same as short progress lines on
// stderr unless quiet. Warnings always reach stderr as well.
class BurstLog {
 public:
  explicit BurstLog(bool quiet);
  BurstLog(const BurstLog&) = delete;
  BurstLog& operator=(const BurstLog&) = delete;
  ~BurstLog();

  Result openFile(const std::string& path);

  // A burst that went out whole, or a hang-up or return with its detail.
  void record(BurstKind kind, std::string_view textOrDetail);
  void note(const std::string& text);
  void warning(const std::string& text);
  // A failure that ends the run.
  void error(const std::string& text);
  // "summary sync 1, reading 16, ..."
  void summary();

 private:
  void line(const std::string& text, bool progress);

  bool quiet_;
  std::FILE* file_ = nullptr;
  std::chrono::steady_clock::time_point start_;
  std::array<long, kBurstKindCount> counts_{};
};

}  // namespace meterstation::sim
