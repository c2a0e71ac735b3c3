#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/command_line.h"
#include "app/station_app.h"

namespace {

int usageError(const std::string& error) {
  std::fprintf(stderr, "meterstation: %s\n%s", error.c_str(), meterstation::usageText().c_str());
  return 2;
}

int unknownArguments(const std::vector<std::string>& unknown) {
  std::string error = unknown.size() == 1 ? "unknown option" : "unknown options";
  for (const std::string& argument : unknown) error += " '" + argument + "'";
  return usageError(error);
}

int switchAutostart(bool on) {
  const meterstation::AutostartOutcome outcome =
      meterstation::setAutostart(on, meterstation::autostartDirectory());
  if (!outcome.ok) {
    std::fprintf(stderr, "meterstation: %s\n", outcome.message.c_str());
    return 1;
  }
  std::printf("%s\n", outcome.message.c_str());
  return 0;
}

std::vector<std::string> argumentsOf(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace

int main(int argc, char** argv) {
  using meterstation::AppAction;
  // What needs no window is done before the toolkit looks for a display.
  const meterstation::ParsedOptions parsed = meterstation::parseOptions(argumentsOf(argc, argv));
  if (!parsed.ok) return usageError(parsed.error);
  switch (parsed.options.action) {
    case AppAction::Help:
      std::printf("%s", meterstation::usageText().c_str());
      return 0;
    case AppAction::Version:
      std::printf("meterstation %s\n", METERSTATION_VERSION);
      return 0;
    case AppAction::Autostart:
      if (!parsed.options.unknown.empty()) return unknownArguments(parsed.options.unknown);
      return switchAutostart(parsed.options.autostartOn);
    case AppAction::Run:
      break;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("meterstation");
  QApplication::setApplicationVersion(METERSTATION_VERSION);
  // The toolkit has taken its own options (-platform, -session...) out of
  // the arguments; whatever is left is a mistake.
  const meterstation::ParsedOptions rest = meterstation::parseOptions(argumentsOf(argc, argv));
  if (!rest.options.unknown.empty()) return unknownArguments(rest.options.unknown);

  meterstation::StationApp station;
  station.start();
  if (parsed.options.resume) {
    QTimer::singleShot(0, &station.window, [&station] { station.startResume(); });
  }
  return QApplication::exec();
}
