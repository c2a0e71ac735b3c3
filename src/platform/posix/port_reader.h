#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/result.h"
#include "platform/serial/port_device.h"

namespace meterstation {

// Why a port stopped reading: the other end hung up, a read or a write
// failed.
struct PortFailure {
  PortError error;
  std::string reason;
};

// The thread that reads one open terminal: it reads bytes the moment they
// arrive and stamps them then, whatever the event thread is busy with, and
// writes the output the driver could not take at once. It ends at the
// first failure; what it read before stays to be taken. The descriptor
// stays the owner's and must outlive the reader.
class PortReader {
 public:
  // postNews is called from the reader's thread when bytes or a failure
  // wait and the news posted before has been taken; postHandedOver when
  // the last held output has gone to the driver.
  PortReader(int fd, std::function<void()> postNews, std::function<void()> postHandedOver);
  // Stops the thread and waits for it; no post is made once this returns.
  ~PortReader();
  PortReader(const PortReader&) = delete;
  PortReader& operator=(const PortReader&) = delete;

  Result start();

  // What the news is when it is taken: whether bytes wait, and the failure
  // unless it was told before. The failure comes with the bytes read
  // before it, so whoever reads them on the bytes' news has them all.
  struct News {
    bool bytes = false;
    std::optional<PortFailure> failure;
  };
  News takeNews();
  std::vector<Arrival> takeArrivals();

  // Writes what the driver takes at once and holds the rest, which the
  // thread writes as the driver takes it; never waits.
  Result write(const std::string& bytes);
  bool holdsOutput() const;
  // Waits until nothing is held; false when the deadline came first.
  bool waitUntilHandedOver(std::chrono::steady_clock::time_point deadline);
  std::optional<PortFailure> failure() const;

 private:
  void run();
  bool readOnce(short events);
  bool writeHeld();
  void queue(std::string bytes);
  void fail(PortFailure failure);
  PortFailure lineFailure(PortError error, int errorNumber) const;
  void wake();
  void emptyWakePipe();

  const int fd_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  const std::function<void()> postNews_;
  const std::function<void()> postHandedOver_;

  mutable std::mutex mutex_;
  std::condition_variable handedOver_;
  std::vector<Arrival> arrivals_;
  std::string held_;  // written, not yet taken by the driver
  std::optional<PortFailure> failure_;
  bool failureTold_ = false;
  bool newsPosted_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace meterstation
