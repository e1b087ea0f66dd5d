// The application against the simulated sampler failing in every way it can: each fault at the
// first, a middle and the last exchange of the geometry query, the erase and the write. Whatever
// happens, the run ends: the log holds the tool's lines in order and the exit line, a failure is
// shown as one with an alert, the bar stays where the tool stopped, and the buttons come back.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cctype>
#include <string>
#include <vector>

#include "session/ToolRunner.h"
#include "simulated_install.h"

namespace {

struct Fault {
  std::string kind;  // as the simulator takes it: "status:0x05", "timeout:reply", ...
  QString failure;   // the line the tool prints for the failed step
  QString reason = QStringLiteral("See the log at the bottom of the window.");  // in the alert
};

const QString kStoppedAnswering = QStringLiteral(
    "The MPC4000 stopped answering: a step got no answer within two minutes. Check the cable and "
    "that it is in OS Loader mode, then press Check and Flash OS.");
const QString kDisconnected = QStringLiteral(
    "The MPC4000 was disconnected during the installation. Connect it again directly, without a "
    "USB hub, then press Check and Flash OS.");
const QString kRefused = QStringLiteral(
    "The MPC4000 refused a step (status error %1). Check that it is in OS Loader mode, then press "
    "Check and Flash OS.");

// Every fault the simulator can inject into an exchange of `phase`, with the tool's line for it.
std::vector<Fault> FaultsOf(Phase phase) {
  struct TransferError {
    const char* name;
    unsigned ioreturn;
    QString reason;
  };
  const TransferError errors[] = {{"timeout", 0xe00002d6, kStoppedAnswering},
                                  {"gone", 0xe00002c0, kDisconnected},
                                  {"stall", 0xe000404f, Fault().reason}};
  std::vector<std::pair<const char*, const char*>> transfers = {{"command", "USB write"},
                                                                {"status", "USB read"}};
  if (phase == Phase::Geometry) {
    transfers.push_back({"reply", "USB read"});
  }
  if (phase == Phase::Write) {
    transfers.push_back({"data", "USB write"});
  }
  std::vector<Fault> faults;
  for (const TransferError& error : errors) {
    for (const auto& [transfer, call] : transfers) {
      faults.push_back({std::string(error.name) + ":" + transfer,
                        QString::asprintf("%s failed: IOReturn 0x%08x.\n", call, error.ioreturn),
                        error.reason});
    }
  }
  faults.push_back({"status:0x05", QStringLiteral("Device returned status error 0x05.\n"),
                    kRefused.arg(QLatin1String("0x05"))});
  faults.push_back({"status:0xff", QStringLiteral("Device returned status error 0xff.\n"),
                    kRefused.arg(QLatin1String("0xff"))});
  faults.push_back({"short_status:0", QStringLiteral("USB read short transfer: 0 of 19 bytes.\n")});
  faults.push_back(
      {"short_status:13", QStringLiteral("USB read short transfer: 13 of 19 bytes.\n")});
  faults.push_back(
      {"short_status:18", QStringLiteral("USB read short transfer: 18 of 19 bytes.\n")});
  faults.push_back(
      {"signature:55534253", QStringLiteral("Unexpected status signature: 55 53 42 53\n")});
  if (phase == Phase::Geometry) {
    for (const int length : {0, 4, 7}) {
      faults.push_back({"short_geometry:" + std::to_string(length),
                        QString::asprintf("USB read short transfer: %d of 8 bytes.\n", length)});
    }
  }
  return faults;
}

struct FaultCase {
  std::string name;
  QByteArray scenario;
  Phase phase;
  unsigned index;
  QString failure;
  QString reason;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
  *out << c.name;
}

std::string TestName(const std::string& text) {
  std::string name;
  for (const char c : text) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

// Each fault at the first, a middle and the last exchange of the phase (the geometry query has
// only one).
std::vector<FaultCase> FaultCases(Phase phase) {
  struct Where {
    const char* name;
    std::vector<unsigned> exchanges;
  };
  const Where where = phase == Phase::Geometry ? Where{"geometry", {0}}
                      : phase == Phase::Erase  ? Where{"erase", {0, 3, kBlocks - 1}}
                                               : Where{"write", {0, 1, kChunks - 1}};
  std::vector<FaultCase> cases;
  for (const unsigned index : where.exchanges) {
    for (const Fault& fault : FaultsOf(phase)) {
      const std::string at = where.name + std::to_string(index);
      cases.push_back({TestName(at + "_" + fault.kind),
                       kFlash + ",fault=" + QByteArray::fromStdString(fault.kind + "@" + at), phase,
                       index, fault.failure, fault.reason});
    }
  }
  return cases;
}

std::vector<FaultCase> InstallFaultCases() {
  std::vector<FaultCase> cases;
  for (const Phase phase : {Phase::Geometry, Phase::Erase, Phase::Write}) {
    const std::vector<FaultCase> more = FaultCases(phase);
    cases.insert(cases.end(), more.begin(), more.end());
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) {
  return info.param.name;
}

class InstallUnderFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(InstallUnderFault, FailsWithTheToolsLinesAndSaysWhereTheFlashWasLeft) {
  const FaultCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString image = h.makeImage(QStringLiteral("os.bin"), PatternImage(kImageSize));
  h.readyToInstall(image);
  BehindTheAlert seen;
  WatchTheAlert(h, seen);
  const EnvironmentScope scenario("VTFLASH_SIM", c.scenario);

  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  const QString output = StoppedOutput(c.phase, c.index, c.failure);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(), RunLog(InstallArguments(image, true), output, 1));
  ExpectFailedInstall(h, BarWhereItStopped(c.phase, c.index), seen, c.phase != Phase::Geometry,
                      c.reason);
}

INSTANTIATE_TEST_SUITE_P(EveryFaultAtFirstMiddleAndLastExchange, InstallUnderFault,
                         ::testing::ValuesIn(InstallFaultCases()), CaseName);

class CheckUnderFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(CheckUnderFault, FailsTheDeviceWithTheToolsLineAndNoAlert) {
  const FaultCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  // An image is adopted, so only the device state keeps Flash OS off afterwards.
  ASSERT_TRUE(h.adopt(h.makeImage(QStringLiteral("os.bin"), PatternImage(kImageSize))));
  const QString adopted = h.log();
  const EnvironmentScope scenario("VTFLASH_SIM", c.scenario);

  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());

  const QString output = StoppedOutput(c.phase, c.index, c.failure);
  EXPECT_EQ(h.lastStatus(), 1);
  EXPECT_EQ(h.log(), adopted + RunLog(QStringLiteral("--info"), output, 1));
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("MPC4000 not opened"));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Check failed"));
  EXPECT_EQ(h.progress(), 0.0);
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  ExpectButtonsBack(h, false);
}

INSTANTIATE_TEST_SUITE_P(EveryGeometryFault, CheckUnderFault,
                         ::testing::ValuesIn(FaultCases(Phase::Geometry)), CaseName);

}  // namespace
