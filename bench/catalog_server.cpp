// The catalogue on a PostgreSQL server, figures against their limits:
//
//  1. Four stations importing 10,000 records each at once (four processes,
//     data files of 100 records of 30 points): their wall time against a
//     plain COPY of the same rows (cells, sources, records, record_bytes, as
//     the import left them) into the same, empty tables, as a ratio (target:
//     at most 3): the best of 3 runs, and the ratio of their CPU time (the
//     stations' and their server processes' against COPY's), which a
//     shared machine's load does not inflate.
//  2. A search of 100,000 records by a two-term filter
//     ("capacity >= 4100 and ir < 4.5") over the Unix socket: the median and
//     best of 20 runs (target: under 100 ms), and the CPU time of a run in
//     the program and in its server process.
//
//   bench_catalog_server [--runs N] [--import-runs N] [--import-only | --search-only]
//                        [--keep]
//
// --runs: searches (20); --import-runs: imports and their COPY (3).
//
// --keep leaves the benchmark's database on the server (its name printed).
//
// The server is the one QV_TEST_PG names (a fresh database on it), else a
// throwaway one of scripts/pg_test_server.sh.
#include <libpq-fe.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/pg_db.h"
#include "catalog/station.h"
#include "data/codec.h"
#include "data/data_file.h"

namespace {

using namespace qv;

using Clock = std::chrono::steady_clock;
constexpr int kStations = 4, kPerStation = 10000, kPerFile = 100, kPoints = 30;
constexpr int kSearchRecords = 100000;
const char* const kScript = QV_SOURCE_DIR "/scripts/pg_test_server.sh";

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string Run(const std::string& command) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) throw std::runtime_error("popen");
  char buf[512];
  while (std::fgets(buf, sizeof buf, p))
    out += buf;
  if (::pclose(p) != 0) throw std::runtime_error(command + " failed");
  while (!out.empty() && out.back() == '\n')
    out.pop_back();
  return out;
}

PGconn* Connect(const std::string& conninfo) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  if (PQstatus(c) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(c));
  PQsetNoticeProcessor(
      c, [](void*, const char*) {}, nullptr);
  return c;
}

void Exec(PGconn* c, const std::string& sql) {
  PGresult* r = PQexec(c, sql.c_str());
  const ExecStatusType s = PQresultStatus(r);
  const std::string err = PQresultErrorMessage(r);
  PQclear(r);
  if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_COPY_OUT && s != PGRES_COPY_IN)
    throw std::runtime_error(sql + ": " + err);
}

// A data file of `count` records of cells id1-id2-(first..), 30 points each.
std::string FileOf(int id1, int id2, int first, int count) {
  RecordList list;
  for (int i = 0; i < count; ++i) {
    auto r = std::make_unique<CMeasureData>();
    r->id1 = id1;
    r->id2 = id2;
    r->id3 = first + i;
    r->dateTime = COleDateTime::FromParts({2026, 12, 1, 10, 0, 0});
    r->remark = Sj("ベンチマーク");
    r->cells = 1;
    r->internalResistance = 4.0 + (i % 10) * 0.1;
    for (int t = 0; t < kPoints; ++t)
      r->AppendPoint({t, 10.0, 1.3 - 0.01 * t, (4000.0 + i % 200) * t / (kPoints - 1), 1.25});
    list.push_back(std::move(r));
  }
  return DataFileBytes(CMeasureData(), list, DataFileForm::kFull);
}

double OwnCpu() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The user and system CPU seconds of the server process `pid`, read from
// /proc (the server running here, as the same user or for root); -1 when
// it cannot be read.
double ServerCpu(int64_t pid) {
  const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
  FILE* f = std::fopen(stat.c_str(), "r");
  if (!f) return -1;
  char buf[1024];
  const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  buf[n] = 0;
  // After "PID (name) ": state and 10 more fields, then utime and stime.
  const char* p = std::strrchr(buf, ')');
  unsigned long long ut = 0, st = 0;
  if (!p ||
      std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &ut, &st) != 2)
    return -1;
  return static_cast<double>(ut + st) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int64_t ServerPid(qv::catalog::Database& db) {
  auto st = db.Prepare("SELECT pg_backend_pid()");
  if (!st || st->Step() != qv::catalog::DbStatus::kRow) throw std::runtime_error("pg_backend_pid");
  return st->Int(0);
}

// A run's wall time and CPU time: the program's (or the stations') own and
// their server processes' (negative when those cannot be read).
struct Times {
  double wall = 0, cpu = 0, serverCpu = 0;
};

// What a station reports through its pipe: its own and its server
// process's CPU seconds.
struct StationCpu {
  double own = 0, server = 0;
};

// The four stations at once.
Times ImportAtOnce(const std::string& conninfo) {
  // The files first, so that only the import is timed.
  std::vector<std::vector<std::string>> files(kStations);
  for (int s = 0; s < kStations; ++s)
    for (int f = 0; f < kPerStation / kPerFile; ++f)
      files[s].push_back(FileOf(1 + s, 1 + f, 1, kPerFile));
  int go[2], back[2];
  if (::pipe(go) != 0 || ::pipe(back) != 0) throw std::runtime_error("pipe");
  std::vector<pid_t> children;
  for (int s = 0; s < kStations; ++s) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(go[1]);
      ::close(back[0]);
      std::string why;
      auto cat = qv::catalog::OpenTarget({conninfo, true, "station", "/dev/null"}, &why);
      char c;
      if (!cat || ::read(go[0], &c, 1) != 0) _exit(1);
      const int64_t server = ServerPid(cat->db());
      const double own0 = OwnCpu(), server0 = ServerCpu(server);
      qv::catalog::ImportCounts counts;
      for (const std::string& bytes : files[s])
        if (!cat->ImportBytes(bytes, "bench.qd1", "station", {}, counts)) _exit(2);
      const double server1 = ServerCpu(server);
      const StationCpu used{OwnCpu() - own0, server0 < 0 ? -1 : server1 - server0};
      if (::write(back[1], &used, sizeof used) != sizeof used) _exit(4);
      _exit(counts.added == kPerStation ? 0 : 3);
    }
    children.push_back(pid);
  }
  ::close(go[0]);
  ::close(back[1]);
  ::sleep(1);  // every station connected and waiting
  const auto start = Clock::now();
  ::close(go[1]);
  Times t;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      throw std::runtime_error("a station failed: " + std::to_string(status));
  }
  t.wall = Since(start);
  StationCpu used;
  for (int s = 0; s < kStations; ++s) {
    if (::read(back[0], &used, sizeof used) != sizeof used)
      throw std::runtime_error("a station's report");
    t.cpu += used.own;
    t.serverCpu = t.serverCpu < 0 || used.server < 0 ? -1 : t.serverCpu + used.server;
  }
  ::close(back[0]);
  return t;
}

std::string CopyOut(PGconn* c, const std::string& table) {
  Exec(c, "COPY " + table + " TO STDOUT");
  std::string data;
  char* line = nullptr;
  int n;
  while ((n = PQgetCopyData(c, &line, 0)) > 0) {
    data.append(line, static_cast<size_t>(n));
    PQfreemem(line);
  }
  PQclear(PQgetResult(c));
  return data;
}

void CopyIn(PGconn* c, const std::string& table, const std::string& data) {
  Exec(c, "COPY " + table + " FROM STDIN");
  for (size_t at = 0; at < data.size(); at += 1 << 20) {
    const size_t n = std::min<size_t>(1 << 20, data.size() - at);
    if (PQputCopyData(c, data.data() + at, static_cast<int>(n)) != 1)
      throw std::runtime_error("copy");
  }
  PQputCopyEnd(c, nullptr);
  PGresult* r = PQgetResult(c);
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  PQclear(r);
  if (!ok) throw std::runtime_error("COPY " + table + ": " + PQerrorMessage(c));
}

// The rows the import left, copied into the emptied tables in one
// transaction, which the tables are emptied of again.
Times CopySameRows(const std::string& conninfo) {
  PGconn* c = Connect(conninfo);
  const char* tables[] = {"cells", "sources", "records", "record_bytes"};
  std::vector<std::string> data;
  for (const char* t : tables)
    data.push_back(CopyOut(c, t));
  const char* const empty = "TRUNCATE moves, record_bytes, records, sources, cells";
  Exec(c, empty);
  Times t;
  const double own0 = OwnCpu(), server0 = ServerCpu(PQbackendPID(c));
  const auto start = Clock::now();
  Exec(c, "BEGIN");
  for (size_t i = 0; i < data.size(); ++i)
    CopyIn(c, tables[i], data[i]);
  Exec(c, "COMMIT");
  t.wall = Since(start);
  t.cpu = OwnCpu() - own0;
  t.serverCpu = server0 < 0 ? -1 : ServerCpu(PQbackendPID(c)) - server0;
  Exec(c, empty);
  PQfinish(c);
  return t;
}

// Four stations importing, then COPY, `runs` times: each run's wall times
// and CPU times, the best wall ratio and the CPU ratio of all runs.
void ImportFigures(const std::string& conninfo, int runs) {
  Times imports, copies;
  double best = 0;
  for (int i = 0; i < runs; ++i) {
    const Times imported = ImportAtOnce(conninfo);
    const Times copied = CopySameRows(conninfo);
    std::printf(
        "import, %d stations x %d records at once: %.3f s (%.0f records/s), COPY of the same "
        "rows: %.3f s, ratio %.2f\n",
        kStations, kPerStation, imported.wall, kStations * kPerStation / imported.wall, copied.wall,
        imported.wall / copied.wall);
    best = i == 0 ? imported.wall / copied.wall : std::min(best, imported.wall / copied.wall);
    imports.cpu += imported.cpu;
    imports.serverCpu = imported.serverCpu < 0 ? -1 : imports.serverCpu + imported.serverCpu;
    copies.cpu += copied.cpu;
    copies.serverCpu = copied.serverCpu < 0 ? -1 : copies.serverCpu + copied.serverCpu;
  }
  std::printf("ratio import / COPY, best of %d: %.2f (target: at most 3)\n", runs, best);
  std::printf("CPU per run: import %.2f s in the stations", imports.cpu / runs);
  if (imports.serverCpu >= 0 && copies.serverCpu >= 0) {
    std::printf(" + %.2f s in their server processes; COPY %.2f s + %.2f s; CPU ratio %.2f",
                imports.serverCpu / runs, copies.cpu / runs, copies.serverCpu / runs,
                (imports.cpu + imports.serverCpu) / (copies.cpu + copies.serverCpu));
  }
  std::printf("\n");
}

// 100,000 synthetic records (one per cell, no points), then the filter.
std::vector<double> SearchTimes(const std::string& conninfo, int runs, size_t* found) {
  PGconn* c = Connect(conninfo);
  Exec(c, "TRUNCATE moves, record_bytes, records, sources, cells");
  Exec(c,
       "INSERT INTO sources (id, path, station, imported_at) VALUES (1, 'bench.qd1', 'st', "
       "'2026-12-09T10:00:00Z');"
       "INSERT INTO cells (id_key, id_text, id1, id2, id3, newest, tests) "
       "SELECT 1000000 + i, '001-' || lpad((i / 1000)::text, 3, '0') || '-' || "
       "lpad((i % 1000)::text, 3, '0'), 1, i / 1000, i % 1000, i + 1, 1 "
       "FROM generate_series(1, " +
           std::to_string(kSearchRecords) +
           ") i;"
           "INSERT INTO records (id, cell_key, date_time, current_a, current_b, current_c, "
           "cell_count, end_voltage, v1_point, discharge_time, capacity, energy, avg1, avg2, "
           "avg3, avg3_start, avg3_end, ir, pir, last_current, last_voltage, remark, "
           "point_count, source_id) "
           "SELECT i + 1, 1000000 + i, '2026/12/01 10:00:00', 10, 0, 0, 1, 1.0, 100, 3600, "
           "3800 + (i * 7919) % 500, 4500, 1.24, 1.2, 1.1, 0, 0, 3.5 + (i % 20) * 0.1, 1.5, "
           "10, 1.0, '', 0, 1 FROM generate_series(1, " +
           std::to_string(kSearchRecords) + ") i; ANALYZE");
  PQfinish(c);
  std::string why;
  auto cat = qv::catalog::OpenTarget({conninfo, true, "station", "/dev/null"}, &why);
  if (!cat) throw std::runtime_error(Cp932ToUtf8(why));
  qv::catalog::CellQuery q;
  q.where = "capacity >= 4100 and ir < 4.5";
  auto search = [&] {
    auto cells = cat->Search(q);
    if (!cells) throw std::runtime_error(Cp932ToUtf8(cat->LastMessage()));
    *found = cells->size();
  };
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    search();
    times.push_back(Since(start));
  }
  // CPU time, which a shared machine's load does not inflate: the program's
  // own, and its server process's (readable when the server runs here, as
  // the same user or for root), with the server's parallel workers off so
  // that the server's whole work is in that one process.
  if (cat->db().Exec("SET max_parallel_workers_per_gather = 0") != qv::catalog::DbStatus::kOk)
    throw std::runtime_error("SET max_parallel_workers_per_gather");
  search();
  const int64_t pid = ServerPid(cat->db());
  const double client0 = OwnCpu(), server0 = ServerCpu(pid);
  for (int i = 0; i < runs; ++i)
    search();
  const double server = (ServerCpu(pid) - server0) / runs, client = (OwnCpu() - client0) / runs;
  std::printf("search CPU per run (server without parallel workers): program %.1f ms",
              client * 1e3);
  if (server0 >= 0) std::printf(", server %.1f ms", server * 1e3);
  std::printf("\n");
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 20, importRuns = 3;
  bool doImport = true, doSearch = true, keep = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::atoi(argv[++i]);
    if (std::strcmp(argv[i], "--import-runs") == 0 && i + 1 < argc)
      importRuns = std::max(1, std::atoi(argv[++i]));
    if (std::strcmp(argv[i], "--import-only") == 0) doSearch = false;
    if (std::strcmp(argv[i], "--search-only") == 0) doImport = false;
    if (std::strcmp(argv[i], "--keep") == 0) keep = true;
  }
  std::string dir, server;
  const char* given = std::getenv("QV_TEST_PG");
  try {
    if (given && *given) {
      server = given;
    } else {
      char templ[] = "/tmp/qv-pgb.XXXXXX";
      if (!::mkdtemp(templ)) throw std::runtime_error("mkdtemp");
      dir = templ;
      server = Run(std::string(kScript) + " start " + dir);
    }
    const std::string name = "qv_bench_" + std::to_string(::getpid());
    PGconn* admin = Connect(server);
    Exec(admin, "CREATE DATABASE " + name);
    const std::string conninfo = server + " dbname=" + name;
    std::string why;
    if (!qv::catalog::InitTarget({conninfo, true, "station", "/dev/null"}, &why))
      throw std::runtime_error(Cp932ToUtf8(why));

    if (doImport) ImportFigures(conninfo, importRuns);
    if (doSearch) {
      size_t found = 0;
      std::vector<double> t = SearchTimes(conninfo, runs, &found);
      std::sort(t.begin(), t.end());
      std::printf(
          "search of %d records (\"capacity >= 4100 and ir < 4.5\", %zu cells found): "
          "median %.1f ms, best %.1f ms (target: under 100 ms)\n",
          kSearchRecords, found, t[t.size() / 2] * 1000, t.front() * 1000);
    }
    if (keep)
      std::printf("database kept: %s\n", name.c_str());
    else
      Exec(admin, "DROP DATABASE " + name + " WITH (FORCE)");
    PQfinish(admin);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_catalog_server: %s\n", e.what());
    if (!dir.empty()) Run(std::string(kScript) + " stop " + dir);
    return 1;
  }
  if (!dir.empty()) Run(std::string(kScript) + " stop " + dir);
  return 0;
}
