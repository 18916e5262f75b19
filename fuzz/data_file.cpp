// Feeds arbitrary bytes to the data file reader: it must never crash, hang,
// read out of bounds or allocate more than the input could describe.
#include <cstddef>
#include <cstdint>

#include "data/archive.h"
#include "data/data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::ArchiveReader ar(data, size);
  qv::CMeasureData current;
  qv::RecordList list;
  qv::DataFileReadResult r = qv::ReadDataFile(ar, current, list, true, {100, 200});
  if (r.ok()) {
    // What was read must write back and read again to the same records.
    std::string bytes = qv::DataFileBytes(current, list, qv::DataFileForm::kFull);
    qv::ArchiveReader again(bytes.data(), bytes.size());
    qv::CMeasureData current2;
    qv::RecordList list2;
    if (!qv::ReadDataFile(again, current2, list2, true, {100, 200}).ok()) __builtin_trap();
    if (list2.size() != list.size()) __builtin_trap();
  }
  return 0;
}
