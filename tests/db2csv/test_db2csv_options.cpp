#include <gtest/gtest.h>

#include "db2csv/options.h"

namespace meterstation::db2csv::testing {
namespace {

TEST(Db2csvOptions, DefaultsReadQnDb1ToStandardOutput) {
  const ParsedOptions parsed = parseOptions({});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.inputPath, "qn.db1");
  EXPECT_EQ(parsed.options.outputPath, "");
  EXPECT_FALSE(parsed.options.fromKey);
  EXPECT_FALSE(parsed.options.toKey);
  EXPECT_FALSE(parsed.options.keepOdd);
  EXPECT_FALSE(parsed.options.help);
}

TEST(Db2csvOptions, EveryOptionInBothSpellings) {
  const ParsedOptions parsed = parseOptions(
      {"--from", "2026-12-01", "--to=2026-12-31", "-o", "out.csv", "--keep-odd", "old.db1"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.options.fromKey, "20261201");
  EXPECT_EQ(parsed.options.toKey, "20261231");
  EXPECT_EQ(parsed.options.outputPath, "out.csv");
  EXPECT_TRUE(parsed.options.keepOdd);
  EXPECT_EQ(parsed.options.inputPath, "old.db1");
  EXPECT_TRUE(parseOptions({"--help"}).options.help);
  // The same day at both ends is one day, not an empty range.
  EXPECT_TRUE(parseOptions({"--from=2026-12-08", "--to=2026-12-08"}).ok);
}

TEST(Db2csvOptions, MistakesAreNamed) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--from"}, "--from needs a date (yyyy-mm-dd)"},
      {{"--to", "08.12.2026"}, "--to \"08.12.2026\" is not a date of the form yyyy-mm-dd"},
      {{"--from=2026-02-30"}, "--from \"2026-02-30\" is not a date of the form yyyy-mm-dd"},
      {{"-o"}, "-o needs a file name"},
      {{"--from", "2026-12-09", "--to", "2026-12-08"}, "--from is after --to"},
      {{"--keep"}, "unknown option --keep"},
      {{"a.db1", "b.db1"}, "only one input file can be given (also got b.db1)"},
  };
  for (const auto& [args, error] : cases) {
    const ParsedOptions parsed = parseOptions(args);
    EXPECT_FALSE(parsed.ok) << args.front();
    EXPECT_EQ(parsed.error, error);
  }
}

}  // namespace
}  // namespace meterstation::db2csv::testing
