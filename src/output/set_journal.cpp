#include "output/set_journal.h"

#include <charconv>
#include <cstddef>

namespace meterstation {

namespace {

// Built in one allocation: a record is written for every reading.
std::string record(char kind, const std::string& body) {
  const std::string length = std::to_string(body.size());
  std::string text;
  text.reserve(2 + length.size() + 1 + body.size() + 1);
  text += kind;
  text += ' ';
  text += length;
  text += '\n';
  text += body;
  text += '\n';
  return text;
}

struct Record {
  char kind = 0;
  std::string body;
};

// The record at `at`, moving `at` past it; nothing when the bytes there are
// not one whole record.
std::optional<Record> nextRecord(const std::string& bytes, std::size_t& at) {
  if (bytes.size() - at < 4 || bytes[at + 1] != ' ') return std::nullopt;
  const std::size_t lengthEnd = bytes.find('\n', at + 2);
  if (lengthEnd == std::string::npos) return std::nullopt;
  std::size_t length = 0;
  const char* first = bytes.data() + at + 2;
  const char* last = bytes.data() + lengthEnd;
  const auto [ptr, ec] = std::from_chars(first, last, length);
  if (ec != std::errc() || ptr != last || first == last) return std::nullopt;
  const std::size_t bodyStart = lengthEnd + 1;
  if (length >= bytes.size() - bodyStart || bytes[bodyStart + length] != '\n') return std::nullopt;
  Record found{bytes[at], bytes.substr(bodyStart, length)};
  at = bodyStart + length + 1;
  return found;
}

constexpr std::size_t kTimeAndDateLength = 19;

}  // namespace

std::string journalReading(const JournalEntry& entry) {
  return record('R', entry.readingText + " " + entry.timeAndDate);
}

std::string journalCompletion(const std::optional<std::string>& databaseLine) {
  return databaseLine ? record('C', *databaseLine) : record('S', "");
}

Journal decodeJournal(const std::string& bytes) {
  Journal journal;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const auto found = nextRecord(bytes, at);
    if (!found) {
      journal.tornTail = true;
      break;
    }
    if (found->kind == 'R' && found->body.size() > kTimeAndDateLength) {
      const std::size_t split = found->body.size() - kTimeAndDateLength - 1;
      journal.entries.push_back({found->body.substr(0, split), found->body.substr(split + 1)});
    } else if (found->kind == 'C' || found->kind == 'S') {
      journal.completed = true;
      if (found->kind == 'C') journal.databaseLine = found->body;
    } else {
      journal.tornTail = true;
      break;
    }
  }
  return journal;
}

std::string incompleteSetText(const std::vector<JournalEntry>& entries, bool interrupted,
                              const std::string& keptAt) {
  std::string text = "unfinished set, " + std::to_string(entries.size()) +
                     (entries.size() == 1 ? " reading, " : " readings, ") +
                     (interrupted ? "run interrupted" : "run ended") + ", kept " + keptAt + "\r\n";
  for (const JournalEntry& entry : entries) {
    text += entry.readingText + " " + entry.timeAndDate + "\r\n";
  }
  return text;
}

}  // namespace meterstation
