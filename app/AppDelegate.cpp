#include "AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>

#include "desktop/InterfaceLanguage.h"
#include "desktop/Notifier.h"
#include "desktop/Translations.h"
#include "window/MainWindow.h"
#include "window/QtDialogs.h"

namespace {

// Copy and Select All go to whatever has the keyboard focus (in practice the log), the way a
// responder chain would deliver them; a view without such a slot ignores them.
void SendToFocus(const char* slot) {
  if (QWidget* focus = QApplication::focusWidget()) {
    QMetaObject::invokeMethod(focus, slot);
  }
}

QAction* AddItem(QMenu* menu, const QString& title, QKeySequence::StandardKey key) {
  QAction* action = menu->addAction(title);
  action->setShortcut(QKeySequence(key));
  return action;
}

}  // namespace

AppDelegate::AppDelegate(std::unique_ptr<Dialogs> dialogs, const QString& bundlePath,
                         QObject* parent)
    : QObject(parent),
      dialogs_(dialogs ? std::move(dialogs)
                       : std::make_unique<QtDialogs>([this] { return window_.get(); })),
      notifier_(std::make_unique<Notifier>()),
      launcherEntry_(std::make_unique<LauncherEntry>()),
      session_(*dialogs_, bundlePath) {
  if (qGuiApp) {
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &AppDelegate::commitData);
    // The application decides when it ends: an installation outlives the window.
    QGuiApplication::setQuitOnLastWindowClosed(false);
  }
  connect(&session_, &Session::runFinished, this, &AppDelegate::runFinished);
  showProgressOnIcon();
}

void AppDelegate::showProgressOnIcon() {
  // An installation's bar is on the icon from its start to its end; a device check's is not.
  connect(&session_, &Session::busyChanged, this, [this](bool busy) {
    if (!busy) {
      launcherEntry_->clear();
    } else if (session_.installing()) {
      launcherEntry_->showProgress(0);
    }
  });
  connect(&session_, &Session::progressChanged, this, [this](double value) {
    if (session_.installing()) {
      launcherEntry_->showProgress(value / 100);
    }
  });
}

AppDelegate::~AppDelegate() {
  delete mainMenu_;
  window_.reset();
}

void AppDelegate::setNotifier(std::unique_ptr<Notifier> notifier) {
  notifier_ = std::move(notifier);
  if (window_) {
    window_->setNotifier(notifier_.get());
  }
}

void AppDelegate::setLauncherEntry(std::unique_ptr<LauncherEntry> entry) {
  launcherEntry_->clear();
  launcherEntry_ = std::move(entry);
}

void AppDelegate::applicationDidFinishLaunching() {
  window_ = std::make_unique<MainWindow>(session_, *dialogs_);
  window_->setNotifier(notifier_.get());
  connect(window_.get(), &MainWindow::languageSelected, this, &AppDelegate::languageChanged);
  connect(window_.get(), &MainWindow::websiteRequested, this, &AppDelegate::openWebsite);
  connect(window_.get(), &MainWindow::closed, this, &AppDelegate::windowClosed);
  window_->attachMenuBar(mainMenu_);

  session_.appendLog(L("log.started") + QLatin1Char('\n'));
  // A valid built-in image is adopted and logged before the window is shown; an invalid one
  // raises its alert before the window comes to the front.
  session_.useBundledFirmware();
  window_->refreshTexts();
  window_->updateButtons();
  window_->bringToFront();
  // The simulated sampler gets its plug before its watcher starts, which checks it at once.
  if (session_.isDemo()) {
    demo_ = std::make_unique<DemoSampler>();
  }
  session_.watchDevice();
  session_.readLastInstallation();
}

void AppDelegate::installMainMenu() {
  // A new menu tree replaces the old one, so every title is in the current language.
  auto* bar = new QMenuBar;
  bar->setObjectName(QStringLiteral("mainMenu"));
  QMenu* application = bar->addMenu(QStringLiteral("Veltrin"));
  QAction* save = AddItem(application, L("menu.saveLog"), QKeySequence::Save);
  save->setMenuRole(QAction::NoRole);
  connect(save, &QAction::triggered, &session_, &Session::saveLog);
  application->addSeparator();
  QAction* quit = AddItem(application, L("menu.quit"), QKeySequence::Quit);
  quit->setMenuRole(QAction::QuitRole);
  connect(quit, &QAction::triggered, this, &AppDelegate::quit);

  QMenu* edit = bar->addMenu(L("menu.edit"));
  QAction* copy = AddItem(edit, L("menu.copy"), QKeySequence::Copy);
  copy->setMenuRole(QAction::NoRole);
  connect(copy, &QAction::triggered, this, [] { SendToFocus("copy"); });
  QAction* selectAll = AddItem(edit, L("menu.selectAll"), QKeySequence::SelectAll);
  selectAll->setMenuRole(QAction::NoRole);
  connect(selectAll, &QAction::triggered, this, [] { SendToFocus("selectAll"); });

  if (session_.isDemo()) {
    // The demo's sampler comes and goes as a real one would when its cable is plugged.
    QMenu* demo = bar->addMenu(L("menu.demo"));
    connect(demo->addAction(L("menu.demo.connect")), &QAction::triggered, this, [this] {
      if (demo_) {
        demo_->plugIn();
      }
    });
    connect(demo->addAction(L("menu.demo.disconnect")), &QAction::triggered, this, [this] {
      if (demo_) {
        demo_->unplug();
      }
    });
  }

  delete mainMenu_;
  mainMenu_ = bar;
  if (window_) {
    window_->attachMenuBar(mainMenu_);
  }
}

void AppDelegate::quit() {
  // One way out: Quit closes the window, and only the window's close asks, during an
  // installation. The application ends when its last window has closed.
  if (window_) {
    window_->close();
    return;
  }
  QCoreApplication::quit();
}

void AppDelegate::windowClosed() {
  // An installation the user let go goes on without a window, and its record to the end.
  if (session_.installing()) {
    windowless_ = true;
    return;
  }
  QCoreApplication::quit();
}

void AppDelegate::runFinished(int status, Session::RunMode mode) {
  if (!windowless_) {
    return;
  }
  // Nobody looks at a window: the desktop tells how the installation ended, then Veltrin ends.
  if (mode == Session::RunMode::Install && notifier_) {
    const Session::Result result = session_.installationResult(status);
    notifier_->notify(result.title, result.text);
  }
  QCoreApplication::quit();
}

void AppDelegate::startedAgain(const QString& image) {
  if (!window_) {
    return;
  }
  windowless_ = false;
  window_->bringToFront();
  // Taken once the call is over, as a drop is, so an alert for a refused file waits for nobody.
  QTimer::singleShot(0, this, [this, image] { session_.openFirmwareFile(image); });
}

void AppDelegate::languageChanged(int segment) {
  CurrentLanguage = segment == 1 ? 1 : 0;
  // The alerts' standard buttons and the open panel follow too.
  ApplyQtTranslations(CurrentLanguage);
  SaveInterfaceLanguage(CurrentLanguage);
  installMainMenu();
  if (window_) {
    window_->refreshTexts();
  }
}

void AppDelegate::openWebsite() {
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(MainWindow::kAuthorWebsite)));
}

void AppDelegate::commitData(QSessionManager& manager) {
  // A logout is held back only when the user can be asked, and only when the user says so.
  if (!window_ || !session_.installing() || !manager.allowsInteraction()) {
    return;
  }
  const bool quit = window_->mayClose();
  manager.release();
  if (!quit) {
    manager.cancel();
  }
}

QString AppDelegate::firmwareArgument(const QStringList& arguments) {
  // The program's own options begin with a dash; "--" ends them, so any file name can follow.
  bool options = true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (options && argument == QLatin1String("--")) {
      options = false;
    } else if (!options || !argument.startsWith(QLatin1Char('-'))) {
      return argument;
    }
  }
  return {};
}
