// What the tool's output means while it runs, and what its exit status means when it ends.

#include <QByteArray>
#include <QStringView>
#include <algorithm>
#include <cstdio>

#include "AppDelegate.h"
#include "Dialogs.h"
#include "TextFormat.h"
#include "Translations.h"
#include "WaitGirlView.h"

namespace {

bool IsLineBreak(QChar c) {
  switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case 0x0085:  // next line
    case 0x2028:  // line separator
    case 0x2029:  // paragraph separator
      return true;
    default:
      return false;
  }
}

// The number of a progress line such as "Erase  37% (12/32)", scanned the way the C library's
// sscanf scans "<word> %u%%": the word, any white space (none included), then an unsigned number;
// the percent sign and whatever follows are not needed. A number written with a minus sign wraps
// to a huge unsigned value, as sscanf makes it.
bool ScanProgress(const QByteArray& line, const char* format, unsigned* number) {
  return std::sscanf(line.constData(), format, number) == 1;
}

int ClampedPercent(unsigned number) {
  return number >= 100u ? 100 : int(number);
}

}  // namespace

void AppDelegate::parseProgressFromText(const QString& text) {
  const QStringView all(text);
  qsizetype start = 0;
  for (qsizetype i = 0; i <= all.size(); ++i) {
    if (i < all.size() && !IsLineBreak(all[i])) {
      continue;
    }
    // Pieces between two adjacent breaks are empty and match nothing.
    const QString line = all.sliced(start, i - start).trimmed().toString();
    start = i + 1;
    if (line.isEmpty()) {
      continue;
    }
    const QByteArray utf8 = line.toUtf8();
    unsigned number = 0;
    if (ScanProgress(utf8, "Erase %u%%", &number)) {
      setProgressValue(std::min(number * 0.5, 50.0));
      setOperation(QStringLiteral("op.erase"), ClampedPercent(number));
    } else if (ScanProgress(utf8, "Write %u%%", &number)) {
      setProgressValue(50.0 + std::min(number * 0.5, 50.0));
      setOperation(QStringLiteral("op.write"), ClampedPercent(number));
    } else if (line.contains(QLatin1String("Flash geometry:"))) {
      // Shown by the next refresh, which the end of the run brings.
      deviceGeometry_ = line;
    } else if (line.contains(QLatin1String("OS upload complete"))) {
      setProgressValue(100.0);
      setOperation(QStringLiteral("op.done"), -1);
    }
  }
}

void AppDelegate::handleTaskFinished(int status, const QString& mode) {
  // `mode` may be a reference to currentMode_, which is cleared below.
  const QString runMode = mode;
  const bool hadProcess = currentTask_ != nullptr;
  releaseTask();
  currentMode_ = QString();
  if (girlView_) {
    girlView_->stopWaiting();
  }

  const bool succeeded = status == 0;
  if (runMode == QLatin1String("info")) {
    // The device state is set first, so the redraw shows it, with the geometry when ready.
    deviceState_ = succeeded ? DeviceStateReady : DeviceStateFailed;
    setOperation(succeeded ? QStringLiteral("op.deviceReady") : QStringLiteral("op.checkFailed"),
                 -1);
  } else if (runMode == QLatin1String("install")) {
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
  if (runMode == QLatin1String("install")) {
    if (succeeded) {
      dialogs_->alert(Dialogs::Style::Informational, L("done.title"), L("done.text"));
    } else {
      dialogs_->alert(Dialogs::Style::Warning, L("failed.title"), L("failed.text"));
    }
  }
  emit runFinished(status, runMode);
}
