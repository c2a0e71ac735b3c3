#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "trends/app/main_window.h"
#include "trends/app/picture_export.h"
#include "trends/core/trend_options.h"

using namespace meterstation::trends;

int main(int argc, char** argv) {
  const ParsedTrendOptions parsed =
      parseTrendOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok) {
    std::fprintf(stderr,
                 "meterstation-trends: %s\nTry 'meterstation-trends --help' for the options.\n",
                 parsed.error.c_str());
    return 2;
  }
  const TrendOptions& options = parsed.options;
  if (options.help) {
    std::fputs(trendHelpText().c_str(), stdout);
    return 0;
  }
  // QApplication also for the export: the painter needs its fonts. Without
  // a display, QT_QPA_PLATFORM=offscreen does.
  QApplication app(argc, argv);
  QApplication::setApplicationName("meterstation-trends");
  if (!options.exportPath.empty()) return runExport(options);

  MainWindow window;
  window.openDatabase(QString::fromLocal8Bit(options.inputPath.c_str()), options.field);
  if (options.meter != 0) window.view().showMeter(options.meter);
  if (options.from || options.to) {
    QObject::connect(&window.document(), &TrendsDocument::loaded, &window, [&window, &options] {
      const TrendData& data = window.document().data();
      window.view().setRange(
          {options.from.value_or(data.firstTime()), options.to.value_or(data.lastTime())});
    });
  }
  window.show();
  return QApplication::exec();
}
