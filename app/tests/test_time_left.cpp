// The time left of the erase and of the write: estimated from the run's own pace, shown only
// when it means something, and told in words.

#include <gtest/gtest.h>

#include <array>

#include "desktop/TimeLeftText.h"
#include "session/PhaseTimeLeft.h"
#include "test_support.h"

namespace {

// What is shown after these progress records (milliseconds since the phase began, percent).
std::optional<qint64> ShownAfter(const std::vector<std::pair<qint64, double>>& records) {
  qint64 now = 0;
  PhaseTimeLeft timeLeft([&now] { return now; });
  timeLeft.start();
  for (const auto& [time, percent] : records) {
    now = time;
    timeLeft.record(percent);
  }
  return timeLeft.secondsLeft();
}

TEST(PhaseTimeLeft, AtHalfOfASteadyPhaseIsWithinAFifthOfTheRealRemainder) {
  // Recorded from the simulated sampler (erase_ms=500,byte_ns=15000, a 2 MiB image), in ms from
  // the erase's and the write's line: every fourth of the first 32 of 64 records, then the last.
  using Times = std::array<qint64, 9>;
  for (const Times& times : {Times{2516, 4520, 6520, 8521, 10521, 12522, 14522, 16523, 32039},
                             Times{2459, 4428, 6395, 8365, 10331, 12301, 14267, 16234, 31486}}) {
    std::vector<std::pair<qint64, double>> records;
    for (int i = 0; i < 8; ++i) {
      records.emplace_back(times[i], (i + 1) * 400 / 64);  // the percentage as the tool prints it
    }
    const double real = (times[8] - times[7]) / 1e3;
    EXPECT_NEAR(double(ShownAfter(records).value_or(0)), real, real * 0.2);
  }
}

TEST(PhaseTimeLeft, ShowsAFallingEstimateOnlyOnceThePhaseHasSettled) {
  EXPECT_EQ(ShownAfter({{1000, 10}, {2900, 29}}), std::nullopt);     // before three seconds
  EXPECT_EQ(ShownAfter({{10000, 2}, {20000, 4}}), std::nullopt);     // under 5 %
  EXPECT_EQ(ShownAfter({{4000, 10}}), std::nullopt);                 // the first estimate
  EXPECT_EQ(ShownAfter({{4000, 10}, {8000, 20}}), 32);               // falling
  EXPECT_EQ(ShownAfter({{4000, 10}, {8000, 20}, {20000, 25}}), 32);  // rising again
  EXPECT_EQ(ShownAfter({{4000, 10}, {8000, 20}, {38000, 90}}), std::nullopt);  // under 5 s
  EXPECT_EQ(ShownAfter({{4000, 10}, {8000, 20}, {9000, 5}}), std::nullopt);    // going back
}

TEST(TimeLeftText, NamesThePhaseAndCountsMinutesInTheirPluralForm) {
  using Case = std::tuple<int, TimedPhase, qint64, const char*>;
  for (const auto& [language, phase, seconds, text] :
       {Case{0, TimedPhase::Erase, 59, "Less than one minute left to erase"},
        Case{0, TimedPhase::Write, 89, "About 1 minute left to write"},
        Case{0, TimedPhase::Erase, 150, "About 3 minutes left to erase"},
        Case{1, TimedPhase::Erase, 1260, "До конца стирания примерно 21 минута"},
        Case{1, TimedPhase::Write, 240, "До конца записи примерно 4 минуты"},
        Case{1, TimedPhase::Write, 1320, "До конца записи примерно 22 минуты"},
        Case{1, TimedPhase::Write, 720, "До конца записи примерно 12 минут"}}) {
    const LanguageScope scope(language);
    EXPECT_EQ(TimeLeftText(phase, seconds), QString::fromUtf8(text));
  }
}

}  // namespace
