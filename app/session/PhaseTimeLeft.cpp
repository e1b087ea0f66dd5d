#include "session/PhaseTimeLeft.h"

#include <chrono>
#include <cmath>
#include <utility>

namespace {

// Before these, the pace is not known well enough to foretell anything.
constexpr qint64 kSettleMilliseconds = 3000;
constexpr double kSettlePercent = 5;
// An estimate below this is not worth reading.
constexpr qint64 kShortestShownMilliseconds = 5000;

}  // namespace

PhaseTimeLeft::PhaseTimeLeft(Clock clock) : clock_(std::move(clock)) {}

qint64 PhaseTimeLeft::SteadyMilliseconds() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

void PhaseTimeLeft::start(double percent) {
  running_ = true;
  startTime_ = clock_();
  startPercent_ = percent;
  lastPercent_ = percent;
  latest_.reset();
  shown_.reset();
}

void PhaseTimeLeft::stop() {
  running_ = false;
  latest_.reset();
  shown_.reset();
}

void PhaseTimeLeft::record(double percent) {
  if (!running_ || percent < lastPercent_) {
    start(percent);
    return;
  }
  lastPercent_ = percent;
  const qint64 elapsed = clock_() - startTime_;
  const double done = percent - startPercent_;
  if (elapsed < kSettleMilliseconds || percent < kSettlePercent || done <= 0) {
    return;
  }
  const auto estimate = static_cast<qint64>(std::llround(elapsed / done * (100 - percent)));
  // Shown only once it falls, and from then on never higher than what is shown.
  if (latest_ && estimate < *latest_ && (!shown_ || estimate < *shown_)) {
    shown_ = estimate;
  }
  latest_ = estimate;
}

std::optional<qint64> PhaseTimeLeft::secondsLeft() const {
  if (!running_ || !shown_ || *shown_ < kShortestShownMilliseconds) {
    return std::nullopt;
  }
  return (*shown_ + 500) / 1000;
}
