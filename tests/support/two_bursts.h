#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial/port_device.h"
#include "support/wait_until.h"

namespace meterstation::testsupport {

// Two chunks sent to a device with a pause between them, as a processor
// sends two readings, and the moments just before each was sent: the
// device's stamps must tell them apart whenever it is read.
struct TwoBursts {
  // Bytes a cooked line would translate, swallow or take for a signal.
  std::string first = std::string("\x03\r\n\0\xff 12.5", 10);
  std::string second = "B\r\n";
  Instant beforeFirst{};
  Instant beforeSecond{};

  // send(bytes) is the far end's write; false when a send failed.
  template <typename Send>
  bool sendApart(Send&& send) {
    beforeFirst = std::chrono::steady_clock::now();
    if (!send(first)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    beforeSecond = std::chrono::steady_clock::now();
    return send(second);
  }

  // Reads the device until both have come, and checks that each chunk
  // kept its bytes and the moment it came.
  void expectReadFrom(PortDevice& device) const {
    std::vector<Arrival> arrivals;
    std::string bytes;
    ASSERT_TRUE(waitUntil(
        [&] {
          const std::vector<Arrival> more = device.read();
          for (const Arrival& arrival : more) bytes += arrival.bytes;
          arrivals.insert(arrivals.end(), more.begin(), more.end());
          return bytes.size() >= first.size() + second.size();
        },
        std::chrono::seconds(5)));
    EXPECT_EQ(bytes, first + second);
    expectStamped(arrivals);
  }

 private:
  void expectStamped(const std::vector<Arrival>& arrivals) const {
    std::size_t firstChunks = 0;
    for (std::string seen; seen.size() < first.size(); ++firstChunks) {
      seen += arrivals[firstChunks].bytes;
    }
    ASSERT_LT(firstChunks, arrivals.size());
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
      const bool ofFirst = i < firstChunks;
      EXPECT_GE(arrivals[i].at, ofFirst ? beforeFirst : beforeSecond) << i;
      if (ofFirst) {
        EXPECT_LT(arrivals[i].at, beforeSecond) << i;
      }
      if (i > 0) {
        EXPECT_GE(arrivals[i].at, arrivals[i - 1].at) << i;
      }
    }
    EXPECT_GE(arrivals[firstChunks].at - arrivals[firstChunks - 1].at,
              std::chrono::milliseconds(200));
  }
};

}  // namespace meterstation::testsupport
