#include "core/open_request.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/instance_lock.h"

namespace qv {
namespace {

constexpr char kHeader[] = "QVOPEN1 ";
// How long a start waits for the window's answer once its request is written.
constexpr int kAnswerMs = 5000;

// The sockaddr of `address`; false when it does not fit.
bool MakeAddress(const std::string& address, sockaddr_un& sa, socklen_t& len) {
  std::memset(&sa, 0, sizeof sa);
  sa.sun_family = AF_UNIX;
  if (address.empty() || address.size() >= sizeof sa.sun_path) return false;
  std::memcpy(sa.sun_path, address.data(), address.size());
  // An abstract name is exactly its bytes; a path ends with its NUL.
  len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address.size() +
                               (address[0] == '\0' ? 0 : 1));
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The answer after the request, read until "OK\n", the peer's close or the
// deadline.
HandOffResult AwaitAnswer(int fd, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string answer;
  while (answer.size() < std::strlen(kOpenReply)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return HandOffResult::kUnanswered;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return HandOffResult::kUnanswered;
    char buf[8];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return HandOffResult::kRefused;
    answer.append(buf, static_cast<size_t>(n));
  }
  return answer.compare(0, std::strlen(kOpenReply), kOpenReply) == 0 ? HandOffResult::kDelivered
                                                                     : HandOffResult::kRefused;
}

}  // namespace

std::string EncodeOpenRequest(const std::vector<std::string>& files) {
  std::string out = kHeader + std::to_string(files.size()) + "\n";
  for (const std::string& f : files) {
    out += f;
    out += '\0';
  }
  return out;
}

RequestState ParseOpenRequest(const std::string& bytes, std::vector<std::string>& files) {
  const size_t header = std::strlen(kHeader);
  if (bytes.compare(0, std::min(bytes.size(), header), kHeader, std::min(bytes.size(), header)) !=
      0)
    return RequestState::kInvalid;
  const size_t eol = bytes.find('\n', header);
  if (eol == std::string::npos)
    return bytes.size() > header + 4 ? RequestState::kInvalid : RequestState::kIncomplete;
  const std::string countText = bytes.substr(header, eol - header);
  if (countText.empty() || countText.size() > 4 ||
      countText.find_first_not_of("0123456789") != std::string::npos ||
      (countText.size() > 1 && countText[0] == '0'))
    return RequestState::kInvalid;
  const size_t count = std::strtoul(countText.c_str(), nullptr, 10);
  if (count > kMaxRequestFiles) return RequestState::kInvalid;
  std::vector<std::string> found;
  size_t pos = eol + 1;
  while (found.size() < count) {
    const size_t end = bytes.find('\0', pos);
    const size_t length = (end == std::string::npos ? bytes.size() : end) - pos;
    if (length > kMaxRequestPath) return RequestState::kInvalid;
    if (end == std::string::npos) return RequestState::kIncomplete;
    if (length == 0 || bytes[pos] != '/') return RequestState::kInvalid;
    found.push_back(bytes.substr(pos, length));
    pos = end + 1;
  }
  if (pos != bytes.size()) return RequestState::kInvalid;
  files = std::move(found);
  return RequestState::kComplete;
}

std::string HandOffAddress(const std::string& instanceName) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/" + instanceName + ".sock";
  return std::string(1, '\0') + instanceName + "-" + std::to_string(getuid());
}

int ListenForHandOffs(const std::string& address) {
  sockaddr_un sa{};
  socklen_t len = 0;
  if (!MakeAddress(address, sa, len)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  RemoveHandOffSocket(address);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), len) != 0 || ::listen(fd, 16) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

void RemoveHandOffSocket(const std::string& address) {
  if (!address.empty() && address[0] != '\0') ::unlink(address.c_str());
}

bool PeerIsThisUser(int fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == getuid();
}

HandOffResult HandFilesOver(const std::string& address, const std::vector<std::string>& files,
                            int timeoutMs) {
  sockaddr_un sa{};
  socklen_t len = 0;
  if (!MakeAddress(address, sa, len)) return HandOffResult::kNoWindow;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return HandOffResult::kNoWindow;
  HandOffResult result = HandOffResult::kNoWindow;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), len) == 0) {
    if (!PeerIsThisUser(fd))
      result = HandOffResult::kRefused;
    else if (!WriteAll(fd, EncodeOpenRequest(files)))
      result = HandOffResult::kRefused;
    else
      result = AwaitAnswer(fd, timeoutMs);
  }
  ::close(fd);
  return result;
}

}  // namespace qv

namespace qv {

FolderClaim ClaimFolder(InstanceLock& lock, const std::string& name, const std::string& folder,
                        const std::vector<std::string>& files, int waitMs, std::string& note) {
  const std::string address = HandOffAddress(InstanceLock::InstanceName(name, folder));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  HandOffResult last = HandOffResult::kNoWindow;
  do {
    if (lock.Acquire(name, folder)) return FolderClaim::kOwn;
    last = HandFilesOver(address, files, kAnswerMs);
    if (last == HandOffResult::kDelivered) return FolderClaim::kHandedOver;
    if (last == HandOffResult::kUnanswered) {
      note = "the Quorvex window of " + folder +
             " is busy; it opens what it was handed when it is free";
      return FolderClaim::kHandedOver;
    }
    if (last == HandOffResult::kRefused) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  const pid_t holder = InstanceLock::Holder(name, folder);
  note = "a Quorvex window already works in " + folder +
         (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
         (last == HandOffResult::kRefused ? " and refused the request"
                                          : " but does not take requests") +
         (files.empty() ? std::string() : "; nothing was opened");
  return FolderClaim::kNotTaken;
}

}  // namespace qv
