// An installation's progress on the application's icon, as the docks read it from the session
// bus: on from the start of the installation to its end, never for a device check.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QVariantMap>

#include "desktop/LauncherEntry.h"
#include "fake_tools.h"

namespace {

// What a dock hears: each Update signal's progress, or -1 when it takes the progress away.
class Dock : public QObject {
  Q_OBJECT

 public:
  QStringList uris;
  QList<double> progress;

 public slots:
  void update(const QString& uri, const QVariantMap& properties) {
    uris << uri;
    const bool visible = properties.value(QStringLiteral("progress-visible")).toBool();
    progress << (visible ? properties.value(QStringLiteral("progress")).toDouble() : -1);
  }
};

struct IconCase {
  const char* name;
  bool install;  // else a device check
  QByteArray script;
  double highest;  // the most the icon showed; -1 for nothing at all
};

class IconProgress : public ::testing::TestWithParam<IconCase> {};

TEST_P(IconProgress, ShowsAnInstallationUntilItEnds) {
  QProcess daemon;  // a session bus of the test's own
  daemon.start(
      QStringLiteral("dbus-daemon"),
      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
  ASSERT_TRUE(daemon.waitForReadyRead(10000)) << "no dbus-daemon";
  const QString address = QString::fromLatin1(daemon.readLine().trimmed());
  QDBusConnection app = QDBusConnection::connectToBus(address, QStringLiteral("icon-app"));
  QDBusConnection dock = QDBusConnection::connectToBus(address, QStringLiteral("icon-dock"));
  Dock heard;
  ASSERT_TRUE(dock.connect(QString(), QString(),
                           QStringLiteral("com.canonical.Unity.LauncherEntry"),
                           QStringLiteral("Update"), &heard, SLOT(update(QString, QVariantMap))));
  {
    Harness h;
    h.app().setLauncherEntry(std::make_unique<LauncherEntry>(app));
    PrepareInstall(h);
    h.installTool(ShellTool(GetParam().script));
    GetParam().install ? h.session().installFirmware() : h.session().checkDevice();
    ASSERT_TRUE(h.waitForRun());
    // A last signal of the test's own on the same connection comes after any the run sent.
    app.send(QDBusMessage::createSignal(QStringLiteral("/end"),
                                        QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                        QStringLiteral("Update"))
             << QStringLiteral("end") << QVariantMap());
    ASSERT_TRUE(h.waitUntil([&] { return heard.uris.contains(QStringLiteral("end")); }));
  }
  heard.uris.removeLast();
  heard.progress.removeLast();
  for (const QString& uri : heard.uris) {
    EXPECT_EQ(uri, QStringLiteral("application://veltrin.desktop"));
  }
  if (GetParam().highest < 0) {
    EXPECT_TRUE(heard.progress.isEmpty());
  } else {
    ASSERT_GE(heard.progress.size(), 2);
    EXPECT_EQ(heard.progress.first(), 0.0);
    EXPECT_EQ(heard.progress.last(), -1.0);  // taken away at the end
    EXPECT_TRUE(std::is_sorted(heard.progress.begin(), heard.progress.end() - 1));
    EXPECT_EQ(*std::max_element(heard.progress.begin(), heard.progress.end()), GetParam().highest);
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("icon-app"));
  QDBusConnection::disconnectFromBus(QStringLiteral("icon-dock"));
  daemon.terminate();
  daemon.waitForFinished(5000);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, IconProgress,
    ::testing::Values(
        IconCase{"installed", true, ProgressLoop("Erase", 4) + ProgressLoop("Write", 4), 1.0},
        IconCase{"failed in the erase", true, ProgressLoop("Erase", 2) + "exit 1", 0.5},
        IconCase{"device check", false, ProgressLoop("Erase", 2), -1}),
    [](const auto& test) {
      return QString::fromLatin1(test.param.name).remove(' ').toStdString();
    });

}  // namespace

#include "test_task_bar_progress.moc"
