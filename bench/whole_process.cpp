// Whole-process figures against their limits, each measured in one run:
//
//  1. `quorvex-cli save-as` of the 200 x 3,600-point data file (about 26 MB)
//     against a durable copy of the same file (`dd bs=1M conv=fsync`): the
//     median wall time of each, and the ratio (target: at most 2).
//  2. The peak resident memory of that save-as against the file's size
//     (target: at most 1.3 x the file + 16 MiB).
//  3. Start-up: process start to the main window mapped on an X server,
//     quorvex against a minimal Qt Widgets main window (bench_min_window),
//     median of alternating starts (target: at most 1.5). Without $DISPLAY
//     the benchmark starts its own Xvfb.
//
//   bench_whole_process [--runs N] [--no-startup] [--no-save]
//   bench_whole_process --make FILE     only writes the data file
//
// The programs are taken from the build's bin folder. The X server reports
// the mapping (SubstructureNotify on the root window), so the programs carry
// no hook of their own for this.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_records.h"
#include "core/safe_file.h"
#include "data/codec.h"
#include "data/data_file.h"

namespace {

using Clock = std::chrono::steady_clock;

using qv::bench::kPoints;
using qv::bench::kRecords;

struct ProcessResult {
  double seconds = 0.0;
  long peakKiB = 0;
  int status = -1;
};

// Runs `argv` to its end: wall time from fork to exit and the peak resident
// memory the kernel counted for it.
ProcessResult RunToEnd(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ProcessResult r;
  const auto t0 = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage ru{};
  if (pid < 0 || wait4(pid, &status, 0, &ru) != pid) return r;
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  r.peakKiB = ru.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

void MakeFile(const std::string& path) {
  qv::CMeasureData current;
  qv::RecordList records;
  for (int i = 0; i < kRecords; ++i)
    records.push_back(qv::bench::MakeBenchRecord(i));
  if (!qv::WriteFileAtomically(path, qv::DataFileBytes(current, records, qv::DataFileForm::kFull))
           .ok)
    std::abort();
}

void SaveAs(const std::string& dir, int runs) {
  const std::string in = dir + "/bench.qd1", copy = dir + "/copy.qd1", out = dir + "/out.qd1";
  MakeFile(in);
  struct stat st {};
  ::stat(in.c_str(), &st);
  const double fileMiB = static_cast<double>(st.st_size) / (1024.0 * 1024.0);
  const std::string cli = std::string(QV_BIN_DIR) + "/quorvex-cli";
  std::vector<double> dd, save;
  long peakKiB = 0;
  for (int i = 0; i < runs + 1; ++i) {
    // Each writes a new file on a quiet disk: the blocks of the last run's
    // output are freed (and discarded) before the clock starts.
    ::unlink(copy.c_str());
    ::sync();
    ProcessResult d =
        RunToEnd({"dd", "if=" + in, "of=" + copy, "bs=1M", "conv=fsync", "status=none"});
    ::unlink(out.c_str());
    ::sync();
    ProcessResult s = RunToEnd({cli, "save-as", in, out});
    if (d.status != 0 || s.status != 0) {
      std::fprintf(stderr, "dd or save-as failed (%d, %d)\n", d.status, s.status);
      std::exit(1);
    }
    if (i == 0) continue;  // the first pair warms the page cache
    dd.push_back(d.seconds);
    save.push_back(s.seconds);
    peakKiB = std::max(peakKiB, s.peakKiB);
  }
  const double ratio = Median(save) / Median(dd);
  const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
  const double peakLimit = 1.3 * fileMiB + 16.0;
  std::printf("save-as of %.1f MiB, %d runs each\n", fileMiB, runs);
  std::printf("  durable copy (dd conv=fsync)   %8.1f ms\n", Median(dd) * 1e3);
  std::printf("  quorvex-cli save-as            %8.1f ms   ratio %.2f (target <= 2.00) %s\n",
              Median(save) * 1e3, ratio, ratio <= 2.0 ? "ok" : "OVER");
  std::printf(
      "  peak memory of save-as         %8.1f MiB  %.2f x the file (target <= %.1f MiB) %s\n",
      peakMiB, peakMiB / fileMiB, peakLimit, peakMiB <= peakLimit ? "ok" : "OVER");
  ::unlink(in.c_str());
  ::unlink(copy.c_str());
  ::unlink(out.c_str());
}

// An X server for the start-up runs: $DISPLAY, or an Xvfb of our own.
struct XServer {
  pid_t xvfb = -1;
  xcb_connection_t* c = nullptr;
  xcb_window_t root = 0;

  bool Open() {
    if (!getenv("DISPLAY") || !*getenv("DISPLAY")) {
      for (int n = 90; n < 110 && xvfb < 0; ++n) {
        if (Exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
        const std::string disp = ":" + std::to_string(n);
        xvfb = fork();
        if (xvfb == 0) {
          int null = ::open("/dev/null", O_WRONLY);
          dup2(null, 2);
          execlp("Xvfb", "Xvfb", disp.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
          _exit(127);
        }
        setenv("DISPLAY", disp.c_str(), 1);
        for (int i = 0; i < 100 && !Exists("/tmp/.X11-unix/X" + std::to_string(n)); ++i)
          usleep(50000);
      }
    }
    for (int i = 0; i < 50; ++i) {
      c = xcb_connect(nullptr, nullptr);
      if (!xcb_connection_has_error(c)) break;
      xcb_disconnect(c);
      c = nullptr;
      usleep(100000);
    }
    if (!c) return false;
    root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    return true;
  }
  ~XServer() {
    if (c) xcb_disconnect(c);
    if (xvfb > 0) {
      kill(xvfb, SIGTERM);
      waitpid(xvfb, nullptr, 0);
    }
  }

  // Starts `argv` in `cwd` and returns the seconds until the X server maps
  // its first top-level window (negative on a time-out); the program is
  // then ended.
  double TimeToMapped(const std::vector<std::string>& argv, const std::string& cwd) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c))
      std::free(e);
    std::vector<char*> args;
    for (const auto& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
      if (chdir(cwd.c_str()) != 0) _exit(127);
      int null = ::open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execv(args[0], args.data());
      _exit(127);
    }
    double seconds = -1.0;
    while (std::chrono::duration<double>(Clock::now() - t0).count() < 20.0) {
      xcb_generic_event_t* e = xcb_poll_for_event(c);
      if (!e) {
        if (xcb_connection_has_error(c)) break;
        usleep(200);
        continue;
      }
      const bool mapped = (e->response_type & 0x7F) == XCB_MAP_NOTIFY &&
                          !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
      std::free(e);
      if (mapped) {
        seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        break;
      }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return seconds;
  }
};

void Startup(const std::string& dir, int runs) {
  XServer x;
  if (!x.Open()) {
    std::printf("start-up: no X server (Xvfb missing?), not measured\n");
    return;
  }
  const std::string bin = QV_BIN_DIR;
  const std::string work = dir + "/work";
  ::mkdir(work.c_str(), 0755);
  // The runtime folder of the single-instance lock, private to the runs.
  setenv("XDG_RUNTIME_DIR", work.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  std::vector<double> minimal, quorvex;
  for (int i = 0; i < runs + 1; ++i) {
    const double m = x.TimeToMapped({bin + "/bench_min_window"}, work);
    const double q = x.TimeToMapped({bin + "/quorvex"}, work);
    if (m < 0 || q < 0) {
      std::fprintf(stderr, "a window was not mapped within 20 s\n");
      std::exit(1);
    }
    if (i == 0) continue;  // the first pair warms the caches
    minimal.push_back(m);
    quorvex.push_back(q);
  }
  const double ratio = Median(quorvex) / Median(minimal);
  std::printf("start-up to the main window mapped, %d runs each\n", runs);
  std::printf("  minimal Qt Widgets window      %8.1f ms\n", Median(minimal) * 1e3);
  std::printf("  quorvex                        %8.1f ms   ratio %.2f (target <= 1.50) %s\n",
              Median(quorvex) * 1e3, ratio, ratio <= 1.5 ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 9;
  bool save = true, startup = true;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    if (!std::strcmp(argv[i], "--no-startup")) startup = false;
    if (!std::strcmp(argv[i], "--no-save")) save = false;
    if (!std::strcmp(argv[i], "--make") && i + 1 < argc) {
      MakeFile(argv[i + 1]);
      return 0;
    }
  }
  char tmpl[] = "/tmp/quorvex-whole-XXXXXX";
  const std::string dir = mkdtemp(tmpl) ? tmpl : "/tmp";
  if (save) SaveAs(dir, runs);
  if (startup) Startup(dir, runs);
  std::string cleanup = "rm -rf '" + dir + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
