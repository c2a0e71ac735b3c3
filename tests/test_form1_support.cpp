#include <gtest/gtest.h>

#include "fakes/station_harness.h"
#include "output/support_files.h"

namespace meterstation::testing {
namespace {

TEST(Form1Support, InitWhileSetsAreRequestedIsRefused) {
  StationHarness s;
  s.form.Command6_Click();
  EXPECT_EQ(s.window.list2, std::vector<std::string>{"invalid operation"});
  EXPECT_TRUE(s.files.files.empty());
  EXPECT_EQ(s.form.state().workDir, "");
}

TEST(Form1Support, InitCreatesTheThreeFilesInTheShownDirectory) {
  for (const char* obs : {"", "0", "-2"}) {
    StationHarness s;
    s.window.texts[TextId::Text3] = obs;
    s.window.dir = "/home/op/plant/qN05";
    s.files.files["/home/op/plant/qN05/ct.dat"] = "old content";
    s.form.Command6_Click();
    EXPECT_EQ(s.window.list2, std::vector<std::string>{"files created"}) << obs;
    EXPECT_EQ(s.window.texts[TextId::Text1], "qN05");
    EXPECT_EQ(s.files.contents("/home/op/plant/qN05/quell.dat"), defaultsFileText());
    EXPECT_EQ(s.files.contents("/home/op/plant/qN05/ct.dat"), meterTableText());
    EXPECT_EQ(s.files.contents("/home/op/plant/qN05/quell.txt"), billTemplateText());
  }
}

TEST(Form1Support, InitInAnUnwritableDirectorySaysFilesNotCreated) {
  StationHarness s;
  s.window.texts[TextId::Text3] = "0";
  s.files.missingDirs.insert("/home/op/data/qN07/");
  s.form.Command6_Click();
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem creating file quell.txt");
  EXPECT_EQ(s.window.list2, std::vector<std::string>{"files not created"});
}

TEST(Form1Support, InitWithOneFailureNamesIt) {
  StationHarness s;
  s.window.texts[TextId::Text3] = "0";
  s.files.faults["/home/op/data/qN07/ct.dat"] = FakeFiles::Fault::CannotOpen;
  s.form.Command6_Click();
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem creating file ct.dat");
  EXPECT_EQ(s.window.list2, std::vector<std::string>{"files not created"});
  EXPECT_TRUE(s.files.exists("/home/op/data/qN07/quell.txt"));
}

class Form1Loaders : public ::testing::Test {
 protected:
  void SetUp() override {
    s.form.SelectWorkDir();
    s.files.files[s.workFile("quell.dat")] = defaultsFileText();
    s.files.files[s.workFile("ct.dat")] = meterTableText();
    s.files.files[s.workFile("quell.txt")] = billTemplateText();
  }
  StationHarness s;
};

TEST_F(Form1Loaders, DefaultFilesLoad) {
  s.form.LoadDefaultsFile();
  s.form.LoadMeterTable();
  s.form.LoadBillHeader();
  const StationState& st = s.form.state();
  EXPECT_EQ(st.defaultsValues, (std::array<double, 4>{12.75, 2516.447, 16.95, 1}));
  EXPECT_EQ(st.defaultsValue5, 0);
  EXPECT_EQ(st.dbInterval, -7);
  EXPECT_EQ(st.dbCountdown, -7);
  for (int m = 1; m <= 16; ++m) {
    const auto k = static_cast<std::size_t>(m);
    EXPECT_EQ(st.ctSize[k], 20);
    EXPECT_EQ(st.multiplier[k], 1);
    EXPECT_EQ(st.volts[k], 120);
    EXPECT_EQ(st.lowTable[k], 0);
    EXPECT_EQ(st.highTable[k], 999);
  }
  EXPECT_EQ(st.meterLabel[1], "  1 -" + std::string(20, ' '));
  EXPECT_EQ(st.meterLabel[0], "");
  EXPECT_EQ(st.highTable[17], 0);
  EXPECT_EQ(st.ctLine, " 16 -                    ,0020,1.00,120,000,999                       .");
  EXPECT_EQ(s.window.texts[TextId::Text2], "");
}

TEST_F(Form1Loaders, ShortMeterTableFillsWhatItHas) {
  s.form.state().highTable[12] = 42;
  const std::vector<std::string> lines = fileLines(meterTableText());
  std::string ten;
  for (int i = 0; i < 10; ++i) ten += lines[static_cast<std::size_t>(i)] + "\r\n";
  s.files.files[s.workFile("ct.dat")] = ten;
  s.form.LoadMeterTable();
  EXPECT_EQ(s.form.state().highTable[10], 999);
  EXPECT_EQ(s.form.state().highTable[12], 42);
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file ct.dat");
}

// The files are read at every port choice: the same bytes again still set
// every value and message, and changed bytes take effect.
TEST_F(Form1Loaders, LoadingAgainAppliesTheFileAsItNowStands) {
  s.form.LoadDefaultsFile();
  s.form.LoadMeterTable();
  s.form.state().highTable[3] = 5;
  s.form.state().dbCountdown = 2;
  s.form.LoadDefaultsFile();
  s.form.LoadMeterTable();
  EXPECT_EQ(s.form.state().highTable[3], 999);
  EXPECT_EQ(s.form.state().dbCountdown, -7);

  std::string table = meterTableText();
  const std::size_t third = 2 * (table.find("\r\n") + 2);
  table.replace(third + 44, 3, "500");
  s.files.files[s.workFile("ct.dat")] = table;
  s.form.LoadMeterTable();
  EXPECT_EQ(s.form.state().highTable[3], 500);
  EXPECT_EQ(s.form.state().highTable[4], 999);

  s.files.files[s.workFile("ct.dat")] = table.substr(0, third);
  for (int load = 0; load < 2; ++load) {
    s.window.texts[TextId::Text2].clear();
    s.form.LoadMeterTable();
    EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file ct.dat");
    EXPECT_EQ(s.form.state().ctLine, fileLines(table)[1]);
  }
}

TEST_F(Form1Loaders, DamagedDefaultsKeepWhatWasReadAndLeaveTheInterval) {
  s.files.files[s.workFile("quell.dat")] = " 12.75\r\n 99\r\n oops\r\n";
  s.form.state().dbInterval = 4;
  s.form.LoadDefaultsFile();
  EXPECT_EQ(s.form.state().defaultsValues[1], 99);
  EXPECT_EQ(s.form.state().dbInterval, 4);
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file quell.dat");
}

TEST_F(Form1Loaders, MissingFilesShowTheirMessages) {
  s.files.files.clear();
  s.form.LoadBillHeader();
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file quell.txt");
  s.form.LoadMeterTable();
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file ct.dat");
  s.form.LoadDefaultsFile();
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file quell.dat");
}

TEST_F(Form1Loaders, PortChoiceLoadsWhatIsPresentAndSkipsWhatIsMissing) {
  std::string defaults = defaultsFileText();
  defaults[47 * 4 + 43] = '5';  // value 8 becomes 5: an interval of -5
  s.files.files[s.workFile("quell.dat")] = defaults;
  s.files.files.erase(s.workFile("ct.dat"));
  s.openPort();
  EXPECT_EQ(s.form.state().dbInterval, -5);
  EXPECT_EQ(s.form.state().highTable[1], 0);
  EXPECT_EQ(s.window.texts[TextId::Text2], "");
  EXPECT_TRUE(s.window.list2.empty());

  s.files.files[s.workFile("ct.dat")] = "garbage";
  s.openPort();
  EXPECT_EQ(s.window.texts[TextId::Text2], "Problem with file ct.dat");
}

}  // namespace
}  // namespace meterstation::testing
