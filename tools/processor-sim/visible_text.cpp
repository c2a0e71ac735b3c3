#include "processor-sim/visible_text.h"

namespace meterstation::sim {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void appendHex(std::string& out, unsigned char byte) {
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0x0f];
}

}  // namespace

std::string visibleText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (byte >= 0x20 && byte < 0x7f) {
          out += c;
        } else {
          out += "\\x";
          appendHex(out, byte);
        }
    }
  }
  return out;
}

std::string hexBytes(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (!out.empty()) out += ' ';
    appendHex(out, static_cast<unsigned char>(c));
  }
  return out;
}

}  // namespace meterstation::sim
