// Feeds arbitrary bytes to the data file reader: it must never crash, hang,
// read out of bounds or allocate more than the input could describe. Whatever
// it accepts was read to its last byte, and must write back and read again to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/archive.h"
#include "data/codec.h"
#include "data/data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const qv::Avg3Range range{100, 200};
  qv::ArchiveReader ar(data, size);
  qv::CMeasureData current;
  qv::RecordList list;
  qv::DataFileReadResult r = qv::ReadDataFile(ar, current, list, range);
  if (r.ok()) {
    if (r.version != "100" && r.version != "100b" && r.version != "101" && r.version != "101b")
      __builtin_trap();
    // Nothing after the last record: such bytes are refused as damage.
    if (ar.Remaining() != 0) __builtin_trap();
    // Written in the full form and read again, the file is stable: the same
    // records, and the same bytes when written once more.
    const std::string bytes = qv::DataFileBytes(current, list, qv::DataFileForm::kFull);
    qv::ArchiveReader again(bytes.data(), bytes.size());
    qv::CMeasureData current2;
    qv::RecordList list2;
    if (!qv::ReadDataFile(again, current2, list2, range).ok()) __builtin_trap();
    if (list2.size() != list.size()) __builtin_trap();
    if (qv::DataFileBytes(current2, list2, qv::DataFileForm::kFull) != bytes) __builtin_trap();
  } else {
    // A refusal names its kind and says it in that kind's words.
    const bool damaged =
        r.kind == qv::DataFileError::kDamaged && r.error == qv::DataFileCorruptText();
    const bool version =
        r.kind == qv::DataFileError::kVersion && r.error == qv::DataFileVersionText(r.version);
    if (!damaged && !version) __builtin_trap();
  }
  // Texts as remarks hold them: any bytes convert to UTF-8 and back without harm.
  const std::string utf8 = qv::Cp932ToUtf8(
      std::string_view(reinterpret_cast<const char*>(data), size < 4096 ? size : 4096));
  (void)qv::Utf8ToCp932(utf8);
  return 0;
}
