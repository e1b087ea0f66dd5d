#pragma once

#include <QtGlobal>
#include <functional>
#include <optional>

// The time left of one phase of an installation (the erase, or the write), estimated from this
// run's own pace: the time the phase has taken so far, divided by the share of it done, times the
// share left. The tool confirms each block and each chunk at a steady pace, so the pace so far
// foretells the rest; nothing is assumed about the sampler.
//
// An estimate is worth showing only once the phase has run a few seconds and done at least 5 %,
// and only once it falls: the first one is not shown, and a later one that is higher than the
// one shown leaves the shown one as it is. So the time left never jumps up. Under 5 seconds
// nothing is shown.
class PhaseTimeLeft {
 public:
  // A monotonic clock, in milliseconds.
  using Clock = std::function<qint64()>;

  explicit PhaseTimeLeft(Clock clock = SteadyMilliseconds);

  // A phase is at `percent` (0 to 100) now: the pace is measured from here, and what was known
  // of an earlier phase is forgotten.
  void start(double percent = 0);
  // The running phase has reached `percent`. A percentage lower than the last one starts the
  // phase again from there.
  void record(double percent);
  // No phase runs: nothing is shown until the next start.
  void stop();

  // The seconds left to show, or nothing.
  std::optional<qint64> secondsLeft() const;

  static qint64 SteadyMilliseconds();

 private:
  Clock clock_;
  bool running_ = false;
  qint64 startTime_ = 0;
  double startPercent_ = 0;
  double lastPercent_ = 0;
  std::optional<qint64> latest_;  // milliseconds, the last estimate, shown or not
  std::optional<qint64> shown_;   // milliseconds
};
