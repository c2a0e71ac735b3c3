#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "db2csv/conversion.h"
#include "db2csv/options.h"
#include "platform/result.h"

using meterstation::Result;
using namespace meterstation::db2csv;

namespace {

// One allocation of the file's size, so a year of lines is not copied again
// and again while the buffer grows.
Result readWhole(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Result::failure(std::strerror(errno));
  struct stat status {};
  if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode)) {
    bytes.reserve(static_cast<std::size_t>(status.st_size));
  }
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) return Result::failure(std::strerror(error));
  return Result::success();
}

// Where the CSV goes. The first failure is kept and nothing more is
// written, but the conversion goes on so every odd line is still reported.
class Output {
 public:
  explicit Output(const std::string& path) : toStdout_(path.empty()) {
    if (toStdout_) {
      file_ = stdout;
    } else if ((file_ = std::fopen(path.c_str(), "wb")) == nullptr) {
      result_ = Result::failure(std::strerror(errno));
    }
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() {
    if (file_ != nullptr && !toStdout_) std::fclose(file_);
  }

  void write(std::string_view bytes) {
    if (!result_) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) fail();
  }

  Result close() {
    if (result_ && std::fflush(file_) != 0) fail();
    if (!toStdout_ && file_ != nullptr) {
      if (std::fclose(file_) != 0 && result_) fail();
      file_ = nullptr;
    }
    return result_;
  }

 private:
  void fail() { result_ = Result::failure(std::strerror(errno)); }

  bool toStdout_;
  std::FILE* file_ = nullptr;
  Result result_;
};

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
  Output output(options.outputPath);
  Converter converter(
      options, [&](std::string_view csv) { output.write(csv); },
      [&](const std::string& report) {
        // A report may quote bytes of the line, NULs among them: written whole.
        const std::string line = "db2csv: " + options.inputPath + ": " + report + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
      });
  converter.feed(bytes);
  converter.finish();
  if (const Result written = output.close(); !written) {
    const std::string where = options.outputPath.empty() ? "standard output" : options.outputPath;
    std::fprintf(stderr, "db2csv: cannot write %s: %s\n", where.c_str(), written.error.c_str());
    return 2;
  }
  return converter.oddLines() == 0 ? 0 : 1;
}
