// Sending the station's queue again by itself: while records wait for the
// catalogue's server, a program that runs on (the window) tries again now and
// then, without anyone saving or syncing, until the queue is empty.
//
// RetrySchedule decides when: the first try a while after records begin to
// wait, then, while the server stays away or refuses, twice the last pause
// each time up to a longest one. QueueRetrier runs the tries on a worker
// thread of its own (one at a time; the queue's sender lock keeps them from
// interleaving with a save's or another program's sending) and tells the
// number still waiting after each. The caller's timer drives it (Tick); the
// clock and the sending are injectable for tests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "catalog/station.h"

namespace qv::catalog {

struct RetryIntervals {
  std::chrono::milliseconds first{30000};  // after records begin to wait
  std::chrono::milliseconds most{300000};  // the longest pause after failures
};

class RetrySchedule {
 public:
  using Time = std::chrono::steady_clock::time_point;
  explicit RetrySchedule(RetryIntervals intervals = {});

  // `count` files wait now (a save, or the window's start, found so): none
  // ends the tries; the first ones (after none) start them `first` from now;
  // more while they wait leave the schedule as it is.
  void Waiting(int64_t count, Time now);
  // What a try did: files still waiting after it come again after twice the
  // last pause (at most `most`) when the server was away or refused one, or
  // after `first` when nothing failed (another program was sending them, or
  // they came while this try sent; the pauses start again from `first`);
  // none waiting ends the tries.
  void Tried(const SyncOutcome& out, Time now);

  // Other pauses from now on; a try waiting longer than the new first pause
  // comes after that.
  void SetIntervals(RetryIntervals intervals, Time now);

  bool Due(Time now) const { return waiting_ && now >= next_; }
  // How long until the next try; nothing while no file waits.
  std::optional<std::chrono::milliseconds> Until(Time now) const;

 private:
  RetryIntervals iv_;
  bool waiting_ = false;
  std::chrono::milliseconds pause_;
  Time next_{};
};

class QueueRetrier {
 public:
  using Clock = std::function<RetrySchedule::Time()>;
  using Send = std::function<SyncOutcome(const CatalogTarget&)>;

  // `waiting` gets the number of files still waiting after every try (on the
  // worker thread; -1 when the queue cannot be read). `send` makes one try
  // (Sync: connect, send what waits).
  explicit QueueRetrier(
      std::function<void(int64_t)> waiting, RetryIntervals intervals = {}, Send send = Sync,
      Clock clock = [] { return std::chrono::steady_clock::now(); });
  // Waits for the try in progress to end (at most the connect time-out and
  // the sending of what waits).
  ~QueueRetrier();
  QueueRetrier(const QueueRetrier&) = delete;
  QueueRetrier& operator=(const QueueRetrier&) = delete;

  // The number of files waiting that a save or the caller found (any thread).
  void Waiting(int64_t count);
  // Starts a try to send what waits for the server of `target` on the worker
  // thread when one is due and none runs; never waits itself. False when it
  // started none (not due, one runs, or `target` is no server).
  bool Tick(const CatalogTarget& target);
  // How long until the next try is due; nothing while none waits or one runs.
  std::optional<std::chrono::milliseconds> UntilDue();
  void SetIntervals(RetryIntervals intervals);
  // Waits until no try runs and its count was told.
  void WaitIdle();

 private:
  void Work();

  std::function<void(int64_t)> waiting_;
  Send send_;
  Clock clock_;
  std::mutex mu_;
  std::condition_variable wake_, idle_;
  RetrySchedule schedule_;
  std::optional<CatalogTarget> job_;  // the try asked for
  bool running_ = false;              // asked for or in progress
  bool telling_ = false;              // its count going to `waiting`
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace qv::catalog
