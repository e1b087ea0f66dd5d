#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "desktop/DemoSampler.h"
#include "desktop/LauncherEntry.h"
#include "desktop/Notifier.h"
#include "session/Dialogs.h"
#include "session/Session.h"
#include "window/MainWindow.h"

class QMenuBar;
class QSessionManager;

// The application object: it owns the dialogs, the session and the main window, launches the
// window, builds the menu bar (with a Demo menu in the demo bundle), switches the language and
// decides when the application quits.
class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // `dialogs` answers the confirmations and shows the alerts and the panels; null means the
  // on-screen QtDialogs. `bundlePath` is where the flash tool and the built-in image are looked
  // up; empty means the running executable's bundle.
  explicit AppDelegate(std::unique_ptr<Dialogs> dialogs = nullptr,
                       const QString& bundlePath = QString(), QObject* parent = nullptr);
  ~AppDelegate() override;

  // Builds and shows the window: the first log line, the built-in image, the texts and buttons.
  void applicationDidFinishLaunching();
  // Builds the menu bar in the current language; the window shows it.
  void installMainMenu();
  // The language switch: `segment` 1 is Russian, anything else English.
  void languageChanged(int segment);
  void openWebsite();
  // The session is ending: during an installation the user is asked, and may cancel it.
  void commitData(QSessionManager& manager);
  // Veltrin was started again (its single instance heard of it): the window comes back, to the
  // front, and takes the image it was given as if it had been dropped on it.
  void startedAgain(const QString& image);

  // The OS image named by the command line (`arguments` as QCoreApplication::arguments gives
  // them), or the empty string.
  static QString firmwareArgument(const QStringList& arguments);

  Session& session() { return session_; }
  // Null until launch has finished.
  MainWindow* window() const { return window_.get(); }

  // Shows the notification at the end of an installation in a window that is not active. Starts
  // as one on the session bus; tests give one on a bus of their own.
  void setNotifier(std::unique_ptr<Notifier> notifier);
  // Shows an installation's progress on the application's icon. Starts as one on the session
  // bus; tests give one (never null) on a bus of their own.
  void setLauncherEntry(std::unique_ptr<LauncherEntry> entry);

 private:
  void quit();
  void windowClosed();
  void runFinished(int status, Session::RunMode mode);
  void showProgressOnIcon();

  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<Notifier> notifier_;
  std::unique_ptr<LauncherEntry> launcherEntry_;
  Session session_;
  std::unique_ptr<MainWindow> window_;
  QMenuBar* mainMenu_ = nullptr;
  std::unique_ptr<DemoSampler> demo_;  // the demo bundle's simulated sampler, from launch on
  bool windowless_ = false;            // the window closed during an installation, which goes on
};
