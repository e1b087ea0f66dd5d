// Running the flash tool: where it is, the two actions that start it, the run's signals and each
// chunk of its output.

#include <QDir>
#include <QFileInfo>

#include "AppDelegate.h"
#include "Dialogs.h"
#include "TextFormat.h"
#include "ToolRunner.h"
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

QString AppDelegate::currentMode() const {
  switch (currentMode_) {
    case RunMode::Info:
      return QStringLiteral("info");
    case RunMode::Install:
      return QStringLiteral("install");
    case RunMode::None:
      break;
  }
  return QString();
}

void AppDelegate::checkDevice() {
  if (currentTask_) {
    return;
  }
  deviceState_ = DeviceStateChecking;
  setProgressValue(0);
  setOperation(QStringLiteral("op.checking"), -1);
  runLoaderWithArguments({QStringLiteral("--info")}, RunMode::Info);
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
                         RunMode::Install);
}

void AppDelegate::runLoaderWithArguments(const QStringList& arguments, RunMode mode) {
  if (currentTask_) {
    return;
  }
  beginLogRecord();
  const QString path = loaderPath();
  if (!IsExecutableFile(path)) {
    appendLog(FormatWithString(L("log.helperMissing"), path) + QLatin1Char('\n'));
    handleTaskFinished(-1, mode);
    return;
  }
  currentMode_ = mode;
  eraseBegan_ = false;
  appendLog(QStringLiteral("$ %1 %2\n").arg(QFileInfo(path).fileName(), arguments.join(' ')));

  auto* task = new ToolRunner(this);
  currentTask_ = task;
  updateButtons();
  // The run reports from the event loop, its output always before its end, so the log shows
  // everything the tool wrote before the completion, and nothing of a run comes after it.
  connect(task, &ToolRunner::started, this, &AppDelegate::taskDidStart);
  connect(task, &ToolRunner::failedToStart, this, &AppDelegate::taskFailedToStart);
  connect(task, &ToolRunner::output, this, &AppDelegate::handleTaskOutput);
  connect(task, &ToolRunner::finished, this, &AppDelegate::taskDidFinish);
  task->start(path, arguments);
}

void AppDelegate::taskDidStart() {
  if (girlView_) {
    girlView_->startWaiting();
  }
}

void AppDelegate::taskFailedToStart(const QString& reason) {
  appendLog(FormatWithString(L("log.helperFailed"), reason) + QLatin1Char('\n'));
  handleTaskFinished(-1, currentMode_);
}

void AppDelegate::taskDidFinish(int status) {
  handleTaskFinished(status, currentMode_);
}

void AppDelegate::releaseTask() {
  if (!currentTask_) {
    return;
  }
  // The run may be the sender of the signal being handled, so it goes away once control is back
  // in the event loop; nothing of it reaches the controller any more.
  currentTask_->disconnect(this);
  currentTask_->deleteLater();
  currentTask_ = nullptr;
}

void AppDelegate::handleTaskOutput(const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  // The tool redraws its progress with carriage returns; here every redraw is a line of its own.
  QString lines = text;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  appendLog(lines);
  parseProgressFromText(lines);
}
