// The cell catalogue on SQLite.
//
// Goals: importing a 26 MB data file (200 records x 3,600 points) takes at
// most twice the time of reading the file and inserting the same bytes into
// SQLite in one transaction (BM_ImportVsRawInsert, both in the same run, the
// ratio as a counter), at most 45 bytes of database per point (counter
// bytes_per_point); a search of 100,000 records by a two-term filter under
// 50 ms (BM_Search100k); a cell's history under 5 ms (BM_History); a match of
// 10,000 cells in stock into 6-cell series packs under 1 s end to end
// (BM_Match10k: search, records for matching, matching).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "analysis/pack_match.h"
#include "bench_records.h"
#include "catalog/catalog.h"
#include "catalog/cell_texts.h"
#include "core/safe_file.h"
#include "data/data_file.h"

namespace {

using qv::catalog::Catalog;
constexpr qv::Avg3Range kRange{100, 3000};

std::string TempFolder() {
  char tmpl[] = "/tmp/quorvex-bench-XXXXXX";
  if (!mkdtemp(tmpl)) std::abort();
  return tmpl;
}

void RemoveDb(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"})
    std::remove((path + suffix).c_str());
}

int64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The baseline: the file read whole, and each registered record's bytes
// inserted as one blob into a plain table, in one transaction.
double ReadAndRawInsert(const std::string& file, const std::string& dbPath) {
  RemoveDb(dbPath);
  const auto t0 = std::chrono::steady_clock::now();
  std::string bytes;
  if (!qv::ReadWholeFile(file, bytes)) std::abort();
  auto db = qv::catalog::OpenSqlite(dbPath, nullptr);
  if (!db || db->Exec("CREATE TABLE raw (id INTEGER PRIMARY KEY, bytes BLOB)") !=
                 qv::catalog::DbStatus::kOk)
    std::abort();
  db->Begin();
  auto st = db->Prepare("INSERT INTO raw (bytes) VALUES (?)");
  qv::catalog::ScanDataFile(bytes, kRange, [&](const qv::catalog::ScannedRecord& r) {
    st->Reset();
    st->BindBlob(1, std::string(r.head) + std::string(r.points));
    return qv::catalog::RunToEnd(*st);
  });
  st.reset();
  if (db->Commit() != qv::catalog::DbStatus::kOk) std::abort();
  return Seconds(t0);
}

double Import(const std::string& file, const std::string& dbPath) {
  RemoveDb(dbPath);
  const auto t0 = std::chrono::steady_clock::now();
  auto cat = Catalog::Open(dbPath, nullptr);
  qv::catalog::ImportCounts counts;
  if (!cat || !cat->ImportFile(file, "bench", kRange, counts) ||
      counts.added != qv::bench::kRecords)
    std::abort();
  return Seconds(t0);
}

void BM_ImportVsRawInsert(benchmark::State& state) {
  const std::string dir = TempFolder();
  const std::string file = dir + "/bench.qd1";
  qv::RecordList records;
  for (int i = 0; i < qv::bench::kRecords; ++i)
    records.push_back(qv::bench::MakeBenchRecord(i));
  qv::CMeasureData current;
  if (!qv::WriteFileAtomically(file, qv::DataFileBytes(current, records, qv::DataFileForm::kFull))
           .ok)
    std::abort();
  double raw = 0, import = 0;
  for (auto _ : state) {
    raw += ReadAndRawInsert(file, dir + "/raw.sqlite");
    import += Import(file, dir + "/cat.sqlite");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["raw_ms"] = raw / n * 1e3;
  state.counters["import_ms"] = import / n * 1e3;
  state.counters["ratio"] = import / raw;
  // The database after a checkpoint, so the WAL's pages count where they land.
  {
    auto db = qv::catalog::OpenSqlite(dir + "/cat.sqlite", nullptr);
    db->Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  state.counters["bytes_per_point"] =
      static_cast<double>(FileSize(dir + "/cat.sqlite") + FileSize(dir + "/cat.sqlite-wal")) /
      (qv::bench::kRecords * qv::bench::kPoints);
  RemoveDb(dir + "/raw.sqlite");
  RemoveDb(dir + "/cat.sqlite");
  std::remove(file.c_str());
  ::rmdir(dir.c_str());
}
BENCHMARK(BM_ImportVsRawInsert)->Unit(benchmark::kMillisecond)->Iterations(3);

// A catalogue of `cells` cells with `tests` tests each, one point a record
// (search and matching read no points), capacities 3800 to 4400 mAh and
// resistances 3 to 7 mOhm spread over the cells.
struct BigCatalog {
  std::string dir, path;
  std::unique_ptr<Catalog> cat;

  BigCatalog(int cells, int tests) : dir(TempFolder()), path(dir + "/big.sqlite") {
    cat = Catalog::Open(path, nullptr);
    if (!cat) std::abort();
    std::vector<std::unique_ptr<qv::CMeasureData>> recs;
    std::vector<const qv::CMeasureData*> ptrs;
    for (int c = 0; c < cells; ++c) {
      for (int t = 0; t < tests; ++t) {
        auto r = std::make_unique<qv::CMeasureData>();
        r->id1 = 1 + c / 998001;
        r->id2 = 1 + c / 999 % 999;
        r->id3 = 1 + c % 999;
        r->dateTime = qv::COleDateTime::FromParts({2026, 1 + t % 12, 1 + c % 28, 10, t / 12, 0});
        r->internalResistance = 3.0 + (c * 7919 % 4000) / 1000.0 + t * 0.05;
        const double mah = 3800.0 + (c * 104729 % 600) - t * 5.0;
        r->AppendPoint({3000, 10.0, 1.0, mah, 1.2});
        ptrs.push_back(r.get());
        recs.push_back(std::move(r));
      }
    }
    qv::catalog::ImportCounts counts;
    if (!cat->ImportRecords(ptrs, "/synthetic.qd1", "bench", kRange, counts)) std::abort();
  }
  ~BigCatalog() {
    cat.reset();
    RemoveDb(path);
    ::rmdir(dir.c_str());
  }
};

void BM_Search100k(benchmark::State& state) {
  BigCatalog big(25000, 4);
  qv::catalog::CellQuery q;
  q.where = "capacity >= 4100 and ir < 4.5";
  size_t found = 0;
  for (auto _ : state) {
    auto cells = big.cat->Search(q);
    if (!cells) std::abort();
    found = cells->size();
    benchmark::DoNotOptimize(cells);
  }
  state.counters["records"] = 100000;
  state.counters["cells_found"] = static_cast<double>(found);
}
BENCHMARK(BM_Search100k)->Unit(benchmark::kMillisecond);

void BM_History(benchmark::State& state) {
  BigCatalog big(25000, 4);
  uint32_t key = 1000000 + 12 * 1000 + 345;
  for (auto _ : state) {
    auto h = qv::catalog::HistoryRows(big.cat->History(key));
    if (h.size() != 4) std::abort();
    benchmark::DoNotOptimize(h);
  }
}
BENCHMARK(BM_History)->Unit(benchmark::kMicrosecond);

void BM_Match10k(benchmark::State& state) {
  BigCatalog big(10000, 1);
  size_t packs = 0;
  for (auto _ : state) {
    qv::catalog::CellQuery q;
    q.place = qv::catalog::Place{};
    auto cells = big.cat->Search(q);
    if (!cells) std::abort();
    qv::RecordList records;
    for (const auto& c : *cells)
      records.push_back(qv::catalog::MatchRecordOf(c));
    const auto matchCells = qv::CollectMatchCells({&records}, 0, 999999999);
    qv::MatchRequest req;
    req.series = 6;
    const qv::MatchResult r = qv::MatchPacks(matchCells, req);
    packs = r.packs.size();
    benchmark::DoNotOptimize(r);
  }
  state.counters["packs"] = static_cast<double>(packs);
}
BENCHMARK(BM_Match10k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
