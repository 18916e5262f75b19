// A station and its catalogue: where the catalogue is (a SQLite file, or a
// PostgreSQL server that several stations share), the name this station's
// records carry, and, for a server, the records that wait in the station's
// offline queue until it can be reached.
//
// Messages are CP932, as everywhere in the core. Nothing here asks the user
// anything; callers tell what the results say.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "core/settings_store.h"

namespace qv::catalog {

// Where a working folder's catalogue is and who the station is.
struct CatalogTarget {
  std::string location;   // the file (absolute, or relative to the working
                          // folder as given) or the server's connection string
  bool server = false;    // a PostgreSQL server
  std::string station;    // CATALOG_STATION, else the host name
  std::string queuePath;  // the offline queue beside Dis.ini
};

// The catalogue `given` names (a --catalog option; empty: none), else the
// one the CATALOG key names, else the default file beside Dis.ini.
CatalogTarget TargetOf(const CSettingsStore& settings, const std::string& given = "");

// The location as it may be shown: the file's path, or the server without
// any password (host, port, database).
std::string TargetText(const CatalogTarget& t);

// Opens the catalogue. A file is created (and its schema made or upgraded)
// as Catalog::Open does. A server is connected to within the connect
// time-out and must hold the latest schema, which only `catalog init` makes
// or upgrades there (several stations share it: none upgrades it behind the
// others' backs). nullptr with the reason in `message`.
std::unique_ptr<Catalog> OpenTarget(const CatalogTarget& t, std::string* message);

// `quorvex-cli catalog init`: creates the catalogue or upgrades its schema;
// on a server also the change notices that catalogue windows listen to.
// nullptr with the reason in `message`.
std::unique_ptr<Catalog> InitTarget(const CatalogTarget& t, std::string* message);

// What sending the queue did.
struct SyncOutcome {
  bool reached = false;  // the server could be opened
  int sent = 0;          // data files the server took
  ImportCounts counts;   // their records
  int64_t waiting = 0;   // data files still waiting (-1: the queue cannot be read)
  bool busy = false;     // another program of this folder is sending them
  std::string message;   // why something still waits; empty when nothing does
};

// Sends what waits in the station's queue for the server of `t` through
// `cat` (opened on that server), oldest first; stops at the first failure.
// A file (not a server) target has no queue: nothing is sent.
SyncOutcome SendQueued(const CatalogTarget& t, Catalog& cat);
// Opens the server and sends (`catalog sync`).
SyncOutcome Sync(const CatalogTarget& t);

// Data files waiting in the queue for the server of `t`; 0 for a file
// target, -1 when the queue cannot be read.
int64_t WaitingCount(const CatalogTarget& t);

// What became of the registered records of a data file just saved.
struct SaveOutcome {
  enum Kind {
    kStored,  // in the catalogue
    kQueued,  // in the offline queue, for the server could not take them
    kFailed,  // neither: the catalogue and the queue both failed (message)
  };
  Kind kind = kFailed;
  ImportCounts counts;  // of the records stored
  int64_t waiting = 0;  // data files waiting afterwards
  std::string message;  // why they were queued or not stored
};

// Files the registered records of the data file saved at `path` into the
// catalogue of `t` (their bytes as the file holds them, average voltage 3
// over `range`). For a server: what waits in the queue goes first; when the
// server cannot be reached (within the connect time-out) or fails, or older
// files still wait, the records join the end of the queue instead, so that
// they reach the server in the order they were saved.
SaveOutcome CatalogSavedRecords(const CatalogTarget& t,
                                const std::vector<const CMeasureData*>& records,
                                const std::string& path, const Avg3Range& range);
// The same for the data file just saved at `path`, read whole first (its
// bytes are what waits in the queue). A file that cannot be read is kFailed.
SaveOutcome CatalogSavedFile(const CatalogTarget& t, const std::string& path,
                             const Avg3Range& range);

}  // namespace qv::catalog
