// The data file as a record store (record_store.h).
//
// CRecordListSource reads the registered records of a list in memory: the
// document's registration list, or a data file read whole. CDataFileStore is
// a data file on disk: opened whole, read from memory, and written back whole
// and crash-safely when a transaction commits.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/conditions.h"
#include "data/data_file.h"
#include "data/record_store.h"

namespace qv {

// The records of `records` (held by reference: the list must outlive the
// source, and List and Load read it as it is when called). Never fails.
class CRecordListSource final : public IRecordSource {
 public:
  explicit CRecordListSource(const RecordList& records) : records_(records) {}

  StoreResult List(const RecordQuery& query, std::vector<RecordSummary>& out) const override;
  StoreResult Load(const RecordIdentity& identity, CMeasureData& out) const override;

 private:
  const RecordList& records_;
};

class CDataFileStore final : public IRecordStore {
 public:
  // Reads the data file at `path` whole, as ReadDataFile does with `range`.
  // Nothing, with `result` kFailed, when the file cannot be opened
  // ("データファイルが開けません。") or read (ReadDataFile's text); kOk otherwise.
  static std::unique_ptr<CDataFileStore> Open(const std::string& path, const Avg3Range& range,
                                              StoreResult& result);
  ~CDataFileStore() override;

  StoreResult List(const RecordQuery& query, std::vector<RecordSummary>& out) const override;
  StoreResult Load(const RecordIdentity& identity, CMeasureData& out) const override;

  // Put places a new record as the document places a registered one (after
  // the records of a lower or equal ID and date-time); a replaced record
  // keeps its place. Commit rewrites the whole file in the full form
  // (SaveDataFileAtomically: durable, and on failure the old file stays
  // whole), the current measurement as it was read (a file of an older
  // version is written as the current one); its failure text is
  // "データファイルが保存できませんでした。".
  StoreResult Begin() override;
  StoreResult Put(const CMeasureData& record) override;
  StoreResult Remove(const RecordIdentity& identity) override;
  StoreResult Commit() override;
  void Rollback() override;

  // The file's current measurement, as read.
  const CMeasureData& Current() const { return current_; }

 private:
  CDataFileStore() = default;

  std::string path_;
  CMeasureData current_;
  RecordList records_;
  std::optional<RecordList> before_;  // the records at Begin, while a transaction is open
};

}  // namespace qv
