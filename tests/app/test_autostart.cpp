#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "app/autostart.h"
#include "command_run.h"
#include "support/scratch_dir.h"

namespace meterstation {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::runCommand;

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    dir_ = scratch_.path();
  }
  testsupport::ScratchDir scratch_{"meterstation-autostart"};
  fs::path dir_;
};

TEST(AutostartDirectory, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(autostartDirectory("/srv/cfg", "/home/op"), "/srv/cfg/autostart");
  EXPECT_EQ(autostartDirectory(nullptr, "/home/op"), "/home/op/.config/autostart");
  EXPECT_EQ(autostartDirectory("", "/home/op"), "/home/op/.config/autostart");
  EXPECT_EQ(autostartDirectory("cfg", "/home/op"), "/home/op/.config/autostart")
      << "a relative XDG_CONFIG_HOME is ignored";
  EXPECT_EQ(autostartDirectory(nullptr, nullptr), "");
  EXPECT_EQ(autostartDirectory("", ""), "");
}

TEST_F(AutostartTest, OnWritesAnEntryThatValidatesAndOffRemovesIt) {
  const fs::path autostart = dir_ / "config/autostart";
  const fs::path entry = autostart / "meterstation.desktop";
  AutostartOutcome outcome = setAutostart(true, autostart.string());
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.message, "autostart on: " + entry.string() +
                                 " starts meterstation --resume whenever you log in");
  const std::string text = contents(entry);
  EXPECT_EQ(text, autostartEntryText());
  EXPECT_NE(text.find("\nExec=meterstation --resume\n"), std::string::npos);
  EXPECT_EQ(fs::status(dir_ / "config").permissions() & fs::perms::all, fs::perms::owner_all);

  if (::access("/usr/bin/desktop-file-validate", X_OK) != 0) {
    ADD_FAILURE() << "desktop-file-validate is missing (desktop-file-utils)";
  } else {
    const CommandRun validated = runCommand("/usr/bin/desktop-file-validate " + entry.string());
    EXPECT_EQ(validated.status, 0) << validated.output;
    EXPECT_EQ(validated.output, "") << "no warnings either";
  }

  // An entry edited by hand is put right; no temporary is left behind.
  std::ofstream(entry) << "[Desktop Entry]\nExec=something else\n";
  ASSERT_TRUE(setAutostart(true, autostart.string()).ok);
  EXPECT_EQ(contents(entry), autostartEntryText());
  EXPECT_EQ(std::distance(fs::directory_iterator(autostart), fs::directory_iterator()), 1);

  outcome = setAutostart(false, autostart.string());
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.message, "autostart off: removed " + entry.string());
  EXPECT_FALSE(fs::exists(entry));
  outcome = setAutostart(false, autostart.string());
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.message, "autostart off: there was no " + entry.string());
}

TEST_F(AutostartTest, WhatCannotBeDoneIsSaidAndLeavesNothingBehind) {
  std::ofstream(dir_ / "plain") << "x";
  AutostartOutcome outcome = setAutostart(true, (dir_ / "plain/autostart").string());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message, "cannot make the autostart directory " +
                                 (dir_ / "plain/autostart").string() + ": Not a directory");

  // Something that is no entry stands in its place.
  const fs::path autostart = dir_ / "autostart";
  fs::create_directories(autostart / "meterstation.desktop");
  outcome = setAutostart(true, autostart.string());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(
      outcome.message.rfind("cannot write " + (autostart / "meterstation.desktop").string(), 0), 0u)
      << outcome.message;
  EXPECT_EQ(std::distance(fs::directory_iterator(autostart), fs::directory_iterator()), 1);
  outcome = setAutostart(false, autostart.string());
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.message.rfind("cannot remove ", 0), 0u) << outcome.message;
  EXPECT_TRUE(fs::is_directory(autostart / "meterstation.desktop"));

  outcome = setAutostart(true, "");
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.message.find("XDG_CONFIG_HOME"), std::string::npos) << outcome.message;
}

}  // namespace
}  // namespace meterstation
