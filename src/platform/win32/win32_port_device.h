#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/port_device.h"
#include "platform/serial/port_news.h"
#include "platform/serial/port_notifier.h"
#include "platform/win32/win32_comm.h"
#include "platform/win32/win32_port_reader.h"
#include "platform/win32/win32_port_writer.h"

namespace meterstation {

// A serial device through Win32's communications functions. A thread of
// its own reads and stamps the bytes as they arrive, another writes the
// output and waits for it to leave; both use overlapped operations on the
// one handle, so neither holds up the other. The listener hears of it all
// on the event thread only, and no call here waits for the line but
// finishOutput at the end of the program.
class Win32PortDevice : public PortDevice {
 public:
  using EventThreadPost = PortNotifier::EventThreadPost;

  explicit Win32PortDevice(EventThreadPost toEventThread);
  ~Win32PortDevice() override;
  Win32PortDevice(const Win32PortDevice&) = delete;
  Win32PortDevice& operator=(const Win32PortDevice&) = delete;

  void setListener(PortListener* listener) override;
  Result open(int port, const LineSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  std::vector<Arrival> read() override;
  Result write(const std::string& bytes) override;
  bool outputPending() const override;
  Result finishOutput(int timeoutMs) override;

 private:
  Result startThreads();
  void closePort();
  void drainEnded();

  PortNotifier notifier_;
  CommPort port_;
  std::unique_ptr<PortNews> news_;
  std::unique_ptr<Win32PortReader> reader_;
  std::unique_ptr<Win32PortWriter> writer_;
  bool outputPending_ = false;  // written, not yet known to have left
};

}  // namespace meterstation
