// What the tool's output means while it runs, and what its exit status means when it ends.

#include "AppDelegate.h"
#include "Dialogs.h"
#include "OutputParser.h"
#include "TextFormat.h"
#include "Translations.h"
#include "WaitGirlView.h"

void AppDelegate::parseProgressFromText(const QString& text) {
  // Every recognised line redraws the labels, so the last one of a chunk is what stays.
  for (const OutputLine& line : ParseToolOutput(text)) {
    if (line.kind == OutputLine::Kind::Geometry) {
      // Shown by the next refresh, which the end of the run brings.
      deviceGeometry_ = line.text;
      continue;
    }
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
  updateButtons();

  // The labels, the log and the buttons behind the alert already show the final state.
  if (mode == RunMode::Install) {
    if (succeeded) {
      dialogs_->alert(Dialogs::Style::Informational, L("done.title"), L("done.text"));
    } else {
      dialogs_->alert(Dialogs::Style::Warning, L("failed.title"), L("failed.text"));
    }
  }
  emit runFinished(status, mode);
}
