// Installations into the simulated sampler that end otherwise than by a fault of an exchange:
// geometries and images the tool refuses, the limits it accepts, and a tool killed in the middle of
// the write.

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <string>

#include "session/ToolRunner.h"
#include "simulated_install.h"

namespace {

// A geometry or an image the tool refuses after the geometry query, before anything is erased.
struct RefusalCase {
  const char* name;
  unsigned blocks;
  unsigned blockSize;
  unsigned imageSize;
  const char* refusal;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

class InstallRefused : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(InstallRefused, EndsBeforeTheEraseShowingTheReportedGeometry) {
  const RefusalCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString image = h.makeImage(QStringLiteral("os.bin"), PatternImage(int(c.imageSize)));
  h.readyToInstall(image);
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  const EnvironmentScope scenario(
      "VTFLASH_SIM",
      QStringLiteral("blocks=%1,block_size=%2").arg(c.blocks).arg(c.blockSize).toLatin1());

  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  const QString geometry = GeometryLine(c.blocks, c.blockSize);
  const QString output = kOpened + geometry + QString::fromLatin1(c.refusal);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(), RunLog(InstallArguments(image, true), output, 1));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), geometry.trimmed());
  ExpectFailedInstall(h, 0.0, seen, false);
}

INSTANTIATE_TEST_SUITE_P(
    AbsurdGeometriesAndOversizedImage, InstallRefused,
    ::testing::Values(
        RefusalCase{"NoBlocks", 0, kBlockSize, kImageSize,
                    "Refusing suspicious flash geometry: blocks=0 block_size=16384.\n"},
        RefusalCase{"OneBlockMoreThan4096", 4097, kBlockSize, kImageSize,
                    "Refusing suspicious flash geometry: blocks=4097 block_size=16384.\n"},
        RefusalCase{"BlocksOfNoBytes", kBlocks, 0, kImageSize,
                    "Refusing suspicious flash geometry: blocks=8 block_size=0.\n"},
        RefusalCase{"PetabytesOfFlash", 1048576, 4294967295u, kImageSize,
                    "Refusing suspicious flash geometry: blocks=1048576 block_size=4294967295.\n"},
        RefusalCase{"ImageOneByteLargerThanTheFlash", kBlocks, kBlockSize, kFlashSize + 1,
                    "Firmware is larger than device flash (131073 > 131072).\n"}),
    [](const ::testing::TestParamInfo<RefusalCase>& test) { return test.param.name; });

// The limits themselves are accepted: the installation goes through.
struct CompleteCase {
  const char* name;
  unsigned blocks;
  unsigned blockSize;
  unsigned imageSize;
};

void PrintTo(const CompleteCase& c, std::ostream* out) {
  *out << c.name;
}

class InstallCompletes : public ::testing::TestWithParam<CompleteCase> {};

TEST_P(InstallCompletes, FromCheckToSuccessAlertWithTheImageInTheFlash) {
  const CompleteCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QByteArray bytes = PatternImage(int(c.imageSize));
  const QString image = h.makeImage(QStringLiteral("os.bin"), bytes);
  const QString dump = h.scratchPath(QStringLiteral("flash.dump"));
  const EnvironmentScope scenario("VTFLASH_SIM", QStringLiteral("blocks=%1,block_size=%2,dump=%3")
                                                     .arg(c.blocks)
                                                     .arg(c.blockSize)
                                                     .arg(dump)
                                                     .toLocal8Bit());

  // The road a user takes: Check, Choose…, Flash OS, confirm.
  h.button("checkButton")->click();
  ASSERT_TRUE(h.waitForRun());
  h.dialogs().openAnswers = {image};
  h.button("chooseButton")->click();
  ASSERT_TRUE(h.waitForFacts());
  ASSERT_TRUE(h.button("installButton")->isEnabled()) << h.log().toStdString();
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  h.button("installButton")->click();
  ASSERT_TRUE(h.waitForRun());

  const QString geometry = GeometryLine(c.blocks, c.blockSize);
  const QString output = CompleteOutput(c.imageSize, c.blocks, c.blockSize);
  EXPECT_EQ(h.lastStatus(), 0);
  EXPECT_EQ(h.log(), QStringLiteral("Veltrin started.\n") +
                         RunLog(QStringLiteral("--info"), kOpened + geometry, 0) +
                         AdoptedImageLog(image) + RunLog(InstallArguments(image, true), output, 0));
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), geometry.trimmed());
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Flashing complete"));
  EXPECT_EQ(h.progress(), 100.0);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Informational);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing complete"));
  EXPECT_EQ(seen.operation, QStringLiteral("Flashing complete"));
  ExpectButtonsBack(h, true);
  QFile flash(dump);
  ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
  const QByteArray contents = flash.readAll();
  EXPECT_EQ(contents.size(), qsizetype(c.blocks) * c.blockSize);
  EXPECT_TRUE(contents.startsWith(bytes));
  EXPECT_EQ(contents.mid(bytes.size()), QByteArray(contents.size() - bytes.size(), '\xff'));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, InstallCompletes,
    ::testing::Values(CompleteCase{"ShortLastChunk", kBlocks, kBlockSize, kImageSize},
                      CompleteCase{"ImageExactlyAsLargeAsTheFlash", kBlocks, kBlockSize,
                                   kFlashSize},
                      CompleteCase{"FourThousandAndNinetySixBlocks", 4096, 32, kImageSize}),
    [](const ::testing::TestParamInfo<CompleteCase>& test) { return test.param.name; });

class ToolKilledMidWrite : public ::testing::TestWithParam<int> {};

// The write records in the log: "Write  50% (2/4)" lines, not the "Write stopped" line.
unsigned WriteRecordsIn(const QString& log) {
  return unsigned(log.count(QRegularExpression(QStringLiteral("\nWrite +[0-9]+% "))));
}

// SIGKILL ends the tool wherever it is. SIGTERM is what a logout sends: the first one only warns
// and the installation goes on, so the test sends a second one, which stops the tool after the
// exchange in progress with a line that says where.
TEST_P(ToolKilledMidWrite, EndsAsAFailureWithTheExitLineAndTheBarWhereItStopped) {
  const int signal = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString image = h.makeImage(QStringLiteral("os.bin"), PatternImage(kImageSize));
  h.readyToInstall(image);
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  // Each chunk takes the slow sampler well over half a second, so the tool is still writing
  // when the first write record has arrived.
  const EnvironmentScope scenario("VTFLASH_SIM", kFlash + ",byte_ns=20000");
  const QString warning = QStringLiteral(
      "\nWarning: stopping now leaves the MPC4000 without a working OS; the installation goes on. "
      "Press Ctrl-C again to stop it after the current step.\n");

  h.session().installFirmware();
  ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(QLatin1String("\nWrite ")); }));
  ASSERT_TRUE(h.session().busy());
  const auto pid = pid_t(h.toolPid());
  ASSERT_EQ(::kill(pid, signal), 0);
  unsigned beforeWarning = 0;
  if (signal == SIGTERM) {
    ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(QLatin1String("Warning: ")); }));
    beforeWarning = WriteRecordsIn(h.log().left(h.log().indexOf(QLatin1String("Warning: "))));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
  }
  ASSERT_TRUE(h.waitForRun());

  // The tool stopped after some of its write records; the bar stays at the last of them.
  const unsigned written = WriteRecordsIn(h.log());
  EXPECT_GE(written, 1u);
  EXPECT_LT(written, kChunks);
  const vt::expected::install run{kBlocks, kBlockSize, kImageSize, kChunkSize};
  const auto records = [](unsigned done) {
    return QString::fromStdString(vt::expected::records("Write", kChunks, done));
  };
  QString output = QString::fromStdString(run.before_write()) + records(written);
  if (signal == SIGTERM) {
    output = QString::fromStdString(run.before_write()) + records(beforeWarning) + warning +
             records(written).mid(records(beforeWarning).size()) +
             QString::asprintf("\nWrite stopped at offset 0x%08x. ", written * kChunkSize) +
             QStringLiteral("Run the installation again before restarting the MPC4000.\n");
  }
  EXPECT_NE(h.lastStatus(), 0);
  EXPECT_EQ(h.log(), RunLog(InstallArguments(image, true), output, h.lastStatus()));
  ExpectFailedInstall(h, BarWhereItStopped(Phase::Write, written), seen, true);
}

INSTANTIATE_TEST_SUITE_P(Signals, ToolKilledMidWrite, ::testing::Values(SIGKILL, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& test) {
                           return test.param == SIGKILL ? std::string("Kill")
                                                        : std::string("Terminate");
                         });

}  // namespace
