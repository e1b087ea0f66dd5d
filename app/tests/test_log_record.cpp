// The record that outlives the window: the log file of every run and "Save Log…".

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "desktop/LogFile.h"
#include "test_support.h"

namespace {

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The log file's text with each run's heading (date and time) replaced by "=====".
QString WithoutDates(const QString& text) {
  static const QRegularExpression heading(
      QStringLiteral(
          "^===== \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d) =====$"),
      QRegularExpression::MultilineOption);
  return QString(text).replace(heading, QStringLiteral("====="));
}

// A folder of its own for the log file of one test.
class StateFolder {
 public:
  StateFolder() : scope_("XDG_STATE_HOME", QFile::encodeName(folder_.path())) {}
  QString logPath() const { return folder_.filePath(QStringLiteral("veltrin/veltrin.log")); }

 private:
  QTemporaryDir folder_;
  EnvironmentScope scope_;
};

TEST(LogFile, KeepsEveryRunFromItsCommandLineToItsExitLineUnderADatedHeading) {
  const StateFolder state;
  Harness h;
  h.launch();
  h.installTool(ShellTool("echo 'Opened.'; printf 'Erase  50%%\\rErase 100%%\\n'; exit 3"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  h.installTool(ShellTool("echo 'Flash geometry: 8 blocks x 4096 bytes (32768 bytes).'"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());

  EXPECT_EQ(WithoutDates(ReadText(state.logPath())),
            QStringLiteral("\n=====\n$ vtflash --info\nOpened.\nErase  50%\nErase 100%\n"
                           "Process exited with code 3.\n"
                           "\n=====\n$ vtflash --info\n"
                           "Flash geometry: 8 blocks x 4096 bytes (32768 bytes).\n"
                           "Process exited with code 0.\n"));
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("Process exited with code 0.\n")));
}

TEST(LogFile, FailureToWriteItIsSaidInTheLogAndTheRunGoesOn) {
  QTemporaryDir folder;
  // A file where the folder should be: the log file cannot be made, also for root.
  ASSERT_TRUE(WriteFile(folder.filePath(QStringLiteral("veltrin")), "not a folder"));
  const EnvironmentScope state("XDG_STATE_HOME", QFile::encodeName(folder.path()));
  Harness h;
  h.launch();
  h.readyToInstall(h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64)));
  h.installTool(ShellTool("echo 'OS upload complete.'"));
  h.session().installFirmware();
  ASSERT_TRUE(h.waitForRun());

  EXPECT_EQ(h.lastStatus(), 0);
  EXPECT_EQ(h.log().count(QStringLiteral("Could not write the log file %1/veltrin/veltrin.log: ")
                              .arg(folder.path())),
            1);
  EXPECT_TRUE(
      h.log().endsWith(QStringLiteral("OS upload complete.\nProcess exited with code 0.\n")));
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing complete"));
}

TEST(LogFile, AFullFileBecomesTheOlderGenerationWhenTheNextRunBegins) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("veltrin.log"));
  QString error;
  for (const char* run : {"first run\n", "second run\n", "third run\n"}) {
    LogFile file(path, 10);
    ASSERT_TRUE(file.beginRun(QDateTime::currentDateTime(), &error)) << error.toStdString();
    ASSERT_TRUE(file.append(QString::fromLatin1(run), &error));
  }
  EXPECT_EQ(WithoutDates(ReadText(path)), QStringLiteral("\n=====\nthird run\n"));
  EXPECT_EQ(WithoutDates(ReadText(path + QStringLiteral(".1"))),
            QStringLiteral("\n=====\nsecond run\n"));
  EXPECT_FALSE(QFile::exists(path + QStringLiteral(".2")));
}

struct PlaceCase {
  const char* name;
  const char* stateHome;  // null: unset
  const char* expected;   // below HOME when relative
};

void PrintTo(const PlaceCase& c, std::ostream* out) {
  *out << c.name;
}

class LogFilePlace : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(LogFilePlace, IsTheStateFolderOfTheBaseDirectoryRules) {
  const PlaceCase& c = GetParam();
  const EnvironmentScope home("HOME", "/home/musician");
  std::unique_ptr<EnvironmentScope> state;
  if (c.stateHome) {
    state = std::make_unique<EnvironmentScope>("XDG_STATE_HOME", c.stateHome);
  } else {
    state = std::make_unique<EnvironmentScope>("XDG_STATE_HOME", QByteArray());
    qunsetenv("XDG_STATE_HOME");
  }
  EXPECT_EQ(LogFile::defaultPath(), QString::fromLatin1(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Environments, LogFilePlace,
    ::testing::Values(PlaceCase{"unset", nullptr,
                                "/home/musician/.local/state/veltrin/veltrin.log"},
                      PlaceCase{"empty", "", "/home/musician/.local/state/veltrin/veltrin.log"},
                      PlaceCase{"relative, so ignored", "state",
                                "/home/musician/.local/state/veltrin/veltrin.log"},
                      PlaceCase{"absolute", "/var/tmp/st", "/var/tmp/st/veltrin/veltrin.log"}));

struct SaveCase {
  const char* name;
  const char* target;  // below a temporary folder
  bool saved;
};

void PrintTo(const SaveCase& c, std::ostream* out) {
  *out << c.name;
}

class SaveLog : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveLog, WritesTheWholeLogOrSaysWhyNot) {
  const SaveCase& c = GetParam();
  QTemporaryDir folder;
  ASSERT_TRUE(WriteFile(folder.filePath(QStringLiteral("old.txt")), "an older log"));
  const QString target = folder.filePath(QString::fromLatin1(c.target));
  Harness h;
  h.app().installMainMenu();
  h.launch();
  h.installTool(ShellTool("echo 'Opened.'; exit 1"));
  h.session().checkDevice();
  ASSERT_TRUE(h.waitForRun());
  const QString before = h.log();
  h.dialogs().saveAnswer = target;

  h.view<QMenuBar>("mainMenu")->actions().at(0)->menu()->actions().at(0)->trigger();

  EXPECT_EQ(h.dialogs().saveTitles, QStringList({"Save the log"}));
  if (c.saved) {
    EXPECT_EQ(ReadText(target), before);
    EXPECT_EQ(h.log(), before + QStringLiteral("Log saved to %1.\n").arg(target));
  } else {
    EXPECT_FALSE(QFileInfo(target).isFile());
    EXPECT_TRUE(
        h.log().startsWith(before + QStringLiteral("Could not save the log to %1: ").arg(target)));
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, SaveLog,
                         ::testing::Values(SaveCase{"new file", "saved.txt", true},
                                           SaveCase{"existing file is replaced", "old.txt", true},
                                           SaveCase{"missing folder", "no/such/log.txt", false},
                                           SaveCase{"missing folder named %@", "%@/log.txt",
                                                    false}));

}  // namespace
