// How late the quiet-period tick comes after a reading's last byte, beyond
// the interval itself: how soon a reading is processed. Where readings are
// cut does not depend on it (that is the arrival stamps'), only when each
// is shown and kept.
// The sender, the relay that times each byte and the outside watch run at a
// real-time priority where the bench may, so that load starves only the
// station, which runs as an operator would run it.
#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

#include "bench/bare_sleeper.h"
#include "bench/directory_changes.h"
#include "bench/station_rig.h"
#include "text/station_names.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

// The silence after each reading: the interval and the 60 ms a day of
// 25,000 readings leaves at the default interval.
constexpr int kMarginMs = 60;

std::string optionText(int argc, char** argv, const std::string& name,
                       const std::string& fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (name == argv[i]) return argv[i + 1];
  }
  return fallback;
}

// From the last byte passed to the first change in the working directory
// after it, beyond the interval: each reading is kept in the journal the
// moment its tick comes, so the station's lateness as anyone outside sees it.
// Passing 0 is the synchronising burst; the bench stops after the given
// number of readings, and what the station does as it ends is not a tick.
std::vector<double> outsideLateness(const std::vector<SteadyClock::time_point>& passings,
                                    const std::vector<SteadyClock::time_point>& changes,
                                    int interval, std::size_t readings) {
  std::vector<double> lateness;
  std::size_t p = 0;
  std::optional<std::size_t> counted;
  for (const SteadyClock::time_point change : changes) {
    while (p < passings.size() && passings[p] <= change) ++p;
    if (p < 2 || p - 1 > readings || counted == p - 1) continue;
    counted = p - 1;
    lateness.push_back(millisBetween(passings[p - 1], change) - interval);
  }
  return lateness;
}

}  // namespace

int main(int argc, char** argv) {
  const int interval = static_cast<int>(optionValue(argc, argv, "--interval", 200));
  const bool quick = hasFlag(argc, argv, "--quick");
  const int readings = static_cast<int>(optionValue(argc, argv, "--readings", quick ? 30 : 200));
  // The load is started by whoever runs the bench (scripts/bench) and only
  // named here; --burners starts it here instead.
  const int burnerCount = static_cast<int>(optionValue(argc, argv, "--burners", 0));
  const std::string load =
      optionText(argc, argv, "--load",
                 burnerCount > 0 ? std::to_string(burnerCount) + " CPU burners" : "idle");
  const std::string simPath = optionText(argc, argv, "--sim", METERSTATION_PROCESSOR_SIM);

  // Forked before Qt starts any thread.
  const auto burners = std::make_unique<CpuBurners>(burnerCount);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  StationRig rig(interval);
  if (!rig.start()) {
    std::fprintf(stderr, "tick_lateness: %s\n", rig.error().c_str());
    return 1;
  }
  const int sets = (readings + 15) / 16;
  SimRelay sim(simPath,
               {"--fast", "--silence", std::to_string(interval + kMarginMs), "--sets",
                std::to_string(sets), "--seed", "7"},
               rig.workDir, rig.pty);
  if (!sim.ok()) {
    std::fprintf(stderr, "tick_lateness: %s\n", sim.error().c_str());
    return 1;
  }

  DirectoryChanges outside(rig.workDir, kJournalFile);

  // The first tick takes the synchronising burst; one more per reading. The
  // check runs on the station's own thread, seldom: a thread of the bench's
  // polling beside it would take the processor from it.
  bool complete = false;
  const auto deadline =
      SteadyClock::now() +
      std::chrono::milliseconds((readings + 2) * (2 * interval + kMarginMs + 2000));
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    complete = rig.events.ticks.load() >= readings + 1;
    if (complete || SteadyClock::now() > deadline) QApplication::quit();
  });
  check.start(100);
  BareSleeper bareSleeper(interval);
  QApplication::exec();
  std::vector<double> bare = bareSleeper.stop();

  const std::vector<SteadyClock::time_point> passings = sim.passings();
  const std::vector<double> fromOutside =
      outsideLateness(passings, outside.times(), interval, static_cast<std::size_t>(readings));
  std::vector<double> lateness;
  // The same from the notification of the last byte, where the countdown
  // starts: whatever the scheduler does to the writer, a tick early by this
  // measure is early by any.
  std::vector<double> afterNotice;
  int wrongInputs = 0;
  {
    std::lock_guard<std::mutex> lock(rig.events.tickMutex);
    const auto& ticks = rig.events.tickStarts;
    const auto lastBefore = [&](const std::vector<SteadyClock::time_point>& times,
                                std::size_t& from, std::size_t t) {
      std::optional<SteadyClock::time_point> last;
      while (from < times.size() && times[from] <= ticks[t]) {
        if (times[from] > ticks[t - 1]) last = times[from];
        ++from;
      }
      return last;
    };
    std::size_t p = 0;
    std::size_t c = 0;
    for (std::size_t t = 1; t < ticks.size() && t <= static_cast<std::size_t>(readings); ++t) {
      // The last byte before this tick, passed after the tick before it.
      if (const auto last = lastBefore(passings, p, t)) {
        lateness.push_back(millisBetween(*last, ticks[t]) - interval);
      }
      if (const auto notice = lastBefore(rig.events.commStarts, c, t)) {
        afterNotice.push_back(millisBetween(*notice, ticks[t]) - interval);
      }
    }
  }
  // Each input after the synchronising one must be exactly one reading.
  const auto& inputs = rig.recording.inputs;
  for (std::size_t i = 1; i < inputs.size() && i <= static_cast<std::size_t>(readings); ++i) {
    if (inputs[i].size() != 42 || !inputs[i].ends_with("\r\n")) ++wrongInputs;
  }

  const double earliest = quantile(lateness, 0.0);
  const double earliestAfterNotice = quantile(afterNotice, 0.0);
  const double p99AfterNotice = quantile(afterNotice, 0.99);
  const double median = quantile(lateness, 0.5);
  const double p99 = quantile(lateness, 0.99);
  const double latest = quantile(lateness, 1.0);
  const double p99Goal = 0.001 * interval + 3.0;
  const bool whole = complete && wrongInputs == 0 && static_cast<int>(lateness.size()) == readings;
  const std::string run = std::to_string(interval) + " ms, " + load + ", " +
                          std::to_string(lateness.size()) + " readings";
  char text[160];
  std::snprintf(text, sizeof text, "%.2f ms (median %.2f; %.2f ms after the notice%s)", earliest,
                median, earliestAfterNotice,
                wrongInputs > 0 ? (", " + std::to_string(wrongInputs) + " merged").c_str() : "");
  printRow("tick lateness min (" + run + ")", text, ">= 0 ms", earliest >= 0 && whole);
  std::snprintf(text, sizeof text, "%.2f ms", p99);
  char goal[64];
  std::snprintf(goal, sizeof goal, "<= %.1f ms", p99Goal);
  printRow("tick lateness p99 (" + run + ")", text, goal, p99 <= p99Goal && whole);
  // The timer's own lateness, on an idle machine, from the station's notice
  // of the bytes; the wait for the notice is the pseudo-terminal's, the
  // reading thread's and the host's.
  if (load == "idle") {
    std::snprintf(text, sizeof text, "%.2f ms (%.2f ms from the relay's write)", p99AfterNotice,
                  p99);
    printRow("timer's own lateness p99, notice to tick (" + run + ")", text, "<= 1.0 ms",
             p99AfterNotice <= 1.0 && whole);
  }
  // What the host gives any timer at the same moments: the floor under the
  // timer's own lateness.
  std::snprintf(text, sizeof text, "median %.2f, p99 %.2f, max %.2f ms (%zu sleeps)",
                quantile(bare, 0.5), quantile(bare, 0.99), quantile(bare, 1.0), bare.size());
  printReference("host: a bare sleep of the interval beside the station, lateness (" + run + ")",
                 text);
  std::snprintf(text, sizeof text, "%.2f ms", latest);
  printRow("tick lateness max (" + run + ")", text, "<= 20 ms", latest <= 20.0 && whole);
  // The outside view: the same readings, from the last byte to the file.
  std::vector<double> seen = fromOutside;
  std::snprintf(text, sizeof text, "min %.2f, median %.2f, p99 %.2f, max %.2f ms (%zu readings)",
                quantile(seen, 0.0), quantile(seen, 0.5), quantile(seen, 0.99), quantile(seen, 1.0),
                seen.size());
  printRow("outside: last byte to the journal, beyond the interval (" + run + ")", text, ">= 0 ms",
           !seen.empty() && quantile(seen, 0.0) >= 0);
  std::fprintf(
      stderr, "tick_lateness: sender and relay %s; outside watch %s\n",
      sim.raised() ? "at SCHED_FIFO" : "at the ordinary priority (SCHED_FIFO not permitted)",
      outside.raised() ? "at SCHED_FIFO" : "at the ordinary priority");
  // Where the lateness goes: waiting for the notice, or for the tick.
  std::fprintf(stderr, "tick_lateness: after the notice median %.2f p99 %.2f max %.2f ms\n",
               quantile(afterNotice, 0.5), p99AfterNotice, quantile(afterNotice, 1.0));
  if (!complete) std::fprintf(stderr, "tick_lateness: not every reading brought its tick\n");
  return 0;
}
