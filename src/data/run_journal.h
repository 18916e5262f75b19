// The run journal: every point of a discharge run kept on disk while the run
// is active, so that a crash, a killed process, a power cut or a computer
// that went to sleep costs at most the last second of the run. The file
// "runjournal.qvj" lives in the working folder beside "Dis.ini" and
// "tmpdata.bak". It exists from the start of a run until the run has ended
// and is safe in a file (its automatic backup, or a data file it was saved
// in); one that is found at any other time holds a run that was interrupted
// or never saved (run_recovery.h writes it out).
//
// Format, version 1. Integers are little-endian two's complement, reals
// little-endian IEEE 754 doubles; no padding.
//
//   Header, 60 bytes, written once when the run starts:
//     0  8  magic "QVJRNL01"
//     8  8  int64   start of the run, milliseconds since 1970-01-01 UTC
//    16  4  int32   cell count
//    20  8  double  end voltage, V
//    28  8  double  discharge current A, A
//    36  8  double  discharge current B, A
//    44  8  double  discharge current C, A
//    52  4  int32   V1 measurement point, s
//    56  4  uint32  CRC-32 of bytes 0 to 55
//
//   Entry, 76 bytes, one per point in the order the link appended them:
//     0  4  uint32  sequence number, 0 for the run's first point
//     4  8  int64   arrival, milliseconds since 1970-01-01 UTC
//    12  4  int32   elapsed time, s
//    16  8  double  current, A
//    24  8  double  voltage, V
//    32  8  double  capacity, mAh
//    40  8  double  average voltage, V
//    48  8  double  the record's average voltage 1 after this frame, V
//    56  8  double  the record's PIR after this frame
//    64  8  double  the record's internal resistance after this frame, mOhm
//    72  4  uint32  CRC-32 of bytes 0 to 71
//
// CRC-32 is the IEEE 802.3 checksum (reflected polynomial 0xEDB88320,
// initial value and final XOR 0xFFFFFFFF). Entries are only ever appended,
// so a crash can leave at most the last one torn; the reader keeps every
// entry up to the first one that is short, fails its checksum or is out of
// sequence, and drops that one and everything after it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/conditions.h"
#include "data/measure_data.h"
#include "data/ole_datetime.h"

namespace qv {

inline constexpr char kRunJournalName[] = "runjournal.qvj";
inline constexpr size_t kJournalHeaderBytes = 60;
inline constexpr size_t kJournalEntryBytes = 76;

struct JournalHeader {
  InputConditions inputs;
  int64_t startMs = 0;  // wall clock, ms since 1970-01-01 UTC

  bool operator==(const JournalHeader&) const = default;
};

struct JournalEntry {
  int64_t arrivalMs = 0;  // wall clock when the link appended the point
  CMeasurePoint point;
  double avgVoltage1 = 0.0;
  double pir = 0.0;
  double internalResistance = 0.0;

  bool operator==(const JournalEntry&) const = default;
};

// The identity of a journal file (its device and inode).
struct JournalFileId {
  uint64_t device = 0;
  uint64_t inode = 0;

  bool operator==(const JournalFileId&) const = default;
};

// What a journal holds.
struct JournalContents {
  JournalHeader header;
  std::vector<JournalEntry> entries;
  size_t droppedBytes = 0;  // bytes after the last good entry (a torn tail)
};

uint32_t Crc32(std::string_view bytes);
std::string EncodeJournalHeader(const JournalHeader& header);
std::string EncodeJournalEntry(uint32_t sequence, const JournalEntry& entry);

// Reads journal bytes from outside (any bytes at all). False when the header
// is short, damaged or of another format: nothing can be recovered from it.
// Otherwise true with every good entry (see the format above).
bool ParseJournal(std::string_view bytes, JournalContents& out);

// When the journaled run ended: the last point's arrival, the start when
// there is none (ms since 1970-01-01 UTC).
int64_t JournalEndMs(const JournalContents& journal);

// The record an interrupted run leaves: the run's input conditions, every
// journaled point as received, the last entry's average voltage 1, PIR and
// internal resistance, and as its measurement date-time the local time of
// JournalEndMs. As at the end of every run, a discharge time of 120 s or
// less gives PIR 0.
void BuildRecoveredRecord(const JournalContents& journal, CMeasureData& out);

// The wall clock in ms since 1970-01-01 UTC, and such a time as local
// date-time to the second.
int64_t WallClockMs();
COleDateTime LocalDateTimeOfMs(int64_t ms);

// Writes one run's journal on a thread of its own, so that the disk never
// holds up the link: Append only queues the point. The writer appends each
// point to the file as soon as it has it and syncs the data (fdatasync) when
// the oldest point not yet synced has waited kSyncAfter, so at full speed
// many points share one sync, and every point is on disk within a second of
// its arrival. While the journal is open the writer holds an exclusive
// flock(2) on it, which tells a recovery that the run is still going.
//
// Failure: when the file cannot be created or a write or sync fails, the
// writer stops writing, drops further points and keeps the errno; FailedSoFar
// tells it at once (the run goes on and should say so), Finish returns false.
// A crash loses at most the points not yet synced; a killed process loses
// none that were written.
class CJournalWriter {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kSyncAfter{750};

  CJournalWriter() = default;
  ~CJournalWriter();
  CJournalWriter(const CJournalWriter&) = delete;
  CJournalWriter& operator=(const CJournalWriter&) = delete;

  // Starts the writer thread. It creates the journal at `path` with its
  // header complete and synced before the name appears, and never replaces
  // an existing file (then the error is EEXIST).
  void Start(const std::string& path, const JournalHeader& header);
  // Hands one point to the writer thread; never waits for the disk.
  void Append(const JournalEntry& entry);
  // Writes and syncs what is queued, closes the file and ends the thread.
  // True when the journal holds every point appended. Safe to call twice.
  // With `removeFile` the journal this writer created is removed while its
  // lock is still held, so that no recovery can take it up in between.
  bool Finish(bool removeFile = false);
  // errno of the first failure, 0 when none (read after Finish).
  int Error() const { return error_; }
  // The same while the writer runs, from any thread: 0 while the journal
  // holds every point appended so far (up to its writer's queue).
  int FailedSoFar() const { return failed_.load(std::memory_order_relaxed); }
  // The journal file this writer created, if it did (read after Finish):
  // a later removal takes only this very file.
  bool Created() const { return created_; }
  const JournalFileId& FileId() const { return fileId_; }

  struct Stats {
    uint64_t entries = 0;  // points written
    uint64_t syncs = 0;    // data syncs done
    int64_t maxLagNs = 0;  // longest time from a point's arrival to its sync
  };
  // Read after Finish.
  const Stats& GetStats() const { return stats_; }

  // Test hook: every write of entries waits `delay` first, and writes fail
  // with `error` once `bytes` bytes of entries are written (negative: never).
  void SetFaultForTesting(long long bytes, int error, std::chrono::milliseconds delay) {
    faultBytes_ = bytes;
    faultError_ = error;
    faultDelay_ = delay;
  }

 private:
  struct Queued {
    JournalEntry entry;
    Clock::time_point at;
  };
  void Loop(std::string path, std::string header);
  bool WriteEntries(const std::string& bytes);
  void Fail(int error);

  std::thread thread_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Queued> queue_;
  bool stop_ = false;
  bool removeFile_ = false;
  // Writer thread only (read by others after the join).
  int fd_ = -1;
  int error_ = 0;
  std::atomic<int> failed_{0};
  bool created_ = false;
  JournalFileId fileId_;
  uint32_t sequence_ = 0;
  long long written_ = 0;
  Stats stats_;
  long long faultBytes_ = -1;
  int faultError_ = 0;
  std::chrono::milliseconds faultDelay_{0};
};

}  // namespace qv
