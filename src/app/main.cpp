#include <QApplication>
#include <QTimer>

#include <optional>

#include "app/autostart.h"
#include "app/command_line.h"
#include "app/early_actions.h"
#include "app/station_app.h"

int main(int argc, char** argv) {
  // What needs no window is done before the toolkit looks for a display.
  const meterstation::ParsedOptions parsed =
      meterstation::parseOptions(meterstation::argumentsOf(argc, argv));
  const auto autostart = [](bool on) {
    return meterstation::setAutostart(on, meterstation::autostartDirectory());
  };
  if (const std::optional<int> status = meterstation::runEarlyAction(parsed, autostart)) {
    return *status;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("meterstation");
  QApplication::setApplicationVersion(METERSTATION_VERSION);
  // The toolkit has taken its own options (-platform, -session...) out of
  // the arguments; whatever is left is a mistake.
  const meterstation::ParsedOptions rest =
      meterstation::parseOptions(meterstation::argumentsOf(argc, argv));
  if (!rest.options.unknown.empty()) return meterstation::unknownArguments(rest.options.unknown);

  meterstation::StationApp station;
  station.start();
  const meterstation::PlantOptions plant = meterstation::plantOptionsToUse(
      parsed.options.plant, parsed.options.resume,
      parsed.options.resume ? station.settings.load() : std::nullopt);
  if (plant.enabled()) station.attachPlant(plant);
  if (parsed.options.resume) {
    QTimer::singleShot(0, &station.window, [&station] { station.startResume(); });
  }
  return QApplication::exec();
}
