// Crash-safe file replacement: the two flush modes and the regular-file open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "core/safe_file.h"
#include "support/test_support.h"

namespace qv {
namespace {

int CountEntries(const std::string& dir) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    (void)e;
    ++n;
  }
  return n;
}

TEST(SafeFile, BothModesReplaceTheFileAndKeepItsPermissions) {
  test::TempDir dir;
  const std::string f = dir.File("a.ini");
  test::WriteFile(f, "old");
  ASSERT_EQ(::chmod(f.c_str(), 0640), 0);
  for (WriteSync sync : {WriteSync::kDurable, WriteSync::kAtomicOnly}) {
    SafeWriteResult r = WriteFileAtomically(f, "new content", sync);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(test::ReadFile(f), "new content");
    struct stat st {};
    ASSERT_EQ(::stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
  }
  EXPECT_EQ(CountEntries(dir.path()), 1);
}

TEST(SafeFile, TheWriteLimitHookFailsLikeAFullDiskInEitherMode) {
  test::TempDir dir;
  const std::string f = dir.File("a.ini");
  test::WriteFile(f, "old");
  SetSaveWriteLimitForTesting(3);
  SafeWriteResult r = WriteFileAtomically(f, "longer content", WriteSync::kAtomicOnly);
  SetSaveWriteLimitForTesting(-1);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, ENOSPC);
  EXPECT_EQ(test::ReadFile(f), "old");
  EXPECT_EQ(CountEntries(dir.path()), 1);
}

TEST(SafeFile, OpenRegularFileRefusesFoldersAndMissingFiles) {
  test::TempDir dir;
  errno = 0;
  EXPECT_EQ(OpenRegularFile(dir.path()), -1);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_EQ(OpenRegularFile(dir.File("none")), -1);
  EXPECT_EQ(errno, ENOENT);
  test::WriteFile(dir.File("x"), "abc");
  int fd = OpenRegularFile(dir.File("x"));
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::string out;
  EXPECT_FALSE(ReadWholeFile(dir.path(), out));
  EXPECT_TRUE(ReadWholeFile(dir.File("x"), out));
  EXPECT_EQ(out, "abc");
}

TEST(SafeFile, OpenRegularFileNeverWaitsOnAFifoOrADevice) {
  test::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int fd = 0, error = 0;
  std::string out;
  bool read = true;
  EXPECT_TRUE(test::EndsWithoutAWriter(
      [&] {
        fd = OpenRegularFile(fifo);
        error = errno;
        read = ReadWholeFile(fifo, out);
      },
      {fifo}));
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(error, EINVAL);
  EXPECT_FALSE(read);
  // A device is refused without being opened.
  EXPECT_EQ(OpenRegularFile("/dev/null"), -1);
  EXPECT_EQ(errno, EINVAL);
  // A regular file reads as before, with blocking reads.
  test::WriteFile(dir.File("x"), "abc");
  fd = OpenRegularFile(dir.File("x"));
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  ::close(fd);
}

TEST(SafeFile, PathFolderAndFileName) {
  EXPECT_EQ(PathFolder("/a/b/c.qd1"), "/a/b");
  EXPECT_EQ(PathFileName("/a/b/c.qd1"), "c.qd1");
  EXPECT_EQ(PathFolder("/c.qd1"), "/");
  EXPECT_EQ(PathFolder("c.qd1"), "");
  EXPECT_EQ(PathFileName("c.qd1"), "c.qd1");
}

}  // namespace
}  // namespace qv
