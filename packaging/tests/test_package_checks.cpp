// What Debian's and freedesktop.org's own checkers say about the package, and how a file manager
// recognises an OS image with the type the package installs.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "package_root.h"

namespace {

const QString kOsImageType = QStringLiteral("application/x-mpc4000-os-image");

struct Checker {
  const char* name;
  QStringList (*arguments)(const InstalledPackage&);
};

class PackageChecker : public ::testing::TestWithParam<Checker> {};

// Each checker ends with status 0 and reports no error and no warning; lintian's informational
// and pedantic tags are allowed (docs/development.md lists the ones kept, with the reason).
TEST_P(PackageChecker, AcceptsThePackage) {
  REQUIRE_PACKAGE();
  const ProgramRun run =
      RunProgram(QString::fromLatin1(GetParam().name), GetParam().arguments(package), 200000);
  ASSERT_TRUE(run.started) << GetParam().name << " is missing: run scripts/install-deps";
  ASSERT_TRUE(run.finished);
  const QString report = run.output + run.errors;
  EXPECT_EQ(run.exitCode, 0) << report.toStdString();
  static const QRegularExpression complaint(QStringLiteral("^(E|W): |error|warning"),
                                            QRegularExpression::MultilineOption);
  EXPECT_FALSE(report.contains(complaint)) << report.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Checkers, PackageChecker,
    ::testing::Values(Checker{"lintian",
                              [](const InstalledPackage& p) {
                                return QStringList{QStringLiteral("-EvIL"),
                                                   QStringLiteral("+pedantic"),
                                                   QStringLiteral("--fail-on"),
                                                   QStringLiteral("error,warning"), p.deb};
                              }},
                      Checker{
                          "appstreamcli",
                          [](const InstalledPackage& p) {
                            return QStringList{
                                QStringLiteral("validate"), QStringLiteral("--no-net"),
                                p.path(QStringLiteral(
                                    "usr/share/metainfo/io.github.tarnwick.veltrin.metainfo.xml"))};
                          }},
                      Checker{"desktop-file-validate",
                              [](const InstalledPackage& p) {
                                return QStringList{p.path(
                                    QStringLiteral("usr/share/applications/veltrin.desktop"))};
                              }}),
    [](const auto& test) {
      return QString::fromLatin1(test.param.name).remove(QLatin1Char('-')).toStdString();
    });

struct ImageFile {
  const char* name;
  int signatureOffset;  // -1: no signature
  bool isOsImage;
};

class OsImageType : public ::testing::TestWithParam<ImageFile> {};

// A file manager offers Veltrin for a file with the signature whatever it is called, and for no
// other file, even one named like an OS image.
TEST_P(OsImageType, IsKnownByTheSignatureAtOffset32) {
  REQUIRE_PACKAGE();
  const QString share = package.scratch + QStringLiteral("/mime-") + GetParam().name;
  QDir().mkpath(share + QStringLiteral("/mime/packages"));
  ASSERT_TRUE(QFile::copy(package.path(QStringLiteral("usr/share/mime/packages/veltrin.xml")),
                          share + QStringLiteral("/mime/packages/veltrin.xml")));
  const ProgramRun update =
      RunProgram(QStringLiteral("update-mime-database"), {share + QStringLiteral("/mime")});
  ASSERT_EQ(update.exitCode, 0) << update.errors.toStdString();

  QByteArray bytes(4096, '\0');
  if (GetParam().signatureOffset >= 0) {
    bytes.replace(GetParam().signatureOffset, 24, "MPC4000 Operating System");
  }
  const QString file = share + QLatin1Char('/') + QString::fromLatin1(GetParam().name);
  QFile out(file);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
  out.close();

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_DATA_DIRS"), share);
  environment.insert(QStringLiteral("XDG_DATA_HOME"), share + QStringLiteral("/home"));
  const ProgramRun probe =
      RunProgram(QStringLiteral(VELTRIN_MIME_PROBE), {file}, 30000, {}, environment);
  ASSERT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
  EXPECT_EQ(probe.output.trimmed() == kOsImageType, GetParam().isOsImage)
      << probe.output.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, OsImageType,
                         ::testing::Values(ImageFile{"mpcv171.bin", 32, true},
                                           ImageFile{"os-image", 32, true},
                                           ImageFile{"router-firmware.bin", -1, false},
                                           ImageFile{"shifted.bin", 33, false}),
                         [](const auto& test) {
                           return QString::fromLatin1(test.param.name)
                               .remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")))
                               .toStdString();
                         });

}  // namespace
