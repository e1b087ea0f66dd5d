// Runs of the real flash tool's code against the simulated sampler, placed where the controller
// looks for its tool.

#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include "test_support.h"
#include "widgets/PlainLabel.h"

namespace {

// The simulated sampler's scenario for one scope.
class Scenario {
 public:
  explicit Scenario(const QByteArray& value) { qputenv("VTFLASH_SIM", value); }
  ~Scenario() { qunsetenv("VTFLASH_SIM"); }
};

bool HaveSimulator() {
  return !QStringLiteral(VTFLASH_SIM_PATH).isEmpty();
}

struct CheckCase {
  const char* scenario;
  DeviceState state;
  const char* operation;
  const char* logged;  // a line of the tool that reaches the log
};

class SimulatedCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(SimulatedCheck, CheckEndsInTheDeviceStateOfTheSampler) {
  if (!HaveSimulator()) {
    GTEST_SKIP() << "vtflash-sim was not built";
  }
  const CheckCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator());
  Scenario scenario(c.scenario);
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.session().deviceState(), c.state) << h.log().toStdString();
  EXPECT_EQ(h.session().operationKey(), QString::fromLatin1(c.operation));
  EXPECT_TRUE(h.log().contains(QString::fromLatin1(c.logged))) << h.log().toStdString();
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, SimulatedCheck,
    ::testing::Values(CheckCase{"", DeviceStateReady, "op.deviceReady",
                                "Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).\n"
                                "Process exited with code 0.\n"},
                      CheckCase{"blocks=16,block_size=4096", DeviceStateReady, "op.deviceReady",
                                "Flash geometry: 16 blocks x 4096 bytes (65536 bytes).\n"},
                      CheckCase{
                          "bus=none", DeviceStateFailed, "op.checkFailed",
                          "AKAI device 09e8:0061 was not found.\nProcess exited with code 1.\n"},
                      CheckCase{"fault=status:0x05@geometry0", DeviceStateFailed, "op.checkFailed",
                                "Process exited with code 1.\n"},
                      CheckCase{"fault=timeout:reply@geometry0", DeviceStateFailed,
                                "op.checkFailed", "Process exited with code 1.\n"}));

TEST(SimulatedInstall, InstallWritesTheImageIntoTheFlash) {
  if (!HaveSimulator()) {
    GTEST_SKIP() << "vtflash-sim was not built";
  }
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator());
  QByteArray image = MakeImageBytes(40000);
  for (int i = 56; i < image.size(); ++i) {
    image[i] = char(i * 7);
  }
  h.readyToInstall(h.makeImage(QStringLiteral("os image.bin"), image));
  const QString dump = h.scratchPath(QStringLiteral("flash.dump"));
  Scenario scenario("blocks=16,block_size=4096,erase_ms=1,dump=" + QFile::encodeName(dump));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  EXPECT_EQ(h.lastStatus(), 0) << h.log().toStdString();
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.done"));
  EXPECT_EQ(h.progress(), 100.0);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing complete"));
  EXPECT_TRUE(h.log().contains(QStringLiteral("\nErase 100% (16/16)\nWriting firmware...\n")));
  // The summary of durations and speed comes between the last record and the completion line.
  EXPECT_TRUE(h.log().contains(QRegularExpression(
      QStringLiteral(R"(\nWrite 100% \(2/2\)\nErased 16 blocks in \d+\.\d s, wrote 40000 bytes in )"
                     R"(\d+\.\d s[^\n]*\.\nOS upload complete\.)"))));
  QFile flash(dump);
  ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
  EXPECT_TRUE(flash.readAll().startsWith(image));
}

struct FailedInstallCase {
  const char* scenario;
  double bar;  // where the bar stops
  const char* logged;
};

class SimulatedFailedInstall : public ::testing::TestWithParam<FailedInstallCase> {};

TEST_P(SimulatedFailedInstall, FailureEndsInErrorWithTheBarWhereItStopped) {
  if (!HaveSimulator()) {
    GTEST_SKIP() << "vtflash-sim was not built";
  }
  const FailedInstallCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator());
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(40000)));
  Scenario scenario(c.scenario);
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  EXPECT_NE(h.lastStatus(), 0);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.progress(), c.bar) << h.log().toStdString();
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing did not complete"));
  EXPECT_TRUE(h.log().contains(QString::fromLatin1(c.logged))) << h.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimulatedFailedInstall,
    ::testing::Values(
        // Erase records 1 to 3 of 16 arrived: 18 % of the erase is 9 on the bar.
        FailedInstallCase{"blocks=16,block_size=4096,fault=status:0x05@erase3", 9,
                          "Device returned status error 0x05.\nErase failed at block 3.\n"},
        // The erase finished and the first of two chunks was written: 50 + 25.
        FailedInstallCase{"blocks=16,block_size=4096,fault=timeout:status@write1", 75,
                          "Write failed at offset 0x00008000.\n"},
        // The image does not fit into a flash of one block; nothing was erased.
        FailedInstallCase{"blocks=1,block_size=4096", 0, "Process exited with code 1.\n"},
        FailedInstallCase{"bus=none", 0,
                          "AKAI device 09e8:0061 was not found.\nProcess exited with code 1.\n"}));

}  // namespace
