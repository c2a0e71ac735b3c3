// What the never-cleared lists cost as they grow to millions of items: bytes
// per item all told, and the time of one append when the list is large, set
// against a QListWidget holding the same items.
#include <time.h>
#include <unistd.h>
#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/station_rig.h"
#include "platform/qt/station_list_view.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

constexpr long kSmall = 10000;

// 42 characters, as a reading shows in List1.
std::string itemText(long i) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02ld,%03ld,04567,12345,089,00012,00345,%07ld", i % 16 + 1,
                i % 1000, i % 10000000);
  return buf;
}

// Processor time of this thread: a single append that took long on it did
// the work itself (a copy, page faults), rather than wait for another
// process on a shared machine.
double threadCpuMillis() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Appends until the list holds the given count, letting the view paint
// every so often as the event loop would between readings. Keeps the
// longest single append, in processor time.
template <typename Append>
void growTo(long& count, long target, double& longestMs, Append append) {
  for (; count < target; ++count) {
    const double start = threadCpuMillis();
    append(count);
    longestMs = std::max(longestMs, threadCpuMillis() - start);
    if (count % 20000 == 0) QApplication::processEvents();
  }
  QApplication::processEvents();
}

// Nanoseconds per append over a batch, the view painted after each one as
// a reading arriving into a shown list would have it.
template <typename Append>
double appendCost(long& count, int batch, Append append) {
  const auto start = SteadyClock::now();
  for (int i = 0; i < batch; ++i, ++count) {
    append(count);
    QApplication::processEvents();
  }
  return millisBetween(start, SteadyClock::now()) * 1e6 / batch;
}

// The QListWidget, in a process of its own so that memory freed by the
// other list cannot hide its growth. Uniform item sizes spare it a
// measurement per item, and it is scrolled to the newest item whenever it
// paints; without both it reaches only some ten thousand items in minutes.
// Prints: items reached, bytes per item, ns per append at 10000 and at the
// end (each append scrolled and painted), seconds taken.
int widgetMode(long target, double budgetSeconds) {
  QListWidget list;
  list.setUniformItemSizes(true);
  list.resize(600, 300);
  list.show();
  QApplication::processEvents();
  const double before = residentBytes();
  const auto start = SteadyClock::now();
  const auto add = [&](long i) { list.addItem(QString::fromLatin1(itemText(i))); };
  const auto addShown = [&](long i) {
    add(i);
    list.scrollToBottom();
  };
  long count = 0;
  double smallCost = 0;
  for (; count < target; ++count) {
    if (count == kSmall) smallCost = appendCost(count, 200, addShown);
    add(count);
    if (count % 1000 == 0) {
      list.scrollToBottom();
      QApplication::processEvents();
      if (millisBetween(start, SteadyClock::now()) > budgetSeconds * 1000) break;
    }
  }
  list.scrollToBottom();
  QApplication::processEvents();
  const long reached = count;
  const double perItem = (residentBytes() - before) / static_cast<double>(reached);
  const double seconds = millisBetween(start, SteadyClock::now()) / 1000;
  const double largeCost = appendCost(count, 20, addShown);
  std::printf("%ld %.1f %.0f %.0f %.1f\n", reached, perItem, smallCost, largeCost, seconds);
  return 0;
}

struct WidgetFigures {
  long items = 0;
  double perItem = 0;
  double smallCost = 0;
  double largeCost = 0;
  double seconds = 0;
};

WidgetFigures runWidget(const char* self, long target, double budgetSeconds) {
  WidgetFigures w;
  const std::string command = std::string(self) + " --qlistwidget " + std::to_string(target) +
                              " --budget " + std::to_string(static_cast<long>(budgetSeconds));
  if (FILE* child = popen(command.c_str(), "r")) {
    if (std::fscanf(child, "%ld %lf %lf %lf %lf", &w.items, &w.perItem, &w.smallCost, &w.largeCost,
                    &w.seconds) != 5) {
      w = WidgetFigures{};
    }
    pclose(child);
  }
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const long widgetTarget = optionValue(argc, argv, "--qlistwidget", 0);
  const bool quick = hasFlag(argc, argv, "--quick");
  const double budget = static_cast<double>(optionValue(argc, argv, "--budget", quick ? 20 : 90));
  if (widgetTarget > 0) return widgetMode(widgetTarget, budget);
  const long largest = quick ? 1000000 : 10000000;

  // First, so that both lists are measured at the size the widget reached.
  const WidgetFigures widget = runWidget(
      argv[0], optionValue(argc, argv, "--widget-items", quick ? 200000 : 1000000), budget);

  StationListView list;
  list.resize(600, 300);
  list.show();
  QApplication::processEvents();
  const auto append = [&](long i) { list.addItem(itemText(i)); };
  const double before = residentBytes();
  long count = 0;
  double longestMs = 0;
  growTo(count, kSmall, longestMs, append);
  const double smallCost = appendCost(count, 2000, append);

  struct Size {
    long items;
    double rssPerItem;
    double storePerItem;
  };
  std::vector<long> targets = {1000000, largest};
  if (widget.items > 0) targets.push_back(widget.items);
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
  std::vector<Size> sizes;
  double atWidgetSize = 0;
  double largeCost = 0;
  for (const long target : targets) {
    growTo(count, target, longestMs, append);
    if (target == largest) largeCost = appendCost(count, 2000, append);
    const double n = static_cast<double>(count);
    const Size size{target, (residentBytes() - before) / n,
                    static_cast<double>(list.store().memoryBytes()) / n};
    if (target == widget.items) atWidgetSize = size.rssPerItem;
    if (target == 1000000 || target == largest) sizes.push_back(size);
  }
  const bool followed = list.atBottom();

  char value[200];
  for (const Size& size : sizes) {
    std::snprintf(value, sizeof value, "%.1f B (store %.1f B)", size.rssPerItem, size.storePerItem);
    printRow("List1 bytes per item at " + std::to_string(size.items) + " items", value, "<= 100 B",
             size.rssPerItem <= 100 && size.storePerItem <= 100);
  }
  std::snprintf(value, sizeof value, "%.1f B against %.1f B at %ld items (%.0f s to fill it)",
                atWidgetSize, widget.perItem, widget.items, widget.seconds);
  printRow("List1 bytes per item against QListWidget's", value, "<= 1/3",
           widget.perItem > 0 && atWidgetSize * 3 <= widget.perItem);
  std::snprintf(
      value, sizeof value,
      "%.2f x (%.0f ns at %ld, %.0f ns at %ld, painted; longest single append %.2f ms of CPU; "
      "QListWidget %.0f ns at %ld, %.0f ns at %ld)",
      largeCost / smallCost, largeCost, largest, smallCost, kSmall, longestMs, widget.largeCost,
      widget.items, widget.smallCost, kSmall);
  printRow("List1 append cost at " + std::to_string(largest) + " against " +
               std::to_string(kSmall) + " items",
           value, "<= 2 x", largeCost <= 2 * smallCost && followed);
  return 0;
}
