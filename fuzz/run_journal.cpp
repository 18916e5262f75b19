// Feeds arbitrary bytes to the run journal reader: it must never crash or read
// out of bounds. What it accepts encodes back to exactly the bytes it kept,
// and the recovered run survives a trip through the data file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/archive.h"
#include "data/data_file.h"
#include "data/run_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  qv::JournalContents j;
  if (!qv::ParseJournal(bytes, j)) return 0;
  std::string again = qv::EncodeJournalHeader(j.header);
  for (size_t i = 0; i < j.entries.size(); ++i)
    again += qv::EncodeJournalEntry(static_cast<uint32_t>(i), j.entries[i]);
  if (again.size() + j.droppedBytes != size || bytes.substr(0, again.size()) != again)
    __builtin_trap();

  qv::CMeasureData run;
  qv::BuildRecoveredRecord(j, run);
  if (run.Points().size() != j.entries.size()) __builtin_trap();
  const std::string file = qv::DataFileBytes(run, {}, qv::DataFileForm::kFull);
  qv::ArchiveReader ar(file.data(), file.size());
  qv::CMeasureData read;
  qv::RecordList list;
  if (!qv::ReadDataFile(ar, read, list, {}).ok()) __builtin_trap();
  if (read.Points().size() != run.Points().size() || !list.empty()) __builtin_trap();
  return 0;
}
