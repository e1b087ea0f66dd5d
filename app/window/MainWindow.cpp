// The main window's behaviour: what it shows of the session, which buttons it enables, the files
// dropped on it, the question before it closes, and the end of an installation.

#include "window/MainWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "desktop/Notifier.h"
#include "desktop/TextFormat.h"
#include "desktop/Translations.h"
#include "session/Dialogs.h"
#include "widgets/LogView.h"
#include "widgets/PlainLabel.h"
#include "widgets/SegmentedControl.h"
#include "widgets/StatusDot.h"
#include "widgets/WaitGirlView.h"

namespace {

// The progress bar counts in hundredths of a percent, so the half steps of the progress lines
// (n x 0.5) survive its integer range.
constexpr int kProgressScale = 100;

// The first local file among dropped URLs, or the empty string.
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) {
    return {};
  }
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) {
      return url.toLocalFile();
    }
  }
  return {};
}

}  // namespace

MainWindow::MainWindow(Session& session, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), session_(session), dialogs_(dialogs) {
  buildLayout();
  connectSession();
}

void MainWindow::connectSession() {
  connect(&session_, &Session::deviceChanged, this, [this] {
    refreshTexts();
    updateButtons();
  });
  connect(&session_, &Session::firmwareChanged, this, [this] {
    refreshTexts();
    updateButtons();
  });
  connect(&session_, &Session::operationChanged, this, &MainWindow::refreshTexts);
  connect(&session_, &Session::busyChanged, this, &MainWindow::updateButtons);
  connect(&session_, &Session::progressChanged, this, &MainWindow::showProgress);
  connect(&session_, &Session::timeLeftChanged, this, &MainWindow::refreshTimeLeft);
  connect(&session_, &Session::logAppended, static_cast<LogView*>(logView_), &LogView::appendText);
  connect(&session_, &Session::waitingChanged, girlView_, [this](bool waiting) {
    if (waiting) {
      girlView_->startWaiting();
    } else {
      girlView_->stopWaiting();
    }
  });
  connect(&session_, &Session::runFinished, this, &MainWindow::tellTheEnd);
  connect(&session_, &Session::lastInstallationChanged, this, &MainWindow::refreshTexts);
  connect(&session_, &Session::silenceChanged, this, &MainWindow::refreshTexts);

  connect(languageControl_, &SegmentedControl::segmentClicked, this, &MainWindow::languageSelected);
  connect(checkButton_, &QPushButton::clicked, &session_, &Session::checkDevice);
  connect(builtinButton_, &QPushButton::clicked, &session_, &Session::useBundledFirmware);
  connect(chooseButton_, &QPushButton::clicked, &session_, &Session::chooseFirmware);
  connect(installButton_, &QPushButton::clicked, &session_, &Session::installFirmware);
}

void MainWindow::attachMenuBar(QMenuBar* bar) {
#ifdef Q_OS_MACOS
  // On macOS a menu bar without a parent is the global one.
  (void)bar;
#else
  // Elsewhere the bar sits in the window's top strip, which the layout leaves free above the
  // header.
  if (!bar) {
    return;
  }
  bar->setParent(this);
  bar->setGeometry(0, 0, width(), bar->sizeHint().height());
  bar->show();
#endif
}

void MainWindow::updateButtons() {
  const bool busy = session_.busy();
  if (busy) {
    parkButtonFocus();
  }
  checkButton_->setEnabled(!busy);
  chooseButton_->setEnabled(!busy);
  builtinButton_->setEnabled(!busy && !session_.bundledFirmwarePath().isEmpty());
  installButton_->setEnabled(session_.canInstall());
  if (!busy) {
    restoreButtonFocus();
  }
}

// A focused button that is disabled would hand the focus on along the tab chain, into the log.
// While a run lasts the window itself holds the focus (Return and Tab still work from there);
// afterwards it goes back to the button that had it.
void MainWindow::parkButtonFocus() {
  QWidget* focus = focusWidget();
  if (focus == checkButton_ || focus == chooseButton_ || focus == builtinButton_ ||
      focus == installButton_) {
    buttonWithFocus_ = focus;
    setFocus(Qt::OtherFocusReason);
  }
}

void MainWindow::restoreButtonFocus() {
  QWidget* focus = focusWidget();
  if (buttonWithFocus_ && buttonWithFocus_->isEnabled() && (focus == nullptr || focus == this)) {
    buttonWithFocus_->setFocus(Qt::OtherFocusReason);
  }
  buttonWithFocus_ = nullptr;
}

void MainWindow::refreshTexts() {
  // The demo bundle says so in its title, so its window is never taken for the real installer.
  setWindowTitle(session_.isDemo() ? L("window.demo") : QStringLiteral("Veltrin"));
  subtitleLabel_->setText(L("subtitle"));
  const auto last = session_.lastInstallation();
  const QString unfinished = last ? DescribeUnfinishedInstallation(*last) : QString();
  const int silent = session_.silentSeconds();
  const QString stall = silent > 0 ? FormatWithInt(L("stall.notice"), silent) : QString();
  stallLabel_->setText(stall);
  stallLabel_->setVisible(!stall.isEmpty());
  unfinishedLabel_->setText(unfinished);
  unfinishedLabel_->setToolTip(unfinished);
  unfinishedLabel_->setVisible(stall.isEmpty() && !unfinished.isEmpty());
  subtitleLabel_->setVisible(stall.isEmpty() && unfinished.isEmpty());
  deviceCaptionLabel_->setText(L("device.caption"));
  firmwareCaptionLabel_->setText(L("firmware.caption"));
  logCaptionLabel_->setText(L("log.caption"));
  checkButton_->setText(L("button.check"));
  builtinButton_->setText(L("button.bundled"));
  chooseButton_->setText(L("button.choose"));
  installButton_->setText(L("button.install"));
  languageControl_->setAccessibleName(L("language.switch"));
  refreshDeviceStatus();
  refreshFirmwareLabel();
  operationLabel_->setText(L(session_.operationKey()));
  percentLabel_->setText(FormatPercent(session_.operationPercent()));
  refreshTimeLeft();
}

void MainWindow::refreshTimeLeft() {
  const auto left = session_.timeLeft();
  timeLeftLabel_->setText(left ? TimeLeftText(left->phase, left->seconds) : QString());
}

void MainWindow::refreshDeviceStatus() {
  // What the tool told of the sampler (another device there, no permission, in use) replaces the
  // usual hint of a state that is not a ready sampler.
  const QString advice = session_.deviceAdvice();
  const auto hint = [&advice](const char* key) { return advice.isEmpty() ? L(key) : advice; };
  switch (session_.deviceState()) {
    case DeviceStateChecking:
      deviceStatusLabel_->setText(L("device.checking"));
      deviceDetailLabel_->setText(L("device.checking.detail"));
      deviceStatusDot_->setTone(StatusDot::Tone::Orange);
      return;
    case DeviceStateReady:
      // The geometry line is the tool's own English text and is shown as it was printed.
      deviceStatusLabel_->setText(L("device.ready"));
      deviceDetailLabel_->setText(session_.deviceGeometry());
      deviceStatusDot_->setTone(StatusDot::Tone::Green);
      return;
    case DeviceStateFailed:
      deviceStatusLabel_->setText(L("device.failed"));
      deviceDetailLabel_->setText(hint("device.failed.detail"));
      deviceStatusDot_->setTone(StatusDot::Tone::Red);
      return;
    case DeviceStateNotConnected:
      deviceStatusLabel_->setText(L("device.absent"));
      deviceDetailLabel_->setText(hint("device.unknown.detail"));
      deviceStatusDot_->setTone(StatusDot::Tone::TertiaryLabel);
      return;
    case DeviceStateUnknown:
      break;
  }
  deviceStatusLabel_->setText(L("device.unknown"));
  deviceDetailLabel_->setText(hint("device.unknown.detail"));
  deviceStatusDot_->setTone(StatusDot::Tone::TertiaryLabel);
}

void MainWindow::refreshFirmwareLabel() {
  const QString path = session_.firmwarePath();
  if (!path.isEmpty()) {
    // The name shows at once; the size follows once the image's facts are read. An image that
    // could not be read (gone since it was chosen) shows 0 bytes and stays chosen.
    const QString name = QFileInfo(path).fileName();
    const ImageFacts facts = session_.firmwareFacts();
    QString tip = path;
    if (session_.firmwareFactsPending()) {
      firmwareLabel_->setText(name);
    } else {
      firmwareLabel_->setText(FormatFirmwareLabel(name, std::max<qint64>(facts.size, 0)));
    }
    if (facts.known()) {
      tip += QLatin1Char('\n') + DescribeImageFacts(facts);
    }
    firmwareLabel_->setToolTip(tip);
    firmwareLabel_->setTone(PlainLabel::Tone::Primary);
    // A file name keeps its beginning and its extension.
    firmwareLabel_->setElideMode(PlainLabel::Elide::Middle);
    return;
  }
  const QString hint =
      session_.bundledFirmwarePath().isEmpty() ? L("firmware.bundledMissing") : L("firmware.none");
  firmwareLabel_->setText(hint);
  firmwareLabel_->setToolTip(hint);
  firmwareLabel_->setTone(PlainLabel::Tone::Secondary);
  // A sentence is read from its beginning: one too long is cut at its end.
  firmwareLabel_->setElideMode(PlainLabel::Elide::Tail);
}

void MainWindow::showProgress(double value) {
  const int scaled = int(std::lround(std::clamp(value, 0.0, 100.0) * kProgressScale));
  if (scaled == progress_->value()) {
    return;
  }
  // QProgressBar repaints itself at once on every visible change. Thousands of records can arrive
  // in one read of the pipe, so the bar is only marked for repainting here, and is drawn once
  // when the event loop turns.
  progress_->setUpdatesEnabled(false);
  progress_->setValue(scaled);
  progress_->setUpdatesEnabled(true);
}

void MainWindow::tellTheEnd(int status, Session::RunMode mode) {
  closeAllowed_ = false;
  // A window the user closed during the installation tells nothing: the desktop does.
  if (mode != Session::RunMode::Install || !isVisible()) {
    return;
  }
  // A question about quitting during the installation is moot now: the result is seen alone.
  dialogs_.withdrawQuestion();
  const Session::Result result = session_.installationResult(status);
  // A window in the background would keep the alert unseen: the desktop says it too.
  if (notifier_ && !isActiveWindow()) {
    notifier_->notify(result.title, result.text);
  }
  dialogs_.alert(result.succeeded ? Dialogs::Style::Informational : Dialogs::Style::Warning,
                 result.title, result.text);
}

bool MainWindow::mayClose() {
  // Only an installation is worth the question: a device check writes nothing.
  if (closeAllowed_ || !session_.installing()) {
    return true;
  }
  closeAllowed_ = dialogs_.confirmAgainstDefault(Dialogs::Style::Warning, L("quit.title"),
                                                 L("quit.text"), L("quit.keep"), L("quit.quit"));
  return closeAllowed_;
}

void MainWindow::bringToFront() {
  show();
  raise();
  activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!mayClose()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
  emit closed();
}

void MainWindow::showEvent(QShowEvent* event) {
  // A window brought back asks again before it closes during the installation.
  closeAllowed_ = false;
  QWidget::showEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  // While a run goes on the image cannot change, as the buttons say: the drop is refused.
  if (!session_.busy() && !DroppedFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (session_.busy() || path.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  // The file is checked once the drop is over, so an alert for a refused file does not keep
  // the application the file came from waiting.
  QTimer::singleShot(0, this, [this, path] { session_.openFirmwareFile(path); });
}
