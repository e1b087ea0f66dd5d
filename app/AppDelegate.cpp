#include "AppDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

#include "Dialogs.h"
#include "ImageFacts.h"
#include "LogFile.h"
#include "Notifier.h"
#include "PlainLabel.h"
#include "SegmentedControl.h"
#include "StatusDot.h"
#include "TextFormat.h"
#include "ToolRunner.h"
#include "Translations.h"

namespace {

QTextCharFormat MakeLogFormat() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(11);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  QTextCharFormat format;
  format.setFont(font, QTextCharFormat::FontPropertiesAll);
  // No foreground is set: the log view draws such text in its palette's text colour, which
  // follows the light or dark appearance.
  return format;
}

}  // namespace

AppDelegate::AppDelegate(std::unique_ptr<Dialogs> dialogs, QObject* parent)
    : QObject(parent),
      dialogs_(dialogs ? std::move(dialogs)
                       : std::make_unique<QtDialogs>([this] { return window_.get(); })),
      bundlePath_(bundleDirectoryForExecutableDir(QCoreApplication::applicationDirPath())),
      logFormat_(MakeLogFormat()),
      notifier_(std::make_unique<Notifier>()) {
  if (qGuiApp) {
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &AppDelegate::commitData);
  }
}

AppDelegate::~AppDelegate() {
  // Quitting does nothing to a flash tool that still runs: a tool stopped in the middle of a
  // write would leave the sampler without an OS. The run, with its process object, is let go,
  // not destroyed, because destroying it would kill the tool.
  if (currentTask_) {
    currentTask_->disconnect(this);
    currentTask_->setParent(nullptr);
    // Kept until the process ends, when the tool has long finished its work or gone too. The
    // list itself is never destroyed, so nothing at exit takes the process object down with it.
    static auto* const abandoned = new QList<QObject*>;
    abandoned->append(currentTask_);
    currentTask_ = nullptr;
  }
  delete mainMenu_;
  window_.reset();
}

void AppDelegate::setNotifier(std::unique_ptr<Notifier> notifier) {
  notifier_ = std::move(notifier);
}

QString AppDelegate::bundleDirectoryForExecutableDir(const QString& executableDir) {
  // Pure path arithmetic: the folders are not looked up on disk.
  const QString macos = QDir::cleanPath(executableDir);
  const QString contents = QFileInfo(macos).path();
  const QString bundle = QFileInfo(contents).path();
  const QString bundleName = QFileInfo(bundle).fileName();
  const bool inBundle = QFileInfo(macos).fileName() == QLatin1String("MacOS") &&
                        QFileInfo(contents).fileName() == QLatin1String("Contents") &&
                        bundleName.size() > 4 && bundleName.endsWith(QLatin1String(".app"));
  return inBundle ? bundle : macos;
}

QString AppDelegate::bundledFirmwarePath() const {
  const QString path = bundlePath_ + QStringLiteral("/Contents/Resources/mpcv171.bin");
  return QFileInfo::exists(path) ? path : QString();
}

void AppDelegate::setOperation(const QString& key, int percent) {
  operationKey_ = key;
  operationPercent_ = percent;
  refreshTexts();
}

void AppDelegate::updateButtons() {
  if (!window_) {
    return;
  }
  const bool busy = currentTask_ != nullptr;
  if (busy) {
    parkButtonFocus();
  }
  checkButton_->setEnabled(!busy);
  chooseButton_->setEnabled(!busy);
  builtinButton_->setEnabled(!busy && !bundledFirmwarePath().isEmpty());
  installButton_->setEnabled(!busy && deviceState_ == DeviceStateReady && !firmwarePath_.isEmpty());
  if (!busy) {
    restoreButtonFocus();
  }
}

// A focused button that is disabled would hand the focus on along the tab chain, into the log.
// While a run lasts the window itself holds the focus (Return and Tab still work from there);
// afterwards it goes back to the button that had it.
void AppDelegate::parkButtonFocus() {
  QWidget* focus = window_->focusWidget();
  if (focus == checkButton_ || focus == chooseButton_ || focus == builtinButton_ ||
      focus == installButton_) {
    buttonWithFocus_ = focus;
    window_->setFocus(Qt::OtherFocusReason);
  }
}

void AppDelegate::restoreButtonFocus() {
  QWidget* focus = window_->focusWidget();
  if (buttonWithFocus_ && buttonWithFocus_->isEnabled() &&
      (focus == nullptr || focus == window_.get())) {
    buttonWithFocus_->setFocus(Qt::OtherFocusReason);
  }
  buttonWithFocus_ = nullptr;
}

void AppDelegate::refreshTexts() {
  if (!window_) {
    return;
  }
  // The demo bundle says so in its title, so its window is never taken for the real installer.
  window_->setWindowTitle(demoBundle_ ? L("window.demo") : QStringLiteral("Veltrin"));
  subtitleLabel_->setText(L("subtitle"));
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
  operationLabel_->setText(L(operationKey_));
  percentLabel_->setText(FormatPercent(operationPercent_));
}

void AppDelegate::refreshDeviceStatus() {
  switch (deviceState_) {
    case DeviceStateChecking:
      deviceStatusLabel_->setText(L("device.checking"));
      deviceDetailLabel_->setText(L("device.checking.detail"));
      deviceStatusDot_->setTone(StatusDot::Tone::Orange);
      return;
    case DeviceStateReady:
      // The geometry line is the tool's own English text and is shown as it was printed.
      deviceStatusLabel_->setText(L("device.ready"));
      deviceDetailLabel_->setText(deviceGeometry_);
      deviceStatusDot_->setTone(StatusDot::Tone::Green);
      return;
    case DeviceStateFailed:
      deviceStatusLabel_->setText(L("device.failed"));
      deviceDetailLabel_->setText(L("device.failed.detail"));
      deviceStatusDot_->setTone(StatusDot::Tone::Red);
      return;
    case DeviceStateUnknown:
      break;
  }
  deviceStatusLabel_->setText(L("device.unknown"));
  deviceDetailLabel_->setText(L("device.unknown.detail"));
  deviceStatusDot_->setTone(StatusDot::Tone::TertiaryLabel);
}

void AppDelegate::refreshFirmwareLabel() {
  if (!firmwarePath_.isEmpty()) {
    // The size is read anew each time; a file that has gone since it was chosen reads as 0 bytes
    // and stays chosen.
    const QFileInfo file(firmwarePath_);
    const qint64 size = file.exists() ? std::max<qint64>(file.size(), 0) : 0;
    firmwareLabel_->setText(FormatFirmwareLabel(file.fileName(), size));
    QString tip = firmwarePath_;
    if (firmwareFactsPath_ == firmwarePath_ && firmwareFacts_.known()) {
      tip += QLatin1Char('\n') + DescribeImageFacts(firmwareFacts_);
    }
    firmwareLabel_->setToolTip(tip);
    firmwareLabel_->setTone(PlainLabel::Tone::Primary);
    // A file name keeps its beginning and its extension.
    firmwareLabel_->setElideMode(PlainLabel::Elide::Middle);
    return;
  }
  const QString hint =
      bundledFirmwarePath().isEmpty() ? L("firmware.bundledMissing") : L("firmware.none");
  firmwareLabel_->setText(hint);
  firmwareLabel_->setToolTip(hint);
  firmwareLabel_->setTone(PlainLabel::Tone::Secondary);
  // A sentence is read from its beginning: one too long is cut at its end.
  firmwareLabel_->setElideMode(PlainLabel::Elide::Tail);
}

void AppDelegate::appendLog(const QString& text) {
  if (text.isEmpty() || !logView_) {
    return;
  }
  recordInLogFile(text);
  // A cursor of its own writes at the end. A selection or caret that touches the end would move
  // along with the insertion, so it is put back: the user's selection stays as it was.
  const QTextCursor selection = logView_->textCursor();
  const int anchor = selection.anchor();
  const int position = selection.position();
  QTextCursor cursor(logView_->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text, logFormat_);
  if (logView_->textCursor().anchor() != anchor || logView_->textCursor().position() != position) {
    QTextCursor restored(logView_->document());
    restored.setPosition(anchor);
    restored.setPosition(position, QTextCursor::KeepAnchor);
    logView_->setTextCursor(restored);
  }
  QScrollBar* bar = logView_->verticalScrollBar();
  bar->setValue(bar->maximum());
}

double AppDelegate::progressValue() const {
  if (!progress_) {
    return 0.0;
  }
  return double(progress_->value()) / kProgressScale;
}

void AppDelegate::setProgressValue(double value) {
  if (!progress_) {
    return;
  }
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
