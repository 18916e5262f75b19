// The station's queue of data files its server catalogue has not taken yet:
// a SQLite file beside Dis.ini ("quorvex-catalog-queue.sqlite"). When the
// server cannot be reached (or fails) as a data file is saved, the file's
// registered records wait here as a data file image and go out at the next
// successful connection, oldest first, each entry once: an entry leaves the
// queue only after the server committed its import. An import of the same
// records twice (the program stopped between the server's commit and the
// entry's removal) stores each record once, as every import does.
//
// Entries are kept per server location: a queue holds what waits for the
// server the station names now and, untouched, what still waits for one it
// named before.
//
// The queue file is written with SQLite's full synchronous commits: an entry
// Add reported is on disk. Two programs of one working folder (the window
// and quorvex-cli) may use it at once; only one of them sends at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/db.h"
#include "core/conditions.h"

namespace qv::catalog {

inline constexpr char kQueueFileName[] = "quorvex-catalog-queue.sqlite";

// One waiting data file.
struct QueuedFile {
  int64_t seq = 0;       // order of arrival
  std::string server;    // the server location it waits for
  std::string path;      // the data file's path when it was saved (UTF-8)
  std::string station;   // the station that saved it
  std::string queuedAt;  // UTC, "2026-12-09T10:00:00Z"
  Avg3Range range;       // the range its average voltage 3 was computed over
  std::string bytes;     // the data file image of its registered records
};

class OfflineQueue {
 public:
  // Opens (creating when missing) the queue file `path`. nullptr with the
  // engine's reason in `error` when it cannot be opened or is not a queue.
  static std::unique_ptr<OfflineQueue> Open(const std::string& path, DbError* error);
  ~OfflineQueue();

  // Puts a data file image at the end of the queue. False (nothing added)
  // when the queue file cannot be written; LastError says why.
  bool Add(const QueuedFile& file);
  // How many entries wait for `server`; -1 when the file cannot be read.
  int64_t Count(const std::string& server);

  // What a Drain did.
  struct DrainResult {
    int sent = 0;          // entries the server took (removed from the queue)
    bool stopped = false;  // `send` refused one: it and the rest still wait
    bool busy = false;     // another program is sending this queue now
    bool failed = false;   // the queue file failed (LastError)
  };
  // Hands the entries waiting for `server` to `send` in order, removing each
  // one `send` took (returned true), and stops at the first it did not take.
  // Returns at once with `busy` while another program drains the queue.
  DrainResult Drain(const std::string& server, const std::function<bool(const QueuedFile&)>& send);

  DbError LastError() const { return db_->LastError(); }

 private:
  OfflineQueue(std::unique_ptr<Database> db, int lockFd) : db_(std::move(db)), lockFd_(lockFd) {}
  std::unique_ptr<Database> db_;
  int lockFd_;  // the sender's lock (flock) beside the queue file
};

// The queue file of a working folder: kQueueFileName in `folder`.
std::string QueuePath(const std::string& folder);

}  // namespace qv::catalog
