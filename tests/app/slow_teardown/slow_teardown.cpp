// Preloaded into the program by a shutdown test: its teardown at exit takes
// two seconds, as a desktop service that answers slowly can make a library's.
#include <chrono>
#include <thread>

namespace {

struct SlowTeardown {
  SlowTeardown() = default;
  SlowTeardown(const SlowTeardown&) = delete;
  SlowTeardown& operator=(const SlowTeardown&) = delete;
  ~SlowTeardown() { std::this_thread::sleep_for(std::chrono::seconds(2)); }
};

const SlowTeardown slow;

}  // namespace
