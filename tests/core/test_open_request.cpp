// Handing files to the window of a folder: the request's bytes, the socket
// between two starts, and the claim of a folder.
#include "core/open_request.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "core/instance_lock.h"
#include "support/test_support.h"

namespace qv {
namespace {

using namespace std::string_literals;

TEST(OpenRequest, ReadsBackWhatWasSentAndNothingElse) {
  const std::vector<std::string> files = {"/data/a b.qd1", "/data/日本語.qd1"};
  const std::string bytes = EncodeOpenRequest(files);
  EXPECT_EQ(bytes, "QVOPEN1 2\n/data/a b.qd1\0/data/日本語.qd1\0"s);
  std::vector<std::string> got;
  ASSERT_EQ(ParseOpenRequest(bytes, got), RequestState::kComplete);
  EXPECT_EQ(got, files);
  ASSERT_EQ(ParseOpenRequest(EncodeOpenRequest({}), got), RequestState::kComplete);
  EXPECT_TRUE(got.empty());
  // Every shorter part of a request waits for the rest.
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_EQ(ParseOpenRequest(bytes.substr(0, n), got), RequestState::kIncomplete) << n;

  const struct {
    std::string bytes;
    const char* why;
  } invalid[] = {
      {"QVOPEN2 1\n/a\0"s, "another version"},
      {"GET / HTTP/1.0\r\n"s, "not a request"},
      {"QVOPEN1 x\n"s, "no count"},
      {"QVOPEN1 \n"s, "empty count"},
      {"QVOPEN1 01\n/a\0"s, "a count with a leading zero"},
      {"QVOPEN1 1025\n"s, "too many files"},
      {"QVOPEN1 123456"s, "a count too long"},
      {"QVOPEN1 1\nrelative.qd1\0"s, "a relative path"},
      {"QVOPEN1 1\n\0"s, "an empty path"},
      {"QVOPEN1 1\n/a\0/b\0"s, "bytes after the last path"},
      {"QVOPEN1 1\n/" + std::string(kMaxRequestPath, 'a'), "a path too long"},
  };
  for (const auto& c : invalid)
    EXPECT_EQ(ParseOpenRequest(c.bytes, got), RequestState::kInvalid) << c.why;
}

// Accepts one connection at `fd`, reads one request and answers it (or just
// closes when `answer` is false). The files go to `received`.
void ServeOnce(int fd, bool answer, std::optional<std::vector<std::string>>& received) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 5000) != 1) return;
  const int c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (c < 0) return;
  std::string bytes;
  std::vector<std::string> files;
  char buf[256];
  ssize_t n;
  while ((n = ::recv(c, buf, sizeof buf, 0)) > 0) {
    bytes.append(buf, static_cast<size_t>(n));
    if (ParseOpenRequest(bytes, files) != RequestState::kIncomplete) break;
  }
  if (ParseOpenRequest(bytes, files) == RequestState::kComplete && PeerIsThisUser(c)) {
    received = files;
    if (answer) (void)::send(c, kOpenReply, 3, MSG_NOSIGNAL);
  }
  ::close(c);
}

class HandOffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    saved_ = old ? std::optional<std::string>(old) : std::nullopt;
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }
  test::TempDir runtime, folder;
  std::optional<std::string> saved_;
};

TEST_F(HandOffTest, TheSocketIsInTheRuntimeFolderOrAbstractWithoutOne) {
  EXPECT_EQ(HandOffAddress("quorvex-0123"), runtime.path() + "/quorvex-0123.sock");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(HandOffAddress("quorvex-0123"), "\0quorvex-0123-"s + std::to_string(getuid()));
}

TEST_F(HandOffTest, FilesReachTheListenerWhetherPathOrAbstract) {
  for (const bool abstract : {false, true}) {
    if (abstract) unsetenv("XDG_RUNTIME_DIR");
    const std::string address = HandOffAddress("qv-test-" + std::to_string(getpid()));
    // A socket file left by an ended window is replaced.
    if (!abstract) test::WriteFile(address, "stale");
    const int fd = ListenForHandOffs(address);
    ASSERT_GE(fd, 0) << abstract;
    std::optional<std::vector<std::string>> received;
    std::thread window([&] { ServeOnce(fd, true, received); });
    EXPECT_EQ(HandFilesOver(address, {"/x/a.qd1", "/x/b.qd1"}, 5000), HandOffResult::kDelivered);
    window.join();
    ASSERT_TRUE(received.has_value()) << abstract;
    EXPECT_EQ(*received, (std::vector<std::string>{"/x/a.qd1", "/x/b.qd1"}));

    std::thread silent([&] { ServeOnce(fd, false, received); });
    EXPECT_EQ(HandFilesOver(address, {"/x/a.qd1"}, 5000), HandOffResult::kRefused);
    silent.join();
    ::close(fd);
    RemoveHandOffSocket(address);
    EXPECT_EQ(HandFilesOver(address, {"/x/a.qd1"}, 5000), HandOffResult::kNoWindow);
  }
}

TEST_F(HandOffTest, AFolderIsClaimedOnceAndLaterStartsHandTheirFilesOver) {
  std::string note;
  InstanceLock window;
  ASSERT_EQ(ClaimFolder(window, "qv-claim", folder.path(), {}, 1000, note), FolderClaim::kOwn);
  EXPECT_TRUE(note.empty());

  const std::string address = HandOffAddress(InstanceLock::InstanceName("qv-claim", folder.path()));
  const int fd = ListenForHandOffs(address);
  ASSERT_GE(fd, 0);
  std::optional<std::vector<std::string>> received;
  std::thread serving([&] { ServeOnce(fd, true, received); });
  InstanceLock later;
  EXPECT_EQ(ClaimFolder(later, "qv-claim", folder.path(), {"/f/one.qd1"}, 5000, note),
            FolderClaim::kHandedOver);
  serving.join();
  EXPECT_TRUE(note.empty()) << note;
  ASSERT_TRUE(received.has_value());
  EXPECT_EQ(*received, std::vector<std::string>{"/f/one.qd1"});

  // A window that holds the folder but does not answer: the later start says
  // which process holds it and ends without the folder.
  ::close(fd);
  RemoveHandOffSocket(address);
  EXPECT_EQ(ClaimFolder(later, "qv-claim", folder.path(), {"/f/one.qd1"}, 300, note),
            FolderClaim::kNotTaken);
  EXPECT_EQ(note, "a Quorvex window already works in " + folder.path() + " (process " +
                      std::to_string(getpid()) +
                      ") but does not take requests; nothing was opened");

  // Once the window has closed, the next start owns the folder.
  window.Release();
  EXPECT_EQ(ClaimFolder(later, "qv-claim", folder.path(), {"/f/one.qd1"}, 300, note),
            FolderClaim::kOwn);
}

}  // namespace
}  // namespace qv
