#include "app/plant_command_line.h"

#include <algorithm>
#include <charconv>

namespace meterstation {

namespace {

// A million: some forty days of a busy station, 4 GB on disk and a few
// hundred MB of memory for the queue's order.
constexpr std::int64_t kMostWaiting = 1000000;

const char* const kValueOptions[] = {"--mqtt",      "--mqtt-prefix",
                                     "--mqtt-user", "--mqtt-password-file",
                                     "--mqtt-ca",   "--mqtt-max-waiting"};

// The option's name and value, from "--name=value" or "--name value".
bool splitOption(const std::vector<std::string>& arguments, std::size_t& at, std::string& name,
                 std::string& value, bool& hasValue) {
  const std::string& argument = arguments[at];
  const std::size_t equals = argument.find('=');
  name = argument.substr(0, equals);
  if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) ==
      std::end(kValueOptions)) {
    return false;
  }
  // The next option is no value, however it is spelt.
  const bool nextIsValue = at + 1 < arguments.size() && !arguments[at + 1].starts_with("--");
  hasValue = equals != std::string::npos || nextIsValue;
  if (equals != std::string::npos) {
    value = argument.substr(equals + 1);
  } else if (nextIsValue) {
    value = arguments[++at];
  }
  return true;
}

// Names of letters, digits, '-', '_' and '.', joined by single '/': a
// prefix no broker reads as a wildcard or an empty level.
bool soundPrefix(const std::string& prefix) {
  if (prefix.empty() || prefix.front() == '/' || prefix.back() == '/') return false;
  if (prefix.find("//") != std::string::npos) return false;
  return std::all_of(prefix.begin(), prefix.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '/';
  });
}

std::string setValue(const std::string& name, const std::string& value, PlantOptions& o) {
  if (value.empty()) return name + " needs a value";
  if (name == "--mqtt") {
    o.url = value;
  } else if (name == "--mqtt-prefix") {
    if (!soundPrefix(value)) {
      return "--mqtt-prefix takes names of letters, digits, '-', '_' and '.' joined by '/', "
             "not '" +
             value + "'";
    }
    o.prefix = value;
  } else if (name == "--mqtt-user") {
    o.user = value;
  } else if (name == "--mqtt-password-file") {
    o.passwordFile = value;
  } else if (name == "--mqtt-ca") {
    o.caFile = value;
  } else {
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > kMostWaiting) {
      return "--mqtt-max-waiting takes a number of messages from 1 to " +
             std::to_string(kMostWaiting) + ", not '" + value + "'";
    }
    o.maxWaiting = n;
  }
  return {};
}

}  // namespace

bool readPlantArgument(const std::vector<std::string>& arguments, std::size_t& at,
                       PlantArguments& plant) {
  const std::string& argument = arguments[at];
  if (argument == "--mqtt-password" || argument.starts_with("--mqtt-password=")) {
    if (plant.error.empty()) {
      plant.error =
          "a password never goes on the command line: put it in a file and give "
          "--mqtt-password-file FILE";
    }
    // Its value, if any, is not left for the toolkit to take either.
    if (argument == "--mqtt-password" && at + 1 < arguments.size()) ++at;
    return true;
  }
  std::string name;
  std::string value;
  bool hasValue = false;
  if (!splitOption(arguments, at, name, value, hasValue)) return false;
  plant.given.insert(name);
  const std::string error =
      hasValue ? setValue(name, value, plant.options) : name + " needs a value";
  if (!error.empty() && plant.error.empty()) plant.error = error;
  return true;
}

std::string plantArgumentsProblem(const PlantArguments& plant) {
  if (!plant.error.empty()) return plant.error;
  if (!plant.any()) return {};
#ifdef _WIN32
  return "this build of the station has no MQTT; --mqtt and its options are the Linux "
         "station's";
#else
  for (const std::string& name : plant.given) {
    if (name != "--mqtt" && !plant.given.contains("--mqtt")) return name + " goes with --mqtt URL";
  }
  if (plant.given.contains("--mqtt-password-file") && !plant.given.contains("--mqtt-user")) {
    return "--mqtt-password-file goes with --mqtt-user";
  }
  return {};
#endif
}

PlantOptions plantOptionsToUse(const PlantArguments& plant, bool resume,
                               const std::optional<RunSettings>& remembered) {
  if (plant.any()) return plant.options;
  if (resume && remembered && remembered->going) return remembered->plant;
  return PlantOptions{};
}

std::string plantUsageText() {
#ifdef _WIN32
  return {};
#else
  return "  --mqtt URL        also publish every reading, set and alarm to the MQTT\n"
         "                    broker at mqtt://host[:port] or mqtts://host[:port]\n"
         "  --mqtt-prefix P   the topics' first part (default meterstation): P/<dir>/...\n"
         "  --mqtt-user NAME  log in to the broker as NAME\n"
         "  --mqtt-password-file FILE\n"
         "                    the password, the file's first line (never on the\n"
         "                    command line)\n"
         "  --mqtt-ca FILE    the certificate of a private CA, for mqtts://\n"
         "  --mqtt-max-waiting N\n"
         "                    messages kept on disk while the broker is away (default\n"
         "                    100000)\n";
#endif
}

}  // namespace meterstation
