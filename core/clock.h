// Where an installation's durations are measured: the computer's steady clock, or a simulated
// sampler's own time, so that its summary is the same on every run.
#pragma once

#include <chrono>

namespace vt {

class update_clock {
 public:
  virtual ~update_clock() = default;
  // Time since any fixed start; only differences are used.
  virtual std::chrono::nanoseconds now() const = 0;
};

// The computer's steady clock.
const update_clock& steady_update_clock();

}  // namespace vt
