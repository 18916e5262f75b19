// The wire trace: every byte the serial ports send and receive, with the
// time in milliseconds and the phase of the run, written to a text file so
// that what a real instrument did can be looked at (and sent in) afterwards.
//
// Off unless asked for: by QUORVEX_TRACE=FILE in the environment of any
// program that opens a port, or by a program's own option (quorvex-cli
// measure and scan: --trace FILE). While it is off a port pays one test of a
// pointer per read, write and purge, nothing more.
//
// One line per event, appended:
//     12.345  COM3  polling   < "LOAD 12 10.0 5.123 33 5.2 5.1 0.5 20\n\r"  (48 ms)
// seconds since the trace began, the port, the phase, then what happened:
// "> " bytes sent, "< " bytes received (consecutive bytes in one line until
// a CR, a pause of more than 5 ms, or anything else happening; the time is
// that of the first byte, the span that of the line), "purged" bytes the
// receive purge discarded, "nothing within N ms" a read that timed out,
// "open DEVICE" / "open failed: REASON", "close". Bytes are written as C
// string literals: printable ASCII as it is, \r \n \t \\ \" and \xNN (always
// two hex digits).
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace qv {

// The phase of the link's work that the bytes belong to.
enum class WirePhase { kNone, kInputs, kProbe, kStart, kPolling, kStopAck, kEnding };
const char* WirePhaseName(WirePhase phase);

class CWireTrace {
 public:
  using Clock = std::chrono::steady_clock;

  // The trace of this process, null while tracing is off. The first call
  // opens the file QUORVEX_TRACE names, when it is set; one that cannot be
  // opened is reported once on stderr and tracing stays off.
  static CWireTrace* Current();
  // Makes `path` (appended to) the trace of this process from now on, in
  // place of QUORVEX_TRACE. Ports made before keep the trace they had.
  // False, with errno set, when the file cannot be opened.
  static bool Start(const std::string& path);

  // Writes one line; safe from any thread.
  void Line(Clock::time_point at, int port, WirePhase phase, std::string_view what);

  // `bytes` as a C string literal.
  static std::string Quoted(std::string_view bytes);

  CWireTrace(const CWireTrace&) = delete;
  CWireTrace& operator=(const CWireTrace&) = delete;

 private:
  explicit CWireTrace(std::FILE* file);
  static CWireTrace* OpenFile(const std::string& path);
  // Opens `path` and makes it the process's trace.
  static bool Install(const std::string& path);

  std::mutex mutex_;
  std::FILE* file_;
  Clock::time_point start_;
};

}  // namespace qv
