#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QtGlobal>

// The record of the flash tool's runs that outlives the window: each run's lines are appended to
// one file, headed by the run's date and time, so a log can still be read or pasted after the
// application has closed. The file is kept under a size limit with one older generation beside
// it ("<name>.1").
class LogFile {
 public:
  // A file that reaches this size is moved to the older generation when the next run begins.
  static constexpr qint64 kSizeLimit = 2 * 1024 * 1024;

  explicit LogFile(QString path, qint64 sizeLimit = kSizeLimit);

  // The platform's place for it: $XDG_STATE_HOME/veltrin/veltrin.log (~/.local/state when unset
  // or not absolute) on Linux and other Unix systems, ~/Library/Logs/Veltrin/veltrin.log on
  // macOS.
  static QString defaultPath();

  QString path() const { return path_; }

  // Opens the file for one run (making its folder, moving a full file to the older generation)
  // and writes the heading with `when`. False with the reason in `error` when it cannot.
  bool beginRun(const QDateTime& when, QString* error);
  // Appends `text` as UTF-8 and hands it to the system at once, so nothing is lost if the
  // application ends. False with the reason when it cannot; the file is closed then.
  bool append(const QString& text, QString* error);
  void endRun();

 private:
  void rotateIfFull();

  QString path_;
  qint64 sizeLimit_;
  QFile file_;
};
