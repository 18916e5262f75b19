// Keeps the catalogue up to date with the data files the program saves: each
// saved file is imported on a worker thread, so the save itself never waits
// for the catalogue. The first failure is told once (through the notice
// callback, on the worker thread); later ones are dropped silently, and the
// data files are never touched.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "catalog/station.h"
#include "core/conditions.h"

namespace qv::catalog {

class CatalogFeeder {
 public:
  // `notice` gets the CP932 text of the first failure.
  explicit CatalogFeeder(std::function<void(const std::string&)> notice);
  // Finishes the file being imported; files still waiting are left (the
  // next save or a catalog import takes them).
  ~CatalogFeeder();
  CatalogFeeder(const CatalogFeeder&) = delete;
  CatalogFeeder& operator=(const CatalogFeeder&) = delete;

  // The data file at `path` was saved: import it into the catalogue at
  // `catalogPath` (average voltage 3 over `range`, recorded with `station`).
  void FileSaved(const std::string& catalogPath, const std::string& path, const Avg3Range& range,
                 const std::string& station);
  // The same into the catalogue of `target`, a file or a server. For a
  // server, records it cannot take wait in the station's queue (no notice:
  // nothing is lost) and the number of files waiting goes to the waiting
  // callback after every save.
  void FileSaved(const CatalogTarget& target, const std::string& path, const Avg3Range& range);
  // `waiting` gets the number of files waiting for the server after each
  // save to one (on the worker thread).
  void OnWaiting(std::function<void(int64_t)> waiting);
  // Waits until every file handed over so far is done (for tests and the end).
  void WaitIdle();

 private:
  struct Job {
    CatalogTarget target;
    std::string path;
    Avg3Range range;
  };
  void Tell(const std::string& message);
  void Work();
  void Run(const Job& job);

  std::function<void(const std::string&)> notice_;
  std::function<void(int64_t)> waiting_;
  std::mutex mu_;
  std::condition_variable wake_, idle_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stop_ = false;
  bool told_ = false;
  std::thread worker_;
};

}  // namespace qv::catalog
