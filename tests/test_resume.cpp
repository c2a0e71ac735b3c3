#include <gtest/gtest.h>

#include "fakes/station_harness.h"
#include "station/resume.h"
#include "support/going_run.h"

namespace meterstation::testing {
namespace {

struct ResumeHarness {
  StationHarness s;
  FakeTimer dirTimer;
  Resume resume{s.form, s.window, s.settings, s.files, s.host, s.serial, dirTimer};

  ResumeHarness() {
    s.window.dir = "/home/op";
    s.files.dirs.insert("/home/op/data/qN07/");
    s.settings.stored = testsupport::goingRun("/home/op/data/qN07/", "qX99", "1500");
  }
  bool tenSeconds() {
    if (!dirTimer.advance(Resume::kDirectoryRetryMs)) return false;
    dirTimer.startedAt = dirTimer.now;
    resume.Timer_Tick();
    return true;
  }
};

TEST(Resume, NothingGoingOpensAsUsual) {
  ResumeHarness r;
  r.s.settings.stored->going = false;
  r.resume.start();
  EXPECT_TRUE(r.s.window.list2Has("nothing to resume"));
  EXPECT_EQ(r.s.device.opens(), 0);
  ResumeHarness none;
  none.s.settings.stored.reset();
  none.resume.start();
  EXPECT_TRUE(none.s.window.list2Has("nothing to resume"));
}

TEST(Resume, RestoresTheControlsAndChoosesThePortAsAnOperatorWould) {
  ResumeHarness r;
  r.resume.start();
  EXPECT_EQ(r.s.device.opens(), 1);
  EXPECT_EQ(r.s.device.openedPort(), 3);
  EXPECT_EQ(r.s.form.state().workDir, "/home/op/data/qN07/");
  EXPECT_EQ(r.s.window.dir, "/home/op/data/qN07");
  EXPECT_EQ(r.s.window.texts[TextId::Text1], "qX99");  // the operator's marker, not the name's
  EXPECT_EQ(r.s.window.texts[TextId::Text3], "12");
  EXPECT_EQ(r.s.window.texts[TextId::Text4], "1500");
  EXPECT_EQ(r.s.window.checks[CheckId::Check1], 1);
  EXPECT_EQ(r.s.window.checks[CheckId::Check2], 0);
  EXPECT_TRUE(r.s.window.enabled[ButtonId::Command1]);
  // From here on the run is as on any start: the first burst synchronises.
  ASSERT_TRUE(r.s.burst(readingOf(1)));
  EXPECT_EQ(r.s.window.list1, std::vector<std::string>{"sync "});
  EXPECT_EQ(r.s.settings.stored->marker, "qX99");
}

TEST(Resume, ADirectoryNotThereYetIsTakenWhenItAppears) {
  ResumeHarness r;
  r.s.files.dirs.clear();
  r.resume.start();
  const std::string said =
      "working directory /home/op/data/qN07/ is not there yet; trying again every 10 s";
  EXPECT_TRUE(r.s.window.list2Has(said));
  EXPECT_EQ(r.s.device.opens(), 0);
  ASSERT_TRUE(r.tenSeconds());
  ASSERT_TRUE(r.tenSeconds());
  EXPECT_EQ(std::count(r.s.window.list2.begin(), r.s.window.list2.end(), said), 1);
  r.s.files.dirs.insert("/home/op/data/qN07/");
  ASSERT_TRUE(r.tenSeconds());
  EXPECT_EQ(r.s.device.openedPort(), 3);
  EXPECT_FALSE(r.dirTimer.enabled());
}

TEST(Resume, APortThatCannotBeOpenedIsTriedAgainAsALostOne) {
  ResumeHarness r;
  r.s.device.goAway("No such file or directory");
  r.resume.start();
  EXPECT_EQ(r.s.serial.state(), SerialLink::State::Waiting);
  EXPECT_TRUE(r.s.window.list2Has("COM3 cannot be opened yet; trying again every 2 s"));
  ASSERT_TRUE(r.s.portBack());
  EXPECT_TRUE(r.s.window.list2Has("COM3 is back"));
  EXPECT_EQ(r.s.device.openedPort(), 3);
}

TEST(Resume, ADirectoryInUseIsNotForcedOpen) {
  ResumeHarness r;
  r.s.host.othersHold["/home/op/data/qN07/.meterstation.lock"] = 77;
  r.resume.start();
  EXPECT_TRUE(r.s.window.list2Has("working directory in use by another station: process 77"));
  EXPECT_EQ(r.s.serial.state(), SerialLink::State::Closed);
}

}  // namespace
}  // namespace meterstation::testing
