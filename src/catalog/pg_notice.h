// Change notices of a catalogue on a PostgreSQL server: every transaction
// that adds or changes records or moves cells tells the listening catalogue
// windows (NOTIFY on the channel "quorvex_catalog", sent by the server at
// its commit), so a window sees other stations' records within moments and
// reads the table again only then, never polling it.
#pragma once

#include <memory>
#include <string>

#include "catalog/db.h"

namespace qv::catalog {

inline constexpr char kChangeChannel[] = "quorvex_catalog";

// Makes (or makes again) the triggers that send the notices, on the
// catalogue's tables of the server `db` is connected to. `catalog init` does
// it, once its schema is there. A failure returns its status (LastError).
DbStatus InstallChangeNotices(Database& db);

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
  bool Connected() const;

 private:
  struct Conn;
  explicit ChangeListener(std::unique_ptr<Conn> c);
  std::unique_ptr<Conn> c_;
};

}  // namespace qv::catalog
