#include "data/run_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/safe_file.h"

static_assert(std::endian::native == std::endian::little,
              "the journal's fields are copied as the host stores them");

namespace qv {
namespace {

constexpr char kMagic[8] = {'Q', 'V', 'J', 'R', 'N', 'L', '0', '1'};

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}

// Little-endian field writer and reader over a byte string.
class Out {
 public:
  explicit Out(std::string& s) : s_(s) {}
  template <typename T>
  void Put(T v) {
    unsigned char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i)
      s_ += static_cast<char>(b[i]);
  }

 private:
  std::string& s_;
};

template <typename T>
T Get(std::string_view bytes, size_t offset) {
  T v;
  std::memcpy(&v, bytes.data() + offset, sizeof(T));
  return v;
}

std::string_view Body(std::string_view record) {
  return record.substr(0, record.size() - 4);
}

bool ChecksumOk(std::string_view record) {
  return Crc32(Body(record)) == Get<uint32_t>(record, record.size() - 4);
}

}  // namespace

uint32_t Crc32(std::string_view bytes) {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes)
    c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string EncodeJournalHeader(const JournalHeader& h) {
  std::string s(kMagic, sizeof kMagic);
  Out o(s);
  o.Put<int64_t>(h.startMs);
  o.Put<int32_t>(h.inputs.cells);
  o.Put<double>(h.inputs.endVoltage);
  o.Put<double>(h.inputs.currentA);
  o.Put<double>(h.inputs.currentB);
  o.Put<double>(h.inputs.currentC);
  o.Put<int32_t>(h.inputs.v1Point);
  o.Put<uint32_t>(Crc32(s));
  return s;
}

std::string EncodeJournalEntry(uint32_t sequence, const JournalEntry& e) {
  std::string s;
  s.reserve(kJournalEntryBytes);
  Out o(s);
  o.Put<uint32_t>(sequence);
  o.Put<int64_t>(e.arrivalMs);
  o.Put<int32_t>(e.point.time);
  o.Put<double>(e.point.current);
  o.Put<double>(e.point.voltage);
  o.Put<double>(e.point.capacity);
  o.Put<double>(e.point.avgVoltage);
  o.Put<double>(e.avgVoltage1);
  o.Put<double>(e.pir);
  o.Put<double>(e.internalResistance);
  o.Put<uint32_t>(Crc32(s));
  return s;
}

bool ParseJournal(std::string_view bytes, JournalContents& out) {
  out = JournalContents{};
  if (bytes.size() < kJournalHeaderBytes) return false;
  const std::string_view head = bytes.substr(0, kJournalHeaderBytes);
  if (head.substr(0, sizeof kMagic) != std::string_view(kMagic, sizeof kMagic) || !ChecksumOk(head))
    return false;
  JournalHeader& h = out.header;
  h.startMs = Get<int64_t>(head, 8);
  h.inputs.cells = Get<int32_t>(head, 16);
  h.inputs.endVoltage = Get<double>(head, 20);
  h.inputs.currentA = Get<double>(head, 28);
  h.inputs.currentB = Get<double>(head, 36);
  h.inputs.currentC = Get<double>(head, 44);
  h.inputs.v1Point = Get<int32_t>(head, 52);

  size_t pos = kJournalHeaderBytes;
  out.entries.reserve((bytes.size() - pos) / kJournalEntryBytes);
  while (bytes.size() - pos >= kJournalEntryBytes) {
    const std::string_view rec = bytes.substr(pos, kJournalEntryBytes);
    if (!ChecksumOk(rec) || Get<uint32_t>(rec, 0) != out.entries.size()) break;
    JournalEntry e;
    e.arrivalMs = Get<int64_t>(rec, 4);
    e.point.time = Get<int32_t>(rec, 12);
    e.point.current = Get<double>(rec, 16);
    e.point.voltage = Get<double>(rec, 24);
    e.point.capacity = Get<double>(rec, 32);
    e.point.avgVoltage = Get<double>(rec, 40);
    e.avgVoltage1 = Get<double>(rec, 48);
    e.pir = Get<double>(rec, 56);
    e.internalResistance = Get<double>(rec, 64);
    out.entries.push_back(e);
    pos += kJournalEntryBytes;
  }
  out.droppedBytes = bytes.size() - pos;
  return true;
}

int64_t WallClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

COleDateTime LocalDateTimeOfMs(int64_t ms) {
  std::time_t secs = static_cast<std::time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
  std::tm tm{};
  if (!localtime_r(&secs, &tm)) return COleDateTime{};
  return COleDateTime::FromParts(
      {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}

int64_t JournalEndMs(const JournalContents& journal) {
  return journal.entries.empty() ? journal.header.startMs : journal.entries.back().arrivalMs;
}

void BuildRecoveredRecord(const JournalContents& journal, CMeasureData& out) {
  out.Reset(journal.header.inputs);
  auto& points = out.MutablePoints();
  points.reserve(journal.entries.size());
  for (const JournalEntry& e : journal.entries)
    points.push_back(e.point);
  if (!journal.entries.empty()) {
    const JournalEntry& last = journal.entries.back();
    out.avgVoltage1 = last.avgVoltage1;
    out.pir = last.pir;
    out.internalResistance = last.internalResistance;
  }
  out.dateTime = LocalDateTimeOfMs(JournalEndMs(journal));
  if (out.GetDischargeTime() <= 120) out.pir = 0.0;
}

// ------------------------------------------------------------- CJournalWriter

namespace {

// Creates the journal with its header, locked and synced, under its name only
// once it is whole; never replaces an existing file. The descriptor, or -1
// with `error` set.
int CreateJournal(const std::string& path, const std::string& header, int& error) {
  const std::string dir = FolderOrDot(path);
  std::string tmp;  // a named temporary file where unnamed ones do not work
  int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    tmp = dir + "/" + TempNamePrefix(path) + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      error = errno;
      return -1;
    }
  }
  // Nobody else can hold the lock of a file this new; a file system without
  // locks only loses the protection against a recovery during the run.
  ::flock(fd, LOCK_EX | LOCK_NB);
  bool ok = WriteFully(fd, header.data(), header.size()) && ::fdatasync(fd) == 0;
  if (ok) ok = tmp.empty() ? LinkFileAt(fd, path) : ::link(tmp.c_str(), path.c_str()) == 0;
  error = ok ? 0 : errno;
  if (!tmp.empty()) ::unlink(tmp.c_str());
  if (!ok) {
    ::close(fd);
    return -1;
  }
  SyncDir(dir);  // the new name survives a power cut too
  return fd;
}

}  // namespace

CJournalWriter::~CJournalWriter() {
  Finish();
}

void CJournalWriter::Start(const std::string& path, const JournalHeader& header) {
  Finish();
  stop_ = false;
  removeFile_ = false;
  queue_.clear();
  error_ = 0;
  failed_.store(0);
  created_ = false;
  fileId_ = JournalFileId{};
  sequence_ = 0;
  written_ = 0;
  stats_ = Stats{};
  thread_ = std::thread(&CJournalWriter::Loop, this, path, EncodeJournalHeader(header));
}

void CJournalWriter::Append(const JournalEntry& entry) {
  {
    std::lock_guard<std::mutex> g(mu_);
    queue_.push_back({entry, Clock::now()});
  }
  cv_.notify_one();
}

bool CJournalWriter::Finish(bool removeFile) {
  if (!thread_.joinable()) return error_ == 0;
  {
    std::lock_guard<std::mutex> g(mu_);
    stop_ = true;
    removeFile_ = removeFile;
  }
  cv_.notify_one();
  thread_.join();
  return error_ == 0;
}

void CJournalWriter::Fail(int error) {
  if (error_ == 0) error_ = error ? error : EIO;
  failed_.store(error_, std::memory_order_relaxed);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool CJournalWriter::WriteEntries(const std::string& bytes) {
  if (faultDelay_.count() > 0) std::this_thread::sleep_for(faultDelay_);
  if (faultBytes_ >= 0 && written_ + static_cast<long long>(bytes.size()) > faultBytes_) {
    errno = faultError_;
    return false;
  }
  if (!WriteFully(fd_, bytes.data(), bytes.size())) return false;
  written_ += static_cast<long long>(bytes.size());
  return true;
}

void CJournalWriter::Loop(std::string path, std::string header) {
  int error = 0;
  fd_ = CreateJournal(path, header, error);
  const bool created = fd_ >= 0;
  struct stat st {};
  if (created && ::fstat(fd_, &st) == 0) fileId_ = {st.st_dev, st.st_ino};
  created_ = created;
  if (!created) Fail(error);

  std::vector<Queued> batch;
  std::string bytes;
  bool unsynced = false;
  Clock::time_point oldest{};
  auto ready = [this] { return !queue_.empty() || stop_; };
  std::unique_lock<std::mutex> lk(mu_);
  for (;;) {
    if (unsynced) {
      cv_.wait_until(lk, oldest + kSyncAfter, ready);
    } else {
      cv_.wait(lk, ready);
    }
    batch.swap(queue_);
    const bool stopping = stop_;
    lk.unlock();

    if (!batch.empty() && fd_ >= 0) {
      bytes.clear();
      for (const Queued& q : batch)
        bytes += EncodeJournalEntry(sequence_++, q.entry);
      if (WriteEntries(bytes)) {
        stats_.entries += batch.size();
        if (!unsynced) oldest = batch.front().at;
        unsynced = true;
      } else {
        Fail(errno);
        unsynced = false;
      }
    }
    batch.clear();
    if (unsynced && fd_ >= 0 && (stopping || Clock::now() >= oldest + kSyncAfter)) {
      if (::fdatasync(fd_) == 0) {
        ++stats_.syncs;
        const int64_t lag =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - oldest).count();
        if (lag > stats_.maxLagNs) stats_.maxLagNs = lag;
      } else {
        Fail(errno);
      }
      unsynced = false;
    }

    lk.lock();
    if (stopping && queue_.empty()) break;
  }
  const bool remove = removeFile_;
  lk.unlock();
  if (remove && created) ::unlink(path.c_str());
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace qv
