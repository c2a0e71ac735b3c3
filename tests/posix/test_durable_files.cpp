#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "as_nobody.h"
#include "platform/posix/durable_files.h"
#include "support/scratch_dir_test.h"

namespace meterstation {
namespace {

namespace fs = std::filesystem;

class DurableFilesTest : public testsupport::ScratchDirTest {
 protected:
  DurableFilesTest() : ScratchDirTest("meterstation-files") {}
  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void write(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename());
    return names;
  }

  FileSystemCalls calls = FileSystemCalls::real();
};

TEST_F(DurableFilesTest, AppendCreatesThenAddsExactlyTheBytesDurably) {
  int dataSyncs = 0;
  int directorySyncs = 0;
  calls.fdatasync = [&](int fd) {
    ++dataSyncs;
    return ::fdatasync(fd);
  };
  calls.fsync = [&](int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) ++directorySyncs;
    return ::fsync(fd);
  };
  DurableFiles files(calls);
  const std::string log = path("set1.dat");
  const std::string binary("7\0\xff\r\n", 5);

  EXPECT_TRUE(files.append(log, "first\r\n").ok);
  EXPECT_TRUE(files.append(log, binary).ok);
  EXPECT_EQ(contents(log), "first\r\n" + binary);
  EXPECT_EQ(dataSyncs, 2);
  EXPECT_EQ(directorySyncs, 1);  // a new name is made durable once

  const Result missingDirectory = files.append(path("gone/set1.dat"), "x");
  EXPECT_FALSE(missingDirectory.ok);
  EXPECT_EQ(missingDirectory.error, std::strerror(ENOENT));
}

TEST_F(DurableFilesTest, FailedAppendLeavesTheFileAsItWas) {
  const std::string log = path("set1.dat");
  write(log, "old\n");
  calls.write = [](int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size / 2);
  };
  Result appended = DurableFiles(calls).append(log, "a new line\n");
  EXPECT_FALSE(appended.ok);
  EXPECT_NE(appended.error.find("5 of 11"), std::string::npos) << appended.error;
  EXPECT_EQ(contents(log), "old\n");

  // A file the failed append had to create is gone again.
  appended = DurableFiles(calls).append(path("new.dat"), "a new line\n");
  EXPECT_FALSE(appended.ok);
  EXPECT_FALSE(fs::exists(path("new.dat")));

  calls = FileSystemCalls::real();
  calls.fdatasync = [](int) {
    errno = EIO;
    return -1;
  };
  appended = DurableFiles(calls).append(log, "a new line\n");
  EXPECT_EQ(appended.error, std::strerror(EIO));
  EXPECT_EQ(contents(log), "old\n");

  // An interrupted write is tried again, and lands once.
  calls = FileSystemCalls::real();
  bool interrupted = false;
  calls.write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (!interrupted) {
      interrupted = true;
      errno = EINTR;
      return -1;
    }
    return ::write(fd, data, size);
  };
  EXPECT_TRUE(DurableFiles(calls).append(log, "x\n").ok);
  EXPECT_EQ(contents(log), "old\nx\n");
}

TEST_F(DurableFilesTest, AppendRefusesAFileWhoseDirectoryWasDeleted) {
  const std::string subdirectory = path("run");
  ASSERT_EQ(::mkdir(subdirectory.c_str(), 0755), 0);
  const std::string log = subdirectory + "/set1.dat";
  write(log, "old\n");
  int writes = 0;
  // The directory goes away between the open and the write.
  calls.open = [&](const char* file, int flags, mode_t mode) {
    const int fd = ::open(file, flags, mode);
    ::unlink(log.c_str());
    ::rmdir(subdirectory.c_str());
    return fd;
  };
  calls.write = [&](int fd, const void* data, std::size_t size) {
    ++writes;
    return ::write(fd, data, size);
  };
  const Result appended = DurableFiles(calls).append(log, "lost?\n");
  EXPECT_FALSE(appended.ok);
  EXPECT_NE(appended.error.find("no longer exists"), std::string::npos) << appended.error;
  EXPECT_EQ(writes, 0);
}

TEST_F(DurableFilesTest, ReplaceSwapsInTheWholeFileAndKeepsItsMode) {
  const std::string table = path("alarm.txt");
  DurableFiles files;
  EXPECT_TRUE(files.replace(table, "first").ok);
  EXPECT_EQ(contents(table), "first");
  ASSERT_EQ(::chmod(table.c_str(), 0640), 0);

  EXPECT_TRUE(files.replace(table, std::string("second\0", 7)).ok);
  EXPECT_EQ(contents(table), std::string("second\0", 7));
  EXPECT_EQ(entries(), std::set<std::string>{"alarm.txt"});
  struct stat status {};
  ASSERT_EQ(::stat(table.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
}

TEST_F(DurableFilesTest, FailedReplaceKeepsTheOldFileAndRemovesTheTemporary) {
  const std::string table = path("alarm.txt");
  write(table, "old table");
  const auto fail = [](int error) {
    errno = error;
    return -1;
  };
  bool wrotePart = false;
  calls.write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
    if (wrotePart) return fail(ENOSPC);
    wrotePart = true;
    return ::write(fd, data, size / 2);
  };
  Result replaced = DurableFiles(calls).replace(table, "new table");
  EXPECT_EQ(replaced.error, std::strerror(ENOSPC));

  calls = FileSystemCalls::real();
  calls.fsync = [&](int) { return fail(EIO); };
  replaced = DurableFiles(calls).replace(table, "new table");
  EXPECT_EQ(replaced.error, std::strerror(EIO));

  calls = FileSystemCalls::real();
  calls.rename = [&](const char*, const char*) { return fail(EXDEV); };
  replaced = DurableFiles(calls).replace(table, "new table");
  EXPECT_EQ(replaced.error, std::strerror(EXDEV));

  EXPECT_EQ(contents(table), "old table");
  EXPECT_EQ(entries(), std::set<std::string>{"alarm.txt"});
}

TEST_F(DurableFilesTest, ByteAccessChangesOnlyWhatItIsGiven) {
  DurableFiles files;
  const std::string record = path("db.dat");
  write(record, "0123456789");
  EXPECT_TRUE(files.writeAt(record, 3, "abc").ok);
  EXPECT_EQ(files.read(record).bytes, "012abc6789");
  EXPECT_TRUE(files.truncate(record, 4).ok);
  EXPECT_EQ(contents(record), "012a");

  const std::string missing = path("missing.dat");
  EXPECT_EQ(files.writeAt(missing, 0, "x").error, std::strerror(ENOENT));
  EXPECT_FALSE(files.truncate(missing, 0).ok);
  const ReadResult read = files.read(missing);
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.error, std::strerror(ENOENT));
  EXPECT_FALSE(files.exists(missing));
  EXPECT_TRUE(files.exists(record));
}

TEST_F(DurableFilesTest, ARangeIsReadWholeAndNoMore) {
  const std::string record = path("db.dat");
  write(record, "0123456789");
  off_t askedEnd = 0;
  bool interrupted = false;
  // The kernel may hand a range over in pieces, and be interrupted.
  calls.pread = [&](int fd, void* data, std::size_t size, off_t offset) -> ssize_t {
    askedEnd = std::max(askedEnd, offset + static_cast<off_t>(size));
    if (!interrupted) {
      interrupted = true;
      errno = EINTR;
      return -1;
    }
    return ::pread(fd, data, std::min<std::size_t>(size, 2), offset);
  };
  DurableFiles files(calls);
  EXPECT_EQ(files.readRange(record, 3, 5).bytes, "34567");
  EXPECT_EQ(askedEnd, 8) << "nothing beyond the range is asked for";
  EXPECT_EQ(files.readRange(record, 8, 5).bytes, "89");
  const ReadResult beyond = files.readRange(record, 20, 4);
  EXPECT_TRUE(beyond.ok);
  EXPECT_EQ(beyond.bytes, "");
  EXPECT_EQ(files.readRange(path("missing.dat"), 0, 1).error, std::strerror(ENOENT));

  calls.pread = [](int, void*, std::size_t, off_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  const ReadResult failed = DurableFiles(calls).readRange(record, 0, 4);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.error, std::strerror(EIO));
  EXPECT_EQ(failed.bytes, "");
}

TEST_F(DurableFilesTest, RemoveTakesTheFileAwayForGood) {
  int directorySyncs = 0;
  calls.fsync = [&](int fd) {
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) ++directorySyncs;
    return ::fsync(fd);
  };
  const std::string queue = path("queue.dat");
  write(queue, "line\r\n");
  DurableFiles files(calls);
  EXPECT_TRUE(files.remove(queue).ok);
  EXPECT_FALSE(fs::exists(queue));
  EXPECT_EQ(directorySyncs, 1) << "the removal is made durable";

  // Nothing to remove is what was asked for.
  EXPECT_TRUE(files.remove(queue).ok);
  EXPECT_TRUE(files.remove(path("gone/queue.dat")).ok);
  EXPECT_EQ(directorySyncs, 1);

  const auto fail = [](int error) {
    errno = error;
    return -1;
  };
  write(queue, "line\r\n");
  calls.unlink = [&](const char*) { return fail(EROFS); };
  EXPECT_EQ(DurableFiles(calls).remove(queue).error, std::strerror(EROFS));
  EXPECT_EQ(contents(queue), "line\r\n");

  // Removed, but not yet for good: the caller must hear of it.
  calls = FileSystemCalls::real();
  calls.fsync = [&](int) { return fail(EIO); };
  EXPECT_EQ(DurableFiles(calls).remove(queue).error, std::strerror(EIO));
}

TEST_F(DurableFilesTest, ListNamesTheFilesOfADirectoryInOrder) {
  DurableFiles files;
  for (const char* name : {"b.dat", "a.dat", ".hidden", "Z"}) write(path(name), "x");
  ASSERT_EQ(::mkdir(path("sub").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(path("a.dat").c_str(), path("to-file").c_str()), 0);
  ASSERT_EQ(::symlink(path("sub").c_str(), path("to-dir").c_str()), 0);
  ASSERT_EQ(::symlink(path("nowhere").c_str(), path("dangling").c_str()), 0);

  EXPECT_EQ(files.list(dir_),
            (std::vector<std::string>{".hidden", "Z", "a.dat", "b.dat", "to-file"}));
  EXPECT_TRUE(files.list(path("sub")).empty());
  EXPECT_TRUE(files.list(path("missing")).empty());
  EXPECT_TRUE(files.list(path("a.dat")).empty());

  EXPECT_TRUE(files.isDirectory(dir_));
  EXPECT_TRUE(files.isDirectory(path("to-dir")));
  EXPECT_FALSE(files.isDirectory(path("a.dat")));
  EXPECT_FALSE(files.isDirectory(path("missing")));
  EXPECT_FALSE(files.isDirectory(""));
}

// Runs as nobody in a child started by the test below: a read-only
// directory still takes appends to its writable files, but nothing new.
TEST(DurableFilesAsNobody, DISABLED_ReadOnlyDirectory) {
  const char* dir = std::getenv("METERSTATION_READ_ONLY_DIR");
  ASSERT_NE(dir, nullptr);
  ASSERT_NE(::geteuid(), 0u);
  DurableFiles files;
  const std::string table = std::string(dir) + "/alarm.txt";
  EXPECT_TRUE(files.append(table, " more").ok);
  EXPECT_EQ(files.replace(table, "new").error, std::strerror(EACCES));
  EXPECT_EQ(files.append(std::string(dir) + "/new.dat", "x").error, std::strerror(EACCES));
}

TEST_F(DurableFilesTest, ReadOnlyDirectoryRefusesAnUnprivilegedUser) {
  if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
  const std::string table = path("alarm.txt");
  write(table, "old");
  ASSERT_EQ(::chmod(table.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
  ::setenv("METERSTATION_READ_ONLY_DIR", dir_.c_str(), 1);

  const testing::ChildRun child = testing::runAsNobody("DurableFilesAsNobody.*");
  ::unsetenv("METERSTATION_READ_ONLY_DIR");

  EXPECT_EQ(child.status, 0) << child.output;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
  EXPECT_EQ(contents(table), "old more");
  EXPECT_EQ(entries(), std::set<std::string>{"alarm.txt"});
}

}  // namespace
}  // namespace meterstation
