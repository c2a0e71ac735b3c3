#include <fstream>

#include <gtest/gtest.h>

#include <algorithm>

#include "program_run.h"
#include "station_lines.h"
#include "support/scratch_dir_test.h"

namespace meterstation::db2csv::testing {
namespace {

using meterstation::testing::fileText;
using meterstation::testing::runProgram;

class Db2csvRun : public testsupport::ScratchDirTest {
 protected:
  Db2csvRun() : ScratchDirTest("db2csv-test") {}

  std::string read(const std::string& name) const { return fileText(path(name)); }

  // Runs db2csv in the test's directory; returns its exit status.
  int run(const std::vector<std::string>& args) { return runProgram(DB2CSV_PATH, args, dir_); }
};

TEST_F(Db2csvRun, GoodDatabaseInTheWorkingDirectoryGoesToStandardOutput) {
  write("qn.db1", fullSetLine() + fullSetLine("qN07", "12-09-2026"));
  EXPECT_EQ(run({}), 0);
  EXPECT_EQ(read("stderr"), "");
  const std::string csv = read("stdout");
  EXPECT_TRUE(csv.starts_with("\"marker\",\"datetime\",\"meter\",\"field1\""));
  EXPECT_NE(csv.find("\"qN07\",\"2026-12-09T06:19:16\",\"16\",\"16\",\"116\""), std::string::npos);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 33);
}

TEST_F(Db2csvRun, OddLineIsReportedOnStandardErrorAndTheStatusSaysSo) {
  write("old.db1", fullSetLine() + fullSetLine().substr(0, 50));
  EXPECT_EQ(run({"old.db1", "-o", "out.csv"}), 1);
  EXPECT_EQ(read("stderr"),
            "db2csv: old.db1: line 2: torn: the file ends without CR LF; 50 characters instead "
            "of 676; 7 fields are not a whole number of readings (skipped)\n");
  EXPECT_EQ(read("stdout"), "");
  const std::string out = read("out.csv");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 17);

  EXPECT_EQ(run({"old.db1", "--keep-odd", "-o", "kept.csv"}), 1);
  const std::string kept = read("kept.csv");
  EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), 18);
  EXPECT_TRUE(read("stderr").ends_with("(kept)\n"));
}

TEST_F(Db2csvRun, BadUsageAndUnreadableFilesEndWithStatusTwo) {
  EXPECT_EQ(run({"--from", "yesterday"}), 2);
  EXPECT_NE(read("stderr").find("db2csv: --from \"yesterday\" is not a date"), std::string::npos);
  EXPECT_NE(read("stderr").find("Try 'db2csv --help'"), std::string::npos);

  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(read("stderr"), "db2csv: cannot read qn.db1: No such file or directory\n");

  std::filesystem::create_directory(path("adir"));
  EXPECT_EQ(run({"adir"}), 2);
  EXPECT_EQ(read("stderr"), "db2csv: cannot read adir: Is a directory\n");

  write("qn.db1", fullSetLine());
  EXPECT_EQ(run({"-o", "missing/out.csv"}), 2);
  EXPECT_EQ(read("stderr"), "db2csv: cannot write missing/out.csv: No such file or directory\n");

  EXPECT_EQ(run({"--help"}), 0);
  EXPECT_TRUE(read("stdout").starts_with("Usage: db2csv"));
}

}  // namespace
}  // namespace meterstation::db2csv::testing
