#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "db2csv/conversion.h"
#include "db2csv/options.h"
#include "platform/result.h"

using meterstation::Result;
using namespace meterstation::db2csv;

namespace {

// The database read a piece at a time: a year is 386 MB, and holding it
// whole only costs the kernel time to hand out the memory.
class Input {
 public:
  explicit Input(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    if (file_ == nullptr) result_ = Result::failure(std::strerror(errno));
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() {
    if (file_ != nullptr) std::fclose(file_);
  }

  // The next piece; empty at the end or on a failure, which result() says.
  std::string_view next() {
    if (!result_) return {};
    const std::size_t got = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    if (got == 0 && std::ferror(file_) != 0) result_ = Result::failure(std::strerror(errno));
    return {buffer_.data(), got};
  }
  const Result& result() const { return result_; }

 private:
  std::FILE* file_;
  Result result_;
  std::vector<char> buffer_ = std::vector<char>(4 << 20);
};

// Where the CSV goes. The first failure is kept and nothing more is
// written, but the conversion goes on so every odd line is still reported.
class Output {
 public:
  explicit Output(const std::string& path) : toStdout_(path.empty()) {
    if (toStdout_) {
      file_ = stdout;
#ifdef _WIN32
      // The rows end in CRLF already: in text mode Windows would make that
      // CR CR LF, and the CSV on standard output would differ from a file's.
      if (_setmode(_fileno(stdout), _O_BINARY) == -1) fail();
#endif
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

  Input input(options.inputPath);
  // The first piece before the output is made: a file that cannot be read
  // at all (missing, a directory) leaves no empty CSV behind.
  std::string_view piece = input.next();
  if (!input.result()) {
    std::fprintf(stderr, "db2csv: cannot read %s: %s\n", options.inputPath.c_str(),
                 input.result().error.c_str());
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
  for (; !piece.empty(); piece = input.next()) converter.feed(piece);
  if (!input.result()) {
    std::fprintf(stderr, "db2csv: cannot read %s: %s\n", options.inputPath.c_str(),
                 input.result().error.c_str());
    return 2;
  }
  converter.finish();
  if (const Result written = output.close(); !written) {
    const std::string where = options.outputPath.empty() ? "standard output" : options.outputPath;
    std::fprintf(stderr, "db2csv: cannot write %s: %s\n", where.c_str(), written.error.c_str());
    return 2;
  }
  return converter.oddLines() == 0 ? 0 : 1;
}
