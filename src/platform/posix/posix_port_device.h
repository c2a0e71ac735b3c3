#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/output_drain.h"
#include "platform/posix/port_reader.h"
#include "platform/serial/port_device.h"
#include "platform/serial/port_news.h"
#include "platform/serial/port_notifier.h"

namespace meterstation {

// A serial device through the terminal interface. A thread of its own
// reads and stamps the bytes as they arrive, and writes what the driver
// could not take at once; output is drained on yet another thread. The
// listener hears of it all on the event thread only, and no call here
// waits for the line but finishOutput at the end of the program.
class PosixPortDevice : public PortDevice {
 public:
  using EventThreadPost = PortNotifier::EventThreadPost;

  explicit PosixPortDevice(EventThreadPost toEventThread);
  ~PosixPortDevice() override;
  PosixPortDevice(const PosixPortDevice&) = delete;
  PosixPortDevice& operator=(const PosixPortDevice&) = delete;

  void setListener(PortListener* listener) override;
  Result open(int port, const LineSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  std::vector<Arrival> read() override;
  Result write(const std::string& bytes) override;
  bool outputPending() const override;
  Result finishOutput(int timeoutMs) override;

 private:
  Result takeLine(const std::string& device, const LineSettings& settings);
  void closePort();
  void handedOver();
  void startDrain();
  void drainEnded();

  PortNotifier notifier_;
  int fd_ = -1;
  int lockFd_ = -1;
  std::unique_ptr<OutputDrain> drain_;
  std::unique_ptr<PortNews> news_;
  std::unique_ptr<PortReader> reader_;
  bool outputPending_ = false;  // written, not yet known to have left
  bool handingOver_ = false;    // part of it still held for the driver
};

}  // namespace meterstation
