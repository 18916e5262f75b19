#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

std::mutex& RootMutex() {
  static std::mutex m;
  return m;
}
std::string& RootValue() {
  static std::string root = "/dev";
  return root;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

struct BaudEntry {
  int rate;
  speed_t code;  // 0: the terminal interface has no such rate
};
// Index 1..15 of the settings word.
constexpr BaudEntry kBaud[16] = {{0, 0},          {110, B110},       {300, B300},     {600, B600},
                                 {1200, B1200},   {2400, B2400},     {4800, B4800},   {9600, B9600},
                                 {14400, 0},      {19200, B19200},   {38400, B38400}, {56000, 0},
                                 {57600, B57600}, {115200, B115200}, {128000, 0},     {256000, 0}};

speed_t SpeedCode(int rate) {
  for (const auto& b : kBaud) {
    if (b.rate == rate && b.code != 0) return b.code;
  }
  return 0;
}

int RateOf(speed_t code) {
  for (const auto& b : kBaud) {
    if (b.code == code && b.rate != 0) return b.rate;
  }
  return 0;
}

// A modem-line request that a device without modem lines (a pseudo-terminal)
// cannot take is not an error: there is no line to set.
bool SetLine(int fd, int bit, bool on) {
  int bits = bit;
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
  return errno == ENOTTY || errno == EINVAL;
}

}  // namespace

// ---------------------------------------------------------------- CPortNames

CPortNames::CPortNames(std::string portsDir, std::string devRoot)
    : portsDir_(std::move(portsDir)), devRoot_(std::move(devRoot)) {}

std::string CPortNames::DefaultDeviceRoot() {
  std::lock_guard<std::mutex> g(RootMutex());
  return RootValue();
}

void CPortNames::SetDefaultDeviceRoot(std::string root) {
  std::lock_guard<std::mutex> g(RootMutex());
  RootValue() = std::move(root);
}

std::vector<std::string> CPortNames::Enumerate() const {
  std::vector<std::string> out;
  if (devRoot_.empty()) return out;
  std::string root = devRoot_;
  if (root.back() != '/') root += '/';
  for (const char* family : {"ttyS", "ttyUSB", "ttyACM"}) {
    for (int i = 0; static_cast<int>(out.size()) < kMaxPort; ++i) {
      std::string path = root + family + std::to_string(i);
      if (!Exists(path)) break;
      out.push_back(std::move(path));
    }
  }
  return out;
}

std::string CPortNames::LinkPath(int port) const {
  if (portsDir_.empty()) return {};
  std::string link = portsDir_;
  if (link.back() != '/') link += '/';
  return link + "COM" + std::to_string(port);
}

std::string CPortNames::Resolve(int port) const {
  if (port < 1 || port > kMaxPort) return {};
  if (const std::string link = LinkPath(port); !link.empty()) {
    struct stat st;
    if (::lstat(link.c_str(), &st) == 0) return link;
  }
  std::vector<std::string> devices = Enumerate();
  if (port <= static_cast<int>(devices.size())) return devices[port - 1];
  return {};
}

// --------------------------------------------------------------- CSerialPort

CSerialPort::CSerialPort() : ports_(kMaxPort + 1), trace_(CWireTrace::Current()) {}

CSerialPort::~CSerialPort() {
  if (trace_) FlushReceivedLine();
}

CSerialPort::Entry* CSerialPort::Usable(int port) {
  if (port < 1 || port > kMaxPort) return nullptr;
  Entry& e = ports_[port];
  return e.open ? &e : nullptr;
}

const CSerialPort::Entry* CSerialPort::Usable(int port) const {
  if (port < 1 || port > kMaxPort) return nullptr;
  const Entry& e = ports_[port];
  return e.open ? &e : nullptr;
}

bool CSerialPort::IsOpen(int port) const {
  return Usable(port) != nullptr;
}

std::string CSerialPort::DevicePath(int port) const {
  const Entry* e = Usable(port);
  return e ? e->path : std::string();
}

PortResult CSerialPort::Open(int port, int inQueue, int outQueue) {
  (void)inQueue;  // the terminal driver sizes its own queues
  (void)outQueue;
  const PortResult r = OpenDevice(port);
  if (trace_) [[unlikely]]
    TraceOpen(port, r);
  return r;
}

// Opening, exclusive use, raw mode and the line settings the device holds,
// in the order they must happen; it reads best whole.
PortResult CSerialPort::OpenDevice(int port) {
  if (port < 1 || port > kMaxPort) return PortResult::kBad;
  Entry& e = ports_[port];
  if (e.open) return PortResult::kRefused;
  lastOpenError_ = 0;
  const std::string path = names_.Resolve(port);
  lastOpenPath_ = path;
  if (path.empty()) {
    lastOpenError_ = ENOENT;
    return PortResult::kNoDevice;
  }
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    lastOpenError_ = errno;
    return PortResult::kNoDevice;
  }
  struct termios t;
  if (::tcgetattr(fd, &t) != 0) {
    lastOpenError_ = ENOTTY;
    ::close(fd);
    return PortResult::kNoDevice;
  }
  // Exclusive use: the advisory lock keeps out every opener that locks
  // (this program, also as root); TIOCEXCL keeps out everyone else but root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    lastOpenError_ = EBUSY;
    ::close(fd);
    return PortResult::kNoDevice;
  }
  ::ioctl(fd, TIOCEXCL);

  // A communications device delivers bytes as they are: no line editing,
  // echo, signals or translations.
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK | IGNPAR);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &t);
  ::tcgetattr(fd, &t);

  e = Entry{};
  e.fd = fd;
  e.open = true;
  e.path = path;
  struct stat st;
  e.pseudo = ::fstat(fd, &st) == 0 && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
  LineState& l = e.line;
  l.baud = RateOf(::cfgetospeed(&t));
  l.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  if (!(t.c_cflag & PARENB)) {
    l.parity = 1;
  } else if (t.c_cflag & CMSPAR) {
    l.parity = (t.c_cflag & PARODD) ? 4 : 5;
  } else {
    l.parity = (t.c_cflag & PARODD) ? 2 : 3;
  }
  switch (t.c_cflag & CSIZE) {
    case CS5:
      l.dataBits = 5;
      break;
    case CS6:
      l.dataBits = 6;
      break;
    case CS7:
      l.dataBits = 7;
      break;
    default:
      l.dataBits = 8;
      break;
  }
  l.ctsFlow = (t.c_cflag & CRTSCTS) != 0;
  l.rts = l.ctsFlow ? 3 : 2;
  l.xonXoff = false;

  Configure(port, kLineOpenDefault);
  SetReadTimeouts(port, 1000);
  SetWriteTimeout(port, 1000);
  return PortResult::kOk;
}

PortResult CSerialPort::ApplyLine(Entry& e, const LineState& want) {
  // Settings this terminal interface has no way to express.
  if (want.baud != 0 && SpeedCode(want.baud) == 0) return PortResult::kRefused;
  if (want.stopBits == 15 || want.dataBits == 4) return PortResult::kRefused;
  if (want.dtr == 3 || want.rts == 4 || want.dsrFlow) return PortResult::kRefused;

  struct termios old;
  if (::tcgetattr(e.fd, &old) != 0) return PortResult::kRefused;
  struct termios t = old;
  if (want.baud != 0) {
    ::cfsetispeed(&t, SpeedCode(want.baud));
    ::cfsetospeed(&t, SpeedCode(want.baud));
  }
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
  static constexpr tcflag_t kSize[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSize[std::clamp(want.dataBits, 5, 8) - 5];
  if (want.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_iflag &= ~static_cast<tcflag_t>(INPCK | PARMRK | IGNPAR | ISTRIP | IXON | IXOFF | IXANY);
  switch (want.parity) {
    case 2:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 3:
      t.c_cflag |= PARENB;
      break;
    case 4:
      t.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 5:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // Checked parity: a byte with a parity error arrives marked and Read
  // turns it into a space.
  const bool checked = want.parity >= 2;
  if (checked) t.c_iflag |= INPCK | PARMRK;
  if (want.ctsFlow || want.rts == 3) t.c_cflag |= CRTSCTS;
  if (want.xonXoff) t.c_iflag |= IXON | IXOFF;

  const tcflag_t kCheck = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
  struct termios got;
  if (::tcsetattr(e.fd, TCSANOW, &t) != 0 || ::tcgetattr(e.fd, &got) != 0 ||
      (got.c_cflag & kCheck) != (t.c_cflag & kCheck) || ::cfgetospeed(&got) != ::cfgetospeed(&t)) {
    ::tcsetattr(e.fd, TCSANOW, &old);
    return PortResult::kRefused;
  }
  if (want.dtr == 1 || want.dtr == 2) {
    if (!SetLine(e.fd, TIOCM_DTR, want.dtr == 2)) return PortResult::kRefused;
  }
  if (want.rts == 1 || want.rts == 2) {
    if (!SetLine(e.fd, TIOCM_RTS, want.rts == 2)) return PortResult::kRefused;
  }
  e.line = want;
  e.markParity = checked;
  e.markState = 0;
  return PortResult::kOk;
}

PortResult CSerialPort::Configure(int port, uint32_t word) {
  Entry* e = Usable(port);
  if (!e) return PortResult::kBad;
  LineState want = e->line;
  if (unsigned b = word & 0xF) want.baud = kBaud[b].rate;
  if (unsigned s = (word >> 4) & 0x3) want.stopBits = s == 1 ? 1 : s == 2 ? 15 : 2;
  if (unsigned p = (word >> 8) & 0x7) {
    if (p > 5) return PortResult::kRefused;
    want.parity = static_cast<int>(p);
  }
  if (unsigned d = (word >> 12) & 0x7) {
    if (d > 5) return PortResult::kRefused;
    want.dataBits = static_cast<int>(d) + 3;
  }
  if (unsigned v = (word >> 16) & 0x3) want.dtr = static_cast<int>(v);
  if (unsigned v = (word >> 20) & 0x7) {
    if (v > 4) return PortResult::kRefused;
    want.rts = static_cast<int>(v);
  }
  if (word & (1u << 24)) want.ctsFlow = true;
  if (word & (1u << 25)) want.ctsFlow = false;
  if (word & (1u << 26)) want.dsrFlow = true;
  if (word & (1u << 27)) want.dsrFlow = false;
  if (unsigned x = (word >> 28) & 0x3) {
    if (x == 3) return PortResult::kRefused;
    want.xonXoff = x == 1;
  }
  return ApplyLine(*e, want);
}

PortResult CSerialPort::SetReadTimeouts(int port, int ms) {
  Entry* e = Usable(port);
  if (!e) return PortResult::kBad;
  e->readIntervalMs = std::max(ms, 0);
  e->readTotalMs = std::max(ms, 0);
  return PortResult::kOk;
}

PortResult CSerialPort::SetWriteTimeout(int port, int ms) {
  Entry* e = Usable(port);
  if (!e) return PortResult::kBad;
  e->writeMs = std::max(ms, 0);
  return PortResult::kOk;
}

namespace {
int MsUntil(Clock::time_point t) {
  auto d = std::chrono::duration_cast<std::chrono::microseconds>(t - Clock::now()).count();
  if (d <= 0) return 0;
  return static_cast<int>((d + 999) / 1000);
}
}  // namespace

int CSerialPort::Read(int port, void* buffer, int count) {
  Entry* e = Usable(port);
  if (!e || count <= 0 || !buffer) return 0;
  auto* out = static_cast<unsigned char*>(buffer);
  int got = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(e->readTotalMs);
  auto gapEnd = deadline;
  unsigned char raw[256];
  while (got < count) {
    auto until = got > 0 ? std::min(deadline, gapEnd) : deadline;
    int wait = MsUntil(until);
    if (wait <= 0) break;
    struct pollfd p {
      e->fd, POLLIN, 0
    };
    int r = ::poll(&p, 1, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (r == 0) continue;
    if (!(p.revents & POLLIN)) break;  // hung up or failed: nothing more will come
    size_t want = std::min(sizeof raw, static_cast<size_t>(count - got));
    ssize_t n = ::read(e->fd, raw, want);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      break;
    }
    if (n == 0) break;
    if (trace_) [[unlikely]]
      TraceReceived(port, raw, static_cast<size_t>(n));
    for (ssize_t i = 0; i < n; ++i) {
      unsigned char c = raw[i];
      if (e->markParity) {
        // 0xFF 0xFF is a real 0xFF; 0xFF 0x00 x is x received with a
        // parity error, delivered as a space.
        if (e->markState == 0 && c == 0xFF) {
          e->markState = 1;
          continue;
        }
        if (e->markState == 1) {
          if (c == 0x00) {
            e->markState = 2;
            continue;
          }
          e->markState = 0;
        } else if (e->markState == 2) {
          e->markState = 0;
          c = ' ';
        }
      }
      out[got++] = c;
    }
    gapEnd = Clock::now() + std::chrono::milliseconds(e->readIntervalMs);
  }
  if (trace_ && got < count) [[unlikely]]
    TraceEvent(port, (got == 0 ? "nothing within " : "nothing more within ") +
                         std::to_string(got == 0 ? e->readTotalMs : e->readIntervalMs) + " ms");
  return got;
}

int CSerialPort::Write(int port, const void* buffer, int count) {
  Entry* e = Usable(port);
  if (!e || count <= 0 || !buffer) return 0;
  const auto* in = static_cast<const unsigned char*>(buffer);
  int done = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(e->writeMs);
  while (done < count) {
    ssize_t n = ::write(e->fd, in + done, static_cast<size_t>(count - done));
    if (n > 0) {
      done += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;
    int wait = MsUntil(deadline);
    if (wait <= 0) break;
    struct pollfd p {
      e->fd, POLLOUT, 0
    };
    int r = ::poll(&p, 1, wait);
    if (r < 0 && errno != EINTR) break;
    if (r > 0 && !(p.revents & POLLOUT)) break;
  }
  // A write completes when its bytes have left, as on the communications
  // device: a later transmit purge must not eat what was written.
  while (done > 0) {
    int queued = 0;
    if (::ioctl(e->fd, TIOCOUTQ, &queued) != 0 || queued <= 0) break;
    int wait = MsUntil(deadline);
    if (wait <= 0) break;
    // About one millisecond per byte at 9600 baud.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(queued, 1, wait)));
  }
  if (trace_) [[unlikely]] {
    TraceSent(port, in, static_cast<size_t>(done));
    if (done < count)
      TraceEvent(port, "the write stopped after " + std::to_string(done) + " of " +
                           std::to_string(count) + " bytes");
  }
  return done;
}

PortResult CSerialPort::PurgeReceive(int port) {
  Entry* e = Usable(port);
  if (!e) return PortResult::kBad;
  if (trace_) [[unlikely]]
    TracePurge(*e, port);
  ::tcflush(e->fd, TCIFLUSH);
  e->markState = 0;
  if (purgedHook_) purgedHook_();
  return PortResult::kOk;
}

PortResult CSerialPort::PurgeTransmit(int port) {
  Entry* e = Usable(port);
  if (!e) return PortResult::kBad;
  // A pseudo-terminal hands written bytes over at once: there is nothing
  // unsent, and flushing would drop bytes the other side has not read yet.
  if (!e->pseudo) ::tcflush(e->fd, TCOFLUSH);
  return PortResult::kOk;
}

PortResult CSerialPort::Close(int port) {
  Entry* e = Usable(port);
  if (!e) return PortResult::kBad;
  if (trace_) [[unlikely]]
    TraceEvent(port, "close");
  // The exclusive mode belongs to the terminal, not to this descriptor:
  // give it up so the next opener is not refused.
  ::ioctl(e->fd, TIOCNXCL);
  if (::close(e->fd) != 0 && errno == EBADF) return PortResult::kRefused;
  *e = Entry{};
  return PortResult::kOk;
}

// ----------------------------------------------------------------- trace

void CSerialPort::SetWirePhase(WirePhase phase) {
  if (trace_ && phase != phase_) [[unlikely]]
    FlushReceivedLine();
  phase_ = phase;
}

void CSerialPort::FlushReceivedLine() {
  if (received_.bytes.empty()) return;
  std::string what = "< " + CWireTrace::Quoted(received_.bytes);
  const auto span =
      std::chrono::duration_cast<std::chrono::milliseconds>(received_.last - received_.first);
  if (span.count() > 0) what += "  (" + std::to_string(span.count()) + " ms)";
  trace_->Line(received_.first, received_.port, phase_, what);
  received_.bytes.clear();
}

void CSerialPort::TraceReceived(int port, const unsigned char* bytes, size_t n) {
  const auto now = CWireTrace::Clock::now();
  // A pause of more than 5 ms, or another port, begins a new line.
  if (!received_.bytes.empty() &&
      (received_.port != port || now - received_.last > std::chrono::milliseconds(5)))
    FlushReceivedLine();
  for (size_t i = 0; i < n; ++i) {
    if (received_.bytes.empty()) {
      received_.port = port;
      received_.first = now;
    }
    received_.bytes += static_cast<char>(bytes[i]);
    received_.last = now;
    // A CR ends a frame (LF CR) or a command: one line each.
    if (bytes[i] == '\r') FlushReceivedLine();
  }
}

void CSerialPort::TraceSent(int port, const unsigned char* bytes, size_t n) {
  FlushReceivedLine();
  if (n == 0) return;
  trace_->Line(
      CWireTrace::Clock::now(), port, phase_,
      "> " + CWireTrace::Quoted(std::string_view(reinterpret_cast<const char*>(bytes), n)));
}

void CSerialPort::TraceEvent(int port, std::string_view what) {
  FlushReceivedLine();
  trace_->Line(CWireTrace::Clock::now(), port, phase_, what);
}

void CSerialPort::TraceOpen(int port, PortResult result) {
  if (result == PortResult::kOk) {
    TraceEvent(port, "open " + ports_[static_cast<size_t>(port)].path);
  } else if (result == PortResult::kNoDevice) {
    TraceEvent(port, "open failed: " + (lastOpenPath_.empty() ? std::string("no device")
                                                              : lastOpenPath_ + ": " +
                                                                    std::strerror(lastOpenError_)));
  }
}

void CSerialPort::TracePurge(Entry& e, int port) {
  // What the purge is about to discard is read out first, so that the trace
  // shows it (the descriptor never blocks).
  std::string discarded;
  unsigned char buf[256];
  for (;;) {
    const ssize_t n = ::read(e.fd, buf, sizeof buf);
    if (n <= 0) break;
    discarded.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(n));
  }
  if (discarded.empty()) {
    FlushReceivedLine();
  } else {
    TraceEvent(port, "purged " + CWireTrace::Quoted(discarded));
  }
}

}  // namespace qv
