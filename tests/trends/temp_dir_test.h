#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/scratch_dir_test.h"

namespace meterstation::trends::testing {

// A test with a directory of its own for a database and the files beside
// it, removed afterwards.
class TempDirTest : public testsupport::ScratchDirTest {
 protected:
  TempDirTest() : ScratchDirTest("trends-test") {}

  void append(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary | std::ios::app) << bytes;
  }

  // The database of the directory, and an append to it.
  std::string dbPath() const { return path("qn.db1"); }
  void appendDb(const std::string& bytes) const { append("qn.db1", bytes); }
};

}  // namespace meterstation::trends::testing
