#pragma once

#include <string>

#include "platform/serial/line_settings.h"
#include "platform/serial/link_scheduler.h"
#include "platform/serial/port_device.h"
#include "platform/serial/receive_sequence.h"
#include "platform/serial_port.h"
#include "platform/station_events.h"

namespace meterstation {

// The station's serial port as a state machine over one device. What the
// device reports becomes the station's notifications; which failures lose
// the port, that a loss is told once, and the reopening every period are
// decided here and nowhere else. The link also keeps the quiet-period
// timer, so that arrivals and the ends of quiet periods reach the station
// in the order they happened (see ReceiveSequence).
//
//   Closed   --open-->                           Open
//   Closed   --retryOpenUntilBack-->             Waiting
//   Open     --a failure that loses the port-->  Failing (handled on the next turn)
//   Failing  --next turn: close, PortLost-->     Lost
//   Lost, Waiting --a reopen tick opens it-->    Open (PortBack)
//   Open     --close while output is leaving-->  Stopping
//   Stopping --drained, or its bound passed-->   Closed
//   any      --close, or another port chosen-->  Closed (Stopping stays until it ends)
class SerialLink : public SerialPort, private PortListener {
 public:
  enum class State { Closed, Open, Failing, Lost, Waiting, Stopping };

  static constexpr int kReopenPeriodMs = 2000;
  // Bytes can sit in the driver and the adapter after the device has taken
  // them; this much on top of the line time covers that.
  static constexpr int kSendMarginMs = 2000;

  SerialLink(PortDevice& device, LinkScheduler& scheduler, int reopenPeriodMs = kReopenPeriodMs);
  // Output still leaving is given the rest of its bound: the program may
  // end right after the stop command.
  ~SerialLink() override;
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Notifications go nowhere until the port is bound to the station.
  void bind(StationEvents& events);
  State state() const { return state_; }
  // The quiet-period timer whose ticks go to Timer1_Timer: its countdowns
  // run from the arrival stamps of the bytes that restarted them.
  Timer& quietTimer() { return sequence_; }

  void setCommPort(int port) override;
  int commPort() const override;
  void setSettings(const std::string& settings) override;
  std::string settings() const override;

  bool portOpen() const override;
  Result setPortOpen(bool open) override;
  void retryOpenUntilBack() override;
  int reopenPeriodMs() const override;

  std::string input() override;
  Result output(const std::string& bytes) override;

  CommEvent commEvent() const override;
  std::string commEventText() const override;
  int commEventRetryMs() const override;

 private:
  void portReadable() override;
  void portFailed(PortError error, const std::string& reason) override;
  void portDrained() override;

  Result openDevice();
  void closeOrStop();
  void finishStopping();
  void endStopping();
  void outputOverdue();
  void startReopening(State reopening);
  void stopReopening();
  void loseDevice(const std::string& reason);
  void tryReopen();
  void collectArrivals();
  void deliverArrival(const Arrival& arrival);
  void quietPeriodEnded();
  void notify(CommEvent event, const std::string& text, int retryMs = 0);
  void raise(CommEvent event, const std::string& text, int retryMs);

  PortDevice& device_;
  LinkScheduler& scheduler_;
  ReceiveSequence sequence_;
  const int reopenPeriodMs_;
  StationEvents* events_ = nullptr;
  State state_ = State::Closed;
  int commPort_ = 1;
  std::string settingsText_ = "300,N,8,1";
  ParsedLineSettings settings_;
  std::string received_;
  int drainBoundMs_ = 0;  // how long the output written last may take to leave
  unsigned opens_ = 0;    // tells the failure of an earlier open from one of this open
  int stationCalls_ = 0;  // calls of the station under way: notifications wait for them
  CommEvent commEvent_ = CommEvent::Other;
  std::string commEventText_;
  int commEventRetryMs_ = 0;
};

}  // namespace meterstation
