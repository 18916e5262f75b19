// The station's offline queue in a real SQLite file: what waits goes out in
// order, each entry once, and only what the server took leaves.
#include "catalog/offline_queue.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace qv::catalog {
namespace {

QueuedFile Entry(const std::string& server, const std::string& path, std::string bytes) {
  QueuedFile f;
  f.server = server;
  f.path = path;
  f.station = "station-1";
  f.queuedAt = "2026-12-09T10:00:00Z";
  f.range = {60, 300};
  f.bytes = std::move(bytes);
  return f;
}

class OfflineQueueTest : public ::testing::Test {
 protected:
  std::unique_ptr<OfflineQueue> Open() {
    DbError e;
    auto q = OfflineQueue::Open(QueuePath(dir_.path()), &e);
    EXPECT_NE(q, nullptr) << e.text;
    return q;
  }
  qv::test::TempDir dir_;
};

TEST_F(OfflineQueueTest, SendsInOrderEachOnceAndKeepsWhatTheServerDidNotTake) {
  std::string allBytes;
  for (int c = 0; c < 256; ++c)
    allBytes.push_back(static_cast<char>(c));
  {
    auto q = Open();
    for (const char* name : {"a.qd1", "b.qd1", "c.qd1", "d.qd1"})
      ASSERT_TRUE(q->Add(Entry("service=lab", name, allBytes + name)));
    ASSERT_TRUE(q->Add(Entry("service=other", "x.qd1", "x")));
  }
  auto q = Open();  // what was added is in the file
  EXPECT_EQ(q->Count("service=lab"), 4);
  std::vector<std::string> sent;
  // The server takes two, then fails: the third and fourth wait, in order.
  auto r = q->Drain("service=lab", [&](const QueuedFile& f) {
    if (sent.size() == 2) return false;
    EXPECT_EQ(f.bytes, allBytes + f.path);
    EXPECT_EQ(f.station, "station-1");
    EXPECT_EQ(f.range, (Avg3Range{60, 300}));
    sent.push_back(f.path);
    return true;
  });
  EXPECT_EQ(r.sent, 2);
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(q->Count("service=lab"), 2);
  r = q->Drain("service=lab", [&](const QueuedFile& f) {
    sent.push_back(f.path);
    return true;
  });
  EXPECT_EQ(r.sent, 2);
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(sent, (std::vector<std::string>{"a.qd1", "b.qd1", "c.qd1", "d.qd1"}));
  EXPECT_EQ(q->Count("service=lab"), 0);
  // What waits for another server stays.
  EXPECT_EQ(q->Count("service=other"), 1);
}

TEST_F(OfflineQueueTest, OnlyOneProgramSendsAtATime) {
  auto first = Open();
  auto second = Open();
  ASSERT_TRUE(first->Add(Entry("s", "a.qd1", "a")));
  ASSERT_TRUE(first->Add(Entry("s", "b.qd1", "b")));
  int sent = 0;
  OfflineQueue::DrainResult inner;
  const auto outer = first->Drain("s", [&](const QueuedFile&) {
    // The other program finds the queue being sent and sends nothing; an
    // entry it adds meanwhile waits its turn behind.
    if (sent++ == 0) {
      inner = second->Drain("s", [](const QueuedFile&) { return true; });
      EXPECT_TRUE(second->Add(Entry("s", "c.qd1", "c")));
    }
    return true;
  });
  EXPECT_TRUE(inner.busy);
  EXPECT_EQ(inner.sent, 0);
  EXPECT_EQ(outer.sent, 3);
  EXPECT_EQ(first->Count("s"), 0);
  // Free again afterwards.
  EXPECT_FALSE(second->Drain("s", [](const QueuedFile&) { return true; }).busy);
}

TEST_F(OfflineQueueTest, RefusesAFileThatIsNotAQueue) {
  qv::test::WriteFile(QueuePath(dir_.path()), std::string(4096, 'x'));
  DbError e;
  EXPECT_EQ(OfflineQueue::Open(QueuePath(dir_.path()), &e), nullptr);
  EXPECT_EQ(e.status, DbStatus::kDamaged);
}

}  // namespace
}  // namespace qv::catalog
