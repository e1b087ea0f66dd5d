// Application-level actions: the menu bar, the language switch and the author's web site.

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QUrl>

#include "AppDelegate.h"
#include "InterfaceLanguage.h"
#include "SegmentedControl.h"
#include "Translations.h"

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

void AppDelegate::installMainMenu() {
  // A new menu tree replaces the old one, so every title is in the current language.
  auto* bar = new QMenuBar;
  QMenu* application = bar->addMenu(QStringLiteral("Veltrin"));
  QAction* save = AddItem(application, L("menu.saveLog"), QKeySequence::Save);
  save->setMenuRole(QAction::NoRole);
  connect(save, &QAction::triggered, this, &AppDelegate::saveLog);
  application->addSeparator();
  QAction* quit = AddItem(application, L("menu.quit"), QKeySequence::Quit);
  quit->setMenuRole(QAction::QuitRole);
  connect(quit, &QAction::triggered, this, &AppDelegate::requestQuit);

  QMenu* edit = bar->addMenu(L("menu.edit"));
  QAction* copy = AddItem(edit, L("menu.copy"), QKeySequence::Copy);
  copy->setMenuRole(QAction::NoRole);
  connect(copy, &QAction::triggered, this, [] { SendToFocus("copy"); });
  QAction* selectAll = AddItem(edit, L("menu.selectAll"), QKeySequence::SelectAll);
  selectAll->setMenuRole(QAction::NoRole);
  connect(selectAll, &QAction::triggered, this, [] { SendToFocus("selectAll"); });

  delete mainMenu_;
  mainMenu_ = bar;
  attachMainMenu();
}

void AppDelegate::attachMainMenu() {
#ifndef Q_OS_MACOS
  // Elsewhere than on macOS, where a menu bar without a parent is the global one, the bar sits
  // in the window's top strip, which the layout leaves free above the header.
  if (!mainMenu_ || !window_) {
    return;
  }
  mainMenu_->setParent(window_.get());
  mainMenu_->setGeometry(0, 0, window_->width(), mainMenu_->sizeHint().height());
  mainMenu_->show();
#endif
}

void AppDelegate::languageChanged() {
  CurrentLanguage = languageControl_ && languageControl_->selectedSegment() == 1 ? 1 : 0;
  // The alerts' standard buttons and the open panel follow too.
  ApplyQtTranslations(CurrentLanguage);
  QSettings().setValue(QStringLiteral("InterfaceLanguage"),
                       CurrentLanguage == 1 ? QStringLiteral("ru") : QStringLiteral("en"));
  installMainMenu();
  refreshTexts();
}

void AppDelegate::openWebsite() {
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(kAuthorWebsite)));
}
