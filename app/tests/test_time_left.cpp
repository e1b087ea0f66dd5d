// The time left of the erase and of the write: estimated from the run's own pace, shown only
// when it means something, and told in words.

#include <gtest/gtest.h>

#include <vector>

#include "desktop/TimeLeftText.h"
#include "session/PhaseTimeLeft.h"
#include "test_support.h"

namespace {

struct RecordedPhase {
  const char* name;
  qint64 begins;               // the phase line, in milliseconds since the tool started
  std::vector<qint64> blocks;  // every fourth of its 64 records, as they arrived
};

// Recorded from the simulated sampler with erase_ms=150,byte_ns=5000 and a 2 MiB image.
const RecordedPhase kRecorded[] = {
    {"erase",
     6,
     {771, 1372, 1972, 2573, 3173, 3774, 4374, 4975, 5576, 6176, 6777, 7377, 7978, 8582, 9182,
      9632}},
    {"write",
     9632,
     {10453, 11109, 11765, 12421, 13077, 13734, 14390, 15046, 15716, 16371, 17027, 17683, 18339,
      18995, 19655, 20147}},
};

TEST(PhaseTimeLeft, AtHalfOfASteadyPhaseIsWithinAFifthOfTheRealRemainder) {
  for (const RecordedPhase& phase : kRecorded) {
    qint64 now = phase.begins;
    PhaseTimeLeft timeLeft([&now] { return now; });
    timeLeft.start();
    std::optional<qint64> lastShown;
    for (std::size_t i = 0; i < phase.blocks.size(); ++i) {
      now = phase.blocks[i];
      timeLeft.record((i + 1) * 4 * 100 / 64);  // the percentage as the tool prints it
      const std::optional<qint64> shown = timeLeft.secondsLeft();
      EXPECT_FALSE(lastShown && shown && *shown > *lastShown) << phase.name << " rose at " << now;
      lastShown = shown ? shown : lastShown;
      if (i + 1 == phase.blocks.size() / 2) {
        const double real = double(phase.blocks.back() - now);
        ASSERT_TRUE(timeLeft.latestEstimate()) << phase.name;
        EXPECT_NEAR(double(*timeLeft.latestEstimate()), real, real * 0.2) << phase.name;
      }
    }
  }
}

struct PaceCase {
  const char* name;
  std::vector<std::pair<qint64, double>> records;  // milliseconds since the start, percent
  std::optional<qint64> shown;
};

class Pace : public ::testing::TestWithParam<PaceCase> {};

TEST_P(Pace, ShowsAFallingEstimateOnlyOnceThePhaseHasSettled) {
  qint64 now = 0;
  PhaseTimeLeft timeLeft([&now] { return now; });
  timeLeft.start();
  for (const auto& [time, percent] : GetParam().records) {
    now = time;
    timeLeft.record(percent);
  }
  EXPECT_EQ(timeLeft.secondsLeft(), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Pace,
    ::testing::Values(PaceCase{"before three seconds", {{1000, 10}, {2900, 29}}, std::nullopt},
                      PaceCase{"under 5 percent", {{10000, 2}, {20000, 4}}, std::nullopt},
                      PaceCase{"first estimate", {{4000, 10}}, std::nullopt},
                      PaceCase{"falling", {{4000, 10}, {8000, 20}}, 32},
                      PaceCase{"rising again", {{4000, 10}, {8000, 20}, {20000, 25}}, 32},
                      PaceCase{
                          "under 5 seconds", {{4000, 10}, {8000, 20}, {38000, 90}}, std::nullopt},
                      PaceCase{"going back", {{4000, 10}, {8000, 20}, {9000, 5}}, std::nullopt}),
    [](const auto& test) {
      return QString::fromLatin1(test.param.name).remove(' ').toStdString();
    });

struct WordingCase {
  int language;
  TimedPhase phase;
  qint64 seconds;
  const char* text;
};

class Wording : public ::testing::TestWithParam<WordingCase> {};

TEST_P(Wording, NamesThePhaseAndCountsMinutesInTheirPluralForm) {
  const LanguageScope language(GetParam().language);
  EXPECT_EQ(TimeLeftText(GetParam().phase, GetParam().seconds), QString::fromUtf8(GetParam().text));
}

constexpr auto kErase = TimedPhase::Erase;
constexpr auto kWrite = TimedPhase::Write;

INSTANTIATE_TEST_SUITE_P(
    Buckets, Wording,
    ::testing::Values(WordingCase{0, kErase, 5, "Less than one minute left to erase"},
                      WordingCase{0, kWrite, 59, "Less than one minute left to write"},
                      WordingCase{0, kErase, 89, "About 1 minute left to erase"},
                      WordingCase{0, kWrite, 150, "About 3 minutes left to write"},
                      WordingCase{1, kErase, 30, "До конца стирания меньше минуты"},
                      WordingCase{1, kWrite, 60, "До конца записи примерно 1 минута"},
                      WordingCase{1, kErase, 240, "До конца стирания примерно 4 минуты"},
                      WordingCase{1, kWrite, 300, "До конца записи примерно 5 минут"},
                      WordingCase{1, kErase, 660, "До конца стирания примерно 11 минут"},
                      WordingCase{1, kWrite, 720, "До конца записи примерно 12 минут"},
                      WordingCase{1, kErase, 1260, "До конца стирания примерно 21 минута"},
                      WordingCase{1, kWrite, 1320, "До конца записи примерно 22 минуты"}));

}  // namespace
