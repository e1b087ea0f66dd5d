// Running the flash tool: where it is, the two actions that start it, the process with one merged
// output channel, and each chunk of its output.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include "AppDelegate.h"
#include "Dialogs.h"
#include "TextFormat.h"
#include "Translations.h"
#include "WaitGirlView.h"

namespace {

bool IsExecutableFile(const QString& path) {
  const QFileInfo file(path);
  return file.isFile() && file.isExecutable();
}

}  // namespace

QString AppDelegate::loaderPath() const {
  const QString bundled = QDir(bundlePath_).filePath(QStringLiteral("Contents/MacOS/vtflash"));
  if (IsExecutableFile(bundled)) {
    return bundled;
  }
  return QDir(QDir::currentPath()).filePath(QStringLiteral("vtflash"));
}

void AppDelegate::checkDevice() {
  if (currentTask_) {
    return;
  }
  deviceState_ = DeviceStateChecking;
  setProgressValue(0);
  setOperation(QStringLiteral("op.checking"), -1);
  runLoaderWithArguments({QStringLiteral("--info")}, QStringLiteral("info"));
}

void AppDelegate::installFirmware() {
  if (firmwarePath_.isEmpty() || currentTask_) {
    return;
  }
  const bool confirmed = dialogs_->confirm(Dialogs::Style::Critical, L("confirm.title"),
                                           L("confirm.text"), L("confirm.ok"), L("confirm.cancel"));
  if (!confirmed) {
    return;
  }
  setProgressValue(0);
  setOperation(QStringLiteral("op.flashing"), 0);
  runLoaderWithArguments({QStringLiteral("--firmware"), firmwarePath_, QStringLiteral("--yes")},
                         QStringLiteral("install"));
}

void AppDelegate::runLoaderWithArguments(const QStringList& arguments, const QString& mode) {
  if (currentTask_) {
    return;
  }
  const QString path = loaderPath();
  if (!IsExecutableFile(path)) {
    appendLog(FormatWithString(L("log.helperMissing"), path) + QLatin1Char('\n'));
    handleTaskFinished(-1, mode);
    return;
  }
  currentMode_ = mode;
  taskOutput_ = QLatin1String("");
  appendLog(QStringLiteral("$ %1 %2\n").arg(QFileInfo(path).fileName(), arguments.join(' ')));

  auto* task = new QProcess(this);
  task->setProgram(path);
  task->setArguments(arguments);
  currentTask_ = task;
  updateButtons();

  // One channel for both streams keeps the tool's messages and progress in the order written.
  // Standard input, the environment and the working directory are the application's own.
  task->setProcessChannelMode(QProcess::MergedChannels);
  task->setInputChannelMode(QProcess::ForwardedInputChannel);
  connect(task, &QProcess::readyReadStandardOutput, this, &AppDelegate::readTaskOutput);
  connect(task, &QProcess::finished, this, &AppDelegate::taskDidFinish);
  task->start(QIODevice::ReadOnly);
  // Waiting for the start only waits for exec() in the child, so a launch that fails is known
  // here and handled like the spawning call's own failure.
  if (task->waitForStarted(-1)) {
    if (girlView_) {
      girlView_->startWaiting();
    }
    return;
  }
  task->disconnect(this);
  appendLog(FormatWithString(L("log.helperFailed"), task->errorString()) + QLatin1Char('\n'));
  handleTaskFinished(-1, mode);
}

QString AppDelegate::decodeOutputChunk(const QByteArray& bytes) {
  // Each chunk is decoded by itself: a character split between two reads makes both chunks
  // invalid UTF-8, and they are then shown as ISO Latin 1, which takes any byte.
  QStringDecoder utf8(QStringDecoder::Utf8,
                      QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  QString text = utf8.decode(bytes);
  if (utf8.hasError() || text.isEmpty()) {
    text = QString::fromLatin1(bytes);
  }
  return text;
}

void AppDelegate::readTaskOutput() {
  if (!currentTask_) {
    return;
  }
  const QByteArray bytes = currentTask_->readAllStandardOutput();
  if (bytes.isEmpty()) {
    return;
  }
  handleTaskOutput(decodeOutputChunk(bytes));
}

void AppDelegate::taskDidFinish() {
  if (!currentTask_) {
    return;
  }
  // Everything the tool wrote reaches the log before the run is completed.
  readTaskOutput();
  int status = currentTask_->exitCode();
  if (currentTask_->exitStatus() == QProcess::CrashExit && status == 0) {
    status = -1;  // a tool ended by a signal has failed, whatever code the platform reports
  }
  const QString mode = currentMode_;
  handleTaskFinished(status, mode);
}

void AppDelegate::releaseTask() {
  if (!currentTask_) {
    return;
  }
  // The process object may be the sender of the signal being handled, so it goes away once
  // control is back in the event loop; nothing of it reaches the controller any more.
  currentTask_->disconnect(this);
  currentTask_->deleteLater();
  currentTask_ = nullptr;
}

void AppDelegate::handleTaskOutput(const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  taskOutput_ += text;
  // The tool redraws its progress with carriage returns; here every redraw is a line of its own.
  QString lines = text;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  appendLog(lines);
  parseProgressFromText(lines);
}
