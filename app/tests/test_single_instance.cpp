// One Veltrin per user session: a second start, a real process of its own, brings the running
// window back and hands it its image, as if it had been dropped on the window.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "desktop/SingleInstance.h"
#include "test_support.h"

namespace {

class SecondStart : public ::testing::TestWithParam<bool> {};

TEST_P(SecondStart, BringsTheRunningWindowBackWithItsImage) {
  const bool windowClosedDuringInstall = GetParam();
  const QTemporaryDir runtime;  // the user session's runtime folder
  const EnvironmentScope session("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  Harness h;
  h.launch();
  SingleInstance instance;
  ASSERT_TRUE(instance.listen());
  QObject::connect(&instance, &SingleInstance::startedAgain, &h.app(), &AppDelegate::startedAgain);
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  if (windowClosedDuringInstall) {
    h.installTool(ShellTool(kWaitAtGate));
    h.readyToInstall(h.makeImage(QStringLiteral("running.bin"), MakeImageBytes(64)));
    h.session().installFirmware();
    ASSERT_TRUE(gate.hold(h));
    h.dialogs().quitAnswer = true;
    h.window()->close();
    ASSERT_FALSE(h.window()->isVisible());
  }

  // Named relative to the second start's own working folder.
  const QString image = h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64));
  QProcess second;
  second.setWorkingDirectory(QFileInfo(image).path());
  second.start(QStringLiteral(VELTRIN_APP_PATH), {QStringLiteral("os.bin")});
  ASSERT_TRUE(h.waitUntil([&] { return second.state() == QProcess::NotRunning; }));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  ASSERT_TRUE(h.waitUntil([&] { return h.window()->isVisible(); }));
  // During the installation the image cannot change, as for a drop.
  const QString adopted = windowClosedDuringInstall ? h.scratchPath("running.bin") : image;
  EXPECT_TRUE(h.waitUntil([&] { return h.session().firmwarePath() == adopted; }));
  gate.release();
  ASSERT_TRUE(h.waitForRun());
}

INSTANTIATE_TEST_SUITE_P(Windows, SecondStart, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& test) {
                           return test.param ? std::string("ClosedDuringAnInstallation")
                                             : std::string("Open");
                         });

}  // namespace
