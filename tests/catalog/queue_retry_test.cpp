// Sending the queue again by itself: when the tries come, and a server that
// comes back getting what waited without anyone saving or syncing.
#include "catalog/queue_retry.h"

#include <gtest/gtest.h>

#include <atomic>

#include "catalog/catalog_fixture.h"

namespace qv::test {
namespace {

using catalog::RetrySchedule;
using catalog::SyncOutcome;
using std::chrono::milliseconds;

TEST(RetrySchedule, TriesAfterTheFirstPauseThenBacksOffUpToTheLongest) {
  const RetrySchedule::Time t0{};
  RetrySchedule s({milliseconds(30), milliseconds(100)});
  EXPECT_FALSE(s.Until(t0)) << "nothing waits";
  s.Waiting(2, t0);
  EXPECT_EQ(s.Until(t0), milliseconds(30));
  EXPECT_FALSE(s.Due(t0 + milliseconds(29)));
  s.Waiting(3, t0 + milliseconds(20));
  EXPECT_TRUE(s.Due(t0 + milliseconds(30))) << "more waiting moves nothing";
  SyncOutcome away;
  away.waiting = 3;
  SyncOutcome busy = away;
  busy.reached = busy.busy = true;
  SyncOutcome refused = away;
  refused.reached = true;
  refused.message = "refused";
  SyncOutcome more = away;  // sent, but more came meanwhile
  more.reached = true;
  SyncOutcome sent;
  sent.reached = true;
  // What each try did, and the pause until the next.
  const struct {
    const SyncOutcome* out;
    std::optional<milliseconds> pause;
  } steps[] = {
      {&away, milliseconds(60)},    {&away, milliseconds(100)}, {&away, milliseconds(100)},
      {&busy, milliseconds(30)},    {&away, milliseconds(60)},  {&more, milliseconds(30)},
      {&refused, milliseconds(60)}, {&sent, std::nullopt},
  };
  RetrySchedule::Time now = t0;
  for (const auto& step : steps) {
    now += milliseconds(1000);
    s.Tried(*step.out, now);
    EXPECT_EQ(s.Until(now), step.pause) << "after " << now.time_since_epoch().count();
  }
  // Waiting again after the queue emptied starts from the first pause.
  s.Waiting(1, now);
  EXPECT_EQ(s.Until(now), milliseconds(30));
  s.Waiting(-1, now);
  EXPECT_EQ(s.Until(now), milliseconds(30)) << "an unreadable queue tells nothing";
  s.Waiting(0, now);
  EXPECT_FALSE(s.Until(now));
}

// A clock the test moves.
struct TestClock {
  std::atomic<int64_t> ms{0};
  RetrySchedule::Time operator()() const { return RetrySchedule::Time{} + milliseconds(ms.load()); }
};

TEST(QueueRetrier, AServerThatComesBackGetsTheQueueWithoutASaveOrSync) {
  QV_REQUIRE_PG();
  PgPrivateServer server;
  TempDir dir;
  const catalog::CatalogTarget t{server.Conninfo(), true, "station-3", dir.File("queue.sqlite")};
  std::string why;
  ASSERT_TRUE(catalog::InitTarget(t, &why)) << Cp932ToUtf8(why);
  server.Down();
  std::vector<std::unique_ptr<CMeasureData>> held;
  for (int i = 1; i <= 3; ++i)
    held.push_back(CellRecord({1, 2, i}));
  for (const auto& r : held)
    ASSERT_EQ(catalog::CatalogSavedRecords(t, {r.get()}, dir.File("a.qd1"), {}).kind,
              catalog::SaveOutcome::kQueued);

  TestClock clock;
  std::vector<int64_t> told;
  std::mutex toldMu;
  catalog::QueueRetrier retrier(
      [&](int64_t n) {
        std::lock_guard<std::mutex> lock(toldMu);
        told.push_back(n);
      },
      {milliseconds(1000), milliseconds(4000)}, catalog::Sync, std::ref(clock));
  retrier.Waiting(catalog::WaitingCount(t));
  EXPECT_FALSE(retrier.Tick(t)) << "not due yet";
  clock.ms = 1000;
  ASSERT_TRUE(retrier.Tick(t));
  retrier.WaitIdle();
  EXPECT_EQ(retrier.UntilDue(), milliseconds(2000)) << "the server is still away";

  server.Up();
  clock.ms = 2999;
  EXPECT_FALSE(retrier.Tick(t));
  clock.ms = 3000;
  ASSERT_TRUE(retrier.Tick(t));
  retrier.WaitIdle();
  EXPECT_EQ(told, (std::vector<int64_t>{3, 0}));
  EXPECT_FALSE(retrier.UntilDue()) << "nothing waits: no more tries";
  EXPECT_EQ(catalog::WaitingCount(t), 0);
  EXPECT_EQ(PgValue(server.Conninfo(),
                    "SELECT string_agg(c.id_text, ',' ORDER BY s.id) FROM "
                    "records r JOIN cells c ON c.id_key = r.cell_key "
                    "JOIN sources s ON s.id = r.source_id"),
            "001-002-001,001-002-002,001-002-003")
      << "each once, in the order saved";
}

}  // namespace
}  // namespace qv::test
