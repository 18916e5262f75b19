// What the catalog sub-commands share: their options, opening the
// catalogue, the query of the common options.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "catalog/catalog.h"
#include "catalog/station.h"
#include "core/app_state.h"

namespace qv::cli {

// Exit codes of the catalog commands (3 is a malformed registration ID).
inline constexpr int kExitRefused = 1;  // a bad option or filter, a refused file or move
inline constexpr int kExitCatalog = 2;  // the catalogue cannot be opened or failed

struct CatalogArgs {
  std::string catalog;  // --catalog, empty: the working folder's
  // import
  std::vector<std::string> paths;
  std::string station;
  // search, match, export
  std::string where, from = "1-1-1", to = "999-999-999", since, state;
  bool json = false, csv = false;
  // history, assign, retire: IDs; assign, release: the pack
  std::vector<std::string> ids;
  std::string pack;
  // match
  std::string series, parallel = "1", by, timeLimit = "2", assign;
  bool byGiven = false;
  // export
  std::string out;
  bool newest = false;
};

// Shows the CP932 text on stderr and returns `code`.
int Say(const std::string& cp932, int code);

// Loads the working folder's settings into `app` and opens the catalogue
// (--catalog, else the CATALOG key or the default file; a file or a
// PostgreSQL server); nullptr after the message on stderr. On a server, what
// waits in the station's queue is sent first.
std::unique_ptr<catalog::Catalog> OpenCatalog(const CatalogArgs& a, CAppState& app);
// Loads the settings into `app`; the catalogue, the station and the queue.
catalog::CatalogTarget TargetOfArgs(const CatalogArgs& a, CAppState& app);

// The query of --where, --from/--to, --since and --state. False after the
// message, with the exit code in `code`, when one of them is malformed.
bool MakeQuery(const CatalogArgs& a, catalog::CellQuery& q, int& code);

std::string DumpJson(const nlohmann::ordered_json& j);

int CatalogMatch(const CatalogArgs& a);
int CatalogAssign(const CatalogArgs& a);
int CatalogRelease(const CatalogArgs& a);
int CatalogRetire(const CatalogArgs& a);
int CatalogExport(const CatalogArgs& a);
int CatalogInit(const CatalogArgs& a);
int CatalogStatus(const CatalogArgs& a);
int CatalogSync(const CatalogArgs& a);

}  // namespace qv::cli
