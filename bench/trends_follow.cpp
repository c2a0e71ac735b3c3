// meterstation-trends following the year's database while sets are
// appended: the work one appended set costs (reading the appended bytes
// and repainting the view), and the time from the append to its point on
// screen through the real change notification.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bench/trends_bench.h"
#include "bench/year_database.h"
#include "trends/app/main_window.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

// Counts the view's paints, so a wait can end when the new set is drawn.
class PaintCount : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count;
    return QObject::eventFilter(watched, event);
  }
  int count = 0;
};

void append(const std::string& path, std::size_t index) {
  std::ofstream(path, std::ios::binary | std::ios::app) << yearLine(index);
}

bool waitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string year = yearDatabasePath(argc, argv);
  if (year.empty()) return 1;
  // A copy: the year's file itself must keep its size to be reused.
  const std::string path = std::filesystem::path(year).parent_path().string() + "/follow.db1";
  std::filesystem::copy_file(year, path, std::filesystem::copy_options::overwrite_existing);
  const int sets = static_cast<int>(
      optionValue(argc, argv, "--sets", hasFlag(argc, argv, "--quick") ? 20 : 100));

  trends::MainWindow window;
  PaintCount paints;
  window.view().installEventFilter(&paints);
  window.openDatabase(QString::fromStdString(path), 2);
  window.show();
  trends::TrendsDocument& document = window.document();
  if (!waitUntil([&] { return !document.loading(); }, 60000)) return 1;

  // The work itself, called as the notification's handler calls it.
  std::vector<double> workMs;
  std::size_t next = kYearSets;
  for (int i = 0; i < sets; ++i) {
    append(path, next++);
    const long long start = monotonicNanos();
    document.readAppended();
    window.view().repaint();
    workMs.push_back(static_cast<double>(monotonicNanos() - start) / 1e6);
    QCoreApplication::processEvents();  // the notification, finding nothing new
  }
  // Through the real notification: append, then wait for the paint.
  std::vector<double> shownMs;
  for (int i = 0; i < sets / 2; ++i) {
    const std::size_t before = document.data().size();
    const int paintsBefore = paints.count;
    const long long start = monotonicNanos();
    append(path, next++);
    if (!waitUntil([&] { return document.data().size() > before && paints.count > paintsBefore; },
                   5000)) {
      shownMs.push_back(5000);
      continue;
    }
    shownMs.push_back(static_cast<double>(monotonicNanos() - start) / 1e6);
  }
  std::filesystem::remove(path);
  const double workMedian = quantile(workMs, 0.5);
  const double workMax = quantile(workMs, 1.0);
  const double shownMax = quantile(shownMs, 1.0);
  char value[128];
  std::snprintf(value, sizeof value, "%.1f ms (median %.1f ms, %d sets)", workMax, workMedian,
                sets);
  printRow("trends: work of one appended set, year open", value, "<= 50 ms", workMax <= 50);
  std::snprintf(value, sizeof value, "%.0f ms (median %.0f ms, %zu sets)", shownMax,
                quantile(shownMs, 0.5), shownMs.size());
  printRow("trends: appended set to its point on screen", value, "<= 1000 ms", shownMax <= 1000);
  return 0;
}
