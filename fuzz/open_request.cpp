// Feeds arbitrary bytes to the reader of the requests a later start sends
// to the running window: a complete request holds only absolute paths within
// the limits and encodes back to exactly the bytes read, and every shorter
// part of a complete request waits for more.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/open_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> files;
  if (qv::ParseOpenRequest(bytes, files) != qv::RequestState::kComplete) return 0;
  if (files.size() > qv::kMaxRequestFiles) __builtin_trap();
  for (const std::string& f : files) {
    if (f.empty() || f[0] != '/' || f.size() > qv::kMaxRequestPath ||
        f.find('\0') != std::string::npos)
      __builtin_trap();
  }
  if (qv::EncodeOpenRequest(files) != bytes) __builtin_trap();
  std::vector<std::string> part;
  if (size > 0 &&
      qv::ParseOpenRequest(bytes.substr(0, size - 1), part) != qv::RequestState::kIncomplete)
    __builtin_trap();
  return 0;
}
