// Choosing the OS image: the quick check of a file, adopting it, and refusing it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>

#include "test_support.h"
#include "widgets/PlainLabel.h"

namespace {

const char* const kTooSmall = "The file is too small to be MPC4000 firmware.";
const char* const kNoSignature = "The file has no MPC4000 Operating System signature.";

struct ImageCase {
  const char* name;
  QByteArray bytes;
  const char* error;  // null: accepted
};

QByteArray WithByte(QByteArray bytes, int at, char value) {
  bytes[at] = value;
  return bytes;
}

// The reason the session's alert gives for refusing the file at `path`, or a null string when
// the file is adopted.
QString RefusalOf(Harness& h, const QString& path) {
  h.dialogs().alerts.clear();
  h.session().openFirmwareFile(path);
  h.waitForFacts();
  return h.dialogs().alerts.isEmpty() ? QString() : h.dialogs().alerts.constLast().text;
}

class ImageRule : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageRule, AcceptsExactlyTheFilesWithTheSignatureAt32) {
  const ImageCase& c = GetParam();
  Harness h;
  const QString path = h.makeImage(QStringLiteral("image.bin"), c.bytes);
  EXPECT_EQ(RefusalOf(h, path), c.error ? QString::fromLatin1(c.error) : QString()) << c.name;
  EXPECT_EQ(h.session().firmwarePath(), c.error ? QString() : path) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImageRule,
    ::testing::Values(ImageCase{"exactly 56 bytes", MakeImageBytes(56), nullptr},
                      ImageCase{"55 bytes", MakeImageBytes(56).left(55), kTooSmall},
                      ImageCase{"empty", QByteArray(), kTooSmall},
                      ImageCase{"other bytes are never looked at",
                                WithByte(WithByte(MakeImageBytes(4096), 31, '\xff'), 56, '\xff'),
                                nullptr},
                      ImageCase{"signature one byte early", MakeImageBytes(4096, 31), kNoSignature},
                      ImageCase{"signature one byte late", MakeImageBytes(4096, 33), kNoSignature},
                      ImageCase{"signature in lower case",
                                MakeImageBytes(4096, 32, "mpc4000 operating system"), kNoSignature},
                      ImageCase{"first signature byte differs",
                                WithByte(MakeImageBytes(4096), 32, 'N'), kNoSignature},
                      ImageCase{"last signature byte differs",
                                WithByte(MakeImageBytes(4096), 55, 'n'), kNoSignature},
                      ImageCase{"no signature at all", QByteArray(4096, 'x'), kNoSignature}));

struct SpecialPathCase {
  const char* name;
  std::function<QString(Harness&)> make;
};

class SpecialPaths : public ::testing::TestWithParam<SpecialPathCase> {};

TEST_P(SpecialPaths, AreRefusedAtOnceAsTooSmall) {
  const SpecialPathCase& c = GetParam();
  Harness h;
  const QString path = c.make(h);
  EXPECT_EQ(RefusalOf(h, path), QString::fromLatin1(kTooSmall)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    NotRegularFiles, SpecialPaths,
    ::testing::Values(
        SpecialPathCase{"missing file",
                        [](Harness& h) { return h.scratchPath(QStringLiteral("none.bin")); }},
        SpecialPathCase{"directory",
                        [](Harness& h) {
                          const QString path = h.scratchPath(QStringLiteral("folder.bin"));
                          QDir().mkpath(path);
                          return path;
                        }},
        // A FIFO without a writer would block a plain open; a device would never end.
        SpecialPathCase{"named pipe",
                        [](Harness& h) {
                          const QString path = h.scratchPath(QStringLiteral("pipe.bin"));
                          ::mkfifo(QFile::encodeName(path).constData(), 0600);
                          return path;
                        }},
        SpecialPathCase{"character device", [](Harness&) { return QStringLiteral("/dev/zero"); }},
        SpecialPathCase{"unreadable file", [](Harness& h) {
                          const QString path =
                              h.makeImage(QStringLiteral("locked.bin"), MakeImageBytes(64));
                          QFile::setPermissions(path, QFileDevice::Permissions());
                          // Root reads any file; then the file counts as readable and valid.
                          return ::geteuid() == 0 ? h.scratchPath(QStringLiteral("x")) : path;
                        }}));

TEST(ImageRule, FailureTextIsInTheLanguageOfTheMomentOfTheCheck) {
  Harness h;
  const QString path = h.makeImage(QStringLiteral("short.bin"), QByteArray(10, 'x'));
  LanguageScope language(1);
  EXPECT_EQ(RefusalOf(h, path), QStringLiteral("Файл слишком маленький для прошивки MPC4000."));
}

TEST(FirmwareSelection, AdoptingAnImageLogsItShowsItAndMayEnableInstall) {
  Harness h;
  h.launch();
  ASSERT_TRUE(h.checkWith("exit 0"));
  const QString path = h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(1048576));
  h.session().openFirmwareFile(path);
  EXPECT_EQ(h.session().firmwarePath(), path);
  ASSERT_TRUE(h.waitForFacts());
  // The exact size and SHA-256 tell the user which file it is, in the log and the tooltip.
  const QString facts = QStringLiteral(
      "Size: 1048576 bytes, SHA-256: "
      "5c6d27d29656f31c73761c00dae9e75a98c8ca8ef699648ee1bbe4b5afab68cb");
  EXPECT_TRUE(h.log().endsWith(QStringLiteral("Firmware selected: %1\n%2\n").arg(path, facts)));
  EXPECT_EQ(h.label("firmwareLabel")->toolTip(), path + QLatin1Char('\n') + facts);
  EXPECT_EQ(h.label("firmwareLabel")->text(), QStringLiteral("os.bin  \u00b7  1.0 MB"));
  EXPECT_TRUE(h.button("installButton")->isEnabled());
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
}

TEST(FirmwareSelection, RefusedFileKeepsTheImageAdoptedBefore) {
  Harness h;
  h.launch();
  ASSERT_TRUE(h.checkWith("exit 0"));
  const QString good = h.makeImage(QStringLiteral("good.bin"), MakeImageBytes(64));
  h.session().openFirmwareFile(good);
  ASSERT_TRUE(h.waitForFacts());
  const QString log = h.log();
  const QString label = h.label("firmwareLabel")->text();

  h.session().openFirmwareFile(h.makeImage(QStringLiteral("bad.bin"), QByteArray(64, 'x')));

  EXPECT_EQ(h.session().firmwarePath(), good);
  EXPECT_EQ(h.log(), log);
  EXPECT_EQ(h.label("firmwareLabel")->text(), label);
  EXPECT_TRUE(h.button("installButton")->isEnabled());
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].style, Dialogs::Style::Warning);
  EXPECT_EQ(h.dialogs().alerts[0].title,
            QStringLiteral("This does not look like MPC4000 firmware"));
  EXPECT_EQ(h.dialogs().alerts[0].text, QString::fromLatin1(kNoSignature));
}

TEST(FirmwareSelection, AdoptingTheSameFileAgainLogsItAgain) {
  Harness h;
  h.launch();
  const QString path = h.makeImage(QStringLiteral("os.bin"), MakeImageBytes(64));
  h.session().openFirmwareFile(path);
  h.session().openFirmwareFile(path);
  EXPECT_EQ(h.log().count(QStringLiteral("Firmware selected: ")), 2);
}

TEST(FirmwareSelection, PathIsKeptAsGivenNotResolved) {
  Harness h;
  h.launch();
  const QString target = h.makeImage(QStringLiteral("real.bin"), MakeImageBytes(64));
  const QString link = h.scratchPath(QStringLiteral("link.bin"));
  ASSERT_TRUE(QFile::link(target, link));
  const QString given = h.scratchPath(QStringLiteral("./link.bin"));
  h.dialogs().openAnswers = {given};
  h.session().chooseFirmware();
  EXPECT_EQ(h.session().firmwarePath(), given);
}

TEST(FirmwareSelection, OpenPanelPicksAFileWithItsMessage) {
  Harness h;
  h.launch();
  const QString path = h.makeImage(QStringLiteral("picked.bin"), MakeImageBytes(64));
  h.dialogs().openAnswers = {path};
  h.button("chooseButton")->click();
  EXPECT_EQ(h.session().firmwarePath(), path);
  EXPECT_EQ(h.dialogs().openMessages, QStringList({"Choose an OS file for the MPC4000"}));
}

TEST(FirmwareSelection, CancelledOpenPanelChangesNothing) {
  Harness h;
  h.launch();
  const QString log = h.log();
  h.session().chooseFirmware();
  EXPECT_TRUE(h.session().firmwarePath().isEmpty());
  EXPECT_EQ(h.log(), log);
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
}

TEST(FirmwareSelection, BuiltinButtonAdoptsTheBuiltinImageAgain) {
  Harness h;
  const QString builtin = h.installBuiltinImage(MakeImageBytes(64));
  h.launch();
  h.session().openFirmwareFile(h.makeImage(QStringLiteral("other.bin"), MakeImageBytes(64)));
  h.button("builtinButton")->click();
  EXPECT_EQ(h.session().firmwarePath(), builtin);
}

TEST(FirmwareSelection, WithoutBuiltinImageTheBuiltinActionDoesNothing) {
  Harness h;
  h.launch();
  const QString log = h.log();
  h.session().useBundledFirmware();
  EXPECT_EQ(h.log(), log);
  EXPECT_TRUE(h.dialogs().alerts.isEmpty());
  EXPECT_FALSE(h.button("builtinButton")->isEnabled());
}

}  // namespace
