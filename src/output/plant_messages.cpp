#include "output/plant_messages.h"

#include <charconv>
#include <cmath>

namespace meterstation {

namespace {

void appendUtf8(std::string& out, unsigned char c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// JSON's own escapes where it has them; \u00XX for the other control
// characters, DEL included, so that none reaches a consumer raw.
void appendEscaped(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (c < 0x20 || c == 0x7F) {
    out += "\\u00";
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
    return;
  }
  appendUtf8(out, c);
}

std::string field(const char* name, const std::string& json) {
  return std::string("\"") + name + "\":" + json;
}

}  // namespace

std::string utf8FromLatin1(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size());
  for (const char c : latin1) appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string jsonText(const std::string& latin1) {
  std::string out;
  out.reserve(latin1.size() + 2);
  out += '"';
  for (const char c : latin1) appendEscaped(out, static_cast<unsigned char>(c));
  out += '"';
  return out;
}

std::string jsonNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "null";
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *value);
  if (ec != std::errc()) return "null";
  return std::string(buffer, end);
}

std::string isoLocalTime(const std::string& digits) {
  if (digits.size() < 14) return digits;
  return digits.substr(0, 4) + "-" + digits.substr(4, 2) + "-" + digits.substr(6, 2) + "T" +
         digits.substr(8, 2) + ":" + digits.substr(10, 2) + ":" + digits.substr(12, 2);
}

std::string stationIdOf(const std::string& workDir, char separator) {
  std::string path = workDir;
  while (!path.empty() && path.back() == separator) path.pop_back();
  const std::size_t cut = path.find_last_of(separator);
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '+' || c == '#' || c == '/' || u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0)) {
      c = '_';
    }
  }
  return name.empty() ? "_" : name;
}

std::string plantTopic(const std::string& prefix, const std::string& stationId,
                       const std::string& kind) {
  return utf8FromLatin1(prefix) + "/" + utf8FromLatin1(stationId) + "/" + kind;
}

std::string readingPayload(const ReadingMessage& m) {
  std::string fields = "[";
  for (std::size_t i = 0; i < m.fields.size(); ++i) {
    if (i > 0) fields += ',';
    fields += jsonText(m.fields[i]);
  }
  fields += ']';
  return "{" + field("id", jsonText(m.id)) + "," + field("meter", jsonNumber(m.meter)) + "," +
         field("reading", jsonText(m.reading)) + "," + field("fields", fields) + "," +
         field("value", jsonNumber(m.value)) + "," + field("time", jsonText(m.time)) + "}";
}

std::string setPayload(const SetMessage& m) {
  return "{" + field("id", jsonText(m.id)) + "," + field("line", jsonText(m.line)) + "," +
         field("time", jsonText(m.time)) + "," +
         field("database", m.inDatabase ? "true" : "false") + "}";
}

std::string alarmPayload(const AlarmMessage& m) {
  return "{" + field("id", jsonText(m.id)) + "," + field("meter", jsonNumber(m.meter)) + "," +
         field("kind", jsonText(m.kind)) + "," + field("value", jsonNumber(m.value)) + "," +
         field("limit", jsonNumber(m.limit)) + "," + field("time", jsonText(m.time)) + "}";
}

}  // namespace meterstation
