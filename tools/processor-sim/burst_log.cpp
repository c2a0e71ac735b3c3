#include "processor-sim/burst_log.h"

#include <cerrno>
#include <cstring>

#include "processor-sim/visible_text.h"

namespace meterstation::sim {

BurstLog::BurstLog(bool quiet) : quiet_(quiet), start_(std::chrono::steady_clock::now()) {}

BurstLog::~BurstLog() {
  if (file_ != nullptr) std::fclose(file_);
}

Result BurstLog::openFile(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  if (file_ == nullptr)
    return Result::failure("cannot write the log " + path + ": " + std::strerror(errno));
  return Result::success();
}

void BurstLog::record(BurstKind kind, std::string_view textOrDetail) {
  ++counts_[static_cast<std::size_t>(kind)];
  const bool isText = kind != BurstKind::Hangup && kind != BurstKind::Back;
  line(std::string(kindName(kind)) + " " +
           (isText ? visibleText(textOrDetail) : std::string(textOrDetail)),
       true);
}

void BurstLog::note(const std::string& text) {
  if (file_ != nullptr)
    line("# " + text, false);
  else
    line(text, true);
}

void BurstLog::warning(const std::string& text) {
  std::fprintf(stderr, "processor-sim: warning: %s\n", text.c_str());
  if (file_ != nullptr) line("# warning: " + text, false);
}

void BurstLog::error(const std::string& text) {
  std::fprintf(stderr, "processor-sim: %s\n", text.c_str());
  if (file_ != nullptr) line("# error: " + text, false);
}

void BurstLog::summary() {
  std::string text = "summary";
  for (int i = 0; i < kBurstKindCount; ++i) {
    text += i == 0 ? " " : ", ";
    text += kindName(static_cast<BurstKind>(i));
    text += " " + std::to_string(counts_[static_cast<std::size_t>(i)]);
  }
  line(text, true);
}

void BurstLog::line(const std::string& text, bool progress) {
  if (file_ != nullptr) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    std::fprintf(file_, "%lld.%03lld %s\n", static_cast<long long>(elapsed.count() / 1000),
                 static_cast<long long>(elapsed.count() % 1000), text.c_str());
    // Flushed line by line: a test or an operator reads it while we run.
    std::fflush(file_);
  } else if (progress && !quiet_) {
    std::fprintf(stderr, "processor-sim: %s\n", text.c_str());
  }
}

}  // namespace meterstation::sim
