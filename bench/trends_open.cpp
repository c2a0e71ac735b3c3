// meterstation-trends opening a year's database: from exec to the first
// picture that shows all of it, and the resident memory then (its peak,
// the whole read included). The child is the program's window put together
// as its main does it; it is this program exec'd again, so the clock starts
// before the dynamic loader and Qt. Run it under Xvfb.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/trends_bench.h"
#include "bench/year_database.h"
#include "trends/app/main_window.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

// Notes the first paint of the view once the whole file is in.
class FullPictureWatch : public QObject {
 public:
  FullPictureWatch(trends::MainWindow& window, long long execNanos)
      : window_(window), execNanos_(execNanos) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool result = QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Paint && !done_ && !window_.document().loading() &&
        window_.document().data().size() > 0) {
      done_ = true;
      // After the paint itself: this filter runs before it.
      QMetaObject::invokeMethod(
          &window_,
          [this] {
            std::printf("%.2f %.1f %zu %s\n",
                        static_cast<double>(monotonicNanos() - execNanos_) / 1e6,
                        peakResidentBytes() / 1e6, window_.document().data().size(),
                        QGuiApplication::platformName().toLatin1().constData());
            QApplication::quit();
          },
          Qt::QueuedConnection);
    }
    return result;
  }

 private:
  trends::MainWindow& window_;
  long long execNanos_;
  bool done_ = false;
};

int child(int argc, char** argv, long long execNanos, const char* path) {
  QApplication app(argc, argv);
  trends::MainWindow window;
  FullPictureWatch watch(window, execNanos);
  window.view().installEventFilter(&watch);
  window.openDatabase(QString::fromLocal8Bit(path), 2);
  window.show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--exec-at") {
    return child(argc, argv, std::atoll(argv[2]), argv[3]);
  }
  const std::string path = yearDatabasePath(argc, argv);
  if (path.empty()) return 1;
  const int runs =
      static_cast<int>(optionValue(argc, argv, "--runs", hasFlag(argc, argv, "--quick") ? 1 : 3));
  double worstMs = 0;
  double worstMb = 0;
  std::string sets;
  std::string platform;
  for (int i = 0; i < runs; ++i) {
    const std::string at = std::to_string(monotonicNanos());
    const std::string out = runAndRead({"/proc/self/exe", "--exec-at", at, path});
    double ms = 0;
    double mb = 0;
    char setCount[32] = "";
    char platformName[32] = "";
    if (std::sscanf(out.c_str(), "%lf %lf %31s %31s", &ms, &mb, setCount, platformName) != 4) {
      std::fprintf(stderr, "trends_open: the program did not report its picture: %s\n",
                   out.c_str());
      return 1;
    }
    worstMs = std::max(worstMs, ms);
    worstMb = std::max(worstMb, mb);
    sets = setCount;
    platform = platformName;
  }
  char value[96];
  const std::string what = " (" + sets + " sets, " + platform + ")";
  std::snprintf(value, sizeof value, "%.0f ms (worst of %d)", worstMs, runs);
  printRow("trends: exec to the year's first full picture" + what, value, "<= 1500 ms",
           worstMs <= 1500);
  std::snprintf(value, sizeof value, "%.1f MB", worstMb);
  printRow("trends: peak resident memory with the year open" + what, value, "<= 200 MB",
           worstMb <= 200);
  return 0;
}
