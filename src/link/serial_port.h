// The serial ports the analyzer is reached through, addressed by their COM
// number 1 to 256, on POSIX terminals (termios and poll()).
//
// COM numbers are mapped to devices by CPortNames: a link `ports/COM<n>` in
// the settings folder wins; otherwise the existing /dev/ttyS*, /dev/ttyUSB*
// and /dev/ttyACM* devices are numbered in that order from COM1 on, the way
// Wine numbers them for Windows programs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/wire_trace.h"

namespace qv {

// COM number -> device path.
class CPortNames {
 public:
  static constexpr int kMaxPort = 256;

  // `portsDir`: the folder holding COM<n> links (may be empty: none);
  // `devRoot`: the folder holding the tty devices ("/dev").
  CPortNames(std::string portsDir = {}, std::string devRoot = DefaultDeviceRoot());

  // The device for COM n, or empty when there is none.
  std::string Resolve(int port) const;
  // "<portsDir>/COM<n>", whether or not it exists; empty without a folder.
  std::string LinkPath(int port) const;
  // The tty devices that exist, in numbering order (COM1 first).
  std::vector<std::string> Enumerate() const;

  const std::string& PortsDir() const { return portsDir_; }
  const std::string& DevRoot() const { return devRoot_; }

  // Process-wide device folder used by default ("/dev"); tests and the
  // command-line tool may point it at another folder.
  static std::string DefaultDeviceRoot();
  static void SetDefaultDeviceRoot(std::string root);

 private:
  std::string portsDir_;
  std::string devRoot_;
};

// What a port operation gave.
enum class PortResult {
  kOk,
  kBad,       // number outside 1..256, or not open
  kRefused,   // Open: already open; Configure/timeouts: refused
  kNoDevice,  // Open: missing, busy or not permitted
};

// Packed line-settings words.
inline constexpr uint32_t kLineOpenDefault = 0x2A225117;  // 9600 8N1, DTR/RTS on, no flow
inline constexpr uint32_t kLineAnalyzer = 0x110107;       // 9600, no parity, DTR/RTS off

class CSerialPort {
 public:
  static constexpr int kMaxPort = CPortNames::kMaxPort;

  // Takes the process's wire trace as it is now (CWireTrace::Current).
  CSerialPort();
  // Does not close ports: their users do.
  virtual ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // kBad number, kRefused already open here, kNoDevice the device cannot be
  // opened (missing, held by another opener, or not permitted: see
  // LastOpenError).
  // Applies kLineOpenDefault and 1000 ms time-outs without checking them.
  PortResult Open(int port, int inQueue, int outQueue);
  // kBad port, kRefused a setting the device cannot take, kOk done. Index 0
  // of a field keeps that setting.
  PortResult Configure(int port, uint32_t word);
  // Interval and total read time-out (ms); kBad port, kOk done.
  PortResult SetReadTimeouts(int port, int ms);
  PortResult SetWriteTimeout(int port, int ms);
  // Reads up to `count` bytes: returns when they arrived, when the gap after
  // a received byte exceeds the interval time-out, or after the total one.
  int Read(int port, void* buffer, int count);
  // Writes within the write time-out; returns the bytes written.
  int Write(int port, const void* buffer, int count);
  PortResult PurgeReceive(int port);
  PortResult PurgeTransmit(int port);
  // kBad port, kRefused close failed (stays open), kOk closed.
  PortResult Close(int port);

  bool IsOpen(int port) const;
  // errno of the last failed Open (EACCES: no permission, EBUSY: in use,
  // ENOENT: no such device), 0 after a successful one.
  int LastOpenError() const { return lastOpenError_; }
  // The device path the last Open tried (empty when the number maps to none).
  const std::string& LastOpenPath() const { return lastOpenPath_; }
  // The device path of an open port (empty otherwise).
  std::string DevicePath(int port) const;

  void SetPortNames(CPortNames names) { names_ = std::move(names); }
  const CPortNames& PortNames() const { return names_; }

  // Called after every PurgeReceive (test instruments use it to know when
  // the reader is ready for the next data). Never set in the program.
  void SetReceivePurgedHook(std::function<void()> hook) { purgedHook_ = std::move(hook); }

  // The phase the wire trace gives this object's traffic from now on.
  void SetWirePhase(WirePhase phase);

 private:
  // What a settings word describes, as the device currently holds it.
  struct LineState {
    int baud = 9600;
    int stopBits = 1;  // 1, 15 (one and a half), 2
    int parity = 1;    // index of the parity table
    int dataBits = 8;
    int dtr = 2;  // 1 off, 2 on, 3 handshake
    int rts = 2;  // 1 off, 2 on, 3 handshake, 4 toggle
    bool ctsFlow = false;
    bool dsrFlow = false;
    bool xonXoff = false;
  };
  struct Entry {
    int fd = -1;
    bool open = false;
    int readIntervalMs = 1000;
    int readTotalMs = 1000;
    int writeMs = 1000;
    LineState line;
    bool markParity = false;  // parity errors arrive marked (0xFF 0x00 x)
    int markState = 0;        // position inside a marked sequence
    std::string path;
    bool pseudo = false;  // a pseudo-terminal (Unix98 pty slave)
  };

  Entry* Usable(int port);
  const Entry* Usable(int port) const;
  PortResult OpenDevice(int port);
  PortResult ApplyLine(Entry& e, const LineState& want);

  // The wire trace (only called while trace_ is set). Received bytes are
  // gathered into lines; anything else written ends the line first.
  void TraceReceived(int port, const unsigned char* bytes, size_t n);
  void TraceSent(int port, const unsigned char* bytes, size_t n);
  void TraceEvent(int port, std::string_view what);
  void TraceOpen(int port, PortResult result);
  void TracePurge(Entry& e, int port);
  void FlushReceivedLine();

  std::vector<Entry> ports_;
  CPortNames names_;
  int lastOpenError_ = 0;
  std::string lastOpenPath_;
  std::function<void()> purgedHook_;

  CWireTrace* trace_;  // null while tracing is off
  WirePhase phase_ = WirePhase::kNone;
  struct ReceivedLine {
    int port = 0;
    std::string bytes;
    CWireTrace::Clock::time_point first, last;
  };
  ReceivedLine received_;
};

}  // namespace qv
