#include "app/early_actions.h"

#include <cstdio>

namespace meterstation {

namespace {

int usageError(const std::string& error) {
  std::fprintf(stderr, "meterstation: %s\n%s", error.c_str(), usageText().c_str());
  return 2;
}

}  // namespace

std::vector<std::string> argumentsOf(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

int unknownArguments(const std::vector<std::string>& unknown) {
  std::string error = unknown.size() == 1 ? "unknown option" : "unknown options";
  for (const std::string& argument : unknown) error += " '" + argument + "'";
  return usageError(error);
}

std::optional<int> runEarlyAction(const ParsedOptions& parsed,
                                  const std::function<AutostartOutcome(bool on)>& setAutostart) {
  if (!parsed.ok) return usageError(parsed.error);
  switch (parsed.options.action) {
    case AppAction::Help:
      std::printf("%s", usageText().c_str());
      return 0;
    case AppAction::Version:
      std::printf("meterstation %s\n", METERSTATION_VERSION);
      return 0;
    case AppAction::Autostart: {
      if (!parsed.options.unknown.empty()) return unknownArguments(parsed.options.unknown);
      const AutostartOutcome outcome = setAutostart(parsed.options.autostartOn);
      if (!outcome.ok) {
        std::fprintf(stderr, "meterstation: %s\n", outcome.message.c_str());
        return 1;
      }
      std::printf("%s\n", outcome.message.c_str());
      return 0;
    }
    case AppAction::Run:
      break;
  }
  return std::nullopt;
}

}  // namespace meterstation
