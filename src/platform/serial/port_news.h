#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial/port_device.h"

namespace meterstation {

// Why a port stopped reading: the other end hung up, a read or a write
// failed.
struct PortFailure {
  PortError error;
  std::string reason;
};

// What a port's threads have for the event thread: the chunks read, each
// with the moment it came, and the first failure. At most one call is
// posted to the event thread until it takes the news.
class PortNews {
 public:
  // postNews is called from the threads, never under the lock.
  explicit PortNews(std::function<void()> postNews);
  PortNews(const PortNews&) = delete;
  PortNews& operator=(const PortNews&) = delete;

  // Stamped under the lock: whoever takes the queue then finds every
  // chunk stamped before it took it, and may judge a quiet period over by
  // that.
  void queue(std::string bytes);
  // Only the first failure counts: a port that is gone fails its reads
  // and its writes alike.
  void fail(PortFailure failure);

  // Whether bytes wait, and the failure unless it was told before. The
  // failure comes with the bytes read before it, so whoever reads them on
  // the bytes' news has them all.
  struct News {
    bool bytes = false;
    std::optional<PortFailure> failure;
  };
  News take();
  std::vector<Arrival> takeArrivals();
  std::optional<PortFailure> failure() const;

 private:
  const std::function<void()> postNews_;
  mutable std::mutex mutex_;
  std::vector<Arrival> arrivals_;
  std::optional<PortFailure> failure_;
  bool failureTold_ = false;
  bool newsPosted_ = false;
};

}  // namespace meterstation
