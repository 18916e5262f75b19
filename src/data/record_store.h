// A store of registered records: a data file, a catalogue database or a list
// in memory, behind one interface.
//
// A record is known by its identity: its registration ID and its date-time
// text. Readers list record summaries (what the data view shows of a record:
// ID, date-time, results, inputs, remark) by ID range, every record or the
// newest of each ID, and load a record whole (with its points) only when they
// need the points. Writers change records inside a transaction: every change
// of a transaction is kept together, or none is.
//
// Nothing here knows how a store keeps its records (no file offsets, row
// numbers or pointers): a summary names its record only by identity. A store
// object is used from one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/conditions.h"
#include "data/measure_data.h"
#include "data/registration_id.h"

namespace qv {

// The record's identity. Two records of one identity are the same test as far
// as a store is concerned.
struct RecordIdentity {
  RegistrationId id;
  std::string dateTime;  // CMeasureData::GetDateTimeText(), "yyyy/mm/dd hh:mm:ss"

  bool operator==(const RecordIdentity&) const = default;
};

// The results of a record, unrounded, as computed from its fields and its
// last point (0 for a record without points).
struct RecordResults {
  int32_t dischargeTime = 0;        // s, the last point's time
  double capacity = 0.0;            // mAh, the last point's
  double energy = 0.0;              // mWh, capacity x average voltage of the last point
  double avgVoltage1 = 0.0;         // V
  double avgVoltage2 = 0.0;         // V, the last point's average voltage
  double avgVoltage3 = 0.0;         // V
  double internalResistance = 0.0;  // mOhm
  double pir = 0.0;

  // Equal when every value is (a NaN never compares equal).
  bool operator==(const RecordResults&) const = default;
};

struct RecordSummary {
  RegistrationId id;
  std::string dateTime;  // as in RecordIdentity
  RecordResults results;
  InputConditions inputs;
  std::string remark;  // CP932 bytes

  RecordIdentity Identity() const { return {id, dateTime}; }
  bool operator==(const RecordSummary&) const = default;
};

// The results of a record and its summary: exactly the values a store's List
// gives for it.
RecordResults ResultsOf(const CMeasureData& record);
RecordSummary SummaryOf(const CMeasureData& record);

// Which summaries List gives.
struct RecordQuery {
  // The ID key range, both ends included (RegistrationId::Key); a reversed
  // range lists nothing. The default is every valid ID.
  int64_t fromKey = RegistrationId{1, 1, 1}.Key();
  int64_t toKey = RegistrationId{999, 999, 999}.Key();
  // Only the newest record of each ID: the one with the greatest date-time
  // text, the first in the store's order among equal ones.
  bool newestPerId = false;
};

enum class StoreStatus {
  kOk,
  kNotFound,       // no record of that identity
  kNoTransaction,  // a write, Commit without Begin
  kInTransaction,  // Begin while a transaction is open (there is no nesting)
  kRefused,        // a record the store cannot hold (an ID part outside 1 to 999)
  kFailed,         // the store could not be read or written (file, database, connection)
};

struct StoreResult {
  StoreStatus status = StoreStatus::kOk;
  // CP932 text for the user; empty on kOk. kRefused carries IdRefusalText().
  std::string message;

  bool ok() const { return status == StoreStatus::kOk; }
};

// Reading. Records whose ID has a part unset (negative) are never listed.
// A store may hold several records of one identity (a data file can): List
// gives each, Load the first in the store's order.
class IRecordSource {
 public:
  virtual ~IRecordSource() = default;

  // Replaces `out` by the summaries `query` chooses, ordered by ID key, then
  // date-time text, then the store's order. On failure `out` is empty and the
  // result says why.
  virtual StoreResult List(const RecordQuery& query, std::vector<RecordSummary>& out) const = 0;

  // Replaces `out` by the whole record of that identity, points included.
  // kNotFound (and `out` untouched) when the store holds none; on kFailed
  // `out` is untouched as well.
  virtual StoreResult Load(const RecordIdentity& identity, CMeasureData& out) const = 0;
};

// Reading and writing. Writes happen only inside a transaction:
//
//   Begin     opens one; kInTransaction when one is open already, kFailed
//             when the store cannot start one (nothing is open then).
//   Put       adds the record, or replaces the first record of its identity
//             (points and all). kRefused for an ID part outside 1 to 999.
//   Remove    removes every record of that identity; kNotFound when none.
//   Commit    keeps every change since Begin, durably and together. On
//             kFailed nothing of the transaction is kept: the store reads as
//             it did before Begin. The transaction is closed either way.
//   Rollback  drops every change since Begin and closes the transaction; it
//             cannot fail, and does nothing without a transaction.
//
// Put and Remove without a transaction give kNoTransaction and change
// nothing; a failed Put or Remove changes nothing and leaves the transaction
// open. Reads through the same store during a transaction see its changes;
// other readers of the same file or database see them only after Commit.
// A store destroyed with a transaction open rolls it back.
class IRecordStore : public IRecordSource {
 public:
  virtual StoreResult Begin() = 0;
  virtual StoreResult Put(const CMeasureData& record) = 0;
  virtual StoreResult Remove(const RecordIdentity& identity) = 0;
  virtual StoreResult Commit() = 0;
  virtual void Rollback() = 0;
};

}  // namespace qv
