#include "catalog/catalog_store.h"

#include "data/codec.h"

namespace qv::catalog {

qv::RecordSummary StoreSummaryOf(const RecordSummary& r) {
  qv::RecordSummary s;
  s.id = {static_cast<int32_t>(r.idKey / 1000000), static_cast<int32_t>(r.idKey / 1000 % 1000),
          static_cast<int32_t>(r.idKey % 1000)};
  s.dateTime = r.dateTime;
  s.results.dischargeTime = r.dischargeTime;
  s.results.capacity = r.capacity;
  s.results.energy = r.energy;
  s.results.avgVoltage1 = r.avg1;
  s.results.avgVoltage2 = r.avg2;
  s.results.avgVoltage3 = r.avg3;
  s.results.internalResistance = r.ir;
  s.results.pir = r.pir;
  s.inputs.cells = r.cells;
  s.inputs.endVoltage = r.endVoltage;
  s.inputs.currentA = r.currentA;
  s.inputs.currentB = r.currentB;
  s.inputs.currentC = r.currentC;
  s.inputs.v1Point = r.v1Point;
  s.remark = Utf8ToCp932(r.remark);
  return s;
}

CatalogRecordStore::CatalogRecordStore(Catalog& catalog, const Avg3Range& range,
                                       std::string originPath, std::string station)
    : cat_(catalog),
      range_(range),
      path_(std::move(originPath)),
      station_(station.empty() ? HostStation() : std::move(station)) {}

CatalogRecordStore::~CatalogRecordStore() {
  Rollback();
}

StoreResult CatalogRecordStore::Failed() const {
  return {StoreStatus::kFailed, cat_.LastMessage()};
}

StoreResult CatalogRecordStore::List(const RecordQuery& query,
                                     std::vector<qv::RecordSummary>& out) const {
  out.clear();
  CellQuery q = cells_;
  q.fromKey = static_cast<uint32_t>(std::max<int64_t>(query.fromKey, q.fromKey));
  q.toKey = static_cast<uint32_t>(std::min<int64_t>(query.toKey, q.toKey));
  if (query.fromKey > query.toKey || q.fromKey > q.toKey) return {};
  auto cells = cat_.Search(q);
  if (!cells) return Failed();
  for (const CellSummary& c : *cells) {
    if (query.newestPerId) {
      out.push_back(StoreSummaryOf(c.newest));
      continue;
    }
    for (const RecordSummary& r : cat_.History(c.idKey))
      out.push_back(StoreSummaryOf(r));
    if (!cat_.LastMessage().empty()) {
      out.clear();
      return Failed();
    }
  }
  return {};
}

StoreResult CatalogRecordStore::Load(const RecordIdentity& identity, CMeasureData& out) const {
  const std::optional<int64_t> row =
      cat_.FindRecord(static_cast<uint32_t>(identity.id.Key()), identity.dateTime);
  if (!row) return {StoreStatus::kNotFound, {}};
  CMeasureData read;
  if (!cat_.LoadRecord(*row, range_, read)) return Failed();
  out = std::move(read);
  return {};
}

StoreResult CatalogRecordStore::Begin() {
  if (open_) return {StoreStatus::kInTransaction, {}};
  if (cat_.db().Begin() != DbStatus::kOk)
    return {StoreStatus::kFailed, DbMessage(cat_.db().LastError())};
  open_ = true;
  return {};
}

StoreResult CatalogRecordStore::Put(const CMeasureData& record) {
  if (!open_) return {StoreStatus::kNoTransaction, {}};
  if (!record.Id().IsValid()) return {StoreStatus::kRefused, IdRefusalText()};
  if (!cat_.PutRecord(record, path_, station_, range_)) return Failed();
  return {};
}

StoreResult CatalogRecordStore::Remove(const RecordIdentity& identity) {
  if (!open_) return {StoreStatus::kNoTransaction, {}};
  bool found = false;
  if (!cat_.RemoveRecord(static_cast<uint32_t>(identity.id.Key()), identity.dateTime, &found))
    return Failed();
  return found ? StoreResult{} : StoreResult{StoreStatus::kNotFound, {}};
}

StoreResult CatalogRecordStore::Commit() {
  if (!open_) return {StoreStatus::kNoTransaction, {}};
  open_ = false;
  if (cat_.db().Commit() != DbStatus::kOk) {
    const std::string why = DbMessage(cat_.db().LastError());
    cat_.db().Rollback();
    return {StoreStatus::kFailed, why};
  }
  return {};
}

void CatalogRecordStore::Rollback() {
  if (!open_) return;
  open_ = false;
  cat_.db().Rollback();
}

}  // namespace qv::catalog
