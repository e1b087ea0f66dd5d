// The tool's output on its way to the log and the parser, the actions ignored while a tool runs,
// and where the application looks for the tool.

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>

#include "fake_tools.h"
#include "test_support.h"

namespace {

TEST(Runner, ActionsWhileAToolRunsAreIgnored) {
  Harness h;
  PrepareInstall(h);
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.installTool(ShellTool(kWaitAtGate));
  h.session().checkDevice();
  const QString log = h.log();
  h.session().checkDevice();
  h.session().installFirmware();
  h.button("checkButton")->click();
  h.button("installButton")->click();
  EXPECT_EQ(h.log(), log);
  EXPECT_TRUE(h.dialogs().confirmations.isEmpty());
  ASSERT_TRUE(gate.open(h));
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.finishedRuns(), 1);
}

TEST(Runner, BothStreamsReachTheLogInTheOrderWritten) {
  Harness h;
  h.launch();
  h.installTool(ShellTool("echo one\necho two >&2\necho three\necho four >&2"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_TRUE(h.log().contains(QStringLiteral("$ vtflash --info\none\ntwo\nthree\nfour\nProcess")));
}

TEST(Runner, ProgressLineSplitAcrossTwoWritesMatchesNeitherPiece) {
  Harness h;
  PrepareInstall(h);
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.installTool(ShellTool("printf '\\rEra'\n" + kWaitAtGate + "printf 'se  50%% (1/2)'\nexit 1"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitUntil([&] { return h.log().endsWith(QLatin1String("\nEra")); }));
  ASSERT_TRUE(gate.open(h));
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.progress(), 0.0);
  EXPECT_TRUE(
      h.log().endsWith(QStringLiteral("--yes\n\nErase  50% (1/2)\nProcess exited with code 1.\n")));
}

TEST(Runner, CharacterSplitAcrossTwoWritesShowsAsLatin1) {
  Harness h;
  h.launch();
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.installTool(ShellTool("printf 'caf\\303'\n" + kWaitAtGate + "printf '\\251\\n'"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(QLatin1String("caf")); }));
  ASSERT_TRUE(gate.open(h));
  ASSERT_TRUE(h.waitForRun());
  EXPECT_TRUE(h.log().contains(QStringLiteral("--info\ncaf\u00c3\u00a9\nProcess exited")));
}

TEST(Runner, InvalidUtf8ChunkShowsAsLatin1AndValidTextAsUtf8) {
  Harness h;
  h.launch();
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.installTool(
      ShellTool("printf 'caf\\351\\n'\n" + kWaitAtGate +
                "printf '\\320\\223\\320\\276\\321\\202\\320\\276\\320\\262\\320\\276\\n'"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(QLatin1String("caf")); }));
  ASSERT_TRUE(gate.open(h));
  ASSERT_TRUE(h.waitForRun());
  EXPECT_TRUE(
      h.log().contains(QStringLiteral("caf\u00e9\n\u0413\u043e\u0442\u043e\u0432\u043e\n")));
}

TEST(Runner, LargeBurstOfProgressArrivesCompleteAndInOrder) {
  Harness h;
  PrepareInstall(h);
  h.installTool(ShellTool(ProgressLoop("Erase", 4096) + ProgressLoop("Write", 2048)));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  const QString expected = ExpectedProgress("Erase", 4096) + ExpectedProgress("Write", 2048);
  QString lines = expected;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  EXPECT_TRUE(h.log().contains(lines + QStringLiteral("Process exited with code 0.\n")));
  EXPECT_EQ(h.session().operationKey(), QStringLiteral("op.done"));
}

TEST(Runner, SecondRunFollowsTheFirstInTheLog) {
  Harness h;
  h.launch();
  h.installTool(ShellTool("echo first"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  h.installTool(ShellTool("echo second"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_TRUE(h.log().contains(
      QStringLiteral("first\nProcess exited with code 0.\n$ vtflash --info\nsecond\n")));
}

}  // namespace

namespace {

struct BundleCase {
  const char* executableDir;
  const char* bundle;
};

class BundleDirectory : public ::testing::TestWithParam<BundleCase> {};

TEST_P(BundleDirectory, IsTheAppFolderAroundContentsMacOSElseTheExecutablesFolder) {
  const BundleCase& c = GetParam();
  EXPECT_EQ(BundleDirectoryForExecutableDir(QString::fromLatin1(c.executableDir)),
            QString::fromLatin1(c.bundle));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, BundleDirectory,
    ::testing::Values(
        BundleCase{"/opt/build/Veltrin.app/Contents/MacOS", "/opt/build/Veltrin.app"},
        BundleCase{"/opt/build/Veltrin.app/Contents/MacOS/", "/opt/build/Veltrin.app"},
        BundleCase{"/opt/demo/Other.app/Contents/MacOS", "/opt/demo/Other.app"},
        BundleCase{"/usr/lib/veltrin/bin", "/usr/lib/veltrin/bin"},
        BundleCase{"/opt/build/Contents/MacOS", "/opt/build/Contents/MacOS"},
        BundleCase{"/opt/build/Veltrin.app/Other/MacOS", "/opt/build/Veltrin.app/Other/MacOS"}));

TEST(LoaderPath, PrefersTheBundleCopyAndElseNamesTheWorkingDirectory) {
  Harness h;
  h.launch();
  const auto check = [&] {
    h.session().checkDevice();
    return h.waitForRun() ? h.log() : QString();
  };
  EXPECT_TRUE(check().endsWith(QStringLiteral("Helper not found: %1/vtflash\n").arg(h.workPath())));
  // A folder with the tool's name is not a tool.
  QDir().mkpath(h.bundlePath() + QStringLiteral("/Contents/MacOS/vtflash"));
  h.installToolInWorkingDirectory(ShellTool("echo working directory"));
  EXPECT_TRUE(
      check().endsWith(QStringLiteral("\nworking directory\nProcess exited with code 0.\n")));
  QDir().rmdir(h.bundlePath() + QStringLiteral("/Contents/MacOS/vtflash"));
  h.installTool(ShellTool("echo bundle"));
  EXPECT_TRUE(check().endsWith(QStringLiteral("\nbundle\nProcess exited with code 0.\n")));
}

}  // namespace
