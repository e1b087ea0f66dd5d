// What the tool's output means while it runs, and what its exit status means when it ends.

#include "AppDelegate.h"
#include "Dialogs.h"
#include "Notifier.h"
#include "OutputParser.h"
#include "TextFormat.h"
#include "Translations.h"
#include "WaitGirlView.h"

void AppDelegate::parseProgressFromText(const QString& text) {
  // The tool announces the erase before its first block: from then on the sampler's OS is gone.
  if (text.contains(QLatin1String("Erasing flash"))) {
    eraseBegan_ = true;
  }
  // Every recognised line redraws the labels, so the last one of a chunk is what stays.
  for (const OutputLine& line : ParseToolOutput(text)) {
    if (line.kind == OutputLine::Kind::Geometry) {
      // Shown by the next refresh, which the end of the run brings.
      deviceGeometry_ = line.text;
      continue;
    }
    eraseBegan_ = true;
    setProgressValue(line.bar);
    setOperation(line.operationKey(), line.percent);
  }
}

void AppDelegate::handleTaskFinished(int status, RunMode mode) {
  const bool hadProcess = currentTask_ != nullptr;
  releaseTask();
  currentMode_ = RunMode::None;
  if (girlView_) {
    girlView_->stopWaiting();
  }

  const bool succeeded = status == 0;
  if (mode == RunMode::Info) {
    // The device state is set first, so the redraw shows it, with the geometry when ready.
    deviceState_ = succeeded ? DeviceStateReady : DeviceStateFailed;
    setOperation(succeeded ? QStringLiteral("op.deviceReady") : QStringLiteral("op.checkFailed"),
                 -1);
  } else if (mode == RunMode::Install) {
    if (succeeded) {
      setProgressValue(100.0);
    }
    setOperation(succeeded ? QStringLiteral("op.done") : QStringLiteral("op.error"), -1);
  }

  if (hadProcess) {
    appendLog(FormatWithInt(L("log.exit"), status) + QLatin1Char('\n'));
  }
  endLogRecord();
  updateButtons();

  // The labels, the log and the buttons behind the alert already show the final state.
  if (mode == RunMode::Install) {
    tellTheEnd(succeeded);
  }
  emit runFinished(status, mode);
}

void AppDelegate::tellTheEnd(bool succeeded) {
  const QString title = succeeded ? L("done.title") : L("failed.title");
  QString text = succeeded ? L("done.text") : L("failed.text");
  // Once the erase has begun the sampler holds no complete OS: the user must know what to do.
  if (!succeeded && eraseBegan_) {
    text += QStringLiteral("\n\n") + L("failed.erased");
  }
  // A window in the background would keep the alert unseen: the desktop says it too.
  if (notifier_ && window_ && !window_->isActiveWindow()) {
    notifier_->notify(title, text);
  }
  dialogs_->alert(succeeded ? Dialogs::Style::Informational : Dialogs::Style::Warning, title, text);
}
