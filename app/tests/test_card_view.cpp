#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "widgets/CardView.h"
#include "widgets/LogView.h"
#include "widgets/PlainLabel.h"

namespace {

QImage Render(QWidget& widget) {
  QImage shot(widget.size(), QImage::Format_ARGB32);
  shot.fill(Qt::transparent);
  widget.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
  return shot;
}

QPalette PaletteWith(QColor base, QColor text) {
  QPalette palette;
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::WindowText, text);
  return palette;
}

void ExpectNear(QRgb actual, QColor expected, int tolerance = 2) {
  EXPECT_NEAR(qRed(actual), expected.red(), tolerance);
  EXPECT_NEAR(qGreen(actual), expected.green(), tolerance);
  EXPECT_NEAR(qBlue(actual), expected.blue(), tolerance);
  EXPECT_NEAR(qAlpha(actual), expected.alpha(), tolerance);
}

TEST(CardView, PaintsAPanelOfTheControlBackgroundAtSixtyPercent) {
  CardView card;
  card.setPalette(PaletteWith(Qt::white, Qt::black));
  card.resize(200, 100);
  const QImage shot = Render(card);
  ExpectNear(shot.pixel(100, 50), QColor(255, 255, 255, 153));
}

TEST(CardView, HasAFaintOnePixelBorder) {
  CardView card;
  card.setPalette(PaletteWith(Qt::white, Qt::black));
  card.resize(200, 100);
  const QImage shot = Render(card);
  const QRgb edge = shot.pixel(100, 0);
  const QRgb inside = shot.pixel(100, 1);
  EXPECT_LT(qRed(edge), qRed(inside)) << "the border is darker than the panel";
  ExpectNear(inside, QColor(255, 255, 255, 153));
}

TEST(CardView, LeavesTheCornersOutsideTheRoundedOutlineUnpainted) {
  CardView card;
  card.resize(200, 100);
  const QImage shot = Render(card);
  for (QPoint corner : {QPoint(0, 0), QPoint(199, 0), QPoint(0, 99), QPoint(199, 99)}) {
    EXPECT_EQ(qAlpha(shot.pixel(corner)), 0) << corner.x() << ", " << corner.y();
  }
  EXPECT_GT(qAlpha(shot.pixel(12, 12)), 0) << "inside the corner arc";
}

// The log's panel is drawn like a card's: its corners are round with a smooth edge, and its
// scroll bar stays inside the rounded outline.
TEST(LogView, CornersAreSmoothAndTheScrollBarStaysInside) {
  LogView log;
  log.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log.resize(712, 156);
  const QImage shot = Render(log);
  for (QPoint corner : {QPoint(0, 0), QPoint(711, 0), QPoint(0, 155), QPoint(711, 155)}) {
    EXPECT_EQ(qAlpha(shot.pixel(corner)), 0) << corner.x() << ", " << corner.y();
  }
  const int panel = qAlpha(shot.pixel(40, 78));
  EXPECT_GT(panel, 0);
  int partial = 0;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      const int alpha = qAlpha(shot.pixel(x, y));
      partial += alpha > 0 && alpha < panel ? 1 : 0;
    }
  }
  EXPECT_GT(partial, 3) << "the rounded edge is antialiased";
}

TEST(CardView, FollowsASwitchBetweenLightAndDarkPalettes) {
  CardView card;
  card.resize(200, 100);
  card.setPalette(PaletteWith(Qt::white, Qt::black));
  ExpectNear(Render(card).pixel(100, 50), QColor(255, 255, 255, 153));

  const QColor darkBase(30, 30, 30);
  card.setPalette(PaletteWith(darkBase, Qt::white));
  ExpectNear(Render(card).pixel(100, 50), QColor(30, 30, 30, 153));
  const QRgb edge = Render(card).pixel(100, 0);
  EXPECT_GT(qRed(edge), 30) << "on dark panels the border is lighter";
}

TEST(CardView, FollowsTheApplicationPalette) {
  const QPalette saved = QApplication::palette();
  CardView card;
  card.resize(200, 100);
  QApplication::setPalette(PaletteWith(QColor(10, 20, 30), Qt::white));
  QApplication::processEvents();
  const QRgb dark = Render(card).pixel(100, 50);
  QApplication::setPalette(saved);
  QApplication::processEvents();
  ExpectNear(dark, QColor(10, 20, 30, 153));
}

TEST(MakeCaption, GivesAnEmptySmallSemiboldSecondaryLabelAtTheFrame) {
  QWidget parent;
  parent.resize(400, 200);
  PlainLabel* caption = MakeCaption(QRect(16, 10, 280, 14), &parent);
  ASSERT_NE(caption, nullptr);
  EXPECT_EQ(caption->parentWidget(), &parent);
  EXPECT_EQ(caption->geometry(), QRect(16, 10, 280, 14));
  EXPECT_TRUE(caption->text().isEmpty());
  EXPECT_EQ(caption->font().pixelSize(), 10);
  EXPECT_EQ(caption->font().weight(), QFont::DemiBold);
  EXPECT_EQ(caption->tone(), PlainLabel::Tone::Secondary);
  EXPECT_EQ(caption->textColor(), SecondaryLabelColor(caption->palette()));
  EXPECT_EQ(caption->elideMode(), PlainLabel::Elide::Tail);
  EXPECT_EQ(caption->maxLines(), 1);
}

TEST(MakeCaption, CutsALongCaptionAtTheTail) {
  QWidget parent;
  PlainLabel* caption = MakeCaption(QRect(0, 0, 60, 14), &parent);
  caption->setText(QStringLiteral("A CAPTION FAR TOO LONG FOR ITS FRAME"));
  const QStringList lines = caption->displayedLines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("A"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(QChar(0x2026))) << lines[0].toStdString();
}

TEST(MakeCaption, IsShownInAParentThatIsAlreadyShown) {
  QWidget parent;
  parent.resize(400, 200);
  parent.show();
  PlainLabel* caption = MakeCaption(QRect(16, 10, 280, 14), &parent);
  EXPECT_TRUE(caption->isVisible());
}

}  // namespace
