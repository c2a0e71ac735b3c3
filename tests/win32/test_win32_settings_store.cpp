#include <windows.h>

#include <fstream>

#include <gtest/gtest.h>

#include "platform/win32/win32_settings_store.h"
#include "support/going_run.h"
#include "temp_dir.h"

namespace meterstation {
namespace {

void expectSame(const RunSettings& got, const RunSettings& want) {
  EXPECT_EQ(got.workDir, want.workDir);
  EXPECT_EQ(got.port, want.port);
  EXPECT_EQ(got.marker, want.marker);
  EXPECT_EQ(got.obs, want.obs);
  EXPECT_EQ(got.interval, want.interval);
  EXPECT_EQ(got.debug, want.debug);
  EXPECT_EQ(got.vistaFix, want.vistaFix);
  EXPECT_EQ(got.going, want.going);
}

class Win32SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  std::string fileWith(const std::string& name, const std::string& contents) {
    const std::string path = dir_ / name;
    std::ofstream(std::filesystem::path(widen(path)), std::ios::binary) << contents;
    return path;
  }

  testsupport::TempDir dir_{"meterstation-settings"};
};

TEST_F(Win32SettingsStoreTest, TheRunComesBackByteForByte) {
  EXPECT_TRUE(Win32SettingsStore().file().ends_with("\\meterstation\\run.conf"));
  const std::string file = dir_ / "run.conf";
  Win32SettingsStore store(file);
  EXPECT_FALSE(store.load().has_value()) << "no run was ever remembered";

  RunSettings run = testsupport::goingRun("D:\\D\xE9p\xF4t 2\\q;N#07=\"x\"[run]", "", "2000");
  for (int b = 1; b <= 0xFF; ++b) run.marker.push_back(static_cast<char>(b));
  run.obs = "@Variant(3)";
  run.interval = std::string(
                     "20\0"
                     "00",
                     5) +
                 "\\n";
  ASSERT_TRUE(store.save(run).ok);
  std::optional<RunSettings> loaded = Win32SettingsStore(file).load();
  ASSERT_TRUE(loaded.has_value());
  expectSame(*loaded, run);

  // A save that fails on its way to the disk leaves the last one whole.
  Win32FileCalls calls = Win32FileCalls::real();
  calls.flushFileBuffers = [](HANDLE) {
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
  };
  RunSettings ended = run;
  ended.going = false;
  const Result saved = Win32SettingsStore(file, calls).save(ended);
  EXPECT_EQ(saved.error.find("cannot write " + file + ": "), 0u) << saved.error;
  loaded = store.load();
  ASSERT_TRUE(loaded.has_value());
  expectSame(*loaded, run);
}

// As the Linux build's QSettings writes it.
TEST_F(Win32SettingsStoreTest, ReadsTheLinuxRunConf) {
  const std::optional<RunSettings> loaded =
      Win32SettingsStore(
          fileWith("linux.conf",
                   "[run]\ndebug=1\ngoing=true\ninterval=@String(20\\0\\x30\\x30)\nmarker=\"q,N\"\n"
                   "obs=@@7\nport=4\nvistaFix=0\nworkDir=\"/media/D\xC3\xA9p\xC3\xB4t;\\\\x\"\n"))
          .load();
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->interval, std::string("20\0"
                                          "00",
                                          5));
  EXPECT_EQ(loaded->marker, "q,N");
  EXPECT_EQ(loaded->obs, "@7");
  EXPECT_EQ(loaded->port, 4);
  EXPECT_EQ(loaded->workDir, "/media/D\xE9p\xF4t;\\x");
}

TEST_F(Win32SettingsStoreTest, WhatCannotBeReadIsNoRun) {
  const std::string whole =
      "[run]\r\nworkDir=C:\\\\d\r\nport=2\r\nmarker=qN01\r\nobs=1\r\ninterval=2000\r\n"
      "debug=0\r\nvistaFix=1\r\ngoing=true\r\n";
  EXPECT_TRUE(Win32SettingsStore(fileWith("whole.conf", whole)).load().has_value());

  const auto with = [&](const std::string& from, const std::string& to) {
    std::string changed = whole;
    return changed.replace(changed.find(from), from.size(), to);
  };
  const std::string broken[] = {
      "",
      std::string("\x7f"
                  "ELF\x02\x01\x01\0\0\0",
                  10),
      with("[run]", "[General]"),
      with("marker=qN01\r\n", ""),
      with("port=2", "port=7"),
      with("port=2", "port=two"),
      with("going=true", "going=maybe"),
      with("workDir=C:\\\\d", "workDir=C:\\\\\xE2\x82\xAC"),  // a character beyond one byte
      with("workDir=C:\\\\d", "workDir=C:\\\\\xE9"),          // not UTF-8
      with("marker=qN01", "marker=q,N"),                      // a list
      with("marker=qN01", "marker=\"qN01"),                   // cut off in its quotes
      with("obs=1", "obs=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)"),
  };
  int index = 0;
  for (const std::string& contents : broken) {
    const std::string name = "broken" + std::to_string(index++) + ".conf";
    EXPECT_FALSE(Win32SettingsStore(fileWith(name, contents)).load().has_value()) << contents;
  }
  // A directory where the file should be.
  ASSERT_TRUE(CreateDirectoryW(widen(dir_ / "dir.conf").c_str(), nullptr));
  EXPECT_FALSE(Win32SettingsStore(dir_ / "dir.conf").load().has_value());
}

}  // namespace
}  // namespace meterstation
