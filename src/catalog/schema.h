// The catalogue's tables: created in a new database, migrated from an older
// schema version, refused in a foreign or newer one.
#pragma once

#include "catalog/db.h"

namespace qv::catalog {

// The schema version this program writes (catalog_meta.schema_version).
inline constexpr int kLatestSchema = 1;

enum class SchemaOutcome {
  kReady,    // the tables are there, at the latest version
  kForeign,  // the database holds other tables, or a meta table without a version
  kNewer,    // written by a newer program
  kFailed,   // a database failure (LastError says which)
};

struct SchemaResult {
  SchemaOutcome outcome = SchemaOutcome::kFailed;
  int version = 0;  // the version found
};

// Makes the database a catalogue of the latest schema: creates the tables in
// an empty one, applies the migrations after the version found in an older
// one, each whole or not at all under the write lock (a second program
// opening it at once waits and then finds the work done).
SchemaResult EnsureSchema(Database& db);

}  // namespace qv::catalog
