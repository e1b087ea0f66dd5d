// Prints the MIME type the desktop's shared MIME database gives each file named on the command
// line, one a line, as a file manager looks it up. The package test runs it on a database made
// from the package's type alone.

#include <QCoreApplication>
#include <QMimeDatabase>
#include <cstdio>

int main(int argc, char** argv) {
  const QCoreApplication app(argc, argv);
  const QMimeDatabase database;
  for (int i = 1; i < argc; ++i) {
    std::printf("%s\n",
                qPrintable(database.mimeTypeForFile(QString::fromLocal8Bit(argv[i])).name()));
  }
  return 0;
}
