#pragma once

#include <array>
#include <optional>
#include <string>

namespace meterstation {

// What a site's control room receives of a station: one JSON object a
// message, in UTF-8, each with an id of its own so that a consumer can drop
// the copy a broker delivers twice. The station's texts are one byte a
// character (Latin-1); they are turned into UTF-8 here and nowhere else.

// The station's one-byte text in UTF-8.
std::string utf8FromLatin1(const std::string& latin1);
// The text as a JSON string, quotes included: Latin-1 bytes become their
// UTF-8 characters, control characters are escaped.
std::string jsonText(const std::string& latin1);
// A number as JSON writes it, in its shortest exact form; a value that is
// missing or not finite is null.
std::string jsonNumber(std::optional<double> value);

// "yyyy-mm-ddThh:mm:ss" of a stamp's fourteen digits "yyyymmddhhmmss":
// local time, without a zone, as the station's files hold it.
std::string isoLocalTime(const std::string& digits);

// The station's id in the topics: the name of its working directory (the
// last part of a path that ends in the separator). Characters a topic
// cannot carry, the wildcards + and #, the separator / and control
// characters, become "_"; a name with nothing left is "_".
std::string stationIdOf(const std::string& workDir, char separator);
// "<prefix>/<station>/<kind>" in UTF-8.
std::string plantTopic(const std::string& prefix, const std::string& stationId,
                       const std::string& kind);

struct ReadingMessage {
  std::string id;
  std::optional<double> meter;  // the first item
  std::string reading;          // the reading text as the station lists it
  std::array<std::string, 8> fields;
  std::optional<double> value;  // the second item, the alarm check's value
  std::string time;             // isoLocalTime of the reading's stamp
};
std::string readingPayload(const ReadingMessage& m);

struct SetMessage {
  std::string id;
  std::string line;  // the database line without its CR LF
  std::string time;
  // False for a set the database interval leaves out of qn.db1.
  bool inDatabase = true;
};
std::string setPayload(const SetMessage& m);

struct AlarmMessage {
  std::string id;
  std::optional<double> meter;
  std::string kind;  // "high" or "low"
  std::optional<double> value;
  double limit = 0;
  std::string time;
};
std::string alarmPayload(const AlarmMessage& m);

}  // namespace meterstation
