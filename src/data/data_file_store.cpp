#include "data/data_file_store.h"

#include <unistd.h>

#include <algorithm>

#include "core/safe_file.h"
#include "data/archive.h"
#include "data/codec.h"

namespace qv {
namespace {

StoreResult Result(StoreStatus status, std::string message = {}) {
  return {status, std::move(message)};
}

struct Listed {
  int64_t key;
  std::string dateTime;
  const CMeasureData* record;
};

// The records of `records` in the query's range, ordered by ID key, then
// date-time text, then list order.
std::vector<Listed> InRange(const RecordList& records, const RecordQuery& query) {
  std::vector<Listed> chosen;
  for (const auto& r : records) {
    const RegistrationId id = r->Id();
    if (!id.IsSet()) continue;
    const int64_t key = id.Key();
    if (key < query.fromKey || key > query.toKey) continue;
    chosen.push_back({key, r->GetDateTimeText(), r.get()});
  }
  std::stable_sort(chosen.begin(), chosen.end(), [](const Listed& a, const Listed& b) {
    return a.key != b.key ? a.key < b.key : a.dateTime < b.dateTime;
  });
  return chosen;
}

void ListRecords(const RecordList& records, const RecordQuery& query,
                 std::vector<RecordSummary>& out) {
  out.clear();
  const std::vector<Listed> chosen = InRange(records, query);
  for (size_t i = 0; i < chosen.size(); ++i) {
    if (query.newestPerId) {
      // Within one ID the newest date-time comes last; the first of the
      // newest ones is the ID's record.
      size_t end = i;
      while (end + 1 < chosen.size() && chosen[end + 1].key == chosen[i].key)
        ++end;
      size_t first = end;
      while (first > i && chosen[first - 1].dateTime == chosen[end].dateTime)
        --first;
      out.push_back(SummaryOf(*chosen[first].record));
      i = end;
    } else {
      out.push_back(SummaryOf(*chosen[i].record));
    }
  }
}

bool Names(const CMeasureData& r, const RecordIdentity& identity) {
  return r.Id() == identity.id && r.GetDateTimeText() == identity.dateTime;
}

StoreResult LoadRecord(const RecordList& records, const RecordIdentity& identity,
                       CMeasureData& out) {
  for (const auto& r : records) {
    if (Names(*r, identity)) {
      out = *r;
      return {};
    }
  }
  return Result(StoreStatus::kNotFound);
}

}  // namespace

StoreResult CRecordListSource::List(const RecordQuery& query,
                                    std::vector<RecordSummary>& out) const {
  ListRecords(records_, query, out);
  return {};
}

StoreResult CRecordListSource::Load(const RecordIdentity& identity, CMeasureData& out) const {
  return LoadRecord(records_, identity, out);
}

// ---------------------------------------------------------------------------

std::unique_ptr<CDataFileStore> CDataFileStore::Open(const std::string& path,
                                                     const Avg3Range& range, StoreResult& result) {
  const int fd = OpenRegularFile(path);
  if (fd < 0) {
    result = Result(StoreStatus::kFailed, Sj("データファイルが開けません。"));
    return nullptr;
  }
  std::unique_ptr<CDataFileStore> store(new CDataFileStore());
  store->path_ = path;
  ArchiveReader ar(fd);
  const DataFileReadResult read = ReadDataFile(ar, store->current_, store->records_, range);
  ::close(fd);
  if (!read.ok()) {
    result = Result(StoreStatus::kFailed, read.error);
    return nullptr;
  }
  result = {};
  return store;
}

CDataFileStore::~CDataFileStore() = default;

StoreResult CDataFileStore::List(const RecordQuery& query, std::vector<RecordSummary>& out) const {
  ListRecords(records_, query, out);
  return {};
}

StoreResult CDataFileStore::Load(const RecordIdentity& identity, CMeasureData& out) const {
  return LoadRecord(records_, identity, out);
}

StoreResult CDataFileStore::Begin() {
  if (before_) return Result(StoreStatus::kInTransaction);
  before_.emplace();
  before_->reserve(records_.size());
  for (const auto& r : records_)
    before_->push_back(std::make_unique<CMeasureData>(*r));
  return {};
}

StoreResult CDataFileStore::Put(const CMeasureData& record) {
  if (!before_) return Result(StoreStatus::kNoTransaction);
  if (!record.Id().IsValid()) return Result(StoreStatus::kRefused, IdRefusalText());
  const RecordIdentity identity{record.Id(), record.GetDateTimeText()};
  for (auto& r : records_) {
    if (Names(*r, identity)) {
      *r = record;
      return {};
    }
  }
  const std::string key = record.GetIdText() + identity.dateTime;
  auto pos = std::find_if(records_.begin(), records_.end(), [&key](const auto& r) {
    return r->GetIdText() + r->GetDateTimeText() > key;
  });
  records_.insert(pos, std::make_unique<CMeasureData>(record));
  return {};
}

StoreResult CDataFileStore::Remove(const RecordIdentity& identity) {
  if (!before_) return Result(StoreStatus::kNoTransaction);
  const size_t before = records_.size();
  std::erase_if(records_, [&identity](const auto& r) { return Names(*r, identity); });
  return records_.size() == before ? Result(StoreStatus::kNotFound) : StoreResult{};
}

StoreResult CDataFileStore::Commit() {
  if (!before_) return Result(StoreStatus::kNoTransaction);
  const SafeWriteResult written =
      SaveDataFileAtomically(path_, current_, records_, DataFileForm::kFull);
  if (!written.ok) {
    Rollback();
    return Result(StoreStatus::kFailed, Sj("データファイルが保存できませんでした。"));
  }
  before_.reset();
  return {};
}

void CDataFileStore::Rollback() {
  if (!before_) return;
  records_ = std::move(*before_);
  before_.reset();
}

}  // namespace qv
