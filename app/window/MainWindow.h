#pragma once

#include <QPointer>
#include <QWidget>

#include "session/Session.h"

class CardView;
class Dialogs;
class Notifier;
class PlainLabel;
class QAbstractButton;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class SegmentedControl;
class StatusDot;
class WaitGirlView;

// The main window: 760 x 620, fixed layout, built once. It shows the session's state (each of
// its signals ends in refreshTexts, updateButtons or the view it concerns), forwards the clicks
// to the session's actions, takes dropped OS images, asks before it closes during an
// installation, and tells the end of an installation. Tests find its views by object name.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // `session` and `dialogs` must outlive the window.
  MainWindow(Session& session, Dialogs& dialogs, QWidget* parent = nullptr);

  // Tells the end of an installation to the desktop when the window is not active; null: never.
  void setNotifier(Notifier* notifier) { notifier_ = notifier; }

  // The author's web site, opened by the footer link; the link shows its host name.
  static constexpr const char* kAuthorWebsite = "https://tarnwick.example/veltrin";
  static constexpr const char* kAuthorHost = "tarnwick.example";

  // The footer line before the link: the version when there is one.
  static QString footerText(const QString& version);

  // Writes the texts of the current language and the session's state into the views.
  void refreshTexts();
  // Enables the buttons the session's state allows.
  void updateButtons();
  // Shows the window, in front of the others, with the keyboard focus.
  void bringToFront();
  // Puts the menu bar into the window's top strip (elsewhere than on macOS).
  void attachMenuBar(QMenuBar* bar);
  // True when the window may close now: nothing is being installed, or the user, asked, chose
  // to quit anyway. Asks at most once per close: a close that was allowed is not asked again.
  bool mayClose();

 signals:
  // The user clicked a segment of the language switch, also the one already selected.
  void languageSelected(int segment);
  // The footer link was clicked.
  void websiteRequested();
  // The window has closed (the user may have let an installation go on without it).
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildLayout();
  void buildFooter();
  void connectSession();
  void refreshDeviceStatus();
  void refreshFirmwareLabel();
  void showProgress(double value);
  void refreshTimeLeft();
  void tellTheEnd(int status, Session::RunMode mode);
  void parkButtonFocus();
  void restoreButtonFocus();

  Session& session_;
  Dialogs& dialogs_;
  Notifier* notifier_ = nullptr;
  bool closeAllowed_ = false;  // the user chose to quit during this installation

  PlainLabel* subtitleLabel_ = nullptr;
  PlainLabel* unfinishedLabel_ = nullptr;  // in the subtitle's place while it has something to say
  PlainLabel* stallLabel_ = nullptr;       // in the subtitle's place while the sampler is silent
  SegmentedControl* languageControl_ = nullptr;
  WaitGirlView* girlView_ = nullptr;
  PlainLabel* deviceCaptionLabel_ = nullptr;
  StatusDot* deviceStatusDot_ = nullptr;
  PlainLabel* deviceStatusLabel_ = nullptr;
  PlainLabel* deviceDetailLabel_ = nullptr;
  PlainLabel* firmwareCaptionLabel_ = nullptr;
  PlainLabel* firmwareLabel_ = nullptr;
  PlainLabel* operationLabel_ = nullptr;
  PlainLabel* percentLabel_ = nullptr;
  PlainLabel* timeLeftLabel_ = nullptr;  // beside the percentage, while there is a time left
  PlainLabel* logCaptionLabel_ = nullptr;
  QPushButton* checkButton_ = nullptr;
  QPushButton* chooseButton_ = nullptr;
  QPushButton* builtinButton_ = nullptr;
  QPushButton* installButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPlainTextEdit* logView_ = nullptr;
  PlainLabel* versionLabel_ = nullptr;
  QAbstractButton* websiteButton_ = nullptr;
  QPointer<QWidget> buttonWithFocus_;  // the button that had the focus when a run started
};
