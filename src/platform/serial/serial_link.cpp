#include "platform/serial/serial_link.h"

#include <algorithm>
#include <utility>

namespace meterstation {

namespace {

// The failures after which the device cannot be used any more. A refused
// option or a failed control request leaves a port that still carries
// data; a timeout only ends a wait.
bool losesPort(PortError error) {
  switch (error) {
    case PortError::Timeout:
    case PortError::UnsupportedOperation:
    case PortError::Unknown:
      return false;
    default:
      return true;
  }
}

// Counts a call of the station while it runs.
class CallScope {
 public:
  explicit CallScope(int& calls) : calls_(calls) { ++calls_; }
  ~CallScope() { --calls_; }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  int& calls_;
};

}  // namespace

SerialLink::SerialLink(PortDevice& device, LinkScheduler& scheduler, int reopenPeriodMs)
    : device_(device),
      scheduler_(scheduler),
      sequence_(scheduler),
      reopenPeriodMs_(reopenPeriodMs),
      settings_(parseLineSettings(settingsText_)) {
  device_.setListener(this);
  sequence_.setHandlers({[this] { collectArrivals(); },
                         [this](const Arrival& arrival) { deliverArrival(arrival); },
                         [this] { quietPeriodEnded(); }, [this] { return stationCalls_ > 0; }});
}

SerialLink::~SerialLink() {
  events_ = nullptr;
  scheduler_.stopRepeating();
  if (state_ == State::Stopping) finishStopping();
  scheduler_.stopDeadline();
  device_.close();
  device_.setListener(nullptr);
}

void SerialLink::bind(StationEvents& events) { events_ = &events; }

void SerialLink::setCommPort(int port) {
  stopReopening();
  if (portOpen()) return;
  commPort_ = port;
}

int SerialLink::commPort() const { return commPort_; }

void SerialLink::setSettings(const std::string& settings) {
  settingsText_ = settings;
  settings_ = parseLineSettings(settings);
}

std::string SerialLink::settings() const { return settingsText_; }

bool SerialLink::portOpen() const { return state_ == State::Open || state_ == State::Failing; }

Result SerialLink::setPortOpen(bool open) {
  const CallScope scope(stationCalls_);
  stopReopening();
  if (portOpen()) closeOrStop();
  if (!open) return Result::success();
  // The device is wanted again before the last output has left it: that
  // output gets the rest of its bound, which only this rare overlap waits.
  if (state_ == State::Stopping) finishStopping();
  return openDevice();
}

// A port the station closed on purpose, still finishing its output, is
// left to finish: only a failed open asks for attempts.
void SerialLink::retryOpenUntilBack() {
  if (state_ == State::Closed || state_ == State::Lost || state_ == State::Waiting) {
    startReopening(State::Waiting);
  }
}

int SerialLink::reopenPeriodMs() const { return reopenPeriodMs_; }

Result SerialLink::openDevice() {
  if (commPort_ < 1 || commPort_ > 4) {
    return Result::failure("there is no port COM" + std::to_string(commPort_) +
                           "; the ports are COM1 to COM4");
  }
  if (!settings_.ok) return Result::failure(settings_.error);
  scheduler_.stopDeadline();
  const Result opened = device_.open(commPort_, settings_.settings);
  if (!opened) return opened;
  ++opens_;
  state_ = State::Open;
  return Result::success();
}

// What has arrived is still handed over: it came while the port was open,
// and an armed quiet-period tick still wants it. What arrives once the
// station has closed the port is lost on the line.
void SerialLink::closeOrStop() {
  collectArrivals();
  sequence_.run();
  if (!device_.outputPending()) {
    device_.close();
    state_ = State::Closed;
    return;
  }
  state_ = State::Stopping;
  scheduler_.startDeadline(drainBoundMs_, [this] { endStopping(); });
}

void SerialLink::finishStopping() {
  (void)device_.finishOutput(drainBoundMs_);
  endStopping();
}

void SerialLink::endStopping() {
  if (state_ != State::Stopping) return;
  scheduler_.stopDeadline();
  device_.close();
  state_ = State::Closed;
}

void SerialLink::startReopening(State reopening) {
  state_ = reopening;
  scheduler_.startRepeating(reopenPeriodMs_, [this] { tryReopen(); });
}

void SerialLink::stopReopening() {
  scheduler_.stopRepeating();
  if (state_ == State::Lost || state_ == State::Waiting) state_ = State::Closed;
}

void SerialLink::portReadable() {
  if (!portOpen()) return;
  sequence_.run();
}

void SerialLink::collectArrivals() { sequence_.add(device_.read()); }

void SerialLink::deliverArrival(const Arrival& arrival) {
  received_ += arrival.bytes;
  raise(CommEvent::Receive, std::string(), 0);
}

void SerialLink::quietPeriodEnded() {
  if (events_ != nullptr) events_->Timer1_Timer();
}

void SerialLink::portFailed(PortError error, const std::string& reason) {
  // Failing: a lost device keeps failing for as long as it stays open, and
  // that flood is no news. Any other state: nothing is open for the station.
  if (state_ != State::Open || error == PortError::Timeout) return;
  if (!losesPort(error)) {
    notify(CommEvent::Other, reason);
    return;
  }
  // A device may not be closed from inside its own notifier: the loss is
  // handled on the next turn of the loop, unless the station has closed or
  // opened the port again by then.
  state_ = State::Failing;
  const unsigned failedOpen = opens_;
  scheduler_.post([this, reason, failedOpen] {
    if (state_ == State::Failing && failedOpen == opens_) loseDevice(reason);
  });
}

void SerialLink::portDrained() {
  if (state_ == State::Open) scheduler_.stopDeadline();
  endStopping();
}

void SerialLink::loseDevice(const std::string& reason) {
  collectArrivals();
  device_.close();
  startReopening(State::Lost);
  notify(CommEvent::PortLost, reason, reopenPeriodMs_);
}

void SerialLink::tryReopen() {
  if (state_ != State::Lost && state_ != State::Waiting) {
    scheduler_.stopRepeating();
    return;
  }
  if (!openDevice()) return;
  scheduler_.stopRepeating();
  notify(CommEvent::PortBack, std::string());
}

// Only what has been notified: bytes that came after the quiet period now
// ending belong to the next reading, however early the station asks.
std::string SerialLink::input() {
  std::string bytes;
  bytes.swap(received_);
  return bytes;
}

Result SerialLink::output(const std::string& bytes) {
  switch (state_) {
    case State::Waiting:
      return Result::failure("the port could not be opened yet");
    case State::Lost:
      return Result::failure("the port was lost and has not come back");
    case State::Closed:
    case State::Stopping:
      return Result::failure("the port is not open");
    case State::Open:
    case State::Failing:
      break;
  }
  if (bytes.empty()) return Result::success();
  const CallScope scope(stationCalls_);
  const bool earlierStillLeaving = device_.outputPending();
  const Result written = device_.write(bytes);
  if (!written) return written;
  const int lineTime = lineTimeMs(settings_.settings, bytes.size());
  drainBoundMs_ = earlierStillLeaving ? std::min(drainBoundMs_ + lineTime, 3600000 + kSendMarginMs)
                                      : lineTime + kSendMarginMs;
  // The station goes on after writing: bytes held back by the line (flow
  // control, a stuck driver) are reported once their time is up.
  scheduler_.startDeadline(drainBoundMs_, [this] { outputOverdue(); });
  return Result::success();
}

void SerialLink::outputOverdue() {
  if (state_ != State::Open || !device_.outputPending()) return;
  notify(CommEvent::OutputStalled, notLeftWithin(drainBoundMs_));
}

// Handlers run one at a time: what the device reports while a call of the
// station runs is delivered once that handler has finished, after the
// arrivals that came before it.
void SerialLink::notify(CommEvent event, const std::string& text, int retryMs) {
  sequence_.run();
  if (stationCalls_ == 0) {
    raise(event, text, retryMs);
    return;
  }
  scheduler_.post([this, event, text, retryMs] { raise(event, text, retryMs); });
}

void SerialLink::raise(CommEvent event, const std::string& text, int retryMs) {
  commEvent_ = event;
  commEventText_ = text;
  commEventRetryMs_ = retryMs;
  if (events_ != nullptr) events_->MSComm1_OnComm();
}

CommEvent SerialLink::commEvent() const { return commEvent_; }

std::string SerialLink::commEventText() const { return commEventText_; }

int SerialLink::commEventRetryMs() const { return commEventRetryMs_; }

}  // namespace meterstation
