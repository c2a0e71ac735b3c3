// Each entry of the calls table failing on its own: the failure comes back
// as a value and the file is left as it was.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/posix/durable_files.h"
#include "support/scratch_dir_test.h"

namespace meterstation {
namespace {

// The real calls with `entry` failing as `error`. A failed close still
// closes the descriptor, as the kernel's does.
FileSystemCalls failing(const std::string& entry, int error = EIO) {
  FileSystemCalls calls = FileSystemCalls::real();
  const auto fail = [error] {
    errno = error;
    return -1;
  };
  if (entry == "close") calls.close = [fail](int fd) { return ::close(fd) == 0 ? fail() : -1; };
  if (entry == "dup") calls.dup = [fail](int) { return fail(); };
  if (entry == "read") calls.read = [fail](int, void*, std::size_t) { return fail(); };
  if (entry == "write") calls.write = [fail](int, const void*, std::size_t) { return fail(); };
  if (entry == "fdatasync") calls.fdatasync = [fail](int) { return fail(); };
  if (entry == "fsync") calls.fsync = [fail](int) { return fail(); };
  if (entry == "rename") calls.rename = [fail](const char*, const char*) { return fail(); };
  if (entry == "stat") calls.stat = [fail](const char*, struct stat*) { return fail(); };
  if (entry == "fstat") calls.fstat = [fail](int, struct stat*) { return fail(); };
  if (entry == "fchmod") calls.fchmod = [fail](int, mode_t) { return fail(); };
  if (entry == "readdir") {
    calls.readdir = [error](DIR*) -> dirent* {
      errno = error;
      return nullptr;
    };
  }
  return calls;
}

class DurableFileFaults : public testsupport::ScratchDirTest {
 protected:
  DurableFileFaults() : ScratchDirTest("meterstation-file-faults") {}
  std::string contents(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.insert(entry.path().filename());
    }
    return names;
  }
};

// The close is where NFS reports a write that did not reach the server.
TEST_F(DurableFileFaults, AFailedAppendTakesTheLineBackOut) {
  for (const char* entry : {"fstat", "write", "fdatasync", "dup", "close"}) {
    SCOPED_TRACE(entry);
    write("set1.dat", "old\n");
    DurableFiles files(failing(entry));
    EXPECT_EQ(files.append(path("set1.dat"), "a new line\n").error, std::strerror(EIO));
    EXPECT_EQ(contents("set1.dat"), "old\n");
    EXPECT_FALSE(files.append(path("new.dat"), "a new line\n").ok);
    EXPECT_EQ(entries(), std::set<std::string>{"set1.dat"});
  }
  // The new name's directory sync fails: the file goes again.
  EXPECT_FALSE(DurableFiles(failing("fsync")).append(path("new.dat"), "x\n").ok);
  EXPECT_EQ(entries(), std::set<std::string>{"set1.dat"});
}

TEST_F(DurableFileFaults, AFailedReplaceKeepsTheOldFileAndNoTemporary) {
  write("alarm.txt", "old table");
  for (const char* entry : {"stat", "fchmod", "fstat", "write", "fsync", "close", "rename"}) {
    SCOPED_TRACE(entry);
    EXPECT_EQ(DurableFiles(failing(entry)).replace(path("alarm.txt"), "new table").error,
              std::strerror(EIO));
    EXPECT_EQ(contents("alarm.txt"), "old table");
    EXPECT_EQ(entries(), std::set<std::string>{"alarm.txt"});
  }
  // A file system without modes (FAT) refuses every fchmod; nothing is lost.
  EXPECT_TRUE(DurableFiles(failing("fchmod", EPERM)).replace(path("alarm.txt"), "new").ok);
  EXPECT_EQ(contents("alarm.txt"), "new");
}

TEST_F(DurableFileFaults, ByteAccessReportsAFailedCloseAndReadsDoNot) {
  write("db.dat", "0123456789");
  DurableFiles files(failing("close"));
  EXPECT_EQ(files.writeAt(path("db.dat"), 0, "ab").error, std::strerror(EIO));
  EXPECT_EQ(files.truncate(path("db.dat"), 4).error, std::strerror(EIO));
  // Nothing was written through a descriptor only read from.
  EXPECT_EQ(files.read(path("db.dat")).bytes, "ab23");
  EXPECT_EQ(files.readRange(path("db.dat"), 1, 2).bytes, "b2");
  const ReadResult failed = DurableFiles(failing("read")).read(path("db.dat"));
  EXPECT_EQ(failed.error, std::strerror(EIO));
  EXPECT_EQ(failed.bytes, "");
}

TEST_F(DurableFileFaults, WhatCannotBeLookedAtIsNeitherMissingNorListed) {
  write("a.dat", "x");
  DurableFiles files(failing("stat"));
  EXPECT_TRUE(files.exists(path("a.dat")));
  EXPECT_FALSE(files.size(path("a.dat")));
  EXPECT_FALSE(files.isDirectory(dir_));
  EXPECT_FALSE(DurableFiles(failing("stat", ENOENT)).exists(path("a.dat")));
  EXPECT_TRUE(DurableFiles(failing("readdir")).list(dir_).empty());
  EXPECT_EQ(DurableFiles().list(dir_), std::vector<std::string>{"a.dat"});
}

}  // namespace
}  // namespace meterstation
