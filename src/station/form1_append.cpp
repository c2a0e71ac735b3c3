#include "output/set_files.h"
#include "output/waiting_lines.h"
#include "station/file_ends.h"
#include "station/form1.h"

namespace meterstation {

std::string Form1::pathOf(const std::string& name) const { return state_.workDir + name; }

std::string Form1::nameOf(const std::string& path) const {
  const std::size_t cut = path.find_last_of(host_.pathSeparator());
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Lines for a file of the working directory are named by the file alone;
// lines for another directory's file say which directory.
std::string Form1::waitingMessage(std::size_t count, const std::string& path) const {
  const std::string name = nameOf(path);
  std::string message =
      count == 1 ? "1 line waits for " + name : std::to_string(count) + " lines wait for " + name;
  const std::string dir = path.substr(0, path.size() - name.size());
  if (dir != state_.workDir) message += " in " + dir;
  return message;
}

void Form1::reportFileProblem(const std::string& name) {
  window_.addItem(ListId::List2, "Problem with file " + name);
}

bool Form1::replaceFile(const std::string& name, const std::string& bytes) {
  if (files_.replace(pathOf(name), bytes)) return true;
  reportFileProblem(name);
  return false;
}

bool Form1::appendLine(const std::string& name, const std::string& line) {
  return appendToFile(pathOf(name), line);
}

bool Form1::appendToFile(const std::string& path, const std::string& line) {
  const std::string name = nameOf(path);
  if (!repairTail(path)) {
    // A line appended onto a torn one would be spoilt with it; it waits
    // until the torn line is out of the way.
    const std::size_t waiting = pending_.hold(path, line);
    saveWaitingLines();
    window_.addItem(ListId::List2, waitingMessage(waiting, path));
    armRetry();
    return false;
  }
  const std::size_t before = pending_.waiting(path);
  if (before == 0 && files_.append(path, line)) return true;
  pending_.hold(path, line);
  const Delivery delivered = before == 0 ? Delivery{0, 1} : deliver(path);
  if (delivered.waiting > 0) {
    if (before == 0) saveWaitingLines();
    reportFileProblem(name);
    window_.addItem(ListId::List2, waitingMessage(delivered.waiting, path));
    armRetry();
    return false;
  }
  window_.addItem(ListId::List2, std::to_string(before) + " waiting lines written to " + name);
  return true;
}

// The waiting lines of one file, oldest first, until one fails. Before
// each append the queue on disk notes the file's size, so that after a
// crash a line that got there is not written a second time.
Form1::Delivery Form1::deliver(const std::string& path) {
  Delivery outcome;
  while (pending_.waiting(path) > 0) {
    pending_.markDelivery(path, files_.size(path).value_or(0));
    saveWaitingLines();
    const Result appended = files_.append(path, pending_.front(path));
    pending_.clearDelivery(path);
    if (!appended) break;
    pending_.pop(path);
    ++outcome.written;
  }
  outcome.waiting = pending_.waiting(path);
  saveWaitingLines();
  return outcome;
}

// True once the file's tail is safe to append to: only the bytes after its
// last LF can be left over from an append a power cut tore. They are read
// from the end, so the first append of a run costs the same whatever the
// file's size.
bool Form1::repairTail(const std::string& path) {
  if (checkedFiles_.contains(path)) return true;
  const std::string name = nameOf(path);
  if (!files_.exists(path)) {
    checkedFiles_.insert(path);
    return true;
  }
  const TailCheck check = checkTail(files_, path);
  if (!check.ok) {
    reportFileProblem(name);
    return false;  // looked at again before the next append
  }
  const TailRepair& repair = check.repair;
  if (repair.kind == TailRepair::Kind::AddLf) {
    if (!files_.append(path, "\n")) {
      reportFileProblem(name);
      return false;
    }
    window_.addItem(ListId::List2, "last line of " + name + " completed with its line end");
  } else if (repair.kind == TailRepair::Kind::CutTail) {
    if (!moveTornTail(path, repair)) return false;
    if (check.more) {
      // One bound's worth a handler, the file's end first, so the pieces
      // stand in the partial file last piece first. The lines wait until
      // a retry reaches the LF: none is appended onto the tail's rest.
      window_.addItem(ListId::List2, std::to_string(repair.tail.size()) +
                                         " bytes of the torn last line of " + name + " moved to " +
                                         partialFileOf(name) + ", more at the next try");
      return false;
    }
    window_.addItem(ListId::List2,
                    "torn last line of " + name + " moved to " + partialFileOf(name));
  }
  checkedFiles_.insert(path);
  return true;
}

bool Form1::moveTornTail(const std::string& path, const TailRepair& repair) {
  const std::string name = nameOf(path);
  const std::string partial = partialFileOf(name);
  const std::string partialPath = path.substr(0, path.size() - name.size()) + partial;
  if (!files_.append(partialPath, repair.tail + "\r\n")) {
    reportFileProblem(partial);
    return false;
  }
  if (!files_.truncate(path, repair.tailStart)) {
    reportFileProblem(name);
    return false;
  }
  return true;
}

void Form1::flushWaitingLines() {
  std::vector<std::string> paths;
  for (const auto& [path, lines] : pending_.lines()) paths.push_back(path);
  for (const std::string& path : paths) {
    if (!repairTail(path)) {
      window_.addItem(ListId::List2, waitingMessage(pending_.waiting(path), path));
      continue;
    }
    const std::size_t waiting = pending_.waiting(path);
    const Delivery outcome = deliver(path);
    if (outcome.waiting > 0) {
      window_.addItem(ListId::List2, waitingMessage(outcome.waiting, path));
    } else {
      window_.addItem(ListId::List2,
                      std::to_string(waiting) + " waiting lines written to " + nameOf(path));
    }
  }
  armRetry();
}

// The waiting lines go to disk the moment they change, so a crash loses
// none of them; with none left the file goes.
void Form1::saveWaitingLines() {
  if (queueFile_.empty()) return;
  const Result saved =
      pending_.totalWaiting() == 0
          ? files_.remove(queueFile_)
          : files_.replace(queueFile_, encodeWaitingLines(pending_.lines(), pending_.deliveries()));
  if (!saved && !queueSaveFailed_) {
    window_.addItem(ListId::List2, "Problem with file " + queueFile_ + ": " + saved.error);
  }
  queueSaveFailed_ = !saved;
}

void Form1::armRetry() {
  const bool anyWaiting = pending_.totalWaiting() > 0 && !ended_;
  if (anyWaiting && !retryTimer_.enabled()) {
    retryTimer_.setInterval(kRetryMs);
    retryTimer_.setEnabled(true);
  } else if (!anyWaiting) {
    retryTimer_.setEnabled(false);
  }
}

void Form1::Timer2_Timer() {
  if (ended_) return;
  flushWaitingLines();
}

}  // namespace meterstation
