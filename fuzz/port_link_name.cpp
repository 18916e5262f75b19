// Feeds arbitrary file names to the reader of ports/ link names: a name
// stands for a COM number exactly when it is the name the port table forms
// for that number, and never for anything outside 1..256.
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/port_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const int n = qv::PortLinkNumber(name);
  if (n < 0 || n > qv::CPortNames::kMaxPort) __builtin_trap();
  if (n > 0 && name != "COM" + std::to_string(n)) __builtin_trap();
  if (n == 0 && name.size() <= 6 && name.compare(0, 3, "COM") == 0) {
    for (int i = 1; i <= qv::CPortNames::kMaxPort; ++i)
      if (name == "COM" + std::to_string(i)) __builtin_trap();
  }
  return 0;
}
