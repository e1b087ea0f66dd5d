// A request to stop an installation, set from anywhere (a signal handler included) and read by
// the protocol between two steps.
#pragma once

#include <atomic>

namespace vt {

class cancel_token {
 public:
  // Safe in a signal handler: one store to a lock-free atomic.
  void request() noexcept { requested_.store(true, std::memory_order_relaxed); }
  bool requested() const noexcept { return requested_.load(std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  std::atomic<bool> requested_{false};
};

}  // namespace vt
