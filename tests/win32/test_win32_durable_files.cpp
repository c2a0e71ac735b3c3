#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <gtest/gtest.h>

#include "platform/win32/win32_durable_files.h"
#include "platform/win32/win32_error.h"
#include "temp_dir.h"

namespace meterstation {
namespace {

namespace fs = std::filesystem;

class Win32DurableFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  std::string path(const std::string& name) const { return dir_ / name; }
  static std::string contents(const std::string& file) {
    std::ifstream in(fs::path(widen(file)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void write(const std::string& file, const std::string& bytes) {
    std::ofstream(fs::path(widen(file)), std::ios::binary) << bytes;
  }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(widen(dir_.path()))) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  static BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
  }

  testsupport::TempDir dir_{"meterstation-files"};
  Win32FileCalls calls = Win32FileCalls::real();
};

TEST_F(Win32DurableFilesTest, AppendsAndReplacementsLandWholeAndFlushed) {
  int flushes = 0;
  calls.flushFileBuffers = [&](HANDLE file) {
    ++flushes;
    return FlushFileBuffers(file);
  };
  Win32DurableFiles files(calls);
  const std::string log = path("qn.db1");
  const std::string binary("7\0\xff\r\n", 5);
  EXPECT_TRUE(files.append(log, "first\r\n").ok);
  EXPECT_TRUE(files.append(log, binary).ok);
  EXPECT_EQ(contents(log), "first\r\n" + binary);
  EXPECT_EQ(flushes, 3);  // each append, and the new name's directory once

  const std::string table = path("alarm.txt");
  EXPECT_TRUE(files.replace(table, "first").ok);
  EXPECT_TRUE(files.replace(table, std::string("second\0", 7)).ok);
  EXPECT_EQ(contents(table), std::string("second\0", 7));
  EXPECT_EQ(entries(), (std::set<std::string>{"alarm.txt", "qn.db1"}));

  EXPECT_FALSE(files.append(path("gone\\qn.db1"), "x").ok);
}

TEST_F(Win32DurableFilesTest, AFailedAppendAppendsNothing) {
  const std::string log = path("qn.db1");
  write(log, "old\r\n");
  calls.writeFile = [](HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* at) {
    return WriteFile(file, data, size / 2, written, at);
  };
  Result appended = Win32DurableFiles(calls).append(log, "a new line\n");
  EXPECT_NE(appended.error.find("5 of 11"), std::string::npos) << appended.error;
  EXPECT_EQ(contents(log), "old\r\n");
  // A file the failed append had to create is gone again.
  appended = Win32DurableFiles(calls).append(path("new.db1"), "a new line\n");
  EXPECT_FALSE(appended.ok);
  EXPECT_FALSE(fs::exists(widen(path("new.db1"))));

  calls = Win32FileCalls::real();
  calls.flushFileBuffers = [](HANDLE) { return fail(ERROR_DISK_FULL); };
  appended = Win32DurableFiles(calls).append(log, "a new line\n");
  EXPECT_EQ(appended.error, systemReason(ERROR_DISK_FULL));
  EXPECT_EQ(contents(log), "old\r\n");

  calls = Win32FileCalls::real();
  calls.createFile = [](const wchar_t*, DWORD, DWORD, DWORD, DWORD) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  };
  appended = Win32DurableFiles(calls).append(log, "a new line\n");
  EXPECT_EQ(appended.error, systemReason(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(contents(log), "old\r\n");
}

TEST_F(Win32DurableFilesTest, AFailedReplacementLeavesTheOldFileWhole) {
  const std::string table = path("alarm.txt");
  write(table, "old table");
  const auto replaced = [&] { return Win32DurableFiles(calls).replace(table, "new table"); };

  calls.writeFile = [](HANDLE file, const void* data, DWORD size, DWORD* written, OVERLAPPED* at) {
    // Half of it lands, then the disk is full.
    if (at->Offset != 0) return fail(ERROR_DISK_FULL);
    return WriteFile(file, data, size / 2, written, at);
  };
  EXPECT_EQ(replaced().error, systemReason(ERROR_DISK_FULL));
  calls = Win32FileCalls::real();
  calls.flushFileBuffers = [](HANDLE) { return fail(ERROR_IO_DEVICE); };
  EXPECT_EQ(replaced().error, systemReason(ERROR_IO_DEVICE));
  calls = Win32FileCalls::real();
  calls.moveFileEx = [](const wchar_t*, const wchar_t*, DWORD) {
    return fail(ERROR_ACCESS_DENIED);
  };
  EXPECT_EQ(replaced().error, systemReason(ERROR_ACCESS_DENIED));
  calls = Win32FileCalls::real();
  calls.createFile = [](const wchar_t*, DWORD, DWORD, DWORD, DWORD) {
    SetLastError(ERROR_DISK_FULL);
    return INVALID_HANDLE_VALUE;
  };
  EXPECT_EQ(replaced().error, systemReason(ERROR_DISK_FULL));

  EXPECT_EQ(contents(table), "old table");
  EXPECT_EQ(entries(), std::set<std::string>{"alarm.txt"});
}

TEST_F(Win32DurableFilesTest, ByteAccessRangesAndListings) {
  Win32DurableFiles files;
  const std::string journal = path("set.jnl");
  write(journal, "0123456789");
  EXPECT_TRUE(files.writeAt(journal, 8, "ABCD").ok);
  EXPECT_EQ(contents(journal), "01234567ABCD");
  EXPECT_TRUE(files.truncate(journal, 5).ok);
  EXPECT_EQ(files.size(journal), 5u);
  EXPECT_EQ(files.readRange(journal, 3, 100).bytes, "34");
  const ReadResult beyond = files.readRange(journal, 9, 4);
  EXPECT_TRUE(beyond.ok);
  EXPECT_EQ(beyond.bytes, "");
  EXPECT_FALSE(files.read(path("missing")).ok);
  EXPECT_FALSE(files.writeAt(path("missing"), 0, "x").ok);

  ASSERT_TRUE(CreateDirectoryW(widen(path("sub")).c_str(), nullptr));
  write(path("b.txt"), "b");
  EXPECT_EQ(files.list(dir_.path()), (std::vector<std::string>{"b.txt", "set.jnl"}));
  EXPECT_TRUE(files.isDirectory(path("sub")));
  EXPECT_FALSE(files.isDirectory(journal));
  EXPECT_EQ(files.size(path("sub")), std::nullopt);

  EXPECT_TRUE(files.remove(journal).ok);
  EXPECT_FALSE(files.exists(journal));
  EXPECT_TRUE(files.remove(journal).ok) << "already gone is no failure";
  EXPECT_FALSE(files.exists(path("gone\\set.jnl")));
}

}  // namespace
}  // namespace meterstation
