// An installation's progress on the application's icon, as a dock hears it on the session bus.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QProcess>
#include <QRegularExpression>

#include "desktop/LauncherEntry.h"
#include "fake_tools.h"

namespace {

TEST(IconProgress, ShowsAnInstallationFromItsStartUntilItEnds) {
  QProcess bus;  // a session bus of the test's own, and a dock that listens on it
  bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                            QStringLiteral("--print-address")});
  ASSERT_TRUE(bus.waitForReadyRead(10000)) << "no dbus-daemon";
  const QString address = QString::fromLatin1(bus.readLine().trimmed());
  QProcess dock;
  dock.start(QStringLiteral("dbus-monitor"),
             {QStringLiteral("--address"), address,
              QStringLiteral("interface='com.canonical.Unity.LauncherEntry'")});
  Harness h;
  QByteArray heard;
  const auto hear = [&](const char* text) {
    return h.waitUntil([&] { return (heard += dock.readAllStandardOutput()).contains(text); });
  };
  ASSERT_TRUE(hear("member=NameLost"));  // the monitor listens from here on
  h.app().setLauncherEntry(std::make_unique<LauncherEntry>(
      QDBusConnection::connectToBus(address, QStringLiteral("veltrin"))));
  PrepareInstall(h);
  h.installTool(ShellTool(ProgressLoop("Erase", 4) + "exit 1"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  ASSERT_TRUE(hear("boolean false"));  // taken off the icon at the end
  QList<double> progress;
  for (const auto& match : QRegularExpression(QStringLiteral("double (\\S+)"))
                               .globalMatch(QString::fromLatin1(heard))) {
    progress << match.captured(1).toDouble();
  }
  // From the start to the end of the erase, the first half of the work, then taken away.
  EXPECT_EQ(progress, (QList<double>{0, 0.125, 0.25, 0.375, 0.5, 0}));
  EXPECT_EQ(heard.count("string \"application://veltrin.desktop\""), 6);
  EXPECT_GT(heard.indexOf("boolean false"), heard.lastIndexOf("boolean true"));
  for (QProcess* process : {&dock, &bus}) {
    process->terminate();
    process->waitForFinished(5000);
  }
}

}  // namespace
