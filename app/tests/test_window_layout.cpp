// The main window: its size, where every view sits, fonts, the footer and the
// Return key.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <cmath>

#include "image_file.h"
#include "test_support.h"
#include "widgets/CardView.h"
#include "widgets/PlainLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/StatusDot.h"
#include "widgets/WaitGirlView.h"

namespace {

struct FrameCase {
  const char* name;
  const char* view;  // the object name
  QRect geometry;    // in Qt's coordinates of the parent
};

class ViewFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(ViewFrames, EveryViewSitsAtItsPlace) {
  const FrameCase& c = GetParam();
  Harness h;
  h.launch();
  QWidget* view = h.view(c.view);
  ASSERT_NE(view, nullptr) << c.name;
  EXPECT_EQ(view->geometry(), c.geometry) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Window, ViewFrames,
    ::testing::Values(FrameCase{"subtitle", "subtitleLabel", {27, 72, 520, 18}},
                      FrameCase{"language", "languageControl", {636, 42, 100, 24}},
                      FrameCase{"animation", "girlView", {24, 104, 260, 184}},
                      FrameCase{"device card", "deviceCard", {300, 104, 436, 100}},
                      FrameCase{"device caption", "deviceCaptionLabel", {16, 10, 280, 14}},
                      FrameCase{"status dot", "deviceStatusDot", {17, 35, 10, 10}},
                      FrameCase{"device status", "deviceStatusLabel", {34, 30, 270, 20}},
                      FrameCase{"device detail", "deviceDetailLabel", {16, 56, 290, 32}},
                      FrameCase{"check", "checkButton", {320, 34, 104, 32}},
                      FrameCase{"image card", "firmwareCard", {300, 216, 436, 72}},
                      FrameCase{"image caption", "firmwareCaptionLabel", {16, 10, 190, 14}},
                      FrameCase{"image name", "firmwareLabel", {16, 34, 190, 20}},
                      FrameCase{"built-in", "builtinButton", {212, 20, 104, 32}},
                      FrameCase{"choose", "chooseButton", {320, 20, 104, 32}},
                      FrameCase{"operation card", "operationCard", {24, 304, 712, 84}},
                      FrameCase{"operation", "operationLabel", {16, 14, 440, 18}},
                      FrameCase{"percentage", "percentLabel", {456, 14, 80, 18}},
                      FrameCase{"time left", "timeLeftLabel", {156, 14, 296, 18}},
                      FrameCase{"progress", "progress", {16, 42, 520, 20}},
                      FrameCase{"install", "installButton", {552, 22, 148, 40}},
                      FrameCase{"log caption", "logCaptionLabel", {28, 400, 300, 14}},
                      FrameCase{"log", "logView", {24, 420, 712, 156}}));

TEST(Window, IsFixedAt760By620AndTitledVeltrin) {
  Harness h;
  h.launch();
  QWidget* window = h.window();
  EXPECT_EQ(window->size(), QSize(760, 620));
  EXPECT_EQ(window->minimumSize(), QSize(760, 620));
  EXPECT_EQ(window->maximumSize(), QSize(760, 620));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Veltrin"));
}

// The demo bundle carries Veltrin's demo image; its window must never pass for
// the real one.
TEST(Window, DemoBundleSaysSoInItsTitle) {
  Harness h;
  QByteArray image(4096, '\x5a');
  vt::image::mark_demo(reinterpret_cast<std::uint8_t*>(image.data()), std::size_t(image.size()));
  h.installBuiltinImage(image);
  h.launch();
  EXPECT_EQ(h.window()->windowTitle(),
            QString::fromUtf8("Veltrin \u2014 demo with a simulated sampler"));
}

TEST(Window, OpensCentredOnItsScreen) {
  Harness h;
  h.launch();
  const QWidget* window = h.window();
  const QPoint offset =
      window->geometry().center() - window->screen()->availableGeometry().center();
  EXPECT_LE(offset.manhattanLength(), 1);
}

TEST(Window, HeaderTitleReadsVeltrinInBoldAt26) {
  Harness h;
  h.launch();
  const PlainLabel* title = nullptr;
  for (const PlainLabel* label : h.window()->findChildren<PlainLabel*>()) {
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
  const char* view;  // the object name
  int pixelSize;
  QFont::Weight weight;
};

class ViewFonts : public ::testing::TestWithParam<FontCase> {};

TEST_P(ViewFonts, TextsUseTheirSizeAndWeight) {
  const FontCase& c = GetParam();
  Harness h;
  h.launch();
  const QFont font = h.view(c.view)->font();
  EXPECT_EQ(font.pixelSize(), c.pixelSize) << c.name;
  EXPECT_EQ(font.weight(), c.weight) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Window, ViewFonts,
    ::testing::Values(FontCase{"subtitle", "subtitleLabel", 13, QFont::Normal},
                      FontCase{"caption", "deviceCaptionLabel", 10, QFont::DemiBold},
                      FontCase{"device status", "deviceStatusLabel", 14, QFont::DemiBold},
                      FontCase{"device detail", "deviceDetailLabel", 12, QFont::Normal},
                      FontCase{"image name", "firmwareLabel", 13, QFont::Medium},
                      FontCase{"operation", "operationLabel", 13, QFont::Medium},
                      FontCase{"percentage", "percentLabel", 13, QFont::Normal},
                      FontCase{"version", "versionLabel", 11, QFont::Normal},
                      FontCase{"link", "websiteButton", 11, QFont::Normal}));

TEST(Window, LabelsCutAndWrapAsTheirPlaceNeeds) {
  Harness h;
  h.launch();
  // Without an image the label holds a sentence, read from its beginning: never
  // cut in the middle.
  EXPECT_TRUE(h.label("firmwareLabel")
                  ->displayedLines()
                  .value(0)
                  .startsWith(QStringLiteral("No bundled firmware.")));
  EXPECT_EQ(h.label("operationLabel")->elideMode(), PlainLabel::Elide::Tail);
  EXPECT_EQ(h.label("deviceDetailLabel")->maxLines(), 2);
  EXPECT_EQ(h.label("deviceStatusLabel")->maxLines(), 1);
  EXPECT_EQ(h.label("subtitleLabel")->tone(), PlainLabel::Tone::Secondary);
  EXPECT_EQ(h.label("deviceDetailLabel")->tone(), PlainLabel::Tone::Secondary);
  EXPECT_EQ(h.label("percentLabel")->tone(), PlainLabel::Tone::Secondary);
}

TEST(Window, LongImageNameKeepsItsBeginningAndEnd) {
  Harness h;
  h.launch();
  const QString name = QStringLiteral("an-extremely-long-operating-system-image-name-v171.bin");
  ASSERT_TRUE(h.adopt(h.makeImage(name, MakeImageBytes(64))));
  const QStringList lines = h.label("firmwareLabel")->displayedLines();
  ASSERT_EQ(lines.size(), 1);
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("an-"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("MB"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QChar(0x2026))) << lines[0].toStdString();
}

TEST(Window, PercentageKeepsItsWidthAndRightEdgeWhileDigitsChange) {
  Harness h;
  h.launch();
  const PlainLabel* percent = h.label("percentLabel");
  EXPECT_TRUE(percent->alignment() & Qt::AlignRight);
  const QFontMetrics metrics(percent->font());
  EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("11%")),
            metrics.horizontalAdvance(QStringLiteral("88%")));
}

TEST(Footer, VersionAndLinkReadAsOneCentredLine) {
  Harness h;
  h.launch();
  const QWidget* version = h.label("versionLabel");
  const QWidget* link = h.view<QAbstractButton>("websiteButton");
  EXPECT_EQ(
      h.label("versionLabel")->text(),
      QStringLiteral("v%1  \u00b7  by Tarnwick  \u00b7").arg(QStringLiteral(VELTRIN_VERSION)));
  EXPECT_EQ(h.view<QAbstractButton>("websiteButton")->text(), QStringLiteral("tarnwick.example"));
  EXPECT_EQ(version->height(), 14);
  EXPECT_EQ(link->height(), 14);
  EXPECT_EQ(version->y(), 620 - 15 - 14);
  EXPECT_EQ(link->y(), version->y());
  EXPECT_EQ(link->x(), version->x() + version->width() + 4);
  const int total = version->width() + 4 + link->width();
  EXPECT_EQ(version->x(), int(std::floor((760 - total) * 0.5)));
}

TEST(Footer, TextWithAndWithoutAVersion) {
  EXPECT_EQ(MainWindow::footerText(QStringLiteral("1.2")),
            QStringLiteral("v1.2  \u00b7  by Tarnwick  \u00b7"));
  EXPECT_EQ(MainWindow::footerText(QString()), QStringLiteral("by Tarnwick  \u00b7"));
}

// Presses Return in the window the way a keyboard does, shortcuts first.
void PressReturn(Harness& h) {
  QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : h.window();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QApplication::sendEvent(target, &release);
}

TEST(ReturnKey, StartsTheInstallationWhenTheInstallButtonIsEnabled) {
  Harness h;
  h.launch();
  h.window()->activateWindow();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.window(); }));
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.dialogs().confirmAnswer = false;
  PressReturn(h);
  EXPECT_EQ(h.dialogs().confirmations.size(), 1);
}

TEST(ReturnKey, DoesNothingWhileTheInstallButtonIsDisabled) {
  Harness h;
  h.launch();
  h.window()->activateWindow();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.window(); }));
  ASSERT_TRUE(h.adopt(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64))));
  ASSERT_FALSE(h.button("installButton")->isEnabled());
  PressReturn(h);
  EXPECT_TRUE(h.dialogs().confirmations.isEmpty());
}

TEST(ReturnKey, WorksWhileTheLogHasTheFocus) {
  Harness h;
  h.launch();
  h.window()->activateWindow();
  ASSERT_TRUE(h.waitUntil([&] { return QApplication::activeWindow() == h.window(); }));
  h.view<QPlainTextEdit>("logView")->setFocus();
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.dialogs().confirmAnswer = false;
  PressReturn(h);
  EXPECT_EQ(h.dialogs().confirmations.size(), 1);
}

}  // namespace
