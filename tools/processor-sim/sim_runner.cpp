#include "processor-sim/sim_runner.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "processor-sim/pacing.h"
#include "processor-sim/visible_text.h"

namespace meterstation::sim {

namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::steady_clock;

// A pty master reports "nobody there" as a hang-up, which poll returns at
// once rather than waits for, so the station's arrival is looked for at
// this pace instead.
constexpr milliseconds kPresenceCheck{50};
constexpr milliseconds kReopenRetry{1000};

PlanSettings planSettings(const SimOptions& options) {
  PlanSettings settings;
  settings.seed = options.seed;
  settings.shuffle = options.shuffle;
  settings.sets = options.sets;
  settings.faults = options.faults;
  return settings;
}

}  // namespace

SimRunner::SimRunner(const SimOptions& options, Line& line, LinkFile* link, BurstLog& log,
                     const SignalWatch& signals)
    : options_(options),
      line_(line),
      link_(link),
      log_(log),
      signals_(signals),
      plan_(planSettings(options)) {}

int SimRunner::run() {
  if (const Result opened = openLine(); !opened) {
    log_.error(opened.error);
    return 1;
  }
  if (line_.seesFarEnd()) {
    log_.note("pseudo-terminal " + line_.name() +
              (link_ != nullptr ? " linked at " + link_->path() : "") +
              "; waiting for the station to open it");
    phase_ = Phase::WaitingForStation;
  } else {
    log_.note("serial device " + line_.name() + " at 300,N,8,1");
    phase_ = Phase::Silence;
    nextAt_ = steady_clock::now();
  }

  for (;;) {
    const short revents = waitFor(deadline(), watchedEvents());
    if (const int signal = signals_.caught(); signal != 0) {
      log_.note("stopped by signal " + std::to_string(signal));
      return finish(128 + signal);
    }
    if (revents != 0) {
      if (const std::optional<int> status = readStation(revents)) return finish(*status);
    }
    if (const std::optional<int> status = step()) return finish(*status);
  }
}

Result SimRunner::openLine() {
  if (Result opened = line_.open(); !opened) return opened;
  if (link_ != nullptr) {
    if (Result linked = link_->pointTo(line_.name()); !linked) {
      line_.close();
      return linked;
    }
  }
  return Result::success();
}

short SimRunner::watchedEvents() const {
  switch (phase_) {
    case Phase::WaitingForStation:
    case Phase::Reopening:
      return 0;
    case Phase::Silence:
    case Phase::Idle:
      return POLLIN;
    case Phase::Sending:
      return writeBlocked_ ? POLLIN | POLLOUT : POLLIN;
  }
  return 0;
}

std::optional<SimRunner::Time> SimRunner::deadline() const {
  switch (phase_) {
    case Phase::WaitingForStation:
      return steady_clock::now() + kPresenceCheck;
    case Phase::Reopening:
      return retryAt_;
    case Phase::Silence:
      return nextAt_;
    case Phase::Sending:
      if (writeBlocked_) return std::nullopt;
      if (options_.fast) return steady_clock::now();
      return burstStart_ + characterOffset(static_cast<std::int64_t>(sent_));
    case Phase::Idle:
      return std::nullopt;
  }
  return std::nullopt;
}

short SimRunner::waitFor(std::optional<Time> until, short events) {
  timespec timeout{};
  timespec* timeoutOrForever = nullptr;
  if (until) {
    const nanoseconds left = std::max(nanoseconds(0), nanoseconds(*until - steady_clock::now()));
    timeout.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
    timeoutOrForever = &timeout;
  }
  pollfd watched{line_.fd(), events, 0};
  const bool withLine = events != 0 && line_.fd() >= 0;
  // EINTR is the signal we wait for; the caller looks at it.
  const int ready =
      ppoll(withLine ? &watched : nullptr, withLine ? 1 : 0, timeoutOrForever, signals_.waitMask());
  return ready > 0 ? watched.revents : 0;
}

std::optional<int> SimRunner::readStation(short revents) {
  if ((revents & POLLOUT) != 0) writeBlocked_ = false;
  if ((revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return std::nullopt;
  char buffer[256];
  for (;;) {
    const ssize_t count = read(line_.fd(), buffer, sizeof buffer);
    if (count > 0) {
      const DecodedInput decoded =
          decoder_.feed(std::string_view(buffer, static_cast<std::size_t>(count)));
      if (!decoded.ignored.empty()) reportIgnored(decoded.ignored);
      if (decoded.stop) {
        const std::string text = describeStopCommand(*decoded.stop);
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        log_.note(text);
        return 0;
      }
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) lineLost("hung up");
      return std::nullopt;
    }
    // The pty master reads EIO once the station has closed and everything
    // it sent before is read; a device reads EIO or end of file when gone.
    lineLost(count == 0 ? "end of file" : std::strerror(errno));
    return std::nullopt;
  }
}

void SimRunner::reportIgnored(const std::string& bytes) {
  log_.warning("ignored " + std::to_string(bytes.size()) +
               " bytes from the station: " + visibleText(bytes) + " (" + hexBytes(bytes) + ")");
}

void SimRunner::lineLost(const std::string& reason) {
  if (const std::string held = decoder_.discardPending(); !held.empty()) reportIgnored(held);
  if (phase_ == Phase::WaitingForStation) return;
  if (phase_ == Phase::Sending) {
    // What went out of the torn burst is lost with the line; the whole
    // burst goes again once the line is back.
    sent_ = 0;
    writeBlocked_ = false;
  }
  if (phase_ != Phase::WaitingForStation && phase_ != Phase::Reopening) resumePhase_ = phase_;
  if (line_.seesFarEnd()) {
    line_.dropUnread();
    log_.note("the station closed the line; waiting for it to open it again");
    phase_ = Phase::WaitingForStation;
  } else {
    line_.close();
    log_.warning(line_.name() + " failed (" + reason + "); opening it again every second");
    phase_ = Phase::Reopening;
    retryAt_ = steady_clock::now() + kReopenRetry;
    reopenFailing_ = true;
  }
}

std::optional<int> SimRunner::step() {
  const Time now = steady_clock::now();
  switch (phase_) {
    case Phase::WaitingForStation:
      // A station that opened, sent and closed again between two looks
      // has left its bytes behind; its stop command still counts.
      if (pollfd probe{line_.fd(), POLLIN, 0};
          poll(&probe, 1, 0) > 0 && (probe.revents & POLLIN) != 0) {
        if (const std::optional<int> status = readStation(probe.revents)) return status;
      }
      if (line_.farEndOpen()) {
        log_.note("the station opened " + line_.name());
        phase_ = resumePhase_;
        nextAt_ = now;
        burstStart_ = now;
      }
      break;
    case Phase::Reopening:
      if (now >= retryAt_) reopen();
      break;
    case Phase::Silence:
      if (now >= nextAt_) startNextBurst();
      break;
    case Phase::Sending:
      if (!writeBlocked_) sendDue();
      break;
    case Phase::Idle:
      break;
  }
  return std::nullopt;
}

void SimRunner::startNextBurst() {
  std::optional<Burst> burst = plan_.next();
  if (!burst) {
    log_.note("all " + std::to_string(options_.sets) + " sets sent; waiting for the stop command");
    phase_ = Phase::Idle;
    return;
  }
  if (burst->kind == BurstKind::Hangup) {
    hangUp();
    return;
  }
  // Keeping to the planned start when we woke on time stops wake-up delays
  // from adding up over a long run; after a longer hold-up start afresh.
  const Time now = steady_clock::now();
  burstStart_ = now - nextAt_ < characterOffset(1) ? nextAt_ : now;
  current_ = std::move(burst);
  sent_ = 0;
  phase_ = Phase::Sending;
  sendDue();
}

void SimRunner::sendDue() {
  const std::string& text = current_->text;
  const Time now = steady_clock::now();
  const std::size_t due =
      options_.fast
          ? text.size()
          : std::min(text.size(), static_cast<std::size_t>(charactersDue(now - burstStart_)));
  while (sent_ < due) {
    const ssize_t count = write(line_.fd(), text.data() + sent_, due - sent_);
    if (count > 0) {
      sent_ += static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      writeBlocked_ = true;
      return;
    }
    lineLost(count < 0 ? std::strerror(errno) : "nothing written");
    return;
  }
  if (sent_ < text.size()) return;

  log_.record(current_->kind, text);
  const Time end =
      options_.fast ? now : burstStart_ + characterOffset(static_cast<std::int64_t>(text.size()));
  nextAt_ = end + milliseconds(options_.silenceMs);
  current_.reset();
  phase_ = Phase::Silence;
}

void SimRunner::hangUp() {
  if (const std::string held = decoder_.discardPending(); !held.empty()) reportIgnored(held);
  const std::string name = line_.name();
  // While the line is away the link names nothing: the number of the
  // closed pseudo-terminal may be handed to another program's meanwhile,
  // and a station trying the link again would open that one.
  if (link_ != nullptr) link_->remove();
  line_.close();
  log_.record(BurstKind::Hangup, name + " closed for " + std::to_string(options_.hangupMs) + " ms");
  hungUp_ = true;
  resumePhase_ = Phase::Silence;
  phase_ = Phase::Reopening;
  retryAt_ = steady_clock::now() + milliseconds(options_.hangupMs);
}

void SimRunner::reopen() {
  const Time now = steady_clock::now();
  if (const Result opened = openLine(); !opened) {
    if (!reopenFailing_) log_.warning(opened.error + "; trying again every second");
    reopenFailing_ = true;
    retryAt_ = now + kReopenRetry;
    return;
  }
  reopenFailing_ = false;
  if (hungUp_) {
    log_.record(BurstKind::Back,
                line_.name() + (link_ != nullptr ? " linked at " + link_->path() : ""));
    hungUp_ = false;
  } else {
    log_.note(line_.name() + " is open again");
  }
  if (line_.seesFarEnd()) {
    phase_ = Phase::WaitingForStation;
  } else {
    phase_ = resumePhase_;
    nextAt_ = now;
    burstStart_ = now;
  }
}

int SimRunner::finish(int status) {
  log_.summary();
  if (link_ != nullptr) link_->remove();
  line_.close();
  return status;
}

}  // namespace meterstation::sim
