#include "app/command_line.h"

namespace meterstation {

namespace {

// Reads the value of --autostart, given as "--autostart=on" or as the next
// argument; false with the reason when there is none or it is neither on
// nor off.
bool readAutostart(const std::vector<std::string>& arguments, std::size_t& at, bool& on,
                   std::string& error) {
  const std::string& argument = arguments[at];
  std::string value;
  if (argument.size() > 12 && argument.compare(0, 12, "--autostart=") == 0) {
    value = argument.substr(12);
  } else if (argument == "--autostart" && at + 1 < arguments.size()) {
    value = arguments[++at];
  } else {
    error = "--autostart needs on or off";
    return false;
  }
  if (value != "on" && value != "off") {
    error = "--autostart takes on or off, not '" + value + "'";
    return false;
  }
  on = value == "on";
  return true;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  AppOptions& options = parsed.options;
  bool help = false;
  bool version = false;
  bool autostart = false;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    if (argument == "--help" || argument == "-h") {
      help = true;
    } else if (argument == "--version") {
      version = true;
    } else if (argument == "--resume") {
      options.resume = true;
    } else if (argument.compare(0, 11, "--autostart") == 0 &&
               (argument.size() == 11 || argument[11] == '=')) {
      autostart = true;
      if (!readAutostart(arguments, at, options.autostartOn, parsed.error)) parsed.ok = false;
    } else if (readPlantArgument(arguments, at, options.plant)) {
      continue;
    } else {
      options.unknown.push_back(argument);
    }
  }
  if (help) return ParsedOptions{true, AppOptions{AppAction::Help, false, false, {}}, {}};
  if (!parsed.ok) return parsed;
  if (autostart && options.resume) {
    return ParsedOptions{false, options, "--autostart does not go with --resume"};
  }
  if (const std::string problem = plantArgumentsProblem(options.plant); !problem.empty()) {
    return ParsedOptions{false, options, problem};
  }
  if (autostart && options.plant.any()) {
    return ParsedOptions{false, options, "--autostart does not go with --mqtt"};
  }
  if (version) {
    options.action = AppAction::Version;
  } else if (autostart) {
    options.action = AppAction::Autostart;
  }
  return parsed;
}

std::string usageText() {
#ifdef _WIN32
  const std::string synopsis = "usage: meterstation [--resume]\n";
  const std::string resumeEnd =
      "                    ended by a crash, a power cut or a logout; says\n"
      "                    \"nothing to resume\" when there is none\n";
  const std::string autostart =
      "  --autostart on    start the station with --resume whenever you log on\n"
      "                    (sets meterstation in your Run key)\n"
      "  --autostart off   no longer start it at logon\n";
#else
  const std::string synopsis = "usage: meterstation [--resume] [--mqtt URL [--mqtt-...]]\n";
  const std::string resumeEnd =
      "                    ended by a crash, a power cut or a logout, with its\n"
      "                    --mqtt options; says \"nothing to resume\" when there\n"
      "                    is none\n";
  const std::string autostart =
      "  --autostart on    start the station with --resume whenever you log in\n"
      "                    (writes meterstation.desktop in your autostart directory)\n"
      "  --autostart off   no longer start it at login\n";
#endif
  return synopsis +
         "       meterstation --autostart on|off\n"
         "\n"
         "  --resume          take up the run that was going when the station last\n" +
         resumeEnd + plantUsageText() + autostart +
         "  --version         the version\n"
         "  -h, --help        these options\n"
         "\n"
         "Without options the station opens as always and waits for the operator.\n";
}

}  // namespace meterstation
