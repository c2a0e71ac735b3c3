#include <charconv>

#include "output/set_files.h"
#include "output/waiting_lines.h"
#include "station/file_ends.h"
#include "station/form1.h"

namespace meterstation {

namespace {

constexpr const char* kLockFile = ".meterstation.lock";
constexpr const char* kQueuePrefix = "waiting-";
constexpr const char* kQueueSuffix = ".lines";
constexpr const char* kQueueLockSuffix = ".lock";

// The process id in "waiting-<pid><suffix>"; nothing for any other name.
std::optional<int> queueOwner(const std::string& name, const std::string& suffix = kQueueSuffix) {
  const std::string prefix = kQueuePrefix;
  if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
  const char* first = name.data() + prefix.size();
  const char* last = name.data() + name.size() - suffix.size();
  int pid = 0;
  const auto [ptr, ec] = std::from_chars(first, last, pid);
  if (ec != std::errc() || ptr != last || first == last) return std::nullopt;
  return pid;
}

std::string lockOfQueue(const std::string& queueFile) {
  return queueFile.substr(0, queueFile.size() - std::string(kQueueSuffix).size()) +
         kQueueLockSuffix;
}

// The process id in ".<name>.tmp-<pid>-<n>", a replaced file's temporary.
std::optional<int> temporaryOwner(const std::string& name) {
  const std::size_t mark = name.rfind(".tmp-");
  if (!name.starts_with(".") || mark == std::string::npos) return std::nullopt;
  const std::size_t dash = name.find('-', mark + 5);
  if (dash == std::string::npos || dash + 1 == name.size()) return std::nullopt;
  int pid = 0;
  const auto [ptr, ec] = std::from_chars(name.data() + mark + 5, name.data() + dash, pid);
  if (ec != std::errc() || ptr != name.data() + dash || pid <= 0) return std::nullopt;
  for (std::size_t k = dash + 1; k < name.size(); ++k) {
    if (name[k] < '0' || name[k] > '9') return std::nullopt;
  }
  return pid;
}

}  // namespace

// Lines that waited when an earlier run ended or died wait again. The
// first such queue whose lock comes free becomes this run's own; more are
// taken into it.
void Form1::adoptWaitingLines() {
  const std::string dir = host_.dataDirectory();
  if (dir.empty()) return;
  const std::string base = dir + host_.pathSeparator();
  for (const std::string& name : files_.list(dir)) {
    if (!queueOwner(name)) continue;
    const std::string path = base + name;
    if (path == queueFile_ || !host_.lock(lockOfQueue(path)).ok) continue;
    adoptQueueFile(path);
  }
  if (queueFile_.empty()) {
    const std::string own = base + kQueuePrefix + std::to_string(host_.processId()) + kQueueSuffix;
    if (host_.lock(lockOfQueue(own)).ok) queueFile_ = own;
  }
  removeStaleQueueLocks(base);
  if (pending_.totalWaiting() > 0) {
    window_.addItem(ListId::List2, std::to_string(pending_.totalWaiting()) +
                                       " lines of an earlier run wait for their files");
    flushWaitingLines();
  }
}

// Lock files of stations that are gone and left no lines would otherwise
// gather, one a start, in a station that starts at every login. A lock
// whose queue is still there stays with it: this run may be holding it.
void Form1::removeStaleQueueLocks(const std::string& base) {
  for (const std::string& name : files_.list(host_.dataDirectory())) {
    const auto owner = queueOwner(name, kQueueLockSuffix);
    if (!owner) continue;
    const std::string lock = base + name;
    const std::string queue = base + kQueuePrefix + std::to_string(*owner) + kQueueSuffix;
    if (lock == lockOfQueue(queueFile_) || files_.exists(queue) || !host_.lock(lock).ok) continue;
    removeQueueLock(lock);
  }
}

// Deleted while still held: a station that opened the file before finds,
// once it has the lock, that the name is no longer that file, and tries
// again on the new one.
void Form1::removeQueueLock(const std::string& lock) {
  // A lock file that stays guards nothing once unlocked: the next start
  // that finds no queue beside it takes it away.
  (void)files_.remove(lock);
  host_.unlock(lock);
}

// At the end, with nothing left waiting and its queue gone, this run's
// lock file goes too.
void Form1::releaseQueueLock() {
  if (queueFile_.empty() || pending_.totalWaiting() > 0 || files_.exists(queueFile_)) return;
  removeQueueLock(lockOfQueue(queueFile_));
}

void Form1::adoptQueueFile(const std::string& path) {
  const ReadResult read = files_.read(path);
  const DecodedWaitingLines decoded =
      read.ok ? decodeWaitingLines(read.bytes) : DecodedWaitingLines{};
  if (!read.ok || decoded.damaged) {
    window_.addItem(ListId::List2,
                    "Problem with file " + path + ": " +
                        (read.ok ? "damaged, the readable lines taken" : read.error));
  }
  const AppendQueue before = pending_;
  pending_.adopt(withoutDelivered(decoded));
  if (queueFile_.empty() && read.ok && !decoded.damaged) {
    queueFile_ = path;  // held under its lock from now on
    return;
  }
  if (!read.ok) return;  // nothing taken: the queue stays, held, for a later start
  // Into this run's own queue first, then the old file goes, and only then
  // its lock: a queue left unlocked would be taken again.
  saveWaitingLines();
  std::string problem = "its lines cannot be kept in " + queueFile_;
  if (!queueSaveFailed_) {
    const Result removed = files_.remove(path);
    if (removed) {
      removeQueueLock(lockOfQueue(path));
      return;
    }
    problem = "cannot be removed: " + removed.error;
  }
  // Written now, its lines would be written again from the file left behind.
  pending_ = before;
  saveWaitingLines();
  window_.addItem(ListId::List2, "Problem with file " + path + ": " + problem +
                                     "; its lines are left in it for a later start");
}

// A line whose append was under way when the earlier run stopped is
// dropped if it is in its file, whole, where the file ended before. Only
// those bytes are read: the file may be a year's database.
WaitingLines Form1::withoutDelivered(const DecodedWaitingLines& decoded) {
  WaitingLines lines = decoded.lines;
  for (const auto& [path, sizeBefore] : decoded.deliveries) {
    const auto it = lines.find(path);
    if (it == lines.end() || it->second.empty()) continue;
    const std::string& first = it->second.front();
    if (!holdsAt(files_, path, sizeBefore, first)) continue;
    it->second.pop_front();
    if (it->second.empty()) lines.erase(it);
  }
  return lines;
}

void Form1::reportLinesLeftWaiting() {
  if (pending_.totalWaiting() == 0) return;
  for (const auto& [path, lines] : pending_.lines()) {
    std::string message = waitingMessage(lines.size(), path);
    if (!queueSaveFailed_ && !queueFile_.empty()) {
      message += "; kept in " + queueFile_ + " and written by the station when it next starts";
      window_.addItem(ListId::List2, message);
      host_.printError("meterstation: " + message);
      continue;
    }
    // As a last resort, standard error.
    host_.printError("meterstation: " + message + " and could not be kept; here they are:");
    for (const std::string& line : lines) {
      host_.printError(line.ends_with("\r\n") ? line.substr(0, line.size() - 2) : line);
    }
  }
}

// One station per working directory: two would interleave their sets.
// The lock of the directory left behind is released by releaseOtherLock
// once the set in progress has moved its journal out of it.
bool Form1::lockWorkDir(const std::string& dir) {
  if (dir == lockedDir_) return true;
  const LockOutcome taken = host_.lock(dir + kLockFile);
  if (!taken.ok) {
    const std::string message =
        taken.holder > 0
            ? "working directory in use by another station: process " + std::to_string(taken.holder)
            : "working directory cannot be locked: " + taken.error;
    window_.addItem(ListId::List2, message);
    return false;
  }
  previousLockedDir_ = lockedDir_;
  lockedDir_ = dir;
  return true;
}

void Form1::releaseOtherLock() {
  if (!previousLockedDir_.empty()) host_.unlock(previousLockedDir_ + kLockFile);
  previousLockedDir_.clear();
}

// Kept at every port choice and every change of the controls after it; a
// run ends only by the stop command or the operator's close.
void Form1::rememberRun(bool going) {
  if (ended_) return;
  if (port_ == 0) {
    // No port chosen in this run (a resume still waiting for its
    // directory): an end by the operator still ends the remembered run.
    std::optional<RunSettings> stored = going ? std::nullopt : settings_.load();
    if (stored && stored->going) {
      stored->going = false;
      saveRun(*stored);
    }
    return;
  }
  RunSettings run;
  run.workDir = state_.workDir;
  run.port = port_;
  run.marker = window_.text(TextId::Text1);
  run.obs = window_.text(TextId::Text3);
  run.interval = window_.text(TextId::Text4);
  run.debug = window_.checkValue(CheckId::Check1);
  run.vistaFix = window_.checkValue(CheckId::Check2);
  run.going = going;
  run.plant = plantOptions_;
  saveRun(run);
}

// A run that cannot be remembered is not taken up after a crash or a
// reboot: said once, until it can be again.
void Form1::saveRun(const RunSettings& run) {
  const Result saved = settings_.save(run);
  if (!saved && !runSaveFailed_) {
    window_.addItem(ListId::List2, "run not remembered for --resume: " + saved.error);
  }
  runSaveFailed_ = !saved;
}

void Form1::Controls_Change() { rememberRun(); }

void Form1::removeStaleTemporaries() {
  for (const std::string& name : files_.list(state_.workDir)) {
    const auto owner = temporaryOwner(name);
    if (!owner || *owner == host_.processId() || host_.processRunning(*owner)) continue;
    // Left behind by a station that is gone; one that stays is tried again
    // at the next port choice and harms nothing meanwhile.
    (void)files_.remove(pathOf(name));
  }
}

}  // namespace meterstation
