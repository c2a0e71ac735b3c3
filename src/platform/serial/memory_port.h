#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial/port_device.h"

namespace meterstation {

// A serial device in memory, for tests: the test plays the line and the
// device. Like a real device it tells its listener at once, from inside
// whatever call brought the news, and only while it is open.
class MemoryPort : public PortDevice {
 public:
  // The line and the device, as the test drives them. deliver and raise
  // return whether the listener heard of it: a closed device tells nothing.
  // Bytes are stamped with the moment given, else with the clock's now.
  bool deliver(const std::string& bytes);
  bool deliver(const std::string& bytes, Instant at);
  // Bytes that arrive without the listener hearing of it yet, as on a
  // machine whose event thread is busy; tell() then says so.
  bool arriveUnheard(const std::string& bytes, Instant at);
  void tell();
  void setClock(std::function<Instant()> clock);
  bool raise(PortError error, const std::string& reason);
  // The next write is taken, but the device fails while sending it, as a
  // port does that breaks in the middle of a write.
  void failDuringNextWrite(PortError error, const std::string& reason);
  // The next write is refused outright with this reason.
  void refuseNextWrite(const std::string& reason);
  // Stalled, written bytes wait in the device; released, they leave and
  // the listener hears that the output has drained.
  void stallWrites(bool stalled);
  // Opens fail with this reason until the device comes back.
  void goAway(const std::string& reason);
  void comeBack();

  // What the test reads back.
  const std::string& sent() const { return sent_; }        // left the device
  const std::string& waiting() const { return waiting_; }  // written, not yet left
  int openedPort() const { return openedPort_; }
  const LineSettings& openedSettings() const { return openedSettings_; }
  int opens() const { return opens_; }
  // The bound of every finishOutput, in order.
  const std::vector<int>& finishBounds() const { return finishBounds_; }

  void setListener(PortListener* listener) override;
  Result open(int port, const LineSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  std::vector<Arrival> read() override;
  Result write(const std::string& bytes) override;
  bool outputPending() const override;
  Result finishOutput(int timeoutMs) override;

 private:
  void drain();

  PortListener* listener_ = nullptr;
  bool open_ = false;
  bool stalled_ = false;
  std::optional<std::string> refusal_;
  std::optional<std::pair<PortError, std::string>> writeFailure_;
  std::optional<std::string> writeRefusal_;
  std::function<Instant()> clock_;
  std::vector<Arrival> arrived_;
  std::string waiting_;
  std::string sent_;
  int openedPort_ = 0;
  LineSettings openedSettings_;
  int opens_ = 0;
  std::vector<int> finishBounds_;
};

}  // namespace meterstation
