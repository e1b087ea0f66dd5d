// Prints where the application, started from where this program lies, finds its bundle, its flash
// tool and its built-in OS image, as the application computes them. The package test puts it into
// the installed bundle and runs it through a command link, as the menu runs veltrin.

#include <QApplication>
#include <cstdio>

#include "AppDelegate.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  AppDelegate delegate;
  const QString bundle = BundleDirectoryForExecutableDir(QCoreApplication::applicationDirPath());
  std::printf("bundle=%s\nloader=%s\nimage=%s\n", qPrintable(bundle),
              qPrintable(FlashToolInBundle(bundle)),
              qPrintable(delegate.session().bundledFirmwarePath()));
  return 0;
}
