// Behaving like a desktop application: images given on the command line or dropped on the window,
// the notification at the end of an installation in the background, and the question before
// quitting during an installation.

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

#include "desktop/Notifier.h"
#include "session/ToolRunner.h"
#include "test_support.h"

namespace {

const QByteArray kSlowTool = ShellTool("sleep 30");

// A drag of `path` over the window, then its drop. True when the window accepted the drag.
bool DropOnWindow(Harness& h, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QWidget* window = h.window();
  const QPoint middle = window->rect().center();
  QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDropEvent drop(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  return enter.isAccepted();
}

struct OpenCase {
  const char* name;
  bool byDrop;            // else by the command line
  const char* argument;   // %1: the scratch folder; the working directory is the harness's
  const char* imageName;  // made in the scratch folder, or in the working directory when relative
  bool valid;
  bool duringRun;
};

void PrintTo(const OpenCase& c, std::ostream* out) {
  *out << c.name;
}

class OpeningAnImage : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpeningAnImage, AdoptsItLikeAChosenFileOrRefusesIt) {
  const OpenCase& c = GetParam();
  Harness h;
  h.launch();
  const QString name = QString::fromLatin1(c.imageName);
  const QString image = name.startsWith(QLatin1Char('/')) ? h.scratchPath(name.mid(1))
                                                          : QDir(h.workPath()).filePath(name);
  ASSERT_TRUE(WriteFile(image, c.valid ? MakeImageBytes(64) : QByteArray(64, 'x')));
  if (c.duringRun) {
    h.installTool(kSlowTool);
    h.session().checkDevice();
  }
  const QString before = h.log();

  if (c.byDrop) {
    EXPECT_EQ(DropOnWindow(h, image), !c.duringRun);
    QCoreApplication::processEvents();
  } else {
    const QString argument =
        QString::fromLatin1(c.argument).arg(QFileInfo(h.scratchPath(QStringLiteral("x"))).path());
    const QStringList arguments = QStringList({"veltrin"}) + argument.split(QLatin1Char(' '));
    h.session().openFirmwareFile(AppDelegate::firmwareArgument(arguments));
  }

  if (c.duringRun) {
    EXPECT_EQ(h.log(), before);
    EXPECT_TRUE(h.dialogs().alerts.isEmpty());
    EXPECT_TRUE(h.session().firmwarePath().isEmpty());
    ::kill(pid_t(h.toolPid()), SIGKILL);
    ASSERT_TRUE(h.waitForRun());
  } else if (c.valid) {
    EXPECT_EQ(h.session().firmwarePath(), image);
    ASSERT_TRUE(h.waitForFacts());
    EXPECT_EQ(h.log(), before + AdoptedImageLog(image));
    EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  } else {
    EXPECT_TRUE(h.session().firmwarePath().isEmpty());
    EXPECT_EQ(h.log(), before);
    ASSERT_EQ(h.dialogs().alerts.size(), 1);
    EXPECT_EQ(h.dialogs().alerts[0].title,
              QStringLiteral("This does not look like MPC4000 firmware"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, OpeningAnImage,
    ::testing::Values(
        OpenCase{"argument with a full path", false, "%1/os.bin", "/os.bin", true, false},
        OpenCase{"argument relative to the working folder", false, "os.bin", "os.bin", true, false},
        OpenCase{"argument as a file URL", false, "file://%1/os.bin", "/os.bin", true, false},
        OpenCase{"argument after an option and --", false, "-style -- -odd.bin", "-odd.bin", true,
                 false},
        OpenCase{"argument that is no OS image", false, "%1/notes.bin", "/notes.bin", false, false},
        OpenCase{"drop", true, "", "/dropped os.bin", true, false},
        OpenCase{"drop of a file that is no OS image", true, "", "/notes.bin", false, false},
        OpenCase{"drop while a run goes on", true, "", "/os.bin", true, true}));

TEST(OpeningAnImage, NoArgumentAdoptsNothing) {
  EXPECT_EQ(AppDelegate::firmwareArgument({"veltrin"}), QString());
  EXPECT_EQ(AppDelegate::firmwareArgument({"veltrin", "-reverse"}), QString());
}

}  // namespace

namespace {

struct QuitCase {
  const char* name;
  const char* phase;  // the records seen before the user quits; null: during a device check
  bool byMenu;        // else by closing the window
  bool quit;          // the user's answer to the question
};

void PrintTo(const QuitCase& c, std::ostream* out) {
  *out << c.name;
}

QAction* QuitAction(Harness& h) {
  return h.view<QMenuBar>("mainMenu")->actions().at(0)->menu()->actions().last();
}

class QuittingDuringARun : public ::testing::TestWithParam<QuitCase> {};

TEST_P(QuittingDuringARun, AsksFirstAndAQuitApplicationLeavesTheInstallationToEnd) {
  const QuitCase& c = GetParam();
  ASSERT_FALSE(QStringLiteral(VTFLASH_SIM_PATH).isEmpty()) << "vtflash-sim was not built";
  Harness h;
  h.app().installMainMenu();
  h.launch();
  // The simulated sampler behind a shell that notes its exit status: the application may be gone
  // by the time it ends.
  const QString status = h.scratchPath(QStringLiteral("status"));
  h.installTool(ShellTool("'" + QFile::encodeName(QStringLiteral(VTFLASH_SIM_PATH)) +
                          "' \"$@\"\necho $? > '" + QFile::encodeName(status) + "'"));
  QByteArray image = MakeImageBytes(3 * 32768);
  for (int i = 56; i < image.size(); ++i) {
    image[i] = char(i * 7);
  }
  const QString dump = h.scratchPath(QStringLiteral("flash.dump"));
  const EnvironmentScope scenario(
      "VTFLASH_SIM",
      "blocks=24,block_size=4096,erase_ms=60,byte_ns=20000,dump=" + QFile::encodeName(dump));
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), image));
  if (c.phase) {
    h.session().installFirmware();
    const QString record = QStringLiteral("\n%1 ").arg(QLatin1String(c.phase));
    ASSERT_TRUE(h.waitUntil([&] { return h.log().contains(record); }));
  } else {
    h.installTool(kSlowTool);
    h.session().checkDevice();
  }
  ASSERT_TRUE(h.session().busy());
  h.dialogs().quitAnswer = c.quit;

  if (c.byMenu) {
    QuitAction(h)->trigger();
  } else {
    h.window()->close();
  }

  if (!c.phase) {
    EXPECT_TRUE(h.dialogs().questions.isEmpty());
    EXPECT_FALSE(h.window()->isVisible());
    ::kill(pid_t(h.toolPid()), SIGKILL);
    ASSERT_TRUE(h.waitForRun());
    return;
  }
  ASSERT_EQ(h.dialogs().questions.size(), 1);
  EXPECT_EQ(h.dialogs().questions[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().questions[0].title, QStringLiteral("The installation is still running"));
  EXPECT_EQ(h.dialogs().questions[0].text,
            QStringLiteral("If Veltrin quits, the installation goes on by itself until it ends. "
                           "Do not switch off or unplug the MPC4000 until then."));
  EXPECT_EQ(h.dialogs().questionButtons, QStringList({"Keep Veltrin Open", "Quit"}));
  EXPECT_EQ(h.window()->isVisible(), !c.quit);
  if (c.quit) {
    h.endApplication();
  } else {
    ASSERT_TRUE(h.waitForRun());
    EXPECT_EQ(h.dialogs().alerts.size(), 1);
  }
  ASSERT_TRUE(h.waitUntil([&] { return QFileInfo(status).size() > 0; }));
  QFile exit(status);
  ASSERT_TRUE(exit.open(QIODevice::ReadOnly));
  EXPECT_EQ(exit.readAll(), "0\n");
  QFile flash(dump);
  ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
  EXPECT_TRUE(flash.readAll().startsWith(image));
}

INSTANTIATE_TEST_SUITE_P(
    Moments, QuittingDuringARun,
    ::testing::Values(QuitCase{"quit during the erase", "Erase", true, true},
                      QuitCase{"window closed during the erase", "Erase", false, true},
                      QuitCase{"quit during the write", "Write", true, true},
                      QuitCase{"window closed during the write", "Write", false, true},
                      QuitCase{"kept open from the menu", "Erase", true, false},
                      QuitCase{"kept open instead of closing", "Write", false, false},
                      QuitCase{"window closed during a device check", nullptr, false, true}));

}  // namespace

namespace {

// A session bus of the test's own with python-dbusmock's notification daemon on it, which notes
// every call in a file.
class NotificationDaemon {
 public:
  NotificationDaemon() {
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address")});
    if (!bus_.waitForReadyRead(10000)) {
      return;
    }
    address_ = QString::fromLatin1(bus_.readLine().trimmed());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    mock_.setProcessEnvironment(environment);
    // The Debian package's module, whatever python an environment puts first on the PATH.
    mock_.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--template"),
                 QStringLiteral("notification_daemon"), QStringLiteral("-l"), callsPath()});
    connection_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(address_, QStringLiteral("notification-test")));
  }
  ~NotificationDaemon() {
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-test"));
    for (QProcess* process : {&mock_, &bus_}) {
      process->terminate();
      process->waitForFinished(5000);
    }
  }

  // True once the daemon answers on the bus.
  bool ready(Harness& h) {
    return connection_ && connection_->isConnected() && h.waitUntil([&] {
      return connection_->interface()->isServiceRegistered(
          QStringLiteral("org.freedesktop.Notifications"));
    });
  }
  const QDBusConnection& connection() const { return *connection_; }
  // The calls noted so far, one a line.
  QString calls() const {
    QFile file(callsPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

 private:
  QProcess bus_;
  QProcess mock_;
  QString address_;
  QString callsPath() const { return folder_.filePath(QStringLiteral("calls")); }

  QTemporaryDir folder_;
  std::unique_ptr<QDBusConnection> connection_;
};

struct NotificationCase {
  const char* name;
  const char* mode;  // "install" or "info"
  int status;
  bool windowActive;
  const char* expected;  // a part of the one noted call; null: no notification
  bool closed = false;   // the user quits while the run goes on, and it ends without a window
};

void PrintTo(const NotificationCase& c, std::ostream* out) {
  *out << c.name;
}

class EndOfARun : public ::testing::TestWithParam<NotificationCase> {};

TEST_P(EndOfARun, IsNotifiedWhenTheWindowIsNotActive) {
  const NotificationCase& c = GetParam();
  NotificationDaemon daemon;
  Harness h;
  ASSERT_TRUE(daemon.ready(h)) << "no dbus-daemon or python3-dbusmock";
  h.app().setNotifier(std::make_unique<Notifier>(daemon.connection()));
  h.launch();
  QWidget other;
  if (!c.windowActive) {
    other.show();
    other.activateWindow();
  }
  ASSERT_TRUE(h.waitUntil([&] { return h.window()->isActiveWindow() == c.windowActive; }));
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  Gate gate(h.scratchPath(QStringLiteral("gate")));
  h.installTool(ShellTool((c.closed ? kWaitAtGate : QByteArray()) +
                          "echo 'Write failed at offset 0x00008000.'\nexit " +
                          QByteArray::number(c.status)));
  if (QLatin1String(c.mode) == QLatin1String("install")) {
    h.session().installFirmware();
  } else {
    h.session().checkDevice();
  }
  if (c.closed) {
    ASSERT_TRUE(gate.hold(h));
    h.dialogs().quitAnswer = true;
    h.window()->close();
    gate.release();
  }
  ASSERT_TRUE(h.waitForRun());

  // A last notification of the test's own, on the same connection, comes after any the run sent.
  Notifier(daemon.connection()).notify(QStringLiteral("end of test"), QString());
  ASSERT_TRUE(h.waitUntil([&] { return daemon.calls().contains(QLatin1String("end of test")); }));
  const QStringList calls = daemon.calls().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  if (!c.expected) {
    EXPECT_EQ(calls.size(), 1) << daemon.calls().toStdString();
    return;
  }
  ASSERT_EQ(calls.size(), 2) << daemon.calls().toStdString();
  EXPECT_TRUE(calls[0].contains(QLatin1String("Notify"))) << calls[0].toStdString();
  EXPECT_TRUE(calls[0].contains(QLatin1String("\"Veltrin\""))) << calls[0].toStdString();
  EXPECT_TRUE(calls[0].contains(QString::fromUtf8(c.expected))) << calls[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Runs, EndOfARun,
    ::testing::Values(
        NotificationCase{"installed in the background", "install", 0, false,
                         "\"Flashing complete\" \"Wait for the MPC4000 to finish, then restart "
                         "it.\""},
        NotificationCase{"failed in the background", "install", 1, false,
                         "\"Flashing did not complete\""},
        NotificationCase{"installed in the active window", "install", 0, true, nullptr},
        NotificationCase{"device check in the background", "info", 0, false, nullptr},
        NotificationCase{"installed after the window was closed", "install", 0, true,
                         "\"Flashing complete\"", true},
        NotificationCase{
            "failed after the window was closed", "install", 1, true,
            "\"Flashing did not complete\" \"See the log at the bottom of the window.\"", true}));

TEST(EndOfARun, WithoutANotificationServiceTheRunEndsAsUsual) {
  Harness h;
  // A bus address where nothing listens.
  h.app().setNotifier(std::make_unique<Notifier>(QDBusConnection::connectToBus(
      QStringLiteral("unix:path=%1").arg(h.scratchPath(QStringLiteral("no-bus"))),
      QStringLiteral("no-bus"))));
  h.launch();
  QWidget other;
  other.show();
  other.activateWindow();
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.installTool(ShellTool("exit 0"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());
  EXPECT_EQ(h.dialogs().alerts.size(), 1);
  QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

}  // namespace
