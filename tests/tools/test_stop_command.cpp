#include <gtest/gtest.h>

#include "processor-sim/stop_command.h"

namespace meterstation::sim {
namespace {

std::string command(unsigned char count) {
  return std::string("AT TESSARO:") + static_cast<char>(count) + "\r\n";
}

TEST(StopCommandDecoder, TakesTheCountByteOfAWholeCommand) {
  for (const int count : {0, 7, 10, 13, 65, 255}) {
    StopCommandDecoder decoder;
    const DecodedInput decoded = decoder.feed(command(static_cast<unsigned char>(count)));
    ASSERT_TRUE(decoded.stop.has_value()) << count;
    EXPECT_EQ(decoded.stop->count, count);
    EXPECT_EQ(decoded.stop->bytes, command(static_cast<unsigned char>(count)));
    EXPECT_EQ(decoded.ignored, "");
  }
}

TEST(StopCommandDecoder, FindsTheCommandHoweverTheReadsCutIt) {
  const std::string bytes = command(3);
  for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
    StopCommandDecoder decoder;
    const DecodedInput first = decoder.feed(bytes.substr(0, cut));
    EXPECT_FALSE(first.stop.has_value());
    EXPECT_EQ(first.ignored, "") << "cut at " << cut;
    const DecodedInput second = decoder.feed(bytes.substr(cut));
    ASSERT_TRUE(second.stop.has_value()) << "cut at " << cut;
    EXPECT_EQ(second.stop->count, 3);
  }
  StopCommandDecoder decoder;
  std::optional<StopCommand> stop;
  for (const char byte : bytes) {
    const DecodedInput decoded = decoder.feed(std::string(1, byte));
    EXPECT_EQ(decoded.ignored, "");
    if (decoded.stop) stop = decoded.stop;
  }
  ASSERT_TRUE(stop.has_value());
  EXPECT_EQ(stop->count, 3);
}

TEST(StopCommandDecoder, NoiseBeforeTheCommandIsHandedBackAsIgnored) {
  StopCommandDecoder decoder;
  DecodedInput decoded = decoder.feed("xyz\r\nAT TES");
  EXPECT_EQ(decoded.ignored, "xyz\r\n");
  EXPECT_FALSE(decoded.stop.has_value());
  decoded = decoder.feed("SARO:\x09\r\n");
  EXPECT_EQ(decoded.ignored, "");
  ASSERT_TRUE(decoded.stop.has_value());
  EXPECT_EQ(decoded.stop->count, 9);
}

TEST(StopCommandDecoder, ABrokenHeaderIsNoiseAndACommandInsideItStillCounts) {
  StopCommandDecoder decoder;
  // A header whose line end is missing, and a header cut short, each
  // followed by the real command.
  const DecodedInput decoded =
      decoder.feed("AT TESSARO:XY\nAT TESAT TESSARO:" + command(5).substr(11));
  ASSERT_TRUE(decoded.stop.has_value());
  EXPECT_EQ(decoded.stop->count, 5);
  EXPECT_EQ(decoded.ignored, "AT TESSARO:XY\nAT TES");

  StopCommandDecoder overlapping;
  // The count byte and CR of a false start are where the real one begins.
  const DecodedInput nested = overlapping.feed("AT TESSARO:" + command(1));
  ASSERT_TRUE(nested.stop.has_value());
  EXPECT_EQ(nested.stop->count, 1);
  EXPECT_EQ(nested.ignored, "AT TESSARO:");
}

TEST(StopCommandDecoder, HeldBackBytesAreGivenUpWhenTheLineGoes) {
  StopCommandDecoder decoder;
  EXPECT_EQ(decoder.feed("AT TESSAR").ignored, "");
  EXPECT_EQ(decoder.discardPending(), "AT TESSAR");
  EXPECT_FALSE(decoder.feed("O:\x01\r\n").stop.has_value());
}

TEST(StopCommandDecoder, DescribesTheCommandWithCountAndBytes) {
  StopCommand stop{7, command(7)};
  EXPECT_EQ(describeStopCommand(stop),
            "stop command received: count 7 (bytes: 41 54 20 54 45 53 53 41 52 "
            "4f 3a 07 0d 0a)");
}

}  // namespace
}  // namespace meterstation::sim
