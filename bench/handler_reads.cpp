// The most bytes one handler reads, and the most it syncs, while sets are
// appended to a small qn.db1 and to a year's (386 MB): the station logic
// over the real files adapter, whose read and sync calls are counted
// handler by handler. What a handler reads must not grow with the file.
//
// Both files are sparse but for their last line: the station looks only at
// a file's end, and a sparse file costs no disk. An earlier run left a
// journal and a waiting line behind, both about the database's last line,
// so that the start looks for that line as a crash leaves it to.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/bench_report.h"
#include "fakes/station_harness.h"
#include "output/set_journal.h"
#include "output/waiting_lines.h"
#include "platform/posix/durable_files.h"
#include "station/file_ends.h"
#include "station/form1.h"

namespace {

using namespace meterstation;
using testing::readingOf;

constexpr std::uint64_t kLineBytes = 678;
constexpr std::uint64_t kYearLines = 570000;  // a set every 55 s

struct Counts {
  std::uint64_t bytes = 0;
  int syncs = 0;
};

struct Most {
  std::uint64_t bytes = 0;
  std::string reader;
  int readingSyncs = 0;  // a reading that completes no set
  int setSyncs = 0;      // the reading that completes a set
};

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/var/tmp/meterstation-reads-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

FileSystemCalls countingCalls(const std::shared_ptr<Counts>& counts) {
  FileSystemCalls calls = FileSystemCalls::real();
  const FileSystemCalls real = calls;
  calls.read = [counts, real](int fd, void* data, std::size_t size) {
    const ssize_t got = real.read(fd, data, size);
    if (got > 0) counts->bytes += static_cast<std::uint64_t>(got);
    return got;
  };
  calls.pread = [counts, real](int fd, void* data, std::size_t size, off_t offset) {
    const ssize_t got = real.pread(fd, data, size, offset);
    if (got > 0) counts->bytes += static_cast<std::uint64_t>(got);
    return got;
  };
  calls.fdatasync = [counts, real](int fd) {
    ++counts->syncs;
    return real.fdatasync(fd);
  };
  calls.fsync = [counts, real](int fd) {
    ++counts->syncs;
    return real.fsync(fd);
  };
  return calls;
}

// qn.db1 of `lines` lines, sparse but for its last one, and what a run
// killed right after that line's append leaves.
bool prepare(const std::string& root, std::uint64_t lines, const std::string& last) {
  const std::string dir = root + "/qN07";
  std::filesystem::create_directories(dir);
  std::filesystem::create_directories(root + "/data");
  const int fd = ::open((dir + "/qn.db1").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  const off_t start = static_cast<off_t>((lines - 1) * kLineBytes);
  const bool written =
      fd >= 0 && ::ftruncate(fd, start) == 0 &&
      ::pwrite(fd, last.data(), last.size(), start) == static_cast<ssize_t>(last.size());
  if (fd >= 0) ::close(fd);
  DurableFiles files;
  const std::string journal =
      journalReading({readingOf(1).substr(0, 40), "06:19:16 12-08-2026"}) + journalCompletion(last);
  const WaitingLines waiting{{dir + "/qn.db1", {last}}};
  const Deliveries deliveries{{dir + "/qn.db1", static_cast<std::uint64_t>(start)}};
  return written && files.replace(dir + "/" + kJournalFile, journal).ok &&
         files.replace(root + "/data/waiting-17.lines", encodeWaitingLines(waiting, deliveries)).ok;
}

Most run(std::uint64_t lines) {
  TempDir root;
  const std::string last = std::string(kLineBytes - 2, 'n') + "\r\n";
  Most most;
  if (root.path.empty() || !prepare(root.path, lines, last)) return most;
  auto counts = std::make_shared<Counts>();
  testing::BasicStation<DurableFiles> station(false, countingCalls(counts));
  Form1& form = station.form;
  station.window.dir = root.path + "/qN07";
  station.window.texts[TextId::Text3] = "9999";
  station.host.dataDir = root.path + "/data";

  const auto handler = [&](const char* name, auto call) {
    *counts = {};
    call();
    if (counts->bytes > most.bytes) {
      most.bytes = counts->bytes;
      most.reader = name;
    }
    return counts->syncs;
  };
  handler("Form_Load", [&] { form.Form_Load(); });
  handler("Dir1_Change", [&] { form.Dir1_Change(); });
  handler("Command1_Click", [&] { form.Command1_Click(); });
  for (int burst = 0; burst <= 3 * 16; ++burst) {
    const std::string text = burst == 0 ? "noise\r\n" : readingOf((burst - 1) % 16 + 1);
    handler("MSComm1_OnComm", [&] { station.arrive(text); });
    bool ticked = false;
    const int syncs = handler("Timer1_Timer", [&] { ticked = station.quiet(); });
    if (!ticked) return {};
    int& kind = burst > 0 && burst % 16 == 0 ? most.setSyncs : most.readingSyncs;
    if (burst > 0) kind = std::max(kind, syncs);
  }
  handler("Form_Unload", [&] { form.Form_Unload(); });
  return most;
}

std::string sizeText(std::uint64_t lines) {
  char text[32];
  const double bytes = static_cast<double>(lines * kLineBytes);
  if (bytes >= 1e6) {
    std::snprintf(text, sizeof text, "%.0f MB", bytes / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.1f KB", bytes / 1e3);
  }
  return text;
}

}  // namespace

int main() {
  constexpr std::uint64_t kSmallLines = 10;
  const Most small = run(kSmallLines);
  const Most year = run(kYearLines);
  char value[200];
  std::snprintf(value, sizeof value, "%llu B (%s) with a %s qn.db1, %llu B (%s) with a %s one",
                static_cast<unsigned long long>(small.bytes), small.reader.c_str(),
                sizeText(kSmallLines).c_str(), static_cast<unsigned long long>(year.bytes),
                year.reader.c_str(), sizeText(kYearLines).c_str());
  const bool ran = !small.reader.empty() && !year.reader.empty();
  meterstation::bench::printRow("most a handler reads", value,
                                "<= 64 KiB, whatever the size of qn.db1",
                                ran && std::max(small.bytes, year.bytes) <= kTailBound);
  std::snprintf(value, sizeof value, "%d for a reading, %d for the one that completes a set",
                year.readingSyncs, year.setSyncs);
  meterstation::bench::printReference("most syncs in one tick (real files adapter)", value);
  return ran ? 0 : 1;
}
