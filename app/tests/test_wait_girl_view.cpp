// The waiting animation's pictures: the run-length frames decoded, the colours of the levels, and
// each frame drawn in sharp whole-pixel squares at any screen scale.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "widgets/WaitGirlView.h"
#include "widgets/wait_girl_frames.h"

namespace {

constexpr int kWidth = WaitGirlView::kDesignWidth;
constexpr int kHeight = WaitGirlView::kDesignHeight;

// A frame record with the given size followed by exactly these run bytes, so that a read past
// the runs shows up under the address sanitizer.
std::vector<std::uint8_t> Record(int width, int height, std::vector<std::uint8_t> runs) {
  // Built in place (not by inserting into a 4-byte vector, which GCC 12 at -O2 misreads as an
  // out-of-bounds copy).
  std::vector<std::uint8_t> record(4 + runs.size());
  record[0] = static_cast<std::uint8_t>(width & 0xFF);
  record[1] = static_cast<std::uint8_t>(width >> 8);
  record[2] = static_cast<std::uint8_t>(height & 0xFF);
  record[3] = static_cast<std::uint8_t>(height >> 8);
  std::copy(runs.begin(), runs.end(), record.begin() + 4);
  return record;
}

// The level (0 to 15) a decoded pixel shows, or -1 for a colour that is no level.
int LevelAt(const QImage& image, int x, int y) {
  const QRgb pixel = image.pixel(x, y);
  for (int level = 0; level < 16; ++level) {
    if (WaitGirlLevelColor(level) == pixel)
      return level;
  }
  return -1;
}

std::vector<int> Levels(const QImage& image) {
  std::vector<int> levels;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      levels.push_back(LevelAt(image, x, y));
  }
  return levels;
}

std::vector<int> Repeat(int level, int count) {
  return std::vector<int>(count, level);
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct DecodeCase {
  const char* name;
  int width;
  int height;
  std::vector<std::uint8_t> runs;
  std::vector<int> levels;
};

class Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decoding, ProducesTheLevelsOfTheRuns) {
  const DecodeCase& c = GetParam();
  const std::vector<std::uint8_t> record = Record(c.width, c.height, c.runs);
  const QImage image = DecodeWaitGirlFrame(record.data());
  ASSERT_EQ(image.size(), QSize(c.width, c.height));
  EXPECT_EQ(Levels(image), c.levels);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Runs, Decoding,
    ::testing::Values(
        DecodeCase{"LongRunOfLengthZeroWritesNothingAndTakesTwoBytes",
                   2, 1, {0x80, 0x0F, 0x10}, {0, 0}},
        DecodeCase{"ShortRun7FIsEightPixelsOfLevel15",
                   9, 1, {0x7F, 0x00}, Concat(Repeat(15, 8), {0})},
        DecodeCase{"LongRunFF0FIs127PixelsOfLevel15",
                   128, 1, {0xFF, 0x0F, 0x00}, Concat(Repeat(15, 127), {0})},
        DecodeCase{"LongRunIgnoresTheHighBitsOfItsLevelByte", 3, 1, {0x83, 0xF5}, {5, 5, 5}},
        DecodeCase{"RunsContinueAcrossRowEnds", 3, 2, {0x47, 0x02}, {7, 7, 7, 7, 7, 2}},
        DecodeCase{"RunPastTheLastPixelIsCutAndEndsDecoding", 2, 2, {0x7F}, {15, 15, 15, 15}},
        DecodeCase{"LongRunPastTheLastPixelIsCut", 5, 1, {0x90, 0x13}, Repeat(3, 5)}),
    [](const ::testing::TestParamInfo<DecodeCase>& test) { return test.param.name; });
// clang-format on

TEST(Decoding, EmptyFrameGivesAnEmptyImage) {
  const std::vector<std::uint8_t> record = Record(0, 5, {});
  EXPECT_TRUE(DecodeWaitGirlFrame(record.data()).isNull());
}

// A record of known size is read no further than its end, whatever its runs claim; what no run
// reached stays zero.
TEST(Decoding, RecordOfKnownSizeStopsAtItsEnd) {
  const std::vector<std::uint8_t> record = {4, 0, 2, 0, 0x1F, 0x80, 0x80, 0x85};
  const QImage image = DecodeWaitGirlFrame(record.data(), record.size());
  ASSERT_EQ(image.size(), QSize(4, 2));
  EXPECT_EQ(image.pixel(0, 0), WaitGirlLevelColor(15));
  EXPECT_EQ(image.pixel(1, 0), WaitGirlLevelColor(15));
  EXPECT_EQ(image.constBits()[4 * 2], 0);  // pixel 2 untouched
  EXPECT_EQ(image.constBits()[4 * 2 + 3], 0);
  EXPECT_TRUE(DecodeWaitGirlFrame(record.data(), 3).isNull());
}

TEST(Decoding, WritesOpaqueRgbxPixels) {
  const std::vector<std::uint8_t> record = Record(1, 1, {0x00});
  const QImage image = DecodeWaitGirlFrame(record.data());
  ASSERT_EQ(image.format(), QImage::Format_RGBX8888);
  const uchar* pixel = image.constScanLine(0);
  EXPECT_EQ(pixel[0], 18);
  EXPECT_EQ(pixel[1], 33);
  EXPECT_EQ(pixel[2], 56);
  EXPECT_EQ(pixel[3], 255);
  EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
}

struct LevelColor {
  int level;
  int r, g, b;
};

class LevelColors : public ::testing::TestWithParam<LevelColor> {};

TEST_P(LevelColors, RunFromDarkInkToThePanelsLightColour) {
  const LevelColor& c = GetParam();
  EXPECT_EQ(WaitGirlLevelColor(c.level), qRgb(c.r, c.g, c.b));
}

INSTANTIATE_TEST_SUITE_P(
    AllSixteen, LevelColors,
    ::testing::Values(LevelColor{0, 18, 33, 56}, LevelColor{1, 31, 46, 68},
                      LevelColor{2, 44, 59, 80}, LevelColor{3, 57, 72, 92},
                      LevelColor{4, 70, 86, 104}, LevelColor{5, 82, 99, 116},
                      LevelColor{6, 95, 112, 129}, LevelColor{7, 108, 125, 141},
                      LevelColor{8, 121, 138, 153}, LevelColor{9, 134, 151, 165},
                      LevelColor{10, 147, 164, 177}, LevelColor{11, 160, 177, 189},
                      LevelColor{12, 173, 190, 201}, LevelColor{13, 186, 203, 213},
                      LevelColor{14, 199, 216, 225}, LevelColor{15, 212, 230, 237}));

// Dark pixels in the rows [top, bottom) of a frame.
int InkIn(const QImage& frame, int top, int bottom) {
  int ink = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < frame.width(); ++x)
      ink += LevelAt(frame, x, y) == 0 ? 1 : 0;
  }
  return ink;
}

TEST(Frames, AreSixPicturesOfTheDesignSizeInInkAndPaperOnly) {
  const WaitGirlView view;
  ASSERT_EQ(view.frames().size(), 6);
  for (const QImage& frame : view.frames()) {
    ASSERT_EQ(frame.size(), QSize(kWidth, kHeight));
    for (int level : Levels(frame))
      ASSERT_TRUE(level == 0 || level == 15) << level;
  }
}

TEST(Frames, BubbleBuildsUpFromTheIdlePictureToTheWholeRequest) {
  const WaitGirlView view;
  const auto& frames = view.frames();
  for (int i = 1; i <= WaitGirlView::kStillFrame; ++i) {
    EXPECT_GT(InkIn(frames[i], 0, kHeight / 2), InkIn(frames[i - 1], 0, kHeight / 2)) << i;
  }
}

TEST(Frames, LastTwoDifferOnlyByALowFoot) {
  const WaitGirlView view;
  const QImage& down = view.frames()[4];
  const QImage& up = view.frames()[5];
  int differing = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (down.pixel(x, y) == up.pixel(x, y))
        continue;
      ++differing;
      EXPECT_GE(y, kHeight * 3 / 4) << "at " << x << ", " << y;
    }
  }
  EXPECT_GT(differing, 0);
  EXPECT_LT(differing, 40);
}

struct Placement {
  QSize bounds;
  int scale;
  QRect image;
};

class DrawingPlacement : public ::testing::TestWithParam<Placement> {};

TEST_P(DrawingPlacement, UsesTheLargestWholeScaleThatFitsCentred) {
  const Placement& p = GetParam();
  const QRect bounds(QPoint(0, 0), p.bounds);
  EXPECT_EQ(WaitGirlView::scaleForBounds(bounds), p.scale);
  EXPECT_EQ(WaitGirlView::imageRectForBounds(bounds), p.image);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DrawingPlacement,
    ::testing::Values(Placement{{260, 184}, 2, {24, 16, 212, 152}},
                      Placement{{358, 248}, 3, {20, 10, 318, 228}},
                      Placement{{100, 60}, 1, {-3, -8, 106, 76}},
                      Placement{{10, 10}, 1, {-48, -33, 106, 76}},
                      // Odd centres round towards the left and the bottom edge.
                      Placement{{261, 185}, 2, {24, 17, 212, 152}}));

QImage Render(WaitGirlView& view) {
  QImage shot(view.size(), QImage::Format_ARGB32);
  shot.fill(Qt::transparent);
  // Only what the view paints itself, not the window background behind it.
  view.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
  return shot;
}

struct SharpCase {
  qreal devicePixelRatio;
  int scale;       // device pixels per picture pixel
  QPoint topLeft;  // of the picture, in device pixels
};

class SharpSquares : public ::testing::TestWithParam<SharpCase> {};

// Every picture pixel is a square of the same whole number of device pixels, also on screens
// scaled by 1.25 or 1.5, where a whole number of logical pixels would not be.
TEST_P(SharpSquares, ShowTheFrameOnTheRoundedPanel) {
  const SharpCase& c = GetParam();
  WaitGirlView view;
  view.resize(260, 184);
  QImage shot(view.size() * c.devicePixelRatio, QImage::Format_ARGB32);
  shot.setDevicePixelRatio(c.devicePixelRatio);
  shot.fill(Qt::transparent);
  view.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
  const QImage& idle = view.frames()[0];

  const auto at = [&](qreal x, qreal y) {
    return shot.pixel(int(x * c.devicePixelRatio), int(y * c.devicePixelRatio));
  };
  EXPECT_EQ(at(4, 92), qRgb(23, 26, 31)) << "dark frame";
  EXPECT_EQ(at(14, 92), qRgb(212, 230, 237)) << "light inner panel";
  EXPECT_EQ(qAlpha(shot.pixel(0, 0)), 0) << "corner outside the rounded frame stays unpainted";

  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const QRgb source = idle.pixel(x, y);
      for (int dy = 0; dy < c.scale; ++dy) {
        for (int dx = 0; dx < c.scale; ++dx) {
          ASSERT_EQ(shot.pixel(c.topLeft.x() + c.scale * x + dx, c.topLeft.y() + c.scale * y + dy),
                    source)
              << x << ", " << y;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Drawing, SharpSquares,
                         ::testing::Values(SharpCase{1.0, 2, {24, 16}},
                                           SharpCase{1.25, 2, {56, 39}},
                                           SharpCase{1.5, 3, {36, 24}},
                                           SharpCase{2.0, 4, {48, 32}}));

TEST(Drawing, ShowsTheFrameThatWasAskedFor) {
  WaitGirlView view;
  view.resize(260, 184);
  view.showFrame(4);
  const QImage still = Render(view).copy(24, 16, 212, 152);
  EXPECT_EQ(still.convertToFormat(QImage::Format_RGB32),
            view.frames()[4].scaled(212, 152).convertToFormat(QImage::Format_RGB32));
}

}  // namespace
