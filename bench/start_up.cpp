// From exec to the window shown, and the resident memory once the station
// is idle. The program is the station as the program wires it; it execs
// itself so the clock starts before the dynamic loader and Qt.
#include <QApplication>
#include <QTimer>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/station_rig.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

long long monotonicNanos() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double residentMegabytes() {
  long pages = 0;
  long resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

// Shows the station's window and reports when the first paint is done.
class ShownWatch : public QObject {
 public:
  explicit ShownWatch(long long execNanos) : execNanos_(execNanos) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!shownMs_ && event->type() == QEvent::Paint) {
      shownMs_ = true;
      std::printf("%.2f ", static_cast<double>(monotonicNanos() - execNanos_) / 1e6);
      QTimer::singleShot(2000, [] {
        std::printf("%.1f\n", residentMegabytes());
        QApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  long long execNanos_;
  bool shownMs_ = false;
};

int child(int argc, char** argv, long long execNanos) {
  QApplication app(argc, argv);
  ShownWatch watch(execNanos);
  QtWindow window;
  QtSerialPort serial;
  QtTimer timer;
  LocalClock clock;
  DurableFiles files;
  QtHost host;
  Form1 form(window, serial, timer, clock, files, host);
  window.bind(form);
  serial.bind(form);
  timer.bind(form);
  window.installEventFilter(&watch);
  form.Form_Load();
  window.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "--exec-at") {
    return child(argc, argv, std::atoll(argv[2]));
  }
  const int runs = static_cast<int>(optionValue(argc, argv, "--runs", 5));
  double worstMs = 0;
  double worstMb = 0;
  for (int i = 0; i < runs; ++i) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      const std::string at = std::to_string(monotonicNanos());
      execl("/proc/self/exe", argv[0], "--exec-at", at.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeEnds[1]);
    FILE* out = fdopen(pipeEnds[0], "r");
    double ms = 0;
    double mb = 0;
    if (out == nullptr || std::fscanf(out, "%lf %lf", &ms, &mb) != 2) {
      std::fprintf(stderr, "start_up: the station did not report its start\n");
      return 1;
    }
    std::fclose(out);
    waitpid(pid, nullptr, 0);
    worstMs = std::max(worstMs, ms);
    worstMb = std::max(worstMb, mb);
  }
  char value[64];
  std::snprintf(value, sizeof value, "%.1f ms (worst of %d)", worstMs, runs);
  printRow("start-up, exec to window shown", value, "<= 300 ms", worstMs <= 300);
  std::snprintf(value, sizeof value, "%.1f MB", worstMb);
  printRow("resident memory when idle", value, "<= 60 MB", worstMb <= 60);
  return 0;
}
