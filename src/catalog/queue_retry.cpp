#include "catalog/queue_retry.h"

#include <algorithm>

namespace qv::catalog {

RetrySchedule::RetrySchedule(RetryIntervals intervals) : iv_(intervals), pause_(intervals.first) {}

void RetrySchedule::Waiting(int64_t count, Time now) {
  if (count < 0) return;  // the queue could not be read: nothing learnt
  if (count == 0) {
    waiting_ = false;
    return;
  }
  if (waiting_) return;
  waiting_ = true;
  pause_ = iv_.first;
  next_ = now + pause_;
}

void RetrySchedule::Tried(const SyncOutcome& out, Time now) {
  if (out.waiting == 0) {
    waiting_ = false;
    return;
  }
  waiting_ = true;
  if (out.busy || (out.reached && out.waiting > 0 && out.message.empty())) {
    // Another program is sending them, or more came while this try sent:
    // no failure, look again soon.
    pause_ = iv_.first;
    next_ = now + pause_;
    return;
  }
  pause_ = std::min(pause_ * 2, std::max(iv_.most, iv_.first));
  next_ = now + pause_;
}

void RetrySchedule::SetIntervals(RetryIntervals intervals, Time now) {
  iv_ = intervals;
  pause_ = iv_.first;
  if (waiting_) next_ = std::min(next_, now + iv_.first);
}

std::optional<std::chrono::milliseconds> RetrySchedule::Until(Time now) const {
  if (!waiting_) return std::nullopt;
  if (now >= next_) return std::chrono::milliseconds(0);
  return std::chrono::ceil<std::chrono::milliseconds>(next_ - now);
}

QueueRetrier::QueueRetrier(std::function<void(int64_t)> waiting, RetryIntervals intervals,
                           Send send, Clock clock)
    : waiting_(std::move(waiting)),
      send_(std::move(send)),
      clock_(std::move(clock)),
      schedule_(intervals),
      worker_([this] { Work(); }) {}

QueueRetrier::~QueueRetrier() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

void QueueRetrier::Waiting(int64_t count) {
  std::lock_guard<std::mutex> lock(mu_);
  schedule_.Waiting(count, clock_());
}

bool QueueRetrier::Tick(const CatalogTarget& target) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!target.server || running_ || stop_ || !schedule_.Due(clock_())) return false;
    job_ = target;
    running_ = true;
  }
  wake_.notify_one();
  return true;
}

std::optional<std::chrono::milliseconds> QueueRetrier::UntilDue() {
  std::lock_guard<std::mutex> lock(mu_);
  if (running_) return std::nullopt;
  return schedule_.Until(clock_());
}

void QueueRetrier::SetIntervals(RetryIntervals intervals) {
  std::lock_guard<std::mutex> lock(mu_);
  schedule_.SetIntervals(intervals, clock_());
}

void QueueRetrier::WaitIdle() {
  std::unique_lock<std::mutex> lock(mu_);
  idle_.wait(lock, [this] { return !running_ && !telling_; });
}

void QueueRetrier::Work() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || job_; });
    if (stop_) break;
    const CatalogTarget target = std::move(*job_);
    job_.reset();
    lock.unlock();
    const SyncOutcome out = send_(target);
    lock.lock();
    schedule_.Tried(out, clock_());
    // Done before telling, so that the one told may ask when the next is due.
    running_ = false;
    telling_ = true;
    lock.unlock();
    if (waiting_) waiting_(out.waiting);
    lock.lock();
    telling_ = false;
    idle_.notify_all();
  }
  running_ = false;
  idle_.notify_all();
}

}  // namespace qv::catalog
