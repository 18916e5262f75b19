// Feeds arbitrary payloads to the reading of the server's change notices: it
// must never crash, and a payload either names cells that are registration
// ID keys or means any cell, never both.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalog/pg_notice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  qv::catalog::CatalogChanges changes;
  qv::catalog::AddChangeNotice(payload, changes);
  if (changes.all && !changes.cells.empty()) __builtin_trap();
  if (!changes.cells.empty() && *changes.cells.rbegin() > 999999999u) __builtin_trap();
  return 0;
}
