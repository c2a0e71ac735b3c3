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

TEST(CommandLine, TheBrokerOptionsInEitherFormWithTheirDefaults) {
  ParsedOptions parsed =
      parse({"--mqtt", "mqtts://broker.site", "--mqtt-prefix=site/hall-2", "--mqtt-user", "op",
             "--mqtt-password-file", "/etc/ms/pw", "--mqtt-ca=/etc/ms/ca.pem", "--mqtt-max-waiting",
             "500", "--resume"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.options.action, AppAction::Run);
  EXPECT_TRUE(parsed.options.resume);
  EXPECT_EQ(parsed.options.plant.options, (PlantOptions{"mqtts://broker.site", "site/hall-2", "op",
                                                        "/etc/ms/pw", "/etc/ms/ca.pem", 500}));

  parsed = parse({"--mqtt=mqtt://b"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.options.plant.options.prefix, "meterstation");
  EXPECT_EQ(parsed.options.plant.options.maxWaiting, 100000);
  EXPECT_FALSE(parse({}).options.plant.any());
}

TEST(CommandLine, BrokerOptionsThatMeanNothingAreMistakes) {
  for (const auto& [arguments, error] :
       std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--mqtt"}, "--mqtt needs a value"},
           {{"--mqtt", "--resume"}, "--mqtt needs a value"},
           {{"--mqtt="}, "--mqtt needs a value"},
           {{"--mqtt-user", "op"}, "--mqtt-user goes with --mqtt URL"},
           {{"--mqtt", "mqtt://b", "--mqtt-password-file", "pw"},
            "--mqtt-password-file goes with --mqtt-user"},
           {{"--mqtt", "mqtt://b", "--mqtt-password", "secret"},
            "a password never goes on the command line: put it in a file and give "
            "--mqtt-password-file FILE"},
           {{"--mqtt", "mqtt://b", "--mqtt-prefix", "site/#"},
            "--mqtt-prefix takes names of letters, digits, '-', '_' and '.' joined by '/', not "
            "'site/#'"},
           {{"--mqtt", "mqtt://b", "--mqtt-prefix", "/site"},
            "--mqtt-prefix takes names of letters, digits, '-', '_' and '.' joined by '/', not "
            "'/site'"},
           {{"--mqtt", "mqtt://b", "--mqtt-max-waiting", "0"},
            "--mqtt-max-waiting takes a number of messages from 1 to 1000000, not '0'"},
           {{"--mqtt", "mqtt://b", "--mqtt-max-waiting", "1e3"},
            "--mqtt-max-waiting takes a number of messages from 1 to 1000000, not '1e3'"},
           {{"--autostart", "on", "--mqtt", "mqtt://b"}, "--autostart does not go with --mqtt"}}) {
    const ParsedOptions parsed = parse(arguments);
    EXPECT_FALSE(parsed.ok) << arguments[0];
    EXPECT_EQ(parsed.error, error) << arguments[0];
  }
}

TEST(CommandLine, ResumeAloneTakesTheBrokerOfTheRunItTakesUp) {
  RunSettings going;
  going.going = true;
  going.plant.url = "mqtt://remembered";
  PlantArguments none;
  EXPECT_EQ(plantOptionsToUse(none, true, going).url, "mqtt://remembered");
  EXPECT_FALSE(plantOptionsToUse(none, false, going).enabled()) << "a plain start opens no socket";
  going.going = false;
  EXPECT_FALSE(plantOptionsToUse(none, true, going).enabled()) << "an ended run is not taken up";
  going.going = true;
  PlantArguments given;
  given.given.insert("--mqtt");
  given.options.url = "mqtt://given";
  EXPECT_EQ(plantOptionsToUse(given, true, going).url, "mqtt://given");
}

TEST(CommandLine, UsageNamesEveryOption) {
  const std::string usage = usageText();
  for (const char* option :
       {"--resume", "--autostart on", "--autostart off", "--version", "--help", "-h",
        "nothing to resume", "--mqtt URL", "--mqtt-prefix P", "--mqtt-user NAME",
        "--mqtt-password-file FILE", "--mqtt-ca FILE", "--mqtt-max-waiting N"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(usage.back(), '\n');
}

}  // namespace
}  // namespace meterstation
