// The installation record the flash tool keeps, as the next launch reads it: an installation that
// did not complete is said, with when and where it stopped, until one completes.

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "session/ToolRunner.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"

namespace {

struct EndCase {
  const char* name;
  const char* scenario;  // after the flash's size
  int signal;            // sent `times` times while the tool waits in its second chunk
  int times;
  const char* said;  // how the window says it ended (a pattern); null: it says nothing
};

void PrintTo(const EndCase& c, std::ostream* out) {
  *out << c.name;
}

class LastInstallation : public ::testing::TestWithParam<EndCase> {};

TEST_P(LastInstallation, IsSaidAtTheNextLaunchUntilOneCompletes) {
  const EndCase& c = GetParam();
  const QTemporaryDir state;
  const EnvironmentScope home("XDG_STATE_HOME", QFile::encodeName(state.path()));
  {
    Harness h;
    h.launch();
    ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
    Gate gate(h.scratchPath(QStringLiteral("gate")));
    const QByteArray gated = ",gate=" + qgetenv("VELTRIN_TEST_GATE") + "@write1";
    const EnvironmentScope scenario("VTFLASH_SIM", "blocks=8,block_size=16384" +
                                                       QByteArray(c.scenario) +
                                                       (c.times > 0 ? gated : QByteArray()));
    h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(3 * 32768)));
    h.session().installFirmware();
    if (c.times > 0) {
      ASSERT_TRUE(gate.hold(h));
      for (int i = 0; i < c.times; ++i) {
        ::kill(pid_t(h.toolPid()), c.signal);
        // A signal sent before the tool took the one before would merge with it.
        ASSERT_TRUE(i + 1 == c.times || h.waitUntil([&] {
          return h.log().contains(QLatin1String("Press Ctrl-C again"));
        }));
      }
      gate.release();
    }
    ASSERT_TRUE(h.waitForRun());
  }
  Harness next;
  next.launch();
  ASSERT_TRUE(next.waitUntil([&] { return next.session().lastInstallation().has_value(); }));
  const PlainLabel* said = next.label("unfinishedLabel");
  ASSERT_EQ(said->isVisibleTo(next.window()), c.said != nullptr) << said->text().toStdString();
  if (c.said) {
    const QRegularExpression sentence(
        QStringLiteral("^The last installation, on \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d, %1\\. "
                       "Install the OS again before you restart the MPC4000\\.$")
            .arg(QLatin1String(c.said)));
    EXPECT_TRUE(sentence.match(said->text()).hasMatch()) << said->text().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, LastInstallation,
    ::testing::Values(EndCase{"completed", "", 0, 0, nullptr},
                      EndCase{"failed in the write", ",fault=status:0x05@write1", 0, 0,
                              "failed at offset 0x00008000"},
                      EndCase{"stopped by two SIGTERMs", "", SIGTERM, 2,
                              "was stopped at offset 0x00010000"},
                      EndCase{"killed", "", SIGKILL, 1, "was interrupted before it ended"}));

TEST(LastInstallation, IsReadAgainAfterEachInstallationOfTheSameSession) {
  const QTemporaryDir state;
  const EnvironmentScope home("XDG_STATE_HOME", QFile::encodeName(state.path()));
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(3 * 32768)));
  const PlainLabel* said = h.label("unfinishedLabel");
  for (const bool completes : {false, true}) {
    const EnvironmentScope scenario(
        "VTFLASH_SIM", completes ? "blocks=8,block_size=16384"
                                 : "blocks=8,block_size=16384,fault=status:0x05@write1");
    h.session().installFirmware();
    ASSERT_TRUE(h.waitForRun());
    ASSERT_TRUE(h.waitUntil([&] { return said->isVisibleTo(h.window()) != completes; }));
  }
}

}  // namespace
