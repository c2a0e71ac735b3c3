#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "processor-sim/burst_log.h"
#include "processor-sim/burst_plan.h"
#include "processor-sim/line.h"
#include "processor-sim/link_file.h"
#include "processor-sim/signal_watch.h"
#include "processor-sim/sim_options.h"
#include "processor-sim/stop_command.h"

namespace meterstation::sim {

// The processor's main loop: waits for the station, sends the bursts of
// the plan at their times, listens for the stop command, and rides out the
// station closing the line, our own hang-ups and a failing device.
class SimRunner {
 public:
  // `link` may be null (no --link).
  SimRunner(const SimOptions& options, Line& line, LinkFile* link, BurstLog& log,
            const SignalWatch& signals);

  // The exit status: 0 after the stop command, 1 when the line cannot be
  // opened at the start, 128 + the signal number when stopped by one.
  int run();

 private:
  using Time = std::chrono::steady_clock::time_point;

  enum class Phase {
    WaitingForStation,  // pty open, nobody at the far end
    Reopening,          // line closed: after a hang-up or a failed device
    Silence,            // quiet until nextAt_
    Sending,            // a burst partly out
    Idle,               // every set sent; only the stop command is left
  };

  Result openLine();
  short waitFor(std::optional<Time> deadline, short events);
  std::optional<Time> deadline() const;
  short watchedEvents() const;
  // Reads all the station has sent; an exit status once the stop command is
  // in.
  std::optional<int> readStation(short revents);
  void reportIgnored(const std::string& bytes);
  void lineLost(const std::string& reason);
  // Does what the phase has due; an exit status once the stop command is in.
  std::optional<int> step();
  void startNextBurst();
  void sendDue();
  void hangUp();
  void reopen();
  int finish(int status);

  const SimOptions& options_;
  Line& line_;
  LinkFile* link_;
  BurstLog& log_;
  const SignalWatch& signals_;
  BurstPlan plan_;
  StopCommandDecoder decoder_;

  Phase phase_ = Phase::WaitingForStation;
  // Where to go on once the line is back.
  Phase resumePhase_ = Phase::Silence;
  std::optional<Burst> current_;
  std::size_t sent_ = 0;
  bool writeBlocked_ = false;
  Time burstStart_{};
  Time nextAt_{};
  Time retryAt_{};
  bool hungUp_ = false;
  bool reopenFailing_ = false;
};

}  // namespace meterstation::sim
