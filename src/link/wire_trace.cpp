#include "link/wire_trace.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "data/file_info.h"

namespace qv {
namespace {

std::atomic<CWireTrace*> g_trace{nullptr};
std::once_flag g_fromEnvironment;

}  // namespace

const char* WirePhaseName(WirePhase phase) {
  switch (phase) {
    case WirePhase::kNone:
      return "-";
    case WirePhase::kInputs:
      return "inputs";
    case WirePhase::kProbe:
      return "probe";
    case WirePhase::kStart:
      return "start";
    case WirePhase::kPolling:
      return "polling";
    case WirePhase::kStopAck:
      return "stop-ack";
    case WirePhase::kEnding:
      return "ending";
  }
  return "?";
}

CWireTrace::CWireTrace(std::FILE* file) : file_(file), start_(Clock::now()) {}

CWireTrace* CWireTrace::Current() {
  std::call_once(g_fromEnvironment, [] {
    const char* path = std::getenv("QUORVEX_TRACE");
    if (!path || !*path) return;
    if (!Install(path))
      std::fprintf(stderr, "%s: cannot write the wire trace %s: %s\n",
                   program_invocation_short_name, path, std::strerror(errno));
  });
  return g_trace.load(std::memory_order_acquire);
}

CWireTrace* CWireTrace::OpenFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return nullptr;
  // Line by line, so that a trace survives the program ending abruptly.
  std::setvbuf(f, nullptr, _IOLBF, 0);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char when[32] = "";
  if (localtime_r(&now, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  std::fprintf(f, "# Quorvex wire trace: %s %s, process %ld, begun %s local time\n",
               program_invocation_short_name, ProgramVersionText().c_str(),
               static_cast<long>(::getpid()), when);
  std::fprintf(f, "# Columns: seconds since the trace began, port, phase of the run, event\n");
  return new CWireTrace(f);
}

bool CWireTrace::Start(const std::string& path) {
  // An explicit trace replaces the environment's, which is not opened later.
  std::call_once(g_fromEnvironment, [] {});
  return Install(path);
}

bool CWireTrace::Install(const std::string& path) {
  CWireTrace* trace = OpenFile(path);
  if (!trace) return false;
  // A trace stays for the life of the process: ports made earlier may still
  // write to the one it replaces.
  g_trace.store(trace, std::memory_order_release);
  return true;
}

void CWireTrace::Line(Clock::time_point at, int port, WirePhase phase, std::string_view what) {
  const double seconds = std::chrono::duration<double>(at - start_).count();
  char head[64];
  std::snprintf(head, sizeof head, "%9.3f  COM%-3d %-9s ", seconds, port, WirePhaseName(phase));
  std::lock_guard<std::mutex> g(mutex_);
  std::fputs(head, file_);
  std::fwrite(what.data(), 1, what.size(), file_);
  std::fputc('\n', file_);
}

std::string CWireTrace::Quoted(std::string_view bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c >= 0x20 && c < 0x7F) {
          out += static_cast<char>(c);
        } else {
          static const char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        }
    }
  }
  return out + "\"";
}

}  // namespace qv
