#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drive_directories.h"

namespace meterstation {
namespace {

using Paths = std::vector<std::string>;

TEST(DriveDirectories, APathLiesOnTheDeepestDriveThatHoldsIt) {
  const Paths mounts = {"/", "/media/st", "/media/stick"};
  EXPECT_EQ(driveHolding("/media/stick/data", mounts, '/'), "/media/stick");
  EXPECT_EQ(driveHolding("/media/stick", mounts, '/'), "/media/stick");
  EXPECT_EQ(driveHolding("/media/sticky", mounts, '/'), "/");
  EXPECT_EQ(driveHolding("/media/st", mounts, '/'), "/media/st");
  EXPECT_EQ(driveHolding("relative/path", mounts, '/'), "");
}

TEST(DriveDirectories, ADriveOpensWhereItWasLastElseWhereTheStationStartedElseAtItsRoot) {
  const Paths mounts = {"/", "/home", "/media/op/USB"};
  const std::string start = "/home/op";
  DriveDirectories rule('/');

  // Never opened in this run.
  EXPECT_EQ(rule.candidates("/media/op/USB", start, mounts), Paths{"/media/op/USB"});
  EXPECT_EQ(rule.candidates("/home", start, mounts), Paths({"/home/op", "/home"}));
  EXPECT_EQ(rule.candidates("/", start, mounts), Paths{"/"}) << "/home/op lies on /home";

  rule.opened("/media/op/USB/qN07", mounts);
  rule.opened("/home/op/data", mounts);
  rule.opened("/media/op/USB/qN08", mounts);
  EXPECT_EQ(rule.candidates("/media/op/USB", start, mounts),
            Paths({"/media/op/USB/qN08", "/media/op/USB"}));
  EXPECT_EQ(rule.candidates("/home", start, mounts), Paths({"/home/op/data", "/home/op", "/home"}));

  // Each directory is offered once, in its best place.
  rule.opened("/home/op", mounts);
  rule.opened("/media/op/USB", mounts);
  EXPECT_EQ(rule.candidates("/home", start, mounts), Paths({"/home/op", "/home"}));
  EXPECT_EQ(rule.candidates("/media/op/USB", start, mounts), Paths{"/media/op/USB"});

  // A directory that is no drive's root is shown as it is.
  EXPECT_EQ(rule.candidates("/home/op/data", start, mounts), Paths{"/home/op/data"});
  EXPECT_EQ(rule.candidates("/media/op", start, mounts), Paths{"/media/op"});
  // A directory on no listed drive is remembered for none.
  rule.opened("elsewhere", mounts);
  EXPECT_EQ(rule.candidates("/", start, mounts), Paths{"/"});
}

}  // namespace
}  // namespace meterstation
