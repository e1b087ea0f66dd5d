#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "AppDelegate.h"
#include "desktop/InterfaceLanguage.h"
#include "desktop/SingleInstance.h"
#include "desktop/Translations.h"

namespace {

// The name the program was started by, without its folder.
const char* ProgramName(int argc, char** argv) {
  if (argc < 1 || argv[0] == nullptr || argv[0][0] == '\0') {
    return "veltrin";
  }
  const char* slash = std::strrchr(argv[0], '/');
  return slash ? slash + 1 : argv[0];
}

void PrintUsage(const char* program) {
  std::printf(
      "Usage: %s [FILE]\n"
      "       %s --help | --version\n"
      "\n"
      "Installs the operating system of an Akai MPC4000 sampler over USB, in a window. The\n"
      "window checks the sampler, connected in its \"OS Loader\" mode, and installs an OS image\n"
      "into it; vtflash does the USB work.\n"
      "\n"
      "  FILE        An OS image (.bin) to choose at start, instead of the built-in one.\n"
      "              A second start hands it to the window that is already open.\n"
      "  --help      Print this help and exit.\n"
      "  --version   Print the version and exit.\n"
      "\n"
      "Qt's own options (such as -platform) are accepted too. See veltrin(1).\n",
      program, program);
}

// Answers --help and --version, the first of them among the options ("--" ends the options, so
// a file of that name can still be opened). True when one was answered and the program ends.
bool AnswerWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      return false;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(ProgramName(argc, argv));
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Veltrin %s\n", VELTRIN_VERSION);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that it works without a display, as in a terminal over SSH.
  if (AnswerWithoutWindow(argc, argv)) {
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
