#pragma once

// An installation into the simulated sampler with the application's tests' own flash and image,
// and what the window and the log show at its end.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QPushButton>
#include <QString>

#include "expected_output.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/WaitGirlView.h"

// The flash of every run: 8 blocks of 16 KiB. The image takes three full chunks of the tool's
// 32 KiB and a short fourth one.
inline constexpr unsigned kBlocks = 8;
inline constexpr unsigned kBlockSize = 16384;
inline constexpr unsigned kFlashSize = kBlocks * kBlockSize;
inline constexpr unsigned kChunkSize = 32768;
inline constexpr unsigned kImageSize = 3 * kChunkSize + 100;
inline constexpr unsigned kChunks = 4;
inline const QByteArray kFlash = "blocks=8,block_size=16384";

inline const QString kOpened = QString::fromStdString(vt::expected::opened_line());

enum class Phase { Geometry, Erase, Write };

// An image whose every chunk differs, so a chunk in the wrong place would show.
inline QByteArray PatternImage(int size) {
  QByteArray image = MakeImageBytes(size);
  for (int i = 56; i < image.size(); ++i) {
    image[i] = char((i * 131) >> 7);
  }
  return image;
}

inline QString GeometryLine(unsigned blocks, unsigned blockSize) {
  return QString::fromStdString(vt::expected::geometry_line(blocks, blockSize));
}

// Everything a complete installation prints.
inline QString CompleteOutput(unsigned imageSize, unsigned blocks, unsigned blockSize) {
  return QString::fromStdString(vt::expected::install{blocks, blockSize, imageSize}.complete());
}

// Everything an installation into the test flash prints when exchange `index` of `phase` fails
// with the step's own line `failure`: the records of the steps confirmed before it, the failure,
// and the line that says where the flash was left.
inline QString StoppedOutput(Phase phase, unsigned index, const QString& failure) {
  const vt::expected::install run{kBlocks, kBlockSize, kImageSize, kChunkSize};
  switch (phase) {
    case Phase::Geometry:
      return kOpened + failure;
    case Phase::Erase:
      return QString::fromStdString(run.erase_failed(index, failure.toStdString()));
    case Phase::Write:
      break;
  }
  return QString::fromStdString(run.write_failed(index, failure.toStdString()));
}

// The bar shows half the last erase percentage, or 50 and half the last write percentage; with
// no record yet it keeps the 0 the installation started with.
inline double BarWhereItStopped(Phase phase, unsigned index) {
  switch (phase) {
    case Phase::Geometry:
      return 0.0;
    case Phase::Erase:
      return (index * 100 / kBlocks) * 0.5;
    case Phase::Write:
      return 50.0 + (index * 100 / kChunks) * 0.5;
  }
  return -1.0;
}

// The log of a run: the echo line, the tool's output with every carriage return a line end,
// then the exit line.
inline QString RunLog(const QString& arguments, const QString& output, int status) {
  QString lines = output;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  // The exit line begins a line of its own, also after an unfinished progress record.
  if (!lines.isEmpty() && !lines.endsWith(QLatin1Char('\n'))) {
    lines += QLatin1Char('\n');
  }
  return QStringLiteral("$ vtflash %1\n%2Process exited with code %3.\n")
      .arg(arguments, lines)
      .arg(status);
}

// The image's own checksum goes along when the window showed it.
inline QString InstallArguments(const QString& image, bool shown = false) {
  return shown ? QStringLiteral("--firmware %1 --sha256 %2 --yes").arg(image, Sha256Of(image))
               : QStringLiteral("--firmware %1 --yes").arg(image);
}

// What the window shows while the final alert is on screen.
struct BehindTheAlert {
  QString operation;
  bool installEnabled = false;
  QString log;
};

inline void WatchTheAlert(Harness& h, BehindTheAlert& seen) {
  h.dialogs().onAlert = [&h, &seen] {
    seen.operation = h.label("operationLabel")->text();
    seen.installEnabled = h.button("installButton")->isEnabled();
    seen.log = h.log();
  };
}

// The buttons after a run: all back, Flash OS as the device state and the image allow.
inline void ExpectButtonsBack(Harness& h, bool installEnabled) {
  EXPECT_FALSE(h.session().busy());
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
  EXPECT_TRUE(h.button("chooseButton")->isEnabled());
  EXPECT_FALSE(h.button("builtinButton")->isEnabled());  // these bundles carry no image
  EXPECT_EQ(h.button("installButton")->isEnabled(), installEnabled);
  EXPECT_FALSE(h.view<WaitGirlView>("girlView")->isAnimating());
}

// An installation that failed: the sampler is still the checked one, the bar is where the tool
// stopped, the operation says it failed (no percentage), one warning alert that gives the `reason`,
// buttons back. Once the erase had begun, the alert also says what to do about the sampler left
// without an OS.
inline void ExpectFailedInstall(
    Harness& h, double bar, const BehindTheAlert& seen, bool erased,
    const QString& reason = QStringLiteral("See the log at the bottom of the window.")) {
  EXPECT_EQ(h.finishedRuns(), 1);
  EXPECT_EQ(h.lastMode(), Session::RunMode::Install);
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("MPC4000 connected"));
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Flashing failed"));
  EXPECT_EQ(h.label("percentLabel")->text(), QString());
  EXPECT_EQ(h.progress(), bar);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing did not complete"));
  const QString advice = QStringLiteral(
      "\n\nThe MPC4000 has no complete OS now. Keep it switched on and connected, fix the cause "
      "shown in the log, and press Flash OS again.");
  EXPECT_EQ(h.dialogs().alerts[0].text, reason + (erased ? advice : ""));
  EXPECT_EQ(seen.operation, QStringLiteral("Flashing failed"));
  EXPECT_TRUE(seen.installEnabled);
  EXPECT_EQ(seen.log, h.log());
  ExpectButtonsBack(h, true);
}
