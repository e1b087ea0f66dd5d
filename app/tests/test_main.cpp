#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The application's tests run without a display: Qt's offscreen platform, and settings kept in a
// temporary test location instead of the user's own.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QStandardPaths::setTestModeEnabled(true);
  // ctest runs test programs side by side: each keeps its settings in a folder of its own, so one
  // test's stored language never leaks into another running at the same moment.
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  // The log file of every run goes there too, never into the user's own state folder.
  const QTemporaryDir state;
  qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
  // No notification of a test reaches the desktop of whoever runs them: the session bus is one
  // where nothing listens, unless a test brings a bus of its own.
  qputenv("DBUS_SESSION_BUS_ADDRESS",
          "unix:path=" + QFile::encodeName(state.path()) + "/no-session-bus");
  QApplication app(argc, argv);
  QApplication::setOrganizationName("VeltrinTests");
  QApplication::setApplicationName("VeltrinTests");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
