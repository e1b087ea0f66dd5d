#include "package_root.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

namespace {

// The temporary folder lives as long as the test program; its contents go with it.
struct PackageHolder {
  QTemporaryDir dir;
  InstalledPackage package;
};

QString Describe(const QString& what, const ProgramRun& run) {
  if (!run.started) {
    return what + " could not be started";
  }
  return what + " failed (exit status " + QString::number(run.exitCode) + "):\n" + run.output +
         run.errors;
}

std::unique_ptr<PackageHolder> MakePackage() {
  auto holder = std::make_unique<PackageHolder>();
  InstalledPackage& package = holder->package;
  if (!holder->dir.isValid()) {
    package.error = "No temporary folder: " + holder->dir.errorString();
    return holder;
  }
  const QString out = holder->dir.filePath(QStringLiteral("out"));
  const ProgramRun cpack = RunProgram(
      QStringLiteral(VELTRIN_CPACK),
      {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
       QStringLiteral(VELTRIN_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"), out});
  if (!cpack.finished || cpack.exitCode != 0) {
    package.error = Describe(QStringLiteral("cpack"), cpack);
    return holder;
  }
  const QStringList debs = QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files);
  if (debs.size() != 1) {
    package.error = "cpack made " + QString::number(debs.size()) + " .deb files in " + out;
    return holder;
  }
  package.deb = QDir(out).filePath(debs.first());
  package.root = holder->dir.filePath(QStringLiteral("root"));
  const ProgramRun unpack =
      RunProgram(QStringLiteral("dpkg"), {QStringLiteral("-x"), package.deb, package.root});
  if (!unpack.finished || unpack.exitCode != 0) {
    package.error = Describe(QStringLiteral("dpkg -x"), unpack);
    return holder;
  }
  package.scratch = holder->dir.filePath(QStringLiteral("scratch"));
  QDir().mkpath(package.scratch);
  return holder;
}

}  // namespace

ProgramRun RunProgram(const QString& program, const QStringList& arguments, int waitMs,
                      const QString& workingDirectory, const QProcessEnvironment& environment) {
  ProgramRun run;
  QProcess process;
  process.setProgram(program);
  process.setArguments(arguments);
  process.setProcessEnvironment(environment);
  if (!workingDirectory.isEmpty()) {
    process.setWorkingDirectory(workingDirectory);
  }
  process.start();
  run.started = process.waitForStarted();
  if (!run.started) {
    return run;
  }
  run.finished = process.waitForFinished(waitMs);
  if (!run.finished) {
    process.kill();
    process.waitForFinished();
  }
  run.exitCode = process.exitCode();
  run.crashed = process.exitStatus() == QProcess::CrashExit;
  run.output = QString::fromUtf8(process.readAllStandardOutput());
  run.errors = QString::fromUtf8(process.readAllStandardError());
  return run;
}

QString InstalledPackage::path(const QString& relative) const {
  return root + QLatin1Char('/') + relative;
}

QString InstalledPackage::field(const QString& name) const {
  const ProgramRun run = RunProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, name});
  return run.exitCode == 0 ? run.output.trimmed() : QString();
}

const InstalledPackage& Package() {
  static const std::unique_ptr<PackageHolder> holder = MakePackage();
  return holder->package;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return file.readAll();
}
