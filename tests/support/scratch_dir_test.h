#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/scratch_dir.h"

namespace meterstation::testsupport {

// A test with a scratch directory of its own, dir_, made before each test
// and removed after it.
class ScratchDirTest : public ::testing::Test {
 protected:
  explicit ScratchDirTest(const std::string& prefix = "meterstation-test") : scratch_(prefix) {}

  void SetUp() override {
    ASSERT_TRUE(scratch_.made());
    dir_ = scratch_.path();
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }

  ScratchDir scratch_;
  std::string dir_;
};

}  // namespace meterstation::testsupport
