// The program's command line, run as the operator runs it.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "command_run.h"
#include "support/scratch_dir.h"

namespace meterstation {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::runCommand;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    dir_ = scratch_.path();
  }
  // The program with a home and configuration of the test's own, and no
  // display: whatever it does must not need one.
  CommandRun run(const std::string& arguments, const std::string& configHome) const {
    return runCommand("env -u DISPLAY -u WAYLAND_DISPLAY HOME='" + dir_.string() +
                      "/home' XDG_CONFIG_HOME='" + configHome + "' " + METERSTATION_PROGRAM + " " +
                      arguments);
  }
  testsupport::ScratchDir scratch_{"meterstation-program"};
  fs::path dir_;
};

TEST_F(ProgramTest, AutostartOnAndOffWriteAndRemoveTheEntry) {
  const fs::path config = dir_ / "config";
  const fs::path entry = config / "autostart/meterstation.desktop";
  CommandRun done = run("--autostart on", config.string());
  EXPECT_EQ(done.status, 0) << done.output;
  EXPECT_EQ(done.output, "autostart on: " + entry.string() +
                             " starts meterstation --resume whenever you log in\n");
  ASSERT_TRUE(fs::exists(entry));
  const CommandRun validated = runCommand("desktop-file-validate " + entry.string());
  EXPECT_EQ(validated.status, 0) << validated.output;

  done = run("--autostart=off", config.string());
  EXPECT_EQ(done.status, 0) << done.output;
  EXPECT_EQ(done.output, "autostart off: removed " + entry.string() + "\n");
  EXPECT_FALSE(fs::exists(entry));

  // Without XDG_CONFIG_HOME the entry goes under the home directory.
  done = run("--autostart on", "");
  EXPECT_EQ(done.status, 0) << done.output;
  EXPECT_TRUE(fs::exists(dir_ / "home/.config/autostart/meterstation.desktop"));
}

TEST_F(ProgramTest, AnAutostartThatFailsSaysWhyAndEndsWithOne) {
  std::ofstream(dir_ / "plain") << "x";
  const CommandRun done = run("--autostart on", (dir_ / "plain").string());
  EXPECT_EQ(done.status, 1);
  EXPECT_EQ(done.output, "meterstation: cannot make the autostart directory " +
                             (dir_ / "plain/autostart").string() + ": Not a directory\n");
}

TEST_F(ProgramTest, MistakesShowTheUsageAndEndWithTwo) {
  CommandRun done = run("--autostart maybe", dir_.string());
  EXPECT_EQ(done.status, 2);
  EXPECT_EQ(done.output, "meterstation: --autostart takes on or off, not 'maybe'\n" + usageText());
  done = run("--autostart on --bogus", dir_.string());
  EXPECT_EQ(done.status, 2);
  EXPECT_EQ(done.output, "meterstation: unknown option '--bogus'\n" + usageText());
  EXPECT_FALSE(fs::exists(dir_ / "autostart"));

  // Left for the toolkit first, which takes its own options: what remains
  // is the mistake, and no window opens.
  done = runCommand(std::string("QT_QPA_PLATFORM=offscreen ") + METERSTATION_PROGRAM +
                    " -platform offscreen --bogus extra");
  EXPECT_EQ(done.status, 2);
  EXPECT_NE(done.output.find("meterstation: unknown options '--bogus' 'extra'\n" + usageText()),
            std::string::npos)
      << done.output;
}

TEST_F(ProgramTest, HelpListsTheOptions) {
  const CommandRun done = run("--help", dir_.string());
  EXPECT_EQ(done.status, 0);
  EXPECT_EQ(done.output, usageText());
}

}  // namespace
}  // namespace meterstation
