#include "platform/win32/ini_value.h"

namespace meterstation {

namespace {

bool isHexDigit(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

std::string hexEscape(unsigned char c) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "\\x";
  if (c >= 16) text += kDigits[c >> 4];
  text += kDigits[c & 15];
  return text;
}

// The letter after '\' for the characters with one of their own.
char letterOf(unsigned char c) {
  switch (c) {
    case '\a':
      return 'a';
    case '\b':
      return 'b';
    case '\t':
      return 't';
    case '\n':
      return 'n';
    case '\v':
      return 'v';
    case '\f':
      return 'f';
    case '\r':
      return 'r';
    case '"':
      return '"';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

// The character an escape's letter stands for, 0 when it has none.
char characterOf(char letter) {
  static constexpr char kPairs[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                       {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                       {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  for (const auto& pair : kPairs) {
    if (pair[0] == letter) return pair[1];
  }
  return 0;
}

std::string escaped(std::string_view value) {
  std::string out;
  bool quote = false;
  // After a numeric escape a digit would read as part of it.
  bool escapeNextDigit = false;
  for (const char raw : value) {
    const auto c = static_cast<unsigned char>(raw);
    if (escapeNextDigit && isHexDigit(c)) {
      out += hexEscape(c);
      continue;
    }
    escapeNextDigit = false;
    if (c == ';' || c == ',' || c == '=') quote = true;
    if (const char letter = letterOf(c)) {
      out += '\\';
      out += letter;
    } else if (c == 0) {
      out += "\\0";
      escapeNextDigit = true;
    } else if (c <= 0x1F) {
      out += hexEscape(c);
      escapeNextDigit = true;
    } else if (c < 0x80) {
      out += raw;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  if (quote || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) out = '"' + out + '"';
  return out;
}

// Reads a value as QSettings does: quotes, escapes, spaces around it.
class ValueReader {
 public:
  explicit ValueReader(std::string_view value) : value_(value) {}

  std::optional<std::string> read() {
    skipSpaces();
    while (at_ < value_.size()) {
      const char c = value_[at_];
      if (c == '\\') {
        ++at_;
        if (!escape()) return std::nullopt;
        kept_ = out_.size();
      } else if (c == '"') {
        ++at_;
        quotes_ = true;
        inQuotes_ = !inQuotes_;
        if (!inQuotes_) skipSpaces();
      } else if (!inQuotes_ && c == ',') {
        return std::nullopt;  // a list of texts
      } else if (!inQuotes_ && c == ';') {
        break;  // a comment to the line's end
      } else if (!plain()) {
        return std::nullopt;
      }
    }
    // A value cut off inside its quotes is no value.
    if (inQuotes_) return std::nullopt;
    if (!quotes_) {
      while (out_.size() > kept_ && (out_.back() == ' ' || out_.back() == '\t')) out_.pop_back();
    }
    return out_;
  }

 private:
  void skipSpaces() {
    while (at_ < value_.size() && (value_[at_] == ' ' || value_[at_] == '\t')) ++at_;
  }

  bool add(unsigned code) {
    if (code > 0xFF) return false;
    out_ += static_cast<char>(code);
    return true;
  }

  // An unknown escape stands for nothing. A '\\' at the line's end would
  // carry the value on into the next line, which QSettings never writes.
  bool escape() {
    if (at_ >= value_.size()) return false;
    const char c = value_[at_++];
    if (const char character = characterOf(c)) return add(static_cast<unsigned char>(character));
    if (c == 'x') return number(16);
    if (c >= '0' && c <= '7') {
      --at_;
      return number(8);
    }
    return true;
  }

  bool number(unsigned base) {
    unsigned code = 0;
    bool any = false;
    while (at_ < value_.size()) {
      const auto c = static_cast<unsigned char>(value_[at_]);
      const bool digit = base == 16 ? isHexDigit(c) : c >= '0' && c <= '7';
      if (!digit) break;
      code = code * base + static_cast<unsigned>(hexValue(c));
      if (code > 0xFF) return false;
      any = true;
      ++at_;
    }
    return !any || add(code);
  }

  // One character in UTF-8; only those up to U+00FF fit one byte.
  bool plain() {
    const auto lead = static_cast<unsigned char>(value_[at_++]);
    if (lead < 0x80) return add(lead);
    if ((lead != 0xC2 && lead != 0xC3) || at_ >= value_.size()) return false;
    const auto next = static_cast<unsigned char>(value_[at_++]);
    if ((next & 0xC0) != 0x80) return false;
    return add(((lead & 0x1Fu) << 6) | (next & 0x3Fu));
  }

  std::string_view value_;
  std::size_t at_ = 0;
  std::string out_;
  std::size_t kept_ = 0;  // escaped characters are no spaces to trim
  bool inQuotes_ = false;
  bool quotes_ = false;
};

}  // namespace

std::string iniValue(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    return escaped("@String(" + std::string(text) + ")");
  }
  if (!text.empty() && text.front() == '@') return escaped("@" + std::string(text));
  return escaped(text);
}

std::optional<std::string> iniText(std::string_view value) {
  std::optional<std::string> text = ValueReader(value).read();
  if (!text || text->empty() || text->front() != '@') return text;
  if (text->starts_with("@@")) return text->substr(1);
  constexpr std::string_view kString = "@String(";
  if (text->starts_with(kString) && text->back() == ')') {
    return text->substr(kString.size(), text->size() - kString.size() - 1);
  }
  // QSettings writes a text starting with '@' as "@@": anything else with
  // one '@' first (@ByteArray(...), @Variant(...)) is a value of another
  // kind.
  return std::nullopt;
}

}  // namespace meterstation
