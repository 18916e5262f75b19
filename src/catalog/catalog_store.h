// The catalogue as a record store (data/record_store.h): matching, printing
// and any other reader of records reads the catalogue through it, and
// writers put records into it in transactions.
//
// A store may look at only some cells: those a CellQuery chooses (a place,
// a filter over each cell's newest test, an ID range). List gives the records
// of those cells; Load finds any record of the catalogue. Records Put are
// recorded with the origin given at construction. One thread at a time.
#pragma once

#include <string>

#include "catalog/catalog.h"
#include "data/record_store.h"

namespace qv::catalog {

class CatalogRecordStore final : public IRecordStore {
 public:
  // Over `catalog`, which must outlive the store. `range` is the average
  // voltage 3 range records are read with.
  CatalogRecordStore(Catalog& catalog, const Avg3Range& range, std::string originPath = {},
                     std::string station = {});
  ~CatalogRecordStore() override;

  // The cells List looks at (every cell by default).
  void Limit(const CellQuery& cells) { cells_ = cells; }

  StoreResult List(const RecordQuery& query, std::vector<qv::RecordSummary>& out) const override;
  StoreResult Load(const RecordIdentity& identity, CMeasureData& out) const override;

  StoreResult Begin() override;
  StoreResult Put(const CMeasureData& record) override;
  StoreResult Remove(const RecordIdentity& identity) override;
  StoreResult Commit() override;
  void Rollback() override;

 private:
  StoreResult Failed() const;

  Catalog& cat_;
  Avg3Range range_;
  std::string path_, station_;
  CellQuery cells_;
  bool open_ = false;
};

// The store's summary of a catalogue record.
qv::RecordSummary StoreSummaryOf(const RecordSummary& r);

}  // namespace qv::catalog
