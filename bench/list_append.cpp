// What the never-cleared lists cost as they grow to millions of items: bytes
// per item all told, and the time of one append when the list is large, set
// against a QListWidget holding the same items.
#include <QApplication>
#include <QListWidget>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/station_rig.h"
#include "platform/qt/station_list_view.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

double residentBytes() {
  long pages = 0;
  long resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

std::string itemText(long i) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02ld,%03ld,04567,12345,089,00012,00345,%07ld", i % 16 + 1,
                i % 1000, i % 10000000);
  return buf;
}

// Appends until the list holds the given count, letting the view paint
// every so often as the event loop would between readings.
template <typename Append>
void growTo(long& count, long target, Append append) {
  for (; count < target; ++count) {
    append(count);
    if (count % 20000 == 0) QApplication::processEvents();
  }
  QApplication::processEvents();
}

// Nanoseconds per append over a batch, the view painted after each one as
// a reading arriving into a shown list would have it.
template <typename Append>
double appendCost(long& count, Append append) {
  constexpr int kBatch = 2000;
  const auto start = SteadyClock::now();
  for (int i = 0; i < kBatch; ++i, ++count) {
    append(count);
    QApplication::processEvents();
  }
  return millisBetween(start, SteadyClock::now()) * 1e6 / kBatch;
}

int widgetMode(long target) {
  QListWidget list;
  list.resize(600, 300);
  list.show();
  QApplication::processEvents();
  const double before = residentBytes();
  long count = 0;
  const auto start = SteadyClock::now();
  growTo(count, target, [&](long i) {
    list.addItem(QString::fromLatin1(itemText(i)));
    list.scrollToBottom();
  });
  const double seconds = millisBetween(start, SteadyClock::now()) / 1000;
  std::printf("%.1f %.1f\n", (residentBytes() - before) / static_cast<double>(target), seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const long widgetTarget = optionValue(argc, argv, "--qlistwidget", 0);
  if (widgetTarget > 0) return widgetMode(widgetTarget);
  const bool quick = hasFlag(argc, argv, "--quick");
  const long largest = quick ? 1000000 : 10000000;
  const long widgetItems = optionValue(argc, argv, "--widget-items", quick ? 200000 : 1000000);

  StationListView list;
  list.resize(600, 300);
  list.show();
  QApplication::processEvents();
  const auto append = [&](long i) { list.addItem(itemText(i)); };
  const double before = residentBytes();
  long count = 0;
  growTo(count, 10000, append);
  const double smallCost = appendCost(count, append);

  struct Size {
    long items;
    double rssPerItem;
    double storePerItem;
  };
  std::vector<Size> sizes;
  double largeCost = 0;
  for (const long target : {1000000L, largest}) {
    if (!sizes.empty() && target == sizes.back().items) continue;
    growTo(count, target, append);
    if (target == largest) largeCost = appendCost(count, append);
    const double n = static_cast<double>(count);
    sizes.push_back({target, (residentBytes() - before) / n,
                     static_cast<double>(list.store().memoryBytes()) / n});
  }
  const bool followed = list.atBottom();

  // The QListWidget in a process of its own, so that memory freed here
  // cannot hide its growth.
  double widgetPerItem = 0;
  double widgetSeconds = 0;
  const std::string command =
      std::string(argv[0]) + " --qlistwidget " + std::to_string(widgetItems);
  if (FILE* child = popen(command.c_str(), "r")) {
    if (std::fscanf(child, "%lf %lf", &widgetPerItem, &widgetSeconds) != 2) widgetPerItem = 0;
    pclose(child);
  }

  char value[160];
  for (const Size& size : sizes) {
    std::snprintf(value, sizeof value, "%.1f B (store %.1f B)", size.rssPerItem,
                  size.storePerItem);
    printRow("List1 bytes per item at " + std::to_string(size.items) + " items", value,
             "<= 100 B", size.rssPerItem <= 100 && size.storePerItem <= 100);
  }
  const double ours = sizes.front().rssPerItem;
  std::snprintf(value, sizeof value, "%.1f B against %.1f B (%ld items in %.0f s)", ours,
                widgetPerItem, widgetItems, widgetSeconds);
  printRow("List1 bytes per item against QListWidget's", value, "<= 1/3",
           widgetPerItem > 0 && ours * 3 <= widgetPerItem);
  std::snprintf(value, sizeof value, "%.2f x (%.0f ns at %ld, %.0f ns at 10000)",
                largeCost / smallCost, largeCost, largest, smallCost);
  printRow("List1 append cost, largest against 10000 items", value, "<= 2 x",
           largeCost <= 2 * smallCost && followed);
  return 0;
}
