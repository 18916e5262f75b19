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
  // Waits until every file handed over so far is done (for tests and the end).
  void WaitIdle();

 private:
  struct Job {
    std::string catalogPath, path, station;
    Avg3Range range;
  };
  void Work();
  void Run(const Job& job);

  std::function<void(const std::string&)> notice_;
  std::mutex mu_;
  std::condition_variable wake_, idle_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  bool stop_ = false;
  bool told_ = false;
  std::thread worker_;
};

}  // namespace qv::catalog
