// Change notices of a catalogue on a PostgreSQL server: every transaction
// that adds or changes records or moves cells tells the listening catalogue
// windows, in one notice at its commit (NOTIFY on the channel
// "quorvex_catalog"), which cells it changed: their keys (id_key) in
// decimal, comma-separated, or "*" when they are too many for one notice
// (8000 bytes). So a window sees other stations' records within moments and
// reads only the cells named, never polling the table. A server whose
// notices were made by an older `catalog init` names a table instead: that
// means any cell.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "catalog/db.h"

namespace qv::catalog {

inline constexpr char kChangeChannel[] = "quorvex_catalog";

// Makes (or makes again) the triggers that send the notices, on the
// catalogue's tables of the server `db` is connected to. `catalog init` does
// it, once its schema is there. A failure returns its status (LastError).
DbStatus InstallChangeNotices(Database& db);

// What the notices since the last look named.
struct CatalogChanges {
  bool all = false;          // any cell may have changed: read them all
  std::set<uint32_t> cells;  // the cells changed (when not all)
  bool Any() const { return all || !cells.empty(); }
};

// Adds what one notice's payload names to `into`. Anything but a list of
// cell keys (a table's name, "*", a damaged list) means every cell.
void AddChangeNotice(std::string_view payload, CatalogChanges& into);

// A connection of its own that listens for the notices.
class ChangeListener {
 public:
  // Connects to the server `location` names (within the connect time-out)
  // and listens. nullptr with the reason in `error`.
  static std::unique_ptr<ChangeListener> Open(const std::string& location, DbError* error);
  ~ChangeListener();
  ChangeListener(const ChangeListener&) = delete;
  ChangeListener& operator=(const ChangeListener&) = delete;

  // The connection's socket, for a window's event loop to watch (readable:
  // call Poll). -1 once the connection is lost.
  int Socket() const;
  // Takes in what the server sent, without waiting: true when at least one
  // notice came since the last call. False also when the connection is lost
  // (Connected() then says so; open a new listener).
  bool Poll();
  // Waits up to `ms` milliseconds for a notice; true when one came.
  bool Wait(int ms);
  // The cells the notices taken in by Poll and Wait named, since the last
  // call; cleared by it.
  CatalogChanges TakeChanges();
  bool Connected() const;

 private:
  struct Conn;
  explicit ChangeListener(std::unique_ptr<Conn> c);
  std::unique_ptr<Conn> c_;
  CatalogChanges pending_;
};

}  // namespace qv::catalog
