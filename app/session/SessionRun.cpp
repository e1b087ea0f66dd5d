// Running the flash tool: where it is, the two actions that start it, the run's signals, each
// chunk of its output and what its exit status means when it ends.

#include <QDir>
#include <QFileInfo>

#include "desktop/LogFile.h"
#include "desktop/TextFormat.h"
#include "desktop/Translations.h"
#include "session/Diagnosis.h"
#include "session/Dialogs.h"
#include "session/OutputParser.h"
#include "session/Session.h"
#include "session/ToolRunner.h"

namespace {

// A step of the erase or the write that has not answered for this long is said in the window.
constexpr int kSilenceNoticeSeconds = 15;

bool IsExecutableFile(const QString& path) {
  const QFileInfo file(path);
  return file.isFile() && file.isExecutable();
}

}  // namespace

QString FlashToolInBundle(const QString& bundlePath) {
  const QString bundled = QDir(bundlePath).filePath(QStringLiteral("Contents/MacOS/vtflash"));
  if (IsExecutableFile(bundled)) {
    return bundled;
  }
  return QDir(QDir::currentPath()).filePath(QStringLiteral("vtflash"));
}

QString Session::loaderPath() const {
  return FlashToolInBundle(bundlePath_);
}

void Session::checkDevice() {
  if (busy()) {
    return;
  }
  setDeviceState(DeviceStateChecking);
  setProgress(0);
  setOperation(QStringLiteral("op.checking"), -1);
  runLoaderWithArguments({QStringLiteral("--info")}, RunMode::Info);
}

bool Session::canInstall() const {
  // The image is installed only once the checksum it is shown with is known.
  return !busy() && deviceState_ == DeviceStateReady && !firmwarePath_.isEmpty() && !factsPending_;
}

void Session::installFirmware() {
  if (!canInstall()) {
    return;
  }
  const bool confirmed = dialogs_.confirm(Dialogs::Style::Critical, L("confirm.title"),
                                          L("confirm.text"), L("confirm.ok"), L("confirm.cancel"));
  if (!confirmed) {
    return;
  }
  setProgress(0);
  setOperation(QStringLiteral("op.flashing"), 0);
  // The tool installs only the bytes whose checksum the log showed: a file replaced since is
  // refused before anything is erased.
  QStringList arguments = {QStringLiteral("--firmware"), firmwarePath_};
  const QString sha256 = firmwareFacts().sha256;
  if (!sha256.isEmpty()) {
    arguments << QStringLiteral("--sha256") << sha256;
  }
  runLoaderWithArguments(arguments << QStringLiteral("--yes"), RunMode::Install);
}

void Session::runLoaderWithArguments(const QStringList& arguments, RunMode mode) {
  if (busy()) {
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
  cause_.reset();
  appendLog(QStringLiteral("$ %1 %2\n").arg(QFileInfo(path).fileName(), arguments.join(' ')));

  auto* task = new ToolRunner(this);
  currentTask_ = task;
  emit busyChanged(true);
  // The run reports from the event loop, its output always before its end, so the log shows
  // everything the tool wrote before the completion, and nothing of a run comes after it.
  connect(task, &ToolRunner::started, this, &Session::taskDidStart);
  connect(task, &ToolRunner::failedToStart, this, &Session::taskFailedToStart);
  connect(task, &ToolRunner::output, this, &Session::handleTaskOutput);
  connect(task, &ToolRunner::finished, this, &Session::taskDidFinish);
  task->start(path, arguments);
}

void Session::taskDidStart() {
  emit waitingChanged(true);
}

void Session::taskFailedToStart(const QString& reason) {
  appendLog(FormatWithString(L("log.helperFailed"), reason) + QLatin1Char('\n'));
  handleTaskFinished(-1, currentMode_);
}

void Session::taskDidFinish(int status) {
  handleTaskFinished(status, currentMode_);
}

void Session::releaseTask() {
  if (!currentTask_) {
    return;
  }
  // The run may be the sender of the signal being handled, so it goes away once control is back
  // in the event loop; nothing of it reaches the session any more.
  currentTask_->disconnect(this);
  currentTask_->deleteLater();
  currentTask_ = nullptr;
}

void Session::handleTaskOutput(const QString& text) {
  if (text.isEmpty()) {
    return;
  }
  // The tool redraws its progress with carriage returns; here every redraw is a line of its own.
  QString lines = text;
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  appendLog(lines);
  parseProgressFromText(lines);
}

void Session::parseProgressFromText(const QString& text) {
  // Every recognised line is applied, so the last one of a chunk is what stays.
  for (const OutputLine& line : ParseToolOutput(text)) {
    if (line.cause != OutputLine::Cause::None) {
      diagnose(line);
    } else if (line.kind == OutputLine::Kind::Geometry) {
      setDeviceGeometry(line.text);
    } else if (line.kind == OutputLine::Kind::EraseBegins) {
      // The tool announces the erase before its first block: from then on the sampler's OS is
      // gone.
      eraseBegan_ = true;
      progressArrived();
      timePhase(TimedPhase::Erase, 0);
    } else if (line.kind == OutputLine::Kind::WriteBegins) {
      progressArrived();
      timePhase(TimedPhase::Write, 0);
    } else if (line.isProgress()) {
      eraseBegan_ = true;
      setProgress(line.bar);
      setOperation(line.operationKey(), line.percent);
      if (line.kind == OutputLine::Kind::Completion) {
        endSilence();
      } else {
        progressArrived();
        timePhase(line.kind == OutputLine::Kind::Erase ? TimedPhase::Erase : TimedPhase::Write,
                  line.percent);
      }
    }
  }
}

void Session::diagnose(const OutputLine& line) {
  // The first line of a cause tells it; a later line of the same cause may only add the name
  // the first one lacked (the program that holds the sampler follows the platform's code).
  if (!cause_ || cause_->cause != line.cause || (cause_->name.isEmpty() && !line.name.isEmpty())) {
    cause_ = line;
  }
}

void Session::progressArrived() {
  if (currentMode_ != RunMode::Install) {
    return;
  }
  sinceProgress_.restart();
  if (!silenceTimer_.isActive()) {
    silenceTimer_.start();
  }
  if (silentSeconds_ != 0) {
    silentSeconds_ = 0;
    emit silenceChanged();
  }
}

void Session::silenceTick() {
  const int seconds = int(sinceProgress_.elapsed() / 1000);
  if (seconds >= kSilenceNoticeSeconds && seconds != silentSeconds_) {
    silentSeconds_ = seconds;
    emit silenceChanged();
  }
}

void Session::endSilence() {
  silenceTimer_.stop();
  if (silentSeconds_ != 0) {
    silentSeconds_ = 0;
    emit silenceChanged();
  }
}

Session::Result Session::installationResult(int status) const {
  if (status == 0) {
    return {true, L("done.title"), L("done.text")};
  }
  QString text = FailureAdvice(cause_);
  if (eraseBegan_) {
    text += QStringLiteral("\n\n") + L("failed.erased");
  }
  return {false, L("failed.title"), text};
}

QString Session::deviceAdvice() const {
  if (otherDevice_) {
    return DeviceAdvice(otherDevice_);
  }
  return deviceState_ == DeviceStateFailed ? DeviceAdvice(deviceCause_) : QString();
}

void Session::handleTaskFinished(int status, RunMode mode) {
  const bool hadProcess = currentTask_ != nullptr;
  releaseTask();
  timePhase(std::nullopt, 0);
  currentMode_ = RunMode::None;
  endSilence();
  emit waitingChanged(false);

  const bool succeeded = status == 0;
  if (mode == RunMode::Info) {
    if (succeeded) {
      appliedPresence_ = true;  // a sampler that answered is there
    }
    deviceCause_ = succeeded ? std::nullopt : cause_;
    // The device state is set first, so the redraw shows it, with the geometry when ready.
    setDeviceState(succeeded ? DeviceStateReady : DeviceStateFailed);
    setOperation(succeeded ? QStringLiteral("op.deviceReady") : QStringLiteral("op.checkFailed"),
                 -1);
  } else if (mode == RunMode::Install) {
    if (succeeded) {
      setProgress(100.0);
    }
    // A file that changed since it was chosen is refused before anything is written.
    const bool refused = cause_ && cause_->cause == OutputLine::Cause::ImageChanged;
    setOperation(succeeded
                     ? QStringLiteral("op.done")
                     : (refused ? QStringLiteral("op.write.none") : QStringLiteral("op.error")),
                 -1);
  }

  if (hadProcess) {
    logOwnLine(FormatWithInt(L("log.exit"), status));
  }
  logFile_.reset();
  emit busyChanged(false);
  // The labels, the log and the buttons already show the final state when the end is told.
  emit runFinished(status, mode);
  // A run may have changed the sampler's record, an installation from a terminal too.
  readLastInstallation();
  // What the watcher reported during the run applies now, unless a bouncing cable still settles.
  if (!bounceTimer_.isActive()) {
    applyPresence();
  }
}
