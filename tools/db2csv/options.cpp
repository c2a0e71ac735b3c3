#include "db2csv/options.h"

#include "dbline/db_line.h"

namespace meterstation::db2csv {

namespace {

ParsedOptions failure(std::string error) {
  ParsedOptions parsed;
  parsed.ok = false;
  parsed.error = std::move(error);
  return parsed;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  Options& options = parsed.options;
  bool haveInput = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (name.starts_with("--") && name.find('=') != std::string::npos) {
      const std::size_t equals = name.find('=');
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const auto takeValue = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };

    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--keep-odd") {
      options.keepOdd = true;
    } else if (name == "--from" || name == "--to") {
      const std::optional<std::string> date = takeValue();
      if (!date) return failure(name + " needs a date (yyyy-mm-dd)");
      const std::optional<std::string> key = dbline::dateKeyOf(*date);
      if (!key) return failure(name + " \"" + *date + "\" is not a date of the form yyyy-mm-dd");
      (name == "--from" ? options.fromKey : options.toKey) = key;
    } else if (name == "-o" || name == "--output") {
      const std::optional<std::string> path = takeValue();
      if (!path || path->empty()) return failure(name + " needs a file name");
      options.outputPath = *path;
    } else if (name.size() > 1 && name.starts_with("-")) {
      return failure("unknown option " + args[i]);
    } else {
      if (haveInput) return failure("only one input file can be given (also got " + name + ")");
      options.inputPath = name;
      haveInput = true;
    }
  }
  if (options.fromKey && options.toKey && *options.fromKey > *options.toKey) {
    return failure("--from is after --to");
  }
  return parsed;
}

std::string helpText() {
  return "Usage: db2csv [OPTIONS] [FILE]\n"
         "Turns the station's database FILE (default qn.db1) into CSV for a spreadsheet:\n"
         "a header row, then one row per meter per set with the marker, the date and\n"
         "time (2026-12-08T06:19:16), the meter number and the reading's eight fields\n"
         "as they stand, every cell quoted so leading zeros stay.\n"
         "\n"
         "  --from DATE   only sets on or after DATE (yyyy-mm-dd)\n"
         "  --to DATE     only sets on or before DATE (yyyy-mm-dd)\n"
         "  -o FILE       write the CSV to FILE instead of standard output\n"
         "  --keep-odd    also convert odd lines, as far as they can be read\n"
         "  --help        show this text\n"
         "\n"
         "An odd line (torn at the end of the file, not 676 characters long, without\n"
         "a date and time, or with a meter field outside 01 to 16) is reported on\n"
         "standard error with its line number and skipped, unless --keep-odd.\n"
         "\n"
         "Exit status: 0 all lines good, 1 odd lines found, 2 bad usage or a file\n"
         "that cannot be read or written.\n";
}

}  // namespace meterstation::db2csv
