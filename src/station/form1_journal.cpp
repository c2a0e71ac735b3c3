#include <utility>

#include "output/set_files.h"
#include "reading/set_accumulation.h"
#include "station/file_ends.h"
#include "station/form1.h"

namespace meterstation {

namespace {

// The readings of an unfinished set as incomplete-sets.txt holds them,
// without the heading, whose time differs from one keeping to the next.
std::string keptReadings(const std::vector<JournalEntry>& entries) {
  const std::string block = incompleteSetText(entries, true, "");
  return block.substr(block.find("\r\n") + 2);
}

// A crash between keeping a journal's readings and emptying the journal
// leaves them in both: they stand at the end of incomplete-sets.txt, or
// are the last line waiting for it.
bool alreadyKept(Files& files, const AppendQueue& pending, const std::string& path,
                 const std::vector<JournalEntry>& entries) {
  const std::string readings = keptReadings(entries);
  const auto waiting = pending.lines().find(path);
  if (waiting != pending.lines().end() && !waiting->second.empty()) {
    return waiting->second.back().ends_with(readings);
  }
  return endsWith(files, path, readings);
}

}  // namespace

// Each accepted reading goes to disk the moment it joins the set, so a
// crash in the middle of a set loses none of its readings. The entry is
// taken by value and moved into the set: this runs for every reading.
void Form1::journalReading(JournalEntry entry) {
  if (journalDir_.empty()) journalDir_ = state_.workDir;
  const Result written =
      files_.append(journalDir_ + kJournalFile, meterstation::journalReading(entry));
  setEntries_.push_back(std::move(entry));
  if (!written && !journalFailed_) reportFileProblem(kJournalFile);
  journalFailed_ = !written;
}

void Form1::journalCompletion(const std::optional<std::string>& databaseLine) {
  if (journalDir_.empty()) return;
  const Result written =
      files_.append(journalDir_ + kJournalFile, meterstation::journalCompletion(databaseLine));
  if (!written && !journalFailed_) reportFileProblem(kJournalFile);
  journalFailed_ = !written;
}

void Form1::clearJournal() {
  setEntries_.clear();
  if (journalDir_.empty()) return;
  const std::string path = journalDir_ + kJournalFile;
  if (!files_.exists(path)) return;
  const Result cleared = files_.truncate(path, 0);
  if (!cleared && !journalFailed_) reportFileProblem(kJournalFile);
  journalFailed_ = !cleared;
}

// A completed set whose journal was not yet emptied when the run stopped:
// it reached its database if its line is the last one there or waits for
// it. A set the countdown passed over had no line to write.
bool Form1::setReachedItsFile(const Journal& journal) const {
  if (!journal.databaseLine) return true;
  const std::string database = state_.workDir + kDatabaseFile;
  if (pending_.holds(database, *journal.databaseLine)) return true;
  return endsWith(files_, database, *journal.databaseLine);
}

// The journal found in a newly chosen working directory belongs to a run
// that is over: its readings can never join a set again (a set is sixteen
// consecutive readings), so they are kept apart. The set in progress moves
// its own journal along with the working directory.
void Form1::takeUpJournal() {
  const std::string dir = state_.workDir;
  if (journalDir_ == dir) return;
  const std::string path = dir + kJournalFile;
  bool keptOrEmpty = true;
  if (files_.exists(path)) {
    const ReadResult found = files_.read(path);
    if (!found.ok) {
      reportFileProblem(kJournalFile);
      keptOrEmpty = false;
    } else {
      const Journal journal = decodeJournal(found.bytes);
      if (!journal.entries.empty() && !(journal.completed && setReachedItsFile(journal)) &&
          !alreadyKept(files_, pending_, dir + kIncompleteSetsFile, journal.entries)) {
        keepIncompleteSet(dir, journal.entries, true);
        keptOrEmpty = pending_.waiting(dir + kIncompleteSetsFile) == 0 || !queueSaveFailed_;
      }
    }
  }
  // The set in progress moves its journal along; left behind, its readings
  // would be kept again as an unfinished set at that directory's next start.
  if (!journalDir_.empty() && !setEntries_.empty() &&
      !files_.truncate(journalDir_ + kJournalFile, 0)) {
    reportFileProblem(journalDir_ + kJournalFile);
  }
  journalDir_ = dir;
  if (!keptOrEmpty) return;  // the old readings stay where they are
  std::string own;
  for (const JournalEntry& entry : setEntries_) own += meterstation::journalReading(entry);
  if (own.empty() && !files_.exists(path)) return;
  if (!files_.replace(path, own)) reportFileProblem(kJournalFile);
}

void Form1::keepIncompleteSet(const std::string& dir, const std::vector<JournalEntry>& entries,
                              bool interrupted) {
  const LocalMoment now = clock_.now();
  const std::string keptAt = now.time + " " + now.date;
  appendToFile(dir + kIncompleteSetsFile, incompleteSetText(entries, interrupted, keptAt));
  const std::size_t n = entries.size();
  window_.addItem(ListId::List2, std::to_string(n) + (n == 1 ? " reading" : " readings") +
                                     " of an unfinished set kept in " + kIncompleteSetsFile);
}

}  // namespace meterstation
