// What the package puts on the disk: the bundle under /usr/lib/veltrin, the two commands as links
// into it, the menu entry, the icons, the man page, the udev rule, and what it depends on.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <cctype>
#include <filesystem>

#include "package_root.h"

namespace {

const QString kBundle = QStringLiteral("usr/lib/veltrin/Veltrin.app");
const QList<int> kIconSizes = {16, 24, 32, 48, 64, 128, 256};

// Every file and link the package holds, relative to its root.
QSet<QString> PackagedPaths(const QString& root) {
  QSet<QString> paths;
  QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    paths.insert(QDir(root).relativeFilePath(it.next()));
  }
  return paths;
}

TEST(InstalledPackage, HoldsExactlyTheBundleCommandsAndDesktopFiles) {
  REQUIRE_PACKAGE();
  QSet<QString> expected = {
      kBundle + "/Contents/MacOS/Veltrin",
      kBundle + "/Contents/MacOS/vtflash",
      "usr/bin/veltrin",
      "usr/bin/vtflash",
      "usr/share/applications/veltrin.desktop",
      "usr/share/icons/hicolor/scalable/apps/veltrin.svg",
      "usr/share/man/man1/vtflash.1.gz",
      "usr/share/man/man1/veltrin.1.gz",
      "usr/share/doc/veltrin/README.md",
      "usr/share/doc/veltrin/troubleshooting.md",
      "usr/share/doc/veltrin/copyright",
      "usr/share/doc/veltrin/changelog.gz",
      "usr/share/metainfo/io.github.tarnwick.veltrin.metainfo.xml",
      "usr/share/mime/packages/veltrin.xml",
      "usr/lib/udev/rules.d/70-veltrin.rules",
  };
  for (int size : kIconSizes) {
    expected.insert(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/veltrin.png").arg(size));
  }
  // The Akai image goes in only when the user put it into the build.
  if (QFileInfo::exists(
          QStringLiteral(VELTRIN_BUILD_DIR "/Veltrin.app/Contents/Resources/mpcv171.bin"))) {
    expected.insert(kBundle + "/Contents/Resources/mpcv171.bin");
  }
  EXPECT_EQ(PackagedPaths(package.root), expected);
}

struct CommandLink {
  const char* command;
  const char* target;  // in the bundle's Contents/MacOS
};

class CommandLinks : public ::testing::TestWithParam<CommandLink> {};

TEST_P(CommandLinks, LeadRelativelyToTheProgramInTheBundle) {
  REQUIRE_PACKAGE();
  const QString link = package.path(QStringLiteral("usr/bin/") + GetParam().command);
  const QFileInfo info(link);
  ASSERT_TRUE(info.isSymLink()) << link.toStdString();
  // A relative link works wherever the tree lies: /usr, a DESTDIR, or this unpacked root.
  EXPECT_TRUE(std::filesystem::read_symlink(link.toStdString()).is_relative());
  const QString program = package.path(kBundle + "/Contents/MacOS/" + GetParam().target);
  EXPECT_EQ(info.canonicalFilePath(), QFileInfo(program).canonicalFilePath());
  EXPECT_TRUE(QFileInfo(program).isExecutable());
}

INSTANTIATE_TEST_SUITE_P(Commands, CommandLinks,
                         ::testing::Values(CommandLink{"veltrin", "Veltrin"},
                                           CommandLink{"vtflash", "vtflash"}),
                         [](const auto& test) { return std::string(test.param.command); });

// The names of the packages a Depends (or Provides) field lists, without versions or
// alternatives' bars.
QStringList PackageNames(const QString& field) {
  QStringList names;
  for (const QString& item : field.split(QRegularExpression(QStringLiteral("[,|]")))) {
    names.append(item.trimmed().section(QLatin1Char(' '), 0, 0).section(QLatin1Char(':'), 0, 0));
  }
  return names;
}

// What the packages of a Depends field answer to: their names and what each of them provides on
// this machine, where they are installed (Debian 13's libqt6core6t64 provides libqt6core6).
QStringList DependencyNames(const QString& depends) {
  QStringList names = PackageNames(depends);
  for (const QString& name : PackageNames(depends)) {
    const ProgramRun provides =
        RunProgram(QStringLiteral("dpkg-query"),
                   {QStringLiteral("-W"), QStringLiteral("-f=${Provides}"), name});
    names += PackageNames(provides.output);
  }
  return names;
}

class RuntimeDependency : public ::testing::TestWithParam<const char*> {};

TEST_P(RuntimeDependency, IsDeclared) {
  REQUIRE_PACKAGE();
  const QString depends = package.field(QStringLiteral("Depends"));
  EXPECT_TRUE(DependencyNames(depends).contains(QString::fromLatin1(GetParam())))
      << "Depends: " << depends.toStdString();
}

INSTANTIATE_TEST_SUITE_P(QtAndLibusb, RuntimeDependency,
                         ::testing::Values("libqt6widgets6", "libqt6gui6", "libqt6core6",
                                           "libusb-1.0-0",
                                           // SHA-256 of the image to install, in vtflash
                                           "libnettle8"),
                         [](const auto& test) {
                           std::string name = test.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           }
                           return name;
                         });

TEST(InstalledPackage, IsNamedVeltrinWithTheProjectVersionForThisMachine) {
  REQUIRE_PACKAGE();
  const ProgramRun arch =
      RunProgram(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
  EXPECT_EQ(package.field(QStringLiteral("Package")), QStringLiteral("veltrin"));
  EXPECT_EQ(package.field(QStringLiteral("Version")), QStringLiteral(VELTRIN_PROJECT_VERSION));
  EXPECT_EQ(package.field(QStringLiteral("Architecture")), arch.output.trimmed());
}

class PngIcon : public ::testing::TestWithParam<int> {};

TEST_P(PngIcon, HasTheSizeItsFolderNames) {
  REQUIRE_PACKAGE();
  const int size = GetParam();
  QImageReader reader(
      package.path(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/veltrin.png").arg(size)));
  EXPECT_EQ(reader.format(), QByteArray("png"));
  EXPECT_EQ(reader.size(), QSize(size, size));
}

INSTANTIATE_TEST_SUITE_P(Sizes, PngIcon, ::testing::ValuesIn(kIconSizes.begin(), kIconSizes.end()));

// The lines of a udev rules file that are rules, not comments or blank lines.
QStringList RuleLines(const QByteArray& text) {
  QStringList rules;
  for (const QString& line : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#'))) {
      rules.append(trimmed);
    }
  }
  return rules;
}

TEST(InstalledPackage, UdevRuleGivesTheSeatUserTheSamplerInLoaderModeOnly) {
  REQUIRE_PACKAGE();
  const QString path = package.path(QStringLiteral("usr/lib/udev/rules.d/70-veltrin.rules"));
  const QStringList rules = RuleLines(ReadAll(path));
  ASSERT_EQ(rules.size(), 1);
  const QString& rule = rules.first();
  EXPECT_TRUE(rule.contains(QStringLiteral("SUBSYSTEM==\"usb\"")));
  EXPECT_TRUE(rule.contains(QStringLiteral("ATTR{idVendor}==\"09e8\"")));
  EXPECT_TRUE(rule.contains(QStringLiteral("ATTR{idProduct}==\"0061\"")));
  EXPECT_TRUE(rule.contains(QStringLiteral("TAG+=\"uaccess\"")));
  // Access goes to the user at the seat through the tag, never to everyone or to a group.
  for (const char* assignment : {"MODE", "GROUP", "OWNER"}) {
    EXPECT_FALSE(rule.contains(QString::fromLatin1(assignment))) << assignment;
  }
  EXPECT_FALSE(QFileInfo(path).permissions() & QFile::WriteOther);
}

}  // namespace
