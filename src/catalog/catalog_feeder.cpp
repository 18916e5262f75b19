#include "catalog/catalog_feeder.h"

#include "catalog/catalog.h"
#include "catalog/station.h"
#include "data/codec.h"

namespace qv::catalog {

CatalogFeeder::CatalogFeeder(std::function<void(const std::string&)> notice)
    : notice_(std::move(notice)), worker_([this] { Work(); }) {}

CatalogFeeder::~CatalogFeeder() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    stop_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  worker_.join();
}

void CatalogFeeder::FileSaved(const std::string& catalogPath, const std::string& path,
                              const Avg3Range& range, const std::string& station) {
  FileSaved(CatalogTarget{catalogPath, false, station, {}}, path, range);
}

void CatalogFeeder::FileSaved(const CatalogTarget& target, const std::string& path,
                              const Avg3Range& range) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    jobs_.push_back({target, path, range});
  }
  wake_.notify_one();
}

void CatalogFeeder::OnWaiting(std::function<void(int64_t)> waiting) {
  std::lock_guard<std::mutex> lock(mu_);
  waiting_ = std::move(waiting);
}

void CatalogFeeder::WaitIdle() {
  std::unique_lock<std::mutex> lock(mu_);
  idle_.wait(lock, [this] { return (jobs_.empty() && !busy_) || stop_; });
}

void CatalogFeeder::Work() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_) break;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    Run(job);
    lock.lock();
    busy_ = false;
    idle_.notify_all();
  }
  idle_.notify_all();
}

void CatalogFeeder::Run(const Job& job) {
  const SaveOutcome out = CatalogSavedFile(job.target, job.path, job.range);
  if (job.target.server) {
    std::function<void(int64_t)> waiting;
    {
      std::lock_guard<std::mutex> lock(mu_);
      waiting = waiting_;
    }
    if (waiting) waiting(out.kind == SaveOutcome::kQueued ? out.waiting : 0);
  }
  if (out.kind == SaveOutcome::kFailed) Tell(out.message);
}

void CatalogFeeder::Tell(const std::string& message) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (told_) return;
    told_ = true;
  }
  if (notice_)
    notice_(Sj("データファイルは保存しましたが、カタログに登録できませんでした。\n\n") + message);
}

}  // namespace qv::catalog
