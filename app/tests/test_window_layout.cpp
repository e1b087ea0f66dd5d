// The main window: its size, where every view sits, fonts, the footer and the Return key.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <cmath>

#include "CardView.h"
#include "PlainLabel.h"
#include "SegmentedControl.h"
#include "StatusDot.h"
#include "WaitGirlView.h"
#include "image_file.h"
#include "test_support.h"

namespace {

struct FrameCase {
  const char* name;
  std::function<QWidget*(AppDelegate&)> view;
  QRect geometry;  // in Qt's coordinates of the parent
};

class ViewFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ViewFrames, EveryViewSitsAtItsPlace) {
  const FrameCase& c = GetParam();
  Harness h;
  h.launch();
  QWidget* view = c.view(h.app());
  ASSERT_NE(view, nullptr) << c.name;
  EXPECT_EQ(view->geometry(), c.geometry) << c.name;
}

QWidget* Card(QWidget* child) {
  return child->parentWidget();
}

INSTANTIATE_TEST_SUITE_P(
    Window, ViewFrames,
    ::testing::Values(
        FrameCase{"subtitle", [](AppDelegate& a) { return a.subtitleLabel(); }, {27, 72, 520, 18}},
        FrameCase{
            "language", [](AppDelegate& a) { return a.languageControl(); }, {636, 42, 100, 24}},
        FrameCase{"animation", [](AppDelegate& a) { return a.girlView(); }, {24, 104, 260, 184}},
        FrameCase{"device card",
                  [](AppDelegate& a) { return Card(a.deviceStatusLabel()); },
                  {300, 104, 436, 100}},
        FrameCase{"device caption",
                  [](AppDelegate& a) { return a.deviceCaptionLabel(); },
                  {16, 10, 280, 14}},
        FrameCase{
            "status dot", [](AppDelegate& a) { return a.deviceStatusDot(); }, {17, 35, 10, 10}},
        FrameCase{"device status",
                  [](AppDelegate& a) { return a.deviceStatusLabel(); },
                  {34, 30, 270, 20}},
        FrameCase{"device detail",
                  [](AppDelegate& a) { return a.deviceDetailLabel(); },
                  {16, 56, 290, 32}},
        FrameCase{"check", [](AppDelegate& a) { return a.checkButton(); }, {320, 34, 104, 32}},
        FrameCase{"image card",
                  [](AppDelegate& a) { return Card(a.firmwareLabel()); },
                  {300, 216, 436, 72}},
        FrameCase{"image caption",
                  [](AppDelegate& a) { return a.firmwareCaptionLabel(); },
                  {16, 10, 190, 14}},
        FrameCase{
            "image name", [](AppDelegate& a) { return a.firmwareLabel(); }, {16, 34, 190, 20}},
        FrameCase{"built-in", [](AppDelegate& a) { return a.builtinButton(); }, {212, 20, 104, 32}},
        FrameCase{"choose", [](AppDelegate& a) { return a.chooseButton(); }, {320, 20, 104, 32}},
        FrameCase{"operation card",
                  [](AppDelegate& a) { return Card(a.operationLabel()); },
                  {24, 304, 712, 84}},
        FrameCase{
            "operation", [](AppDelegate& a) { return a.operationLabel(); }, {16, 14, 440, 18}},
        FrameCase{"percentage", [](AppDelegate& a) { return a.percentLabel(); }, {456, 14, 80, 18}},
        FrameCase{"progress", [](AppDelegate& a) { return a.progress(); }, {16, 42, 520, 20}},
        FrameCase{"install", [](AppDelegate& a) { return a.installButton(); }, {552, 22, 148, 40}},
        FrameCase{
            "log caption", [](AppDelegate& a) { return a.logCaptionLabel(); }, {28, 400, 300, 14}},
        FrameCase{"log", [](AppDelegate& a) { return a.logView(); }, {24, 420, 712, 156}}));

TEST(Window, IsFixedAt760By620AndTitledVeltrin) {
  Harness h;
  h.launch();
  QWidget* window = h.app().window();
  EXPECT_EQ(window->size(), QSize(760, 620));
  EXPECT_EQ(window->minimumSize(), QSize(760, 620));
  EXPECT_EQ(window->maximumSize(), QSize(760, 620));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Veltrin"));
}

// The demo bundle carries Veltrin's demo image; its window must never pass for the real one.
TEST(Window, DemoBundleSaysSoInItsTitle) {
  Harness h;
  QByteArray image(4096, '\x5a');
  vt::image::mark_demo(reinterpret_cast<std::uint8_t*>(image.data()), std::size_t(image.size()));
  h.installBuiltinImage(image);
  h.launch();
  EXPECT_EQ(h.app().window()->windowTitle(),
            QString::fromUtf8("Veltrin \u2014 demo with a simulated sampler"));
}

TEST(Window, OpensCentredOnItsScreen) {
  Harness h;
  h.launch();
  const QWidget* window = h.app().window();
  const QPoint offset =
      window->geometry().center() - window->screen()->availableGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 1);
}

TEST(Window, HeaderTitleReadsVeltrinInBoldAt26) {
  Harness h;
  h.launch();
  const PlainLabel* title = nullptr;
  for (const PlainLabel* label : h.app().window()->findChildren<PlainLabel*>()) {
    if (label->geometry() == QRect(26, 36, 420, 32)) {
      title = label;
    }
  }
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), QStringLiteral("Veltrin"));
  EXPECT_EQ(title->font().pixelSize(), 26);
  EXPECT_EQ(title->font().weight(), QFont::Bold);
}

struct FontCase {
  const char* name;
  std::function<QWidget*(AppDelegate&)> view;
  int pixelSize;
  QFont::Weight weight;
};

class ViewFonts : public ::testing::TestWithParam<FontCase> {};

TEST_P(ViewFonts, TextsUseTheirSizeAndWeight) {
  const FontCase& c = GetParam();
  Harness h;
  h.launch();
  const QFont font = c.view(h.app())->font();
  EXPECT_EQ(font.pixelSize(), c.pixelSize) << c.name;
  EXPECT_EQ(font.weight(), c.weight) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Window, ViewFonts,
    ::testing::Values(
        FontCase{"subtitle", [](AppDelegate& a) { return a.subtitleLabel(); }, 13, QFont::Normal},
        FontCase{"caption", [](AppDelegate& a) { return a.deviceCaptionLabel(); }, 10,
                 QFont::DemiBold},
        FontCase{"device status", [](AppDelegate& a) { return a.deviceStatusLabel(); }, 14,
                 QFont::DemiBold},
        FontCase{"device detail", [](AppDelegate& a) { return a.deviceDetailLabel(); }, 12,
                 QFont::Normal},
        FontCase{"image name", [](AppDelegate& a) { return a.firmwareLabel(); }, 13, QFont::Medium},
        FontCase{"operation", [](AppDelegate& a) { return a.operationLabel(); }, 13, QFont::Medium},
        FontCase{"percentage", [](AppDelegate& a) { return a.percentLabel(); }, 13, QFont::Normal},
        FontCase{"version", [](AppDelegate& a) { return a.versionLabel(); }, 11, QFont::Normal},
        FontCase{"link", [](AppDelegate& a) { return a.websiteButton(); }, 11, QFont::Normal}));

TEST(Window, LabelsCutAndWrapAsTheirPlaceNeeds) {
  Harness h;
  h.launch();
  // Without an image the label holds a sentence, read from its beginning: never cut in the middle.
  EXPECT_TRUE(h.app().firmwareLabel()->displayedLines().value(0).startsWith(
      QStringLiteral("No bundled firmware.")));
  EXPECT_EQ(h.app().operationLabel()->elideMode(), PlainLabel::Elide::Tail);
  EXPECT_EQ(h.app().deviceDetailLabel()->maxLines(), 2);
  EXPECT_EQ(h.app().deviceStatusLabel()->maxLines(), 1);
  EXPECT_EQ(h.app().subtitleLabel()->tone(), PlainLabel::Tone::Secondary);
  EXPECT_EQ(h.app().deviceDetailLabel()->tone(), PlainLabel::Tone::Secondary);
  EXPECT_EQ(h.app().percentLabel()->tone(), PlainLabel::Tone::Secondary);
}

TEST(Window, LongImageNameKeepsItsBeginningAndEnd) {
  Harness h;
  h.launch();
  const QString name = QStringLiteral("an-extremely-long-operating-system-image-name-v171.bin");
  h.app().setFirmwarePath(h.makeImage(name, MakeImageBytes(64)));
  h.app().refreshTexts();
  const QStringList lines = h.app().firmwareLabel()->displayedLines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("an-"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("MB"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QChar(0x2026))) << lines[0].toStdString();
}

TEST(Window, PercentageKeepsItsWidthAndRightEdgeWhileDigitsChange) {
  Harness h;
  h.launch();
  const PlainLabel* percent = h.app().percentLabel();
  EXPECT_TRUE(percent->alignment() & Qt::AlignRight);
  const QFontMetrics metrics(percent->font());
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("11%")),
            metrics.horizontalAdvance(QStringLiteral("88%")));
}

TEST(Footer, VersionAndLinkReadAsOneCentredLine) {
  Harness h;
  h.launch();
  const QWidget* version = h.app().versionLabel();
  const QWidget* link = h.app().websiteButton();
  EXPECT_EQ(
      h.app().versionLabel()->text(),
      QStringLiteral("v%1  \u00b7  by Tarnwick  \u00b7").arg(QStringLiteral(VELTRIN_VERSION)));
  EXPECT_EQ(h.app().websiteButton()->text(), QStringLiteral("tarnwick.example"));
  EXPECT_EQ(version->height(), 14);
  EXPECT_EQ(link->height(), 14);
  EXPECT_EQ(version->y(), 620 - 15 - 14);
  EXPECT_EQ(link->y(), version->y());
  EXPECT_EQ(link->x(), version->x() + version->width() + 4);
  const int total = version->width() + 4 + link->width();
  EXPECT_EQ(version->x(), int(std::floor((760 - total) * 0.5)));
}

TEST(Footer, TextWithAndWithoutAVersion) {
  EXPECT_EQ(AppDelegate::footerText(QStringLiteral("1.2")),
            QStringLiteral("v1.2  \u00b7  by Tarnwick  \u00b7"));
  EXPECT_EQ(AppDelegate::footerText(QString()), QStringLiteral("by Tarnwick  \u00b7"));
}

// Presses Return in the window the way a keyboard does, shortcuts first.
void PressReturn(Harness& h) {
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : h.app().window();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(target, &release);
}

TEST(ReturnKey, StartsTheInstallationWhenTheInstallButtonIsEnabled) {
  Harness h;
  h.launch();
  h.app().window()->activateWindow();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.app().window(); }));
  h.app().setDeviceState(DeviceStateReady);
  h.app().setFirmwarePath(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.app().updateButtons();
  h.dialogs().confirmAnswer = false;
  PressReturn(h);
  EXPECT_EQ(h.dialogs().confirmations.size(), 1);
}

TEST(ReturnKey, DoesNothingWhileTheInstallButtonIsDisabled) {
  Harness h;
  h.launch();
  h.app().window()->activateWindow();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.app().window(); }));
  h.app().setFirmwarePath(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.app().updateButtons();
  ASSERT_FALSE(h.app().installButton()->isEnabled());
  PressReturn(h);
  EXPECT_TRUE(h.dialogs().confirmations.isEmpty());
}

TEST(ReturnKey, WorksWhileTheLogHasTheFocus) {
  Harness h;
  h.launch();
  h.app().window()->activateWindow();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.app().window(); }));
  h.app().logView()->setFocus();
  h.app().setDeviceState(DeviceStateReady);
  h.app().setFirmwarePath(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.app().updateButtons();
  h.dialogs().confirmAnswer = false;
  PressReturn(h);
  EXPECT_EQ(h.dialogs().confirmations.size(), 1);
}

}  // namespace
