// The installed programs started as a user starts them: by their commands on PATH, which are
// links into the bundle. The application must then find its tool and its OS image in the bundle.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "package_root.h"

namespace {

const QString kMacOS = QStringLiteral("usr/lib/veltrin/Veltrin.app/Contents/MacOS");

// A desktop session without a display, with its settings kept away from the user's own.
QProcessEnvironment OffscreenSession(const QString& home) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("HOME"), home);
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
  return environment;
}

TEST(InstalledTool, PrintsItsUsageFromItsCommand) {
  REQUIRE_PACKAGE();
  const ProgramRun run =
      RunProgram(package.path(QStringLiteral("usr/bin/vtflash")), {QStringLiteral("--help")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.errors.startsWith(QStringLiteral("Usage:\n"))) << run.errors.toStdString();
  EXPECT_TRUE(run.errors.contains(QStringLiteral("--firmware PATH")));
}

struct VersionCase {
  const char* command;
  const char* line;
};

class InstalledCommandVersion : public ::testing::TestWithParam<VersionCase> {};

// Answered on standard output without a display, as a packager's or a bug reporter's script asks.
TEST_P(InstalledCommandVersion, IsItsNameAndTheProjectVersion) {
  REQUIRE_PACKAGE();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("DISPLAY"));
  environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
  const ProgramRun run = RunProgram(package.path(QStringLiteral("usr/bin/") + GetParam().command),
                                    {QStringLiteral("--version")}, 30000, {}, environment);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
  EXPECT_EQ(run.output, QString::fromLatin1(GetParam().line) +
                            QStringLiteral(" " VELTRIN_PROJECT_VERSION "\n"));
}

INSTANTIATE_TEST_SUITE_P(Commands, InstalledCommandVersion,
                         ::testing::Values(VersionCase{"vtflash", "vtflash"},
                                           VersionCase{"veltrin", "Veltrin"}),
                         [](const auto& test) { return std::string(test.param.command); });

TEST(InstalledApplication, StartsFromItsCommandWithoutADisplay) {
  REQUIRE_PACKAGE();
  const QString home = package.scratch + QStringLiteral("/home-start");
  QDir().mkpath(home);
  // A window application keeps running: up after two seconds counts as started. An application
  // that has nothing to show may also end on its own, with status 0.
  const ProgramRun run = RunProgram(package.path(QStringLiteral("usr/bin/veltrin")), {}, 2000, home,
                                    OffscreenSession(home));
  ASSERT_TRUE(run.started);
  if (run.finished) {
    EXPECT_FALSE(run.crashed) << run.errors.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.errors.toStdString();
  }
}

// Puts the probe, which asks the application's own controller where its bundle, its tool and its
// image are, into the installed bundle beside Veltrin, with a command link like veltrin's; and,
// when the package carries no OS image, a test image in the bundle's resources. All of it goes
// again with the scope, so the package stays as it was made.
class ProbeInBundle {
 public:
  explicit ProbeInBundle(const InstalledPackage& package)
      : probe_(package.path(kMacOS + QStringLiteral("/veltrin-bundle-probe"))),
        link_(package.path(QStringLiteral("usr/bin/veltrin-bundle-probe"))),
        bundle_(QFileInfo(package.path(QStringLiteral("usr/lib/veltrin/Veltrin.app")))
                    .canonicalFilePath()),
        image_(bundle_ + QStringLiteral("/Contents/Resources/mpcv171.bin")),
        imageAdded_(!QFileInfo::exists(image_)) {
    installed_ = QFile::copy(QStringLiteral(VELTRIN_BUNDLE_PROBE), probe_) &&
                 QFile::link(QStringLiteral("../lib/veltrin/Veltrin.app/Contents/MacOS/"
                                            "veltrin-bundle-probe"),
                             link_) &&
                 (!imageAdded_ || WriteTestImage());
  }
  ~ProbeInBundle() {
    QFile::remove(link_);
    QFile::remove(probe_);
    if (imageAdded_) {
      QFile::remove(image_);
      QDir().rmdir(bundle_ + QStringLiteral("/Contents/Resources"));
    }
  }
  ProbeInBundle(const ProbeInBundle&) = delete;
  ProbeInBundle& operator=(const ProbeInBundle&) = delete;

  bool installed() const { return installed_; }
  const QString& command() const { return link_; }
  const QString& bundle() const { return bundle_; }
  const QString& image() const { return image_; }

 private:
  bool WriteTestImage() const {
    QDir().mkpath(bundle_ + QStringLiteral("/Contents/Resources"));
    QFile file(image_);
    return file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray(32, '\0') + "MPC4000 Operating System" + QByteArray(64, '\0')) > 0;
  }

  QString probe_;
  QString link_;
  QString bundle_;
  QString image_;
  bool imageAdded_;
  bool installed_ = false;
};

TEST(InstalledApplication, FindsItsToolAndImageInTheBundleThroughItsCommandLink) {
  REQUIRE_PACKAGE();
  const ProbeInBundle probe(package);
  ASSERT_TRUE(probe.installed());
  // Started elsewhere, so the working directory, the tool's fallback place, holds no vtflash.
  const QString home = package.scratch + QStringLiteral("/home-probe");
  QDir().mkpath(home);
  const ProgramRun run = RunProgram(probe.command(), {}, 60000, home, OffscreenSession(home));
  ASSERT_TRUE(run.finished);
  ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
  EXPECT_EQ(run.output, QStringLiteral("bundle=%1\nloader=%1/Contents/MacOS/vtflash\nimage=%2\n")
                            .arg(probe.bundle(), probe.image()));
}

}  // namespace
