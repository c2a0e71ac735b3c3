#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/result.h"
#include "platform/serial/port_news.h"

namespace meterstation {

// The thread that reads one open terminal: it reads bytes the moment they
// arrive and stamps them then, whatever the event thread is busy with, and
// writes the output the driver could not take at once. It ends at the
// first failure; what it read before stays in the news. The descriptor
// and the news stay the owner's and must outlive the reader.
class PortReader {
 public:
  // postHandedOver is called from the reader's thread when the last held
  // output has gone to the driver.
  PortReader(int fd, PortNews& news, std::function<void()> postHandedOver);
  // Stops the thread and waits for it; no post is made once this returns.
  ~PortReader();
  PortReader(const PortReader&) = delete;
  PortReader& operator=(const PortReader&) = delete;

  Result start();

  // Writes what the driver takes at once and holds the rest, which the
  // thread writes as the driver takes it; never waits.
  Result write(const std::string& bytes);
  bool holdsOutput() const;
  // Waits until nothing is held; false when the deadline came first.
  bool waitUntilHandedOver(std::chrono::steady_clock::time_point deadline);

 private:
  void run();
  bool readOnce(short events);
  bool writeHeld();
  void fail(PortFailure failure);
  PortFailure lineFailure(PortError error, int errorNumber) const;
  void wake();
  void emptyWakePipe();

  const int fd_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  PortNews& news_;
  const std::function<void()> postHandedOver_;

  mutable std::mutex mutex_;
  std::condition_variable handedOver_;
  std::string held_;  // written, not yet taken by the driver
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace meterstation
