#include "trends/core/trend_options.h"

#include <charconv>

#include "dbline/db_line.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {

namespace {

ParsedTrendOptions failure(std::string error) {
  ParsedTrendOptions parsed;
  parsed.ok = false;
  parsed.error = std::move(error);
  return parsed;
}

std::optional<int> wholeNumber(const std::string& text, int lo, int hi) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> dayOf(const std::string& isoDate) {
  const std::optional<std::string> key = dbline::dateKeyOf(isoDate);
  if (!key) return std::nullopt;
  return daySeconds(std::stoi(key->substr(0, 4)), std::stoi(key->substr(4, 2)),
                    std::stoi(key->substr(6, 2)));
}

bool endsWith(std::string text, const std::string& end) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.size() > end.size() && text.ends_with(end);
}

// One option and its value; an empty error means it was taken.
std::string takeOption(const std::string& name, const std::string& value, TrendOptions& o) {
  if (name == "--field") {
    const auto field = wholeNumber(value, 2, 8);
    if (!field) return "--field \"" + value + "\" is not a field number 2 to 8";
    o.field = *field;
  } else if (name == "--meter") {
    const auto meter = wholeNumber(value, 1, 16);
    if (!meter) return "--meter \"" + value + "\" is not a meter number 1 to 16";
    o.meter = *meter;
  } else if (name == "--from" || name == "--to") {
    const auto day = dayOf(value);
    if (!day) return name + " \"" + value + "\" is not a date of the form yyyy-mm-dd";
    (name == "--from" ? o.from : o.to) = name == "--from" ? *day : *day + 86399;
  } else if (name == "--export") {
    if (!endsWith(value, ".png") && !endsWith(value, ".svg")) {
      return "--export \"" + value + "\" must end in .png or .svg";
    }
    o.exportPath = value;
  } else {
    const auto size = wholeNumber(value, 200, 10000);
    if (!size) return name + " \"" + value + "\" is not a number of pixels 200 to 10000";
    (name == "--width" ? o.width : o.height) = *size;
  }
  return {};
}

bool takesValue(const std::string& name) {
  return name == "--field" || name == "--meter" || name == "--from" || name == "--to" ||
         name == "--export" || name == "--width" || name == "--height";
}

}  // namespace

ParsedTrendOptions parseTrendOptions(const std::vector<std::string>& args) {
  ParsedTrendOptions parsed;
  bool haveInput = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (name.starts_with("--") && name.find('=') != std::string::npos) {
      value = name.substr(name.find('=') + 1);
      name.resize(name.find('='));
    }
    if (name == "--help" || name == "-h") {
      parsed.options.help = true;
    } else if (takesValue(name)) {
      if (!value && i + 1 < args.size()) value = args[++i];
      if (!value) return failure(name + " needs a value");
      if (std::string error = takeOption(name, *value, parsed.options); !error.empty()) {
        return failure(error);
      }
    } else if (name.size() > 1 && name.starts_with("-")) {
      return failure("unknown option " + args[i]);
    } else {
      if (haveInput) return failure("only one database can be given (also got " + name + ")");
      parsed.options.inputPath = name;
      haveInput = true;
    }
  }
  const TrendOptions& o = parsed.options;
  if (o.from && o.to && *o.from > *o.to) return failure("--from is after --to");
  return parsed;
}

std::string trendHelpText() {
  return "Usage: meterstation-trends [OPTIONS] [FILE]\n"
         "Draws the station's database FILE (default qn.db1): for each meter 1 to 16\n"
         "the value of one field of its readings over the sets' date and time, with\n"
         "the alarm limits of ct.dat and the alarms of alarmlog.txt beside it, and\n"
         "follows the file while the station appends to it.\n"
         "\n"
         "  --field K        draw field K, 2 to 8 (default 2, the alarm value)\n"
         "  --meter N        only meter N, large\n"
         "  --from DATE      start the time axis at DATE (yyyy-mm-dd)\n"
         "  --to DATE        end it after DATE\n"
         "  --export OUT     draw into OUT (.png or .svg) without a window and exit\n"
         "  --width W, --height H   the exported picture's size (default 1600 x 1000)\n"
         "  --help           show this text\n"
         "\n"
         "An odd line (torn, not 676 characters, without a date and time, with a\n"
         "meter field outside 01 to 16) is never drawn; a value that is not a number\n"
         "is left out. With --export each is reported on standard error.\n"
         "\n"
         "Exit status of --export: 0 the picture was written (odd lines or not),\n"
         "2 bad usage or a file that cannot be read or written.\n";
}

}  // namespace meterstation::trends
