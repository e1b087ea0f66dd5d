// The log beyond the window: every run recorded in the log file, and "Save Log…" writing the
// window's whole log to a file the user picks. A failure to write either is said in the log and
// changes nothing else.

#include <QDateTime>
#include <QPlainTextEdit>
#include <QSaveFile>

#include "AppDelegate.h"
#include "LogFile.h"
#include "TextFormat.h"
#include "Translations.h"

namespace {

QString FormatWithTwoStrings(const QString& format, const QString& first, const QString& second) {
  return FormatWithString(FormatWithString(format, first), second);
}

}  // namespace

void AppDelegate::beginLogRecord() {
  logFile_ = std::make_unique<LogFile>(LogFile::defaultPath());
  QString error;
  if (!logFile_->beginRun(QDateTime::currentDateTime(), &error)) {
    logFileFailed(error);
  }
}

void AppDelegate::recordInLogFile(const QString& text) {
  QString error;
  if (logFile_ && !logFile_->append(text, &error)) {
    logFileFailed(error);
  }
}

void AppDelegate::endLogRecord() {
  logFile_.reset();
}

void AppDelegate::logFileFailed(const QString& reason) {
  // Said once: the record stops for the rest of the run, the run itself goes on.
  const QString path = logFile_->path();
  logFile_.reset();
  appendLog(FormatWithTwoStrings(L("log.fileFailed"), path, reason) + QLatin1Char('\n'));
}

void AppDelegate::saveLog() {
  if (!logView_) {
    return;
  }
  const QString path = dialogs_->saveFile(L("panel.saveLog"), QStringLiteral("veltrin-log.txt"));
  if (path.isEmpty()) {
    return;
  }
  // Written whole or not at all: a file that already had a saved log is replaced only once the
  // new one is complete.
  QSaveFile file(path);
  const QByteArray bytes = logView_->toPlainText().toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    appendLog(FormatWithTwoStrings(L("log.saveFailed"), path, file.errorString()) +
              QLatin1Char('\n'));
    return;
  }
  appendLog(FormatWithString(L("log.saved"), path) + QLatin1Char('\n'));
}
