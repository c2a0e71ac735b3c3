#pragma once

#include <cstddef>
#include <string>

namespace meterstation {

enum class StopBits { One, OneAndHalf, Two };

// The line settings of a serial port, as in "300,N,8,1".
struct LineSettings {
  int baud = 300;
  char parity = 'N';  // N, E, O, M or S
  int dataBits = 8;
  StopBits stopBits = StopBits::One;
};

struct ParsedLineSettings {
  bool ok = false;
  LineSettings settings;
  std::string error;  // why the text was refused, for the operator
};

// "baud,parity,data,stop": baud a positive whole number, parity one of
// N E O M S (either case), data bits 5 to 8, stop bits 1, 1.5 or 2.
// Spaces around the fields are ignored.
ParsedLineSettings parseLineSettings(const std::string& text);

// How long the line takes to carry this many characters with their start,
// parity and stop bits, in milliseconds rounded up; at most an hour.
int lineTimeMs(const LineSettings& settings, std::size_t characters);

}  // namespace meterstation
