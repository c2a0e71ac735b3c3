#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace meterstation::trends::testing {

// A test with a directory of its own for a database and the files beside
// it, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "trends-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary) << bytes;
  }
  void append(const std::string& name, const std::string& bytes) const {
    std::ofstream(path(name), std::ios::binary | std::ios::app) << bytes;
  }

  // The database of the directory, and an append to it.
  std::string dbPath() const { return path("qn.db1"); }
  void appendDb(const std::string& bytes) const { append("qn.db1", bytes); }

  std::string dir_;
};

}  // namespace meterstation::trends::testing
