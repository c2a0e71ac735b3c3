// A busy year in the window's two lists, as the station fills them: a
// reading a line in List1, and with "debug" ticked the echo of every burst
// and an alarm line in List2. Both lists are shown and follow the newest
// item. Measured: the process's anonymous memory an item (the texts go to a
// file the kernel can page out), an append at the end of the year against
// one at ten thousand items, and a jump to any place in either list with
// its paint, the texts first paged out so that the jump reads them back.
#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/station_rig.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/station_list_view.h"

using namespace meterstation;
using namespace meterstation::bench;

namespace {

// 25,000 readings a day for a year.
constexpr long kYearReadings = 9'125'000;
constexpr long kSmall = 10000;

// 40 characters as List1 shows them; the echo is the burst with its CR LF
// between " comm:" and "end"; the alarm line is of the debug line's length.
struct YearItems {
  char reading[48] = {};
  std::string echo;
  std::string alarm;

  void make(long i) {
    std::snprintf(reading, sizeof reading, "%02ld,%03ld,04567,12345,089,00012,00,%07ld", i % 16 + 1,
                  i % 1000, i % 10000000);
    echo.assign(" comm:").append(reading).append("\r\nend");
    alarm.assign(" alarm ")
        .append(std::to_string(i % 16 + 1))
        .append(" 100 900 ")
        .append(std::to_string(i % 1000));
  }
};

class YearOfLists {
 public:
  YearOfLists() {
    window.show();
    QApplication::processEvents();
  }

  void appendReading(long i) {
    items.make(i);
    window.addItem(ListId::List1, items.reading);
    window.addItem(ListId::List2, items.echo);
    window.addItem(ListId::List2, items.alarm);
  }

  // Nanoseconds a reading's three appends take at the current size, each
  // reading painted as it would be between two bursts: the median, so that
  // another process taking the processor now and then does not count.
  double readingCost(long& count, int batch) {
    std::vector<double> costs;
    for (int i = 0; i < batch; ++i) {
      const auto start = SteadyClock::now();
      appendReading(count++);
      QApplication::processEvents();
      costs.push_back(millisBetween(start, SteadyClock::now()) * 1e6);
    }
    return quantile(costs, 0.5);
  }

  void growTo(long& count, long target) {
    for (; count < target; ++count) {
      appendReading(count);
      if (count % 20000 == 0) QApplication::processEvents();
    }
    QApplication::processEvents();
  }

  // The longest jump-and-paint over a number of places in the list.
  double longestJumpMs(ListId id, int jumps, std::mt19937& random) {
    StationListView* list = window.list(id);
    QScrollBar* bar = list->verticalScrollBar();
    std::uniform_int_distribution<int> place(0, bar->maximum());
    double longest = 0;
    for (int j = 0; j < jumps; ++j) {
      const auto start = SteadyClock::now();
      bar->setValue(place(random));
      list->viewport()->repaint();
      longest = std::max(longest, millisBetween(start, SteadyClock::now()));
    }
    bar->setValue(bar->maximum());
    return longest;
  }

  QtWindow window;
  YearItems items;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const bool quick = hasFlag(argc, argv, "--quick");
  const long readings =
      optionValue(argc, argv, "--readings", quick ? kYearReadings / 10 : kYearReadings);

  YearOfLists lists;
  long count = 0;
  lists.growTo(count, kSmall);
  const double smallCost = lists.readingCost(count, 2000);
  // From here on: the window's own caches are made by now, so what grows is
  // what the items cost.
  const double before = anonymousBytes();
  const long counted = count;
  const auto start = SteadyClock::now();
  lists.growTo(count, readings);
  const double fillSeconds = millisBetween(start, SteadyClock::now()) / 1000;
  const double anonPerItem =
      (anonymousBytes() - before) / (3.0 * static_cast<double>(count - counted));
  const double largeCost = lists.readingCost(count, 2000);
  const bool followed =
      lists.window.list(ListId::List1)->atBottom() && lists.window.list(ListId::List2)->atBottom();
  std::mt19937 random(11);
  // Page the texts out so that each jump has to read its rows back.
  lists.window.pageOutListTexts();
  const double jump1 = lists.longestJumpMs(ListId::List1, 40, random);
  lists.window.pageOutListTexts();
  const double jump2 = lists.longestJumpMs(ListId::List2, 40, random);

  const std::size_t items1 = lists.window.list(ListId::List1)->count();
  const std::size_t items2 = lists.window.list(ListId::List2)->count();
  char value[240];
  std::snprintf(
      value, sizeof value,
      "%.2f B (%zu items in List1, %zu in List2, filled in %.0f s; texts %.0f MB on file)",
      anonPerItem, items1, items2, fillSeconds,
      static_cast<double>(lists.window.listTextBytes()) / 1e6);
  printRow("lists' anonymous memory per item, a busy year", value, "<= 8 B",
           anonPerItem <= 8 && lists.window.listTextBytes() > 0);
  std::snprintf(value, sizeof value,
                "%.2f x (median %.0f ns a reading at %ld readings, %.0f ns at %ld)",
                largeCost / smallCost, largeCost, count, smallCost, kSmall);
  printRow("lists' append at the end of the year against at 10000", value, "<= 2 x",
           largeCost <= 2 * smallCost && followed);
  std::snprintf(value, sizeof value, "%.2f ms (List1 %.2f, List2 %.2f; texts paged out first)",
                std::max(jump1, jump2), jump1, jump2);
  printRow("lists' longest jump and paint, a busy year", value, "<= 16 ms",
           std::max(jump1, jump2) <= 16);
  return 0;
}
