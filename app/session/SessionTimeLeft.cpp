// The time left of the erase and of the write, from the pace of this run's progress records.

#include "session/Session.h"

std::optional<Session::TimeLeft> Session::timeLeft() const {
  if (!timedPhase_ || !shownSecondsLeft_) {
    return std::nullopt;
  }
  return TimeLeft{*timedPhase_, *shownSecondsLeft_};
}

void Session::timePhase(std::optional<TimedPhase> phase, double percent) {
  if (!phase) {
    phaseTimeLeft_.stop();
  } else if (phase != timedPhase_) {
    // A phase is timed from its first sign: its line, or else its first record.
    phaseTimeLeft_.start(percent);
  } else {
    phaseTimeLeft_.record(percent);
  }
  timedPhase_ = phase;
  const std::optional<qint64> seconds = phaseTimeLeft_.secondsLeft();
  if (seconds != shownSecondsLeft_) {
    shownSecondsLeft_ = seconds;
    emit timeLeftChanged();
  }
}
