#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace meterstation::testsupport {

// Where every reading a processor sent went, over runs of a station that
// was killed and started again. Each run is one processor's stream: its
// synchronising burst, then readings, each text unique. The station's files
// are searched for each text; then every reading falls in exactly one
// category, or is a failure:
//  - in the database, in incomplete-sets.txt or in rejects.txt, once;
//  - merged: part of a reading that held two or more bursts (a stall longer
//    than the silence between them), or in the database line of a set with
//    such a reading, whose slots by meter number may hold a reading twice
//    and leave out another;
//  - with the synchronising burst: sent before the run's first reading that
//    reached a file, so thrown away with the burst it arrived with;
//  - in flight: sent after the run's last reading that reached a file, so
//    lost with the station's process or the line when it was killed.
// A synchronising burst is not counted among the readings. Found once, it
// was stored as a reading because the station's synchronising tick came
// before it (any notification of the port arms the tick, a port back after
// a failed open as well as a burst): counted apart. Found twice, it fails.
class ReadingAccounting {
 public:
  enum Category { Database, Incomplete, Rejects, Merged, WithSync, InFlight, kCategories };
  enum Place { InDatabase, InIncomplete, InRejects };

  // One processor run: its synchronising burst and its readings in order.
  void addRun(const std::string& sync, const std::vector<std::string>& readings) {
    runs_.push_back({sync, readings});
  }

  // The station's files, as whole lines without their CR LF.
  void settle(const std::vector<std::string>& database, const std::vector<std::string>& incomplete,
              const std::vector<std::string>& rejects) {
    index();
    scan(database, InDatabase,
         [](const std::string& line, std::size_t) { return line.size() != kDatabaseLine; });
    // "<reading text> <hh:mm:ss mm-dd-yyyy>" for one reading.
    scan(incomplete, InIncomplete,
         [](const std::string& line, std::size_t) { return line.size() > kReadingSize + 20; });
    scan(rejects, InRejects, [](const std::string&, std::size_t found) { return found > 1; });
    for (std::size_t run = 0; run < runs_.size(); ++run) classify(run);
  }

  std::size_t count(Category c) const { return counts_[c]; }
  std::size_t sent() const {
    std::size_t total = 0;
    for (const Run& run : runs_) total += run.readings.size();
    return total;
  }
  std::size_t accounted() const {
    std::size_t total = 0;
    for (std::size_t c : counts_) total += c;
    return total;
  }
  std::size_t mostInFlight() const { return mostInFlight_; }
  std::size_t syncBurstsStored() const { return syncsStored_; }
  // What does not close, one line each: a reading nowhere, one in two
  // places or twice, a synchronising burst taken as a reading, a text sent
  // twice.
  const std::vector<std::string>& failures() const { return failures_; }
  // The runs those failures are in, to show their processor's log.
  const std::set<std::size_t>& failedRuns() const { return failedRuns_; }

 private:
  static constexpr std::size_t kReadingSize = 40;
  static constexpr std::size_t kDatabaseLine = 676;

  struct Run {
    std::string sync;
    std::vector<std::string> readings;
  };
  struct Occurrence {
    Place place;
    bool merged;  // in a line that holds a merged reading
  };
  struct Id {
    std::size_t run;
    std::size_t reading;  // the synchronising burst when syncBurst
    bool syncBurst;
  };

  void index() {
    for (std::size_t r = 0; r < runs_.size(); ++r) {
      found_.emplace_back(runs_[r].readings.size());
      syncFound_.push_back(0);
      if (!runs_[r].sync.empty()) remember(runs_[r].sync.substr(0, kReadingSize), {r, 0, true});
      for (std::size_t i = 0; i < runs_[r].readings.size(); ++i) {
        remember(runs_[r].readings[i].substr(0, kReadingSize), {r, i, false});
      }
    }
  }
  void remember(const std::string& text, Id id) {
    if (!ids_.emplace(text, id).second) failures_.push_back("sent twice: " + text);
  }

  // Every sent text in every line, at any offset: merged readings hold
  // their bursts with spaces or <CR><LF> between them.
  template <typename MergedLine>
  void scan(const std::vector<std::string>& lines, Place place, MergedLine mergedLine) {
    for (const std::string& line : lines) {
      std::vector<Id> inLine;
      for (std::size_t at = 0; at + kReadingSize <= line.size(); ++at) {
        if (line[at + 2] != ',') continue;
        const auto id = ids_.find(line.substr(at, kReadingSize));
        if (id != ids_.end()) inLine.push_back(id->second);
      }
      const bool merged = mergedLine(line, inLine.size());
      for (const Id& id : inLine) {
        if (id.syncBurst) {
          syncFound_[id.run] += 1;
        } else {
          found_[id.run][id.reading].push_back({place, merged});
        }
      }
    }
  }

  void classify(std::size_t r) {
    if (syncFound_[r] == 1) syncsStored_ += 1;
    if (syncFound_[r] > 1) {
      failedRuns_.insert(r);
      failures_.push_back("the synchronising burst of run " + std::to_string(r) + " is there " +
                          std::to_string(syncFound_[r]) + " times");
    }
    const std::vector<std::vector<Occurrence>>& found = found_[r];
    std::size_t first = found.size();
    std::size_t last = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
      if (found[i].empty()) continue;
      first = std::min(first, i);
      last = i;
    }
    if (first == found.size()) {  // nothing of this run reached a file
      counts_[InFlight] += found.size();
      mostInFlight_ = std::max(mostInFlight_, found.size());
      return;
    }
    counts_[WithSync] += first;
    counts_[InFlight] += found.size() - 1 - last;
    mostInFlight_ = std::max(mostInFlight_, found.size() - 1 - last);
    for (std::size_t i = first; i <= last; ++i) classifyReading(r, i);
  }

  void classifyReading(std::size_t r, std::size_t i) {
    const std::vector<Occurrence>& where = found_[r][i];
    const auto merged = [](const Occurrence& o) { return o.merged; };
    if (where.size() == 1 && !where[0].merged) {
      counts_[static_cast<Category>(where[0].place)] += 1;
    } else if (!where.empty() && std::all_of(where.begin(), where.end(), merged)) {
      counts_[Merged] += 1;
    } else if (where.empty() && besideMergedSet(r, i)) {
      counts_[Merged] += 1;
    } else {
      failedRuns_.insert(r);
      failures_.push_back(describe(r, i));
    }
  }

  // A reading the slots of a merged set's database line left out: the
  // readings nowhere around it border on that line.
  bool besideMergedSet(std::size_t r, std::size_t i) const {
    const std::vector<std::vector<Occurrence>>& found = found_[r];
    const auto inMergedLine = [](const std::vector<Occurrence>& where) {
      return std::any_of(where.begin(), where.end(),
                         [](const Occurrence& o) { return o.merged && o.place == InDatabase; });
    };
    std::size_t before = i;
    while (before > 0 && found[before - 1].empty()) --before;
    std::size_t after = i;
    while (after + 1 < found.size() && found[after + 1].empty()) ++after;
    return (before > 0 && inMergedLine(found[before - 1])) ||
           (after + 1 < found.size() && inMergedLine(found[after + 1]));
  }

  std::string describe(std::size_t r, std::size_t i) const {
    static const std::array<const char*, 3> names = {"qn.db1", "incomplete-sets.txt",
                                                     "rejects.txt"};
    const std::vector<Occurrence>& where = found_[r][i];
    std::string text = "run " + std::to_string(r) + ", reading " + std::to_string(i) + " (" +
                       runs_[r].readings[i].substr(0, kReadingSize) + ") is ";
    if (where.empty()) return text + "nowhere";
    text += "in";
    for (const Occurrence& o : where) {
      text += std::string(" ") + names[o.place] + (o.merged ? " (merged)" : "");
    }
    return text;
  }

  std::vector<Run> runs_;
  std::map<std::string, Id> ids_;
  std::vector<std::vector<std::vector<Occurrence>>> found_;  // run, reading, where
  std::array<std::size_t, kCategories> counts_{};
  std::size_t mostInFlight_ = 0;
  std::vector<std::size_t> syncFound_;  // by run
  std::size_t syncsStored_ = 0;
  std::vector<std::string> failures_;
  std::set<std::size_t> failedRuns_;
};

}  // namespace meterstation::testsupport
