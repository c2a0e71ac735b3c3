#include <gtest/gtest.h>

#include "platform/serial/line_settings.h"
#include "support/line_settings_text.h"

namespace meterstation {
namespace {

TEST(LineSettingsTest, ReadsTheFourFieldsAndRefusesAnythingElse) {
  ParsedLineSettings parsed = parseLineSettings(testsupport::kProcessorLineSettings);
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.settings.baud, 300);
  EXPECT_EQ(parsed.settings.parity, 'N');
  EXPECT_EQ(parsed.settings.dataBits, 8);
  EXPECT_EQ(parsed.settings.stopBits, StopBits::One);

  parsed = parseLineSettings(" 9600 , e , 7 , 1.5 ");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.settings.baud, 9600);
  EXPECT_EQ(parsed.settings.parity, 'E');
  EXPECT_EQ(parsed.settings.dataBits, 7);
  EXPECT_EQ(parsed.settings.stopBits, StopBits::OneAndHalf);
  EXPECT_EQ(parseLineSettings("1200,S,5,2").settings.stopBits, StopBits::Two);

  for (const char* bad :
       {"", "300,N,8", "300,N,8,1,1", "0,N,8,1", "-300,N,8,1", "3e2,N,8,1", "300,X,8,1",
        "300,NE,8,1", "300,N,4,1", "300,N,9,1", "300,N,8,3", "300,N,8,", "99999999999,N,8,1"}) {
    parsed = parseLineSettings(bad);
    EXPECT_FALSE(parsed.ok) << bad;
    EXPECT_NE(parsed.error.find(bad), std::string::npos) << parsed.error;
  }
}

}  // namespace
}  // namespace meterstation
