#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace meterstation {
namespace {

ParsedOptions parse(const std::vector<std::string>& arguments) { return parseOptions(arguments); }

TEST(CommandLine, NoArgumentsRunsTheStationAsAlways) {
  const ParsedOptions parsed = parse({});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.action, AppAction::Run);
  EXPECT_FALSE(parsed.options.resume);
  EXPECT_TRUE(parsed.options.unknown.empty());

  const ParsedOptions resumed = parse({"--resume"});
  ASSERT_TRUE(resumed.ok);
  EXPECT_EQ(resumed.options.action, AppAction::Run);
  EXPECT_TRUE(resumed.options.resume);
}

TEST(CommandLine, AutostartTakesOnOrOffInEitherForm) {
  for (const auto& [arguments, on] :
       std::vector<std::pair<std::vector<std::string>, bool>>{{{"--autostart", "on"}, true},
                                                              {{"--autostart=on"}, true},
                                                              {{"--autostart", "off"}, false},
                                                              {{"--autostart=off"}, false}}) {
    const ParsedOptions parsed = parse(arguments);
    ASSERT_TRUE(parsed.ok) << arguments[0];
    EXPECT_EQ(parsed.options.action, AppAction::Autostart);
    EXPECT_EQ(parsed.options.autostartOn, on) << arguments[0];
    EXPECT_TRUE(parsed.options.unknown.empty());
  }

  ParsedOptions parsed = parse({"--autostart"});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, "--autostart needs on or off");
  parsed = parse({"--autostart", "yes"});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, "--autostart takes on or off, not 'yes'");
  parsed = parse({"--autostart="});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, "--autostart needs on or off");
  parsed = parse({"--autostart", "ON"});
  EXPECT_FALSE(parsed.ok) << "the values are written as the help shows them";
  parsed = parse({"--resume", "--autostart", "on"});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, "--autostart does not go with --resume");
}

TEST(CommandLine, HelpWinsOverEverythingAndVersionOverTheRest) {
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"--help"},
                                             {"-h"},
                                             {"--resume", "--help"},
                                             {"--autostart", "maybe", "-h"},
                                             {"--bogus", "--help"}}) {
    const ParsedOptions parsed = parse(arguments);
    EXPECT_TRUE(parsed.ok) << arguments[0];
    EXPECT_EQ(parsed.options.action, AppAction::Help) << arguments[0];
  }
  EXPECT_EQ(parse({"--autostart", "on", "--version"}).options.action, AppAction::Version);
  EXPECT_EQ(parse({"--resume", "--version"}).options.action, AppAction::Version);
}

TEST(CommandLine, ForeignArgumentsAreSetAsideInOrder) {
  // The toolkit's options, and the value that follows one, are not known
  // here; they are kept for it to take.
  const ParsedOptions parsed =
      parse({"-platform", "offscreen", "--resume", "--autostartx", "resume", "-"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(parsed.options.resume);
  EXPECT_EQ(parsed.options.unknown,
            (std::vector<std::string>{"-platform", "offscreen", "--autostartx", "resume", "-"}));
}

TEST(CommandLine, UsageNamesEveryOption) {
  const std::string usage = usageText();
  for (const char* option : {"--resume", "--autostart on", "--autostart off", "--version", "--help",
                             "-h", "nothing to resume"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(usage.back(), '\n');
}

}  // namespace
}  // namespace meterstation
