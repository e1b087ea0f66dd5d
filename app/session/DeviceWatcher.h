#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>

#include "session/OutputParser.h"

// The flash tool's "--watch" beside the runs: it reports AKAI devices as they arrive and leave,
// one line each, and never opens them. Its standard input is a pipe held for as long as this object
// lives, so the watcher ends with the application. A watcher that cannot start or ends reports
// nothing more: checking by hand goes on as ever.
class DeviceWatcher : public QObject {
  Q_OBJECT

 public:
  explicit DeviceWatcher(QObject* parent = nullptr);
  // Ends the watcher the way it is meant to end, by closing its input, and reaps it.
  ~DeviceWatcher() override;

  // Starts `program --watch`. Nothing when one already runs.
  void start(const QString& program);

 signals:
  // One line of the watch that the output parser recognised: a device arrived or left.
  void reported(const OutputLine& line);

 private:
  void readLines();

  QProcess process_;
  QByteArray partial_;  // the start of a line whose end has not arrived yet
};
