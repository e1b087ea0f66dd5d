#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <algorithm>
#include <utility>

#include "widgets/PlainLabel.h"

namespace {

const QChar kEllipsis(0x2026);

struct LabelCase {
  const char* name;
  int maxLines;
  int width;
  const char* text;
  int lineCount;
  QStringList lines;  // empty: depends on the font, so only the count and the widths are checked
};

QString LongName() {
  return QStringLiteral("mpc4000-operating-system-version-one-point-seven-one-final-build.bin");
}

class PlainLabelLines : public ::testing::TestWithParam<LabelCase> {};

TEST_P(PlainLabelLines, FitTheLabelWidth) {
  const LabelCase& c = GetParam();
  PlainLabel label;
  label.setMaxLines(c.maxLines);
  label.resize(c.width, 40);
  label.setText(QString::fromUtf8(c.text));

  const QStringList lines = label.displayedLines();
  EXPECT_EQ(lines.size(), c.lineCount) << lines.join(QLatin1Char('|')).toStdString();
  if (!c.lines.isEmpty()) {
    EXPECT_EQ(lines, c.lines);
  }
  const QFontMetrics metrics(label.font());
  for (const QString& line : lines) {
    EXPECT_LE(metrics.horizontalAdvance(line), c.width) << line.toStdString();
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, PlainLabelLines,
    ::testing::Values(
        LabelCase{"ShortTextIsShownWhole", 1, 300, "Ready", 1, {"Ready"}},
        LabelCase{"EmptyTextShowsNothing", 2, 300, "", 0, {}},
        LabelCase{"LineBreaksOfAOneLineLabelBecomeSpaces", 1, 400, "Flash geometry:\n64 blocks", 1,
                  {"Flash geometry: 64 blocks"}},
        LabelCase{"ShortTextOfATwoLineLabelStaysOnOneLine", 2, 300, "MPC4000 connected", 1,
                  {"MPC4000 connected"}},
        LabelCase{"TwoLineLabelWrapsAtWords", 2, 150, "Connect the MPC4000 over USB", 2, {}}),
    [](const ::testing::TestParamInfo<LabelCase>& test) { return test.param.name; });
// clang-format on

TEST(PlainLabel, CutsAtTheTailByDefault) {
  PlainLabel label;
  label.resize(80, 20);
  label.setText(QStringLiteral("Check USB, OS Loader mode and the permission"));
  const QString shown = label.displayedLines().value(0);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Check"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(kEllipsis)) << shown.toStdString();
  EXPECT_EQ(label.text(), QStringLiteral("Check USB, OS Loader mode and the permission"));
}

TEST(PlainLabel, MiddleCutKeepsTheBeginningAndTheEndOfAFileName) {
  PlainLabel label;
  label.setElideMode(PlainLabel::Elide::Middle);
  label.resize(190, 20);
  label.setText(LongName() + QString::fromUtf8("  ·  1.5 MB"));
  const QString shown = label.displayedLines().value(0);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("mpc4000"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("1.5 MB"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(kEllipsis)) << shown.toStdString();
}

TEST(PlainLabel, SecondOfTwoWrappedLinesEndsInAnEllipsisWhenTextIsLeftOver) {
  PlainLabel label;
  label.setMaxLines(2);
  label.resize(120, 32);
  label.setText(QStringLiteral("Connect the MPC4000 over USB and switch it to OS Loader mode."));
  const QStringList lines = label.displayedLines();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Connect")));
  EXPECT_FALSE(lines[0].contains(kEllipsis));
  EXPECT_TRUE(lines[1].endsWith(kEllipsis)) << lines[1].toStdString();
}

TEST(PlainLabel, LongWordWithoutSpacesStillWrapsInsideTwoLines) {
  PlainLabel label;
  label.setMaxLines(2);
  label.resize(100, 32);
  label.setText(LongName());
  const QStringList lines = label.displayedLines();
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[1].endsWith(kEllipsis));
}

TEST(PlainLabel, MaxLinesStaysOneOrTwo) {
  PlainLabel label;
  label.setMaxLines(5);
  EXPECT_EQ(label.maxLines(), 2);
  label.setMaxLines(0);
  EXPECT_EQ(label.maxLines(), 1);
}

TEST(PlainLabel, TonesAreTheTextColourAtFallingStrength) {
  PlainLabel label;
  QPalette palette;
  palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
  label.setPalette(palette);

  EXPECT_EQ(label.textColor(), QColor(20, 20, 20)) << "primary by default";
  label.setTone(PlainLabel::Tone::Secondary);
  const QColor secondary = label.textColor();
  label.setTone(PlainLabel::Tone::Tertiary);
  const QColor tertiary = label.textColor();
  EXPECT_EQ(secondary.rgb(), QColor(20, 20, 20).rgb());
  EXPECT_LT(secondary.alpha(), 255);
  EXPECT_LT(tertiary.alpha(), secondary.alpha());
}

TEST(PlainLabel, ToneFollowsAPaletteChange) {
  PlainLabel label;
  label.setTone(PlainLabel::Tone::Secondary);
  QPalette dark;
  dark.setColor(QPalette::WindowText, Qt::white);
  label.setPalette(dark);
  EXPECT_EQ(label.textColor().rgb(), QColor(Qt::white).rgb());
}

// The leftmost and rightmost columns of a rendered label that hold any text pixel.
std::pair<int, int> InkColumns(PlainLabel& label) {
  QImage shot(label.size(), QImage::Format_ARGB32);
  shot.fill(Qt::transparent);
  label.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
  int left = shot.width();
  int right = -1;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      if (qAlpha(shot.pixel(x, y)) == 0)
        continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  return {left, right};
}

TEST(PlainLabel, RightAlignedTextStaysAtTheRightEdge) {
  PlainLabel label;
  label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label.resize(80, 18);
  label.setText(QStringLiteral("37%"));
  const auto [left, right] = InkColumns(label);
  EXPECT_GT(left, 40);
  EXPECT_GE(right, 72);
}

TEST(PlainLabel, DrawsItsTextFromTheLeftByDefault) {
  PlainLabel label;
  label.resize(200, 18);
  label.setText(QStringLiteral("Ready"));
  const auto [left, right] = InkColumns(label);
  EXPECT_LT(left, 4);
  EXPECT_LT(right, 100);
}

}  // namespace
