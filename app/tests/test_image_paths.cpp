// Unusual but valid image paths: adopted, and handed to the tool unchanged, byte for byte.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>

#include "test_support.h"
#include "widgets/PlainLabel.h"

namespace {

// A path the way the tool must receive it: one argument, byte for byte.
struct PathCase {
  const char* name;
  bool inWorkingDirectory;  // given relative to the working directory, as the tool gets it
  const char* fileName;
};

void PrintTo(const PathCase& c, std::ostream* out) {
  *out << c.name;
}

class UnusualImagePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(UnusualImagePath, IsAdoptedAndInstalledByTheToolUnchanged) {
  const PathCase& c = GetParam();
  Harness h;
  h.launch();
  ASSERT_TRUE(h.installSimulator()) << "vtflash-sim was not built";
  ASSERT_TRUE(h.checkWith("exit 0"));
  QByteArray bytes = MakeImageBytes(40000);
  for (int i = 56; i < bytes.size(); ++i) {
    bytes[i] = char(i * 13);
  }
  const QString fileName = QString::fromUtf8(c.fileName);
  const QString path = c.inWorkingDirectory ? fileName : h.scratchPath(fileName);
  ASSERT_TRUE(
      WriteFile(c.inWorkingDirectory ? QDir(h.workPath()).filePath(fileName) : path, bytes));

  h.dialogs().openAnswers = {path};
  h.button("chooseButton")->click();
  ASSERT_TRUE(h.dialogs().alerts.isEmpty());
  ASSERT_EQ(h.session().firmwarePath(), path);
  ASSERT_TRUE(h.waitForFacts());
  EXPECT_TRUE(h.log().endsWith(AdoptedImageLog(path)));
  EXPECT_TRUE(h.label("firmwareLabel")->text().startsWith(fileName + QStringLiteral("  \u00b7  ")));

  const QString dump = h.scratchPath(QStringLiteral("flash.dump"));
  const EnvironmentScope scenario("VTFLASH_SIM",
                                  "blocks=16,block_size=4096,dump=" + QFile::encodeName(dump));
  h.button("installButton")->click();
  ASSERT_TRUE(h.waitForRun());

  EXPECT_EQ(h.lastStatus(), 0) << h.log().toStdString();
  EXPECT_TRUE(h.log().contains(QStringLiteral("$ vtflash --firmware %1 --sha256 %2 --yes\nOpened "
                                              "AKAI USB device")
                                   .arg(path, Sha256Of(path))));
  EXPECT_TRUE(h.log().contains(QStringLiteral("\nFirmware: 40000 bytes. ")));
  EXPECT_EQ(h.label("operationLabel")->text(), QStringLiteral("Flashing complete"));
  ASSERT_EQ(h.dialogs().alerts.size(), 1);
  EXPECT_EQ(h.dialogs().alerts[0].title, QStringLiteral("Flashing complete"));
  QFile flash(dump);
  ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
  EXPECT_TRUE(flash.readAll().startsWith(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnusualImagePath,
    ::testing::Values(
        PathCase{"SpacesQuotesAndLeadingDash", false, "-os 'image' \"v1.7\" final.bin"},
        PathCase{"RelativeWithLeadingDash", true, "--yes -os image.bin"},
        PathCase{"ShellCharactersAndNonAscii", false, "$HOME `id` ; a\\b * ?  \u00e9t\u00e9.bin"}),
    [](const ::testing::TestParamInfo<PathCase>& test) { return test.param.name; });

}  // namespace
