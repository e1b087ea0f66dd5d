#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "AppDelegate.h"
#include "desktop/InterfaceLanguage.h"
#include "desktop/SingleInstance.h"
#include "desktop/Translations.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so that it works without a display, as in a terminal over SSH.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Veltrin %s\n", VELTRIN_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Tarnwick"));
  QApplication::setApplicationName(QStringLiteral("Veltrin"));
  QApplication::setApplicationVersion(QStringLiteral(VELTRIN_VERSION));

  // The language is fixed before the controller exists, so the first menu and every later text
  // are already in it.
  CurrentLanguage = LoadInterfaceLanguage();
  ApplyQtTranslations(CurrentLanguage);

  // One Veltrin per user session: a second start brings the running window to the front, with
  // the OS image it was given, and ends.
  const QString image = AppDelegate::firmwareArgument(QApplication::arguments());
  if (SingleInstance::handOver(image)) {
    return 0;
  }
  AppDelegate delegate;
  delegate.installMainMenu();
  SingleInstance instance;
  QObject::connect(&instance, &SingleInstance::startedAgain, &delegate, &AppDelegate::startedAgain);
  instance.listen();
  // The window is built once the event loop runs, as when launching has finished. An OS image
  // named on the command line is then adopted like a chosen one, after the built-in image.
  QTimer::singleShot(0, &delegate, [&delegate, image] {
    delegate.applicationDidFinishLaunching();
    delegate.session().openFirmwareFile(image);
  });
  QApplication::exec();
  return 0;
}
