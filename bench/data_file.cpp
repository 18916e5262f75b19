// Data file reading and writing at a realistic worst size: 200 registered
// records of 3,600 points each (one hour at one point per second), about 26 MB.
//
// Goals: loading the file takes at most twice the time of reading the same
// bytes into memory (both measured here, in the same run, from the page
// cache), and the loaded records cost at most 48 bytes of resident memory per
// point. BM_LoadVsRead reports the times and their ratios as counters;
// BM_ResidentPerPoint reports the resident bytes per point.
//
// Loading must write about 29 MB of points (40 bytes each in memory) on top of
// reading the 26 MB the file holds, so against the bare read() into a warm
// buffer it runs close to the memory bandwidth: the decode itself is a
// straight copy out of the archive's cache-resident buffer.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "bench_records.h"
#include "core/safe_file.h"
#include "data/archive.h"
#include "data/codec.h"
#include "data/data_file.h"

namespace {

using qv::bench::kPoints;
using qv::bench::kRecords;
constexpr qv::Avg3Range kRange{100, 3000};

struct Fixture {
  std::string dir;
  std::string path;
  qv::CMeasureData current;
  qv::RecordList records;

  Fixture() {
    char tmpl[] = "/tmp/quorvex-bench-XXXXXX";
    dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    path = dir + "/bench.qd1";
    for (int i = 0; i < kRecords; ++i)
      records.push_back(qv::bench::MakeBenchRecord(i));
    std::string bytes = qv::DataFileBytes(current, records, qv::DataFileForm::kFull);
    if (!qv::WriteFileAtomically(path, bytes).ok) std::abort();
  }
  ~Fixture() {
    std::remove(path.c_str());
    ::rmdir(dir.c_str());
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

// The file's bytes into one buffer of the file's size: the least any reader
// must do.
size_t ReadIntoMemory(const std::string& path, std::string& buf) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) std::abort();
  buf.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < buf.size()) {
    ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
    if (n <= 0) std::abort();
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  return got;
}

// The file loaded the way opening does: through the buffered archive.
size_t Load(const std::string& path, qv::CMeasureData& current, qv::RecordList& list) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) std::abort();
  qv::ArchiveReader ar(fd);
  qv::DataFileReadResult r = qv::ReadDataFile(ar, current, list, kRange);
  ::close(fd);
  if (!r.ok() || list.size() != kRecords) std::abort();
  return list.size();
}

// Resident pages of this process, in bytes.
long ResidentBytes() {
  long size = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * sysconf(_SC_PAGESIZE);
}

void BM_ResidentPerPoint(benchmark::State& state) {
  const std::string& path = Data().path;
  double perPoint = 0.0, heapPerPoint = 0.0;
  for (auto _ : state) {
    auto current = std::make_unique<qv::CMeasureData>();
    auto list = std::make_unique<qv::RecordList>();
    // Give free heap pages back first, so that growth is the loaded records'
    // own memory and not reuse of pages an earlier run left resident.
    malloc_trim(0);
    const long before = ResidentBytes();
    const struct mallinfo2 heapBefore = mallinfo2();
    Load(path, *current, *list);
    const struct mallinfo2 heapAfter = mallinfo2();
    const long after = ResidentBytes();
    constexpr double kAllPoints = static_cast<double>(kRecords) * kPoints;
    perPoint = static_cast<double>(after - before) / kAllPoints;
    heapPerPoint = (static_cast<double>(heapAfter.uordblks + heapAfter.hblkhd) -
                    static_cast<double>(heapBefore.uordblks + heapBefore.hblkhd)) /
                   kAllPoints;
    benchmark::DoNotOptimize(list->data());
  }
  state.counters["resident_bytes_per_point"] = perPoint;
  state.counters["heap_bytes_per_point"] = heapPerPoint;
  state.counters["sizeof_point"] = sizeof(qv::CMeasurePoint);
}
// Registered first and run once, before the other benchmarks churn the heap.
BENCHMARK(BM_ResidentPerPoint)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReadIntoMemory(benchmark::State& state) {
  const std::string& path = Data().path;
  std::string buf;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReadIntoMemory(path, buf));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(buf.size()));
}
BENCHMARK(BM_ReadIntoMemory)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
  const std::string& path = Data().path;
  for (auto _ : state) {
    qv::CMeasureData current;
    qv::RecordList list;
    benchmark::DoNotOptimize(Load(path, current, list));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords * kPoints);
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// All in the same iterations, so that the ratios compare like with like:
//  read_ms        one read() of the whole file into a reused buffer of its size
//                 (the least any reader must do),
//  plain_read_ms  the file read into a new string (ReadWholeFile), as a
//                 program ordinarily reads a file into memory,
//  load_ms        the file loaded into records through the archive.
// The *_cpu counters use this thread's processor time, which is steadier than
// the wall clock on a busy machine.
void BM_LoadVsRead(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const std::string& path = Data().path;
  std::string buf;
  double readSec = 0.0, plainSec = 0.0, loadSec = 0.0;
  double readCpu = 0.0, plainCpu = 0.0, loadCpu = 0.0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    double c0 = ThreadCpuSeconds();
    benchmark::DoNotOptimize(ReadIntoMemory(path, buf));
    auto t1 = Clock::now();
    double c1 = ThreadCpuSeconds();
    {
      std::string fresh;
      if (!qv::ReadWholeFile(path, fresh)) std::abort();
      benchmark::DoNotOptimize(fresh.data());
    }
    auto t2 = Clock::now();
    double c2 = ThreadCpuSeconds();
    {
      qv::CMeasureData current;
      qv::RecordList list;
      benchmark::DoNotOptimize(Load(path, current, list));
    }
    auto t3 = Clock::now();
    double c3 = ThreadCpuSeconds();
    readSec += std::chrono::duration<double>(t1 - t0).count();
    plainSec += std::chrono::duration<double>(t2 - t1).count();
    loadSec += std::chrono::duration<double>(t3 - t2).count();
    readCpu += c1 - c0;
    plainCpu += c2 - c1;
    loadCpu += c3 - c2;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["read_ms"] = readSec / n * 1e3;
  state.counters["plain_read_ms"] = plainSec / n * 1e3;
  state.counters["load_ms"] = loadSec / n * 1e3;
  state.counters["load_over_read"] = readSec > 0 ? loadSec / readSec : 0.0;
  state.counters["load_over_read_cpu"] = readCpu > 0 ? loadCpu / readCpu : 0.0;
  state.counters["load_over_plain_read"] = plainSec > 0 ? loadSec / plainSec : 0.0;
  state.counters["load_over_plain_read_cpu"] = plainCpu > 0 ? loadCpu / plainCpu : 0.0;
}
BENCHMARK(BM_LoadVsRead)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State& state) {
  Fixture& f = Data();
  const std::string out = f.dir + "/written.qd1";
  for (auto _ : state) {
    int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    {
      qv::ArchiveWriter ar(fd);
      qv::WriteDataFile(ar, f.current, f.records, qv::DataFileForm::kFull);
      if (!ar.Flush()) std::abort();
    }
    ::close(fd);
  }
  std::remove(out.c_str());
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords * kPoints);
}
BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
