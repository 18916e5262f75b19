// Handing files to the window that already works in a folder. A second start
// in that folder (the instance lock is held, core/instance_lock.h) connects
// to the window's local socket, sends the files it was given as one request
// and ends; the window comes to the front and opens them.
//
// The socket lives in the user's runtime directory ($XDG_RUNTIME_DIR, which
// only the user may enter) as <instance name>.sock; without one it is a name
// in the abstract namespace, "<instance name>-<uid>", never a file in /tmp.
// Both ends check that the other runs as the same user.
//
// A request: "QVOPEN1 <count>\n", then <count> absolute paths, each ended by
// a NUL byte. The window answers "OK\n" once it has taken the request.
#pragma once

#include <string>
#include <vector>

namespace qv {

inline constexpr char kOpenReply[] = "OK\n";
// What one request may hold; a longer one is refused as a whole.
inline constexpr size_t kMaxRequestFiles = 1024;
inline constexpr size_t kMaxRequestPath = 4096;

std::string EncodeOpenRequest(const std::vector<std::string>& files);

enum class RequestState { kIncomplete, kComplete, kInvalid };
// Reads the bytes received so far. kComplete fills `files`; kInvalid for a
// wrong header, a relative or empty path, too many or too long paths, or
// bytes after the last path; kIncomplete when more bytes may complete it.
RequestState ParseOpenRequest(const std::string& bytes, std::vector<std::string>& files);

// The socket address of `instanceName`: a path, or an abstract name starting
// with a NUL byte.
std::string HandOffAddress(const std::string& instanceName);

// A listening socket at `address` (non-blocking, close-on-exec); a socket
// file left by an ended process is replaced. Call only while holding the
// instance lock. -1 with errno set when it cannot be made.
int ListenForHandOffs(const std::string& address);
// Removes the socket file of a path address (nothing for abstract names).
void RemoveHandOffSocket(const std::string& address);

// True when the process at the other end of the connected socket `fd` runs
// as this process's user.
bool PeerIsThisUser(int fd);

enum class HandOffResult {
  kDelivered,   // the window took the files ("OK")
  kUnanswered,  // the request was written but no answer came within the time
  kNoWindow,    // nothing listens at the address (not yet, or no more)
  kRefused,     // the listener closed without taking the request, or is another user's
};
// Connects to `address`, sends `files` and waits up to `timeoutMs` for the
// answer.
HandOffResult HandFilesOver(const std::string& address, const std::vector<std::string>& files,
                            int timeoutMs);

class InstanceLock;

enum class FolderClaim {
  kOwn,         // this process holds the folder's instance lock now
  kHandedOver,  // the window of the folder took the files (or will: `note` says so)
  kNotTaken,    // the window holds the folder but took nothing; `note` says why
};
// Takes the instance lock of `name` in `folder`, or hands `files` to the
// window that holds it (with none, the window only comes to the front).
// Both are tried in turn for up to `waitMs`: a window listens a moment after
// it took the lock, and one that closes frees the lock. `note` gets a line
// for the user (English) when the answer is not plain.
FolderClaim ClaimFolder(InstanceLock& lock, const std::string& name, const std::string& folder,
                        const std::vector<std::string>& files, int waitMs, std::string& note);

}  // namespace qv
