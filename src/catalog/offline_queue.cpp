#include "catalog/offline_queue.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qv::catalog {

namespace {

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS queue ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " server TEXT NOT NULL,"
    " path TEXT NOT NULL,"
    " station TEXT NOT NULL,"
    " queued_at TEXT NOT NULL,"
    " avg3_start BIGINT NOT NULL,"
    " avg3_end BIGINT NOT NULL,"
    " bytes BLOB NOT NULL)";

// The sender's lock: held (flock, not waited for) while one program drains.
class SendLock {
 public:
  explicit SendLock(int fd) : fd_(fd), held_(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {}
  ~SendLock() {
    if (held_) ::flock(fd_, LOCK_UN);
  }
  bool held() const { return held_; }

 private:
  int fd_;
  bool held_;
};

}  // namespace

std::string QueuePath(const std::string& folder) {
  if (folder.empty()) return kQueueFileName;
  return folder + (folder.back() == '/' ? "" : "/") + kQueueFileName;
}

std::unique_ptr<OfflineQueue> OfflineQueue::Open(const std::string& path, DbError* error) {
  auto db = OpenSqlite(path, error, 5000);
  if (!db) return nullptr;
  if (db->Exec(kSchema) != DbStatus::kOk) {
    if (error) *error = db->LastError();
    return nullptr;
  }
  const int fd = ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = {DbStatus::kReadOnly, "cannot make " + path + ".lock"};
    return nullptr;
  }
  return std::unique_ptr<OfflineQueue>(new OfflineQueue(std::move(db), fd));
}

OfflineQueue::~OfflineQueue() {
  ::close(lockFd_);
}

bool OfflineQueue::Add(const QueuedFile& f) {
  auto st = db_->Prepare(
      "INSERT INTO queue (server, path, station, queued_at, avg3_start, avg3_end, bytes) "
      "VALUES (?, ?, ?, ?, ?, ?, ?)");
  if (!st) return false;
  st->BindText(1, f.server);
  st->BindText(2, f.path);
  st->BindText(3, f.station);
  st->BindText(4, f.queuedAt);
  st->BindInt(5, f.range.start);
  st->BindInt(6, f.range.end);
  st->BindBlob(7, f.bytes);
  return RunToEnd(*st);
}

int64_t OfflineQueue::Count(const std::string& server) {
  auto st = db_->Prepare("SELECT count(*) FROM queue WHERE server = ?");
  if (!st) return -1;
  st->BindText(1, server);
  return st->Step() == DbStatus::kRow ? st->Int(0) : -1;
}

OfflineQueue::DrainResult OfflineQueue::Drain(const std::string& server,
                                              const std::function<bool(const QueuedFile&)>& send) {
  DrainResult out;
  const SendLock lock(lockFd_);
  if (!lock.held()) {
    out.busy = true;
    return out;
  }
  auto next = db_->Prepare(
      "SELECT seq, path, station, queued_at, avg3_start, avg3_end, bytes FROM queue "
      "WHERE server = ? AND seq > ? ORDER BY seq LIMIT 1");
  auto done = db_->Prepare("DELETE FROM queue WHERE seq = ?");
  if (!next || !done) {
    out.failed = true;
    return out;
  }
  int64_t after = 0;
  for (;;) {
    next->Reset();
    next->BindText(1, server);
    next->BindInt(2, after);
    const DbStatus s = next->Step();
    if (s == DbStatus::kDone) break;
    if (s != DbStatus::kRow) {
      out.failed = true;
      break;
    }
    QueuedFile f;
    f.seq = next->Int(0);
    f.server = server;
    f.path = next->Text(1);
    f.station = next->Text(2);
    f.queuedAt = next->Text(3);
    f.range = {static_cast<int>(next->Int(4)), static_cast<int>(next->Int(5))};
    f.bytes = next->Blob(6);
    next->Reset();
    if (!send(f)) {
      out.stopped = true;
      break;
    }
    done->Reset();
    done->BindInt(1, f.seq);
    if (!RunToEnd(*done)) {
      out.failed = true;
      break;
    }
    ++out.sent;
    after = f.seq;
  }
  return out;
}

}  // namespace qv::catalog
