#include <gtest/gtest.h>

#include "processor-sim/sim_options.h"

namespace meterstation::sim {
namespace {

ParsedOptions parse(const std::vector<std::string>& args) { return parseOptions(args); }

TEST(SimOptions, DefaultsGiveAnEndlessPacedFaultFreeStream) {
  const ParsedOptions parsed = parse({});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.options.silenceMs, 3000);
  EXPECT_EQ(parsed.options.sets, 0);
  EXPECT_FALSE(parsed.options.fast);
  EXPECT_FALSE(parsed.options.shuffle);
  EXPECT_EQ(parsed.options.faults.garbageEvery, 0);
  EXPECT_EQ(parsed.options.faults.hangupEvery, 0);
  EXPECT_TRUE(parsed.options.linkPath.empty());
  EXPECT_TRUE(parsed.options.devicePath.empty());
}

TEST(SimOptions, TakesValuesSeparateOrAfterAnEqualsSign) {
  const ParsedOptions parsed = parse({"--link",
                                      "/tmp/ms/com1",
                                      "--silence=250",
                                      "--sets",
                                      "3",
                                      "--shuffle",
                                      "--fast",
                                      "--seed",
                                      "18446744073709551615",
                                      "--garbage-every=4",
                                      "--nul-every",
                                      "5",
                                      "--short-every",
                                      "6",
                                      "--duplicate-every",
                                      "7",
                                      "--hangup-every",
                                      "8",
                                      "--hangup-ms",
                                      "900",
                                      "--log",
                                      "sim.log",
                                      "--quiet",
                                      "--sets",
                                      "4"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const SimOptions& o = parsed.options;
  EXPECT_EQ(o.linkPath, "/tmp/ms/com1");
  EXPECT_EQ(o.silenceMs, 250);
  EXPECT_EQ(o.sets, 4);  // the later one counts
  EXPECT_TRUE(o.shuffle && o.fast && o.quiet);
  EXPECT_EQ(o.seed, 18446744073709551615ULL);
  EXPECT_EQ(o.faults.garbageEvery, 4);
  EXPECT_EQ(o.faults.nulEvery, 5);
  EXPECT_EQ(o.faults.shortEvery, 6);
  EXPECT_EQ(o.faults.duplicateEvery, 7);
  EXPECT_EQ(o.faults.hangupEvery, 8);
  EXPECT_EQ(o.hangupMs, 900);
  EXPECT_EQ(o.logPath, "sim.log");
}

TEST(SimOptions, HelpWinsOverEverythingAfterIt) {
  const ParsedOptions parsed = parse({"--fast", "--help", "--bogus"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.options.help);
  for (const char* option :
       {"--link", "--device", "--silence", "--sets", "--shuffle", "--fast", "--seed",
        "--garbage-every", "--nul-every", "--short-every", "--duplicate-every", "--hangup-every",
        "--hangup-ms", "--log", "--quiet", "METERSTATION_COM1"})
    EXPECT_NE(helpText().find(option), std::string::npos) << option;
}

struct BadCase {
  std::vector<std::string> args;
  std::string mentions;
};

TEST(SimOptions, BadCommandLinesAreRefusedWithAMessageNamingTheProblem) {
  const std::vector<BadCase> cases = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"fast"}, "unexpected argument \"fast\""},
      {{"--"}, "unexpected argument"},
      {{"--silence"}, "--silence needs a value"},
      {{"--silence", "abc"}, "whole number"},
      {{"--silence", "-5"}, "whole number"},
      {{"--silence", "2.5"}, "whole number"},
      {{"--silence", ""}, "whole number"},
      {{"--silence", "3600001"}, "from 0 to 3600000"},
      {{"--sets", "0"}, "--sets must be from 1"},
      {{"--garbage-every", "0"}, "--garbage-every must be from 1"},
      {{"--seed", "18446744073709551616"}, "whole number"},
      {{"--fast=yes"}, "--fast takes no value"},
      {{"--link="}, "--link needs a path"},
      {{"--device", "/dev/ttyS0", "--link", "/tmp/x"}, "cannot go with --device"},
      {{"--device", "/dev/ttyS0", "--hangup-every", "3"}, "cannot go with --device"},
      {{"--hangup-ms", "100"}, "--hangup-ms needs --hangup-every"},
  };
  for (const BadCase& bad : cases) {
    const ParsedOptions parsed = parse(bad.args);
    EXPECT_FALSE(parsed.ok) << bad.args.front();
    EXPECT_NE(parsed.error.find(bad.mentions), std::string::npos) << "got: " << parsed.error;
  }
}

}  // namespace
}  // namespace meterstation::sim
