#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "as_nobody.h"
#include "reliability/real_files_station.h"

namespace meterstation::reliability {
namespace {

class FileFaults : public ::testing::Test {
 protected:
  ScratchDir scratch;
};

TEST_F(FileFaults, WorkingDirectoryRemovedInTheMiddleOfASetAndCreatedAgain) {
  RealFilesStation s(scratch.path());
  s.set(1);
  for (int m = 1; m <= 8; ++m) s.burst(readingOf(m, 2, 10000 + m));
  ASSERT_EQ(std::system(("rm -rf '" + s.dir + "'").c_str()), 0);
  for (int m = 9; m <= 16; ++m) s.burst(readingOf(m, 2, 10000 + m));
  EXPECT_TRUE(s.list2Has("Problem with file qn.db1"));
  EXPECT_TRUE(s.list2Has("Problem with file ct.tsr"));
  EXPECT_TRUE(s.list2Has("Problem with file usage.tsr"));
  s.set(3);
  EXPECT_FALSE(s.form.ended());
  EXPECT_EQ(s.waitingTags("qn.db1"), (std::vector<int>{2, 3}));

  ASSERT_EQ(::mkdir(s.dir.c_str(), 0777), 0);
  s.set(4);
  // What was in the old directory went with it; every set since is there.
  EXPECT_EQ(s.databaseTags(), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
  EXPECT_EQ(fileLines(s.file("usage.tsr")).size(), 3U * 16U);
  EXPECT_EQ(s.file("ct.tsr").size(), 322U);
}

TEST_F(FileFaults, SnapshotOrDatabaseReplacedByADirectory) {
  RealFilesStation s(scratch.path());
  s.set(1);
  ASSERT_EQ(std::remove(s.path("ct.tsr").c_str()), 0);
  ASSERT_EQ(::mkdir(s.path("ct.tsr").c_str(), 0777), 0);
  s.set(2);
  EXPECT_TRUE(s.list2Has("Problem with file ct.tsr"));
  EXPECT_EQ(s.databaseTags(), (std::vector<int>{1, 2}));

  ASSERT_EQ(std::rename(s.path("qn.db1").c_str(), s.path("qn.db1.moved").c_str()), 0);
  ASSERT_EQ(::mkdir(s.path("qn.db1").c_str(), 0777), 0);
  s.set(3);
  s.set(4);
  EXPECT_TRUE(s.list2Has("Problem with file qn.db1"));
  EXPECT_EQ(s.waitingTags("qn.db1"), (std::vector<int>{3, 4}));
  EXPECT_FALSE(s.form.ended());

  ASSERT_EQ(::rmdir(s.path("ct.tsr").c_str()), 0);
  ASSERT_EQ(::rmdir(s.path("qn.db1").c_str()), 0);
  ASSERT_EQ(std::rename(s.path("qn.db1.moved").c_str(), s.path("qn.db1").c_str()), 0);
  s.set(5);
  EXPECT_EQ(s.databaseTags(), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
  EXPECT_EQ(s.file("ct.tsr").substr(3, 3), "005");
  for (const std::string& name : entriesOf(s.dir)) EXPECT_NE(name.front(), '.') << name;
}

// A tmpfs of its own in a private mount namespace: the real disk-full path
// of the kernel. Needs root and a kernel that lets this process unshare.
bool mountSmallDisk(const std::string& dir) {
  if (::geteuid() != 0) return false;
  if (::unshare(CLONE_NEWNS) != 0) return false;
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  return ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k,mode=0777") == 0;
}

// Fills the file system so that nothing more fits.
void fillDisk(const std::string& path) {
  FILE* filler = std::fopen(path.c_str(), "wb");
  ASSERT_NE(filler, nullptr);
  std::setvbuf(filler, nullptr, _IONBF, 0);
  const std::string block(4096, 'f');
  while (std::fwrite(block.data(), 1, block.size(), filler) == block.size()) {
  }
  for (;;) {
    if (std::fputc('f', filler) == EOF) break;
  }
  std::fclose(filler);
}

TEST_F(FileFaults, DiskFullOnARealSmallFileSystem) {
  const std::string disk = scratch.path() + "/disk";
  ASSERT_EQ(::mkdir(disk.c_str(), 0777), 0);
  if (!mountSmallDisk(disk))
    GTEST_SKIP() << "no tmpfs could be mounted; the injected disk-full tests below cover it";
  std::printf("disk full: real tmpfs of 256 KiB\n");
  {
    RealFilesStation s(disk);
    s.set(1);
    fillDisk(disk + "/filler");
    int tag = 2;
    // The last page of each file still takes a few lines before the disk
    // refuses; go on until it does.
    for (; tag < 40 && !s.list2Has("Problem with file qn.db1"); ++tag) s.set(tag);
    ASSERT_TRUE(s.list2Has("Problem with file qn.db1"));
    s.set(tag++);
    EXPECT_GE(s.waitingTags("qn.db1").size(), 2U);
    EXPECT_FALSE(s.form.ended());
    ASSERT_EQ(std::remove((disk + "/filler").c_str()), 0);
    s.set(tag);
    std::vector<int> expected;
    for (int k = 1; k <= tag; ++k) expected.push_back(k);
    EXPECT_EQ(s.databaseTags(), expected);
    EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
    EXPECT_EQ(s.file("ct.tsr").size(), 322U);
    for (const std::string& name : entriesOf(s.dir)) EXPECT_NE(name.front(), '.') << name;
  }
  ::umount2(disk.c_str(), MNT_DETACH);
}

// Sets 2 and 3 under a fault the calls inject while `on` holds: every line
// waits, and the set after brings them all home.
void setsThroughAFault(const std::string& root, FileSystemCalls calls,
                       const std::shared_ptr<bool>& on) {
  RealFilesStation s(root, std::move(calls));
  s.set(1);
  *on = true;
  s.set(2);
  s.set(3);
  EXPECT_TRUE(s.list2Has("Problem with file qn.db1"));
  EXPECT_TRUE(s.list2Has("Problem with file ct.tsr"));
  EXPECT_TRUE(s.list2Has("2 lines wait for qn.db1"));
  EXPECT_EQ(s.databaseTags(), (std::vector<int>{1}));
  EXPECT_EQ(s.file("ct.tsr").substr(3, 3), "001");
  *on = false;
  s.set(4);
  EXPECT_EQ(s.databaseTags(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(fileLines(s.file("usage.tsr")).size(), 4U * 16U);
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
  for (const std::string& name : entriesOf(s.dir)) EXPECT_NE(name.front(), '.') << name;
}

// Without a tmpfs the disk fills through the adapter's write call: every
// write fails with ENOSPC or, in the second run, writes half and stops.
void injectedDiskFull(const std::string& root, bool shortWrites) {
  auto full = std::make_shared<bool>(false);
  FileSystemCalls calls = FileSystemCalls::real();
  const auto realWrite = calls.write;
  calls.write = [full, realWrite, shortWrites](int fd, const void* data,
                                               std::size_t size) -> ssize_t {
    if (!*full) return realWrite(fd, data, size);
    if (shortWrites && size > 1) return realWrite(fd, data, size / 2);
    errno = ENOSPC;
    return -1;
  };
  setsThroughAFault(root, std::move(calls), full);
}

TEST_F(FileFaults, DiskFullInjectedAsEnospc) {
  std::printf("disk full: injected ENOSPC\n");
  injectedDiskFull(scratch.path(), false);
}

TEST_F(FileFaults, DiskFullInjectedAsShortWrites) {
  std::printf("disk full: injected short writes\n");
  injectedDiskFull(scratch.path(), true);
}

// A network disk (NFS) may report a write the server refused only at
// close, every sync before it having passed.
TEST_F(FileFaults, WriteErrorsReportedOnlyAtClose) {
  auto refused = std::make_shared<bool>(false);
  FileSystemCalls calls = FileSystemCalls::real();
  calls.close = [refused, realClose = calls.close](int fd) {
    const int closed = realClose(fd);
    if (!*refused) return closed;
    errno = EIO;
    return -1;
  };
  setsThroughAFault(scratch.path(), std::move(calls), refused);
}

// Runs as nobody in a child started by the test below, in a data directory
// nobody owns but cannot write until it makes it writable again.
TEST(FileFaultsAsNobody, DISABLED_ReadOnlyDirectory) {
  const char* root = std::getenv("METERSTATION_RELIABILITY_ROOT");
  ASSERT_NE(root, nullptr);
  ASSERT_NE(::geteuid(), 0u);
  RealFilesStation s(root);
  s.set(1);
  s.set(2);
  EXPECT_TRUE(s.list2Has("Problem with file qn.db1"));
  EXPECT_TRUE(s.list2Has("Problem with file ct.tsr"));
  EXPECT_TRUE(s.list2Has("Problem with file usage.tsr"));
  EXPECT_TRUE(s.list2Has("Problem with file quell2.tsr"));
  EXPECT_EQ(s.waitingTags("qn.db1"), (std::vector<int>{1, 2}));
  EXPECT_FALSE(s.form.ended());
  ASSERT_EQ(::chmod(s.dir.c_str(), 0755), 0);
  s.set(3);
  EXPECT_EQ(s.databaseTags(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(s.form.pendingAppends().totalWaiting(), 0U);
}

TEST_F(FileFaults, ReadOnlyDirectoryForAnUnprivilegedUser) {
  if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the directory to nobody";
  const std::string dir = scratch.path() + "/qN07";
  ASSERT_EQ(::chmod(scratch.path().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.c_str(), 0555), 0);
  ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
  ::setenv("METERSTATION_RELIABILITY_ROOT", scratch.path().c_str(), 1);
  const testing::ChildRun child = testing::runAsNobody("FileFaultsAsNobody.*");
  ::unsetenv("METERSTATION_RELIABILITY_ROOT");
  EXPECT_EQ(child.status, 0) << child.output;
  EXPECT_NE(child.output.find("[  PASSED  ] 1 test."), std::string::npos) << child.output;
  EXPECT_EQ(fileLines(slurp(dir + "/qn.db1")).size(), 3U);
}

}  // namespace
}  // namespace meterstation::reliability
