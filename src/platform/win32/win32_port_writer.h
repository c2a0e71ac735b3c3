#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "platform/result.h"
#include "platform/serial/port_news.h"
#include "platform/win32/win32_comm.h"

namespace meterstation {

// The thread that sends one open port's output: it writes what it is
// handed, in order, then waits until the port has sent it all
// (FlushFileBuffers), so that the event thread never waits for the line.
// A failure goes to the news, and the output not yet sent with it. The
// port and the news stay the owner's and must outlive the writer.
class Win32PortWriter {
 public:
  // postIdle is called from the writer's thread each time everything
  // handed over has left the port.
  Win32PortWriter(HANDLE port, PortNews& news, std::function<void()> postIdle);
  // Stops the thread, dropping the output that has not left, and waits
  // for it.
  ~Win32PortWriter();
  Win32PortWriter(const Win32PortWriter&) = delete;
  Win32PortWriter& operator=(const Win32PortWriter&) = delete;

  Result start();

  // Queues the bytes and returns at once.
  void write(const std::string& bytes);
  // Nothing queued, being written or waiting to leave the port.
  bool idle() const;
  // Waits until idle or failed; false when the deadline came first.
  bool waitUntilIdle(std::chrono::steady_clock::time_point deadline);

 private:
  enum class Step { Write, Flush, Wait };
  void run();
  Step nextStep(std::string& chunk);
  bool writeAll(const std::string& chunk);
  void flushed();
  bool idleLocked() const { return queued_.empty() && !busy_ && !unflushed_; }

  const HANDLE port_;
  PortNews& news_;
  const std::function<void()> postIdle_;
  OwnedHandle stop_;
  OwnedHandle work_;
  OwnedHandle writeDone_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string queued_;      // handed over, not yet written
  bool busy_ = false;       // a write or a flush under way
  bool unflushed_ = false;  // written, not yet known to have left
  bool failed_ = false;
  std::thread thread_;
};

}  // namespace meterstation
