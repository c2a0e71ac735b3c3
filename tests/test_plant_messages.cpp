#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/plant_messages.h"

namespace meterstation {
namespace {

TEST(PlantMessages, TextsBecomeJsonStringsInUtf8WithControlsEscaped) {
  EXPECT_EQ(jsonText("01,188"), "\"01,188\"");
  EXPECT_EQ(jsonText("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(jsonText(std::string("\r\n\t\0\x1f\x7f", 6)), "\"\\r\\n\\t\\u0000\\u001f\\u007f\"");
  // Latin-1 bytes are their characters: e-acute and y-diaeresis.
  EXPECT_EQ(jsonText("\xe9\xff"), "\"\xc3\xa9\xc3\xbf\"");
  EXPECT_EQ(utf8FromLatin1("qN\xe9"
                           "7"),
            "qN\xc3\xa9"
            "7");
}

TEST(PlantMessages, NumbersInTheirShortestFormAndNullWhenThereIsNone) {
  EXPECT_EQ(jsonNumber(188.0), "188");
  EXPECT_EQ(jsonNumber(0.25), "0.25");
  EXPECT_EQ(jsonNumber(-5.0), "-5");
  EXPECT_EQ(jsonNumber(1e20), "1e+20");
  EXPECT_EQ(jsonNumber(std::nullopt), "null");
  EXPECT_EQ(jsonNumber(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(jsonNumber(std::nan("")), "null");
}

TEST(PlantMessages, StationIdIsTheDirectoryNameWithNothingATopicCannotCarry) {
  EXPECT_EQ(stationIdOf("/home/op/data/qN07/", '/'), "qN07");
  EXPECT_EQ(stationIdOf("C:\\data\\qN08\\", '\\'), "qN08");
  EXPECT_EQ(stationIdOf("/data/a+b#c\x01\x85/", '/'), "a_b_c__");
  EXPECT_EQ(stationIdOf("/", '/'), "_");
  EXPECT_EQ(plantTopic("site/plant", "qN\xe9", "set"), "site/plant/qN\xc3\xa9/set");
  EXPECT_EQ(isoLocalTime("20261208135829"), "2026-12-08T13:58:29");
}

TEST(PlantMessages, PayloadsHoldTheirFieldsInAFixedOrder) {
  const ReadingMessage reading{"r-1",
                               1.0,
                               "01,188,93291,27891,334,99311,09814,57910",
                               {"01", "188", "93291", "27891", "334", "99311", "09814", "57910"},
                               188.0,
                               "2026-12-08T13:58:29"};
  EXPECT_EQ(readingPayload(reading),
            "{\"id\":\"r-1\",\"meter\":1,\"reading\":\"01,188,93291,27891,334,99311,09814,57910\","
            "\"fields\":[\"01\",\"188\",\"93291\",\"27891\",\"334\",\"99311\",\"09814\",\"57910\"],"
            "\"value\":188,\"time\":\"2026-12-08T13:58:29\"}");
  EXPECT_EQ(setPayload({"r-17", "qN07...  ", "2026-12-08T13:58:37", false}),
            "{\"id\":\"r-17\",\"line\":\"qN07...  \",\"time\":\"2026-12-08T13:58:37\","
            "\"database\":false}");
  EXPECT_EQ(alarmPayload({"r-18", 3.0, "low", std::nullopt, 50, "2026-12-08T13:58:38"}),
            "{\"id\":\"r-18\",\"meter\":3,\"kind\":\"low\",\"value\":null,\"limit\":50,"
            "\"time\":\"2026-12-08T13:58:38\"}");
}

}  // namespace
}  // namespace meterstation
