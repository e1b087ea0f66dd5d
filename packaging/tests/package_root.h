#pragma once

// The Debian package as a user gets it: made by CPack from this build and unpacked with
// `dpkg -x` into a temporary root, once per test run. Plus the small helpers the package tests
// share: running a program, reading the package's control data and its files.

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <ostream>

// One finished (or abandoned) run of a program.
struct ProgramRun {
  bool started = false;
  bool finished = false;  // false: still running when the wait ended; it was killed
  int exitCode = -1;
  bool crashed = false;
  QString output;  // standard output
  QString errors;  // standard error
};

// Runs `program` and waits at most `waitMs` for it to end; a program still running then is
// killed and reported as not finished.
ProgramRun RunProgram(
    const QString& program, const QStringList& arguments, int waitMs = 120000,
    const QString& workingDirectory = QString(),
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

struct InstalledPackage {
  QString error;  // empty when the package was made and unpacked
  QString deb;    // the .deb file
  QString root;   // the folder it was unpacked into; "/usr/..." of the package is root + "/usr/..."
  QString scratch;  // an empty folder for a test's own files, inside the temporary folder

  // root + "/" + `relative`.
  QString path(const QString& relative) const;
  // A field of the package's control data ("Depends", "Version", ...); empty when absent.
  QString field(const QString& name) const;
};

// The package of this build, made and unpacked on the first call.
const InstalledPackage& Package();

// Declares `package` in a test, which ends there if the package could not be made.
#define REQUIRE_PACKAGE()                      \
  const InstalledPackage& package = Package(); \
  ASSERT_TRUE(package.error.isEmpty()) << package.error.toStdString()

QByteArray ReadAll(const QString& path);

// Lets test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
