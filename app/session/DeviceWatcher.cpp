#include "session/DeviceWatcher.h"

DeviceWatcher::DeviceWatcher(QObject* parent) : QObject(parent) {
  // The tool's messages go nowhere: the window's log belongs to the checks and installations.
  process_.setStandardErrorFile(QProcess::nullDevice());
  connect(&process_, &QProcess::readyReadStandardOutput, this, &DeviceWatcher::readLines);
}

DeviceWatcher::~DeviceWatcher() {
  if (process_.state() == QProcess::NotRunning) {
    return;
  }
  process_.disconnect(this);
  process_.closeWriteChannel();
  // It stops within a moment of its input's end; it holds no device, so a stuck one is killed.
  if (!process_.waitForFinished(1000)) {
    process_.kill();
    process_.waitForFinished();
  }
}

void DeviceWatcher::start(const QString& program) {
  // A program that is missing or cannot run fails to start, and that is all: nothing is said.
  if (process_.state() != QProcess::NotRunning) {
    return;
  }
  process_.start(program, {QStringLiteral("--watch")});
}

void DeviceWatcher::readLines() {
  partial_ += process_.readAllStandardOutput();
  qsizetype end = 0;
  while ((end = partial_.indexOf('\n')) >= 0) {
    const QByteArray line = partial_.left(end);
    partial_.remove(0, end + 1);
    for (const OutputLine& recognised : ParseToolOutput(QString::fromUtf8(line))) {
      emit reported(recognised);
    }
  }
}
