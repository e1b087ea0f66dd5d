// The sampler as it comes and goes, seen by the simulated tool's watcher: a file plugs it in.

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>

#include "test_support.h"

namespace {

struct PresenceCase {
  const char* name;
  bool pluggedAtLaunch;
  const char* change;  // after launch: "plug", "unplug", "unplug during the write"
  DeviceState state;
  const char* logEnd;
};

void PrintTo(const PresenceCase& c, std::ostream* out) {
  *out << c.name;
}

class SamplerPresence : public ::testing::TestWithParam<PresenceCase> {};

TEST_P(SamplerPresence, IsCheckedWhenItArrivesAndShownGoneWhenItLeaves) {
  const PresenceCase& c = GetParam();
  Harness h;
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  const QString plug = h.scratchPath(QStringLiteral("plug"));
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  const EnvironmentScope scenario("VTFLASH_SIM",
                                  "blocks=8,block_size=16384,gate=" + qgetenv("VELTRIN_TEST_GATE") +
                                      "@write0,plug=" + QFile::encodeName(plug));
  if (c.pluggedAtLaunch) {
    WriteFile(plug, {});
  }
  h.installBuiltinImage(MakeImageBytes(65536));
  h.launch();
  ASSERT_TRUE(h.waitUntil([&] { return h.finishedRuns() == (c.pluggedAtLaunch ? 1 : 0); }));
  const QString change = QLatin1String(c.change);
  if (change == QLatin1String("plug")) {
    WriteFile(plug, {});
  } else if (change == QLatin1String("unplug during the write")) {
    ASSERT_TRUE(h.waitForFacts());
    h.session().installFirmware();
    ASSERT_TRUE(gate.hold(h));
    QFile::remove(plug);
    gate.release();
  } else {
    QFile::remove(plug);
  }
  ASSERT_TRUE(h.waitUntil([&] {
    return !h.session().busy() && h.finishedRuns() >= 1 && h.session().deviceState() == c.state;
  }));
  EXPECT_EQ(h.log().count(QStringLiteral("$ vtflash --info")), 1) << h.log().toStdString();
  EXPECT_TRUE(h.log().endsWith(QLatin1String(c.logEnd))) << h.log().toStdString();
  EXPECT_EQ(h.button("installButton")->isEnabled(), c.state == DeviceStateReady);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, SamplerPresence,
    ::testing::Values(
        PresenceCase{"there at launch", true, "", DeviceStateReady, "exited with code 0.\n"},
        PresenceCase{"arrives while idle", false, "plug", DeviceStateReady,
                     "(131072 bytes).\nProcess exited with code 0.\n"},
        PresenceCase{"leaves while idle", true, "unplug", DeviceStateNotConnected,
                     "Process exited with code 0.\nMPC4000 disconnected.\n"},
        PresenceCase{"leaves during the installation", true, "unplug during the write",
                     DeviceStateNotConnected,
                     "Write failed at offset 0x00008000.\nProcess exited with code 1.\n"
                     "MPC4000 disconnected.\n"}));

}  // namespace
