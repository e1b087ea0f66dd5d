#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// The application's tests run without a display: Qt's offscreen platform, and settings kept in a
// temporary test location instead of the user's own.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setOrganizationName("VeltrinTests");
  QApplication::setApplicationName("VeltrinTests");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
