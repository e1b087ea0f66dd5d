// The sampler as it comes and goes, seen by the simulated tool's watcher: a file plugs it in.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QPushButton>
#include <QSignalSpy>

#include "session/DeviceWatcher.h"
#include "test_support.h"
#include "widgets/PlainLabel.h"

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

const QByteArray kArrives = "AKAI device 09e8:0061 connected at bus 1, port 1.4.\n";
const QByteArray kLeaves = "AKAI device 09e8:0061 disconnected from bus 1, port 1.4.\n";

// A fake tool whose watch copies what the test writes into a named pipe, and whose every run
// waits at the gate; a check fails unless the file READY lies beside the pipe.
class FakeWatch {
 public:
  explicit FakeWatch(Harness& h) : h_(h), path_(h.scratchPath(QStringLiteral("watch"))) {
    ::mkfifo(QFile::encodeName(path_).constData(), 0600);
    const QByteArray folder = QFile::encodeName(h.scratchPath(QString()));
    h.installTool("#!/bin/sh\n[ \"$1\" = --watch ] && exec cat '" + QFile::encodeName(path_) +
                  "'\n" + kWaitAtGate + "[ \"$1\" = --info ] && [ ! -e '" + folder +
                  "/READY' ] && exit 1\nexit 0\n");
  }
  ~FakeWatch() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FakeWatch(const FakeWatch&) = delete;
  FakeWatch& operator=(const FakeWatch&) = delete;

  // Writes `lines` for the watch to print, and waits until the session has heard each of them.
  bool report(const QByteArray& lines) {
    if (!h_.waitUntil([&] {
          fd_ =
              fd_ >= 0 ? fd_ : ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_NONBLOCK);
          return fd_ >= 0;
        })) {
      return false;
    }
    QSignalSpy heard(h_.session().findChild<DeviceWatcher*>(), &DeviceWatcher::reported);
    return ::write(fd_, lines.constData(), size_t(lines.size())) == lines.size() &&
           h_.waitUntil([&] { return heard.count() == lines.count('\n'); });
  }

 private:
  Harness& h_;
  QString path_;
  int fd_ = -1;
};

struct RunPresenceCase {
  const char* name;
  bool install;  // else a check runs
  QByteArray report;
  DeviceState after;
  int checks;  // "--info" runs in all
};

void PrintTo(const RunPresenceCase& c, std::ostream* out) {
  *out << c.name;
}

class PresenceDuringARun : public ::testing::TestWithParam<RunPresenceCase> {};

TEST_P(PresenceDuringARun, AppliesOnceTheRunHasEnded) {
  const RunPresenceCase& c = GetParam();
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  FakeWatch watch(h);
  h.launch();
  // The report during the run is the watch's first, so no bouncing cable holds it back.
  if (c.install) {
    WriteFile(h.scratchPath(QStringLiteral("READY")), {});
    h.session().checkDevice();
    ASSERT_TRUE(gate.open(h) && h.waitForRun());
    ASSERT_TRUE(h.adopt(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64))));
    h.session().installFirmware();
  } else {
    h.session().checkDevice();
  }
  ASSERT_TRUE(gate.hold(h));
  const QString log = h.log();
  const DeviceState state = h.session().deviceState();
  ASSERT_TRUE(watch.report(c.report));
  EXPECT_EQ(h.log(), log);
  EXPECT_EQ(h.session().deviceState(), state);
  ASSERT_TRUE(gate.release() && h.waitForRun());
  ASSERT_TRUE(
      h.waitUntil([&] { return h.log().count(QStringLiteral("$ vtflash --info")) == c.checks; }));
  if (h.session().busy()) {
    ASSERT_TRUE(gate.open(h) && h.waitForRun());
  }
  ASSERT_TRUE(h.waitUntil([&] { return h.session().deviceState() == c.after; }));
}

INSTANTIATE_TEST_SUITE_P(Reports, PresenceDuringARun,
                         ::testing::Values(RunPresenceCase{"leaves during the installation", true,
                                                           kLeaves, DeviceStateNotConnected, 1},
                                           RunPresenceCase{"arrives during a failing check", false,
                                                           kArrives, DeviceStateFailed, 2}));

TEST(SamplerPresence, BouncingCableAppliesItsLastWordOnceSettled) {
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  FakeWatch watch(h);
  WriteFile(h.scratchPath(QStringLiteral("READY")), {});
  h.launch();
  h.session().checkDevice();
  ASSERT_TRUE(gate.open(h) && h.waitForRun());
  ASSERT_TRUE(watch.report(kLeaves + kArrives + kLeaves + kArrives + kLeaves));
  // The arrivals in between start no check.
  EXPECT_FALSE(h.session().busy());
  ASSERT_TRUE(h.waitUntil([&] { return h.session().deviceState() == DeviceStateNotConnected; }));
  EXPECT_EQ(h.log().count(QStringLiteral("$ vtflash --info")), 1);
  EXPECT_EQ(h.log().count(QStringLiteral("MPC4000 disconnected.")), 1);
}

TEST(SamplerPresence, AnotherAkaiDeviceIsShownWhileThereWithoutACheck) {
  Harness h;
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  FakeWatch watch(h);
  h.launch();
  const QString hint = h.label("deviceDetailLabel")->text();
  ASSERT_TRUE(
      watch.report("Found AKAI device 09e8:0062 \"MPC1000\" at bus 1, port 1.4: it is not "
                   "an MPC4000 in \"OS Loader\" mode.\n"));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(),
            QStringLiteral(
                "MPC1000 (09e8:0062) is connected instead. Switch the MPC4000 to OS Loader mode."));
  EXPECT_FALSE(h.session().busy());
  ASSERT_TRUE(watch.report("AKAI device 09e8:0062 disconnected from bus 1, port 1.4.\n"));
  EXPECT_EQ(h.label("deviceDetailLabel")->text(), hint);
  EXPECT_FALSE(h.log().contains(QLatin1String("--info")));
}

}  // namespace
