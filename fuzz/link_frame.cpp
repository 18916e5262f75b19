// Feeds arbitrary bytes to the analyzer's token and frame reader, frame after
// frame until the bytes run out: it must never crash or hang, every token it
// accepts holds at most 32 bytes, and every frame read takes some bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/analyzer_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the cell count (the voltage digit rule).
  const int cells = (data[0] & 1) ? 1 : 4;
  size_t pos = 1;
  auto next = [&](unsigned char& c) {
    if (pos >= size) return false;
    c = data[pos++];
    return true;
  };
  while (pos < size) {
    const size_t before = pos;
    qv::FrameValues v;
    const qv::FrameResult r = qv::ReadFrameFrom(next, cells, v);
    if (r != qv::FrameResult::kLoad && r != qv::FrameResult::kStop && r != qv::FrameResult::kFail)
      __builtin_trap();
    if (pos == before) __builtin_trap();
  }
  pos = 1;
  while (pos < size) {
    std::string token;
    const size_t before = pos;
    const qv::TokenStatus s = qv::ReadTokenFrom(next, token);
    if (s == qv::TokenStatus::kOk && token.size() > 32) __builtin_trap();
    if (s == qv::TokenStatus::kTooLong && pos - before != 33) __builtin_trap();
    if (pos == before) __builtin_trap();
  }
  return 0;
}
