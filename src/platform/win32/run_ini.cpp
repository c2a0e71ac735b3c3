// Written as QSettings writes strings, so that a run.conf reads the same
// on either system; read leniently enough for what QSettings writes, and
// strictly enough that anything else is no run at all.
#include "platform/win32/run_ini.h"

#include <map>

#include "platform/win32/ini_value.h"

namespace meterstation {

namespace {

using Values = std::map<std::string, std::string, std::less<>>;

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The raw values of group [run]; the last of a key written twice counts.
Values runGroup(std::string_view text) {
  Values values;
  bool inRun = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      inRun = line == "[run]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (inRun && equals != std::string_view::npos) {
      values[std::string(trimmed(line.substr(0, equals)))] = line.substr(equals + 1);
    }
  }
  return values;
}

std::optional<int> numberIn(const Values& values, const char* key, int lowest, int highest) {
  const auto found = values.find(key);
  if (found == values.end()) return std::nullopt;
  const auto text = iniText(found->second);
  if (!text || text->empty() || text->size() > 9) return std::nullopt;
  int value = 0;
  for (const char c : *text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

std::optional<bool> flagIn(const Values& values, const char* key) {
  const auto found = values.find(key);
  if (found == values.end()) return std::nullopt;
  const auto text = iniText(found->second);
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

std::optional<std::string> textIn(const Values& values, const char* key) {
  const auto found = values.find(key);
  if (found == values.end()) return std::nullopt;
  return iniText(found->second);
}

}  // namespace

std::string runIniText(const RunSettings& run, std::string_view lineEnd) {
  const std::string end(lineEnd);
  // QSettings writes a group's keys in this order.
  return "[run]" + end +                                     //
         "debug=" + std::to_string(run.debug) + end +        //
         "going=" + (run.going ? "true" : "false") + end +   //
         "interval=" + iniValue(run.interval) + end +        //
         "marker=" + iniValue(run.marker) + end +            //
         "obs=" + iniValue(run.obs) + end +                  //
         "port=" + std::to_string(run.port) + end +          //
         "vistaFix=" + std::to_string(run.vistaFix) + end +  //
         "workDir=" + iniValue(run.workDir) + end;
}

std::optional<RunSettings> runFromIniText(std::string_view text) {
  const Values values = runGroup(text);
  const auto workDir = textIn(values, "workDir");
  const auto port = numberIn(values, "port", 1, 4);
  const auto marker = textIn(values, "marker");
  const auto obs = textIn(values, "obs");
  const auto interval = textIn(values, "interval");
  const auto debug = numberIn(values, "debug", 0, 1);
  const auto vistaFix = numberIn(values, "vistaFix", 0, 1);
  const auto going = flagIn(values, "going");
  if (!workDir || !port || !marker || !obs || !interval || !debug || !vistaFix || !going) {
    return std::nullopt;
  }
  return RunSettings{*workDir, *port, *marker, *obs, *interval, *debug, *vistaFix, *going};
}

}  // namespace meterstation
