#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "db2csv/conversion.h"
#include "db2csv/options.h"
#include "platform/result.h"

using meterstation::Result;
using namespace meterstation::db2csv;

namespace {

Result readWhole(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Result::failure(std::strerror(errno));
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) return Result::failure(std::strerror(error));
  return Result::success();
}

Result writeAll(std::FILE* file, const std::string& bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0) {
    return Result::failure(std::strerror(errno));
  }
  return Result::success();
}

Result writeOutput(const std::string& path, const std::string& bytes) {
  if (path.empty()) return writeAll(stdout, bytes);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return Result::failure(std::strerror(errno));
  Result written = writeAll(file, bytes);
  if (std::fclose(file) != 0 && written) written = Result::failure(std::strerror(errno));
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok) {
    std::fprintf(stderr, "db2csv: %s\nTry 'db2csv --help' for the options.\n",
                 parsed.error.c_str());
    return 2;
  }
  const Options& options = parsed.options;
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }

  std::string bytes;
  if (const Result read = readWhole(options.inputPath, bytes); !read) {
    std::fprintf(stderr, "db2csv: cannot read %s: %s\n", options.inputPath.c_str(),
                 read.error.c_str());
    return 2;
  }
  const Conversion conversion = convert(bytes, options);
  for (const std::string& report : conversion.reports) {
    // A report may quote bytes of the line, NULs among them: written whole.
    const std::string line = "db2csv: " + options.inputPath + ": " + report + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
  if (const Result written = writeOutput(options.outputPath, conversion.csv); !written) {
    const std::string where = options.outputPath.empty() ? "standard output" : options.outputPath;
    std::fprintf(stderr, "db2csv: cannot write %s: %s\n", where.c_str(), written.error.c_str());
    return 2;
  }
  return conversion.reports.empty() ? 0 : 1;
}
