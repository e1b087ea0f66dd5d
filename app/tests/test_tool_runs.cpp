// Real runs of small fake flash tools: how a check and an installation go from start to end.

#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "expected_output.h"
#include "fake_tools.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/WaitGirlView.h"

namespace {

// A shell command that prints `text` exactly (it holds no single quote).
QByteArray Say(const std::string& text) {
  return "printf '%s' '" + QByteArray::fromStdString(text) + "'\n";
}

const QByteArray kOpenedLine = Say(vt::expected::opened_line());
const QByteArray kGeometryLine = Say(vt::expected::geometry_line(64, 65536));
const char* const kGeometry = "Flash geometry: 64 blocks x 65536 bytes (4194304 bytes).";

QByteArray InstallScript(int blocks, int chunks, int exitStatus) {
  return ShellTool(
      kOpenedLine + kGeometryLine +
      Say(vt::expected::firmware_line(100000, 64, 65536) + vt::expected::erasing_line) +
      ProgressLoop("Erase", blocks) + Say(vt::expected::writing_line) +
      ProgressLoop("Write", chunks) + Say(vt::expected::completion_line) + "exit " +
      QByteArray::number(exitStatus));
}

bool AllButtonsDisabled(Harness& h) {
  return !h.button("checkButton")->isEnabled() && !h.button("chooseButton")->isEnabled() &&
         !h.button("builtinButton")->isEnabled() && !h.button("installButton")->isEnabled();
}

TEST(DeviceCheck, SuccessfulCheckShowsReadyWithTheGeometry) {
  Harness h;
  h.launch();
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.installTool(ShellTool(kWaitAtGate + kOpenedLine + kGeometryLine + "exit 0"));

  h.session().checkDevice();
  EXPECT_EQ(h.session().deviceState(), DeviceStateChecking);
  EXPECT_FALSE(h.session().installing());
  EXPECT_TRUE(h.session().busy());
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Checking the connection"));
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("Checking MPC4000\u2026"));
  EXPECT_TRUE(AllButtonsDisabled(h));
  EXPECT_TRUE(h.view<SegmentedControl>("languageControl")->isEnabled());
  EXPECT_TRUE(h.waitUntil([&] { return h.view<WaitGirlView>("girlView")->isAnimating(); }));

  ASSERT_TRUE(gate.open(h));
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.deviceReady"));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), QString::fromLatin1(kGeometry));
  EXPECT_FALSE(h.session().busy());
  EXPECT_FALSE(h.session().installing());
  EXPECT_FALSE(h.view<WaitGirlView>("girlView")->isAnimating());
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\n$ vtflash --info\n"
                           "Opened AKAI USB device 09e8:0061, interface 0, IN pipe 1, OUT pipe 2.\n"
                           "%1\nProcess exited with code 0.\n")
                .arg(QLatin1String(kGeometry)));
}

class FailedCheck : public ::testing::TestWithParam<int> {};

TEST_P(FailedCheck, NonZeroStatusFailsTheDeviceWithoutAnAlert) {
  const int status = GetParam();
  Harness h;
  h.launch();
  h.installTool(ShellTool("echo 'AKAI device 09e8:0061 was not found.' >&2\nexit " +
                          QByteArray::number(status)));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.checkFailed"));
  EXPECT_EQ(h.label("deviceStatusLabel")->text(), QStringLiteral("MPC4000 not opened"));
  EXPECT_TRUE(h.log().endsWith(
      QStringLiteral("AKAI device 09e8:0061 was not found.\nProcess exited with code %1.\n")
          .arg(status)));
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(ToolStatuses, FailedCheck, ::testing::Values(1, 2));

TEST(DeviceCheck, FailedCheckDisablesInstallEvenWithAnImage) {
  Harness h;
  PrepareInstall(h);
  ASSERT_TRUE(h.button("installButton")->isEnabled());
  h.installTool(ShellTool("exit 1"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_FALSE(h.button("installButton")->isEnabled());
}

TEST(DeviceCheck, NewCheckKeepsTheOldGeometryWhenTheToolPrintsNone) {
  Harness h;
  h.launch();
  h.installTool(ShellTool(kGeometryLine + "exit 0"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  h.installTool(ShellTool("exit 0"));
  h.session().checkDevice();
  EXPECT_EQ(h.session().deviceState(), DeviceStateChecking);
  EXPECT_EQ(h.session().deviceGeometry(), QString::fromLatin1(kGeometry));
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), QString::fromLatin1(kGeometry));
}

TEST(DeviceCheck, ToolInTheWorkingDirectoryIsUsedWhenTheBundleHasNone) {
  Harness h;
  h.launch();
  h.installToolInWorkingDirectory(ShellTool("echo from the working directory"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_TRUE(h.log().contains(QStringLiteral("$ vtflash --info\nfrom the working directory\n")));
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
}

struct MissingToolCase {
  const char* name;
  bool placeUnexecutable;
};

class MissingTool : public ::testing::TestWithParam<MissingToolCase> {};

TEST_P(MissingTool, CheckFailsWithTheExpectedPathAndNoExitLine) {
  Harness h;
  h.launch();
  if (GetParam().placeUnexecutable) {
    h.installTool(ShellTool("exit 0"), false);
  }
  h.session().checkDevice();
  EXPECT_FALSE(h.session().busy());
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.checkFailed"));
  EXPECT_EQ(h.log(),
            QStringLiteral("Veltrin started.\nHelper not found: %1/vtflash\n").arg(h.workPath()));
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  EXPECT_TRUE(h.button("checkButton")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Places, MissingTool,
                         ::testing::Values(MissingToolCase{"nowhere", false},
                                           MissingToolCase{"not executable", true}));

TEST(Install, MissingToolEndsInErrorWithTheFailureAlert) {
  Harness h;
  PrepareInstall(h);
  h.session().installFirmware();
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing did not complete"));
  EXPECT_EQ(h.dialogs().alerts[0].text, QStringLiteral("See the log at the bottom of the window."));
  EXPECT_FALSE(h.log().contains(QStringLiteral("Process exited")));
}

TEST(Install, ToolThatCannotStartLogsTheReasonAndExitLine) {
  Harness h;
  PrepareInstall(h);
  h.installTool("#!/nonexistent/interpreter\n");
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_FALSE(h.session().busy());
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  const QString log = h.log();
  const qsizetype failed = log.indexOf(QStringLiteral("Could not start the helper: "));
  ASSERT_GE(failed, 0) << log.toStdString();
  EXPECT_TRUE(log.endsWith(QStringLiteral("\nProcess exited with code -1.\n")));
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing did not complete"));
  EXPECT_TRUE(h.button("installButton")->isEnabled());
  EXPECT_FALSE(h.view<WaitGirlView>("girlView")->isAnimating());
}

TEST(DeviceCheck, ToolThatCannotStartFailsTheDevice) {
  Harness h;
  h.launch();
  h.installTool("#!/nonexistent/interpreter\n");
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  EXPECT_EQ(h.finishedRuns(), 1);
  EXPECT_EQ(h.lastStatus(), -1);
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
}

TEST(DeviceCheck, ToolKilledByASignalCountsAsFailedAndKeepsItsOutput) {
  Harness h;
  h.launch();
  h.installTool(ShellTool(kGeometryLine + "printf 'last words'\nkill -9 $$"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_NE(h.lastStatus(), 0);
  EXPECT_EQ(h.session().deviceState(), DeviceStateFailed);
  EXPECT_TRUE(h.log().contains(QStringLiteral("last words")));
  EXPECT_TRUE(
      h.log().endsWith(QStringLiteral("Process exited with code %1.\n").arg(h.lastStatus())));
}

TEST(Install, ConfirmedInstallRunsTheToolAndEndsWithTheSuccessAlert) {
  Harness h;
  PrepareInstall(h);
  h.installTool(InstallScript(64, 4, 0));
  h.session().installFirmware();

  ASSERT_EQ(h.dialogs().confirmations.size(), 1);
  EXPECT_EQ(h.dialogs().confirmations[0].style, Dialogs::Style::Critical);
  EXPECT_EQ(h.dialogs().confirmations[0].title, QStringLiteral("Flash the OS to the MPC4000?"));
  EXPECT_EQ(h.dialogs().confirmations[0].text,
            QStringLiteral("Flash memory is erased before writing. Do not power off the MPC4000 "
                           "or unplug USB until it finishes."));
  EXPECT_EQ(h.dialogs().confirmButtons, QStringList({"Flash", "Cancel"}));
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.flashing"));
  EXPECT_EQ(h.label("percentLabel")->text(), QStringLiteral("0%"));
  EXPECT_TRUE(h.session().installing());
  EXPECT_TRUE(AllButtonsDisabled(h));

  // What the user sees behind the final alert.
  QString operationBehindAlert;
  bool installEnabledBehindAlert = false;
  h.dialogs().onAlert = [&] {
    operationBehindAlert = h.label("operationLabel")->text();
    installEnabledBehindAlert = h.button("installButton")->isEnabled();
  };
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.done"));
  EXPECT_EQ(h.progress(), 100.0);
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
  EXPECT_TRUE(h.button("installButton")->isEnabled());
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Informational);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing complete"));
  EXPECT_EQ(h.dialogs().alerts[0].text,
            QStringLiteral("Wait for the MPC4000 to finish, then restart it."));
  EXPECT_EQ(operationBehindAlert, QStringLiteral("Flashing complete"));
  EXPECT_TRUE(installEnabledBehindAlert);
  EXPECT_TRUE(h.log().contains(
      QStringLiteral("$ vtflash --firmware %1 --sha256 ").arg(h.session().firmwarePath())));
  EXPECT_TRUE(h.log().contains(QStringLiteral("\nErase 100% (64/64)\nWriting firmware...\n")));
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("Process exited with code 0.\n")));
}

TEST(Install, DecliningTheConfirmationChangesNothing) {
  Harness h;
  PrepareInstall(h);
  // An installation that stopped during the erase left its bar and operation.
  h.installTool(ShellTool("printf 'Erase  85%% (17/20)\\n'\nexit 1"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  h.installTool(InstallScript(4, 1, 0));
  h.dialogs().confirmAnswer = false;
  const QString log = h.log();
  h.session().installFirmware();
  EXPECT_EQ(h.dialogs().confirmations.size(), 2);
  EXPECT_FALSE(h.session().busy());
  EXPECT_EQ(h.progress(), 42.5);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.log(), log);
}

TEST(Install, FailureAfterTheCompletionLineReplacesDoneWithError) {
  Harness h;
  PrepareInstall(h);
  h.installTool(InstallScript(8, 2, 1));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.progress(), 100.0);
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.session().deviceState(), DeviceStateReady);
}

TEST(Install, FailedEraseLeavesTheBarWhereItStopped) {
  Harness h;
  PrepareInstall(h);
  h.installTool(
      ShellTool("printf 'Erasing flash...\\n\\rErase  25%% (1/4)\\rErase  50%% (2/4)'\n"
                "printf 'USB read failed: IOReturn 0xe00002d6.\\n' >&2\n"
                "printf '\\nErase failed at block 2.\\n' >&2\nexit 1"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.progress(), 25.0);
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.error"));
  EXPECT_EQ(h.label("percentLabel")->text(), QString());
}

TEST(Install, ImagePathWithSpacesReachesTheToolAsOneArgument) {
  Harness h;
  PrepareInstall(h, QStringLiteral("my os image.bin"));
  h.installTool(ShellTool("for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  const QString path = h.session().firmwarePath();
  EXPECT_TRUE(h.log().contains(
      QStringLiteral("$ vtflash --firmware %1 --sha256 %2 --yes\n[--firmware]\n[%1]\n[--sha256]\n"
                     "[%2]\n[--yes]\n")
          .arg(path, Sha256Of(path))));
}

}  // namespace
