#pragma once

#include <optional>
#include <string>
#include <vector>

#include "text/station_names.h"

namespace meterstation {

// One accepted reading of the set in progress: its reading text and the
// time and date of its processing, "hh:mm:ss mm-dd-yyyy".
struct JournalEntry {
  std::string readingText;
  std::string timeAndDate;
};

// A reading's record, appended to the journal right after it joins the set.
std::string journalReading(const JournalEntry& entry);
// Written just before a completed set's database line is appended: after a
// crash it tells whether the set reached the database (its line is there)
// or not. A set the database countdown passes over has no line.
std::string journalCompletion(const std::optional<std::string>& databaseLine);

struct Journal {
  std::vector<JournalEntry> entries;
  bool completed = false;
  std::optional<std::string> databaseLine;  // of a completed set that has one
  // The last record was torn by a crash while it was written: it was never
  // acknowledged and is left out.
  bool tornTail = false;
};
Journal decodeJournal(const std::string& bytes);

// The block of "incomplete-sets.txt" for the readings of one unfinished
// set: a heading line saying when it was kept and whether the run was
// interrupted or ended, then each reading text, a space, its time and date.
std::string incompleteSetText(const std::vector<JournalEntry>& entries, bool interrupted,
                              const std::string& keptAt);

}  // namespace meterstation
